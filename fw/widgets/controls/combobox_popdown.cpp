// Pop-down combo boxes: the box with its entry and arrow button, the
// borderless dialog that holds the list while it is down, the pointer and
// key routing through that dialog, and the placement of the list beside
// the box on the screen.
#include "fw/widgets/controls/combobox_popdown.h"

#include <algorithm>
#include <utility>

#include "fw/core/command.h"
#include "fw/core/mem.h"
#include "fw/core/sys.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/rect.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/controls/combobox_popdown_internal.h"
#include "fw/widgets/dialog/item_internal.h"
#include "fw/widgets/look/laf.h"

namespace {

struct Module {
  vcomboboxPopdownClassRec* cls;
  vbuttonClassRec* buttonClass;
  vdialogClassRec* dialogClass;
  vlistitemClassRec* choiceClass;
  vdict* keyMap;      // key value + 1 -> command tag
  vdict* attributes;  // the standard box's, with room for 64 entries
};
void** moduleSlot = nullptr;
Module* module();

vcomboboxStandardClassRec* super() { return vcomboboxGetDefaultClass(); }
vcomboboxPopdown* asBox(void* o) { return static_cast<vcomboboxPopdown*>(static_cast<vinstance*>(o)); }
vcomboboxPopdownClassRec* rec(vcomboboxPopdown* b) { return vcomboboxPopdownClassOf(b); }
int lookId() { return vlafGetCurrent()->id; }
bool modifyable(const vcomboboxPopdown* b) { return (b->comboFlags & vcomboboxMODIFYABLE) != 0; }
std::int16_t s16(int v) { return std::int16_t(v); }
void report(vcomboboxPopdown* b, vevent* e, int code) { rec(b)->notifyCombo(b, e, code); }

// Runs body with the flag bits set, putting them back afterwards.
template <class Body>
void withFlags(vcomboboxPopdown* b, std::uint8_t bits, Body body) {
  std::uint8_t was = b->popdownFlags & bits;
  b->popdownFlags |= bits;
  auto restore = [&] { b->popdownFlags = std::uint8_t((b->popdownFlags & ~bits) | was); };
  vexGuard([&] { body(); },
           [&](vexHandler&) {
             restore();
             _vexGenerate(nullptr, vexEnd);
           });
  restore();
}

vwindow* boxWindow(vcomboboxPopdown* b) {
  vdialogItemList* l = b->owner;
  return l ? l->effective.window(l->owner) : nullptr;
}

void forgetBeforeDrop(vcomboboxPopdown* b) {
  if (b->textBeforeDrop) vmemFree(b->textBeforeDrop);
  b->textBeforeDrop = nullptr;
  b->indexBeforeDrop = -1;
}

// Escape while the list is down takes it up and leaves the box as it was
// before it dropped: neither a commit nor the dialog's Abandon.
void abandonDrop(vcomboboxPopdown* b, vevent* e) {
  int index = b->indexBeforeDrop;
  char* text = std::exchange(b->textBeforeDrop, nullptr);
  rec(b)->closePopdown(b, nullptr);
  vexGuard(
      [&] {
        if (vcomboboxGetSelectedIndex(b) != index) vcomboboxSelectIndex(b, index);
        if (text) vtextitemSetTextChars(b->entry, text);
      },
      [&](vexHandler&) {
        if (text) vmemFree(text);
        _vexGenerate(nullptr, vexEnd);
      });
  if (text) vmemFree(text);
  report(b, e, vcomboboxPOPPED_UP);
}

// ---- The items: entry and button in the box, the list in the dialog.

void detachItems(vcomboboxPopdown* b) {
  for (vdialogItem* i : {static_cast<vdialogItem*>(b->entry), static_cast<vdialogItem*>(b->button),
                         static_cast<vdialogItem*>(b->choice)}) {
    if (!i || !i->owner) continue;
    if (i->owner == b->items) vcontainerRemoveItem(b, i);
    else if (b->dialog && i->owner == b->dialog->items) vdialogRemoveItem(b->dialog, i);
  }
}

void attachItems(vcomboboxPopdown* b) {
  detachItems(b);
  vcontainerAppendItem(b, b->entry);
  vcontainerAppendItem(b, b->button);
  vcontainerClassOf(b)->setDefaultFocusItem(b, b->entry);
  vdialogAppendItem(b->dialog, b->choice);
}

vcomboboxPopdownDialog* makeDialog(vcomboboxPopdown* b) {
  auto* d = static_cast<vcomboboxPopdownDialog*>(vinstanceCreate(module()->dialogClass));
  vwindowClassRec* w = vwindowClassOf(d);
  w->setDecoration(d, 0);
  w->setKeptFlag(d, 1);
  w->setSaveBits(d, 1);
  w->setWantsMotion(d, 1);
  w->setAcceptsFocus(d, 0);
  w->setData(d, b);
  return d;
}

vcomboboxPopdownButton* makeButton(vcomboboxPopdown*) {
  auto* button = static_cast<vcomboboxPopdownButton*>(vinstanceCreate(module()->buttonClass));
  vdialogItemClassOf(button)->setFocusable(button, 0);
  return button;
}

// ---- Object slots.

void init(vinstance* self) {
  vcomboboxPopdown* b = asBox(self);
  b->dialog = nullptr;
  b->button = nullptr;
  b->popdownFlags = 0;
  b->indexBeforeDrop = -1;
  b->textBeforeDrop = nullptr;
  b->dialog = makeDialog(b);
  super()->init(self);
  b->button = rec(b)->makeButton(b);
  attachItems(b);
}

void destroy(vinstance* self) {
  vcomboboxPopdown* b = asBox(self);
  if (vcomboboxPopdownIsOpen(b)) rec(b)->closePopdown(b, nullptr);
  detachItems(b);
  if (b->button) vinstanceDestroy(b->button);
  if (b->dialog) vwindowDestroy(b->dialog);
  b->button = nullptr;
  b->dialog = nullptr;
  forgetBeforeDrop(b);
  super()->destroy(self);
}

// The standard box's copying puts its children back into the box: the
// list goes back into the dialog afterwards.
void copy(vobject* source, vobject* destination) {
  if (source == destination) return;
  vcomboboxPopdown* from = asBox(source);
  vcomboboxPopdown* to = asBox(destination);
  detachItems(from);
  detachItems(to);
  // The text kept from before a drop stays the box's own.
  char* keptText = to->textBeforeDrop;
  int keptIndex = to->indexBeforeDrop;
  super()->copy(source, destination);
  to->textBeforeDrop = keptText;
  to->indexBeforeDrop = keptIndex;
  to->popdownFlags = 0;
  if (to->button) vinstanceDestroy(to->button);
  to->button = nullptr;
  to->button = static_cast<vcomboboxPopdownButton*>(vobjectClone(from->button));
  detachItems(from);
  detachItems(to);
  attachItems(from);
  attachItems(to);
}

void copyInit(vobject* source, vobject* destination) {
  vcomboboxPopdown* from = asBox(source);
  vcomboboxPopdown* to = asBox(destination);
  detachItems(from);
  to->dialog = nullptr;
  to->button = nullptr;
  to->indexBeforeDrop = -1;
  to->textBeforeDrop = nullptr;
  super()->copyInit(source, destination);
  to->popdownFlags = 0;
  to->dialog = makeDialog(to);
  to->button = static_cast<vcomboboxPopdownButton*>(vobjectClone(from->button));
  detachItems(from);
  attachItems(from);
  attachItems(to);
}

void loadInit(vobject* self, vresource resource) {
  vcomboboxPopdown* b = asBox(self);
  b->popdownFlags = 0;
  b->indexBeforeDrop = -1;
  b->textBeforeDrop = nullptr;
  b->dialog = nullptr;
  b->button = nullptr;
  b->dialog = makeDialog(b);
  b->button = rec(b)->makeButton(b);
  super()->loadInit(self, resource);
  attachItems(b);
}

void store(vobject* self, vresource resource) {
  vcomboboxPopdown* b = asBox(self);
  detachItems(b);
  vexGuard([&] { super()->store(self, resource); },
           [&](vexHandler&) {
             attachItems(b);
             _vexGenerate(nullptr, vexEnd);
           });
  attachItems(b);
}

// ---- Selectors.

vevent* eventOf(vdict* context) {
  return context && vdictHas(context, vname_Event) ? static_cast<vevent*>(const_cast<void*>(vdictGet(context, vname_Event)))
                                                   : nullptr;
}

constexpr int kEventKeepsListOpen = 32;

int issueSelector(vobject* self, int selector, vdict* context) {
  vcomboboxPopdown* b = asBox(self);
  vevent* e = eventOf(context);
  switch (selector) {
    case 3: {
      int answer = super()->issueSelector(self, selector, context);
      if (vcomboboxPopdownIsOpen(b) && !(e && e->type == kEventKeepsListOpen)) {
        rec(b)->closePopdown(b, nullptr);
        report(b, e, vcomboboxPOPPED_UP);
      }
      return answer;
    }
    case 4:
      if (!vcomboboxPopdownIsOpen(b)) return super()->issueSelector(self, selector, context);
      rec(b)->closePopdown(b, nullptr);
      report(b, e, vcomboboxPOPPED_UP);
      return 1;
    case 8: case 9: case 12: case 13: case 14: case 15: case 16: case 17: {
      int answer = 0;
      withFlags(b, vcomboboxPopdownNAVIGATING, [&] { answer = super()->issueSelector(self, selector, context); });
      return answer;
    }
    case vcomboboxOPEN_POPDOWN:
      if (!vcomboboxPopdownIsOpen(b)) {
        rec(b)->openPopdown(b);
        report(b, e, vcomboboxPOPPED_DOWN);
      }
      b->popdownFlags &= std::uint8_t(~vcomboboxPopdownFORWARDING);
      return 1;
    case vcomboboxCLOSE_POPDOWN:
      if (vcomboboxPopdownIsOpen(b)) {
        rec(b)->closePopdown(b, nullptr);
        report(b, e, vcomboboxPOPPED_UP);
      }
      b->popdownFlags &= std::uint8_t(~vcomboboxPopdownFORWARDING);
      return 1;
    default: return super()->issueSelector(self, selector, context);
  }
}

// The pop-down's own keys first, then the standard box's handling.
int keyDown(vdialogItem* self, vevent* e) {
  auto k = reinterpret_cast<const void*>(std::uintptr_t(veventGetKeyValue(e)) + 1);
  if (auto tag = static_cast<vname>(vdictGet(module()->keyMap, k)))
    if (_vdialogItemIssueKeyTag(self, tag, e)) return 1;
  vcomboboxPopdown* b = asBox(self);
  if (vcomboboxPopdownIsOpen(b) && veventGetBinding(e) == vnameInternLiteral("Abandon")) {
    abandonDrop(b, e);
    return 1;
  }
  return super()->keyDown(self, e);
}

// ---- Closing first.

void closeFirst(vdialogItem* self, void (*then)(vdialogItem*)) {
  vcomboboxPopdown* b = asBox(self);
  if (vcomboboxPopdownIsOpen(b)) rec(b)->closePopdown(b, nullptr);
  then(self);
}

// ---- Geometry.

int textInset(vcomboboxPopdown* b) {
  switch (lookId()) {
    case vlafWINDOWS: return (b->comboFlags & vcomboboxMODIFYABLE) ? 5 : -1;
    case vlafMOTIF: case vlafOPEN_LOOK: case vlafWIN95: return 0;
    case vlafCUA: return -2;
    default: return 8;
  }
}

void buttonSize(vcomboboxPopdown* b, int* w, int* h) { vdialogGetItemNaturalSize(b->button, w, h); }

bool motifFramed(vcomboboxPopdown* b) { return lookId() == vlafMOTIF && (b->flags & vdialogItemBORDER); }

void buttonRect(vcomboboxPopdown* b, vrect* out) {
  int bw = 0, bh = 0;
  rec(b)->buttonSize(b, &bw, &bh);
  int w = b->content.width, h = b->content.height;
  if (lookId() == vlafOPEN_LOOK) *out = {0, 0, s16(bw), s16(h)};
  else if (motifFramed(b)) *out = {s16(w - bw - 2), 2, s16(bw), s16(h - 4)};
  else *out = {s16(w - bw), 0, s16(bw), s16(h)};
}

void entryRect(vcomboboxPopdown* b, vrect* out) {
  int bw = 0, bh = 0;
  rec(b)->buttonSize(b, &bw, &bh);
  int t = rec(b)->textInset(b), w = b->content.width, h = b->content.height;
  if (lookId() == vlafOPEN_LOOK) *out = {s16(bw + t), 0, s16(w - bw - t), s16(h)};
  else if (motifFramed(b)) *out = {2, 2, s16(w - bw - t - 4), s16(h - 4)};
  else *out = {0, 0, s16(w - bw - t), s16(h)};
}

// The parts in the box's coordinates, inside its content: a bordered box
// keeps its frame clear of them.
void arrange(vcontainer* self, const vrect*) {
  vcomboboxPopdown* b = asBox(self);
  vrect entry, button;
  entryRect(b, &entry);
  buttonRect(b, &button);
  vdialogSetItemRect(b->entry, &entry);
  vdialogSetItemRect(b->button, &button);
}

void sizes(vcomboboxPopdown* b, int* w, int* h, bool natural) {
  int ew = 0, eh = 0, bw = 0, bh = 0;
  if (natural) vdialogGetItemNaturalSize(b->entry, &ew, &eh); else vdialogGetItemMinSize(b->entry, &ew, &eh);
  rec(b)->buttonSize(b, &bw, &bh);
  *w = ew + bw + rec(b)->textInset(b);
  *h = std::max(eh, bh);
  if (motifFramed(b)) *w += 4, *h += 4;
  if (natural && lookId() == vlafWIN95) {
    int cw = 0, ch = 0;
    vdialogGetItemNaturalSize(b->choice, &cw, &ch);
    *w = std::max(*w, cw);
  }
  if (b->flags & vdialogItemBORDER) {
    int border = int(vdialogGetItemLineWidth(b));
    if (border < 2 && (vlafGetCurrent()->flags & vlaf3D) && (b->containerFlags & vcontainerFLAT)) border = 2;
    *w += 2 * border;
    *h += 2 * border;
  }
}

// The ring between the frame and the content: in the field's colour, so
// that the frame holds one field and not a field on a grey mat.
void fillFieldRing(vcomboboxPopdown* b, const vrect& inside) {
  if (!b->entry) return;
  vrect content;
  vrectIntersect(&b->content, &inside, &content);
  if (content.width <= 0 || content.height <= 0) return;
  int top = inside.y + inside.height - (content.y + content.height), right = inside.x + inside.width - (content.x + content.width);
  const vrect bands[4] = {{inside.x, inside.y, inside.width, s16(content.y - inside.y)},
                          {inside.x, s16(content.y + content.height), inside.width, s16(top)},
                          {inside.x, content.y, s16(content.x - inside.x), content.height},
                          {s16(content.x + content.width), content.y, s16(right), content.height}};
  vdrawGSave();
  vdrawSetColor(vdialogGetItemColor(b->entry, vcolorBACKGROUND));
  for (const vrect& band : bands)
    if (band.width > 0 && band.height > 0) vdrawFillRects(&band, 1);
  vdrawGRestore();
}

void draw(vdialogItem* self) {
  vcomboboxPopdown* b = asBox(self);
  super()->draw(self);
  if (lookId() != vlafWIN95 || !(b->flags & vdialogItemBORDER) || !_vcontainerMeetsClip(b->rect)) return;
  // Sunken as every other entry: the shadows' dark halves over the top and left.
  vrect inner{s16(b->rect.x + 1), s16(b->rect.y + 1), s16(b->rect.width - 2), s16(b->rect.height - 2)};
  fillFieldRing(b, {s16(inner.x + 1), s16(inner.y + 1), s16(inner.width - 2), s16(inner.height - 2)});
  vdrawRectsFrameShaded(&b->rect, 1, nullptr, vdialogGetItemColor(b, vcolorSHADOW_BOTTOM),
                        vdialogGetItemColor(b, vcolorSHADOW_TOP));
  vdrawRectsFrameShaded(&inner, 1, nullptr, vdialogGetItemColor(b, vcolorSHADOW_BOTTOM_DARK),
                        vdialogGetItemColor(b, vcolorSHADOW_TOP_DARK));
}

// A press on a read-only box drops the list down, or takes it up again.
int buttonDown(vdialogItem* self, vevent* e) {
  vcomboboxPopdown* b = asBox(self);
  if (!modifyable(b) && vrectContainsPoint(&b->rect, veventGetX(e), veventGetY(e))) {
    if (b->popdownFlags & vcomboboxPopdownFORWARDING) return 1;  // the press handed on to the list comes back
    if (_vcomboboxPopdownTakeRaisingPress(b)) return 1;
    vbuttonPress(b->button);
    if (!vcomboboxPopdownIsOpen(b)) {
      rec(b)->openByEvent(b, e);
    } else {
      vbuttonRelease(b->button);
      rec(b)->closePopdown(b, e);
      report(b, e, vcomboboxPOPPED_UP);
    }
    return 1;
  }
  return super()->buttonDown(self, e);
}

int buttonUp(vdialogItem* self, vevent* e) {
  vcomboboxPopdown* b = asBox(self);
  b->popdownFlags &= std::uint8_t(~vcomboboxPopdownRAISED_BY_PRESS);
  if (b->button && (b->button->buttonFlags & vbuttonPRESSED)) vbuttonRelease(b->button);
  return super()->buttonUp(self, e);
}

vcomboboxChoicebox* createChoicebox(vcomboboxStandard* c) {
  auto* choice = static_cast<vcomboboxChoicebox*>(vinstanceCreate(module()->choiceClass));
  vlistitemSetAutoWidth(choice, 0);  // its cells hold values, not strings
  _vcomboboxPrepareChoiceList(c, choice, vlafGetCurrent()->lineWidth);
  return choice;
}

vcomboboxEntrybox* createEntrybox(vcomboboxStandard* c) {
  vcomboboxEntrybox* entry = super()->createEntrybox(c);
  if (lookId() == vlafWIN95) vdialogSetItemBorder(entry, 0);
  return entry;
}

int lookGap(vcomboboxStandard*) { return 0; }

}  // namespace

