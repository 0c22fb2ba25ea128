// The window offscreen over a sender that records instead of sending and a node table filled by
// hand, and the helpers every window test shares (the lab's ones included).
#pragma once

#include <gtest/gtest.h>
#include <QtTest>
#include <QtWidgets>

#include <numeric>
#include <optional>

#include "add_node_dlg.h"
#include "application.h"
#include "art_packets.h"
#include "discovery_splash.h"
#include "favourites_bar.h"
#include "lab.h"
#include "node_address.h"
#include "output_menu.h"
#include "patch_dialog.h"
#include "value_panel.h"

// Failures show texts as text.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace chromaset::test {

using namespace std::chrono_literals;

// A node's answer; a plain one is from an accepted maker.
inline PollReply Node(Ipv4Bytes ip, std::string_view longName = "N", std::uint8_t esta24 = 0x1A,
                      std::uint8_t esta25 = 0x2C, std::string_view shortName = "") {
  PollReply r({ip[0], ip[1], ip[2], ip[3]});
  r.SetLongName(longName).Set(kAtEsta24, esta24).Set(kAtEsta25, esta25);
  PutText(r.bytes.data() + kAtShortName, kShortNameWidth, shortName);
  return r;
}

inline void Answer(NodeTable& t, const PollReply& r) { ProcessDatagram(r.data(), r.length, t); }

// A window whose table holds the given answers, local address `local`; unless told not to start,
// initialised without a discovery wait and shown. It records what the window sends.
struct Rig : ArtDmxSender {
  explicit Rig(const std::vector<PollReply>& answers = {}, Ipv4Bytes local = {2, 0, 0, 1},
               bool start = true) {
    locals[0] = local;
    for (const auto& a : answers) Answer(*table, a);
    if (start) Start();
  }
  void Start(const InitOptions& options = {0ms, {}, /*showSplash=*/false}) {
    EXPECT_TRUE(dlg.OnInitDialog(options));
    dlg.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    QTest::qWait(30);  // the window paints
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
  const DmxFrame& Last() const { return sent.back().second; }
  void Recall(const Rgbw& values) { dlg.Values().Recall(values), QTest::qWait(30); }  // and paint

  bool SendArtDmx(const DmxFrame* frame, const Ipv4Bytes& to) override {
    sent.emplace_back(to, *frame);
    return true;
  }
  // An ArtSync is recorded in its place among the frames: a zero-length frame to 0.0.0.0.
  bool SendArtSync() override {
    sent.emplace_back(Ipv4Bytes{}, DmxFrame{});
    return true;
  }

  std::vector<std::pair<Ipv4Bytes, DmxFrame>> sent;  // destination, frame
  std::optional<NodeTable> table{std::in_place};
  LocalAddressTable locals{};
  PortTable ports;  // what the nodes output, filled by hand
  CWheelDlg dlg{*this, *table, locals, ports};
};

// Where one paint of a slider (Red unless told) sends the frame.
inline QStringList PaintTargets(Rig& rig, QSlider* slider = nullptr) {
  rig.sent.clear();
  (slider != nullptr ? slider : rig.dlg.SliderRed())->repaint();
  QStringList out;
  for (const auto& [to, frame] : rig.sent)
    out << QString::asprintf("%d.%d.%d.%d", to[0], to[1], to[2], to[3]);
  return out;
}

// Runs check on the modal dialog that action opens, once it is up; check must close it.
inline void WhileModal(const std::function<void()>& action,
                       const std::function<void(QWidget*)>& check) {
  bool checked = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || checked) return;
    checked = true;
    check(modal);
  });
  poll.start(10);
  action();
  EXPECT_TRUE(checked) << "no modal dialog came up";
}

// The widget of type T whose accessible name is name.
template <typename T>
T* Named(const QWidget& parent, const QString& name) {
  for (T* w : parent.findChildren<T*>())
    if (w->accessibleName() == name) return w;
  return nullptr;
}

}  // namespace chromaset::test
