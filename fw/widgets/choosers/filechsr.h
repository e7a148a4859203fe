// The framework's file chooser: a confirmation dialog whose column
// browser shows up to five nested directories side by side, with a path
// entry, shift buttons, a local menu bar of views, and the standard OK and
// Cancel. Each chosen file reaches the application's apply function as a
// path while the chooser runs.
//
// - `vfilechsr` is a confirm loaded from the "Confirm" template of the "vfilechsr" dictionary in
//   `vwexlin7.txt` (menu bar with History, Directory and View, the path pop-up, shift buttons, five
//   `vfilechsrListView` columns with titles over columns 2-5, prompt and `vfilechsrPathEntry`; OK
//   and Cancel). `init` loads the template; the class's plain init runs inside that load, so a depth
//   counter tells the two apart. The template's size stands (its natural size, one column, is the
//   window's minimum).
//
// - Preferences under "vfilechsr" in the application's store: "Top" is x and "Left" y; a restored
//   position replaces the centring at load.
//
// - The read-only box is a `vcontrolToggle` whose notify keeps option 0x80 in step with its tick, so
//   the selection handler reads the options.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "fw/core/fs.h"
#include "fw/widgets/choosers/confirm.h"
#include "fw/widgets/controls/textitem.h"
#include "fw/widgets/lists/listview.h"

struct vfilechsr;
struct vfilechsrDirectory;
struct vfilechsrFileType;
struct vfilechsrFileTypes;
struct vmenu;

// One listed file or directory.
struct vfilechsrEntry {
  vstr* name;  // owned
  vfsFileInfo info;  // kind word with vfilechsrLINK when the name is a symbolic link
  std::int32_t readable;
  std::int32_t writable;
  vfsPath* namePath;  // a one-element path, only while the entry is being read
};

// The link bit of an entry's kind word: the name is a symbolic link, the
// rest of the word describes its target.
inline constexpr std::uint32_t vfilechsrLINK = 0x100;

using vfilechsrCompareFunc = int (*)(const vfilechsrEntry* a, const vfilechsrEntry* b);
using vfilechsrApplyFunc = int (*)(vfilechsr* chooser, vfsPath* path);

// One directory of the chain of nested directories the browser knows.
struct vfilechsrDirectory {
  vlist* list;  // a vfilechsrListModel, one row per entry, one column
  vlistSelection* selection;
  vlistview* view;  // the column showing it now, or null
  vfilechsr* chooser;
  vfsPath* path;
  std::int64_t time;  // modification time at the last read, 0 never read
  std::vector<vfilechsrEntry> entries;
  std::int32_t count;  // -1 not read
  vfilechsrDirectory* next;  // one level deeper
};

// What the native dialog is given: the chooser's title, position, owner
// and directory, recorded as they are set.
enum : std::uint32_t {
  vfilechsrNATIVE_POSITION = 0x1,
  vfilechsrNATIVE_TITLE = 0x2,
  vfilechsrNATIVE_OWNER = 0x4,
  vfilechsrNATIVE_DIRECTORY = 0x8,
};
struct vfilechsrNativeSettings {
  std::uint32_t flags;
  vstr* title;          // owned
  vstr* previousTitle;  // owned
  std::int16_t x, y;    // -1, -1: no position
  vdialog* owner;
  vfsPath* directory;  // owned
};

// State flags.
enum : std::uint32_t {
  vfilechsrNATIVE_ALLOWED = 0x1,
  vfilechsrNATIVE_FORCED = 0x2,
  vfilechsrPROCESSING = 0x4,
  vfilechsrLABELS_SET = 0x8,
  vfilechsrREFILL = 0x10,
  vfilechsrWRITING_ENTRY = 0x80,
};
// Options.
enum : std::uint32_t {
  vfilechsrREAD_ONLY_BOX = 0x01,
  vfilechsrCONFIRM_OVERWRITE = 0x02,
  vfilechsrMUST_EXIST = 0x04,
  vfilechsrPATH_MUST_EXIST = 0x08,
  vfilechsrNO_HIDDEN = 0x10,
  vfilechsrDIRECTORIES = 0x20,
  vfilechsrKEEP_GOING = 0x40,
  vfilechsrREAD_ONLY_TICKED = 0x80,
};
// Result flags, set only while the apply function runs.
enum : std::uint32_t {
  vfilechsrRESULT_READ_ONLY = 0x1000,
  vfilechsrRESULT_EXISTS = 0x2000,
  vfilechsrRESULT_DIRECTORY = 0x4000,
};
enum : std::uint8_t { vfilechsrOPEN = 1, vfilechsrSAVE = 2 };
inline constexpr int vfilechsrCOLUMNS = 5;

