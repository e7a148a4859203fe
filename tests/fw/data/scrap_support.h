// Helpers for the scrap tests: native values, dumps to text, raises.
#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "fw/data/scrap.h"

template <class F>
std::string captured(F write) {
  std::FILE* f = std::tmpfile();
  write(f);
  std::fflush(f);
  std::string text(static_cast<std::size_t>(std::ftell(f)), '\0');
  std::rewind(f);
  if (!text.empty() && std::fread(text.data(), 1, text.size(), f) != text.size()) text.clear();
  std::fclose(f);
  return text;
}

inline std::string dumpText(vinstance* scrap) {
  return captured([&](std::FILE* f) { vscrapDump(vscrapWalk(scrap), f); });
}

// The class of what body raised (null when nothing) and the chain's printed
// text; the chain is restored.
struct Raised {
  const vexClass* cls = nullptr;
  std::string text;
  std::string message;
};
template <class F>
Raised raised(F body) {
  Raised r;
  vexGuard(body, [&](vexHandler& h) {
    vexException* e = vexGetCurrentException();
    r.cls = e->cls;
    r.message = e->message ? e->message : "";
    r.text = captured([](std::FILE* f) { vexPrintChain(f); });
    vexSetCurrentException(h.savedChain);
  });
  return r;
}

inline vinstance* nativeOf(vclass* kind) { return vscrapCreateNative(kind); }
// Holds next as outer's element under key (a dictionary) or at 0 (an array)
// without the copy that setting an element makes: a copy of a chain nested
// past the bound is refused.
inline void linkInPlace(vinstance* outer, vname key, vinstance* next) {
  vscrapNativeTypeable* held = vscrapCreateNativeTypeable();
  held->delegate = next;
  if (key) {
    vdictStore(&static_cast<vscrapNativeDictionary*>(outer)->dict, key, held);
    return;
  }
  vscrapSetArrayCount(vscrapWalk(outer), 1);
  auto* a = static_cast<vscrapNativeArray*>(outer);
  vinstanceDestroy(a->begin[0]);
  a->begin[0] = held;
}
inline vinstance* integerScrap(std::int32_t v) {
  vinstance* s = nativeOf(vscrapGetIntegerClass());
  vscrapSetInteger(vscrapWalk(s), v);
  return s;
}
