// The style chooser: the load from the "vstylechsr" template, the refresh
// that shows the edited style in the toggles, buttons, entries and sample,
// the toggles' and entries' reactions, the font and colour sub-choosers
// made on the first press of their buttons, the accept hook and the public
// operations.
#include "fw/widgets/choosers/stylechsr.h"

#include <cstring>
#include <string>

#include "fw/core/class.h"
#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/core/sys.h"
#include "fw/data/num.h"
#include "fw/data/vresource.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/namedres.h"
#include "fw/text/styleruns.h"
#include "fw/text/text.h"
#include "fw/widgets/choosers/chsrtemplate.h"
#include "fw/widgets/controls/toggle.h"
#include "fw/widgets/dialog/container.h"

namespace {


struct ModuleState {
  vstylechsrClassRec* cls;
  vresource dict;
  vresource confirm;
};
void** stateSlot = nullptr;
ModuleState* state();

vconfirmClassRec* super() { return vconfirmGetDefaultClass(); }
vstylechsr* asC(void* o) { return static_cast<vstylechsr*>(static_cast<vinstance*>(o)); }
vobject* styleOf(vstylechsr* c) { return c->style; }

// The toggles' tags, which the boolean ones share with their attribute.
const char* const kToggleTags[vstylechsrTOGGLES] = {"Bold", "Italic", "Underline", "Hidden", "Strikethru",
                                                   "Font", "Color"};
const char* const kEntryTags[] = {"Ascent", "Descent", "Size"};

// Null too while the chooser ends (its focused entry still reports leaving).
vstylechsr* chooserOf(const vdialogItem* item) {
  if (!item || !item->data) return nullptr;
  auto* o = reinterpret_cast<vinstance*>(item->data);
  if (!vclassIsSubclass(o->cls, state()->cls)) return nullptr;
  auto* c = static_cast<vstylechsr*>(o);
  return c->style ? c : nullptr;
}

std::string textOf(vtextitem* e) {
  char* s = vtextitemGetString(e);
  std::string out = s;
  vmemFree(s);
  return out;
}
void setText(vtextitem* e, const std::string& text) {
  if (textOf(e) != text) vtextitemSetTextChars(e, text.c_str());
}
// What an entry shows for the style's value: "Auto" when it has none.
std::string shownValue(std::int32_t value) {
  if (value == -1) return "Auto";
  char buffer[32];
  vscribeGetCStringBounded(vnumScribeInteger(value, vnumGetDecimalDigits(), vnumGetNormalFormat(), nullptr, 0, -1),
                           buffer, sizeof buffer);
  return buffer;
}

void enable(vdialogItem* item, bool on) {
  if (!item || vdialogItemIsEnabled(item) == on) return;
  if (on) vdialogEnableItem(item);
  else vdialogDisableItem(item);
}

void holdColor(vstylechsr* c, vcolor* color) {
  if (color == c->lastColor) return;
  if (color) vcolorRetain(color);
  if (c->lastColor) vcolorRelease(c->lastColor);
  c->lastColor = color;
}

// ---- Reactions.
void booleanToggled(vdialogItem* item, vevent*) {
  vstylechsr* c = chooserOf(item);
  if (!c) return;
  auto* t = static_cast<vcontrol*>(item);
  vtextRulerSetBooleanAttr(styleOf(c), t->tag, t->value);
  _vstylechsrRefresh(c);
}

void fontToggled(vdialogItem* item, vevent*) {
  vstylechsr* c = chooserOf(item);
  if (!c) return;
  vobject* font = nullptr;
  if (static_cast<vcontrol*>(item)->value == 1) {
    if (!c->lastFont) c->lastFont = vfontFindScribe(vscribeLiteral(""));
    font = reinterpret_cast<vobject*>(c->lastFont);
  }
  vtextRulerSetObjectAttr(styleOf(c), vname_Font, font);
  _vstylechsrRefresh(c);
}

void colorToggled(vdialogItem* item, vevent*) {
  vstylechsr* c = chooserOf(item);
  if (!c) return;
  vobject* color = nullptr;
  if (static_cast<vcontrol*>(item)->value == 1) {
    if (!c->lastColor) holdColor(c, vcolorGetBlack());
    color = reinterpret_cast<vobject*>(c->lastColor);
  }
  vtextRulerSetObjectAttr(styleOf(c), N("Color"), color);
  _vstylechsrRefresh(c);
}

// Text that is not a whole number shows "Auto" and removes the attribute.
void commitEntry(vstylechsr* c, vtextitem* e) {
  std::int32_t value = -1;
  if (!vexTry([&] { value = vtextitemGetInteger(e); })) {
    setText(e, "Auto");
    value = -1;
  }
  vtextRulerSetIntegerAttr(styleOf(c), e->tag, value);
  _vstylechsrRefresh(c);
}
void entryNotify(vtextview* view, vevent*, int reason) {
  if (reason != 3) return;
  if (vstylechsr* c = chooserOf(view)) commitEntry(c, static_cast<vtextitem*>(view));
}

// ---- The sub-choosers.
void showAgain(vwindow* w) {
  if (!vwindowIsOpen(w)) vwindowOpen(w);
  vwindowClassOf(w)->raise(w);
}
void adopt(vstylechsr* c, vconfirm* sub) {
  vwindowClassOf(sub)->setData(sub, c);
  if (c->flags & vwindowMODAL) vwindowClassOf(sub)->setModal(sub, 1);
  vwindowClassOf(sub)->setParent(sub, c);
}

int fontApplied(vfontchsr* fc, vfont* font) {
  auto* c = static_cast<vstylechsr*>(fc->data);
  if (!c) return 1;
  vtextRulerSetObjectAttr(styleOf(c), vname_Font, reinterpret_cast<vobject*>(font));
  _vstylechsrRefresh(c);
  return 1;
}
void colorApplied(vcolorchsr* cc, vcolor* color) {
  auto* c = static_cast<vstylechsr*>(cc->data);
  if (!c) return;
  vtextRulerSetObjectAttr(styleOf(c), N("Color"), reinterpret_cast<vobject*>(color));
  _vstylechsrRefresh(c);
}

void setFontPressed(vdialogItem* item, vevent*) {
  vstylechsr* c = chooserOf(item);
  if (!c) return;
  if (c->fontChooser) return showAgain(c->fontChooser);
  vfontchsr* fc = vfontchsrCreate();
  c->fontChooser = fc;
  if (auto* font = reinterpret_cast<vfont*>(vtextRulerFindAttr(&c->style->attributes, vname_Font)))
    vfontchsrSetFont(fc, font);
  adopt(c, fc);
  vfontchsrSetApply(fc, fontApplied);
  vwindowOpen(fc);
}

void setColorPressed(vdialogItem* item, vevent*) {
  vstylechsr* c = chooserOf(item);
  if (!c) return;
  if (c->colorChooser) return showAgain(c->colorChooser);
  vcolorchsr* cc = vcolorchsrCreate();
  c->colorChooser = cc;
  // A style without a colour starts the chooser on the last colour, else black.
  auto* color = reinterpret_cast<vcolor*>(vtextRulerFindAttr(&c->style->attributes, N("Color")));
  vcolorchsrSetColor(cc, color ? color : c->lastColor ? c->lastColor : vcolorGetBlack());
  adopt(c, cc);
  vcolorchsrSetApply(cc, colorApplied);
  vwindowOpen(cc);
}

// ---- Accept: entries edited since the last refresh are committed first.
int accept(vconfirm* x, vevent*) {
  vstylechsr* c = asC(x);
  for (const char* tag : kEntryTags)
    if (vtextitem* e = vstylechsrGetEntry(c, tag))
      if (textOf(e) != shownValue(vtextRulerGetAttr(styleOf(c), N(tag)))) commitEntry(c, e);
  return c->apply ? c->apply(c, c->style) : 1;
}

// ---- Loading.
void setUp(vstylechsr* c) {
  auto data = [c](vdialogItem* i) {
    if (i) vdialogSetItemData(i, reinterpret_cast<std::intptr_t>(c));
  };
  c->setFont = _vdialogFindItemAs<vbutton>(c, N("Set Font"), vbuttonGetDefaultClass());
  c->setColor = _vdialogFindItemAs<vbutton>(c, N("Set Color"), vbuttonGetDefaultClass());
  auto* attributes = _vdialogFindItemAs<vcontainer>(c, N("Attribute"), vcontainerGetDefaultClass());
  c->display = _vdialogFindItemAs<vtextitem>(c, N("Display"), vtextitemGetDefaultClass());
  if (!attributes || !vclassIsSubclass(attributes->cls, vcontainerGetDefaultClass()) || !c->display ||
      !c->setFont || !c->setColor)
    _vexGenerate(&vexModuleStartupClass, vexSetMessage, "vstylechsr: the template lacks an item", vexEnd);
  for (int i = 0; i < vstylechsrTOGGLES; ++i) {
    auto* t = static_cast<vcontrol*>(_vobjectListFindByTagOfClass(attributes->items, N(kToggleTags[i]), vcontrolGetDefaultClass()));
    if (!t) _vexGenerate(&vexModuleStartupClass, vexSetMessage, "vstylechsr: a toggle is missing", vexEnd);
    c->toggles[i] = t;
    vdialogSetItemNotify(t, i == vstylechsrFONT ? fontToggled : i == vstylechsrCOLOR ? colorToggled : booleanToggled);
    data(t);
  }
  for (const char* tag : kEntryTags)
    if (vtextitem* e = vstylechsrGetEntry(c, tag)) e->notify = entryNotify;
  vdialogSetItemNotify(c->setFont, setFontPressed);
  vdialogSetItemNotify(c->setColor, setColorPressed);
  for (int i = 0; i < vdialogItemListCount(c->items); ++i) data(vdialogItemListAt(c->items, i));
  c->apply = nullptr;
  c->style = vtextStyleCreate();
  c->fontChooser = nullptr;
  c->colorChooser = nullptr;
  c->lastFont = nullptr;
  c->lastColor = nullptr;
  vtext* text = c->display->text;
  vtextSetCurrentStyle(text, c->style);
  vstylechsrSetStyle(c, text->currentStyle);
  if (vtextitem* size = vstylechsrGetEntry(c, "Size")) vdialogSetDefaultFocusItem(c, size);
  // The template's size stands.
  c->dialogFlags &= std::uint16_t(~vdialogSIZE_PENDING);
  _vstylechsrRefresh(c);
  vconfirmSetApply(c, accept);
}

void loadInit(vobject* self, vresource resource) {
  super()->loadInit(self, resource);
  setUp(asC(self));
}

void init(vinstance* self) {
  _vchsrClearOwnFields(asC(self), &asC(self)->setFont);
  _vchsrInitFromTemplate(self, state()->confirm, "vstylechsr: no \"Confirm\" template");
}

void destroy(vinstance* self) {
  vstylechsr* c = asC(self);
  if (c->fontChooser) vinstanceDestroy(c->fontChooser), c->fontChooser = nullptr;
  if (c->colorChooser) vinstanceDestroy(c->colorChooser), c->colorChooser = nullptr;
  vtextStyle* style = c->style;
  c->style = nullptr;
  holdColor(c, nullptr);
  super()->destroy(self);
  if (style) vtextStyleDestroy(style);
}

void setStyle(vstylechsr* c, vtextStyle* style) {
  if (style == c->style) return _vstylechsrRefresh(c);
  vclassRec<vobjectClassRec>(style)->copy(style, c->style);
  _vstylechsrRefresh(c);
}

// The sample is laid out in the resource for the shortest button row; in
// the rest of the dialog it keeps its top and grows down to just above the
// buttons and the separator of the look in force, whatever their height.
void arrange(vdialog* d, const vrect* rect) {
  super()->arrange(d, rect);
  vstylechsr* c = asC(d);
  vdialogItem* sample = c->display;
  if (!sample || !c->buttons || (c->confirmFlags & vconfirmCOLUMN)) return;
  const vrect& band = c->separator ? c->separator->rect : c->buttons->rect;
  int bottom = band.y + band.height + (c->separator ? 1 : 0);
  int top = sample->rect.y + sample->rect.height;
  if (bottom == sample->rect.y || top - bottom < 1) return;
  vrect r{sample->rect.x, std::int16_t(bottom), sample->rect.width, std::int16_t(top - bottom)};
  vdialogInvalItem(sample, 0);
  vdialogSetItemRect(sample, &r);
  vdialogInvalItem(sample, 0);
}

ModuleState* state() {
  if (auto* bound = vmoduleState<ModuleState>(stateSlot)) return bound;
  auto* st = static_cast<ModuleState*>(vmoduleBindSlot(stateSlot, sizeof(ModuleState)));
  *st = ModuleState{};
  vconfirmGetDefaultClass();
  vbuttonGetDefaultClass();
  vcontrolGetDefaultClass();
  vcontrolToggleGetDefaultClass();
  vcontainerGetDefaultClass();
  vdialogLabelItemGetDefaultClass();
  vtextitemGetDefaultClass();
  st->dict = _vchsrDictionary(N("vstylechsr"), &st->confirm);
  auto* c = vclassSpawnOf<vstylechsrClassRec>(super());
  c->instanceSize = sizeof(vstylechsr);
  c->init = init;
  c->destroy = destroy;
  c->loadInit = loadInit;
  c->processStop = _vchsrProcessStop;
  c->setStyle = setStyle;
  c->arrange = arrange;
  vclassSetName(c, vscribeLiteral("vstylechsr"));
  st->cls = c;
  return st;
}

}  // namespace

