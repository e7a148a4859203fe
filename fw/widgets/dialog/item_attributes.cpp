// A dialog item's drawing attributes as callers see them: the look's system
// colour bindings, the colours the display gives back, and the scheme, font,
// cursor and line width an item takes from itself, its class, its owner or
// the application; the plain attribute getters and the visibility tests.
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw.h"
#include "fw/widgets/dialog/item_internal.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/look/laf.h"

namespace {
bool has(const vdialogItem* item, std::uint16_t bit) { return (item->flags & bit) != 0; }
void addPresent(vcolorScheme* result, std::uint32_t mask, int index, vcolor* color) {
  std::uint32_t bit = vcolorSchemeBit(index);
  if (!color || !(mask & bit) || (result->mask & bit)) return;
  result->entries[index] = color;
  result->mask |= bit;
}
}  // namespace

void _vdialogItemDetermineSchemeColors(vdialogItem* item, const vcolorScheme* scheme, std::uint32_t mask, vcolorScheme* result) {
  vdialogItemClassRec* c = vdialogItemClassOf(item);
  if (result != scheme) *result = *scheme;
  const vdialogItemAttributes* a = item->attributes;
  addPresent(result, mask, vcolorFOREGROUND, a && a->foreground ? a->foreground : c->foreground);
  addPresent(result, mask, vcolorBACKGROUND, a && a->background ? a->background : c->background);
  addPresent(result, mask, vcolorFOREGROUND_HILITE, c->foregroundHilite);
  addPresent(result, mask, vcolorBACKGROUND_HILITE, c->backgroundHilite);
  std::uint32_t rest = mask & ~result->mask;
  if (!rest) return;
  if (item->owner) {
    // An owner answers only the indexes asked for: its answer is merged
    // over the presets, which stay.
    vcolorScheme presets = *result, more{};
    vdialogItemListDetermineScheme(item->owner, &presets, rest, &more);
    vcolorMergeScheme(&more, rest & more.mask, result);
    return;
  }
  vcolorScheme more{};
  vapplicationDetermineColorMask(vapplicationGetCurrent(), rest, &more);
  vcolorMergeScheme(&more, rest, result);
}

// The four colours of a plain item go to the display as two rows of two
// (foreground and its hilite, background and its hilite); a colour the
// display gives back changed replaces the class default when there is one,
// else the application's colour.
void _vdialogItemAllocateColors(vdialogItemClassRec* c) {
  vdialogItem probe{};
  probe.cls = c;
  probe.title = "";
  probe.flags = vdialogItemNEW_FLAGS;
  vcolorScheme s{};
  vdialogDetermineItemScheme(&probe, 0x0505, &s);
  constexpr int kIndexes[2][2] = {{vcolorFOREGROUND, vcolorFOREGROUND_HILITE}, {vcolorBACKGROUND, vcolorBACKGROUND_HILITE}};
  vcolor* rows[2][2];
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j) {
      if (!(s.mask & vcolorSchemeBit(kIndexes[i][j]))) return;
      rows[i][j] = s.entries[kIndexes[i][j]];
    }
  vcolor** table[2] = {rows[0], rows[1]};
  vwindowTestXorColors(table, 2, 2);
  vcolor** defaults[2][2] = {{&c->foreground, &c->foregroundHilite}, {&c->background, &c->backgroundHilite}};
  vapplication* app = vapplicationGetCurrent();
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j) {
      vcolor* now = rows[i][j];
      if (now == s.entries[kIndexes[i][j]]) continue;
      if (*defaults[i][j]) *defaults[i][j] = now;
      else vapplicationClassOf(app)->setSchemeColor(app, kIndexes[i][j], now);
    }
}

// Scheme index -> the look's system colour role (-1: none) per class, look
// and 3-D setting (-1: either).
void _vdialogItemBindLookColors(vdialogItemClassRec* cls, int kind) {
  struct Row {
    std::int8_t kind;
    std::int16_t look;
    std::int8_t flag3D;
    std::int8_t scheme;
    std::int8_t role;
  };
  static const Row rows[] = {
      {0, vlafWINDOWS, 1, vcolorFOREGROUND, 8},  {0, vlafWINDOWS, 1, vcolorBACKGROUND, 7},
      {0, vlafWIN95, 1, vcolorFOREGROUND, 8},    {0, vlafWIN95, 1, vcolorBACKGROUND, 7},
      {0, vlafCUA, -1, vcolorFOREGROUND, 30},    {0, vlafCUA, -1, vcolorBACKGROUND, 31},
      {1, vlafWINDOWS, -1, vcolorFOREGROUND, -1}, {1, vlafWINDOWS, -1, vcolorBACKGROUND, -1},
      {1, vlafWIN95, -1, vcolorFOREGROUND, -1},  {1, vlafWIN95, -1, vcolorBACKGROUND, -1},
      {1, vlafCUA, -1, vcolorFOREGROUND, -1},    {1, vlafCUA, -1, vcolorBACKGROUND, -1},
      {2, vlafWINDOWS, 0, vcolorFOREGROUND, 12}, {2, vlafWIN95, 1, vcolorFOREGROUND, -1},
      {2, vlafWIN95, 1, vcolorBACKGROUND, -1},   {2, vlafCUA, 0, vcolorFOREGROUND, 12},
      {3, vlafWINDOWS, 1, vcolorFOREGROUND, -1}, {3, vlafWINDOWS, 1, vcolorBACKGROUND, -1},
      {3, vlafWIN95, 1, vcolorFOREGROUND, -1},   {3, vlafWIN95, 1, vcolorBACKGROUND, -1},
      {3, vlafCUA, -1, vcolorFOREGROUND, -1},    {3, vlafCUA, -1, vcolorBACKGROUND, -1},
  };
  for (const Row& r : rows)
    if (r.kind == kind) vlafSetClassMSWSysColor(r.look, r.flag3D, cls, r.scheme, r.role);
}

