#include "rulecraft/packages/MathPackage.h"

#include <chrono>
#include <cmath>
#include <random>

#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/functions/Context.h"
#include "rulecraft/functions/FunctionCall.h"
#include "rulecraft/functions/FunctionEngine.h"

namespace rulecraft {

namespace {

constexpr int32_t Unbounded = 2147483647;

[[maybe_unused]] const bool ClassesRegistered = [] {
  for (TClass Class : {TAbsFunction::StaticClass(),       TIntegerDivideFunction::StaticClass(),
                       TDivideFunction::StaticClass(),    TExpFunction::StaticClass(),
                       TExptFunction::StaticClass(),      TFloatFunction::StaticClass(),
                       TIntegerFunction::StaticClass(),   TLogFunction::StaticClass(),
                       TLog10Function::StaticClass(),     TMaxFunction::StaticClass(),
                       TMinFunction::StaticClass(),       TMinusFunction::StaticClass(),
                       TModFunction::StaticClass(),       TPiFunction::StaticClass(),
                       TPlusFunction::StaticClass(),      TRandomFunction::StaticClass(),
                       TRandomizeFunction::StaticClass(), TRoundFunction::StaticClass(),
                       TSeedFunction::StaticClass(),      TSqrtFunction::StaticClass(),
                       TTimesFunction::StaticClass(),     TMathPackage::StaticClass()})
    RegisterClass(Class);
  return true;
}();

IIEValue IntegerValue(int32_t Value) { return MakeRef<TIEValue>(Value, dtInteger); }
IIEValue FloatValue(long double Value) { return MakeRef<TIEValue>(CheckedFloat(Value)); }

TNumber FloatNumber(long double Value) { return TNumber{CheckedFloat(Value), true}; }
TNumber IntegerNumber(int32_t Value) { return TNumber{static_cast<double>(Value), false}; }

/// A float when Float is set, otherwise the whole-number total as an integer.
TNumber NumberOf(long double Total, bool Float) {
  return Float ? FloatNumber(Total) : IntegerNumber(WrapToInt32(Total));
}

enum TAccumulation : uint8_t { acSum, acDifference, acProduct };

long double Combine(TAccumulation Kind, int32_t Index, long double Total, long double X) {
  switch (Kind) {
    case acSum:
      return Total + X;
    case acProduct:
      return Total * X;
    default:
      return Index == 0 ? X : Total - X;
  }
}

/// The running total of +, - and *: each argument's numeric reading combined in turn (- starts from its
/// first argument), marked float when any argument is a float; a whole-number total is wrapped to 32 bits
/// at the end. Whole numbers are combined in 64 bits while the total fits, which is exact, as the extended
/// precision the total runs in otherwise is; from the first float, fraction or overflow on, the total goes
/// on in extended precision from the exact total so far.
TNumber Accumulate(TFunctionCall& FunCall, TIEContext* Context, TAccumulation Kind) {
  const int32_t Count = FunCall.GetArgumentCount();
  int64_t Whole = Kind == acProduct ? 1 : 0;
  long double Total = 0.0L;
  bool Extended = false;
  bool Float = false;
  const auto Step = [&](int32_t I, int64_t N) {
    int64_t Next = N;
    bool Overflow = false;
    if (Kind == acSum)
      Overflow = __builtin_add_overflow(Whole, N, &Next);
    else if (Kind == acProduct)
      Overflow = __builtin_mul_overflow(Whole, N, &Next);
    else if (I > 0)
      Overflow = __builtin_sub_overflow(Whole, N, &Next);
    if (Overflow) return false;
    Whole = Next;
    return true;
  };
  for (int32_t I = 0; I < Count; ++I) {
    if (!Extended) {
      // An integer constant or a variable bound to one joins the total without a detour through a double.
      if (const TIEValue* Value = PeekArgument(FunCall, I, Context); Value && Value->GetDType() == dtInteger)
        if (Step(I, Value->IntegerPayload())) continue;
    }
    const TNumber X = ResolveNumber(FunCall, I, Context);
    if (!Extended) {
      if (!X.IsFloat && X.Value >= -2147483648.0 && X.Value <= 2147483647.0 &&
          X.Value == static_cast<double>(static_cast<int64_t>(X.Value)) &&
          Step(I, static_cast<int64_t>(X.Value)))
        continue;
      Extended = true;
      Total = static_cast<long double>(Whole);
    }
    Total = Combine(Kind, I, Total, X.Value);
    if (X.IsFloat) Float = true;
  }
  if (!Extended)
    return IntegerNumber(static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(Whole))));
  return NumberOf(Total, Float);
}

