// Message numbers, style bits, indices and error codes, under their
// Windows names and values.
#pragma once
#include "platform/win/types.h"

namespace win {

// Messages.
inline constexpr UINT WM_NULL = 0x0000;
inline constexpr UINT WM_CREATE = 0x0001;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_MOVE = 0x0003;
inline constexpr UINT WM_SIZE = 0x0005;
inline constexpr UINT WM_ACTIVATE = 0x0006;
inline constexpr UINT WM_SETFOCUS = 0x0007;
inline constexpr UINT WM_KILLFOCUS = 0x0008;
inline constexpr UINT WM_SETTEXT = 0x000C;
inline constexpr UINT WM_GETTEXT = 0x000D;
inline constexpr UINT WM_GETTEXTLENGTH = 0x000E;
inline constexpr UINT WM_PAINT = 0x000F;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_QUERYENDSESSION = 0x0011;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_ERASEBKGND = 0x0014;
inline constexpr UINT WM_SYSCOLORCHANGE = 0x0015;
inline constexpr UINT WM_SHOWWINDOW = 0x0018;
inline constexpr UINT WM_WININICHANGE = 0x001A;
inline constexpr UINT WM_ACTIVATEAPP = 0x001C;
inline constexpr UINT WM_SETCURSOR = 0x0020;
inline constexpr UINT WM_MOUSEACTIVATE = 0x0021;
inline constexpr UINT WM_GETMINMAXINFO = 0x0024;
inline constexpr UINT WM_ICONERASEBKGND = 0x0027;
inline constexpr UINT WM_QUERYDRAGICON = 0x0037;
inline constexpr UINT WM_WINDOWPOSCHANGING = 0x0046;
inline constexpr UINT WM_WINDOWPOSCHANGED = 0x0047;
inline constexpr UINT WM_STYLECHANGING = 0x007C;
inline constexpr UINT WM_STYLECHANGED = 0x007D;
inline constexpr UINT WM_SETICON = 0x0080;
inline constexpr UINT WM_NCCREATE = 0x0081;
inline constexpr UINT WM_NCDESTROY = 0x0082;
inline constexpr UINT WM_NCCALCSIZE = 0x0083;
inline constexpr UINT WM_NCHITTEST = 0x0084;
inline constexpr UINT WM_NCACTIVATE = 0x0086;
inline constexpr UINT WM_NCMOUSEMOVE = 0x00A0;
inline constexpr UINT WM_NCLBUTTONDOWN = 0x00A1;
inline constexpr UINT WM_NCLBUTTONUP = 0x00A2;
inline constexpr UINT WM_NCRBUTTONDOWN = 0x00A4;
inline constexpr UINT WM_NCRBUTTONUP = 0x00A5;
inline constexpr UINT WM_NCMBUTTONDOWN = 0x00A7;
inline constexpr UINT WM_NCMBUTTONUP = 0x00A8;
inline constexpr UINT WM_KEYDOWN = 0x0100;
inline constexpr UINT WM_KEYUP = 0x0101;
inline constexpr UINT WM_CHAR = 0x0102;
inline constexpr UINT WM_DEADCHAR = 0x0103;
inline constexpr UINT WM_SYSKEYDOWN = 0x0104;
inline constexpr UINT WM_SYSKEYUP = 0x0105;
inline constexpr UINT WM_SYSCHAR = 0x0106;
inline constexpr UINT WM_SYSDEADCHAR = 0x0107;
inline constexpr UINT WM_IME_STARTCOMPOSITION = 0x010D;
inline constexpr UINT WM_IME_ENDCOMPOSITION = 0x010E;
inline constexpr UINT WM_IME_COMPOSITION = 0x010F;
inline constexpr UINT WM_INITDIALOG = 0x0110;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_SYSCOMMAND = 0x0112;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_INITMENUPOPUP = 0x0117;
inline constexpr UINT WM_MOUSEMOVE = 0x0200;
inline constexpr UINT WM_LBUTTONDOWN = 0x0201;
inline constexpr UINT WM_LBUTTONUP = 0x0202;
inline constexpr UINT WM_RBUTTONDOWN = 0x0204;
inline constexpr UINT WM_RBUTTONUP = 0x0205;
inline constexpr UINT WM_MBUTTONDOWN = 0x0207;
inline constexpr UINT WM_MBUTTONUP = 0x0208;
inline constexpr UINT WM_MDICREATE = 0x0220;
inline constexpr UINT WM_MDIDESTROY = 0x0221;
inline constexpr UINT WM_MDIACTIVATE = 0x0222;
inline constexpr UINT WM_CAPTURECHANGED = 0x0215;
inline constexpr UINT WM_RENDERFORMAT = 0x0305;
inline constexpr UINT WM_RENDERALLFORMATS = 0x0306;
inline constexpr UINT WM_DESTROYCLIPBOARD = 0x0307;
inline constexpr UINT CF_TEXT = 1;  // clipboard and DDE text
inline constexpr UINT WM_QUERYNEWPALETTE = 0x030F;
inline constexpr UINT WM_PALETTECHANGED = 0x0311;
inline constexpr UINT WM_USER = 0x0400;
// Registered messages take numbers from here up.
inline constexpr UINT MAXINTATOM = 0xC000;

// Window styles.
inline constexpr DWORD WS_OVERLAPPED = 0x00000000u;
inline constexpr DWORD WS_POPUP = 0x80000000u;
inline constexpr DWORD WS_CHILD = 0x40000000u;
inline constexpr DWORD WS_MINIMIZE = 0x20000000u;
inline constexpr DWORD WS_VISIBLE = 0x10000000u;
inline constexpr DWORD WS_DISABLED = 0x08000000u;
inline constexpr DWORD WS_CLIPSIBLINGS = 0x04000000u;
inline constexpr DWORD WS_CLIPCHILDREN = 0x02000000u;
inline constexpr DWORD WS_MAXIMIZE = 0x01000000u;
inline constexpr DWORD WS_BORDER = 0x00800000u;
inline constexpr DWORD WS_DLGFRAME = 0x00400000u;
inline constexpr DWORD WS_CAPTION = 0x00C00000u;
inline constexpr DWORD WS_VSCROLL = 0x00200000u;
inline constexpr DWORD WS_HSCROLL = 0x00100000u;
inline constexpr DWORD WS_SYSMENU = 0x00080000u;
inline constexpr DWORD WS_THICKFRAME = 0x00040000u;
inline constexpr DWORD WS_MINIMIZEBOX = 0x00020000u;
inline constexpr DWORD WS_MAXIMIZEBOX = 0x00010000u;
inline constexpr DWORD WS_OVERLAPPEDWINDOW = 0x00CF0000u;
inline constexpr DWORD WS_EX_DLGMODALFRAME = 0x00000001u;
inline constexpr DWORD WS_EX_TOPMOST = 0x00000008u;
inline constexpr DWORD WS_EX_TRANSPARENT = 0x00000020u;
inline constexpr DWORD WS_EX_TOOLWINDOW = 0x00000080u;
inline constexpr DWORD WS_EX_MDICHILD = 0x00000040u;

// Class styles.
inline constexpr UINT CS_VREDRAW = 0x0001;
inline constexpr UINT CS_HREDRAW = 0x0002;
inline constexpr UINT CS_DBLCLKS = 0x0008;
inline constexpr UINT CS_OWNDC = 0x0020;
inline constexpr UINT CS_SAVEBITS = 0x0800;
inline constexpr UINT CS_DROPSHADOW = 0x00020000;  // the screen darkens a band to the right and below

inline constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000u);

