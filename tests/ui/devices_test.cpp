// The Devices menu's own actions over a recording sender: search again, added nodes and the
// remembered ticks, and where the frames go afterwards.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

#include "add_node_dlg.h"
#include "node_address.h"
#include "settings_store.h"
#include "window_test_support.h"

namespace chromaset::test {
namespace {

using namespace std::chrono_literals;
using Targets = std::vector<Ipv4Bytes>;

Targets PaintTargets(CWheelDlg& dlg, RecordingSender& sender) {
  sender.sent.clear();
  dlg.SliderRed()->repaint();
  Targets out;
  for (const SentFrame& f : sender.sent) out.push_back(f.destination);
  return out;
}

QStringList Texts(const CWheelDlg& dlg) {
  QStringList out;
  for (const QAction* a : dlg.DevicesMenu()->actions()) out << (a->isSeparator() ? "|" : a->text());
  return out;
}

TEST(DevicesMenu, SearchAgainRebuildsKeepingTicksByAddressAndTheBroadcastMark) {
  DialogRig rig;
  ApplyReply(*rig.table, {{2, 0, 0, 21}, 0x1A, 0x2C, "", "First"});
  rig.Start();
  CWheelDlg& dlg = *rig.dialog;
  int polls = 0;
  dlg.Devices().SetPoll([&] { ++polls; });
  dlg.Devices().SetSearchWait(50ms);
  EXPECT_EQ(Texts(dlg),
            QStringList({"ALL (Broadcast)", "First", "|", "Search again", "Add node\u2026",
                         "Remove added node", "Wait for nodes at start"}));
  EXPECT_TRUE(dlg.Devices().WaitItem()->isChecked());

  Choose(ItemAt(dlg, 1));
  ApplyReply(*rig.table, {{2, 0, 7, 22}, 0x1A, 0x2C, "", "Far"});
  ApplyReply(*rig.table, {{2, 0, 0, 23}, 0x1A, 0x2C, "", "Late"});
  Choose(dlg.Devices().SearchItem());
  EXPECT_EQ(polls, 1);
  EXPECT_EQ(dlg.Devices().SearchItem()->text(), "Searching\u2026 (3 answered)");
  EXPECT_FALSE(dlg.Devices().SearchItem()->isEnabled());
  EXPECT_EQ(PaintTargets(dlg, rig.sender), (Targets{{2, 0, 0, 21}}));  // usable meanwhile
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg.Devices().Searching(); }));

  EXPECT_EQ(Texts(dlg).mid(0, 5), QStringList({"ALL (Broadcast)", "First", "Far", "Late", "|"}));
  EXPECT_EQ(dlg.Devices().SearchItem()->text(), "Search again");
  EXPECT_FALSE(ItemAt(dlg, 2)->isEnabled());
  Choose(ItemAt(dlg, 3));
  EXPECT_EQ(PaintTargets(dlg, rig.sender), (Targets{{2, 0, 0, 21}, {2, 0, 0, 23}}));

  Choose(ItemAt(dlg, 0));
  Choose(dlg.Devices().SearchItem());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg.Devices().Searching(); }));
  EXPECT_TRUE(ItemAt(dlg, 0)->isChecked());
  EXPECT_EQ(PaintTargets(dlg, rig.sender), (Targets{{255, 255, 255, 255}}));
}

