// Profile strings: "[section]" lines and "key=value" lines in one file.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/win.h"

namespace win {
namespace {

std::string profileFile() {
  if (const char* f = std::getenv("WEXLIN_PROFILE")) return f;
  if (const char* home = std::getenv("HOME")) return std::string(home) + "/.wexlin/win.ini";
  return {};
}

std::string trim(const std::string& s) {
  std::size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t");
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

bool sameText(const std::string& a, const char* b) {
  return a.size() == std::strlen(b) && std::equal(a.begin(), a.end(), b, [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

struct Entry {
  std::string section, key, value;
};

std::vector<Entry> readProfile() {
  std::vector<Entry> out;
  std::string path = profileFile();
  if (path.empty()) return out;
  std::ifstream in(path);
  std::string line, section;
  bool inSection = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string t = trim(line);
    if (!t.empty() && t.front() == '[' && t.back() == ']') {
      section = trim(t.substr(1, t.size() - 2));
      inSection = true;
      out.push_back({section, {}, {}});  // a section without keys still lists
      continue;
    }
    auto eq = t.find('=');
    if (inSection && eq != std::string::npos && eq > 0) out.push_back({section, trim(t.substr(0, eq)), trim(t.substr(eq + 1))});
  }
  return out;
}

// A list of names, each ended by a NUL and the list by a second one; cut
// short, it keeps whole bytes up to size - 2 and answers size - 2.
DWORD copyList(const std::vector<std::string>& names, char* buffer, DWORD size) {
  if (size == 0) return 0;
  if (size == 1) {
    buffer[0] = '\0';
    return 0;
  }
  std::string all;
  for (const auto& n : names) all += n + '\0';
  if (all.size() + 1 <= size) {
    std::memcpy(buffer, all.data(), all.size());
    buffer[all.size()] = '\0';
    if (all.empty()) buffer[1 < size ? 1 : 0] = '\0';
    return static_cast<DWORD>(all.empty() ? 0 : all.size());
  }
  std::memcpy(buffer, all.data(), size - 2);
  buffer[size - 2] = buffer[size - 1] = '\0';
  return size - 2;
}

// One value; cut short, it answers size - 1.
DWORD copyValue(const std::string& value, char* buffer, DWORD size) {
  if (size == 0) return 0;
  std::size_t n = std::min<std::size_t>(value.size(), size - 1);
  std::memcpy(buffer, value.data(), n);
  buffer[n] = '\0';
  return static_cast<DWORD>(n);
}

}  // namespace

DWORD GetProfileStringA(const char* section, const char* key, const char* fallback, char* buffer, DWORD size) {
  if (!buffer) return 0;
  std::vector<Entry> entries = readProfile();
  std::vector<std::string> names;
  if (!section) {
    for (const Entry& e : entries)
      if (e.key.empty() && std::none_of(names.begin(), names.end(), [&](const std::string& n) { return sameText(n, e.section.c_str()); }))
        names.push_back(e.section);
    return copyList(names, buffer, size);
  }
  if (!key) {
    for (const Entry& e : entries)
      if (!e.key.empty() && sameText(e.section, section)) names.push_back(e.key);
    return copyList(names, buffer, size);
  }
  for (const Entry& e : entries)
    if (!e.key.empty() && sameText(e.section, section) && sameText(e.key, key)) return copyValue(e.value, buffer, size);
  return copyValue(trim(fallback ? fallback : ""), buffer, size);
}

}  // namespace win
