// Message-filter hooks: one chain, newest first.
#include <algorithm>
#include <memory>
#include <vector>

#include "platform/user/internal.h"
#include "platform/win/test.h"

namespace win {
namespace {

struct Hook {
  int kind;
  HOOKPROC proc;
};

internal::HandleTable<Hook>& hooks() {
  static internal::HandleTable<Hook> table(internal::HandleKind::hook);
  return table;
}

bool& hooksRefused() {
  static bool refused = false;
  return refused;
}

std::vector<HHOOK>& chain() {  // newest first
  static std::vector<HHOOK> list;
  return list;
}

bool removeHook(HHOOK hook) {
  if (!hooks().remove(internal::handleValue(hook))) return false;
  chain().erase(std::remove(chain().begin(), chain().end(), hook), chain().end());
  return true;
}

// Calls the first hook of the chain from `start` on.
LRESULT callFrom(std::size_t start, int code, WPARAM wParam, LPARAM lParam) {
  for (std::size_t i = start; i < chain().size(); ++i)
    if (Hook* h = hooks().get(internal::handleValue(chain()[i]))) return h->proc(code, wParam, lParam);
  return 0;
}

}  // namespace

HHOOK SetWindowsHookA(int kind, HOOKPROC proc) {
  if (kind != WH_MSGFILTER || !proc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (hooksRefused()) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto hook = internal::asHandle<HHOOK>(hooks().add(std::make_unique<Hook>(Hook{kind, proc})));
  if (hook) chain().insert(chain().begin(), hook);
  return hook;
}

BOOL UnhookWindowsHook(int kind, HOOKPROC proc) {
  for (HHOOK h : chain()) {
    Hook* rec = hooks().get(internal::handleValue(h));
    if (rec && rec->kind == kind && rec->proc == proc) return removeHook(h) ? 1 : 0;
  }
  SetLastError(ERROR_INVALID_HOOK_HANDLE);
  return 0;
}

BOOL UnhookWindowsHookEx(HHOOK hook) {
  if (removeHook(hook)) return 1;
  SetLastError(ERROR_INVALID_HOOK_HANDLE);
  return 0;
}

LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam) {
  auto at = std::find(chain().begin(), chain().end(), hook);
  if (at == chain().end()) return 0;
  return callFrom(static_cast<std::size_t>(at - chain().begin()) + 1, code, wParam, lParam);
}

BOOL CallMsgFilterA(MSG* msg, int code) {
  return callFrom(0, code, 0, reinterpret_cast<LPARAM>(msg)) != 0;
}

}  // namespace win

namespace win::test {

void SetHooksRefused(bool refused) { hooksRefused() = refused; }

}  // namespace win::test
