// The look record: one per module context, copied from a template chosen
// by the "laf" preference, adjusted by the flag preferences and the
// native-menu and multiple-document rules, then handed to the application
// (colours, block cursor, font, line width, pointer bindings, key drawer).
//
// - **The record** (`laf.cpp`): `vlafGetCurrent` builds one `vlaf` per module context from a table
//   of seven templates ("laf" matched exactly; "windows" and "openlook" take 2D when monochrome),
//   then the flag preferences in their table's order (a non-empty value counts), the native-menu
//   rule (the platform's major version: Win95 keeps it on 4 or later), the MDI rule and
//   "mnemonickey"; then it hands the application its scheme-mask hook (or the block cursor), font,
//   line width and pointer bindings (code + 1, the command key's bits replaced by 8) and sets the
//   key drawer.
#include <cstring>
#include <utility>

#include "fw/core/ex.h"
#include "fw/core/sys.h"
#include "fw/data/inst.h"
#include "fw/data/pref.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/colorlist.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/application.h"
#include "fw/widgets/look/laf_internal.h"

namespace {

constexpr vlafPointerBinding kWindowsBindings[] = {
    {"Select", {0x10}}, {"Extend", {0x14}}, {"Adjust", {0x12}}, {"Drag", {0x20, 0x50}},
    {"Grab", {0x22, 0x52}}, {"Menu", {0x40, 0x30, 0x16}}, {nullptr, {}},
};
constexpr vlafPointerBinding kOpenLookBindings[] = {
    {"Select", {0x10}}, {"Extend", {0x14}}, {"Adjust", {0x20}}, {"Drag", {0x12}},
    {"Grab", {0x22}},   {"Menu", {0x40, 0x44, 0x11}}, {nullptr, {}},
};
constexpr vlafPointerBinding kCUABindings[] = {
    {"Select", {0x10}}, {"Extend", {0x14}}, {"Adjust", {0x12}}, {"Drag", {0x20, 0x30, 0x50}},
    {"Grab", {0x42}},   {"Menu", {0x40, 0x16}}, {nullptr, {}},
};

struct Template {
  const char* name;
  std::int16_t id;
  std::uint32_t flags;
  std::int16_t lineWidth, metric, cornerRadius;
  const vlafPointerBinding* bindings;
};
enum { kWindows2D, kWindows3D, kMotif, kOpenLook2D, kOpenLook3D, kCUA, kWin95 };
constexpr Template kTemplates[] = {
    {"Windows", vlafWINDOWS, 0x378806, 1, 1, 2, kWindowsBindings},
    {"Windows", vlafWINDOWS, 0x378807, 1, 1, 2, kWindowsBindings},
    {"Motif", vlafMOTIF, 0x20817, 2, 0, 4, kWindowsBindings},
    {"Open Look", vlafOPEN_LOOK, 0xff8, 1, 5, 8, kOpenLookBindings},
    {"Open Look", vlafOPEN_LOOK, 0x7f9, 1, 0, 8, kOpenLookBindings},
    {"CUA", vlafCUA, 0x60807, 1, 1, 2, kCUABindings},
    {"Win95", vlafWIN95, 0x3f8807, 1, 1, 0, kWindowsBindings},
};

// "laf" values, matched exactly: the template on a monochrome display and on others.
struct Choice {
  const char* value;
  int monochrome, colour;
};
constexpr Choice kChoices[] = {
    {"windows", kWindows2D, kWindows3D},    {"windows2d", kWindows2D, kWindows2D}, {"windows3d", kWindows3D, kWindows3D},
    {"motif", kMotif, kMotif},              {"openlook", kOpenLook2D, kOpenLook3D},
    {"openlook2d", kOpenLook2D, kOpenLook2D}, {"openlook3d", kOpenLook3D, kOpenLook3D},
    {"cua", kCUA, kCUA},                    {"win95", kWin95, kWin95},
};

// Flag preferences in the order they apply; any non-empty value counts.
struct FlagPreference {
  const char* name;
  std::uint32_t bits;
  bool set;
};
constexpr FlagPreference kFlagPreferences[] = {
    {"keynav", vlafKEY_NAVIGATION, true},    {"leftscrollbar", vlafLEFT_SCROLL_BAR, true},
    {"globalmenubar", vlafGLOBAL_MENU_BAR, true}, {"noglobalmenubar", vlafGLOBAL_MENU_BAR, false},
    {"mdi", vlafMDI, true},                  {"nomdi", vlafMDI, false},
    {"nativemenubar", vlafNATIVE_MENU_BAR, true}, {"nonativemenubar", vlafNATIVE_MENU_BAR, false},
};

const char* preference(const char* name) { return vprefGetString(vprefGetDefaultDict(), vscribeCString(name)); }

// Disabled "Background" may change whenever "Background" does.
std::uint32_t withDisabledBackground(std::uint32_t mask) {
  return mask & vcolorSchemeBit(vcolorBACKGROUND) ? mask | vcolorSchemeBit(vcolorBACKGROUND + 1) : mask;
}
std::uint32_t unchanged(std::uint32_t mask) { return mask; }

void** slot = nullptr;

void contextExit() {
  auto* look = static_cast<vlaf*>(*slot);
  if (!look) return;
  for (vcursor*& c : look->cursors)
    if (c) vcursorDestroy(std::exchange(c, nullptr));
  for (vimage*& i : look->noticeImages)
    if (i) vimageDestroy(std::exchange(i, nullptr));
}

void chooseTemplate(vlaf* look) {
  int chosen = kWin95;
  if (const char* value = preference("laf"))
    for (const Choice& c : kChoices)
      if (std::strcmp(value, c.value) == 0) chosen = vlafGetWindowServices().isMonochrome() ? c.monochrome : c.colour;
  const Template& t = kTemplates[chosen];
  *look = vlaf{};
  look->name = t.name;
  look->id = t.id;
  look->flags = t.flags;
  look->lineWidth = t.lineWidth;
  look->metric = t.metric;
  look->cornerRadius = t.cornerRadius;
  look->mnemonicModifiers = 1;
  look->pointerBindings = t.bindings;
}

void applyPreferences(vlaf* look) {
  for (const FlagPreference& f : kFlagPreferences)
    if (preference(f.name)) look->flags = f.set ? look->flags | f.bits : look->flags & ~f.bits;
  if (look->flags & vlafNATIVE_MENU_BAR) {
    bool modern = vlafGetWindowServices().majorVersion() >= 4;
    bool keeps = modern ? look->id == vlafWIN95 : look->id == vlafWINDOWS;
    if (!keeps) look->flags &= ~vlafNATIVE_MENU_BAR;
  }
  if (look->flags & vlafMDI)
    look->flags = look->flags & vlafNATIVE_MENU_BAR ? look->flags | vlafGLOBAL_MENU_BAR : look->flags & ~vlafGLOBAL_MENU_BAR;
  if (const char* key = preference("mnemonickey")) look->mnemonicModifiers = vkeyParseModifiers(key);
}

void applySettings(const vlaf* look) {
  vapplication* app = vapplicationGetCurrent();
  vapplicationClassRec* cls = vapplicationClassOf(app);
  if (look->id == vlafWINDOWS || look->id == vlafWIN95) cls->setSchemeClosure(app, withDisabledBackground);
  else if (look->id == vlafCUA) cls->setSchemeClosure(app, unchanged);
  else cls->setBlockCursor(app, vlafGetCursor(0));

  vfont* font = nullptr;
  if (const char* spec = preference("font")) font = vfontFindScribe(vscribeCString(spec));
  bool lite = look->id == vlafOPEN_LOOK || look->id == vlafWIN95;
  if (const char* face = preference(lite ? "liteface" : "face"))
    font = vfontFindDerivedScribe(font ? font : vapplicationGetFont(app), vscribeCString(face));
  if (font) cls->setFont(app, font);
  cls->setLineWidth(app, look->lineWidth);

  std::uint32_t command = vprefGetCommandKey();
  for (const vlafPointerBinding* b = look->pointerBindings; b->name; ++b)
    for (const std::uint16_t* code = b->codes; *code; ++code) {
      std::uint32_t c = *code;
      if ((c & command) == command) c = (c & ~command) | 8;
      vdictStore(app->pointerBindings, reinterpret_cast<const void*>(std::uintptr_t(c) + 1),
                 vnameInternLiteral(b->name));
    }
  vdrawSetKeyDrawer(look->id == vlafOPEN_LOOK ? vlafDrawKeyGlyphs : vlafDrawKeyText);
}

void build(vlaf* look) {
  vlafGetWindowServices().openRoot();
  chooseTemplate(look);
  applyPreferences(look);
  look->tag = vnameInternLiteral(look->name);
  vresource dictionary;
  look->hasResources =
      vlafint::dictionary(&dictionary) && vresourceTestGet(dictionary, look->tag, &look->resources) != 0;
  if (!look->hasResources) look->resources = 0;
  applySettings(look);
  vlafint::bindSysColors(look);
  if (look->id == vlafWINDOWS || look->id == vlafWIN95) vlafint::enlargePattern(100, 40);
}

}  // namespace

