// The image editor's file dispatch: names, readers, writers and the shared
// choosers.
#include "fw/imaging/vimageedtr_io.h"

#include <new>
#include <string>

#include "fw/core/event.h"
#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/core/scribe.h"
#include "fw/core/sys.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window.h"
#include "fw/imaging/codecs/vimportgif.h"
#include "fw/imaging/codecs/vimportpbm.h"
#include "fw/imaging/codecs/vimportwin.h"
#include "fw/imaging/codecs/vimportxbm.h"
#include "fw/imaging/vimageedtr.h"
#include "fw/widgets/choosers/notice.h"
#include "fw/widgets/dialog/dialog.h"

namespace {


const char* const kImportTypes[] = {"Default", "BMP", "DIB", "GIF", "ICO", "PBM", "PGM", "PPM", "XBM"};
const char* const kExportTypes[] = {"XBM", "BMP", "GIF", "ICO", "PBM", "PGM", "PPM"};
constexpr int kImportCount = int(sizeof kImportTypes / sizeof *kImportTypes);
constexpr int kExportCount = int(sizeof kExportTypes / sizeof *kExportTypes);

struct Exported {
  const char* type;
  int format;
  const char* extension;
};
const Exported kFormats[] = {
    {"GIF", vimageedtrGIF, "gif"}, {"XBM", vimageedtrXBM, nullptr}, {"PBM", vimageedtrPBM, "pbm"},
    {"PGM", vimageedtrPGM, "pgm"}, {"PPM", vimageedtrPPM, "ppm"},   {"BMP", vimageedtrBMP, "bmp"},
    {"ICO", vimageedtrICO, "ico"},
};

struct Extension {
  const char* text;
  int reader;
};
const Extension kExtensions[] = {
    {"pbm", vimageedtrREAD_PNM}, {"pgm", vimageedtrREAD_PNM}, {"ppm", vimageedtrREAD_PNM},
    {"gif", vimageedtrREAD_GIF}, {"dib", vimageedtrREAD_BMP}, {"bmp", vimageedtrREAD_BMP},
    {"ico", vimageedtrREAD_ICO},
};

struct ModuleState {
  vfilechsr* importChooser = nullptr;
  vfilechsr* exportChooser = nullptr;
  bool choosersExit = false;
};
void** stateSlot = nullptr;

ModuleState* state() {
  if (auto* bound = vmoduleState<ModuleState>(stateSlot)) return bound;
  auto* st = new (vmoduleBindSlot(stateSlot, sizeof(ModuleState))) ModuleState;
  vmoduleAddContextExitProc([] { state()->~ModuleState(); });
  return st;
}

// The context's close destroys its windows, the choosers among them, and
// the window layer may be gone before the exit procedures run: forgotten.
void forgetChoosers() {
  ModuleState* st = state();
  st->importChooser = st->exportChooser = nullptr;
  st->choosersExit = false;
}

std::string pathText(const vfsPath* path) {
  vstr* s = vfsPathToString(path);
  std::string out = s ? s : "";
  if (s) vstrDestroy(s);
  return out;
}

// The file's name: the path's last element.
std::string fileName(const vfsPath* path) {
  int n = vfsCountPathElements(path);
  return n > 0 ? vfsGetPathElement(path, n - 1) : "";
}

vimage* readWith(int reader, const vfsPath* path) {
  switch (reader) {
    case vimageedtrREAD_PNM:
      return vimportPBM(path);
    case vimageedtrREAD_GIF:
      return vimportGIF(path);
    case vimageedtrREAD_BMP:
      return vimportBMP(path);
    case vimageedtrREAD_ICO: {
      vimage** images = vimportICO(path);
      return images ? vimportPickIcon(images) : nullptr;
    }
    default:
      return vimportXBM(path);
  }
}

// An image and mask attached for one write, detached whatever happens.
struct IconMask {
  vimage* image;
  IconMask(vimage* image, const vimage* mask) : image(image) {
    vimageSetMaskOwned(image, static_cast<vimage*>(vobjectClone(const_cast<vimage*>(mask))));
  }
  ~IconMask() { vimageSetMask(image, nullptr); }  // destroys the owned copy
};

// 1 written, 0 refused; raises on a write error.
int writeWith(int format, const vfsPath* path, vimage* image, const vimage* mask) {
  switch (format) {
    case vimageedtrXBM:
      vimportWriteXBM(path, image);
      return 1;
    case vimageedtrPBM:
      vimportWritePNM(path, image, 1);
      return 1;
    case vimageedtrPGM:
      vimportWritePNM(path, image, 3);
      return 1;
    case vimageedtrPPM:
      vimportWritePNM(path, image, 5);
      return 1;
    case vimageedtrBMP:
      return vimportwinWriteBMP(path, image);
    case vimageedtrICO: {
      IconMask attached(image, mask);
      vimage* images[] = {image, nullptr};
      return vimportWriteICO(path, images);
    }
    default:
      vimportWriteGIF(path, image);
      return 1;
  }
}

// The notice up now. A chooser whose own question just closed is raised
// again as its activation comes back, over a notice opened meanwhile: the
// notice is raised once more after that.
vnotice* shownNotice = nullptr;
int raiseNotice(vevent*) {
  if (shownNotice && vwindowIsOpen(shownNotice)) vclassRec<vwindowClassRec>(shownNotice)->raise(shownNotice);
  return 1;
}

void showNotice(const std::string& text, vwindow* near) {
  vnotice* n = vnoticeCreate();
  vnotice* outer = shownNotice;
  shownNotice = n;
  vexGuard(
      [&] {
        vnoticeSetTextScribed(n, vscribeCString(text.c_str()));
        vdialogPlace(n, near && vwindowIsOpen(near) ? near : vwindowGetRoot(), 6, 6);
        veventPostDelayed(veventCreateClient(raiseNotice, nullptr), 0, 100000000);
        vconfirmProcess(n);
      },
      [&](vexHandler& h) { vexSetCurrentException(h.savedChain); });
  shownNotice = outer;
  vinstanceDestroy(n);
}

}  // namespace

