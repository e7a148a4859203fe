// The image view's input: presses, drags and releases turned into strokes
// of the current tool, presses handed to the scroll bars, position
// reports, the tools' cursors from the resources, and the commands and
// keys that choose tools, zoom and edit the selection.
#include <cmath>
#include <iterator>

#include "fw/core/command.h"
#include "fw/core/ex.h"
#include "fw/core/sys.h"
#include "fw/data/vresource.h"
#include "fw/gui/window/cursor.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/namedres.h"
#include "fw/gui/window/window.h"
#include "fw/gui/window/window_event.h"
#include "fw/imaging/vimgedview_internal.h"
#include "fw/widgets/dialog/item_internal.h"
#include "fw/widgets/dialog/itemlist.h"

using namespace imgview;

namespace {

vdialogItemClassRec* super() { return vdialogItemGetDefaultClass(); }
vimgedview* asView(vdialogItem* i) { return static_cast<vimgedview*>(i); }

struct State {
  vobject* cursors[vimgedviewTOOL_COUNT];
  vcommandSpace* space;
  vdict* keyMap;   // key value + 1 -> command tag
  vdict* commands; // owned by the space
  vdict* keys;
};
void** stateSlot = nullptr;

void freeState() {
  auto* st = static_cast<State*>(*stateSlot);
  if (!st) return;
  // One cursor may stand for several tools.
  for (int i = 0; i < vimgedviewTOOL_COUNT; ++i) {
    vobject* c = st->cursors[i];
    if (!c) continue;
    for (int j = i; j < vimgedviewTOOL_COUNT; ++j)
      if (st->cursors[j] == c) st->cursors[j] = nullptr;
    vinstanceDestroy(c);
  }
  if (st->keyMap) vdictDestroy(st->keyMap);
  st->keyMap = nullptr;
}

State* state() {
  if (auto* bound = vmoduleState<State>(stateSlot)) return bound;
  auto* st = static_cast<State*>(vmoduleBindSlot(stateSlot, sizeof(State)));
  *st = State{};
  vmoduleAddContextExitProc(freeState);
  return st;
}

// ---- Cursors: "vimged" / "Cursors" in the resources.

constexpr const char* kCursorNames[vimgedviewTOOL_COUNT] = {
    "vimgedHand",   "vimgedCross",      "vimgedPencil", "vimgedCross",   "vimgedCross",   "vimgedPaint",
    "vimgedRectSelect", "vimgedEraser", "vimgedLasso",  "vimgedDefault", "vimgedCross",   "vimgedCross",
    "vimgedDefault", "vimgedSpray",     "vimgedCross",  "vimgedCross"};

void loadCursors(State* st) {
  vresource dict, cursors;
  if (!vapplicationFindNamedResource(N("vimged"), &dict)) return;
  if (!vresourceTestGet(dict, N("Cursors"), &cursors)) return;
  for (int i = 0; i < vimgedviewTOOL_COUNT; ++i) {
    for (int j = 0; j < i; ++j)
      if (std::strcmp(kCursorNames[j], kCursorNames[i]) == 0) st->cursors[i] = st->cursors[j];
    vresource r;
    if (!st->cursors[i] && vresourceTestGet(cursors, N(kCursorNames[i]), &r)) st->cursors[i] = vcursorLoad(r);
  }
}

// ---- Events.

bool inside(const vrect& r, int x, int y) { return x >= r.x && y >= r.y && x < r.x + r.width && y < r.y + r.height; }
bool inImage(vimgedview* v, vpoint p) { return p.x >= 0 && p.y >= 0 && p.x < v->imageBounds.width && p.y < v->imageBounds.height; }

void track(vimgedview* v, vevent* e) {
  v->currentWin = {s16(veventGetX(e)), s16(veventGetY(e))};
  v->current = vimgedviewWindowToImage(v, v->currentWin.x, v->currentWin.y);
}

void report(vimgedview* v) {
  if ((v->viewFlags & vimgedviewREPORT) && v->report) v->report(v, v->current, v->currentWin);
}

int buttonDown(vdialogItem* item, vevent* e) {
  if (super()->buttonDown(item, e)) return 1;
  vimgedview* v = asView(item);
  if (v->viewFlags & vimgedviewHELD) return 1;
  v->handler = nullptr;
  int x = veventGetX(e), y = veventGetY(e);
  if (v->editor && inside(v->area, x, y)) {
    v->viewFlags |= vimgedviewHELD;
    track(v, e);
    v->pressWin = v->previousWin = v->currentWin;
    v->press = v->previous = v->current;
    v->drawValue = v->foreground;
    if (hasImage(v) && inImage(v, v->press)) {
      v->handler = veventGetBinding(e) == vname_Grab ? vimgedviewGetHandTool() : cls(v)->getToolHandler(v);
      if (v->handler) v->handler(v, e, vimgedviewPRESS);
      report(v);
    }
    return 1;
  }
  for (vslider* bar : {v->hbar, v->vbar})
    if (bar && vdialogItemIsShown(bar) && inside(bar->rect, x, y)) {
      if (v->owner) vdialogItemListClassOf(v->owner)->setPressed(v->owner, bar);
      return vdialogItemClassOf(bar)->buttonDown(bar, e);
    }
  return 0;
}

// Truncating steps towards the edge the pointer passed.
int autoStep(int p, int low, int size, int z) {
  if (p < low) return (p - low - z + 1) / z;
  if (p >= low + size) return (p - (low + size) + z - 1) / z;
  return 0;
}

int drag(vdialogItem* item, vevent* e) {
  vimgedview* v = asView(item);
  if (!(v->viewFlags & vimgedviewHELD)) return super()->drag(item, e);
  int x = veventGetX(e), y = veventGetY(e);
  if ((v->viewFlags & vimgedviewAUTO_SCROLL) && !inside(v->area, x, y)) {
    int z = v->zoom;
    int dx = autoStep(x, v->area.x, v->area.width, z), dy = autoStep(y, v->area.y, v->area.height, z);
    if (dx || dy) vimgedviewScroll(v, dx, dy, 3);
  }
  track(v, e);
  if (v->handler) v->handler(v, e, vimgedviewDRAG);
  return 1;
}

int buttonUp(vdialogItem* item, vevent* e) {
  vimgedview* v = asView(item);
  if (!(v->viewFlags & vimgedviewHELD)) return super()->buttonUp(item, e);
  v->viewFlags &= ~vimgedviewHELD;
  track(v, e);
  vimgedviewToolFunc handler = v->handler;
  v->handler = nullptr;
  if (handler) handler(v, e, vimgedviewRELEASE);
  if (v->viewFlags & vimgedviewTEMPORARY) {
    cls(v)->setTool(v, v->previousTool);
    v->viewFlags &= ~vimgedviewTEMPORARY;
  }
  return 1;
}

int pointerHook(vdialogItem* item, vevent* e) {
  vimgedview* v = asView(item);
  int x = veventGetX(e), y = veventGetY(e);
  if (!v->editor || !inside(v->area, x, y) || !(v->viewFlags & vimgedviewREPORT) || !v->report) return 0;
  vpoint window{s16(x), s16(y)};
  v->report(v, vimgedviewWindowToImage(v, x, y), window);
  return 0;
}

// ---- Tools and cursors.

void setTool(vimgedview* v, int tool) {
  if (tool != v->tool) {
    v->previousTool = v->tool;
    v->tool = s16(tool);
  }
  vimged* m = v->editor;
  if (m && m->working && tool != vimgedviewHAND && tool != vimgedviewSELECT && tool != vimgedviewLASSO &&
      !(m->flags & vimgedPLACING))
    vimgedCommitSelection(m);
  v->viewFlags &= ~vimgedviewTEMPORARY;
  cls(v)->setCursor(v, cls(v)->getToolCursor(v));
}

vobject* getToolCursor(vimgedview* v) { return vimgedviewToolCursor(v->tool); }

void setCursor(vimgedview* v, vobject* cursor) {
  vwindow* w = vdialogGetItemWindow(v);
  if (v->cursor && w && (v->flags & vdialogItemOPEN)) {
    vobject* old = v->cursor;
    vrect area = v->cursorArea;
    vexGuard([&] { vwindowRemoveCursorRect(w, old, &area); },
             [](vexHandler& h) { vexSetCurrentException(h.savedChain); });
  }
  v->cursor = nullptr;
  if (!cursor || !w || !shown(v) || v->area.width <= 0 || v->area.height <= 0) return;
  vrect r = v->area;
  vdialogItemListTransformRect(v->owner, &r);
  vwindowAddCursorRect(w, cursor, &r);
  v->cursor = cursor;
  v->cursorArea = r;
}

// ---- Commands and keys.

constexpr std::uint32_t kShift = veventMOD_SHIFT, kTemp = veventMOD_ALT;
constexpr std::uint32_t keyValue(std::uint32_t code, std::uint32_t modifiers = 0) { return code << 16 | modifiers; }

struct ToolRow {
  const char* name;
  int selector;
  std::uint32_t key;
  const char* temp;  // the temporary variant's command, or none
};
constexpr ToolRow kTools[] = {
    {"vimgedHand", 28, keyValue('h'), "vimgedHandTemp"},
    {"vimgedLine", 29, keyValue('l'), "vimgedLineTemp"},
    {"vimgedPencil", 30, keyValue('p'), "vimgedPencilTemp"},
    {"vimgedEllipse", 31, keyValue('c'), "vimgedEllipseTemp"},
    {"vimgedRect", 32, keyValue('r'), "vimgedRectTemp"},
    {"vimgedPaint", 33, keyValue('f'), "vimgedPaintTemp"},
    {"vimgedSelect", 34, keyValue('s'), "vimgedSelectTemp"},
    {"vimgedEraser", 35, keyValue('e'), "vimgedEraserTemp"},
    {"vimgedLasso", 36, keyValue('S', kShift), nullptr},
    {"vimgedDropper", 37, keyValue('d'), "vimgedDropperTemp"},
    {"vimgedFillRect", 38, keyValue('R', kShift), nullptr},
    {"vimgedFillEllipse", 39, keyValue('C', kShift), nullptr},
    {"vimgedText", 40, keyValue('t'), "vimgedTextTemp"},
    {"vimgedSpray", 41, keyValue('a'), "vimgedSprayTemp"},
    {"vimgedStamp", 42, keyValue('i'), nullptr},
    {"vimgedRoller", 43, keyValue('b'), nullptr},
};

void addKeys(vdict* keys, const char* name, std::initializer_list<std::uint32_t> values) {
  vcommandKeyList* list = vcommandCreateKeyList();
  std::vector<std::uint32_t> v(values);
  vcommandAppendKeys(list, v.data(), int(v.size()));
  vdictStore(keys, N(name), list);
}

int issueSelector(vobject* self, int selector, vdict* context) {
  auto* v = static_cast<vimgedview*>(static_cast<vdialogItem*>(self));
  vimged* m = v->editor;
  if (selector >= 28 && selector <= 43) {
    cls(v)->setTool(v, selector - 28);
    if (context && vdictGet(context, N("Option"))) v->viewFlags |= vimgedviewTEMPORARY;
    return 1;
  }
  switch (selector) {
    case 3:
    case 44: cls(v)->setTool(v, v->previousTool); return 1;
    case 10: if (m) vimgedMoveSelection(m, -1, 0); return 1;
    case 11: if (m) vimgedMoveSelection(m, 1, 0); return 1;
    case 12: if (m) vimgedMoveSelection(m, 0, 1); return 1;
    case 13: if (m) vimgedMoveSelection(m, 0, -1); return 1;
    case 21:
      if (m) vimgedCopy(m), vimgedClearSelection(m);
      return 1;
    case 22: if (m) vimgedCopy(m); return 1;
    case 23: if (m) vimgedPaste(m, &v->origin); return 1;
    case 24: if (m) vimgedClearSelection(m); return 1;
    case 45: cls(v)->setZoom(v, v->zoom + 1); return 1;
    case 46:
      if (v->zoom > 1) cls(v)->setZoom(v, v->zoom - 1);
      return 1;
    default: return super()->issueSelector(self, selector, context);
  }
}

int keyDown(vdialogItem* item, vevent* e) {
  std::uint32_t key = veventGetKeyValue(e);
  auto tag = static_cast<vname>(vdialogGetItemKeySelector(item, key));
  if (!tag) tag = static_cast<vname>(classKeyTag(key));
  if (!tag) return super()->keyDown(item, e);
  return _vdialogItemIssueKeyTag(item, tag, e);
}

}  // namespace

