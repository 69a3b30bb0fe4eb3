// Shared helpers: hashing, tolerant float comparison, the rule language's format routine, set/text
// conversions and the small text helpers.
#include <gtest/gtest.h>

#include "../TestValues.h"

#include "rulecraft/core/Enums.h"
#include "rulecraft/core/Helpers.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/ParenthesisScanner.h"
#include "rulecraft/core/Value.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/framework/Exception.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {
IValueVector Values(std::initializer_list<IIEValue> Items) {
  return MakeRef<TValueVector>(std::vector<IIEValue>(Items));
}
}  // namespace

TEST(CalculateHash, ShortTextsUseEveryCharacterLongOnesSample) {
  EXPECT_EQ(CalculateHash("abc"), 96354);
  EXPECT_EQ(CalculateHash(""), 0);
  // 16 characters: step 2, so position 2 (1-based) does not count.
  EXPECT_EQ(CalculateHash("aXcdefghijklmnop"), CalculateHash("aYcdefghijklmnop"));
  EXPECT_NE(CalculateHash("Xbcdefghijklmnop"), CalculateHash("Ybcdefghijklmnop"));
  // 15 characters use them all.
  EXPECT_NE(CalculateHash("aXcdefghijklmno"), CalculateHash("aYcdefghijklmno"));
  EXPECT_EQ(CalculateHash("abc", 1), 96354);
  EXPECT_EQ(CalculateHash("abc", 0), 96354);
  EXPECT_EQ(CalculateHash("abc", 2), 'a' * 31 + 'c');
  // Bytes above 127 count as 128..255, and long texts wrap without overflow traps.
  EXPECT_EQ(CalculateHash("\xff"), 255);
  (void)CalculateHash(std::string(100000, '\xfe'));
}

TEST(FloatEquals, ToleranceBoundsAreIncluded) {
  EXPECT_TRUE(FloatEquals(1.0, 1.0001, 0.0001));
  EXPECT_FALSE(FloatEquals(1.0, 1.0002, 0.0001));
  EXPECT_TRUE(FloatEquals(1.0f, 1.00005f, 0.0001f));
  EXPECT_TRUE(FloatEquals(-2.0L, -2.0001L, 0.0001L));
}

TEST(CLIPSFormat, DirectivesConsumeValuesInOrder) {
  EXPECT_EQ(CLIPSFormat("%d-%d", Values({Int(1), Int(2)})), "1-2");
  EXPECT_EQ(CLIPSFormat("%-4d|", Values({Int(7)})), "7   |");
  EXPECT_EQ(CLIPSFormat("%4d|", Values({Int(7)})), "   7|");
  EXPECT_EQ(CLIPSFormat("%.3d", Values({Int(7)})), "007");
  EXPECT_EQ(CLIPSFormat("%x", Values({Int(255)})), "FF");
  EXPECT_EQ(CLIPSFormat("%d", Values({MakeRef<TIEValue>(7.9)})), "7");
  EXPECT_EQ(CLIPSFormat("%f", Values({Int(2)})), "2.00");
  EXPECT_EQ(CLIPSFormat("%.1f", Values({MakeRef<TIEValue>(2.25)})), "2.2");
  EXPECT_EQ(CLIPSFormat("%e", Values({MakeRef<TIEValue>(1234.5)})), "1.23450000000000E+003");
  EXPECT_EQ(CLIPSFormat("%g", Values({MakeRef<TIEValue>(0.5)})), "0.5");
  EXPECT_EQ(CLIPSFormat("%s", Values({Str("hi")})), "\"hi\"");  // text form keeps the quotes
  EXPECT_EQ(CLIPSFormat("%.2s", Values({Atom("hello")})), "he");
  EXPECT_EQ(CLIPSFormat("%m", Values({MakeRef<TIEValue>(1234.5)})), "$1,234.50");
}

TEST(CLIPSFormat, LeftoverValuesAreAppended) {
  EXPECT_EQ(CLIPSFormat("x", Values({Int(1), Str("a")})), "x 1 a");
  EXPECT_EQ(CLIPSFormat("", Values({MakeRef<TIEValue>(3, dtFactId)})), " 3");
  IIEValue List = MakeRef<TIEValue>(Values({Int(1), Int(2)}));
  EXPECT_EQ(CLIPSFormat("l", Values({List})), "l (1 2 )");
  EXPECT_EQ(CLIPSFormat("%d", Values({Int(1), Int(2)})), "1 2");
}

TEST(CLIPSFormat, LineBreaksAndOddDirectives) {
  EXPECT_EQ(CLIPSFormat("%n", Values({})), "\r\n");
  EXPECT_EQ(CLIPSFormat("a%nb%d", Values({Int(3)})), "a\r\nb3");
  EXPECT_EQ(CLIPSFormat("%5n", Values({Int(1)})), "%5n");
  // An unknown directive stays first in line and swallows every later value.
  EXPECT_EQ(CLIPSFormat("%q %d", Values({Int(1), Int(2)})), "%q %d");
  EXPECT_EQ(CLIPSFormat("%D", Values({Int(1)})), "%D");
  // Directives left over for want of values stay as written.
  EXPECT_EQ(CLIPSFormat("%d %d", Values({Int(1)})), "1 %d");
  EXPECT_EQ(CLIPSFormat("%d", Values({})), "%d");
  EXPECT_EQ(CLIPSFormat("100%", Values({Int(1)})), "100%");
  EXPECT_EQ(CLIPSFormat("%%d", Values({Int(1)})), "%d");
  EXPECT_EQ(CLIPSFormat("plain", IValueVector()), "plain");
}

