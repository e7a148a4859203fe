// Read-only registry stand-in: the environment for the current user's
// "Environment" key, and the registry text file for every key.
#include "platform/kernel/handles.h"
#include "platform/win.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

extern char** environ;

namespace win {

struct KeyRec {
  std::vector<std::pair<std::string, std::string>> values;
};

namespace {

const char* rootName(HKEY root) {
  if (root == HKEY_CLASSES_ROOT) return "HKEY_CLASSES_ROOT";
  if (root == HKEY_CURRENT_USER) return "HKEY_CURRENT_USER";
  if (root == HKEY_LOCAL_MACHINE) return "HKEY_LOCAL_MACHINE";
  if (root == HKEY_USERS) return "HKEY_USERS";
  return nullptr;
}

// Key paths compare as Windows compares them: without case.
bool sameKey(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::string registryFile() {
  if (const char* f = std::getenv("WEXLIN_REGISTRY")) return f;
  if (const char* home = std::getenv("HOME")) return std::string(home) + "/.wexlin/registry";
  return {};
}

// Returns whether the file has a section for the key.
bool readFileSection(const std::string& key, KeyRec& rec) {
  std::string path = registryFile();
  if (path.empty()) return false;
  std::ifstream in(path);
  std::string line;
  bool inSection = false, found = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line.front() == '[' && line.back() == ']') {
      inSection = sameKey(line.substr(1, line.size() - 2), key);
      found = found || inSection;
      continue;
    }
    auto eq = line.find('=');
    if (inSection && eq != std::string::npos && eq > 0) rec.values.emplace_back(line.substr(0, eq), line.substr(eq + 1));
  }
  return found;
}

// Open keys are handles like any other: a closed key is refused.
internal::HandleTable<KeyRec>& openKeys() {
  static internal::HandleTable<KeyRec> keys(internal::HandleKind::key);
  return keys;
}

}  // namespace

LONG RegOpenKeyExA(HKEY root, const char* subKey, DWORD, DWORD, HKEY* result) {
  const char* rn = rootName(root);
  if (!rn || !result) return ERROR_FILE_NOT_FOUND;
  std::string sub = subKey ? subKey : "";
  std::string key = sub.empty() ? rn : std::string(rn) + "\\" + sub;
  auto rec = std::make_unique<KeyRec>();
  bool found = readFileSection(key, *rec);
  if (sameKey(key, "HKEY_CURRENT_USER\\Environment")) {
    found = true;
    for (char** e = environ; e && *e; ++e)
      if (const char* eq = std::strchr(*e, '=')) rec->values.emplace_back(std::string(*e, static_cast<std::size_t>(eq - *e)), eq + 1);
  }
  if (!found) return ERROR_FILE_NOT_FOUND;
  *result = internal::asHandle<HKEY>(openKeys().add(std::move(rec)));
  return *result ? ERROR_SUCCESS : ERROR_NOT_ENOUGH_MEMORY;
}

LONG RegEnumValueA(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD*, DWORD* type, BYTE* data,
                   DWORD* dataSize) {
  KeyRec* rec = openKeys().get(internal::handleValue(key));
  if (!rec) return ERROR_INVALID_HANDLE;
  if (!nameSize) return ERROR_INVALID_PARAMETER;
  if (index >= rec->values.size()) return ERROR_NO_MORE_ITEMS;
  const auto& [n, v] = rec->values[index];
  if (n.size() + 1 > *nameSize) {
    *nameSize = static_cast<DWORD>(n.size());
    return ERROR_MORE_DATA;
  }
  std::memcpy(name, n.c_str(), n.size() + 1);
  *nameSize = static_cast<DWORD>(n.size());
  if (type) *type = REG_SZ;
  if (!dataSize) return ERROR_SUCCESS;
  DWORD need = static_cast<DWORD>(v.size() + 1);
  bool fits = data && need <= *dataSize;
  if (fits) std::memcpy(data, v.c_str(), need);
  *dataSize = need;
  return fits || !data ? ERROR_SUCCESS : ERROR_MORE_DATA;
}

LONG RegCloseKey(HKEY key) {
  return openKeys().remove(internal::handleValue(key)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

}  // namespace win
