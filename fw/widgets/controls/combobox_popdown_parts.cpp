// The pop-down combo box's parts: the arrow button drawn per look, the
// borderless dialog that routes the pointer and keys while the list is
// down, and the list inside it.
#include <algorithm>

#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/rect.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/controls/combobox_popdown_internal.h"
#include "fw/widgets/look/laf.h"

namespace {

int lookId() { return vlafGetCurrent()->id; }
std::int16_t s16(int v) { return std::int16_t(v); }
void report(vcomboboxPopdown* b, vevent* e, int code) { vcomboboxClassOf(b)->notifyCombo(b, e, code); }

// ---- The arrow button.

struct ButtonLook {
  int look;
  int minWidth, minHeight;
  int naturalImage;  // the look image whose size is the natural size, or -1
};
constexpr ButtonLook kButtonLooks[] = {
    {vlafWINDOWS, 17, 20, 69}, {vlafWIN95, 17, 20, 135}, {vlafMOTIF, 20, 12, -1},
    {vlafOPEN_LOOK, 16, 15, -1}, {vlafCUA, 16, 19, -1},
};
constexpr ButtonLook kOtherLook{-1, 16, 16, -1};

const ButtonLook& buttonLook() {
  for (const ButtonLook& l : kButtonLooks)
    if (l.look == lookId()) return l;
  return kOtherLook;
}

vbuttonClassRec* buttonSuper() { return vbuttonGetDefaultClass(); }
vcomboboxPopdownButton* asButton(vdialogItem* i) { return static_cast<vcomboboxPopdownButton*>(i); }
bool pressed(const vbutton* b) { return (b->buttonFlags & vbuttonPRESSED) != 0; }

void buttonMinSize(vdialogItem*, int* w, int* h) {
  *w = buttonLook().minWidth;
  *h = buttonLook().minHeight;
}

void buttonNaturalSize(vdialogItem* self, int* w, int* h) {
  buttonMinSize(self, w, h);
  if (buttonLook().naturalImage < 0) return;
  if (vimage* image = vlafGetImage(buttonLook().naturalImage)) {
    *w = image->width;
    *h = image->height;
  }
}

void drawImageCentred(int index, const vrect& r, int dx) {
  vimage* image = vlafGetImage(index);
  if (!image) return;
  vdrawPathMoveTo(r.x + (r.width - image->width) / 2 + dx, r.y + (r.height - image->height) / 2);
  vlafDrawImage(index);
}

vrect inset(const vrect& r, int by) {
  return {s16(r.x + by), s16(r.y + by), s16(r.width - 2 * by), s16(r.height - 2 * by)};
}

// A small solid arrow pointing down, centred: rows of 7, 5, 3 and 1 pixels.
void drawWin95Arrow(const vrect& r, int dx) {
  int cx = r.x + r.width / 2 + dx, top = r.y + (r.height + 4) / 2;
  for (int row = 0; row < 4; ++row) vdrawRectFill(cx - 3 + row, top - row - 1, 7 - 2 * row, 1);
}

void buttonDraw(vdialogItem* self) {
  vbutton* b = asButton(self);
  const vrect r = b->rect;
  bool down = pressed(b);
  vcolor* face = vdialogGetItemColor(b, 2);
  vcolor* ink = vdialogGetItemColor(b, 0);
  vcolor* light = vdialogGetItemColor(b, 6);
  vcolor* dark = vdialogGetItemColor(b, 4);
  if (down) std::swap(light, dark);
  vdrawGSave();
  vdrawSetColor(face);
  vdrawRectFill(r.x, r.y, r.width, r.height);
  vdrawSetColor(ink);
  switch (lookId()) {
    case vlafWINDOWS: {
      vrect in = inset(r, 1);
      vdrawRectsFrameShaded(&in, 1, nullptr, light, dark);
      drawImageCentred(51, r, down ? 2 : 0);
      vdrawSetColor(ink);
      vdrawRectsFrame(&r, 1);
      break;
    }
    case vlafMOTIF:
      vdrawRectsFrameShaded(&r, 1, nullptr, light, dark);
      vlafDrawVertArrow(r.x + r.width / 2, r.y + (r.height - 12) / 2, 12, 6, face, light, dark);
      break;
    case vlafOPEN_LOOK: {
      int x = r.x + (r.width - 15) / 2, y = r.y + (r.height - 15) / 2;
      if (!(vlafGetCurrent()->flags & vlaf3D)) {
        vdrawPathMoveTo(x, y);
        vlafDrawGlyph(22, 15);
        break;
      }
      // Layers of the glyph font: the button's face and edges, then the
      // arrow's, each in its own colour.
      struct Layer {
        int code, size, offset;
        vcolor* ink;
      };
      const Layer layers[] = {{53, 15, 0, face}, {51, 15, 0, light}, {52, 15, 0, dark},
                              {46, 7, 4, light}, {45, 7, 4, dark},   {47, 7, 4, ink}};
      for (const Layer& l : layers) {
        if (l.ink) vdrawSetColor(l.ink);
        vdrawPathMoveTo(x + l.offset, y + l.offset);
        vlafDrawGlyph(l.code, l.size);
      }
      break;
    }
    case vlafCUA: {
      vrect in = inset(r, 1);
      vdrawRectsFrameShaded(&r, 1, nullptr, light, dark);
      vdrawRectsFrameShaded(&in, 1, nullptr, light, dark);
      drawImageCentred(104, r, 0);
      break;
    }
    default: {
      // Raised at rest as a push button is, sunken while held.
      vcolor *top = vdialogGetItemColor(b, vcolorSHADOW_TOP), *bottom = vdialogGetItemColor(b, vcolorSHADOW_BOTTOM);
      vcolor *innerTop = vdialogGetItemColor(b, vcolorSHADOW_TOP_DARK);
      vcolor *innerBottom = vdialogGetItemColor(b, vcolorSHADOW_BOTTOM_DARK);
      if (down) std::swap(top, bottom), std::swap(innerTop, innerBottom);
      vrect in = inset(r, 1);
      vdrawRectsFrameShaded(&r, 1, nullptr, top, bottom);
      vdrawRectsFrameShaded(&in, 1, nullptr, innerTop, innerBottom);
      vdrawSetColor(ink);
      drawWin95Arrow(r, down ? 1 : 0);
      break;
    }
  }
  vdrawGRestore();
}

// A press on the arrow takes an open list up, else drops it down.
int buttonButtonDown(vdialogItem* self, vevent* e) {
  vcomboboxPopdown* box = _vcomboboxPopdownOf(self);
  if (!box) return buttonSuper()->buttonDown(self, e);
  if (box->popdownFlags & vcomboboxPopdownFORWARDING) return 1;
  if (_vcomboboxPopdownTakeRaisingPress(box)) return 1;
  if (vcomboboxPopdownIsOpen(box)) {
    vcomboboxPopdownClose(box, e);
    report(box, e, vcomboboxPOPPED_UP);
    return 1;
  }
  vbuttonPress(asButton(self));
  vcomboboxPopdownClassOf(box)->openByEvent(box, e);
  return 1;
}

int buttonButtonUp(vdialogItem* self, vevent*) {
  vbutton* b = asButton(self);
  if (vcomboboxPopdown* box = _vcomboboxPopdownOf(self))
    box->popdownFlags &= std::uint8_t(~vcomboboxPopdownRAISED_BY_PRESS);
  if (pressed(b)) vbuttonRelease(b);
  return 1;
}

// ---- The dialog.

vdialogClassRec* dialogSuper() { return vdialogGetDefaultClass(); }
vcomboboxPopdown* boxOf(vwindow* w) { return static_cast<vcomboboxPopdown*>(w->data); }

void dialogOpen(vwindow* w) {
  dialogSuper()->open(w);
  vwindowInvalAll(w, 0);
  if (vwindowMSWGetTopGrab() != w) vwindowGrab(w);
}

void dialogClose(vwindow* w) {
  if (vwindowIsOpen(w) && vwindowMSWGetTopGrab() == w) vwindowUngrab(w);
  dialogSuper()->close(w);
}

enum class Pointer { down, up, motion, drag };

int forwardToItem(vdialogItem* item, Pointer kind, vevent* e) {
  vdialogItemClassRec* c = vdialogItemClassOf(item);
  switch (kind) {
    case Pointer::down: return c->buttonDown(item, e);
    case Pointer::up: return c->buttonUp(item, e);
    case Pointer::motion: return c->motion(item, e);
    case Pointer::drag: return c->drag(item, e);
  }
  return 0;
}

// Inside the list the pointer chooses: a drag coming in from the arrow
// begins there as a press. Elsewhere it goes to the box in its own window;
// a press outside both takes the list up and reaches what lies under it.
int dialogPointer(vwindow* w, vevent* e, Pointer kind) {
  vcomboboxPopdown* box = boxOf(w);
  if (!box || !box->choice) return 0;
  vdialogItem* choice = box->choice;
  if (vrectContainsPoint(&choice->rect, veventGetX(e), veventGetY(e))) {
    bool chosen = (box->popdownFlags & vcomboboxPopdownCHOSEN) != 0;
    if (kind == Pointer::drag && !chosen) kind = Pointer::down;
    if (kind == Pointer::down || kind == Pointer::drag) box->popdownFlags |= vcomboboxPopdownCHOSEN;
    forwardToItem(choice, kind, e);
  } else {
    vwindow* target = box->owner ? box->owner->effective.window(box->owner->owner) : nullptr;
    vevent* copy = veventCopy(e);
    if (target) {
      vwindowTranslateEvent(w, target, copy);
      veventSetWindow(copy, target);
    }
    bool onBox = target && vrectContainsPoint(&box->rect, veventGetX(copy), veventGetY(copy));
    if (onBox) {
      vexGuard([&] { forwardToItem(box, kind, copy); },
               [&](vexHandler&) {
                 veventDestroy(copy);
                 _vexGenerate(nullptr, vexEnd);
               });
    }
    veventDestroy(copy);
    if (!onBox && kind == Pointer::down && !(box->popdownFlags & vcomboboxPopdownFORWARDING)) {
      vcomboboxPopdownClassOf(box)->closeByEvent(box, e);
      return 1;
    }
  }
  if (kind == Pointer::up && (box->popdownFlags & vcomboboxPopdownCHOSEN) && vcomboboxPopdownIsOpen(box)) {
    vcomboboxPopdownClose(box, nullptr);
    report(box, e, vcomboboxPOPPED_UP);
  }
  return 1;
}

// Typing goes on into the box, so the entry keeps working while the list is
// down. The key is bound as the box's window binds it (Down, Confirm,
// Cancel...): the grab handed it here instead.
int dialogKeyDown(vwindow* w, vevent* e) {
  vcomboboxPopdown* box = boxOf(w);
  if (!box) return 0;
  vwindow* target = box->owner ? box->owner->effective.window(box->owner->owner) : nullptr;
  if (target) {
    vwindowTranslateEvent(w, target, e);
    veventSetWindow(e, target);
    if (void* own = vwindowLookupKeyBinding(target, veventGetKeyValue(e))) veventSetBinding(e, static_cast<vname>(own));
  }
  return vdialogItemClassOf(box)->keyDown(box, e);
}

// ---- The list.

vlistitemClassRec* choiceSuper() { return vcomboboxGetChoiceboxClass(); }

void choiceDrawFrame(vlistview* v, const vrect* r) {
  if (lookId() != vlafWIN95) return choiceSuper()->drawFrame(v, r);
  vdrawGSave();
  vdrawSetColor(vdialogGetItemColor(v, 16));
  vdrawRectsFrame(r, 1);
  vdrawGRestore();
}

}  // namespace