struct vfilechsr : vconfirm {
  std::uint8_t kind;
  std::uint8_t selectionMode;
  std::int32_t confirmOverwrite;
  std::int32_t columnMinimum;
  vdict* views;  // view tag -> compare function
  vname currentView;
  vfilechsrDirectory* current;
  vfilechsrDirectory* chain;
  std::int32_t markedCount;
  std::int16_t historyCount;
  std::int16_t historyLimit;
  std::int32_t visibleColumns;
  vlistview* columns[vfilechsrCOLUMNS + 1];  // null-terminated
  vdialogItem* titles[vfilechsrCOLUMNS - 1];  // over columns 2..5
  std::int32_t columnWidth;
  vdialogItem* pathMenu;
  vtextitem* pathEntry;
  vdialogItem* menuBar;
  vdialogItem* shiftUp;
  vdialogItem* shiftDown;
  vdialogItem* readOnly;
  vfilechsrApplyFunc apply;
  std::uint32_t state;
  std::int16_t fileTypeIndex;
  std::uint32_t options;
  std::uint32_t resultFlags;
  vfilechsrNativeSettings* nativeSettings;  // made on first use
  vfilechsrFileType* fileType;  // into fileTypes, or null
  vfilechsrFileTypes* fileTypes;
  vmenu* filtersMenu;
  vname result;
  vstr* defaultExtension;
  vdialogItemNotifyFunc savedNotify;
  std::uint8_t filling;  // the browser is changing selections itself
};

struct vfilechsrClassRec : vconfirmClassRec {
  int (*acceptEntry)(vfilechsr* chooser, vfilechsrEntry* entry);
  void (*setDirectory)(vfilechsr* chooser, const vfsPath* path);
  void (*shift)(vfilechsr* chooser, int direction);
  void (*completeName)(vfilechsr* chooser);
  void (*addViewBy)(vfilechsr* chooser, const char* name, vfilechsrCompareFunc compare);
  void (*removeViewBy)(vfilechsr* chooser, const char* name);
};

inline vfilechsrClassRec* vfilechsrClassOf(const vfilechsr* c) { return vclassRec<vfilechsrClassRec>(c); }
vfilechsrClassRec* vfilechsrGetDefaultClass();
vlistviewClassRec* vfilechsrGetListViewClass();
vlistClassRec* vfilechsrGetListModelClass();
vfilechsr* vfilechsrCreate();

inline int vfilechsrAcceptEntry(vfilechsr* c, vfilechsrEntry* e) { return vfilechsrClassOf(c)->acceptEntry(c, e); }
inline void vfilechsrSetDirectory(vfilechsr* c, const vfsPath* p) { vfilechsrClassOf(c)->setDirectory(c, p); }
inline void vfilechsrShift(vfilechsr* c, int direction) { vfilechsrClassOf(c)->shift(c, direction); }
inline void vfilechsrCompleteName(vfilechsr* c) { vfilechsrClassOf(c)->completeName(c); }
inline void vfilechsrAddViewBy(vfilechsr* c, const char* name, vfilechsrCompareFunc f) {
  vfilechsrClassOf(c)->addViewBy(c, name, f);
}
inline void vfilechsrRemoveViewBy(vfilechsr* c, const char* name) { vfilechsrClassOf(c)->removeViewBy(c, name); }
void vfilechsrSetViewBy(vfilechsr* chooser, vname tag);

