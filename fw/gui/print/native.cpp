// vprintsysNative: a Windows printer-dialog record kept as the job's
// system record (device mode, device names and the printer's DC in it),
// the paper read from the DC, the dialogs, the spooler calls around the
// document and its pages, and raw bytes through PASSTHROUGH.
//
// `vprintsysNative` (`native.cpp`) keeps a `PRINTDLGA` as the job's system record, owning its
// device mode, device names and printer DC, and draws each page with a copy of the GDI driver
// record (flags 0) into that DC (`_vprintBeginPageWith` binds the DC instead of the job). Paper and
// page come from the DC's escapes and caps (whole points on the pseudo printer: 612 x 792, page
// (12, 12, 588, 768)); the viewport origin is moved so device coordinates start at the sheet's
// corner, and set again after each `EndPage`. Skipped pages get no `StartPage`/`EndPage`. A dialog
// keeps the old DC until it succeeds; its flags are those returned less the ones added for it
// alone. Stored: the record as the packed 66-byte 32-bit layout (`vprintMSWPackPrintDlg`, handles
// as 0), the 148-byte device mode and the whole device-names block; a loaded record whose printer
// cannot be named takes the default printer's DC. `vprintWrite` sends raw bytes in PASSTHROUGH
// pieces of at most 32767 bytes.
#include "fw/gui/print/native.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "fw/core/event.h"
#include "fw/core/mem.h"
#include "fw/core/scribe.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/drawmsw.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window.h"

const vexClass vprintNoDefaultPrinterClass{&vexModuleStateClass, "No Default Printer", 36, nullptr,
                                           sizeof(vexException)};
const vexClass vprintCanceledClass{&vexModuleStateClass, "Printing Canceled", 36, nullptr, sizeof(vexException)};