// Window and class words.
inline constexpr int GWLP_WNDPROC = -4;
inline constexpr int GWLP_HINSTANCE = -6;
inline constexpr int GWLP_HWNDPARENT = -8;
inline constexpr int GWLP_ID = -12;
inline constexpr int GWL_STYLE = -16;
inline constexpr int GWL_EXSTYLE = -20;
inline constexpr int GWLP_USERDATA = -21;
inline constexpr int GCLP_MENUNAME = -8;
inline constexpr int GCLP_HBRBACKGROUND = -10;
inline constexpr int GCLP_HCURSOR = -12;
inline constexpr int GCLP_HICON = -14;
inline constexpr int GCLP_HMODULE = -16;
inline constexpr int GCL_CBWNDEXTRA = -18;
inline constexpr int GCL_CBCLSEXTRA = -20;
inline constexpr int GCLP_WNDPROC = -24;
inline constexpr int GCL_STYLE = -26;

// Show commands.
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;
inline constexpr int SW_SHOWMAXIMIZED = 3;
inline constexpr int SW_MAXIMIZE = 3;
inline constexpr int SW_SHOWNOACTIVATE = 4;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_MINIMIZE = 6;
inline constexpr int SW_SHOWMINNOACTIVE = 7;
inline constexpr int SW_SHOWNA = 8;
inline constexpr int SW_RESTORE = 9;

