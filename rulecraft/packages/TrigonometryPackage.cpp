#include "rulecraft/packages/TrigonometryPackage.h"

#include <cmath>
#include <numbers>

#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/functions/FunctionCall.h"

namespace rulecraft {

namespace {

constexpr long double Pi = std::numbers::pi_v<long double>;

[[maybe_unused]] const bool ClassesRegistered = [] {
  for (TClass Class : {TACosFunction::StaticClass(),
                       TACosHFunction::StaticClass(),
                       TACotFunction::StaticClass(),
                       TACotHFunction::StaticClass(),
                       TACscFunction::StaticClass(),
                       TACscHFunction::StaticClass(),
                       TASecFunction::StaticClass(),
                       TASecHFunction::StaticClass(),
                       TASinFunction::StaticClass(),
                       TASinHFunction::StaticClass(),
                       TATanFunction::StaticClass(),
                       TATan2Function::StaticClass(),
                       TATanHFunction::StaticClass(),
                       TCosFunction::StaticClass(),
                       TCosHFunction::StaticClass(),
                       TCotFunction::StaticClass(),
                       TCotHFunction::StaticClass(),
                       TCscFunction::StaticClass(),
                       TCscHFunction::StaticClass(),
                       TCycleRadFunction::StaticClass(),
                       TDegGradFunction::StaticClass(),
                       TDegRadFunction::StaticClass(),
                       TDistanceFunction::StaticClass(),
                       TDistanceSqrFunction::StaticClass(),
                       TDistanceManhattanFunction::StaticClass(),
                       TGradDegFunction::StaticClass(),
                       TGradRadFunction::StaticClass(),
                       THypotenuseFunction::StaticClass(),
                       TRadCycleFunction::StaticClass(),
                       TRadDegFunction::StaticClass(),
                       TRadGradFunction::StaticClass(),
                       TSecFunction::StaticClass(),
                       TSecHFunction::StaticClass(),
                       TSinFunction::StaticClass(),
                       TSinHFunction::StaticClass(),
                       TTanFunction::StaticClass(),
                       TTanHFunction::StaticClass(),
                       TTrigonometryPackage::StaticClass()})
    RegisterClass(Class);
  return true;
}();

long double Numeric(TFunctionCall& FunCall, int32_t Index, TIEContext* Context) {
  return ResolveArgument(FunCall, Index, Context)->GetAsNumeric();
}

/// The sum over the two multifield arguments, element by element, of Term(b_i - a_i).
template <class TermOf>
long double SumOfDifferences(TFunctionCall& FunCall, TIEContext* Context, TermOf Term) {
  const IIEValue First = ResolveArgument(FunCall, 0, Context);
  const IIEValue Second = ResolveArgument(FunCall, 1, Context);
  const IValueVector A = First->GetAsList();
  const IValueVector B = Second->GetAsList();
  if (A->GetValueCount() != B->GetValueCount()) throw EIEException(SMultifieldLengthMismatch);
  long double Sum = 0.0L;
  for (int32_t I = 0; I < A->GetValueCount(); ++I) {
    const long double X = ResolveIn(A->Get(I), Context)->GetAsNumeric();
    const long double Y = ResolveIn(B->Get(I), Context)->GetAsNumeric();
    Sum += Term(Y - X);
  }
  return Sum;
}

}  // namespace

TTrigonometryFunction::TTrigonometryFunction(const char* Name, const char* Comment)
    : TIEUserFunction(Name, 1, 1, FunctionComment(Comment), " <numeric-expression>") {}

void TTrigonometryFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  Result = MakeRef<TIEValue>(CheckedFloat(Compute(Numeric(FunCall, 0, Context))));
}

TACosFunction::TACosFunction()
    : TTrigonometryFunction(
          "acos",
          "Returns the inverse cosine of <numeric-expression>.  The expression must be between -1 "
          "and 1.  The return value will be in the range [0..Pi], in radians") {}

long double TACosFunction::Compute(long double X) const { return std::acos(X); }

TACosHFunction::TACosHFunction()
    : TTrigonometryFunction(
          "acosh",
          "Returns the inverse hyperbolic cosine of <numeric-expression>.  The expression must be "
          "greater than or equal to 1.  The return value will be greater than or equal to 0") {}

