// The math package: its functions and help, integer versus float results, truncation and wrapping of integer
// results, division and remainder by zero, rounding ties, the floating-point domain errors, and the
// generator's ranges and seeding.
#include "rulecraft/packages/MathPackage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <set>
#include <utility>

#include "PackageTest.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

constexpr int32_t Unbounded = 2147483647;
constexpr int32_t MinInt = -2147483647 - 1;

class MathPackageTest : public PackageTest {
 protected:
  void SetUp() override { Package = Install<TMathPackage>(); }
  TMathPackage* Package = nullptr;
};

TEST_F(MathPackageTest, FunctionsAreCallableByNameWithTheirHelp) {
  const std::string Num = " <numeric-expression>";
  const std::string Nums = " <numeric-expression>+";
  ExpectTable(*Package, Engine,
              {{"abs", 1, 1, Num},
               {"div", 1, Unbounded, " <integer-expression>+"},
               {"/", 1, Unbounded, Nums},
               {"exp", 1, 1, Num},
               {"**", 2, 2, " <numeric-expression> <numeric-expression>"},
               {"float", 1, 1, Num},
               {"integer", 1, 1, Num},
               {"log", 1, 1, Num},
               {"log10", 1, 1, Num},
               {"max", 1, Unbounded, Nums},
               {"min", 1, Unbounded, Nums},
               {"-", 1, Unbounded, Nums},
               {"mod", 2, 2, " <integer-expression> <integer-expression>"},
               {"PI", 0, 0, ""},
               {"+", 0, Unbounded, Nums},
               {"random", 0, 2, " [[<low-integer-expression>] <high-integer-expression>]"},
               {"randomize", 0, 1, " [<seed-integer-expression> ]"},
               {"round", 1, 1, Num},
               {"seed", 1, 1, " <integer-expression>"},
               {"sqrt", 1, 1, Num},
               {"*", 0, Unbounded, Nums}});
  EXPECT_EQ(
      Help(Engine, "random"),
      ";; random function\r\n     syntax: (random [[<low-integer-expression>] <high-integer-expression>])\r\n"
      "     Returns a random number between <from-integer-expression> and <to-integer-expression>.  If only "
      "one argument is specified, a number between 0 and the <to-integer-expression> is returned.  If NO "
      "arguments are specified, a number between 0 and 65535 is returned");
  // Names are exact: PI is not pi.
  EXPECT_FALSE(Engine.ContainsUserFunction("pi"));
  ExpectError([&] { Run("pi"); }, "Function is unimplemented or unassigned: pi");
  ExpectError([&] { Run("-"); }, "Too few arguments for -");
}

TEST_F(MathPackageTest, SumsDifferencesAndProductsKeepIntegersUnlessAFloatTakesPart) {
  EXPECT_TRUE(IsInteger(Run("+", {Int(1), Int(2)}), 3));
  EXPECT_TRUE(IsFloat(Run("+", {Int(1), Flt(2.0)}), 3.0));
  EXPECT_TRUE(IsInteger(Run("+"), 0));
  EXPECT_TRUE(IsInteger(Run("*"), 1));
  EXPECT_TRUE(IsFloat(Run("*", {Int(2), Flt(3.5)}), 7.0));
  EXPECT_TRUE(IsInteger(Run("*", {Int(-3), Int(4)}), -12));
  EXPECT_TRUE(IsInteger(Run("-", {Int(10)}), 10));  // one argument: its value, not its negation
  EXPECT_TRUE(IsFloat(Run("-", {Flt(10)}), 10.0));
  EXPECT_TRUE(IsInteger(Run("-", {Int(10), Int(2), Int(3)}), 5));
  EXPECT_TRUE(IsFloat(Run("-", {Flt(5.5), Int(1)}), 4.5));
  EXPECT_TRUE(IsFloat(Run("-", {Int(1), Flt(2)}), -1.0));
  // A float total of floats that cancel is still a float.
  EXPECT_TRUE(IsFloat(Run("+", {Flt(0.5), Flt(-0.5)}), 0.0));
  // Text holding a number contributes its numeric reading, and is not a float: the total is truncated.
  EXPECT_TRUE(IsInteger(Run("+", {Str("2.5"), Str("2.25")}), 4));
  EXPECT_TRUE(IsInteger(Run("*", {Str("2.5"), Int(3)}), 7));
  EXPECT_TRUE(IsInteger(Run("-", {Str("-0.5")}), 0));
  ExpectError([&] { Run("+", {Int(1), Atom("abc")}); }, "Not a numeric type.  Value (abc) is a dtAtom type");
  ExpectError([&] { Run("*", {List({Int(1)})}); }, "Not a numeric type.  Value (1 ) is a dtList type");

  // Arguments are evaluated in order: variables and nested calls.
  Bind("x", Int(4));
  Bind("y", Flt(0.25));
  EXPECT_TRUE(IsInteger(Run("+", {Var("x"), Nested("*", {Int(2), Var("x")})}), 12));
  EXPECT_TRUE(IsFloat(Run("*", {Var("x"), Var("y")}), 1.0));
}

