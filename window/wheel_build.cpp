#include "wheel_build.h"

#include <QImage>
#include <QString>

#include <system_error>

#include "ids.h"

namespace chromaset {

namespace {

// One row of the wheel picture: kWheelSize 32-bit pixels, no padding.
constexpr qsizetype kWheelBytesPerLine = qsizetype{kWheelSize} * sizeof(WheelPixel);

// IDB_WHEEL as 32-bit pixels; a missing or malformed bitmap leaves the background black.
std::unique_ptr<WheelImage> BuildWheelImage() {
  QImage background(QString::fromUtf8(kWheelBitmapPath));
  if (!background.isNull()) background = background.convertToFormat(QImage::Format_RGB32);
  const bool usable = !background.isNull() && background.width() == kWheelSize &&
                      background.height() == kWheelSize &&
                      background.bytesPerLine() == kWheelBytesPerLine;
  auto wheel = std::make_unique<WheelImage>();
  wheel->BuildWheel(usable ? reinterpret_cast<const WheelPixel*>(background.constBits()) : nullptr);
  return wheel;
}

}  // namespace

std::future<std::unique_ptr<WheelImage>> StartWheelBuild() {
  try {
    return std::async(std::launch::async, BuildWheelImage);
  } catch (const std::system_error&) {
    return std::async(std::launch::deferred, BuildWheelImage);
  }
}

}  // namespace chromaset
