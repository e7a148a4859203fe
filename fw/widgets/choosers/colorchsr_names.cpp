// The colour chooser's named colours: the table read once per context
// from the preferences' "namedcolordict", the name panel's list (a swatch
// and the name per row, a double click takes the colour) and its two sort
// orders.
#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/font.h"
#include "fw/gui/window/application.h"
#include "fw/widgets/choosers/colorchsr.h"
#include "fw/widgets/dialog/container.h"
#include "fw/widgets/lists/listview.h"

namespace {

struct NamedColor {
  vname name;
  vcolorSpec* color;
};
struct Table {
  bool built = false;
  std::vector<NamedColor> entries;
};
void** slot = nullptr;

void freeTable();
Table* table() {
  if (!*vmoduleSlot(slot)) {
    new (vmoduleBindSlot(slot, sizeof(Table))) Table;
    vmoduleAddContextExitProc(freeTable);
  }
  return static_cast<Table*>(*slot);
}
void freeTable() {
  Table* t = table();
  for (NamedColor& e : t->entries) vcolorDestroySpec(e.color), vmemFree(e.color);
  t->~Table();
}

// One entry per key of the preference dictionary, in its order.
void build(Table* t) {
  t->built = true;
  vresource d = 0;
  vname key0 = vnameInternLiteral("namedcolordict");
  vresource app = vapplicationGetResources(vapplicationGetCurrent());
  if (!app || !vresourceTestGet(app, key0, &d)) vexTry([&] { d = vprefGetValue(vprefGetDefaultDict(), vscribeLiteral("namedcolordict")); });
  if (!d) return;
  std::int32_t n = 0;
  vexTry([&] { n = vresourceCount(d); });
  for (std::int32_t i = 0; i < n; ++i) {
    vname key = nullptr;
    vresource value = 0;
    if (!vexTry([&] {
          key = vresourceGetTagAtOnly(d, i);
          value = vresourceGet(d, key);
        }))
      continue;
    auto* spec = static_cast<vcolorSpec*>(vmemAlloc(sizeof(vcolorSpec)));
    vcolorInitSpec(spec);
    if (!vexTry([&] { vcolorLoadInitSpec(spec, value); })) {
      vcolorDestroySpec(spec);
      vmemFree(spec);
      continue;
    }
    vcolorSetSpecRGBDelta(spec, 511, 511, 511);
    vcolorSetSpecMaxDotDither(spec, 64);
    t->entries.push_back({key, spec});
  }
}

vlistview* nameView(vcolorchsr* c) { return reinterpret_cast<vlistview*>(c->nameList); }
const NamedColor* entryAt(vlist* list, std::int32_t row) {
  if (row < 0 || row >= vlistGetRowCount(list)) return nullptr;
  return reinterpret_cast<const NamedColor*>(vlistGetCell(list, row, 0));
}

const char* cellText(vlist* list, std::int32_t row, std::int32_t) {
  const NamedColor* e = entryAt(list, row);
  return e ? e->name : "";
}

void drawCell(vlistview* view, std::int32_t row, std::int32_t, int, vrect* r) {
  const NamedColor* e = entryAt(view->list, row);
  if (!e) return;
  vdrawGSave();
  vcolor* previous = vdrawGetState()->color;
  vcolor* color = vcolorInternSpec(e->color);
  vdrawSetColor(color);
  vdrawRectFill(r->x + 5, r->y + 2, 15, r->height - 4);
  vcolorRelease(color);
  vdrawSetColor(previous);
  vdrawSetLineWidth(1.0);
  vrect swatch{std::int16_t(r->x + 5), std::int16_t(r->y + 2), 15, std::int16_t(r->height - 4)};
  vdrawRectsFrame(&swatch, 1);
  vrect text{std::int16_t(r->x + 25), r->y, std::int16_t(r->width - 25), r->height};
  vdrawCharsAt(e->name, int(std::strlen(e->name)), &text, 2);
  vdrawGRestore();
}

void selectionDone(vinstance* self, int code) {
  auto* view = static_cast<vlistview*>(self);
  vcolorchsr* c = _vcolorchsrOf(view);
  if (code != 3 || !c || vlistviewGetClickCount(view) <= 1) return;
  std::int32_t row = -1, column = 0;
  vlistGetFirstSelectedCell(view->list, view->selection, &row, &column);
  const NamedColor* e = entryAt(view->list, row);
  if (!e) return;
  vcolorCopySpec(e->color, &c->working);
  _vcolorchsrRefresh(c);
  _vcolorchsrRedraw(c->swatch);
}

int compareHue(const NamedColor* a, const NamedColor* b) {
  unsigned ha = 0, la = 0, sa = 0, hb = 0, lb = 0, sb = 0;
  vcolorGetSpecHLS(a->color, &ha, &la, &sa);
  vcolorGetSpecHLS(b->color, &hb, &lb, &sb);
  if (ha != hb) return int(hb) - int(ha);
  if (la != lb) return int(lb) - int(la);
  return int(sb) - int(sa);
}

void sortRows(vcolorchsr* c) {
  vlistview* v = nameView(c);
  if (!v || !v->list) return;
  std::int32_t n = vlistGetRowCount(v->list);
  std::vector<const NamedColor*> rows;
  for (std::int32_t i = 0; i < n; ++i) rows.push_back(entryAt(v->list, i));
  bool byName = c->sortOrder == vcolorchsrSORT_NAME;
  std::stable_sort(rows.begin(), rows.end(), [byName](const NamedColor* a, const NamedColor* b) {
    return (byName ? vcstrCompareNoCase(a->name, b->name) : compareHue(a, b)) < 0;
  });
  for (std::int32_t i = 0; i < n; ++i) vlistSetCell(v->list, i, 0, reinterpret_cast<vlistCell>(rows[std::size_t(i)]));
  _vcolorchsrRedraw(c->nameList);
}

}  // namespace

