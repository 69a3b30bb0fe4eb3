#pragma once
// What every built-in function shares: the class declaration macro, reading a call's arguments in a
// context, and the help-text format. The function packages and the standard package build on it.
#include <cstdint>
#include <string>

#include "rulecraft/core/Value.h"
#include "rulecraft/functions/UserFunction.h"

/// Declares a built-in function class Cls: its constructor sets the rule-language name, help text, argument
/// text and argument counts; Evaluate does the work.
#define RC_BUILTIN_FUNCTION(Cls)                                                         \
  class Cls final : public ::rulecraft::TIEUserFunction {                                \
    RC_CLASS(Cls, ::rulecraft::TIEUserFunction)                                          \
   public:                                                                               \
    Cls();                                                                               \
                                                                                         \
   protected:                                                                            \
    void Evaluate(::rulecraft::TFunctionCall& FunCall, ::rulecraft::TIEContext* Context, \
                  ::rulecraft::IIEValue& Result) override;                               \
  }

/// Declares a built-in function class Cls whose result is always a number: as RC_BUILTIN_FUNCTION, plus the
/// number form EvaluateNumber; the constructor calls SetNumberForm and Evaluate answers the number's value.
#define RC_NUMBER_FUNCTION(Cls)                                                                \
  class Cls final : public ::rulecraft::TIEUserFunction {                                      \
    RC_CLASS(Cls, ::rulecraft::TIEUserFunction)                                                \
   public:                                                                                     \
    Cls();                                                                                     \
                                                                                               \
   protected:                                                                                  \
    void Evaluate(::rulecraft::TFunctionCall& FunCall, ::rulecraft::TIEContext* Context,       \
                  ::rulecraft::IIEValue& Result) override;                                     \
    void EvaluateNumber(::rulecraft::TFunctionCall& FunCall, ::rulecraft::TIEContext* Context, \
                        ::rulecraft::TNumber& Result) override;                                \
  }

namespace rulecraft {

/// Argument Index of Call resolved in Context. A missing argument, or a call that left its result empty,
/// reads as nil (FCNil).
IIEValue ResolveArgument(TFunctionCall& Call, int32_t Index, TIEContext* Context);
/// Value resolved in Context; nil for an empty handle or an empty result.
IIEValue ResolveIn(const IIEValue& Value, TIEContext* Context);

/// Argument Index of Call read as a number, as ResolveArgument(...)->GetAsNumeric() reads it (the same
/// errors for a value that is not a number), but a call of a function with a number form hands its number
/// over without making a value.
TNumber ResolveNumber(TFunctionCall& Call, int32_t Index, TIEContext* Context);

/// A function's help text passed through the package-wide comment format.
std::string FunctionComment(const std::string& Text);

}  // namespace rulecraft
