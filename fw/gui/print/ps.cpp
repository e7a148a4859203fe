// The PostScript classes (`ps.cpp`, `psdraw.cpp`, `pstext.cpp`, `psimage.cpp`) write every byte
// themselves: their driver record is the path recorder's with a 300-dpi transform and the page
// bounds, so the framework's geometry runs as on any device while the device table and the two
// primitive tables (grey, colour) run the framework's own operation with writing switched off
// (`vprintps::after`: whatever it calls back through the tables is part of it) and then write their
// operator. One document is open per process; any failure of the open gives it back. Reals go
// through `vnumScribeFloat` with six significant digits and zero dropping off (612.5 is "612.500").
// Colours of every model go out as RGB with `sc`; 1-bit images without palette go as raw bits to
// `image` in both classes; values past a palette are black. Tests compare documents with golden
// text (the prologue against `tests/data/print/prologue.ps`) and render them through Ghostscript at
// 72 dpi, probing pixels of the raw pages.

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "fw/core/scribe.h"
#include "fw/core/sys.h"
#include "fw/data/num.h"
#include "fw/data/pref.h"
#include "fw/gui/print/ps_internal.h"

namespace vprintps {

Module m;
const char kHex[17] = "0123456789ABCDEF";

void put(vprint* job, const char* bytes, std::size_t n) { vprintWrite(job, bytes, n, 1); }
void put(vprint* job, const char* text) { put(job, text, std::strlen(text)); }

void putInt(vprint* job, std::int32_t v) {
  _vprintWriteScribe(job, vnumScribeInteger(v, vnumGetDecimalDigits(), vnumGetNormalFormat(), nullptr, 0, -1));
  put(job, " ", 1);
}

void putReal(vprint* job, double v) {
  vscribe* s = vnumScribeFloat(v, vnumGetDecimalDigits(), vnumGetNormalFormat(), nullptr, 1, 6);
  vnumScribeSetDropZeros(s, 0);
  _vprintWriteScribe(job, s);
  put(job, " ", 1);
}

void putMatrix(vprint* job, const vmatrix* x) {
  char text[160];
  std::snprintf(text, sizeof text, "[%g %g %g %g %g %g ] ", double(x->a), double(x->b), double(x->c), double(x->d),
                double(x->tx), double(x->ty));
  put(job, text);
}

vprint* target() {
  if (m.quiet) return nullptr;
  vdrawBinding* b = vdrawGetState()->binding;
  return b->driver == driverRecord() ? static_cast<vprint*>(b->target) : nullptr;
}

namespace {

// The device data: the job, and its bounds in device units.
struct Device {
  vprint* job;
  vrect bounds;
};

constexpr vfixed kScale = 273066;  // 300/72 in 16.16
const vdrawDeviceTransform kTransform = {0x30, kScale, 0, 0, kScale, 0, 0};

// The smallest enclosing rectangle of a page rectangle scaled by factor,
// within the short range.
void enclosing(const vrectFloat& r, double factor, long out[4]) {
  auto clamp = [](double v) { return long(std::clamp(v, -32768.0, 32767.0)); };
  out[0] = clamp(std::floor(r.x * factor));
  out[1] = clamp(std::floor(r.y * factor));
  out[2] = clamp(std::ceil((double(r.x) + r.width) * factor));
  out[3] = clamp(std::ceil((double(r.y) + r.height) * factor));
}

vdrawDriverRecord makeDriver() {
  vdrawDriverRecord d = vdrawPathRecorder;
  d.dataSize = sizeof(Device);
  d.open = [](void* data, void* target, int) { static_cast<Device*>(data)->job = static_cast<vprint*>(target); };
  d.deviceTransform = [](void*) { return &kTransform; };
  d.deviceBounds = [](void* data) -> const vrect* {
    auto* dev = static_cast<Device*>(data);
    long e[4];
    enclosing(dev->job->page, 300.0 / 72.0, e);
    dev->bounds = {std::int16_t(e[0]), std::int16_t(e[1]), std::int16_t(std::min(e[2] - e[0], 32767L)),
                   std::int16_t(std::min(e[3] - e[1], 32767L))};
    return &dev->bounds;
  };
  return d;
}

}  // namespace

const vdrawDriverRecord* driverRecord() {
  static const vdrawDriverRecord d = makeDriver();
  return &d;
}

}  // namespace vprintps

using namespace vprintps;

