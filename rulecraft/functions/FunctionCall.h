#pragma once
// TFunctionCall: a call by name with a list of unevaluated argument values. The first execution looks the
// name up in the call's engine and keeps the function found; the function receives the call itself and
// resolves the arguments it needs, when it needs them. Held through IFunCall.
#include <cstdint>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include "rulecraft/core/Value.h"
#include "rulecraft/facts/Fact.h"

namespace rulecraft {

class IFunctionEngine;
class TIEContext;
class TIEUserFunction;
struct TEvaluationState;
struct TNumber;
class TNumberPlan;
using IUserFunction = TRef<TIEUserFunction>;

class TFunctionCall final : public TFunCallBase {
  RC_CLASS(TFunctionCall, TFunCallBase)
 public:
  explicit TFunctionCall(IFunctionEngine* Reasoner = nullptr, std::string Name = std::string());
  ~TFunctionCall() override;

  // ICloneable
  using ICloneable::Assign;
  /// Copies name, tag, comment and clones of the arguments; the engine and the bound function are not copied.
  void Assign(const TPersistent* Source) override;
  void Assign(const ICloneableRef& Source) override;
  ICloneableRef CloneInterface() const override { return Clone(); }
  /// A call with this call's engine and name, assigned from this one (it looks its function up again).
  IFunCall Clone() const;
  /// Same name and argument count, and every argument equal (kind and value) to the other's.
  bool Equals(const ICloneable* Other) const override;
  bool Equals(const IFunCall& Other) const { return Equals(static_cast<const ICloneable*>(Other.get())); }
  int32_t GetTag() const override { return FTag; }
  void SetTag(int32_t Value) override { FTag = Value; }

  /// Each appends one argument and returns its index. A kind that does not fit the payload raises
  /// "Not a %s type.  Value (%s) is a %s type" ("String", "Integer" or "Float").
  int32_t AddArgument(const IIEValue& Value);
  int32_t AddArgument(double Value, TIEType Kind);
  int32_t AddArgument(int32_t Value, TIEType Kind);
  int32_t AddArgument(const std::string& Text, TIEType Kind);
  int32_t AddArgument(const IFact& Fact);
  int32_t AddArgument(const IFunCall& Call);
  int32_t AddArgument(const IValueVector& List);
  void Clear() noexcept {
    FArguments.clear();
    Changed();
  }
  void Delete(int32_t Index);
  /// The argument value object itself (not a copy); raises EListError outside the list.
  const IIEValue& GetArgument(int32_t Index) const {
    if (static_cast<uint32_t>(Index) >= FArguments.size()) RaiseNoArgument(Index);
    return FArguments[static_cast<size_t>(Index)];
  }
  void SetArgument(int32_t Index, const IIEValue& Value);
  int32_t GetArgumentCount() const noexcept { return static_cast<int32_t>(FArguments.size()); }
  const std::vector<IIEValue>& GetArguments() const noexcept { return FArguments; }

  /// The bound function, or nil before the first execution.
  const IUserFunction& GetUserFunction() const noexcept { return FFunction; }
  /// Forgets the bound function (the call looks its name up again when it next runs).
  void Unbind() noexcept;
  /// Binds Function and takes its name (the empty text for nil).
  void SetUserFunction(const IUserFunction& Function);
  IFunctionEngine* GetReasoner() const noexcept { return FReasoner; }
  const std::string& GetName() const noexcept { return FName; }
  const std::string& GetComment() const noexcept { return FComment; }
  /// Counts the changes of the call's arguments and bound function: a plan of a call above this one
  /// (TNumberPlan) keeps the count it saw and checks it.
  uint32_t GetVersion() const noexcept { return FVersion; }
  /// True when the call evaluates its tree in one pass (a plan was built and the call has not changed since).
  bool HasPlan() const noexcept { return FPlan != nullptr; }
  void SetComment(const std::string& Value) { FComment = Value; }

