// The file chooser through the system's Open and Save dialogs: the
// chooser's kind, options, title, file types, directory, position and
// owner become the dialog's parameters, and a hook places the dialog,
// keeps the framework's timers running and hands every confirmed name to
// the apply function as a path, as the chooser's own dialog does.
//
// - `filechsr_native.cpp`: under the Windows and Win95 looks, with native dialogs allowed (the
//   preferences) or forced, `process` and `open` run `GetOpenFileNameA`/`GetSaveFileNameA` instead.
//   The structure is the host's size; the initial directory is a string of the path's length.
//   Explorer style (Win95 on a major version of 4 or later) with several names subclasses the
//   dialog's frame to grow the 2,048-byte buffer from the process heap through `CDM_GETFILEPATH`
//   (freed after the run). The hook passes every message to the modal timer hook first, places the
//   dialog on `WM_INITDIALOG`, and offers every confirmed name to the apply function with result
//   flag 0x2000, and 0x1000 when the read-only box was shown and ticked; one refusal keeps the
//   dialog open.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "fw/core/ex.h"
#include "fw/core/sys.h"
#include "fw/gui/window/msw.h"
#include "fw/widgets/choosers/filechsr.h"
#include "fw/widgets/choosers/nativechsr.h"
#include "fw/widgets/look/laf.h"
#include "platform/win.h"

