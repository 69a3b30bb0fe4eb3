#include "rulecraft/functions/UserFunction.h"

#include <algorithm>
#include <cassert>
#include <exception>
#include <utility>

#include "rulecraft/core/Helpers.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/framework/Exception.h"
#include "rulecraft/functions/Context.h"
#include "rulecraft/functions/FunctionEngine.h"

namespace rulecraft {

namespace {

/// A handle on a function that is already held elsewhere (engines store handles, so registering needs one).
IUserFunction HandleOf(TIEUserFunction* Function) {
  assert(Function->RefCount() > 0 && "a function registers with engines only while a handle holds it");
  return IUserFunction(Function);
}

[[noreturn]] void ReasonerIndexError(int32_t Index) {
  throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
}

}  // namespace

// ---- TIEUserFunction -------------------------------------------------------------------------------------

TIEUserFunction::TIEUserFunction(std::string Name, int32_t MinArguments, int32_t MaxArguments,
                                 std::string Comment, std::string ArgumentString)
    : FMinArgumentCount(MinArguments),
      FMaxArgumentCount(MaxArguments),
      FComment(std::move(Comment)),
      FFunctionName(std::move(Name)),
      FArgumentString(std::move(ArgumentString)) {}

// Engines hold handles: a function reaching its destructor is registered nowhere that is still alive.
TIEUserFunction::~TIEUserFunction() = default;

void TIEUserFunction::AddReasoner(IFunctionEngine* Reasoner) {
  if (!Reasoner || IndexOfReasoner(Reasoner) >= 0) return;
  const IUserFunction Self = HandleOf(this);
  // Registered first: an engine that refuses the function is not remembered.
  Reasoner->AddUserFunction(Self);
  FReasoners.push_back(Reasoner);
}

void TIEUserFunction::ClearReasoners() {
  if (FReasoners.empty()) return;
  const IUserFunction Self = HandleOf(this);
  while (!FReasoners.empty()) DeleteReasoner(GetReasonerCount() - 1);
}

void TIEUserFunction::DeleteReasoner(int32_t Index) {
  IFunctionEngine* Reasoner = GetReasoner(Index);
  const IUserFunction Self = HandleOf(this);
  FReasoners.erase(FReasoners.begin() + Index);
  Reasoner->RemoveUserFunction(Self);
}

void TIEUserFunction::DeleteReasoner(IFunctionEngine* Reasoner) {
  const int32_t Index = IndexOfReasoner(Reasoner);
  if (Index >= 0) DeleteReasoner(Index);
}

int32_t TIEUserFunction::IndexOfReasoner(IFunctionEngine* Reasoner) const noexcept {
  auto It = std::find(FReasoners.begin(), FReasoners.end(), Reasoner);
  return It == FReasoners.end() ? -1 : static_cast<int32_t>(It - FReasoners.begin());
}

IFunctionEngine* TIEUserFunction::GetReasoner(int32_t Index) const {
  if (Index < 0 || Index >= GetReasonerCount()) ReasonerIndexError(Index);
  return FReasoners[static_cast<size_t>(Index)];
}

void TIEUserFunction::ForgetReasoner(IFunctionEngine* Reasoner) noexcept {
  FReasoners.erase(std::remove(FReasoners.begin(), FReasoners.end(), Reasoner), FReasoners.end());
}

void TIEUserFunction::SetMaxArgumentCount(int32_t N) {
  FMaxArgumentCount = N;
  if (FMinArgumentCount > N) FMinArgumentCount = N;
}

void TIEUserFunction::SetMinArgumentCount(int32_t N) {
  FMinArgumentCount = N;
  if (FMaxArgumentCount < N) FMaxArgumentCount = N;
}

void TIEUserFunction::SetFunctionName(const TIEName& Value) {
  if (Value == FFunctionName) return;
  if (FReasoners.empty()) {
    FFunctionName = Value;
    return;
  }
  const IUserFunction Self = HandleOf(this);
  for (IFunctionEngine* Reasoner : FReasoners) Reasoner->RemoveUserFunction(Self);
  FFunctionName = Value;
  // An engine that refuses the new name (it holds another function of that name) is dropped from the list,
  // so that the list always names exactly the engines the function is registered with.
  std::exception_ptr Failure;
  std::vector<IFunctionEngine*> Kept;
  Kept.reserve(FReasoners.size());
  for (IFunctionEngine* Reasoner : FReasoners) {
    try {
      Reasoner->AddUserFunction(Self);
      Kept.push_back(Reasoner);
    } catch (...) {
      if (!Failure) Failure = std::current_exception();
    }
  }
  FReasoners = std::move(Kept);
  if (Failure) std::rethrow_exception(Failure);
}

std::string TIEUserFunction::GetToString(IFunctionEngine* Reasoner) const {
  return Reasoner ? Reasoner->PrettyPrint(*this) : FFunctionName;
}

void TIEUserFunction::Call(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const int32_t N = FunCall.GetArgumentCount();
  if (N < GetMinArgumentCount()) throw EIEException(STooFewArgs, {FFunctionName});
  if (N > GetMaxArgumentCount()) throw EIEException(STooManyArgs, {FFunctionName});
  Result = nullptr;
  Evaluate(FunCall, Context, Result);
}

bool TIEUserFunction::CallNumber(TFunctionCall& FunCall, TIEContext* Context, TNumber& Result) {
  if (!FNumberForm) return false;
  const int32_t N = FunCall.GetArgumentCount();
  if (N < GetMinArgumentCount()) throw EIEException(STooFewArgs, {FFunctionName});
  if (N > GetMaxArgumentCount()) throw EIEException(STooManyArgs, {FFunctionName});
  EvaluateNumber(FunCall, Context, Result);
  return true;
}

void TIEUserFunction::EvaluateNumber(TFunctionCall& FunCall, TIEContext* Context, TNumber& Result) {
  (void)FunCall;
  (void)Context;
  (void)Result;
}

IIEValue TNumber::ToValue() const {
  return IsFloat ? MakeRef<TIEValue>(Value) : MakeRef<TIEValue>(static_cast<int32_t>(Value), dtInteger);
}

void TIEUserFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  (void)FunCall;
  (void)Context;
  Result = nullptr;
}

