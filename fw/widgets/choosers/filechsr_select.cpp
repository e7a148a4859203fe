// Accepting a choice in the file chooser: the typed path or the selected
// files checked against the options and handed to the apply function,
// directories entered instead; the error notices of failed requests and
// the question before a file is overwritten.
//
// - `filechsr_select.cpp`: OK during `process` runs the selection handler first (the OK button's
//   notify is wrapped at open, restored at close): the whole entry text, resolved against the
//   current directory, or the selected files; directories are entered; error notices and the
//   overwrite question are `vnotice`s over the chooser. A typed name that is not a directory gets
//   the current type's extension (else the chooser's default one) unless its last element already
//   ends with it (upper-cased first for a case-insensitive type). The directory chooser's Defaults
//   button goes to the typed or selected directory and never closes the chooser.
#include <cstring>
#include <string>

#include <utility>

#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/gui/window/msw.h"
#include "fw/data/vresource.h"
#include "fw/widgets/choosers/filechsr.h"
#include "fw/widgets/choosers/notice.h"
#include "fw/widgets/look/laf.h"

namespace {

bool isDirectory(const vfsFileInfo& info) { return (info.flags & vfsINFO_KIND) == vfsINFO_DIRECTORY; }

// The apply function's answer; a file-system exception counts as a
// refusal, any other ends the selection with its own message.
int offer(vfilechsr* c, vfsPath* path) {
  if (!c->apply) return 1;
  int r = 0;
  vexGuard([&] { r = c->apply(c, path); },
           [&](vexHandler& h) {
             vexException* e = vexGetCurrentException();
             if (e && vexClassDerives(e->cls, &vfsFileSystemClass)) {
               vexSetCurrentException(h.savedChain);
               r = 0;
               return;
             }
             c->resultFlags = 0;
             _vexGenerate(&vexModuleStateClass, vexSetMessage, "handle file chooser selection(s) failed", vexEnd);
           });
  return r;
}

int fromColumns(vfilechsr* c) {
  int last = _vfilechsrLastSelectedColumn(c);
  if (last < 0) return 0;
  vlistview* v = c->columns[last];
  auto* d = reinterpret_cast<vfilechsrDirectory*>(v->list->client);
  c->resultFlags |= vfilechsrRESULT_EXISTS;
  if (c->options & vfilechsrDIRECTORIES) c->resultFlags |= vfilechsrRESULT_DIRECTORY;
  bool every = c->selectionMode == 2 && !(c->options & vfilechsrKEEP_GOING);
  std::int32_t selected = vlistCountSelectedCells(d->list, v->selection);
  int result = 1;
  for (std::int32_t row = 0; row < d->count; ++row) {
    if (!vlistIsCellSelected(d->list, v->selection, row, 0)) continue;
    const vfilechsrEntry& e = d->entries[std::size_t(row)];
    vfsPath* path = vfsCopyPath(d->path);
    vfsAppendPathElements(path, e.name, nullptr);
    if (isDirectory(e.info) && !(c->options & vfilechsrDIRECTORIES)) {
      result = 0;
      if (selected == 1) {
        if (!vexTry([&] { vfilechsrSetDirectory(c, path); })) _vfilechsrShowError(c, 2);
      } else {
        vwindowBeep();
      }
      vfsFreePath(path);
      if (!every) break;
      continue;
    }
    int r = 0;
    vexGuard([&] { r = offer(c, path); },
             [&](vexHandler&) {
               vfsFreePath(path);
               _vexGenerate(nullptr, vexEnd);
             });
    vfsFreePath(path);
    if (r == 0) {
      result = 0;
      if (!every) break;
    }
  }
  return result;
}

// The typed text as a path, resolved against the current directory.
vfsPath* typedPath(vfilechsr* c, const char* text) {
  vfsPath* path = vfsNewPathFromString(text);
  vexGuard(
      [&] {
        vfsPathExpand(path);
        if (!(path->kind & vfsPATH_ROOTED) && c->current) {
          vfsPath* resolved = vfsPathResolve(c->current->path, path);
          vfsFreePath(path);
          path = resolved;
        }
      },
      [&](vexHandler&) {
        vfsFreePath(path);
        _vexGenerate(nullptr, vexEnd);
      });
  return path;
}

// The whole text of the entry when it is shown and enabled: a longer path
// is refused by the file-system layer rather than cut short into another
// name.
std::string entryText(vfilechsr* c) {
  std::string text;
  if (c->pathEntry && (c->pathEntry->flags & vdialogItemSHOWN) && vdialogItemIsEnabled(c->pathEntry)) {
    char* chars = vtextitemGetString(c->pathEntry);
    if (chars) text = chars, vmemFree(chars);
  }
  return text;
}

int fromText(vfilechsr* c, const char* text) {
  vfsPath* path = nullptr;
  vfsFileInfo info{};
  bool exists = false;
  bool ok = vexTry([&] {
    path = typedPath(c, text);
    exists = vexTry([&] { vfsGetFileInfo(path, &info); });
    if ((!exists || !isDirectory(info)) && _vfilechsrAppendExtension(c, path))
      exists = vexTry([&] { vfsGetFileInfo(path, &info); });
  });
  if (!ok) {
    if (path) vfsFreePath(path);
    _vfilechsrShowError(c, 2);
    return 0;
  }
  int result = 0;
  vexGuard(
      [&] {
        if (exists && isDirectory(info)) {
          c->resultFlags |= vfilechsrRESULT_DIRECTORY;
          if (!(c->options & vfilechsrDIRECTORIES)) {
            if (!vexTry([&] { vfilechsrSetDirectory(c, path); })) _vfilechsrShowError(c, 2);
            return;
          }
        } else if (exists && c->kind != vfilechsrOPEN && c->confirmOverwrite) {
          if (!_vfilechsrConfirmOverwrite(c, path)) return;
        } else if (!exists) {
          if (c->options & vfilechsrMUST_EXIST) return _vfilechsrShowError(c, 3);
          if ((c->options & vfilechsrPATH_MUST_EXIST) && vfsCountPathElements(path) > 1) {
            vfsPath* parent = vfsCopyPath(path);
            vfsPathRemoveLast(parent, 1);
            vfsFileInfo p{};
            bool there = vexTry([&] { vfsGetFileInfo(parent, &p); });
            vfsFreePath(parent);
            if (!there || !isDirectory(p)) return _vfilechsrShowError(c, 4);
          }
        }
        if (exists) c->resultFlags |= vfilechsrRESULT_EXISTS;
        result = offer(c, path);
      },
      [&](vexHandler&) {
        vfsFreePath(path);
        _vexGenerate(nullptr, vexEnd);
      });
  vfsFreePath(path);
  return result;
}

}  // namespace