namespace {

constexpr std::size_t kFilterBytes = 256, kFileBytes = 2048;

// One native file dialog at a time: the hook reaches its chooser here.
struct Native {
  vfilechsr* chooser = nullptr;
  win::OPENFILENAMEA* ofn = nullptr;
  win::UINT fileOk = 0;
  bool modern = false;    // Win95 on a major version of 4 or later
  bool multiple = false;  // several names may come back
  bool readOnlyShown = false;
  win::WNDPROC oldFrameProc = nullptr;
  char* grown = nullptr;  // a larger buffer from the process heap
} g;

bool subclassesFrame() { return g.modern && g.multiple; }

std::string pathText(const vfsPath* p) {
  vstr* s = vfsPathToString(p);
  std::string out = s;
  vstrDestroy(s);
  return out;
}

// Pairs of description and pattern, each NUL-ended, and a final NUL;
// a pair that would not leave room for that NUL ends the list.
struct Filters {
  char bytes[kFilterBytes] = {};
  std::size_t used = 0;
  bool add(const char* description, const char* pattern) {
    std::size_t d = std::strlen(description) + 1, p = std::strlen(pattern) + 1;
    if (used + d + p + 1 > kFilterBytes) return false;
    std::memcpy(bytes + used, description, d);
    std::memcpy(bytes + used + d, pattern, p);
    used += d + p;
    return true;
  }
};

// The filter list, its index and the type's default extension.
void buildFilters(vfilechsr* c, Filters& f, win::DWORD* index, std::string* extension) {
  *index = 1;
  if (!(c->options & vfilechsrDIRECTORIES)) f.add("All Files (*.*)", "*.*");
  const vfilechsrFileTypes* t = c->fileTypes;
  if (!t || t->count == 0) return;
  f = Filters{};
  win::DWORD listed = 0;
  for (int i = 0; i < t->count; ++i) {
    const vfilechsrFileType& r = t->types[i];
    if (!(r.flags & vfilechsrTYPE_PLATFORM) || !r.patternText) continue;
    if (!f.add(r.name, r.patternText)) break;
    ++listed;
    if (&r == c->fileType) *index = listed;
  }
  if (c->fileType && c->fileType->extension) *extension = c->fileType->extension;
}

// At most three characters, a leading "." dropped.
std::string defaultExtension(std::string e) {
  if (!e.empty() && e[0] == '.') e.erase(0, 1);
  return e.substr(0, 3);
}

// The apply function's answer for one name; an exception is a refusal.
bool offer(vfilechsr* c, const std::string& text) {
  vfsPath* path = nullptr;
  int accepted = 0;
  vexTry([&] {
    path = vfsNewPathFromString(text.c_str());
    accepted = c->apply ? c->apply(c, path) : 1;
  });
  if (path) vfsFreePath(path);
  return accepted != 0;
}

std::vector<std::string> words(const char* text) {
  std::vector<std::string> out;
  std::string word;
  for (const char* p = text;; ++p) {
    if (*p == ' ' || *p == '\0') {
      if (!word.empty()) out.push_back(word);
      word.clear();
      if (!*p) break;
    } else {
      word += *p;
    }
  }
  return out;
}

std::string joined(const std::string& directory, const std::string& name) {
  const char* separator = vfsMSWGetSeparator();
  bool ends = directory.size() >= std::strlen(separator) &&
              directory.compare(directory.size() - std::strlen(separator), std::string::npos, separator) == 0;
  return ends ? directory + name : directory + separator + name;
}

// The names the user confirmed: every one is offered, even after a
// refusal; 1 keeps the dialog open.
win::UINT_PTR fileNamesConfirmed(win::HWND dialog) {
  vfilechsr* c = g.chooser;
  win::OPENFILENAMEA* ofn = g.ofn;
  c->resultFlags = vfilechsrRESULT_EXISTS;
  if (g.readOnlyShown && (ofn->Flags & win::OFN_READONLY)) c->resultFlags |= vfilechsrRESULT_READ_ONLY;
  std::vector<std::string> paths;
  const char* buffer = ofn->lpstrFile;
  if (ofn->Flags & win::OFN_EXPLORER) {
    std::size_t first = std::strlen(buffer);
    if (!g.multiple || buffer[first + 1] == '\0') {
      paths.emplace_back(buffer);
    } else {
      std::string directory = buffer;
      for (const char* name = buffer + first + 1; *name; name += std::strlen(name) + 1) {
        std::string n = name;
        if (!n.empty() && n.back() == '.') n.pop_back();
        paths.push_back(joined(directory, n));
      }
    }
  } else {
    std::vector<std::string> inBuffer = words(buffer);
    if (inBuffer.size() > 1) {
      char field[kFileBytes] = {};
      win::GetDlgItemTextA(dialog, win::edt1, field, int(sizeof field - 1));
      for (const std::string& name : words(field)) paths.push_back(joined(inBuffer[0], name));
    } else if (!inBuffer.empty()) {
      paths.push_back(inBuffer[0]);
    }
  }
  bool refused = false;
  for (const std::string& p : paths)
    if (!offer(c, p)) refused = true;
  c->resultFlags = 0;
  return refused ? 1 : 0;
}

// The frame of an Explorer dialog with several names: OK first makes the
// buffer as large as the selection needs.
win::LRESULT frameProc(win::HWND frame, win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
  if (message == win::WM_COMMAND && (wParam & 0xFFFF) == win::IDOK && g.ofn) {
    auto needed = static_cast<std::size_t>(
        win::SendMessageA(frame, win::CDM_GETFILEPATH, kFileBytes, reinterpret_cast<win::LPARAM>(g.ofn->lpstrFile)));
    if (needed > kFileBytes && needed > g.ofn->nMaxFile) {
      auto* buffer = static_cast<char*>(win::HeapAlloc(win::GetProcessHeap(), win::HEAP_ZERO_MEMORY, needed));
      if (buffer) {
        if (g.grown) win::HeapFree(win::GetProcessHeap(), 0, g.grown);
        g.grown = buffer;
        g.ofn->lpstrFile = buffer;
        g.ofn->nMaxFile = win::DWORD(needed);
      }
    }
  }
  return win::CallWindowProcA(g.oldFrameProc, frame, message, wParam, lParam);
}

win::UINT_PTR hook(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
  veventMSWModalTimerProc(dialog, message, wParam, lParam);
  vfilechsr* c = g.chooser;
  if (!c) return 0;
  win::HWND top = (g.ofn->Flags & win::OFN_EXPLORER) ? win::GetParent(dialog) : dialog;
  if (message == win::WM_INITDIALOG) {
    vfilechsrNativeSettings* n = c->nativeSettings;
    if (n && (n->flags & vfilechsrNATIVE_POSITION) && n->x >= 0) {
      vpoint at{n->x, n->y};
      vchooserMSWPlaceAt(top, &at);
    } else if (!c->parent || c->parent == vwindowGetRoot()) {
      vchooserMSWCenterOnOwner(top);
    }
    return 0;
  }
  if (message == win::WM_NOTIFY && subclassesFrame()) {
    auto* note = reinterpret_cast<const win::NMHDR*>(lParam);
    if (note && note->code == win::CDN_INITDONE && !g.oldFrameProc)
      g.oldFrameProc = reinterpret_cast<win::WNDPROC>(
          win::SetWindowLongPtrA(top, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(frameProc)));
    return 0;
  }
  if (message == win::WM_DESTROY && subclassesFrame() && g.oldFrameProc) {
    win::SetWindowLongPtrA(top, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(g.oldFrameProc));
    g.oldFrameProc = nullptr;
    return 0;
  }
  if (message == g.fileOk && g.fileOk) return fileNamesConfirmed(dialog);
  return 0;
}

win::HWND ownerOf(vfilechsr* c) {
  vwindow* owner = c->parent ? c->parent : vwindowGetRoot();
  win::HWND hwnd = vwindowGetMSWWindow(owner);
  return hwnd ? hwnd : vwindowGetMSWWindow(vwindowGetRoot());
}

}  // namespace

