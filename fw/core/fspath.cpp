// Portable paths: an optional volume, a kind and element strings; parsed
// and rendered under the current path rules.
//
// - Paths (`fspath.cpp`): a volume, a kind (single, rooted, relative) and element strings. Every
//   separator and volume question goes through one `vfsPathRules` record: `vfsLinuxPathRules` (the
//   program's: "/" separator and root, no volumes, ":" and "\" ordinary) and `vfsWindowsPathRules`
//   (drive letters, shares), which the tests use for the Windows cases. Texts longer than
//   `PATH_MAX`, or elements longer than `NAME_MAX`, raise `Arg/Range` rather than being cut;
//   environment values are checked the same way before they build a path. Paths are stored in and
//   loaded from resource dictionaries (`fspathres.cpp`, tag "vfsPath") through the resource
//   interface of `resource.h`.
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fw/core/fs_internal.h"

const vfsPathRules vfsWindowsPathRules{"Windows", '\\', "\\", "\\", ":", ".", ".."};
const vfsPathRules vfsLinuxPathRules{"Linux", '/', "/", "/", nullptr, ".", ".."};

namespace {

const vfsPathRules* rules = &vfsLinuxPathRules;

using Pieces = std::vector<std::string>;

[[noreturn]] void rangeError(const char* message) { vexGenerateMessage(&vexArgRangeClass, message); }

// What the system answers for a path text too long to take, so that the
// callers' file-system handlers see it as they see any other refusal.
[[noreturn]] void pathTooLong() {
  _vexGenerate(&vfsMaxPathLengthClass, vexSetErrno, ENAMETOOLONG, vexSetMessage, "path too long", vexEnd);
}

vstr* makeString(std::string_view text) {
  vstr* s = vstrAllocSized(text.size());
  std::memcpy(s, text.data(), text.size());
  return s;
}

std::size_t countOf(const vfsPath* p) { return static_cast<std::size_t>(p->elemEnd - p->elemBegin); }
bool rooted(const vfsPath* p) { return (p->kind & vfsPATH_KIND) == vfsPATH_ROOTED; }

void freeVolume(vfsVolume* v) {
  if (!v) return;
  vstrDestroy(v->text);
  vpoolFree(fsint::volumePool(), v);
}

vfsVolume* makeVolume(std::string_view text, bool share) {
  auto* v = static_cast<vfsVolume*>(vpoolAlloc(fsint::volumePool()));
  v->drive = -1;
  v->text = makeString(text);
  if (!share && text.size() == 1) {
    char c = text[0];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    v->text[0] = c;
    if (c >= 'A' && c <= 'Z') v->drive = c - 64;
  }
  return v;
}

void freeElements(vfsPath* p) {
  for (vstr** e = p->elemBegin; e != p->elemEnd; ++e) vstrDestroy(*e);
  vmemFree(p->elemBegin);
  p->elemBegin = p->elemEnd = nullptr;
}

void checkElement(std::string_view piece) {
  if (piece.size() > vfsMAX_ELEMENT) rangeError("path element too long");
}

// Replaces the elements by pieces (each already checked).
void setElements(vfsPath* p, const Pieces& pieces) {
  freeElements(p);
  if (pieces.empty()) return;
  p->elemBegin = static_cast<vstr**>(vmemAlloc(vmemArraySize(pieces.size(), sizeof(vstr*))));
  p->elemEnd = p->elemBegin;
  for (const std::string& piece : pieces) *p->elemEnd++ = makeString(piece);
}

Pieces piecesOf(const vfsPath* p) {
  Pieces out;
  for (vstr** e = p->elemBegin; e != p->elemEnd; ++e) out.emplace_back(*e, vstrGetLength(*e));
  return out;
}

void split(std::string_view text, Pieces& out) {
  std::size_t at = 0;
  while (at <= text.size()) {
    std::size_t end = text.find(rules->separator, at);
    if (end == std::string_view::npos) end = text.size();
    if (end > at) {
      checkElement(text.substr(at, end - at));
      out.emplace_back(text.substr(at, end - at));
    }
    at = end + 1;
  }
}

// The kind of a path that is not rooted, by its elements.
unsigned relativeKind(const Pieces& pieces) { return pieces.size() == 1 ? vfsPATH_SINGLE : vfsPATH_RELATIVE; }

void refreshKind(vfsPath* p) {
  if (!rooted(p)) p->kind = relativeKind(piecesOf(p));
}

void parseInto(vfsPath* p, std::string_view text) {
  if (text.empty()) rangeError("empty path");
  if (text.size() > vfsMAX_PATH) {
    // A name too long is the caller's error; a path too long the system's.
    Pieces pieces;
    split(text, pieces);
    pathTooLong();
  }
  unsigned kind = vfsClassifyPath(std::string(text).c_str());
  vfsVolume* volume = nullptr;
  Pieces pieces;
  std::string_view rest = text;
  const char sep = rules->separator;
  std::size_t colon = rules->volumeSeparator ? text.find(':') : std::string_view::npos;
  try {
    if (colon != std::string_view::npos) {
      volume = makeVolume(text.substr(0, colon), false);
      rest = text.substr(colon + 1);
    } else if (rules->volumeSeparator && kind == vfsPATH_ROOTED && text.size() > 2 && text[0] == sep &&
               text[1] == sep && text[2] != sep) {
      std::size_t server = text.find(sep, 2);
      std::size_t share = server == std::string_view::npos ? server : text.find(sep, server + 1);
      std::size_t end = share == std::string_view::npos ? text.size() : share;
      volume = makeVolume(text.substr(0, end), true);
      rest = text.substr(end);
    }
    split(rest, pieces);
  } catch (...) {
    freeVolume(volume);
    throw;
  }
  if (kind != vfsPATH_ROOTED && pieces.empty()) pieces.emplace_back(rules->currentDir);
  freeVolume(p->volume);
  p->volume = volume;
  p->kind = kind;
  setElements(p, pieces);
}

std::string render(const vfsPath* p) {
  unsigned kind = p->kind & vfsPATH_KIND;
  if (countOf(p) == 0 && kind != vfsPATH_ROOTED) vexGenerateMessage(&vexArgClass, "path without elements");
  std::string out;
  if (p->volume) {
    out = p->volume->text;
    bool share = out.size() >= 2 && out[0] == rules->separator && out[1] == rules->separator;
    if (!share && rules->volumeSeparator) out += rules->volumeSeparator;
  }
  if (kind == vfsPATH_ROOTED) out += rules->root;
  else if (kind != vfsPATH_SINGLE && kind != vfsPATH_RELATIVE) vexGenerateMessage(&vfsFileSystemClass, "bad path kind");
  for (vstr** e = p->elemBegin; e != p->elemEnd; ++e) {
    if (e != p->elemBegin) out += rules->separator;
    out += *e;
  }
  // Too long for the system to take: what it would answer, ENAMETOOLONG.
  if (out.size() > vfsMAX_PATH) pathTooLong();
  return out;
}

int sign(int v) { return (v > 0) - (v < 0); }

// ---- Expansion of "$" variables and "~".

void appendVariable(std::string& out, const std::string& name) {
  if (const char* value = fsint::environmentText(name.c_str())) out += value;
}

// Answers the expanded text and whether anything was substituted.
std::string expandElement(std::string_view e, bool& changed) {
  std::string out;
  std::size_t i = 0;
  changed = false;
  if (e.substr(0, 2) == "~~") {
    out = "~";
    i = 2;
    changed = true;
  } else if (!e.empty() && e[0] == '~' && (e.size() == 1 || (e.size() > 2 && e[1] == '$'))) {
    appendVariable(out, "HOME");
    i = 1;
    changed = true;
  }
  while (i < e.size()) {
    if (e[i] != '$' || i + 1 == e.size()) {
      out += e[i++];
      continue;
    }
    changed = true;
    if (e[i + 1] == '$') {
      out += '$';
      i += 2;
      continue;
    }
    std::size_t end = e.find('$', i + 1);
    if (end == std::string_view::npos) end = e.size();
    appendVariable(out, std::string(e.substr(i + 1, end - i - 1)));
    i = end;
  }
  if (out.size() > vfsMAX_PATH) rangeError("expanded path element too long");
  return out;
}

}  // namespace

