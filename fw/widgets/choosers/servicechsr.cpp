#include "fw/widgets/choosers/servicechsr.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "fw/core/attributed.h"
#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/core/sys.h"
#include "fw/data/num.h"
#include "fw/data/pref.h"
#include "fw/data/scrap.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/font.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/namedres.h"
#include "fw/services/vdasserv.h"
#include "fw/widgets/menus/menu.h"
#include "fw/widgets/menus/menuitem.h"

namespace {

// The named commands and their selectors.
const vcommandTableRow kCommands[] = {
    {"vservicechsrSET_FILTER", vservicechsrSET_FILTER}, {"vservicechsrQUERY", vservicechsrQUERY},
    {"vservicechsrGET_INFO", vservicechsrGET_INFO},     {"vservicechsrALL_ON", vservicechsrALL_ON},
    {"vservicechsrALL_OFF", vservicechsrALL_OFF},
};
constexpr int kMinColumnWidth = 100;
constexpr int kInfoInset = 8;

// The object commands of the named selectors. Their class belongs to the
// module context, so they go with the context that made them, not at the
// process's exit (by then that class is freed).
vdict* selectorDict = nullptr;
void freeSelectors() {
  if (selectorDict) vcommandDestroyDict(selectorDict);
  selectorDict = nullptr;
}

struct ModuleState {
  vservicechsrClassRec* cls;
  vcommandValueClassRec* toggleCls;  // _vservicechsrSelector
  vlistviewClassRec* viewCls;
  vresource dict;
  vresource confirm;
  vcommandSpace* space;
  vstr* unknown;
  std::int16_t margin;
};
void** stateSlot = nullptr;
ModuleState* state();

vservicechsr* asC(vinstance* o) { return static_cast<vservicechsr*>(o); }
vconfirmClassRec* super() { return vconfirmGetDefaultClass(); }

// ---- Value texts.
struct TextRow {
  vclass* (*cls)();
  std::string (*text)(vinstance* value);
};
std::string scribed(vscribe* s) {
  if (!s) return {};
  vstr* copy = vstrCloneScribed(s, nullptr);
  std::string out = copy;
  vstrDestroy(copy);
  return out;
}
template <const char* Text>
std::string fixed(vinstance*) {
  return Text;
}
constexpr char kOpaque[] = "<OPAQUE>", kArray[] = "<ARRAY>", kDictionary[] = "<DICTIONARY>",
               kCompound[] = "<COMPOUND>", kComplex[] = "<COMPLEX>";
const TextRow kTexts[] = {
    {[] { return static_cast<vclass*>(vscrapGetTagClass()); },
     [](vinstance* v) { return std::string(vscrapGetTag(vscrapWalk(v))); }},
    {[] { return static_cast<vclass*>(vscrapGetStringClass()); },
     [](vinstance* v) { return scribed(vscrapGetString(vscrapWalk(v))); }},
    {[] { return static_cast<vclass*>(vscrapGetBooleanClass()); },
     [](vinstance* v) { return std::string(vscrapGetBoolean(vscrapWalk(v)) ? "TRUE" : "FALSE"); }},
    {[] { return static_cast<vclass*>(vscrapGetCharacterClass()); },
     [](vinstance* v) { return std::string(1, vscrapGetCharacter(vscrapWalk(v))); }},
    {[] { return static_cast<vclass*>(vscrapGetIntegerClass()); },
     [](vinstance* v) { return std::to_string(vscrapGetInteger(vscrapWalk(v))); }},
    {[] { return static_cast<vclass*>(vscrapGetFloatClass()); },
     [](vinstance* v) { return scribed(vnumScribeDouble(vscrapGetFloat(vscrapWalk(v)))); }},
    {[] { return static_cast<vclass*>(vscrapGetFixedClass()); },
     [](vinstance* v) { return scribed(vnumScribeDouble(vscrapGetFixed(vscrapWalk(v)) / 65536.0)); }},
    {[] { return static_cast<vclass*>(vscrapGetBlockClass()); }, fixed<kOpaque>},
    {[] { return static_cast<vclass*>(vscrapGetArrayClass()); }, fixed<kArray>},
    {[] { return static_cast<vclass*>(vscrapGetDictionaryClass()); }, fixed<kDictionary>},
    {[] { return static_cast<vclass*>(vscrapGetCompoundClass()); }, fixed<kCompound>},
};

// The value's text, or false when the walk finds no value class.
bool valueText(vinstance* value, std::string* out) {
  if (!value) return false;
  vdelegatorIterator it;
  vdelegatorInitIterator(&it, value);
  do {
    vclass* cls = vdelegatorTop(&it)->cls;
    for (const TextRow& row : kTexts)
      if (vclassIsSubclass(cls, row.cls())) return vexTry([&] { *out = row.text(value); });
    // Wrappers (typeable scraps, datatag scraps) have no kind of their own.
    if (vclassIsSubclass(cls, vscrapGetConvertibleClass()) && static_cast<vscrapConvertibleClassRec*>(cls)->kindClass)
      return *out = kComplex, true;
  } while (vdelegatorNextIterator(&it, 0));
  return false;
}

std::string unknownText() {
  const vstr* s = state()->unknown;
  return s ? std::string(s) : std::string();
}

// A service's value for an attribute (borrowed), or null.
vinstance* attributeOf(vinstance* service, vname tag) {
  if (!service) return nullptr;
  return static_cast<vinstance*>(vdictGet(&static_cast<vscrapNativeDictionary*>(service)->dict, tag));
}
std::string cellText(vinstance* service, vname tag) {
  std::string text;
  return valueText(attributeOf(service, tag), &text) ? text : unknownText();
}

// ---- Announcements.
void announceState(vservicechsr* c, const char* command, bool enabled) {
  vobjectSendAttribute(c, N("State"), N(command), enabled ? N("Enabled") : N("Disabled"));
}
void announceToggle(vservicechsr* c, vname attribute, bool on) {
  vobjectSendAttribute(c, N("Toggle"), attribute, on ? N("On") : N("Off"));
}

// ---- Selection and the accept hook.
std::int32_t selectedRow(vservicechsr* c) {
  if (!c->list || !c->listView || !c->listView->selection) return -1;
  if (!vlistCountSelectedCells(c->list, c->listView->selection)) return -1;
  std::int32_t row = -1, column = -1;
  vlistGetFirstSelectedCell(c->list, c->listView->selection, &row, &column);
  return row;
}

int serviceAccept(vconfirm* confirm, vevent*) {
  vservicechsr* c = asC(confirm);
  std::int32_t row = selectedRow(c);
  if (row < 0 || row >= c->serviceCount) return 0;
  vinstance* reference = vscrapCreateReference(c->services[row]);
  if (c->apply) return c->apply(c, reference);
  vinstanceDestroy(reference);
  return 1;
}

void selectRow(vservicechsr* c, std::int32_t row) {
  std::int32_t rows = vlistGetRowCount(c->list), columns = vlistGetColumnCount(c->list);
  vlistSelection* s = c->listView->selection;
  if (!s || rows == 0 || columns == 0) return;
  vlistUnselectRange(c->list, s, 0, 0, rows, columns);
  vlistSelectRange(c->list, s, row, 0, 1, columns);
}

// ---- The table.
void fillCells(vservicechsr* c) {
  std::int32_t columns = vlistGetColumnCount(c->list);
  for (std::int32_t r = 0; r < c->serviceCount; ++r)
    for (std::int32_t k = 0; k < columns; ++k) vlistSetCell(c->list, r, k, vlistCell(c->services[r]));
}

// Rows by the attribute's texts, case and accents ignored, unknown last.
void sortBy(vservicechsr* c, vname tag) {
  std::vector<std::pair<std::string, vinstance*>> keyed;
  std::vector<bool> known;
  for (std::int32_t r = 0; r < c->serviceCount; ++r) {
    std::string text;
    bool has = valueText(attributeOf(c->services[r], tag), &text);
    keyed.emplace_back(has ? text : std::string(), c->services[r]);
    known.push_back(has);
  }
  std::vector<std::int32_t> order(keyed.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = std::int32_t(i);
  std::stable_sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) {
    if (known[std::size_t(a)] != known[std::size_t(b)]) return bool(known[std::size_t(a)]);
    return vcstrCompareNoCase(keyed[std::size_t(a)].first.c_str(), keyed[std::size_t(b)].first.c_str()) < 0;
  });
  for (std::size_t i = 0; i < order.size(); ++i) c->services[i] = keyed[std::size_t(order[i])].second;
  fillCells(c);
}

