#pragma once
// TRule: the defrule construct: a name, a salience, an ordered list of patterns (the left-hand side) and an
// ordered list of actions (calls). Adding a pattern records where each of its variables is bound; firing a
// rule runs its actions in a context whose variables are bound from the matching token.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "rulecraft/core/Binding.h"
#include "rulecraft/core/Value.h"
#include "rulecraft/framework/Component.h"
#include "rulecraft/functions/Context.h"
#include "rulecraft/functions/FunctionCall.h"
#include "rulecraft/rete/Conditions.h"
#include "rulecraft/rete/Pattern.h"
#include "rulecraft/rete/Token.h"

namespace rulecraft {

class IRuleEngine;
class TIEContext;
class TRule;
class TFiringPlan;

using TRuleFireEvent = std::function<void(TRule* Rule, TIEContext* Context)>;

class TRule : public TComponent {
  RC_CLASS(TRule, TComponent)
 public:
  /// The engine is the owner when that is an engine; the rule takes an identifier from it and the name
  /// "Rule_<id>". The rule is not registered with the engine until SetEngine or the engine adds it.
  explicit TRule(TComponent* AOwner);
  ~TRule() override;

  int32_t GetRuleId() const noexcept { return FRuleId; }
  const TIEName& GetRuleName() const noexcept { return FRuleName; }
  /// Refuses the characters names may not hold; a registered rule is renamed in its engine.
  void SetRuleName(const TIEName& Value);
  const std::string& GetComment() const noexcept { return FComment; }
  void SetComment(const std::string& Value) { FComment = Value; }

  /// The current salience.
  int32_t GetSalience() const noexcept { return FSalience; }
  /// A changed salience replaces the declared salience by that integer and raises Change.
  void SetSalienceInteger(int32_t Value);
  /// The declared salience: an integer, a variable or a call.
  const IIEValue& GetSalienceValue() const noexcept { return FSalienceValue; }
  /// Stores the declared salience and evaluates it.
  void SetSalience(const IIEValue& Value);
  /// Evaluates the declared salience in a child of the engine's context and stores the integer as the
  /// current salience (the declared value is kept, nothing is recompiled); returns the current salience.
  virtual int32_t EvaluateSalience();

  bool GetOneShot() const noexcept { return FOneShot; }
  void SetOneShot(bool Value);
  bool GetEnabled() const noexcept { return FEnabled; }
  void SetEnabled(bool Value);
  bool GetFired() const noexcept { return FFired; }

  IRuleEngine* GetEngine() const noexcept { return FEngine; }
  /// Leaves the old engine's rule collection, takes a new identifier from the new engine and joins its
  /// collection.
  virtual void SetEngine(IRuleEngine* Engine);

  // Patterns (owned, in order).
  int32_t GetPatternCount() const noexcept { return static_cast<int32_t>(FPatterns.size()); }
  TIEPattern* GetPattern(int32_t Index) const;
  int32_t IndexOfPattern(const TIEPattern* Pattern) const noexcept;
  /// Appends Pattern and records its bindings (see AddPattern); returns its final position.
  int32_t AppendPattern(std::unique_ptr<TIEPattern> Pattern);
  void DeletePattern(int32_t Index);
  void ClearPatterns();
  /// Replaces patterns and bindings by copies of Source's patterns (skipping the companions of goal patterns,
  /// which are made again).
  void SetPatterns(const TRule& Source);

  // Conditions written with and/or elements. The rule's own patterns are the first alternative of their
  // expansion; every further alternative is an internal rule the rule owns, sharing its name, properties
  // and actions (copied to it whenever the rule changes), compiled and removed with it by the network.
  /// Takes the elements as the left-hand side: expands them (ExpandConditions), appends the first
  /// alternative's patterns and makes one internal rule per further alternative. Raises what the expansion
  /// and AppendPattern raise.
  void SetConditions(TConditions Elements);
  /// The elements as written; empty for a rule written without and/or elements.
  const TConditions& GetConditions() const noexcept { return FConditions; }
  /// The internal rules of the alternatives after the first.
  int32_t GetAlternativeCount() const noexcept { return static_cast<int32_t>(FAlternatives.size()); }
  TRule* GetAlternative(int32_t Index) const;
  /// The rule an internal rule belongs to; nullptr for a rule of its own.
  TRule* GetPrimary() const noexcept { return FPrimary; }
  /// The innermost negated element holding the pattern at Position (the pattern itself when it is negated,
  /// else the negated conjunction it belongs to) as First..Last; false when the pattern is positive.
  bool GetNegatedElement(int32_t Position, int32_t& First, int32_t& Last) const;