// Window positions.
inline constexpr UINT SWP_NOSIZE = 0x0001;
inline constexpr UINT SWP_NOMOVE = 0x0002;
inline constexpr UINT SWP_NOZORDER = 0x0004;
inline constexpr UINT SWP_NOREDRAW = 0x0008;
inline constexpr UINT SWP_NOACTIVATE = 0x0010;
inline constexpr UINT SWP_FRAMECHANGED = 0x0020;
inline constexpr UINT SWP_SHOWWINDOW = 0x0040;
inline constexpr UINT SWP_HIDEWINDOW = 0x0080;
inline const HWND HWND_TOP = nullptr;
inline const HWND HWND_BOTTOM = reinterpret_cast<HWND>(std::uintptr_t{1});
inline const HWND HWND_BROADCAST = reinterpret_cast<HWND>(std::uintptr_t{0xFFFF});

inline constexpr WPARAM SIZE_RESTORED = 0;
inline constexpr WPARAM SIZE_MINIMIZED = 1;
inline constexpr WPARAM SIZE_MAXIMIZED = 2;
inline constexpr LRESULT WVR_VALIDRECTS = 0x0400;
inline constexpr LRESULT WVR_REDRAW = 0x0300;

inline constexpr UINT GW_HWNDFIRST = 0;
inline constexpr UINT GW_HWNDLAST = 1;
inline constexpr UINT GW_HWNDNEXT = 2;
inline constexpr UINT GW_HWNDPREV = 3;
inline constexpr UINT GW_OWNER = 4;
inline constexpr UINT GW_CHILD = 5;
inline constexpr WPARAM WA_INACTIVE = 0;
inline constexpr WPARAM WA_ACTIVE = 1;
inline constexpr WPARAM WA_CLICKACTIVE = 2;
// Hit-test codes (WM_NCHITTEST).
inline constexpr LRESULT HTERROR = -2;
inline constexpr LRESULT HTTRANSPARENT = -1;
inline constexpr LRESULT HTNOWHERE = 0;
inline constexpr LRESULT HTCLIENT = 1;
inline constexpr LRESULT HTCAPTION = 2;
inline constexpr LRESULT HTHSCROLL = 6;
inline constexpr LRESULT HTVSCROLL = 7;
inline constexpr LRESULT HTMINBUTTON = 8;
inline constexpr LRESULT HTMAXBUTTON = 9;
inline constexpr LRESULT HTLEFT = 10;
inline constexpr LRESULT HTRIGHT = 11;
inline constexpr LRESULT HTTOP = 12;
inline constexpr LRESULT HTTOPLEFT = 13;
inline constexpr LRESULT HTTOPRIGHT = 14;
inline constexpr LRESULT HTBOTTOM = 15;
inline constexpr LRESULT HTBOTTOMLEFT = 16;
inline constexpr LRESULT HTBOTTOMRIGHT = 17;
inline constexpr LRESULT HTBORDER = 18;
inline constexpr LRESULT HTCLOSE = 20;

// System information.
inline constexpr int SM_CXSCREEN = 0;
inline constexpr int SM_CYSCREEN = 1;
inline constexpr int SM_CXVSCROLL = 2;
inline constexpr int SM_CYHSCROLL = 3;
inline constexpr int SM_CYCAPTION = 4;
inline constexpr int SM_CXICON = 11;
inline constexpr int SM_CYICON = 12;
inline constexpr int SM_CXCURSOR = 13;
inline constexpr int SM_CYCURSOR = 14;
inline constexpr int SM_CYMENU = 15;
inline constexpr int SM_CXSIZE = 30;
inline constexpr int SM_CYSIZE = 31;
inline constexpr int SM_CXFRAME = 32;
inline constexpr int SM_CYFRAME = 33;
inline constexpr int SM_CXDOUBLECLK = 36;
inline constexpr int SM_CYDOUBLECLK = 37;
inline constexpr int SM_CXSMICON = 49;
inline constexpr int SM_CYSMICON = 50;
inline constexpr int SM_CYMENUSIZE = 55;
inline constexpr int SM_CXMENUCHECK = 71;
inline constexpr UINT SPI_GETICONTITLELOGFONT = 0x001F;
inline constexpr UINT SPI_GETNONCLIENTMETRICS = 0x0029;
inline constexpr UINT SPI_GETWORKAREA = 0x0030;
inline const char* const IDC_ARROW = reinterpret_cast<const char*>(std::uintptr_t{32512});
inline const char* const IDC_WAIT = reinterpret_cast<const char*>(std::uintptr_t{32514});
inline const char* const IDI_APPLICATION = reinterpret_cast<const char*>(std::uintptr_t{32512});
inline constexpr UINT MB_OK = 0;