TEST_F(MathPackageTest, IntegerResultsWrapAtThirtyTwoBits) {
  EXPECT_TRUE(IsInteger(Run("+", {Int(Unbounded), Int(1)}), MinInt));
  EXPECT_TRUE(IsInteger(Run("-", {Int(MinInt), Int(1)}), Unbounded));
  EXPECT_TRUE(IsInteger(Run("*", {Int(65536), Int(65536)}), 0));
  EXPECT_TRUE(IsInteger(Run("*", {Int(65536), Int(65535)}), -65536));
  EXPECT_TRUE(IsInteger(Run("+", {Int(Unbounded), Int(Unbounded), Int(2)}), 0));
  // Exact in the extended total well beyond 32 bits: (2^31 - 1)^2 mod 2^32 is 1.
  EXPECT_TRUE(IsInteger(Run("*", {Int(Unbounded), Int(Unbounded)}), 1));
  EXPECT_TRUE(IsInteger(Run("div", {Int(MinInt), Int(-1)}), MinInt));
  EXPECT_TRUE(IsInteger(Run("mod", {Int(MinInt), Int(-1)}), 0));
  EXPECT_TRUE(IsInteger(Run("abs", {Int(MinInt)}), MinInt));
  EXPECT_TRUE(IsInteger(Run("integer", {Flt(1e10)}), 1410065408));
  EXPECT_TRUE(IsInteger(Run("max", {Int(1), Str("4294967297")}), 1));
}

