#include "wheel_image.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

namespace chromaset {
namespace {

// Not a colour the ring can produce (ring colours always have one channel at 0 and one at
// 254 or 255), so "differs from the background" means "painted".
constexpr WheelPixel kBackground = 0x00040404u;

std::uint32_t PixelAt(const WheelPixel* pixels, int x, int y) { return pixels[y * kWheelSize + x]; }

int SquaredDistance(int x, int y) {
  return (x - kWheelCentre) * (x - kWheelCentre) + (y - kWheelCentre) * (y - kWheelCentre);
}

std::vector<WheelPixel> UniformBackground(WheelPixel colour) {
  return std::vector<WheelPixel>(kWheelPixels, colour);
}

// Every pixel different, with junk in the top byte that the wheel must drop.
std::vector<WheelPixel> PatternBackground() {
  std::vector<WheelPixel> pixels(kWheelPixels);
  for (int k = 0; k < kWheelPixels; ++k) {
    pixels[static_cast<std::size_t>(k)] =
        0xA5000000u | (static_cast<std::uint32_t>(k) * 2654435761u >> 8);
  }
  return pixels;
}

// The marker drawn the plain way: whole copy, every pixel tested against the disc.
std::vector<WheelPixel> ReferenceDisplay(const WheelPixel* base, int x, int y) {
  std::vector<WheelPixel> display(base, base + kWheelPixels);
  for (int j = 0; j < kWheelSize; ++j) {
    for (int i = 0; i < kWheelSize; ++i) {
      const double di = static_cast<double>(i) - x;
      const double dj = static_cast<double>(j) - y;
      if (di * di + dj * dj < 25.0) {
        display[static_cast<std::size_t>(j * kWheelSize + i)] = 0;
      }
    }
  }
  return display;
}

int CountDifferences(const WheelPixel* a, const WheelPixel* b) {
  int n = 0;
  for (int k = 0; k < kWheelPixels; ++k) {
    n += a[k] != b[k] ? 1 : 0;
  }
  return n;
}

class WheelImageTest : public ::testing::Test {
 protected:
  // 720 kB of buffers: on the heap, as the dialog keeps them.
  std::unique_ptr<WheelImage> wheel = std::make_unique<WheelImage>();
};

TEST_F(WheelImageTest, RingCoversExactlyTheOpenAnnulus) {
  const auto background = UniformBackground(kBackground);
  wheel->BuildWheel(background.data());
  const WheelPixel* base = wheel->BasePixels();

  int painted = 0;
  int innerCircle = 0;
  int outerCircle = 0;
  for (int y = 0; y < kWheelSize; ++y) {
    for (int x = 0; x < kWheelSize; ++x) {
      const int d = SquaredDistance(x, y);
      const WheelPixel p = PixelAt(base, x, y);
      const bool inRing = d > 100 * 100 && d < 145 * 145;
      painted += p != kBackground ? 1 : 0;
      EXPECT_EQ(p != kBackground, inRing) << x << "," << y;
      if (d == 100 * 100 || d == 145 * 145) {
        innerCircle += d == 100 * 100 ? 1 : 0;
        outerCircle += d == 145 * 145 ? 1 : 0;
        EXPECT_EQ(p, kBackground) << x << "," << y;
      }
    }
  }
  EXPECT_EQ(painted, 34592);
  EXPECT_EQ(innerCircle, 20);
  EXPECT_EQ(outerCircle, 36);

  // Hue runs clockwise from red on the right.
  EXPECT_EQ(PixelAt(base, 251, 150), 0x00FF0000u);  // red
  EXPECT_EQ(PixelAt(base, 150, 251), 0x007FFF00u);  // below: 127, 255, 0
  EXPECT_EQ(PixelAt(base, 150, 49), 0x007F00FFu);   // above: 127, 0, 255
  EXPECT_EQ(PixelAt(base, 49, 150), 0x0000FEFFu);   // left: 0, 254, 255
}

TEST_F(WheelImageTest, BackgroundIsKeptOutsideTheRingAndBlackWithoutOne) {
  const auto background = PatternBackground();
  wheel->BuildWheel(background.data());
  for (int y = 0; y < kWheelSize; ++y) {
    for (int x = 0; x < kWheelSize; ++x) {
      const int d = SquaredDistance(x, y);
      if (d <= 100 * 100 || d >= 145 * 145) {
        ASSERT_EQ(PixelAt(wheel->BasePixels(), x, y),
                  background[static_cast<std::size_t>(y * kWheelSize + x)] & 0x00FFFFFFu)
            << x << "," << y;
      }
    }
  }
  wheel->BuildWheel(nullptr);
  EXPECT_EQ(PixelAt(wheel->BasePixels(), 150, 150), 0u);
  EXPECT_EQ(PixelAt(wheel->BasePixels(), 299, 299), 0u);
  EXPECT_EQ(PixelAt(wheel->BasePixels(), 251, 150), 0x00FF0000u);
}

TEST_F(WheelImageTest, MarkerClearsTheOpenDiscAndTheNextOneErasesIt) {
  const auto background = UniformBackground(kBackground);
  wheel->BuildWheel(background.data());
  const WheelPixel* display = wheel->DisplayPixels();
  const WheelPixel* base = wheel->BasePixels();
  EXPECT_EQ(CountDifferences(display, base), 22) << "the build draws the first marker at (0, 0)";

  wheel->DrawMarker(120, 130);
  EXPECT_EQ(CountDifferences(display, base), 69);
  EXPECT_EQ(PixelAt(display, 124, 130), 0u);
  EXPECT_EQ(PixelAt(display, 123, 133), 0u);
  // Exactly distance 5 stays.
  EXPECT_EQ(PixelAt(display, 125, 130), kBackground);
  EXPECT_EQ(PixelAt(display, 123, 134), kBackground);
  EXPECT_EQ(PixelAt(display, 117, 126), kBackground);

  // Overlapping markers: the old one's uncovered part comes back.
  wheel->DrawMarker(123, 131);
  const auto overlap = ReferenceDisplay(base, 123, 131);
  EXPECT_EQ(CountDifferences(display, overlap.data()), 0);

  // A second build over another picture leaves no trace of the first, marker included.
  const auto other = PatternBackground();
  wheel->BuildWheel(other.data());
  const auto expectedOther = ReferenceDisplay(base, 0, 0);
  EXPECT_EQ(CountDifferences(display, expectedOther.data()), 0);
}

TEST_F(WheelImageTest, MarkerSamplesTheBaseNotTheDisplay) {
  const auto background = UniformBackground(kBackground);
  wheel->BuildWheel(background.data());
  EXPECT_EQ(wheel->DrawMarker(251, 150), 0x000000FFu);  // red as PackedRgb
  EXPECT_EQ(PixelAt(wheel->DisplayPixels(), 251, 150), 0u);
  EXPECT_EQ(wheel->DrawMarker(251, 150), 0x000000FFu);  // again, on its own marker
  EXPECT_EQ(wheel->DrawMarker(150, 251), 0x0000FF7Fu);  // 127, 255, 0
  EXPECT_EQ(wheel->DrawMarker(150, 49), 0x00FF007Fu);   // 127, 0, 255
  EXPECT_EQ(wheel->DrawMarker(49, 150), 0x00FFFE00u);   // 0, 254, 255
  EXPECT_EQ(wheel->DrawMarker(250, 150), 0x00040404u);  // excluded inner circle
  EXPECT_EQ(wheel->DrawMarker(5, 150), 0x00040404u);    // excluded outer circle
}

// The marker against the plain full-buffer algorithm, at random points, along and past the
// edges, and far outside.
TEST_F(WheelImageTest, MarkerMatchesTheFullBufferAlgorithmEverywhere) {
  wheel->BuildWheel(PatternBackground().data());
  std::mt19937 random(20261206u);
  std::uniform_int_distribution<int> coordinate(-8, 307);
  std::vector<std::pair<int, int>> points;
  for (int k = 0; k < 300; ++k) {
    points.emplace_back(coordinate(random), coordinate(random));
  }
  for (int edge : {-5, -4, -1, 0, 1, 4, 5, 150, 294, 295, 298, 299, 300, 303, 304}) {
    points.emplace_back(edge, edge);
    points.emplace_back(edge, 299 - edge);
    points.emplace_back(edge, 150);
  }
  // Far outside: nothing sampled, nothing drawn, no overflow.
  for (int far : {INT_MIN, INT_MAX}) {
    points.emplace_back(far, 150);
    points.emplace_back(150, far);
    points.emplace_back(far, far);
  }
  for (const auto& [x, y] : points) {
    const PackedRgb sampled = wheel->DrawMarker(x, y);
    const auto expected = ReferenceDisplay(wheel->BasePixels(), x, y);
    ASSERT_EQ(CountDifferences(wheel->DisplayPixels(), expected.data()), 0) << x << "," << y;
    const bool inside = x >= 0 && x < kWheelSize && y >= 0 && y < kWheelSize;
    const PackedRgb expectedSample = inside ? SwapRedBlue(PixelAt(wheel->BasePixels(), x, y)) : 0u;
    ASSERT_EQ(sampled, expectedSample) << x << "," << y;
  }
}

}  // namespace
}  // namespace chromaset