inline constexpr LRESULT MA_ACTIVATE = 1;
inline constexpr LRESULT MA_ACTIVATEANDEAT = 2;
inline constexpr LRESULT MA_NOACTIVATE = 3;
inline constexpr LRESULT MA_NOACTIVATEANDEAT = 4;
inline constexpr WPARAM ICON_SMALL = 0;
inline constexpr WPARAM ICON_BIG = 1;
inline constexpr WPARAM SC_CLOSE = 0xF060;
inline constexpr WPARAM SC_MINIMIZE = 0xF020;
inline constexpr WPARAM SC_MAXIMIZE = 0xF030;
inline constexpr WPARAM SC_RESTORE = 0xF120;

// Message retrieval.
inline constexpr UINT PM_NOREMOVE = 0;
inline constexpr UINT PM_REMOVE = 1;

// Key and button states in mouse messages.
inline constexpr WPARAM MK_LBUTTON = 0x0001;
inline constexpr WPARAM MK_RBUTTON = 0x0002;
inline constexpr WPARAM MK_SHIFT = 0x0004;
inline constexpr WPARAM MK_CONTROL = 0x0008;
inline constexpr WPARAM MK_MBUTTON = 0x0010;

// Virtual keys. Letters and digits are their upper-case characters.
inline constexpr UINT VK_LBUTTON = 0x01;
inline constexpr UINT VK_RBUTTON = 0x02;
inline constexpr UINT VK_CANCEL = 0x03;
inline constexpr UINT VK_MBUTTON = 0x04;
inline constexpr UINT VK_BACK = 0x08;
inline constexpr UINT VK_TAB = 0x09;
inline constexpr UINT VK_CLEAR = 0x0C;
inline constexpr UINT VK_RETURN = 0x0D;
inline constexpr UINT VK_SHIFT = 0x10;
inline constexpr UINT VK_CONTROL = 0x11;
inline constexpr UINT VK_MENU = 0x12;
inline constexpr UINT VK_PAUSE = 0x13;
inline constexpr UINT VK_CAPITAL = 0x14;
inline constexpr UINT VK_ESCAPE = 0x1B;
inline constexpr UINT VK_SPACE = 0x20;
inline constexpr UINT VK_PRIOR = 0x21;
inline constexpr UINT VK_NEXT = 0x22;
inline constexpr UINT VK_END = 0x23;
inline constexpr UINT VK_HOME = 0x24;
inline constexpr UINT VK_LEFT = 0x25;
inline constexpr UINT VK_UP = 0x26;
inline constexpr UINT VK_RIGHT = 0x27;
inline constexpr UINT VK_DOWN = 0x28;
inline constexpr UINT VK_SELECT = 0x29;
inline constexpr UINT VK_PRINT = 0x2A;
inline constexpr UINT VK_EXECUTE = 0x2B;
inline constexpr UINT VK_SNAPSHOT = 0x2C;
inline constexpr UINT VK_INSERT = 0x2D;
inline constexpr UINT VK_DELETE = 0x2E;
inline constexpr UINT VK_HELP = 0x2F;
inline constexpr UINT VK_LWIN = 0x5B;
inline constexpr UINT VK_RWIN = 0x5C;
inline constexpr UINT VK_APPS = 0x5D;
inline constexpr UINT VK_NUMPAD0 = 0x60;
inline constexpr UINT VK_NUMPAD9 = 0x69;
inline constexpr UINT VK_MULTIPLY = 0x6A;
inline constexpr UINT VK_ADD = 0x6B;
inline constexpr UINT VK_SEPARATOR = 0x6C;
inline constexpr UINT VK_SUBTRACT = 0x6D;
inline constexpr UINT VK_DECIMAL = 0x6E;
inline constexpr UINT VK_DIVIDE = 0x6F;
inline constexpr UINT VK_F1 = 0x70;
inline constexpr UINT VK_F4 = 0x73;
inline constexpr UINT VK_F6 = 0x75;
inline constexpr UINT VK_F10 = 0x79;
inline constexpr UINT VK_F12 = 0x7B;
inline constexpr UINT VK_F24 = 0x87;
inline constexpr UINT VK_NUMLOCK = 0x90;
inline constexpr UINT VK_SCROLL = 0x91;
inline constexpr UINT VK_LSHIFT = 0xA0;
inline constexpr UINT VK_RSHIFT = 0xA1;
inline constexpr UINT VK_LCONTROL = 0xA2;
inline constexpr UINT VK_RCONTROL = 0xA3;
inline constexpr UINT VK_LMENU = 0xA4;
inline constexpr UINT VK_RMENU = 0xA5;
inline constexpr UINT VK_OEM_1 = 0xBA;       // ;:
inline constexpr UINT VK_OEM_PLUS = 0xBB;    // =+
inline constexpr UINT VK_OEM_COMMA = 0xBC;   // ,<
inline constexpr UINT VK_OEM_MINUS = 0xBD;   // -_
inline constexpr UINT VK_OEM_PERIOD = 0xBE;  // .>
inline constexpr UINT VK_OEM_2 = 0xBF;       // /?
inline constexpr UINT VK_OEM_3 = 0xC0;       // `~
inline constexpr UINT VK_OEM_4 = 0xDB;       // [{
inline constexpr UINT VK_OEM_5 = 0xDC;       // \|
inline constexpr UINT VK_OEM_6 = 0xDD;       // ]}
inline constexpr UINT VK_OEM_7 = 0xDE;       // '"
inline constexpr UINT VK_OEM_102 = 0xE2;     // the extra key beside left Shift

