#pragma once
// Dates and times of the miscellaneous package: floats counting days since 30 December 1899 (0.0) with the
// time of day as the fraction; a date before that origin is negative and its time of day still counts
// forward (-1.25 is 29 December 1899, 06:00). Years run from 1 to 9999.
//
// Text forms follow a format of letters: yyyy (year, four digits), yy (year, two digits: 2000 + yy when
// read), mm and m (month), dd and d (day), hh and h (hour, 0..23), nn and n (minute), ss and s (second),
// zzz (millisecond). The doubled letters write two digits, the single ones as few as needed; reading accepts
// one or two digits for either (up to four for yyyy, three for zzz). Text between double quotes and every
// other character stand for themselves. The engine's default formats are ISO 8601's "yyyy-mm-dd" and
// "hh:nn:ss", so a date and time reads and writes as "2000-01-01 12:30:00".
#include <cstdint>
#include <string>

namespace rulecraft {

struct TDateParts {
  int32_t Year = 1899, Month = 12, Day = 30;
  int32_t Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

/// The date float of that day; "Invalid argument to date encode" outside 1-1-1 .. 9999-12-31.
double EncodeDate(int32_t Year, int32_t Month, int32_t Day);
/// The fraction of a day of that time; "Invalid argument to time encode" outside 0:0:0.0 .. 23:59:59.999.
double EncodeTime(int32_t Hour, int32_t Minute, int32_t Second, int32_t Millisecond);
/// Date and time together (the time counts forward also from a negative date).
double CombineDateTime(double Date, double Time);
/// The parts of Value; "Invalid date value: %s" for a value outside the years 1 .. 9999 (or not finite).
TDateParts DecodeDateTime(double Value);
/// The current local date and time.
double NowDateTime();
/// Value written with Format.
std::string FormatDateTime(const std::string& Format, double Value);
/// Text read with Format: a float date and time; Kind ("date", "time", "date and time") names what was
/// expected in the error "'%s' is not a valid %s". Blanks around the text are ignored.
double ParseDateTime(const std::string& Text, const std::string& Format, const char* Kind);

}  // namespace rulecraft
