// The model's floating selection and its undo steps: lifting, detaching,
// stamping, moving, flipping, rotating, deleting, the editor clipboard and
// the Selection, Draw and Move records.
#include <algorithm>
#include <cstdint>

#include "fw/core/ex.h"
#include "fw/imaging/codecs/pixops_internal.h"
#include "fw/imaging/codecs/rlediff.h"
#include "fw/imaging/vimged_internal.h"

using namespace imged;

namespace {

// One per process, shared by every editor.
struct Clipboard {
  std::uint32_t mode;
  vrect rect;
  vimage* image;
  vimage* mask;
};
Clipboard clipboard;

// The undo records, copied whole into their custom actions.
struct SelectionRecord {
  vimged* model;
  std::int16_t x, y, width, height;
  vimage* image;
  vimage* mask;
  void* reserved[2];
  std::uint32_t inPlace;
};
struct DrawRecord {
  vimged* model;
  std::uintptr_t depth;  // of the image recorded (a reserved word of the record)
  std::uintptr_t reserved;
  vimageRLEDiff diff;
  std::uint32_t inPlace;
};
struct MoveRecord {
  vimged* model;
  std::int16_t x, y, width, height;
};

std::uint32_t mode(vimged* m) { return m->selection & vimgedSEL_MODE; }
bool masked(vimged* m) { return mode(m) == vimgedSEL_MASKED; }
bool inPlace(vimged* m) { return mode(m) && (m->selection & vimgedSEL_IN_PLACE); }
vimage* clone(vimage* i) { return i ? static_cast<vimage*>(vobjectClone(i)) : nullptr; }

void destroyImage(vimage*& i) {
  if (i) vimageDestroy(i);
  i = nullptr;
}

// The part of the selection rectangle inside the image.
vrect visiblePart(vimged* m) {
  vrect r;
  vrectIntersect(&m->selRect, &m->bounds, &r);
  return r;
}

void rebuildOutline(vimged* m) {
  if (m->outline) vimgedFreeMaskOutline(m->outline);
  m->outline = nullptr;
  if (masked(m) && m->selMask) m->outline = vimgedMaskOutline(m->selMask);
}

// Tells the views a selection was made and switches them to its tool.
void announce(vimged* m, bool switchTools) {
  tell(m, masked(m) ? &vimgedViewHooks::maskSelectionMade : &vimgedViewHooks::rectSelectionMade);
  if (switchTools) tell(m, &vimgedViewHooks::setTool, masked(m) ? vimgedTOOL_LASSO : vimgedTOOL_RECT_SELECT);
}

// ---- Undo records.

void restoreSelection(const SelectionRecord& r) {
  vimged* m = r.model;
  if (mode(m)) removeSelection(m);
  m->selRect = {r.x, r.y, r.width, r.height};
  m->selImage = clone(r.image);
  m->selMask = clone(r.mask);
  m->selection = (r.mask ? vimgedSEL_MASKED : vimgedSEL_RECT) | (r.inPlace ? std::uint32_t(vimgedSEL_IN_PLACE) : 0u);
  rebuildOutline(m);
  announce(m, true);
  startOutline(m);
  vimgedInvalidateViews(m);
  notifyOwner(m);
}

void removeByRecord(vimged* m) {
  if (!mode(m)) return;
  removeSelection(m);
  vimgedInvalidateViews(m);
  notifyOwner(m);
}

void selectionAction(void* data, int code, bool before) {
  auto* r = static_cast<SelectionRecord*>(data);
  if (code == 3) {
    destroyImage(r->image);
    destroyImage(r->mask);
    return;
  }
  if (code != 1 && code != 2) return;
  // A before-record restores on undo; an after-record on redo.
  if ((code == 1) == before) restoreSelection(*r);
  else removeByRecord(r->model);
}
void selectionBefore(vundo*, void* data, int code) { selectionAction(data, code, true); }
void selectionAfter(vundo*, void* data, int code) { selectionAction(data, code, false); }

void drawAction(vundo*, void* data, int code) {
  auto* r = static_cast<DrawRecord*>(data);
  if (code == 3) return vimageRLEFree(&r->diff);
  if (code != 1 && code != 2) return;
  vimged* m = r->model;
  vimage* w = m->working;
  // A record of another image (set-image keeps the history) is not applied:
  // its runs would reach past this one.
  if (!w || std::uintptr_t(w->depth) != r->depth || r->diff.x + r->diff.width > w->width ||
      r->diff.y + r->diff.height > w->height)
    return;
  vimageRLEApply(w, r->diff);
  vpixmapMarkChanged(w);
  vimgedRedrawViews(m);
  vimgedInvalidateViews(m);
  notifyOwner(m);
  if (r->inPlace && mode(m)) m->selection ^= vimgedSEL_IN_PLACE;
}

void moveAction(vundo*, void* data, int code) {
  auto* r = static_cast<MoveRecord*>(data);
  if (code != 1 && code != 2) return;
  vimged* m = r->model;
  if (!mode(m)) return;
  vrect previous = {r->x, r->y, r->width, r->height};
  r->x = m->selRect.x;
  r->y = m->selRect.y;
  r->width = m->selRect.width;
  r->height = m->selRect.height;
  m->selRect = previous;
  vimgedNotifySelectionMoved(m, 1);
  vimgedInvalidateViews(m);
  notifyOwner(m);
}

// ---- Operations.

void liftWhole(vimged* m, std::uint32_t hole) {
  vrect whole = m->bounds;
  vimgedLiftSelection(m, m->working, hole, 1, &whole);
}

void commitSelection(vimged* m) {
  if (!m->working || !mode(m)) return;
  vimgedBeginChange(m);
  Compound c(m);
  vimgedStampSelection(m);
  stopOutline(m);
  vimgedClearSelection(m);
  c.close("Selection");
  vimgedEndChange(m);
}

void clearSelection(vimged* m) {
  if (!mode(m)) return;
  vimgedBeginChange(m);
  stopOutline(m);
  Compound c(m);
  vimgedDetachSelection(m);
  vimgedRecordSelection(m, vimgedRECORD_BEFORE);
  c.close("Selection");
  removeSelection(m);
  vimgedInvalidateViews(m);
  vimgedEndChange(m);
}

// An existing selection is put down first: lifting over it would lose it.
void clearAll(vimged* m) {
  if (!m->working) return;
  vimgedBeginChange(m);
  Compound c(m);
  vimgedCommitSelection(m);
  liftWhole(m, 0);
  vimgedClearSelection(m);
  c.close("Selection");
  vimgedEndChange(m);
}

void selectAll(vimged* m, std::uint32_t hole) {
  if (!m->working) return;
  vimgedCommitSelection(m);
  liftWhole(m, hole);
  startOutline(m);
}

void moveSelection(vimged* m, int dx, int dy) {
  if (!mode(m)) return;
  vimgedBeginChange(m);
  Compound c(m);
  vimgedDetachSelection(m);
  vrect was = m->selRect;
  m->selRect.x = std::int16_t(m->selRect.x + dx);
  m->selRect.y = std::int16_t(m->selRect.y + dy);
  vimgedNotifySelectionMoved(m, 1);
  vimgedInvalidateViews(m);
  vimgedRecordMove(m, &was);
  c.close("Move");
  vimgedEndChange(m);
}

void flip(vimged* m, void (*flipImage)(vimage*), const char* name) {
  if (!mode(m)) return;
  vimgedBeginChange(m);
  Compound c(m);
  vimgedRecordSelection(m, vimgedRECORD_BEFORE);
  vimgedDetachSelection(m);
  flipImage(m->selImage);
  vpixmapMarkChanged(m->selImage);
  if (masked(m)) {
    flipImage(m->selMask);
    rebuildOutline(m);
  }
  tell(m, &vimgedViewHooks::selectionFlipped);
  vimgedInvalidateViews(m);
  vimgedRecordSelection(m, vimgedRECORD_AFTER);
  c.close(name);
  vimgedEndChange(m);
}
void flipHorizontal(vimged* m) { flip(m, vimgedFlipImageHorizontal, "Flip Horizontal"); }
void flipVertical(vimged* m) { flip(m, vimgedFlipImageVertical, "Flip Vertical"); }

void rotate(vimged* m) {
  if (!mode(m)) return;
  imgops::Owned image(vimgedRotateImage(m->selImage));
  imgops::Owned mask(masked(m) ? vimgedRotateImage(m->selMask) : nullptr);
  vimgedBeginChange(m);
  Compound c(m);
  vrect was = m->selRect;
  vimgedDetachSelection(m);
  vimgedClearSelection(m);
  int w = image.image->width, h = image.image->height;
  vimage* rotatedMask = mask.release();
  vimgedSetSelection(m, image.release(), rotatedMask, 0, was.x + was.width / 2 - w / 2, was.y + was.height / 2 - h / 2);
  vimgedRecordSelection(m, vimgedRECORD_AFTER);
  c.close("Rotate");
  vimgedEndChange(m);
}

void setSelection(vimged* m, vimage* image, vimage* mask, std::uint32_t hole, int x, int y) {
  if (!image) _vexGenerate(&vexArgNullClass, vexEnd);
  if (mask && mask->numColors != 2) _vexGenerate(&vexArgRangeClass, vexEnd);
  vimgedClearSelection(m);
  m->selRect = {std::int16_t(x), std::int16_t(y), image->width, image->height};
  m->holeValue = hole;
  m->selImage = image;
  m->selMask = mask;
  m->selection = mask ? vimgedSEL_MASKED : vimgedSEL_RECT;
  rebuildOutline(m);
  tell(m, mask ? &vimgedViewHooks::maskSelectionMade : &vimgedViewHooks::rectSelectionMade);
  startOutline(m);
  vimgedInvalidateViews(m);
  notifyOwner(m);
  tell(m, &vimgedViewHooks::setTool, mask ? vimgedTOOL_LASSO : vimgedTOOL_RECT_SELECT);
}

void copySelection(vimged* m) {
  if (!mode(m)) return;
  clearClipboard();
  clipboard.mode = mode(m);
  clipboard.rect = m->selRect;
  clipboard.image = clone(m->selImage);
  clipboard.mask = masked(m) ? clone(m->selMask) : nullptr;
}

void paste(vimged* m, const vrect* rect) {
  if (!rect) _vexGenerate(&vexArgNullClass, vexEnd);
  if (!clipboard.mode || !m->working) return;
  if ((clipboard.image->flags & vimageNO_PALETTE) != (m->working->flags & vimageNO_PALETTE)) return;
  vimgedBeginChange(m);
  Compound c(m);
  vimgedCommitSelection(m);
  bool twoColor = (m->flags & vimgedTWO_COLOR) != 0;
  imgops::Owned image(twoColor && clipboard.image->depth > 1 ? vimgedDitherToTwoColors(clipboard.image)
                                                              : clone(clipboard.image));
  if (!twoColor && !(m->working->flags & vimageNO_PALETTE)) {
    vcolorList* grown = vcolorListClone(vimageGetPalette(m->working));
    int added = 0;
    vexGuard([&] { added = vimgedRemapGrowPalette(image.image, grown, 8); },
             [&](vexHandler&) {
               vcolorListDestroy(grown);
               _vexGenerate(nullptr, vexEnd);
             });
    vcolorListDestroy(grown);
    if (added) vimgedSetPalette(m, vimageGetPalette(image.image), 0);
  }
  int w = image.image->width, h = image.image->height;
  m->selImage = image.release();
  m->selMask = nullptr;
  m->selection = clipboard.mode;
  m->selRect = {std::int16_t(rect->x + rect->width / 2 - w / 2), std::int16_t(rect->y + rect->height / 2 - h / 2),
                std::int16_t(w), std::int16_t(h)};
  if (masked(m)) {
    m->selMask = clone(clipboard.mask);
    rebuildOutline(m);
  }
  announce(m, false);
  startOutline(m);
  vimgedRecordSelection(m, vimgedRECORD_AFTER);
  c.close("Lasso Selection");
  std::uint32_t placing = m->flags & vimgedPLACING;
  m->flags |= vimgedPLACING;
  tell(m, &vimgedViewHooks::setTool, masked(m) ? vimgedTOOL_LASSO : vimgedTOOL_RECT_SELECT);
  m->flags = (m->flags & ~vimgedPLACING) | placing;
  vimgedInvalidateViews(m);
  vimgedEndChange(m);
}

}  // namespace

