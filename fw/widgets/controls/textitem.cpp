#include "fw/widgets/controls/textitem.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <string_view>

#include "fw/core/sys.h"
#include "fw/data/num.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/window_event.h"
#include "fw/text/rulers.h"
#include "fw/text/styleruns.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/look/laf.h"

namespace {

struct Module {
  vtextitemClassRec* itemClass;
  vobjectClassRec* styleClass;  // registered names only
  vobjectClassRec* rulerClass;
  vtextClassRec* textClass;
  vclass* pendingTextClass;  // during a copy-init only
  vtextStyle* defaultStyle;  // no attributes
  vtextRuler* defaultRuler;  // "Wrap" Off
};
void** moduleSlot = nullptr;
Module* module();

vtextviewClassRec* super() { return vtextviewGetDefaultClass(); }
vtextitem* asItem(vinstance* o) { return static_cast<vtextitem*>(o); }
int lookId() { return vlafGetCurrent()->id; }

// The item a text belongs to: its owner word.
vtextitem* ownerOf(const vtext* t) { return reinterpret_cast<vtextitem*>(t->client); }

void relayout(vtextitem* item) {
  if (!item->text) return;
  if (item->text->defaultRuler) item->text->defaultRuler->flags |= vtextRulerCHANGED;
  vtextRecalculate(item->text);
}

// ---- the text class: changes of characters need a modifiable item; the
// default ruler's right indent and the current style's font follow the item.

vtextClassRec* textSuper() { return vtextGetDefaultClass(); }

bool refused(vtext* t) {
  vtextitem* item = ownerOf(t);
  return item && !item->modifiable;
}

void prepareRuler(vtext* t, vtextRuler* ruler) {
  textSuper()->prepareRuler(t, ruler);
  vtextitem* item = ownerOf(t);
  if (!item || ruler != t->defaultRuler || !(ruler->flags & vtextitemMANAGED)) return;
  int width = item->content.width - (lookId() == vlafWIN95 ? 1 : 0);
  vtextRulerPutAttr(vclassRec<vtextAttributedClassRec>(ruler)->definitions, &ruler->attributes, N("RightIndent"),
                    nullptr, std::intptr_t(std::max(0, width - 2 * item->leftMargin)) << 16);
}

void prepareStyle(vtext* t, vtextStyle* style) {
  vtextitem* item = ownerOf(t);
  if (item && style == t->currentStyle && (style->flags & vtextitemMANAGED))
    vtextRulerPutAttr(vclassRec<vtextAttributedClassRec>(style)->definitions, &style->attributes, vname_Font,
                      vdialogDetermineItemFont(item), 0);
  textSuper()->prepareStyle(t, style);
}

vtextClassRec* makeTextClass() {
  auto* c = vclassSpawnOf<vtextClassRec>(vtextGetDefaultClass());
  vclassSetName(c, vscribeLiteral("vtextitemText"));
  c->insertText = [](vtext* t, vtextSelection* s, const char* chars, std::int32_t n) {
    if (!refused(t)) textSuper()->insertText(t, s, chars, n);
  };
  c->deleteSelection = [](vtext* t, vtextSelection* s) {
    if (!refused(t)) textSuper()->deleteSelection(t, s);
  };
  c->prepareRuler = prepareRuler;
  c->prepareStyle = prepareStyle;
  return c;
}

// ---- the text's ruler and style

void adoptRuler(vtext* t) {
  if (t->defaultRuler) {
    t->defaultRuler->flags |= vtextitemMANAGED;
    return;
  }
  auto* r = static_cast<vtextRuler*>(vobjectClone(module()->defaultRuler));
  r->flags |= vtextRulerOWNED | vtextitemMANAGED;
  vtextSetDefaultRuler(t, r);
}

void adoptStyle(vtext* t) {
  if (t->currentStyle) {
    t->currentStyle->flags |= vtextitemMANAGED | vtextStyleKEPT;
    return;
  }
  vtextStyle* s = vtextStyleClone(module()->defaultStyle);
  s->flags |= vtextStyleOWNED | vtextitemMANAGED | vtextStyleKEPT;
  vtextSetCurrentStyle(t, s);
}

void setText(vtextview* view, vtext* t) {
  super()->setText(view, t);
  if (!t) return;
  vtextitem* item = asItem(view);
  if (ownerOf(t) && ownerOf(t) != item) {
    t->client = reinterpret_cast<std::uintptr_t>(item);
    return;
  }
  adoptRuler(t);
  adoptStyle(t);
  t->client = reinterpret_cast<std::uintptr_t>(item);
}

vtext* createText(vtextitem*) {
  vclass* cls = module()->pendingTextClass ? module()->pendingTextClass : module()->textClass;
  return static_cast<vtext*>(vinstanceCreate(cls));
}

// A new text of the item's own, its layout held until installed, with a
// caret at 0.
void installNewText(vtextitem* item, vtext* t) {
  t->mode |= vtextMODE_FROZEN;
  vtextviewClassOf(item)->setText(item, t);
  vtextThawUpdates(t);
  vtextSelection* s = vtextCreateSelection(t);
  vtextviewSetSelection(item, s);
  vtextSetSelectionRange(t, s, 0, 0);
}

// ---- the slots

void init(vinstance* self) {
  super()->init(self);
  vtextitem* item = asItem(self);
  item->modifiable = 1;
  vtextitemSetSelectable(item, 1);
  item->oneLine = 0;
  installNewText(item, vtextitemClassOf(item)->createText(item));
  vdialogSetItemBorder(item, 1);
  item->rightMargin = 0;
  item->leftMargin = 2;
  item->textViewFlags &= std::uint16_t(~vtextviewNO_HORZ_SCROLL);
}

void destroy(vinstance* self) {
  vtextitem* item = asItem(self);
  vtext* t = item->text;
  vtextSelection* s = item->selection;
  super()->destroy(self);
  if (t) {
    if (s) vtextDestroySelection(t, s);
    vtextDestroy(t);
  }
}

void copy(vobject* source, vobject* destination) {
  vtextitem* from = asItem(source);
  vtextitem* to = asItem(destination);
  vtext* kept = to->text;
  vtextSelection* keptSelection = to->selection;
  super()->copy(source, destination);
  if (from->text) {
    from->text->client = reinterpret_cast<std::uintptr_t>(from);
    if (!kept) {
      kept = vtextitemClassOf(to)->createText(to);
      keptSelection = vtextCreateSelection(kept);
    }
    // The view's copy shared the source's text: the item keeps its own.
    vtextviewClassOf(to)->setText(to, kept);
    to->selection = keptSelection;
    vclassRec<vobjectClassRec>(kept)->copy(from->text, kept);
    kept->client = reinterpret_cast<std::uintptr_t>(to);
    if (from->selection) vtextSetSelectionRange(kept, keptSelection, from->selection->start, from->selection->end);
  }
  to->modifiable = from->modifiable;
  vtextitemSetSelectable(to, from->selectable);
  to->oneLine = from->oneLine;
  vdialogItemClassOf(to)->setFocusable(to, (from->flags & vdialogItemFOCUSABLE) != 0);
}

void copyInit(vobject* source, vobject* destination) {
  Module* m = module();
  m->pendingTextClass = asItem(source)->text ? asItem(source)->text->cls : nullptr;
  vclassRec<vobjectClassRec>(source)->init(destination);
  m->pendingTextClass = nullptr;
  vclassRec<vobjectClassRec>(source)->copy(source, destination);
}

void loadInit(vobject* self, vresource resource) {
  super()->loadInit(self, resource);
  vtextitem* item = asItem(self);
  item->modifiable = 1;
  item->selectable = 1;
  item->oneLine = 0;
  std::int32_t justification = 0, wrap = 0;
  int flag = 0;
  vresourceTestGetInteger(resource, N("Justification"), &justification);
  vresourceTestGetInteger(resource, N("Wrap"), &wrap);
  if (vresourceTestGetBoolean(resource, N("OneLine"), &flag)) item->oneLine = flag != 0;
  if (vresourceTestGetBoolean(resource, N("Modifyable"), &flag)) item->modifiable = flag != 0;
  if (vresourceTestGetBoolean(resource, N("Selectable"), &flag)) item->selectable = flag != 0;
  vdialogItemClassOf(item)->setFocusable(item, item->selectable);
  vresource child;
  vtext* t = vresourceTestGet(resource, vname_Text, &child) ? static_cast<vtext*>(_vobjectLoadOfClass(child, vtextGetDefaultClass()))
                                                           : vtextitemClassOf(item)->createText(item);
  t->mode |= vtextMODE_FROZEN;
  if (vresourceTestGet(resource, N("DefaultRuler"), &child)) {
    auto* r = static_cast<vtextRuler*>(_vobjectLoadOfClass(child, vtextGetRulerClass()));
    r->flags |= vtextRulerOWNED | vtextitemMANAGED;
    vtextSetDefaultRuler(t, r);
  } else {
    adoptRuler(t);
    if (justification) vtextRulerSetJustification(t->defaultRuler, justification);
    if (wrap) vtextRulerSetBooleanAttr(t->defaultRuler, N("Wrap"), 1);
  }
  adoptStyle(t);
  vtextviewClassOf(item)->setText(item, t);
  vtextSelection* s = vtextCreateSelection(t);
  vtextviewSetSelection(item, s);
  vtextThawUpdates(t);
}

void store(vobject* self, vresource resource) {
  super()->store(self, resource);
  vtextitem* item = asItem(self);
  vresourceSetBoolean(resource, N("OneLine"), item->oneLine);
  vresourceSetBoolean(resource, N("Modifyable"), item->modifiable);
  vresourceSetBoolean(resource, N("Selectable"), item->selectable);
  vtext* t = item->text;
  if (!t) return;
  // The derived attributes are made again from the item when loaded.
  if (vtextRuler* r = t->defaultRuler) {
    if ((r->flags & vtextitemMANAGED) && vtextRulerFindAttr(&r->attributes, N("RightIndent")))
      vtextRulerRemoveAttr(&r->attributes, N("RightIndent"));
    if (!vtextRulerEqualAttrSet(&r->attributes, &module()->defaultRuler->attributes))
      vclassRec<vobjectClassRec>(r)->store(r, vresourceCreate(resource, N("DefaultRuler"), vresDICTIONARY));
  }
  if (vtextStyle* s = t->currentStyle)
    if ((s->flags & vtextitemMANAGED) && vtextRulerFindAttr(&s->attributes, vname_Font))
      vtextRulerRemoveAttr(&s->attributes, vname_Font);
  vclassRec<vobjectClassRec>(t)->store(t, vresourceCreate(resource, vname_Text, vresDICTIONARY));
}

// Which selectors a mode lets through: 3 both, 1 selectable only, else none.
bool gated(vtextitem* item, int selector) {
  int mode = (item->modifiable ? 2 : 0) + (item->selectable ? 1 : 0);
  if (mode == 3) return false;
  if (mode == 1) {
    static constexpr int kRefused[] = {21, 23, 24, 37, 38, 40, 42, 43, 44, 45, 48, 50, 51, 53, 54, 55, 56};
    return std::find(std::begin(kRefused), std::end(kRefused), selector) != std::end(kRefused) ||
           (selector >= 60 && selector <= 65);
  }
  return selector == 3 || (selector >= 8 && selector <= 17) || (selector >= 21 && selector <= 24) ||
         (selector >= 29 && selector <= 67);
}

int issueSelector(vobject* self, int selector, vdict* context) {
  if (gated(asItem(self), selector)) return 0;
  return super()->issueSelector(self, selector, context);
}

int keyDown(vdialogItem* self, vevent* e) {
  vtextitem* item = asItem(self);
  std::uint32_t symbol = veventGetKey(e);
  if (symbol == 0xFC09) return 0;
  if ((symbol == 0xFC0D || symbol == 0xFC8D) && item->oneLine && item->modifiable) {
    vtextviewClassOf(item)->notifyClient(item, e, 3);  // instead of a line break
    return 1;
  }
  // The blank is bound to "Select" for buttons and toggles; in a field that
  // takes typing it is text.
  if (item->modifiable && veventGetCharacter(e) == ' ' && veventGetBinding(e) == vname_Select &&
      (veventGetModifiers(e) & (veventMOD_CONTROL | veventMOD_COMMAND)) == 0 && item->text && item->selection) {
    vtextviewTypeChar(item, ' ');
    return 1;
  }
  return super()->keyDown(self, e);
}

int buttonDown(vdialogItem* self, vevent* e) {
  vtextitem* item = asItem(self);
  const vrect* a = vtextviewGetTextArea(item);
  int x = veventGetX(e), y = veventGetY(e);
  vname role = veventGetBinding(e);
  if (!item->selectable && x >= a->x && x < a->x + a->width && y >= a->y && y < a->y + a->height &&
      (role == vname_Select || role == vname_Drag))
    return 0;
  return super()->buttonDown(self, e);
}

void focus(vdialogItem* self) {
  vtextitem* item = asItem(self);
  vdialogItemList* list = item->owner;
  if (item->text && item->selection && list && (list->flags & (vdialogItemListFORWARD | vdialogItemListBACKWARD)) &&
      !(item->selection->start == 0 && item->selection->end == item->text->length))
    vtextSetSelectionRange(item->text, item->selection, 0, item->text->length);
  super()->focus(self);
}

void unfocus(vdialogItem* self) {
  vtextitem* item = asItem(self);
  super()->unfocus(self);
  if (item->text && item->selection && item->owner && vdialogItemListGetFocusItem(item->owner) != item &&
      (item->selection->start != 0 || item->selection->end != 0))
    vtextSetSelectionRange(item->text, item->selection, 0, 0);
}

int roundedHeight(vtextitem* item) { return int((vfontGetHeight(vdialogDetermineItemFont(item)) + 0x8000) >> 16); }

void minSize(vdialogItem* self, int* w, int* h) {
  super()->minSize(self, w, h);
  vtextitem* item = asItem(self);
  if (!item->oneLine) return;
  int line = roundedHeight(item);
  if (!item->text || item->text->length == 0) *h += line;
  if (lookId() == vlafWIN95) *h = std::max(*h, (line * 12 + 7) / 8);
}

void naturalSize(vdialogItem* self, int* w, int* h) {
  super()->naturalSize(self, w, h);
  vfixed cw = vfontGetCharWidth(vdialogDetermineItemFont(self));
  *w = std::max(*w, 2 * int((cw + 0x8000) >> 16));
}

void setFont(vdialogItem* self, vfont* font) {
  super()->setFont(self, font);
  vtextitem* item = asItem(self);
  if (!item->text) return;
  if (!item->text->currentStyle) adoptStyle(item->text);
  if (item->text->currentStyle->flags & vtextitemMANAGED) relayout(item);
}

void setRect(vdialogItem* self, const vrect* r) {
  super()->setRect(self, r);
  vtextitem* item = asItem(self);
  vtextRuler* ruler = item->text ? item->text->defaultRuler : nullptr;
  if (ruler && (vtextRulerGetJustification(ruler) > 0 || vtextRulerGetBooleanAttr(ruler, N("Wrap")) == 1)) relayout(item);
}

void open(vdialogItem* self) {
  super()->open(self);
  relayout(asItem(self));
}

void drawCaretShape(vtextview* view, const vrect* r) {
  if (!asItem(view)->selectable) return;
  if (lookId() == vlafOPEN_LOOK) return super()->drawCaretShape(view, r);
  vdrawRectFill(r->x, r->y, r->width, r->height);
}

// Open Look frames a one-line item with a line along its lower edge only.
void drawBorder(vtextview* view, const vrect* r) {
  if (lookId() != vlafOPEN_LOOK) return super()->drawBorder(view, r);
  vtextitem* item = asItem(view);
  bool threeD = (vlafGetCurrent()->flags & vlaf3D) != 0;
  vrect frame = *r;
  if (item->oneLine) frame.height = std::int16_t(threeD ? 2 : 1);
  vdrawGSave();
  vdrawSetLineWidth(1);
  if (threeD) {
    vdrawRectsFrameShaded(&frame, 1, nullptr, vdialogGetItemColor(item, 6), vdialogGetItemColor(item, 4));
  } else {
    vdrawSetColor(vdialogGetItemColor(item, 0));
    if (item->oneLine)
      vdrawRectFill(frame.x, frame.y, frame.width, 1);
    else
      vdrawFrameRects(&frame, 1);
  }
  vdrawGRestore();
}

// A new inherited font lays a text whose style follows the item out again.
void inheritedChanged(vobject* self, vname name, vdict* values) {
  vtextitem* item = asItem(self);
  if (name == vname_Font && vdictGet(values, vname_OldValue) != vdictGet(values, vname_Value) && item->text &&
      item->text->currentStyle && (item->text->currentStyle->flags & vtextitemMANAGED))
    relayout(item);
  super()->reserved8(self, name, values);
}

// A read-only item without a border or bars lets its owner's background show.
void drawBackground(vtextview* view, const vrect* r) {
  vtextitem* item = asItem(view);
  if (item->modifiable || (item->flags & vdialogItemBORDER) || item->horzBar || item->vertBar)
    super()->drawBackground(view, r);
}

// A read-only, borderless item in the Windows look draws on its owner's
// background, in the scheme's foreground unless it has a colour of its own:
// the class defaults are put aside while the view draws.
void draw(vdialogItem* self) {
  vtextitem* item = asItem(self);
  if (lookId() != vlafWINDOWS || item->modifiable || (item->flags & vdialogItemBORDER)) return super()->draw(self);
  auto* cls = vclassRec<vdialogItemClassRec>(item);
  vcolor* background = cls->background;
  vcolor* foreground = cls->foreground;
  bool plainForeground = (item->flags & vdialogItemENABLED) && !(item->attributes && item->attributes->foreground);
  cls->background = nullptr;
  if (plainForeground) cls->foreground = nullptr;
  auto restore = [&] {
    cls->background = background;
    cls->foreground = foreground;
  };
  vdrawGSave();
  vexGuard(
      [&] {
        if (plainForeground) vdrawSetColor(vdialogGetItemColor(item, 0));
        super()->draw(self);
      },
      [&](vexHandler&) {
        vdrawGRestore();
        restore();
        _vexGenerate(nullptr, vexEnd);
      });
  vdrawGRestore();
  restore();
}

// Steps of replacing the whole text: modifiable for the time, the caret
// after the new text only in a modifiable item.
void replaceText(vtextitem* item, const char* chars, std::int32_t n) {
  vtext* t = item->text;
  if (!t) return;
  vtextSelection* work = vtextCreateSelection(t);
  std::int32_t wasModifiable = item->modifiable;
  item->modifiable = 1;
  vexGuard(
      [&] {
        if (item->selection && item->selection->end != 0) vtextSetSelectionRange(t, item->selection, 0, 0);
        if (t->length) vtextSetSelectionRange(t, work, 0, t->length);
        vtextInsertText(t, work, chars, n);
      },
      [&](vexHandler&) {
        vtextDestroySelection(t, work);
        item->modifiable = wasModifiable;
        _vexGenerate(nullptr, vexEnd);
      });
  vtextDestroySelection(t, work);
  if (wasModifiable && n > 0 && item->selection) vtextSetSelectionRange(t, item->selection, t->length, t->length);
  item->modifiable = wasModifiable;
  if (!item->modifiable && !(item->flags & vdialogItemBORDER)) vdialogInvalItem(item, 0);
}

void setTextChars(vtextitem* item, const char* chars) {
  if (!chars) chars = "";
  replaceText(item, chars, std::int32_t(std::strlen(chars)));
}

void setTextScribe(vtextitem* item, vscribe* scribe) {
  char* chars = vscribeCreateString(scribe);
  vexGuard([&] { replaceText(item, chars, std::int32_t(std::strlen(chars))); },
           [&](vexHandler&) {
             vscribeFreeString(chars);
             _vexGenerate(nullptr, vexEnd);
           });
  vscribeFreeString(chars);
}

void exitContext() {
  auto* m = static_cast<Module*>(*moduleSlot);
  if (!m) return;
  vtextStyleDestroy(m->defaultStyle);
  vinstanceDestroy(m->defaultRuler);
}

Module* module() {
  if (auto* bound = vmoduleState<Module>(moduleSlot)) return bound;
  for (const char* tag : {"OneLine", "Selectable", "Modifyable", "Modifiable"}) vnameInternLiteral(tag);
  auto* m = static_cast<Module*>(vmoduleBindSlot(moduleSlot, sizeof(Module)));
  *m = Module{};
  auto* c = vclassSpawnOf<vtextitemClassRec>(super());
  vclassSetName(c, vscribeLiteral("vtextitem"));
  c->instanceSize = sizeof(vtextitem);
  c->init = init;
  c->destroy = destroy;
  c->copy = copy;
  c->copyInit = copyInit;
  c->loadInit = loadInit;
  c->store = store;
  c->issueSelector = issueSelector;
  c->keyDown = keyDown;
  c->buttonDown = buttonDown;
  c->focus = focus;
  c->unfocus = unfocus;
  c->minSize = minSize;
  c->naturalSize = naturalSize;
  c->setFont = setFont;
  c->setRect = setRect;
  c->open = open;
  c->draw = draw;
  // An item that cannot be selected offers an input method no room.
  c->inputRect = [](vtextview* v, vrect* out) {
    if (asItem(v)->selectable) return super()->inputRect(v, out);
    *out = vrect{};
  };
  // A one-line field keeps a paste up to its first line end: lines past
  // it would be out of sight, yet Return would read them run together.
  c->pasteLength = [](vtextview* v, const char* chars, std::int32_t length) {
    if (!asItem(v)->oneLine) return length;
    std::int32_t n = 0;
    while (n < length && chars[n] != '\n' && chars[n] != '\r') ++n;
    return n;
  };
  c->drawBackground = drawBackground;
  c->drawBorder = drawBorder;
  c->reserved8 = inheritedChanged;
  c->drawCaretShape = drawCaretShape;
  c->setText = setText;
  c->setTextChars = setTextChars;
  c->setTextScribe = setTextScribe;
  c->createText = createText;
  m->itemClass = c;
  for (auto [cls, name] : {std::pair{&m->styleClass, "vtextitemTextStyle"}, std::pair{&m->rulerClass, "vtextitemTextRuler"}}) {
    *cls = vclassSpawnOf<vobjectClassRec>(vobjectGetDefaultClass());
    vclassSetName(*cls, vscribeLiteral(name));
  }
  m->textClass = makeTextClass();
  m->defaultStyle = vtextStyleCreate();
  m->defaultStyle->flags |= vtextitemMANAGED;
  m->defaultRuler = vtextRulerCreate();
  vtextRulerSetBooleanAttr(m->defaultRuler, N("Wrap"), 0);
  m->defaultRuler->flags |= vtextitemMANAGED;
  vmoduleAddContextExitProc(exitContext);
  return m;
}

std::string_view wholeText(vtextitem* item, std::string& buffer) {
  buffer.assign(std::size_t(item->text ? item->text->length : 0), '\0');
  if (!buffer.empty()) vtextGetChars(item->text, 0, item->text->length, buffer.data(), std::int32_t(buffer.size()) + 1);
  return buffer;
}

// Blanks may follow the number, nothing else.
void onlyBlanksAfter(const std::string& text, const char* end, const char* message) {
  for (const char* p = end; p < text.data() + text.size(); ++p)
    if (!std::isspace(static_cast<unsigned char>(*p))) vexGenerateMessage(&vexNumSyntaxClass, message);
}

}  // namespace