TEST(CLIPSFormat, UnreadableValuesAndBadDirectivesRaise) {
  EXPECT_THROW(CLIPSFormat("%d", Values({Atom("x")})), EIEException);
  EXPECT_THROW(CLIPSFormat("%f", Values({Atom("x")})), EIEException);
  EXPECT_THROW(CLIPSFormat("%p", Values({Int(1)})), EIEException);
  EXPECT_THROW(CLIPSFormat("%5.2.1f", Values({Int(1)})), EConvertError);
}

TEST(SetText, SetsPrintAndReadBack) {
  const TIETypes Kinds{dtAtom, dtVariable, dtMultiVariable};
  EXPECT_EQ(SetToString(Kinds, ", ", false), "Atom, Variable, MultiVariable");
  EXPECT_EQ(SetToString(Kinds, ", ", true), "[Atom, Variable, MultiVariable]");
  EXPECT_EQ(SetToString(TIETypes(), ", ", true), "[]");
  EXPECT_EQ(SetToString(TIETypes(), ", ", false), "");
  EXPECT_EQ(StringToSet("[Atom, Variable, MultiVariable]", TIETypeInfo(), "dt"), Kinds.Bits());
  EXPECT_EQ(StringToSet("  [atom,,STRING]  ", TIETypeInfo(), "dt"), (TIETypes{dtAtom, dtString}).Bits());
  EXPECT_EQ(StringToSet("", TIETypeInfo(), "dt"), 0u);
  EXPECT_EQ(StringToSet("[]", TIETypeInfo(), "dt"), 0u);
  const TConstructWatches Watches{cwFact, cwStatistics};
  const std::string Text = SetToString(TConstructWatchInfo(), Watches.Bits(), ",", true, 0);
  EXPECT_EQ(Text, "[cwFact,cwStatistics]");
  EXPECT_EQ(StringToSet(Text, TConstructWatchInfo(), ""), Watches.Bits());
  EXPECT_EQ(SetToString(TConstructWatchInfo(), Watches.Bits(), " ", false, 2), "Fact Statistics");
  try {
    StringToSet("[Atom, Bogus]", TIETypeInfo(), "dt");
    FAIL();
  } catch (const EIEException&) {
    FAIL() << "raised as an engine error";
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), "Invalid item for set: dtBogus");
  }
}

TEST(TextHelpers, QuotesCharactersAndTypeNames) {
  EXPECT_EQ(IEStringToString("\"abc\""), "abc");
  EXPECT_EQ(IEStringToString("\""), "\"");
  EXPECT_EQ(IEStringToString("\"\""), "");
  EXPECT_EQ(IEStringToString("\"a\\\"\""), "a\\\"");
  EXPECT_EQ(IEStringToString("abc\""), "abc\"");
  EXPECT_EQ(ContainsCharacters("abc", "xc"), 3);
  EXPECT_EQ(ContainsCharacters("abc", "xyz"), 0);
  EXPECT_EQ(ContainsCharacters("", "a"), 0);
  EXPECT_EQ(StringFilter("a(b)c", "()"), "abc");
  EXPECT_EQ(StringFilter("abc", ""), "abc");
  EXPECT_EQ(GetIETypeName(dtInteger), "dtInteger");
  EXPECT_EQ(GetIETypeName(dtMultiSlot), "dtMultiSlot");
  EXPECT_EQ(GetIETypeName(static_cast<TIEType>(19)), "<UNKNOWN>");
}

TEST(KindSets, SharedSetsHoldTheirMembers) {
  EXPECT_TRUE(IEStringTypes.Contains(dtMultiSlot));
  EXPECT_FALSE(IEStringTypes.Contains(dtInteger));
  EXPECT_TRUE(IESlotTypesWithFuzzy.Contains(dtFuzzy));
  EXPECT_FALSE(IESlotTypes.Contains(dtFuzzy));
  EXPECT_TRUE(IESlotTypes.SubsetOf(IESlotTypesWithFuzzy));
  EXPECT_EQ(SetToString(IEReparseTypes, ",", false), "FunCall,Fact,Fuzzy");
  EXPECT_EQ(SetToString(IEAlwaysValidTypes, ",", false), "None,Variable,FunCall,MultiVariable");
}

// The scanner reads text in any pieces the same way: a piece may end inside a string, right after a
// backslash or inside a comment. The balance goes negative after a stray ")", while the depth counts only
// what is open.
TEST(ParenthesisScannerTest, PiecesStringsCommentsAndStrayCloses) {
  const std::string Text = "(a \"x\\\")\" ; (\r\n(b \"y\\\\\") ; \")\n)";
  for (size_t Cut = 0; Cut <= Text.size(); ++Cut) {
    TParenthesisScanner Scanner;
    Scanner.Feed(std::string_view(Text).substr(0, Cut));
    Scanner.Feed(std::string_view(Text).substr(Cut));
    EXPECT_EQ(Scanner.GetBalance(), 0) << Cut;
    EXPECT_FALSE(Scanner.IsInString()) << Cut;
    EXPECT_FALSE(Scanner.HasStrayClose()) << Cut;
  }
  TParenthesisScanner Scanner;
  Scanner.Feed("(a \"two\r\nlines ( ; \\\"");
  EXPECT_TRUE(Scanner.IsInString());
  EXPECT_EQ(Scanner.GetDepth(), 1);
  Scanner.Feed("\"))");
  EXPECT_EQ(Scanner.GetBalance(), -1);
  EXPECT_EQ(Scanner.GetDepth(), 0);
  EXPECT_TRUE(Scanner.HasStrayClose());
  Scanner.Reset();
  Scanner.Feed(" \t\f\v\r\n; (only a comment\r");
  EXPECT_FALSE(Scanner.HasCode());
  Scanner.Feed("x");
  EXPECT_TRUE(Scanner.HasCode());
}
