// The string package: its functions and help, texts read from every kind, result kinds, byte semantics for
// multibyte text, the substring boundaries, and formatting through CLIPSFormat.
#include "rulecraft/packages/StringPackage.h"

#include <gtest/gtest.h>

#include <utility>

#include "PackageTest.h"
#include "rulecraft/packages/MathPackage.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

constexpr int32_t Unbounded = 2147483647;
const std::string EAcute = "\xC3\xA9";  // one letter, two bytes

class StringPackageTest : public PackageTest {
 protected:
  void SetUp() override {
    Package = Install<TStringPackage>();
    Install<TMathPackage>();
  }
  TStringPackage* Package = nullptr;
};

TEST_F(StringPackageTest, FunctionsAreCallableByNameWithTheirHelp) {
  const std::string Pair = " <lexeme-expression> <lexeme-expression>";
  ExpectTable(
      *Package, Engine,
      {{"lowcase", 1, 1, " <string-or-symbol-expression>"},
       {"str-cat", 0, Unbounded, " <lexeme-expression>*"},
       {"str-compare", 2, 2, Pair},
       {"str-index", 2, 2, Pair},
       {"str-length", 1, 1, " <lexeme-expression>"},
       {"sub-string", 3, 3, " <start-integer-expression> <end-integer-expression> <lexeme-expression>"},
       {"sym-cat", 0, Unbounded, " <expression>*"},
       {"upcase", 1, 1, " <lexeme-expression>"},
       {"str-format", 2, Unbounded, "<string-expression> <expression>+"}});
  EXPECT_EQ(
      Help(Engine, "str-format"),
      ";; str-format function\r\n     syntax: (str-format <string-expression> <expression>+)\r\n"
      "     Returns a string created by combining the other arguments using a format string in the first "
      "argument");
}

TEST_F(StringPackageTest, ConcatenationAndCaseKeepTheirKinds) {
  EXPECT_TRUE(IsText(Run("str-cat", {Str("a"), Atom("b"), Int(1)}), dtString, "ab1"));
  EXPECT_TRUE(IsText(Run("str-cat"), dtString, ""));
  EXPECT_TRUE(IsText(Run("sym-cat", {Str("a"), Atom("b")}), dtAtom, "ab"));
  EXPECT_TRUE(IsText(Run("sym-cat"), dtAtom, ""));
  // Numbers contribute their text: a float with four decimals.
  EXPECT_TRUE(
      IsText(Run("str-cat", {Flt(1.5), Str("|"), Nested("PI"), Int(-2)}), dtString, "1.5000|3.1416-2"));
  Bind("who", Atom("world"));
  EXPECT_TRUE(IsText(Run("str-cat", {Str("hello "), Var("who")}), dtString, "hello world"));
  ExpectError([&] { Run("str-cat", {List({Int(1)})}); }, "Not a string type.  Value (1 ) is a dtList type");

  EXPECT_TRUE(IsText(Run("upcase", {Atom("abc")}), dtAtom, "ABC"));
  EXPECT_TRUE(IsText(Run("upcase", {Str("abc")}), dtString, "ABC"));
  EXPECT_TRUE(IsText(Run("lowcase", {Atom("MiXeD-1_Z")}), dtAtom, "mixed-1_z"));
  EXPECT_TRUE(IsText(Run("lowcase", {Str("")}), dtString, ""));
  EXPECT_TRUE(IsText(Run("upcase", {Nested("sym-cat", {Str("a"), Atom("b")})}), dtAtom, "AB"));
  // Only A-Z and a-z change: bytes of multibyte letters and other characters stay.
  EXPECT_TRUE(
      IsText(Run("upcase", {Str(EAcute + "t" + EAcute + "@[`{")}), dtString, EAcute + "T" + EAcute + "@[`{"));
  EXPECT_TRUE(IsText(Run("lowcase", {Str("\xC3\x89"
                                         "T")}),
                     dtString, "\xC3\x89t"));
  // A number has no text kind of its own: its text comes back as a string.
  EXPECT_TRUE(IsText(Run("upcase", {Int(12)}), dtString, "12"));
  EXPECT_TRUE(IsText(Run("lowcase", {Flt(2.5)}), dtString, "2.5000"));
}