long double TACosHFunction::Compute(long double X) const { return std::acosh(X); }

TACotFunction::TACotFunction()
    : TTrigonometryFunction(
          "acot",
          "Returns the inverse cotangent of <numeric-expression>.  The inverse cotangent is "
          "calculated using the formula acot = Pi/2 - ArcTan(<numeric-expression>).  The return "
          "value will be in the range (0..Pi), in radians") {}

long double TACotFunction::Compute(long double X) const { return Pi / 2 - std::atan(X); }

TACotHFunction::TACotHFunction()
    : TTrigonometryFunction(
          "acoth",
          "Returns the inverse hyperbolic cotangent of <numeric-expression>.  The inverse "
          "hyperbolic cotangent is calculated using the formula acoth = Ln((<numeric-expression> + "
          "1) / (<numeric-expression> - 1)) / 2.  The absolute value of the expression must be "
          "greater than 1") {}

long double TACotHFunction::Compute(long double X) const {
  // atanh(1/x) is the formula's value without its cancellation for large |x|; the formula's errors stay:
  // ln(-1) at 0, a division by zero at 1 and ln(0) at -1.
  if (X == 0.0L) RaiseMathError(SInvalidOp);
  if (std::fabs(X) == 1.0L) RaiseMathError(SZeroDivide);
  return std::atanh(1.0L / X);
}

TACscFunction::TACscFunction()
    : TTrigonometryFunction(
          "acsc",
          "Returns the inverse cosecant of <numeric-expression>.  The absolute value of the "
          "expression must be greater than or equal to 1.  The return value will be in the range "
          "[0..Pi/2] for a positive expression and [Pi..3Pi/2] for a negative one, in radians") {}

long double TACscFunction::Compute(long double X) const {
  return std::asin(CheckedDivide(1.0L, std::fabs(X))) + (X < 0.0L ? Pi : 0.0L);
}

TACscHFunction::TACscHFunction()
    : TTrigonometryFunction(
          "acsch",
          "Returns the inverse hyperbolic cosecant of <numeric-expression>.  The inverse "
          "hyperbolic cosecant is calculated using the formula acsch = Ln(1/<numeric-expression> + "
          "Sqrt(1/Sqr(<numeric-expression>) + 1)).  The expression must not be 0") {}

long double TACscHFunction::Compute(long double X) const {
  // asinh(1/x) is the formula's value without its cancellation for negative x.
  return std::asinh(CheckedDivide(1.0L, X));
}

TASecFunction::TASecFunction()
    : TTrigonometryFunction(
          "asec",
          "Returns the inverse secant of <numeric-expression>.  The absolute value of the "
          "expression must be greater than or equal to 1.  The return value will be in the range "
          "[0..Pi/2] for a positive expression and [Pi..3Pi/2] for a negative one, in radians") {}

long double TASecFunction::Compute(long double X) const {
  return std::acos(CheckedDivide(1.0L, std::fabs(X))) + (X < 0.0L ? Pi : 0.0L);
}

TASecHFunction::TASecHFunction()
    : TTrigonometryFunction(
          "asech",
          "Returns the inverse hyperbolic secant of <numeric-expression>.  The inverse hyperbolic "
          "secant is calculated using the formula asech = Ln(1/<numeric-expression> + "
          "Sqrt(1/Sqr(<numeric-expression>) - 1)).  The expression must be greater than 0 and less "
          "than or equal to 1") {}

long double TASecHFunction::Compute(long double X) const {
  // acosh(1/x) is the formula's value, and NaN (an invalid operation) where the formula takes the square
  // root or the logarithm of a negative number.
  return std::acosh(CheckedDivide(1.0L, X));
}

TASinFunction::TASinFunction()
    : TTrigonometryFunction(
          "asin",
          "Returns the inverse sine of <numeric-expression>.  The expression must be between -1 "
          "and 1.  The return value will be in the range [-Pi/2..Pi/2], in radians") {}

long double TASinFunction::Compute(long double X) const { return std::asin(X); }

TASinHFunction::TASinHFunction()
    : TTrigonometryFunction("asinh", "Returns the inverse hyperbolic sine of <numeric-expression>") {}

