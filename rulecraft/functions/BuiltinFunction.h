#pragma once
// What every built-in function shares: the class declaration macro, reading a call's arguments in a
// context, and the help-text format. The function packages and the standard package build on it.
#include <cstdint>
#include <string>
#include <utility>

#include "rulecraft/core/Binding.h"
#include "rulecraft/core/Value.h"
#include "rulecraft/core/ValueSupport.h"
#include "rulecraft/functions/Context.h"
#include "rulecraft/functions/FunctionCall.h"
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

/// Declares a built-in function class Cls whose result is always a number: its constructor passes
/// TNumberFunction the same texts and counts as RC_BUILTIN_FUNCTION's, and EvaluateNumber does the work.
#define RC_NUMBER_FUNCTION(Cls)                                                                \
  class Cls final : public ::rulecraft::TNumberFunction {                                      \
    RC_CLASS(Cls, ::rulecraft::TNumberFunction)                                                \
   public:                                                                                     \
    Cls();                                                                                     \
                                                                                               \
   protected:                                                                                  \
    void EvaluateNumber(::rulecraft::TFunctionCall& FunCall, ::rulecraft::TIEContext* Context, \
                        ::rulecraft::TNumber& Result) override;                                \
  }

namespace rulecraft {

/// Value resolved in Context into Result (nil for an empty result): the general case of ResolveIn.
void ResolveSlow(TIEValue& Value, TIEContext* Context, IIEValue& Result);
/// The general case of ResolveNumber.
TNumber ResolveNumberSlow(TFunctionCall& Call, int32_t Index, TIEContext* Context);
/// The general case of ResolveInteger.
int32_t ResolveIntegerSlow(TFunctionCall& Call, int32_t Index, TIEContext* Context);

/// A built-in function whose result is always a number: it has a number form (EvaluateNumber), and its
/// value form answers the number's value.
class TNumberFunction : public TIEUserFunction {
  RC_CLASS(TNumberFunction, TIEUserFunction)
 protected:
  TNumberFunction(std::string Name, int32_t MinArguments, int32_t MaxArguments, std::string Comment,
                  std::string ArgumentString)
      : TIEUserFunction(std::move(Name), MinArguments, MaxArguments, std::move(Comment),
                        std::move(ArgumentString)) {
    SetNumberForm();
  }
  void Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) final {
    TNumber Number;
    EvaluateNumber(FunCall, Context, Number);
    Result = Number.ToValue();
  }
};

/// Value resolved in Context; nil for an empty handle or an empty result. Inline for the common cases (a
/// constant, a bound variable); a call and everything else resolve through ResolveSlow.
inline IIEValue ResolveIn(const IIEValue& Value, TIEContext* Context) {
  IIEValue Result;
  if (!Value) {
    Result = FCNil;
    return Result;
  }
  switch (Value->GetDType()) {
    case dtVariable:
    case dtMultiVariable:
      if (Context)
        if (const TBinding* Binding = Context->FindVariable(*Value); Binding && Binding->GetValue()) {
          Result = Binding->GetValue();
          return Result;
        }
      break;
    case dtFunCall:
    case dtObject:
    case dtSingletons:
      break;
    default:
      Result = Value;
      return Result;
  }
  ResolveSlow(*Value, Context, Result);
  return Result;
}

/// Argument Index of Call resolved in Context. A missing argument, or a call that left its result empty,
/// reads as nil (FCNil).
inline IIEValue ResolveArgument(TFunctionCall& Call, int32_t Index, TIEContext* Context) {
  return ResolveIn(Call.GetArgument(Index), Context);
}

/// Argument Index of Call when it is a constant, or a variable bound to a value: that value itself, without
/// a new reference (valid until something runs); nullptr when the argument needs evaluating.
inline const TIEValue* PeekArgument(TFunctionCall& Call, int32_t Index, TIEContext* Context) {
  const TIEValue* Value = Call.GetArgument(Index).get();
  if (!Value) return nullptr;
  switch (Value->GetDType()) {
    case dtVariable:
      if (Context)
        if (const TBinding* Binding = Context->FindVariable(*Value); Binding && Binding->GetValue())
          return Binding->GetValue().get();
      return nullptr;
    case dtObject:
      // A variable of the rule's patterns read where the matched fact holds it.
      if (Context)
        if (const TBindingInfo* Record = AsBindingRecord(Value->GetAsObject()))
          return Context->PeekBindingRecord(*Record);
      return nullptr;
    case dtMultiVariable:
    case dtFunCall:
    case dtSingletons:
      return nullptr;
    default:
      return Value;
  }
}

/// Argument Index of Call read as a number, as ResolveArgument(...)->GetAsNumeric() reads it (the same
/// errors for a value that is not a number), but a call of a function with a number form hands its number
/// over without making a value, and a number or a variable bound to one is read in place.
inline TNumber ResolveNumber(TFunctionCall& Call, int32_t Index, TIEContext* Context) {
  if (const TIEValue* Value = PeekArgument(Call, Index, Context)) {
    if (Value->GetDType() == dtInteger) return TNumber{static_cast<double>(Value->IntegerPayload()), false};
    if (Value->GetDType() == dtFloat) return TNumber{Value->FloatPayload(), true};
  }
  return ResolveNumberSlow(Call, Index, Context);
}

/// Argument Index of Call read as an integer, as ResolveArgument(...)->GetAsInteger() reads it.
inline int32_t ResolveInteger(TFunctionCall& Call, int32_t Index, TIEContext* Context) {
  if (const TIEValue* Value = PeekArgument(Call, Index, Context))
    if (Value->GetDType() == dtInteger) return Value->IntegerPayload();
  return ResolveIntegerSlow(Call, Index, Context);
}

/// A function's help text passed through the package-wide comment format.
std::string FunctionComment(const std::string& Text);

}  // namespace rulecraft
