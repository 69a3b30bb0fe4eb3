#pragma once
// The math package: arithmetic, rounding, logarithms, powers, minimum and maximum, and the pseudo-random
// generator.
//
// Integer results are 32-bit: a total computed in extended floating point is truncated toward zero and
// wrapped modulo 2^32 (as GetAsInteger wraps a large float), so (+ 2147483647 1) is -2147483648. Floating
// results are checked: a NaN or infinite result raises EMathError (see PackageHelpers.h), and integer
// division or remainder by zero raises "Division by zero".
#include <cstdint>

#include "rulecraft/functions/UserPackage.h"
#include "rulecraft/packages/PackageHelpers.h"

namespace rulecraft {

/// (abs <numeric-expression>): an integer's or a float's absolute value, of the same kind; any other kind
/// raises "Expected numeric argument to abs function call". The absolute value of -2147483648 wraps to
/// itself.
RC_BUILTIN_FUNCTION(TAbsFunction);
/// (div <integer-expression>+): the first integer reading divided, truncating, by each further one.
RC_NUMBER_FUNCTION(TIntegerDivideFunction);
/// (/ <numeric-expression>+): the first numeric reading divided by each further one; always a float.
RC_NUMBER_FUNCTION(TDivideFunction);
/// (exp <numeric-expression>): e raised to the argument; a float.
RC_BUILTIN_FUNCTION(TExpFunction);
/// (** <numeric-expression> <numeric-expression>): the first argument raised to the real power of the second.
RC_BUILTIN_FUNCTION(TExptFunction);
/// (float <numeric-expression>): the numeric reading as a float.
RC_BUILTIN_FUNCTION(TFloatFunction);
/// (integer <numeric-expression>): the integer reading (a float truncated toward zero).
RC_BUILTIN_FUNCTION(TIntegerFunction);
/// (log <numeric-expression>): the natural logarithm.
RC_BUILTIN_FUNCTION(TLogFunction);
/// (log10 <numeric-expression>): the logarithm base 10.
RC_BUILTIN_FUNCTION(TLog10Function);
/// (max <numeric-expression>+): the largest argument; a later argument wins only when strictly larger.
RC_NUMBER_FUNCTION(TMaxFunction);
/// (min <numeric-expression>+): the smallest argument; a later argument wins only when strictly smaller.
RC_NUMBER_FUNCTION(TMinFunction);
/// (- <numeric-expression>+): the first argument minus each further one; one argument is answered as is.
RC_NUMBER_FUNCTION(TMinusFunction);
/// (mod <integer-expression> <integer-expression>): the remainder of truncating division (sign of the first).
RC_NUMBER_FUNCTION(TModFunction);
/// (PI): the shared constant FCPI itself.
RC_BUILTIN_FUNCTION(TPiFunction);
/// (+ <numeric-expression>*): the sum; a float when any argument is a float.
RC_NUMBER_FUNCTION(TPlusFunction);
/// (random [[<low>] <high>]): 0..65535; 0..high-1; low..low+high-1. A high of 0 or less gives low.
RC_BUILTIN_FUNCTION(TRandomFunction);
/// (randomize [<seed>]): seeds the generator from the clock, or with the seed; answers TRUE.
RC_BUILTIN_FUNCTION(TRandomizeFunction);
/// (round <numeric-expression>): the nearest whole number, ties to the even one, as a float (never -0.0).
RC_BUILTIN_FUNCTION(TRoundFunction);
/// (seed <integer-expression>): seeds the generator; answers TRUE.
RC_BUILTIN_FUNCTION(TSeedFunction);
/// (sqrt <numeric-expression>): the square root.
RC_BUILTIN_FUNCTION(TSqrtFunction);
/// (* <numeric-expression>*): the product; a float when any argument is a float.
RC_NUMBER_FUNCTION(TTimesFunction);

class TMathPackage : public TUserPackage {
  RC_CLASS(TMathPackage, TUserPackage)
 public:
  using TUserPackage::TUserPackage;
  /// Adds the functions in table order: abs div / exp ** float integer log log10 max min - mod PI + random
  /// randomize round seed sqrt *.
  void CreateFunctions() override;
};

/// The next number of the random sequence of the engine Context evaluates for (of the thread, outside any
/// engine): a uniform integer in 0..Range-1 (0 when Range is 0).
uint32_t RandomInteger(TIEContext* Context, uint32_t Range);
/// Restarts that sequence from Seed.
void SeedRandom(TIEContext* Context, uint32_t Seed);

}  // namespace rulecraft
