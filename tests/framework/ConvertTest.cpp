#include "rulecraft/framework/Convert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "rulecraft/framework/Exception.h"

using namespace rulecraft;

namespace {

// The value TryStrToInt reads from Text, or Fallback when it refuses the text.
int64_t IntOr(std::string_view Text, int64_t Fallback = -999) {
  int32_t V = 0;
  return TryStrToInt(Text, V) ? V : Fallback;
}

bool FloatRefused(std::string_view Text) {
  double V = 12345.0;
  const bool Ok = TryStrToFloat(Text, V);
  return !Ok && V == 12345.0;  // a refusal leaves the variable alone
}

double FloatOf(std::string_view Text) {
  double V = 0;
  EXPECT_TRUE(TryStrToFloat(Text, V)) << Text;
  return V;
}

}  // namespace

TEST(ConvertTest, TryStrToIntDecimal) {
  EXPECT_EQ(IntOr("0"), 0);
  EXPECT_EQ(IntOr("123"), 123);
  EXPECT_EQ(IntOr("-45"), -45);
  EXPECT_EQ(IntOr("+45"), 45);
  EXPECT_EQ(IntOr("007"), 7);
  EXPECT_EQ(IntOr("   12"), 12);  // leading blanks allowed
  EXPECT_EQ(IntOr("2147483647"), 2147483647);
  EXPECT_EQ(IntOr("-2147483648"), INT32_MIN);
  EXPECT_EQ(IntOr("2147483648"), -999);
  EXPECT_EQ(IntOr("-2147483649"), -999);
  EXPECT_EQ(IntOr("99999999999999999999999"), -999);
}

TEST(ConvertTest, TryStrToIntHex) {
  EXPECT_EQ(IntOr("$FF"), 255);
  EXPECT_EQ(IntOr("$ff"), 255);
  EXPECT_EQ(IntOr("0x10"), 16);
  EXPECT_EQ(IntOr("0X1a"), 26);
  EXPECT_EQ(IntOr("-$10"), -16);
  EXPECT_EQ(IntOr("$7FFFFFFF"), INT32_MAX);
  EXPECT_EQ(IntOr("$FFFFFFFF"), -1);  // hexadecimal fills all 32 bits
  EXPECT_EQ(IntOr("$100000000"), -999);
  EXPECT_EQ(IntOr("$"), -999);
  EXPECT_EQ(IntOr("0x"), -999);
  EXPECT_EQ(IntOr("$FG"), -999);
  EXPECT_EQ(IntOr("0"), 0);  // a lone 0 is not a hex prefix
}

TEST(ConvertTest, TryStrToIntRefusals) {
  for (const char* Text :
       {"", " ", "-", "+", "12a", "12 ", "1.0", "1e3", "- 1", "--1", "a12", "1,000", "0x-1"})
    EXPECT_EQ(IntOr(Text), -999) << '"' << Text << '"';
  int32_t V = 77;
  EXPECT_FALSE(TryStrToInt("junk", V));
  EXPECT_EQ(V, 77);
}

TEST(ConvertTest, TryStrToInt64Limits) {
  int64_t V = 0;
  EXPECT_TRUE(TryStrToInt64("9223372036854775807", V));
  EXPECT_EQ(V, INT64_MAX);
  EXPECT_TRUE(TryStrToInt64("-9223372036854775808", V));
  EXPECT_EQ(V, INT64_MIN);
  EXPECT_FALSE(TryStrToInt64("9223372036854775808", V));
  EXPECT_TRUE(TryStrToInt64("2147483648", V));
  EXPECT_EQ(V, 2147483648LL);
  EXPECT_TRUE(TryStrToInt64("$FFFFFFFFFFFFFFFF", V));
  EXPECT_EQ(V, -1);
}

TEST(ConvertTest, StrToIntRaises) {
  EXPECT_EQ(StrToInt(" -12"), -12);
  try {
    StrToInt("12x");
    FAIL() << "no exception";
  } catch (const EConvertError& E) {
    EXPECT_EQ(E.Message(), "'12x' is not a valid integer value");
  }
}

