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

namespace rulecraft {

/// Argument Index of Call resolved in Context. A missing argument, or a call that left its result empty,
/// reads as nil (FCNil).
IIEValue ResolveArgument(TFunctionCall& Call, int32_t Index, TIEContext* Context);
/// Value resolved in Context; nil for an empty handle or an empty result.
IIEValue ResolveIn(const IIEValue& Value, TIEContext* Context);

/// A function's help text passed through the package-wide comment format.
std::string FunctionComment(const std::string& Text);

}  // namespace rulecraft