// A nested arithmetic call hands its number to the call that consumes it without making a value; the result
// must be what the value would have given, whatever path the total takes.
TEST_F(MathPackageTest, NestedArithmeticAnswersAsTheValuesWould) {
  // Wrapped integer results of inner calls, then wrapping of the outer total.
  EXPECT_TRUE(IsInteger(Run("+", {Nested("*", {Int(100000), Int(100000)}), Int(1)}), 1410065409));
  EXPECT_TRUE(IsInteger(Run("-", {Nested("+", {Int(Unbounded), Int(1)}), Int(1)}), Unbounded));
  // Beyond 64 bits the total goes on in extended precision, which rounds (2^31-1)^3 to a multiple of 2^32
  // (its exact remainder would be 2^31-1); (-2^31)^3 is exact there.
  EXPECT_TRUE(IsInteger(Run("*", {Int(Unbounded), Int(Unbounded), Int(Unbounded)}), MinInt));
  EXPECT_TRUE(IsInteger(Run("*", {Int(MinInt), Int(MinInt), Int(MinInt)}), 0));
  EXPECT_TRUE(IsInteger(Run("+", {Nested("*", {Int(Unbounded), Int(Unbounded)}), Int(MinInt), Int(MinInt),
                                  Int(MinInt), Int(MinInt)}),
                        1));
  EXPECT_TRUE(IsInteger(Run("-", {Int(MinInt), Int(Unbounded), Int(Unbounded), Int(Unbounded)}), 3));
  // A float or a fractional text part way through (max answers the text's reading truncated, as an integer):
  // the exact total so far goes on in extended precision.
  EXPECT_TRUE(
      IsFloat(Run("+", {Int(Unbounded), Int(Unbounded), Nested("/", {Int(1), Int(2)})}), 4294967294.5));
  EXPECT_TRUE(IsInteger(Run("+", {Int(1), Str("2.5"), Nested("max", {Int(1), Str("2.75")})}), 5));
  EXPECT_TRUE(IsFloat(Run("*", {Nested("min", {Flt(0.5), Int(3)}), Nested("div", {Int(9), Int(2)})}), 2.0));
  // Errors of an inner call are its own, raised while the outer call runs.
  ExpectError([&] { Run("+", {Int(1), Nested("div", {Int(1), Int(0)})}); }, "Division by zero");
  ExpectError([&] { Run("-", {Int(1), Nested("mod", {Int(1)})}); }, "Too few arguments for mod");
  ExpectError(
      [&] {
        Run("*", {Nested("+", {Atom("abc")}), Int(2)});
      },
      "Not a numeric type.  Value (abc) is a dtAtom type");
  ExpectError([&] { Run("+", {Nested("no-such-function", {})}); },
              "Function is unimplemented or unassigned: no-such-function");
}

TEST_F(MathPackageTest, DivisionAndRemainder) {
  EXPECT_TRUE(IsFloat(Run("/", {Int(7), Int(2)}), 3.5));
  EXPECT_TRUE(IsFloat(Run("/", {Int(5)}), 5.0));
  EXPECT_TRUE(IsFloat(Run("/", {Int(100), Int(5), Int(4)}), 5.0));
  EXPECT_TRUE(IsFloat(Run("/", {Int(1), Int(3)}), 1.0 / 3.0));
  EXPECT_TRUE(IsInteger(Run("div", {Int(7), Int(2)}), 3));
  EXPECT_TRUE(IsInteger(Run("div", {Int(-7), Int(2)}), -3));
  EXPECT_TRUE(IsInteger(Run("div", {Int(7), Int(-2)}), -3));
  EXPECT_TRUE(IsInteger(Run("div", {Int(100), Int(3), Int(2)}), 16));
  EXPECT_TRUE(IsInteger(Run("div", {Int(5)}), 5));
  EXPECT_TRUE(IsInteger(Run("div", {Flt(7.9), Flt(2.9)}), 3));  // integer readings: 7 div 2
  EXPECT_TRUE(IsInteger(Run("mod", {Int(-7), Int(2)}), -1));
  EXPECT_TRUE(IsInteger(Run("mod", {Int(7), Int(-2)}), 1));
  EXPECT_TRUE(IsInteger(Run("mod", {Int(6), Int(3)}), 0));
  EXPECT_TRUE(IsInteger(Run("mod", {Flt(7.5), Int(4)}), 3));

  ExpectError<EMathError>([&] { Run("div", {Int(1), Int(0)}); }, "Division by zero");
  ExpectError<EMathError>(
      [&] {
        Run("div", {Int(8), Int(2), Flt(0.5)});
      },
      "Division by zero");  // 0.5 reads as 0
  ExpectError<EMathError>([&] { Run("mod", {Int(7), Int(0)}); }, "Division by zero");
  ExpectError<EMathError>([&] { Run("/", {Int(1), Int(0)}); }, ZeroDivide);
  ExpectError<EMathError>([&] { Run("/", {Int(2), Int(4), Flt(0.0)}); }, ZeroDivide);
  ExpectError<EMathError>([&] { Run("/", {Int(0), Int(0)}); }, InvalidOp);
  ExpectError<EMathError>([&] { Run("/", {Flt(-0.0), Int(0)}); }, InvalidOp);
  ExpectError<EMathError>([&] { Run("/", {Flt(1e308), Flt(1e-308)}); }, Overflow);
}

