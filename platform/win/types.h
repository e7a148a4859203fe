// Integer types, handles and structures of the Windows calls. Structures
// keep the Windows field order with fixed-width fields; handles, message
// parameters and results are pointer-sized on this 64-bit host.
#pragma once
#include <cstddef>
#include <cstdint>

namespace win {

using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using SHORT = std::int16_t;
using UINT = std::uint32_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using ATOM = std::uint16_t;
using ULONGLONG = std::uint64_t;
using SIZE_T = std::size_t;
using LONG_PTR = std::intptr_t;
using ULONG_PTR = std::uintptr_t;
using UINT_PTR = std::uintptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using COLORREF = std::uint32_t;

// Every handle kind is its own opaque pointer type, so one kind never
// converts to another without a cast. The values are never addresses.
struct HWND__;
struct HMENU__;
struct HINSTANCE__;
struct HICON__;
struct HBRUSH__;
struct HHOOK__;
struct HGLOBAL__;
struct HDC__;
struct HBITMAP__;
struct HRGN__;
struct HPEN__;
struct HFONT__;
struct HPALETTE__;
struct HACCEL__;
struct HIMC__;
using HWND = HWND__*;
using HMENU = HMENU__*;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
using HICON = HICON__*;
using HCURSOR = HICON;
using HBRUSH = HBRUSH__*;
using HHOOK = HHOOK__*;
using HGLOBAL = HGLOBAL__*;
using HDC = HDC__*;
using HBITMAP = HBITMAP__*;
using HRGN = HRGN__*;
using HPEN = HPEN__*;
using HFONT = HFONT__*;
using HPALETTE = HPALETTE__*;
using HACCEL = HACCEL__*;
using HIMC = HIMC__*;
// Any drawing object: every kind above converts to it.
using HGDIOBJ = void*;
using HANDLE = void*;

struct KeyRec;
using HKEY = KeyRec*;

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);
using HOOKPROC = LRESULT (*)(int, WPARAM, LPARAM);
using FARPROC = LONG_PTR (*)();

struct POINT {
  LONG x, y;
};

struct SIZE {
  LONG cx, cy;
};

struct RECT {
  LONG left, top, right, bottom;
};

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};

struct WNDCLASSA {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  const char* lpszMenuName;
  const char* lpszClassName;
};

struct CREATESTRUCTA {
  void* lpCreateParams;
  HINSTANCE hInstance;
  HMENU hMenu;
  HWND hwndParent;
  int cy, cx, y, x;
  LONG style;
  const char* lpszName;
  const char* lpszClass;
  DWORD dwExStyle;
};

// What WM_MDICREATE asks of a multiple-document client.
struct MDICREATESTRUCTA {
  const char* szClass;
  const char* szTitle;
  HANDLE hOwner;
  int x, y, cx, cy;
  DWORD style;
  LPARAM lParam;
};

// An icon or cursor: the AND mask (twice the height, the XOR image below,
// when there is no colour image) and the colour image.
struct ICONINFO {
  BOOL fIcon;
  DWORD xHotspot;
  DWORD yHotspot;
  HBITMAP hbmMask;
  HBITMAP hbmColor;
};

struct WINDOWPOS {
  HWND hwnd;
  HWND hwndInsertAfter;
  int x, y, cx, cy;
  UINT flags;
};

struct NCCALCSIZE_PARAMS {
  RECT rgrc[3];
  WINDOWPOS* lppos;
};

struct MINMAXINFO {
  POINT ptReserved;
  POINT ptMaxSize;
  POINT ptMaxPosition;
  POINT ptMinTrackSize;
  POINT ptMaxTrackSize;
};

struct STYLESTRUCT {
  DWORD styleOld;
  DWORD styleNew;
};

struct LOGFONTA {
  LONG lfHeight;
  LONG lfWidth;
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  char lfFaceName[32];
};

struct NONCLIENTMETRICSA {
  UINT cbSize;
  int iBorderWidth;
  int iScrollWidth;
  int iScrollHeight;
  int iCaptionWidth;
  int iCaptionHeight;
  LOGFONTA lfCaptionFont;
  int iSmCaptionWidth;
  int iSmCaptionHeight;
  LOGFONTA lfSmCaptionFont;
  int iMenuWidth;
  int iMenuHeight;
  LOGFONTA lfMenuFont;
  LOGFONTA lfStatusFont;
  LOGFONTA lfMessageFont;
};

struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};

struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  char cFileName[260];
  char cAlternateFileName[14];
};

inline constexpr WORD LOWORD(std::uintptr_t v) { return static_cast<WORD>(v & 0xFFFF); }
inline constexpr WORD HIWORD(std::uintptr_t v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
inline constexpr LPARAM MAKELPARAM(int lo, int hi) {
  return static_cast<LPARAM>(static_cast<DWORD>(static_cast<WORD>(lo)) | (static_cast<DWORD>(static_cast<WORD>(hi)) << 16));
}

}  // namespace win
