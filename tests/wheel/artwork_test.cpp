// Reads the committed artwork in res/ byte by byte, independently of any image library.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadFile(const std::string& name) {
  std::ifstream in(std::string(CHROMASET_RES_DIR) + "/" + name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Little-endian fields; a field past the end reads as 0 so a short file fails the checks
// instead of reading out of bounds.
std::uint32_t Le16(const Bytes& b, std::size_t at) {
  if (at + 2 > b.size()) return 0;
  return static_cast<std::uint32_t>(b[at] | b[at + 1] << 8);
}
std::uint32_t Le32(const Bytes& b, std::size_t at) {
  if (at + 4 > b.size()) return 0;
  return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
         static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::uint32_t Be32(const Bytes& b, std::size_t at) {
  if (at + 4 > b.size()) return 0;
  return static_cast<std::uint32_t>(b[at]) << 24 | static_cast<std::uint32_t>(b[at + 1]) << 16 |
         static_cast<std::uint32_t>(b[at + 2]) << 8 | static_cast<std::uint32_t>(b[at + 3]);
}

constexpr std::size_t kFileHeader = 14;
constexpr std::size_t kInfoHeader = 40;
constexpr std::size_t kWheelPalette = 256 * 4;
constexpr std::size_t kWheelPixelsOffset = kFileHeader + kInfoHeader + kWheelPalette;  // 1078
constexpr int kSide = 300;

struct Rgb {
  std::uint8_t r, g, b;
  bool operator==(const Rgb&) const = default;
};

class WheelBitmap : public ::testing::Test {
 protected:
  Bytes bmp = ReadFile("wheel.bmp");

  std::uint8_t IndexAt(int x, int y) const {  // top-left origin; stored bottom row first
    return bmp[kWheelPixelsOffset + static_cast<std::size_t>((kSide - 1 - y) * kSide + x)];
  }
  Rgb PaletteEntry(std::size_t index) const {
    const std::size_t at = kFileHeader + kInfoHeader + index * 4;
    return {bmp[at + 2], bmp[at + 1], bmp[at]};
  }
};

TEST_F(WheelBitmap, A300By300EightBitPictureWithTheLogoInGreysInsideItsRectangle) {
  // The bitmap proper (info header, palette, pixels) is 91064 bytes; the file adds the 14-byte
  // file header that image readers need.
  ASSERT_EQ(bmp.size(), kFileHeader + 91064u);
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(bmp[1], 'M');
  EXPECT_EQ(Le32(bmp, 2), bmp.size());           // file size
  EXPECT_EQ(Le32(bmp, 6), 0u);                   // reserved
  EXPECT_EQ(Le32(bmp, 10), kWheelPixelsOffset);  // pixel data offset
  EXPECT_EQ(Le32(bmp, 14), kInfoHeader);         // header size
  EXPECT_EQ(Le32(bmp, 18), 300u);                // width
  EXPECT_EQ(Le32(bmp, 22), 300u);                // height, positive: bottom-up
  EXPECT_EQ(Le16(bmp, 26), 1u);                  // planes
  EXPECT_EQ(Le16(bmp, 28), 8u);                  // bits per pixel
  EXPECT_EQ(Le32(bmp, 30), 0u);                  // BI_RGB
  EXPECT_EQ(Le32(bmp, 34), 90000u);              // image size
  EXPECT_EQ(Le32(bmp, 46), 0u);                  // colours used: 0 = all 256

  const Rgb background{4, 4, 4};
  std::set<std::uint8_t> used;
  int logoPixels = 0;
  int white = 0;
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      const std::uint8_t index = IndexAt(x, y);
      used.insert(index);
      const Rgb c = PaletteEntry(index);
      if (c == background) continue;
      ++logoPixels;
      EXPECT_TRUE(x >= 93 && x <= 207 && y >= 118 && y <= 181) << x << "," << y;
      EXPECT_TRUE(c.r == c.g && c.g == c.b) << "not grey at " << x << "," << y;
      white += c.r == 255 ? 1 : 0;
    }
  }
  EXPECT_LE(used.size(), 32u);
  EXPECT_GT(logoPixels, 1000) << "the logo is missing";
  EXPECT_GT(white, 100);
}

// One icon image: directory entry plus the bitmap it points at.
struct IconImage {
  unsigned width = 0, height = 0, colours = 0, planes = 0, bits = 0;
  std::size_t size = 0, offset = 0;
};

class AppIcon : public ::testing::Test {
 protected:
  Bytes ico = ReadFile("chromaset.ico");

  IconImage Entry(std::size_t n) const {
    const std::size_t at = 6 + 16 * n;
    if (at + 16 > ico.size()) return {};
    return {ico[at],           ico[at + 1],       ico[at + 2],       Le16(ico, at + 4),
            Le16(ico, at + 6), Le32(ico, at + 8), Le32(ico, at + 12)};
  }

