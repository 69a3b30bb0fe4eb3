#include "rulecraft/packages/BusinessPackage.h"

#include <cmath>
#include <string>
#include <vector>

#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/framework/TypeInfo.h"
#include "rulecraft/functions/FunctionCall.h"

namespace rulecraft {

namespace {

[[maybe_unused]] const bool ClassesRegistered = [] {
  for (TClass Class : {TDoubleDecliningBalanceFunction::StaticClass(), TFutureValueFunction::StaticClass(),
                       TInterestPaymentFunction::StaticClass(), TInterestRateFunction::StaticClass(),
                       TInternalRateOfReturnFunction::StaticClass(), TNetPresentValueFunction::StaticClass(),
                       TNumberOfPeriodsFunction::StaticClass(), TPaymentFunction::StaticClass(),
                       TPeriodPaymentFunction::StaticClass(), TPresentValueFunction::StaticClass(),
                       TSLNDepreciationFunction::StaticClass(), TSYDDepreciationFunction::StaticClass(),
                       TBusinessPackage::StaticClass()})
    RegisterClass(Class);
  return true;
}();

constexpr const char* PaymentTimeArgument = " ptEndOfPeriod|ptStartOfPeriod";
constexpr int MaxNewtonSteps = 100;

// ---- the financial routines

[[noreturn]] void Invalid(const std::string& Function, const char* What) {
  throw EIEException(SInvalidFinancialArgument, {Function, What});
}

/// (1+r)^n, and the annuity factor ((1+r)^n - 1) / r (n when r = 0).
void Growth(double Rate, double Periods, double& Power, double& Annuity) {
  Power = std::pow(1.0 + Rate, Periods);
  Annuity = Rate == 0.0 ? Periods : (Power - 1.0) / Rate;
}

double FutureValue(double Rate, double Periods, double Payment, double PresentValue, bool Start) {
  double Power, Annuity;
  Growth(Rate, Periods, Power, Annuity);
  return -(PresentValue * Power + Payment * (1.0 + Rate * Start) * Annuity);
}

double PresentValue(double Rate, double Periods, double Payment, double FutureValue, bool Start) {
  double Power, Annuity;
  Growth(Rate, Periods, Power, Annuity);
  return -(FutureValue + Payment * (1.0 + Rate * Start) * Annuity) / Power;
}

double Payment(const std::string& Function, double Rate, double Periods, double PresentValue,
               double FutureValue, bool Start) {
  if (Periods == 0.0) Invalid(Function, "number of periods 0");
  double Power, Annuity;
  Growth(Rate, Periods, Power, Annuity);
  return -(PresentValue * Power + FutureValue) / ((1.0 + Rate * Start) * Annuity);
}

/// The interest part of the payment of Period (1 .. Periods).
double InterestPayment(const std::string& Function, double Rate, int32_t Period, int32_t Periods,
                       double PresentValue, double FutureValue, bool Start) {
  if (Period < 1 || Period > Periods) Invalid(Function, "period out of range");
  const double Pay = Payment(Function, Rate, Periods, PresentValue, FutureValue, Start);
  // What is owed (as a flow) after Period - 1 periods; a payment at the start of the period reduces it
  // before the interest accrues.
  const double Owed = -::rulecraft::FutureValue(Rate, Period - 1, Pay, PresentValue, Start);
  return -Rate * (Start ? Owed + Pay : Owed);
}

/// The balance equation of the annuity at Rate and its derivative by Rate.
double Balance(double Rate, double Periods, double Payment, double PresentValue, double FutureValue,
               bool Start) {
  return -::rulecraft::FutureValue(Rate, Periods, Payment, PresentValue, Start) + FutureValue;
}

/// Newton's method on F from Guess: the root, or "<function> does not converge".
template <class F>
double Newton(const std::string& Function, double Guess, F&& Value) {
  double Rate = Guess;
  for (int Step = 0; Step < MaxNewtonSteps; ++Step) {
    const double Y = Value(Rate);
    const double H = std::fmax(1e-7, std::fabs(Rate) * 1e-7);
    const double Slope = (Value(Rate + H) - Value(Rate - H)) / (2.0 * H);
    if (!std::isfinite(Y) || !std::isfinite(Slope) || Slope == 0.0) break;
    const double Next = Rate - Y / Slope;
    if (!std::isfinite(Next) || Next <= -1.0) break;
    if (std::fabs(Next - Rate) < 1e-12 * std::fmax(1.0, std::fabs(Next))) return Next;
    Rate = Next;
  }
  throw EIEException(SNoConvergence, {Function});
}

double NetPresentValue(double Rate, const std::vector<double>& Flows, int First) {
  double Sum = 0.0;
  for (size_t I = 0; I < Flows.size(); ++I)
    Sum += Flows[I] / std::pow(1.0 + Rate, static_cast<double>(I) + First);
  return Sum;
}

// ---- reading the arguments

double Numeric(TFunctionCall& FunCall, int32_t Index, TIEContext* Context) {
  return ResolveArgument(FunCall, Index, Context)->GetAsNumeric();
}

int32_t Integer(TFunctionCall& FunCall, int32_t Index, TIEContext* Context) {
  return ResolveArgument(FunCall, Index, Context)->GetAsInteger();
}

/// True when the argument names ptStartOfPeriod (in any case); anything else is the end of the period.
bool StartOfPeriod(TFunctionCall& FunCall, int32_t Index, TIEContext* Context) {
  static const TEnumInfo PaymentTimes("TPaymentTime", {"ptEndOfPeriod", "ptStartOfPeriod"});
  return PaymentTimes.ValueOf(ResolveArgument(FunCall, Index, Context)->GetAsString()) == 1;
}

/// The multifield's elements, each read as a float as it stands.
std::vector<double> CashFlows(TFunctionCall& FunCall, int32_t Index, TIEContext* Context) {
  const IValueVector List = ResolveArgument(FunCall, Index, Context)->GetAsList();
  std::vector<double> Flows;
  Flows.reserve(static_cast<size_t>(List->GetValueCount()));
  for (int32_t I = 0; I < List->GetValueCount(); ++I) Flows.push_back(List->Get(I)->GetAsFloat());
  return Flows;
}

void Answer(double Value, IIEValue& Result) { Result = MakeRef<TIEValue>(CheckedFloat(Value)); }

void CheckRate(const std::string& Function, double Rate) {
  if (!(Rate > -1.0)) Invalid(Function, "rate of -100 % or below");
}

void CheckLife(const std::string& Function, int32_t Life, int32_t Period) {
  if (Life < 1) Invalid(Function, "life below 1");
  if (Period < 1 || Period > Life) Invalid(Function, "period out of range");
}

}  // namespace

TDoubleDecliningBalanceFunction::TDoubleDecliningBalanceFunction()
    : TIEUserFunction(
          "double-declining-balance", 4, 4,
          FunctionComment("Returns the depreciation of an asset in the given period by the double-declining "
                          "balance method: twice the straight-line rate applied to the book value, never "
                          "depreciating below the salvage value"),
          "<cost-numeric-expression> <salvage-numeric-expression> <life-integer-expression> "
          "<period-integer-expression>") {}

void TDoubleDecliningBalanceFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context,
                                               IIEValue& Result) {
  const double Cost = Numeric(FunCall, 0, Context);
  const double Salvage = Numeric(FunCall, 1, Context);
  const int32_t Life = Integer(FunCall, 2, Context);
  const int32_t Period = Integer(FunCall, 3, Context);
  CheckLife(GetFunctionName(), Life, Period);
  const double Rate = 2.0 / Life;
  const double Book = Cost * std::pow(1.0 - Rate, Period - 1);
  Answer(std::fmax(0.0, std::fmin(Book * Rate, Book - Salvage)), Result);
}