// ---- Opening, placing and closing (shared with the dialog's routing).

void _vcomboboxPopdownPlace(vcomboboxPopdown* b) {
  vwindow* window = boxWindow(b);
  if (!window) return;
  vrect box = b->rect;
  vdialogItemListTransformRect(b->owner, &box);
  vwindowTranslateRect(window, vwindowGetRoot(), &box, &box);
  const vrect root = vwindowGetRoot()->rect;
  int w = 0, h = 0;
  vdialogGetItemNaturalSize(b->choice, &w, &h);
  // The values shown whole: the frame and the scroll bar's strip beside them.
  int left = 0, right = 0, bottom = 0, top = 0;
  vlistviewClassOf(b->choice)->getInsets(b->choice, &left, &right, &bottom, &top);
  w += left + right;
  int look = lookId();
  vrect r{};
  auto clipped = [&](vrect candidate) {
    vrect both;
    vrectIntersect(&candidate, &root, &both);
    return both;
  };
  if (b->choice->visibleRows <= 0) {
    if (look != vlafWINDOWS) w = std::max<int>(w, box.width);
    int below = box.y - root.y, above = root.y + root.height - (box.y + box.height);
    r = {box.x, s16(below < above ? box.y + box.height : box.y - h), s16(w), s16(h)};
    r = clipped(r);
  } else {
    int border = int(vlafGetCurrent()->lineWidth);
    if (look == vlafWINDOWS || look == vlafCUA) {
      int shrink = look == vlafCUA ? 2 * border : border;
      box.y = s16(box.y + shrink);
      box.height = s16(box.height - 2 * shrink);
    } else {
      w = std::max<int>(w, box.width);
    }
    r = {s16(box.x + box.width - w), s16(box.y - h), s16(w), s16(h)};
    if (clipped(r).height < r.height) r.y = s16(box.y + box.height);
    vrect kept = clipped(r);
    if (kept.x != r.x) {
      r.width = s16(r.width - (kept.x - r.x));
      r.x = kept.x;
    }
  }
  vwindowSetRect(b->dialog, &r);
}

