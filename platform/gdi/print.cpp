// The spooler on the pseudo printer: a document's pages become PNG files,
// each written to a temporary file and renamed into place.
//
// - **Spooling** (`platform/gdi/print.cpp`): `StartDocA` (cbSize 20 or the host's) names the output
//   (`lpszOutput`, else the document name with "/" and control characters made "_"); `EndPage`
//   writes the sheet as "<output>-<n>.png" through a temporary file renamed into place, then starts
//   a white sheet with the viewport origin and clip region reset. `PrintDlgA`
//   (`platform/user/printdlg.cpp`) answers PD_RETURNDEFAULT with the pseudo printer (a 148-byte
//   `DEVMODEA`, a `DEVNAMES` block, the DC for PD_RETURNDC); the Print and Print Setup dialogs are a
//   hidden window that gives the hook WM_INITDIALOG, runs the queue, takes the answer
//   `win::test::QueuePrintAnswer` gave (none: cancel on headless, OK on X11) and gives the hook
//   WM_DESTROY. PASSTHROUGH is refused unless a test switch turns it on.
#include <cstdio>
#include <string>

#include "platform/gdi/internal.h"
#include "platform/win/test.h"

namespace win {
namespace internal {
namespace {

bool passthroughOn = false;
bool failStartDoc = false;
DWORD startDocError = 0;

Dc* printerDc(HDC hdc) {
  Dc* dc = dcOf(hdc);
  if (!dc || dc->kind != DcKind::printer || !dc->sheet) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return dc;
}

// The document name as a file name: "/" and control characters become "_".
std::string fileName(const char* name) {
  std::string out = name && *name ? name : "document";
  for (char& c : out)
    if (c == '/' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '_';
  return out;
}

// After a page the device context starts again: the viewport origin and
// the clip region are reset (selected objects stay).
void resetPage(Dc& dc) {
  dc.sheet->reset(dc.sheet->width, dc.sheet->height, false, 0xFFFFFF);
  dc.viewportOrg = {0, 0};
  dc.appClip.reset();
  clipChanged(dc);
}

}  // namespace

bool printerPassthrough() { return passthroughOn; }

}  // namespace internal

constexpr int SP_ERROR = -1;

int StartDocA(HDC hdc, const DOCINFOA* info) {
  internal::Dc* dc = internal::printerDc(hdc);
  if (!dc) return SP_ERROR;
  if (!info || (info->cbSize != 20 && info->cbSize != static_cast<int>(sizeof(DOCINFOA))) || dc->document.open) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return SP_ERROR;
  }
  if (internal::failStartDoc) {
    internal::failStartDoc = false;
    SetLastError(internal::startDocError);
    return SP_ERROR;
  }
  dc->document = {};
  dc->document.open = true;
  dc->document.output = info->lpszOutput && *info->lpszOutput ? info->lpszOutput : internal::fileName(info->lpszDocName);
  dc->sheet->reset(dc->sheet->width, dc->sheet->height, false, 0xFFFFFF);
  return 1;
}

int StartPage(HDC hdc) {
  internal::Dc* dc = internal::printerDc(hdc);
  if (!dc) return SP_ERROR;
  if (!dc->document.open || dc->document.inPage) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return SP_ERROR;
  }
  dc->document.inPage = true;
  return 1;
}

int EndPage(HDC hdc) {
  internal::Dc* dc = internal::printerDc(hdc);
  if (!dc) return SP_ERROR;
  if (!dc->document.inPage) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return SP_ERROR;
  }
  dc->document.inPage = false;
  std::string path = dc->document.output + "-" + std::to_string(++dc->document.page) + ".png";
  std::string temporary = path + ".tmp";
  test::Image sheet{dc->sheet->width, dc->sheet->height, dc->sheet->px};
  bool written = test::WritePng(temporary, sheet) && std::rename(temporary.c_str(), path.c_str()) == 0;
  if (!written) std::remove(temporary.c_str());
  internal::resetPage(*dc);
  if (!written) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return SP_ERROR;
  }
  return 1;
}

int EndDoc(HDC hdc) {
  internal::Dc* dc = internal::printerDc(hdc);
  if (!dc) return SP_ERROR;
  if (!dc->document.open) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return SP_ERROR;
  }
  dc->document = {};
  return 1;
}

namespace test {

void SetPrinterPassthrough(bool on) { internal::passthroughOn = on; }

std::vector<std::string> PrinterPassthrough(HDC printer) {
  internal::Dc* dc = internal::dcOf(printer);
  return dc ? dc->passthrough : std::vector<std::string>{};
}

void FailNextStartDoc(DWORD error) {
  internal::failStartDoc = true;
  internal::startDocError = error;
}

}  // namespace test
}  // namespace win
