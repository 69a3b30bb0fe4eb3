// The trigonometry package: its functions and help, values of every function, the quadrant rules of acsc,
// asec and atan2, angle conversions, the domain errors, and the multifield distances.
#include "rulecraft/packages/TrigonometryPackage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "PackageTest.h"
#include "rulecraft/packages/MathPackage.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

constexpr double Pi = std::numbers::pi;

class TrigonometryPackageTest : public PackageTest {
 protected:
  void SetUp() override {
    Package = Install<TTrigonometryPackage>();
    Install<TMathPackage>();
  }
  IIEValue F(const std::string& Name, double X) { return Run(Name, {Flt(X)}); }
  TTrigonometryPackage* Package = nullptr;
};

TEST_F(TrigonometryPackageTest, FunctionsAreCallableByNameWithTheirHelp) {
  const std::string Num = " <numeric-expression>";
  const std::string Point = " <numeric-expression-X> <numeric-expression-Y>";
  const std::string Lists = " <multifield-expression-1> <multifield-expression-2>";
  ExpectTable(*Package, Engine,
              {{"acos", 1, 1, Num},
               {"acosh", 1, 1, Num},
               {"acot", 1, 1, Num},
               {"acoth", 1, 1, Num},
               {"acsc", 1, 1, Num},
               {"acsch", 1, 1, Num},
               {"asec", 1, 1, Num},
               {"asech", 1, 1, Num},
               {"asin", 1, 1, Num},
               {"asinh", 1, 1, Num},
               {"atan", 1, 1, Num},
               {"atan2", 2, 2, Point},
               {"atanh", 1, 1, Num},
               {"cos", 1, 1, Num},
               {"cosh", 1, 1, Num},
               {"cot", 1, 1, Num},
               {"coth", 1, 1, Num},
               {"csc", 1, 1, Num},
               {"csch", 1, 1, Num},
               {"cycle-rad", 1, 1, Num},
               {"deg-grad", 1, 1, Num},
               {"deg-rad", 1, 1, Num},
               {"distance", 2, 2, Lists},
               {"distance-sqr", 2, 2, Lists},
               {"distance-manhattan", 2, 2, Lists},
               {"grad-deg", 1, 1, Num},
               {"grad-rad", 1, 1, Num},
               {"hypotenuse", 2, 2, Point},
               {"rad-cycle", 1, 1, Num},
               {"rad-deg", 1, 1, Num},
               {"rad-grad", 1, 1, Num},
               {"sec", 1, 1, Num},
               {"sech", 1, 1, Num},
               {"sin", 1, 1, Num},
               {"sinh", 1, 1, Num},
               {"tan", 1, 1, Num},
               {"tanh", 1, 1, Num}});
  EXPECT_EQ(
      Help(Engine, "distance"),
      ";; distance function\r\n     syntax: (distance <multifield-expression-1> "
      "<multifield-expression-2>)\r\n"
      "     "
      "Returns the distance between 2 points (Sqrt( Sqr(X2-X1) + Sqr(Y2-Y1) + ... ))  The two points are "
      "represented by the two multifield expressions");
}

