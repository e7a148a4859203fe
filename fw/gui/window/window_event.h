// The window events' fields, packed into the event record's type-specific
// words: the window and the binding the dispatch sets are pointer-sized;
// positions are 32-bit; the small fields share one word.
#pragma once
#include <cstdint>

#include "fw/core/event.h"
#include "fw/core/name.h"
#include "fw/core/rect.h"

struct vwindow;

enum : int {
  veventWINDOW_AREA = 5,
  veventFOCUS_IN = 6,
  veventFOCUS_OUT = 7,
  veventKEY_UP = 9,
  veventENTER = 10,
  veventLEAVE = 11,
  veventWINDOW_STATE = 12,
  veventUPDATE = 13,
};
inline constexpr int veventUPDATE_PRIORITY = 63;

// Modifier bits; 8 is the command modifier the dispatch puts in place of
// the command-key bits.
enum : std::uint32_t {
  veventMOD_ALT = 1,
  veventMOD_CONTROL = 2,
  veventMOD_SHIFT = 4,
  veventMOD_COMMAND = 8,
  veventMOD_BUTTONS = 0x1F0,
};

// Window-state codes.
enum : int {
  veventSTATE_SHOWN = 0,
  veventSTATE_CLOSE = 1,
  veventSTATE_MAXIMIZED = 2,
  veventSTATE_RESTORED = 3,
  veventSTATE_ICONIFIED = 4,
  veventSTATE_DEICONIFIED = 5,
  veventSTATE_MARK = 6,
  veventSTATE_UNMARK = 7,
};

vwindow* veventGetWindow(const vevent* e);
void veventSetWindow(vevent* e, vwindow* w);
vname veventGetBinding(const vevent* e);  // a command tag, or null
void veventSetBinding(vevent* e, vname binding);
int veventGetX(const vevent* e);
int veventGetY(const vevent* e);
void veventSetPosition(vevent* e, int x, int y);
std::uint32_t veventGetModifiers(const vevent* e);  // 16 bits
void veventSetModifiers(vevent* e, std::uint32_t modifiers);
int veventGetHeldCount(const vevent* e);
int veventGetClickCount(const vevent* e);
int veventGetButton(const vevent* e);
void veventSetPointerFields(vevent* e, int held, int clicks, int button);
// Key events.
std::uint32_t veventGetVirtualKey(const vevent* e);
std::uint32_t veventGetKey(const vevent* e);  // 16-bit framework key code
int veventGetCharacter(const vevent* e);      // 0 when none
// The key value bindings are keyed by: key code << 16 | modifiers.
std::uint32_t veventGetKeyValue(const vevent* e);
void veventSetKeyFields(vevent* e, std::uint32_t virtualKey, std::uint32_t key, int character);
// Area events: the new rectangle and flags 1 moved, 2 resized (with 4).
void veventGetRect(const vevent* e, vrect* r);
int veventGetAreaFlags(const vevent* e);
// Window-state events.
int veventGetStateCode(const vevent* e);

// Constructors: a pooled event of the kind with the given fields, the
// others zero.
vevent* veventCreateButtonDown(vwindow* w, int x, int y, std::uint32_t modifiers, int held, int clicks, int button);
vevent* veventCreateButtonUp(vwindow* w, int x, int y, std::uint32_t modifiers, int held, int clicks, int button);
// Kinds 3, 4 and 14.
vevent* veventCreatePointerMotion(int kind, vwindow* w, int x, int y, std::uint32_t modifiers, int held, int clicks);
vevent* veventCreateMotion(vwindow* w, int x, int y, std::uint32_t modifiers, int held, int clicks);  // kind 4
vevent* veventCreateEnter(vwindow* w, int x, int y, std::uint32_t modifiers, int held, int clicks);
vevent* veventCreateLeave(vwindow* w, int x, int y, std::uint32_t modifiers, int held, int clicks);
vevent* veventCreateArea(vwindow* w, const vrect* r, int flags);
vevent* veventCreateFocusIn(vwindow* w);
vevent* veventCreateFocusOut(vwindow* w);
vevent* veventCreateKeyDown(vwindow* w, int x, int y, std::uint32_t virtualKey, std::uint32_t modifiers,
                            std::uint32_t key, int character);
vevent* veventCreateKeyUp(vwindow* w, int x, int y, std::uint32_t virtualKey, std::uint32_t modifiers,
                          std::uint32_t key, int character);
vevent* veventCreateWindowState(vwindow* w, int code);
vevent* veventCreateUpdate(vwindow* w);  // priority 63