namespace {

constexpr win::DWORD kDefaultFlags = win::PD_ENABLESETUPHOOK | win::PD_ENABLEPRINTHOOK | win::PD_RETURNDEFAULT |
                                     win::PD_RETURNDC | win::PD_NOWARNING;                          // 0x3580
constexpr win::DWORD kKeptFlags = win::PD_ENABLESETUPHOOK | win::PD_ENABLEPRINTHOOK | win::PD_RETURNDC;  // 0x3100
constexpr win::DWORD kSetupFlags = kKeptFlags | win::PD_PRINTSETUP;                                      // 0x3140
constexpr win::DWORD kJobFlags = kKeptFlags | win::PD_USEDEVMODECOPIES;                                  // 0x43100
constexpr win::DWORD kHookFlags = win::PD_ENABLEPRINTHOOK | win::PD_ENABLESETUPHOOK;                     // 0x3000
constexpr std::size_t kPiece = 32767;

vprintClassRec* nativeClass = nullptr;
vdrawDriverRecord driverCopy;
vname keyDialog = nullptr, keyMode = nullptr, keyNames = nullptr;

vprintClassRec* base() { return vprintGetDefaultClass(); }
win::PRINTDLGA* record(vprint* job) { return static_cast<win::PRINTDLGA*>(job->systemRecord); }

// Keeps the framework's events and timers running while a dialog is up.
win::UINT_PTR dialogHook(win::HWND window, win::UINT message, win::WPARAM wParam, win::LPARAM) {
  veventMSWModalTimerProc(window, message, wParam, 0);
  return 0;
}

win::PRINTDLGA* newRecord() {
  auto* pd = static_cast<win::PRINTDLGA*>(vmemAllocClear(sizeof(win::PRINTDLGA)));
  pd->lStructSize = win::PRINTDLG_PACKED_SIZE;
  pd->lpfnPrintHook = pd->lpfnSetupHook = dialogHook;
  return pd;
}

void freeRecord(win::PRINTDLGA* pd) {
  if (!pd) return;
  if (pd->hDC) win::DeleteDC(pd->hDC);
  if (pd->hDevMode) win::GlobalFree(pd->hDevMode);
  if (pd->hDevNames) win::GlobalFree(pd->hDevNames);
  vmemFree(pd);
}

// The device name of a device-names block, its offset checked against
// the block and the name ended inside it; empty when there is none.
std::string deviceNameOf(win::HGLOBAL names) {
  std::string name;
  std::size_t size = names ? win::GlobalSize(names) : 0;
  const auto* bytes = static_cast<const char*>(names ? win::GlobalLock(names) : nullptr);
  if (!bytes) return name;
  if (size >= sizeof(win::DEVNAMES)) {
    win::DEVNAMES head;
    std::memcpy(&head, bytes, sizeof head);
    std::size_t at = head.wDeviceOffset;
    if (at >= sizeof head && at < size) {
      const char* end = static_cast<const char*>(std::memchr(bytes + at, 0, size - at));
      if (end) name.assign(bytes + at, end);
    }
  }
  win::GlobalUnlock(names);
  return name;
}

// The device name of the device names over the device mode's (at most 31
// characters and the NUL its field holds).
void copyDeviceName(win::PRINTDLGA* pd) {
  if (!pd->hDevMode || !pd->hDevNames) return;
  std::string name = deviceNameOf(pd->hDevNames);
  if (name.empty() || win::GlobalSize(pd->hDevMode) < sizeof(win::DEVMODEA)) return;
  if (auto* mode = static_cast<win::DEVMODEA*>(win::GlobalLock(pd->hDevMode))) {
    std::size_t n = std::min(name.size(), sizeof mode->dmDeviceName - 1);
    std::memcpy(mode->dmDeviceName, name.data(), n);
    mode->dmDeviceName[n] = 0;
    win::GlobalUnlock(pd->hDevMode);
  }
}

win::PRINTDLGA* defaultRecord() {
  win::PRINTDLGA* pd = newRecord();
  pd->Flags = kDefaultFlags;
  if (win::PrintDlgA(pd) && pd->hDevMode && pd->hDevNames) copyDeviceName(pd);
  pd->Flags = kKeptFlags;
  return pd;
}

// Device coordinates start at the sheet's corner; the paper and the
// printable page in points.
void paperFromDC(vprint* job, win::HDC dc) {
  win::POINT size{}, offset{};
  win::Escape(dc, win::GETPHYSPAGESIZE, 0, nullptr, &size);
  win::Escape(dc, win::GETPRINTINGOFFSET, 0, nullptr, &offset);
  win::SetViewportOrgEx(dc, -offset.x, -offset.y, nullptr);
  int horz = win::GetDeviceCaps(dc, win::HORZRES), vert = win::GetDeviceCaps(dc, win::VERTRES);
  float dx = float(win::GetDeviceCaps(dc, win::LOGPIXELSX)), dy = float(win::GetDeviceCaps(dc, win::LOGPIXELSY));
  if (dx <= 0 || dy <= 0) return;
  vrectFloat paper{0, 0, float(size.x) * 72 / dx, float(size.y) * 72 / dy};
  vrectFloat page{float(size.x - offset.x - horz) * 72 / dx, float(size.y - offset.y - vert) * 72 / dy,
                  float(horz) * 72 / dx, float(vert) * 72 / dy};
  vprintClassOf(job)->setPaperRect(job, &paper);
  vprintClassOf(job)->setPageRect(job, &page);
}

void nativeInit(vinstance* self) {
  base()->init(self);
  auto* job = static_cast<vprint*>(self);
  win::PRINTDLGA* pd = defaultRecord();
  vprintClassOf(job)->setSystemRecord(job, pd);
  if (pd->hDC) paperFromDC(job, pd->hDC);
}

void nativeDestroy(vinstance* self) {
  auto* job = static_cast<vprint*>(self);
  freeRecord(record(job));
  job->systemRecord = nullptr;
  base()->destroy(self);
}

win::HWND ownerWindow(vprint* job) {
  auto* owner = static_cast<vinstance*>(job->owner);
  if (!owner || !vclassIsSubclass(owner->cls, vwindowGetDefaultClass())) return nullptr;
  vwindowMSWNative* n = static_cast<vwindow*>(job->owner)->native;
  return n ? n->hwnd : nullptr;
}

// One dialog. A cancel keeps the device context the job had; only a
// chosen printer replaces it.
int runDialog(vprint* job, win::DWORD added, bool pages) {
  win::PRINTDLGA* pd = record(job);
  if (!pd) return 0;
  win::DWORD remembered = pd->Flags;
  pd->Flags |= added;
  if (pages) pd->nMaxPage = 65535;
  pd->hwndOwner = ownerWindow(job);
  win::HDC old = pd->hDC;
  pd->hDC = nullptr;
  int result = win::PrintDlgA(pd);
  if (!result) {
    pd->Flags = remembered;
    pd->hDC = old;
    return 0;
  }
  if (old) win::DeleteDC(old);
  copyDeviceName(pd);
  if (pages) {
    bool range = pd->Flags & win::PD_PAGENUMS;
    vprintClassOf(job)->setFirstPage(job, range ? std::uint32_t(pd->nFromPage) - 1 : 0);
    vprintClassOf(job)->setLastPage(job, range ? std::uint32_t(pd->nToPage) - 1 : 0xFFFFFFFFu);
  }
  // The flags the dialog returned, less those added for it alone (an
  // exclusive-or with both would turn a page range the dialog cleared
  // back on).
  pd->Flags &= ~(added & ~remembered);
  if (pd->hDC) paperFromDC(job, pd->hDC);
  return result;
}

void nativeConfigurePaper(vprint* job) {
  int result = runDialog(job, kSetupFlags, false);
  if (job->paperNotify) job->paperNotify(job, result);
}

void nativeConfigureJob(vprint* job) {
  int result = runDialog(job, kJobFlags, true);
  if (job->jobNotify) job->jobNotify(job, result);
}

std::string documentName(vprint* job) {
  const char* name = job->documentName;
  auto* owner = static_cast<vinstance*>(job->owner);
  if (!name && owner && vclassIsSubclass(owner->cls, vwindowGetDefaultClass()))
    name = static_cast<vwindow*>(job->owner)->title;
  if (!name || !*name) name = vsysGetProgramName();
  if (!name) name = "";
  char* native = vscribeCreateString(vscribeToNative(name));
  std::string out = native;
  vscribeFreeString(native);
  return out;
}

void nativeOpen(vprint* job) {
  base()->open(job);
  win::PRINTDLGA* pd = record(job);
  if (!pd || !pd->hDC) {
    base()->close(job);
    _vexGenerate(&vprintNoDefaultPrinterClass, vexEnd);
  }
  std::string name = documentName(job), output;
  if (job->flags & vprintSPOOL) {
    const char* file = vprefGetString(vprefGetDefaultDict(), vscribeLiteral("printfile"));
    if (!file) vexGenerateMessage(&vexModuleStateClass, "unable to get printfile preference");
    output = file;
  }
  win::DOCINFOA info{20, name.c_str(), output.empty() ? nullptr : output.c_str(), nullptr, 0};
  if (win::StartDocA(pd->hDC, &info) == -1) {
    base()->close(job);
    win::DWORD error = win::GetLastError();
    if (error == 0) _vexGenerate(&vprintCanceledClass, vexEnd);
    _vexGenerate(&vexModuleStateClass, vexSetMessage, "StartDoc Failed", vexSetErrno, int(error), vexEnd);
  }
}

void nativeBeginPage(vprint* job) {
  win::PRINTDLGA* pd = record(job);
  _vprintBeginPageWith(job, pd ? pd->hDC : nullptr);
  if (!(job->flags & vprintSKIPPED) && pd && pd->hDC) win::StartPage(pd->hDC);
}

void nativeEndPage(vprint* job) {
  win::PRINTDLGA* pd = record(job);
  if ((job->flags & vprintIN_PAGE) && !(job->flags & vprintSKIPPED) && pd && pd->hDC) {
    // The drawing leaves the page before the spooler takes it.
    vdrawBindPathDevice();
    win::EndPage(pd->hDC);
    win::POINT offset{};
    win::Escape(pd->hDC, win::GETPRINTINGOFFSET, 0, nullptr, &offset);
    win::SetViewportOrgEx(pd->hDC, -offset.x, -offset.y, nullptr);
  }
  base()->endPage(job);
}

void nativeClose(vprint* job) {
  win::PRINTDLGA* pd = record(job);
  if ((job->flags & (vprintOPEN | vprintIN_PAGE)) == vprintOPEN && pd && pd->hDC) win::EndDoc(pd->hDC);
  base()->close(job);
}

void nativeWrite(vprint* job, const void* bytes, std::size_t count, std::size_t size) {
  win::PRINTDLGA* pd = record(job);
  if (!pd || !pd->hDC) return;
  int escape = win::PASSTHROUGH;
  if (!win::Escape(pd->hDC, win::QUERYESCSUPPORT, sizeof escape, &escape, nullptr)) return;
  const auto* from = static_cast<const std::uint8_t*>(bytes);
  std::size_t total = count * size;
  std::uint8_t buffer[2 + kPiece];
  for (std::size_t at = 0; at < total;) {
    std::size_t n = std::min(kPiece, total - at);
    buffer[0] = std::uint8_t(n), buffer[1] = std::uint8_t(n >> 8);
    std::memcpy(buffer + 2, from + at, n);
    win::Escape(pd->hDC, win::PASSTHROUGH, 0, buffer, nullptr);
    at += n;
  }
}

void storeBlock(vresource resource, vname key, win::HGLOBAL block, std::size_t most) {
  if (!block) return;
  std::size_t n = std::min(win::GlobalSize(block), most);
  if (const void* bytes = win::GlobalLock(block)) {
    vresourceSetOpaque(resource, key, bytes, n);
    win::GlobalUnlock(block);
  }
}

void nativeStore(vobject* self, vresource resource) {
  base()->store(self, resource);
  win::PRINTDLGA* pd = record(static_cast<vprint*>(self));
  if (!pd) return;
  auto packed = vprintMSWPackPrintDlg(pd);
  vresourceSetOpaque(resource, keyDialog, packed.data(), packed.size());
  storeBlock(resource, keyMode, pd->hDevMode, sizeof(win::DEVMODEA));
  // The whole device-names block: its strings follow the offsets.
  storeBlock(resource, keyNames, pd->hDevNames, 0xFFFF);
}

win::HGLOBAL blockOf(const void* bytes, std::size_t n) {
  win::HGLOBAL block = win::GlobalAlloc(win::GMEM_MOVEABLE | win::GMEM_ZEROINIT, n);
  if (void* to = block ? win::GlobalLock(block) : nullptr) {
    std::memcpy(to, bytes, n);
    win::GlobalUnlock(block);
  }
  return block;
}

// A stored block, copied out of the resource (whose copy is freed).
bool storedBytes(vresource resource, vname key, std::vector<std::uint8_t>* out) {
  void* bytes = nullptr;
  std::size_t length = 0;
  if (!vresourceTestGetOpaque(resource, key, &bytes, &length)) return false;
  const auto* b = static_cast<const std::uint8_t*>(bytes);
  out->assign(b, b + (b ? length : 0));
  vmemFree(bytes);
  return true;
}

void nativeLoadInit(vobject* self, vresource resource) {
  base()->loadInit(self, resource);
  auto* job = static_cast<vprint*>(self);
  std::vector<std::uint8_t> bytes;
  if (!storedBytes(resource, keyDialog, &bytes) || bytes.size() != win::PRINTDLG_PACKED_SIZE) {
    win::PRINTDLGA* pd = defaultRecord();
    vprintClassOf(job)->setSystemRecord(job, pd);
    if (pd->hDC) paperFromDC(job, pd->hDC);
    return;
  }
  win::PRINTDLGA* pd = newRecord();
  vprintMSWUnpackPrintDlg(bytes.data(), pd);
  pd->lpfnPrintHook = pd->lpfnSetupHook = dialogHook;
  pd->Flags |= kHookFlags;
  vprintClassOf(job)->setSystemRecord(job, pd);
  if (storedBytes(resource, keyMode, &bytes) && bytes.size() == sizeof(win::DEVMODEA)) {
    pd->hDevMode = blockOf(bytes.data(), bytes.size());
    win::DEVMODEA mode;
    std::memcpy(&mode, bytes.data(), sizeof mode);
    mode.dmDeviceName[sizeof mode.dmDeviceName - 1] = 0;
    pd->hDC = win::CreateDCA("WINSPOOL", mode.dmDeviceName, nullptr, &mode);
  }
  if (storedBytes(resource, keyNames, &bytes) && bytes.size() >= sizeof(win::DEVNAMES) && bytes.size() <= 0xFFFF) {
    pd->hDevNames = blockOf(bytes.data(), bytes.size());
    if (!pd->hDevMode) {
      std::string name = deviceNameOf(pd->hDevNames);
      if (!name.empty()) pd->hDC = win::CreateDCA("WINSPOOL", name.c_str(), nullptr, nullptr);
    }
  }
  // A record whose printer cannot be named takes the default printer's.
  if (!pd->hDC) {
    win::PRINTDLGA* fallback = defaultRecord();
    std::swap(pd->hDC, fallback->hDC);
    if (!pd->hDevMode) std::swap(pd->hDevMode, fallback->hDevMode);
    if (!pd->hDevNames) std::swap(pd->hDevNames, fallback->hDevNames);
    freeRecord(fallback);
  }
  if (pd->hDC) paperFromDC(job, pd->hDC);
}

void dropClass() { nativeClass = nullptr; }

void put16(std::uint8_t* at, std::uint32_t v) { at[0] = std::uint8_t(v), at[1] = std::uint8_t(v >> 8); }
void put32(std::uint8_t* at, std::uint32_t v) { put16(at, v), put16(at + 2, v >> 16); }
std::uint32_t get16(const std::uint8_t* at) { return std::uint32_t(at[0]) | std::uint32_t(at[1]) << 8; }
std::uint32_t get32(const std::uint8_t* at) { return get16(at) | get16(at + 2) << 16; }

// Offsets of the packed layout.
enum : std::size_t { kSize = 0, kFlags = 20, kFromPage = 24, kCustData = 38 };

}  // namespace