void relayout(vservicechsr* c) {
  c->rebuilding = 1;
  vexGuard([&] { vrulerPackItems(c->ruler); },
           [&](vexHandler&) {
             c->rebuilding = 0;
             _vexGenerate(nullptr, vexEnd);
           });
  c->rebuilding = 0;
}

vmenu* viewMenu(vservicechsr* c);
// The View menu's toggle follows the column, however it came or went.
void showToggle(vservicechsr* c, vname tag, bool on) {
  vmenu* menu = viewMenu(c);
  for (int i = 0; menu && i < vmenuItemListCount(&menu->items); ++i) {
    vmenuItem* item = vmenuItemListAt(&menu->items, i);
    if (item->tag == tag && vmenuItemIsToggleOn(item) != on) vmenuItemSetToggle(item, on ? 1 : 0);
  }
}

// The list's margin and the ruler's are the same: a column is as wide as its header.
int listWidthFor(int itemWidth) { return itemWidth; }

void addColumn(vservicechsr* c, vname tag) {
  if (!c->ruler || vrulerFindItem(c->ruler, tag)) return;
  vfont* font = vdialogDetermineItemFont(c->ruler);
  int textWidth = font ? int((vfontGetScribeWidth(font, vscribeCString(tag)) + 0x8000) >> 16) : 0;
  vrulerItem* item = vrulerItemCreate();
  vclassRec<vobjectClassRec>(item)->setTag(item, tag);
  vrulerSetItemTitle(item, vscribeCString(tag));
  item->flags = (item->flags & ~vrulerItemMOVABLE) | vrulerItemRESIZABLE | vrulerItemOWNED;
  item->rect.width = std::int16_t(std::max(textWidth, kMinColumnWidth));
  vrulerItem* last = c->ruler->shown;
  while (last && last->next) last = last->next;
  item->rect.x = std::int16_t(c->ruler->spacing + (last ? last->rect.x + last->rect.width : 0));
  c->rebuilding = 1;
  vrulerAppendItem(c->ruler, item);
  c->rebuilding = 0;
  std::int32_t column = vlistGetColumnCount(c->list);
  if (vlistGetRowCount(c->list) != c->serviceCount) vlistSetRowCount(c->list, c->serviceCount);
  vlistSetColumnCount(c->list, column + 1);
  for (std::int32_t r = 0; r < c->serviceCount; ++r) vlistSetCell(c->list, r, column, vlistCell(c->services[r]));
  vlistviewSetColumnWidth(c->listView, column, listWidthFor(item->rect.width));
  std::int32_t row = selectedRow(c);
  if (row < 0 && c->serviceCount > 0) {
    selectRow(c, 0);
    vconfirmSetApply(c, serviceAccept);
  } else if (row >= 0) {
    selectRow(c, row);
  }
  showToggle(c, tag, true);
  announceState(c, "vservicechsrGET_INFO", true);
}

