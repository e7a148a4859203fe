// Texts the dialogs' lines are built from.
#pragma once

#include <cstdio>
#include <string>

namespace gui {

// printf into a string that grows with the fields (a line is never cut
// here; the parser refuses one over its limit).
template <class... A>
std::string format(const char* f, A... args) {
  const int n = std::snprintf(nullptr, 0, f, args...);
  std::string s(static_cast<std::size_t>(n < 0 ? 0 : n), '\0');
  std::snprintf(s.data(), s.size() + 1, f, args...);
  return s;
}

// The text an exclusive group's index selects; outside the list, empty.
template <std::size_t N>
const char* pick(const char* const (&texts)[N], int index) {
  return index >= 0 && index < static_cast<int>(N) ? texts[index] : "";
}

}  // namespace gui
