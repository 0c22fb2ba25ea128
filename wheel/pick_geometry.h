// Where a pointer event on the wheel lands: margins, the pick ring and the logo square.
#pragma once

#include <cstdint>

namespace chromaset {

// Key-state bits of a pointer event.
inline constexpr std::uint32_t MK_LBUTTON = 0x0001;
inline constexpr std::uint32_t MK_RBUTTON = 0x0002;
inline constexpr std::uint32_t MK_SHIFT = 0x0004;
inline constexpr std::uint32_t MK_CONTROL = 0x0008;
inline constexpr std::uint32_t MK_MBUTTON = 0x0010;
inline constexpr std::uint32_t MK_XBUTTON1 = 0x0020;  // back side button
inline constexpr std::uint32_t MK_XBUTTON2 = 0x0040;  // forward side button

// 5 <= x < width - 5 and 5 <= y < height - 5 (control client coordinates).
bool PassesPickMargin(int x, int y, int width, int height);
// 100 <= distance from (150, 150) <= 145, both circles included.
bool OnPickRing(int x, int y);
// 100 < x < 200 and 100 < y < 200: the logo that opens the home page.
bool InLogoSquare(int x, int y);
// A pointer move picks only with exactly the left button held and nothing else.
bool MovePicks(std::uint32_t keyFlags);

}  // namespace chromaset
