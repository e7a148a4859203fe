// The input-method interface: an object that a text view opens while it
// takes keys and tells where input goes. Every operation calls one of nine
// process-wide driver hooks; until a driver registers, each answers 0.
//
// - **Input methods** (`inputmethod.h`): `vinputClass` objects call nine process-wide driver hooks
//   (answering 0 until `vinputRegisterDriver`); open and close call theirs only on a change, destroy
//   closes first. The Windows module has no input method: the window class registers hooks that do
//   nothing, and the per-window context calls (`vinputMSW...`, made when a native side opens and
//   closes) make no context.
#pragma once
#include <cstdint>

#include "fw/core/class.h"
#include "platform/win.h"

struct vwindow;

enum : std::uint16_t { vinputOPEN = 0x1 };

struct vinput : vobject {
  vobject* owner;
  std::int32_t area[4];
  std::int32_t secondArea[4];
  std::intptr_t driver;  // the driver's own word, set by its create hook
  std::uint16_t flags;
};

// One change of a composition, as the system's input method reports it.
struct vinputUpdate {
  std::int32_t position;  // of the change inside the composition
  std::int32_t removed;   // composed characters taken out there
  std::int32_t inserted;  // bytes of chars put in their place
  const char* chars;
  std::int32_t cursor;  // the composition cursor
  // The converted part inside the composition; a negative start keeps the
  // present one, moved with the change.
  std::int32_t conversionStart, conversionLength;
  std::uint32_t committed;  // the composition ends, its characters kept
};

struct vinputClassRec : vobjectClassRec {
  // Shows the change in the owner (the base class ignores it).
  void (*updateComposition)(vinput* input, const vinputUpdate* update);
};
using vinputHook = int (*)(vinput* input);

vinputClassRec* vinputGetClass();
vinput* vinputCreate();
void vinputDestroy(vinput* input);
void vinputSetOwner(vinput* input, vobject* owner);
void vinputOpen(vinput* input);   // the open hook only when closed
void vinputClose(vinput* input);  // the close hook only when open
void vinputNotify1(vinput* input);
void vinputNotify2(vinput* input);
void vinputNotify3(vinput* input);
void vinputSetArea(vinput* input, std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d);
void vinputSetSecondArea(vinput* input, std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d);
// Replaces all nine hooks at once; a null hook answers 0.
void vinputRegisterDriver(vinputHook create, vinputHook destroy, vinputHook open, vinputHook close,
                          vinputHook notify1, vinputHook notify2, vinputHook notify3, vinputHook setArea,
                          vinputHook setSecondArea);

// The per-window input-method context of the Windows module: asked for
// when a window's native side opens and released when it closes, told of
// focus changes, and told of the object that owns a menu bar. The
// platform keeps one context for all windows: none is made here.
void* vinputMSWCreateContext(vwindow* window);
void vinputMSWReleaseContext(void* context);
void vinputMSWFocusIn(void* context);
void vinputMSWFocusOut(void* context);
void vinputMSWMenuBarOwner(vobject* owner);
// The Windows module's driver, registered when the window class is built:
// the input that has the keyboard (given it by its focus-in notice) gets
// the platform's compositions; its completion notice drops a composition
// the platform still holds.
void vinputMSWRegisterDriver();
// A window's WM_IME_ message: shown in the input that has the keyboard.
// False when no input takes it (the window's default turns committed text
// into characters).
bool vinputMSWComposition(win::HWND hwnd, win::UINT message, win::LPARAM lParam);