void _vcolorchsrWireNames(vcolorchsr* c) {
  if (!c->namePanel) return;
  auto* list = static_cast<vcontainer*>(c->namePanel)->items;
  auto* view = static_cast<vlistview*>(vobjectListFindByTag(list, vnameInternLiteral("ListItem")));
  if (!view || !vclassIsSubclass(view->cls, vlistviewGetDefaultClass())) return;
  c->nameList = view;
  vdialogSetItemData(view, reinterpret_cast<std::intptr_t>(c));
  Table* t = table();
  if (!t->built) build(t);
  vlist* model = view->list;
  if (!model) {
    model = vlistCreate();
    vlistviewSetList(view, model);
  }
  model->textGetter = cellText;
  vlistSetColumnCount(model, 1);
  vlistSetRowCount(model, std::int32_t(t->entries.size()));
  for (std::size_t i = 0; i < t->entries.size(); ++i)
    vlistSetCell(model, std::int32_t(i), 0, reinterpret_cast<vlistCell>(&t->entries[i]));
  vlistviewSetCellDrawer(view, drawCell);
  vlistviewSetNotify(view, selectionDone);
  vlistSetSelectionMode(model, view->selection, vlistONE_ONLY_SELECTION);
  if (!t->entries.empty()) {
    sortRows(c);
    vlistSelectRange(model, view->selection, 0, 0, 1, 1);
  }
}

void vcolorchsrSetSortOrder(vcolorchsr* c, int order) {
  if (order != vcolorchsrSORT_NAME && order != vcolorchsrSORT_HUE) vexGenerateMessage(&vexArgRangeClass, "order 1 or 2");
  if (order == c->sortOrder) return;
  c->sortOrder = order;
  sortRows(c);
  _vcolorchsrRefreshMenus(c);
}

std::vector<std::string> _vcolorchsrNameRows(vcolorchsr* c) {
  std::vector<std::string> out;
  vlistview* v = nameView(c);
  if (!v || !v->list) return out;
  for (std::int32_t i = 0; i < vlistGetRowCount(v->list); ++i)
    if (const NamedColor* e = entryAt(v->list, i)) out.push_back(e->name);
  return out;
}