/// max and min: a later argument replaces the running extreme only when Better says so.
template <class Better>
TNumber Extreme(TFunctionCall& FunCall, TIEContext* Context, Better Wins) {
  TNumber Value = ResolveNumber(FunCall, 0, Context);
  long double Best = Value.Value;
  bool Float = Value.IsFloat;
  for (int32_t I = 1; I < FunCall.GetArgumentCount(); ++I) {
    Value = ResolveNumber(FunCall, I, Context);
    const long double X = Value.Value;
    if (Wins(X, Best)) {
      Best = X;
      if (Value.IsFloat) Float = true;
    }
  }
  return NumberOf(Best, Float);
}

long double Numeric(TFunctionCall& FunCall, int32_t Index, TIEContext* Context) {
  return ResolveNumber(FunCall, Index, Context).Value;
}

int64_t Integer(TFunctionCall& FunCall, int32_t Index, TIEContext* Context) {
  return ResolveInteger(FunCall, Index, Context);
}

std::mt19937& Generator(TIEContext* Context) {
  IFunctionEngine* Engine = Context ? Context->GetEngine() : nullptr;
  return (Engine ? Engine->GetEvaluationState() : ThreadEvaluationState()).Random;
}

}  // namespace

uint32_t RandomInteger(TIEContext* Context, uint32_t Range) {
  // Multiply-shift maps the 32 random bits onto 0..Range-1.
  return static_cast<uint32_t>((static_cast<uint64_t>(Generator(Context)()) * Range) >> 32);
}

void SeedRandom(TIEContext* Context, uint32_t Seed) { Generator(Context).seed(Seed); }

// ---- arithmetic ------------------------------------------------------------------------------------------

TAbsFunction::TAbsFunction()
    : TIEUserFunction("abs", 1, 1, FunctionComment("Returns the absolute value of the argument"),
                      SNumericArgument) {}

void TAbsFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const IIEValue Value = ResolveArgument(FunCall, 0, Context);
  switch (Value->GetDType()) {
    case dtInteger: {
      const int64_t I = Value->GetAsInteger();
      Result = IntegerValue(WrapToInt32(static_cast<long double>(I < 0 ? -I : I)));
      break;
    }
    case dtFloat:
      Result = FloatValue(std::fabs(static_cast<long double>(Value->GetAsFloat())));
      break;
    default:
      throw EIEException(SMissingNumeric, {GetFunctionName()});
  }
}

TIntegerDivideFunction::TIntegerDivideFunction()
    : TNumberFunction(
          "div", 1, Unbounded,
          FunctionComment("Returns the value of the first argument integer divided (i.e., fractions are "
                          "dropped) by each of the subsequent arguments (arg0 div arg1 div arg2...)"),
          " <integer-expression>+") {}

void TIntegerDivideFunction::EvaluateNumber(TFunctionCall& FunCall, TIEContext* Context, TNumber& Result) {
  // 64 bits hold every quotient of 32-bit integers (-2147483648 div -1 included).
  int64_t Quotient = Integer(FunCall, 0, Context);
  for (int32_t I = 1; I < FunCall.GetArgumentCount(); ++I) {
    const int64_t Divisor = Integer(FunCall, I, Context);
    if (Divisor == 0) RaiseMathError(SDivByZero);
    Quotient /= Divisor;
  }
  Result = IntegerNumber(WrapToInt32(static_cast<long double>(Quotient)));
}

TDivideFunction::TDivideFunction()
    : TNumberFunction(
          "/", 1, Unbounded,
          FunctionComment("Returns the value of the first argument divided by each of the subsequent "
                          "arguments (arg0 / arg1 / arg2...)"),
          SNumericArguments) {}

void TDivideFunction::EvaluateNumber(TFunctionCall& FunCall, TIEContext* Context, TNumber& Result) {
  long double Quotient = Numeric(FunCall, 0, Context);
  for (int32_t I = 1; I < FunCall.GetArgumentCount(); ++I)
    Quotient = CheckedDivide(Quotient, Numeric(FunCall, I, Context));
  Result = FloatNumber(Quotient);
}

TMinusFunction::TMinusFunction()
    : TNumberFunction("-", 1, Unbounded,
                      FunctionComment("Returns the value of the first argument minus each of the subsequent "
                                      "arguments (arg0 - arg1 - arg2...)"),
                      SNumericArguments) {
  SetArithmeticKind(akDifference);
}

void TMinusFunction::EvaluateNumber(TFunctionCall& FunCall, TIEContext* Context, TNumber& Result) {
  Result = Accumulate(FunCall, Context, acDifference);
}

TModFunction::TModFunction()
    : TNumberFunction("mod", 2, 2,
                      FunctionComment("Returns the value of the first argument MOD the second argument"),
                      " <integer-expression> <integer-expression>") {}

