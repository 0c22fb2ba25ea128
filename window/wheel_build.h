// The wheel picture's image, built on a second core while the window's widgets are made.
#pragma once

#include <future>
#include <memory>

#include "wheel_image.h"

namespace chromaset {

// Starts building the wheel (the bitmap loaded, the ring drawn); where no thread can be
// started, it is built when first taken.
std::future<std::unique_ptr<WheelImage>> StartWheelBuild();

}  // namespace chromaset
