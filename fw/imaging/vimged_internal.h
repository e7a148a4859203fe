// Shared by the model's files: telling the views, the compound step and
// drawing through the drawing layer.
#pragma once
#include <cstdint>
#include <vector>

#include "fw/gui/graphics/draw.h"
#include "fw/imaging/vimged.h"

namespace imged {

// Calls a hook on every view, in array order.
template <class Hook, class... Args>
void tell(vimged* m, Hook vimgedViewHooks::*hook, Args... args) {
  for (vimgedViewLink** v = m->viewsBegin; v != m->viewsEnd; ++v)
    if ((*v)->hooks->*hook) ((*v)->hooks->*hook)(*v, args...);
}

// Calls the owner's change callback while reporting is on.
void notifyOwner(vimged* m);

// Holds the compound flag for an operation that calls others: the inner
// steps join the open step, which only the outermost operation closes.
class Compound {
 public:
  explicit Compound(vimged* m) : m_(m), outer_(!(m->flags & vimgedCOMPOUND)) { m->flags |= vimgedCOMPOUND; }
  ~Compound() { restore(); }
  Compound(const Compound&) = delete;
  Compound& operator=(const Compound&) = delete;
  // Restores the flag; the outermost operation closes the step as name.
  void close(const char* name);
  void restore() {
    if (outer_) m_->flags &= ~vimgedCOMPOUND;
  }
  bool outer() const { return outer_; }

 private:
  vimged* m_;
  bool outer_;
};
// Closes the open step as name unless a compound operation holds it.
void closeStep(vimged* m, const char* name);

// The held cursor on the working image, placed afresh: other operations
// may have changed the pixel store since it was last used.
vpixmapCursor* workingCursor(vimged* m);
void placeCursor(vimged* m);
void releaseCursor(vimged* m);

// Binds the working image to the drawing layer with the value's colour
// (and, in two-colour mode, the mask plane and set or clear), runs body and
// restores the drawing state.
void drawThrough(vimged* m, std::uint32_t value, void (*body)(void*), void* context);
template <class F>
void drawThrough(vimged* m, std::uint32_t value, F&& body) {
  drawThrough(m, value, [](void* c) { (*static_cast<F*>(c))(); }, &body);
}

// The points of the line from p0 to p1, both ends included: the longer
// axis steps by one, the other by the error term, from the end with the
// smaller coordinate on the longer axis.
std::vector<vpoint> linePoints(vpoint p0, vpoint p1);

// The drawing colours of the working image's palette.
void buildColors(vimged* m);
void freeColors(vimged* m);

// The bounds of the working image; the views are told of the size.
void recomputeBounds(vimged* m);

// The selection: started and stopped outline timer, removal.
void startOutline(vimged* m);
void stopOutline(vimged* m);
// Drops the selection's images and outline; mode none. The views are told.
void removeSelection(vimged* m);
void freeSelectionParts(vimged* m);
// Duplicates the selection's images (after a field copy) and rebuilds the outline.
void duplicateSelection(vimged* m);

// Clipboard teardown at exit.
void clearClipboard();

}  // namespace imged
