// The application's files and preferences: its resource file, the user's
// preference store with its saving at exit, and preference loading level by
// level, with the class preferences and the scheme read after the levels.
//
// - **Files and preferences** (`application_prefs.cpp`): the user store "vwexusr1.vr" in HOME is
//   loaded whole into memory at class building (a damaged or missing one gives an empty store; an
//   empty one takes the old "vuser.vr"; either name counts only as a regular file of at most 64 MiB,
//   looked at before any open, so a pipe, a device or a huge file never blocks or fills memory);
//   every later change goes to memory, and a context exit procedure writes the recorded
//   applications' dictionaries and "Preferences" back (a process exit procedure would run after the
//   resource stores' module states are gone). A file that cannot be opened for update is renamed
//   ".bad", never deleted, and a new 0600 file made; a failed save writes one debug-log line. The
//   read and the save take turns on a lock on HOME, waited for 3 s at most: past that the read goes
//   on without it and the save is skipped, each said on standard error. Quit signals and SIGHUP that
//   come during the save wait for its end (`veventHoldEndingSignals`). Each
//   application opens Name + ".vr" (else a memory store) and loads preferences level by level (0
//   framework file, 1 and 6 the window system's steps in `winsys.h` (built in `msw_prefs.cpp`), 2
//   application file, 3 user store, 4 its own dictionary, 5 environment, 7 options); as "name" and
//   "RESOURCE_NAME" are known only after the levels, init derives the name again and reloads from
//   level 2 when it changed. After the levels: "vresourceCREATE_ORIGINAL", "doubleclickinterval"
//   (into the event module, refused unless a finite, non-negative count of seconds that fits 63 bits
//   of nanoseconds), the class preferences hook and the scheme.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <time.h>
#include <unistd.h>

#include "fw/core/debug.h"
#include "fw/core/event.h"
#include "fw/core/fs.h"
#include "fw/core/sys.h"
#include "fw/data/inst.h"
#include "fw/data/pref.h"
#include "fw/data/vresource.h"
#include "fw/gui/window/application_internal.h"
#include "fw/gui/window/winsys.h"

namespace {

struct Store {
  vapplicationResourceFile user{};  // the in-memory user store
  vresource preferences = 0;        // its "Preferences"
  vresource appPreferences = 0;     // its "ApplicationPreferences"
  vdict* saveNames = nullptr;       // names whose dictionaries are saved
  bool open = false;
  bool setAside = false;  // the file held an entry of another kind
  // Read without the lock and found damaged: perhaps only half written by
  // the holder, so saving over it could lose the user's preferences.
  bool unsafeToSave = false;
};
Store store;
bool userStoreKept = true;

vname key(const char* text) { return vnameInternLiteral(text); }

// An untyped entry (what vresourceMake leaves) serves as a dictionary too.
bool isDict(vresource parent, vname tag, vresource* r) {
  if (!vresourceTestGet(parent, tag, r)) return false;
  const int kind = vresourceGetType(parent, tag);
  return kind == vresDICTIONARY || kind == vresUNTYPED;
}

// The store's own levels are pushed as preference levels, which take
// only a real dictionary.
bool isLevelDict(vresource parent, vname tag, vresource* r) {
  return vresourceTestGet(parent, tag, r) && vresourceGetType(parent, tag) == vresDICTIONARY;
}

// An entry of another kind or of none (another program's, a hand-edited
// file's) is passed over as missing: a dictionary takes its place.
vresource findOrCreate(vresource parent, vname tag) {
  vresource r;
  if (isLevelDict(parent, tag, &r)) return r;
  if (vresourceTestGet(parent, tag, &r)) {
    vresourceRemove(parent, tag);
    store.setAside = true;
  }
  return vresourceCreate(parent, tag, vresDICTIONARY);
}

vfsPath* homeFile(const char* name) {
  vfsPath* path = vfsMSWGetHomeDirectory();
  vfsAppendPathElements(path, name, nullptr);
  return path;
}

std::string pathText(const vfsPath* path) {
  char buffer[vfsPATH_BUFFER];
  return vfsPathToBuffer(path, buffer);
}

// The store is updated in place, so programs of one user that start and end
// together take turns on it through a lock on the home folder: shared to
// read, exclusive to write. Without a lockable folder it goes on unlocked.
// The lock is only among these programs, and one of them saves in well
// under a second: a holder that keeps it longer is stuck or a stranger, and
// is waited for a few seconds only.
constexpr long long kLockWaitNs = 3'000'000'000;

long long monotonicNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1'000'000'000LL + now.tv_nsec;
}