const vfsPathRules* vfsGetPathRules() { return rules; }
void vfsSetPathRules(const vfsPathRules* r) { rules = r ? r : &vfsLinuxPathRules; }

unsigned vfsClassifyPath(const char* text) {
  const char sep = rules->separator;
  const char* rest = text;
  const char* colon = rules->volumeSeparator ? std::strchr(text, ':') : nullptr;
  if (colon) {
    if (colon[1] == sep) return vfsPATH_ROOTED;
    rest = colon + 1;
  } else if (text[0] == sep) {
    return vfsPATH_ROOTED;
  }
  if ((rest[0] == '.' && rest[1] == sep) || (rest[0] == '.' && rest[1] == '.' && rest[2] == sep)) return vfsPATH_RELATIVE;
  if (!*rest) return vfsPATH_SINGLE;
  return std::strchr(rest, sep) ? vfsPATH_RELATIVE : vfsPATH_SINGLE;
}

vfsPath* vfsNewPathFromString(const char* text) {
  if (!text) vexGenerateMessage(&vexArgNullClass, "null path text");
  auto* p = static_cast<vfsPath*>(vpoolAlloc(fsint::pathPool()));
  *p = vfsPath{nullptr, nullptr, nullptr, vfsPATH_SINGLE};
  try {
    parseInto(p, text);
  } catch (...) {
    vfsFreePath(p);
    throw;
  }
  return p;
}