void vfilechsrSetKind(vfilechsr* chooser, int kind);
void vfilechsrSetSelectionMode(vfilechsr* chooser, int mode);
void vfilechsrSetOptions(vfilechsr* chooser, std::uint32_t options);
void vfilechsrSetApply(vfilechsr* chooser, vfilechsrApplyFunc apply);
void vfilechsrPlace(vfilechsr* chooser, vwindow* base, int horizontal, int vertical);
void vfilechsrSetPrompt(vfilechsr* chooser, const char* prompt);
// A list resource of the chooser's dictionary, or 0.
vresource vfilechsrGetResource(vname tag);
// Runs the chooser modally; the answer ("Ok", "Cancel", "Close").
vname vfilechsrProcess(vfilechsr* chooser);

int vfilechsrCompareByName(const vfilechsrEntry* a, const vfilechsrEntry* b);
int vfilechsrCompareByModified(const vfilechsrEntry* a, const vfilechsrEntry* b);
int vfilechsrCompareByChanged(const vfilechsrEntry* a, const vfilechsrEntry* b);

// ---- Shared by the chooser's files.
// The record of a path in the chain, made (and the chain mended) as needed.
vfilechsrDirectory* _vfilechsrFindDirectory(vfilechsr* chooser, const vfsPath* path);
// Reads the directory when it is unread or changed on disk.
void _vfilechsrReadDirectory(vfilechsrDirectory* d);
// Releases the entries (read again at the next fill).
void _vfilechsrReleaseEntries(vfilechsrDirectory* d);
void _vfilechsrSortDirectory(vfilechsrDirectory* d);
// Drops every record below d (d's next and deeper).
void _vfilechsrCutChain(vfilechsr* chooser, vfilechsrDirectory* d);
void _vfilechsrFreeChain(vfilechsr* chooser);
// The visible column count and width for a dialog width.
void _vfilechsrLayoutColumns(vfilechsr* chooser, int dialogWidth);
void _vfilechsrFillColumns(vfilechsr* chooser);
void _vfilechsrDetachColumns(vfilechsr* chooser);
// Drops what the browser still means to do with a chooser being destroyed.
void _vfilechsrForget(vfilechsr* chooser);
int _vfilechsrWantsNative(vfilechsr* chooser);
void _vfilechsrSetShiftButtons(vfilechsr* chooser);
void _vfilechsrWriteEntry(vfilechsr* chooser);
// The path menu, the directory menus and the path entry's observer, set
// up for a loaded or copied chooser; the commands and keys of the chooser
// and entry classes.
void _vfilechsrSetUpPathMenus(vfilechsr* chooser);
void _vfilechsrInstallCommands(vfilechsrClassRec* chooser, vtextitemClassRec* entry);
void _vfilechsrFreeCommands(vfilechsrClassRec* chooser, vtextitemClassRec* entry);
// The path menu rebuilt for the current directory.
void _vfilechsrBuildPathMenu(vfilechsr* chooser);
// The local menu bar's "Volumes": one item per volume, each going to its root.
void _vfilechsrBuildVolumesMenu(vfilechsr* chooser);
// The current directory enters the history unless marked; Mark or Unmark
// enabled by whether it is.
void _vfilechsrUpdateHistory(vfilechsr* chooser);
// History (most recent first, at most the limit, never a marked
// directory) and marked directories (in the order marked).
void _vfilechsrAddHistory(vfilechsr* chooser, const vfsPath* directory);
void _vfilechsrAddMarked(vfilechsr* chooser, const vfsPath* directory);
vfsPath* _vfilechsrHistoryPath(vfilechsr* chooser, int index);  // null past the end
vfsPath* _vfilechsrMarkedPath(vfilechsr* chooser, int index);
// "History", "Marked" and "Current" in the preference dictionary.
void _vfilechsrSaveDirectories(vfilechsr* chooser, vresource preferences);
void _vfilechsrRestoreDirectories(vfilechsr* chooser, vresource preferences);
void _vfilechsrPrepareColumn(vfilechsr* chooser, vlistview* column);
void _vfilechsrApplySelectionMode(vfilechsr* chooser);
// The index of the deepest column of the unbroken run of columns with a
// selection, -1 when the first has none.
int _vfilechsrLastSelectedColumn(vfilechsr* chooser);
int _vfilechsrHandleSelection(vconfirm* chooser, vevent* event);
void _vfilechsrBeginSelection(vfilechsr* chooser);
void _vfilechsrEndSelection(vfilechsr* chooser);
void _vfilechsrShowError(vfilechsr* chooser, int request);
// 1 when the user agrees to replace the file.
int _vfilechsrConfirmOverwrite(vfilechsr* chooser, const vfsPath* path);
vimage* _vfilechsrIcon(int which);  // 0 File, 1 Directory, 2 FileLink, 3 DirectoryLink
vresource _vfilechsrDictionary();
// Element index of a list resource of the chooser's dictionary ("" when
// absent; present says whether the list is there), and a template with
// its placeholder ("Tags" element 1) replaced.
std::string _vfilechsrListText(vname list, int index, bool* present = nullptr);
std::string _vfilechsrFillIn(std::string templ, const std::string& value);

