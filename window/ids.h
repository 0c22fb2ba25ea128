// Resource, control and command ids of the window, and its fixed texts.
#pragma once

#include <cstdint>

namespace chromaset {

inline constexpr int IDOK = 1;
inline constexpr unsigned IDM_ABOUT = 16;  // window command of the About item
inline constexpr int IDD_ABOUT = 100;
inline constexpr int IDS_ABOUT = 101;
inline constexpr int IDD_MAIN = 102;
inline constexpr int IDI_APP = 128;
inline constexpr int IDR_DEVICES = 130;
inline constexpr int ID_DEVICE_1 = 131;  // ... ID_DEVICE_8 = 138
inline constexpr int IDB_WHEEL = 140;
inline constexpr int IDC_WHEEL = 1000;
inline constexpr int IDC_RED = 1001;
inline constexpr int IDC_BLUE = 1002;
inline constexpr int IDC_GREEN = 1003;
inline constexpr int IDC_WHITE = 1004;
inline constexpr int ID_BROADCAST = 40002;

inline constexpr int kMaxDeviceItems = 8;

inline constexpr char kMainCaption[] = "Chromaset - V1.00";
inline constexpr char kDevicesMenuText[] = "Devices";
inline constexpr char kBroadcastItemText[] = "ALL (Broadcast)";
inline constexpr char kWindowMenuText[] = "Chromaset";                    // holds the About item
inline constexpr char kAboutItemText[] = "Inf&o \u00fcber Chromaset...";  // IDS_ABOUT
inline constexpr char kAboutCaption[] = "Info \u00fcber Chromaset";
inline constexpr char kSearchingText[] = "Searching for Art-Net nodes\u2026";

// Our own home page, opened by a press on the logo.
inline constexpr char kHomePage[] = "https://chromaset.example/";

// Resource paths inside res/chromaset.qrc.
inline constexpr char kWheelBitmapPath[] = ":/chromaset/wheel.bmp";  // IDB_WHEEL
inline constexpr char kAppIconPath[] = ":/chromaset/chromaset.ico";  // IDI_APP

}  // namespace chromaset
