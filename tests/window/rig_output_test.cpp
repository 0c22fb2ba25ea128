// A rig of four fixtures on two universes: what the window sends for the selected fixtures over
// the recording sender, and in the lab the same bytes from a pick and from `--send --rig`.
#include <fstream>
#include <set>

#include "autosave.h"
#include "definition_files.h"
#include "rig.h"
#include "rig_file.h"

namespace chromaset::test {

namespace {

// A (DRGBW) and B (RGB) on 0:0:0, C and D (RGBW) on 0:0:1; the file's first is not on the first.
constexpr char kStage[] = R"({"chromasetRig": 1, "fixtures": [
  {"name": "C", "universe": "0:0:1", "address": 1, "layout": "RGBW", "colour": [9, 9, 9, 8]},
  {"name": "A", "universe": "0:0:0", "address": 1, "layout": "DRGBW", "colour": [1, 2, 3, 4]},
  {"name": "B", "universe": "0:0:0", "address": 10, "layout": "RGB", "colour": [5, 6, 7, 8]},
  {"name": "D", "universe": "0:0:1", "address": 7, "layout": "RGBW", "colour": [7, 7, 7, 7]}]})";

void Load(CWheelDlg& dlg) {
  chromaset::Rig rig;
  QString error;
  ASSERT_TRUE(ReadRig(kStage, rig, error)) << error.toStdString();
  dlg.Model().Load(rig);
}

// A universe's 512 channels: A's or C's bytes from 1 on, B's or D's from `second` on, rest 0.
std::vector<std::uint8_t> Channels(std::vector<std::uint8_t> first, int second,
                                   std::vector<std::uint8_t> other) {
  first.resize(512);
  std::copy(other.begin(), other.end(), first.begin() + second - 1);
  return first;
}

using Frames = std::vector<std::pair<int, std::vector<std::uint8_t>>>;  // SubUni, channels
Frames Got(const Rig& w) {
  Frames out;
  for (const auto& [to, f] : w.sent) out.emplace_back(f.SubUni, std::vector(f.Data, f.Data + 512));
  return out;
}

}  // namespace

TEST(RigOutput, TheSelectedFixturesGetTheColourAndOnlyTheirUniversesAreSent) {
  Rig w;
  Load(w.dlg);
  w.sent.clear();
  w.dlg.Model().Select({0, 2});  // C and B: the sliders show C's colour, and send nothing
  QTest::qWait(50);
  EXPECT_TRUE(w.sent.empty());
  EXPECT_EQ(w.Sliders(), (std::vector{9, 9, 9, 8}));
  // One paint sends both universes; B has no white channel, so white raises its R, G and B.
  w.dlg.SliderWhite()->setValue(50);
  PaintTargets(w, w.dlg.SliderWhite());
  EXPECT_EQ(Got(w), (Frames{{0, Channels({255, 1, 2, 3, 4}, 10, {55, 56, 57})},
                            {1, Channels({9, 9, 9, 50}, 7, {7, 7, 7, 7})}}));
  EXPECT_EQ(PaintTargets(w, w.dlg.SliderWhite()).size(), 2);  // a repaint with nothing new too

  w.dlg.Model().Select({1, 2});  // both on 0:0:0
  QTest::qWait(50);
  EXPECT_EQ(w.Sliders(), (std::vector{1, 2, 3, 4}));
  w.dlg.SliderRed()->setValue(100);
  PaintTargets(w);
  EXPECT_EQ(Got(w), (Frames{{0, Channels({255, 100, 2, 3, 4}, 10, {150, 56, 57})}}));
  // A code whose Red, Green and Blue the sliders already show still sets B, by one paint.
  Named<QLineEdit>(w.dlg, "Colour code")->setText("#640203");
  w.sent.clear();
  EXPECT_TRUE(w.dlg.Values().ApplyColourCode());
  QTest::qWait(30);
  EXPECT_EQ(Got(w), (Frames{{0, Channels({255, 100, 2, 3, 4}, 10, {150, 52, 53})}}));

  const QByteArray before = WriteRig(w.dlg.Model().Current());
  w.sent.clear();
  EXPECT_FALSE(w.dlg.Output().SetPatch({0, 0, 0, 8}));  // A over B's channels
  EXPECT_TRUE(w.sent.empty());
  EXPECT_EQ(WriteRig(w.dlg.Model().Current()), before);
}

TEST(RigOutput, KeepAliveResendsEveryUniverseToEveryDestination) {
  Rig w({Node({2, 0, 0, 5}), Node({2, 0, 0, 6})});
  w.Item(1)->trigger();
  w.Item(2)->trigger();
  QTemporaryDir dir;  // the remembered rig comes back with every colour at 0
  const QString path = dir.filePath("rig.json");
  ASSERT_TRUE(WriteFile(path, kStage) && RestoreRig(w.dlg, path));  // only C's universe is selected
  ASSERT_EQ(w.dlg.Model().Current().Count(), 4);
  for (const Fixture& f : w.dlg.Model().Current().Fixtures()) EXPECT_EQ(f.colour, Rgbw{});
  QTest::qWait(50);  // the sliders' paints of C's new colour are sent before the wait starts
  w.dlg.Output().SetKeepAlive(true);
  w.sent.clear();
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.sent.size() >= 4; }, 3000));
  std::set<std::pair<int, int>> resent;  // node, universe
  for (const auto& [to, f] : w.sent) resent.emplace(to[3], f.SubUni);
  EXPECT_EQ(resent, (std::set<std::pair<int, int>>{{5, 0}, {5, 1}, {6, 0}, {6, 1}}));
}

// A pick on B and C in the window, then `--send --rig` of the same file and colour for them.
TEST(RigLab, TheWindowAndSendRigPutTheSameBytesAtTheNode) {
  CHROMASET_LAB_OR_SKIP(lab, {5});
  lab::SimNode node(*lab, 5);
  QTemporaryDir dir;
  const std::string path = dir.filePath("stage.json").toStdString();
  ASSERT_TRUE(std::ofstream(path) << kStage);
  const std::vector<std::vector<std::uint8_t>> expected{
      MakeArtDmx(Channels({255, 1, 2, 3, 4}, 10, {255, 8, 8}).data(), 512, 0, 0),
      MakeArtDmx(Channels({255, 0, 0, 8}, 7, {7, 7, 7, 7}).data(), 512, 0, 1)};
  const auto received = [&] {
    std::vector<std::vector<std::uint8_t>> out;
    for (const lab::Datagram& d : node.DmxFrames()) out.push_back(d.bytes);
    return out;
  };
  auto scope = lab->EnterController();
  {
    ArtNetLink link;
    CWheelDlg dlg(link);
    ASSERT_TRUE(dlg.OnInitDialog({0ms, {}, /*showSplash=*/false}));
    dlg.show();
    Load(dlg);
    dlg.Model().Select({0, 2});
    QTest::qWait(50);
    dlg.ApplyPickedColour(251, 150);  // pure red, white stays
    ASSERT_TRUE(QTest::qWaitFor([&] {
      const auto got = received();
      return got.size() >= 2 && std::equal(expected.begin(), expected.end(), got.end() - 2);
    }));
  }
  node.ClearReceived();
  const std::string send = "'" CHROMASET_BINARY "' --send 255,0,0,8 --fixture B --fixture C --rig ";
  EXPECT_EQ(std::system((send + "'" + path + "'").c_str()), 0);
  ASSERT_TRUE(node.WaitFor([&] { return node.Received().size() >= 2; }));
  EXPECT_EQ(received(), expected);
}

}  // namespace chromaset::test
