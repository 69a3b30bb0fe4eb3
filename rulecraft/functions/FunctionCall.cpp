#include "rulecraft/functions/FunctionCall.h"

#include <cstdint>
#include <new>
#include <utility>

#include "rulecraft/core/Constants.h"
#include "rulecraft/core/Helpers.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/framework/Exception.h"
#include "rulecraft/functions/Context.h"
#include "rulecraft/functions/FunctionEngine.h"
#include "rulecraft/functions/NumberPlan.h"
#include "rulecraft/functions/UserFunction.h"

namespace rulecraft {

namespace {

/// Calls may nest (an argument that is a call, a function calling itself) only this deep; beyond it the
/// nesting error is raised rather than the thread's stack overrun. Walking a call's structure (text,
/// equality, hash) is bounded the same way.
constexpr int MaxCallNesting = 2000;

/// A plan that gave way to the general path this many runs in a row (its variables hold floats, say) is
/// dropped, and the call runs the general way from then on.
constexpr uint8_t MaxPlanMisses = 32;

/// Counts one level of nesting for as long as it lives.
class TNestingGuard {
 public:
  TNestingGuard(int32_t& Depth, const std::string& Name) : FDepth(Depth) {
    if (FDepth >= MaxCallNesting) throw EIEException(SNestingTooDeep, {MaxCallNesting, Name});
    ++FDepth;
  }
  TNestingGuard(const TNestingGuard&) = delete;
  TNestingGuard& operator=(const TNestingGuard&) = delete;
  ~TNestingGuard() { --FDepth; }

