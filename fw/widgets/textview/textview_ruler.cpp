// The ruler view: buttons for the tab type, justification and spacing, a
// scale with the indent and tab markers, the observer that follows the
// selection's paragraphs, and the edits that apply a ruler of changes.
#include <algorithm>
#include <array>

#include "fw/core/ex.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/image.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/namedres.h"
#include "fw/gui/window/window_event.h"
#include "fw/text/rulers.h"
#include "fw/text/selection.h"
#include "fw/text/tags.h"
#include "fw/widgets/controls/control.h"
#include "fw/widgets/textview/rulerview.h"

namespace {

constexpr int kButtons = 12, kImages = 11;
constexpr int kButtonWidth = 17, kButtonHeight = 14, kButtonTop = 3, kScaleHeight = 20;
// Index order differs from x order: the centre tab stands before the right
// one, the centre justification before the right one.
constexpr std::array<int, kButtons> kButtonX = {20, 60, 40, 80, 120, 160, 140, 180, 220, 240, 260, 300};
constexpr std::array<const char*, kImages> kImageNames = {
    "LeftTab",     "RightTab",     "CenterTab",   "DecimalTab",      "LeftJustify", "RightJustify",
    "CenterJustify", "FullJustify", "SingleSpace", "SingleHalfSpace", "DoubleSpace"};
constexpr int kFullJustify = 7, kRightIndentHandle = 11;
constexpr std::array<std::int32_t, 3> kSpacingDescent = {-2, 24, 36};

struct Drag {
  vrect feedback;
  int lastX, lastY;
  int placing;          // the tab type being placed, -1 none
  int indent;           // 0 left, 1 first line, 2 right; -1 none
  vfixed moving;        // the tab stop being moved, 0 none
  bool shown;           // feedback drawn
};

struct Module {
  vtextrulerClassRec* cls;
  vtextObserverClassRec* observer;
  vtextRuler* defaultRuler;
  Drag drag;
  bool imagesTried[2][kImages];
  vimage* images[2][kImages];  // normal, selected
};
void** moduleSlot = nullptr;

Module* module();
vdialogItemClassRec* super() { return vdialogItemGetDefaultClass(); }
vtextruler* asView(vinstance* o) { return static_cast<vtextruler*>(o); }
vtextRuler* clone(vtextRuler* r) { return static_cast<vtextRuler*>(vobjectClone(r)); }
void copyInto(vtextRuler* from, vtextRuler* to) { vclassRec<vobjectClassRec>(from)->copy(from, to); }
bool absent(vfixed m) { return m == vfixed(vtextAttrABSENT) || m == -1; }

void redraw(vtextruler* v) {
  if (v->flags & vdialogItemOPEN) vdialogInvalItem(v, 0);
}

vrect buttonRect(const vtextruler* v, int index) {
  return {std::int16_t(v->rect.x + kButtonX[std::size_t(index)] - v->scroll),
          std::int16_t(v->rect.y + v->rect.height - kButtonTop - kButtonHeight), kButtonWidth, kButtonHeight};
}

bool inside(const vrect& r, int x, int y) { return x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height; }
int scaleBottom(const vtextruler* v) { return v->rect.y; }
int at(const vtextruler* v, vfixed m) { return vtextrulerScaleOrigin(v) + int(m >> 16); }

// The text's default ruler, prepared when it waits for it.
vtextRuler* textDefault(vtext* t) {
  vtextRuler* r = t->defaultRuler ? t->defaultRuler : vtextGetDefaultRuler();
  if (r->flags & vtextRulerCHANGED) vclassRec<vtextRulerClassRec>(r)->prepare(r);
  return r;
}

bool attached(const vtextruler* v) { return v->text && v->selection && !v->useOwnRuler; }

// ---- the images

vimage* image(int set, int index) {
  Module* m = module();
  if (!m->imagesTried[set][index]) {
    vresource dict;
    // A missing image raises, as the resource store does; the found ones stay.
    if (!vapplicationFindNamedResource(N("vtextruler"), &dict))
      _vexGenerate(&vexArgClass, vexSetMessage, "resource \"vtextruler\" not found", vexEnd);
    vresource images = vresourceGet(dict, N(set ? "Selected" : "Normal"));
    m->images[set][index] = vimageLoad(vresourceGet(images, N(kImageNames[std::size_t(index)])));
    m->imagesTried[set][index] = true;
  }
  return m->images[set][index];
}

// ---- drawing

void pathTab(int type) {
  vdrawRMoveTo(-2, -2);
  vdrawRLineTo(2, 2);
  vdrawRLineTo(2, -2);
  vdrawRMoveTo(-2, 2);
  vdrawRLineTo(0, -8);
  if (type == 0) vdrawRLineTo(3, 0);
  else if (type == 1) vdrawRLineTo(-3, 0);
  else if (type == 3) vdrawRMoveTo(3, 0), vdrawRLineTo(1, 0);
}

void drawTabMarker(vtextruler*, int type) {
  if (type == 10) {
    vdrawRLineTo(2, 0);
    vdrawRLineTo(-1, 1);
    vdrawRLineTo(-1, -1);
  } else {
    pathTab(type);
  }
  vdrawStroke();
}

void drawIndentMarker(vtextruler*, int kind) {
  static constexpr int kMoves[3][3][2] = {{{0, 5}, {5, 0}, {-5, -5}}, {{6, -6}, {-6, 0}, {0, 6}}, {{-6, -6}, {6, -6}, {0, 12}}};
  for (const auto& m : kMoves[kind]) vdrawRLineTo(m[0], m[1]);
  vdrawFill(0);
}

// Where each marker's pen starts, and its rectangle on the scale.
vrect indentRect(const vtextruler* v, int kind, vfixed m) {
  int x = at(v, m), b = scaleBottom(v);
  if (kind == 2) return {std::int16_t(x - 6), std::int16_t(b), 6, 12};
  if (kind == 1) return {std::int16_t(x), std::int16_t(b), 6, 6};
  return {std::int16_t(x), std::int16_t(b + 6), 6, 6};
}
void indentPoint(int kind, const vrect& r, int* x, int* y) {
  if (kind == 2) *x = r.x + r.width, *y = r.y + r.height;
  else if (kind == 1) *x = r.x, *y = r.y + 6;
  else *x = r.x, *y = r.y;
}

void marker(vtextruler* v, bool indent, int which, int x, int y) {
  vdrawNewPath();
  vdrawPathMoveTo(x, y);
  if (indent) vtextrulerClassOf(v)->drawIndentMarker(v, which);
  else vtextrulerClassOf(v)->drawTabMarker(v, which);
}

vfixed measure(vtextRuler* r, const char* key) { return vtextRulerGetMeasureAttr(r, N(key)); }

void draw(vdialogItem* item) {
  vtextruler* v = asView(item);
  vdrawGSave();
  vdrawSetLineWidth(1.0);
  vdrawSetColor(vdialogGetItemColor(v, 2));
  vdrawRectFill(v->rect.x, v->rect.y, v->rect.width, v->rect.height);
  vdrawSetColor(vdialogGetItemColor(v, 0));
  if (v->flags & vdialogItemBORDER) vdrawFrameRects(&v->rect, 1);
  for (int i = 0; i < kImages; ++i) {
    if (i == kFullJustify) continue;
    bool on = i == v->tabType || i == v->spacingButton || i == v->justifyButton;
    vrect r = buttonRect(v, i);
    vdrawPathMoveTo(r.x, r.y);
    vdrawImage(image(on ? 1 : 0, i));
  }
  vtextRuler* w = v->working;
  vdrawSetColor(vdialogGetItemColor(v, 0));
  vdrawRectFill(v->rect.x, scaleBottom(v) + kScaleHeight - 1, v->rect.width, 1);
  vfixed step = measure(w, "TabWidth");
  if (absent(step) || step <= 0) step = 48 << 16;
  int right = v->rect.x + v->rect.width;
  for (vfixed m = step; at(v, m) < right; m += step) marker(v, false, 10, at(v, m), scaleBottom(v) + 15);
  for (int i = 0; i < w->tabCount; ++i) marker(v, false, w->tabs[i].type & 3, at(v, w->tabs[i].position), scaleBottom(v) + 12);
  vfixed ri = measure(w, "RightIndent");
  int x = 0, y = 0;
  if (absent(ri) || ri == 0) {
    vrect handle = buttonRect(v, kRightIndentHandle);
    marker(v, true, 2, handle.x + 10, scaleBottom(v) + 12);
  } else {
    indentPoint(2, indentRect(v, 2, ri), &x, &y);
    marker(v, true, 2, x, y);
  }
  for (int kind : {0, 1}) {
    vfixed m = measure(w, kind ? "FirstLineIndent" : "LeftIndent");
    indentPoint(kind, indentRect(v, kind, absent(m) ? 0 : m), &x, &y);
    marker(v, true, kind, x, y);
  }
  vdrawGRestore();
}

// The drag's marker, drawn inverting so that drawing it again erases it.
void toggleFeedback(vtextruler* v) {
  Drag& d = module()->drag;
  if (!(v->flags & vdialogItemOPEN)) return;
  vdrawGSave();
  if (_vcontrolBeginItemDrawing(v)) {
    vdrawSetDrawMode(17);
    vdrawSetColor(vdialogGetItemColor(v, 0));
    vdrawSetLineWidth(1.0);
    if (d.indent >= 0) {
      int x = 0, y = 0;
      indentPoint(d.indent, d.feedback, &x, &y);
      marker(v, true, d.indent, x, y);
    } else {
      marker(v, false, d.placing & 3, d.feedback.x + 8, d.feedback.y + 12);
    }
  }
  vdrawGRestore();
  d.shown = !d.shown;
}

// ---- refresh and apply

void refresh(vtextruler* v) {
  vtextRuler* w = v->working;
  if (!attached(v)) {
    copyInto(v->ownRuler, w);
  } else {
    vtext* t = v->text;
    copyInto(textDefault(t), w);
    std::int32_t first = vtextGetLineOfPosition(t, v->selection->start);
    std::int32_t from = first, to = first;
    vtextGetParagraphLines(t, first, &from, &to);
    vtextTagScan scan;
    vtextInitTagScan(&scan, t, vtextName("Ruler"), vtextGetLineStart(t, from));
    vtextScanTags(&scan);
    vtextMergeRulers(t, scan.tags, scan.count, w);
    vtextFreeTagScan(&scan);
  }
  int j = vtextRulerGetJustification(w);
  v->justifyButton = std::uint8_t(4 + (j < 0 ? 0 : j));
  // As written: any positive descent divided by 12 plus 7, so 1-11 give
  // single and 48 or more no button at all.
  std::int32_t d = vtextRulerGetAttr(w, N("Descent"));
  v->spacingButton = std::uint8_t(d > 0 ? d / 12 + 7 : 8);
}

struct Paragraphs {
  std::int32_t start, end;
};
Paragraphs paragraphsOf(vtextruler* v) {
  vtext* t = v->text;
  std::int32_t first = vtextGetLineOfPosition(t, v->selection->start);
  std::int32_t last = vtextGetLineOfPosition(t, std::max(v->selection->start, v->selection->end));
  std::int32_t a = first, b = first, c = last, d = last;
  vtextGetParagraphLines(t, first, &a, &b);
  vtextGetParagraphLines(t, last, &c, &d);
  std::int32_t end = d < t->lineCount ? vtextGetLineStart(t, d + 1) - 1 : t->length;
  return {vtextGetLineStart(t, a), std::max(end, vtextGetLineStart(t, a))};
}

// Applies the changes (which it takes over) with the tab being placed.
void apply(vtextruler* v, vtextRuler* changes, const vtextTab* placed, vevent* event) {
  Drag& d = module()->drag;
  vtextRuler* target = nullptr;
  bool toText = attached(v);
  if (toText) {
    vtext* t = v->text;
    Paragraphs p = paragraphsOf(v);
    vtextTagScan scan;
    vtextInitTagScan(&scan, t, vtextName("Ruler"), p.start);
    vtextScanTags(&scan);
    for (std::int32_t i = 0; i < scan.count; ++i) {
      vtextTag* tag = scan.tags[i];
      std::int32_t a = vtextGetTagStart(tag), b = vtextGetTagEnd(tag);
      vtextRuler* covering = vtextRunRuler(t, tag);
      if (!covering || a != p.start || !(b == p.end || (b == p.end - 1 && b >= p.start))) continue;
      vtextRuler* merged = clone(covering);
      vtextMergeRuler(changes, merged);
      vinstanceDestroy(changes);
      changes = merged;
      vtextClearSelectionRuler(t, v->selection, covering);
      break;
    }
    vtextFreeTagScan(&scan);
  } else {
    vtextMergeRuler(changes, v->ownRuler);
    vinstanceDestroy(changes);
    changes = v->ownRuler;
  }
  // A moved stop leaves its old place before the new one goes in, so a
  // short move keeps the stop; the change is made on the ruler of changes,
  // never on a listed ruler other paragraphs share.
  if (d.moving) vtextRulerEditTab(v->text, changes, d.moving, vtextTAB_REMOVE, nullptr);
  if (placed) {
    int type = placed->type;
    vtextRulerEditTab(v->text, changes, placed->position, vtextTAB_ADD, &type);
  }
  if (toText) {
    vtext* t = v->text;
    target = vtextFindEqualRuler(t, changes);
    if (target) {
      vinstanceDestroy(changes);
    } else {
      target = changes;
      target->flags |= vtextRulerOWNED;
      vtextAddRuler(t, target);
    }
    vtextSetSelectionRuler(t, v->selection, target);
  }
  refresh(v);
  redraw(v);
  vdialogNotifyItem(v, event);
}

vtextRuler* changesWith(const char* key, std::int32_t value, bool measureKind) {
  vtextRuler* r = vtextRulerCreate();
  if (measureKind) vtextRulerSetMeasureAttr(r, N(key), value);
  else vtextRulerSetIntegerAttr(r, N(key), value);
  return r;
}

// ---- the mouse

int buttonDown(vdialogItem* item, vevent* e) {
  vtextruler* v = asView(item);
  Drag& d = module()->drag;
  d = Drag{{}, 0, 0, -1, -1, 0, false};
  int x = veventGetX(e), y = veventGetY(e);
  d.lastX = x, d.lastY = y;
  for (int i = 0; i < kButtons; ++i) {
    if (i == kFullJustify || !inside(buttonRect(v, i), x, y)) continue;
    if (i <= 3) {
      d.placing = i;
      v->tabType = std::uint8_t(i);
      d.feedback = {std::int16_t(x - 8), std::int16_t(y - 4), 17, 14};
      redraw(v);
      return 1;
    }
    if (i <= 6) {
      vtextRuler* r = vtextRulerCreate();
      vtextRulerSetJustification(r, i - 4);
      apply(v, r, nullptr, e);
      return 0;
    }
    if (i <= 10) {
      if (i != v->spacingButton) {
        v->spacingButton = std::uint8_t(i);
        apply(v, changesWith("Descent", kSpacingDescent[std::size_t(i - 8)], false), nullptr, e);
      }
      return 0;
    }
    vfixed ri = measure(v->working, "RightIndent");
    if (!absent(ri) && ri != 0) return 0;
    vrect b = buttonRect(v, i);
    d.feedback = {std::int16_t(b.x + 4), std::int16_t(scaleBottom(v)), 6, 12};
    d.indent = 2;
    return 1;
  }
  if (y < scaleBottom(v) || y >= scaleBottom(v) + kScaleHeight) return 0;
  vtextRuler* w = v->working;
  vfixed ri = measure(w, "RightIndent"), fi = measure(w, "FirstLineIndent"), li = measure(w, "LeftIndent");
  struct Candidate {
    int kind;
    vfixed m;
    bool present;
  };
  for (const Candidate& c : {Candidate{2, ri, !absent(ri) && ri != 0}, Candidate{1, absent(fi) ? 0 : fi, true},
                             Candidate{0, absent(li) ? 0 : li, true}}) {
    vrect r = indentRect(v, c.kind, c.m);
    if (c.present && inside(r, x, y)) {
      d.indent = c.kind;
      d.feedback = r;
      return 1;
    }
  }
  int type = 0;
  vfixed stop = vtextRulerEditTab(v->text, w, vfixed(x - vtextrulerScaleOrigin(v)) << 16, vtextTAB_QUERY, &type);
  if (!stop) return 0;
  d.placing = type;
  d.moving = stop;
  d.feedback = {std::int16_t(x - 8), std::int16_t(y - 4), 17, 14};
  return 1;
}

int drag(vdialogItem* item, vevent* e) {
  vtextruler* v = asView(item);
  Drag& d = module()->drag;
  if (d.placing < 0 && d.indent < 0) return 0;
  int x = veventGetX(e), y = veventGetY(e);
  if (d.shown) toggleFeedback(v);
  d.feedback.x = std::int16_t(d.feedback.x + x - d.lastX);
  if (d.placing >= 0) d.feedback.y = std::int16_t(d.feedback.y + y - d.lastY);
  d.lastX = x, d.lastY = y;
  if (!(d.indent == 2 && !inside(v->rect, x, y))) toggleFeedback(v);
  return 1;
}

int buttonUp(vdialogItem* item, vevent* e) {
  vtextruler* v = asView(item);
  Drag& d = module()->drag;
  if (d.placing < 0 && d.indent < 0) return 0;
  if (d.shown) toggleFeedback(v);
  bool in = inside(v->rect, veventGetX(e), veventGetY(e));
  int o = vtextrulerScaleOrigin(v);
  const vrect& r = d.feedback;
  vtextRuler* changes = nullptr;
  vtextTab placed{};
  bool placing = false;
  if (d.indent >= 0) {
    if (in) {
      changes = vtextRulerCreate();
      if (d.indent == 2) {
        vtextRulerSetMeasureAttr(changes, N("RightIndent"), vfixed(r.x + r.width - o) << 16);
        vtextRulerSetBooleanAttr(changes, N("Wrap"), 1);
      } else {
        vtextRulerSetMeasureAttr(changes, N(d.indent ? "FirstLineIndent" : "LeftIndent"), vfixed(r.x - o) << 16);
      }
    } else if (d.indent == 2) {
      changes = changesWith("RightIndent", 0, true);
    }
  } else if (in || d.moving) {
    changes = vtextRulerCreate();
    if (in) {
      placed = {vfixed(r.x + 8 - o) << 16, std::uint8_t(d.placing & 3)};
      placing = true;
    }
  }
  if (changes) apply(v, changes, placing ? &placed : nullptr, e);
  d = Drag{{}, 0, 0, -1, -1, 0, false};
  return 1;
}

// ---- the class slots

// The fields as a new view has them, the own ruler aside.
void initFields(vtextruler* v) {
  v->text = nullptr;
  v->selection = nullptr;
  v->observer = nullptr;
  v->observerClass = vtextrulerGetObserverClass();
  v->tabType = 0;
  v->spacingButton = 8;
  v->justifyButton = 4;
  v->scaleOffset = 10;
  v->scroll = 0;
  v->firstLine = v->lastLine = -1;
  v->working = vtextRulerCreate();
}

void init(vinstance* self) {
  super()->init(self);
  vtextruler* v = asView(self);
  initFields(v);
  v->ownRuler = clone(vtextrulerGetDefaultRuler());
  v->ownsOwnRuler = 1;
  v->useOwnRuler = 0;
  vrect r{0, 0, 420, 36};
  vdialogSetItemRect(v, &r);
  refresh(v);
}

void destroy(vinstance* self) {
  vtextruler* v = asView(self);
  if (v->text) vtextrulerSetText(v, nullptr);
  vinstanceDestroy(v->working);
  if (v->ownsOwnRuler) vinstanceDestroy(v->ownRuler);
  super()->destroy(self);
}

void copy(vobject* source, vobject* destination) {
  if (!destination) _vexGenerate(&vexArgClass, vexSetMessage, "null destination", vexEnd);
  super()->copy(source, destination);
  vtextruler* s = asView(source);
  vtextruler* d = asView(destination);
  d->text = s->text;
  d->selection = s->selection;
  d->tabType = s->tabType;
  d->spacingButton = s->spacingButton;
  d->justifyButton = s->justifyButton;
  d->scaleOffset = s->scaleOffset;
  d->scroll = s->scroll;
  d->firstLine = d->lastLine = -1;
  if (d->ownsOwnRuler) vinstanceDestroy(d->ownRuler);
  d->ownRuler = clone(s->ownRuler);
  d->ownsOwnRuler = 1;
  // The copy watches the text with an observer of its own.
  d->observer = nullptr;
  if (d->text) {
    vtext* t = d->text;
    d->text = nullptr;
    vtextrulerSetText(d, t);
  }
}

void copyInit(vobject* source, vobject* destination) {
  vclassRec<vobjectClassRec>(source)->init(destination);
  vclassRec<vobjectClassRec>(source)->copy(source, destination);
}

void loadInit(vobject* self, vresource resource) {
  super()->loadInit(self, resource);
  vtextruler* v = asView(self);
  initFields(v);
  vresource stored;
  v->ownRuler = vresourceTestGet(resource, N("DefaultRuler"), &stored) ? vtextLoadRuler(stored)
                                                                         : clone(vtextrulerGetDefaultRuler());
  v->ownsOwnRuler = 1;
  int use = 0;
  v->useOwnRuler = vresourceTestGetBoolean(resource, N("UseDefault"), &use) && use ? 1 : 0;
  refresh(v);
}

void store(vobject* self, vresource resource) {
  super()->store(self, resource);
  vtextruler* v = asView(self);
  vresource child = vresourceMake(resource, N("DefaultRuler"));
  vclassRec<vobjectClassRec>(v->ownRuler)->store(v->ownRuler, child);
  vresourceSetBoolean(resource, N("UseDefault"), v->useOwnRuler ? 1 : 0);
}

void size(vdialogItem*, int* w, int* h) {
  *w = 20;
  *h = 36;
}

vtextRuler* getRuler(vtextruler* v) { return v->ownRuler; }

void setRuler(vtextruler* v, vtextRuler* r) {
  if (r == v->ownRuler) return;
  if (v->ownsOwnRuler) vinstanceDestroy(v->ownRuler);
  v->ownRuler = r;
  v->ownsOwnRuler = 0;
  refresh(v);
  redraw(v);
}

// ---- the observer: the hooks receive the view

bool active(vtextruler* v) { return (v->flags & vdialogItemOPEN) && (v->flags & vdialogItemENABLED); }

void deleted(vinstance* target, std::int32_t, std::int32_t) {
  vtextruler* v = asView(target);
  if (!active(v) || !v->text || !v->selection) return;
  vtext* t = v->text;
  std::int32_t p = v->selection->start;
  bool startsLine = p <= 0 || *vtextGetCharPointer(t, p - 1) == '\n';
  bool endsLine = p >= t->length || *vtextGetCharPointer(t, p) == '\n';
  if (startsLine && endsLine) {
    refresh(v);
    redraw(v);
  }
}

void selectionChanged(vinstance* target, vtextSelection* s, int phase) {
  vtextruler* v = asView(target);
  if (!active(v) || s != v->selection || phase != 1 || !v->text) return;
  std::int32_t first = vtextGetLineOfPosition(v->text, s->start);
  std::int32_t last = s->length ? vtextGetLineOfPosition(v->text, s->end) : first;
  if (first == v->firstLine && last == v->lastLine) return;
  v->firstLine = first, v->lastLine = last;
  refresh(v);
  redraw(v);
}

void destroyed(vinstance* target, vtext*) { vtextrulerSetText(asView(target), nullptr); }

void exitContext() {
  Module* m = static_cast<Module*>(*moduleSlot);
  if (!m) return;
  for (auto& set : m->images)
    for (vimage*& i : set)
      if (i) vimageDestroy(i), i = nullptr;
  if (m->defaultRuler) vinstanceDestroy(m->defaultRuler);
}

Module* module() {
  if (auto* bound = vmoduleState<Module>(moduleSlot)) return bound;
  auto* m = static_cast<Module*>(vmoduleBindSlot(moduleSlot, sizeof(Module)));
  *m = Module{};
  m->drag = Drag{{}, 0, 0, -1, -1, 0, false};
  vtextRuler* r = vtextRulerCreate();
  vtextRulerSetMeasureAttr(r, N("RightIndent"), 400 << 16);
  vtextRulerSetBooleanAttr(r, N("Wrap"), 1);
  vtextRulerSetMeasureAttr(r, N("FirstLineIndent"), 50 << 16);
  vtextRulerSetMeasureAttr(r, N("TabWidth"), 48 << 16);
  int type = 0;
  vtextRulerEditTab(nullptr, r, 80 << 16, vtextTAB_ADD, &type);
  m->defaultRuler = r;

  auto* o = vclassSpawnOf<vtextObserverClassRec>(vtextObserverGetDefaultClass());
  vclassSetName(o, vscribeLiteral("vtextrulerObserver"));
  o->deleted = deleted;
  o->selectionChanged = selectionChanged;
  o->destroyed = destroyed;
  m->observer = o;

  auto* c = vclassSpawnOf<vtextrulerClassRec>(super());
  vclassSetName(c, vscribeLiteral("vtextruler"));
  vclassSetInstanceSize(c, sizeof(vtextruler));
  c->init = init;
  c->destroy = destroy;
  c->copy = copy;
  c->copyInit = copyInit;
  c->loadInit = loadInit;
  c->store = store;
  c->naturalSize = size;
  c->minSize = size;
  c->draw = draw;
  c->buttonDown = buttonDown;
  c->motion = drag;
  c->drag = drag;
  c->buttonUp = buttonUp;
  c->getRuler = getRuler;
  c->setRuler = setRuler;
  c->drawTabMarker = drawTabMarker;
  c->drawIndentMarker = drawIndentMarker;
  c->borderInset = 3;
  m->cls = c;
  vmoduleAddContextExitProc(exitContext);
  return m;
}

}  // namespace