void removeColumn(vservicechsr* c, vname tag) {
  vrulerItem* item = c->ruler ? vrulerFindItem(c->ruler, tag) : nullptr;
  if (!item) return;
  std::int32_t column = vrulerGetItemIndex(item);
  item->flags |= vrulerItemMOVABLE | vrulerItemOWNED;
  vrulerRemoveItem(c->ruler, item);
  if (column >= 0 && column < vlistGetColumnCount(c->list))
    vlistClassOf(c->list)->remove(c->list, column, 1, vlistCOLUMNS);
  showToggle(c, tag, false);
  if (c->ruler->count == 0) {
    vlistSetRowCount(c->list, 0);
    vlistSetColumnCount(c->list, 0);
    announceState(c, "vservicechsrGET_INFO", false);
    vconfirmSetApply(c, nullptr);
  }
}

// ---- The View menu.
vmenu* viewMenu(vservicechsr* c) {
  for (int i = 0; c->menuBar && i < vmenubarCount(c->menuBar); ++i)
    if (vmenubarAt(c->menuBar, i)->tag == N("vservicechsrVIEW_MENU")) return vmenubarAt(c->menuBar, i);
  return nullptr;
}

void enableViewMenu(vservicechsr* c) {
  vmenu* menu = viewMenu(c);
  if (!menu) return;
  if (vmenuItemListCount(&menu->items) > 0) vmenuClassOf(menu)->enable(menu);
  else vmenuClassOf(menu)->disable(menu);
}

void addAttribute(vservicechsr* c, vname tag) {
  if (!vdictHas(&c->attributeCommands, tag)) {
    if (vmenu* menu = viewMenu(c)) {
      vmenuItem* item = vmenuItemCreate(vmenuGetDefaultToggleItemClass());
      vmenuItemSetToggle(item, 0);
      vmenuItemSetTitle(item, vscribeCString(tag));
      vclassRec<vobjectClassRec>(item)->setTag(item, tag);
      int at = 0, n = vmenuItemListCount(&menu->items);
      while (at < n && vcstrCompareNoCase(vmenuItemListAt(&menu->items, at)->title, tag) <= 0) ++at;
      if (at < n) vmenuInsertItem(menu, item, at);
      else vmenuAppendItem(menu, item);
      vmenuItemSetToggle(item, c->ruler && vrulerFindItem(c->ruler, tag) ? 1 : 0);
    }
    auto* command = static_cast<vcommandSelector*>(vinstanceCreate(state()->toggleCls));
    command->selector = vservicechsrTOGGLE;
    vdictStore(&c->attributeCommands, tag, command);
  }
  enableViewMenu(c);
}

void emptyViewMenu(vservicechsr* c) {
  if (vmenu* menu = viewMenu(c))
    for (int i = vmenuItemListCount(&menu->items) - 1; i >= 0; --i) {
      vmenuItem* item = vmenuItemListAt(&menu->items, i);
      if (!vdictHas(&c->attributeCommands, item->tag)) continue;
      vmenuRemoveItem(menu, item);
      vinstanceDestroy(item);
    }
  vdictIterator it;
  vdictInitIterator(&it, &c->attributeCommands);
  while (vdictNextIterator(&it)) vinstanceDestroy(static_cast<vinstance*>(vdictIteratorValue(&it)));
  vdictFinish(&c->attributeCommands);
  vdictInit(&c->attributeCommands, vdictHashName);
}

void destroyServices(vservicechsr* c) {
  for (std::int32_t i = 0; i < c->serviceCount; ++i) vinstanceDestroy(c->services[i]);
  if (c->services) vmemFree(c->services);
  c->services = nullptr;
  c->serviceCount = 0;
}

// ---- The broker.
void leaveWait(vservicechsr* c) {
  if (vwindowIsOpen(c)) vwindowClassOf(c)->clearBusy(c);
}

// An element of the reply holds its service as a scrap value: the copy is
// made from what it holds.
void importService(vinstance* element, vinstance* copy) {
  vinstance* held = nullptr;
  if (element && vdelegatorIsKindOf(element, vabstractGetScrapClass())) {
    vscrap w = vscrapWalk(element);
    vdelegatorFindClass(&w, vabstractGetScrapClass());
    held = static_cast<vscrapValueClassRec<vinstance*>*>(vdelegatorTop(&w)->cls)->get(&w);
  }
  vexGuard([&] { vscrapImport(vscrapWalk(held ? held : element), vscrapWalk(copy)); },
           [&](vexHandler&) {
             if (held) vinstanceDestroy(held);
             _vexGenerate(nullptr, vexEnd);
           });
  if (held) vinstanceDestroy(held);
}

// Copies of the reply's services, as native dictionaries.
void takeServices(vservicechsr* c, vinstance* result) {
  vscrap w = vscrapWalk(result);
  std::int32_t count = vscrapGetArrayCount(w);
  std::vector<vinstance*> taken;
  for (std::int32_t i = 0; i < count; ++i) {
    vinstance* element = vscrapGetArrayElement(vscrapWalk(result), i);
    vinstance* copy = vscrapCreateNative(vscrapGetDictionaryClass());
    if (vexTry([&] { importService(element, copy); })) taken.push_back(copy);
    else vinstanceDestroy(copy);
    if (element) vinstanceDestroy(element);
  }
  destroyServices(c);
  c->serviceCount = std::int32_t(taken.size());
  if (!taken.empty()) {
    c->services = static_cast<vinstance**>(vmemAlloc(vmemArraySize(taken.size(), sizeof(vinstance*))));
    std::copy(taken.begin(), taken.end(), c->services);
  }
}

