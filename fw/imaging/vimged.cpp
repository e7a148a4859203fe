// The editor model's class: creation and copies, views, the edited image and
// its palette, the composed display image, undo and redo.
#include "fw/imaging/vimged.h"

#include <algorithm>
#include <cstring>

#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/imaging/codecs/pixops_internal.h"
#include "fw/imaging/vimged_internal.h"
#include "platform/win.h"

using namespace imged;

namespace imged {

void notifyOwner(vimged* m) {
  if ((m->flags & vimgedREPORT) && m->changed) m->changed(m, 0, 0);
}

void closeStep(vimged* m, const char* name) {
  if (!(m->flags & vimgedCOMPOUND)) vundoCloseTopAction(m->undo, vscribeLiteral(name));
}

void Compound::close(const char* name) {
  restore();
  if (outer_) vundoCloseTopAction(m_->undo, vscribeLiteral(name));
}

void releaseCursor(vimged* m) {
  if (m->cursor) vpixmapFinishCursor(m->cursor);
  m->cursor = nullptr;
}

void placeCursor(vimged* m) {
  releaseCursor(m);
  if (!m->working) return;
  vpixmapInitCursor(&m->cursorStore, m->working);
  m->cursor = &m->cursorStore;
}

vpixmapCursor* workingCursor(vimged* m) {
  placeCursor(m);
  return m->cursor;
}

void freeColors(vimged* m) {
  if (m->colors) {
    for (std::uint32_t i = 0; i < m->colorCount; ++i) vcolorRelease(m->colors[i]);
    vmemFree(m->colors);
  }
  m->colors = nullptr;
  m->colorCount = 0;
}

void buildColors(vimged* m) {
  freeColors(m);
  if (!m->working || (m->working->flags & vimageNO_PALETTE)) return;
  const vcolorList* palette = vimageGetPalette(m->working);
  if (!palette->count) return;
  m->colors = static_cast<vcolor**>(vmemAllocClear(vmemArraySize(palette->count, sizeof(vcolor*))));
  for (std::uint32_t i = 0; i < palette->count; ++i) {
    vcolorSpec spec;
    vcolorCopyInitSpec(&palette->entries[i], &spec);
    vcolorSetSpecRGBDelta(&spec, 511, 511, 511);
    vcolorSetSpecMaxDotDither(&spec, 64);
    m->colors[i] = vcolorInternSpec(&spec);
    m->colorCount = i + 1;
  }
}

void recomputeBounds(vimged* m) {
  m->bounds = {0, 0, 0, 0};
  if (m->working) m->bounds = {0, 0, m->working->width, m->working->height};
  tell(m, &vimgedViewHooks::sizeChanged);
}

void startOutline(vimged* m) { vtimerStart(m->timer); }
void stopOutline(vimged* m) { vtimerStop(m->timer); }

}  // namespace imged