int _vfilechsrHandleSelection(vconfirm* confirm, vevent*) {
  auto* c = static_cast<vfilechsr*>(confirm);
  c->resultFlags = 0;
  if (c->readOnly && (c->readOnly->flags & vdialogItemSHOWN) && (c->options & vfilechsrREAD_ONLY_TICKED))
    c->resultFlags |= vfilechsrRESULT_READ_ONLY;
  std::string text = entryText(c);
  int result = 0;
  vexGuard([&] { result = text.empty() ? fromColumns(c) : fromText(c, text.c_str()); },
           [&](vexHandler&) {
             c->resultFlags = 0;
             _vexGenerate(nullptr, vexEnd);
           });
  c->resultFlags = 0;
  return result;
}

int _vfilechsrChooseDirectory(vconfirm* confirm, vevent*) {
  auto* c = static_cast<vfilechsr*>(confirm);
  std::string text = entryText(c);
  vfsPath* path = nullptr;
  if (!text.empty()) {
    if (!vexTry([&] { path = typedPath(c, text.c_str()); })) {
      _vfilechsrShowError(c, 2);
      return 0;
    }
  } else if (int last = _vfilechsrLastSelectedColumn(c); last >= 0) {
    vlistview* v = c->columns[last];
    auto* d = reinterpret_cast<vfilechsrDirectory*>(v->list->client);
    std::int32_t row = -1, column = 0;
    vlistGetFirstSelectedCell(d->list, v->selection, &row, &column);
    if (row >= 0 && row < d->count) {
      path = vfsCopyPath(d->path);
      vfsAppendPathElements(path, d->entries[std::size_t(row)].name, nullptr);
    }
  }
  if (!path) {
    vwindowBeep();
    return 0;
  }
  if (!vexTry([&] { vfilechsrSetDirectory(c, path); })) _vfilechsrShowError(c, 2);
  vfsFreePath(path);
  return 0;
}

// ---- Notices.
namespace {

std::string listText(const char* list, int index, bool* present = nullptr) {
  return _vfilechsrListText(vnameInternLiteral(list), index, present);
}
std::int32_t listLength(const char* list) {
  vresource r = vfilechsrGetResource(vnameInternLiteral(list));
  return r ? vresourceCount(r) : 0;
}
std::string fillIn(std::string templ, const std::string& value) { return _vfilechsrFillIn(std::move(templ), value); }

// The notice's title from the chooser's: a long one falls back to the
// template's plain text.
std::string noticeTitle(vfilechsr* c, bool withNo) {
  std::string title = fillIn(listText("Title Templates", withNo ? 3 : 2), c->title ? c->title : "");
  return title.size() > 40 ? listText("Title Templates", withNo ? 1 : 0) : title;
}

vname runNotice(vfilechsr* c, const std::string& text, bool question) {
  vnotice* n = vnoticeCreate();
  vname answer = nullptr;
  vexGuard(
      [&] {
        vnoticeSetQuestion(n, question ? 1 : 0);
        vnoticeSetCancel(n, 0);
        if (!question) vnoticeSetIcon(n, vlafGetNoticeImage(3));
        vwindowSetTitleScribe(n, vscribeCString(noticeTitle(c, question).c_str()));
        vnoticeSetTextScribed(n, vscribeCString(text.c_str()));
        vdialogPlaceRelative(n, c, 6, 6);
        vwindowClassOf(n)->setParent(n, c);
        vwindowBeep();
        answer = vconfirmProcess(n);
      },
      [&](vexHandler&) {
        vinstanceDestroy(n);
        _vexGenerate(nullptr, vexEnd);
      });
  vinstanceDestroy(n);
  return answer;
}

}  // namespace

void _vfilechsrShowError(vfilechsr* c, int request) {
  bool present = false;
  std::int32_t n = listLength("Strings");
  std::string text = listText("Strings", request < n ? request : 1, &present);
  if (!present) text = "Unable to complete request. Unknown error has occured.";
  runNotice(c, text, false);
}

int _vfilechsrConfirmOverwrite(vfilechsr* c, const vfsPath* path) {
  bool present = false;
  std::string question = listText("Strings", 0, &present);
  if (!present) return 0;
  int n = vfsCountPathElements(path);
  std::string name = n > 0 ? vfsGetPathElement(path, n - 1) : "";
  vname answer = runNotice(c, fillIn(question, name), true);
  return answer == vnameInternLiteral("Ok") || answer == vnameInternLiteral("Apply") ? 1 : 0;
}
