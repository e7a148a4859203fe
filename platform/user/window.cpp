// Windows: creation and destruction with their message sequences, the
// tree of parents and owners, text, window words and geometry.
#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/backend/backend.h"
#include "platform/user/internal.h"
#include "platform/user/menu.h"

namespace win {
namespace internal {

HandleTable<Window>& windows() {
  static HandleTable<Window> table(HandleKind::window);
  return table;
}

Window* findWindow(HWND hwnd) { return windows().get(handleValue(hwnd)); }

Window* checkWindow(HWND hwnd) {
  Window* w = findWindow(hwnd);
  if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return w;
}

std::vector<HWND>& topLevelOrder() {
  static std::vector<HWND> order;
  return order;
}

bool isTopLevel(const Window& w) { return !(w.style & WS_CHILD); }

HWND rootOf(HWND hwnd) {
  Window* w = findWindow(hwnd);
  while (w && w->parent) w = findWindow(w->parent);
  return w ? w->handle : nullptr;
}

std::vector<HWND>::iterator findSibling(std::vector<HWND>& list, HWND h) {
  for (std::size_t front = 0, back = list.size(); front < back;) {
    if (list[front] == h) return list.begin() + static_cast<std::ptrdiff_t>(front);
    if (list[--back] == h) return list.begin() + static_cast<std::ptrdiff_t>(back);
    ++front;
  }
  return list.end();
}

std::vector<HWND>& siblingsOf(const Window& w) {
  if (Window* p = findWindow(w.parent)) return p->children;
  return topLevelOrder();
}

POINT clientOriginOnScreen(const Window& w) {
  POINT p{w.rect.left + w.client.left, w.rect.top + w.client.top};
  for (Window* up = findWindow(w.parent); up; up = findWindow(up->parent)) {
    p.x += up->rect.left + up->client.left;
    p.y += up->rect.top + up->client.top;
  }
  return p;
}

}  // namespace internal

namespace {

using internal::findWindow;
using internal::rootOf;
using internal::siblingsOf;
using internal::Window;

void unlink(Window& w) {
  auto& list = siblingsOf(w);
  if (auto at = internal::findSibling(list, w.handle); at != list.end()) list.erase(at);
  if (Window* p = findWindow(w.parent)) internal::childrenChanged(*p);
}

// Last step of a destruction: the record goes and the handle dies.
void release(HWND hwnd) {
  Window* w = findWindow(hwnd);
  if (!w) return;
  unlink(*w);
  internal::forgetWindowMessages(hwnd);
  internal::clipboardWindowGone(hwnd);
  internal::dropSurface(*w);
  internal::forgetDamage(*w);
  internal::forgetWindowGraphics(hwnd);
  // A window's menus go with it.
  if (internal::findMenu(w->systemMenu)) DestroyMenu(w->systemMenu);
  if (!w->parent && internal::findMenu(w->menu)) DestroyMenu(w->menu);
  --w->windowClass->liveWindows;
  // Only top-level windows own others.
  if (!w->parent)
    internal::windows().each([&](std::uintptr_t, Window& other) {
      if (other.owner == hwnd) other.owner = nullptr;
    });
  internal::windows().remove(internal::handleValue(hwnd));
  internal::windowsChanged();
}

void markDestroying(Window& w) {
  w.destroying = true;
  for (HWND c : w.children)
    if (Window* child = findWindow(c)) markDestroying(*child);
}

// WM_DESTROY goes to a window before its children; every send may destroy
// windows, so each step starts from the handle again.
void sendDestroy(HWND hwnd) {
  if (!findWindow(hwnd)) return;
  internal::clipboardOwnerDying(hwnd);
  if (!findWindow(hwnd)) return;
  SendMessageA(hwnd, WM_DESTROY, 0, 0);
  Window* w = findWindow(hwnd);
  if (!w) return;
  std::vector<HWND> children = w->children;
  for (HWND c : children) sendDestroy(c);
}

// WM_NCDESTROY goes to the children before their parent.
void sendNcDestroy(HWND hwnd) {
  Window* w = findWindow(hwnd);
  if (!w) return;
  // The children all go: taken off the list at once, not one by one.
  std::vector<HWND> children = std::move(w->children);
  w->children.clear();
  internal::childrenChanged(*w);
  for (HWND c : children) sendNcDestroy(c);
  if (!findWindow(hwnd)) return;
  SendMessageA(hwnd, WM_NCDESTROY, 0, 0);
  release(hwnd);
}

HWND failCreation(HWND hwnd, bool created) {
  if (Window* w = findWindow(hwnd)) {
    markDestroying(*w);
    if (created) sendDestroy(hwnd);
    sendNcDestroy(hwnd);
  }
  return nullptr;
}

constexpr int kDefaultWidth = 640, kDefaultHeight = 480;

}  // namespace

HWND CreateWindowExA(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y,
                     int width, int height, HWND parentOrOwner, HMENU menu, HINSTANCE instance, void* param) {
  internal::WindowClass* cls = internal::findClass(className);
  if (!cls) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  HWND parent = nullptr, owner = nullptr;
  if (style & WS_CHILD) {
    if (!parentOrOwner) {
      SetLastError(ERROR_TLW_WITH_WSCHILD);
      return nullptr;
    }
    Window* p = internal::checkWindow(parentOrOwner);
    if (!p) return nullptr;
    if (p->destroying) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return nullptr;
    }
    parent = parentOrOwner;
  } else if (parentOrOwner) {
    if (!internal::checkWindow(parentOrOwner)) return nullptr;
    owner = rootOf(parentOrOwner);
  }
  if (x == CW_USEDEFAULT) x = y = 0;
  if (width == CW_USEDEFAULT) {
    width = parent ? 0 : kDefaultWidth;
    height = parent ? 0 : kDefaultHeight;
  }
  width = std::max(width, 0);
  height = std::max(height, 0);