bool anyServiceHas(vservicechsr* c, vname tag) {
  for (std::int32_t i = 0; i < c->serviceCount; ++i)
    if (attributeOf(c->services[i], tag)) return true;
  return false;
}

void rebuild(vservicechsr* c) {
  emptyViewMenu(c);
  for (std::int32_t i = 0; i < c->serviceCount; ++i) {
    vdictIterator it;
    vdictInitIterator(&it, &static_cast<vscrapNativeDictionary*>(c->services[i])->dict);
    while (vdictNextIterator(&it)) addAttribute(c, static_cast<vname>(vdictIteratorKey(&it)));
  }
  enableViewMenu(c);
  vname sortTag = nullptr;
  std::vector<vrulerItem*> gone;
  for (vrulerItem* item = c->ruler->shown; item; item = item->next) {
    if (!anyServiceHas(c, item->tag)) gone.push_back(item);
    else if (item->flags & vrulerItemHILITED) sortTag = item->tag;
  }
  c->rebuilding = 1;
  for (vrulerItem* item : gone) {
    item->flags |= vrulerItemMOVABLE | vrulerItemOWNED;
    vrulerRemoveItem(c->ruler, item);
  }
  c->rebuilding = 0;
  if (!gone.empty()) relayout(c);
  if (c->serviceCount == 0 || c->ruler->count == 0) {
    vlistSetRowCount(c->list, 0);
    vlistSetColumnCount(c->list, 0);
  } else {
    vlistSetColumnCount(c->list, 0);
    vlistSetRowCount(c->list, c->serviceCount);
    vlistSetColumnCount(c->list, c->ruler->count);
    std::int32_t k = 0;
    for (vrulerItem* item = c->ruler->shown; item; item = item->next, ++k)
      vlistviewSetColumnWidth(c->listView, k, listWidthFor(item->rect.width));
    fillCells(c);
    if (sortTag) sortBy(c, sortTag);
  }
  vconfirmSetApply(c, nullptr);
  if (c->serviceCount > 0 && vlistGetColumnCount(c->list) > 0) {
    selectRow(c, 0);
    vconfirmSetApply(c, serviceAccept);
  }
  if (c->menuBar) vdialogInvalItem(c->menuBar, 0);
  announceState(c, "vservicechsrALL_ON", true);
  announceState(c, "vservicechsrALL_OFF", true);
}

void reply(vsessionStatement* s, vsessionReply* r) {
  auto* c = static_cast<vservicechsr*>(s->client);
  if (!c) return;
  if ((r->kind & ~vsessionREPLY_MORE) == vsessionREPLY_RESULT && s->result) {
    takeServices(c, s->result);
    rebuild(c);
  }
  leaveWait(c);
}

void sendQuery(vservicechsr* c) {
  vsessionStatement* s = vdasservCreateMatchStatement(c->session, vscrapCreateReference(c->filter));
  s->state |= vsessionStatementDESTROY_WHEN_DONE;
  s->client = c;
  s->completion = reply;
  if (vwindowIsOpen(c)) vwindowClassOf(c)->setBusy(c);
  vsessionStatementSend(s);
}

void sessionEvent(vsession* s, std::int32_t* code) {
  auto* c = static_cast<vservicechsr*>(s->client);
  if (c && c->session == s && *code == vsessionOPENED) sendQuery(c);
}

void query(vservicechsr* c) {
  if (!vwindowIsOpen(c) || !c->session) return;
  if (c->session->flags & vsessionOPEN) sendQuery(c);
  else vsessionOpen(c->session);
}

void connect(vservicechsr* c) {
  vsession* s = vsessionCreate();
  vinstance* address = vdasservGetAddress();
  vexGuard([&] { vsessionSetAttributesFromDict(s, static_cast<vdatatagScrap*>(address)); },
           [&](vexHandler&) {
             vinstanceDestroy(address);
             vsessionDestroy(s);
             _vexGenerate(nullptr, vexEnd);
           });
  vinstanceDestroy(address);
  s->client = c;
  s->notify = sessionEvent;
  c->session = s;
  vsessionOpen(s);
}

void disconnect(vservicechsr* c) {
  vsession* s = c->session;
  if (!s) return;
  c->session = nullptr;
  s->notify = nullptr;
  vexTry([&] { vsessionClose(s); });
  vsessionDestroy(s);
}

// ---- The information dialog.
void drawInfoCell(vlistview* view, std::int32_t row, std::int32_t column, int, vrect* content) {
  auto* c = reinterpret_cast<vservicechsr*>(view->data);
  if (!c || !view->list) return;
  auto tag = reinterpret_cast<vname>(vlistGetCell(view->list, row, 0));
  auto* service = reinterpret_cast<vinstance*>(vlistGetCell(view->list, row, 1));
  std::string text = column == 0 ? std::string(tag) : cellText(service, tag);
  vfont* font = vdialogDetermineItemFont(view);
  if (column == 1 && font) font = vfontFindDerivedScribe(font, vscribeLiteral("Italic"));
  int width = font ? int((vfontGetCharsWidth(font, text.data(), int(text.size())) + 0x8000) >> 16) : 0;
  if (vlistviewGetCellInnerSize(view, column) < width + 2 * kInfoInset)
    vlistviewSetColumnWidth(view, column, width + 2 * kInfoInset);
  vdrawGSave();
  if (font) vdrawSetFont(font);
  vrect r{std::int16_t(content->x + kInfoInset), content->y, std::int16_t(std::max(0, content->width - kInfoInset)),
          content->height};
  vdrawCharsAt(text.data(), int(text.size()), &r, 2);
  vdrawGRestore();
}

