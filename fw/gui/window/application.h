// The application object: the program's name and title, the defaults that
// windows fall back to (cursor, block cursor, icon, font, line width, the
// colour scheme), its command space, its bindings and the event dispatch
// table through which window events reach their windows.
//
// - **Application object** (`application.h`, `application_color.cpp`): the class "vapplication" (an
//   attributed object; named in the building context because its superclass belongs to that context)
//   with its 64-slot attribute dictionary, "StopProcess" (selector 3) in its command space, the
//   class scheme black on white and line width 1. The default application is a static instance made
//   when the class is built, destroyed by a context exit procedure; `vapplicationSetCurrent`
//   installs the app's event table (its handlers route window events, `dispatch.cpp`) and selects
//   its module context. Setters notify only on a real change; owned cursors, icon and space
//   (ownership bits 1/2/4/8) go when replaced. Colours: `DetermineColors` answers from the override
//   scheme, then the application's entries not invalidated by the overrides (the closure), then the
//   class scheme, then derives the rest; the default derive function is a table of rules per entry,
//   and keeps one reference to each distinct colour it hands out (schemes hold none), released at
//   exit. Copies clone owned objects and share the resource-file record (counted); load-init reads
//   everything into locals first, so a resource that fails part way leaves the object as init made
//   it, owning nothing half-loaded; store removes each key it does not write. A new application's
//   module context is current only once `vapplicationSetCurrent` selects it. The start-up row
//   "vapplicationGetDefaultClass" is filled by `vapplicationInstallStartup`.
#pragma once
#include <cstdint>

#include "fw/core/attributed.h"
#include "fw/core/event.h"
#include "fw/gui/graphics/font.h"
#include "fw/gui/graphics/scheme.h"

struct vapplication;
// The entries whose colours may change when the entries of mask change.
using vapplicationSchemeClosure = std::uint32_t (*)(std::uint32_t mask);
// Entry index's colour made from scheme (a new shared reference), or null.
using vapplicationSchemeDerive = vcolor* (*)(const vcolorScheme* scheme, int index);
using vapplicationNotifyFunc = void (*)(vapplication* app, vevent* event);

// Ownership bits.
enum : std::uint32_t {
  vapplicationCURSOR_OWNED = 1,
  vapplicationBLOCK_CURSOR_OWNED = 2,
  vapplicationICON_OWNED = 4,
  vapplicationSPACE_OWNED = 8,
};

// The application resource file, shared between copies.
struct vapplicationResourceFile {
  std::int32_t count;
  std::uint32_t flags;  // 1: close the store at the end, 2: release it
  vresource root;
};

struct vapplication : vobject {
  veventTable dispatch;
  vapplicationNotifyFunc notifyFunc;
  void* data;
  vname title;
  vname name;
  vobject* cursor;
  vobject* blockCursor;
  vobject* icon;
  vfont* font;
  vcolorScheme scheme;
  vapplicationSchemeClosure closure;
  vapplicationSchemeDerive derive;
  std::intptr_t lineWidth;  // negative: the class's
  vcommandSpace* space;
  std::uint32_t owned;
  vapplicationResourceFile* file;
  vresource resources;  // own preference dictionary, 0 until found
  vdict* pointerBindings;
  vdict* keyBindings;
  vdict* keyRedirections;
  vobject* spareWindow;
  vobject* pointerTarget;
  vobject* keyTarget;
  vmoduleContext* context;
};

struct vapplicationClassRec : vobjectAttributedClassRec {
  vdict* keyBindings;
  vobject* cursor;
  vobject* blockCursor;
  vobject* icon;
  vfont* font;
  vcolorScheme scheme;
  std::intptr_t lineWidth;
  void (*notify)(vapplication* app, vevent* event);
  void (*setNotify)(vapplication* app, vapplicationNotifyFunc fn);
  void (*setData)(vapplication* app, void* data);
  void (*setTitle)(vapplication* app, vscribe* title);
  void (*setName)(vapplication* app, vscribe* name);
  void (*setCursor)(vapplication* app, vobject* cursor);
  void (*setBlockCursor)(vapplication* app, vobject* cursor);
  void (*setIcon)(vapplication* app, vobject* icon);
  void (*setFont)(vapplication* app, vfont* font);
  void (*setSchemeColor)(vapplication* app, int index, vcolor* color);
  void (*setSchemeClosure)(vapplication* app, vapplicationSchemeClosure fn);
  void (*setSchemeDerive)(vapplication* app, vapplicationSchemeDerive fn);
  void (*setLineWidth)(vapplication* app, std::intptr_t width);
  void (*setSpace)(vapplication* app, vcommandSpace* space);
  void (*setResourceFile)(vapplication* app, vresource root);
  void (*setResources)(vapplication* app, vresource root);
  void (*setSpareWindow)(vapplication* app, vobject* window);
  void (*setPointerTarget)(vapplication* app, vobject* window);
  void (*setKeyTarget)(vapplication* app, vobject* window);
  void (*determineColors)(vapplication* app, vcolorScheme* scheme, std::uint32_t wanted, vcolorScheme* result);
};

inline vapplicationClassRec* vapplicationClassOf(vapplication* app) { return vclassRec<vapplicationClassRec>(app); }

vapplicationClassRec* vapplicationGetDefaultClass();
vapplication* vapplicationGetCurrent();
vapplication* vapplicationGetDefault();
void vapplicationSetCurrent(vapplication* app);
vapplication* vapplicationCreate();
void vapplicationDestroy(vapplication* app);
// Fills the framework start-up's row of the application class.
void vapplicationInstallStartup();

std::uint32_t vapplicationDefaultClosure(std::uint32_t mask);
vcolor* vapplicationDefaultDerive(const vcolorScheme* scheme, int index);

vobject* vapplicationGetCursor(vapplication* app);
vobject* vapplicationGetBlockCursor(vapplication* app);
vobject* vapplicationGetIcon(vapplication* app);
vfont* vapplicationGetFont(vapplication* app);
std::intptr_t vapplicationGetLineWidth(vapplication* app);
vcolor* vapplicationDetermineColor(vapplication* app, int index);
void vapplicationDetermineColorMask(vapplication* app, std::uint32_t mask, vcolorScheme* result);
// Overrides from a list: colours[k] for indexes[k] (null leaves it out).
void vapplicationDetermineColors(vapplication* app, const int* indexes, vcolor* const* colors, int count,
                                 std::uint32_t wanted, vcolorScheme* result);
void vapplicationSetSpaceOwned(vapplication* app, vcommandSpace* space);

// Whether the user's preference store is read at start-up and written at
// exit (on by default). Off, set before start-up, the program starts from
// its own defaults and leaves the user's file as it was: the store lives
// in memory only.
void vapplicationSetUserStoreKept(int on);

// The application's own preference dictionary in the user store, made when
// missing; its name is saved at exit.
vresource vapplicationGetResources(vapplication* app);
// The dictionary `tag` in a dictionary of the user's store (null parent:
// 0). An entry of another kind (another program's, a hand-edited file's)
// counts as missing: with `make` a new dictionary takes its place, else 0.
vresource _vapplicationPreferenceDict(vresource parent, vname tag, bool make);
// Preference loading from level (0-7) on, then the defaults they set.
void vapplicationLoadPreferences(vapplication* app, int level);