void _vcomboboxPopdownOpen(vcomboboxPopdown* b) {
  if (vcomboboxPopdownIsOpen(b)) return;
  if (!modifyable(b) && b->owner && (b->flags & vdialogItemFOCUSABLE)) vdialogItemListSetFocusItem(b->owner, b);
  vcomboboxPopdownDialog* d = b->dialog;
  vwindowClassRec* w = vwindowClassOf(d);
  w->setFont(d, vdialogDetermineItemFont(b));
  // The list takes the box's colours: its background and its foreground.
  w->setBackground(d, vdialogGetItemColor(b, 2));
  w->setForeground(d, vdialogGetItemColor(b, 0));
  rec(b)->placePopdown(b);
  rec(b)->layoutChoice(b);
  d->dialogFlags &= std::uint16_t(~(vdialogSIZE_PENDING | vdialogARRANGE_PENDING));
  if (vlafGetCurrent()->id == vlafWIN95 && !(d->decoration & vwindowDECO_SHADOW))
    vwindowClassOf(d)->setDecoration(d, std::uint16_t(d->decoration | vwindowDECO_SHADOW));
  // Bound to the box's window, the list stays above it.
  vwindowSetParent(d, boxWindow(b));
  forgetBeforeDrop(b);
  b->indexBeforeDrop = vcomboboxGetSelectedIndex(b);
  b->textBeforeDrop = vtextitemGetString(b->entry);
  vwindowOpen(d);
  rec(b)->layoutChoice(b);
  if (int selected = vcomboboxGetSelectedIndex(b); selected >= 0) vcomboboxShowIndex(b, selected);
}

