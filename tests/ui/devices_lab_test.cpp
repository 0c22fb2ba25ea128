// The Devices menu on a real link in the lab: "Search again" finds a node that starts answering
// after the start and keeps the ticks; an added node that never answers gets its frames.
#include <QAction>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

#include "lab.h"
#include "rig.h"
#include "sim_node.h"

namespace chromaset::test {
namespace {

using namespace std::chrono_literals;

bool GotRedAt(const lab::SimNode& node, std::uint8_t red) {
  return QTest::qWaitFor([&] {
    for (const lab::Datagram& d : node.DmxFrames()) {
      if (d.to == node.Address() && d.bytes.size() == 530 && d.bytes[18] == red) return true;
    }
    return false;
  });
}

TEST(LabDevices, SearchAgainFindsALateNodeAndAnAddedNodeGetsUnicast) {
  CHROMASET_LAB_OR_SKIP(lab, {5, 6, 7});
  lab::ReplyConfig silent;
  silent.answer = false;
  lab::SimNode early(*lab, 5);
  lab::SimNode late(*lab, 6, silent);
  lab::SimNode mute(*lab, 7, silent);
  ASSERT_TRUE(early.Ok() && late.Ok() && mute.Ok());
  auto scope = lab->EnterController();
  ArtNetLink link;
  CWheelDlg dlg(link);
  InitOptions options;
  options.discoveryWait = 300ms;
  options.showSplash = false;
  options.searchWait = 500ms;
  ASSERT_TRUE(dlg.OnInitDialog(options));
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  ASSERT_EQ(dlg.MenuItemCount(), 2);
  Choose(ItemAt(dlg, 1));

  late.SetReplyConfig({});
  Choose(dlg.Devices().SearchItem());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg.Devices().Searching(); }));
  ASSERT_EQ(dlg.MenuItemCount(), 3);
  EXPECT_TRUE(ItemAt(dlg, 1)->isChecked() && !ItemAt(dlg, 2)->isChecked());

  EXPECT_EQ(dlg.Devices().AddNode("2.0.0.7"), "");
  Choose(ItemAt(dlg, 3));
  late.ClearReceived();
  dlg.SliderRed()->setValue(99);
  EXPECT_TRUE(GotRedAt(mute, 99));
  EXPECT_TRUE(GotRedAt(early, 99));
  EXPECT_TRUE(late.DmxFrames().empty());
}

}  // namespace
}  // namespace chromaset::test
