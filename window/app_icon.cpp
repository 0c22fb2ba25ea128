#include "app_icon.h"

#include <QImage>
#include <QImageReader>
#include <QPixmap>
#include <QString>

#include "ids.h"

namespace chromaset {

QIcon BundledAppIcon() {
  QIcon bundled;
  QImageReader reader(QString::fromUtf8(kAppIconPath));
  do {
    const QImage image = reader.read();
    if (!image.isNull()) bundled.addPixmap(QPixmap::fromImage(image));
  } while (reader.jumpToNextImage());
  return bundled;
}

QIcon AppIcon() { return QIcon::fromTheme(QStringLiteral(CHROMASET_APP_ID), BundledAppIcon()); }

}  // namespace chromaset
