#pragma once
// The trigonometry package: circular and hyperbolic functions and their inverses, angle-unit conversions,
// and distances between points given as multifields. Every function reads its arguments' numeric readings,
// computes in extended floating point and answers a new float. Arguments outside a function's domain raise
// EMathError (see PackageHelpers.h): "Invalid floating point operation" for (acos 2) or (acoth 0),
// "Floating point division by zero" for (cot 0), (csc 0) or (acoth 1), "Floating point overflow" for
// (cosh 1000).
#include "rulecraft/functions/UserPackage.h"
#include "rulecraft/packages/PackageHelpers.h"

namespace rulecraft {

/// The base of the one-argument functions: resolve the argument, Compute, check the result.
class TTrigonometryFunction : public TIEUserFunction {
  RC_CLASS(TTrigonometryFunction, TIEUserFunction)
 protected:
  /// Name, help text, one argument " <numeric-expression>".
  TTrigonometryFunction(const char* Name, const char* Comment);
  /// The function of X; raises for the arguments where the result is not a number.
  virtual long double Compute(long double X) const = 0;
  void Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) override;
};

/// Declares a one-argument trigonometry function class.
#define RC_TRIGONOMETRY_FUNCTION(Cls)                           \
  class Cls final : public ::rulecraft::TTrigonometryFunction { \
    RC_CLASS(Cls, ::rulecraft::TTrigonometryFunction)           \
   public:                                                      \
    Cls();                                                      \
                                                                \
   protected:                                                   \
    long double Compute(long double X) const override;          \
  }

/// (acos <numeric-expression>): arc cosine, in [0, pi].
RC_TRIGONOMETRY_FUNCTION(TACosFunction);
/// (acosh <numeric-expression>): inverse hyperbolic cosine.
RC_TRIGONOMETRY_FUNCTION(TACosHFunction);
/// (acot <numeric-expression>): pi/2 - arctan x.
RC_TRIGONOMETRY_FUNCTION(TACotFunction);
/// (acoth <numeric-expression>): ln((x + 1) / (x - 1)) / 2.
RC_TRIGONOMETRY_FUNCTION(TACotHFunction);
/// (acsc <numeric-expression>): arcsin(1/|x|), plus pi when x < 0.
RC_TRIGONOMETRY_FUNCTION(TACscFunction);
/// (acsch <numeric-expression>): ln(1/x + sqrt(1/x^2 + 1)).
RC_TRIGONOMETRY_FUNCTION(TACscHFunction);
/// (asec <numeric-expression>): arccos(1/|x|), plus pi when x < 0.
RC_TRIGONOMETRY_FUNCTION(TASecFunction);
/// (asech <numeric-expression>): ln(1/x + sqrt(1/x^2 - 1)).
RC_TRIGONOMETRY_FUNCTION(TASecHFunction);
/// (asin <numeric-expression>): arc sine, in [-pi/2, pi/2].
RC_TRIGONOMETRY_FUNCTION(TASinFunction);
/// (asinh <numeric-expression>): inverse hyperbolic sine.
RC_TRIGONOMETRY_FUNCTION(TASinHFunction);
/// (atan <numeric-expression>): arctangent.
RC_TRIGONOMETRY_FUNCTION(TATanFunction);
/// (atan2 <X> <Y>): the angle of the point (X, Y), in [-pi, pi]; (atan2 0 0) is 0.
RC_BUILTIN_FUNCTION(TATan2Function);
/// (atanh <numeric-expression>): inverse hyperbolic tangent.
RC_TRIGONOMETRY_FUNCTION(TATanHFunction);
/// (cos <numeric-expression>): cosine (radians).
RC_TRIGONOMETRY_FUNCTION(TCosFunction);
/// (cosh <numeric-expression>): hyperbolic cosine.
RC_TRIGONOMETRY_FUNCTION(TCosHFunction);
/// (cot <numeric-expression>): 1 / tan x.
RC_TRIGONOMETRY_FUNCTION(TCotFunction);
/// (coth <numeric-expression>): 1 / tanh x.
RC_TRIGONOMETRY_FUNCTION(TCotHFunction);
/// (csc <numeric-expression>): 1 / cos(pi/2 - x).
RC_TRIGONOMETRY_FUNCTION(TCscFunction);
/// (csch <numeric-expression>): 1 / sinh x.
RC_TRIGONOMETRY_FUNCTION(TCscHFunction);
/// (cycle-rad <numeric-expression>): x * 2pi.
RC_TRIGONOMETRY_FUNCTION(TCycleRadFunction);
/// (deg-grad <numeric-expression>): x * 10/9.
RC_TRIGONOMETRY_FUNCTION(TDegGradFunction);
/// (deg-rad <numeric-expression>): x * pi/180.
RC_TRIGONOMETRY_FUNCTION(TDegRadFunction);
/// (distance <multifield> <multifield>): sqrt of the sum of (b_i - a_i)^2; multifields of different
/// lengths raise "Invalid multifield arguments, the two multifields must be of the same length".
RC_BUILTIN_FUNCTION(TDistanceFunction);
/// (distance-sqr <multifield> <multifield>): the sum of (b_i - a_i)^2.
RC_BUILTIN_FUNCTION(TDistanceSqrFunction);
/// (distance-manhattan <multifield> <multifield>): the sum of |b_i - a_i|.
RC_BUILTIN_FUNCTION(TDistanceManhattanFunction);
/// (grad-deg <numeric-expression>): x * 0.9.
RC_TRIGONOMETRY_FUNCTION(TGradDegFunction);
/// (grad-rad <numeric-expression>): x * pi/200.
RC_TRIGONOMETRY_FUNCTION(TGradRadFunction);
/// (hypotenuse <X> <Y>): sqrt(X^2 + Y^2), without overflow in the squares.
RC_BUILTIN_FUNCTION(THypotenuseFunction);
/// (rad-cycle <numeric-expression>): x / 2pi.
RC_TRIGONOMETRY_FUNCTION(TRadCycleFunction);
/// (rad-deg <numeric-expression>): x * 180/pi.
RC_TRIGONOMETRY_FUNCTION(TRadDegFunction);
/// (rad-grad <numeric-expression>): x * 200/pi.
RC_TRIGONOMETRY_FUNCTION(TRadGradFunction);
/// (sec <numeric-expression>): 1 / cos x.
RC_TRIGONOMETRY_FUNCTION(TSecFunction);
/// (sech <numeric-expression>): 1 / cosh x.
RC_TRIGONOMETRY_FUNCTION(TSecHFunction);
/// (sin <numeric-expression>): sine (radians).
RC_TRIGONOMETRY_FUNCTION(TSinFunction);
/// (sinh <numeric-expression>): hyperbolic sine.
RC_TRIGONOMETRY_FUNCTION(TSinHFunction);
/// (tan <numeric-expression>): tangent.
RC_TRIGONOMETRY_FUNCTION(TTanFunction);
/// (tanh <numeric-expression>): hyperbolic tangent.
RC_TRIGONOMETRY_FUNCTION(TTanHFunction);

class TTrigonometryPackage : public TUserPackage {
  RC_CLASS(TTrigonometryPackage, TUserPackage)
 public:
  using TUserPackage::TUserPackage;
  /// Adds the 37 functions in alphabetical order, acos to tanh.
  void CreateFunctions() override;
};

}  // namespace rulecraft