vlistview* infoList(vservicechsr* c) {
  if (!c->info) return nullptr;
  return _vdialogFindItemAs<vlistview>(c->info, N("vservicechsrINFO_LIST"), vlistviewGetDefaultClass());
}

void fillInfo(vservicechsr* c) {
  vlistview* view = infoList(c);
  if (!view || !view->list) return;
  vlist* l = view->list;
  vlistviewSetColumnWidth(view, 0, 0);
  vlistviewSetColumnWidth(view, 1, 0);
  std::int32_t row = selectedRow(c);
  if (row < 0 || row >= c->serviceCount) {
    vlistSetRowCount(l, 0);
    vlistSetColumnCount(l, 0);
    return;
  }
  vinstance* service = c->services[row];
  std::vector<vname> tags;
  vdictIterator it;
  vdictInitIterator(&it, &static_cast<vscrapNativeDictionary*>(service)->dict);
  while (vdictNextIterator(&it)) tags.push_back(static_cast<vname>(vdictIteratorKey(&it)));
  std::sort(tags.begin(), tags.end(), [](vname a, vname b) { return vcstrCompareNoCase(a, b) < 0; });
  vlistSetColumnCount(l, 0);
  vlistSetRowCount(l, std::int32_t(tags.size()));
  vlistSetColumnCount(l, 2);
  for (std::size_t i = 0; i < tags.size(); ++i) {
    vlistSetCell(l, std::int32_t(i), 0, reinterpret_cast<vlistCell>(tags[i]));
    vlistSetCell(l, std::int32_t(i), 1, reinterpret_cast<vlistCell>(service));
  }
}

void openInfo(vservicechsr* c) {
  if (!c->info) {
    vresource r = 0;
    if (!state()->dict || !vresourceTestGet(state()->dict, N("vservicechsrINFO"), &r)) return;
    c->info = static_cast<vconfirm*>(static_cast<vinstance*>(_vobjectLoadOfClass(r, vconfirmGetDefaultClass())));
    if (vlistview* view = infoList(c)) {
      vlist* l = vlistCreate();
      vlistviewSetList(view, l);
      if (view->selection) {
        vlistSetSelectionMode(l, view->selection, vlistONE_ONLY_SELECTION);
        vlistSetSelectionWholeRows(l, view->selection, 1);
      }
      view->data = reinterpret_cast<std::intptr_t>(c);
      vlistviewSetCellDrawer(view, drawInfoCell);
    }
  }
  if (vwindowIsOpen(c->info)) return;
  fillInfo(c);
  vwindowOpen(c->info);
}

void destroyInfo(vservicechsr* c) {
  if (!c->info) return;
  vconfirm* info = c->info;
  c->info = nullptr;
  if (vwindowIsOpen(info)) vwindowClose(info);
  vlist* l = nullptr;
  // Checked when the box was loaded (infoList).
  if (vlistview* view = static_cast<vlistview*>(vdialogFindItem(info, N("vservicechsrINFO_LIST")))) {
    l = view->list;
    vlistviewSetList(view, nullptr);
  }
  vinstanceDestroy(info);
  if (l) vinstanceDestroy(l);
}

// ---- Commands.
int issueSelector(vobject* self, int selector, vdict* context) {
  vservicechsr* c = asC(self);
  switch (selector) {
    case vservicechsrSET_FILTER: return 1;
    case vservicechsrQUERY: vservicechsrQuery(c); return 1;
    case vservicechsrGET_INFO: openInfo(c); return 1;
    case vservicechsrALL_ON:
    case vservicechsrALL_OFF: {
      bool on = selector == vservicechsrALL_ON;
      std::vector<vname> tags;
      vdictIterator it;
      vdictInitIterator(&it, &c->attributeCommands);
      while (vdictNextIterator(&it)) tags.push_back(static_cast<vname>(vdictIteratorKey(&it)));
      for (vname tag : tags) {
        if (on) addColumn(c, tag);
        else removeColumn(c, tag);
        announceToggle(c, tag, on);
      }
      return 1;
    }
    case vservicechsrTOGGLE: {
      auto tag = static_cast<vname>(vdictGet(context, N("Tag")));
      if (!tag) return 0;
      // A toggle item says its state as its attribute, not in the context.
      const void* toggle = vdictGet(context, N("Toggle"));
      auto* from = static_cast<vobject*>(vdictGet(context, N("Operator")));
      if (!toggle && from) toggle = vobjectAttributedOf(from)->getAttribute(from, N("Toggle"));
      bool on = toggle ? toggle == N("On") : !vrulerFindItem(c->ruler, tag);
      if (on) addColumn(c, tag);
      else removeColumn(c, tag);
      return 1;
    }
    default: return super()->issueSelector(self, selector, context);
  }
}

