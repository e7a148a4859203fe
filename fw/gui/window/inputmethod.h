// The input-method interface: an object that a text view opens while it
// takes keys and tells where input goes. Every operation calls one of nine
// process-wide driver hooks; until a driver registers, each answers 0.
#pragma once
#include <cstdint>

#include "fw/core/class.h"

struct vwindow;

enum : std::uint16_t { vinputOPEN = 0x1 };

struct vinput : vobject {
  vobject* owner;
  std::int32_t area[4];
  std::int32_t secondArea[4];
  std::intptr_t driver;  // the driver's own word, set by its create hook
  std::uint16_t flags;
};

using vinputClassRec = vobjectClassRec;
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
// focus changes, and told of the object that owns a menu bar. This system
// has no input method: no context is made and the others do nothing.
void* vinputMSWCreateContext(vwindow* window);
void vinputMSWReleaseContext(void* context);
void vinputMSWFocusIn(void* context);
void vinputMSWFocusOut(void* context);
void vinputMSWMenuBarOwner(vobject* owner);
// The Windows module's driver: nine hooks that do nothing, registered when
// the window class is built.
void vinputMSWRegisterDriver();
