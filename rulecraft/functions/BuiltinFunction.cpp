#include "rulecraft/functions/BuiltinFunction.h"

#include <typeinfo>

#include "rulecraft/core/Constants.h"
#include "rulecraft/framework/Format.h"
#include "rulecraft/functions/Context.h"
#include "rulecraft/functions/FunctionCall.h"

namespace rulecraft {

namespace {

/// The call Value holds when it is one of this layer's calls that may have a number form (its function has
/// one, or is not bound yet); nullptr otherwise.
TFunctionCall* NumberCallOf(const TIEValue& Value) noexcept {
  TFunctionCall* Call = CallOf(Value);
  if (!Call) return nullptr;
  const IUserFunction& Function = Call->GetUserFunction();
  return !Function || Function->HasNumberForm() ? Call : nullptr;
}

}  // namespace

void ResolveSlow(TIEValue& Value, TIEContext* Context, IIEValue& Result) {
  if (Value.GetDType() == dtFunCall) {
    // Held while it runs: its result may replace the value's payload. A call of this layer runs in the
    // context as it is, without asking the context what it is.
    if (const IFunCall Call(CallOf(Value)); Call) {
      Call->Execute(Context, Result);
      if (!Result) Result = FCNil;
      return;
    }
  }
  Value.Resolve(Context, Result);
  if (!Result) Result = FCNil;
}

TNumber ResolveNumberSlow(TFunctionCall& Call, int32_t Index, TIEContext* Context) {
  const IIEValue& Argument = Call.GetArgument(Index);
  TNumber Number;
  if (Argument && Argument->GetDType() == dtFunCall) {
    // Held while it runs, as Resolve holds it.
    const IFunCall Inner(NumberCallOf(*Argument));
    if (Inner && Inner->ExecuteNumber(Context, Number)) return Number;
  }
  const IIEValue Value = ResolveIn(Argument, Context);
  Number.Value = Value->GetAsNumeric();
  Number.IsFloat = Value->GetDType() == dtFloat;
  return Number;
}

int32_t ResolveIntegerSlow(TFunctionCall& Call, int32_t Index, TIEContext* Context) {
  const IIEValue& Argument = Call.GetArgument(Index);
  if (Argument && Argument->GetDType() == dtFunCall) {
    const IFunCall Inner(NumberCallOf(*Argument));
    TNumber Number;
    if (Inner && Inner->ExecuteNumber(Context, Number))
      // A whole number is the integer itself; a float is read as its value would be.
      return Number.IsFloat ? Number.ToValue()->GetAsInteger() : static_cast<int32_t>(Number.Value);
  }
  return ResolveIn(Argument, Context)->GetAsInteger();
}

std::string FunctionComment(const std::string& Text) { return Format(CommentFormat, {Text}); }

}  // namespace rulecraft