namespace {

void** classSlot = nullptr;

vimged* self(vinstance* i) { return static_cast<vimged*>(i); }

void tick(vtimer* timer) {
  auto* m = static_cast<vimged*>(timer->data);
  tell(m, &vimgedViewHooks::outlineTick);
  m->dashPhase = m->dashPhase <= 0 ? double(m->dash[1]) : 0.0;
}

vtimer* newTimer(vimged* m) {
  vtimer* t = vtimerCreate();
  t->notify = tick;
  t->data = m;
  t->periodSeconds = 0;
  t->periodNanoseconds = 333000000;
  t->flags |= vtimerRECURRENT;
  return t;
}

// An image of the display's depth; the headless and X11 displays are true
// colour, so deeper than eight bits it holds packed RGB without palette.
vimage* createDisplayImage(int width, int height) {
  win::HDC screen = win::GetDC(nullptr);
  int bits = win::GetDeviceCaps(screen, win::BITSPIXEL) * std::max(1, win::GetDeviceCaps(screen, win::PLANES));
  win::ReleaseDC(nullptr, screen);
  if (bits <= 0) bits = 24;
  if (bits <= 8) return vimageCreateSized(width, height, std::uint32_t(1) << bits);
  imgops::Owned made(vimageCreateSized(width, height, 2));
  vimageSetNoPalette(made.image, 1);
  vpixmapSetDepth(made.image, bits);
  return made.release();
}

void makeDisplay(vimged* m) {
  if (m->display) vimageDestroy(m->display);
  m->display = nullptr;
  if (!m->working) return;
  m->display = m->flags & vimgedTWO_COLOR ? vimageCreateSized(m->working->width, m->working->height, 2)
                                         : createDisplayImage(m->working->width, m->working->height);
}

void dropImages(vimged* m) {
  freeColors(m);
  if (m->working) {
    releaseCursor(m);
    vimageDestroy(m->working);
  }
  m->working = nullptr;
  if (m->display) vimageDestroy(m->display);
  m->display = nullptr;
  if (m->snapshot) vimageDestroy(m->snapshot);
  m->snapshot = nullptr;
}

void modelInit(vinstance* instance) {
  vobjectGetDefaultClass()->init(instance);
  vimged* m = self(instance);
  std::memset(reinterpret_cast<char*>(m) + sizeof(vobject), 0, sizeof(vimged) - sizeof(vobject));
  m->undo = vundoCreate(10);
  m->timer = newTimer(m);
  m->dash[0] = m->dash[1] = 10.0f;
  m->dashPhase = 0.0;
  m->selection = vimgedSEL_NONE;
}

void modelDestroy(vinstance* instance) {
  vimged* m = self(instance);
  dropImages(m);
  if (m->timer) {
    vtimerStop(m->timer);
    vtimerDestroy(m->timer);
  }
  m->timer = nullptr;
  freeSelectionParts(m);
  // The undo records refer to the model: they go while it is whole.
  vundoDestroy(m->undo);
  m->undo = nullptr;
  for (vimgedViewLink** v = m->viewsBegin; v != m->viewsEnd; ++v) (*v)->model = nullptr;
  vmemFree(m->viewsBegin);
  m->viewsBegin = m->viewsEnd = nullptr;
  vmemFree(m->lassoPoints);
  m->lassoPoints = nullptr;
  vobjectGetDefaultClass()->destroy(instance);
}

// The field copy shares what the source owns; the copy takes its own of
// each: working and display images, cursor, colours, timer, selection,
// lasso points and a fresh undo history. It shows in no view.
void copyOwned(vimged* s, vimged* d) {
  d->bounds = s->bounds;
  d->selection = s->selection;
  d->selRect = s->selRect;
  d->selImage = s->selImage;
  d->selMask = s->selMask;
  d->outline = nullptr;
  d->dash[0] = s->dash[0];
  d->dash[1] = s->dash[1];
  d->dashPhase = s->dashPhase;
  d->holeValue = s->holeValue;
  d->flags = s->flags;
  d->source = s->source;
  d->changed = s->changed;
  d->lassoCount = d->lassoCapacity = 0;
  d->lassoPoints = nullptr;
  if (s->lassoCount > 0) {
    d->lassoPoints = static_cast<vpoint*>(vmemAlloc(vmemArraySize(std::size_t(s->lassoCount), sizeof(vpoint))));
    std::memcpy(d->lassoPoints, s->lassoPoints, sizeof(vpoint) * std::size_t(s->lassoCount));
    d->lassoCount = d->lassoCapacity = s->lassoCount;
  }
  d->working = s->working ? static_cast<vimage*>(vobjectClone(s->working)) : nullptr;
  placeCursor(d);
  makeDisplay(d);
  buildColors(d);
  d->timer = vtimerClone(s->timer);
  d->timer->data = d;
  if (d->selection & vimgedSEL_MODE) {
    duplicateSelection(d);
    tell(d, (d->selection & vimgedSEL_MODE) == vimgedSEL_MASKED ? &vimgedViewHooks::maskSelectionMade
                                                               : &vimgedViewHooks::rectSelectionMade);
  } else {
    d->selImage = d->selMask = nullptr;
  }
  recomputeBounds(d);
}

void modelCopyInit(vobject* source, vobject* destination) {
  vimged* s = self(source);
  vimged* d = self(destination);
  std::memset(reinterpret_cast<char*>(d) + sizeof(vobject), 0, sizeof(vimged) - sizeof(vobject));
  d->undo = vundoCreate(10);
  copyOwned(s, d);
  vobjectGetDefaultClass()->copyInit(source, destination);
}

void modelCopy(vobject* source, vobject* destination) {
  vimged* s = self(source);
  vimged* d = self(destination);
  if (s == d) return;
  if (d->selection & vimgedSEL_MODE) tell(d, &vimgedViewHooks::selectionRemoved);
  freeSelectionParts(d);
  dropImages(d);
  if (d->timer) vtimerDestroy(d->timer);
  d->timer = nullptr;
  vmemFree(d->lassoPoints);
  // The history belongs to the pixels it was recorded on.
  vundoDestroy(d->undo);
  d->undo = vundoCreate(10);
  copyOwned(s, d);
  vimgedInvalidateViews(d);
  vobjectGetDefaultClass()->copy(source, destination);
}

void beginChange(vimged* m) { tell(m, &vimgedViewHooks::beginChange); }
void endChange(vimged* m) { tell(m, &vimgedViewHooks::endChange); }
void removeRubberBand(vimged* m) { tell(m, &vimgedViewHooks::removeRubberBand); }
void redrawViews(vimged* m) { tell(m, &vimgedViewHooks::redrawImage); }
void notifySelectionMoved(vimged* m, int flag) { tell(m, &vimgedViewHooks::selectionMoved, flag); }
void invalidateViews(vimged* m) { tell(m, &vimgedViewHooks::invalidate); }
void nothing(vimged*) {}

void addView(vimged* m, vimgedViewLink* view) {
  if (!view) _vexGenerate(&vexArgNullClass, vexEnd);
  std::size_t n = std::size_t(m->viewsEnd - m->viewsBegin);
  m->viewsBegin =
      static_cast<vimgedViewLink**>(vmemRealloc(m->viewsBegin, vmemArraySize(n + 1, sizeof(vimgedViewLink*))));
  m->viewsBegin[n] = view;
  m->viewsEnd = m->viewsBegin + n + 1;
  view->model = m;
}

void removeView(vimged* m, vimgedViewLink* view) {
  vimgedViewLink** at = std::find(m->viewsBegin, m->viewsEnd, view);
  if (at == m->viewsEnd) return;
  std::copy(at + 1, m->viewsEnd, at);
  --m->viewsEnd;
  view->model = nullptr;
}

void apply(vimged* m) {
  vimgedCommitSelection(m);
  if (!m->source || !m->working) return;
  vclassRec<vobjectClassRec>(m->working)->copy(m->working, m->source);
  vpixmapMarkChanged(m->source);
}

vimage* getDisplayImage(vimged* m) {
  if (!(m->selection & vimgedSEL_MODE) || !m->display) return m->working;
  vimage* display = m->display;
  vimage* sel = m->selImage;
  bool masked = (m->selection & vimgedSEL_MODE) == vimgedSEL_MASKED;
  vimage* oldMask = sel->mask;
  std::uint16_t ownsMask = sel->flags & vimageOWNS_MASK;
  auto restoreMask = [&] {
    if (!masked) return;
    sel->flags &= std::uint16_t(~vimageOWNS_MASK);
    sel->mask = oldMask;
    sel->flags |= ownsMask;
  };
  vdrawGSave();
  vexGuard(
      [&] {
        vdrawBindImage(display, m->flags & vimgedTWO_COLOR ? vdrawBIND_MASK_IMAGE : 0);
        vdrawPathMoveTo(0, 0);
        vdrawImage(m->working);
        if (masked) {
          sel->flags &= std::uint16_t(~vimageOWNS_MASK);
          sel->mask = m->selMask;
        }
        vdrawPathMoveTo(m->selRect.x, m->selRect.y);
        vdrawImage(sel);
        restoreMask();
      },
      [&](vexHandler&) {
        restoreMask();
        vdrawGRestore();
        _vexGenerate(nullptr, vexEnd);
      });
  vdrawGRestore();
  return display;
}

void setImage(vimged* m, vimage* image) {
  vimgedBeginChange(m);
  if (m->selection & vimgedSEL_MODE) vimgedClearSelection(m);
  dropImages(m);
  m->source = image;
  if (image) {
    m->working = static_cast<vimage*>(vobjectClone(image));
    placeCursor(m);
    makeDisplay(m);
    buildColors(m);
  }
  recomputeBounds(m);
  vimgedInvalidateViews(m);
  vimgedEndChange(m);
}

int isModified(vimged* m) {
  if (!m->source || !m->working) return 0;
  return vimgedImagesEqual(m->source, m->working) ? 0 : 1;
}

int canUndo(vimged* m, const char** label) {
  bool can = vundoListPeekUndo(m->undo->list) != nullptr;
  if (label) *label = can ? vundoGetUndoLabel(m->undo) : nullptr;
  return can ? 1 : 0;
}

int canRedo(vimged* m, const char** label) {
  bool can = vundoListPeekRedo(m->undo->list) != nullptr;
  if (label) *label = can ? vundoGetRedoLabel(m->undo) : nullptr;
  return can ? 1 : 0;
}

void undoStep(vimged* m) {
  if (!vundoListPeekUndo(m->undo->list)) return;
  vimgedBeginChange(m);
  vundoListUndo(m->undo->list);
  vimgedEndChange(m);
}

void redoStep(vimged* m) {
  if (!vundoListPeekRedo(m->undo->list)) return;
  vimgedBeginChange(m);
  vundoListRedo(m->undo->list);
  vimgedEndChange(m);
}

void setNotify(vimged* m, int on) {
  if (on) {
    m->flags |= vimgedREPORT | vimgedDRAW_LAYER;
    if (m->working) vpixmapMarkChanged(m->working);
  } else {
    m->flags &= ~(vimgedREPORT | vimgedDRAW_LAYER);
  }
}

// Without remap the pixel values stay, so the depth never shrinks: values
// past a shortened palette remain (and draw black).
void setPalette(vimged* m, const vcolorList* palette, int remap) {
  if (!m->working || !palette || (m->working->flags & vimageNO_PALETTE)) return;
  freeColors(m);
  releaseCursor(m);
  vimage* w = m->working;
  if (remap) {
    vimgedRemapToPalette(w, palette);
  } else {
    if (palette->count > (std::uint32_t(1) << std::min<int>(w->depth, 31))) vimageSetColorCount(w, palette->count);
    vcolorListCopy(palette, vimageGetPalette(w));
    w->numColors = palette->count;
  }
  placeCursor(m);
  buildColors(m);
  vpixmapMarkChanged(w);
  recomputeBounds(m);
  vimgedInvalidateViews(m);
  notifyOwner(m);
}

vimage* getSelection(vimged* m, vimage** mask, int* x, int* y) {
  if (!(m->selection & vimgedSEL_MODE)) {
    if (mask) *mask = nullptr;
    return nullptr;
  }
  if (mask) *mask = (m->selection & vimgedSEL_MODE) == vimgedSEL_MASKED ? m->selMask : nullptr;
  if (x) *x = m->selRect.x;
  if (y) *y = m->selRect.y;
  return m->selImage;
}

int hasSelection(vimged* m) { return (m->selection & vimgedSEL_MODE) != 0 ? 1 : 0; }

}  // namespace