// A press outside the list that closes it needs no posting again here:
// the window layer hands a press that ended a modal grab on to the window
// it fell in. That press may be one on the box itself, which must not drop
// the list again: the box remembers that a press took the list up.
void _vcomboboxPopdownClose(vcomboboxPopdown* b, vevent* e) {
  if (!vcomboboxPopdownIsOpen(b)) return;
  b->popdownFlags &= std::uint8_t(~vcomboboxPopdownCHOSEN);
  forgetBeforeDrop(b);
  vwindowClose(b->dialog);
  vwindowSetParent(b->dialog, nullptr);
  // The box that had the focus shows it again once the list is gone.
  if (!modifyable(b) && b->owner && vdialogItemListGetFocusItem(b->owner) == b && vdialogItemIsShown(b)) {
    vdialogItemClassRec* c = vdialogItemClassOf(b);
    vdrawGSave();
    vexGuard(
        [&] {
          c->setDrawingState(b);
          c->drawFocus(b);
        },
        [](vexHandler&) {
          vdrawGRestore();
          _vexGenerate(nullptr, vexEnd);
        });
    vdrawGRestore();
  }
  if (b->button && (b->button->buttonFlags & vbuttonPRESSED)) vbuttonRelease(b->button);
  if (e && e->type == veventBUTTON_DOWN) b->popdownFlags |= vcomboboxPopdownRAISED_BY_PRESS;
}