int querySelector(vobject* self, int selector, vdict* context) {
  vservicechsr* c = asC(self);
  if (selector < vservicechsrSET_FILTER || selector > vservicechsrTOGGLE || !c->list)
    return super()->querySelector(self, selector, context);
  auto state = [&](bool enabled) { vdictStore(context, N("State"), enabled ? N("Enabled") : N("Disabled")); };
  switch (selector) {
    case vservicechsrSET_FILTER: state(false); break;
    case vservicechsrQUERY: break;
    case vservicechsrGET_INFO: state(selectedRow(c) >= 0); break;
    case vservicechsrALL_ON:
    case vservicechsrALL_OFF: state(vdictCount(&c->attributeCommands) > 0); break;
    default: {
      auto tag = static_cast<vname>(vdictGet(context, N("Tag")));
      bool shown = tag && c->ruler && vrulerFindItem(c->ruler, tag);
      vdictStore(context, N("Toggle"), shown ? N("On") : N("Off"));
    }
  }
  return 1;
}

// The attribute toggles: the chooser is the context's document.
vservicechsr* documentOf(vdict* context) {
  auto* d = static_cast<vinstance*>(vdictGet(context, N("Document")));
  return d && vclassIsSubclass(d->cls, state()->cls) ? asC(d) : nullptr;
}
int toggleIssue(vcommand* self, vdict* context) {
  vservicechsr* c = documentOf(context);
  return c ? vobjectAttributedOf(c)->issueSelector(c, static_cast<vcommandSelector*>(self)->selector, context) : 0;
}
int toggleQuery(vcommand* self, vdict* context) {
  vservicechsr* c = documentOf(context);
  return c ? vobjectAttributedOf(c)->querySelector(c, static_cast<vcommandSelector*>(self)->selector, context) : 0;
}

// ---- Notifications.
void rulerNotify(vruler* ruler, vevent*, vrulerItem* item, int code) {
  auto* c = reinterpret_cast<vservicechsr*>(ruler->data);
  if (!c || c->rebuilding || !c->list) return;
  switch (code) {
    case vrulerDOUBLE_CLICK:
      if (!item) return;
      for (vrulerItem* i = ruler->shown; i; i = i->next)
        if (i != item && (i->flags & vrulerItemHILITED)) vrulerSetItemHilite(i, 0);
      vrulerSetItemHilite(item, 1);
      sortBy(c, item->tag);
      break;
    case vrulerREMOVED: relayout(c); break;
    case vrulerWILL_MOVE: c->dragColumn = item ? vrulerGetItemIndex(item) : -1; break;
    case vrulerMOVED: {
      std::int32_t to = item ? vrulerGetItemIndex(item) : -1;
      if (c->dragColumn >= 0 && to >= 0 && to != c->dragColumn)
        vlistClassOf(c->list)->move(c->list, c->dragColumn, to, 1, vlistCOLUMNS);
      c->dragColumn = -1;
      relayout(c);
      break;
    }
    case vrulerRESIZED: {
      std::int32_t column = item ? vrulerGetItemIndex(item) : -1;
      if (column >= 0) vlistviewSetColumnWidth(c->listView, column, listWidthFor(item->rect.width));
      relayout(c);
      break;
    }
    default: break;
  }
}

void listNotify(vinstance* view, int code) {
  auto* c = reinterpret_cast<vservicechsr*>(static_cast<vlistview*>(view)->data);
  if (!c || code != 3) return;
  if (c->info && vwindowIsOpen(c->info)) fillInfo(c);
  if (selectedRow(c) >= 0) vconfirmSetApply(c, serviceAccept);
}

void drawCell(vlistview* view, std::int32_t row, std::int32_t column, int, vrect* content) {
  auto* c = reinterpret_cast<vservicechsr*>(view->data);
  if (!c || !view->list || !c->ruler) return;
  vrulerItem* item = vrulerGetItemAt(c->ruler, column);
  if (!item) return;
  std::string text = cellText(reinterpret_cast<vinstance*>(vlistGetCell(view->list, row, column)), item->tag);
  vrect r{std::int16_t(content->x + state()->margin), content->y,
          std::int16_t(std::max(0, content->width - state()->margin)), content->height};
  vdrawGSave();
  vdrawCharsAt(text.data(), int(text.size()), &r, 2);
  vdrawGRestore();
}

// The column headers follow the list's horizontal scroll.
void followScroll(vlistview* view) {
  auto* c = reinterpret_cast<vservicechsr*>(view->data);
  if (c && c->ruler && c->ruler->scroll != view->originX) vrulerSetScroll(c->ruler, view->originX);
}
void viewScrollTo(vlistview* view, std::int32_t x, std::int32_t y) {
  vlistviewGetDefaultClass()->scrollTo(view, x, y);
  followScroll(view);
}
void viewScrolledBy(vlistview* view, std::int32_t dx, std::int32_t dy) {
  vlistviewGetDefaultClass()->scrolledBy(view, dx, dy);
  followScroll(view);
}

// ---- Preferences under "vservicechsr".
vresource storedPreferences() {
  if (vresource d = _vapplicationPreferenceDict(vapplicationGetResources(vapplicationGetCurrent()), N("vservicechsr"), false))
    return d;
  return vprefGetValue(vprefGetDefaultDict(), vscribeLiteral("vservicechsr"));
}

void loadPreferences(vservicechsr* c) {
  vexTry([&] {
    vresource d = storedPreferences();
    if (!d) return;
    vresource shown = 0;
    if (vresourceTestGet(d, N("vservicechsrSHOW_ATTRIBUTE"), &shown))
      for (std::int32_t i = 0, n = vresourceCount(shown); i < n; ++i) {
        vname tag = nullptr;
        if (!vexTry([&] { tag = vresourceGetAtTag(shown, i); }) || !tag) continue;
        addAttribute(c, tag);
        addColumn(c, tag);
      }
    std::int32_t w = 0, h = 0;
    if (vresourceTestGetInteger(d, N("Width"), &w) && vresourceTestGetInteger(d, N("Height"), &h))
      vwindowResize(c, w, h);
  });
}