TEST_F(MathPackageTest, MaxAndMinKeepTheWinnersKind) {
  EXPECT_TRUE(IsInteger(Run("max", {Int(2), Flt(2.0)}), 2));  // only a strictly larger argument replaces
  EXPECT_TRUE(IsFloat(Run("max", {Flt(2.0), Int(2)}), 2.0));
  EXPECT_TRUE(IsFloat(Run("max", {Flt(1.5), Int(2)}), 2.0));
  EXPECT_TRUE(IsInteger(Run("max", {Int(1), Int(5), Int(3)}), 5));
  EXPECT_TRUE(IsInteger(Run("min", {Int(4), Int(-2), Int(3)}), -2));
  // Once a float has won, the result stays a float.
  EXPECT_TRUE(IsFloat(Run("min", {Int(3), Flt(1.5), Int(1)}), 1.0));
  // A float that loses leaves an integer result.
  EXPECT_TRUE(IsInteger(Run("min", {Int(1), Flt(1.5)}), 1));
  // An integer result is the extreme truncated toward zero.
  EXPECT_TRUE(IsInteger(Run("max", {Str("-2.5"), Int(-3)}), -2));
  EXPECT_TRUE(IsFloat(Run("max", {Flt(-7.25)}), -7.25));
  ExpectError([&] { Run("min", {Int(1), Atom("x")}); }, "Not a numeric type.  Value (x) is a dtAtom type");
}

TEST_F(MathPackageTest, AbsFloatAndInteger) {
  EXPECT_TRUE(IsInteger(Run("abs", {Int(-5)}), 5));
  EXPECT_TRUE(IsInteger(Run("abs", {Int(5)}), 5));
  EXPECT_TRUE(IsFloat(Run("abs", {Flt(-2.5)}), 2.5));
  ExpectError([&] { Run("abs", {Str("x")}); }, "Expected numeric argument to abs function call");
  ExpectError([&] { Run("abs", {Str("3")}); }, "Expected numeric argument to abs function call");
  ExpectError([&] { Run("abs", {MakeRef<TIEValue>(3, dtFactId)}); },
              "Expected numeric argument to abs function call");
  Bind("n", Int(-9));
  EXPECT_TRUE(IsInteger(Run("abs", {Var("n")}), 9));

  EXPECT_TRUE(IsFloat(Run("float", {Int(3)}), 3.0));
  EXPECT_TRUE(IsFloat(Run("float", {Str("2.5")}), 2.5));
  EXPECT_TRUE(IsInteger(Run("integer", {Flt(3.9)}), 3));
  EXPECT_TRUE(IsInteger(Run("integer", {Flt(-3.9)}), -3));
  EXPECT_TRUE(IsInteger(Run("integer", {Str("42")}), 42));
  ExpectError([&] { Run("integer", {Str("abc")}); },
              "Not a integer type.  Value (\"abc\") is a dtString type");
  ExpectError([&] { Run("float", {Atom("abc")}); }, "Not a numeric type.  Value (abc) is a dtAtom type");
}

TEST_F(MathPackageTest, RoundGoesToTheEvenNeighbourOnTies) {
  EXPECT_TRUE(IsFloat(Run("round", {Flt(2.5)}), 2.0));
  EXPECT_TRUE(IsFloat(Run("round", {Flt(3.5)}), 4.0));
  EXPECT_TRUE(IsFloat(Run("round", {Flt(-2.5)}), -2.0));
  EXPECT_TRUE(IsFloat(Run("round", {Flt(-3.5)}), -4.0));
  EXPECT_TRUE(IsFloat(Run("round", {Flt(0.5)}), 0.0));
  EXPECT_TRUE(IsFloat(Run("round", {Flt(1.5)}), 2.0));
  EXPECT_TRUE(IsFloat(Run("round", {Flt(2.4999999)}), 2.0));
  EXPECT_TRUE(IsFloat(Run("round", {Flt(2.5000001)}), 3.0));
  EXPECT_TRUE(IsFloat(Run("round", {Flt(-2.6)}), -3.0));
  EXPECT_TRUE(IsFloat(Run("round", {Int(7)}), 7.0));  // always a float
  EXPECT_TRUE(IsFloat(Run("round", {Flt(4503599627370497.0)}), 4503599627370497.0));
  EXPECT_TRUE(IsFloat(Run("round", {Flt(1e300)}), 1e300));
}

