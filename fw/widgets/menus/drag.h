// Dragging a picture across the whole screen: the picture is a small
// borderless window of its own that follows the pointer over every window
// and between them, so the screen under it comes back by itself as it
// moves and when the drag ends; the window under the pointer at the
// release receives the drop. One drag runs at a time.
#pragma once
#include <cstdint>

#include "fw/core/class.h"
#include "fw/core/event.h"
#include "fw/gui/graphics/image.h"
#include "fw/gui/graphics/rect.h"
#include "fw/gui/window/window.h"

struct vdrag;
using vdragDrawProc = void (*)(vdrag* drag, const vrect* rect);
using vdragDropProc = void (*)(vdrag* drag, vwindow* source, vwindow* target, vevent* event);
using vdragMotionProc = void (*)(vdrag* drag, vwindow* source, vwindow* under, vevent* event);

struct vdrag : vinstance {
  vdragDrawProc draw;
  vdragDropProc drop;
  vdragMotionProc motion;
  vwindow* source;
  vwindow* picture;  // the window showing the picture, while dragging
  std::int16_t hotX, hotY;
  std::int32_t width, height;
  vrect current;  // on the screen
  veventHandler savedMotion, savedUp, savedDown;
};

vinstanceClassRec* vdragGetDefaultClass();
vdrag* vdragCreate();
void vdragSetDrawProc(vdrag* drag, vdragDrawProc proc);
// "State" while another drag runs.
void vdragStart(vdrag* drag, vevent* event);
// "Null" for a null drag; nothing for a drag that is not the current one.
void vdragEnd(vdrag* drag);
vdrag* vdragGetCurrent();
// Called with the event at the start of every release a drag handles.
void vdragSetPreDropHook(void (*hook)(vevent* event));
