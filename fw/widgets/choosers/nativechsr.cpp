// Native chooser support: the preference, the placement record, placing a
// native dialog window and the find-file directory listing.
#include "fw/widgets/choosers/nativechsr.h"

#include <algorithm>
#include <cstring>

#include "fw/core/mem.h"
#include "fw/data/pref.h"
#include "fw/gui/window/msw.h"
#include "platform/win.h"

// ---- The preference ---------------------------------------------------------------------------

namespace {

bool isOn(const char* preference) {
  const char* value = vprefGetString(vprefGetDefaultDict(), vscribeCString(preference));
  return value && std::strcmp(value, "On") == 0;
}

}  // namespace

int vchooserMSWUseNative(const char* chooserPreference) {
  if (isOn("nonativechoosers")) return 0;
  if (chooserPreference && isOn(chooserPreference)) return 0;
  return 1;
}

// ---- The placement record ---------------------------------------------------------------------

void vchooserMSWInitPlacement(vchooserMSWPlacement* p) { *p = {nullptr, -1, -1, 0, 0}; }

void vchooserMSWCopyPlacement(const vchooserMSWPlacement* from, vchooserMSWPlacement* to) {
  // The copy is made before the old title goes: the two may be one record.
  vstr* title = from->title ? vstrClone(from->title) : nullptr;
  if (to->title) vstrDestroy(to->title);
  to->title = title;
  to->x = from->x;
  to->y = from->y;
  to->value = from->value;
  for (std::uint32_t bit : {vchooserMSW_POSITION_SET, vchooserMSW_TITLE_SET, vchooserMSW_VALUE_SET})
    to->flags = (to->flags & ~bit) | (from->flags & bit);
}

void vchooserMSWSetPlacementTitle(vchooserMSWPlacement* p, const char* title) {
  // Copied before the old one is freed: the text may be the record's own.
  vstr* copy = title ? vstrClone(title) : nullptr;
  if (p->title) vstrDestroy(p->title);
  p->title = copy;
  if (title)
    p->flags |= vchooserMSW_TITLE_SET;
  else
    p->flags &= ~vchooserMSW_TITLE_SET;
}

void vchooserMSWSetPlacementPosition(vchooserMSWPlacement* p, const vpoint* point) {
  p->x = point ? point->x : -1;
  p->y = point ? point->y : -1;
  p->flags |= vchooserMSW_POSITION_SET;
}

void vchooserMSWSetPlacementValue(vchooserMSWPlacement* p, std::uint32_t value) {
  p->value = value;
  p->flags |= vchooserMSW_VALUE_SET;
}

// ---- Placing a native window ------------------------------------------------------------------

namespace {

int screenWidth(win::HWND window) {
  win::HDC dc = win::GetDC(window);
  int width = win::GetDeviceCaps(dc, win::HORZRES);
  win::ReleaseDC(window, dc);
  return width;
}

// The right edge first, then the left: a window wider than the screen
// starts at its left edge.
int keepOnScreen(int x, int width, int screen) {
  if (x + width > screen) x = screen - width;
  return std::max(x, 0);
}

void moveTo(win::HWND window, int x, int y) {
  win::SetWindowPos(window, nullptr, x, y, 0, 0, win::SWP_NOSIZE | win::SWP_NOZORDER);
}

}  // namespace

void vchooserMSWCenterOnOwner(win::HWND window) {
  win::HWND owner = win::GetWindow(window, win::GW_OWNER);
  if (!owner) return;
  win::RECT r{}, o{};
  win::GetWindowRect(window, &r);
  win::GetWindowRect(owner, &o);
  int w = r.right - r.left, h = r.bottom - r.top;
  int x = o.left + ((o.right - o.left) - w) / 2;
  int y = o.top + ((o.bottom - o.top) - h) / 2;
  moveTo(window, keepOnScreen(x, w, screenWidth(window)), std::max(y, 0));
}

void vchooserMSWPlaceAt(win::HWND window, const vpoint* point) {
  vwindowEnsureStartup();
  win::RECT r{};
  win::GetWindowRect(window, &r);
  int w = r.right - r.left, h = r.bottom - r.top;
  int y = vwindowGetRoot()->rect.height - point->y - h;
  moveTo(window, keepOnScreen(point->x, w, screenWidth(window)), std::max(y, 0));
}

// ---- Directory listing ------------------------------------------------------------------------

struct vfsMSWDirectory {
  vfsPath* path;
  struct Find {
    win::WIN32_FIND_DATAA data;
    win::HANDLE handle;
    int pending;  // the first entry, found at open, is not yet returned
  }* find;
};

std::string _vfsMSWDirectoryPattern(const char* nativeDirectory) {
  std::string pattern(nativeDirectory);
  const char* separator = vfsMSWGetSeparator();
  std::size_t n = std::strlen(separator);
  if (pattern.size() < n || pattern.compare(pattern.size() - n, n, separator) != 0) pattern += separator;
  return pattern + "*.*";
}

vfsMSWDirectory* vfsMSWOpenDirectory(const vfsPath* path) {
  char text[vfsPATH_BUFFER];
  vfsPathToBuffer(path, text);
  char* native = vscribeCreateString(vscribeToNative(text));
  std::string pattern = _vfsMSWDirectoryPattern(native);
  vscribeFreeString(native);
  win::WIN32_FIND_DATAA data;
  win::HANDLE handle = win::FindFirstFileA(pattern.c_str(), &data);
  if (handle == win::INVALID_HANDLE_VALUE) vexGenerateMessage(&vfsDirectoryNameClass, "cannot list the directory");
  auto* it = static_cast<vfsMSWDirectory*>(vmemAlloc(sizeof(vfsMSWDirectory)));
  it->find = static_cast<vfsMSWDirectory::Find*>(vmemAlloc(sizeof(vfsMSWDirectory::Find)));
  it->find->data = data;
  it->find->handle = handle;
  it->find->pending = 1;
  it->path = vfsCopyPath(path);
  return it;
}

vstr* vfsMSWNextDirectoryEntry(vfsMSWDirectory* it) {
  vfsMSWDirectory::Find* f = it->find;
  if (f->pending)
    f->pending = 0;
  else if (!win::FindNextFileA(f->handle, &f->data))
    return nullptr;
  return vstrCloneScribed(vscribeFromNative(f->data.cFileName), nullptr);
}

void vfsMSWCloseDirectory(vfsMSWDirectory* it) {
  win::FindClose(it->find->handle);
  vmemFree(it->find);
  vfsFreePath(it->path);
  vmemFree(it);
}