int vimageedtrImportTypeCount() { return kImportCount; }
vname vimageedtrImportType(int index) {
  return index >= 0 && index < kImportCount ? N(kImportTypes[index]) : nullptr;
}
int vimageedtrExportTypeCount() { return kExportCount; }
vname vimageedtrExportType(int index) {
  return index >= 0 && index < kExportCount ? N(kExportTypes[index]) : nullptr;
}

int vimageedtrFormatOfType(vname type) {
  if (!type) return vimageedtrGIF;
  for (const Exported& f : kFormats)
    if (N(f.type) == type) return f.format;
  return vimageedtrGIF;
}

int vimageedtrGetExportFormat(vfilechsr* chooser) {
  return vimageedtrFormatOfType(chooser && chooser->fileType ? chooser->fileType->name : nullptr);
}

const char* vimageedtrFormatExtension(int format) {
  for (const Exported& f : kFormats)
    if (f.format == format) return f.extension;
  return "gif";
}

int vimageedtrReaderFor(const char* name) {
  std::string text = name ? name : "";
  std::size_t dot = text.rfind('.');
  if (dot == std::string::npos) return vimageedtrREAD_XBM;
  const char* extension = text.c_str() + dot + 1;
  for (const Extension& e : kExtensions)
    if (vcstrCompareNoCase(extension, e.text) == 0) return e.reader;
  return vimageedtrREAD_XBM;
}

vimage* vimportPickIcon(vimage** images) {
  if (!images) return nullptr;
  vimage* best = nullptr;
  for (vimage** i = images; *i; ++i) {
    vimage* candidate = *i;
    if (!best || candidate->numColors > best->numColors ||
        (candidate->numColors == best->numColors &&
         (candidate->width > best->width || candidate->height > best->height))) {
      best = candidate;
    }
  }
  // The reader attaches each mask unowned: a dropped image's goes with it.
  for (vimage** i = images; *i; ++i) {
    if (*i == best) continue;
    vimage* mask = ((*i)->flags & vimageOWNS_MASK) ? nullptr : (*i)->mask;
    vimageDestroy(*i);
    if (mask && mask != best->mask) vimageDestroy(mask);
  }
  vmemFree(images);
  return best;
}

