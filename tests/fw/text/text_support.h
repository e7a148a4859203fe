// What the text tests share: fonts registered once for the whole program
// (styles keep their fonts), a driver with fixed advances, and helpers.
#pragma once
#include <cstdint>
#include <string>

#include "fw/text/text.h"

namespace texttest {

// The framework's literal name constructor, as these tests name it.
using ::N;

// 8.0 a character, 4.0 a blank; ascent 10.0, descent 3.0; ink inside them
// unless a character is listed as tall ('^': 14.0 above) or deep ('_': 5.0 below).
void useFixedDriver();
// The program's fonts: Arial and Times, four faces each, 10 and 12 points.
void registerFonts();
inline std::uintptr_t word(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }
inline constexpr vfixed px(double v) { return vfixed(v * 65536.0); }

// A text built as the front-end builds its listings: runs of at most
// runSize bytes, each cut after its last line end, then one recalculation.
vtext* textFromChars(const std::string& chars, std::size_t runSize = 8192);
std::string textChars(const vtext* text);
// The x values of the text's first line, laid out afresh.
std::vector<double> firstLineX(vtext* text, std::int32_t* count = nullptr);

}  // namespace texttest
