#include "rulecraft/functions/BuiltinFunction.h"

#include "rulecraft/core/Constants.h"
#include "rulecraft/framework/Format.h"
#include "rulecraft/functions/Context.h"
#include "rulecraft/functions/FunctionCall.h"

namespace rulecraft {

IIEValue ResolveIn(const IIEValue& Value, TIEContext* Context) {
  if (!Value) return FCNil;
  IIEValue Result;
  Value->Resolve(Context, Result);
  return Result ? Result : FCNil;
}

IIEValue ResolveArgument(TFunctionCall& Call, int32_t Index, TIEContext* Context) {
  return ResolveIn(Call.GetArgument(Index), Context);
}

TNumber ResolveNumber(TFunctionCall& Call, int32_t Index, TIEContext* Context) {
  const IIEValue& Argument = Call.GetArgument(Index);
  TNumber Number;
  if (Argument && Argument->GetDType() == dtFunCall) {
    // Held while it runs, as Resolve holds it.
    const IFunCall Inner = Argument->GetAsFunCall();
    if (Inner && Inner->ExecuteNumber(Context, Number)) return Number;
  }
  const IIEValue Value = ResolveIn(Argument, Context);
  Number.Value = Value->GetAsNumeric();
  Number.IsFloat = Value->GetDType() == dtFloat;
  return Number;
}

std::string FunctionComment(const std::string& Text) { return Format(CommentFormat, {Text}); }

}  // namespace rulecraft