TFutureValueFunction::TFutureValueFunction()
    : TIEUserFunction(
          "future-value", 5, 5,
          FunctionComment("Returns the future value of an investment of periodic constant payments "
                          "at a constant interest rate"),
          std::string("<rate-numeric-expression> <num-periods-integer-expression> "
                      "<payment-numeric-expression> <present-value-numeric-expression>") +
              PaymentTimeArgument) {}

void TFutureValueFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const double Rate = Numeric(FunCall, 0, Context);
  CheckRate(GetFunctionName(), Rate);
  Answer(FutureValue(Rate, Integer(FunCall, 1, Context), Numeric(FunCall, 2, Context),
                     Numeric(FunCall, 3, Context), StartOfPeriod(FunCall, 4, Context)),
         Result);
}

TInterestPaymentFunction::TInterestPaymentFunction()
    : TIEUserFunction(
          "interest-payment", 6, 6,
          FunctionComment("Returns the interest part of the payment of the given period of a loan "
                          "or annuity of constant payments at a constant interest rate"),
          std::string("<rate-numeric-expression> <period-integer-expression> "
                      "<num-periods-integer-expression> <present-value-numeric-expression> "
                      "<future-value-numeric-expression>") +
              PaymentTimeArgument) {}

void TInterestPaymentFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const double Rate = Numeric(FunCall, 0, Context);
  CheckRate(GetFunctionName(), Rate);
  Answer(InterestPayment(GetFunctionName(), Rate, Integer(FunCall, 1, Context), Integer(FunCall, 2, Context),
                         Numeric(FunCall, 3, Context), Numeric(FunCall, 4, Context),
                         StartOfPeriod(FunCall, 5, Context)),
         Result);
}

