// Dates: one calendar date and time with a time-zone offset, and date
// formats that turn dates into text with the localized names from the
// framework's resource file.
//
// `vdate` keeps the fields in their stored widths; setters raise Arg/Range for a value out of range
// and store it all the same, so every computation that indexes the month table (day of year,
// weekday, month names) checks the month first. Weekdays count days from 1 January 1970 with the
// leap days before a year by floor division, so years below 1 work. The local zone's offset and
// name come from `localtime_r` (`tm_gmtoff`, `tm_zone`) under `TZ`. `vdateFormat` is a list of
// items (number, name, text, white space) written by a date scribe; the names are the arrays of
// strings under "vdate" in `vwexlin7.txt` (missing entries give no name).
#pragma once
#include <cstdint>

#include "fw/core/class.h"
#include "fw/data/num.h"
#include "fw/data/regexp.h"

struct vdate : vobject {
  std::uint8_t second, minute, hour;
  std::uint8_t day;    // of the month, from 0
  std::uint8_t month;  // from 0
  std::int8_t weekday;     // 0 Sunday; -1 until computed
  std::int16_t year;
  std::int16_t dayOfYear;  // from 0; -1 until computed
  std::int16_t offset;     // minutes east of Greenwich
  const char* zoneName;    // "GMT", the local zone's name, or null
};

vobjectClassRec* vdateGetDefaultClass();
void vdateInstallStartup();
vdate* vdateCreate();
void vdateDestroy(vdate* date);
// The local zone in force now, from the C library (TZ); read at start-up,
// read again here after TZ changes.
void vdateLoadLocalZone();
std::int16_t vdateGetLocalOffset();
const char* vdateGetLocalZoneName();

// Setters raise Arg/Range for a value out of range and store it all the
// same; a year outside 16 bits is refused.
void vdateSetSecond(vdate* d, int value);
void vdateSetMinute(vdate* d, int value);
void vdateSetHour(vdate* d, int value);
void vdateSetDate(vdate* d, int value);
void vdateSetMonth(vdate* d, int value);
void vdateSetYear(vdate* d, std::int32_t value);
void vdateSetOffset(vdate* d, int minutesEast);
int vdateGetWeekday(vdate* d);    // Arg/Range for a stored month outside 0-11
int vdateGetDayOfYear(vdate* d);  // the same
int vdateDaysInMonth(int month, std::int32_t year);  // Arg for a month outside 0-11
// Days from b to a.
std::int64_t vdateDaysBetween(vdate* a, vdate* b);

// Localized names (null when the resource file lacks the entry).
const char* vdateGetWeekdayName(int weekday);
const char* vdateGetAbbrevWeekdayName(int weekday);
const char* vdateGetMonthName(int month);
const char* vdateGetAbbrevMonthName(int month);
const char* vdateGetMeridianName(int beforeNoon);

enum : std::int16_t { vdateITEM_NUMBER, vdateITEM_NAME, vdateITEM_TEXT, vdateITEM_WHITE_SPACE };
enum : std::int16_t {
  vdateSECOND, vdateMINUTE, vdateHOUR12, vdateHOUR24, vdateDATE, vdateDAY_OF_YEAR, vdateMONTH, vdateABBREV_YEAR,
  vdateFULL_YEAR
};
enum : std::int16_t { vdateMERIDIAN, vdateWEEKDAY, vdateMONTH_NAME, vdateTIME_ZONE };

struct vdateFormatItem {
  std::int16_t kind;   // an unknown kind writes nothing
  std::int16_t which;
  vnumFormat* format;  // Number: owned, null for the default
  std::uint8_t abbreviated, required, shown;
  vstr* text;          // Text: owned
  vregexp* match;      // Text: owned or null
};
struct vdateFormat : vobject {
  vdateFormatItem* items;
  std::int32_t count, capacity;
};
vobjectClassRec* vdateFormatGetDefaultClass();
vdateFormat* vdateFormatCreate();
// Appends the item; the format owns its format, text and match from now on.
void vdateFormatAppend(vdateFormat* format, const vdateFormatItem& item);
// The date as text by the format; neither is owned by the scribe.
vscribe* vdateScribe(vdate* date, vdateFormat* format);

extern const vexClass vexDateClass, vexDateSyntaxClass;
struct vdateSyntaxException : vexException {
  const char* position;
};