namespace imged {

void freeSelectionParts(vimged* m) {
  destroyImage(m->selImage);
  destroyImage(m->selMask);
  if (m->outline) vimgedFreeMaskOutline(m->outline);
  m->outline = nullptr;
  m->selection = vimgedSEL_NONE;
}

void removeSelection(vimged* m) {
  stopOutline(m);
  tell(m, &vimgedViewHooks::selectionRemoved);
  freeSelectionParts(m);
}

void duplicateSelection(vimged* m) {
  m->selImage = clone(m->selImage);
  m->selMask = masked(m) ? clone(m->selMask) : nullptr;
  m->outline = nullptr;
  rebuildOutline(m);
  startOutline(m);
}

void clearClipboard() {
  destroyImage(clipboard.image);
  destroyImage(clipboard.mask);
  clipboard.mode = 0;
  clipboard.rect = {0, 0, 0, 0};
}

void installSelection(vimgedClassRec* c) {
  c->commitSelection = commitSelection;
  c->clearSelection = clearSelection;
  c->clearAll = clearAll;
  c->selectAll = selectAll;
  c->moveSelection = moveSelection;
  c->flipHorizontal = flipHorizontal;
  c->flipVertical = flipVertical;
  c->rotate = rotate;
  c->setSelection = setSelection;
  c->copySelection = copySelection;
  c->paste = paste;
}

}  // namespace imged

