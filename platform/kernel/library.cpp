// Libraries: pseudo modules that answer GetProcAddress from a table.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <string>

#include "platform/kernel/handles.h"
#include "platform/net/winsock.h"
#include "platform/win.h"

namespace win {
namespace {

FARPROC user32ProcAddress(const char* name) {
  // Through void*: the caller casts back to the function's own type.
  if (std::strcmp(name, "EndMenu") == 0) return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&EndMenu));
  return nullptr;
}

struct PseudoModule {
  const char* name;  // lower case, without ".dll"
  FARPROC (*lookup)(const char* name);
};

constexpr PseudoModule kModules[] = {
    {"user32", user32ProcAddress},
    {"wsock32", WinsockProcAddress},
};

struct Module {
  const PseudoModule* pseudo;  // null: the program itself
  int references;
};

internal::HandleTable<Module>& modules() {
  static internal::HandleTable<Module> table(internal::HandleKind::module);
  return table;
}

const PseudoModule* findPseudo(const char* name) {
  std::string key(name);
  std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::tolower(c); });
  if (key.size() > 4 && key.compare(key.size() - 4, 4, ".dll") == 0) key.resize(key.size() - 4);
  for (const PseudoModule& m : kModules)
    if (key == m.name) return &m;
  return nullptr;
}

HMODULE loadedHandle(const PseudoModule* pseudo) {
  HMODULE found = nullptr;
  modules().each([&](std::uintptr_t h, Module& m) {
    if (m.pseudo == pseudo) found = internal::asHandle<HMODULE>(h);
  });
  return found;
}

}  // namespace

HMODULE LoadLibraryA(const char* name) {
  const PseudoModule* pseudo = name ? findPseudo(name) : nullptr;
  if (!pseudo) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  if (HMODULE h = loadedHandle(pseudo)) {
    ++modules().get(internal::handleValue(h))->references;
    return h;
  }
  return internal::asHandle<HMODULE>(modules().add(std::make_unique<Module>(Module{pseudo, 1})));
}

FARPROC GetProcAddress(HMODULE module, const char* name) {
  Module* m = modules().get(internal::handleValue(module));
  if (!m) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  FARPROC f = name && m->pseudo ? m->pseudo->lookup(name) : nullptr;
  if (!f) SetLastError(ERROR_PROC_NOT_FOUND);
  return f;
}

BOOL FreeLibrary(HMODULE module) {
  Module* m = modules().get(internal::handleValue(module));
  if (!m || !m->pseudo) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (--m->references == 0) modules().remove(internal::handleValue(module));
  return 1;
}

HINSTANCE GetModuleHandleA(const char* name) {
  if (!name) {
    static HINSTANCE self = internal::asHandle<HINSTANCE>(modules().add(std::make_unique<Module>(Module{nullptr, 1})));
    return self;
  }
  const PseudoModule* pseudo = findPseudo(name);
  HMODULE h = pseudo ? loadedHandle(pseudo) : nullptr;
  if (!h) SetLastError(ERROR_MOD_NOT_FOUND);
  return h;
}

}  // namespace win
