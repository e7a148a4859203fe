// The clipboard: formats with their global-memory data or a promise to
// render them, the window that has it open and the window that owns it.
// While another program owns it, the back-end's foreign text stands for
// its CF_TEXT.
//
// The clipboard (`platform/user/clipboard.cpp`): one opener at a time (`OpenClipboard` by another
// window fails with `ERROR_ACCESS_DENIED`); `EmptyClipboard` sends `WM_DESTROYCLIPBOARD` to the
// previous owner and makes the opener the owner, and tells the back-end that the program owns the
// clipboard (`OwnClipboard`). A format set with no data is a promise: `GetClipboardData` sends the
// owner `WM_RENDERFORMAT` first, the owner's `DestroyWindow` sends `WM_RENDERALLFORMATS` before
// `WM_DESTROY` (promises still unkept when the handle dies are dropped), and while the owner
// renders `SetClipboardData` needs no open. While another program owns the clipboard its text
// (`ForeignClipboardText`, Windows-1252 with CR LF; X11 converts at its edge) is the only format. A
// back-end reports a lost clipboard with `InputClipboardLost` and serves ours with
// `ServeClipboardText` (`platform/backend/input.h`); the test API reads and sets the clipboard as
// another program would (`ClipboardText`, `SetClipboardText`) and can make `GlobalAlloc` fail above
// a size.
#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/backend/input.h"
#include "platform/user/internal.h"
#include "platform/win/test.h"

namespace win {
namespace {

struct Format {
  UINT format;
  HGLOBAL data;  // null: delayed
};

struct Clipboard {
  bool open = false;
  HWND opener = nullptr;  // may be null for an open without a window
  HWND owner = nullptr;
  bool ours = false;  // this program owns it (owner may have gone)
  std::vector<Format> formats;
  int rendering = 0;  // WM_RENDERFORMAT / WM_RENDERALLFORMATS being sent
  HGLOBAL foreignBlock = nullptr;  // the foreign text handed out last
};

Clipboard& cb() {
  static Clipboard c;
  return c;
}

bool fail(LONG error) {
  SetLastError(error);
  return false;
}

bool needOpen() { return cb().open || fail(ERROR_CLIPBOARD_NOT_OPEN); }

void freeData(HGLOBAL data) {
  if (data) GlobalFree(data);
}

void dropFormats() {
  Clipboard& c = cb();
  for (const Format& f : c.formats) freeData(f.data);
  c.formats.clear();
}

void dropForeignBlock() {
  freeData(cb().foreignBlock);
  cb().foreignBlock = nullptr;
}

std::optional<std::string> foreignText() {
  if (cb().ours) return std::nullopt;
  return backend::Current().ForeignClipboardText();
}

Format* find(UINT format) {
  for (Format& f : cb().formats)
    if (f.format == format) return &f;
  return nullptr;
}

// The formats a reader sees: ours, or the foreign program's text.
std::vector<UINT> formatsSeen() {
  std::vector<UINT> seen;
  if (cb().ours)
    for (const Format& f : cb().formats) seen.push_back(f.format);
  else if (foreignText())
    seen.push_back(CF_TEXT);
  return seen;
}

// Asks the owner to render a delayed format (or all of them).
void askOwner(UINT message, UINT format) {
  Clipboard& c = cb();
  if (!c.owner || !internal::findWindow(c.owner)) return;
  // Rendering may leave by an exception; the clipboard stops accepting
  // data without an open either way.
  struct Rendering {
    int& count;
    explicit Rendering(int& n) : count(++n) {}
    ~Rendering() { --count; }
  } rendering(c.rendering);
  SendMessageA(c.owner, message, format, 0);
}

HGLOBAL ourData(UINT format) {
  Format* f = find(format);
  if (f && !f->data) {
    askOwner(WM_RENDERFORMAT, format);
    f = find(format);
  }
  return f ? f->data : nullptr;
}

std::string textOf(HGLOBAL data) {
  const char* p = static_cast<const char*>(GlobalLock(data));
  if (!p) return {};
  std::string text(p, strnlen(p, GlobalSize(data)));
  GlobalUnlock(data);
  return text;
}

}  // namespace

namespace internal {

// A dying owner renders what it only promised; called before WM_DESTROY.
void clipboardOwnerDying(HWND hwnd) {
  Clipboard& c = cb();
  if (c.ours && c.owner == hwnd &&
      std::any_of(c.formats.begin(), c.formats.end(), [](const Format& f) { return !f.data; }))
    askOwner(WM_RENDERALLFORMATS, 0);
}

// The handle dies: promises it did not keep go, and an open it held ends.
void clipboardWindowGone(HWND hwnd) {
  Clipboard& c = cb();
  if (c.owner == hwnd) {
    c.owner = nullptr;
    std::erase_if(c.formats, [](const Format& f) { return !f.data; });
  }
  if (c.open && c.opener == hwnd) {
    c.open = false;
    c.opener = nullptr;
  }
}

}  // namespace internal

BOOL OpenClipboard(HWND hwnd) {
  Clipboard& c = cb();
  if (hwnd && !internal::checkWindow(hwnd)) return 0;
  if (c.open && c.opener != hwnd) return fail(ERROR_ACCESS_DENIED);
  c.open = true;
  c.opener = hwnd;
  return 1;
}

BOOL CloseClipboard() {
  if (!needOpen()) return 0;
  cb().open = false;
  cb().opener = nullptr;
  return 1;
}

BOOL EmptyClipboard() {
  if (!needOpen()) return 0;
  Clipboard& c = cb();
  HWND previous = c.ours ? c.owner : nullptr;
  if (previous && internal::findWindow(previous)) SendMessageA(previous, WM_DESTROYCLIPBOARD, 0, 0);
  dropFormats();
  dropForeignBlock();
  c.owner = c.opener;
  c.ours = true;
  backend::Current().OwnClipboard(true);
  return 1;
}

HANDLE SetClipboardData(UINT format, HANDLE handle) {
  Clipboard& c = cb();
  auto data = static_cast<HGLOBAL>(handle);
  if (!c.open && !c.rendering) {
    fail(ERROR_CLIPBOARD_NOT_OPEN);
    return nullptr;
  }
  if (!c.ours) {
    // Setting without emptying first still takes the clipboard over.
    dropForeignBlock();
    c.ours = true;
    c.owner = c.opener;
    backend::Current().OwnClipboard(true);
  }
  if (Format* f = find(format)) {
    if (f->data != data) freeData(f->data);
    f->data = data;
  } else {
    c.formats.push_back({format, data});
  }
  return data;
}

HANDLE GetClipboardData(UINT format) {
  if (!needOpen()) return nullptr;
  Clipboard& c = cb();
  if (c.ours) return ourData(format);
  std::optional<std::string> text = foreignText();
  if (format != CF_TEXT || !text) return nullptr;
  // The block stays the clipboard's until the next read or change.
  dropForeignBlock();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text->size() + 1);
  if (!block) return nullptr;
  std::memcpy(GlobalLock(block), text->c_str(), text->size() + 1);
  GlobalUnlock(block);
  c.foreignBlock = block;
  return block;
}

