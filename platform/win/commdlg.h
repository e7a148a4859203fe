// The print dialogs and their records. The pseudo printer "PNG Printer"
// (driver "WINSPOOL", port "FILE:") is the only printer; the Print and
// Print Setup dialogs are scripted stand-ins (win::test::QueuePrintAnswer).
#pragma once
#include "platform/win/types.h"

namespace win {

// The device mode as Windows lays it out: 148 bytes.
struct DEVMODEA {
  char dmDeviceName[32];
  WORD dmSpecVersion, dmDriverVersion, dmSize, dmDriverExtra;
  DWORD dmFields;
  short dmOrientation, dmPaperSize, dmPaperLength, dmPaperWidth, dmScale, dmCopies, dmDefaultSource, dmPrintQuality;
  short dmColor, dmDuplex, dmYResolution, dmTTOption, dmCollate;
  char dmFormName[32];
  WORD dmLogPixels;
  DWORD dmBitsPerPel, dmPelsWidth, dmPelsHeight, dmDisplayFlags, dmDisplayFrequency;
  DWORD dmICMMethod, dmICMIntent, dmMediaType, dmDitherType, dmReserved1, dmReserved2;
};
static_assert(sizeof(DEVMODEA) == 148);

// The head of a device-names block; the strings follow at these offsets.
struct DEVNAMES {
  WORD wDriverOffset, wDeviceOffset, wOutputOffset, wDefault;
};
static_assert(sizeof(DEVNAMES) == 8);

using LPPRINTHOOKPROC = UINT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

// In memory with this host's pointers; lStructSize is the documented 66
// (the packed 32-bit layout that stored records keep).
struct PRINTDLGA {
  DWORD lStructSize;
  HWND hwndOwner;
  HGLOBAL hDevMode, hDevNames;
  HDC hDC;
  DWORD Flags;
  WORD nFromPage, nToPage, nMinPage, nMaxPage, nCopies;
  HINSTANCE hInstance;
  LPARAM lCustData;
  LPPRINTHOOKPROC lpfnPrintHook, lpfnSetupHook;
  const char* lpPrintTemplateName;
  const char* lpSetupTemplateName;
  HGLOBAL hPrintTemplate, hSetupTemplate;
};
inline constexpr DWORD PRINTDLG_PACKED_SIZE = 66;

inline constexpr DWORD PD_ALLPAGES = 0x0, PD_SELECTION = 0x1, PD_PAGENUMS = 0x2, PD_NOSELECTION = 0x4,
                       PD_NOPAGENUMS = 0x8, PD_COLLATE = 0x10, PD_PRINTTOFILE = 0x20, PD_PRINTSETUP = 0x40,
                       PD_NOWARNING = 0x80, PD_RETURNDC = 0x100, PD_RETURNIC = 0x200, PD_RETURNDEFAULT = 0x400,
                       PD_SHOWHELP = 0x800, PD_ENABLEPRINTHOOK = 0x1000, PD_ENABLESETUPHOOK = 0x2000,
                       PD_USEDEVMODECOPIES = 0x40000;
inline constexpr DWORD CDERR_STRUCTSIZE = 0x0001, PDERR_NODEFAULTPRN = 0x1008;

// Nonzero when the user chose OK (or with PD_RETURNDEFAULT, the default
// printer); 0 on cancel (CommDlgExtendedError 0) or on a fault.
BOOL PrintDlgA(PRINTDLGA* pd);
DWORD CommDlgExtendedError();

// The spooler on a printer's device context. StartDocA takes cbSize 20
// (the documented size) or this host's size. EndPage writes the sheet as
// "<output>-<n>.png" (output: lpszOutput, else the document name with "/"
// and control characters made "_"; n from 1) and starts a white one.
struct DOCINFOA {
  int cbSize;
  const char* lpszDocName;
  const char* lpszOutput;
  const char* lpszDatatype;
  DWORD fwType;
};
int StartDocA(HDC hdc, const DOCINFOA* info);
int StartPage(HDC hdc);
int EndPage(HDC hdc);
int EndDoc(HDC hdc);

}  // namespace win