  /// Binds the function on first use ("Function is unimplemented or unassigned: %s" when the engine does not
  /// know the name) and calls it with this call, Context and Result. A text or multifield result longer
  /// than the engine allows (TEvaluationState) raises SStringTooLong or SMultifieldTooLong.
  void Execute(TResolveContext* Context, IIEValue& Result) override;
  void Execute(TIEContext* Context, IIEValue& Result);
  /// As Execute, for a caller that wants a number: when the function has a number form it answers its result
  /// in Result without making a value and returns true; otherwise it returns false having run nothing (the
  /// function is bound all the same), and the caller executes the call as usual.
  bool ExecuteNumber(TIEContext* Context, TNumber& Result);
  /// Calls the bound function and discards the result; raises when no function is bound.
  void SimpleExecute(TIEContext* Context);

  /// The call's text through its engine's printer, or "(name arg ...)".
  std::string GetToString() const override;
  std::string ToString() const override { return GetToString(); }
  /// CalculateHash of the name plus the arguments' hashes (32-bit wrapping).
  int32_t GetHashCode() const override;

 private:
  /// Notes a change of the arguments or of the bound function: the plan is dropped and the version moves.
  void Changed() noexcept;
  /// The call's plan, built when it can be (the function bound and every call below it too); nullptr when
  /// the call runs the general way.
  TNumberPlan* Plan() noexcept {
    if (FPlanState == PlanNone) return nullptr;  // most calls: one compare
    if (FPlanState == PlanReady) return FPlan.get();
    return FFunction ? BuildPlan() : nullptr;
  }
  /// Tries to build the plan (Plan's slow path).
  TNumberPlan* BuildPlan() noexcept;
  /// Counts a run the plan left to the general path; drops the plan after MaxPlanMisses in a row.
  void PlanMissed() noexcept;
  /// Binds the function of the call's name on first use ("Function is unimplemented or unassigned: %s").
  void Bind();
  [[noreturn]] static void RaiseNoArgument(int32_t Index);
  /// Raises when Result is a text or multifield longer than State allows.
  void CheckBuilt(const TEvaluationState& State, const TIEValue& Result) const;
  /// The evaluation state of the call's engine (of the thread without one).
  TEvaluationState& State() { return FState ? *FState : FindState(); }
  TEvaluationState& FindState();

  IFunctionEngine* FReasoner;
  /// The engine's own state, kept once found; nullptr while unknown, and when the engine answers the
  /// thread's state (which is not kept: the call may run on another thread later).
  TEvaluationState* FState = nullptr;
  std::vector<IIEValue> FArguments;
  IUserFunction FFunction;
  /// The tree evaluated in one pass, when it is made only of integer arithmetic and comparisons.
  std::unique_ptr<TNumberPlan> FPlan;
  uint32_t FVersion = 0;
  /// FPlanState below PlanNone counts the tries that found a call of the tree not bound yet; at PlanNone
  /// the call stops trying (and runs the general way); PlanReady when FPlan is built.
  static constexpr uint8_t PlanNone = 3;
  static constexpr uint8_t PlanReady = 4;
  uint8_t FPlanState = 0;
  /// How many runs in a row the plan left to the general path.
  uint8_t FPlanMisses = 0;
  std::string FName;
  int32_t FTag = 0;
  std::string FComment;
};

inline IFunCall TIEValue::GetAsFunCall() const { return StaticRefCast<TFunctionCall>(GetAsFunCallBase()); }

/// The stand-alone text of a call: "(" + name, the arguments' text forms separated by blanks, ")".
std::string PrettyPrintFunCall(const TFunctionCall& Call);

/// The call Value holds when it is a TFunctionCall (not another kind of call), without a new reference;
/// nullptr otherwise.
inline TFunctionCall* CallOf(const TIEValue& Value) noexcept {
  TFunCallBase* Base = Value.PeekFunCall();
  return Base && typeid(*Base) == typeid(TFunctionCall) ? static_cast<TFunctionCall*>(Base) : nullptr;
}

}  // namespace rulecraft
