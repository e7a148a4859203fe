// The dialog module: the class with its attribute, command and key
// dictionaries, the focus command class, the dialog's selectors, and the
// keys (the menu-bar key's state, mnemonic item, focus item, window).
#include <cctype>

#include "fw/core/command.h"
#include "fw/data/pref.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/dialog/container.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/dialog/dialog_internal.h"
#include "fw/widgets/domains/mainview.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/menus/menu.h"

namespace {

struct DialogState {
  vdialogClassRec* cls;
  vcommandClassRec* focusCommand;
  bool liveHelp;
  // The menu-bar key: the dialog it was last seen in and its state.
  vdialog* menuBarDialog;
  int menuBarState;
};
void** stateSlot = nullptr;
DialogState* state();

vwindowClassRec* super() { return vwindowGetDefaultClass(); }
void postLiveHelp(std::int64_t delay);
vdialog* asD(void* o) { return static_cast<vdialog*>(o); }

// ---- Live help: every half second while on, help for what is under the
// pointer: in a dialog the innermost item (through containers), in a menu
// the item under it, else the window itself.
bool contains(const vrect& r, int x, int y) { return r.x <= x && x < r.x + r.width && r.y <= y && y < r.y + r.height; }

// In a menu: the item whose band holds y, walking down from the top of
// the first visible item by each item's height.
vobject* menuHelpTarget(vmenu* m, int y) {
  const vmenuItemGeometry* g = vmenuItemListGetGeometry(vmenuGetItemList(m));
  int top = g->visible.y + g->visible.height + g->topCut;
  if (y >= top) return m;
  for (int i = g->firstVisible; i < g->endVisible && i < vmenuItemListCount(vmenuGetItemList(m)); ++i) {
    top -= g->heights[i];
    if (y >= top) return vmenuItemListAt(vmenuGetItemList(m), i);
  }
  return m;
}

vobject* helpTarget(vwindow* w, int x, int y) {
  if (vclassIsSubclass(w->cls, vmenuGetDefaultClass())) return menuHelpTarget(static_cast<vmenu*>(w), y);
  if (!vclassIsSubclass(w->cls, state()->cls)) return w;
  vdialogItemList* l = asD(w)->items;
  vobject* target = w;
  for (int depth = 0; l && depth < 16; ++depth) {
    vdialogItem* hit = nullptr;
    for (int i = 0; i < vdialogItemListCount(l) && !hit; ++i) {
      vdialogItem* item = vdialogItemListAt(l, i);
      if ((item->flags & vdialogItemSHOWN) && contains(item->rect, x, y)) hit = item;
    }
    if (!hit) break;
    target = hit;
    if (!vcontainerIsContainer(hit)) break;
    auto* c = static_cast<vcontainer*>(hit);
    x -= c->bounds.x;
    y -= c->bounds.y;
    l = c->items;
  }
  return target;
}

int liveHelpTick(vevent*) {
  if (!state()->liveHelp) return 1;
  win::POINT p{};
  win::GetCursorPos(&p);
  vwindow* w = vwindowFindFromMSWWindow(win::WindowFromPoint(p));
  if (w && w != vwindowGetRoot() && vwindowIsOpen(w) && w->native && win::ScreenToClient(w->native->hwnd, &p)) {
    vobject* target = helpTarget(w, p.x, w->rect.height - p.y - 1);
    vobjectAttributedOf(target)->help(target);
  }
  postLiveHelp(500000000);
  return 1;
}

void postLiveHelp(std::int64_t delay) {
  vevent* e = veventCreateClient(liveHelpTick, nullptr);
  if (delay) veventPostDelayed(e, 0, delay);
  else veventPost(e);
}

// ---- Selectors.
int issueSelector(vobject* self, int selector, vdict* context) {
  vdialog* d = asD(self);
  switch (selector) {
    case 5:
      if (vdictHas(context, vname_Direction)) {
        int direction = int(reinterpret_cast<std::intptr_t>(vdictGet(context, vname_Direction)));
        vdialogItemListMoveFocus(d->items, direction, vdictHas(context, vname_Text) ? 1 : 0);
      }
      return 1;
    case 6: {
      auto* event = static_cast<vevent*>(vdictGet(context, vname_Event));
      if (!d->menu || !event) break;
      vrect local{0, 0, d->rect.width, d->rect.height}, onScreen = local;
      vwindowTranslateRect(d, nullptr, &local, &onScreen);
      vmenuPopupInRect(d->menu, &onScreen, 6, 6);
      _vdialogTargetMenu(d);
      vmenuHandleEvent(d->menu, event);
      return 1;
    }
    case 7: return 1;
    case 8:
      state()->liveHelp = !state()->liveHelp;
      if (state()->liveHelp) postLiveHelp(0);
      return 1;
    default: break;
  }
  return super()->issueSelector(self, selector, context);
}

int querySelector(vobject* self, int selector, vdict* context) {
  if (selector >= 0 && selector < 9) {
    vdictStore(context, vname_Dispatch, vname_Enabled);
    return 1;
  }
  return super()->querySelector(self, selector, context);
}

// ---- Keys.
bool tracksMenuBar() {
  std::int16_t id = vlafGetCurrent()->id;
  return id == vlafWINDOWS || id == vlafWIN95;
}
constexpr int kDown[4] = {1, 1, 3, 3};
constexpr int kUp[4] = {0, 2, 0, 0};

vname bindingOf(vwindow* w, vevent* e) {
  if (void* own = vwindowLookupKeyBinding(w, veventGetKeyValue(e))) veventSetBinding(e, static_cast<vname>(own));
  return veventGetBinding(e);
}
vdialogItem* mnemonicItem(vwindow* w, vevent* e) {
  auto* item = static_cast<vdialogItem*>(vwindowLookupKeyOverride(w, veventGetKeyValue(e)));
  return item && vdialogItemIsEnabled(item) ? item : nullptr;
}
vdialogItem* focusItem(vdialog* d) {
  vdialogItem* f = vdialogItemListGetFocusItem(d->items);
  return f && vdialogItemIsEnabled(f) ? f : nullptr;
}

// A document kept apart from its main window (no MDI client) has no menu
// line of its own: the menu keys it leaves go on to the main window, whose
// bar holds the titles, as a frame hears its documents' keys. The menu-bar
// key goes too where it acts on its press alone (outside the Windows looks,
// whose bar waits for the release the document hears).
int toMainWindow(vwindow* w, vevent* e) {
  std::uint32_t mods = veventGetModifiers(e) & 0xF, key = veventGetKey(e);
  bool menuBarKey = veventGetBinding(e) == vname_MenuBar && !tracksMenuBar();
  if (!menuBarKey && (mods == 0 || mods != vlafGetCurrent()->mnemonicModifiers || key >= 0x80 || !std::isalnum(int(key))))
    return 0;
  vwindow* main = _vmainviewDocumentOwner(w);
  if (!main || main == w || !vwindowIsOpen(main)) return 0;
  return veventDispatch(veventCreateKeyDown(main, 0, 0, veventGetVirtualKey(e), veventGetModifiers(e), key,
                                            veventGetCharacter(e)));
}

int keyDown(vwindow* w, vevent* e) {
  vdialog* d = asD(w);
  vname selector = bindingOf(w, e);
  if (tracksMenuBar()) {
    DialogState* s = state();
    if (selector != vname_MenuBar) {
      s->menuBarDialog = d;
      s->menuBarState = 0;
    } else if (s->menuBarDialog != d) {
      s->menuBarDialog = d;
      s->menuBarState = 1;
    } else {
      s->menuBarState = kDown[s->menuBarState];
    }
  }
  if (vdialogItem* m = mnemonicItem(w, e); m && vdialogItemClassOf(m)->keyDown(m, e)) return 1;
  if (vdialogItem* f = focusItem(d); f && vdialogItemClassOf(f)->keyDown(f, e)) return 1;
  if (super()->handleKeyDown(w, e)) return 1;
  return toMainWindow(w, e);
}

int keyUp(vwindow* w, vevent* e) {
  vdialog* d = asD(w);
  vname selector = bindingOf(w, e);
  bool toRegistered = true;
  if (tracksMenuBar()) {
    DialogState* s = state();
    if (selector == vname_MenuBar && s->menuBarDialog == d) {
      toRegistered = s->menuBarState == 1;
      s->menuBarState = kUp[s->menuBarState];
    } else if (selector != vname_Menu) {
      s->menuBarDialog = d;
      s->menuBarState = 0;
    }
  }
  if (vdialogItem* m = mnemonicItem(w, e); toRegistered && m && vdialogItemClassOf(m)->keyUp(m, e)) return 1;
  if (vdialogItem* f = focusItem(d); f && vdialogItemClassOf(f)->keyUp(f, e)) return 1;
  return super()->handleKeyUp(w, e);
}

// ---- The focus command: the innermost focus item, through containers.
vdialogItem* focusTarget(vdict* context) {
  auto* d = static_cast<vdialog*>(vdictGet(context, vname_Dialog));
  if (!d) return nullptr;
  vdialogItem* f = vdialogItemListGetFocusItem(d->items);
  while (f && vcontainerIsContainer(f)) f = vdialogItemListGetFocusItem(static_cast<vcontainer*>(f)->items);
  return f;
}

int depth = 0;  // a target whose command is this one again stops here
int runOnFocus(vdict* context, int (*run)(vobject*, vname, vdict*)) {
  vdialogItem* target = focusTarget(context);
  auto tag = static_cast<vname>(vdictGet(context, vname_Tag));
  if (!target || !tag || depth > 4) return 0;
  vdictStore(context, vname_Operator, target);
  ++depth;
  int answer = run(target, tag, context);
  --depth;
  return answer;
}
int focusIssue(vcommand*, vdict* context) { return runOnFocus(context, vobjectIssueCommand); }
int focusQuery(vcommand*, vdict* context) { return runOnFocus(context, vobjectQueryCommand); }

// ---- The module.
vdict* buildCommands() {
  static const vcommandTableRow selectors[] = {{"MoveFocus", 5}, {"PopFocus", 5}, {"Menu", 6}, {"LiveHelp", 8}};
  vdict* d = vcommandCreateDictFromTable(vobjectGetCommandClass(), selectors, 4);
  struct Synthetic {
    const char* name;
    const char* selector;
    int direction;
    bool text;
  };
  static const Synthetic synthetic[] = {
      {"FocusNext", "MoveFocus", 1, false},    {"FocusPrev", "MoveFocus", -1, false},
      {"FocusTextNext", "MoveFocus", 1, true}, {"FocusTextPrev", "MoveFocus", -1, true},
      {"FocusNextPop", "PopFocus", 1, false},  {"FocusPrevPop", "PopFocus", -1, false}};
  for (const Synthetic& row : synthetic) {
    auto* command = static_cast<vcommand*>(vinstanceCreate(vcommandGetDefaultSyntheticClass()));
    vcommandAppendSyntheticEntry(command, N(row.selector));
    vcommandAppendSyntheticPair(command, vname_Direction,
                                reinterpret_cast<const void*>(std::intptr_t(row.direction)));
    if (row.text) vcommandAppendSyntheticPair(command, vname_Text, vname_On);
    vdictStore(d, N(row.name), command);
  }
  return d;
}

// "Keys" / "vdialog" / the look's name, when the preferences hold it.
void addPreferenceKeys(vcommandSpace* space) {
  if (vdict* bindings = vlafLoadClassKeys("vdialog")) vcommandSpaceAddDict(space, vname_Key, bindings);
}

void freeState() {
  auto* s = static_cast<DialogState*>(*stateSlot);
  if (!s || !s->cls) return;
  vdictDestroy(s->cls->attributes);
  vdictDestroy(s->cls->keyBindings);
  vinstanceDestroy(s->cls->space);
}

DialogState* state() {
  if (auto* bound = vmoduleState<DialogState>(stateSlot)) return bound;
  vwindowClassRec* w = super();
  vcontainerStartup();
  auto* s = static_cast<DialogState*>(vmoduleBindSlot(stateSlot, sizeof(DialogState)));
  *s = DialogState{};
  vmoduleAddContextExitProc(freeState);
  auto* c = vclassSpawnOf<vdialogClassRec>(w);
  c->attributes = vdictCopy(w->attributes);
  vdictResize(c->attributes, 42);
  const vdictIntegerRow rows[] = {{vname_Menu, vdialogA_MENU},        {vname_Focus, vdialogA_FOCUS},
                                  {vname_Confirm, vdialogA_CONFIRM},  {vname_Abandon, vdialogA_ABANDON},
                                  {vname_DefaultFocus, vdialogA_DEFAULT_FOCUS}, {vname_Solution, vdialogA_SOLUTION}};
  vdictStoreIntegerTable(c->attributes, rows, 6);
  c->space = static_cast<vcommandSpace*>(vobjectClone(w->space));
  vcommandSpaceAddDict(c->space, vname_Command, buildCommands());
  addPreferenceKeys(c->space);
  c->keyBindings = vdictCopy(w->keyBindings);
  vcommandSpaceVisitKeys(c->space, c->keyBindings);
  _vdialogFillSlots(c);
  c->issueSelector = issueSelector;
  c->querySelector = querySelector;
  c->handleKeyDown = keyDown;
  c->handleKeyUp = keyUp;
  vclassSetName(c, vscribeLiteral("vdialog"));
  vlafSetClassMSWSysColor(vlafCUA, -1, c, vcolorFOREGROUND, 13);
  vlafSetClassMSWSysColor(vlafCUA, -1, c, vcolorBACKGROUND, 31);
  if (c->named) c->named(c);
  s->cls = c;
  auto* f = vclassSpawnOf<vcommandClassRec>(vcommandGetClass());
  f->issue = focusIssue;
  f->query = focusQuery;
  vclassSetName(f, vscribeLiteral("vdialogFocusCommandClass"));
  s->focusCommand = f;
  return s;
}

}  // namespace

vdialogClassRec* vdialogGetDefaultClass() { return state()->cls; }
vcommandClassRec* vdialogGetFocusCommandClass() { return state()->focusCommand; }
void vdialogStartup() {
  vdialogItemGetDefaultClass();
  vdialogItemListGetDefaultClass();
  state();
}

int _vdialogMenuBarKeyState() { return state()->menuBarState; }
void _vdialogSetMenuBarKeyState(vdialog* d, int value) {
  state()->menuBarDialog = d;
  state()->menuBarState = value;
}

void _vdialogForget(vdialog* d) {
  if (!stateSlot || !*stateSlot) return;
  DialogState* s = state();
  if (s->menuBarDialog != d) return;
  s->menuBarDialog = nullptr;
  s->menuBarState = 0;
}