std::array<std::uint8_t, win::PRINTDLG_PACKED_SIZE> vprintMSWPackPrintDlg(const win::PRINTDLGA* pd) {
  std::array<std::uint8_t, win::PRINTDLG_PACKED_SIZE> out{};
  put32(&out[kSize], pd->lStructSize);
  put32(&out[kFlags], pd->Flags);
  const win::WORD pages[5] = {pd->nFromPage, pd->nToPage, pd->nMinPage, pd->nMaxPage, pd->nCopies};
  for (int i = 0; i < 5; ++i) put16(&out[kFromPage + 2 * std::size_t(i)], pages[i]);
  put32(&out[kCustData], std::uint32_t(pd->lCustData));
  return out;
}

void vprintMSWUnpackPrintDlg(const std::uint8_t* bytes, win::PRINTDLGA* pd) {
  *pd = {};
  pd->lStructSize = get32(bytes + kSize);
  pd->Flags = get32(bytes + kFlags);
  win::WORD* pages[5] = {&pd->nFromPage, &pd->nToPage, &pd->nMinPage, &pd->nMaxPage, &pd->nCopies};
  for (int i = 0; i < 5; ++i) *pages[i] = win::WORD(get16(bytes + kFromPage + 2 * std::size_t(i)));
  pd->lCustData = win::LPARAM(get32(bytes + kCustData));
}

