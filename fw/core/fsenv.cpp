// The process's file-system facts: separators, record pools, the start-up,
// current, program and home directories, the directory stack and
// temporary names. Linux has no drives: the current drive is none and the
// drive list is empty.
//
// - The environment (`fsenv.cpp`): the start-up and current directories (the framework keeps its own
//   copy: change directory through `vfsMSWChangeDirectory`), the program directory from
//   `/proc/self/exe`, the home directory (`HOME`, `HOMEDRIVE`+`HOMEPATH`, the registry stand-in,
//   then the password database in place of the Windows directory), a directory stack, no drives, and
//   temporary names made by exclusive creation.
#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "fw/core/fs_internal.h"
#include "fw/core/sys.h"

namespace {

struct DirEntry {
  vfsPath* saved;
  DirEntry* next;
};

struct State {
  bool started = false;
  vpool* paths = nullptr;
  vpool* volumes = nullptr;
  vpool* streams = nullptr;
  vpool* dirEntries = nullptr;
  vfsPath* startup = nullptr;
  vfsPath* current = nullptr;
  vfsPath* programDir = nullptr;
  vstr* programName = nullptr;
  vfsPath* home = nullptr;
  DirEntry* stack = nullptr;
  unsigned tempCounter = 0;
};
State state;

vpool* grownPool(std::size_t size, std::size_t grow) {
  vpool* p = vpoolCreate(size);
  vpoolGrow(p, grow);
  return p;
}

// The C library's current directory as a path.
vfsPath* readCurrentDirectory() {
  char buffer[vfsPATH_BUFFER];
  if (!getcwd(buffer, sizeof buffer)) {
    int err = errno;
    static constexpr fsint::ErrnoRow table[] = {
        {ENOMEM, &vfsNoMemoryClass}, {EACCES, &vfsAccessClass}, {ERANGE, &vexArgRangeClass}};
    fsint::raiseErrno(table, err, nullptr, &vfsSystemClass);
  }
  return vfsNewPathFromString(buffer);
}

void startup() {
  if (state.started) return;
  if (!state.streams) {
    state.streams = grownPool(sizeof(vfsStream), 20);
    state.dirEntries = grownPool(sizeof(DirEntry), 10);
  }
  state.started = true;
  state.startup = readCurrentDirectory();
  state.current = vfsCopyPath(state.startup);
  vsysAddExitHandler(vfsShutdown);
}

// A source of the home directory whose text makes no path (too long for
// one, an element too long) fails as an unset one does.
vfsPath* parseChecked(const char* text) {
  if (!text || !*text || std::strlen(text) > vfsMAX_PATH) return nullptr;
  vfsPath* p = nullptr;
  vexGuard([&] { p = vfsNewPathFromString(text); }, [](vexHandler& h) { vexSetCurrentException(h.savedChain); });
  return p;
}

vfsPath* findHome() {
  if (vfsPath* p = parseChecked(fsint::environmentText("HOME"))) return p;
  if (vsysIsNT()) {
    const char* drive = fsint::environmentText("HOMEDRIVE");
    const char* dir = fsint::environmentText("HOMEPATH");
    if (drive && dir) {
      std::string both = std::string(drive) + dir;
      if (vfsPath* p = parseChecked(both.c_str())) return p;
    }
  }
  char value[vfsPATH_BUFFER];
  if (vsysMSWFindRegistryValue(win::HKEY_CURRENT_USER, "Environment", "HOME", value, sizeof value))
    if (vfsPath* p = parseChecked(value)) return p;
  if (vsysMSWFindRegistryValue(win::HKEY_CURRENT_USER, "Software\\Quarn\\Wexlin C\\2.6", "HOME", value, sizeof value))
    if (vfsPath* p = parseChecked(value)) return p;
  // In place of the Windows directory: the user's home from the password database.
  if (const passwd* pw = getpwuid(getuid()))
    if (vfsPath* p = parseChecked(pw->pw_dir)) return p;
  return vfsNewPathFromString(vfsGetPathRules()->root);
}

void raiseChangeDirectory(int err) {
  static constexpr fsint::ErrnoRow table[] = {
      {ENOENT, &vfsNameClass},       {EACCES, &vfsAccessClass}, {ENAMETOOLONG, &vfsMaxPathLengthClass},
      {ENOTDIR, &vfsIsDirectoryClass}, {ELOOP, &vfsMaxLinksClass},
  };
  fsint::raiseErrno(table, err);
}

}  // namespace

namespace fsint {

void ensureStarted() { startup(); }
vpool* pathPool() {
  if (!state.paths) state.paths = grownPool(sizeof(vfsPath), 30);
  return state.paths;
}
vpool* volumePool() {
  if (!state.volumes) state.volumes = grownPool(sizeof(vfsVolume), 15);
  return state.volumes;
}
vpool* streamPool() {
  startup();
  return state.streams;
}

// Whether the text makes a path is for its user to judge: the home
// directory passes on to its next source, an expansion refuses.
const char* environmentText(const char* name) {
  const char* v = std::getenv(name);
  return v && *v ? v : nullptr;
}

}  // namespace fsint