vimage* vimageedtrReadImage(const vfsPath* path, vimage** mask) {
  if (mask) *mask = nullptr;
  if (!path) return nullptr;
  vimage* image = nullptr;
  if (!vexTry([&] { image = readWith(vimageedtrReaderFor(fileName(path).c_str()), path); })) return nullptr;
  if (!image || !image->mask) return image;
  vimage* original = image->mask;
  bool owned = (image->flags & vimageOWNS_MASK) != 0;
  vimage* copy = nullptr;
  if (mask) vexTry([&] { copy = static_cast<vimage*>(vobjectClone(original)); });
  vimageSetMask(image, nullptr);
  if (!owned) vimageDestroy(original);  // an owned one went with the detach
  if (mask) *mask = copy;
  return image;
}

int vimageedtrIconQualifies(const vimage* image, const vimage* mask) {
  if (!image || !mask) return 0;
  auto side = [](int n) { return n == 16 || n == 32 || n == 64; };
  std::uint32_t colors = image->numColors;
  return side(image->width) && side(image->height) && (image->depth == 1 || image->depth == 4) &&
         (colors == 2 || colors == 8 || colors == 16);
}

int vimageedtrWriteImage(const vfsPath* path, vimage* image, vimage* mask, int format, vwindow* near) {
  if (!path || !image) return 0;
  vfsPath* target = vfsCopyPath(path);
  int written = 0;
  std::string reason;
  bool refused = false;
  vexGuard(
      [&] {
        if (const char* extension = vimageedtrFormatExtension(format)) vfsSetPathExtension(target, extension);
        if (format == vimageedtrICO && !vimageedtrIconQualifies(image, mask)) {
          refused = true;
          return;
        }
        written = writeWith(format, target, image, mask);
      },
      [&](vexHandler& h) {
        vexException* e = vexGetCurrentException();
        if (e && e->message) reason = e->message;
        vexSetCurrentException(h.savedChain);
      });
  std::string name = pathText(target);
  vfsFreePath(target);
  if (written) return 1;
  std::string text;
  if (refused) {
    text = "The image was not written to \"" + name +
           "\": an icon needs a transparency mask, 16, 32 or 64 pixels each way and 2, 8 or 16 colours.";
  } else {
    text = "The image could not be written to \"" + name + "\".";
    // The GIF writer refuses deep images without saying why.
    if (format == vimageedtrGIF && image->depth > 8) text += " A GIF file holds at most 256 colours.";
    else if (!reason.empty()) text += " (" + reason + ")";
  }
  showNotice(text, near);
  return 0;
}

vfilechsr* _vimageedtrSharedChooser(int kind, vfilechsrApplyFunc apply) {
  ModuleState* st = state();
  bool import = kind == vfilechsrOPEN;
  vfilechsr*& slot = import ? st->importChooser : st->exportChooser;
  if (slot) return slot;
  vfilechsr* c = vfilechsrCreate();
  vfilechsrSetKind(c, kind);
  vfilechsrSetSelectionMode(c, 1);
  vfilechsrSetDirectory(c, vfsMSWGetProgramDirectory());
  vfilechsrSetApply(c, apply);
  int count = import ? kImportCount : kExportCount;
  // With no type chosen the export writes GIF; the chooser shows that.
  vname preselect = import ? nullptr : N("GIF");
  for (int i = 0; i < count; ++i)
    vfilechsrAddFileTypes(c, 0, import ? vimageedtrImportType(i) : vimageedtrExportType(i), preselect);
  slot = c;
  if (!st->choosersExit) vmoduleAddContextExitProc(forgetChoosers);
  st->choosersExit = true;
  return c;
}