int CountClipboardFormats() { return static_cast<int>(formatsSeen().size()); }

BOOL IsClipboardFormatAvailable(UINT format) {
  std::vector<UINT> seen = formatsSeen();
  return std::find(seen.begin(), seen.end(), format) != seen.end();
}

UINT EnumClipboardFormats(UINT format) {
  if (!needOpen()) return 0;
  SetLastError(ERROR_SUCCESS);
  std::vector<UINT> seen = formatsSeen();
  if (format == 0) return seen.empty() ? 0 : seen.front();
  auto it = std::find(seen.begin(), seen.end(), format);
  return it == seen.end() || it + 1 == seen.end() ? 0 : *(it + 1);
}

HWND GetClipboardOwner() { return cb().ours ? cb().owner : nullptr; }

void backend::InputClipboardLost() {
  Clipboard& c = cb();
  if (!c.ours) return;
  HWND previous = c.owner;
  c.ours = false;
  c.owner = nullptr;
  // The data goes before the owner hears, so that it cannot be served again.
  dropFormats();
  backend::Current().OwnClipboard(false);
  if (previous && internal::findWindow(previous)) SendMessageA(previous, WM_DESTROYCLIPBOARD, 0, 0);
}

std::optional<std::string> backend::ServeClipboardText() {
  if (!cb().ours || !find(CF_TEXT)) return std::nullopt;
  HGLOBAL data = ourData(CF_TEXT);
  if (!data) return std::nullopt;
  return textOf(data);
}

std::optional<std::string> test::ClipboardText() {
  if (cb().ours) return backend::ServeClipboardText();
  return backend::Current().ForeignClipboardText();
}

void test::SetClipboardText(const std::string& text) {
  Headless().foreignText = text;
  backend::InputClipboardLost();
  Headless().ownsClipboard = false;
}

}  // namespace win