vprintClassRec* vprintsysNativeGetDefaultClass() {
  if (nativeClass) return nativeClass;
  auto* c = vclassSpawnOf<vprintClassRec>(vprintGetDefaultClass());
  vclassSetName(c, vscribeLiteral("vprintsysNative"));
  c->defaultMode = 8;
  c->bindingFlags = vdrawBIND_PRINTER;
  c->primitives = nullptr;
  c->deviceTable = &vdrawDefaultDeviceTable;
  driverCopy = vdrawMSWDriver;
  driverCopy.flags = 0;
  c->driver = &driverCopy;
  c->init = nativeInit;
  c->destroy = nativeDestroy;
  c->loadInit = nativeLoadInit;
  c->store = nativeStore;
  c->configurePaper = nativeConfigurePaper;
  c->configureJob = nativeConfigureJob;
  c->open = nativeOpen;
  c->beginPage = nativeBeginPage;
  c->endPage = nativeEndPage;
  c->close = nativeClose;
  c->write = nativeWrite;
  keyDialog = vnameInternLiteral("MSWPrintDlg");
  keyMode = vnameInternLiteral("MSWDevMode");
  keyNames = vnameInternLiteral("MSWDevNames");
  nativeClass = c;
  vmoduleAddContextExitProc(dropClass);
  return c;
}