void _vcomboboxPopdownOpenByEvent(vcomboboxPopdown* b, vevent* e) {
  rec(b)->openPopdown(b);
  report(b, e, vcomboboxPOPPED_DOWN);
  if (!e || (e->type != veventBUTTON_DOWN && e->type != veventKEY_DOWN) || !vcomboboxPopdownIsOpen(b)) return;
  // The press goes on into the list, so that dragging into it and letting
  // go chooses in one gesture.
  vevent* copy = veventCopy(e);
  vwindow* from = veventGetWindow(e) ? veventGetWindow(e) : boxWindow(b);
  if (from) vwindowTranslateEvent(from, b->dialog, copy);
  veventSetWindow(copy, b->dialog);
  vwindowClassRec* d = vwindowClassOf(b->dialog);
  vexGuard(
      [&] {
        withFlags(b, vcomboboxPopdownFORWARDING, [&] {
          if (e->type == veventBUTTON_DOWN) d->handleButtonDown(b->dialog, copy);
          else d->handleKeyDown(b->dialog, copy);
        });
      },
      [&](vexHandler&) {
        veventDestroy(copy);
        _vexGenerate(nullptr, vexEnd);
      });
  veventDestroy(copy);
}

bool _vcomboboxPopdownTakeRaisingPress(vcomboboxPopdown* b) {
  if (!(b->popdownFlags & vcomboboxPopdownRAISED_BY_PRESS)) return false;
  b->popdownFlags &= std::uint8_t(~vcomboboxPopdownRAISED_BY_PRESS);
  return true;
}

