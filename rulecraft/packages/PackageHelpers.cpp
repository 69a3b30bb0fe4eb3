#include "rulecraft/packages/PackageHelpers.h"

#include <cmath>
#include <limits>

#include "rulecraft/core/Messages.h"
#include "rulecraft/framework/Exception.h"

namespace rulecraft {

void RaiseMathError(const char* Message) { throw EMathError(Message); }

double CheckedFloat(long double Value) {
  if (std::isnan(Value)) RaiseMathError(SInvalidOp);
  const double Result = static_cast<double>(Value);
  if (std::isinf(Result)) RaiseMathError(SOverflow);
  return Result;
}

long double CheckedDivide(long double X, long double Y) {
  if (Y == 0.0L) RaiseMathError(X == 0.0L || std::isnan(X) ? SInvalidOp : SZeroDivide);
  return X / Y;
}

void CheckLogDomain(long double X) {
  if (X == 0.0L) RaiseMathError(SZeroDivide);
  if (!(X > 0.0L)) RaiseMathError(SInvalidOp);  // negative or NaN
}

long double CheckedLn(long double X) {
  CheckLogDomain(X);
  return std::log(X);
}

long double CheckedSqrt(long double X) {
  if (!(X >= 0.0L)) RaiseMathError(SInvalidOp);  // negative or NaN
  return std::sqrt(X);
}

int32_t WrapToInt32(long double Value) {
  if (std::isnan(Value)) RaiseMathError(SInvalidOp);
  if (std::isinf(Value)) RaiseMathError(SOverflow);
  // Within 64 bits the conversion truncates and the cast to 32 bits takes it modulo 2^32; beyond, fmod
  // (exact) does the same.
  if (Value > -9.0e18L && Value < 9.0e18L)
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(Value))));
  const long double Wrapped = std::fmod(std::trunc(Value), 4294967296.0L);
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(Wrapped)));
}

}  // namespace rulecraft
