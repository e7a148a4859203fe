// The Windows calls the framework makes, under their Windows names, with
// the behaviour the framework relies on, written for Linux: windows live
// in a back-end (headless or X11), the registry and profile read text
// files and the environment.
#pragma once
#include "platform/win/types.h"
#include "platform/win/constants.h"
#include "platform/win/user.h"
#include "platform/win/gdi.h"
#include "platform/win/kernel.h"
#include "platform/win/commdlg.h"
