#include "fw/gui/print/print.h"

#include <cstring>
#include <utility>

#include "fw/core/scribe.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/data/resrect.h"
#include "fw/data/vresource.h"
#include "fw/gui/print/native.h"
#include "fw/gui/print/ps.h"
#include "platform/win.h"

namespace {

vprintClassRec* printClass = nullptr;
vprintClassRec* streamClass = nullptr;
vprefDict* paperDict = nullptr;  // "printpaperdict", read when the class is built

vprintClassRec* base() { return printClass; }
[[noreturn]] void argFault() { vexGenerateMessage(&vexArgClass, "print job in the wrong state for this"); }

vprefDict* prefs() { return vprefGetDefaultDict(); }

// The sheet and printable area of the paper "printpaper" names.
void applyPaperPreference(vprint* job) {
  const char* name = vprefGetString(prefs(), vscribeLiteral("printpaper"));
  if (!name || !paperDict) return;
  vresource entry = vprefGetValue(paperDict, vscribeCString(name));
  if (!entry) return;
  double v[6];
  for (int i = 0; i < 6; ++i) v[i] = vresourceGetAtFloat(entry, i);
  job->paper = {0, 0, float(v[0]), float(v[1])};
  job->page = {float(v[2]), float(v[3]), float(v[4] - v[2]), float(v[5] - v[3])};
}

void applySpoolPreference(vprint* job) {
  if (vprefGetString(prefs(), vscribeLiteral("spool")))
    job->flags |= vprintSPOOL;
  else
    job->flags &= ~vprintSPOOL;
}

// Every field as a new job has it, the flags cleared.
void resetFields(vprint* job) {
  job->data = 0;
  job->portFile = nullptr;
  job->spoolFile = nullptr;
  job->systemRecord = nullptr;
  job->paper = {0, 0, 612, 792};  // US letter in points
  job->page = {18, 7.92f, 576, 776.16f};
  job->paperNotify = job->jobNotify = nullptr;
  job->clientData = 0;
  job->flags = 0;
  job->mode = vprintClassOf(job)->defaultMode;
  job->documentName = nullptr;
  job->owner = nullptr;
  job->currentPage = job->firstPage = 0;
  job->lastPage = 0xFFFFFFFFu;
}

void printInit(vinstance* self) {
  vobjectGetDefaultClass()->init(self);
  auto* job = static_cast<vprint*>(self);
  resetFields(job);
  applyPaperPreference(job);
  applySpoolPreference(job);
}

void printDestroy(vinstance* self) {
  auto* job = static_cast<vprint*>(self);
  // A job destroyed inside its document (a write failed in a page, so it
  // could be neither ended nor closed) drops the document: drawing leaves
  // it, and the connection can go.
  if (job->flags & vprintIN_PAGE) vdrawBindPathDevice();
  job->flags &= ~(vprintOPEN | vprintIN_PAGE);
  if (job->flags & vprintCONNECTED) vprintDisconnect(job);
  vobjectGetDefaultClass()->destroy(self);
}

void noCopy(vobject*, vobject*) {
  vexGenerateMessage(&vexModuleUnimplementedClass, "unable to copy printer connection");
}

vname key(const char* text) { return vnameInternLiteral(text); }

void printLoadInit(vobject* self, vresource resource) {
  vobjectGetDefaultClass()->loadInit(self, resource);
  auto* job = static_cast<vprint*>(self);
  resetFields(job);
  vresource r;
  if (vresourceTestGet(resource, key("Paper"), &r)) vresourceLoadFloatRect(&job->paper, r);
  if (vresourceTestGet(resource, key("Page"), &r)) vresourceLoadFloatRect(&job->page, r);
  std::int32_t flags = 0;
  if (vresourceTestGetInteger(resource, key("Flags"), &flags)) job->flags = std::uint32_t(flags) & vprintSPOOL;
}

void printStore(vobject* self, vresource resource) {
  vobjectGetDefaultClass()->store(self, resource);
  auto* job = static_cast<vprint*>(self);
  vresourceStoreFloatRect(&job->paper, vresourceMake(resource, key("Paper")));
  vresourceStoreFloatRect(&job->page, vresourceMake(resource, key("Page")));
  vresourceSetIntegerAt(resource, key("Flags"), std::int32_t(job->flags & vprintSPOOL));
}

void configurePaper(vprint* job) {
  applyPaperPreference(job);
  if (job->paperNotify) job->paperNotify(job, 1);
}
void configureJob(vprint* job) {
  applySpoolPreference(job);
  if (job->jobNotify) job->jobNotify(job, 1);
}

void printConnect(vprint* job) {
  if (job->flags & vprintCONNECTED) argFault();
  job->flags |= vprintCONNECTED;
}

void printDisconnect(vprint* job) {
  if ((job->flags & (vprintOPEN | vprintIN_PAGE | vprintCONNECTED)) != vprintCONNECTED) argFault();
  job->flags &= ~vprintCONNECTED;
}

void printOpen(vprint* job) {
  if (job->flags & vprintOPEN) argFault();
  if (!(job->flags & vprintCONNECTED)) {
    vprintConnect(job);
    job->flags |= vprintCONNECTED_BY_OPEN;
  }
  job->currentPage = 0;
  job->flags = (job->flags | vprintOPEN) & ~vprintSKIPPED;
}

void printBeginPage(vprint* job) { _vprintBeginPageWith(job, job); }

void printEndPage(vprint* job) {
  if (!(job->flags & vprintIN_PAGE)) argFault();
  vdrawBindPathDevice();
  job->flags &= ~vprintIN_PAGE;
  ++job->currentPage;
}

void printClose(vprint* job) {
  if ((job->flags & (vprintOPEN | vprintIN_PAGE)) != vprintOPEN) argFault();
  job->flags &= ~vprintOPEN;
  if (job->flags & vprintCONNECTED_BY_OPEN) {
    job->flags &= ~vprintCONNECTED_BY_OPEN;
    vprintDisconnect(job);
  }
}

void printWrite(vprint*, const void*, std::size_t, std::size_t) {}

void dropClasses() {
  printClass = streamClass = nullptr;
  if (paperDict) vprefRelease(paperDict);
  paperDict = nullptr;
}

// ---- vprintStream: the default printer's port or a spool file.

// Undoes what a failed connect did, so the job stays usable.
template <class F>
void connectOrUndo(vprint* job, F body) {
  vexGuard(body, [&](vexHandler&) {
    job->flags &= ~vprintCONNECTED;
    _vexGenerate(nullptr, vexEnd);
  });
}

void streamConnect(vprint* job) {
  base()->connect(job);
  connectOrUndo(job, [&] {
    if (job->flags & vprintSPOOL) {
      const char* file = vprefGetString(prefs(), vscribeLiteral("printfile"));
      if (!file) vexGenerateMessage(&vexModuleStateClass, "unable to get spool file preference");
      vfsPath* path = vfsNewPathFromString(file);
      vfsStream* stream = nullptr;
      vexGuard([&] { stream = vfsOpenFile(path, vfsOPEN_WRITE); },
               [&](vexHandler&) {
                 vfsFreePath(path);
                 _vexGenerate(nullptr, vexEnd);
               });
      vfsFreePath(path);
      vprintClassOf(job)->setSpoolFile(job, stream);
      return;
    }
    char device[161];
    win::GetProfileStringA("windows", "device", ",,,", device, sizeof device);
    // printer name, driver, port
    const char* port = device;
    for (int commas = 0; commas < 2 && port; ++commas) {
      port = std::strchr(port, ',');
      if (port) ++port;
    }
    std::string name(port ? port : "");
    name = name.substr(0, name.find(','));
    std::FILE* f = name.empty() ? nullptr : std::fopen(name.c_str(), "w");
    if (!f) vexGenerateMessage(&vexReturnNullClass, "unable to open default printer");
    vprintClassOf(job)->setPortFile(job, f);
  });
}

void streamDisconnect(vprint* job) {
  if ((job->flags & (vprintOPEN | vprintIN_PAGE | vprintCONNECTED)) != vprintCONNECTED) argFault();
  // The stream leaves the job before its close, which frees it even when
  // the close fails: the job is disconnected then too, and never closes it
  // again. A port whose last buffered bytes are lost says so as a short
  // write does.
  vfsStream* spool = (job->flags & vprintSPOOL) ? std::exchange(job->spoolFile, nullptr) : nullptr;
  std::FILE* port = (job->flags & vprintSPOOL) ? nullptr : std::exchange(job->portFile, nullptr);
  base()->disconnect(job);
  if (spool) vfsCloseFile(spool);
  if (port && std::fclose(port) != 0) vexGenerateMessage(&vexReturnClass, "unable to write to printer driver");
}

void streamWrite(vprint* job, const void* bytes, std::size_t count, std::size_t size) {
  if (job->flags & vprintSPOOL) {
    if (job->spoolFile) vfsWriteFile(bytes, std::ptrdiff_t(size), std::ptrdiff_t(count), job->spoolFile);
    return;
  }
  if (!job->portFile || std::fwrite(bytes, size, count, job->portFile) < count)
    vexGenerateMessage(&vexReturnClass, "unable to write to printer driver");
}

// A failed connect inside an open leaves the job as it was before the open.
void streamOpen(vprint* job) {
  vexGuard([&] { base()->open(job); },
           [&](vexHandler&) {
             job->flags &= ~vprintCONNECTED_BY_OPEN;
             _vexGenerate(nullptr, vexEnd);
           });
}

void buildClasses() {
  auto* c = vclassSpawnOf<vprintClassRec>(vobjectGetDefaultClass());
  vclassSetName(c, vscribeLiteral("vprint"));
  vclassSetInstanceSize(c, sizeof(vprint));
  c->init = printInit;
  c->destroy = printDestroy;
  c->copy = c->copyInit = noCopy;
  c->loadInit = printLoadInit;
  c->store = printStore;
  c->defaultMode = 0;
  c->bindingFlags = 0;
  c->primitives = nullptr;
  c->deviceTable = &vdrawDefaultDeviceTable;
  c->driver = &vdrawPathRecorder;
  c->configurePaper = configurePaper;
  c->configureJob = configureJob;
  c->open = printOpen;
  c->beginPage = printBeginPage;
  c->endPage = printEndPage;
  c->close = printClose;
  c->write = printWrite;
  c->setPortFile = [](vprint* j, std::FILE* f) { j->portFile = f; };
  c->setSpoolFile = [](vprint* j, vfsStream* s) { j->spoolFile = s; };
  c->setSystemRecord = [](vprint* j, void* r) { j->systemRecord = r; };
  c->setPaperRect = [](vprint* j, const vrectFloat* r) { j->paper = *r; };
  c->setPageRect = [](vprint* j, const vrectFloat* r) { j->page = *r; };
  c->setPaperNotify = [](vprint* j, vprintNotify n) { j->paperNotify = n; };
  c->setJobNotify = [](vprint* j, vprintNotify n) { j->jobNotify = n; };
  c->setData = [](vprint* j, std::uint32_t d) { j->clientData = d; };
  c->setSpool = [](vprint* j, int on) { j->flags = on ? j->flags | vprintSPOOL : j->flags & ~vprintSPOOL; };
  c->setMode = [](vprint* j, std::uint32_t m) { j->mode = m; };
  c->setDocumentName = [](vprint* j, const char* n) { j->documentName = n; };
  c->setOwner = [](vprint* j, void* w) { j->owner = w; };
  c->setCurrentPage = [](vprint* j, std::uint32_t p) { j->currentPage = p; };
  c->setFirstPage = [](vprint* j, std::uint32_t p) { j->firstPage = p; };
  c->setLastPage = [](vprint* j, std::uint32_t p) { j->lastPage = p; };
  c->connect = printConnect;
  c->disconnect = printDisconnect;
  printClass = c;
  _vprintReadPaperDictionary();
  vmoduleAddContextExitProc(dropClasses);
}

}  // namespace