void TModFunction::EvaluateNumber(TFunctionCall& FunCall, TIEContext* Context, TNumber& Result) {
  const int64_t Dividend = Integer(FunCall, 0, Context);
  const int64_t Divisor = Integer(FunCall, 1, Context);
  if (Divisor == 0) RaiseMathError(SDivByZero);
  // In 64 bits -2147483648 mod -1 is a plain 0.
  Result = IntegerNumber(static_cast<int32_t>(Dividend % Divisor));
}

TPlusFunction::TPlusFunction()
    : TNumberFunction("+", 0, Unbounded,
                      FunctionComment("Returns a value that is the sum of all the arguments"),
                      SNumericArguments) {
  SetArithmeticKind(akSum);
}

void TPlusFunction::EvaluateNumber(TFunctionCall& FunCall, TIEContext* Context, TNumber& Result) {
  Result = Accumulate(FunCall, Context, acSum);
}

TTimesFunction::TTimesFunction()
    : TNumberFunction("*", 0, Unbounded,
                      FunctionComment("Returns a value that is the product of all the arguments"),
                      SNumericArguments) {
  SetArithmeticKind(akProduct);
}

void TTimesFunction::EvaluateNumber(TFunctionCall& FunCall, TIEContext* Context, TNumber& Result) {
  Result = Accumulate(FunCall, Context, acProduct);
}

TMaxFunction::TMaxFunction()
    : TNumberFunction("max", 1, Unbounded,
                      FunctionComment("Returns the value of the maximum or largest argument"),
                      SNumericArguments) {
  SetArithmeticKind(akMaximum);
}

void TMaxFunction::EvaluateNumber(TFunctionCall& FunCall, TIEContext* Context, TNumber& Result) {
  Result = Extreme(FunCall, Context, [](long double X, long double Best) { return X > Best; });
}

TMinFunction::TMinFunction()
    : TNumberFunction("min", 1, Unbounded,
                      FunctionComment("Returns the value of the minimum or smallest argument"),
                      SNumericArguments) {
  SetArithmeticKind(akMinimum);
}

void TMinFunction::EvaluateNumber(TFunctionCall& FunCall, TIEContext* Context, TNumber& Result) {
  Result = Extreme(FunCall, Context, [](long double X, long double Best) { return X < Best; });
}

// ---- conversions and rounding ----------------------------------------------------------------------------

TFloatFunction::TFloatFunction()
    : TIEUserFunction("float", 1, 1,
                      FunctionComment("Returns the <numeric-argument> converted to type float"),
                      SNumericArgument) {}

void TFloatFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  Result = FloatValue(Numeric(FunCall, 0, Context));
}

TIntegerFunction::TIntegerFunction()
    : TIEUserFunction("integer", 1, 1,
                      FunctionComment("Returns the <numeric-argument> converted to type integer"),
                      SNumericArgument) {}

void TIntegerFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  Result = IntegerValue(ResolveArgument(FunCall, 0, Context)->GetAsInteger());
}

TRoundFunction::TRoundFunction()
    : TIEUserFunction("round", 1, 1,
                      FunctionComment("Returns the <numeric-argument> rounded to the nearest integer"),
                      SNumericArgument) {}

void TRoundFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const double X = CheckedFloat(Numeric(FunCall, 0, Context));
  // Halfway cases go to the even neighbour, whatever rounding mode the host set: x - trunc(x) is exact, and
  // so is x / 2.
  double Rounded = std::round(X);
  if (std::fabs(X - std::trunc(X)) == 0.5) Rounded = 2.0 * std::round(X / 2.0);
  // The result is a whole number, and zero has no sign: (round -0.4) is 0.0, not -0.0.
  if (Rounded == 0.0) Rounded = 0.0;
  Result = FloatValue(Rounded);
}

// ---- powers and logarithms -------------------------------------------------------------------------------

TExpFunction::TExpFunction()
    : TIEUserFunction(
          "exp", 1, 1,
          FunctionComment("Returns the value of e raised to the power of <numeric-expression>, where e "
                          "is the base of the natural logarithms"),
          SNumericArgument) {}

void TExpFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  Result = FloatValue(std::exp(Numeric(FunCall, 0, Context)));
}

TExptFunction::TExptFunction()
    : TIEUserFunction(
          "**", 2, 2,
          FunctionComment("Returns the value of the first argument raised to the power of the second "
                          "argument"),
          " <numeric-expression> <numeric-expression>") {}

void TExptFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const long double Base = Numeric(FunCall, 0, Context);
  const long double Exponent = Numeric(FunCall, 1, Context);
  const long double Power = std::pow(Base, Exponent);
  // Zero to a negative power is a division by zero; other infinities are overflows (CheckedFloat).
  if (std::isinf(Power) && Base == 0.0L) RaiseMathError(SZeroDivide);
  Result = FloatValue(Power);
}