// An existing selection is let go first, so that its images do not leak.
void vimgedLiftSelection(vimged* m, vimage* source, std::uint32_t hole, int inPlace, vrect* rect) {
  if (!m || !source || !rect) _vexGenerate(&vexArgNullClass, vexEnd);
  if (mode(m)) removeSelection(m);
  vrect bounds = {0, 0, source->width, source->height};
  vrectIntersect(rect, &bounds, rect);
  vrectIntersect(rect, &m->bounds, rect);
  if (vrectIsEmpty(rect)) return;
  m->selImage = imgops::createLike(source, rect->width, rect->height);
  vpixmapCopyRect(source, m->selImage, rect->x, rect->y, rect->width, rect->height, 0, 0);
  m->selection = vimgedSEL_RECT | (inPlace ? std::uint32_t(vimgedSEL_IN_PLACE) : 0u);
  m->holeValue = hole;
  m->selRect = *rect;
  tell(m, &vimgedViewHooks::rectSelectionMade);
}

void vimgedDetachSelection(vimged* m) {
  if (!m) _vexGenerate(&vexArgNullClass, vexEnd);
  if (!inPlace(m) || !m->working) return;
  vimgedTakeSnapshot(m);
  vrect r = visiblePart(m);
  if (masked(m)) {
    int mx = m->selRect.x < 0 ? -m->selRect.x : 0, my = m->selRect.y < 0 ? -m->selRect.y : 0;
    if (!vrectIsEmpty(&r))
      vimgedFillThroughMask(m->working, m->selMask, mx, my, r.width, r.height, r.x, r.y, m->holeValue);
    if (m->flags & vimgedDRAW_LAYER)
      drawThrough(m, m->holeValue, [&] {
        vdrawPathMoveTo(m->selRect.x, m->selRect.y);
        vdrawGetPrimitives()->ImageMask(m->selMask);
      });
  } else {
    vimgedFillRect(m, m->holeValue, m->selRect.x, m->selRect.y, m->selRect.width, m->selRect.height);
  }
  vimgedRedrawViews(m);
  vimgedRecordDraw(m);
  m->selection &= ~vimgedSEL_IN_PLACE;
  vimgedInvalidateViews(m);
}

