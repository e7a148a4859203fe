#include "fw/gui/window/window_event.h"

// words[0] window, words[1] binding, words[2] x (low 32 bits) and y (high
// 32 bits), words[3] the small fields, words[4] the virtual key or the
// area rectangle.
namespace {

enum Shift : unsigned {
  kHeld = 16,
  kClicks = 24,
  kButton = 32,  // pointer events
  kKey = 16,
  kChar = 32,  // key events: modifiers, key code, character
};

std::uint64_t u(std::intptr_t w) { return static_cast<std::uint64_t>(w); }
std::intptr_t packed(std::uint64_t v) { return static_cast<std::intptr_t>(v); }
std::uint32_t field(const vevent* e, unsigned shift, std::uint64_t mask) {
  return static_cast<std::uint32_t>((u(e->words[3]) >> shift) & mask);
}
void setField(vevent* e, unsigned shift, std::uint64_t mask, std::uint64_t value) {
  std::uint64_t w = u(e->words[3]) & ~(mask << shift);
  e->words[3] = packed(w | ((value & mask) << shift));
}

vevent* make(int kind, vwindow* w) {
  vevent* e = veventCreate();
  e->type = kind;
  veventSetWindow(e, w);
  return e;
}

vevent* pointer(int kind, vwindow* w, int x, int y, std::uint32_t modifiers, int held, int clicks, int button) {
  vevent* e = make(kind, w);
  veventSetPosition(e, x, y);
  veventSetModifiers(e, modifiers);
  veventSetPointerFields(e, held, clicks, button);
  return e;
}

vevent* key(int kind, vwindow* w, int x, int y, std::uint32_t virtualKey, std::uint32_t modifiers, std::uint32_t code,
            int character) {
  vevent* e = make(kind, w);
  veventSetPosition(e, static_cast<std::int16_t>(x), static_cast<std::int16_t>(y));
  veventSetModifiers(e, modifiers);
  veventSetKeyFields(e, virtualKey, code, character);
  return e;
}

}  // namespace

vwindow* veventGetWindow(const vevent* e) { return reinterpret_cast<vwindow*>(e->words[0]); }
void veventSetWindow(vevent* e, vwindow* w) { e->words[0] = reinterpret_cast<std::intptr_t>(w); }
vname veventGetBinding(const vevent* e) { return reinterpret_cast<vname>(e->words[1]); }
void veventSetBinding(vevent* e, vname binding) { e->words[1] = reinterpret_cast<std::intptr_t>(binding); }

int veventGetX(const vevent* e) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(u(e->words[2]))); }
int veventGetY(const vevent* e) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(u(e->words[2]) >> 32)); }
void veventSetPosition(vevent* e, int x, int y) {
  e->words[2] = packed(static_cast<std::uint32_t>(x) | (std::uint64_t{static_cast<std::uint32_t>(y)} << 32));
}

std::uint32_t veventGetModifiers(const vevent* e) { return field(e, 0, 0xFFFF); }
void veventSetModifiers(vevent* e, std::uint32_t modifiers) { setField(e, 0, 0xFFFF, modifiers); }

int veventGetHeldCount(const vevent* e) { return static_cast<int>(field(e, kHeld, 0xFF)); }
int veventGetClickCount(const vevent* e) { return static_cast<int>(field(e, kClicks, 0xFF)); }
int veventGetButton(const vevent* e) { return static_cast<int>(field(e, kButton, 0xFF)); }
void veventSetPointerFields(vevent* e, int held, int clicks, int button) {
  setField(e, kHeld, 0xFF, static_cast<std::uint64_t>(held));
  setField(e, kClicks, 0xFF, static_cast<std::uint64_t>(clicks));
  setField(e, kButton, 0xFF, static_cast<std::uint64_t>(button));
}

