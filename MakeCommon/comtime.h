// Date and time utilities over 14-digit stamps (YYYYMMDDhhmmss), 8-digit
// dates (YYYYMMDD) and hhmmss / hhmm times, with the process-wide zone.
#ifndef COMTIME_H
#define COMTIME_H

#include <cstdint>
#include <ctime>

// Buffer sizes for the outputs below.
enum {
    COM_STAMP_SIZE = 15,      // "YYYYMMDDhhmmss"
    COM_DATE_SIZE = 9,        // "YYYYMMDD"
    COM_TIME_SIZE = 7,        // "hhmmss"
    COM_ZONE_SIZE = 32,       // zone and daylight-saving texts
    COM_LOGSTAMP_SIZE = 24,   // "YYYY/MM/DD hh:mm:ss.mmm"
    COM_TIMESTAMP_SIZE = 17   // "MMDDhhmmssuuuuuu"
};

// ---- current time ----------------------------------------------------------

// zoned 0: current UTC time, 14 digits; else comTimeNowZoned. 0, -9 for NULL,
// -1 on failure (out "").
int comTimeNowText(char* out, int zoned);
// Current wall-clock time of the configured zone, 14 digits. 0, -9, -1.
int comTimeNowZoned(char* out);
// UTC now shifted into the configured zone: date (9 bytes) and time (7 bytes).
// The size argument is not consulted. 0, -9 for NULL outputs, -1 on failure.
int comTimeNowZonedParts(char* dateOut, int size, char* timeOut);
// Current local time, 14 digits. 0, -9 for NULL.
int comTimeNowLocal(char* out);
// First 8 characters of comTimeNowText. 0, -9, -1.
int comDateNowText(char* out, int zoned);
// Local "%02d%02d%02d%02d%02d%06d" (month .. second, microseconds).
void comTimeStamp(char* out);
// Local "YYYY/MM/DD hh:mm:ss.mmm" (COM_LOGSTAMP_SIZE bytes).
void comLogStampMs(char* out);
// Milliseconds since the epoch.
int64_t comNowMillis();

// ---- time zone ------------------------------------------------------------

// The zone text ("+0900" unless set); the daylight-saving text through
// dstOut when given.
const char* comGetTimeZone(const char** dstOut);
// Stores both (cut to 31 characters) when zone has at least 5 characters and
// dst is given; otherwise nothing.
void comSetTimeZone(const char* zone, const char* dst);
// The configured zone with daylight saving applied ("60" moves the hour by
// one, anything else counts as 0). out: COM_ZONE_SIZE bytes. 0, -9 for NULL.
int comTimeZoneEffective(char* out);
// UTC date/time to the zone's wall-clock time. 0 or -1.
int comTimeToZone(const char* date, const char* time, const char* zone,
                  const char* dst, char* dateOut, char* timeOut);
// Shifts date/time by the zone (direction 1 into the zone, -1 out of it) and
// the daylight-saving minutes. Independent of the machine's zone. 0 or -1.
int comTimeShiftZone(const char* date, const char* time, const char* zone,
                     const char* dst, int direction, char* dateOut, char* timeOut);
// Date (8+) and time (6, or 4) as local time (no daylight saving). 0 or -1.
int comStampToTime(const char* date, const char* time, time_t* out);
// 0 when every character is a digit or '-', else -9.
int comIsDigitsOrMinus(const char* text);

// ---- checks ---------------------------------------------------------------

// 0 when the first 8 characters form a valid date, else -1.
int comDateTextCheck(const char* text);
int comYmdCheck(const char* year, const char* month, const char* day);
int comMonthDayCheck(const char* month, const char* day);
int comIsLeapYear(int year);
int comDaysInMonth(int year, int month);
// hhmm: hour 0-24, minute 0-59. 0 or -1.
int comHhmmCheck(const char* text);
// 1 when ymd + 7 is not a date of the same month, else 0.
int comInLastWeek(int ymd);

// ---- arithmetic (outputs: COM_DATE_SIZE / COM_STAMP_SIZE bytes) ------------

void comDateAddDays(const char* date, int days, char* out);
void comDateAddDaysMk(const char* date, int days, char* out);
// -99 NULL, -1 short, -2 not an integer, -3 not a date; else 0. out receives
// "%d" of the YYYYMMDD result; weekday 0 = Sunday.
int comDateAddDaysEx(const char* date, int days, char* out, int* weekday);
void comDateAddMonths(const char* date, int months, char* out);
void comMonthLastDay(const char* date, char* out);
void comWeekMonday(const char* date, char* out);
// 0 Sunday .. 6 Saturday.
int comDayOfWeek(int year, int month, int day);
int comWeekOfMonth(int ymd);
// 14 digits with seconds 00; "" on failure.
void comStampAddHours(const char* stamp, int hours, char* out);
// 12 digits (no seconds); "" on failure.
void comStampAddMinutes(const char* stamp, int minutes, char* out);
int comHhmmAddMinutes(int hhmm, int minutes);
long long comStampDiffSeconds(const char* first, const char* second);
int comDateDiffDays(const char* first, const char* second);
int comMonthDiff(const char* first, const char* second);
int comDaysSince(const char* date);
// "%d/%d/%d"; "" for an empty stamp. out: 16 bytes.
void comStampDateSlash(const char* stamp, char* out);
// "%d/%d/%d %2d:%02d". out: 24 bytes.
void comStampDateTimeSlash(const char* stamp, char* out);
// 6 x 7 YYYYMMDD integers of a calendar page; unused rows 0.
void comMonthGrid(int year, int month, int mondayFirst, int out[42]);

#endif
