// What the application's source files share.
#pragma once
#include "fw/gui/window/application.h"

// The user store, opened once at class building; saved by an exit procedure.
void _vapplicationOpenUserStore();
vapplicationResourceFile* _vapplicationUserStore();
// The application resource file of app->name and its own preference dictionary.
void _vapplicationOpenFile(vapplication* app);
void _vapplicationReleaseFile(vapplicationResourceFile* file);
// The class-name hook: the class defaults from "Classes" / the class name.
void _vapplicationClassPreferences(vclass* cls);
vapplicationClassRec* _vapplicationClassIfBuilt();

// The window side of the application (dispatch.cpp): the dispatch table's
// handlers, the slots that pass broadcasts to the application's windows,
// and the change notices after the scheme was read again.
void _vapplicationFillDispatch(veventTable* table);
void _vapplicationFillWindowSlots(vapplicationClassRec* c);
void _vapplicationSchemeReloaded(vapplication* app, const vcolorScheme* before);