// Operations kept in the other files of the model.
namespace imged {
void installDrawing(vimgedClassRec* c);
void installSelection(vimgedClassRec* c);
}  // namespace imged

vimgedClassRec* vimgedGetDefaultClass() {
  if (auto* bound = vmoduleState<vimgedClassRec*>(classSlot)) return *bound;
  vimageGetDefaultClass();
  auto* c = vclassSpawnOf<vimgedClassRec>(vobjectGetDefaultClass());
  vclassSetName(c, vscribeLiteral("vimged"));
  vclassSetInstanceSize(c, sizeof(vimged));
  c->init = modelInit;
  c->destroy = modelDestroy;
  c->copy = modelCopy;
  c->copyInit = modelCopyInit;
  c->beginChange = beginChange;
  c->endChange = endChange;
  c->removeRubberBand = removeRubberBand;
  c->redrawViews = redrawViews;
  c->notifySelectionMoved = notifySelectionMoved;
  c->addView = addView;
  c->removeView = removeView;
  c->invalidateViews = invalidateViews;
  c->reserved = nothing;
  c->apply = apply;
  c->getDisplayImage = getDisplayImage;
  c->setImage = setImage;
  c->isModified = isModified;
  c->canUndo = canUndo;
  c->canRedo = canRedo;
  c->undoStep = undoStep;
  c->redoStep = redoStep;
  c->setNotify = setNotify;
  c->setPalette = setPalette;
  c->getSelection = getSelection;
  c->hasSelection = hasSelection;
  installDrawing(c);
  installSelection(c);
  clearClipboard();
  vmoduleAddContextExitProc(clearClipboard);
  *static_cast<vimgedClassRec**>(vmoduleBindSlot(classSlot, sizeof(vimgedClassRec*))) = c;
  return c;
}

vimgedClassRec* _vimgedClassOf(vimged* m) {
  if (!m) _vexGenerate(&vexArgNullClass, vexEnd);
  return vclassRec<vimgedClassRec>(m);
}

vimged* vimgedCreate() { return static_cast<vimged*>(vinstanceCreate(vimgedGetDefaultClass())); }
void vimgedDestroy(vimged* m) {
  if (!m) _vexGenerate(&vexArgNullClass, vexEnd);
  vinstanceDestroy(m);
}
