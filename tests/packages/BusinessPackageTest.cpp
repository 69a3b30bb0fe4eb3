// The business package's domains: each function refuses the arguments its formula cannot take with the
// function's name and what is wrong, and the rate searches stop with a clear error instead of looping.
#include <gtest/gtest.h>

#include <string>

#include "../TestValues.h"
#include "rulecraft/engine/InferenceEngine.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

class BusinessPackageTest : public ::testing::Test {
 protected:
  double Eval(const std::string& Text) { return Engine.ParseNExecuteFunCall(Text)->GetAsNumeric(); }
  TInferenceEngine Engine;
};

}  // namespace

TEST_F(BusinessPackageTest, ArgumentsOutsideTheirDomainRaise) {
  ExpectError([&] { Eval("(sln-depreciation 1000 100 0)"); },
              "Invalid argument to sln-depreciation: life below 1");
  ExpectError([&] { Eval("(syd-depreciation 1000 100 5 6)"); },
              "Invalid argument to syd-depreciation: period out of range");
  ExpectError([&] { Eval("(double-declining-balance 1000 100 5 0)"); },
              "Invalid argument to double-declining-balance: period out of range");
  ExpectError([&] { Eval("(payment -1 12 1000 0 ptEndOfPeriod)"); },
              "Invalid argument to payment: rate of -100 % or below");
  ExpectError([&] { Eval("(payment 0.01 0 1000 0 ptEndOfPeriod)"); },
              "Invalid argument to payment: number of periods 0");
  ExpectError([&] { Eval("(interest-payment 0.01 13 12 1000 0 ptEndOfPeriod)"); },
              "Invalid argument to interest-payment: period out of range");
  ExpectError([&] { Eval("(number-of-periods 0 0 1000 0 ptEndOfPeriod)"); },
              "Invalid argument to number-of-periods: payment 0 at rate 0");
  ExpectError([&] { Eval("(number-of-periods 0.1 -50 1000 0 ptEndOfPeriod)"); },
              "Invalid argument to number-of-periods: no number of periods balances");
  // A payment that can never repay the loan has no rate; flows of one sign have no internal rate.
  ExpectError([&] { Eval("(interest-rate 12 10 1000 0 ptEndOfPeriod)"); }, "interest-rate does not converge");
  ExpectError([&] { Eval("(internal-rate-of-return 0.1 (create$))"); },
              "internal-rate-of-return does not converge");
  ExpectError([&] { Eval("(internal-rate-of-return 0.1 (create$ -5 -5))"); },
              "internal-rate-of-return does not converge");
  ExpectError([&] { Eval("(payment 1e300 1000 1e300 0 ptEndOfPeriod)"); },
              "Invalid floating point operation");
}

TEST_F(BusinessPackageTest, QuantitiesAgreeWithEachOther) {
  // Present value, future value and payment describe the same annuity from each side.
  const double Pay = Eval("(payment 0.005 360 200000 -10000 ptStartOfPeriod)");
  EXPECT_NEAR(Eval("(present-value 0.005 360 " + std::to_string(Pay) + " -10000 ptStartOfPeriod)"), 200000.0,
              1e-3);
  EXPECT_NEAR(Eval("(future-value 0.005 360 " + std::to_string(Pay) + " 200000 ptStartOfPeriod)"), -10000.0,
              1e-3);
  EXPECT_NEAR(Eval("(interest-rate 360 " + std::to_string(Pay) + " 200000 -10000 ptStartOfPeriod)"), 0.005,
              1e-9);
  // Depreciation over the whole life sums to cost less salvage.
  double Sum = 0.0;
  for (int Period = 1; Period <= 7; ++Period)
    Sum += Eval("(syd-depreciation 5000 500 7 " + std::to_string(Period) + ")");
  EXPECT_NEAR(Sum, 4500.0, 1e-9);
  EXPECT_NEAR(Eval("(internal-rate-of-return -0.5 (create$ -100 110))"), 0.1, 1e-12);
  EXPECT_DOUBLE_EQ(Eval("(net-present-value 0 (create$ 1 2 3) ptEndOfPeriod)"), 6.0);
}