vprintClassRec* vprintGetDefaultClass() {
  if (!printClass) buildClasses();
  return printClass;
}

vprintClassRec* vprintStreamGetDefaultClass() {
  if (streamClass) return streamClass;
  auto* c = vclassSpawnOf<vprintClassRec>(vprintGetDefaultClass());
  vclassSetName(c, vscribeLiteral("vprintStream"));
  c->defaultMode = 1;
  c->open = streamOpen;
  c->connect = streamConnect;
  c->disconnect = streamDisconnect;
  c->write = streamWrite;
  streamClass = c;
  return c;
}

vprintClassRec* vprintGetPreferredClass() {
  vprintClassRec* base = vprintGetDefaultClass();
  if (const char* name = vprefGetString(prefs(), vscribeLiteral("printclass")))
    if (vclass* cls = vclassFindByName(vscribeCString(name)))
      if (vclassIsSubclass(cls, base)) return static_cast<vprintClassRec*>(cls);
  return base;
}

void _vprintWriteScribe(vprint* job, vscribe* s) {
  vexGuard(
      [&] {
        std::size_t n = vscribeGetLength(s);
        if (n <= 256) {
          char local[257];
          vscribeReadBounded(s, local, sizeof local);
          s = nullptr;
          vprintWrite(job, local, n, 1);
          return;
        }
        char* text = vscribeCreateString(s);
        s = nullptr;
        vexGuard([&] { vprintWrite(job, text, n, 1); },
                 [&](vexHandler&) {
                   vscribeFreeString(text);
                   _vexGenerate(nullptr, vexEnd);
                 });
        vscribeFreeString(text);
      },
      [&](vexHandler&) {
        if (s) vscribeRelease(s);
        _vexGenerate(nullptr, vexEnd);
      });
}