namespace {

vprintClassRec* psClass = nullptr;
vprintClassRec* colorClass = nullptr;

const char kPrologue[] =
    "50 dict begin\n"
    "/ifdef {1 index where {pop pop pop}{def} ifelse} bind def\n"
    "/rrcurveto {4 {2 index sub 6 1 roll} repeat\n"
    "2 {6 1 roll} repeat} bind ifdef\n"
    "/arct {arcto pop pop pop pop} bind ifdef\n"
    "/rect {4 -2 roll moveto\n"
    "1 index 0 rlineto 0 exch rlineto neg 0 rlineto\n"
    "closepath} bind def\n"
    "/rectfill {gsave newpath rect fill grestore} bind ifdef\n"
    "/rectstroke {gsave newpath rect stroke grestore} bind ifdef\n"
    "/xshow {pop show} bind ifdef\n"
    "/xyshow {pop show} bind ifdef\n"
    "/yshow {pop show} bind ifdef\n"
    "/z /closepath load def\n"
    "/c /curveto load def\n"
    "/l /lineto load def\n"
    "/m /moveto load def\n"
    "/a /newpath load def\n"
    "/C /rcurveto load def\n"
    "/L /rlineto load def\n"
    "/M /rmoveto load def\n"
    "/CC /rrcurveto load def\n"
    "/rc {newpath {rect} repeat clip newpath} bind def\n"
    "/rf {{rectfill} repeat} bind def\n"
    "/rs {{rectstroke} repeat} bind def\n"
    "/rp {{rect} repeat} bind def\n"
    "/S /awidthshow load def\n"
    "/s /show load def\n"
    "/pc /clip load def\n"
    "/pC /eoclip load def\n"
    "/pf /fill load def\n"
    "/pF /eofill load def\n"
    "/ps /stroke load def\n"
    "/ibuf 1024 string def\n"
    "/iproc {3 -1 roll mul 7 add 8 idiv mul\n"
    "/bc 1 index 1024 idiv def /bp exch 1024 mod def\n"
    "{currentfile ibuf\n"
    "bc 0 gt {/bc bc 1 sub def}{0 bp getinterval} ifelse\n"
    "readhexstring pop}} bind def\n"
    "/i {3 index 3 index 3 index iproc image} bind def\n"
    "/im {3 index 3 index 1 iproc imagemask} bind def\n"
    "/ci {3 index 3 index 3 index 3 mul iproc false 3 colorimage} bind def\n"
    "/mtx matrix def\n"
    "/ii {currentpoint exch neg exch neg mtx translate i} bind def\n"
    "/imi {currentpoint exch neg exch neg mtx translate im} bind def\n"
    "/cii {currentpoint exch neg exch neg mtx translate ci} bind def\n"
    "/gr /grestore load def\n"
    "/gs /gsave load def\n"
    "/rm /rotate load def\n"
    "/sm /scale load def\n"
    "/tm /translate load def\n"
    "/sc /setrgbcolor load def\n"
    "/sw /setlinewidth load def\n"
    "/ssf {exch findfont exch scalefont setfont} bind def\n"
    "/msf {exch findfont exch makefont setfont} bind def\n";

vprintClassRec* streamBase() { return vprintStreamGetDefaultClass(); }

void putCurrentFont(vprint* job) {
  if (vfont* font = vdrawGetState()->matrix->font) putFontSetting(job, font);
}

void putNames(vprint* job, const std::vector<vname>& names) {
  for (vname n : names) {
    put(job, n);
    put(job, " ");
  }
  put(job, "\n");
}

void writeHeader(vprint* job) {
  std::uint32_t mode = job->mode;
  long box[4];
  enclosing(job->page, 1.0, box);
  const char* orientation = job->paper.height > job->paper.width ? "Portrait\n" : "Landscape\n";
  auto putBox = [&] {
    for (long v : box) putInt(job, std::int32_t(v));
    put(job, "\n");
  };
  put(job, mode & vprintMODE_PAGES ? "%!PS-Adobe-3.0\n" : "%!PS-Adobe-3.0 EPSF-3.0\n");
  if (vprintClassOf(job)->primitives == colorTable()) put(job, "%%Extensions: CMYK\n");
  put(job, "%%BoundingBox: ");
  putBox();
  put(job, "%%Orientation: ");
  put(job, orientation);
  put(job, mode & vprintMODE_PAGES ? "%%Pages: (atend)\n%%PageOrder: Ascend\n" : "%%Pages: 0\n");
  put(job, "%%DocumentFonts: (atend)\n%%DocumentNeededFonts: (atend)\n%%DocumentData: Clean7Bit\n%%EndComments\n");
  if (mode & vprintMODE_PAGES) {
    put(job, "%%BeginDefaults\n%%PageBoundingBox: ");
    putBox();
    put(job, "%%PageOrientation: ");
    put(job, orientation);
    put(job, "%%EndDefaults\n");
  }
  put(job, "%%BeginProlog\n");
  put(job, kPrologue);
  put(job, "%%EndProlog\n%%BeginSetup\n");
  putCurrentFont(job);
  const char* paper = vprefGetString(vprefGetDefaultDict(), vscribeLiteral("printpaper"));
  if ((mode & vprintMODE_PAGES) && paper) {
    std::string p = paper;
    std::string title = p;
    title[0] = char(std::toupper(static_cast<unsigned char>(title[0])));
    put(job, ("%%BeginFeature: *PageSize " + title + "\n/" + p + " where {pop " + p + "} if\n%%EndFeature\n").c_str());
  }
  put(job, "%%EndSetup\n");
}

void psOpen(vprint* job) {
  if (m.documentOpen)
    vexGenerateMessage(&vexModuleLimitClass, "unable to open simultaneous PostScript documents");
  m.documentOpen = true;
  m.pages = 0;
  // Any failure gives the document back, or no later one could open.
  vexGuard(
      [&] {
        streamBase()->open(job);
        m.documentFonts.clear();
        if (!(job->mode & vprintMODE_COMMENTS)) {
          put(job, kPrologue);
          putCurrentFont(job);
          return;
        }
        writeHeader(job);
      },
      [&](vexHandler&) {
        m.documentOpen = false;
        _vexGenerate(nullptr, vexEnd);
      });
}

// Runs body with the device table's writing switched off.
template <class F>
void quietly(F body) {
  m.quiet = true;
  vexGuard(body, [&](vexHandler&) {
    m.quiet = false;
    _vexGenerate(nullptr, vexEnd);
  });
  m.quiet = false;
}

void psBeginPage(vprint* job) {
  quietly([&] { streamBase()->beginPage(job); });
  if (job->mode & vprintMODE_PAGES) {
    m.pageFonts.clear();
    put(job, "%%Page: ");
    putInt(job, std::int32_t(m.pages));
    putInt(job, std::int32_t(m.pages + 1));
    put(job, "\n%%PageFonts: (atend)\n");
  }
  put(job, "save\n");
  quietly([] { vdrawInitGraphics(); });
}

void psEndPage(vprint* job) {
  if (!(job->flags & vprintIN_PAGE)) streamBase()->endPage(job);  // raises
  put(job, "restore\n");
  if (job->mode & vprintMODE_PAGES) {
    put(job, "showpage\n%%PageTrailer\n%%PageFonts: ");
    putNames(job, m.pageFonts);
    m.pageFonts.clear();
  }
  ++m.pages;
  streamBase()->endPage(job);
}

void psClose(vprint* job) {
  if ((job->flags & (vprintOPEN | vprintIN_PAGE)) != vprintOPEN) streamBase()->close(job);  // raises
  std::uint32_t mode = job->mode;
  vexGuard(
      [&] {
        if (mode & vprintMODE_COMMENTS) put(job, "%%Trailer\n");
        put(job, "end\n");
        if (mode & vprintMODE_COMMENTS) {
          if (mode & vprintMODE_PAGES) {
            put(job, "%%Pages: ");
            putInt(job, std::int32_t(m.pages));
            put(job, "\n");
          }
          put(job, "%%DocumentFonts: ");
          putNames(job, m.documentFonts);
          put(job, "%%DocumentNeededFonts: ");
          putNames(job, m.documentFonts);
          put(job, "%%EOF\n");
        }
        m.documentFonts.clear();
        streamBase()->close(job);
      },
      [&](vexHandler&) {
        m.documentOpen = false;
        _vexGenerate(nullptr, vexEnd);
      });
  m.documentOpen = false;
}

// A job destroyed with its document open (it could not be closed) gives
// the document back, or no later job could open one.
void psDestroy(vinstance* self) {
  if (static_cast<vprint*>(self)->flags & vprintOPEN) m.documentOpen = false;
  streamBase()->destroy(self);
}

void dropClasses() {
  psClass = colorClass = nullptr;
  if (m.fontDict) vprefRelease(m.fontDict);
  m = Module{};
}

void buildClasses() {
  auto* c = vclassSpawnOf<vprintClassRec>(streamBase());
  vclassSetName(c, vscribeLiteral("vprintPS"));
  c->defaultMode = vprefGetString(vprefGetDefaultDict(), vscribeLiteral("printeps")) ? 2 : 6;
  c->primitives = greyTable();
  c->deviceTable = deviceTable();
  c->driver = driverRecord();
  c->destroy = psDestroy;
  c->open = psOpen;
  c->beginPage = psBeginPage;
  c->endPage = psEndPage;
  c->close = psClose;
  psClass = c;
  auto* k = vclassSpawnOf<vprintClassRec>(c);
  vclassSetName(k, vscribeLiteral("vprintColorPS"));
  k->primitives = colorTable();
  colorClass = k;
  m.fontDict = vprefGetDict(vprefGetDefaultDict(), vscribeLiteral("printfontdict"));
  vmoduleAddContextExitProc(dropClasses);
}

}  // namespace

vprintClassRec* vprintPSGetDefaultClass() {
  if (!psClass) buildClasses();
  return psClass;
}

vprintClassRec* vprintColorPSGetDefaultClass() {
  if (!colorClass) buildClasses();
  return colorClass;
}
