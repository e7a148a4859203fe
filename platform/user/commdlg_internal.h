// What the scripted common dialogs share: the error CommDlgExtendedError
// reports, a hidden stand-in window of a class of their own, and letting
// the queue run while a dialog is up.
#pragma once
#include "platform/win.h"

namespace win::internal {

void setCommonDialogError(DWORD error);
// A hidden window (WS_POPUP owned by parent, or WS_CHILD of it) of the
// class, registered with the procedure on first use.
HWND createStandInWindow(const char* className, WNDPROC proc, const char* title, DWORD style, int width, int height,
                         HWND parent, int id = 0);
// Dispatches what is queued (the hook's timers among it) until the
// platform clock reaches due, at least one pass; a WM_QUIT ends it early
// and stays queued. The procedures ignore this timer of their window.
inline constexpr UINT_PTR kStandInWakeTimer = 0x7FF0;
void pumpUntil(HWND window, ULONGLONG due);

}  // namespace win::internal
