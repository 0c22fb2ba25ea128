// The Devices menu's own actions over a recording sender: search again, added nodes and the
// remembered ticks, and where the frames go afterwards.
#include "rig.h"

namespace chromaset::test {

QStringList Texts(const CWheelDlg& dlg) {
  QStringList out;
  for (const QAction* a : dlg.DevicesMenu()->actions()) out << (a->isSeparator() ? "|" : a->text());
  return out;
}

TEST(DevicesMenu, SearchAgainRebuildsKeepingTicksByAddressAndTheBroadcastMark) {
  Rig rig({Node({2, 0, 0, 21}, "First")});
  CWheelDlg& dlg = rig.dlg;
  int polls = 0;
  dlg.Devices().SetPoll([&] { ++polls; });
  dlg.Devices().SetSearchWait(50ms);
  rig.Item(1)->trigger();
  Answer(*rig.table, Node({2, 0, 7, 22}, "Far"));
  Answer(*rig.table, Node({2, 0, 0, 23}, "Late"));
  dlg.Devices().SearchItem()->trigger();
  EXPECT_EQ(polls, 1);
  EXPECT_EQ(dlg.Devices().SearchItem()->text(), "Searching\u2026 (3 answered)");
  EXPECT_EQ(PaintTargets(rig), (QStringList{"2.0.0.21"}));  // usable meanwhile
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg.Devices().Searching(); }));
  EXPECT_EQ(Texts(dlg), QStringList({"ALL (Broadcast)", "First", "Far", "Late", "|", "Search again",
                                     "Add node\u2026", "Remove added node",
                                     "Send each universe to the nodes that output it",
                                     "Wait for nodes at start"}));
  EXPECT_FALSE(rig.Item(2)->isEnabled());
  rig.Item(3)->trigger();
  EXPECT_EQ(PaintTargets(rig), (QStringList{"2.0.0.21", "2.0.0.23"}));
  rig.Item(0)->trigger();
  dlg.Devices().SearchItem()->trigger();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg.Devices().Searching(); }));
  EXPECT_EQ(PaintTargets(rig), (QStringList{"255.255.255.255"}));
}

TEST(DevicesMenu, AddedNodesFollowDiscoveredOnesWithinEightItems) {
  std::vector<PollReply> nodes;
  for (std::uint8_t h = 101; h <= 105; ++h) nodes.push_back(Node({2, 0, 0, h}));
  Rig rig(nodes);
  DeviceMenu& devices = rig.dlg.Devices();
  for (const char* text : {"2.0.0.50", "9.9.9.9"}) EXPECT_EQ(devices.AddNode(text), "");
  EXPECT_NE(devices.AddNode("2.0.0.101"), "");  // already listed
  EXPECT_EQ(rig.Item(6)->text(), "2.0.0.50");
  EXPECT_FALSE(rig.Item(7)->isEnabled());  // another network
  rig.Item(6)->trigger();
  EXPECT_EQ(PaintTargets(rig), (QStringList{"2.0.0.50"}));

  // The dialog names the reason and stays open; a good address closes it.
  WhileModal([&] { devices.AddItem()->trigger(); },
             [](QWidget* modal) {
               auto* add = qobject_cast<AddNodeDlg*>(modal);
               ASSERT_NE(add, nullptr);
               EXPECT_EQ(add->AddressField()->accessibleName(), "IPv4 address");
               for (const char* text : {"127.0.0.1", "2.0.0.60"}) {
                 add->AddressField()->setText(text);
                 QTest::keyClick(add->AddressField(), Qt::Key_Return);
                 EXPECT_EQ(add->Problem()->isVisible(), add->isVisible()) << text;
               }
               EXPECT_EQ(add->Problem()->text(), AddressProblemText(AddressProblem::Loopback));
               EXPECT_FALSE(add->isVisible());
             });
  EXPECT_TRUE(devices.AddNode("2.0.0.61").contains("8 devices"));
  WhileModal([&] { devices.AddItem()->trigger(); },  // full: the reason instead of a field
             [](QWidget* modal) {
               auto* add = qobject_cast<AddNodeDlg*>(modal);
               ASSERT_NE(add, nullptr);
               EXPECT_TRUE(
                   add->Problem()->isVisible() && !add->AddressField()->isEnabled() &&
                   !add->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->isEnabled());
               EXPECT_TRUE(add->Problem()->text().contains("8 devices"));
               add->reject();
             });

  // Removing one keeps the other ticks; an added node that answers is listed once.
  devices.RemoveMenu()->actions()[1]->trigger();  // 9.9.9.9
  QTest::qWait(1);
  Answer(*rig.table, Node({2, 0, 0, 50}, "Answered"));
  devices.Rebuild();
  EXPECT_EQ(rig.dlg.MenuItemCount(), 8);
  EXPECT_EQ(rig.Item(6)->text(), "Answered");
  EXPECT_EQ(rig.Item(7)->text(), "2.0.0.60");
  EXPECT_EQ(PaintTargets(rig), (QStringList{"2.0.0.50"}));
}

TEST(DevicesMenu, AFullTableOfNinetyNineNodesGivesEightItems) {
  // On the heap, so a read past the table's last slot is a sanitizer error, not a neighbour.
  auto table = std::make_unique<NodeTable>();
  for (std::uint8_t h = 1; h <= 100; ++h) Answer(*table, Node({2, 0, 1, h}));  // one too many
  LocalAddressTable locals{};
  locals[0] = {2, 0, 1, 200};
  DeviceMenu devices(*table, locals);
  QMenuBar bar;
  devices.Create(&bar, nullptr);
  EXPECT_EQ(devices.DeviceCount(), 99);
  EXPECT_EQ(devices.ItemCount(), 8);
  EXPECT_EQ(devices.ItemAt(8)->text(), "N");
  devices.StartSearch(false);
  EXPECT_EQ(devices.SearchItem()->text(), "Searching\u2026 (99 answered)");
}

TEST(DevicesMenu, RememberedTicksComeBackWhenTheirNodesAreListed) {
  Rig rig({}, {2, 0, 0, 1}, false);
  Settings remembered;
  remembered.waitAtStart = false;
  remembered.addedNodes = {{2, 0, 0, 70}};
  remembered.tickedDevices = {{2, 0, 0, 31}, {2, 0, 0, 70}};
  remembered.broadcastTicked = false;
  rig.dlg.Devices().Restore(remembered);
  rig.Start({0ms, {}, /*showSplash=*/false, /*searchInBackground=*/true, 300ms});
  EXPECT_FALSE(rig.dlg.Devices().WaitItem()->isChecked());
  // The added node is there at once, ticked; a tick not shown yet is still remembered.
  EXPECT_EQ(PaintTargets(rig), (QStringList{"2.0.0.70"}));
  Settings stored;
  rig.dlg.Devices().Store(stored);
  EXPECT_EQ(stored, remembered);
  Answer(*rig.table, Node({2, 0, 0, 31}, "Late"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !rig.dlg.Devices().Searching(); }));
  EXPECT_EQ(PaintTargets(rig), (QStringList{"2.0.0.31", "2.0.0.70"}));
  rig.dlg.OnDevice(2);  // once the user chooses, that choice is what is stored
  rig.dlg.Devices().Store(stored);
  EXPECT_EQ(stored.tickedDevices, (std::vector<Ipv4Bytes>{{2, 0, 0, 31}}));
}

}  // namespace chromaset::test