  // Actions (calls, in order).
  int32_t GetActionCount() const noexcept { return static_cast<int32_t>(FActions.size()); }
  const IFunCall& GetAction(int32_t Index) const;
  int32_t AddAction(const IFunCall& Action);
  void InsertAction(int32_t Index, const IFunCall& Action);
  void DeleteAction(int32_t Index);
  void ClearActions();

  // Bindings: where each variable of the rule is bound.
  /// A binding record (name, pattern position, slot, sub-index); an equal existing one is returned instead.
  virtual TBinding* AddBinding(const std::string& Name, int32_t FactIndex, const std::string& SlotIndex,
                               int32_t SubIndex);
  TBinding* GetBinding(int32_t Index) const;
  int32_t GetBindingCount() const noexcept { return static_cast<int32_t>(FBindings.size()); }
  int32_t IndexOfBinding(const std::string& Name) const noexcept;
  /// The first binding of that name, or nullptr.
  TBinding* GetBindingByName(const std::string& Name) const noexcept;

  void BeginUpdate() noexcept { ++FUpdateCount; }
  void EndUpdate();
  /// Outside updates: tells the engine (which recompiles a registered rule) and raises OnChange.
  virtual void Change();

  /// Binds the rule's variables from Token into Context (a fresh child of the engine's context; a frame of
  /// the rule's layout has its slots bound, any other context gets local bindings by name).
  virtual void Prepare(const IReteToken& Token, TIEContext& Context);
  /// Runs the actions in a frame bound from Token (taken from the engine's pool); sets the fired flag.
  virtual void Fire(const IReteToken& Token);
  /// Clears the fired flag.
  virtual void Reset() noexcept;

  /// The rule's name as the string value its firings bind ?__RULE to, kept with the plan of its firings
  /// (made when the rule first fires after a change, or now). Shared: not to be changed.
  const IIEValue& GetNameValue();
  /// The rule's text, through the engine's printer when there is one.
  std::string GetToString() const;
  std::string ToString() const override { return GetToString(); }
  /// From a rule of the same engine: name, flags, comment, copies of patterns and actions, salience; from
  /// another engine's rule: this engine parses the other's text and takes the parsed rule.
  void Assign(const TPersistent* Source) override;

  TRuleFireEvent OnFire;
  std::function<void(TObject* Sender)> OnChange;

 protected:
  /// Runs when a pattern enters the list: owner, initial-fact pattern, goal names, bindings, placeholder
  /// renaming, the first-use check, call substitution, disjunctions and goal companions.
  virtual void AddPattern(TIEPattern& Pattern);
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  void InsertPattern(int32_t Index, std::unique_ptr<TIEPattern> Pattern);
  /// Copies name, comment, salience, flags, handlers and actions to the internal rules.
  void SyncAlternatives();
  /// The plan of a firing, made when the rule first fires after a change.
  const TRef<TFiringPlan>& GetFiringPlan();

  int32_t FRuleId = 0;
  int32_t FSalience = 0;
  std::string FComment;
  TIEName FRuleName;
  IIEValue FSalienceValue;
  std::vector<IFunCall> FActions;
  std::vector<std::unique_ptr<TIEPattern>> FPatterns;
  std::vector<std::unique_ptr<TBinding>> FBindings;
  IRuleEngine* FEngine = nullptr;
  TConditions FConditions;
  std::vector<std::unique_ptr<TRule>> FAlternatives;
  TRule* FPrimary = nullptr;
  /// Dropped by every change of patterns, bindings, actions or name.
  TRef<TFiringPlan> FPlan;
  int32_t FUpdateCount = 0;
  bool FOneShot = false;
  bool FFired = false;
  bool FEnabled = true;
};

/// Gives every variable of Call (nested calls included) whose name is a key of Renames its new name.
void SubstFunCall(TFunctionCall& Call, const std::vector<std::pair<std::string, std::string>>& Renames);

/// The stand-alone text of a rule, and of one part of it (patterns or actions).
std::string PrettyPrintRule(const TRule& Rule);
std::string PrettyPrintRule(const TRule& Rule, TRuleConstruct Part);

}  // namespace rulecraft
