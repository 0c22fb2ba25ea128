// Each universe to the nodes that output it, and the ArtSync after each pass: over the recording
// sender with the port table filled by hand and the routing clock injected, then on the wire.
#include "node_routing.h"
#include "rig.h"
#include "rig_file.h"

namespace chromaset::test {

namespace {

// One RGBW fixture at address 1 of each of 0:0:1, 0:0:2 and 0:0:3.
void LoadThreeUniverses(CWheelDlg& dlg) {
  chromaset::Rig rig;
  QString error;
  ASSERT_TRUE(ReadRig(R"({"chromasetRig": 1, "fixtures": [
    {"name": "A", "universe": "0:0:1", "address": 1, "layout": "RGBW"},
    {"name": "B", "universe": "0:0:2", "address": 1, "layout": "RGBW"},
    {"name": "C", "universe": "0:0:3", "address": 1, "layout": "RGBW"}]})",
                      rig, error))
      << error.toStdString();
  dlg.Model().Load(rig);
}

// .5 outputs 0:0:1 and 0:0:2 on BindIndex 1 and 0:0:2 again on BindIndex 2; .6 outputs 0:0:1
// and takes 0:0:3 in (not a destination).
const ReplyPorts kFiveBind1 = OutputPorts(0, 0, 1, 2, 1), kFiveBind2 = OutputPorts(0, 0, 2, 1, 2);
const ReplyPorts kSix{0, 0, 0, 2, {kOutputPort, kInputPort, 0, 0}, {1, 3, 0, 0}};

// (universe, last octet) of each datagram sent; an ArtSync is (-1, 0).
using Sent = std::vector<std::pair<int, int>>;
Sent Take(Rig& w) {
  Sent out;
  for (const auto& [to, f] : w.sent) out.emplace_back(f.Length == 0 ? -1 : f.SubUni, to[3]);
  w.sent.clear();
  return out;
}
constexpr std::pair<int, int> kSync{-1, 0};

}  // namespace

TEST(Routing, EachUniverseGoesOnlyToItsNodesOnceEachThenOneArtSync) {
  Rig w({}, {2, 0, 0, 1}, false);
  PortTime clock = std::chrono::steady_clock::now();
  const auto reply = [&](std::uint8_t host, const ReplyPorts& ports) {
    const PollReply r = Node({2, 0, 0, host}).SetPorts(ports);  // a copy of the whole reply
    ProcessDatagram(r.data(), r.length, *w.table, w.ports, clock);
  };
  reply(5, kFiveBind1), reply(5, kFiveBind2), reply(6, kSix);
  w.Start();
  CWheelDlg& dlg = w.dlg;
  dlg.Routing().SetClock([&] { return clock; });
  EXPECT_EQ(w.Item(1)->toolTip(), "<qt>2.0.0.5<br><br>Outputs 0:0:1, 0:0:2</qt>");
  LoadThreeUniverses(dlg);
  dlg.OutputMenuItems()->SyncItem()->trigger();
  w.sent.clear();
  dlg.Output().Send();  // routing off: the menu's broadcast, then the sync
  EXPECT_EQ(Take(w), (Sent{{1, 255}, kSync}));

  dlg.Routing().Item()->trigger();  // on: every node gets its universes at once
  EXPECT_EQ(Take(w), (Sent{{1, 5}, {1, 6}, {2, 5}, kSync}));
  const QString status = dlg.findChild<QLabel*>("m_outputStatus")->text();
  EXPECT_TRUE(status.endsWith(" \u00b7 routed \u00b7 not routed: 0:0:3 \u00b7 ArtSync"))
      << status.toStdString();
  dlg.Model().SelectAll();
  dlg.Output().Send();
  EXPECT_EQ(Take(w), (Sent{{1, 5}, {1, 6}, {2, 5}, kSync}));

  EXPECT_EQ(dlg.Devices().AddNode("2.0.0.9"), "");  // added nodes get every universe
  dlg.Routing().Check();
  EXPECT_EQ(Take(w), (Sent{{1, 9}, {2, 9}, {3, 9}, kSync}));
  EXPECT_FALSE(dlg.findChild<QLabel*>("m_outputStatus")->text().contains("not routed"));

  clock += 2s;  // a node that appears gets its universe at the next look, keep-alive off
  reply(7, OutputPorts(0, 0, 3));
  dlg.Routing().Check();
  EXPECT_EQ(Take(w), (Sent{{3, 7}, kSync}));
  clock += kNodeSilence - 1s;  // .5 and .6 silent for 10 s: dropped; .7 not yet
  dlg.Routing().Check();
  EXPECT_EQ(Take(w), Sent{});
  dlg.Output().Send();
  EXPECT_EQ(Take(w), (Sent{{1, 9}, {2, 9}, {3, 7}, {3, 9}, kSync}));

  dlg.Output().SetKeepAlive(true);  // a wake sends every routed universe, then one sync
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return !w.sent.empty() && !w.sent.back().second.Length; }, 2500))
      << "no keep-alive pass ending in an ArtSync within 2.5 s";
  EXPECT_EQ(Take(w), (Sent{{1, 9}, {2, 9}, {3, 7}, {3, 9}, kSync}));
  dlg.Routing().Item()->trigger();  // off: the menu's broadcast gets every universe at once
  EXPECT_EQ(Take(w), (Sent{{1, 255}, {2, 255}, {3, 255}, kSync}));
}

