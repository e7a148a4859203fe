// The file system: portable paths, the process's directories and
// environment, pooled file streams that raise typed exceptions and survive
// the limit on open files, and file information.
#pragma once
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "fw/core/ex.h"
#include "fw/core/resource.h"
#include "fw/core/scribe.h"

// ---- Path rules: separators and volumes. Windows rules keep drive letters
// and shares; the Linux rules the program uses have "/" as separator and
// root and no volumes (":" and "\" are ordinary characters).
struct vfsPathRules {
  const char* name;
  char separator;
  const char* separatorText;
  const char* root;
  const char* volumeSeparator;  // null: no volumes
  const char* currentDir;
  const char* parentDir;
};
extern const vfsPathRules vfsWindowsPathRules, vfsLinuxPathRules;
const vfsPathRules* vfsGetPathRules();
void vfsSetPathRules(const vfsPathRules* rules);  // every later parse, render and expansion

inline constexpr std::size_t vfsMAX_PATH = PATH_MAX;    // characters of a path text
inline constexpr std::size_t vfsMAX_ELEMENT = NAME_MAX;  // characters of one element
inline constexpr std::size_t vfsPATH_BUFFER = vfsMAX_PATH + 1;

// ---- Paths.
enum : unsigned {
  vfsPATH_SINGLE = 1,
  vfsPATH_ROOTED = 2,
  vfsPATH_RELATIVE = 4,
  vfsPATH_KIND = 7,
  vfsPATH_EXPAND = 8,  // some element still needs expansion
};

struct vfsVolume {
  int drive;   // 1 for A to 26, -1 when not a drive letter
  vstr* text;  // the letter or the share (\\server\share)
};

struct vfsPath {
  vfsVolume* volume;  // null when none
  vstr** elemBegin;   // the elements, the root not among them
  vstr** elemEnd;
  unsigned kind;
};

vfsPath* vfsNewPathFromString(const char* text);
vfsPath* vfsNewPathFromScribe(vscribe* s);
vfsPath* vfsCopyPath(const vfsPath* path);
void vfsFreePath(vfsPath* path);
unsigned vfsClassifyPath(const char* text);
void vfsAppendPathElements(vfsPath* path, const char* element, ...);       // null-terminated
void vfsAppendPathElementsScribed(vfsPath* path, vscribe* element, ...);  // null-terminated
void vfsReplaceLastPathElement(vfsPath* path, const char* element);
// Element 0 of a rooted path is the root string.
const char* vfsGetPathElement(const vfsPath* path, int index);
vstr* vfsGetPathElementString(const vfsPath* path, int index);
int vfsCountPathElements(const vfsPath* path);
vstr* vfsPathToString(const vfsPath* path);
char* vfsPathToBuffer(const vfsPath* path, char* buffer);  // buffer of vfsPATH_BUFFER bytes
void vfsSetPathVolume(vfsPath* path, const char* volume);
void vfsSetPathVolumeScribed(vfsPath* path, vscribe* volume);
int vfsGetPathDrive(const vfsPath* path);
const char* vfsGetPathVolume(const vfsPath* path);
enum : int { vfsCOMPARE_EXACT = 1, vfsCOMPARE_NO_CASE = 2 };
int vfsCompareVolumes(const vfsPath* a, const vfsPath* b, int mode);
int vfsComparePaths(const vfsPath* a, const vfsPath* b, int mode);
void vfsSetPathExtension(vfsPath* path, const char* extension);
void vfsPathExpand(vfsPath* path);
vfsPath* vfsPathResolve(const vfsPath* base, const vfsPath* relative);
void vfsPathRemoveLast(vfsPath* path, int n);
// A path in a resource dictionary tagged "vfsPath"; a resource that is
// not one raises Arg.
void vfsStorePath(const vfsPath* path, vresource resource);
vfsPath* vfsLoadPath(vresource resource);

// ---- The process's directories and environment.
void vfsMSWStartup(int argc, char** argv);
void vfsStartup();  // the start-up table's row: the arguments are not needed here
void vfsShutdown();
const char* vfsMSWGetVolumeSeparator();
const char* vfsMSWGetSeparator();
const char* vfsMSWGetRootString();
const char* vfsMSWGetCurrentDirName();
const char* vfsMSWGetParentDirName();
const vfsPath* vfsMSWGetStartupDirectory();
vfsPath* vfsMSWGetCurrentDirectory();  // a copy
const vfsPath* vfsMSWGetProgramDirectory();
const char* vfsMSWGetProgramFileName();
vfsPath* vfsMSWGetHomeDirectory();     // a copy
const vfsVolume* vfsMSWGetCurrentDrive();  // null: this platform has no drives
bool vfsMSWChangeDrive(const vfsVolume* volume);
void vfsMSWChangeDirectory(const vfsPath* path);
void vfsMSWPushDirectory(const vfsPath* path);
void vfsMSWPopDirectory();
const vfsVolume* vfsMSWGetDrives(int* count);
// Replaces the template's "X" characters with digits and creates the file
// exclusively (mode 0600), trying other digits while the name is taken.
char* vfsMSWMakeTempName(char* templ);

