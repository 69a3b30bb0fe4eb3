#pragma once
// IRuleEngine: what patterns and rules need of the engine: generated symbols, rule identifiers, the
// initial-fact pattern and the null fact, the rule collection (registration, renaming, recompiling after a
// change), parsing rule text, printing patterns and rules, and the engine's evaluation context.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "rulecraft/functions/FunctionEngine.h"

namespace rulecraft {

class TIEPattern;
class TRule;
class TIEContext;
class TActivation;

class IRuleEngine : public IFunctionEngine {
 public:
  using IFunctionEngine::PrettyPrint;

  /// Prefix followed by the engine's symbol counter, which then advances.
  virtual std::string GenerateSymbol(const std::string& Prefix) = 0;
  /// The next rule identifier (the counter, then incremented).
  virtual int32_t NewRuleId() = 0;
  /// The pattern on the template "Initial-Fact" that rules needing a first pattern start with.
  virtual const TIEPattern* GetInitialFactPattern() const = 0;
  /// The placeholder fact the network uses for not and test elements.
  virtual const IFact& GetNullFact() const = 0;
  /// The engine's outermost evaluation context.
  virtual TIEContext* GetContext() = 0;

  /// Enters Rule in the engine's rule collection under its name (and so into the network).
  virtual void RegisterRule(TRule* Rule) = 0;
  /// Takes Rule out of the collection and the network without freeing it.
  virtual void UnregisterRule(TRule* Rule) = 0;
  /// True when Rule is the rule stored under its name.
  virtual bool IsRuleRegistered(const TRule* Rule) const = 0;
  /// Moves the rule stored under OldName to NewName.
  virtual void RenameRule(const std::string& OldName, const std::string& NewName) = 0;
  /// Told when a registered rule changed: it is compiled again.
  virtual void RuleChange(TRule* Rule) = 0;
  /// A rule read from Text (owned by the caller).
  virtual std::unique_ptr<TRule> ParseRule(const std::string& Text) = 0;

  virtual std::string PrettyPrint(const TIEPattern& Pattern) = 0;
  virtual std::string PrettyPrint(const TRule& Rule) = 0;

  // What the network needs while tokens flow.
  /// Puts a new activation on the agenda; the agenda owns it from here on.
  virtual void AddActivation(std::unique_ptr<TActivation> Activation) = 0;
  /// Takes the activation off the agenda and frees it.
  virtual void RemoveActivation(TActivation* Activation) = 0;
  /// Told after an activation's rule fired (the activation is no longer on the agenda).
  virtual void RuleFired(TActivation* Activation) = 0;
  /// The facts of the fact base in order, for priming new network nodes.
  virtual std::vector<IFact> GetFactList() const = 0;
  /// Queues a goal fact asked for by backward chaining; it is asserted once the current change has finished.
  virtual void AddPendingFact(const IFact& Fact) = 0;

 protected:
  ~IRuleEngine() = default;
};

}  // namespace rulecraft
