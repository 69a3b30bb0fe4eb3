#pragma once
// What the function packages share: the built-in function helpers (BuiltinFunction.h) and checked
// floating-point arithmetic.
//
// Arithmetic never yields a silent NaN or infinity: a result outside a double's domain raises EMathError
// with the runtime's message: "Invalid floating point operation" for a NaN (0/0, log or sqrt of a negative
// number, asin of 2 ...), "Floating point division by zero" for a finite number divided by zero (log of
// zero, 1/tan 0 ...), "Floating point overflow" for a result beyond the double range. Integer division and
// remainder by zero raise "Division by zero".
#include <cstdint>
#include <string>

#include "rulecraft/core/Value.h"
#include "rulecraft/functions/BuiltinFunction.h"

namespace rulecraft {

/// Raises EMathError with Message.
[[noreturn]] void RaiseMathError(const char* Message);

/// Value as a double: NaN raises "Invalid floating point operation", infinity (or a finite extended value
/// beyond the double range) "Floating point overflow".
double CheckedFloat(long double Value);
/// X / Y. A zero divisor raises "Floating point division by zero", or "Invalid floating point operation"
/// when X is zero (or NaN) too. The quotient is not checked: callers check the final result.
long double CheckedDivide(long double X, long double Y);
/// Raises for a logarithm's argument outside its domain: zero "Floating point division by zero", a negative
/// number or NaN "Invalid floating point operation".
void CheckLogDomain(long double X);
/// The natural logarithm: zero raises "Floating point division by zero", a negative number or NaN
/// "Invalid floating point operation".
long double CheckedLn(long double X);
/// The square root: a negative number or NaN raises "Invalid floating point operation".
long double CheckedSqrt(long double X);

/// A whole-number total as a 32-bit integer: truncated toward zero and wrapped modulo 2^32, as a
/// conversion through a 64-bit integer does. NaN and infinity raise as CheckedFloat does.
int32_t WrapToInt32(long double Value);

}  // namespace rulecraft