// MapVirtualKeyA translations.
inline constexpr UINT MAPVK_VK_TO_VSC = 0;
inline constexpr UINT MAPVK_VSC_TO_VK = 1;
inline constexpr UINT MAPVK_VK_TO_CHAR = 2;

// Hooks.
inline constexpr int WH_MSGFILTER = -1;
inline constexpr int MSGF_DIALOGBOX = 0;
inline constexpr int MSGF_MENU = 2;
inline constexpr int MSGF_MOVE = 3;
inline constexpr int MSGF_SIZE = 4;

// Kernel.
inline constexpr UINT GMEM_FIXED = 0x0000;
inline constexpr UINT GMEM_MOVEABLE = 0x0002;
inline constexpr UINT GMEM_ZEROINIT = 0x0040;
inline constexpr DWORD HEAP_ZERO_MEMORY = 0x00000008;
inline constexpr UINT SEM_FAILCRITICALERRORS = 0x0001;
inline constexpr UINT SEM_NOOPENFILEERRORBOX = 0x8000;
inline constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x0001;
inline constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x0002;
inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x0010;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x0080;
inline const HANDLE INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(~std::uintptr_t{0});
inline constexpr DWORD MAX_COMPUTERNAME_LENGTH = 15;

// Error codes of GetLastError and of the registry calls.
inline constexpr LONG ERROR_SUCCESS = 0;
inline constexpr LONG ERROR_FILE_NOT_FOUND = 2;
inline constexpr LONG ERROR_PATH_NOT_FOUND = 3;
inline constexpr LONG ERROR_INVALID_HANDLE = 6;
inline constexpr LONG ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr LONG ERROR_NO_MORE_FILES = 18;
inline constexpr LONG ERROR_INVALID_PARAMETER = 87;
inline constexpr LONG ERROR_BUFFER_OVERFLOW = 111;
inline constexpr LONG ERROR_MOD_NOT_FOUND = 126;
inline constexpr LONG ERROR_PROC_NOT_FOUND = 127;
inline constexpr LONG ERROR_MORE_DATA = 234;
inline constexpr LONG ERROR_NO_MORE_ITEMS = 259;
inline constexpr LONG ERROR_INVALID_WINDOW_HANDLE = 1400;
inline constexpr LONG ERROR_INVALID_MENU_HANDLE = 1401;
inline constexpr LONG ERROR_INVALID_HOOK_HANDLE = 1404;
inline constexpr LONG ERROR_TLW_WITH_WSCHILD = 1406;
inline constexpr LONG ERROR_CANNOT_FIND_WND_CLASS = 1407;
inline constexpr LONG ERROR_CLASS_ALREADY_EXISTS = 1410;
inline constexpr LONG ERROR_CLASS_DOES_NOT_EXIST = 1411;
inline constexpr LONG ERROR_CLASS_HAS_WINDOWS = 1412;
inline constexpr LONG ERROR_INVALID_INDEX = 1413;

}  // namespace win
