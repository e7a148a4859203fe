// Undo actions. What one user command does is gathered as actions in an
// open top action; closing it under the command's name pushes it on a
// bounded undo stack that undoes and redoes whole groups and, after every
// change, tells its observers the titles and enable states of the "Undo",
// "Redo" and "Save" commands.
//
// Actions (new, done, undone) are classes per module context: groups (`vundoActionList`) undo their
// actions last to first and redo them first to last; the open top action collects done actions
// until it is closed under a name and pushed. The stack is a ring of limit + 1 entries with 16-bit
// indices, so a limit is 1 to 65534 and a group holds at most 65535 actions (the next append
// raises). After every change the observers (attributed objects, newest first) are asked, through
// `vobjectQueryTag`, for the "Title" and "State" of "Undo" and "Redo" and the "State" of "Save",
// and told each answer. Labels are cut to their 128-byte buffers.
#pragma once
#include <cstddef>
#include <cstdint>

#include "fw/core/class.h"

enum : std::uint8_t { vundoNEW = 0, vundoDONE = 1, vundoUNDONE = 2 };

struct vundoAction : vinstance {
  std::uint8_t state;
};
struct vundoActionClassRec : vinstanceClassRec {
  const char* name;  // of the class's actions; null: none
  const char* (*getName)(vundoAction* self);
  void (*perform)(vundoAction* self);
};

// A group: undone last to first, redone first to last.
struct vundoActionList : vundoAction {
  vundoAction** actions;
  std::uint16_t count, capacity;
  const char* name;
};
// The open top action: named by a tag when it is closed.
struct vundoActionTop : vundoActionList {
  vname tag;
};

struct vundo;
// code: 0 do, 1 undo, 2 redo, 3 release.
using vundoCallback = void (*)(vundo* client, void* data, int code);
struct vundoActionCustom : vundoAction {
  vundoCallback callback;
  void* data;  // the action's own copy
  vundo* client;
};

inline constexpr std::uint16_t vundoNO_MARK = 65535;
inline constexpr std::int32_t vundoMAX_LIMIT = 65534;  // the ring holds limit + 1 entries in 16 bits

// The undo stack: a ring of done actions before current and undone ones
// from current to end.
struct vundoList {
  vundoAction** ring;
  std::uint16_t oldest, end, current, savedMark, size;
  vname undoTag, redoTag, saveTag;
  vobject** observers;
  std::int32_t observerCount, observerCapacity;
};

struct vundo {
  vundoList* list;
  vundoActionTop* top;
};

vundoActionClassRec* vundoGetActionClass();
vundoActionClassRec* vundoGetActionListClass();
vundoActionClassRec* vundoGetActionTopClass();
vundoActionClassRec* vundoGetActionCustomClass();
void vundoInstallStartup();  // the start-up order's "vundoGetActionListClass" row

void vundoActionPerform(vundoAction* action);
const char* vundoActionGetName(vundoAction* action);
void vundoActionDestroy(vundoAction* action);
vundoActionList* vundoActionListCreate(vclass* cls);  // null: the plain list class
void vundoActionListAppend(vundoActionList* list, vundoAction* action);  // done actions only

vundo* vundoCreate(std::int32_t limit);
void vundoDestroy(vundo* undo);
void vundoAddCustomAction(vundo* undo, vundoCallback callback, const void* data, std::size_t size);
void vundoCloseTopAction(vundo* undo, vscribe* name);
const char* vundoGetUndoLabel(vundo* undo);  // in a 128-byte buffer of its own
const char* vundoGetRedoLabel(vundo* undo);
// "Undo" or "Redo" by the action's state, a blank and its name; "Undo"
// for none.
vscribe* vundoScribeLabel(vundoAction* action);

vundoList* vundoListCreate(std::int32_t limit);
void vundoListDestroy(vundoList* list);
void vundoListPush(vundoList* list, vundoAction* action);
vundoAction* vundoListPeekUndo(vundoList* list);
vundoAction* vundoListPeekRedo(vundoList* list);
void vundoListUndo(vundoList* list);
void vundoListRedo(vundoList* list);
void vundoListClear(vundoList* list);
void vundoListSetLimit(vundoList* list, std::int32_t limit);
void vundoListMarkSaved(vundoList* list);  // the current state is the saved one
int vundoListIsSaved(const vundoList* list);
void vundoListAddObserver(vundoList* list, vobject* observer);
void vundoListRemoveObserver(vundoList* list, vobject* observer);