vname _vfilechsrRunNative(vfilechsr* c) {
  vfilechsrNativeSettings* n = _vfilechsrNativeSettings(c);
  win::OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  g = Native{};
  g.chooser = c;
  g.ofn = &ofn;
  g.fileOk = win::RegisterWindowMessageA("commdlg_FileNameOK");
  g.modern = vlafGetCurrent()->id == vlafWIN95 && (vsysGetVersion() & 0xFF) >= 4;
  g.multiple = c->kind == vfilechsrOPEN && c->selectionMode == 2;
  ofn.hwndOwner = ownerOf(c);
  ofn.Flags = win::OFN_HIDEREADONLY | win::OFN_ENABLEHOOK;
  ofn.lpfnHook = hook;
  if (g.modern) ofn.Flags |= win::OFN_EXPLORER;
  std::string title = (n->flags & vfilechsrNATIVE_TITLE) && n->title ? n->title : "";
  if (n->flags & vfilechsrNATIVE_TITLE) ofn.lpstrTitle = title.c_str();

  Filters filters;
  std::string extension;
  buildFilters(c, filters, &ofn.nFilterIndex, &extension);
  ofn.lpstrFilter = filters.bytes;
  // The directory's whole text, however long.
  std::string directory;
  if (n->directory)
    directory = pathText(n->directory);
  else if (c->current)
    directory = pathText(c->current->path);
  if (!directory.empty()) ofn.lpstrInitialDir = directory.c_str();
  std::vector<char> file(kFileBytes, '\0');
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = kFileBytes;

  if (vconfirmHasHelp(c)) ofn.Flags |= win::OFN_SHOWHELP;
  if (c->options & vfilechsrMUST_EXIST) ofn.Flags |= win::OFN_FILEMUSTEXIST;
  if (c->options & vfilechsrPATH_MUST_EXIST) ofn.Flags |= win::OFN_PATHMUSTEXIST;
  if (c->options & vfilechsrDIRECTORIES) {
    ofn.Flags &= ~win::OFN_HIDEREADONLY;
  } else if (c->options & vfilechsrREAD_ONLY_BOX) {
    ofn.Flags &= ~win::OFN_HIDEREADONLY;
    if (c->options & vfilechsrREAD_ONLY_TICKED) ofn.Flags |= win::OFN_READONLY;
  }
  g.readOnlyShown = !(ofn.Flags & win::OFN_HIDEREADONLY);
  if (extension.empty() && c->defaultExtension) extension = c->defaultExtension;
  std::string defExt = defaultExtension(extension);
  if (!defExt.empty()) ofn.lpstrDefExt = defExt.c_str();
  if (g.multiple) ofn.Flags |= win::OFN_ALLOWMULTISELECT;
  if (c->kind != vfilechsrOPEN && c->confirmOverwrite) ofn.Flags |= win::OFN_OVERWRITEPROMPT;

  vwindow* root = vwindowGetRoot();
  bool grabbed = vexTry([&] { vwindowGrab(root); });
  win::BOOL chosen = 0;
  vexGuard([&] { chosen = c->kind == vfilechsrOPEN ? win::GetOpenFileNameA(&ofn) : win::GetSaveFileNameA(&ofn); },
           [&](vexHandler&) {
             if (grabbed) vexTry([&] { vwindowUngrab(root); });
             if (g.grown) win::HeapFree(win::GetProcessHeap(), 0, g.grown);
             g = Native{};
             _vexGenerate(nullptr, vexEnd);
           });
  if (grabbed) vexTry([&] { vwindowUngrab(root); });
  if (g.grown) win::HeapFree(win::GetProcessHeap(), 0, g.grown);
  g = Native{};
  c->result = vnameInternLiteral(chosen ? "Ok" : "Cancel");
  n->flags &= ~(vfilechsrNATIVE_POSITION | vfilechsrNATIVE_OWNER);
  return c->result;
}
