#include "rulecraft/framework/Format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "rulecraft/framework/Exception.h"

using namespace rulecraft;

namespace {

// The exact message Format raises for Fmt, or "" when it raises nothing.
std::string FormatError(std::string_view Fmt, std::initializer_list<TFormatArg> Args) {
  try {
    Format(Fmt, Args);
  } catch (const EConvertError& E) {
    return E.Message();
  }
  return "";
}

}  // namespace

TEST(FormatTest, LiteralsAndPercent) {
  EXPECT_EQ(Format("", {}), "");
  EXPECT_EQ(Format("plain text", {}), "plain text");
  EXPECT_EQ(Format("100%%", {}), "100%");
  EXPECT_EQ(Format("%%%d%%", {5}), "%5%");
  EXPECT_EQ(Format("a%sb", {""}), "ab");
}

TEST(FormatTest, SignedDecimal) {
  EXPECT_EQ(Format("%d", {0}), "0");
  EXPECT_EQ(Format("%d|%D", {-42, 42}), "-42|42");
  EXPECT_EQ(Format("%.3d|%.3d", {7, -7}), "007|-007");
  EXPECT_EQ(Format("%.2d", {12345}), "12345");
  EXPECT_EQ(Format("%6.3d|%-6.3d|", {-7, 7}), "  -007|007   |");
  EXPECT_EQ(Format("%d", {std::numeric_limits<int64_t>::min()}), "-9223372036854775808");
  EXPECT_EQ(Format("%d", {std::numeric_limits<int64_t>::max()}), "9223372036854775807");
}

TEST(FormatTest, UnsignedAndHex) {
  EXPECT_EQ(Format("%u", {-1}), "4294967295");
  EXPECT_EQ(Format("%u", {INT32_MIN}), "2147483648");
  EXPECT_EQ(Format("%u", {int64_t{INT32_MIN} - 1}), "18446744071562067967");
  EXPECT_EQ(Format("%.4u", {12}), "0012");
  EXPECT_EQ(Format("%x|%X", {255, 48879}), "FF|BEEF");
  EXPECT_EQ(Format("%x", {-1}), "FFFFFFFF");
  EXPECT_EQ(Format("%x", {int64_t{-4294967296}}), "FFFFFFFF00000000");
  EXPECT_EQ(Format("%.4x|%.1x", {255, 0}), "00FF|0");
  EXPECT_EQ(Format("%x", {0x123456789ABCLL}), "123456789ABC");
}

TEST(FormatTest, Fixed) {
  EXPECT_EQ(Format("%f", {3.14159}), "3.14");
  EXPECT_EQ(Format("%.4f|%.4f", {2.5, 3.0}), "2.5000|3.0000");
  EXPECT_EQ(Format("%.0f|%.0f|%.0f", {0.5, 1.5, 2.5}), "0|2|2");  // printf's round-half-even on exact halves
  EXPECT_EQ(Format("%.2f", {-0.00001}), "-0.00");
  EXPECT_EQ(Format("%.2f", {2.675}), "2.67");  // 2.675 is stored slightly below
  EXPECT_EQ(Format("%.f", {2.7}), "3");
  EXPECT_EQ(Format("%f", {42}), "42.00");  // an integer argument converts
  EXPECT_EQ(Format("%8.3f|%-8.1f|", {-1.5, 1.25}), "  -1.500|1.2     |");
  EXPECT_EQ(Format("%.1f", {1e20}), "100000000000000000000.0");
  EXPECT_EQ(FloatToFixed(1.005, 2), "1.00");
  EXPECT_EQ(FloatToFixed(-12.5, 0), "-12");
  EXPECT_EQ(FloatToFixed(7.0, 3), "7.000");
  EXPECT_EQ(FloatToFixed(std::nan(""), 2), "NAN");
}

TEST(FormatTest, Scientific) {
  EXPECT_EQ(Format("%e", {1234.5}), "1.23450000000000E+003");
  EXPECT_EQ(Format("%.3e|%.3E", {1234.5, -0.000123}), "1.23E+003|-1.23E-004");
  EXPECT_EQ(Format("%.1e|%.0e", {1234.5, 1234.5}), "1E+003|1E+003");
  EXPECT_EQ(Format("%.3e", {0.0}), "0.00E+000");
  EXPECT_EQ(Format("%.3e", {9.996}), "1.00E+001");  // rounding carries into the exponent
  EXPECT_EQ(Format("%.2e|%.2e", {1e300, 1e-300}), "1.0E+300|1.0E-300");
  EXPECT_EQ(Format("%.4e", {5}), "5.000E+000");
  EXPECT_EQ(Format("%12.2e|%-12.2e|", {1.5, 1.5}), "    1.5E+000|1.5E+000    |");
}