TInterestRateFunction::TInterestRateFunction()
    : TIEUserFunction(
          "interest-rate", 5, 5,
          FunctionComment("Returns the interest rate per period that makes the present value, the "
                          "constant payments and the future value balance"),
          std::string("<num-periods-integer-expression> <payment-numeric-expression> "
                      "<present-value-numeric-expression> <future-value-numeric-expression>") +
              PaymentTimeArgument) {}

void TInterestRateFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const int32_t Periods = Integer(FunCall, 0, Context);
  const double Pay = Numeric(FunCall, 1, Context);
  const double Present = Numeric(FunCall, 2, Context);
  const double Future = Numeric(FunCall, 3, Context);
  const bool Start = StartOfPeriod(FunCall, 4, Context);
  if (Periods < 1) Invalid(GetFunctionName(), "number of periods below 1");
  Answer(Newton(GetFunctionName(), 0.1,
                [&](double Rate) { return Balance(Rate, Periods, Pay, Present, Future, Start); }),
         Result);
}

TInternalRateOfReturnFunction::TInternalRateOfReturnFunction()
    : TIEUserFunction("internal-rate-of-return", 2, 2,
                      FunctionComment("Returns the internal rate of return of the cash flows (the first at "
                                      "period 0): the rate at which their net present value is 0"),
                      "<guess-numeric-expression> <cash-flows-multifield-expression>") {}

void TInternalRateOfReturnFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const double Guess = Numeric(FunCall, 0, Context);
  CheckRate(GetFunctionName(), Guess);
  const std::vector<double> Flows = CashFlows(FunCall, 1, Context);
  Answer(Newton(GetFunctionName(), Guess, [&](double Rate) { return NetPresentValue(Rate, Flows, 0); }),
         Result);
}

TNetPresentValueFunction::TNetPresentValueFunction()
    : TIEUserFunction(
          "net-present-value", 3, 3,
          FunctionComment("Returns the net present value of the cash flows discounted at the rate "
                          "per period"),
          std::string("<rate-numeric-expression> <cash-flows-multifield-expression>") + PaymentTimeArgument) {
}

void TNetPresentValueFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const double Rate = Numeric(FunCall, 0, Context);
  CheckRate(GetFunctionName(), Rate);
  const std::vector<double> Flows = CashFlows(FunCall, 1, Context);
  Answer(NetPresentValue(Rate, Flows, StartOfPeriod(FunCall, 2, Context) ? 0 : 1), Result);
}

TNumberOfPeriodsFunction::TNumberOfPeriodsFunction()
    : TIEUserFunction("number-of-periods", 5, 5,
                      FunctionComment("Returns the number of periods for an investment of constant payments "
                                      "at a constant interest rate to reach the future value"),
                      std::string("<rate-numeric-expression> <payment-numeric-expression> "
                                  "<present-value-numeric-expression> <future-value-numeric-expression>") +
                          PaymentTimeArgument) {}

void TNumberOfPeriodsFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const double Rate = Numeric(FunCall, 0, Context);
  const double Pay = Numeric(FunCall, 1, Context);
  const double Present = Numeric(FunCall, 2, Context);
  const double Future = Numeric(FunCall, 3, Context);
  const bool Start = StartOfPeriod(FunCall, 4, Context);
  CheckRate(GetFunctionName(), Rate);
  if (Rate == 0.0) {
    if (Pay == 0.0) Invalid(GetFunctionName(), "payment 0 at rate 0");
    Answer(-(Present + Future) / Pay, Result);
    return;
  }
  const double Scaled = Pay * (1.0 + Rate * Start) / Rate;
  const double Ratio = (Scaled - Future) / (Scaled + Present);
  if (!(Ratio > 0.0) || !std::isfinite(Ratio)) Invalid(GetFunctionName(), "no number of periods balances");
  Answer(std::log(Ratio) / std::log(1.0 + Rate), Result);
}

TPaymentFunction::TPaymentFunction()
    : TIEUserFunction("payment", 5, 5,
                      FunctionComment("Returns the constant payment per period of a loan or annuity at a "
                                      "constant interest rate"),
                      std::string("<rate-numeric-expression> <num-periods-integer-expression> "
                                  "<present-value-numeric-expression> <future-value-numeric-expression>") +
                          PaymentTimeArgument) {}

void TPaymentFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const double Rate = Numeric(FunCall, 0, Context);
  CheckRate(GetFunctionName(), Rate);
  Answer(Payment(GetFunctionName(), Rate, Integer(FunCall, 1, Context), Numeric(FunCall, 2, Context),
                 Numeric(FunCall, 3, Context), StartOfPeriod(FunCall, 4, Context)),
         Result);
}

