#include "rulecraft/functions/NumberPlan.h"

#include <algorithm>
#include <typeinfo>

#include "rulecraft/core/Binding.h"
#include "rulecraft/core/Value.h"
#include "rulecraft/core/ValueSupport.h"
#include "rulecraft/functions/Context.h"
#include "rulecraft/functions/FunctionCall.h"

namespace rulecraft {

namespace {

// Bounds of a plan: a larger tree runs the general way. They keep a run's scratch space on the stack.
constexpr int32_t MaxStack = 64;
constexpr size_t MaxSteps = 1024;
constexpr int32_t MaxDepth = 64;

bool IsComparisonKind(TArithmeticKind Kind) noexcept { return Kind >= akEqual; }

/// True when Function accepts Count arguments.
bool CountFits(const TIEUserFunction& Function, int32_t Count) noexcept {
  return Count >= Function.GetMinArgumentCount() && Count <= Function.GetMaxArgumentCount();
}

bool SamePosition(const TBindingInfo& A, const TBindingInfo& B) {
  return A.GetFactIndex() == B.GetFactIndex() && A.GetSubIndex() == B.GetSubIndex() &&
         A.GetSlotIndex() == B.GetSlotIndex();
}

}  // namespace

TNumberPlan::TBuildResult TNumberPlan::Build(TFunctionCall& Call, std::unique_ptr<TNumberPlan>& Plan) {
  const TIEUserFunction* Function = Call.GetUserFunction().get();
  if (!Function || Function->GetArithmeticKind() == akNone) return brNever;
  std::unique_ptr<TNumberPlan> New(new TNumberPlan());
  bool Later = false;
  bool Built;
  if (IsComparisonKind(Function->GetArithmeticKind())) {
    const int32_t Count = Call.GetArgumentCount();
    Built = CountFits(*Function, Count);
    New->FComparison = true;
    New->FRootOperation = Function->GetArithmeticKind();
    // Each operand is evaluated on its own, so that the comparison stops where its function stops.
    for (int32_t I = 0; Built && I < Count; ++I) {
      const IIEValue& Argument = Call.GetArgument(I);
      New->FStackHeight = 0;
      if (Argument && Argument->GetDType() == dtFunCall) {
        TFunctionCall* Inner = CallOf(*Argument);
        if (!Inner) return brNever;
        Built = New->AddCall(*Inner, Argument.get(), 2, Later);
      } else {
        // A leaf operand: a one-argument sum of it would answer the leaf itself.
        Built = New->AddLeaf(Argument.get(), 1);
      }
      New->FOperandEnds.push_back(New->FSteps.size());
    }
  } else {
    New->FRootOperation = Function->GetArithmeticKind();
    Built = New->AddCall(Call, nullptr, 1, Later);
  }
  if (!Built) return Later ? brLater : brNever;
  // A call whose arguments are all leaves already runs about as fast the general way: a plan pays where
  // calls nest.
  if (New->FDepth < 2) return brNever;
  New->FRecords.clear();  // only needed to tell variables apart while building
  Plan = std::move(New);
  return brReady;
}

bool TNumberPlan::AddLeaf(const TIEValue* Argument, int32_t Height) {
  if (!Argument) return false;
  TStep Step;
  Step.Holder = Argument;
  switch (Argument->GetDType()) {
    case dtInteger:
      Step.Kind = skConstant;
      break;
    case dtVariable:
      Step.Kind = skVariable;
      break;
    case dtObject: {
      const TBindingInfo* Record = AsBindingRecord(Argument->GetAsObject());
      if (!Record) return false;
      Step.Kind = skRecord;
      Step.Record = Record;
      // The same variable written several times is read once per run.
      int32_t Entry = 0;
      while (Entry < static_cast<int32_t>(FRecords.size()) && !SamePosition(*FRecords[Entry], *Record))
        ++Entry;
      if (Entry == static_cast<int32_t>(FRecords.size())) {
        if (Entry >= MaxRecords) return false;
        FRecords.push_back(Record);
      }
      Step.Count = Entry;
      break;
    }
    default:
      // A float, a text or anything else: the plan would never answer.
      return false;
  }
  if (FSteps.size() >= MaxSteps || Height > MaxStack) return false;
  FSteps.push_back(Step);
  FMaxStack = std::max(FMaxStack, Height);
  return true;
}

bool TNumberPlan::AddCall(TFunctionCall& Call, const TIEValue* Holder, int32_t Depth, bool& Later) {
  const TIEUserFunction* Function = Call.GetUserFunction().get();
  if (!Function) {
    Later = true;
    return false;
  }
  const TArithmeticKind Kind = Function->GetArithmeticKind();
  const int32_t Count = Call.GetArgumentCount();
  if (Kind == akNone || IsComparisonKind(Kind) || !CountFits(*Function, Count) || Depth > MaxDepth)
    return false;
  FDepth = std::max(FDepth, Depth);
  if (Holder) FChecks.push_back(TCallCheck{Holder, &Call, Call.GetVersion()});
  // The stack holds what the steps before this call left (Base), then this call's arguments.
  const int32_t Base = FStackHeight;
  for (int32_t I = 0; I < Count; ++I) {
    const IIEValue& Argument = Call.GetArgument(I);
    if (Argument && Argument->GetDType() == dtFunCall) {
      TFunctionCall* Inner = CallOf(*Argument);
      if (!Inner || !AddCall(*Inner, Argument.get(), Depth + 1, Later)) return false;
    } else if (!AddLeaf(Argument.get(), FStackHeight + 1)) {
      return false;
    } else {
      ++FStackHeight;
    }
  }
  if (Kind == akProduct && Count == 2 && FSteps.size() >= 2) {
    // (* 1000 ?s) or (* ?s 1000): the two leaves just added become one step.
    const TStep& A = FSteps[FSteps.size() - 2];
    const TStep& B = FSteps.back();
    const bool FactorFirst = A.Kind == skConstant && B.Kind == skRecord;
    if (FactorFirst || (A.Kind == skRecord && B.Kind == skConstant)) {
      TStep Scaled = FactorFirst ? B : A;
      Scaled.Kind = skScaled;
      Scaled.Factor = FactorFirst ? A.Holder : B.Holder;
      Scaled.FactorFirst = FactorFirst;
      FSteps.pop_back();
      FSteps.back() = Scaled;
      FStackHeight = Base + 1;
      return true;
    }
  }
  if (FSteps.size() >= MaxSteps) return false;
  TStep Step;
  Step.Kind = skCall;
  Step.Operation = Kind;
  Step.Count = Count;
  Step.Holder = Holder;
  FSteps.push_back(Step);
  FStackHeight = Base + 1;
  FMaxStack = std::max(FMaxStack, FStackHeight);
  return FMaxStack <= MaxStack;
}

TNumberPlan::TRunResult TNumberPlan::Run(TIEContext* Context, int32_t& Number) const {
  // The calls below the root, parents first: each is known alive once its parent is unchanged.
  for (const TCallCheck& Check : FChecks)
    if (Check.Holder->PeekFunCall() != Check.Call || Check.Call->GetVersion() != Check.Version)
      return rrGiveUp;
  TRun State;
  if (Context) {
    State.Context = Context;
    State.Token = Context->GetToken().get();
    State.Matched = Context->GetFact().get();
  }
  int64_t Stack[MaxStack];
  if (!FComparison) {
    if (!Evaluate(State, 0, FSteps.size(), Stack)) return rrGiveUp;
    Number = static_cast<int32_t>(Stack[0]);
    return rrNumber;
  }
  // Each operand in turn, stopping at the first pair the comparison refuses, as the functions do.
  int64_t First = 0;
  int64_t Previous = 0;
  size_t Begin = 0;
  for (size_t I = 0; I < FOperandEnds.size(); ++I) {
    if (!Evaluate(State, Begin, FOperandEnds[I], Stack)) return rrGiveUp;
    Begin = FOperandEnds[I];
    const int64_t Value = Stack[0];
    if (I == 0) {
      First = Previous = Value;
      continue;
    }
    bool Holds;
    switch (FRootOperation) {
      case akEqual:
        Holds = Value == First;
        break;
      case akNotEqual:
        Holds = Value != First;
        break;
      case akLess:
        Holds = Previous < Value;
        break;
      case akLessOrEqual:
        Holds = Previous <= Value;
        break;
      case akGreater:
        Holds = Previous > Value;
        break;
      default:
        Holds = Previous >= Value;
        break;
    }
    if (!Holds) return rrFalse;
    Previous = Value;
  }
  return rrTrue;
}

inline bool TNumberPlan::ReadRecord(TRun& State, const TStep& Step, int64_t& Value) {
  if (Step.Holder->GetDType() != dtObject || Step.Holder->GetAsObject() != Step.Record) return false;
  const uint64_t Bit = uint64_t{1} << Step.Count;
  if (!(State.Loaded & Bit)) {
    // Read on first use, as the functions read it: the fact of the partial match (or the fact being matched,
    // just past it) that the record's pattern index names.
    if (!State.Context) return false;
    const TIEValue* Read =
        PeekRecordIn(RecordFact(State.Token, State.Matched, Step.Record->GetFactIndex()), *Step.Record);
    if (!Read || Read->GetDType() != dtInteger) return false;
    State.Records[Step.Count] = Read->IntegerPayload();
    State.Loaded |= Bit;
  }
  Value = State.Records[Step.Count];
  return true;
}

bool TNumberPlan::Evaluate(TRun& State, size_t Begin, size_t End, int64_t* Stack) const {
  int64_t* Top = Stack;
  const TStep* Step = FSteps.data() + Begin;
  const TStep* const Last = FSteps.data() + End;
  for (; Step != Last; ++Step) {
    switch (Step->Kind) {
      case skConstant:
        if (Step->Holder->GetDType() != dtInteger) return false;
        *Top++ = Step->Holder->IntegerPayload();
        break;
      case skRecord:
        if (!ReadRecord(State, *Step, *Top)) return false;
        ++Top;
        break;
      case skScaled: {
        // Read in the order written, as the product reads its arguments; two 32-bit integers multiply
        // within 64 bits.
        if (Step->FactorFirst && Step->Factor->GetDType() != dtInteger) return false;
        int64_t Value;
        if (!ReadRecord(State, *Step, Value)) return false;
        if (!Step->FactorFirst && Step->Factor->GetDType() != dtInteger) return false;
        const int64_t Product = Value * Step->Factor->IntegerPayload();
        *Top++ = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(Product)));
        break;
      }
      case skVariable: {
        if (Step->Holder->GetDType() != dtVariable || !State.Context) return false;
        const TBinding* Binding = State.Context->FindVariable(*Step->Holder);
        const TIEValue* Value = Binding ? Binding->GetValue().get() : nullptr;
        if (!Value || Value->GetDType() != dtInteger) return false;
        *Top++ = Value->IntegerPayload();
        break;
      }
      case skCall: {
        const int32_t Count = Step->Count;
        int64_t* Arguments = Top - Count;
        int64_t Total;
        switch (Step->Operation) {
          case akSum:
            Total = 0;
            for (int32_t A = 0; A < Count; ++A)
              if (__builtin_add_overflow(Total, Arguments[A], &Total)) return false;
            break;
          case akProduct:
            Total = 1;
            for (int32_t A = 0; A < Count; ++A)
              if (__builtin_mul_overflow(Total, Arguments[A], &Total)) return false;
            break;
          case akDifference:
            Total = Arguments[0];
            for (int32_t A = 1; A < Count; ++A)
              if (__builtin_sub_overflow(Total, Arguments[A], &Total)) return false;
            break;
          case akMaximum:
            Total = Arguments[0];
            for (int32_t A = 1; A < Count; ++A) Total = std::max(Total, Arguments[A]);
            break;
          default:
            Total = Arguments[0];
            for (int32_t A = 1; A < Count; ++A) Total = std::min(Total, Arguments[A]);
            break;
        }
        // A whole-number total wraps to 32 bits.
        *Arguments = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(Total)));
        Top = Arguments + 1;
        break;
      }
    }
  }
  return true;
}

}  // namespace rulecraft