vstylechsrClassRec* vstylechsrGetDefaultClass() { return state()->cls; }
vstylechsr* vstylechsrCreate() { return asC(vinstanceCreate(vstylechsrGetDefaultClass())); }

void vstylechsrSetStyle(vstylechsr* c, vtextStyle* style) {
  if (!c || !style) _vexGenerate(&vexArgNullClass, vexEnd);
  vstylechsrClassOf(c)->setStyle(c, style);
}

void vstylechsrSetApply(vstylechsr* c, vstylechsrApplyFunc apply) { c->apply = apply; }

vtextitem* vstylechsrGetEntry(vstylechsr* c, const char* tag) {
  vdialogItem* i = vdialogFindItem(c, N(tag));
  return i && vclassIsSubclass(i->cls, vtextitemGetDefaultClass()) ? static_cast<vtextitem*>(i) : nullptr;
}

void _vstylechsrRefresh(vstylechsr* c) {
  vobject* s = styleOf(c);
  if (!s) return;
  for (int i = vstylechsrBOLD; i <= vstylechsrSTRIKETHRU; ++i)
    vcontrolSetValue(c->toggles[i], vtextRulerGetBooleanAttr(s, N(kToggleTags[i])));
  auto* font = reinterpret_cast<vfont*>(vtextRulerFindAttr(&c->style->attributes, vname_Font));
  auto* color = reinterpret_cast<vcolor*>(vtextRulerFindAttr(&c->style->attributes, N("Color")));
  vcontrolSetValue(c->toggles[vstylechsrFONT], font ? 1 : 0);
  vcontrolSetValue(c->toggles[vstylechsrCOLOR], color ? 1 : 0);
  if (font) {
    c->lastFont = font;
    vdialogSetItemFont(c->display, font);
  }
  enable(c->setFont, font != nullptr);
  if (color) holdColor(c, color);
  enable(c->setColor, color != nullptr);
  for (const char* tag : kEntryTags) {
    vtextitem* e = vstylechsrGetEntry(c, tag);
    if (!e) continue;
    std::int32_t value = vtextRulerGetAttr(s, N(tag));
    std::int32_t shown = 0;
    if (value == -1 || !vexTry([&] { shown = vtextitemGetInteger(e); }) || shown != value)
      setText(e, shownValue(value));
  }
  vtext* text = c->display->text;
  if (text) {
    vtextForgetCache(text);
    _vtextNotifyStyle(text, nullptr);
    vtextRecalculate(text);
  }
  if (c->display->flags & vdialogItemOPEN) vdialogInvalItem(c->display, 0);
  vrect all{0, 0, c->rect.width, c->rect.height};
  vdialogClassOf(c)->arrange(c, &all);
}
