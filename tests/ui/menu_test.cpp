// The Devices menu: which nodes are listed and how, the three selection states, and where the
// output goes for each.
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSlider>

#include <gtest/gtest.h>

#include "window_test_support.h"

namespace chromaset::test {
namespace {

const Ipv4Bytes kBroadcast{255, 255, 255, 255};

using Targets = std::vector<Ipv4Bytes>;

// Where one paint of the Red slider sends the frame.
Targets PaintTargets(DialogRig& rig) {
  rig.sender.sent.clear();
  rig.dialog->SliderRed()->repaint();
  Targets out;
  for (const SentFrame& f : rig.sender.sent) out.push_back(f.destination);
  return out;
}

TEST(DevicesMenu, ListsAcceptedNodesInTableOrderWithIdsAndGreying) {
  DialogRig rig;
  ApplyReply(*rig.table, {{2, 0, 0, 20}, 0x12, 0x34, "o", "Other maker"});
  ApplyReply(*rig.table, {{2, 0, 0, 21}, 0x1A, 0x2C, "n21", "Near"});
  ApplyReply(*rig.table, {{2, 0, 7, 22}, 0x2C, 0x1A, "n22", "Third octet differs"});
  ApplyReply(*rig.table, {{2, 0, 0, 23}, 0x1A, 0x1A, "x", "Half a code"});
  rig.Start();
  CWheelDlg& dlg = *rig.dialog;

  EXPECT_EQ(dlg.MenuBar()->actions().value(0)->text(), "Devices");
  ASSERT_EQ(dlg.MenuItemCount(), 3);
  QAction* all = ItemAt(dlg, 0);
  EXPECT_EQ(all->text(), "ALL (Broadcast)");
  EXPECT_TRUE(all->isChecked() && all->isEnabled());
  EXPECT_EQ(ItemAt(dlg, 1)->text(), "Near");
  EXPECT_TRUE(ItemAt(dlg, 1)->isEnabled());
  EXPECT_FALSE(ItemAt(dlg, 1)->isChecked());
  EXPECT_TRUE(ItemAt(dlg, 1)->toolTip().contains("2.0.0.21"));
  EXPECT_TRUE(ItemAt(dlg, 1)->toolTip().contains("n21"));
  EXPECT_EQ(ItemAt(dlg, 2)->text(), "Third octet differs");
  EXPECT_FALSE(ItemAt(dlg, 2)->isEnabled());
  EXPECT_EQ(dlg.DeviceCount(), 2);

  // A greyed item never becomes a target, even when its mark is set.
  dlg.OnDevice(2);
  Choose(ItemAt(dlg, 1));
  EXPECT_EQ(PaintTargets(rig), (Targets{{2, 0, 0, 21}}));
}

TEST(DevicesMenu, ReservedAddressesAreGreyedEvenOnAMatchingNetwork) {
  // Each node shares its first three octets with the host's first address, which alone would
  // enable it; its address can never be a node's own, so it stays greyed.
  const std::vector<std::pair<Ipv4Bytes, Ipv4Bytes>> cases = {
      {{0, 0, 0, 0}, {0, 0, 0, 6}},
      {{127, 0, 0, 1}, {127, 0, 0, 5}},
      {{224, 0, 0, 1}, {224, 0, 0, 7}},
      {{255, 255, 255, 1}, {255, 255, 255, 255}},
  };
  for (const auto& [local, node] : cases) {
    DialogRig rig;
    rig.local[0] = local;
    ApplyReply(*rig.table, {node, 0x1A, 0x2C, "", "Reserved"});
    ApplyReply(*rig.table, {{local[0], local[1], local[2], 200}, 0x1A, 0x2C, "", "Control"});
    rig.Start();
    ASSERT_EQ(rig.dialog->DeviceCount(), 2);
    EXPECT_FALSE(ItemAt(*rig.dialog, 1)->isEnabled()) << int(node[0]);
    // The same network without the reserved range is enabled (fourth octet 200 is fine
    // except under 224/4 and 255).
    EXPECT_EQ(ItemAt(*rig.dialog, 2)->isEnabled(),
              local[0] != 0 && local[0] < 224 && local[0] != 127);
  }
}

TEST(DevicesMenu, NineNodesGiveEightItemsAndTheNinthIsNeverATarget) {
  DialogRig rig;
  for (std::uint8_t h = 1; h <= 9; ++h) {
    ApplyReply(*rig.table, {{2, 0, 0, static_cast<std::uint8_t>(100 + h)}, 0x1A, 0x2C, "", "N"});
  }
  rig.Start();
  CWheelDlg& dlg = *rig.dialog;
  EXPECT_EQ(dlg.DeviceCount(), 9);
  ASSERT_EQ(dlg.MenuItemCount(), 9);
  for (int k = 1; k <= 8; ++k) EXPECT_EQ(ItemAt(dlg, k)->data().toInt(), 130 + k);

  // Every listed device ticked: eight datagrams per paint, the ninth node gets none.
  for (int k = 1; k <= 8; ++k) Choose(ItemAt(dlg, k));
  dlg.OnDevice(9);  // no item at position 9: only the broadcast mark goes
  Targets eight;
  for (std::uint8_t h = 101; h <= 108; ++h) eight.push_back({2, 0, 0, h});
  EXPECT_EQ(PaintTargets(rig), eight);

  // "ALL (Broadcast)" clears every device mark.
  Choose(ItemAt(dlg, 0));
  for (int k = 1; k <= 8; ++k) EXPECT_FALSE(ItemAt(dlg, k)->isChecked());

  // A full table is walked to its last slot.
  DialogRig full;
  for (int i = 1; i <= 99; ++i) {
    ApplyReply(*full.table, {{2, 0, 0, static_cast<std::uint8_t>(i)}, 0x1A, 0x2C, "", "N"});
  }
  full.Start();
  EXPECT_EQ(full.dialog->DeviceCount(), 99);
}

TEST(DevicesMenu, SelectionStatesFollowTheMarks) {
  DialogRig rig;
  ApplyReply(*rig.table, {{2, 0, 0, 31}, 0x1A, 0x2C, "", "One"});
  ApplyReply(*rig.table, {{2, 0, 0, 32}, 0x1A, 0x2C, "", "Two"});
  rig.Start();
  CWheelDlg& dlg = *rig.dialog;
  QAction* all = ItemAt(dlg, 0);
  QAction* one = ItemAt(dlg, 1);
  QAction* two = ItemAt(dlg, 2);

  // Choosing the checked broadcast item keeps it checked (no double flip).
  Choose(all);
  EXPECT_TRUE(all->isChecked());

  // Tick then untick a device: nothing is checked and nothing is sent.
  Choose(one);
  EXPECT_FALSE(all->isChecked());
  EXPECT_TRUE(one->isChecked());
  Choose(one);
  EXPECT_FALSE(one->isChecked());
  EXPECT_FALSE(all->isChecked());
  EXPECT_TRUE(PaintTargets(rig).empty());

  // Two devices, in menu order whatever the order of ticking; broadcast clears both.
  Choose(two);
  Choose(one);
  EXPECT_EQ(PaintTargets(rig), (Targets{{2, 0, 0, 31}, {2, 0, 0, 32}}));
  Choose(all);
  EXPECT_FALSE(one->isChecked());
  EXPECT_FALSE(two->isChecked());
  EXPECT_EQ(PaintTargets(rig), (Targets{kBroadcast}));
}

TEST(DevicesMenu, ItemsKeepWhatTheBuildSaw) {
  DialogRig rig;
  ApplyReply(*rig.table, {{2, 0, 0, 41}, 0x1A, 0x2C, "", "Bar & Grill"});
  ApplyReply(*rig.table, {{2, 0, 0, 42}, 0x1A, 0x2C, "", std::string(64, 'L')});
  ApplyReply(*rig.table, {{2, 0, 0, 43}, 0x1A, 0x2C, "", "Caf\xE9"});
  rig.Start();
  CWheelDlg& dlg = *rig.dialog;

  // '&' shows literally; a name filling its field ends at the field; bytes are Latin-1.
  EXPECT_EQ(ItemAt(dlg, 1)->text(), "Bar && Grill");
  EXPECT_EQ(ItemAt(dlg, 1)->iconText(), "Bar & Grill");
  EXPECT_EQ(ItemAt(dlg, 2)->text(), QString(64, 'L'));
  EXPECT_EQ(ItemAt(dlg, 3)->text(), QString::fromUtf8("Caf\u00e9"));

  // A renamed node and a node that answers only now change nothing in the menu.
  ApplyReply(*rig.table, {{2, 0, 0, 41}, 0x1A, 0x2C, "", "Renamed"});
  ApplyReply(*rig.table, {{2, 0, 0, 44}, 0x1A, 0x2C, "", "Late"});
  EXPECT_EQ(ItemAt(dlg, 1)->text(), "Bar && Grill");
  EXPECT_EQ(dlg.MenuItemCount(), 4);
  EXPECT_EQ(dlg.DeviceCount(), 3);
}

TEST(DevicesMenu, AnItemSendsToTheAddressCapturedAtBuild) {
  DialogRig rig;
  ApplyReply(*rig.table, {{2, 0, 0, 51}, 0x1A, 0x2C, "", "First"});
  rig.Start();
  CWheelDlg& dlg = *rig.dialog;
  Choose(ItemAt(dlg, 1));

  // The slot behind item 1 now holds another node.
  rig.table.emplace();
  ApplyReply(*rig.table, {{2, 0, 0, 99}, 0x1A, 0x2C, "", "Intruder"});
  EXPECT_EQ(PaintTargets(rig), (Targets{{2, 0, 0, 51}}));
}

}  // namespace
}  // namespace chromaset::test