void TIEUserFunction::Assign(const TPersistent* Source) {
  const auto* Other = dynamic_cast<const TIEUserFunction*>(Source);
  if (!Other) {
    TPersistent::Assign(Source);
    return;
  }
  if (Other == this) return;
  FMinArgumentCount = Other->FMinArgumentCount;
  FMaxArgumentCount = Other->FMaxArgumentCount;
  FComment = Other->FComment;
  SetFunctionName(Other->FFunctionName);
}

// ---- TIEInnerFunction ------------------------------------------------------------------------------------

/// Watches a component outer object and makes the function forget it when it is destroyed.
class TIEInnerFunction::TNexus final : public TComponent {
 public:
  explicit TNexus(TIEInnerFunction* Function) : TComponent(nullptr), FFunction(Function) {}

  void Watch(TComponent* Outer) {
    if (Outer == FWatched) return;
    if (FWatched) RemoveFreeNotification(FWatched);
    FWatched = Outer;
    if (FWatched) FWatched->FreeNotification(this);
  }

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent && AComponent == FWatched) {
      FWatched = nullptr;
      FFunction->FOuter = nullptr;
    }
  }

 private:
  TIEInnerFunction* FFunction;
  TComponent* FWatched = nullptr;
};

TIEInnerFunction::TIEInnerFunction(TObject* Outer) { SetOuter(Outer); }

TIEInnerFunction::~TIEInnerFunction() {
  if (FNexus) FNexus->Watch(nullptr);
}