namespace {

// The window layer passes the press on to where it fell.
void closeByEvent(vcomboboxPopdown* b, vevent* e) {
  rec(b)->closePopdown(b, nullptr);
  report(b, e, vcomboboxPOPPED_UP);
}

int hitTest(vcomboboxPopdown* b, int x, int y) {
  vrect cells;
  _vlistviewGetContentRect(b->choice, &cells);
  return vrectContainsPoint(&cells, x, y);
}

void layoutChoice(vcomboboxPopdown* b) {
  vrect r{0, 0, b->dialog->rect.width, b->dialog->rect.height};
  vdialogSetItemRect(b->choice, &r);
}

}  // namespace

namespace {

constexpr std::uint32_t kAlt = 1;
constexpr std::uint32_t keyValue(std::uint32_t code, std::uint32_t modifiers) { return code << 16 | modifiers; }

// "Open Popdown" and "Close Popdown" with Alt+Down and Alt+Up, over the
// standard box's commands and keys.
vcommandSpace* buildSpace(vcommandSpace* inherited) {
  auto* space = static_cast<vcommandSpace*>(vobjectClone(inherited));
  static const vcommandTableRow kSelectors[] = {{"Open Popdown", vcomboboxOPEN_POPDOWN},
                                                {"Close Popdown", vcomboboxCLOSE_POPDOWN}};
  vcommandSpaceAddDict(space, vname_Command,
                       vcommandCreateDictFromTable(vobjectGetCommandClass(), kSelectors, int(std::size(kSelectors))));
  struct KeyRow {
    const char* name;
    std::uint32_t key;
  };
  static constexpr KeyRow kKeys[] = {{"Open Popdown", keyValue(0xFC54, kAlt)}, {"Close Popdown", keyValue(0xFC52, kAlt)}};
  vdict* keys = vdictCreate(vdictHashName);
  for (const KeyRow& k : kKeys) {
    vcommandKeyList* list = vcommandCreateKeyList();
    vcommandAppendKeys(list, &k.key, 1);
    vdictStore(keys, vnameInternLiteral(k.name), list);
  }
  vcommandSpaceAddDict(space, vname_Key, keys);
  return space;
}

void exitContext() {
  auto* m = static_cast<Module*>(*moduleSlot);
  if (!m) return;
  if (m->keyMap) vdictDestroy(m->keyMap);
  if (m->attributes) vdictDestroy(m->attributes);
  if (m->cls && m->cls->space) vinstanceDestroy(m->cls->space);
  m->keyMap = m->attributes = nullptr;
}

Module* module() {
  if (auto* bound = vmoduleState<Module>(moduleSlot)) return bound;
  auto* m = static_cast<Module*>(vmoduleBindSlot(moduleSlot, sizeof(Module)));
  *m = Module{};
  auto* c = vclassSpawnOf<vcomboboxPopdownClassRec>(vcomboboxGetDefaultClass());
  vclassSetName(c, vscribeLiteral("vcomboboxPopdown"));
  c->instanceSize = sizeof(vcomboboxPopdown);
  c->defaultWidth = 100;
  switch (lookId()) {
    case vlafWINDOWS: case vlafWIN95: c->defaultHeight = 17; break;
    case vlafMOTIF: case vlafOPEN_LOOK: c->defaultHeight = 20; break;
    default: c->defaultHeight = 26; break;
  }
  vlafSetClassMSWSysColor(vlafCUA, 1, c, 2, 25);
  c->space = buildSpace(vcomboboxGetDefaultClass()->space);
  m->keyMap = vdictCreate(vdictHashPointer);
  vcommandSpaceVisitKeys(c->space, m->keyMap);
  m->attributes = vdictCopy(c->attributes);
  vdictResize(m->attributes, 64);
  c->attributes = m->attributes;
  c->init = init;
  c->destroy = destroy;
  c->copy = copy;
  c->copyInit = copyInit;
  c->loadInit = loadInit;
  c->store = store;
  c->issueSelector = issueSelector;
  c->keyDown = keyDown;
  c->close = [](vdialogItem* i) { closeFirst(i, super()->close); };
  c->hide = [](vdialogItem* i) { closeFirst(i, super()->hide); };
  c->disable = [](vdialogItem* i) { closeFirst(i, super()->disable); };
  c->naturalSize = [](vdialogItem* i, int* w, int* h) { sizes(asBox(i), w, h, true); };
  c->minSize = [](vdialogItem* i, int* w, int* h) { sizes(asBox(i), w, h, false); };
  c->draw = draw;
  c->buttonDown = buttonDown;
  c->buttonUp = buttonUp;
  c->arrange = arrange;
  c->createChoicebox = createChoicebox;
  c->createEntrybox = createEntrybox;
  c->lookGap = lookGap;
  c->makeButton = makeButton;
  c->buttonRect = buttonRect;
  c->buttonSize = buttonSize;
  c->textInset = textInset;
  c->closePopdown = _vcomboboxPopdownClose;
  c->hitTest = hitTest;
  c->openPopdown = _vcomboboxPopdownOpen;
  c->placePopdown = _vcomboboxPopdownPlace;
  c->closeByEvent = closeByEvent;
  c->openByEvent = _vcomboboxPopdownOpenByEvent;
  c->layoutChoice = layoutChoice;
  m->cls = c;
  m->buttonClass = _vcomboboxPopdownMakeButtonClass();
  m->dialogClass = _vcomboboxPopdownMakeDialogClass();
  m->choiceClass = _vcomboboxPopdownMakeChoiceClass();
  vmoduleAddContextExitProc(exitContext);
  return m;
}

}  // namespace

vcomboboxPopdownClassRec* vcomboboxPopdownGetDefaultClass() { return module()->cls; }
vbuttonClassRec* vcomboboxPopdownGetButtonClass() { return module()->buttonClass; }
vdialogClassRec* vcomboboxPopdownGetDialogClass() { return module()->dialogClass; }
vlistitemClassRec* vcomboboxPopdownGetChoiceboxClass() { return module()->choiceClass; }
vcomboboxPopdown* vcomboboxPopdownCreate() {
  return static_cast<vcomboboxPopdown*>(vinstanceCreate(vcomboboxPopdownGetDefaultClass()));
}
