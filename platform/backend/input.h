// What a back-end (and the test API) tells the core about the user. Every
// call queues input messages or changes window state as Windows would;
// positions are screen pixels, surfaces are named by their window.
#pragma once
#include <string>

#include "platform/backend/backend.h"

namespace win::backend {

enum class Button : std::uint8_t { left, middle, right };

void InputPointerMoved(POINT screen);
// The Shift, Ctrl and button states a display reports with a pointer event
// (as before it): presses and releases that went to another program are
// made good without messages, so that the MK_ bits are the display's.
struct PointerState {
  bool shift = false, control = false, left = false, middle = false, right = false;
};
void InputPointerState(const PointerState& state);
// Whether the display holds Alt, told with every key and pointer event: Alt
// let go while another program had the keyboard (a window manager's
// Alt+F4) is released here with its message before the event, so what
// counts the modifiers of the last key message, and Alt alone, see it up.
void InputAltState(bool held);
void InputButton(POINT screen, Button button, bool down);
// `character` is the Windows-1252 character the key makes, or -1 when the
// back-end does not know it.
void InputKey(UINT virtualKey, UINT scanCode, bool extended, bool down, int character);
// The system's input method (Windows-1252 text): what is being composed,
// with the cursor in it (empty: nothing any more), and text it commits.
void InputComposition(const std::string& text, int cursor);
void InputCommit(const std::string& text);
// The display's Caps Lock and NumLock toggles, which it keeps itself.
void InputLockState(bool capsLock, bool numLock);
void InputActivated(HWND surface);  // null: another program is active
void InputCloseRequested(HWND surface);
void InputConfigured(HWND surface, const RECT& outer);
void InputStateChanged(HWND surface, SurfaceState state);
void InputExposed(HWND surface, const RECT& area);
// Another program took the clipboard: our owner gets WM_DESTROYCLIPBOARD
// and reads see the back-end's ForeignClipboardText from now on.
void InputClipboardLost();
// The text this program offers on the clipboard (delayed text rendered
// first), for the back-end to serve to other programs; none when it offers
// no text or does not own the clipboard.
std::optional<std::string> ServeClipboardText();

}  // namespace win::backend