// A selection partly outside the image writes only its inside part.
void vimgedStampSelection(vimged* m) {
  if (!m) _vexGenerate(&vexArgNullClass, vexEnd);
  if (!mode(m) || !m->working) return;
  vimgedTakeSnapshot(m);
  vimage* sel = m->selImage;
  if (masked(m)) {
    vimgedCopyThroughMask(sel, m->working, m->selMask, 0, 0, sel->width, sel->height, m->selRect.x, m->selRect.y);
  } else {
    vrect r = visiblePart(m);
    if (!vrectIsEmpty(&r))
      vpixmapCopyRect(sel, m->working, r.x - m->selRect.x, r.y - m->selRect.y, r.width, r.height, r.x, r.y);
    if (m->flags & vimgedTWO_COLOR) vpixmapMarkChanged(m->working);
  }
  if (m->flags & vimgedDRAW_LAYER)
    drawThrough(m, 0, [&] {
      vimage* oldMask = sel->mask;
      std::uint16_t owns = sel->flags & vimageOWNS_MASK;
      if (masked(m)) {
        sel->flags &= std::uint16_t(~vimageOWNS_MASK);
        sel->mask = m->selMask;
      }
      vexGuard(
          [&] {
            vdrawPathMoveTo(m->selRect.x, m->selRect.y);
            vdrawImage(sel);
          },
          [&](vexHandler&) {
            sel->mask = oldMask;
            sel->flags |= owns;
            _vexGenerate(nullptr, vexEnd);
          });
      sel->mask = oldMask;
      sel->flags |= owns;
    });
  vimgedRedrawViews(m);
  vimgedRecordDraw(m);
  m->selection &= ~vimgedSEL_IN_PLACE;
  vimgedInvalidateViews(m);
  notifyOwner(m);
}

