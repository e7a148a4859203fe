// The one Desktop Window Manager call the framework makes: where a
// top-level window's frame, drawn by the window manager, lies.
#pragma once
#include "platform/win/types.h"

namespace win {

using HRESULT = LONG;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
inline constexpr DWORD DWMWA_EXTENDED_FRAME_BOUNDS = 9;

// DWMWA_EXTENDED_FRAME_BOUNDS: a top-level window's rectangle on the screen
// with the frame the window manager draws around it (the rectangle alone
// where there is none, or while it is not known).
HRESULT DwmGetWindowAttribute(HWND hwnd, DWORD attribute, void* value, DWORD size);

}  // namespace win