vtextrulerClassRec* vtextrulerGetDefaultClass() { return module()->cls; }
vtextObserverClassRec* vtextrulerGetObserverClass() { return module()->observer; }
vtextRuler* vtextrulerGetDefaultRuler() { return module()->defaultRuler; }
vtextruler* vtextrulerCreate() { return asView(vinstanceCreate(vtextrulerGetDefaultClass())); }

void vtextrulerSetText(vtextruler* v, vtext* text) {
  if (v->text && v->observer) {
    vtextObserver* o = v->observer;
    v->observer = nullptr;
    vtextRemoveObserver(v->text, o);
  }
  v->text = text;
  if (!text) v->selection = nullptr;
  if (text) {
    auto* o = static_cast<vtextObserver*>(vinstanceCreate(v->observerClass));
    o->client = v;
    o->flags = vtextObserverOWNED;
    o->passClient = 1;
    vtextInstallObserver(text, o);
    v->observer = o;
  }
  v->firstLine = v->lastLine = -1;
  refresh(v);
  redraw(v);
}

void vtextrulerSetSelection(vtextruler* v, vtextSelection* selection) {
  v->selection = selection;
  v->firstLine = v->lastLine = -1;
  refresh(v);
  redraw(v);
}

void vtextrulerRefresh(vtextruler* v) { refresh(v); }

int vtextrulerButtonX(const vtextruler* v, int index) { return buttonRect(v, index).x; }

int vtextrulerScaleOrigin(const vtextruler* v) {
  int o = v->rect.x - v->scroll + v->scaleOffset;
  return (v->flags & vdialogItemBORDER) ? o + vtextrulerClassOf(v)->borderInset : o;
}

void _vtextrulerStartupClasses() {
  vtextrulerGetDefaultClass();
  vtextrulerGetObserverClass();
}
