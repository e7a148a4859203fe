// The file chooser's file types: named filters read from the resource
// file's "File Types", shown as toggles in a "Filters" menu of the
// chooser's menu bar, one of them current. The current type filters the
// listed files and gives typed names their extension.
//
// - `filechsr_types.cpp`: file types come from "File Types" of the "vfilechsr" dictionary: the
//   "Windows/NT" group when present (name patterns such as "*.c;*.h", rewritten into an expression,
//   every character the expressions treat specially escaped), else "Wexlin" (expressions as
//   written). The table (`vfilechsrFileTypes`) keeps its order; the "Filters" menu (exclusive
//   toggles, appended to the local menu bar on the first type) reads in title order, unsigned bytes.
//   A type's expression is compiled on first use with every top-level alternative anchored at both
//   ends, so a name passes when one alternative covers it whole ("a.c.h" under "*.c;*.h"); a pattern
//   the expressions refuse filters nothing. Non-files always pass. A copy's table and menu are its
//   own (the copied menu bar's "Filters" menu is emptied and refilled).
#include <algorithm>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/data/regexp.h"
#include "fw/data/vresource.h"
#include "fw/widgets/choosers/filechsr.h"
#include "fw/widgets/menus/menu.h"
#include "fw/widgets/menus/menubar.h"
#include "fw/widgets/menus/menuitem.h"

namespace {


// ---- The table.
vfilechsrFileType* grow(vfilechsr* c) {
  vfilechsrFileTypes*& t = c->fileTypes;
  if (!t) {
    t = static_cast<vfilechsrFileTypes*>(vmemAllocClear(sizeof(vfilechsrFileTypes)));
    t->second = 2;
  }
  t->types = static_cast<vfilechsrFileType*>(vmemRealloc(t->types, sizeof(vfilechsrFileType) * (t->count + 1u)));
  vfilechsrFileType* r = &t->types[t->count++];
  *r = vfilechsrFileType{};
  // The table may have moved under the current type.
  if (c->fileTypeIndex >= 0) c->fileType = &t->types[c->fileTypeIndex];
  return r;
}

void freeFields(vfilechsrFileType* r) {
  if (r->title) vstrDestroy(r->title);
  if (r->patternText) vstrDestroy(r->patternText);
  if (r->extension) vstrDestroy(r->extension);
  if (r->extra) {
    if (r->flags & vfilechsrTYPE_EXTRA_OBJECT)
      vinstanceDestroy(static_cast<vinstance*>(r->extra));
    else
      vstrDestroy(static_cast<vstr*>(r->extra));
  }
  if (r->filter) {
    if (r->flags & vfilechsrTYPE_STRING) vstrDestroy(static_cast<vstr*>(r->filter));
    if (r->flags & vfilechsrTYPE_REGEXP) vregexpDestroy(static_cast<vregexp*>(r->filter));
    if (r->flags & vfilechsrTYPE_MEMORY) vmemFree(r->filter);
  }
  *r = vfilechsrFileType{};
}

// ---- The menu.
vmenubar* bar(vfilechsr* c) { return reinterpret_cast<vmenubar*>(c->menuBar); }

vmenu* findFiltersMenu(vfilechsr* c) {
  for (int i = 0; bar(c) && i < vmenubarCount(bar(c)); ++i)
    if (vmenubarAt(bar(c), i)->tag == N("Filters")) return vmenubarAt(bar(c), i);
  return nullptr;
}

std::string tagText(int index) { return _vfilechsrListText(N("Tags"), index); }
int charsElement(int index) {
  vresource r = vfilechsrGetResource(N("Chars"));
  if (!r || index >= vresourceCount(r)) return 0;
  int ch = 0;
  vexTry([&] { ch = static_cast<unsigned char>(vresourceGetAtCharacter(r, index)); });
  return ch;
}

void refilter(vfilechsr* c) {
  for (vfilechsrDirectory* d = c->chain; d; d = d->next) _vfilechsrReleaseEntries(d);
  if (vwindowIsOpen(c))
    _vfilechsrFillColumns(c);
  else
    c->state |= vfilechsrREFILL;
}

void filterChosen(vmenuItem* item, vevent*) {
  vmenu* menu = vmenuItemGetMenu(item);
  auto* c = menu ? static_cast<vfilechsr*>(menu->data) : nullptr;
  if (!c || !c->fileTypes || item->data < 0 || item->data >= c->fileTypes->count) return;
  if (item->data == c->fileTypeIndex) return;
  _vfilechsrSelectFileType(c, &c->fileTypes->types[item->data]);
  refilter(c);
}

vmenu* filtersMenu(vfilechsr* c) {
  if (c->filtersMenu) return c->filtersMenu;
  vmenu* m = findFiltersMenu(c);  // a copy's, taken over from its source
  if (m) {
    while (vmenuItemListCount(&m->items) > 0) {
      vmenuItem* old = vmenuItemListAt(&m->items, 0);
      vmenuRemoveItem(m, old);
      vinstanceDestroy(old);
    }
  } else {
    m = vmenuCreate();
    m->tag = N("Filters");
    vwindowSetTitleScribe(m, vscribeCString(tagText(4).c_str()));
    vmenuClassOf(m)->setMnemonic(m, charsElement(0));
    if (bar(c)) vmenubarAppendMenu(bar(c), m);
  }
  m->data = c;
  return c->filtersMenu = m;
}

void addMenuItem(vfilechsr* c, int index) {
  vmenuItem* item = vmenuItemCreate(vmenuGetDefaultToggleItemClass());
  vmenuItemSetToggle(item, 0);
  vmenuItemSetExclusive(item, 1);
  vfilechsrFileType& r = c->fileTypes->types[index];
  vmenuItemSetTitle(item, vscribeCString(r.title ? r.title : ""));
  item->notifyFunc = filterChosen;
  item->data = index;
  vmenuAppendItem(filtersMenu(c), item);
}

vmenuItem* itemOf(vfilechsr* c, int index) {
  vmenu* m = c->filtersMenu;
  for (int i = 0; m && i < vmenuItemListCount(&m->items); ++i)
    if (vmenuItemListAt(&m->items, i)->data == index) return vmenuItemListAt(&m->items, i);
  return nullptr;
}

// The menu reads in title order; the table keeps its own.
void sortMenu(vfilechsr* c) {
  vmenu* m = c->filtersMenu;
  if (!m || !c->fileTypes) return;
  vfilechsrFileType* current = c->fileType;
  _vfilechsrSelectFileType(c, nullptr);
  const vfilechsrFileTypes* t = c->fileTypes;
  std::vector<int> order(t->count);
  std::iota(order.begin(), order.end(), 0);
  auto title = [&](int i) { return reinterpret_cast<const unsigned char*>(t->types[i].title ? t->types[i].title : ""); };
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return std::strcmp(reinterpret_cast<const char*>(title(a)), reinterpret_cast<const char*>(title(b))) < 0;
  });
  for (int k = 0; k < vmenuItemListCount(&m->items) && k < int(order.size()); ++k) {
    vmenuItem* item = vmenuItemListAt(&m->items, k);
    item->data = order[std::size_t(k)];
    vmenuItemSetTitle(item, vscribeCString(reinterpret_cast<const char*>(title(order[std::size_t(k)]))));
  }
  _vfilechsrSelectFileType(c, current);
}

