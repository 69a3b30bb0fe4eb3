#pragma once
// TNumberPlan: a call tree made only of integer arithmetic and numeric comparisons, nesting at least one
// call in another, flattened into one array of steps, so that evaluating it is a single loop instead of one
// function call, one argument check and one context look-up per level and per variable. A call builds its
// plan the first time it runs with every call of its tree bound; the plan is dropped when the call changes,
// and checks the calls below it each time.
//
// The plan answers only when every number it meets is an integer and every sum, difference and product fits
// in 64 bits; then its result is the one the functions give (each call's whole-number total wrapped to 32
// bits, comparisons on the integers' values). Anything else (a float, a value that is not a number, an
// overflow, a changed call, a missing binding) makes it give up having changed nothing, and the call runs
// the general way, which gives the result or the error it always gave.
#include <cstdint>
#include <memory>
#include <vector>

#include "rulecraft/functions/UserFunction.h"

namespace rulecraft {

class TBindingInfo;
class TFact;
class TFunctionCall;
class TTokenBase;
class TIEContext;
class TIEValue;

class TNumberPlan {
 public:
  /// The outcome of building a plan for a call.
  enum TBuildResult : uint8_t {
    brReady,  // built
    brLater,  // a call of the tree is not bound yet: try again after it has run
    brNever,  // the tree holds something a plan does not evaluate
  };
  /// The outcome of running a plan.
  enum TRunResult : uint8_t { rrFalse, rrTrue, rrNumber, rrGiveUp };

  /// Builds the plan of Call, whose function is bound. Plan is set only for brReady.
  static TBuildResult Build(TFunctionCall& Call, std::unique_ptr<TNumberPlan>& Plan);

  /// Evaluates the tree in Context. A comparison answers rrTrue or rrFalse, arithmetic rrNumber with its
  /// 32-bit result in Number; rrGiveUp when the general path must evaluate the call.
  TRunResult Run(TIEContext* Context, int32_t& Number) const;
  /// True when the root is a comparison (its result is a truth value, not a number).
  bool IsComparison() const noexcept { return FComparison; }
  /// How many calls deep the tree nests (1 for a call whose arguments are all leaves).
  int32_t GetDepth() const noexcept { return FDepth; }

 private:
  /// The most distinct pattern variables a plan reads.
  static constexpr int32_t MaxRecords = 64;
  enum TStepKind : uint8_t {
    skConstant,  // an argument value read in place: it must be an integer
    skRecord,    // a variable of the rule's patterns (a binding record), read once per run
    skVariable,  // a variable of the context, found by the context
    skCall,      // a call of the tree: combines the Count values before it
    skScaled,    // a product of an integer constant (Factor) and a pattern variable, in one step
  };
  struct TStep {
    TStepKind Kind = skConstant;
    TArithmeticKind Operation = akNone;
    /// skCall: the argument count; skRecord, skScaled: the variable's entry (its bit in TRun::Loaded).
    int32_t Count = 0;
    /// The argument value of the parent call (the call's own value for a call step).
    const TIEValue* Holder = nullptr;
    /// skRecord: the binding record the holder owned when the plan was built.
    const TBindingInfo* Record = nullptr;
    /// skScaled: the constant's argument value, and whether it is written before the variable.
    const TIEValue* Factor = nullptr;
    bool FactorFirst = false;
  };
  /// A call below the root, as it was when the plan was built: checked before each run, parents first.
  struct TCallCheck {
    const TIEValue* Holder;
    TFunctionCall* Call;
    uint32_t Version;
  };

  TNumberPlan() = default;
  /// Appends the steps of Call's arguments and then Call's own step; false when Call cannot be planned
  /// (Later set when only an unbound call stood in the way).
  bool AddCall(TFunctionCall& Call, const TIEValue* Holder, int32_t Depth, bool& Later);
  /// Appends the step reading Argument (a leaf) at stack height Height; false when it is not a leaf a plan
  /// reads (a float, a text, a multifield variable, ...).
  bool AddLeaf(const TIEValue* Argument, int32_t Height);
  /// What one run reads: the context's partial match and fact, and the pattern variables read so far.
  struct TRun {
    TIEContext* Context = nullptr;
    const TTokenBase* Token = nullptr;
    TFact* Matched = nullptr;
    uint64_t Loaded = 0;  // which entries of Records are read
    int32_t Records[MaxRecords];
  };
  /// Evaluates the steps [Begin, End) onto an empty Stack, leaving their value in Stack[0]; false to give
  /// up.
  bool Evaluate(TRun& State, size_t Begin, size_t End, int64_t* Stack) const;
  /// The integer the pattern variable of Step (skRecord, skScaled) holds, read once per run; false to give
  /// up.
  [[gnu::always_inline]] static bool ReadRecord(TRun& State, const TStep& Step, int64_t& Value);

  std::vector<TStep> FSteps;
  std::vector<TCallCheck> FChecks;
  /// For a comparison root: where the steps of each of its operands end.
  std::vector<size_t> FOperandEnds;
  /// While building: the distinct variables of the rule's patterns the tree reads (by position), each read
  /// once per run; emptied when the plan is built.
  std::vector<const TBindingInfo*> FRecords;
  int32_t FDepth = 1;
  int32_t FMaxStack = 0;
  int32_t FStackHeight = 0;  // while building: the height of the stack after the steps so far
  TArithmeticKind FRootOperation = akNone;
  bool FComparison = false;
};

}  // namespace rulecraft
