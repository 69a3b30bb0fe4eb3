#pragma once
// The business package: depreciation, the annuity quantities (future and present value, payment and its
// interest and principal parts, rate, number of periods), net present value and internal rate of return.
//
// Money follows the sign convention of cash flows: what is received is positive, what is paid out negative,
// so a loan of 1000 (received, present value 1000) has negative payments. The annuity functions solve
//   pv (1+r)^n + pmt (1 + r t) ((1+r)^n - 1) / r + fv = 0
// (t = 1 when payments fall at the start of each period, 0 at the end; with r = 0 the middle term is
// pmt n). The payment time is the last argument, ptEndOfPeriod or ptStartOfPeriod in any case; any other
// text counts as the end of the period. Rates and the internal rate of return are found by Newton's method
// in at most 100 steps; "<function> does not converge" when that finds none. Arguments outside a
// function's domain (a life or period out of range, a rate of -100 % or below) raise
// "Invalid argument to <function>: <what>".
#include "rulecraft/functions/UserPackage.h"
#include "rulecraft/packages/PackageHelpers.h"

namespace rulecraft {

/// (double-declining-balance <cost> <salvage> <life> <period>): the depreciation of that period at twice
/// the straight-line rate, never taking the book value below the salvage.
RC_BUILTIN_FUNCTION(TDoubleDecliningBalanceFunction);
/// (future-value <rate> <periods> <payment> <present-value> <payment-time>).
RC_BUILTIN_FUNCTION(TFutureValueFunction);
/// (interest-payment <rate> <period> <periods> <present-value> <future-value> <payment-time>): the interest
/// part of the payment of that period.
RC_BUILTIN_FUNCTION(TInterestPaymentFunction);
/// (interest-rate <periods> <payment> <present-value> <future-value> <payment-time>).
RC_BUILTIN_FUNCTION(TInterestRateFunction);
/// (internal-rate-of-return <guess> <cash-flows>): the rate at which the flows (the first at period 0) have
/// a net present value of 0.
RC_BUILTIN_FUNCTION(TInternalRateOfReturnFunction);
/// (net-present-value <rate> <cash-flows> <payment-time>): the flows discounted from period 1 on (end of
/// period) or from period 0 on (start of period).
RC_BUILTIN_FUNCTION(TNetPresentValueFunction);
/// (number-of-periods <rate> <payment> <present-value> <future-value> <payment-time>).
RC_BUILTIN_FUNCTION(TNumberOfPeriodsFunction);
/// (payment <rate> <periods> <present-value> <future-value> <payment-time>).
RC_BUILTIN_FUNCTION(TPaymentFunction);
/// (period-payment <rate> <period> <periods> <present-value> <future-value> <payment-time>): the principal
/// part of the payment of that period.
RC_BUILTIN_FUNCTION(TPeriodPaymentFunction);
/// (present-value <rate> <periods> <payment> <future-value> <payment-time>).
RC_BUILTIN_FUNCTION(TPresentValueFunction);
/// (sln-depreciation <cost> <salvage> <life>): the straight-line depreciation of one period.
RC_BUILTIN_FUNCTION(TSLNDepreciationFunction);
/// (syd-depreciation <cost> <salvage> <life> <period>): the sum-of-years'-digits depreciation of a period.
RC_BUILTIN_FUNCTION(TSYDDepreciationFunction);

class TBusinessPackage : public TUserPackage {
  RC_CLASS(TBusinessPackage, TUserPackage)
 public:
  using TUserPackage::TUserPackage;
  /// Adds the twelve functions above in that order.
  void CreateFunctions() override;
};

}  // namespace rulecraft