TEST(FormatTest, General) {
  EXPECT_EQ(Format("%g|%g|%g", {0.5, 100.0, 1e20}), "0.5|100|1E+020");
  EXPECT_EQ(Format("%.3g", {123456.0}), "1.23E+005");
  EXPECT_EQ(Format("%g|%g", {0.0001, 0.000001}), "0.0001|1E-006");
  EXPECT_EQ(Format("%g|%g", {0.00001, 0.0}), "0.00001|0");  // exponent -5 is still fixed
  EXPECT_EQ(Format("%g", {1.0 / 3}), "0.333333333333333");
  EXPECT_EQ(Format("%g", {-2.5}), "-2.5");
  EXPECT_EQ(Format("%g", {123456789012345.0}), "123456789012345");
  EXPECT_EQ(Format("%g", {1234567890123456.0}), "1.23456789012346E+015");
  EXPECT_EQ(Format("%.3g|%.3g", {999.0, 999.6}), "999|1E+003");  // rounding decides the notation
  EXPECT_EQ(Format("%.0g|%.1g", {2.5, 35.0}), "2|4E+001");
  EXPECT_EQ(Format("%.2g", {1.5e-7}), "1.5E-007");
  EXPECT_EQ(Format("%g", {7}), "7");
}

TEST(FormatTest, ThousandsAndMoney) {
  EXPECT_EQ(Format("%n", {1234567.891}), "1,234,567.89");
  EXPECT_EQ(Format("%n|%n|%n", {999.0, 1000.0, -123456.0}), "999.00|1,000.00|-123,456.00");
  EXPECT_EQ(Format("%.0n|%.3n", {1234567, 12.5}), "1,234,567|12.500");
  EXPECT_EQ(Format("%.0n", {999.5}), "1,000");
  EXPECT_EQ(Format("%m", {1234.5}), "$1,234.50");
  EXPECT_EQ(Format("%m", {-1234.5}), "($1,234.50)");
  EXPECT_EQ(Format("%m|%.0m|%m", {0.0, 12.0, -5}), "$0.00|$12|($5.00)");
  EXPECT_EQ(Format("%m", {-0.001}), "($0.00)");  // negative exactly when %f shows a '-'
  EXPECT_EQ(Format("%12m|%-12m|", {-1.5, 1.5}), "     ($1.50)|$1.50       |");
}

TEST(FormatTest, NonFiniteFloats) {
  const double Inf = std::numeric_limits<double>::infinity();
  const double NaN = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(Format("%f|%e|%g|%n|%m", {NaN, NaN, NaN, NaN, NaN}), "NAN|NAN|NAN|NAN|NAN");
  EXPECT_EQ(Format("%f|%e|%g|%m", {Inf, -Inf, Inf, -Inf}), "INF|-INF|INF|-INF");
  EXPECT_EQ(Format("%6f|%-6.2e|", {-Inf, NaN}), "  -INF|NAN   |");
}

TEST(FormatTest, StringsAndPointers) {
  EXPECT_EQ(Format("%s and %s", {"one", std::string("two")}), "one and two");
  EXPECT_EQ(Format("[%6s][%-6s]", {"ab", "ab"}), "[    ab][ab    ]");
  EXPECT_EQ(Format("[%2s]", {"abcdef"}), "[abcdef]");  // width never truncates
  EXPECT_EQ(Format("[%.3s][%.0s][%.9s]", {"abcdef", "abc", "abc"}), "[abc][][abc]");
  EXPECT_EQ(Format("[%5.2s]", {"abcdef"}), "[   ab]");
  const char* Null = nullptr;
  EXPECT_EQ(Format("[%s]", {Null}), "[]");
  EXPECT_EQ(Format("%p", {static_cast<const void*>(nullptr)}), "00000000");
  EXPECT_EQ(Format("%p", {reinterpret_cast<const void*>(uintptr_t{0xABC})}), "00000ABC");
  EXPECT_EQ(Format("%10p", {reinterpret_cast<const void*>(uintptr_t{0xABC})}), "  00000ABC");
  if constexpr (sizeof(void*) == 8) {
    EXPECT_EQ(Format("%p", {reinterpret_cast<const void*>(uintptr_t{0x123456789A})}), "123456789A");
  }
}

TEST(FormatTest, StarWidthAndPrecision) {
  EXPECT_EQ(Format("[%*d]", {5, 42}), "[   42]");
  EXPECT_EQ(Format("[%-*d]", {5, 42}), "[42   ]");
  EXPECT_EQ(Format("[%.*f]", {3, 2.0}), "[2.000]");
  EXPECT_EQ(Format("[%*.*s]", {6, 2, "abcdef"}), "[    ab]");
  EXPECT_EQ(Format("[%*d]", {-5, 42}), "[42   ]");   // negative width aligns left
  EXPECT_EQ(Format("[%.*f]", {-1, 2.0}), "[2.00]");  // negative precision is the default
  EXPECT_EQ(Format("[%*d]", {0, 42}), "[42]");
}