// On the wire: one change with both on reaches each node as the frames of the universes it
// outputs, unicast, then one ArtSync to the broadcast address after the last of them.
TEST(RoutingLab, OneChangeGoesToTheNodesThatOutputEachUniverseThenOneArtSync) {
  CHROMASET_LAB_OR_SKIP(lab, {5, 6});
  lab::ReplyConfig five, six;
  five.ports = {kFiveBind1, kFiveBind2};
  six.ports = {kSix};
  lab::SimNode a(*lab, 5, five), b(*lab, 6, six);
  auto scope = lab->EnterController();
  ArtNetLink link;
  CWheelDlg dlg(link);  // never shown: no paint sends
  ASSERT_TRUE(dlg.OnInitDialog({300ms, {}, /*showSplash=*/false}));
  LoadThreeUniverses(dlg);
  dlg.Output().SetSync(true);
  dlg.Output().SetRouting(true);
  // Both nodes heard on the link (.5 twice): the routes are whole.
  ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.Output().Routes().For(1).size() == 2; }))
      << "both nodes' answers not routed within 5 s";
  QTest::qWait(200);  // the newcomers' frames arrive
  a.ClearReceived(), b.ClearReceived();
  dlg.Model().SelectAll();
  dlg.Model().SetSelectedColour(kSetRgb, Rgbw{255, 0, 0, 0});
  dlg.Output().Send();
  std::vector<std::uint8_t> red(512),
      sync{'A', 'r', 't', '-', 'N', 'e', 't', 0, 0, 0x52, 0, 14, 0, 0};
  red[0] = 255;
  const auto seen = [](const lab::SimNode& node) {  // to, bytes; polls left out
    std::vector<std::pair<lab::Ipv4, std::vector<std::uint8_t>>> out;
    for (const lab::Datagram& d : node.Received())
      if (ArtNetOpCode(d.bytes) != kTestOpPoll) out.emplace_back(d.to, d.bytes);
    return out;
  };
  ASSERT_TRUE(b.WaitFor([&] { return b.Received(0x5200).size() == 1; }))
      << "no ArtSync at .6 within 3 s";
  QTest::qWait(100);  // anything more would show
  using Seen = decltype(seen(a));
  EXPECT_EQ(seen(a), (Seen{{a.Address(), MakeArtDmx(red.data(), 512, 0, 1)},
                           {a.Address(), MakeArtDmx(red.data(), 512, 0, 2)},
                           {lab::kBroadcast, sync}}));
  EXPECT_EQ(seen(b),
            (Seen{{b.Address(), MakeArtDmx(red.data(), 512, 0, 1)}, {lab::kBroadcast, sync}}));
  EXPECT_GE(b.Received(0x5200)[0].at, a.DmxFrames().back().at);
}

}  // namespace chromaset::test