// ---- Reading a type.
// A string or a name of the dictionary, or null.
vstr* textOf(vresource d, vname key) {
  int kind = vresUNTYPED;
  vresource ignored = 0;
  if (!vresourceTestGet(d, key, &ignored)) return nullptr;
  kind = vresourceGetType(d, key);
  vstr* out = nullptr;
  if (kind == vresSTRING)
    vresourceTestGetStringCopy(d, key, &out);
  else if (kind == vresTAG)
    out = vstrClone(vresourceGetTag(d, key));
  return out;
}

bool makeType(vfilechsr* c, vname name, vresource d, bool platform) {
  vstr* value = textOf(d, N("Value"));
  if (!value) return false;
  vfilechsrFileType* r = grow(c);
  r->name = name;
  r->flags = vfilechsrTYPE_FRAMEWORK | vfilechsrTYPE_STRING;
  r->filter = value;
  r->title = textOf(d, N("Title"));
  if (!r->title) r->title = vstrClone(tagText(0).c_str());
  int noCase = 0;
  if (vresourceTestGetBoolean(d, N("Case Insensitive"), &noCase) && noCase) r->flags |= vfilechsrTYPE_NO_CASE;
  r->extension = textOf(d, N("Extension"));
  addMenuItem(c, c->fileTypes->count - 1);
  if (platform) {
    char delimiter = 0;
    if (!vresourceTestGetCharacter(d, N("Delimiter"), &delimiter)) delimiter = char(charsElement(5));
    std::string rewritten = _vfilechsrRewritePattern(value, static_cast<unsigned char>(delimiter));
    r = &c->fileTypes->types[c->fileTypes->count - 1];
    r->flags = (r->flags & ~vfilechsrTYPE_FRAMEWORK) | vfilechsrTYPE_PLATFORM | vfilechsrTYPE_REWRITTEN;
    r->patternText = value;
    r->filter = vstrClone(rewritten.c_str());
  }
  return true;
}