void vdialogSetItemCursorOwned(vdialogItem* item, vobject* cursor) {
  vdialogSetItemCursor(item, cursor);
  item->flags |= vdialogItemCURSOR_OWNED;
}
void vdialogSetItemImageOwned(vdialogItem* item, vimage* image) {
  vdialogSetItemImage(item, image);
  item->flags |= vdialogItemIMAGE_OWNED;
}
void vdialogSetItemSpaceOwned(vdialogItem* item, vcommandSpace* space) {
  vdialogSetItemSpace(item, space);
  item->flags |= vdialogItemSPACE_OWNED;
}

vmenu* vdialogGetItemMenu(const vdialogItem* item) { return item->attributes ? item->attributes->menu : nullptr; }
vfont* vdialogGetItemFont(const vdialogItem* item) { return item->attributes ? item->attributes->font : nullptr; }
vcolor* vdialogGetItemForeground(const vdialogItem* item) {
  return item->attributes ? item->attributes->foreground : nullptr;
}
vcolor* vdialogGetItemBackground(const vdialogItem* item) {
  return item->attributes ? item->attributes->background : nullptr;
}
vimage* vdialogGetItemImage(const vdialogItem* item) { return item->attributes ? item->attributes->image : nullptr; }
vdialogItemList* vdialogGetItemOwner(const vdialogItem* item) { return item->owner; }

vcolor* vdialogGetItemColor(vdialogItem* item, int index) {
  if (index < 0 || index > 23) vexGenerateMessage(&vexArgRangeClass, "Range");
  vcolorScheme s{};
  vdialogItemClassOf(item)->determineSchemeColors(item, &s, vcolorSchemeBit(index), &s);
  return (s.mask & vcolorSchemeBit(index)) ? s.entries[index] : nullptr;
}

void vdialogGetItemSchemeColors(vdialogItem* item, std::uint32_t presetMask, vcolor* const* presets,
                                const int* indexes, int count, vcolor** out) {
  vcolorScheme start{}, result{};
  vcolorSetSchemeColors(&start, presetMask, presets);
  std::uint32_t mask = 0;
  for (int i = 0; i < count; ++i) mask |= vcolorSchemeBit(indexes[i]);
  vdialogItemClassOf(item)->determineSchemeColors(item, &start, mask, &result);
  for (int i = 0; i < count; ++i)
    out[i] = (result.mask & vcolorSchemeBit(indexes[i])) ? result.entries[indexes[i]] : nullptr;
}

void vdialogDetermineItemScheme(vdialogItem* item, std::uint32_t mask, vcolorScheme* out) {
  vcolorScheme empty{};
  vdialogItemClassOf(item)->determineSchemeColors(item, &empty, mask, out);
}

void vdialogDetermineItemColors(vdialogItem* item, std::uint32_t mask, vcolorScheme* out) {
  if (vdialogItemIsEnabled(item)) {
    vdialogDetermineItemScheme(item, mask, out);
    return;
  }
  vdialogDetermineItemScheme(item, vcolorSchemeDisabledMask(mask), out);
  vcolorPromoteScheme(out);
}

vfont* vdialogDetermineItemFont(vdialogItem* item) {
  if (vfont* f = vdialogGetItemFont(item)) return f;
  if (vfont* f = vdialogItemClassOf(item)->font) return f;
  if (item->owner) return item->owner->effective.font(item->owner->owner);
  return vapplicationGetFont(vapplicationGetCurrent());
}
vobject* vdialogDetermineItemCursor(vdialogItem* item) {
  if (item->attributes && item->attributes->cursor) return item->attributes->cursor;
  if (vobject* c = vdialogItemClassOf(item)->cursor) return c;
  if (item->owner) return item->owner->effective.cursor(item->owner->owner);
  return vapplicationGetCursor(vapplicationGetCurrent());
}
std::intptr_t vdialogGetItemLineWidth(vdialogItem* item) {
  if (item->owner) return item->owner->effective.lineWidth(item->owner->owner);
  return vapplicationGetLineWidth(vapplicationGetCurrent());
}
std::intptr_t vdialogDetermineItemInset(vdialogItem* item) { return vdialogGetItemLineWidth(item); }

// Whether an item is seen and takes input: its own flags and its owners'.
bool vdialogItemIsVisible(const vdialogItem* item) {
  return has(item, vdialogItemSHOWN) && (!item->owner || item->owner->effective.isOpen(item->owner->owner));
}
bool vdialogItemIsShown(const vdialogItem* item) { return vdialogItemIsVisible(item) && has(item, vdialogItemOPEN); }
bool vdialogItemIsEnabled(const vdialogItem* item) {
  return has(item, vdialogItemENABLED) &&
         (!item->owner || item->owner->effective.isEnabled(item->owner->owner));
}
bool vdialogItemIsActive(const vdialogItem* item) {
  return vdialogItemIsShown(item) && vdialogItemIsEnabled(item) && has(item, vdialogItemFOCUSED);
}