TLogFunction::TLogFunction()
    : TIEUserFunction("log", 1, 1, FunctionComment("Returns the natural log of the <numeric-expression>"),
                      SNumericArgument) {}

void TLogFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  Result = FloatValue(CheckedLn(Numeric(FunCall, 0, Context)));
}

TLog10Function::TLog10Function()
    : TIEUserFunction("log10", 1, 1, FunctionComment("Returns the log base 10 of the <numeric-expression>"),
                      SNumericArgument) {}

void TLog10Function::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const long double X = Numeric(FunCall, 0, Context);
  CheckLogDomain(X);
  Result = FloatValue(std::log10(X));
}

TSqrtFunction::TSqrtFunction()
    : TIEUserFunction("sqrt", 1, 1, FunctionComment("Returns the square root of the <numeric-expression>"),
                      SNumericArgument) {}

void TSqrtFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  Result = FloatValue(CheckedSqrt(Numeric(FunCall, 0, Context)));
}

TPiFunction::TPiFunction() : TIEUserFunction("PI", 0, 0, FunctionComment("Returns the value of PI")) {}

void TPiFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  (void)FunCall;
  (void)Context;
  Result = FCPI;
}

// ---- random numbers --------------------------------------------------------------------------------------

TRandomFunction::TRandomFunction()
    : TIEUserFunction(
          "random", 0, 2,
          FunctionComment(
              "Returns a random number between <from-integer-expression> and <to-integer-expression>.  "
              "If only one argument is specified, a number between 0 and the <to-integer-expression> is "
              "returned.  If NO arguments are specified, a number between 0 and 65535 is returned"),
          " [[<low-integer-expression>] <high-integer-expression>]") {}

void TRandomFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  int64_t Low = 0;
  int64_t Range = 65536;
  if (FunCall.GetArgumentCount() == 1) {
    Range = Integer(FunCall, 0, Context);
  } else if (FunCall.GetArgumentCount() == 2) {
    Low = Integer(FunCall, 0, Context);
    Range = Integer(FunCall, 1, Context);
  }
  const int64_t Offset = Range > 0 ? RandomInteger(Context, static_cast<uint32_t>(Range)) : 0;
  // low + offset may pass 2147483647; it wraps like every integer result.
  Result = IntegerValue(WrapToInt32(static_cast<long double>(Low + Offset)));
}

TRandomizeFunction::TRandomizeFunction()
    : TIEUserFunction(
          "randomize", 0, 1,
          FunctionComment("Sets the random number generator seed.  If no argument is given, the seed is "
                          "set randomly from the system clock"),
          " [<seed-integer-expression> ]") {}

void TRandomizeFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  if (FunCall.GetArgumentCount() == 0) {
    const auto Ticks = static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    SeedRandom(Context, static_cast<uint32_t>(Ticks ^ (Ticks >> 32)));
  } else {
    SeedRandom(Context, static_cast<uint32_t>(Integer(FunCall, 0, Context)));
  }
  Result = FCTrue;
}

TSeedFunction::TSeedFunction()
    : TIEUserFunction("seed", 1, 1, FunctionComment("Sets the random number generator seed to the argument"),
                      " <integer-expression>") {}

void TSeedFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  SeedRandom(Context, static_cast<uint32_t>(Integer(FunCall, 0, Context)));
  Result = FCTrue;
}

// ---- the package -----------------------------------------------------------------------------------------

void TMathPackage::CreateFunctions() {
  TUserPackage::CreateFunctions();
  TUserFunctionList& List = GetFunctions();
  List.Add(MakeRef<TAbsFunction>());
  List.Add(MakeRef<TIntegerDivideFunction>());
  List.Add(MakeRef<TDivideFunction>());
  List.Add(MakeRef<TExpFunction>());
  List.Add(MakeRef<TExptFunction>());
  List.Add(MakeRef<TFloatFunction>());
  List.Add(MakeRef<TIntegerFunction>());
  List.Add(MakeRef<TLogFunction>());
  List.Add(MakeRef<TLog10Function>());
  List.Add(MakeRef<TMaxFunction>());
  List.Add(MakeRef<TMinFunction>());
  List.Add(MakeRef<TMinusFunction>());
  List.Add(MakeRef<TModFunction>());
  List.Add(MakeRef<TPiFunction>());
  List.Add(MakeRef<TPlusFunction>());
  List.Add(MakeRef<TRandomFunction>());
  List.Add(MakeRef<TRandomizeFunction>());
  List.Add(MakeRef<TRoundFunction>());
  List.Add(MakeRef<TSeedFunction>());
  List.Add(MakeRef<TSqrtFunction>());
  List.Add(MakeRef<TTimesFunction>());
}

}  // namespace rulecraft