std::uint32_t veventGetVirtualKey(const vevent* e) { return static_cast<std::uint32_t>(u(e->words[4])); }
std::uint32_t veventGetKey(const vevent* e) { return field(e, kKey, 0xFFFF); }
std::uint32_t veventGetKeyValue(const vevent* e) { return field(e, 0, 0xFFFFFFFF); }
int veventGetCharacter(const vevent* e) { return static_cast<int>(field(e, kChar, 0xFF)); }
void veventSetKeyFields(vevent* e, std::uint32_t virtualKey, std::uint32_t code, int character) {
  e->words[4] = packed(virtualKey);
  setField(e, kKey, 0xFFFF, code);
  setField(e, kChar, 0xFF, static_cast<std::uint64_t>(static_cast<unsigned char>(character)));
}

void veventGetRect(const vevent* e, vrect* r) {
  std::uint64_t w = u(e->words[4]);
  *r = vrect{static_cast<std::int16_t>(w), static_cast<std::int16_t>(w >> 16), static_cast<std::int16_t>(w >> 32),
             static_cast<std::int16_t>(w >> 48)};
}
int veventGetAreaFlags(const vevent* e) { return static_cast<int>(field(e, 0, 0xFF)); }
int veventGetStateCode(const vevent* e) { return static_cast<int>(field(e, 0, 0xFF)); }

vevent* veventCreateButtonDown(vwindow* w, int x, int y, std::uint32_t modifiers, int held, int clicks, int button) {
  return pointer(veventBUTTON_DOWN, w, x, y, modifiers, held, clicks, button);
}
vevent* veventCreateButtonUp(vwindow* w, int x, int y, std::uint32_t modifiers, int held, int clicks, int button) {
  return pointer(veventBUTTON_UP, w, x, y, modifiers, held, clicks, button);
}
vevent* veventCreatePointerMotion(int kind, vwindow* w, int x, int y, std::uint32_t modifiers, int held, int clicks) {
  return pointer(kind, w, x, y, modifiers, held, clicks, 0);
}
vevent* veventCreateMotion(vwindow* w, int x, int y, std::uint32_t modifiers, int held, int clicks) {
  return pointer(veventPOINTER_DRAG_LAST, w, x, y, modifiers, held, clicks, 0);
}
vevent* veventCreateEnter(vwindow* w, int x, int y, std::uint32_t modifiers, int held, int clicks) {
  return pointer(veventENTER, w, x, y, modifiers, held, clicks, 0);
}
vevent* veventCreateLeave(vwindow* w, int x, int y, std::uint32_t modifiers, int held, int clicks) {
  return pointer(veventLEAVE, w, x, y, modifiers, held, clicks, 0);
}

vevent* veventCreateArea(vwindow* w, const vrect* r, int flags) {
  vevent* e = make(veventWINDOW_AREA, w);
  e->words[4] = packed(std::uint64_t{static_cast<std::uint16_t>(r->x)} |
                       (std::uint64_t{static_cast<std::uint16_t>(r->y)} << 16) |
                       (std::uint64_t{static_cast<std::uint16_t>(r->width)} << 32) |
                       (std::uint64_t{static_cast<std::uint16_t>(r->height)} << 48));
  setField(e, 0, 0xFF, static_cast<std::uint64_t>(flags));
  return e;
}
vevent* veventCreateFocusIn(vwindow* w) { return make(veventFOCUS_IN, w); }
vevent* veventCreateFocusOut(vwindow* w) { return make(veventFOCUS_OUT, w); }
vevent* veventCreateKeyDown(vwindow* w, int x, int y, std::uint32_t virtualKey, std::uint32_t modifiers,
                            std::uint32_t code, int character) {
  return key(veventKEY_DOWN, w, x, y, virtualKey, modifiers, code, character);
}
vevent* veventCreateKeyUp(vwindow* w, int x, int y, std::uint32_t virtualKey, std::uint32_t modifiers,
                          std::uint32_t code, int character) {
  return key(veventKEY_UP, w, x, y, virtualKey, modifiers, code, character);
}
vevent* veventCreateWindowState(vwindow* w, int code) {
  vevent* e = make(veventWINDOW_STATE, w);
  setField(e, 0, 0xFF, static_cast<std::uint64_t>(code));
  return e;
}
vevent* veventCreateUpdate(vwindow* w) {
  vevent* e = make(veventUPDATE, w);
  e->priority = veventUPDATE_PRIORITY;
  return e;
}