TEST_F(TrigonometryPackageTest, CircularAndHyperbolicValues) {
  // Integer arguments give floats as well.
  EXPECT_TRUE(IsFloat(Run("cos", {Int(0)}), 1.0));
  EXPECT_TRUE(IsFloat(Run("sin", {Int(0)}), 0.0));
  EXPECT_TRUE(IsFloat(F("sin", Pi / 2), 1.0));
  EXPECT_TRUE(IsFloat(F("tan", Pi / 4), 1.0));
  EXPECT_TRUE(IsFloat(F("cot", Pi / 4), 1.0));
  EXPECT_TRUE(IsFloat(F("sec", Pi / 3), 2.0));
  EXPECT_TRUE(IsFloat(F("csc", Pi / 6), 2.0));
  EXPECT_TRUE(IsFloat(F("csc", -Pi / 2), -1.0));
  EXPECT_TRUE(IsFloat(F("cosh", 0), 1.0));
  EXPECT_TRUE(IsFloat(F("sinh", 1), std::sinh(1.0)));
  EXPECT_TRUE(IsFloat(F("tanh", 1), std::tanh(1.0)));
  EXPECT_TRUE(IsFloat(F("coth", 1), 1 / std::tanh(1.0)));
  EXPECT_TRUE(IsFloat(F("csch", 1), 1 / std::sinh(1.0)));
  EXPECT_TRUE(IsFloat(F("sech", 0), 1.0));
  // Reciprocals of functions that overflow tend to 0 (or 1), with no error.
  EXPECT_TRUE(IsFloat(F("sech", 20000), 0.0));
  EXPECT_TRUE(IsFloat(F("csch", -20000), -0.0));
  EXPECT_TRUE(IsFloat(F("coth", 20000), 1.0));

  EXPECT_TRUE(IsFloat(Run("acos", {Int(1)}), 0.0));
  EXPECT_TRUE(IsFloat(Run("acos", {Int(-1)}), Pi));
  EXPECT_TRUE(IsFloat(Run("asin", {Int(1)}), Pi / 2));
  EXPECT_TRUE(IsFloat(Run("atan", {Int(1)}), Pi / 4));
  EXPECT_TRUE(IsFloat(Run("acot", {Int(1)}), Pi / 4));
  EXPECT_TRUE(IsFloat(Run("acot", {Int(0)}), Pi / 2));
  EXPECT_TRUE(IsFloat(Run("acot", {Int(-1)}), 3 * Pi / 4));
  EXPECT_TRUE(IsFloat(F("acosh", 1), 0.0));
  EXPECT_TRUE(IsFloat(F("acosh", 2), std::log(2 + std::sqrt(3.0))));
  EXPECT_TRUE(IsFloat(F("asinh", 1), std::log(1 + std::sqrt(2.0))));
  EXPECT_TRUE(IsFloat(F("atanh", 0.5), std::log(3.0) / 2));
  EXPECT_TRUE(IsFloat(F("acoth", 2), std::log(3.0) / 2));
  EXPECT_TRUE(IsFloat(F("acoth", -2), -std::log(3.0) / 2));
  EXPECT_TRUE(IsFloat(F("acoth", 1e30), 1e-30));  // the formula's value, without its cancellation
  EXPECT_TRUE(IsFloat(F("acsch", 2), std::log(0.5 + std::sqrt(1.25))));
  EXPECT_TRUE(IsFloat(F("acsch", -2), -std::log(0.5 + std::sqrt(1.25))));
  EXPECT_TRUE(IsFloat(F("acsch", -1e-200), -std::log(2e200)));
  EXPECT_TRUE(IsFloat(F("asech", 0.5), std::log(2 + std::sqrt(3.0))));
  EXPECT_TRUE(IsFloat(F("asech", 1), 0.0));
  EXPECT_TRUE(IsFloat(F("asech", 1e-200), std::log(2e200)));
}

TEST_F(TrigonometryPackageTest, QuadrantsOfAcscAsecAndAtan2) {
  // The principal value of 1/|x|, plus pi for a negative argument.
  EXPECT_TRUE(IsFloat(Run("acsc", {Int(2)}), Pi / 6));
  EXPECT_TRUE(IsFloat(Run("acsc", {Int(-2)}), 7 * Pi / 6));
  EXPECT_TRUE(IsFloat(Run("asec", {Int(2)}), Pi / 3));
  EXPECT_TRUE(IsFloat(Run("asec", {Int(-2)}), 4 * Pi / 3));
  EXPECT_TRUE(IsFloat(Run("acsc", {Int(1)}), Pi / 2));
  EXPECT_TRUE(IsFloat(Run("acsc", {Int(-1)}), 3 * Pi / 2));
  EXPECT_TRUE(IsFloat(Run("asec", {Int(-1)}), Pi));
  // atan2 takes X first: the angle of the point (X, Y).
  EXPECT_TRUE(IsFloat(Run("atan2", {Int(0), Int(1)}), Pi / 2));
  EXPECT_TRUE(IsFloat(Run("atan2", {Int(-1), Int(0)}), Pi));
  EXPECT_TRUE(IsFloat(Run("atan2", {Int(1), Int(-1)}), -Pi / 4));
  EXPECT_TRUE(IsFloat(Run("atan2", {Int(-1), Int(-1)}), -3 * Pi / 4));
  EXPECT_TRUE(IsFloat(Run("atan2", {Int(0), Int(0)}), 0.0));
  EXPECT_TRUE(IsFloat(Run("hypotenuse", {Int(3), Int(4)}), 5.0));
  EXPECT_TRUE(IsFloat(Run("hypotenuse", {Flt(3e300), Flt(4e300)}), 5e300));  // no overflow in the squares
  ExpectError<EMathError>([&] { Run("hypotenuse", {Flt(1.5e308), Flt(1.5e308)}); }, Overflow);
}

TEST_F(TrigonometryPackageTest, AngleConversions) {
  EXPECT_TRUE(IsFloat(Run("cycle-rad", {Int(1)}), 2 * Pi));
  EXPECT_TRUE(IsFloat(Run("rad-cycle", {Nested("PI")}), 0.5));
  EXPECT_TRUE(IsFloat(Run("deg-grad", {Int(90)}), 100.0));
  EXPECT_TRUE(IsFloat(Run("grad-deg", {Int(100)}), 90.0));
  EXPECT_TRUE(IsFloat(Run("deg-rad", {Int(180)}), Pi));
  EXPECT_TRUE(IsFloat(Run("rad-deg", {Nested("PI")}), 180.0));
  EXPECT_TRUE(IsFloat(Run("grad-rad", {Int(200)}), Pi));
  EXPECT_TRUE(IsFloat(Run("rad-grad", {Nested("PI")}), 200.0));
  EXPECT_TRUE(IsFloat(Run("rad-deg", {Nested("deg-rad", {Int(30)})}), 30.0));
  EXPECT_TRUE(IsFloat(Run("grad-deg", {Nested("deg-grad", {Flt(-12.5)})}), -12.5));
  EXPECT_TRUE(IsFloat(Run("rad-cycle", {Nested("cycle-rad", {Int(3)})}), 3.0));
  ExpectError<EMathError>([&] { Run("cycle-rad", {Flt(1e308)}); }, Overflow);
  ExpectError<EMathError>([&] { Run("rad-deg", {Flt(1e307)}); }, Overflow);
}

