#include "fw/data/date.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "scrap_support.h"

namespace {

struct Date {
  vdate* d = vdateCreate();
  Date(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    vdateSetYear(d, year);
    vdateSetMonth(d, month);
    vdateSetDate(d, day);
    vdateSetHour(d, hour);
    vdateSetMinute(d, minute);
    vdateSetSecond(d, second);
  }
  ~Date() { vdateDestroy(d); }
};

std::string textOf(vscribe* s) {
  char* c = vscribeCreateString(s);
  std::string out = c;
  vscribeFreeString(c);
  return out;
}

// Weekdays counted day by day from 1 January 1970, a Thursday.
int countedWeekday(int year, int month, int day) {
  auto leap = [](int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; };
  long days = 0;
  for (int y = 1970; y < year; ++y) days += leap(y) ? 366 : 365;
  for (int y = year; y < 1970; ++y) days -= leap(y) ? 366 : 365;
  for (int m = 0; m < month; ++m) days += vdateDaysInMonth(m, year);
  days += day;
  return static_cast<int>(((days + 4) % 7 + 7) % 7);
}

TEST(Date, WeekdaysAndLeapYearsAtTheEdges) {
  struct Case {
    int year, month, day, weekday;
  } cases[] = {{1970, 0, 0, 4},  {1969, 11, 30, 3}, {2000, 1, 28, 2}, {1900, 2, 0, 4},
               {2000, 0, 0, 6},  {1, 0, 0, 1},      {0, 0, 0, 6},     {-1, 0, 0, 5}, {2026, 11, 5, 0}};
  for (const Case& c : cases) {
    Date d(c.year, c.month, c.day);
    EXPECT_EQ(vdateGetWeekday(d.d), c.weekday) << c.year << "-" << c.month + 1 << "-" << c.day + 1;
  }
  for (int year = -800; year <= 2800; year += 7)
    for (int month : {0, 1, 2, 11}) {
      Date d(year, month, 0);
      ASSERT_EQ(vdateGetWeekday(d.d), countedWeekday(year, month, 0)) << year << " " << month;
    }
  EXPECT_EQ(vdateDaysInMonth(1, 2000), 29);
  EXPECT_EQ(vdateDaysInMonth(1, 1900), 28);
  EXPECT_EQ(vdateDaysInMonth(1, 2024), 29);
  EXPECT_EQ(vdateDaysInMonth(1, -4), 29);
  EXPECT_EQ(vdateDaysInMonth(11, 2023), 31);
  EXPECT_EQ(raised([] { vdateDaysInMonth(12, 2000); }).cls, &vexArgClass);
  Date leapDay(2000, 1, 28);
  EXPECT_EQ(vdateGetDayOfYear(leapDay.d), 59);
  Date last(2000, 11, 30);
  EXPECT_EQ(vdateGetDayOfYear(last.d), 365);
  Date y1970(1970, 0, 0);
  EXPECT_EQ(vdateDaysBetween(last.d, y1970.d), 11322);
}

TEST(Date, SettersStoreAndRaise) {
  Date d(2001, 3, 10);
  vdateGetWeekday(d.d);
  struct Case {
    void (*set)(vdate*, int);
    int value;
    const char* message;
  } cases[] = {{vdateSetSecond, 60, "Second field out of range"}, {vdateSetMinute, -1, "Minute field out of range"},
               {vdateSetHour, 24, "Hour field out of range"},     {vdateSetDate, 31, "Day field out of range"},
               {vdateSetMonth, 12, "Month field out of range"}};
  for (const Case& c : cases) {
    Raised r = raised([&] { c.set(d.d, c.value); });
    EXPECT_EQ(r.cls, &vexArgRangeClass);
    EXPECT_EQ(r.message, c.message);
  }
  EXPECT_EQ(d.d->second, 60);  // stored all the same
  EXPECT_EQ(d.d->day, 31);
  EXPECT_EQ(d.d->month, 12);
  EXPECT_EQ(d.d->weekday, -1);
  // A stored month outside the year never indexes the month table.
  EXPECT_EQ(raised([&] { vdateGetWeekday(d.d); }).cls, &vexArgRangeClass);
  EXPECT_EQ(raised([&] { vdateGetDayOfYear(d.d); }).cls, &vexArgRangeClass);
  EXPECT_EQ(raised([&] { vdateSetYear(d.d, 40000); }).cls, &vexArgRangeClass);
  EXPECT_EQ(d.d->year, 2001);
  EXPECT_EQ(raised([] { vdateSetHour(nullptr, 1); }).cls, &vexArgNullClass);
  vdateSetOffset(d.d, 0);
  EXPECT_STREQ(d.d->zoneName, "GMT");
  vdateSetOffset(d.d, vdateGetLocalOffset() + 1);
  EXPECT_EQ(d.d->zoneName, nullptr);
}

TEST(Date, LocalZoneFollowsTheTzRule) {
  struct Case {
    const char* tz;
    int standard, daylight;
    const char *standardName, *daylightName;
  } cases[] = {{"EST5EDT,M3.2.0,M11.1.0", -300, -240, "EST", "EDT"}, {"XYZ-3", 180, 180, "XYZ", "XYZ"},
               {"UTC0", 0, 0, "UTC", "UTC"}};
  for (const Case& c : cases) {
    setenv("TZ", c.tz, 1);
    vdateLoadLocalZone();
    int offset = vdateGetLocalOffset();
    std::string name = vdateGetLocalZoneName();
    EXPECT_TRUE((offset == c.standard && name == c.standardName) || (offset == c.daylight && name == c.daylightName))
        << c.tz << ": " << offset << " " << name;
    vdate* d = vdateCreate();
    EXPECT_EQ(d->offset, offset);
    EXPECT_STREQ(d->zoneName, offset == 0 ? "GMT" : name.c_str());
    vdateDestroy(d);
  }
  unsetenv("TZ");
}

vdateFormatItem item(std::int16_t kind, std::int16_t which = 0, std::uint8_t abbreviated = 0) {
  vdateFormatItem i{};
  i.kind = kind;
  i.which = which;
  i.abbreviated = abbreviated;
  i.shown = 1;
  return i;
}
vdateFormatItem text(const char* t) {
  vdateFormatItem i = item(vdateITEM_TEXT);
  i.text = vstrClone(t);
  return i;
}

// Every item kind and every field, in one format.
vdateFormat* everyItem() {
  vdateFormat* f = vdateFormatCreate();
  vdateFormatItem hidden = item(vdateITEM_WHITE_SPACE);
  hidden.shown = 0;
  vdateFormatItem matched = text("@");
  matched.match = vregexpCompile(vscribeLiteral("[@]"));
  for (const vdateFormatItem& i :
       {item(vdateITEM_NAME, vdateWEEKDAY), text(", "), item(vdateITEM_NAME, vdateMONTH_NAME, 1),
        item(vdateITEM_WHITE_SPACE), item(vdateITEM_NUMBER, vdateDATE), text(", "),
        item(vdateITEM_NUMBER, vdateFULL_YEAR), item(vdateITEM_WHITE_SPACE), item(vdateITEM_NUMBER, vdateHOUR12),
        text(":"), item(vdateITEM_NUMBER, vdateMINUTE), text(":"), item(vdateITEM_NUMBER, vdateSECOND),
        item(vdateITEM_WHITE_SPACE), item(vdateITEM_NAME, vdateMERIDIAN), item(vdateITEM_WHITE_SPACE),
        item(vdateITEM_NAME, vdateTIME_ZONE), text(" ("), item(vdateITEM_NUMBER, vdateDAY_OF_YEAR), text("/"),
        item(vdateITEM_NUMBER, vdateABBREV_YEAR), text(") "), item(vdateITEM_NUMBER, vdateHOUR24), matched,
        item(vdateITEM_NUMBER, vdateMONTH), item(vdateITEM_NAME, vdateWEEKDAY, 1), hidden,
        item(vdateITEM_NAME, vdateMONTH_NAME), item(42), item(vdateITEM_NUMBER, 9)})
    vdateFormatAppend(f, i);
  return f;
}

TEST(Date, FormattingWithEveryItem) {
  vrstoreInstallInterface();
  vdateFormat* f = everyItem();
  Date d(2000, 1, 28, 13, 5, 9);
  vdateSetOffset(d.d, 0);
  const std::string expected = "Tuesday, Feb 29, 2000 1:5:9 PM GMT (60/0) 13@2TueFebruary-1";
  EXPECT_EQ(textOf(vdateScribe(d.d, f)), expected);
  vscribe* s = vdateScribe(d.d, f);
  EXPECT_EQ(vscribeGetLength(s), expected.size());
  EXPECT_EQ(vscribeGetLengthBounded(s, 10), 10u);
  char cut[16] = {};
  vscribeReadBounded(s, cut, 12);  // each item cut to the room left
  EXPECT_STREQ(cut, expected.substr(0, 12).c_str());

  struct Hour {
    int hour;
    const char* text;
  } hours[] = {{0, "12 AM"}, {12, "12 PM"}, {13, "1 PM"}, {11, "11 AM"}};
  vdateFormat* clock = vdateFormatCreate();
  for (const vdateFormatItem& i : {item(vdateITEM_NUMBER, vdateHOUR12), item(vdateITEM_WHITE_SPACE),
                                   item(vdateITEM_NAME, vdateMERIDIAN)})
    vdateFormatAppend(clock, i);
  for (const Hour& h : hours) {
    vdateSetHour(d.d, h.hour);
    EXPECT_EQ(textOf(vdateScribe(d.d, clock)), h.text);
  }
  // A month outside the year raises instead of reading past the names.
  raised([&] { vdateSetMonth(d.d, 13); });
  EXPECT_EQ(raised([&] { textOf(vdateScribe(d.d, f)); }).cls, &vexArgRangeClass);
  vinstanceDestroy(f);
  vinstanceDestroy(clock);
  EXPECT_STREQ(vdateGetAbbrevWeekdayName(6), "Sat");
  EXPECT_STREQ(vdateGetMonthName(11), "December");
  EXPECT_EQ(raised([] { vdateGetMonthName(12); }).cls, &vexArgRangeClass);
  EXPECT_EQ(raised([] { vdateGetWeekdayName(-1); }).cls, &vexArgRangeClass);
}

TEST(Date, DatesAndFormatsThroughResources) {
  vrstoreInstallInterface();
  vresource root = vrstoreCreateMemory();
  Date d(1999, 11, 30, 23, 59, 58);
  vdateSetOffset(d.d, 120);
  vresource r = vresourceCreate(root, N("When"), vresDICTIONARY);
  vdateGetDefaultClass()->store(d.d, r);
  auto* back = static_cast<vdate*>(vobjectLoad(r));
  EXPECT_EQ(back->year, 1999);
  EXPECT_EQ(back->month, 11);
  EXPECT_EQ(back->day, 30);
  EXPECT_EQ(back->second, 58);
  EXPECT_EQ(back->offset, 120);
  EXPECT_EQ(vdateGetWeekday(back), 5);
  auto* copy = static_cast<vdate*>(vobjectClone(back));
  EXPECT_EQ(copy->hour, 23);
  vinstanceDestroy(copy);
  vinstanceDestroy(back);

  vdateFormat* f = everyItem();
  f->items[4].format = static_cast<vnumFormat*>(vobjectClone(vnumGetNormalFormat()));
  vresource fr = vresourceCreate(root, N("Format"), vresDICTIONARY);
  vdateFormatGetDefaultClass()->store(f, fr);
  auto* loaded = static_cast<vdateFormat*>(vobjectLoad(fr));
  ASSERT_EQ(loaded->count, f->count);
  EXPECT_NE(loaded->items[4].format, nullptr);
  EXPECT_NE(loaded->items[23].match, nullptr);
  EXPECT_EQ(loaded->items[28].kind, -1);  // an unknown kind writes nothing either way
  EXPECT_EQ(textOf(vdateScribe(d.d, loaded)), textOf(vdateScribe(d.d, f)));
  auto* cloned = static_cast<vdateFormat*>(vobjectClone(loaded));
  EXPECT_EQ(textOf(vdateScribe(d.d, cloned)), textOf(vdateScribe(d.d, f)));
  for (vdateFormat* x : {f, loaded, cloned}) vinstanceDestroy(x);
  vrstoreCloseFile(root);

  vdateInstallStartup();
  int n = 0, ran = 0;
  const vmoduleStartupRow* rows = vmoduleGetStartupTable(&n);
  for (int i = 0; i < n; ++i)
    if (!std::strcmp(rows[i].name, "vdateGetDefaultClass") && rows[i].fn) rows[i].fn(), ++ran;
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(vclassFindByName(vscribeLiteral("vdateFormat")), vdateFormatGetDefaultClass());
}

}  // namespace