TPeriodPaymentFunction::TPeriodPaymentFunction()
    : TIEUserFunction(
          "period-payment", 6, 6,
          FunctionComment("Returns the principal part of the payment of the given period of a loan "
                          "or annuity of constant payments at a constant interest rate"),
          std::string("<rate-numeric-expression> <period-integer-expression> "
                      "<num-periods-integer-expression> <present-value-numeric-expression> "
                      "<future-value-numeric-expression>") +
              PaymentTimeArgument) {}

void TPeriodPaymentFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const double Rate = Numeric(FunCall, 0, Context);
  CheckRate(GetFunctionName(), Rate);
  const int32_t Period = Integer(FunCall, 1, Context);
  const int32_t Periods = Integer(FunCall, 2, Context);
  const double Present = Numeric(FunCall, 3, Context);
  const double Future = Numeric(FunCall, 4, Context);
  const bool Start = StartOfPeriod(FunCall, 5, Context);
  const double Interest = InterestPayment(GetFunctionName(), Rate, Period, Periods, Present, Future, Start);
  Answer(Payment(GetFunctionName(), Rate, Periods, Present, Future, Start) - Interest, Result);
}

TPresentValueFunction::TPresentValueFunction()
    : TIEUserFunction("present-value", 5, 5,
                      FunctionComment("Returns the present value of an investment of constant payments at a "
                                      "constant interest rate"),
                      std::string("<rate-numeric-expression> <num-periods-integer-expression> "
                                  "<payment-numeric-expression> <future-value-numeric-expression>") +
                          PaymentTimeArgument) {}

void TPresentValueFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const double Rate = Numeric(FunCall, 0, Context);
  CheckRate(GetFunctionName(), Rate);
  Answer(PresentValue(Rate, Integer(FunCall, 1, Context), Numeric(FunCall, 2, Context),
                      Numeric(FunCall, 3, Context), StartOfPeriod(FunCall, 4, Context)),
         Result);
}

TSLNDepreciationFunction::TSLNDepreciationFunction()
    : TIEUserFunction(
          "sln-depreciation", 3, 3,
          FunctionComment("Returns the straight-line depreciation allowance of an asset.  The cost "
                          "less the salvage value is spread evenly over the life of the asset"),
          "<cost-numeric-expression> <salvage-numeric-expression> <life-integer-expression>") {}

void TSLNDepreciationFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const double Cost = Numeric(FunCall, 0, Context);
  const double Salvage = Numeric(FunCall, 1, Context);
  const int32_t Life = Integer(FunCall, 2, Context);
  CheckLife(GetFunctionName(), Life, 1);
  Answer((Cost - Salvage) / Life, Result);
}

TSYDDepreciationFunction::TSYDDepreciationFunction()
    : TIEUserFunction(
          "syd-depreciation", 4, 4,
          FunctionComment("Returns the sum-of-years'-digits depreciation of an asset in the given "
                          "period"),
          "<cost-numeric-expression> <salvage-numeric-expression> <life-integer-expression> "
          "<period-integer-expression>") {}

void TSYDDepreciationFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const double Cost = Numeric(FunCall, 0, Context);
  const double Salvage = Numeric(FunCall, 1, Context);
  const int32_t Life = Integer(FunCall, 2, Context);
  const int32_t Period = Integer(FunCall, 3, Context);
  CheckLife(GetFunctionName(), Life, Period);
  const double Digits = static_cast<double>(Life) * (Life + 1.0) / 2.0;
  Answer((Cost - Salvage) * (Life - Period + 1.0) / Digits, Result);
}

void TBusinessPackage::CreateFunctions() {
  TUserPackage::CreateFunctions();
  TUserFunctionList& List = GetFunctions();
  List.Add(MakeRef<TDoubleDecliningBalanceFunction>());
  List.Add(MakeRef<TFutureValueFunction>());
  List.Add(MakeRef<TInterestPaymentFunction>());
  List.Add(MakeRef<TInterestRateFunction>());
  List.Add(MakeRef<TInternalRateOfReturnFunction>());
  List.Add(MakeRef<TNetPresentValueFunction>());
  List.Add(MakeRef<TNumberOfPeriodsFunction>());
  List.Add(MakeRef<TPaymentFunction>());
  List.Add(MakeRef<TPeriodPaymentFunction>());
  List.Add(MakeRef<TPresentValueFunction>());
  List.Add(MakeRef<TSLNDepreciationFunction>());
  List.Add(MakeRef<TSYDDepreciationFunction>());
}

}  // namespace rulecraft
