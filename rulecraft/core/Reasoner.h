#pragma once
// IReasoner: what defined types, facts, function calls and functions need of the engine they belong to. The
// engine implements it; the layers below only hold a plain pointer to it. This part holds the printing
// operations every layer needs; the function layer extends it with the engine's function table.
#include <string>

#include "rulecraft/framework/Ref.h"

namespace rulecraft {

class TFact;
class TFunctionCall;
class TIEUserFunction;
class TInterpretedFunction;
class TIEDefinedType;

class IReasoner {
 public:
  /// The rule-language text of each kind of object, written by the engine's printer.
  virtual std::string PrettyPrint(const TFunctionCall& FunCall) = 0;
  virtual std::string PrettyPrint(const TFact& Fact) = 0;
  virtual std::string PrettyPrint(const TIEUserFunction& Function) = 0;
  virtual std::string PrettyPrint(const TInterpretedFunction& Function) = 0;
  virtual std::string PrettyPrint(const TIEDefinedType& DefinedType) = 0;

 protected:
  ~IReasoner() = default;
};

}  // namespace rulecraft
