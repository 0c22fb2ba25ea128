// The window offscreen over a sender that records instead of sending and a node table filled by
// hand, and ways to drive it as the window system would.
#pragma once

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "art_packets.h"
#include "wheel_dlg.h"

namespace chromaset::test {

struct Sent {
  Ipv4Bytes to;
  DmxFrame frame;
};

class RecordingSender : public ArtDmxSender {
 public:
  bool SendArtDmx(const DmxFrame* frame, const Ipv4Bytes& to) override {
    sent.push_back({to, *frame});
    return true;
  }
  std::vector<Sent> sent;
};

// A node's answer; a plain one is from an accepted maker.
inline PollReplyFields Node(Ipv4Bytes ip, std::string longName = "N", std::uint8_t esta24 = 0x1A,
                            std::uint8_t esta25 = 0x2C, std::string shortName = "") {
  PollReplyFields f;
  f.ip = ip;
  f.longName = std::move(longName);
  f.esta24 = esta24;
  f.esta25 = esta25;
  f.shortName = std::move(shortName);
  return f;
}

inline void Answer(NodeTable& table, const PollReplyFields& reply) {
  const auto bytes = MakeArtPollReply(reply);
  ProcessDatagram(bytes.data(), bytes.size(), table);
}

// Delivers pending events until the window has nothing more to paint.
inline void Settle() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// A window whose table holds the given answers, local address `local`, no discovery wait, shown.
struct Rig {
  explicit Rig(const std::vector<PollReplyFields>& answers = {}, Ipv4Bytes local = {2, 0, 0, 1}) {
    locals[0] = local;
    for (const auto& a : answers) Answer(*table, a);
    InitOptions options;
    options.discoveryWait = std::chrono::milliseconds(0);
    options.showSplash = false;
    EXPECT_TRUE(dlg.OnInitDialog(options));
    dlg.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    Settle();
  }
  QAction* Item(int k) const { return dlg.DevicesMenu()->actions().value(k); }
  // A pointer event at a point of the wheel picture, as the window system delivers it.
  void Mouse(QEvent::Type type, QPoint wheel, Qt::MouseButtons buttons,
             Qt::KeyboardModifiers modifiers = {}) {
    const QPoint at = dlg.WheelPicture()->mapTo(&dlg, wheel);
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(at), QPointF(dlg.mapToGlobal(at)), button, buttons, modifiers);
    QApplication::sendEvent(&dlg, &event);
  }
  void Press(QPoint wheel, QEvent::Type type = QEvent::MouseButtonPress) {
    Mouse(type, wheel, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, wheel, Qt::NoButton);
  }
  std::vector<int> Sliders() const {
    return {dlg.SliderRed()->value(), dlg.SliderGreen()->value(), dlg.SliderBlue()->value(),
            dlg.SliderWhite()->value()};
  }

  RecordingSender sender;
  std::optional<NodeTable> table{std::in_place};
  LocalAddressTable locals{};
  CWheelDlg dlg{sender, *table, locals};
};

}  // namespace chromaset::test
