#include "rulecraft/packages/MiscDateTime.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>

#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"

namespace rulecraft {

namespace {

constexpr int64_t MillisecondsPerDay = 86400000;
/// Days from 1 January 1970 back to the origin, 30 December 1899.
constexpr int64_t OriginOffset = 25569;
/// The first and last day that can be written: 1 January of year 1 and 31 December 9999.
constexpr double FirstDay = -693593.0;
constexpr double LastDay = 2958465.0;

bool IsLeapYear(int32_t Year) noexcept { return Year % 4 == 0 && (Year % 100 != 0 || Year % 400 == 0); }

int32_t DaysInMonth(int32_t Year, int32_t Month) noexcept {
  static constexpr int32_t Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return Month == 2 && IsLeapYear(Year) ? 29 : Days[Month - 1];
}

/// Days since 1 January 1970 of a day of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t Y, int64_t M, int64_t D) noexcept {
  Y -= M <= 2;
  const int64_t Era = (Y >= 0 ? Y : Y - 399) / 400;
  const int64_t YearOfEra = Y - Era * 400;
  const int64_t DayOfYear = (153 * (M + (M > 2 ? -3 : 9)) + 2) / 5 + D - 1;
  const int64_t DayOfEra = YearOfEra * 365 + YearOfEra / 4 - YearOfEra / 100 + DayOfYear;
  return Era * 146097 + DayOfEra - 719468;
}

void CivilFromDays(int64_t Z, int32_t& Year, int32_t& Month, int32_t& Day) noexcept {
  Z += 719468;
  const int64_t Era = (Z >= 0 ? Z : Z - 146096) / 146097;
  const int64_t DayOfEra = Z - Era * 146097;
  const int64_t YearOfEra = (DayOfEra - DayOfEra / 1460 + DayOfEra / 36524 - DayOfEra / 146096) / 365;
  const int64_t DayOfYear = DayOfEra - (365 * YearOfEra + YearOfEra / 4 - YearOfEra / 100);
  const int64_t MP = (5 * DayOfYear + 2) / 153;
  Day = static_cast<int32_t>(DayOfYear - (153 * MP + 2) / 5 + 1);
  Month = static_cast<int32_t>(MP < 10 ? MP + 3 : MP - 9);
  Year = static_cast<int32_t>(YearOfEra + Era * 400 + (Month <= 2));
}

std::string Digits(int32_t Value, size_t Width) {
  std::string Text = std::to_string(Value);
  if (Text.size() < Width) Text.insert(0, Width - Text.size(), '0');
  return Text;
}

/// The letter run starting at Format[I] that names a part ("yyyy", "mm", "m", ...), or an empty text.
std::string PartAt(const std::string& Format, size_t I) {
  const char C = static_cast<char>(Format[I] | 0x20);
  if (C != 'y' && C != 'm' && C != 'd' && C != 'h' && C != 'n' && C != 's' && C != 'z') return {};
  size_t Length = 1;
  while (I + Length < Format.size() && (Format[I + Length] | 0x20) == C) ++Length;
  const size_t Longest = C == 'y' ? 4 : C == 'z' ? 3 : 2;
  if (C == 'y' && Length < 2) return {};  // a lone y is text
  if (C == 'z' && Length < 3) return {};
  return std::string(std::min(Length, Longest), C);
}

}  // namespace

double EncodeDate(int32_t Year, int32_t Month, int32_t Day) {
  if (Year < 1 || Year > 9999 || Month < 1 || Month > 12 || Day < 1 || Day > DaysInMonth(Year, Month))
    throw EIEException(SInvalidDateEncode, {});
  return static_cast<double>(DaysFromCivil(Year, Month, Day) + OriginOffset);
}

double EncodeTime(int32_t Hour, int32_t Minute, int32_t Second, int32_t Millisecond) {
  if (Hour < 0 || Hour > 23 || Minute < 0 || Minute > 59 || Second < 0 || Second > 59 || Millisecond < 0 ||
      Millisecond > 999)
    throw EIEException(SInvalidTimeEncode, {});
  return static_cast<double>(((Hour * 60 + Minute) * 60 + Second) * 1000 + Millisecond) /
         static_cast<double>(MillisecondsPerDay);
}

double CombineDateTime(double Date, double Time) { return Date < 0 ? Date - Time : Date + Time; }

TDateParts DecodeDateTime(double Value) {
  if (!std::isfinite(Value) || Value < FirstDay || Value >= LastDay + 1.0)
    throw EIEException(SInvalidDateValue, {FloatToReadBackText(Value)});
  const double Whole = std::trunc(Value);
  int64_t Milliseconds = std::llround(std::fabs(Value - Whole) * static_cast<double>(MillisecondsPerDay));
  if (Milliseconds >= MillisecondsPerDay) Milliseconds = MillisecondsPerDay - 1;
  TDateParts Parts;
  CivilFromDays(static_cast<int64_t>(Whole) - OriginOffset, Parts.Year, Parts.Month, Parts.Day);
  Parts.Millisecond = static_cast<int32_t>(Milliseconds % 1000);
  Parts.Second = static_cast<int32_t>(Milliseconds / 1000 % 60);
  Parts.Minute = static_cast<int32_t>(Milliseconds / 60000 % 60);
  Parts.Hour = static_cast<int32_t>(Milliseconds / 3600000);
  return Parts;
}