// The expression compiled for matching: every top-level alternative is
// anchored at both ends, so a name passes when any one of them covers it
// whole ("a.c.h" against ".*\.c|.*\.h").
std::string anchored(const std::string& re) {
  std::string out, alternative;
  bool escaped = false;
  auto flush = [&] {
    if (!out.empty()) out += '|';
    if (alternative.empty() || alternative[0] != '^') out += '^';
    out += alternative;
    std::size_t backslashes = 0;
    for (std::size_t i = alternative.size(); i >= 2 && alternative[i - 2] == '\\'; --i) ++backslashes;
    if (alternative.empty() || alternative.back() != '$' || backslashes % 2 == 1) out += '$';
    alternative.clear();
  };
  for (std::size_t i = 0; i < re.size(); ++i) {
    char ch = re[i];
    if (escaped) {
      escaped = false;
    } else if (ch == '\\') {
      escaped = true;
    } else if (ch == '[') {
      // A class runs to its closing bracket; "|" inside it is a character.
      std::size_t j = i + 1;
      if (j < re.size() && re[j] == '^') ++j;
      for (; j < re.size() && re[j] != ']'; ++j)
        if (re[j] == '\\') ++j;
      std::size_t end = std::min(j, re.size() - 1);
      alternative.append(re, i, end - i + 1);
      i = end;
      continue;
    } else if (ch == '|') {
      flush();
      continue;
    }
    alternative += ch;
  }
  flush();
  return out;
}

// Compiled on first use; a pattern the expressions refuse filters nothing.
vregexp* compiled(vfilechsrFileType* r) {
  if (r->flags & vfilechsrTYPE_REGEXP) return static_cast<vregexp*>(r->filter);
  if (!(r->flags & vfilechsrTYPE_STRING)) return nullptr;
  auto* text = static_cast<vstr*>(r->filter);
  vregexp* re = nullptr;
  vexTry([&] { re = vregexpCompile(vscribeCString(anchored(text).c_str())); });
  if (!(r->flags & vfilechsrTYPE_REWRITTEN)) {
    if (r->patternText) vstrDestroy(r->patternText);
    r->patternText = vstrClone(text);
  }
  vstrDestroy(text);
  r->filter = re;
  r->flags &= ~vfilechsrTYPE_STRING;
  if (!re) return nullptr;
  vregexpSetCaseSensitive(re, (r->flags & vfilechsrTYPE_NO_CASE) ? 0 : 1);
  r->flags |= vfilechsrTYPE_REGEXP;
  return re;
}

}  // namespace

std::string _vfilechsrRewritePattern(const char* pattern, int delimiter) {
  if (delimiter && std::strchr("*?.\\|", delimiter)) delimiter = 0;
  std::string out;
  for (const char* p = pattern; *p; ++p) {
    char ch = *p;
    if (ch == '\\') {
      out += ch;
      if (p[1]) out += *++p;
    } else if (ch == '*') {
      out += ".*";
    } else if (ch == '?') {
      out += '.';
    } else if (delimiter && static_cast<unsigned char>(ch) == delimiter) {
      out += '|';
    } else if (std::strchr(".+()[]^$@|{}", ch)) {
      // Every character the expressions treat specially stands for itself.
      out += '\\';
      out += ch;
    } else {
      out += ch;
    }
  }
  return out;
}

void vfilechsrAddFileTypes(vfilechsr* c, vresource types, vname only, vname preselect) {
  if (!types) {
    vresource dict = _vfilechsrDictionary();
    if (!dict || !vresourceTestGet(dict, N("File Types"), &types)) return;
    if (vresourceGetType(dict, N("File Types")) != vresDICTIONARY) return;
  }
  vname platformGroup = N("Windows/NT");
  vresource ignored = 0;
  bool platform = vresourceTestGet(types, platformGroup, &ignored) != 0;
  vname group = platform ? platformGroup : N("Wexlin");
  if (!preselect && !c->fileType) preselect = only ? only : N("Default");
  int preselected = -1, made = 0;
  vresource g = 0;
  if (vresourceTestGet(types, group, &g) && vresourceGetType(types, group) == vresDICTIONARY) {
    for (std::int32_t i = 0; i < vresourceCount(g); ++i) {
      vname name = nullptr;
      vresource type = vresourceGetTagAt(g, i, &name);
      if (vresourceGetType(g, name) != vresDICTIONARY) continue;
      if (only && only != name) continue;
      if (!makeType(c, name, type, platform)) continue;
      ++made;
      if (name == preselect) preselected = c->fileTypes->count - 1;
      if (only) break;
    }
  }
  if (c->filtersMenu) {
    if (c->fileType && c->fileTypes) c->fileType = &c->fileTypes->types[c->fileTypeIndex];
    else if (preselected < 0 && c->fileTypes && c->fileTypes->count > 0) preselected = 0;
    if (preselected >= 0) {
      _vfilechsrSelectFileType(c, &c->fileTypes->types[preselected]);
      refilter(c);
    }
  }
  if (made) sortMenu(c);
}