void vfsMSWStartup(int argc, char** argv) {
  if (argc <= 0 || !argv) vexGenerateMessage(&vexArgNullClass, "no argument vector");
  startup();
}

void vfsStartup() { startup(); }

void vfsShutdown() {
  if (!state.started) return;
  while (state.stack) {
    DirEntry* e = state.stack;
    state.stack = e->next;
    vfsFreePath(e->saved);
    vpoolFree(state.dirEntries, e);
  }
  for (vfsPath** p : {&state.startup, &state.current, &state.programDir, &state.home}) {
    vfsFreePath(*p);
    *p = nullptr;
  }
  if (state.programName) vstrDestroy(state.programName);
  state.programName = nullptr;
  state.started = false;
}

const char* vfsMSWGetVolumeSeparator() {
  const char* s = vfsGetPathRules()->volumeSeparator;
  return s ? s : "";
}
const char* vfsMSWGetSeparator() { return vfsGetPathRules()->separatorText; }
const char* vfsMSWGetRootString() { return vfsGetPathRules()->root; }
const char* vfsMSWGetCurrentDirName() { return vfsGetPathRules()->currentDir; }
const char* vfsMSWGetParentDirName() { return vfsGetPathRules()->parentDir; }

const vfsPath* vfsMSWGetStartupDirectory() {
  startup();
  return state.startup;
}

vfsPath* vfsMSWGetCurrentDirectory() {
  startup();
  return vfsCopyPath(state.current);
}

const vfsPath* vfsMSWGetProgramDirectory() {
  startup();
  if (state.programDir) return state.programDir;
  char buffer[vfsPATH_BUFFER];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buffer - 1)
    _vexGenerate(&vfsSystemClass, vexSetErrno, errno, vexSetMessage, "program file name", vexEnd);
  buffer[n] = '\0';
  vfsPath* p = vfsNewPathFromString(buffer);
  int count = vfsCountPathElements(p);
  state.programName = vfsGetPathElementString(p, count - 1);
  vfsPathRemoveLast(p, 1);
  state.programDir = p;
  return p;
}

const char* vfsMSWGetProgramFileName() {
  vfsMSWGetProgramDirectory();
  return state.programName;
}

vfsPath* vfsMSWGetHomeDirectory() {
  startup();
  if (!state.home) state.home = findHome();
  return vfsCopyPath(state.home);
}

const vfsVolume* vfsMSWGetCurrentDrive() { return nullptr; }

// No drive can be selected here; a share or no volume needs no change.
bool vfsMSWChangeDrive(const vfsVolume* volume) { return !volume || volume->drive < 0; }

void vfsMSWChangeDirectory(const vfsPath* path) {
  startup();
  if (path->volume && !vfsMSWChangeDrive(path->volume))
    vexGenerateMessage(&vfsUserRequestClass, "cannot change to the path's drive");
  char text[vfsPATH_BUFFER];
  vfsPathToBuffer(path, text);
  if (chdir(text) != 0) raiseChangeDirectory(errno);
  vfsPath* now = (path->kind & vfsPATH_KIND) == vfsPATH_ROOTED ? vfsCopyPath(path) : readCurrentDirectory();
  vfsFreePath(state.current);
  state.current = now;
}

void vfsMSWPushDirectory(const vfsPath* path) {
  vfsPath* before = vfsMSWGetCurrentDirectory();
  vexGuard([&] { vfsMSWChangeDirectory(path); },
           [&](vexHandler&) {
             vfsFreePath(before);
             _vexGenerate(nullptr, vexEnd);
           });
  auto* e = static_cast<DirEntry*>(vpoolAlloc(state.dirEntries));
  *e = {before, state.stack};
  state.stack = e;
}

void vfsMSWPopDirectory() {
  startup();
  if (!state.stack) vexGenerateMessage(&vfsUserRequestClass, "directory stack is empty");
  DirEntry* e = state.stack;
  vfsMSWChangeDirectory(e->saved);
  state.stack = e->next;
  vfsFreePath(e->saved);
  vpoolFree(state.dirEntries, e);
}

const vfsVolume* vfsMSWGetDrives(int* count) {
  if (count) *count = 0;
  return nullptr;
}

char* vfsMSWMakeTempName(char* templ) {
  startup();
  std::string original = templ;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    state.tempCounter += 50;
    std::srand(static_cast<unsigned>(std::time(nullptr)) + state.tempCounter + static_cast<unsigned>(getpid()));
    std::string digits = std::to_string(std::rand());
    // Only the X's of the last element are the pattern: a folder whose own
    // name holds an X must stay the folder it is.
    std::size_t next = 0, first = original.find_last_of('/') + 1;
    for (std::size_t i = 0; i < original.size(); ++i) {
      templ[i] = original[i];
      if (i >= first && original[i] == 'X') templ[i] = digits[next++ % digits.size()];
    }
    int fd = open(templ, O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0) {
      close(fd);
      return templ;
    }
    if (errno != EEXIST) fsint::raiseErrno(fsint::openTable(), errno);
  }
  std::memcpy(templ, original.c_str(), original.size() + 1);
  vexGenerateMessage(&vfsAlreadyExistsClass, "no free temporary name");
}