  auto record = std::make_unique<Window>();
  Window& w = *record;
  w.windowClass = cls;
  w.proc = cls->wc.lpfnWndProc;
  w.style = style & ~WS_VISIBLE;
  w.exStyle = exStyle;
  w.parent = parent;
  w.owner = owner;
  w.instance = instance;
  if (parent)
    w.id = reinterpret_cast<LONG_PTR>(menu);
  else
    w.menu = menu;
  w.rect = {x, y, x + width, y + height};
  w.client = {0, 0, width, height};
  w.extra.assign(static_cast<std::size_t>(cls->wc.cbWndExtra), 0);
  HWND hwnd = internal::asHandle<HWND>(internal::windows().add(std::move(record)));
  if (!hwnd) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  w.handle = hwnd;
  ++cls->liveWindows;
  auto& siblings = siblingsOf(w);
  siblings.insert(siblings.begin(), hwnd);
  if (Window* p = findWindow(parent)) internal::childrenChanged(*p);
  internal::windowsChanged();

  CREATESTRUCTA cs{param, instance, menu, parentOrOwner, height, width, y, x, static_cast<LONG>(style), title,
                   className, exStyle};
  MINMAXINFO mmi;
  if (!parent && !internal::askMinMax(hwnd, mmi)) return nullptr;
  if (!SendMessageA(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) return failCreation(hwnd, false);
  Window* live = findWindow(hwnd);
  if (!live) return nullptr;
  RECT client = live->rect;
  SendMessageA(hwnd, WM_NCCALCSIZE, 0, reinterpret_cast<LPARAM>(&client));
  if (!(live = findWindow(hwnd))) return nullptr;
  live->client = {client.left - live->rect.left, client.top - live->rect.top, client.right - live->rect.left,
                  client.bottom - live->rect.top};
  if (SendMessageA(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) return failCreation(hwnd, true);
  if (!(live = findWindow(hwnd))) return nullptr;
  SendMessageA(hwnd, WM_SIZE, SIZE_RESTORED,
               MAKELPARAM(live->client.right - live->client.left, live->client.bottom - live->client.top));
  if (!(live = findWindow(hwnd))) return nullptr;
  SendMessageA(hwnd, WM_MOVE, 0, MAKELPARAM(live->rect.left + live->client.left, live->rect.top + live->client.top));
  if (!findWindow(hwnd)) return nullptr;
  if (style & WS_VISIBLE) ShowWindow(hwnd, SW_SHOW);
  return findWindow(hwnd) ? hwnd : nullptr;
}

BOOL DestroyWindow(HWND hwnd) {
  Window* w = internal::checkWindow(hwnd);
  if (!w) return 0;
  if (w->destroying) return 0;  // already on its way
  // Marked first: a procedure told of the focus or activation leaving may
  // ask again, and must not start a second destruction.
  w->destroying = true;
  // Owned windows go first, each completely.
  std::vector<HWND> owned;
  if (!w->parent)  // only top-level windows own others
    internal::windows().each([&](std::uintptr_t, Window& other) {
      if (other.owner == hwnd && !other.destroying) owned.push_back(other.handle);
    });
  for (HWND o : owned)
    if (findWindow(o)) DestroyWindow(o);
  if (!findWindow(hwnd)) return 1;
  // Focus, activation and capture leave first; the window then goes from
  // the screen without further messages.
  internal::windowLeaving(hwnd, false);
  if (!(w = findWindow(hwnd))) return 1;
  bool wasShown = (w->style & WS_VISIBLE) != 0;
  w->style &= ~WS_VISIBLE;
  internal::windowsChanged();
  if (wasShown) internal::exposeParent(hwnd, w->rect, false, true);
  if (!(w = findWindow(hwnd))) return 1;
  if (wasShown && w->parent && internal::isMdiClient(w->parent)) internal::mdiScrollChanged(w->parent);
  internal::syncSurface(*w);
  markDestroying(*w);
  sendDestroy(hwnd);
  sendNcDestroy(hwnd);
  return 1;
}

BOOL IsWindow(HWND hwnd) { return findWindow(hwnd) != nullptr; }

BOOL IsWindowVisible(HWND hwnd) {
  for (Window* w = findWindow(hwnd); w; w = findWindow(w->parent)) {
    if (!(w->style & WS_VISIBLE)) return 0;
    if (!w->parent) return 1;
  }
  return 0;
}

BOOL SetWindowTextA(HWND hwnd, const char* text) {
  if (!internal::checkWindow(hwnd)) return 0;
  return SendMessageA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? 1 : 0;
}

int GetWindowTextA(HWND hwnd, char* buffer, int size) {
  if (!internal::checkWindow(hwnd) || !buffer || size <= 0) return 0;
  buffer[0] = '\0';
  return static_cast<int>(SendMessageA(hwnd, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLengthA(HWND hwnd) {
  if (!internal::checkWindow(hwnd)) return 0;
  return static_cast<int>(SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

LONG_PTR GetWindowLongPtrA(HWND hwnd, int index) {
  Window* w = internal::checkWindow(hwnd);
  if (!w) return 0;
  switch (index) {
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>(w->parent ? w->parent : w->owner);
    case GWLP_ID: return w->id;
    case GWL_STYLE: return static_cast<LONG_PTR>(w->style);
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(w->exStyle);
    case GWLP_USERDATA: return w->userData;
    default: break;
  }
  if (index < 0 || static_cast<std::size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  LONG_PTR v;
  std::memcpy(&v, w->extra.data() + index, sizeof v);
  return v;
}

LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value) {
  Window* w = internal::checkWindow(hwnd);
  if (!w) return 0;
  LONG_PTR old = GetWindowLongPtrA(hwnd, index);
  switch (index) {
    case GWLP_WNDPROC:
      if (!value) break;
      w->proc = reinterpret_cast<WNDPROC>(value);
      return old;
    case GWLP_HINSTANCE:
      w->instance = reinterpret_cast<HINSTANCE>(value);
      return old;
    case GWLP_ID:
      w->id = value;
      return old;
    case GWLP_USERDATA:
      w->userData = value;
      return old;
    case GWLP_HWNDPARENT: {
      if (w->parent) break;
      HWND owner = reinterpret_cast<HWND>(value);
      if (owner && !internal::checkWindow(owner)) return 0;
      owner = rootOf(owner);
      // An owner chain that comes back to the window would be a cycle.
      for (Window* o = findWindow(owner); o; o = findWindow(o->owner))
        if (o->handle == hwnd) {
          SetLastError(ERROR_INVALID_PARAMETER);
          return 0;
        }
      w->owner = owner;
      internal::keepOwnedAbove();
      internal::syncStacking();
      if (w->hasSurface) {
        backend::Current().SetSurfaceOwner(hwnd, owner);
      }
      return old;
    }
    case GWL_STYLE:
    case GWL_EXSTYLE: {
      STYLESTRUCT ss{static_cast<DWORD>(old), static_cast<DWORD>(value)};
      SendMessageA(hwnd, WM_STYLECHANGING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&ss));
      if (!(w = findWindow(hwnd))) return 0;
      (index == GWL_STYLE ? w->style : w->exStyle) = ss.styleNew;
      internal::windowsChanged();
      SendMessageA(hwnd, WM_STYLECHANGED, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&ss));
      if ((w = findWindow(hwnd))) internal::syncSurface(*w);
      return old;
    }
    default:
      if (index >= 0 && static_cast<std::size_t>(index) + sizeof(LONG_PTR) <= w->extra.size()) {
        std::memcpy(w->extra.data() + index, &value, sizeof value);
        return old;
      }
      break;
  }
  SetLastError(ERROR_INVALID_INDEX);
  return 0;
}

HWND GetParent(HWND hwnd) {
  Window* w = internal::checkWindow(hwnd);
  if (!w) return nullptr;
  if (w->parent) return w->parent;
  return (w->style & WS_POPUP) ? w->owner : nullptr;
}

BOOL IsChild(HWND parent, HWND hwnd) {
  Window* w = findWindow(hwnd);
  if (!w || !findWindow(parent)) return 0;
  for (w = findWindow(w->parent); w; w = findWindow(w->parent))
    if (w->handle == parent) return 1;
  return 0;
}

BOOL GetCursorPos(POINT* point) {
  if (!point) return 0;
  *point = internal::pointerPosition();
  return 1;
}

}  // namespace win