void _vprintReadPaperDictionary() {
  if (paperDict) vprefRelease(paperDict);
  paperDict = vprefGetDict(prefs(), vscribeLiteral("printpaperdict"));
}

void _vprintBeginPageWith(vprint* job, void* target) {
  if ((job->flags & (vprintOPEN | vprintIN_PAGE)) != vprintOPEN) argFault();
  if (job->firstPage <= job->currentPage && job->currentPage <= job->lastPage) {
    vprintClassRec* c = vprintClassOf(job);
    const vdrawPrimitiveTable* primitives = c->primitives ? c->primitives : vdrawGetSelectedPrimitives();
    _vdrawBindDevice(int(c->bindingFlags), target, primitives, c->deviceTable, c->driver);
    job->flags &= ~vprintSKIPPED;
  } else {
    vdrawBindPathDevice();
    job->flags |= vprintSKIPPED;
  }
  job->flags |= vprintIN_PAGE;
}

void _vprintWriteString(vprint* job, const char* text) { vprintWrite(job, text, std::strlen(text), 1); }

void vprintInstallStartup() {
  vmoduleInstallStartup("vprintGetDefaultClass", [] {
    vprintStreamGetDefaultClass();
    vprintPSGetDefaultClass();
    vprintsysNativeGetDefaultClass();
  });
}