void savePreferences(vservicechsr* c) {
  vexTry([&] {
    vresource app = vapplicationGetResources(vapplicationGetCurrent());
    if (!app) return;
    vresource d = _vapplicationPreferenceDict(app, N("vservicechsr"), true);
    if (c->ruler && c->ruler->count > 0) {
      vresource shown = vresourceCreateArray(d, N("vservicechsrSHOW_ATTRIBUTE"), vresTAG, c->ruler->count);
      std::int32_t i = 0;
      for (vrulerItem* item = c->ruler->shown; item; item = item->next) vresourceSetAtTag(shown, i++, item->tag);
    }
    vresourceSetInteger(d, N("Width"), c->rect.width);
    vresourceSetInteger(d, N("Height"), c->rect.height);
    vexTry([&] { vresourceFlushFile(app); });
  });
}

// ---- The class.
void setUp(vservicechsr* c) {
  c->listView = _vdialogFindItemAs<vlistview>(c, N("vservicechsrLIST_VIEW"), state()->viewCls);
  c->ruler = _vdialogFindItemAs<vruler>(c, N("vservicechsrRULER"), vrulerGetDefaultClass());
  c->menuBar = _vdialogFindItemAs<vmenubar>(c, N("vservicechsrMENU_BAR"), vmenubarGetDefaultClass());
  if (!c->listView || !c->ruler)
    _vexGenerate(&vexModuleStartupClass, vexSetMessage, "vservicechsr: the template lacks its list or ruler", vexEnd);
  c->list = vlistCreate();
  c->info = nullptr;
  c->services = nullptr;
  c->serviceCount = 0;
  c->apply = nullptr;
  c->dragColumn = -1;
  c->rebuilding = 0;
  c->session = nullptr;
  c->filter = vscrapCreateNative(vscrapGetDictionaryClass());
  vdictInit(&c->attributeCommands, vdictHashName);
  if (vmenu* menu = viewMenu(c)) {
    if (!vwindowGetSpace(menu)) vwindowSetSpaceOwned(menu, vcommandSpaceCreate());
    vcommandSpace* space = vwindowGetSpace(menu);
    vclassRec<vcommandSpaceClassRec>(space)->addDict(space, N("Command"), &c->attributeCommands);
  }
  c->ruler->data = reinterpret_cast<std::intptr_t>(c);
  vrulerSetNotify(c->ruler, rulerNotify);
  c->listView->data = reinterpret_cast<std::intptr_t>(c);
  vlistviewSetList(c->listView, c->list);
  vlistviewSetCellDrawer(c->listView, drawCell);
  vlistviewSetNotify(c->listView, listNotify);
  if (c->listView->selection) {
    vlistSetSelectionMode(c->list, c->listView->selection, vlistONE_ONLY_SELECTION);
    vlistSetSelectionWholeRows(c->list, c->listView->selection, 1);
  }
  vconfirmSetDisableOnClear(c, 1);
  vconfirmSetApply(c, nullptr);
  c->apply = nullptr;
}

void loadInit(vobject* self, vresource resource) {
  super()->loadInit(self, resource);
  vservicechsr* c = asC(static_cast<vinstance*>(self));
  // The template's size stands.
  c->dialogFlags &= std::uint16_t(~vdialogSIZE_PENDING);
  setUp(c);
  loadPreferences(c);
}

int loadingTemplate = 0;
void init(vinstance* self) {
  if (loadingTemplate) return super()->init(self);
  ++loadingTemplate;
  vresource templ = state()->confirm;
  vexGuard(
      [&] {
        if (!templ)
          _vexGenerate(&vexModuleStartupClass, vexSetMessage, "vservicechsr: no \"vservicechsrCONFIRM\" template",
                       vexEnd);
        vclassRec<vobjectClassRec>(static_cast<vobject*>(self))->loadInit(static_cast<vobject*>(self), templ);
      },
      [&](vexHandler&) {
        --loadingTemplate;
        _vexGenerate(nullptr, vexEnd);
      });
  --loadingTemplate;
}

void destroy(vinstance* self) {
  vservicechsr* c = asC(self);
  disconnect(c);
  if (c->list) {
    if (c->listView) vlistviewSetList(c->listView, nullptr);
    vinstanceDestroy(c->list);
    c->list = nullptr;
  }
  savePreferences(c);
  destroyServices(c);
  if (c->filter) vinstanceDestroy(c->filter), c->filter = nullptr;
  destroyInfo(c);
  if (vmenu* menu = viewMenu(c))
    if (vcommandSpace* space = vwindowGetSpace(menu))
      vclassRec<vcommandSpaceClassRec>(space)->removeDict(space, N("Command"), &c->attributeCommands);
  emptyViewMenu(c);
  vdictFinish(&c->attributeCommands);
  super()->destroy(self);
}

void open(vwindow* w) {
  vservicechsr* c = asC(w);
  if (vwindowIsOpen(w)) return;
  connect(c);
  super()->open(w);
}

void close(vwindow* w) {
  vservicechsr* c = asC(w);
  if (!vwindowIsOpen(w)) return;
  disconnect(c);
  if (c->info && vwindowIsOpen(c->info)) vwindowClose(c->info);
  super()->close(w);
}