  // Palette index of pixel (x, y), top-left origin, and whether the mask makes it transparent.
  std::uint8_t ColourIndex(const IconImage& e, unsigned x, unsigned y) const {
    const std::size_t row = (e.width * 4 + 31) / 32 * 4;
    const std::uint8_t b = ico[e.offset + 40 + 64 + (e.height - 1 - y) * row + x / 2];
    return x % 2 == 0 ? b >> 4 : b & 0x0F;
  }
  bool Transparent(const IconImage& e, unsigned x, unsigned y) const {
    const std::size_t colourRow = (e.width * 4 + 31) / 32 * 4;
    const std::size_t maskRow = (e.width + 31) / 32 * 4;
    const std::size_t at =
        e.offset + 40 + 64 + colourRow * e.height + (e.height - 1 - y) * maskRow + x / 8;
    return (ico[at] >> (7 - x % 8) & 1) != 0;
  }
};

constexpr std::array<std::uint32_t, 16> kStandard16 = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
constexpr std::uint8_t kRed = 9, kGreen = 10, kBlue = 12;

TEST_F(AppIcon, TwoSixteenColourImagesOfThreeDiscsOnATransparentBackground) {
  ASSERT_GE(ico.size(), 6u + 2 * 16);
  EXPECT_EQ(Le16(ico, 0), 0u);  // reserved
  EXPECT_EQ(Le16(ico, 2), 1u);  // icon
  ASSERT_EQ(Le16(ico, 4), 2u);  // two images
  const unsigned sides[] = {32, 16};
  const std::size_t sizes[] = {744, 296};
  std::size_t end = 6 + 2 * 16;
  for (std::size_t n = 0; n < 2; ++n) {
    const IconImage e = Entry(n);
    SCOPED_TRACE(e.width);
    EXPECT_EQ(e.width, sides[n]);
    EXPECT_EQ(e.height, sides[n]);
    EXPECT_EQ(e.colours, 16u);
    EXPECT_EQ(e.planes, 1u);
    EXPECT_EQ(e.bits, 4u);
    EXPECT_EQ(e.size, sizes[n]);
    EXPECT_EQ(e.offset, end);  // images follow the directory back to back
    ASSERT_LE(e.offset + e.size, ico.size());
    end = e.offset + e.size;

    EXPECT_EQ(Le32(ico, e.offset), 40u);               // header size
    EXPECT_EQ(Le32(ico, e.offset + 8), 2 * sides[n]);  // height doubled for the mask
    EXPECT_EQ(Le16(ico, e.offset + 14), 4u);           // bits per pixel
    for (std::size_t i = 0; i < 16; ++i) {
      const std::size_t at = e.offset + 40 + i * 4;
      const std::uint32_t rgb = static_cast<std::uint32_t>(ico[at + 2]) << 16 |
                                static_cast<std::uint32_t>(ico[at + 1]) << 8 | ico[at];
      EXPECT_EQ(rgb, kStandard16[i]) << "palette entry " << i;
    }
  }
  ASSERT_EQ(end, ico.size());

  for (std::size_t n = 0; n < 2; ++n) {
    const IconImage e = Entry(n);
    const unsigned s = e.width;
    SCOPED_TRACE(s);
    EXPECT_TRUE(Transparent(e, 0, 0));
    EXPECT_TRUE(Transparent(e, s - 1, s - 1));
    // Red at the top, green lower left, blue lower right, all opaque.
    EXPECT_EQ(ColourIndex(e, s / 2, s / 4), kRed);
    EXPECT_FALSE(Transparent(e, s / 2, s / 4));
    EXPECT_EQ(ColourIndex(e, s / 5, s * 2 / 3), kGreen);
    EXPECT_FALSE(Transparent(e, s / 5, s * 2 / 3));
    EXPECT_EQ(ColourIndex(e, s - 1 - s / 5, s * 2 / 3), kBlue);
    EXPECT_FALSE(Transparent(e, s - 1 - s / 5, s * 2 / 3));
    // Every opaque pixel uses a bright palette colour; every transparent one is black.
    int opaque = 0;
    for (unsigned y = 0; y < s; ++y) {
      for (unsigned x = 0; x < s; ++x) {
        if (Transparent(e, x, y)) {
          EXPECT_EQ(ColourIndex(e, x, y), 0u) << x << "," << y;
        } else {
          ++opaque;
          EXPECT_GE(ColourIndex(e, x, y), 9u) << x << "," << y;
        }
      }
    }
    EXPECT_GT(opaque, static_cast<int>(s * s / 3));
  }
}

TEST(DesktopIcons, PngRenderingsHaveTheirSizes) {
  for (unsigned side : {16u, 32u, 48u, 256u}) {
    const Bytes png = ReadFile("icons/" + std::to_string(side) + ".png");
    SCOPED_TRACE(side);
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
    EXPECT_EQ(std::string(png.begin() + 12, png.begin() + 16), "IHDR");
    EXPECT_EQ(Be32(png, 16), side);
    EXPECT_EQ(Be32(png, 20), side);
    EXPECT_EQ(png[24], 8u);  // bit depth
    EXPECT_EQ(png[25], 6u);  // RGBA: transparent background
  }
  const Bytes svg = ReadFile("chromaset.svg");
  const std::string text(svg.begin(), svg.end());
  EXPECT_NE(text.find("<svg"), std::string::npos);
  for (const char* colour : {"#ff0000", "#00ff00", "#0000ff"}) {
    EXPECT_NE(text.find(colour), std::string::npos) << colour;
  }
}

}  // namespace