long double TASinHFunction::Compute(long double X) const { return std::asinh(X); }

TATanFunction::TATanFunction()
    : TTrigonometryFunction(
          "atan",
          "Returns the inverse tangent of <numeric-expression>.  The return value will be in the "
          "range (-Pi/2..Pi/2), in radians") {}

long double TATanFunction::Compute(long double X) const { return std::atan(X); }

TATanHFunction::TATanHFunction()
    : TTrigonometryFunction(
          "atanh",
          "Returns the inverse hyperbolic tangent of <numeric-expression>.  The expression must be "
          "greater than -1 and less than 1") {}

long double TATanHFunction::Compute(long double X) const {
  if (std::fabs(X) == 1.0L) RaiseMathError(SZeroDivide);
  return std::atanh(X);
}

TCosFunction::TCosFunction()
    : TTrigonometryFunction(
          "cos", "Returns the cosine of the angle represented by <numeric-expression>, in radians") {}

long double TCosFunction::Compute(long double X) const { return std::cos(X); }

TCosHFunction::TCosHFunction()
    : TTrigonometryFunction("cosh", "Returns the hyperbolic cosine of <numeric-expression>") {}

long double TCosHFunction::Compute(long double X) const { return std::cosh(X); }

TCotFunction::TCotFunction()
    : TTrigonometryFunction(
          "cot",
          "Returns the cotangent of the angle represented by <numeric-expression>.  The cotangent "
          "is calculated using the formula cotan = 1 / Tan(<numeric-expression>)") {}

long double TCotFunction::Compute(long double X) const { return CheckedDivide(1.0L, std::tan(X)); }

TCotHFunction::TCotHFunction()
    : TTrigonometryFunction(
          "coth",
          "Returns the hyperbolic cotangent of <numeric-expression>.  The hyperbolic cotangent is "
          "calculated using the formula coth = 1 / TanH(<numeric-expression>).  The expression "
          "must not be 0") {}

long double TCotHFunction::Compute(long double X) const { return CheckedDivide(1.0L, std::tanh(X)); }

TCscFunction::TCscFunction()
    : TTrigonometryFunction(
          "csc",
          "Returns the cosecant of the angle represented by <numeric-expression>.  The cosecant is "
          "calculated using the formula csc = 1 / Cos(Pi/2 - <numeric-expression>)") {}

long double TCscFunction::Compute(long double X) const {
  // sin x is cos(pi/2 - x) exactly, and is exactly 0 at 0, where cos of a rounded pi/2 is not.
  return CheckedDivide(1.0L, std::sin(X));
}

TCscHFunction::TCscHFunction()
    : TTrigonometryFunction(
          "csch",
          "Returns the hyperbolic cosecant of <numeric-expression>.  The hyperbolic cosecant is "
          "calculated using the formula csch = 1 / SinH(<numeric-expression>).  The expression "
          "must not be 0") {}

long double TCscHFunction::Compute(long double X) const { return CheckedDivide(1.0L, std::sinh(X)); }

TCycleRadFunction::TCycleRadFunction()
    : TTrigonometryFunction(
          "cycle-rad",
          "Returns the angle in radians of <numeric-expression> cycles (full turns), calculated "
          "using the formula <numeric-expression> * 2Pi") {}

long double TCycleRadFunction::Compute(long double X) const { return X * 2 * Pi; }

TDegGradFunction::TDegGradFunction()
    : TTrigonometryFunction(
          "deg-grad",
          "Returns the angle in grads of <numeric-expression> degrees, calculated using the "
          "formula <numeric-expression> * 10/9") {}

long double TDegGradFunction::Compute(long double X) const { return X * 10 / 9; }

TDegRadFunction::TDegRadFunction()
    : TTrigonometryFunction(
          "deg-rad",
          "Returns the angle in radians of <numeric-expression> degrees, calculated using the "
          "formula <numeric-expression> * Pi/180") {}

long double TDegRadFunction::Compute(long double X) const { return X * Pi / 180; }

TGradDegFunction::TGradDegFunction()
    : TTrigonometryFunction(
          "grad-deg",
          "Returns the angle in degrees of <numeric-expression> grads, calculated using the "
          "formula <numeric-expression> * 0.9") {}