class HomeLock {
 public:
  explicit HomeLock(int how) {
    vfsPath* home = vfsMSWGetHomeDirectory();
    home_ = pathText(home);
    vfsFreePath(home);
    fd_ = ::open(home_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const long long deadline = monotonicNs() + kLockWaitNs;
    while (fd_ >= 0 && ::flock(fd_, how | LOCK_NB) != 0) {
      if ((errno != EWOULDBLOCK && errno != EINTR) || monotonicNs() >= deadline) {
        timedOut_ = errno == EWOULDBLOCK || errno == EINTR;
        ::close(fd_);
        fd_ = -1;
        break;
      }
      const timespec pause{0, 20'000'000};
      nanosleep(&pause, nullptr);
    }
  }
  ~HomeLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  HomeLock(const HomeLock&) = delete;
  HomeLock& operator=(const HomeLock&) = delete;
  // Another process kept the lock beyond the wait.
  bool timedOut() const { return timedOut_; }
  const std::string& home() const { return home_; }

 private:
  std::string home_;
  int fd_ = -1;
  bool timedOut_ = false;
};

// The framework's program name is its own ("Wexlin"): a note says the file's.
std::string programFile() { return program_invocation_short_name; }

void lockNote(const HomeLock& lock, const char* what) {
  std::fprintf(stderr, "%s: another program has held the lock on %s for %lld seconds: %s\n", programFile().c_str(),
               lock.home().c_str(), kLockWaitNs / 1'000'000'000, what);
}

// A preference store is an ordinary file of a size it can hold; anything
// else (a pipe that would block the open, a device without end, a file of
// gigabytes) counts as a file that cannot be opened. Looked at before any
// open, so nothing blocks.
constexpr std::int64_t kMaxStoreBytes = std::int64_t(64) << 20;
bool storeFileUsable(const vfsPath* path) {
  vfsFileInfo info;
  if (!vexTry([&] { vfsGetFileInfo(path, &info); })) return false;
  return (info.flags & vfsINFO_KIND) == vfsINFO_FILE && info.size >= 0 && info.size <= kMaxStoreBytes;
}

void copyOldStore(vresource into) {
  vfsPath* old = homeFile("vuser.vr");
  vresource oldRoot = 0;
  if (storeFileUsable(old) && vexTry([&] { oldRoot = vresourceOpenFile(old, vfsOPEN_READ); })) {
    vexTry([&] { vresourceCopyContents(oldRoot, into); });
    vresourceCloseFile(oldRoot);
  }
  vfsFreePath(old);
}

// The file's name as a message gives it: a home that leaves no room for the
// name still names it, where the path itself cannot be made into text.
std::string homeFileText(const char* name) {
  vfsPath* home = vfsMSWGetHomeDirectory();
  std::string text = pathText(home) + vfsMSWGetSeparator() + name;
  vfsFreePath(home);
  return text;
}

// The file for the save: opened for update, or made anew after the one
// that cannot be opened, or held an entry of another kind, is moved aside,
// never deleted. One moved aside for an entry of another kind is made anew
// with all the store holds, so that the other programs' dictionaries stay.
// A file that can be neither opened nor made is not saved, said once; no
// step here raises, so the exit goes on.
bool openForSave(vresource* root) {
  const std::string name = homeFileText("vwexusr1.vr");
  vfsPath* path = nullptr;
  // A home too long to hold the name fails the path's own text.
  const bool named = vexTry([&] {
    path = homeFile("vwexusr1.vr");
    pathText(path);
  });
  bool ok = named && vexTry([&] {
    if (store.setAside || !storeFileUsable(path)) vexGenerateMessage(&vfsFileSystemClass, "not a preference store");
    *root = vresourceOpenFile(path, vfsOPEN_READ_WRITE);
  });
  if (named && !ok) {
    vfsFileInfo info;
    if (vexTry([&] { vfsGetFileInfo(path, &info); })) std::rename(name.c_str(), (name + ".bad").c_str());
    vresource made = 0;
    ok = vexTry([&] {
      made = vresourceCreateFile(path, 0600);
      if (store.setAside) vresourceCopyContents(store.user.root, made);
    });
    if (ok) *root = made;
    else if (made) vexTry([&] { vresourceCloseFile(made); });
  }
  if (!ok) vdebugPrintf("preferences not saved: cannot create %s\n", name.c_str());
  if (path) vfsFreePath(path);
  return ok;
}

void replaceDict(vresource parent, vname tag, vresource source) {
  vresource old;
  if (vresourceTestGet(parent, tag, &old)) vresourceRemove(parent, tag);
  vresourceCopyContents(source, vresourceCreate(parent, tag, vresDICTIONARY));
}

// Into the file: the recorded applications' dictionaries and "Preferences".
void saveInto() {
  vresource file = 0;
  if (!openForSave(&file)) return;
  bool ok = vexTry([&] {
    vresource apps = findOrCreate(file, key("ApplicationPreferences"));
    vdictIterator it;
    vdictInitIterator(&it, store.saveNames);
    while (vdictNextIterator(&it)) {
      auto name = static_cast<vname>(vdictIteratorKey(&it));
      vresource own;
      if (vresourceTestGet(store.appPreferences, name, &own)) replaceDict(apps, name, own);
    }
    replaceDict(file, vname_Preferences, store.preferences);
  });
  if (!vexTry([&] { vresourceCloseFile(file); }) || !ok) vdebugPrintf("preferences not saved: write failed\n");
}

void saveAtExit() {
  if (!store.open) return;
  if (store.user.count < 2 && userStoreKept) {
    HomeLock lock(LOCK_EX);
    // Saving over another program's write could damage the store; this
    // session's changes are the smaller loss.
    if (lock.timedOut()) {
      lockNote(lock, "preferences not saved");
    } else if (store.unsafeToSave) {
      std::fprintf(stderr, "%s: preferences not saved: the store could not be read at start\n", programFile().c_str());
    } else {
      // A second quit signal must not leave the file half written.
      veventHoldEndingSignals();
      saveInto();
      veventReleaseEndingSignals();
    }
  }
  vresourceReleaseFile(store.user.root);
  vdictDestroy(store.saveNames);
  store = Store{};
}

vprefDict* dictAt(vprefDict* from, const char* name) { return from ? vprefGetDict(from, vscribeLiteral(name)) : nullptr; }
void release(vprefDict* d) {
  if (d) vprefRelease(d);
}

// A named scheme of "colorschemedict" loaded over the masked entries.
void loadNamedScheme(vprefDict* root, const char* name, vcolorScheme* scheme) {
  if (!name) return;
  vprefDict* dict = dictAt(root, "colorschemedict");
  vprefDict* named = dictAt(dict, name);
  if (named) vcolorLoadScheme(named, vcolorSCHEME_ALL, scheme);
  release(named);
  release(dict);
}

void applyDoubleClick(vprefDict* root) {
  const char* text = vprefGetString(root, vscribeLiteral("doubleclickinterval"));
  if (!text) return;
  char* end = nullptr;
  errno = 0;
  double seconds = std::strtod(text, &end);
  if (end == text || *end || errno || !std::isfinite(seconds) || seconds < 0) return;
  double ns = seconds * 1e9;
  if (ns >= 9.2233720368547758e18) return;
  veventSetDoubleClickInterval(static_cast<std::int64_t>(ns));
}

void afterLevels(vapplication* app) {
  vprefDict* root = vprefGetDefaultDict();
  if (app == vapplicationGetDefault()) {
    if (vprefGetString(root, vscribeLiteral("vresourceCREATE_ORIGINAL"))) vresourceSetTestDefault(false);
    applyDoubleClick(root);
  }
  vclass* cls = app->cls;
  cls->named(cls);
  vcolorScheme before = app->scheme;
  const char* laf = vprefGetString(root, vscribeLiteral("laf"));
  if (laf && std::string(laf) != "mac") loadNamedScheme(root, laf, &app->scheme);
  loadNamedScheme(root, vprefGetString(root, vscribeLiteral("colorscheme")), &app->scheme);
  vprefDict* colors = dictAt(root, "Colors");
  if (colors) vcolorLoadScheme(colors, vcolorSCHEME_ALL, &app->scheme);
  release(colors);
  _vapplicationSchemeReloaded(app, &before);
}

}  // namespace

void _vapplicationOpenUserStore() {
  if (store.open) return;
  vfsPath* path = homeFile("vwexusr1.vr");
  vresource root = 0;
  // A damaged store must not stop the program: it starts empty, and the
  // save at exit moves the old file aside.
  bool unsafeToSave = false;
  if (userStoreKept) {
    HomeLock lock(LOCK_SH);
    if (lock.timedOut()) lockNote(lock, "preferences read without it");
    if (!storeFileUsable(path) || !vexTry([&] { root = vresourceLoadFile(path); })) {
      unsafeToSave = lock.timedOut() && storeFileUsable(path);
      root = vresourceCreateMemory();
    }
  } else {
    root = vresourceCreateMemory();
  }
  vfsFreePath(path);
  if (vresourceCount(root) == 0 && userStoreKept) copyOldStore(root);
  store.user = vapplicationResourceFile{1, 2, root};
  store.preferences = findOrCreate(root, vname_Preferences);
  store.appPreferences = findOrCreate(root, key("ApplicationPreferences"));
  store.saveNames = vdictCreate(vdictHashName);
  store.unsafeToSave = unsafeToSave;
  store.open = true;
  // In the context's exit procedures: the process ones run after the
  // module states that the resource stores need are gone.
  vmoduleAddContextExitProc(saveAtExit);
}

vapplicationResourceFile* _vapplicationUserStore() { return &store.user; }

vresource _vapplicationPreferenceDict(vresource parent, vname tag, bool make) {
  vresource r = 0;
  if (!parent) return 0;
  if (isDict(parent, tag, &r)) return r;
  if (!make) return 0;
  if (vresourceTestGet(parent, tag, &r)) vresourceRemove(parent, tag);
  return vresourceCreate(parent, tag, vresDICTIONARY);
}

void vapplicationSetUserStoreKept(int on) { userStoreKept = on != 0; }

void _vapplicationOpenFile(vapplication* app) {
  auto* f = static_cast<vapplicationResourceFile*>(vmemAlloc(sizeof(vapplicationResourceFile)));
  *f = vapplicationResourceFile{1, 1, 0};
  std::string name = std::string(app->name) + ".vr";
  vfsPath* path = nullptr;
  if (!vexTry([&] {
        path = vinstFindFile(name.c_str());
        f->root = vinstOpenFile(path, vfsOPEN_READ);
      }))
    *f = vapplicationResourceFile{1, 2, vresourceCreateMemory()};
  if (path) vfsFreePath(path);
  app->file = f;
  vresource own;
  app->resources = store.open && isLevelDict(store.appPreferences, app->name, &own) ? own : 0;
}

vresource vapplicationGetResources(vapplication* app) {
  _vapplicationOpenUserStore();
  vdictStore(store.saveNames, app->name, app->name);
  if (!app->resources) app->resources = findOrCreate(store.appPreferences, app->name);
  return app->resources;
}

void vapplicationLoadPreferences(vapplication* app, int level) {
  if (level < 0 || level > 7) vexGenerateMessage(&vexArgClass, "Arg");
  vprefDict* root = vprefGetDefaultDict();
  vprefSetRootResource(vapplicationGetResources(app));
  vresource r;
  for (int step = level; step <= 7; ++step) switch (step) {
      case 0:
        if (vresourceTestGet(vinstGetSystemResource(), vname_Preferences, &r)) vprefDictPushResource(root, r);
        // Without the framework's file its built-in defaults stand in, so
        // that Tab, Return and the editing keys keep their bindings.
        else if (vinstSystemResourceInMemory()) vprefDictPushResource(root, vinstGetDefaultPreferences());
        break;
      case 1: _vwindowSysPreferenceDefaults(); break;
      case 2:
        if (app->file && vresourceTestGet(app->file->root, vname_Preferences, &r)) vprefDictPushResource(root, r);
        break;
      case 3: vprefDictPushResource(root, store.preferences); break;
      case 4:
        if (app->resources) vprefDictPushResource(root, app->resources);
        break;
      case 5: vprefApplyEnvironment(); break;
      case 6: _vwindowSysPreferences(); break;
      case 7: vprefProcessArgs(); break;
    }
  afterLevels(app);
}

void _vapplicationClassPreferences(vclass* cls) {
  auto* c = static_cast<vapplicationClassRec*>(cls);
  vapplicationClassRec* base = _vapplicationClassIfBuilt();
  if (base && cls != base && vclassIsSubclass(cls->superclass, base)) {
    auto* super = static_cast<vapplicationClassRec*>(cls->superclass);
    c->font = super->font;
    c->scheme = super->scheme;
  }
  if (!cls->name) return;
  vprefDict* root = vprefGetDefaultDict();
  vprefDict* classes = dictAt(root, "Classes");
  vprefDict* own = classes ? vprefGetDict(classes, vnameScribe(cls->name)) : nullptr;
  if (own) {
    if (const char* font = vprefGetString(own, vscribeLiteral("Font"))) c->font = vfontFindScribe(vscribeCString(font));
    vcolorScheme found{};
    loadNamedScheme(root, vprefGetString(own, vscribeLiteral("colorscheme")), &found);
    vprefDict* colors = dictAt(own, "Colors");
    if (colors) vcolorLoadScheme(colors, vcolorSCHEME_ALL, &found);
    release(colors);
    vcolorMergeScheme(&found, found.mask, &c->scheme);
  }
  release(own);
  release(classes);
}