double NowDateTime() {
  const auto Now = std::chrono::system_clock::now();
  const std::time_t Seconds = std::chrono::system_clock::to_time_t(Now);
  const auto Millisecond =
      std::chrono::duration_cast<std::chrono::milliseconds>(Now.time_since_epoch()).count() % 1000;
  std::tm Local{};
  localtime_r(&Seconds, &Local);
  return CombineDateTime(EncodeDate(Local.tm_year + 1900, Local.tm_mon + 1, Local.tm_mday),
                         EncodeTime(Local.tm_hour, Local.tm_min, Local.tm_sec < 60 ? Local.tm_sec : 59,
                                    static_cast<int32_t>(Millisecond)));
}

std::string FormatDateTime(const std::string& Format, double Value) {
  const TDateParts Parts = DecodeDateTime(Value);
  std::string Text;
  for (size_t I = 0; I < Format.size();) {
    if (Format[I] == '"') {
      const size_t Close = Format.find('"', I + 1);
      const size_t End = Close == std::string::npos ? Format.size() : Close;
      Text.append(Format, I + 1, End - I - 1);
      I = End + 1;
      continue;
    }
    const std::string Part = PartAt(Format, I);
    if (Part.empty()) {
      Text += Format[I++];
      continue;
    }
    I += Part.size();
    const size_t Width = Part.size() == 1 ? 1 : 2;
    switch (Part[0]) {
      case 'y':
        Text += Part.size() == 4 ? Digits(Parts.Year, 4) : Digits(Parts.Year % 100, 2);
        break;
      case 'm':
        Text += Digits(Parts.Month, Width);
        break;
      case 'd':
        Text += Digits(Parts.Day, Width);
        break;
      case 'h':
        Text += Digits(Parts.Hour, Width);
        break;
      case 'n':
        Text += Digits(Parts.Minute, Width);
        break;
      case 's':
        Text += Digits(Parts.Second, Width);
        break;
      default:
        Text += Digits(Parts.Millisecond, 3);
        break;
    }
  }
  return Text;
}

double ParseDateTime(const std::string& Text, const std::string& Format, const char* Kind) {
  const auto Fail = [&]() { return EIEException(SInvalidDateTimeText, {Text, Kind}); };
  size_t Start = Text.find_first_not_of(" \t");
  size_t Stop = Text.find_last_not_of(" \t");
  const std::string S = Start == std::string::npos ? std::string() : Text.substr(Start, Stop - Start + 1);
  int32_t Year = -1, Month = 1, Day = 1, Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
  bool HasDate = false;
  size_t P = 0;
  for (size_t I = 0; I < Format.size();) {
    if (Format[I] == '"') {
      const size_t Close = Format.find('"', I + 1);
      const size_t End = Close == std::string::npos ? Format.size() : Close;
      const std::string Literal = Format.substr(I + 1, End - I - 1);
      if (S.compare(P, Literal.size(), Literal) != 0) throw Fail();
      P += Literal.size();
      I = End + 1;
      continue;
    }
    const std::string Part = PartAt(Format, I);
    if (Part.empty()) {
      if (P >= S.size() || S[P] != Format[I]) throw Fail();
      ++P;
      ++I;
      continue;
    }
    I += Part.size();
    const size_t Longest = Part[0] == 'y' ? (Part.size() == 4 ? 4 : 2) : Part[0] == 'z' ? 3 : 2;
    int32_t Number = 0;
    size_t Count = 0;
    while (Count < Longest && P < S.size() && S[P] >= '0' && S[P] <= '9') {
      Number = Number * 10 + (S[P++] - '0');
      ++Count;
    }
    if (Count == 0) throw Fail();
    switch (Part[0]) {
      case 'y':
        Year = Part.size() == 4 ? Number : 2000 + Number;
        HasDate = true;
        break;
      case 'm':
        Month = Number;
        HasDate = true;
        break;
      case 'd':
        Day = Number;
        HasDate = true;
        break;
      case 'h':
        Hour = Number;
        break;
      case 'n':
        Minute = Number;
        break;
      case 's':
        Second = Number;
        break;
      default:
        Millisecond = Number;
        break;
    }
  }
  if (P != S.size() || (HasDate && Year < 0)) throw Fail();
  try {
    const double Date = HasDate ? EncodeDate(Year, Month, Day) : 0.0;
    return CombineDateTime(Date, EncodeTime(Hour, Minute, Second, Millisecond));
  } catch (const EIEException&) {
    throw Fail();
  }
}

}  // namespace rulecraft
