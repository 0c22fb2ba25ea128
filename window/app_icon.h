// The application icon, shared by the main window and the About box.
#pragma once

#include <QIcon>

namespace chromaset {

// The two bundled images (32 and 16 pixels).
QIcon BundledAppIcon();

// The desktop theme's icon under the application id once Chromaset is installed; otherwise
// the bundled one. Looking it up reads the icon theme's folders: some milliseconds.
QIcon AppIcon();

}  // namespace chromaset
