// The settings file: what survives a save and a load, what a damaged file gives, and that a
// user who changed nothing gets no file.
#include <fstream>

#include "rig.h"
#include "window_placement.h"

namespace chromaset::test {

TEST(SettingsStore, RoundTripAndNoFileWithoutAChange) {
  const QTemporaryDir dir;
  const QString path = dir.path() + "/chromaset/chromaset.conf";  // the folder is made
  SettingsStore store(path);
  Settings s = store.Load();
  EXPECT_EQ(s, Settings{});
  EXPECT_FALSE(store.Save(s));
  EXPECT_FALSE(QFile::exists(path));

  s.patch = {127, 15, 15, 509};
  s.keepAlive = s.rateLimit = s.routeToOutputs = s.artSync = true;
  s.waitAtStart = s.broadcastTicked = false;
  s.addedNodes = {{2, 0, 0, 9}, {10, 1, 2, 3}};
  s.favourites[0] = Rgbw{0x0F, 0x80, 0x03, 0x01};  // single digits keep their leading zero
  s.tickedDevices = {{2, 0, 0, 9}};
  s.windowPosition = QPoint(-20, 300);
  EXPECT_TRUE(store.Save(s));
  EXPECT_FALSE(store.Save(s));
  EXPECT_EQ(SettingsStore(path).Load(), s);
  s.favourites[0].reset(), s.windowPosition.reset();  // back to defaults: written as such
  EXPECT_TRUE(store.Save(s));
  EXPECT_EQ(SettingsStore(path).Load(), s);
  QWidget window;  // a window left where it was shown has no position to remember
  const auto* placement = new WindowPlacement(window, std::nullopt);
  window.show(), QTest::qWait(30);
  EXPECT_EQ(placement->Position(), std::nullopt);
  window.move(window.pos() + QPoint(40, 30));
  EXPECT_EQ(placement->Position(), window.pos());
}

TEST(SettingsStore, DamagedFileGivesDefaultsForWhatIsWrongWithOneLineEach) {
  Settings partly;  // a bad entry of a list drops only itself
  partly.patch.universe = 3;
  partly.favourites[1] = Rgbw{0xFF, 0, 0, 0x80};
  partly.addedNodes = {{2, 0, 0, 77}};
  partly.tickedDevices = {{2, 0, 0, 6}};
  Settings eight;
  for (std::uint8_t h = 1; h <= 8; ++h) eight.addedNodes.push_back({2, 0, 0, h});
  const struct {
    QByteArray file;
    std::vector<std::string> named;  // in the stderr lines, one each
    Settings expected;
  } cases[] = {
      {QByteArray("\x00\xff[[[ not a settings file\n", 26), {"is corrupt"}, Settings{}},
      {"[output]\nnet=128\nsubNet=-1\nuniverse=3\nstart=510\nkeepAlive=maybe\nartSync=1\n"
       "[devices]\nadded=300.1.1.1 2.0.0.77 127.0.0.1\nticked=x 2.0.0.6 2.0.0.6\nwaitAtStart=1\n"
       "[favourites]\n1=GG0000FF\n2=FF000080\n3=FF00\n4=0x00FF00\n[window]\nx=5\n",
       {"output/net", "output/subNet", "output/start", "output/keepAlive", "output/artSync",
        "devices/added: '300.1.1.1'", "devices/added: '127.0.0.1'", "devices/ticked: 'x'",
        "'2.0.0.6' is listed twice", "devices/waitAtStart", "favourites/1", "favourites/3",
        "favourites/4", "window/y"},
       partly},
      {"[devices]\nadded=2.0.0.1, 2.0.0.2,2.0.0.3 2.0.0.4 2.0.0.5 2.0.0.6 2.0.0.7 2.0.0.8 "
       "2.0.0.9\n",
       {"devices/added: '2.0.0.9' is past the first 8"},
       eight},
  };
  for (const auto& c : cases) {
    const QTemporaryDir dir;
    const QString path = dir.path() + "/chromaset.conf";
    std::ofstream(path.toStdString(), std::ios::binary).write(c.file.data(), c.file.size());
    SettingsStore store(path);
    testing::internal::CaptureStderr();
    const Settings loaded = store.Load();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(loaded, c.expected) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), std::ssize(c.named)) << err;
    for (const std::string& key : c.named) EXPECT_NE(err.find(key), std::string::npos) << key;

    // Nothing changed: the file stays as it was; a change replaces what was wrong.
    EXPECT_FALSE(store.Save(loaded));
    std::ifstream kept(path.toStdString(), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), c.file.toStdString());
    Settings changed = loaded;
    changed.rateLimit = true;
    EXPECT_TRUE(store.Save(changed));
    testing::internal::CaptureStderr();
    EXPECT_EQ(SettingsStore(path).Load(), changed);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  }
}

}  // namespace chromaset::test