// ---- File types: named filters from the resource file, one current.
using vfilechsrFilterFunc = int (*)(const vfsPath* directory, vfilechsrEntry* entry, void* extra);
enum : std::uint32_t {
  vfilechsrTYPE_STRING = 0x1,    // filter: an owned pattern string
  vfilechsrTYPE_REGEXP = 0x2,    // filter: a compiled expression (owned)
  vfilechsrTYPE_FUNCTION = 0x4,  // filter: a vfilechsrFilterFunc
  vfilechsrTYPE_FRAMEWORK = 0x8,
  vfilechsrTYPE_PLATFORM = 0x10,
  vfilechsrTYPE_MEMORY = 0x20,  // filter: a plain memory block
  vfilechsrTYPE_NO_CASE = 0x80,
  vfilechsrTYPE_REWRITTEN = 0x100,  // patternText holds the pattern as written
  vfilechsrTYPE_EXTRA_OBJECT = 0x800,
};
struct vfilechsrFileType {
  vname name;
  vstr* title;
  std::uint32_t flags;
  vstr* patternText;
  vstr* extension;
  void* extra;   // a string, or an object with vfilechsrTYPE_EXTRA_OBJECT
  void* filter;  // by flags
};
struct vfilechsrFileTypes {
  std::uint16_t count;
  std::uint16_t second;  // 2 when made, copied with the table
  vfilechsrFileType* types;
};

// Adds the types of a group ("Windows/NT" when present, else "Wexlin") of
// a "File Types" dictionary (0: the chooser's own); only: that type alone;
// preselect: the type made current.
void vfilechsrAddFileTypes(vfilechsr* chooser, vresource types, vname only, vname preselect);
void _vfilechsrSelectFileType(vfilechsr* chooser, vfilechsrFileType* type);
int _vfilechsrMatchFileType(vfilechsr* chooser, const vfsPath* directory, vfilechsrEntry* entry, void* extra);
// 1 when the path's last element got the extension.
int _vfilechsrAppendExtension(vfilechsr* chooser, vfsPath* path);
void _vfilechsrCopyFileTypes(vfilechsr* from, vfilechsr* to);
void _vfilechsrFreeFileTypes(vfilechsr* chooser, vfilechsrFileTypes** table);
// A platform pattern list ("*.c;*.h") as an expression; 0 delimiter: none.
std::string _vfilechsrRewritePattern(const char* pattern, int delimiter);
// The Defaults hook of a directory chooser: goes to the named directory.
int _vfilechsrChooseDirectory(vconfirm* chooser, vevent* event);
// The system's file dialog in place of the chooser's own: "Ok" or "Cancel".
vname _vfilechsrRunNative(vfilechsr* chooser);
vfilechsrNativeSettings* _vfilechsrNativeSettings(vfilechsr* chooser);  // made on first use