TEST(FormatTest, ArgumentIndexes) {
  EXPECT_EQ(Format("%1:s %0:s", {"a", "b"}), "b a");
  // unindexed directives continue after the last index
  EXPECT_EQ(Format("%1:s %s %0:s %s", {"a", "b", "c"}), "b c a b");
  EXPECT_EQ(Format("%0:s%0:s%0:s", {"x"}), "xxx");
  EXPECT_EQ(Format("[%1:-4d][%0:5.1f]", {2.25, 7}), "[7   ][  2.2]");
  EXPECT_EQ(Format("[%1:*d]", {"unused", 3, 9}), "[  9]");
  EXPECT_EQ(Format("%d", {1, 2, 3}), "1");  // extra arguments are fine
}

TEST(FormatTest, ArrayOverload) {
  const std::vector<TFormatArg> Args = {TFormatArg(3), TFormatArg("x"), TFormatArg(1.5)};
  EXPECT_EQ(Format("%d%s%.1f", Args.data(), Args.size()), "3x1.5");
  EXPECT_EQ(Format("no args", nullptr, 0), "no args");
  EXPECT_THROW(Format("%d", nullptr, 0), EConvertError);
}

TEST(FormatTest, MessageQuotesWholeFormat) {
  EXPECT_EQ(FormatError("Total: %q items", {1}),
            "Format 'Total: %q items' invalid or incompatible with argument");
  EXPECT_EQ(FormatError("%d", {1}), "");
}

TEST(FormatTest, MalformedDirectives) {
  auto ExpectMalformed = [](std::initializer_list<const char*> Formats) {
    for (const char* Fmt : Formats) EXPECT_THROW(Format(Fmt, {1, 1, 1}), EConvertError) << Fmt;
  };
  ExpectMalformed({"%", "abc%", "%-", "%5", "%5.", "%.", "%1:", "%1:-"});  // cut off before the type
  ExpectMalformed({"%q", "%i", "%ld", "% d", "%+d", "%#x"});               // unknown type or C flags
  ExpectMalformed({"%5.2.3d", "%--5d", "%-5-d", "%5-d"});                  // parts repeated or out of order
  ExpectMalformed({"%*:d", "%-1:d", "%1:1:d", "%:d"});                     // bad index
  ExpectMalformed({"%99999999999d", "%.99999999999f", "%99999999999:d"});  // numbers beyond 32 bits
}

TEST(FormatTest, IncompatibleArguments) {
  const int Dummy = 0;
  const void* Ptr = &Dummy;
  for (const char* Fmt : {"%d", "%u", "%x"}) {
    EXPECT_THROW(Format(Fmt, {1.0}), EConvertError) << Fmt;
    EXPECT_THROW(Format(Fmt, {"1"}), EConvertError) << Fmt;
    EXPECT_THROW(Format(Fmt, {Ptr}), EConvertError) << Fmt;
  }
  for (const char* Fmt : {"%e", "%f", "%g", "%n", "%m"}) {
    EXPECT_THROW(Format(Fmt, {"1.5"}), EConvertError) << Fmt;
    EXPECT_THROW(Format(Fmt, {Ptr}), EConvertError) << Fmt;
  }
  EXPECT_THROW(Format("%s", {1}), EConvertError);
  EXPECT_THROW(Format("%s", {Ptr}), EConvertError);
  EXPECT_THROW(Format("%p", {1}), EConvertError);
  EXPECT_THROW(Format("%p", {"x"}), EConvertError);
  // "*" needs an integer within 32 bits
  EXPECT_THROW(Format("%*d", {2.0, 1}), EConvertError);
  EXPECT_THROW(Format("%.*f", {"2", 1.0}), EConvertError);
  EXPECT_THROW(Format("%*d", {int64_t{1} << 40, 1}), EConvertError);
}

TEST(FormatTest, MissingArguments) {
  EXPECT_THROW(Format("%d", {}), EConvertError);
  EXPECT_THROW(Format("%d %d", {1}), EConvertError);
  EXPECT_THROW(Format("%*d", {5}), EConvertError);  // the width took the only argument
  EXPECT_THROW(Format("%.*f", {}), EConvertError);
  EXPECT_THROW(Format("%2:d", {1, 2}), EConvertError);
  EXPECT_THROW(Format("%1:d %d", {1, 2}), EConvertError);
}