namespace imgview {

vcommandSpace* buildSpace(vcommandSpace* inherited) {
  auto* space = static_cast<vcommandSpace*>(vobjectClone(inherited));
  std::vector<vcommandTableRow> selectors;
  for (const ToolRow& t : kTools) selectors.push_back({t.name, t.selector});
  selectors.push_back({"vimgedLastTool", 44});
  selectors.push_back({"vimgedZoomIn", 45});
  selectors.push_back({"vimgedZoomOut", 46});
  vdict* commands = vcommandCreateDictFromTable(vobjectGetCommandClass(), selectors.data(), int(selectors.size()));
  vdict* keys = vdictCreate(vdictHashName);
  for (const ToolRow& t : kTools) {
    addKeys(keys, t.name, {t.key});
    if (!t.temp) continue;
    auto* c = static_cast<vcommand*>(vinstanceCreate(vcommandGetDefaultSyntheticClass()));
    vcommandAppendSyntheticEntry(c, N(t.name));
    vcommandAppendSyntheticPair(c, N("Option"), N("Temp"));
    vdictStore(commands, N(t.temp), c);
    addKeys(keys, t.temp, {t.key | kTemp});
  }
  addKeys(keys, "vimgedLastTool", {keyValue(0xFC8D), keyValue(0xFC0D)});
  addKeys(keys, "vimgedZoomIn", {keyValue('+', kShift)});
  addKeys(keys, "vimgedZoomOut", {keyValue('-')});
  vcommandSpaceAddDict(space, vname_Command, commands);
  vcommandSpaceAddDict(space, vname_Key, keys);
  return space;
}

void buildInputState() {
  State* st = state();
  vimgedviewClassRec* c = vimgedviewGetDefaultClass();
  if (!st->keyMap) {
    st->keyMap = vdictCreate(vdictHashPointer);
    vcommandSpaceVisitKeys(c->space, st->keyMap);
  }
  bool none = true;
  for (vobject* cursor : st->cursors) none = none && !cursor;
  if (none) loadCursors(st);
}

const void* classKeyTag(std::uint32_t key) {
  State* st = state();
  if (!st->keyMap) return nullptr;
  return vdictGet(st->keyMap, reinterpret_cast<const void*>(std::uintptr_t(key) + 1));
}

void installInput(vimgedviewClassRec* c) {
  c->buttonDown = buttonDown;
  c->buttonUp = buttonUp;
  c->drag = drag;
  // A motion with more queued behind it reaches the motion slot while a
  // button is held: it is a drag step too.
  c->motion = drag;
  c->pointerHook = pointerHook;
  c->keyDown = keyDown;
  c->setTool = setTool;
  c->getToolCursor = getToolCursor;
  c->setCursor = setCursor;
  c->issueSelector = issueSelector;
  c->space = buildSpace(vdialogItemGetDefaultClass()->space);
}

}  // namespace imgview

vobject* vimgedviewToolCursor(int tool) {
  vimgedviewGetDefaultClass();  // loads the cursors
  State* st = state();
  if (tool < 0 || tool >= vimgedviewTOOL_COUNT) tool = 4;
  return st->cursors[tool];
}