TEST_F(MathPackageTest, PowersAndLogarithmsRaiseOutsideTheirDomains) {
  EXPECT_TRUE(IsFloat(Run("exp", {Int(0)}), 1.0));
  EXPECT_TRUE(IsFloat(Run("exp", {Int(1)}), std::numbers::e));
  EXPECT_TRUE(IsFloat(Run("exp", {Int(-100000)}), 0.0));  // underflow is no error
  EXPECT_TRUE(IsFloat(Run("log", {Int(1)}), 0.0));
  EXPECT_TRUE(IsFloat(Run("log", {Nested("exp", {Int(2)})}), 2.0));
  EXPECT_TRUE(IsFloat(Run("log10", {Int(1000)}), 3.0));
  EXPECT_TRUE(IsFloat(Run("sqrt", {Int(16)}), 4.0));
  EXPECT_TRUE(IsFloat(Run("sqrt", {Flt(2)}), std::sqrt(2.0)));
  EXPECT_TRUE(IsFloat(Run("**", {Int(2), Int(10)}), 1024.0));
  EXPECT_TRUE(IsFloat(Run("**", {Int(2), Flt(0.5)}), std::sqrt(2.0)));
  EXPECT_TRUE(IsFloat(Run("**", {Int(0), Int(0)}), 1.0));
  EXPECT_TRUE(IsFloat(Run("**", {Int(-2), Int(3)}), -8.0));

  ExpectError<EMathError>([&] { Run("log", {Int(0)}); }, ZeroDivide);
  ExpectError<EMathError>([&] { Run("log", {Int(-1)}); }, InvalidOp);
  ExpectError<EMathError>([&] { Run("log10", {Flt(0.0)}); }, ZeroDivide);
  ExpectError<EMathError>([&] { Run("log10", {Int(-5)}); }, InvalidOp);
  ExpectError<EMathError>([&] { Run("sqrt", {Int(-1)}); }, InvalidOp);
  ExpectError<EMathError>([&] { Run("exp", {Int(1000)}); }, Overflow);
  ExpectError<EMathError>([&] { Run("**", {Int(0), Int(-1)}); }, ZeroDivide);
  ExpectError<EMathError>([&] { Run("**", {Int(-8), Flt(1.0 / 3.0)}); }, InvalidOp);
  ExpectError<EMathError>([&] { Run("**", {Int(10), Int(400)}); }, Overflow);
  ExpectError<EMathError>([&] { Run("+", {Flt(1e308), Flt(1e308)}); }, Overflow);
  ExpectError<EMathError>([&] { Run("*", {Flt(1e200), Flt(1e200)}); }, Overflow);
  // A total beyond the double range that comes back within it is no error.
  EXPECT_TRUE(IsFloat(Run("*", {Flt(1e200), Flt(1e200), Flt(1e-200)}), 1e200));
}

