// The installation search for the framework resource file, in order: the
// program's directory (with "lib" and upward), $WEXLINHOME/lib, the
// registry's WEXLINHOME with lib, lib in the current directory, the
// start-up and home directories (searched like the program's), then the
// installed data folder: share/wexlin beside the program's bin, and the
// one fixed at build time (Windows' system directory).
#include "fw/data/inst.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include "fw/core/sys.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/data/vrstore_check.h"
#include "fw/data/vrtext.h"

#ifndef VINST_DATA_DIR
#define VINST_DATA_DIR "/usr/local/share/wexlin"
#endif

namespace {

constexpr int MAX_LINKS = 40;

vresource systemRoot = 0;
bool systemOpen = false;  // either store's handles may be negative
bool inMemory = false;
bool exitHandler = false;
vresource defaultsRoot = 0;
bool defaultsOpen = false;

// ".vr" files the start-up check read whole, kept open for the program's
// first open of each: what was checked is what is read, and a large file
// is not opened and checked twice.
struct Checked {
  std::string path;
  vresource root;
};
std::vector<Checked> checkedFiles;

std::string text(const vfsPath* p) {
  vstr* s = vfsPathToString(p);
  std::string out = s;
  vstrDestroy(s);
  return out;
}

std::vector<std::string> split(const std::string& path) {
  std::vector<std::string> out;
  std::size_t at = 0;
  while (at <= path.size()) {
    std::size_t slash = path.find('/', at);
    if (slash == std::string::npos) slash = path.size();
    if (slash > at) out.push_back(path.substr(at, slash - at));
    at = slash + 1;
  }
  return out;
}

std::string join(const std::vector<std::string>& elements, bool rooted) {
  std::string out = rooted ? "/" : "";
  for (std::size_t i = 0; i < elements.size(); ++i) out += (i ? "/" : "") + elements[i];
  return out;
}

bool regularFile(const std::string& candidate) {
  struct stat st;
  return !candidate.empty() && ::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// A candidate is found when it exists and is a resource file of either kind.
bool accepted(const std::string& candidate) {
  if (!regularFile(candidate)) return false;
  vfsPath* p = vfsNewPathFromString(candidate.c_str());
  int kind = vfsTestFileKind(p);
  vfsFreePath(p);
  return kind != 0;
}

using Accept = bool (*)(const std::string& candidate);

bool searchOne(const std::string& dir, const std::string& name, std::string* found, Accept accept) {
  bool rooted = !dir.empty() && dir[0] == '/';
  std::vector<std::string> e = split(dir);
  for (const std::string& c : {join(e, rooted) + "/" + name, join(e, rooted) + "/lib/" + name})
    if (accept(c)) return *found = c, true;
  // Upward: parent/lib/name while the candidate has at least 4 elements.
  std::vector<std::string> up = e;
  while (up.size() + 2 >= 4 && !up.empty()) {
    up.pop_back();
    std::string c = join(up, rooted) + "/lib/" + name;
    if (accept(c)) return *found = c, true;
  }
  return false;
}

// The target of the link dir names; false when it cannot be read.
bool linkTarget(const std::string& dir, std::string* target) {
  vfsPath* link = vfsNewPathFromString(dir.c_str());
  vfsPath* read = nullptr;
  bool ok = vexTry([&] { read = vfsReadLink(link); });
  vfsFreePath(link);
  if (!ok) return false;
  *target = text(read);
  vfsFreePath(read);
  return !target->empty();
}

// Searches dir, then the targets of a chain of links from it.
bool searchDirectory(std::string dir, const std::string& name, std::string* found, Accept accept = accepted) {
  for (int links = 0; links <= MAX_LINKS; ++links) {
    if (searchOne(dir, name, found, accept)) return true;
    struct stat st;
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return false;
    std::string target;
    if (!linkTarget(dir, &target)) return false;
    if (target[0] != '/') {
      std::size_t slash = dir.rfind('/');
      target = (slash == std::string::npos ? std::string(".") : dir.substr(0, slash)) + "/" + target;
    }
    dir = target;
  }
  return false;
}

std::string programDirectory() {
  const vfsPath* p = vfsMSWGetProgramDirectory();
  return p ? text(p) : std::string();
}

// The installed data folders: share/wexlin beside the folder that holds
// the program (an installation moves as a whole), then the one fixed at
// build time.
std::vector<std::string> dataDirectories() {
  std::vector<std::string> out;
  std::string program = programDirectory();
  std::size_t slash = program.rfind('/');
  if (slash != std::string::npos) out.push_back(program.substr(0, slash) + "/share/wexlin");
  if (out.empty() || out.front() != VINST_DATA_DIR) out.push_back(VINST_DATA_DIR);
  return out;
}

std::string findPath(const std::string& name, Accept accept = accepted) {
  std::string found;
  if (const vfsPath* p = vfsMSWGetProgramDirectory(); p && searchDirectory(text(p), name, &found, accept))
    return found;
  if (const char* home = std::getenv("WEXLINHOME"); home && *home && accept(std::string(home) + "/lib/" + name))
    return std::string(home) + "/lib/" + name;
  char value[256];
  if (vsysMSWFindRegistryValue(win::HKEY_LOCAL_MACHINE, "Software\\Quarn\\Wexlin C\\2.6", "WEXLINHOME", value,
                               sizeof value) &&
      accept(std::string(value) + "/lib/" + name))
    return std::string(value) + "/lib/" + name;
  if (accept("lib/" + name)) return "lib/" + name;
  if (const vfsPath* p = vfsMSWGetStartupDirectory(); p && searchDirectory(text(p), name, &found, accept))
    return found;
  if (vfsPath* p = vfsMSWGetHomeDirectory()) {
    bool hit = searchDirectory(text(p), name, &found, accept);
    vfsFreePath(p);
    if (hit) return found;
  }
  for (const std::string& dir : dataDirectories())
    if (accept(dir + "/" + name)) return dir + "/" + name;
  return {};
}

void closeSystemResource() {
  if (systemOpen) vexTry([] { vresourceCloseFile(systemRoot); });
  systemOpen = false;
  inMemory = false;
  if (defaultsOpen) vexTry([] { vrstoreCloseFile(defaultsRoot); });
  defaultsOpen = false;
  for (const Checked& c : checkedFiles) vexTry([&] { vrstoreCloseFile(c.root); });
  checkedFiles.clear();
}

void addExitHandler() {
  if (!exitHandler) exitHandler = vsysAddExitHandler(closeSystemResource) >= 0;
}

std::string described(const std::string& dir) { return dir + ", its lib and the lib folders above it"; }

}  // namespace

vfsPath* vinstFindFile(const char* name) {
  std::string found = findPath(name);
  if (found.empty()) vexGenerateMessage(&vfsAccessClass, "framework resource file not found");
  return vfsNewPathFromString(found.c_str());
}

vfsPath* vinstFindFileQuiet(const char* name) {
  std::string found = findPath(name);
  return found.empty() ? nullptr : vfsNewPathFromString(found.c_str());
}

std::string vinstSystemFileName() {
  for (const char* name : vinstNAMES)
    if (std::string found = findPath(name); !found.empty()) return found;
  return vinstNAMES[0];
}

vfsPath* vinstFindPlainFileQuiet(const char* name) {
  std::string found = findPath(name, regularFile);
  return found.empty() ? nullptr : vfsNewPathFromString(found.c_str());
}

vresource vinstGetSystemResource() {
  if (systemOpen) return systemRoot;
  for (const char* name : vinstNAMES) {
    vfsPath* path = vinstFindFileQuiet(name);
    if (!path) continue;
    // The store that reads the file's format opens it; a file it refuses
    // moves on to the next name.
    vexGuard([&] {
               systemRoot = vinstOpenFile(path, vfsOPEN_READ);
               systemOpen = true;
             },
             [&](vexHandler& h) {
               if (!vexFindException(&vexArgClass) && !vexFindException(&vexReturnNullClass) &&
                   !vexFindException(&vfsAccessClass)) {
                 vfsFreePath(path);
                 _vexGenerate(nullptr, vexEnd);
               }
               vexSetCurrentException(h.savedChain);
             });
    vfsFreePath(path);
    if (systemOpen) break;
  }
  if (!systemOpen) {
    systemRoot = vresourceCreateMemory();
    systemOpen = true;
    inMemory = true;
  }
  addExitHandler();
  return systemRoot;
}

int vinstSystemResourceInMemory() { return inMemory ? 1 : 0; }

void _vinstReset() { closeSystemResource(); }

std::string _vinstSearchDirectory(const char* dir, const char* name) {
  std::string found;
  return searchDirectory(dir, name, &found) ? found : std::string();
}

std::vector<std::string> vinstSearchPlaces() {
  std::vector<std::string> out;
  out.push_back(described(programDirectory()));
  const char* home = std::getenv("WEXLINHOME");
  out.push_back(home && *home ? std::string(home) + "/lib (WEXLINHOME)" : "$WEXLINHOME/lib (WEXLINHOME is not set)");
  char value[256];
  if (vsysMSWFindRegistryValue(win::HKEY_LOCAL_MACHINE, "Software\\Quarn\\Wexlin C\\2.6", "WEXLINHOME", value,
                               sizeof value))
    out.push_back(std::string(value) + "/lib (the registry's WEXLINHOME)");
  out.push_back("lib in the current directory");
  if (const vfsPath* p = vfsMSWGetStartupDirectory()) out.push_back(described(text(p)));
  if (vfsPath* p = vfsMSWGetHomeDirectory()) {
    out.push_back(described(text(p)));
    vfsFreePath(p);
  }
  for (const std::string& dir : dataDirectories()) out.push_back(dir);
  return out;
}

namespace {

// A check again of a file still kept replaces the one kept before.
void keepChecked(const std::string& path, vresource root) {
  for (auto c = checkedFiles.begin(); c != checkedFiles.end(); ++c)
    if (c->path == path) {
      vexTry([&] { vrstoreCloseFile(c->root); });
      checkedFiles.erase(c);
      break;
    }
  checkedFiles.push_back({path, root});
  addExitHandler();
}

}  // namespace

vresource vinstOpenFile(const vfsPath* path, int mode) {
  if (mode == vfsOPEN_READ)
    for (auto c = checkedFiles.begin(); c != checkedFiles.end(); ++c)
      if (c->path == text(path)) {
        vresource root = c->root;
        checkedFiles.erase(c);
        return root;
      }
  return vresourceOpenFile(path, mode);
}

namespace {

// keep: a ".vr" file read whole stays open, in checkedFiles.
std::string unreadable(const std::string& file, bool keep) {
  std::string why;
  vfsPath* path = vfsNewPathFromString(file.c_str());
  struct stat st;
  bool found = ::stat(file.c_str(), &st) == 0;
  int kind = found && S_ISREG(st.st_mode) ? vfsTestFileKind(path) : 0;
  auto failure = [&why, &file](const char* what) {
    vexException* e = vexGetCurrentException();
    std::string said = e && e->message ? e->message : e ? e->cls->name : "failed";
    // The message is said with the file's name already.
    const std::string in = " in " + file;
    if (said.size() > in.size() && said.compare(said.size() - in.size(), in.size(), in) == 0)
      said.resize(said.size() - in.size());
    why = std::string(what) + said;
  };
  if (!found) {
    why = "cannot be found";
  } else if (!S_ISREG(st.st_mode)) {
    why = "is not a file";
  } else if (kind == 1) {
    // Every entry and value read once, so that damage shows now and not as
    // a window or command that silently is not there.
    vexGuard(
        [&] {
          vresource root = vrstoreOpenFile(path, vfsOPEN_READ);
          vexGuard([&] { vrstoreCheckTree(root); },
                   [&](vexHandler&) {
                     vexTry([&] { vrstoreCloseFile(root); });
                     _vexGenerate(nullptr, vexEnd);
                   });
          if (keep) {
            keepChecked(text(path), root);
          } else {
            vrstoreCloseFile(root);
          }
        },
        [&](vexHandler& h) {
          failure("is damaged: ");
          vexSetCurrentException(h.savedChain);
        });
  } else if (kind == 2) {
    vexGuard([&] { vresourceCloseFile(vresourceOpenFile(path, vfsOPEN_READ)); },
             [&](vexHandler& h) {
               failure("is damaged: ");
               vexSetCurrentException(h.savedChain);
             });
  } else if (st.st_size == 0) {
    why = "is empty";
  } else {
    // Not a resource file, or one that cannot be read at all.
    vexGuard([&] { vfsCloseFile(vfsOpenFile(path, vfsOPEN_READ)); },
             [&](vexHandler& h) {
               failure("cannot be read: ");
               vexSetCurrentException(h.savedChain);
             });
    if (why.empty()) why = "is not a resource file";
  }
  vfsFreePath(path);
  return why;
}

}  // namespace

std::string vinstUnreadableFile(const std::string& file) { return unreadable(file, false); }

std::string vinstMissingFiles(const char* program, std::initializer_list<const char*> own) {
  std::vector<std::string> missing;
  // A file that is there but cannot be used ends the search: the program
  // stops naming it rather than run without what it holds.
  auto check = [&](std::initializer_list<const char*> names) -> std::string {
    for (const char* name : names)
      if (std::string found = findPath(name); !found.empty()) {
        std::string why = unreadable(found, true);
        return why.empty() ? std::string() : std::string(program) + ": resource file " + found + " " + why + "\n";
      }
    for (const char* name : names)
      if (std::string found = findPath(name, regularFile); !found.empty())
        return std::string(program) + ": resource file " + found + " " + vinstUnreadableFile(found) + "\n";
    missing.push_back(*names.begin());
    return {};
  };
  if (std::string fault = check({vinstNAMES[0], vinstNAMES[1], vinstNAMES[2]}); !fault.empty()) return fault;
  for (const char* name : own)
    if (std::string fault = check({name}); !fault.empty()) return fault;
  if (missing.empty()) return {};
  std::string message = std::string(program) + ": cannot find the resource file";
  if (missing.size() > 1) message += "s";
  for (std::size_t i = 0; i < missing.size(); ++i) message += (i ? " and " : " ") + missing[i];
  message += "; looked in:\n";
  for (const std::string& place : vinstSearchPlaces()) message += "  " + place + "\n";
  message += "Install the program with its resource files, or set WEXLINHOME to the folder whose lib holds them.\n";
  return message;
}

namespace {

vresource defaults() {
  if (!defaultsOpen) {
    defaultsRoot = vrstoreCreateMemory();
    defaultsOpen = true;
    std::string error;
    // Built from the framework's own file: a failure is a fault of the build.
    if (!vrtextParse(_vinstDefaultPreferencesText(), defaultsRoot, &error))
      vexGenerateMessage(&vexArgClass, error.c_str());
    addExitHandler();
  }
  return defaultsRoot;
}

}  // namespace

vresource vinstGetDefaultPreferences() { return vresourceGet(defaults(), vnameInternLiteral("Preferences")); }

vresource vinstGetDefaultLook() { return vresourceGet(defaults(), vnameInternLiteral("vlaf")); }