vcomboboxPopdown* _vcomboboxPopdownOf(vdialogItem* part) {
  vcomboboxStandard* c = _vcomboboxFindStandard(part);
  return c && vclassIsSubclass(c->cls, vcomboboxPopdownGetDefaultClass()) ? static_cast<vcomboboxPopdown*>(c) : nullptr;
}

vbuttonClassRec* _vcomboboxPopdownMakeButtonClass() {
  auto* c = vclassSpawnOf<vbuttonClassRec>(vbuttonGetDefaultClass());
  vclassSetName(c, vscribeLiteral("vcomboboxPopdownButton"));
  c->instanceSize = sizeof(vcomboboxPopdownButton);
  c->minSize = buttonMinSize;
  c->naturalSize = buttonNaturalSize;
  c->draw = buttonDraw;
  c->buttonDown = buttonButtonDown;
  c->buttonUp = buttonButtonUp;
  c->motion = [](vdialogItem*, vevent*) { return 1; };
  c->drag = [](vdialogItem*, vevent*) { return 1; };
  return c;
}

vdialogClassRec* _vcomboboxPopdownMakeDialogClass() {
  auto* c = vclassSpawnOf<vdialogClassRec>(vdialogGetDefaultClass());
  vclassSetName(c, vscribeLiteral("vcomboboxPopdownDialog"));
  c->instanceSize = sizeof(vcomboboxPopdownDialog);
  c->open = dialogOpen;
  c->close = dialogClose;
  c->handleButtonDown = [](vwindow* w, vevent* e) { return dialogPointer(w, e, Pointer::down); };
  c->handleButtonUp = [](vwindow* w, vevent* e) { return dialogPointer(w, e, Pointer::up); };
  c->handleDragPending = [](vwindow* w, vevent* e) { return dialogPointer(w, e, Pointer::motion); };
  c->handleDrag = [](vwindow* w, vevent* e) { return dialogPointer(w, e, Pointer::drag); };
  c->handleKeyDown = dialogKeyDown;
  return c;
}

vlistitemClassRec* _vcomboboxPopdownMakeChoiceClass() {
  auto* c = vclassSpawnOf<vlistitemClassRec>(vcomboboxGetChoiceboxClass());
  vclassSetName(c, vscribeLiteral("vcomboboxPopdownChoicebox"));
  c->instanceSize = sizeof(vcomboboxPopdownChoicebox);
  c->drawFrame = choiceDrawFrame;
  if (lookId() == vlafWIN95) c->frameWidth = 1;
  return c;
}