// ---- File-system exceptions.
extern const vexClass vfsFileSystemClass, vfsIOErrorClass, vfsNameClass, vfsSystemClass, vfsUserRequestClass;
extern const vexClass vfsIOReadClass, vfsIOWriteClass, vfsReadOnlyClass, vfsFileSeekClass, vfsLockClass;
extern const vexClass vfsDirectoryNameClass, vfsFileNameClass, vfsInterruptedClass, vfsSystemMaximumClass;
extern const vexClass vfsNoSpaceClass, vfsNoMemoryClass, vfsMaxFilesOpenClass, vfsMaxPathLengthClass,
    vfsMaxNameLengthClass, vfsMaxLinksClass, vfsMaxFileLocksClass;
extern const vexClass vfsIsDirectoryClass, vfsAccessClass, vfsAlreadyExistsClass, vfsDirectoryNotEmptyClass;

// ---- File streams.
enum : unsigned {
  vfsOPEN_READ = 1,
  vfsOPEN_READ_WRITE = 2,
  vfsOPEN_WRITE = 4,  // create or truncate
  vfsOPEN_APPEND = 8,
  vfsOPEN_ACCESS = 15,
  vfsOPEN_KEEP = 16,       // never suspended
  vfsOPEN_SUSPENDED = 32,  // file closed to save handles
  vfsOPEN_KEEP_FILE = 64,  // also never suspended
  vfsOPEN_NO_SEEK = 0x80,
  vfsOPEN_DENY_WRITE = 0x100,  // sharing bits: accepted, no effect here
  vfsOPEN_DENY_READ = 0x200,
  vfsOPEN_TEXT = 0x400,  // no effect here
  // A regular file only, opened without waiting: a folder, a FIFO or a
  // device raises instead (a FIFO nobody writes would block the open, a
  // device such as /dev/zero never ends).
  vfsOPEN_REGULAR = 0x800,
};

struct vfsStream {
  vfsPath* path;
  std::FILE* file;           // null while suspended
  std::int64_t position;     // saved while suspended; -1 when none
  unsigned mode;
  vfsPath* directory;        // the current directory at open, for a relative path
  vfsStream* previous;       // towards the newest
  vfsStream* next;           // towards the oldest
  int lastOp;                // 1 read, 2 write: the C library needs a seek between
};

vfsStream* vfsOpenFile(const vfsPath* path, unsigned mode);
vfsStream* vfsOpenLocalizedFile(const vfsPath* path, unsigned mode);
void vfsCloseFile(vfsStream* stream);
std::size_t vfsReadFile(void* buffer, std::ptrdiff_t size, std::ptrdiff_t count, vfsStream* stream);
std::size_t vfsWriteFile(const void* buffer, std::ptrdiff_t size, std::ptrdiff_t count, vfsStream* stream);
int vfsPutChar(int c, vfsStream* stream);
std::size_t vfsWriteString(const char* text, vfsStream* stream);
void vfsWriteScribe(vscribe* s, vfsStream* stream);
void vfsSeekFile(vfsStream* stream, std::int64_t offset, int whence);
void vfsFlushFile(vfsStream* stream);
int _vfsCountOpenFiles();  // C files held open now
void vfsCreateFile(const vfsPath* path, int permission);
void vfsRemoveFile(const vfsPath* path);
bool vfsAccess(const vfsPath* path, int mode);
// 1 a resource file ("QRN\n"), 2 a chunk file (bytes 2-5 D0 0B ED 00), 0 else.
int vfsTestFileKind(const vfsPath* path);
bool vresourceTestFile(const vfsPath* path);
// Bit 0x1 of the resource option word: the answer for a file of unknown
// kind, and the kind of a new resource file (set: chunk files).
void vresourceSetTestDefault(bool chunkFiles);
bool vresourceGetTestDefault();
// The whole process-wide option word (initially 1); the setter answers
// the previous word.
std::uint32_t _vresourceSetGlobalOptions(std::uint32_t word);
std::uint32_t _vresourceGetGlobalOptions();

// ---- File information.
enum : std::uint32_t {
  vfsINFO_FILE = 1,
  vfsINFO_DIRECTORY = 2,
  vfsINFO_OTHER = 4,
  vfsINFO_LINK = 8,  // never reported by vfsGetFileInfo
  vfsINFO_KIND = 15,
  vfsINFO_HIDDEN = 0x200,
  vfsINFO_ARCHIVE = 0x400,
  vfsINFO_SYSTEM = 0x800,
};

struct vfsFileInfo {
  std::uint32_t flags;  // kind and attribute flags
  std::uint32_t mode;
  std::int32_t groupId;
  std::int32_t userId;
  std::uint32_t changeNanoseconds;  // always 0
  std::int64_t changeSeconds;
  std::uint32_t modifyNanoseconds;  // always 0
  std::int64_t modifySeconds;
  std::int64_t size;
  std::uint32_t spare;  // always 0
};

void vfsGetFileInfo(const vfsPath* path, vfsFileInfo* info);
// The target of the link that path names, as a new path.
vfsPath* vfsReadLink(const vfsPath* path);
// True when path itself (not followed) is a symbolic link; false too when
// it cannot be examined.
bool vfsIsSymbolicLink(const vfsPath* path);
void _vfsStatFile(const vfsPath* path, vfsFileInfo* info);
int _vfsStreamKeepsFile(vfsStream* stream);
int _vfsCheckStreamRange(vfsStream* stream, std::int64_t offset, std::int64_t length);