TEST_F(StringPackageTest, CompareIndexAndLengthCountBytes) {
  auto Compare = [&](const IIEValue& A, const IIEValue& B) {
    const IIEValue R = Run("str-compare", {A, B});
    EXPECT_EQ(R->GetDType(), dtInteger);
    return R->GetAsInteger();
  };
  EXPECT_LT(Compare(Str("a"), Str("b")), 0);
  EXPECT_LT(Compare(Str("B"), Str("a")), 0);  // case-sensitive codes
  EXPECT_EQ(Compare(Str("a"), Str("b")), -1);
  EXPECT_EQ(Compare(Str("abc"), Atom("abc")), 0);
  EXPECT_EQ(Compare(Str("abc"), Str("ab")), 1);  // a prefix: the difference of the lengths
  EXPECT_EQ(Compare(Str("ab"), Str("abcd")), -2);
  EXPECT_EQ(Compare(Str(""), Str("")), 0);
  EXPECT_EQ(Compare(Str(""), Str("xyz")), -3);
  // Bytes compare as 0..255: a lead byte of a multibyte letter is above every ASCII character.
  EXPECT_EQ(Compare(Str(EAcute), Str("z")), 0xC3 - 'z');
  EXPECT_EQ(Compare(Int(10), Int(9)), '1' - '9');  // texts, not numbers

  EXPECT_TRUE(IsInteger(Run("str-index", {Str("lo"), Str("hello")}), 4));
  EXPECT_TRUE(IsInteger(Run("str-index", {Str("l"), Str("hello")}), 3));
  EXPECT_TRUE(IsInteger(Run("str-index", {Atom("hello"), Str("hello")}), 1));
  EXPECT_TRUE(IsInteger(Run("str-index", {Str("b"), Str(EAcute + "b")}), 3));
  EXPECT_TRUE(IsInteger(Run("str-index", {Int(50), Flt(2.5)}), 3));  // "50" in "2.5000"
  EXPECT_EQ(Run("str-index", {Str("x"), Str("hello")}).get(), FCFalse.get());
  EXPECT_EQ(Run("str-index", {Str(""), Str("hello")}).get(), FCFalse.get());
  EXPECT_EQ(Run("str-index", {Str(""), Str("")}).get(), FCFalse.get());
  EXPECT_EQ(Run("str-index", {Str("hello!"), Str("hello")}).get(), FCFalse.get());

  EXPECT_TRUE(IsInteger(Run("str-length", {Str("hello")}), 5));
  EXPECT_TRUE(IsInteger(Run("str-length", {Str("")}), 0));
  EXPECT_TRUE(IsInteger(Run("str-length", {Str(EAcute)}), 2));
  EXPECT_TRUE(IsInteger(Run("str-length", {Atom("abc")}), 3));
  EXPECT_TRUE(IsInteger(Run("str-length", {Int(-12)}), 3));
  EXPECT_TRUE(IsInteger(Run("str-length", {Str(std::string("a\0b", 3))}), 3));
}

TEST_F(StringPackageTest, SubStringBoundaries) {
  auto Sub = [&](int32_t Start, int32_t End, const IIEValue& Text) {
    return Run("sub-string", {Int(Start), Int(End), Text});
  };
  EXPECT_TRUE(IsText(Sub(2, 3, Str("hello")), dtString, "el"));
  EXPECT_TRUE(IsText(Sub(2, 10, Str("hello")), dtString, "ello"));
  EXPECT_TRUE(IsText(Sub(3, 2, Str("hello")), dtString, ""));
  EXPECT_TRUE(IsText(Sub(1, 5, Str("hello")), dtString, "hello"));
  EXPECT_TRUE(IsText(Sub(5, 5, Str("hello")), dtString, "o"));
  EXPECT_TRUE(IsText(Sub(1, Unbounded, Atom("abc")), dtString, "abc"));  // always a string
  EXPECT_TRUE(IsText(Sub(1, 1, Str(EAcute)), dtString, "\xC3"));         // bytes, not letters
  EXPECT_TRUE(IsText(Sub(2, 3, Int(12345)), dtString, "23"));
  ExpectError([&] { Sub(0, 2, Str("hello")); }, "Invalid substring parameters: 0, 2");
  ExpectError([&] { Sub(6, 6, Str("hello")); }, "Invalid substring parameters: 6, 6");
  ExpectError([&] { Sub(3, 1, Str("hello")); }, "Invalid substring parameters: 3, 1");
  ExpectError([&] { Sub(-1, 3, Str("hello")); }, "Invalid substring parameters: -1, 3");
  // An empty text has no valid start.
  ExpectError([&] { Sub(1, 0, Str("")); }, "Invalid substring parameters: 1, 0");
  ExpectError([&] { Sub(-2147483647 - 1, Unbounded, Str("abc")); },
              "Invalid substring parameters: -2147483648, 2147483647");
  ExpectError([&] { Sub(Unbounded, -2147483647 - 1, Str("abc")); },
              "Invalid substring parameters: 2147483647, -2147483648");
  // Positions are integer readings of evaluated arguments.
  EXPECT_TRUE(
      IsText(Run("sub-string", {Flt(2.9), Nested("+", {Int(1), Int(2)}), Str("hello")}), dtString, "el"));
  ExpectError(
      [&] {
        Run("sub-string", {Atom("one"), Int(2), Str("hello")});
      },
      "Not a integer type.  Value (one) is a dtAtom type");
}

TEST_F(StringPackageTest, FormatGoesThroughCLIPSFormat) {
  EXPECT_TRUE(IsText(Run("str-format", {Str("%d-%d"), Int(1), Int(2)}), dtString, "1-2"));
  EXPECT_TRUE(IsText(Run("str-format", {Str("x"), Int(1), Str("a")}), dtString, "x 1 a"));
  EXPECT_TRUE(IsText(Run("str-format", {Str("%s|%s"), Str("a"), Atom("b")}), dtString, "\"a\"|b"));
  EXPECT_TRUE(
      IsText(Run("str-format", {Str("%-4d|%.3d|%x"), Int(7), Int(7), Int(255)}), dtString, "7   |007|FF"));
  EXPECT_TRUE(IsText(Run("str-format", {Atom("%5.2f%n"), Nested("PI")}), dtString, " 3.14\r\n"));
  Bind("n", Int(9));
  EXPECT_TRUE(IsText(Run("str-format", {Str("n=%d"), Var("n")}), dtString, "n=9"));
  ExpectError(
      [&] {
        Run("str-format", {Str("%d"), Atom("abc")});
      },
      "Not a integer type.  Value (abc) is a dtAtom type");
}

}  // namespace