long double TGradDegFunction::Compute(long double X) const { return X * 9 / 10; }

TGradRadFunction::TGradRadFunction()
    : TTrigonometryFunction(
          "grad-rad",
          "Returns the angle in radians of <numeric-expression> grads, calculated using the "
          "formula <numeric-expression> * Pi/200") {}

long double TGradRadFunction::Compute(long double X) const { return X * Pi / 200; }

TRadCycleFunction::TRadCycleFunction()
    : TTrigonometryFunction(
          "rad-cycle",
          "Returns the angle in cycles (full turns) of <numeric-expression> radians, calculated "
          "using the formula <numeric-expression> / 2Pi") {}

long double TRadCycleFunction::Compute(long double X) const { return X / (2 * Pi); }

TRadDegFunction::TRadDegFunction()
    : TTrigonometryFunction(
          "rad-deg",
          "Returns the angle in degrees of <numeric-expression> radians, calculated using the "
          "formula <numeric-expression> * 180/Pi") {}

long double TRadDegFunction::Compute(long double X) const { return X * 180 / Pi; }

TRadGradFunction::TRadGradFunction()
    : TTrigonometryFunction(
          "rad-grad",
          "Returns the angle in grads of <numeric-expression> radians, calculated using the "
          "formula <numeric-expression> * 200/Pi") {}

long double TRadGradFunction::Compute(long double X) const { return X * 200 / Pi; }

TSecFunction::TSecFunction()
    : TTrigonometryFunction(
          "sec",
          "Returns the secant of the angle represented by <numeric-expression>.  The secant is "
          "calculated using the formula sec = 1 / Cos(<numeric-expression>)") {}

long double TSecFunction::Compute(long double X) const { return CheckedDivide(1.0L, std::cos(X)); }

TSecHFunction::TSecHFunction()
    : TTrigonometryFunction(
          "sech",
          "Returns the hyperbolic secant of <numeric-expression>.  The hyperbolic secant is "
          "calculated using the formula sech = 1 / CosH(<numeric-expression>)") {}

long double TSecHFunction::Compute(long double X) const { return CheckedDivide(1.0L, std::cosh(X)); }

TSinFunction::TSinFunction()
    : TTrigonometryFunction(
          "sin", "Returns the sine of the angle represented by <numeric-expression>, in radians") {}

long double TSinFunction::Compute(long double X) const { return std::sin(X); }

TSinHFunction::TSinHFunction()
    : TTrigonometryFunction("sinh", "Returns the hyperbolic sine of <numeric-expression>") {}

long double TSinHFunction::Compute(long double X) const { return std::sinh(X); }

TTanFunction::TTanFunction()
    : TTrigonometryFunction(
          "tan", "Returns the tangent of the angle represented by <numeric-expression>, in radians") {}

long double TTanFunction::Compute(long double X) const { return std::tan(X); }

TTanHFunction::TTanHFunction()
    : TTrigonometryFunction("tanh", "Returns the hyperbolic tangent of <numeric-expression>") {}

long double TTanHFunction::Compute(long double X) const { return std::tanh(X); }

TATan2Function::TATan2Function()
    : TIEUserFunction(
          "atan2", 2, 2,
          FunctionComment("Returns the angle of the point (<numeric-expression-X>, "
                          "<numeric-expression-Y>), that is the inverse tangent of Y/X with the quadrant "
                          "taken from the signs of both.  The return value will be in the range "
                          "[-Pi..Pi], in radians"),
          SPointArguments) {}

void TATan2Function::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const long double X = Numeric(FunCall, 0, Context);
  const long double Y = Numeric(FunCall, 1, Context);
  Result = MakeRef<TIEValue>(CheckedFloat(std::atan2(Y, X)));
}

THypotenuseFunction::THypotenuseFunction()
    : TIEUserFunction(
          "hypotenuse", 2, 2,
          FunctionComment("Returns the length of the hypotenuse of a right triangle whose sides are "
                          "<numeric-expression-X> and <numeric-expression-Y> (Sqrt( Sqr(X) + Sqr(Y) ))"),
          SPointArguments) {}

void THypotenuseFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const long double X = Numeric(FunCall, 0, Context);
  const long double Y = Numeric(FunCall, 1, Context);
  Result = MakeRef<TIEValue>(CheckedFloat(std::hypot(X, Y)));
}

TDistanceFunction::TDistanceFunction()
    : TIEUserFunction(
          "distance", 2, 2,
          FunctionComment("Returns the distance between 2 points (Sqrt( Sqr(X2-X1) + Sqr(Y2-Y1) + ... ))  "
                          "The two points are represented by the two multifield expressions"),
          SMultifieldPairArguments) {}

void TDistanceFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const long double Sum = SumOfDifferences(FunCall, Context, [](long double D) { return D * D; });
  Result = MakeRef<TIEValue>(CheckedFloat(std::sqrt(Sum)));
}

TDistanceSqrFunction::TDistanceSqrFunction()
    : TIEUserFunction(
          "distance-sqr", 2, 2,
          FunctionComment("Returns the square of the distance between 2 points (Sqr(X2-X1) + Sqr(Y2-Y1) "
                          "+ ... )  The two points are represented by the two multifield expressions"),
          SMultifieldPairArguments) {}

void TDistanceSqrFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  Result = MakeRef<TIEValue>(
      CheckedFloat(SumOfDifferences(FunCall, Context, [](long double D) { return D * D; })));
}

TDistanceManhattanFunction::TDistanceManhattanFunction()
    : TIEUserFunction(
          "distance-manhattan", 2, 2,
          FunctionComment("Returns the Manhattan distance between 2 points (Abs(X2-X1) + Abs(Y2-Y1) + "
                          "... )  The two points are represented by the two multifield expressions"),
          SMultifieldPairArguments) {}

void TDistanceManhattanFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  Result = MakeRef<TIEValue>(
      CheckedFloat(SumOfDifferences(FunCall, Context, [](long double D) { return std::fabs(D); })));
}

// ---- the package -----------------------------------------------------------------------------------------

void TTrigonometryPackage::CreateFunctions() {
  TUserPackage::CreateFunctions();
  TUserFunctionList& List = GetFunctions();

  List.Add(MakeRef<TACosFunction>());
  List.Add(MakeRef<TACosHFunction>());
  List.Add(MakeRef<TACotFunction>());
  List.Add(MakeRef<TACotHFunction>());
  List.Add(MakeRef<TACscFunction>());
  List.Add(MakeRef<TACscHFunction>());
  List.Add(MakeRef<TASecFunction>());
  List.Add(MakeRef<TASecHFunction>());
  List.Add(MakeRef<TASinFunction>());
  List.Add(MakeRef<TASinHFunction>());
  List.Add(MakeRef<TATanFunction>());
  List.Add(MakeRef<TATan2Function>());
  List.Add(MakeRef<TATanHFunction>());
  List.Add(MakeRef<TCosFunction>());
  List.Add(MakeRef<TCosHFunction>());
  List.Add(MakeRef<TCotFunction>());
  List.Add(MakeRef<TCotHFunction>());
  List.Add(MakeRef<TCscFunction>());
  List.Add(MakeRef<TCscHFunction>());
  List.Add(MakeRef<TCycleRadFunction>());
  List.Add(MakeRef<TDegGradFunction>());
  List.Add(MakeRef<TDegRadFunction>());
  List.Add(MakeRef<TDistanceFunction>());
  List.Add(MakeRef<TDistanceSqrFunction>());
  List.Add(MakeRef<TDistanceManhattanFunction>());
  List.Add(MakeRef<TGradDegFunction>());
  List.Add(MakeRef<TGradRadFunction>());
  List.Add(MakeRef<THypotenuseFunction>());
  List.Add(MakeRef<TRadCycleFunction>());
  List.Add(MakeRef<TRadDegFunction>());
  List.Add(MakeRef<TRadGradFunction>());
  List.Add(MakeRef<TSecFunction>());
  List.Add(MakeRef<TSecHFunction>());
  List.Add(MakeRef<TSinFunction>());
  List.Add(MakeRef<TSinHFunction>());
  List.Add(MakeRef<TTanFunction>());
  List.Add(MakeRef<TTanHFunction>());
}

}  // namespace rulecraft