vfsPath* vfsNewPathFromScribe(vscribe* s) {
  if (!s) vexGenerateMessage(&vexArgNullClass, "null path scribe");
  if (s->charSize != 1) {
    vscribeRelease(s);
    vexGenerateMessage(&vexArgClass, "path scribe is not text");
  }
  if (vscribeGetLengthBounded(s, vfsMAX_PATH + 1) > vfsMAX_PATH) {
    std::string text(vscribeGetLength(s) + 1, '\0');
    vscribeGetCString(s, text.data());
    return vfsNewPathFromString(text.c_str());  // raises: an element or the whole is too long
  }
  char buffer[vfsPATH_BUFFER];
  vscribeGetCString(s, buffer);
  return vfsNewPathFromString(buffer);
}

vfsPath* vfsCopyPath(const vfsPath* path) {
  auto* p = static_cast<vfsPath*>(vpoolAlloc(fsint::pathPool()));
  *p = vfsPath{nullptr, nullptr, nullptr, path->kind};
  if (path->volume) {
    p->volume = static_cast<vfsVolume*>(vpoolAlloc(fsint::volumePool()));
    *p->volume = {path->volume->drive, vstrClone(path->volume->text)};
  }
  setElements(p, piecesOf(path));
  return p;
}

void vfsFreePath(vfsPath* path) {
  if (!path) return;
  freeVolume(path->volume);
  freeElements(path);
  vpoolFree(fsint::pathPool(), path);
}

void vfsAppendPathElements(vfsPath* path, const char* element, ...) {
  Pieces pieces = piecesOf(path);
  va_list ap;
  va_start(ap, element);
  for (const char* e = element; e; e = va_arg(ap, const char*)) {
    if (std::strlen(e) > vfsMAX_ELEMENT) {
      va_end(ap);
      rangeError("path element too long");
    }
    pieces.emplace_back(e);
  }
  va_end(ap);
  setElements(path, pieces);
  path->kind &= ~vfsPATH_EXPAND;
  refreshKind(path);
}

void vfsAppendPathElementsScribed(vfsPath* path, vscribe* element, ...) {
  std::vector<vscribe*> scribes;
  va_list ap;
  va_start(ap, element);
  for (vscribe* s = element; s; s = va_arg(ap, vscribe*)) scribes.push_back(s);
  va_end(ap);
  Pieces pieces = piecesOf(path);
  bool bad = false;
  for (vscribe* s : scribes) {
    std::size_t n = vscribeGetLengthBounded(s, vfsMAX_ELEMENT + 1);
    bad = bad || s->charSize != 1 || n > vfsMAX_ELEMENT;
    if (!bad) {
      std::string text(n, '\0');
      vscribeReadBounded(s, text.data(), n);
      pieces.push_back(std::move(text));
    } else {
      vscribeRelease(s);
    }
  }
  if (bad) vexGenerateMessage(&vexArgClass, "path element scribe is not text of an element's length");
  setElements(path, pieces);
  path->kind &= ~vfsPATH_EXPAND;
  refreshKind(path);
}

void vfsReplaceLastPathElement(vfsPath* path, const char* element) {
  checkElement(element);
  Pieces pieces = piecesOf(path);
  if (pieces.empty())
    pieces.emplace_back(element);
  else
    pieces.back() = element;
  setElements(path, pieces);
  refreshKind(path);
}

int vfsCountPathElements(const vfsPath* path) { return static_cast<int>(countOf(path)) + (rooted(path) ? 1 : 0); }

const char* vfsGetPathElement(const vfsPath* path, int index) {
  if (index < 0 || index >= vfsCountPathElements(path)) rangeError("path element index");
  if (rooted(path)) {
    if (index == 0) return rules->root;
    --index;
  }
  return path->elemBegin[index];
}

vstr* vfsGetPathElementString(const vfsPath* path, int index) { return vstrClone(vfsGetPathElement(path, index)); }

vstr* vfsPathToString(const vfsPath* path) { return makeString(render(path)); }

char* vfsPathToBuffer(const vfsPath* path, char* buffer) {
  std::string text = render(path);
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return buffer;
}

void vfsSetPathVolume(vfsPath* path, const char* volume) {
  if (!volume) vexGenerateMessage(&vexArgNullClass, "null volume");
  std::string_view v = volume;
  bool share = v.size() >= 2 && v[0] == rules->separator && v[1] == rules->separator;
  vfsVolume* made = makeVolume(v, share);
  freeVolume(path->volume);
  path->volume = made;
}