const vlaf* vlafGetCurrent() {
  if (!slot || !*slot) {
    vlafint::startProcess();
    vmoduleSlot(slot);
    auto* look = static_cast<vlaf*>(vmoduleBindSlot(slot, sizeof(vlaf)));
    *look = vlaf{};
    vmoduleAddContextExitProc(contextExit);
    build(look);
  }
  return static_cast<const vlaf*>(*slot);
}

void _vlafRebuildCurrent() {
  if (!slot || !*slot) return;
  contextExit();
  _vlafShutdown();
  vlafint::startProcess();
  build(static_cast<vlaf*>(*slot));
}

vlaf* vlafint::current() { return const_cast<vlaf*>(vlafGetCurrent()); }

// ---- The look dictionary: the application's file first, then the framework's.
bool vlafint::dictionary(vresource* out) {
  static const vname key = vnameInternLiteral("vlaf");
  vapplication* app = vapplicationGetCurrent();
  if (app->file && vresourceTestGet(app->file->root, key, out)) return true;
  if (vresourceTestGet(vinstGetSystemResource(), key, out)) return true;
  // Without the framework's file its built-in look stands in, so that the
  // controls keep the parts the file gives them.
  if (!vinstSystemResourceInMemory()) return false;
  *out = vinstGetDefaultLook();
  return true;
}

vresource vlafGetDictionary() {
  vresource r;
  return vlafint::dictionary(&r) ? r : 0;
}
