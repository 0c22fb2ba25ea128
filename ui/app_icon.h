// The application icon, shared by the main window and the About box.
#pragma once

#include <QIcon>

namespace chromaset {

// The desktop theme's icon under the application id once Chromaset is installed; otherwise
// the two bundled images (32 and 16 pixels).
QIcon AppIcon();

}  // namespace chromaset