TEST_F(MathPackageTest, NonFiniteValuesNeverPassThrough) {
  const double Inf = std::numeric_limits<double>::infinity();
  const double NaN = std::numeric_limits<double>::quiet_NaN();
  ExpectError<EMathError>([&] { Run("+", {Flt(Inf), Flt(-Inf)}); }, InvalidOp);
  ExpectError<EMathError>([&] { Run("+", {Flt(NaN)}); }, InvalidOp);
  ExpectError<EMathError>([&] { Run("+", {Flt(Inf), Int(1)}); }, Overflow);
  ExpectError<EMathError>([&] { Run("round", {Flt(NaN)}); }, InvalidOp);
  ExpectError<EMathError>([&] { Run("float", {Flt(Inf)}); }, Overflow);
  ExpectError<EMathError>([&] { Run("abs", {Flt(NaN)}); }, InvalidOp);
  ExpectError<EMathError>([&] { Run("max", {Flt(NaN), Int(1)}); }, InvalidOp);
  ExpectError<EMathError>([&] { Run("/", {Flt(Inf), Flt(Inf)}); }, InvalidOp);
}

TEST_F(MathPackageTest, PiIsTheSharedConstant) {
  const IIEValue R = Run("PI");
  EXPECT_EQ(R.get(), FCPI.get());
  EXPECT_TRUE(IsFloat(R, std::numbers::pi));
  EXPECT_TRUE(IsFloat(Run("*", {Int(2), Nested("PI")}), 2 * std::numbers::pi));
}

TEST_F(MathPackageTest, RandomRangesAndSeeds) {
  std::set<int32_t> Seen;
  bool AboveHigh = false;
  for (int I = 0; I < 2000; ++I) {
    const IIEValue R = Run("random", {Int(10), Int(20)});
    ASSERT_EQ(R->GetDType(), dtInteger);
    const int32_t V = R->GetAsInteger();
    ASSERT_GE(V, 10);
    ASSERT_LE(V, 29);  // low..low+high-1, not low..high
    if (V > 20) AboveHigh = true;
    Seen.insert(V);
  }
  EXPECT_TRUE(AboveHigh);
  EXPECT_EQ(Seen.size(), 20u);
  for (int I = 0; I < 200; ++I) {
    const int32_t Any = Run("random")->GetAsInteger();
    ASSERT_GE(Any, 0);
    ASSERT_LE(Any, 65535);
    const int32_t Upto = Run("random", {Int(3)})->GetAsInteger();
    ASSERT_GE(Upto, 0);
    ASSERT_LE(Upto, 2);
    ASSERT_TRUE(IsInteger(Run("random", {Int(1)}), 0));
    ASSERT_TRUE(IsInteger(Run("random", {Int(-5), Int(1)}), -5));
  }
  // An empty range gives its start.
  EXPECT_TRUE(IsInteger(Run("random", {Int(0)}), 0));
  EXPECT_TRUE(IsInteger(Run("random", {Int(-7)}), 0));
  EXPECT_TRUE(IsInteger(Run("random", {Int(5), Int(0)}), 5));
  // The start plus the offset wraps like any integer result.
  const int32_t Wrapped = Run("random", {Int(Unbounded), Int(2)})->GetAsInteger();
  EXPECT_TRUE(Wrapped == Unbounded || Wrapped == MinInt);
  EXPECT_TRUE(IsInteger(Run("random", {Flt(3.9), Int(1)}), 3));
  ExpectError([&] { Run("random", {Atom("x")}); }, "Not a integer type.  Value (x) is a dtAtom type");

  // Seeding restarts the sequence; seed and randomize answer the shared TRUE.
  auto Draw = [&] {
    std::vector<int32_t> Values;
    for (int I = 0; I < 8; ++I) Values.push_back(Run("random", {Int(1000000)})->GetAsInteger());
    return Values;
  };
  EXPECT_EQ(Run("seed", {Int(42)}).get(), FCTrue.get());
  const std::vector<int32_t> First = Draw();
  EXPECT_EQ(Run("randomize", {Int(42)}).get(), FCTrue.get());
  EXPECT_EQ(Draw(), First);
  Run("seed", {Int(43)});
  EXPECT_NE(Draw(), First);
  EXPECT_EQ(Run("randomize").get(), FCTrue.get());
  ExpectError([&] { Run("seed", {Str("s")}); }, "Not a integer type.  Value (\"s\") is a dtString type");
}

}  // namespace
