// Print jobs: one connection to a printer and one document sent over it.
// A job binds the drawing state to itself at each page with its class's
// tables; the base class binds to the path recorder, so it draws nowhere,
// and subclasses supply the output (a byte stream, PostScript, the native
// printer).
//
// A print job (`vprint`, `print.h`) is one connection and one document. Its class words (default
// mode, binding flags, primitive table, device table, driver record) are data copied by subclasses;
// `vprintBeginPage` binds the current drawing state with them when the page lies in the job's range
// (first <= current <= last, last all ones for no limit) and to the path recorder otherwise,
// marking the page skipped. `vprint` itself keeps only the bookkeeping; `vprintStream` writes to
// the spool file "printfile" (flag 0x1, from "spool") or to the port named third in the profile's
// `windows/device` entry. A failed connect undoes the connected flag, so the job stays usable.
// Paper comes from the "printpaperdict" entry "printpaper" names (six numbers: sheet width and
// height, printable left, bottom, right, top). The start-up row "vprintGetDefaultClass" builds all
// the classes.
#pragma once
#include <cstdint>
#include <cstdio>

#include "fw/core/class.h"
#include "fw/core/fs.h"
#include "fw/core/rect.h"
#include "fw/gui/graphics/draw.h"

struct vprint;
using vprintNotify = void (*)(vprint* job, std::int32_t result);

enum : std::uint32_t {
  vprintSPOOL = 0x1, vprintOPEN = 0x2, vprintIN_PAGE = 0x4, vprintSKIPPED = 0x8, vprintCONNECTED = 0x10,
  vprintCONNECTED_BY_OPEN = 0x20,
};
// Mode bits the PostScript classes read.
enum : std::uint32_t { vprintMODE_COMMENTS = 0x2, vprintMODE_PAGES = 0x4 };

struct vprint : vobject {
  std::uint32_t data;
  std::FILE* portFile;
  vfsStream* spoolFile;
  void* systemRecord;
  vrectFloat paper;
  vrectFloat page;
  vprintNotify paperNotify;
  vprintNotify jobNotify;
  std::uint32_t clientData;
  std::uint32_t flags;
  std::uint32_t mode;
  const char* documentName;
  void* owner;  // a window
  std::uint32_t currentPage;
  std::uint32_t firstPage;
  std::uint32_t lastPage;  // all bits set: no limit
};

struct vprintClassRec : vobjectClassRec {
  // Class words, copied by subclasses and overwritten where they differ.
  std::uint32_t defaultMode;
  std::uint32_t bindingFlags;
  const vdrawPrimitiveTable* primitives;  // null: the table selected at binding
  const vdrawDeviceTable* deviceTable;
  const vdrawDriverRecord* driver;

  void (*configurePaper)(vprint* job);
  void (*configureJob)(vprint* job);
  void (*open)(vprint* job);
  void (*beginPage)(vprint* job);
  void (*endPage)(vprint* job);
  void (*close)(vprint* job);
  void (*write)(vprint* job, const void* bytes, std::size_t count, std::size_t size);
  void (*setPortFile)(vprint* job, std::FILE* file);
  void (*setSpoolFile)(vprint* job, vfsStream* stream);
  void (*setSystemRecord)(vprint* job, void* record);
  void (*setPaperRect)(vprint* job, const vrectFloat* rect);
  void (*setPageRect)(vprint* job, const vrectFloat* rect);
  void (*setPaperNotify)(vprint* job, vprintNotify notify);
  void (*setJobNotify)(vprint* job, vprintNotify notify);
  void (*setData)(vprint* job, std::uint32_t data);
  void (*setSpool)(vprint* job, int spool);
  void (*setMode)(vprint* job, std::uint32_t mode);
  void (*setDocumentName)(vprint* job, const char* name);
  void (*setOwner)(vprint* job, void* window);
  void (*setCurrentPage)(vprint* job, std::uint32_t page);
  void (*setFirstPage)(vprint* job, std::uint32_t page);
  void (*setLastPage)(vprint* job, std::uint32_t page);
  void (*connect)(vprint* job);
  void (*disconnect)(vprint* job);
};

inline vprintClassRec* vprintClassOf(vprint* job) { return vclassRec<vprintClassRec>(job); }

vprintClassRec* vprintGetDefaultClass();
vprintClassRec* vprintStreamGetDefaultClass();
// The class "printclass" names, else vprint.
vprintClassRec* vprintGetPreferredClass();

inline void vprintConfigurePaper(vprint* j) { vprintClassOf(j)->configurePaper(j); }
inline void vprintConfigureJob(vprint* j) { vprintClassOf(j)->configureJob(j); }
inline void vprintOpen(vprint* j) { vprintClassOf(j)->open(j); }
inline void vprintBeginPage(vprint* j) { vprintClassOf(j)->beginPage(j); }
inline void vprintEndPage(vprint* j) { vprintClassOf(j)->endPage(j); }
inline void vprintClose(vprint* j) { vprintClassOf(j)->close(j); }
inline void vprintConnect(vprint* j) { vprintClassOf(j)->connect(j); }
inline void vprintDisconnect(vprint* j) { vprintClassOf(j)->disconnect(j); }
inline void vprintWrite(vprint* j, const void* bytes, std::size_t count, std::size_t size) {
  vprintClassOf(j)->write(j, bytes, count, size);
}
// Sends the scribe's characters through vprintWrite; consumes the scribe.
void _vprintWriteScribe(vprint* job, vscribe* s);
// The base class's page start, binding the drawing to target (the job
// itself, or what the class's driver draws into) for a page in the range.
void _vprintBeginPageWith(vprint* job, void* target);
// The characters of a C string through vprintWrite.
void _vprintWriteString(vprint* job, const char* text);

// Reads "printpaperdict" again, as building the class does.
void _vprintReadPaperDictionary();

// Fills the printing row of the framework's start-up order.
void vprintInstallStartup();