TEST_F(TrigonometryPackageTest, DomainErrors) {
  using TCases = std::vector<std::pair<const char*, double>>;
  auto Expect = [&](const TCases& Cases, const std::string& Message) {
    for (const auto& Case : Cases) {
      SCOPED_TRACE(std::string(Case.first) + " " + std::to_string(Case.second));
      ExpectError<EMathError>([&] { F(Case.first, Case.second); }, Message);
    }
  };
  // clang-format off
  // Results that are no number.
  Expect({{"acos", 2}, {"acos", -1.0000001}, {"asin", -1.5}, {"acosh", 0.5}, {"acoth", 0}, {"acoth", 0.5},
          {"acoth", -0.5}, {"acsc", 0.5}, {"asec", -0.5}, {"asech", 2}, {"asech", -0.5}, {"asech", -1}, {"asech", -2},
          {"atanh", 2}, {"sin", INFINITY}, {"tan", INFINITY}, {"cos", NAN}}, InvalidOp);
  // Poles: a finite number divided by zero.
  Expect({{"acoth", 1}, {"acoth", -1}, {"acsc", 0}, {"asec", 0}, {"acsch", 0}, {"asech", 0}, {"atanh", 1},
          {"atanh", -1}, {"cot", 0}, {"coth", 0}, {"csc", 0}, {"csc", -0.0}, {"csch", 0}}, ZeroDivide);
  // Results beyond the double range.
  Expect({{"cosh", 1000}, {"sinh", -1000}, {"cosh", 1e5}}, Overflow);
  // clang-format on
  ExpectError([&] { Run("sin", {Str("abc")}); }, "Not a numeric type.  Value (\"abc\") is a dtString type");
  ExpectError([&] { Run("atan2", {Int(1), Atom("y")}); }, "Not a numeric type.  Value (y) is a dtAtom type");
  // Text holding a number is read as that number.
  EXPECT_TRUE(IsFloat(Run("cos", {Str("0")}), 1.0));
}

TEST_F(TrigonometryPackageTest, MultifieldDistances) {
  auto Point = [](std::initializer_list<double> Xs) {
    std::vector<IIEValue> Items;
    for (double X : Xs)
      Items.push_back(X == std::trunc(X) && std::fabs(X) < 1e9 ? Int(static_cast<int32_t>(X)) : Flt(X));
    return List(Items);
  };
  EXPECT_TRUE(IsFloat(Run("distance", {Point({0, 0}), Point({3, 4})}), 5.0));
  EXPECT_TRUE(IsFloat(Run("distance-sqr", {Point({1, 2}), Point({4, 6})}), 25.0));
  EXPECT_TRUE(IsFloat(Run("distance-manhattan", {Point({0, 0}), Point({3, -4})}), 7.0));
  EXPECT_TRUE(IsFloat(Run("distance-manhattan", {Point({1.5, -2, 7}), Point({-1.5, 2, 7})}), 7.0));
  for (const char* Name : {"distance", "distance-sqr", "distance-manhattan"}) {
    SCOPED_TRACE(Name);
    EXPECT_TRUE(IsFloat(Run(Name, {List({}), List({})}), 0.0));
    ExpectError(
        [&] {
          Run(Name, {Point({1}), Point({1, 2})});
        },
        "Invalid multifield arguments, the two multifields must be of the same length");
    ExpectError([&] { Run(Name, {Int(1), Point({1})}); }, "Not a list type.  Value (1) is a dtInteger type");
    ExpectError(
        [&] {
          Run(Name, {Point({1}), List({Atom("a")})});
        },
        "Not a numeric type.  Value (a) is a dtAtom type");
  }
  // Arguments and their elements are evaluated: a bound multifield, a variable and a call inside a list.
  Bind("origin", Point({0, 0, 0}));
  Bind("z", Int(12));
  EXPECT_TRUE(IsFloat(
      Run("distance", {Var("origin"), List({Int(3), Nested("+", {Int(2), Int(2)}), Var("z")})}), 13.0));
  // The sum of squares may pass the double range while its root does not.
  EXPECT_TRUE(IsFloat(Run("distance", {Point({0}), Point({1e200})}), 1e200));
  ExpectError<EMathError>([&] { Run("distance-sqr", {Point({0}), Point({1e200})}); }, Overflow);
}

}  // namespace
