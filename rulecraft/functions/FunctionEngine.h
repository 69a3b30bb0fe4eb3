#pragma once
// IFunctionEngine: what evaluation contexts, function calls, functions and packages need of the engine: the
// fact-layer services, the engine's function table (exact, case-sensitive names) and the fuzzy-expression
// evaluator that resolving a fuzzy fact uses. The engine implements it.
#include <string>
#include <vector>

#include "rulecraft/facts/FactEngine.h"
#include "rulecraft/framework/Ref.h"
#include "rulecraft/functions/EvaluationState.h"

namespace rulecraft {

class TIEUserFunction;
class TIEContext;
using IUserFunction = TRef<TIEUserFunction>;

class IFunctionEngine : public IFactEngine {
 public:
  using IFactEngine::EvalFuzzyExpression;

  /// Stores Function under its name; a name already present is handled by the function table's policy.
  virtual void AddUserFunction(const IUserFunction& Function) = 0;
  /// Removes the entry stored under Function's name.
  virtual void RemoveUserFunction(const IUserFunction& Function) = 0;
  virtual bool ContainsUserFunction(const std::string& Name) = 0;
  virtual bool ContainsUserFunction(const std::string& Name, IUserFunction& Function) = 0;
  /// The function of that exact name, or nil.
  virtual IUserFunction GetUserFunction(const std::string& Name) = 0;
  virtual std::vector<IUserFunction> GetUserFunctions() = 0;
  virtual void SetUserFunction(const std::string& Name, const IUserFunction& Function) = 0;
  /// The fuzzy value Value stands for in Variable, resolved in Context.
  virtual IFuzzySet EvalFuzzyExpression(TIFuzzyVariable* Variable, const IIEValue& Value,
                                        TIEContext* Context) = 0;
  /// The contents of a fuzzy multislot: a multifield of the fuzzy values of the expressions Value holds (an
  /// operand right after a complete operand starts the next); empty for an empty multifield.
  virtual IIEValue EvalFuzzyValue(TIFuzzyVariable* Variable, const IIEValue& Value, TIEContext* Context) = 0;
  /// The engine's nesting counters and random sequence. By default the calling thread's, for engines that
  /// keep none of their own.
  virtual TEvaluationState& GetEvaluationState() noexcept { return ThreadEvaluationState(); }

 protected:
  ~IFunctionEngine() = default;
};

}  // namespace rulecraft