TEST(DevicesMenu, AddedNodesFollowDiscoveredOnesWithinEightItems) {
  DialogRig rig;
  for (std::uint8_t h = 101; h <= 106; ++h) {
    ApplyReply(*rig.table, {{2, 0, 0, h}, 0x1A, 0x2C, "", "N"});
  }
  rig.Start();
  CWheelDlg& dlg = *rig.dialog;
  DeviceMenu& devices = dlg.Devices();
  EXPECT_FALSE(devices.RemoveMenu()->isEnabled());
  EXPECT_EQ(devices.AddNode("127.0.0.1"), AddressProblemText(AddressProblem::Loopback));
  EXPECT_EQ(devices.AddNode("2.0.0.50"), "");
  EXPECT_EQ(devices.AddNode("9.9.9.9"), "");
  EXPECT_NE(devices.AddNode("2.0.0.101"), "");  // already listed
  EXPECT_NE(devices.AddNode("2.0.0.51"), "");   // no room
  ASSERT_EQ(dlg.MenuItemCount(), 9);
  EXPECT_EQ(ItemAt(dlg, 7)->text(), "2.0.0.50");
  EXPECT_TRUE(ItemAt(dlg, 7)->isEnabled());
  EXPECT_EQ(ItemAt(dlg, 8)->text(), "9.9.9.9");
  EXPECT_FALSE(ItemAt(dlg, 8)->isEnabled());  // another network
  Choose(ItemAt(dlg, 7));
  EXPECT_EQ(PaintTargets(dlg, rig.sender), (Targets{{2, 0, 0, 50}}));

  // Removing one keeps the other's tick.
  ASSERT_EQ(devices.RemoveMenu()->actions().size(), 2);
  devices.RemoveMenu()->actions()[1]->trigger();
  QTest::qWait(1);
  EXPECT_EQ(dlg.MenuItemCount(), 8);
  EXPECT_EQ(PaintTargets(dlg, rig.sender), (Targets{{2, 0, 0, 50}}));

  // The dialog names the reason and stays; with no room it says so.
  WhileModal([&] { Choose(devices.AddItem()); },
             [](QWidget* modal) {
               auto* add = qobject_cast<AddNodeDlg*>(modal);
               ASSERT_NE(add, nullptr);
               EXPECT_EQ(add->AddressField()->accessibleName(), "IPv4 address");
               add->AddressField()->setText("300.1.1.1");
               QTest::keyClick(add->AddressField(), Qt::Key_Return);
               EXPECT_TRUE(add->isVisible());
               EXPECT_EQ(add->Problem()->text(), AddressProblemText(AddressProblem::Malformed));
               add->AddressField()->setText("2.0.0.60");
               QTest::keyClick(add->AddressField(), Qt::Key_Return);
               EXPECT_FALSE(add->isVisible());
             });
  EXPECT_EQ(ItemAt(dlg, 8)->text(), "2.0.0.60");
  WhileModal([&] { Choose(devices.AddItem()); },
             [](QWidget* modal) {
               auto* add = qobject_cast<AddNodeDlg*>(modal);
               ASSERT_NE(add, nullptr);
               EXPECT_TRUE(add->Problem()->text().contains("8 devices"));
               EXPECT_FALSE(add->AddressField()->isEnabled());
               add->reject();
             });

  // An added node that answers is listed once, under its own name, still ticked.
  ApplyReply(*rig.table, {{2, 0, 0, 50}, 0x1A, 0x2C, "", "Answered"});
  devices.Rebuild();
  EXPECT_EQ(dlg.MenuItemCount(), 9);
  EXPECT_EQ(ItemAt(dlg, 7)->text(), "Answered");
  EXPECT_EQ(PaintTargets(dlg, rig.sender), (Targets{{2, 0, 0, 50}}));
}

TEST(DevicesMenu, RememberedTicksComeBackWhenTheirNodesAreListed) {
  RecordingSender sender;
  LocalAddressTable local{};
  local[0] = {2, 0, 0, 1};
  Settings remembered;
  remembered.waitAtStart = false;
  remembered.addedNodes = {{2, 0, 0, 70}};
  remembered.tickedDevices = {{2, 0, 0, 31}, {2, 0, 0, 70}};
  remembered.broadcastTicked = false;
  for (const bool answers : {true, false}) {
    NodeTable table;
    CWheelDlg dlg(sender, table, local);
    dlg.Devices().Restore(remembered);
    InitOptions options;
    options.discoveryWait = 0ms;
    options.showSplash = false;
    options.searchInBackground = true;
    options.searchWait = 50ms;
    ASSERT_TRUE(dlg.OnInitDialog(options));
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    EXPECT_FALSE(dlg.Devices().WaitItem()->isChecked());
    // The added node is there at once, ticked; the other one once it has answered.
    EXPECT_EQ(PaintTargets(dlg, sender), (Targets{{2, 0, 0, 70}}));
    if (answers) ApplyReply(table, {{2, 0, 0, 31}, 0x1A, 0x2C, "", "Late"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg.Devices().Searching(); }));
    const Targets expected =
        answers ? Targets{{2, 0, 0, 31}, {2, 0, 0, 70}} : Targets{{2, 0, 0, 70}};
    EXPECT_EQ(PaintTargets(dlg, sender), expected);
    Settings stored;
    dlg.Devices().Store(stored);
    EXPECT_EQ(stored, remembered);
  }
}

}  // namespace
}  // namespace chromaset::test