void TIEInnerFunction::SetOuter(TObject* Outer) {
  if (Outer == FOuter) return;
  // The component is found while Outer is known to be alive; the old one is only compared, never cast.
  auto* Component = dynamic_cast<TComponent*>(Outer);
  if (Component && !FNexus) FNexus = std::make_unique<TNexus>(this);
  if (FNexus) FNexus->Watch(Component);
  FOuter = Outer;
}

void TIEInnerFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  Result = nullptr;
  if (!FOuter) throw EIEException(SNoSuchFunction, {GetFunctionName()});
  if (auto* Custom = dynamic_cast<TCustomUserFunction*>(FOuter))
    Custom->Call(FunCall, Context, Result);
  else if (FOnCall)
    FOnCall(FOuter, FunCall, Context, Result);
}

// ---- TCustomUserFunction ---------------------------------------------------------------------------------

TCustomUserFunction::TCustomUserFunction(TComponent* AOwner) : TComponent(AOwner), FFunction(nullptr) {
  FFunctionHandle = MakeRef<TIEInnerFunction>(this);
  FFunction = static_cast<TIEInnerFunction*>(FFunctionHandle.get());
}

TCustomUserFunction::~TCustomUserFunction() {
  Destroying();
  try {
    SetEngine(nullptr);
  } catch (...) {
    // The engine's table refused the removal; the function is detached below all the same.
  }
  // The function object may outlive this component (a call bound to it): it then reports itself missing.
  FFunction->SetOuter(nullptr);
}

void TCustomUserFunction::SetFunctionName(const TIEName& Value) {
  const TIEName Old = GetFunctionName();
  if (Value == Old) return;
  // The function is registered with the engine exactly while both an engine and a name are set.
  if (FEngine && Old.empty()) {
    FFunction->SetFunctionName(Value);
    try {
      FFunction->AddReasoner(FEngine);
    } catch (...) {
      FFunction->SetFunctionName(Old);
      throw;
    }
  } else if (FEngine && Value.empty()) {
    FFunction->DeleteReasoner(FEngine);
    FFunction->SetFunctionName(Value);
  } else {
    FFunction->SetFunctionName(Value);
  }
}

void TCustomUserFunction::SetMinArgumentCount(int32_t Value) {
  if (Value == GetMinArgumentCount()) return;
  FFunction->SetMinArgumentCount(Value);
  FFunction->SetArgumentString(
      CreateArgumentExpressions(GetArgumentString(), GetMinArgumentCount(), GetMaxArgumentCount(), 10));
}

void TCustomUserFunction::SetMaxArgumentCount(int32_t Value) {
  if (Value == GetMaxArgumentCount()) return;
  FFunction->SetMaxArgumentCount(Value);
  FFunction->SetArgumentString(
      CreateArgumentExpressions(GetArgumentString(), GetMinArgumentCount(), GetMaxArgumentCount(), 10));
}

void TCustomUserFunction::SetEngine(IFunctionEngine* Engine) {
  if (Engine == FEngine) return;
  const bool Named = !GetFunctionName().empty();
  if (FEngine) {
    if (Named) FFunction->DeleteReasoner(FEngine);
    if (FEngineComponent) RemoveFreeNotification(FEngineComponent);
    FEngine = nullptr;
    FEngineComponent = nullptr;
  }
  if (Engine) {
    if (Named) FFunction->AddReasoner(Engine);
    FEngine = Engine;
    FEngineComponent = dynamic_cast<TComponent*>(Engine);
    if (FEngineComponent) FEngineComponent->FreeNotification(this);
  }
}

void TCustomUserFunction::Call(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  Result = FCNil;
  if (FOnCall) FOnCall(this, FunCall, Context, Result);
}

void TCustomUserFunction::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && FEngineComponent && AComponent == FEngineComponent) {
    // The engine is in its destruction and can no longer be called: it is only forgotten.
    FFunction->ForgetReasoner(FEngine);
    FEngine = nullptr;
    FEngineComponent = nullptr;
  }
}

}  // namespace rulecraft