// ---- The colour dialog: a scripted stand-in (win::test::QueueColorAnswer).
namespace win {

using LPCCHOOKPROC = UINT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

// In memory with this host's pointers; lStructSize is the documented 36
// (the packed 32-bit layout) or this host's size.
struct CHOOSECOLORA {
  DWORD lStructSize;
  HWND hwndOwner;
  HWND hInstance;
  COLORREF rgbResult;
  COLORREF* lpCustColors;  // sixteen
  DWORD Flags;
  LPARAM lCustData;
  LPCCHOOKPROC lpfnHook;
  const char* lpTemplateName;
};
inline constexpr DWORD CHOOSECOLOR_PACKED_SIZE = 36;
inline constexpr DWORD CC_RGBINIT = 0x1, CC_FULLOPEN = 0x2, CC_PREVENTFULLOPEN = 0x4, CC_SHOWHELP = 0x8,
                       CC_ENABLEHOOK = 0x10;
// The dialog's add-to-custom-colours and define-custom-colours buttons.
inline constexpr int COLOR_ADD = 712, COLOR_MIX = 719;

// Nonzero when the user chose OK (rgbResult then holds the colour); 0 on
// cancel or a fault (CommDlgExtendedError).
BOOL ChooseColorA(CHOOSECOLORA* cc);

}  // namespace win

// ---- The Open and Save file dialogs: scripted stand-ins
// (win::test::QueueFileAnswer).
namespace win {

using LPOFNHOOKPROC = UINT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

// lStructSize must be this host's sizeof (CDERR_STRUCTSIZE otherwise).
struct OPENFILENAMEA {
  DWORD lStructSize;
  HWND hwndOwner;
  HINSTANCE hInstance;
  const char* lpstrFilter;  // pairs of NUL-ended texts, an empty one last
  char* lpstrCustomFilter;
  DWORD nMaxCustFilter;
  DWORD nFilterIndex;  // 1-based
  char* lpstrFile;
  DWORD nMaxFile;
  char* lpstrFileTitle;
  DWORD nMaxFileTitle;
  const char* lpstrInitialDir;
  const char* lpstrTitle;
  DWORD Flags;
  WORD nFileOffset, nFileExtension;
  const char* lpstrDefExt;
  LPARAM lCustData;
  LPOFNHOOKPROC lpfnHook;
  const char* lpTemplateName;
};

inline constexpr DWORD OFN_READONLY = 0x1, OFN_OVERWRITEPROMPT = 0x2, OFN_HIDEREADONLY = 0x4, OFN_SHOWHELP = 0x10,
                       OFN_ENABLEHOOK = 0x20, OFN_ALLOWMULTISELECT = 0x200, OFN_PATHMUSTEXIST = 0x800,
                       OFN_FILEMUSTEXIST = 0x1000, OFN_EXPLORER = 0x80000;
inline constexpr DWORD FNERR_BUFFERTOOSMALL = 0x3003;

// The head of a WM_NOTIFY, and the file dialogs' notification.
struct NMHDR {
  HWND hwndFrom;
  UINT_PTR idFrom;
  UINT code;
};
struct OFNOTIFYA {
  NMHDR hdr;
  OPENFILENAMEA* lpOFN;
  char* pszFile;
};
inline constexpr UINT WM_NOTIFY = 0x004E;
inline constexpr UINT CDN_INITDONE = UINT(-601);
// To an Explorer dialog's frame: the chosen path(s) into lParam when wParam
// bytes hold them; answers the bytes needed.
inline constexpr UINT CDM_GETFILEPATH = 0x0465;
// The old style's file-name field.
inline constexpr int edt1 = 0x0480;
inline constexpr int IDOK = 1, IDCANCEL = 2;

BOOL GetOpenFileNameA(OPENFILENAMEA* ofn);
BOOL GetSaveFileNameA(OPENFILENAMEA* ofn);

}  // namespace win