// The menu bar across the top, the ruler under it as the list's header,
// the list down to the buttons.
constexpr int kMargin = 10;
void place(vdialogItem* item, int x, int y, int w, int h) {
  vrect r{std::int16_t(x), std::int16_t(y), std::int16_t(std::max(w, 0)), std::int16_t(std::max(h, 0))};
  if (std::memcmp(&r, &item->rect, sizeof r) == 0) return;
  vdialogInvalItem(item, 0);
  vdialogSetItemRect(item, &r);
}
void arrange(vdialog* d, const vrect* rect) {
  vservicechsr* c = asC(d);
  vrect rest;
  _vconfirmLayoutButtons(c, rect, &rest);
  int top = rest.y + rest.height;
  if (c->menuBar) {
    int w = 0, h = 0;
    vdialogGetItemNaturalSize(c->menuBar, &w, &h);
    place(c->menuBar, rest.x, top - h, rest.width, h);
    top -= h;
  }
  top -= kMargin;
  int x = rest.x + kMargin, width = rest.width - 2 * kMargin;
  if (c->ruler) {
    int h = c->ruler->rect.height;
    place(c->ruler, x, top - h, width, h);
    top -= h;
  }
  if (c->listView) place(c->listView, x, rest.y, width, top - rest.y);
}

void setApply(vservicechsr* c, vservicechsrApplyFunc f) {
  c->apply = f;
  vconfirmSetApply(c, selectedRow(c) >= 0 ? serviceAccept : nullptr);
}

void setFilter(vservicechsr* c, vinstance* filter) {
  if (!filter) {
    if (c->filter) vinstanceDestroy(c->filter);
    c->filter = vscrapCreateNative(vscrapGetDictionaryClass());
    return;
  }
  vdelegatorIterator it;
  vdelegatorInitIterator(&it, filter);
  do {
    vclass* cls = vdelegatorTop(&it)->cls;
    if (vclassIsSubclass(cls, vscrapGetDictionaryClass())) {
      if (c->filter) vinstanceDestroy(c->filter);
      c->filter = filter;
      return;
    }
    if (vclassIsSubclass(cls, vscrapGetConvertibleClass())) return;  // another kind of value
  } while (vdelegatorNextIterator(&it, 0));
}

void freeModule() {
  ModuleState* st = state();
  if (st->space) vinstanceDestroy(st->space);
  if (st->unknown) vstrDestroy(st->unknown);
  st->space = nullptr;
  st->unknown = nullptr;
}

ModuleState* state() {
  if (auto* bound = vmoduleState<ModuleState>(stateSlot)) return bound;
  auto* st = static_cast<ModuleState*>(vmoduleBindSlot(stateSlot, sizeof(ModuleState)));
  *st = ModuleState{};
  vconfirmGetDefaultClass();
  vmenubarGetDefaultClass();
  vmenuGetDefaultClass();
  vmenuGetDefaultItemClass();
  vmenuGetDefaultToggleItemClass();
  vmenuGetDefaultSeparatorItemClass();
  vrulerGetDefaultClass();
  vlistviewGetDefaultClass();
  bool madeSelectors = !selectorDict;
  if (madeSelectors)
    selectorDict = vcommandCreateDictFromTable(vobjectGetCommandClass(), kCommands, int(std::size(kCommands)));
  auto* t = vclassSpawnOf<vcommandValueClassRec>(vcommandGetDefaultSelectorClass());
  t->issue = toggleIssue;
  t->query = toggleQuery;
  vclassSetName(t, vscribeLiteral("_vservicechsrSelector"));
  st->toggleCls = t;
  auto* v = vclassSpawnOf<vlistviewClassRec>(vlistviewGetDefaultClass());
  v->scrollTo = viewScrollTo;
  v->scrolledBy = viewScrolledBy;
  vclassSetName(v, vscribeLiteral("vservicechsrListView"));
  st->viewCls = v;

  auto* c = vclassSpawnOf<vservicechsrClassRec>(super());
  c->instanceSize = sizeof(vservicechsr);
  c->init = init;
  c->destroy = destroy;
  c->loadInit = loadInit;
  c->issueSelector = issueSelector;
  c->querySelector = querySelector;
  c->open = open;
  c->close = close;
  c->arrange = arrange;
  c->query = query;
  c->setApply = setApply;
  c->setFilter = setFilter;
  st->space = static_cast<vcommandSpace*>(vobjectClone(super()->space));
  vclassRec<vcommandSpaceClassRec>(st->space)->addDict(st->space, N("Command"), selectorDict);
  c->space = st->space;
  vclassSetName(c, vscribeLiteral("vservicechsr"));
  st->cls = c;
  st->margin = vrulerGetDefaultClass()->borderInset;

  vresource dict = 0;
  if (vapplicationFindNamedResource(N("vservicechsr"), &dict)) {
    st->dict = dict;
    vresourceTestGet(dict, N("vservicechsrCONFIRM"), &st->confirm);
    vexTry([&] { st->unknown = vstrCloneScribed(vresourceGetString(dict, N("vservicechsrUNKNOWN")), nullptr); });
  }
  vmoduleAddContextExitProc(freeModule);
  if (madeSelectors) vmoduleAddContextExitProc(freeSelectors);
  return st;
}

}  // namespace

vservicechsrClassRec* vservicechsrGetDefaultClass() { return state()->cls; }
vservicechsr* vservicechsrCreate() { return asC(vinstanceCreate(vservicechsrGetDefaultClass())); }
void vservicechsrStartup() { state(); }

vstr* vservicechsrValueText(vinstance* value) {
  std::string text;
  if (!valueText(value, &text)) text = unknownText();
  return vstrClone(text.c_str());
}
