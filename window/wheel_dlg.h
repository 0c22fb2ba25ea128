// The main dialog: the colour wheel above four channel sliders, the Devices menu that chooses
// where the DMX frame goes, and the window menu with the About item.
#pragma once

#include <QDialog>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>

#include "artnet_link.h"
#include "artnet_packets.h"
#include "device_menu.h"
#include "dmx_output.h"
#include "ids.h"
#include "node_table.h"
#include "output_pacer.h"
#include "port_table.h"
#include "rig_model.h"
#include "wheel_image.h"

class QAction;
class QHBoxLayout;
class QLabel;
class QMenu;
class QMenuBar;
class QSlider;

namespace Ui {
class CWheelDlg;
}

namespace chromaset {

class FavouritesBar;
class FixtureList;
class LibraryLoader;
class NodeRouting;
class RigMenu;
class OutputMenu;
class ValuePanel;

// How long start-up waits for nodes to answer the poll. Fixed for users.
inline constexpr std::chrono::milliseconds kDiscoveryWait{5000};

// Shows the network failure message; title is the application name.
using FailureMessageFn =
    std::function<void(QWidget* parent, const QString& title, const QString& text)>;

struct InitOptions {
  std::chrono::milliseconds discoveryWait = kDiscoveryWait;  // tests shorten it
  FailureMessageFn showFailure;                              // empty: a QMessageBox
  bool showSplash = true;  // the small "Searching..." window during the wait
  // Start without waiting: discoveryWait 0 and the answers to the start-up poll are awaited
  // in the background, as "Search again" does, for searchWait.
  bool searchInBackground = false;
  std::chrono::milliseconds searchWait = kSearchWait;  // tests shorten it
};

static_assert(kMaxUnicastTargets == kMaxDeviceItems);

// The key-state bits (MK_*) of a pointer event.
std::uint32_t KeyStateFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);

// The default failure message: a modal box with an OK button only.
void ShowFailureMessageBox(QWidget* parent, const QString& title, const QString& text);

// Opens the Art-Net endpoint, starts its receiver and sends the start-up poll. False when the
// endpoint cannot be opened: the failure message has been shown (showFailure, else the box).
bool StartArtNet(ArtNetLink& link, const FailureMessageFn& showFailure);

class CWheelDlg : public QDialog {
  Q_OBJECT

 public:
  // The window of a program that owns link: initialisation opens it, starts its receiver and
  // polls.
  explicit CWheelDlg(ArtNetLink& link, QWidget* parent = nullptr);
  // A window over a network that is already there (or simulated): initialisation starts
  // nothing, it only waits, and output goes to sender.
  CWheelDlg(ArtDmxSender& sender, const NodeTable& nodes, const LocalAddressTable& localAddresses,
            QWidget* parent = nullptr);
  // The same with what the nodes output, for sending each universe to the nodes that output it
  // (without it, no node outputs anything).
  CWheelDlg(ArtDmxSender& sender, const NodeTable& nodes, const LocalAddressTable& localAddresses,
            const PortTable& ports, QWidget* parent = nullptr);
  ~CWheelDlg() override;

  // Everything before the window is first shown, in this order: window menu with the About
  // item, window icon, network start (unless the link is open already: StartArtNet) with the
  // discovery wait from the poll, wheel, output, Devices menu, focus on Red. False when the network
  // could not be started: the message has been shown and the dialog is ended; it must not be shown.
  bool OnInitDialog(const InitOptions& options = {});

  // Window menu command (the About item is IDM_ABOUT).
  void OnSysCommand(unsigned id);

  // Pointer handlers; point in the dialog's coordinates, flags the MK_* bits.
  void OnMouseMove(std::uint32_t flags, QPoint point);
  void OnLButtonDown(std::uint32_t flags, QPoint point);
  // A pick at (x, y) of the wheel picture: marker, picture, then Red, Green and Blue.
  void ApplyPickedColour(int x, int y);

  // Wheel picture: BuildWheel shows the wheel built since construction, with its first marker.
  void BuildWheel();
  void ShowWheel();

  // Output: the frame, the broadcast address and the sliders.
  void InitOutput();
  void OnCustomDrawWhite();
  void OnCustomDrawColour();
  void SendToTargets();

  // Devices menu (the DeviceMenu does the work).
  void BuildDeviceMenu();
  void OnBroadcast();
  void OnDevice(int k);  // k = 1..8, the item at that position
  void OnDevice1() { OnDevice(1); }
  void OnDevice2() { OnDevice(2); }
  void OnDevice3() { OnDevice(3); }
  void OnDevice4() { OnDevice(4); }
  void OnDevice5() { OnDevice(5); }
  void OnDevice6() { OnDevice(6); }
  void OnDevice7() { OnDevice(7); }
  void OnDevice8() { OnDevice(8); }
  OutputTargets SelectedTargets() const;

