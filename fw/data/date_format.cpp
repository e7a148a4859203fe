// Date formats: ordered items written into text by a date scribe, stored
// in and loaded from resources.
#include <cstring>
#include <string>

#include "fw/data/date.h"
#include "fw/data/vresource.h"

namespace {

vname key(const char* name) { return vnameInternLiteral(name); }

constexpr const char* kindNames[] = {"Number", "Name", "Text", "WhiteSpace"};
constexpr const char* numberNames[] = {"Second", "Minute", "12Hour", "24Hour", "Date",
                                       "DayOfYear", "Month", "AbbrevYear", "FullYear"};
constexpr const char* nameNames[] = {"Meridian", "Weekday", "Month", "TimeZone"};

template <std::size_t N>
std::int16_t indexOf(const char* const (&names)[N], vname tag) {
  for (std::size_t i = 0; i < N; ++i)
    if (tag == key(names[i])) return static_cast<std::int16_t>(i);
  return -1;
}

void itemFree(vdateFormatItem& item) {
  if (item.format) vinstanceDestroy(item.format);
  if (item.text) vstrDestroy(item.text);
  if (item.match) vregexpDestroy(item.match);
  item.format = nullptr;
  item.text = nullptr;
  item.match = nullptr;
}

void clearItems(vdateFormat* f) {
  for (std::int32_t i = 0; i < f->count; ++i) itemFree(f->items[i]);
  f->count = 0;
}

// The text of one item; empty when it writes nothing.
std::string numberText(vdate* d, const vdateFormatItem& item) {
  std::int32_t v = -1;
  switch (item.which) {
    case vdateSECOND: v = d->second; break;
    case vdateMINUTE: v = d->minute; break;
    case vdateHOUR12: v = d->hour % 12 == 0 ? 12 : d->hour % 12; break;
    case vdateHOUR24: v = d->hour; break;
    case vdateDATE: v = d->day + 1; break;
    case vdateDAY_OF_YEAR: v = vdateGetDayOfYear(d) + 1; break;
    case vdateMONTH: v = d->month + 1; break;
    case vdateABBREV_YEAR: v = (d->year % 100 + 100) % 100; break;
    case vdateFULL_YEAR: v = d->year; break;
    default: break;
  }
  vscribe* s = vnumScribeInteger(v, vnumGetDecimalDigits(), item.format ? item.format : vnumGetNormalFormat(),
                                 nullptr, 0, -1);
  char* text = vscribeCreateString(s);
  std::string out = text;
  vscribeFreeString(text);
  return out;
}
std::string nameText(vdate* d, const vdateFormatItem& item) {
  const char* name = nullptr;
  switch (item.which) {
    case vdateMERIDIAN: name = vdateGetMeridianName(d->hour < 12); break;
    case vdateWEEKDAY: {
      int w = vdateGetWeekday(d);
      name = item.abbreviated ? vdateGetAbbrevWeekdayName(w) : vdateGetWeekdayName(w);
      break;
    }
    case vdateMONTH_NAME:
      name = item.abbreviated ? vdateGetAbbrevMonthName(d->month) : vdateGetMonthName(d->month);
      break;
    case vdateTIME_ZONE: name = d->zoneName; break;
    default: break;
  }
  return name ? name : "";
}
std::string itemText(vdate* d, const vdateFormatItem& item) {
  switch (item.kind) {
    case vdateITEM_NUMBER: return item.shown ? numberText(d, item) : "";
    case vdateITEM_NAME: return item.shown ? nameText(d, item) : "";
    case vdateITEM_TEXT: return item.text ? item.text : "";
    case vdateITEM_WHITE_SPACE: return item.shown ? " " : "";
    default: return "";
  }
}

// The scribe: data is the date, data2 the format.
vdate* dateOf(vscribe* s) { return static_cast<vdate*>(s->data); }
vdateFormat* formatOf(vscribe* s) { return reinterpret_cast<vdateFormat*>(s->data2); }
char* scribeRead(vscribe* s, char* buffer, std::size_t max) {
  vdateFormat* f = formatOf(s);
  for (std::int32_t i = 0; i < f->count && max; ++i) {
    std::string text = itemText(dateOf(s), f->items[i]);
    std::size_t n = text.size() < max ? text.size() : max;
    std::memcpy(buffer, text.data(), n);
    buffer += n;
    max -= n;
  }
  return buffer;
}
std::size_t scribeLength(vscribe* s, std::size_t max) {
  vdateFormat* f = formatOf(s);
  std::size_t sum = 0;
  for (std::int32_t i = 0; i < f->count && sum <= max; ++i) sum += itemText(dateOf(s), f->items[i]).size();
  return sum < max ? sum : max;
}
const vscribeClass dateScribeClass{scribeRead, scribeLength, nullptr, 1};

// The class.
void formatInit(vinstance* self) {
  vobjectGetDefaultClass()->init(self);
  auto* f = static_cast<vdateFormat*>(self);
  f->items = nullptr;
  f->count = f->capacity = 0;
}
void formatDestroy(vinstance* self) {
  auto* f = static_cast<vdateFormat*>(self);
  clearItems(f);
  vmemFree(f->items);
  vobjectGetDefaultClass()->destroy(self);
}
void formatCopy(vobject* source, vobject* destination) {
  vobjectGetDefaultClass()->copy(source, destination);
  auto* from = static_cast<vdateFormat*>(source);
  auto* to = static_cast<vdateFormat*>(destination);
  if (from == to) return;
  clearItems(to);
  for (std::int32_t i = 0; i < from->count; ++i) {
    vdateFormatItem item = from->items[i];
    if (item.format) item.format = static_cast<vnumFormat*>(vobjectClone(item.format));
    if (item.text) item.text = vstrClone(item.text);
    if (item.match) {
      auto* copy = static_cast<vregexp*>(vinstanceCreate(vregexpGetDefaultClass()));
      vregexpCopy(item.match, copy);
      item.match = copy;
    }
    vdateFormatAppend(to, item);
  }
}
void formatCopyInit(vobject* source, vobject* destination) {
  formatInit(destination);
  formatCopy(source, destination);
}

vdateFormatItem readItem(vresource c) {
  vdateFormatItem item{};
  vname type;
  item.kind = vresourceRoute<vresourceSlotTestGetTag, int>(c, key("Type"), &type) ? indexOf(kindNames, type) : -1;
  vresource found;
  auto flag = [&](const char* name) {
    return static_cast<std::uint8_t>(vresourceTestGet(c, key(name), &found) && vresourceGetBoolean(c, key(name)));
  };
  switch (item.kind) {
    case vdateITEM_NUMBER:
    case vdateITEM_NAME: {
      vname which = nullptr;
      item.which = !vresourceRoute<vresourceSlotTestGetTag, int>(c, key("Which"), &which) ? -1
                   : item.kind == vdateITEM_NUMBER                                        ? indexOf(numberNames, which)
                                                                                          : indexOf(nameNames, which);
      item.abbreviated = flag("Abbreviated");
      if (item.kind == vdateITEM_NUMBER && vresourceTestGet(c, key("Format"), &found)) item.format = vnumFormatLoad(found);
      break;
    }
    case vdateITEM_TEXT:
      item.text = vstrClone(vresourceGetStringText(c, key("Print")).c_str());
      if (vresourceTestGet(c, key("Match"), &found)) {
        vexGuard([&] { item.match = vregexpLoad(found); },
                 [&](vexHandler&) {
                   itemFree(item);
                   _vexGenerate(nullptr);
                 });
      }
      break;
    default: break;
  }
  item.required = flag("Required");
  item.shown = flag("Shown");
  return item;
}

void formatLoadInit(vobject* self, vresource r) {
  formatInit(self);
  vobjectGetDefaultClass()->loadInit(self, r);
  auto* f = static_cast<vdateFormat*>(self);
  vresource components;
  if (!vresourceTestGet(r, key("Components"), &components)) return;
  vexGuard(
      [&] {
        std::int32_t n = vresourceCount(components);
        for (std::int32_t i = 0; i < n; ++i) vdateFormatAppend(f, readItem(vresourceGetAt(components, i)));
      },
      [&](vexHandler&) {
        clearItems(f);
        _vexGenerate(nullptr);
      });
}

void formatStore(vobject* self, vresource r) {
  vobjectGetDefaultClass()->store(self, r);
  auto* f = static_cast<vdateFormat*>(self);
  vresource components = vresourceCreateArray(r, key("Components"), vresDICTIONARY, f->count);
  for (std::int32_t i = 0; i < f->count; ++i) {
    const vdateFormatItem& item = f->items[i];
    vresource c = vresourceCreateAt(components, i, vresDICTIONARY);
    if (item.kind < 0 || item.kind > vdateITEM_WHITE_SPACE) continue;
    vresourceSetTag(c, key("Type"), key(kindNames[item.kind]));
    switch (item.kind) {
      case vdateITEM_NUMBER:
      case vdateITEM_NAME: {
        bool number = item.kind == vdateITEM_NUMBER;
        int count = number ? 9 : 4;
        if (item.which >= 0 && item.which < count)
          vresourceSetTag(c, key("Which"), key(number ? numberNames[item.which] : nameNames[item.which]));
        if (number && item.format) vnumFormatStore(item.format, vresourceCreate(c, key("Format"), vresDICTIONARY));
        if (!number) vresourceSetBoolean(c, key("Abbreviated"), item.abbreviated);
        break;
      }
      case vdateITEM_TEXT: {
        const char* text = item.text ? item.text : "";
        vresourceSetStringSized(c, key("Print"), text, std::strlen(text));
        if (item.match) vregexpStore(item.match, vresourceCreate(c, key("Match"), vresDICTIONARY));
        continue;
      }
      default: break;
    }
    vresourceSetBoolean(c, key("Required"), item.required);
    vresourceSetBoolean(c, key("Shown"), item.shown);
  }
}

void** formatSlot = nullptr;

}  // namespace

