// Helpers for the window tests: a sender that records instead of sending, ArtPollReply bytes
// for filling a node table by hand, and ways to drive and settle the offscreen dialog.
#pragma once

#include <QEvent>
#include <QObject>
#include <QPoint>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "artnet_link.h"
#include "node_table.h"
#include "wheel_dlg.h"

class QAction;
class QSlider;
class QWidget;

namespace chromaset::test {

// One frame handed to the sender.
struct SentFrame {
  Ipv4Bytes destination{};
  std::array<std::uint8_t, 4> channels{};  // channels 1..4
  std::uint16_t length = 0;
  bool restZero = true;  // channels 5..512 all 0
};

class RecordingSender : public ArtDmxSender {
 public:
  bool SendArtDmx(const DmxFrame* frame, const Ipv4Bytes& destination) override;
  std::vector<SentFrame> sent;
};

// A node answer as the table expects it; bytes past the name fields are filled with 'X' so a
// name read past its field would show.
struct NodeReply {
  Ipv4Bytes ip{2, 0, 0, 10};
  std::uint8_t esta24 = 0x1A;
  std::uint8_t esta25 = 0x2C;
  std::string shortName = "Short";
  std::string longName = "Node";  // raw bytes; 64 or more fill the field with no terminator
};
std::vector<std::uint8_t> MakePollReply(const NodeReply& reply);
void ApplyReply(NodeTable& table, const NodeReply& reply);

// Counts paint events of the widgets it is installed on; optionally swallows them.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(bool swallow = false) : m_swallow(swallow) {}
  int paints = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool m_swallow;
};

// A dialog over a recording sender and a hand-filled table (local address 2.0.0.1), initialised
// without wait, shown and settled.
struct DialogRig {
  DialogRig();
  ~DialogRig();
  // Builds, initialises and shows the dialog over the table as it is now.
  void Start();

  RecordingSender sender;
  std::optional<NodeTable> table;  // re-emplaced by tests that reuse a slot
  LocalAddressTable local{};
  std::unique_ptr<CWheelDlg> dialog;
};

// Delivers pending events until the window has nothing more to paint.
void Settle();
// The dialog point of a point of the wheel picture.
QPoint WheelToDialog(const CWheelDlg& dialog, QPoint wheelPoint);
// A pointer event as the window system would deliver it to the dialog.
void SendMouse(QWidget* target, QEvent::Type type, QPoint pos, Qt::MouseButton button,
               Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// Chooses a menu item as a user would (Qt flips a checkable item before it reports it).
void Choose(QAction* item);
// The device item at position k (0 = "ALL (Broadcast)").
QAction* ItemAt(const CWheelDlg& dialog, int k);
// Runs check on the modal dialog that action opens, once it is up; check must close it.
void WhileModal(const std::function<void()>& action, const std::function<void(QWidget*)>& check);

}  // namespace chromaset::test