 private:
  int32_t& FDepth;
};

TEvaluationState& StateOf(IFunctionEngine* Reasoner) noexcept {
  return Reasoner ? Reasoner->GetEvaluationState() : ThreadEvaluationState();
}

// Calls freed while another call is being freed wait in the outermost destructor's queue, so that a long
// chain of calls nested in arguments is freed by a loop instead of one destructor frame per level. (A plain
// pointer: it needs no destruction at thread exit, when calls held by static objects may still go.)
thread_local std::vector<TRef<TFunCallBase>>* FreeQueue = nullptr;

/// An independent copy of an argument: a multifield is copied too (a nested call stays shared).
IIEValue NewValue(const IIEValue& Value) { return Value ? MakeRef<TIEValue>(Value) : IIEValue(); }

}  // namespace

TFunctionCall::TFunctionCall(IFunctionEngine* Reasoner, std::string Name)
    : FReasoner(Reasoner), FName(std::move(Name)) {}

TFunctionCall::~TFunctionCall() {
  FPlan.reset();
  std::vector<TRef<TFunCallBase>> Local;
  std::vector<TRef<TFunCallBase>>& Queue = FreeQueue ? *FreeQueue : Local;
  for (IIEValue& Argument : FArguments) {
    // Only an argument no one else holds, carrying a call no one else holds, is detached here.
    if (!Argument || Argument->RefCount() != 1 || Argument->GetDType() != dtFunCall) continue;
    TRef<TFunCallBase> Inner = Argument->GetAsFunCallBase();
    if (!Inner || Inner->RefCount() != 2) continue;
    try {
      Queue.push_back(Inner);
    } catch (const std::bad_alloc&) {
      continue;  // no room in the queue: this one is freed with its argument, by recursion
    }
    Argument->Reset();
  }
  FArguments.clear();
  if (&Queue != &Local) return;  // the outer destructor frees them
  FreeQueue = &Local;
  while (!Local.empty()) {
    TRef<TFunCallBase> Next = std::move(Local.back());
    Local.pop_back();
    Next.reset();
  }
  FreeQueue = nullptr;
}

// ---- copies ----------------------------------------------------------------------------------------------

void TFunctionCall::Assign(const TPersistent* Source) {
  const auto* Other = dynamic_cast<const TFunctionCall*>(Source);
  if (!Other) {
    TPersistent::Assign(Source);
    return;
  }
  if (Other == this) return;
  std::vector<IIEValue> Arguments;
  Arguments.reserve(Other->FArguments.size());
  for (const IIEValue& Argument : Other->FArguments) Arguments.push_back(NewValue(Argument));
  // The bound function belonged to the old name: the call looks its function up again.
  FFunction = nullptr;
  FName = Other->FName;
  FTag = Other->FTag;
  FComment = Other->FComment;
  FArguments = std::move(Arguments);
  Changed();
}

void TFunctionCall::Assign(const ICloneableRef& Source) {
  const auto* Other = dynamic_cast<const TFunctionCall*>(Source.get());
  if (!Other) throw EConvertError("Interface not supported");
  Assign(static_cast<const TPersistent*>(Other));
}

IFunCall TFunctionCall::Clone() const {
  IFunCall Copy = MakeRef<TFunctionCall>(FReasoner, FName);
  Copy->Assign(static_cast<const TPersistent*>(this));
  return Copy;
}

bool TFunctionCall::Equals(const ICloneable* Other) const {
  const auto* Call = dynamic_cast<const TFunctionCall*>(Other);
  if (!Call) return false;
  if (Call == this) return true;
  if (Call->FName != FName || Call->FArguments.size() != FArguments.size()) return false;
  TNestingGuard Guard(StateOf(FReasoner).WalkDepth, FName);
  for (size_t I = 0; I < FArguments.size(); ++I) {
    const IIEValue& A = FArguments[I];
    const IIEValue& B = Call->FArguments[I];
    if (A.get() == B.get()) continue;
    if (!A || !B || !A->Equals(B)) return false;
  }
  return true;
}

// ---- arguments -------------------------------------------------------------------------------------------

int32_t TFunctionCall::AddArgument(const IIEValue& Value) {
  FArguments.push_back(Value);
  Changed();
  return GetArgumentCount() - 1;
}

int32_t TFunctionCall::AddArgument(double Value, TIEType Kind) {
  switch (Kind) {
    case dtInteger:
      // Through a float value: its integer conversion truncates toward zero and is defined everywhere.
      return AddArgument(MakeRef<TIEValue>(TIEValue(Value).GetAsInteger(), dtInteger));
    case dtFloat:
      return AddArgument(MakeRef<TIEValue>(Value));
    default:
      throw EIEException(SNotCorrectType, {"Float", TIEValue(Value).GetToString(), GetIETypeName(Kind)});
  }
}

int32_t TFunctionCall::AddArgument(int32_t Value, TIEType Kind) {
  switch (Kind) {
    case dtInteger:
      return AddArgument(MakeRef<TIEValue>(Value, dtInteger));
    case dtFloat:
      return AddArgument(MakeRef<TIEValue>(static_cast<double>(Value)));
    default:
      throw EIEException(SNotCorrectType, {"Integer", std::to_string(Value), GetIETypeName(Kind)});
  }
}

int32_t TFunctionCall::AddArgument(const std::string& Text, TIEType Kind) {
  if (!IEStringTypes.Contains(Kind))
    throw EIEException(SNotCorrectType, {"String", Text, GetIETypeName(Kind)});
  return AddArgument(MakeRef<TIEValue>(Text, Kind));
}

int32_t TFunctionCall::AddArgument(const IFact& Fact) {
  return AddArgument(MakeRef<TIEValue>(TRef<TFactBase>(Fact)));
}

int32_t TFunctionCall::AddArgument(const IFunCall& Call) {
  return AddArgument(MakeRef<TIEValue>(TRef<TFunCallBase>(Call)));
}

int32_t TFunctionCall::AddArgument(const IValueVector& List) { return AddArgument(MakeRef<TIEValue>(List)); }

void TFunctionCall::Delete(int32_t Index) {
  GetArgument(Index);  // bounds check
  FArguments.erase(FArguments.begin() + Index);
  Changed();
}

void TFunctionCall::RaiseNoArgument(int32_t Index) {
  throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
}

void TFunctionCall::SetArgument(int32_t Index, const IIEValue& Value) {
  GetArgument(Index);  // bounds check
  FArguments[static_cast<size_t>(Index)] = Value;
  Changed();
}

// ---- execution -------------------------------------------------------------------------------------------

void TFunctionCall::SetUserFunction(const IUserFunction& Function) {
  if (Function == FFunction) return;
  FFunction = Function;
  FName = Function ? Function->GetFunctionName() : std::string();
  Changed();
}

void TFunctionCall::Changed() noexcept {
  FPlan.reset();
  FPlanState = 0;
  FPlanMisses = 0;
  ++FVersion;
}

void TFunctionCall::PlanMissed() noexcept {
  if (++FPlanMisses < MaxPlanMisses) return;
  FPlan.reset();
  FPlanState = PlanNone;
}

TNumberPlan* TFunctionCall::BuildPlan() noexcept {
  try {
    switch (TNumberPlan::Build(*this, FPlan)) {
      case TNumberPlan::brReady:
        FPlanState = PlanReady;
        return FPlan.get();
      case TNumberPlan::brLater:
        ++FPlanState;  // the third such try reaches PlanNone
        return nullptr;
      case TNumberPlan::brNever:
        break;
    }
  } catch (const std::bad_alloc&) {
    FPlan.reset();  // no room for a plan: the call runs the general way
  }
  FPlanState = PlanNone;
  return nullptr;
}

void TFunctionCall::Execute(TResolveContext* Context, IIEValue& Result) {
  TIEContext* IEContext = nullptr;
  if (Context) {
    IEContext = Context->AsEvaluationContext();
    if (!IEContext) throw EConvertError("Invalid class typecast");
  }
  Execute(IEContext, Result);
}

void TFunctionCall::Bind() {
  if (FFunction) return;
  IUserFunction Found;
  if (!FReasoner || !FReasoner->ContainsUserFunction(FName, Found) || !Found)
    throw EIEException(SNoSuchFunction, {FName});
  SetUserFunction(Found);
}

TEvaluationState& TFunctionCall::FindState() {
  TEvaluationState& Found = StateOf(FReasoner);
  if (&Found != &ThreadEvaluationState()) FState = &Found;
  return Found;
}

void TFunctionCall::Execute(TIEContext* Context, IIEValue& Result) {
  TEvaluationState& State = this->State();
  // A tree of integer arithmetic runs in one pass when it can; its nesting counts as the calls' would.
  if (const TNumberPlan* Plan = this->Plan(); Plan && State.CallDepth + Plan->GetDepth() <= MaxCallNesting) {
    int32_t Number = 0;
    switch (Plan->Run(Context, Number)) {
      case TNumberPlan::rrTrue:
        FPlanMisses = 0;
        Result = FCTrue;
        return;
      case TNumberPlan::rrFalse:
        FPlanMisses = 0;
        Result = FCFalse;
        return;
      case TNumberPlan::rrNumber:
        FPlanMisses = 0;
        Result = MakeRef<TIEValue>(Number, dtInteger);
        return;
      case TNumberPlan::rrGiveUp:
        PlanMissed();
        break;
    }
  }
  TNestingGuard Guard(State.CallDepth, FName);
  if (!FFunction) Bind();
  // Held for the call: the function may be unbound or unregistered while it runs.
  const IUserFunction Function = FFunction;
  Function->Call(*this, Context, Result);
  if ((State.MaxStringLength > 0 || State.MaxMultifieldLength > 0) && Result) CheckBuilt(State, *Result);
}

// A result past the host's size limits is refused, so a loop that doubles a text or a multifield stops at
// the first result beyond the limit rather than when memory runs out.
void TFunctionCall::CheckBuilt(const TEvaluationState& State, const TIEValue& Result) const {
  switch (Result.GetDType()) {
    case dtString:
    case dtAtom: {
      const size_t Length = Result.Text().size();
      if (State.MaxStringLength > 0 && Length > static_cast<size_t>(State.MaxStringLength))
        throw EIEException(SStringTooLong, {FName, static_cast<int64_t>(Length), State.MaxStringLength});
      break;
    }
    case dtList:
      if (State.MaxMultifieldLength > 0) {
        const IValueVector List = Result.GetAsList();
        const int32_t Count = List ? List->GetValueCount() : 0;
        if (Count > State.MaxMultifieldLength)
          throw EIEException(SMultifieldTooLong, {FName, Count, State.MaxMultifieldLength});
      }
      break;
    default:
      break;
  }
}

bool TFunctionCall::ExecuteNumber(TIEContext* Context, TNumber& Result) {
  TEvaluationState& State = this->State();
  if (const TNumberPlan* Plan = this->Plan();
      Plan && !Plan->IsComparison() && State.CallDepth + Plan->GetDepth() <= MaxCallNesting) {
    int32_t Number = 0;
    if (Plan->Run(Context, Number) == TNumberPlan::rrNumber) {
      FPlanMisses = 0;
      Result = TNumber{static_cast<double>(Number), false};
      return true;
    }
    PlanMissed();
  }
  TNestingGuard Guard(State.CallDepth, FName);
  if (!FFunction) Bind();
  if (!FFunction->HasNumberForm()) return false;
  const IUserFunction Function = FFunction;
  return Function->CallNumber(*this, Context, Result);
}

void TFunctionCall::Unbind() noexcept {
  FFunction = nullptr;
  Changed();
}

void TFunctionCall::SimpleExecute(TIEContext* Context) {
  TNestingGuard Guard(StateOf(FReasoner).CallDepth, FName);
  if (!FFunction) throw EIEException(SNoSuchFunction, {FName});
  const IUserFunction Function = FFunction;
  IIEValue Result;
  Function->Call(*this, Context, Result);
}

// ---- text and hash ---------------------------------------------------------------------------------------

std::string TFunctionCall::GetToString() const {
  TNestingGuard Guard(StateOf(FReasoner).WalkDepth, FName);
  return FReasoner ? FReasoner->PrettyPrint(*this) : PrettyPrintFunCall(*this);
}

int32_t TFunctionCall::GetHashCode() const {
  uint32_t Hash = static_cast<uint32_t>(CalculateHash(FName));
  // Beyond the nesting limit the arguments are left out; equal calls still hash alike.
  int32_t& WalkDepth = StateOf(FReasoner).WalkDepth;
  if (WalkDepth >= MaxCallNesting) return static_cast<int32_t>(Hash);
  TNestingGuard Guard(WalkDepth, FName);
  for (const IIEValue& Argument : FArguments)
    if (Argument) Hash += static_cast<uint32_t>(Argument->GetHashCode());
  return static_cast<int32_t>(Hash);
}

std::string PrettyPrintFunCall(const TFunctionCall& Call) {
  std::string Text = "(" + Call.GetName();
  for (const IIEValue& Argument : Call.GetArguments()) {
    Text += ' ';
    if (!Argument) continue;
    if (Argument->GetDType() == dtList) {
      // A list argument is a slot-value pair of modify or duplicate: written as the parser reads it.
      std::string Pair = Argument->GetToString();
      while (!Pair.empty() && Pair.back() == ' ') Pair.pop_back();
      Text += "(" + Pair + ")";
    } else {
      Text += Argument->GetToString();
    }
  }
  return Text + ")";
}

}  // namespace rulecraft