vobjectClassRec* vdateFormatGetDefaultClass() {
  if (auto* bound = vmoduleState<vobjectClassRec*>(formatSlot)) return *bound;
  vnumFormatGetDefaultClass();
  vregexpGetDefaultClass();
  auto* c = vclassSpawnOf<vobjectClassRec>(vobjectGetDefaultClass());
  vclassSetName(c, vscribeLiteral("vdateFormat"));
  c->instanceSize = sizeof(vdateFormat);
  c->init = formatInit;
  c->destroy = formatDestroy;
  c->copy = formatCopy;
  c->copyInit = formatCopyInit;
  c->loadInit = formatLoadInit;
  c->store = formatStore;
  *static_cast<vobjectClassRec**>(vmoduleBindSlot(formatSlot, sizeof(vobjectClassRec*))) = c;
  return c;
}

vdateFormat* vdateFormatCreate() { return static_cast<vdateFormat*>(vinstanceCreate(vdateFormatGetDefaultClass())); }

void vdateFormatAppend(vdateFormat* f, const vdateFormatItem& item) {
  if (f->count == f->capacity) {
    if (f->capacity > INT32_MAX / 2) vexGenerateMessage(&vexModuleLimitClass, "date format is full");
    std::int32_t capacity = f->capacity ? f->capacity * 2 : 8;
    f->items = static_cast<vdateFormatItem*>(
        vmemRealloc(f->items, vmemArraySize(static_cast<std::size_t>(capacity), sizeof(vdateFormatItem))));
    f->capacity = capacity;
  }
  f->items[f->count++] = item;
}

vscribe* vdateScribe(vdate* date, vdateFormat* format) {
  if (!date || !format) _vexGenerate(&vexArgNullClass, vexEnd);
  vscribe* s = vscribeCreate(&dateScribeClass);
  s->data = date;
  s->data2 = reinterpret_cast<std::uintptr_t>(format);
  return s;
}