TEST(ConvertTest, TryStrToFloatAccepts) {
  EXPECT_EQ(FloatOf("7.9"), 7.9);
  EXPECT_EQ(FloatOf("-7.9"), -7.9);
  EXPECT_EQ(FloatOf("+7.9"), 7.9);
  EXPECT_EQ(FloatOf(".5"), 0.5);
  EXPECT_EQ(FloatOf("5."), 5.0);
  EXPECT_EQ(FloatOf("1e5"), 1e5);
  EXPECT_EQ(FloatOf("1E-2"), 0.01);
  EXPECT_EQ(FloatOf("2.5e+3"), 2500.0);
  EXPECT_EQ(FloatOf(" 2.5 "), 2.5);  // blanks around are fine
  EXPECT_EQ(FloatOf("\t3\n"), 3.0);
  EXPECT_EQ(FloatOf("1.7976931348623157e308"), 1.7976931348623157e308);
  EXPECT_EQ(FloatOf("1e-999"), 0.0);  // underflow reads as zero
  EXPECT_EQ(FloatOf("0.0000001e-400"), 0.0);
}

TEST(ConvertTest, TryStrToFloatRefuses) {
  for (const char* Text : {"",
                           "  ",
                           ".",
                           "-",
                           "1e",
                           "1e+",
                           "e5",
                           ".e5",
                           "inf",
                           "-inf",
                           "infinity",
                           "nan",
                           "NaN",
                           "1e999",
                           "-1e999",
                           "1.8e308",
                           "123456789e301",
                           "1e99999999999999999999",
                           "1.2.3",
                           "1 2",
                           "1,5",
                           "0x10",
                           "--1",
                           "+-1",
                           "1e5x"})
    EXPECT_TRUE(FloatRefused(Text)) << '"' << Text << '"';
}

TEST(ConvertTest, StrToFloatRaises) {
  EXPECT_EQ(StrToFloat("-0.25"), -0.25);
  try {
    StrToFloat("1e999");
    FAIL() << "no exception";
  } catch (const EConvertError& E) {
    EXPECT_EQ(E.Message(), "'1e999' is not a valid floating point value");
  }
}

TEST(ConvertTest, TextHelpers) {
  EXPECT_EQ(Trim("  a b \t\r\n"), "a b");
  EXPECT_EQ(Trim(" \x01 "), "");
  EXPECT_EQ(Trim(""), "");
  EXPECT_EQ(TrimLeft("  x  "), "x  ");
  EXPECT_EQ(TrimRight("  x  "), "  x");
  EXPECT_TRUE(SameText("Hello", "hELLO"));
  EXPECT_FALSE(SameText("Hello", "Hell"));
  EXPECT_FALSE(SameText("a", "b"));
  EXPECT_TRUE(SameText("", ""));
  EXPECT_FALSE(SameText("\xC4", "\xE4"));  // only ASCII letters fold
  EXPECT_LT(CompareText("abc", "ABD"), 0);
  EXPECT_GT(CompareText("abcd", "ABC"), 0);
  EXPECT_EQ(CompareText("_", "_"), 0);
  EXPECT_LT(CompareText("Z", "_"), 0);  // compares upper-cased: 'Z' < '_'
  EXPECT_EQ(UpperCase("abc-XYZ-\xE4"), "ABC-XYZ-\xE4");
  EXPECT_EQ(LowerCase("ABC-xyz"), "abc-xyz");
}

TEST(ConvertTest, IntToHexAndIntToStr) {
  EXPECT_EQ(IntToHex(255, 0), "FF");
  EXPECT_EQ(IntToHex(255, 4), "00FF");
  EXPECT_EQ(IntToHex(0, 0), "0");
  EXPECT_EQ(IntToHex(0xABCDEF, 2), "ABCDEF");  // never truncates
  EXPECT_EQ(IntToHex(-1, 4), "FFFFFFFFFFFFFFFF");
  EXPECT_EQ(IntToStr(INT64_MIN), "-9223372036854775808");
}
