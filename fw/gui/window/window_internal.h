// What the window class's source files share.
#pragma once
#include "fw/gui/window/msw_internal.h"
#include "fw/gui/window/window_event.h"

inline vwindowClassRec* _vwindowRec(vwindow* w) { return vwindowClassOf(w); }
inline vwindow* _vwindowOf(vinstance* o) { return static_cast<vwindow*>(o); }
inline vwindow* _vwindowOf(vobject* o) { return static_cast<vwindow*>(o); }

// The parent, else the owning application (else the current one).
vobject* _vwindowContextOwner(vwindow* w);
vapplication* _vwindowApplication(vwindow* w);
void _vwindowSendChange(vwindow* w, vname name, const void* oldValue, const void* newValue);

// A binding's "Dispatch" query answers "Enabled" and its "State" query is not "Disabled".
bool _vwindowBindingEnabled(vobject* o, vname binding);

// Children (window_slots.cpp).
void _vwindowAddChild(vwindow* parent, vwindow* child);
void _vwindowRemoveChild(vwindow* parent, vwindow* child);  // absent: "Value"
// Closes an open window and its native side; answers whether it was open.
bool _vwindowCloseForChange(vwindow* w);

// Fills the class's slots, by file.
void _vwindowFillStateSlots(vwindowClassRec* c);     // window_slots.cpp
void _vwindowFillGeometrySlots(vwindowClassRec* c);  // window_geom.cpp
void _vwindowFillCommandSlots(vwindowClassRec* c);   // window_cmd.cpp
void _vwindowFillResourceSlots(vwindowClassRec* c);  // window_res.cpp
// Colour, second colour, font and line width of the window for drawing.
void _vwindowSetDrawingDefaults(vwindow* w);
// The object's help keys to the help window, beside rect when given.
void _vwindowShowHelp(vobject* o, const vrect* rect);
// The class-name hook.
void _vwindowClassNamed(vclass* cls);
// The extension record goes back to the pool.
void _vwindowReleaseExtension(vwindow* w);

// The root window, or null while the class is not built.
vwindow* _vwindowRootIfBuilt();
