// The window layer's calls up into libraries built above fw_gui: one record
// of entries, installed once and whole before the first class is built.
// A program starts from vwindowDefaultHooks() (the stand-ins) and lets each
// higher library it links fill its own entries.
#pragma once
#include "fw/core/name.h"
#include "fw/core/resource.h"

struct vinstance;

struct vwindowHooks {
  // The help module: the application's name and the root its texts come from.
  void (*helpSetApplicationName)(vname name);
  void (*helpSetResourceRoot)(vresource root);
  vinstance* (*helpGetGlobalWindow)();
};

// The stand-ins: the settings do nothing; the global help window raises.
vwindowHooks vwindowDefaultHooks();
// Refused ("Module"/"State") once the window layer has read the record.
void vwindowInstallHooks(const vwindowHooks* hooks);
// The record in force; reading it fixes it.
const vwindowHooks& vwindowGetHooks();