void _vfilechsrSelectFileType(vfilechsr* c, vfilechsrFileType* r) {
  if (r == c->fileType) return;
  if (vmenuItem* item = itemOf(c, c->fileTypeIndex)) vmenuItemSetToggle(item, 0);
  c->fileType = nullptr;
  c->fileTypeIndex = -1;
  if (!r || !c->fileTypes) return;
  int index = int(r - c->fileTypes->types);
  if (vmenuItem* item = itemOf(c, index)) vmenuItemSetToggle(item, 1);
  c->fileType = r;
  c->fileTypeIndex = std::int16_t(index);
}

int _vfilechsrMatchFileType(vfilechsr* c, const vfsPath* directory, vfilechsrEntry* e, void* extra) {
  vfilechsrFileType* r = c->fileType;
  if (!r || (e->info.flags & vfsINFO_KIND) != vfsINFO_FILE) return 1;
  if (r->flags & vfilechsrTYPE_FUNCTION)
    return reinterpret_cast<vfilechsrFilterFunc>(r->filter)(directory, e, extra);
  if (!(r->flags & (vfilechsrTYPE_STRING | vfilechsrTYPE_REGEXP))) return 1;
  vregexp* re = compiled(r);
  if (!re) return 1;
  std::ptrdiff_t length = -1;
  const char* name = e->name;
  const char* at = vregexpSearch(re, name, -1, &length);
  return at == name && length == std::ptrdiff_t(std::strlen(name)) ? 1 : 0;
}

int _vfilechsrAppendExtension(vfilechsr* c, vfsPath* path) {
  const vstr* extension = c->fileType && c->fileType->extension ? c->fileType->extension : c->defaultExtension;
  int n = vfsCountPathElements(path);
  if (!extension || !*extension || n == 0) return 0;
  std::string last = vfsGetPathElement(path, n - 1);
  std::string ext = extension;
  if (c->fileType && (c->fileType->flags & vfilechsrTYPE_NO_CASE)) {
    for (std::string* s : {&last, &ext}) {
      char* upper = vscribeCreateString(_vtextviewInputCharScribe(s->c_str()));
      *s = upper;
      vscribeFreeString(upper);
    }
  }
  const char* found = vcstrFindLast(last.c_str(), ext.c_str());
  if (found && std::size_t(found - last.c_str()) + ext.size() == last.size()) return 0;
  std::string element = vfsGetPathElement(path, n - 1);
  vfsReplaceLastPathElement(path, (element + static_cast<const char*>(extension)).c_str());
  return 1;
}

void _vfilechsrCopyFileTypes(vfilechsr* from, vfilechsr* to) {
  const vfilechsrFileTypes* t = from->fileTypes;
  if (!t) return;
  for (int i = 0; i < t->count; ++i) {
    const vfilechsrFileType& s = t->types[i];
    vfilechsrFileType* r = grow(to);
    r->name = s.name;
    r->flags = s.flags;
    r->title = s.title ? vstrClone(s.title) : nullptr;
    r->patternText = s.patternText ? vstrClone(s.patternText) : nullptr;
    r->extension = s.extension ? vstrClone(s.extension) : nullptr;
    if (s.extra)
      r->extra = (s.flags & vfilechsrTYPE_EXTRA_OBJECT) ? static_cast<void*>(vobjectClone(static_cast<vobject*>(s.extra)))
                                                        : static_cast<void*>(vstrClone(static_cast<vstr*>(s.extra)));
    if (s.flags & vfilechsrTYPE_FUNCTION) r->filter = s.filter;
    if (s.flags & vfilechsrTYPE_STRING) r->filter = vstrClone(static_cast<vstr*>(s.filter));
    if (s.flags & vfilechsrTYPE_REGEXP) r->filter = vobjectClone(static_cast<vobject*>(s.filter));
    if (s.flags & vfilechsrTYPE_MEMORY) r->flags &= ~vfilechsrTYPE_MEMORY;  // a block of unknown size is not shared
    addMenuItem(to, i);
  }
  to->fileTypes->second = t->second;
  sortMenu(to);
  if (from->fileTypeIndex >= 0) _vfilechsrSelectFileType(to, &to->fileTypes->types[from->fileTypeIndex]);
}

void _vfilechsrFreeFileTypes(vfilechsr* c, vfilechsrFileTypes** table) {
  vfilechsrFileTypes* t = *table;
  if (!t) return;
  for (int i = 0; i < t->count; ++i) freeFields(&t->types[i]);
  vmemFree(t->types);
  vmemFree(t);
  *table = nullptr;
  if (table == &c->fileTypes) c->fileType = nullptr, c->fileTypeIndex = -1;
}