vtextitemClassRec* vtextitemGetDefaultClass() { return module()->itemClass; }
vtextClassRec* vtextitemGetTextClass() { return module()->textClass; }
vtextitem* vtextitemCreate() { return asItem(vinstanceCreate(vtextitemGetDefaultClass())); }
void vtextitemStartup() { module(); }

void vtextitemSetModifiable(vtextitem* item, int on) { item->modifiable = on != 0; }

void vtextitemSetSelectable(vtextitem* item, int on) {
  item->selectable = on != 0;
  vdialogItemClassOf(item)->setFocusable(item, on != 0);
}

void vtextitemSetOneLine(vtextitem* item, int on) { item->oneLine = on != 0; }

void vtextitemMakeStatic(vtextitem* item) {
  vdialogSetItemBorder(item, 0);
  item->rightMargin = 3;
  item->textViewFlags |= vtextviewNO_HORZ_SCROLL;
  vtextitemSetSelectable(item, 0);
  vtextitemSetModifiable(item, 0);
}

void vtextitemSetWrap(vtextitem* item, int on) {
  if (!item->text) return;
  vtextRuler* r = item->text->defaultRuler;
  if (!r) {
    if (on == 0) return;
    adoptRuler(item->text);
    r = item->text->defaultRuler;
  } else if ((vtextRulerGetBooleanAttr(r, N("Wrap")) == 1) == (on == 1) && on != -1) {
    return;
  }
  if (on == -1) {
    if (vtextRulerFindAttr(&r->attributes, N("Wrap"))) vtextRulerRemoveAttr(&r->attributes, N("Wrap"));
  } else {
    vtextRulerSetBooleanAttr(r, N("Wrap"), on == 1);
  }
  relayout(item);
}

