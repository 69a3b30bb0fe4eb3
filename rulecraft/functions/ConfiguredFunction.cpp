#include "rulecraft/functions/ConfiguredFunction.h"

#include "rulecraft/functions/BuiltinFunction.h"

namespace rulecraft {

void SetupFunction(TIEUserFunction& Function, const std::string& Name, int32_t Min, int32_t Max,
                   const std::string& Comment, const std::string& Arguments) {
  Function.SetFunctionName(Name);
  Function.SetComment(FunctionComment(Comment));
  Function.SetArgumentString(Arguments);
  // The counts move in the order that keeps Min <= Max on the way.
  if (Min > Function.GetMaxArgumentCount()) {
    Function.SetMaxArgumentCount(Max);
    Function.SetMinArgumentCount(Min);
  } else {
    Function.SetMinArgumentCount(Min);
    Function.SetMaxArgumentCount(Max);
  }
}

}  // namespace rulecraft