void vfsSetPathVolumeScribed(vfsPath* path, vscribe* volume) {
  if (!volume) vexGenerateMessage(&vexArgNullClass, "null volume");
  vstr* text = vstrCloneScribed(volume, nullptr);
  vexGuard([&] { vfsSetPathVolume(path, text); },
           [&](vexHandler&) {
             vstrDestroy(text);
             _vexGenerate(nullptr, vexEnd);
           });
  vstrDestroy(text);
}

int vfsGetPathDrive(const vfsPath* path) { return path->volume ? path->volume->drive : -1; }
const char* vfsGetPathVolume(const vfsPath* path) { return path->volume ? path->volume->text : nullptr; }

int vfsCompareVolumes(const vfsPath* a, const vfsPath* b, int mode) {
  if (!a->volume || !b->volume) return (a->volume != nullptr) - (b->volume != nullptr);
  int c = mode == vfsCOMPARE_NO_CASE ? vcstrCompareNoCase(a->volume->text, b->volume->text)
                                     : std::strcmp(a->volume->text, b->volume->text);
  if (c) return sign(c);
  return sign(a->volume->drive - b->volume->drive);
}

int vfsComparePaths(const vfsPath* a, const vfsPath* b, int mode) {
  if (int v = vfsCompareVolumes(a, b, mode)) return 3 * v;
  int na = vfsCountPathElements(a), nb = vfsCountPathElements(b);
  if (na != nb) return na > nb ? 2 : -2;
  for (int i = 0; i < na; ++i) {
    const char* x = vfsGetPathElement(a, i);
    const char* y = vfsGetPathElement(b, i);
    int c = mode == vfsCOMPARE_NO_CASE ? vcstrCompareNoCase(x, y) : std::strcmp(x, y);
    if (c) return sign(c);
  }
  return 0;
}

void vfsSetPathExtension(vfsPath* path, const char* extension) {
  std::size_t n = countOf(path);
  bool onlyDots = !rooted(path) && n == 1 &&
                  (std::strcmp(path->elemBegin[0], rules->currentDir) == 0 ||
                   std::strcmp(path->elemBegin[0], rules->parentDir) == 0);
  if (n == 0 || onlyDots) vexGenerateMessage(&vfsNameClass, "no file name to give an extension");
  std::string last = path->elemBegin[n - 1];
  std::size_t dot = last.rfind('.');
  if (dot == std::string::npos) {
    last += '.';
    dot = last.size() - 1;
  }
  last = last.substr(0, dot + 1) + extension;
  vfsReplaceLastPathElement(path, last.c_str());
}

void vfsPathExpand(vfsPath* path) {
  Pieces out;
  bool isRooted = rooted(path);
  std::string volume;
  std::size_t index = 0;
  for (vstr** e = path->elemBegin; e != path->elemEnd; ++e, ++index) {
    bool changed = false;
    std::string text = expandElement(*e, changed);
    if (!changed) {
      out.push_back(std::move(text));
      continue;
    }
    if (rules->volumeSeparator) {
      std::size_t colon = text.find(':');
      if (colon != std::string::npos && colon > 0 && text.find(rules->separator) > colon) {
        if (!path->volume && volume.empty()) volume = text.substr(0, colon);
        text.erase(0, colon + 1);
      }
    }
    if (index == 0 && !text.empty() && text[0] == rules->separator) isRooted = true;
    split(text, out);
  }
  if (out.empty() && !isRooted) vexGenerateMessage(&vfsUserRequestClass, "path expands to nothing");
  if (!volume.empty()) path->volume = makeVolume(volume, false);
  setElements(path, out);
  path->kind = isRooted ? vfsPATH_ROOTED : relativeKind(out);
}

vfsPath* vfsPathResolve(const vfsPath* base, const vfsPath* relative) {
  if (rooted(relative)) return vfsCopyPath(relative);
  vfsPath* p = vfsCopyPath(base);
  Pieces pieces = piecesOf(p);
  for (vstr** e = relative->elemBegin; e != relative->elemEnd; ++e) {
    if (std::strcmp(*e, rules->currentDir) == 0) continue;
    if (std::strcmp(*e, rules->parentDir) == 0) {
      if (!pieces.empty()) pieces.pop_back();
      continue;
    }
    pieces.emplace_back(*e);
  }
  setElements(p, pieces);
  if (!rooted(p)) {
    if (pieces.empty()) vfsAppendPathElements(p, rules->currentDir, nullptr);
    refreshKind(p);
  }
  return p;
}

void vfsPathRemoveLast(vfsPath* path, int n) {
  if (n < 0 || n > vfsCountPathElements(path)) rangeError("more path elements removed than there are");
  if (static_cast<std::size_t>(n) > countOf(path)) vexGenerateMessage(&vfsUserRequestClass, "cannot remove the root");
  Pieces pieces = piecesOf(path);
  pieces.resize(pieces.size() - static_cast<std::size_t>(n));
  setElements(path, pieces);
  refreshKind(path);
}