  // Read access for the tests and the benchmark.
  QSlider* SliderRed() const { return m_sliderRed; }
  QSlider* SliderGreen() const { return m_sliderGreen; }
  QSlider* SliderBlue() const { return m_sliderBlue; }
  QSlider* SliderWhite() const { return m_sliderWhite; }
  QLabel* WheelPicture() const { return m_wheelPicture; }
  const DmxFrame& Frame() const { return m_output->Frame(); }
  RigModel& Model() const { return *m_rig; }
  const Ipv4Bytes& BroadcastAddress() const { return m_output->BroadcastAddress(); }
  // The output with its settings (patch, keep-alive, rate limit), the Output menu (after
  // initialisation), the value fields and the favourites.
  DmxOutput& Output() const { return *m_output; }
  OutputMenu* OutputMenuItems() const { return m_outputMenu; }
  RigMenu* RigMenuItems() const { return m_rigMenu; }
  LibraryLoader& Library() const { return *m_library; }  // read when first needed
  FixtureList* Fixtures() const { return m_fixtureList; }
  ValuePanel& Values() const { return *m_values; }
  FavouritesBar& Favourites() const { return *m_favourites; }
  QMenuBar* MenuBar() const { return m_menuBar; }
  QMenu* DevicesMenu() const { return m_devices->Menu(); }
  QMenu* WindowMenu() const { return m_windowMenu; }
  std::int16_t DeviceCount() const { return static_cast<std::int16_t>(m_devices->DeviceCount()); }
  // "ALL (Broadcast)" and the device items: the part of the Devices menu above its separator.
  int MenuItemCount() const { return 1 + m_devices->ItemCount(); }
  DeviceMenu& Devices() const { return *m_devices; }
  NodeRouting& Routing() const { return *m_routing; }
  const WheelImage& Wheel() const { return BuiltWheel(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void SetUpControls();
  void AppendAboutItem();
  void SetWindowIcons();
  bool StartNetwork(const InitOptions& options);
  // The point in the wheel picture's coordinates when it passes the margin test.
  bool LocateInWheel(QPoint dialogPoint, QPoint& wheelPoint) const;
  static void SetSliderPosition(QSlider* slider, int position);
  // A colour code or favourite for the selected fixtures (before the sliders move).
  void SetSelectedColour(unsigned channels, const Rgbw& colour);
  // The sliders to the first selected fixture's colour; their next paints send nothing.
  void ShowSelectedColour();
  // The sliders' values to the selected fixtures (White's alone, or Red, Green and Blue);
  // true when that changed any fixture.
  bool ApplySliders(const QObject* slider);
  // The index (R, G, B, W) of slider when its next paint is quiet, else -1.
  int QuietSlider(const QObject* slider) const;
  // The wheel image, waiting for its build if that is still running.
  WheelImage& BuiltWheel() const;

  std::unique_ptr<Ui::CWheelDlg> m_ui;
  ArtNetLink* m_link = nullptr;  // null when the network is given from outside
  ArtDmxSender& m_sender;
  const NodeTable& m_nodes;
  const PortTable& m_ports;

  QSlider* m_sliderWhite = nullptr;
  QSlider* m_sliderGreen = nullptr;
  QSlider* m_sliderBlue = nullptr;
  QSlider* m_sliderRed = nullptr;
  QLabel* m_wheelPicture = nullptr;
  // Base and display buffers, 720 KB: built from construction on, taken when first needed.
  mutable std::future<std::unique_ptr<WheelImage>> m_wheelBuild;
  mutable std::unique_ptr<WheelImage> m_wheel;
  RigModel* m_rig = nullptr;  // children of the dialog
  DmxOutput* m_output = nullptr;
  ValuePanel* m_values = nullptr;
  FavouritesBar* m_favourites = nullptr;
  OutputMenu* m_outputMenu = nullptr;
  QMenuBar* m_menuBar = nullptr;
  QMenu* m_windowMenu = nullptr;
  DeviceMenu* m_devices = nullptr;  // a child of the dialog
  NodeRouting* m_routing = nullptr;

  // Slider paints reach the output only once the Devices menu exists.
  bool m_outputReady = false;
  std::array<bool, 4> m_quietPaint{};   // R, G, B, W
  QHBoxLayout* m_sideBySide = nullptr;  // the controls, then the fixture list
  FixtureList* m_fixtureList = nullptr;
  RigMenu* m_rigMenu = nullptr;
  LibraryLoader* m_library = nullptr;
  bool m_themeIconAsked = false;  // the theme's icon replaces the bundled one after a paint
};

}  // namespace chromaset
