#include "window_test_support.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstring>

#include <gtest/gtest.h>

#include "art_packets.h"

namespace chromaset::test {

bool RecordingSender::SendArtDmx(const DmxFrame* frame, const Ipv4Bytes& destination) {
  SentFrame f;
  f.destination = destination;
  f.length = frame->Length;
  std::memcpy(f.channels.data(), frame->Data, 4);
  for (std::size_t i = 4; i < kDmxChannels; ++i) {
    if (frame->Data[i] != 0) f.restZero = false;
  }
  sent.push_back(f);
  return true;
}

std::vector<std::uint8_t> MakePollReply(const NodeReply& reply) {
  std::vector<std::uint8_t> b(kTestReplyLength, 0);
  PutArtNetHeader(b.data(), kTestOpPollReply);
  std::copy(reply.ip.begin(), reply.ip.end(), b.begin() + kAtIpAddress);
  b[kAtPort] = kTestArtNetPort & 0xFF;  // low byte first
  b[kAtPort + 1] = kTestArtNetPort >> 8;
  b[kAtEsta24] = reply.esta24;
  b[kAtEsta25] = reply.esta25;
  PutText(b.data() + kAtShortName, kShortNameWidth, reply.shortName);
  PutText(b.data() + kAtLongName, kLongNameWidth, reply.longName);
  std::fill_n(b.begin() + kAtNodeReport, kNodeReportWidth, 'X');  // never part of a name
  return b;
}

void ApplyReply(NodeTable& table, const NodeReply& reply) {
  const auto bytes = MakePollReply(reply);
  ProcessDatagram(bytes.data(), bytes.size(), table);
}

bool PaintCounter::eventFilter(QObject* /*watched*/, QEvent* event) {
  if (event->type() == QEvent::Paint) {
    ++paints;
    return m_swallow;
  }
  return false;
}

DialogRig::DialogRig() {
  table.emplace();
  local[0] = {2, 0, 0, 1};
}

DialogRig::~DialogRig() { dialog.reset(); }

void DialogRig::Start() {
  dialog = std::make_unique<CWheelDlg>(sender, *table, local);
  InitOptions options;
  options.discoveryWait = std::chrono::milliseconds(0);
  options.showSplash = false;
  ASSERT_TRUE(dialog->OnInitDialog(options));
  dialog->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
  Settle();
}

void Settle() {
  for (int i = 0; i < 5; ++i) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
}

QPoint WheelToDialog(const CWheelDlg& dialog, QPoint wheelPoint) {
  return dialog.WheelPicture()->mapTo(&dialog, wheelPoint);
}

void SendMouse(QWidget* target, QEvent::Type type, QPoint pos, Qt::MouseButton button,
               Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
  QMouseEvent event(type, QPointF(pos), QPointF(target->mapToGlobal(pos)), button, buttons,
                    modifiers);
  QApplication::sendEvent(target, &event);
}

void Choose(QAction* item) { item->trigger(); }

QAction* ItemAt(const CWheelDlg& dialog, int k) {
  const auto items = dialog.DevicesMenu()->actions();
  return k < items.size() ? items[k] : nullptr;
}

void WhileModal(const std::function<void()>& action, const std::function<void(QWidget*)>& check) {
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
  poll.stop();
  EXPECT_TRUE(checked) << "no modal dialog came up";
}

}  // namespace chromaset::test