void vimgedRecordSelection(vimged* m, int sense) {
  if (!m) _vexGenerate(&vexArgNullClass, vexEnd);
  if (!mode(m)) return;
  SelectionRecord r = {m,
                       m->selRect.x,
                       m->selRect.y,
                       m->selRect.width,
                       m->selRect.height,
                       clone(m->selImage),
                       masked(m) ? clone(m->selMask) : nullptr,
                       {nullptr, nullptr},
                       (m->selection & vimgedSEL_IN_PLACE) ? 1u : 0u};
  vundoAddCustomAction(m->undo, sense == vimgedRECORD_AFTER ? selectionAfter : selectionBefore, &r, sizeof r);
}

void vimgedTakeSnapshot(vimged* m) {
  if (!m) _vexGenerate(&vexArgNullClass, vexEnd);
  if (m->snapshot) vimageDestroy(m->snapshot);
  m->snapshot = clone(m->working);
}

// The record holds the snapshot's pixels where they differ, so its first
// application undoes the step.
void vimgedRecordDraw(vimged* m) {
  if (!m) _vexGenerate(&vexArgNullClass, vexEnd);
  if (!m->snapshot || !m->working) return;
  imgops::Owned snapshot(m->snapshot);
  m->snapshot = nullptr;
  DrawRecord r = {m, std::uintptr_t(m->working->depth), 0, {}, inPlace(m) ? 1u : 0u};
  vimageRLECompressDiff(&r.diff, m->working, snapshot.image, 0, 0, m->working->width, m->working->height);
  vundoAddCustomAction(m->undo, drawAction, &r, sizeof r);
  closeStep(m, "Draw");
}

int vimgedPointInSelection(vimged* m, vpoint p) {
  if (!m) _vexGenerate(&vexArgNullClass, vexEnd);
  if (!mode(m) || !vrectContainsPoint(&m->selRect, p.x, p.y)) return 0;
  if (!masked(m)) return 1;
  int x = p.x - m->selRect.x, y = p.y - m->selRect.y;
  if (x >= m->selMask->width || y >= m->selMask->height) return 0;
  imgops::Cursor c(m->selMask);
  return c.getAt(x, y) ? 1 : 0;
}

void vimgedRecordMove(vimged* m, const vrect* previous) {
  if (!m || !previous) _vexGenerate(&vexArgNullClass, vexEnd);
  MoveRecord r = {m, previous->x, previous->y, previous->width, previous->height};
  vundoAddCustomAction(m->undo, moveAction, &r, sizeof r);
}

vpixmapCursor* vimgedGetPixelCursor(vimged* m) {
  if (!m) _vexGenerate(&vexArgNullClass, vexEnd);
  return m->working ? workingCursor(m) : nullptr;
}

int vimgedClipboardIsEmpty() { return clipboard.mode == 0 ? 1 : 0; }