// ---- The editor's side.
namespace {

vimageedtr* editorOf(vfilechsr* chooser) { return chooser ? static_cast<vimageedtr*>(chooser->data) : nullptr; }

vfilechsr* chooserFor(vimageedtr* e, vfilechsr* own, int kind, vfilechsrApplyFunc apply) {
  vfilechsr* c = own ? own : _vimageedtrSharedChooser(kind, apply);
  // An application's own chooser may bring its own handler.
  if (!own || !c->apply) vfilechsrSetApply(c, apply);
  c->data = e;
  return c;
}

// A modal run, as every chooser of the program: the editors wait for it.
void openChooser(vimageedtr* e, vfilechsr* c) {
  if (vwindowIsOpen(c)) {
    vclassRec<vwindowClassRec>(c)->raise(c);
    return;
  }
  vdialogPlace(c, e, 6, 6);
  vfilechsrProcess(c);
  // Shared by the editors, the chooser is owned by the program: the
  // activation it leaves goes to none of them, and without a window
  // manager the keyboard would reach no window. The editor takes it back
  // (unless it went meanwhile: the chooser then forgot it).
  if (c->data == e && vwindowIsOpen(e))
    if (win::HWND h = vwindowGetMSWWindow(e)) win::SetActiveWindow(h);
}

}  // namespace

vfilechsr* vimageedtrGetImportChooser(vimageedtr* e) {
  return chooserFor(e, e ? e->importChooser : nullptr, vfilechsrOPEN, vimageedtrImportApply);
}

vfilechsr* vimageedtrGetExportChooser(vimageedtr* e) {
  return chooserFor(e, e ? e->exportChooser : nullptr, vfilechsrSAVE, vimageedtrExportApply);
}

void vimageedtrOpenImportChooser(vimageedtr* e) { openChooser(e, vimageedtrGetImportChooser(e)); }
void vimageedtrOpenExportChooser(vimageedtr* e) { openChooser(e, vimageedtrGetExportChooser(e)); }

void _vimageedtrForgetChoosers(vimageedtr* e) {
  if (!stateSlot || !*stateSlot) return;
  ModuleState* st = state();
  for (vfilechsr* c : {st->importChooser, st->exportChooser})
    if (c && c->data == e) c->data = nullptr;
}

void _vimageedtrDropChoosers() {
  if (!stateSlot || !*stateSlot) return;
  ModuleState* st = state();
  for (vfilechsr** c : {&st->importChooser, &st->exportChooser}) {
    if (!*c) continue;
    if (vwindowIsOpen(*c)) vwindowClose(*c);
    vinstanceDestroy(*c);
    *c = nullptr;
  }
}

int vimageedtrImportApply(vfilechsr* chooser, vfsPath* path) {
  vimageedtr* e = editorOf(chooser);
  if (!e || !e->imageModel || !e->imageModel->source) return 1;
  vimage* mask = nullptr;
  vimage* image = vimageedtrReadImage(path, &mask);
  if (!image) {
    // Nothing changes, but the user who chose the file is told why.
    showNotice("No image could be read from \"" + pathText(path) + "\".", vwindowIsOpen(chooser) ? static_cast<vwindow*>(chooser) : e);
    return 1;
  }
  vimageedtrRecordSetImage(e);
  vimage* source = e->imageModel->source;
  vclassRec<vobjectClassRec>(image)->copy(image, source);
  vimgedSetImage(e->imageModel, source);
  vimageDestroy(image);
  if (mask) vimageedtrSetMask(e, mask);
  vimageedtrInvalidateViews(e);
  vimageedtrRefreshSelectors(e);
  return 1;
}

int vimageedtrExportApply(vfilechsr* chooser, vfsPath* path) {
  vimageedtr* e = editorOf(chooser);
  if (!e || !e->imageModel || !e->imageModel->source) return 1;
  vimgedApply(e->imageModel);
  vimage* mask = nullptr;
  if (e->hasMask && e->maskModel && e->maskModel->source) {
    vimgedApply(e->maskModel);
    mask = e->maskModel->source;
  }
  vwindow* near = vwindowIsOpen(chooser) ? static_cast<vwindow*>(chooser) : e;
  vimageedtrWriteImage(path, e->imageModel->source, mask, vimageedtrGetExportFormat(chooser), near);
  return 1;
}
