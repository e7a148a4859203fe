// Dates: the class, the local zone, the calendar arithmetic and the
// localized names.
#include "fw/data/date.h"

#include <ctime>
#include <string>

#include "fw/core/debug.h"
#include "fw/data/inst.h"
#include "fw/data/vresource.h"

namespace {

constexpr int daysPerMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

struct Zone {
  std::int16_t offset = 0;
  std::string name;
};
Zone& localZone() {
  static Zone zone = [] {
    Zone z;
    std::time_t now = std::time(nullptr);
    std::tm t{};
    tzset();
    if (localtime_r(&now, &t)) {
      z.offset = static_cast<std::int16_t>(t.tm_gmtoff / 60);
      z.name = t.tm_zone ? t.tm_zone : "";
    }
    return z;
  }();
  return zone;
}

bool leap(std::int32_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
std::int64_t floorDiv(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }
// Leap days in the years before y.
std::int64_t leapDaysBefore(std::int32_t y) {
  std::int64_t p = static_cast<std::int64_t>(y) - 1;
  return floorDiv(p, 4) - floorDiv(p, 100) + floorDiv(p, 400);
}

[[noreturn]] void range(const char* message) { vexGenerateMessage(&vexArgRangeClass, message); }
vdate* checked(vdate* d) {
  if (!d) _vexGenerate(&vexArgNullClass, vexEnd);
  return d;
}
void setField(vdate* d, std::uint8_t vdate::*field, int value, int high, const char* message) {
  checked(d)->*field = static_cast<std::uint8_t>(value);
  if (value < 0 || value > high) range(message);
}
void forgetCached(vdate* d) {
  d->weekday = -1;
  d->dayOfYear = -1;
}
const char* zoneNameFor(std::int16_t offset) {
  if (offset == 0) return "GMT";
  return offset == localZone().offset ? localZone().name.c_str() : nullptr;
}

// vdate class.
vname key(const char* name) { return vnameInternLiteral(name); }
void dateInit(vinstance* self) {
  vobjectGetDefaultClass()->init(self);
  auto* d = static_cast<vdate*>(self);
  d->second = d->minute = d->hour = d->day = d->month = 0;
  d->year = 0;
  forgetCached(d);
  d->offset = localZone().offset;
  d->zoneName = zoneNameFor(d->offset);
}
void dateCopy(vobject* source, vobject* destination) {
  vobjectGetDefaultClass()->copy(source, destination);
  auto* from = static_cast<vdate*>(source);
  auto* to = static_cast<vdate*>(destination);
  vobject header = *to;
  *to = *from;
  static_cast<vobject&>(*to) = header;
}
void dateCopyInit(vobject* source, vobject* destination) {
  dateInit(destination);
  dateCopy(source, destination);
}

struct Field {
  const char* key;
  void (*set)(vdate*, int);
  int (*get)(const vdate*);
};
const Field fields[] = {
    {"Second", vdateSetSecond, [](const vdate* d) { return int{d->second}; }},
    {"Minute", vdateSetMinute, [](const vdate* d) { return int{d->minute}; }},
    {"Hour", vdateSetHour, [](const vdate* d) { return int{d->hour}; }},
    {"Date", vdateSetDate, [](const vdate* d) { return int{d->day}; }},
    {"Month", vdateSetMonth, [](const vdate* d) { return int{d->month}; }},
    {"Year", [](vdate* d, int v) { vdateSetYear(d, v); }, [](const vdate* d) { return int{d->year}; }},
    {"Offset", vdateSetOffset, [](const vdate* d) { return int{d->offset}; }},
};

void dateLoadInit(vobject* self, vresource r) {
  dateInit(self);
  vobjectGetDefaultClass()->loadInit(self, r);
  for (const Field& f : fields) {
    std::int32_t v;
    if (vresourceRoute<vresourceSlotTestGetInteger, int>(r, key(f.key), &v)) f.set(static_cast<vdate*>(self), v);
  }
}
void dateStore(vobject* self, vresource r) {
  vobjectGetDefaultClass()->store(self, r);
  for (const Field& f : fields) vresourceSetInteger(r, key(f.key), f.get(static_cast<vdate*>(self)));
}

void** dateSlot = nullptr;

// Name tables: arrays of strings under "vdate" in the framework resource
// file, read once; a missing file or entry leaves the table empty.
struct NameTable {
  std::string names[12];
  bool present[12] = {};
};
NameTable loadTable(const char* tableName, int count) {
  NameTable t;
  vexTry([&] {
    vresource module, array;
    if (!vresourceTestGet(vinstGetSystemResource(), key("vdate"), &module) ||
        !vresourceTestGet(module, key(tableName), &array))
      return;
    std::int32_t n = vresourceCount(array);
    for (int i = 0; i < count && i < n; ++i) {
      t.names[i] = vresourceGetAtStringText(array, i);
      t.present[i] = true;
    }
  });
  return t;
}
const char* nameAt(const NameTable& t, int count, int index) {
  if (index < 0 || index >= count) range("name index out of range");
  return t.present[index] ? t.names[index].c_str() : nullptr;
}

void printPosition(vexException* e, std::FILE* stream) {
  char p[24];
  vdebugFprintf(stream, "\tposition:%s\n", vdebugPointerText(p, static_cast<vdateSyntaxException*>(e)->position));
}

}  // namespace

const vexClass vexDateClass{&vexRootClass, "Date", 36, nullptr, sizeof(vexException)};
const vexClass vexDateSyntaxClass{&vexDateClass, "Syntax", 40, printPosition, sizeof(vdateSyntaxException)};

void vdateLoadLocalZone() {
  Zone& z = localZone();
  std::time_t now = std::time(nullptr);
  std::tm t{};
  tzset();
  if (!localtime_r(&now, &t)) return;
  z.offset = static_cast<std::int16_t>(t.tm_gmtoff / 60);
  z.name = t.tm_zone ? t.tm_zone : "";
}
std::int16_t vdateGetLocalOffset() { return localZone().offset; }
const char* vdateGetLocalZoneName() { return localZone().name.c_str(); }

vobjectClassRec* vdateGetDefaultClass() {
  if (auto* bound = vmoduleState<vobjectClassRec*>(dateSlot)) return *bound;
  localZone();
  auto* c = vclassSpawnOf<vobjectClassRec>(vobjectGetDefaultClass());
  vclassSetName(c, vscribeLiteral("vdate"));
  c->instanceSize = sizeof(vdate);
  c->init = dateInit;
  c->copy = dateCopy;
  c->copyInit = dateCopyInit;
  c->loadInit = dateLoadInit;
  c->store = dateStore;
  *static_cast<vobjectClassRec**>(vmoduleBindSlot(dateSlot, sizeof(vobjectClassRec*))) = c;
  return c;
}
void vdateInstallStartup() {
  vmoduleInstallStartup("vdateGetDefaultClass", [] {
    vdateGetDefaultClass();
    vdateFormatGetDefaultClass();
  });
}

vdate* vdateCreate() { return static_cast<vdate*>(vinstanceCreate(vdateGetDefaultClass())); }
void vdateDestroy(vdate* d) { vinstanceDestroy(d); }

void vdateSetSecond(vdate* d, int v) { setField(d, &vdate::second, v, 59, "Second field out of range"); }
void vdateSetMinute(vdate* d, int v) { setField(d, &vdate::minute, v, 59, "Minute field out of range"); }
void vdateSetHour(vdate* d, int v) { setField(d, &vdate::hour, v, 23, "Hour field out of range"); }
void vdateSetDate(vdate* d, int v) {
  forgetCached(checked(d));
  setField(d, &vdate::day, v, 30, "Day field out of range");
}
void vdateSetMonth(vdate* d, int v) {
  forgetCached(checked(d));
  setField(d, &vdate::month, v, 11, "Month field out of range");
}
void vdateSetYear(vdate* d, std::int32_t v) {
  checked(d);
  if (v < INT16_MIN || v > INT16_MAX) range("Year field out of range");
  forgetCached(d);
  d->year = static_cast<std::int16_t>(v);
}
void vdateSetOffset(vdate* d, int minutesEast) {
  checked(d);
  if (minutesEast < INT16_MIN || minutesEast > INT16_MAX) range("Offset field out of range");
  d->offset = static_cast<std::int16_t>(minutesEast);
  d->zoneName = zoneNameFor(d->offset);
}

int vdateDaysInMonth(int month, std::int32_t year) {
  if (month < 0 || month > 11) vexGenerateMessage(&vexArgClass, "Month field out of range");
  return month == 1 && leap(year) ? 29 : daysPerMonth[month];
}

int vdateGetDayOfYear(vdate* d) {
  if (checked(d)->dayOfYear >= 0) return d->dayOfYear;
  if (d->month > 11) range("Month field out of range");
  int n = d->day;
  for (int m = 0; m < d->month; ++m) n += vdateDaysInMonth(m, d->year);
  d->dayOfYear = static_cast<std::int16_t>(n);
  return n;
}

std::int64_t vdateDaysBetween(vdate* a, vdate* b) {
  std::int64_t years = static_cast<std::int64_t>(checked(a)->year) - checked(b)->year;
  return 365 * years + leapDaysBefore(a->year) - leapDaysBefore(b->year) + vdateGetDayOfYear(a) -
         vdateGetDayOfYear(b);
}

int vdateGetWeekday(vdate* d) {
  if (checked(d)->weekday >= 0) return d->weekday;
  vdate reference{};
  reference.year = 1970;
  reference.dayOfYear = 0;
  std::int64_t days = vdateDaysBetween(d, &reference);
  auto w = static_cast<int>(((days + 4) % 7 + 7) % 7);
  d->weekday = static_cast<std::int8_t>(w);
  return w;
}

const char* vdateGetWeekdayName(int i) {
  static const NameTable t = loadTable("Weekdays", 7);
  return nameAt(t, 7, i);
}
const char* vdateGetAbbrevWeekdayName(int i) {
  static const NameTable t = loadTable("AbbrevWeekdays", 7);
  return nameAt(t, 7, i);
}
const char* vdateGetMonthName(int i) {
  static const NameTable t = loadTable("Months", 12);
  return nameAt(t, 12, i);
}
const char* vdateGetAbbrevMonthName(int i) {
  static const NameTable t = loadTable("AbbrevMonths", 12);
  return nameAt(t, 12, i);
}
const char* vdateGetMeridianName(int beforeNoon) {
  static const NameTable t = loadTable("Meridians", 2);
  return nameAt(t, 2, beforeNoon ? 0 : 1);
}