int vtextitemGetWrap(vtextitem* item) {
  vtextRuler* r = item->text ? item->text->defaultRuler : nullptr;
  return r && vtextRulerGetBooleanAttr(r, N("Wrap")) == 1;
}

void vtextitemSetJustification(vtextitem* item, int justification) {
  if (!item->text) return;
  vtextRuler* r = item->text->defaultRuler;
  if (!r) {
    if (justification == 0 || justification == -1) return;
    adoptRuler(item->text);
    r = item->text->defaultRuler;
  } else if (vtextRulerGetJustification(r) == justification) {
    return;
  }
  vtextRulerSetJustification(r, justification);
  relayout(item);
}

int vtextitemGetJustification(vtextitem* item) {
  vtextRuler* r = item->text ? item->text->defaultRuler : nullptr;
  return r ? std::max(0, vtextRulerGetJustification(r)) : 0;
}

std::int32_t vtextitemCopyText(vtextitem* item, char* buffer, std::int32_t size) {
  if (size <= 0) return 0;
  std::int32_t n = item->text ? std::min(item->text->length, size - 1) : 0;
  if (n > 0) vtextGetChars(item->text, 0, n, buffer, size);
  buffer[n] = '\0';
  return n;
}

char* vtextitemGetString(vtextitem* item) {
  std::int32_t n = item->text ? item->text->length : 0;
  auto* out = static_cast<char*>(vmemAlloc(std::size_t(n) + 1));
  vtextitemCopyText(item, out, n + 1);
  return out;
}

vscribe* vtextitemGetTextScribe(vtextitem* item) {
  std::string buffer;
  wholeText(item, buffer);
  vstr* s = vstrAllocSized(buffer.size());
  std::memcpy(s, buffer.data(), buffer.size());
  return vstrScribe(s);
}

std::int32_t vtextitemGetInteger(vtextitem* item) {
  std::string text;
  wholeText(item, text);
  const char* end = nullptr;
  std::int32_t value = vnumParseInteger(text.data(), std::int32_t(text.size()), &end);
  onlyBlanksAfter(text, end, "Extra text after integer.");
  return value;
}

double vtextitemGetFloat(vtextitem* item) {
  std::string text;
  wholeText(item, text);
  const char* end = nullptr;
  double value = vnumParseFloat(text.data(), std::int32_t(text.size()), &end);
  onlyBlanksAfter(text, end, "Extra text after float.");
  return value;
}
