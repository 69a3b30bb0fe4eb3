#include "rulecraft/functions/UserPackage.h"

#include <algorithm>

#include "rulecraft/framework/Exception.h"
#include "rulecraft/functions/FunctionEngine.h"

namespace rulecraft {

const TEnumInfo& TFunctionPackageInfo() {
  static const TEnumInfo Info("TFunctionPackage",
                              {"pStandard", "pPredicate", "pMath", "pMiscellaneous", "pString", "pObject",
                               "pTrigonometry", "pBusiness", "pFuzzyLogic"});
  return Info;
}

// ---- TUserFunctionList -----------------------------------------------------------------------------------

int32_t TUserFunctionList::Add(const IUserFunction& Function) {
  if (!Function) return -1;
  const int32_t Existing = IndexOf(Function);
  if (Existing >= 0) return Existing;
  // The function serves every engine of the package; when one refuses it, it is taken back from the others.
  std::vector<IFunctionEngine*> Added;
  try {
    for (IFunctionEngine* Reasoner : FPackage->FReasoners) {
      if (Function->IndexOfReasoner(Reasoner) >= 0) continue;
      Function->AddReasoner(Reasoner);
      Added.push_back(Reasoner);
    }
  } catch (...) {
    for (IFunctionEngine* Reasoner : Added) {
      try {
        Function->DeleteReasoner(Reasoner);
      } catch (...) {
      }
    }
    throw;
  }
  FItems.push_back(Function);
  return Count() - 1;
}

void TUserFunctionList::Delete(int32_t Index) {
  const IUserFunction Function = Get(Index);
  FItems.erase(FItems.begin() + Index);
  for (IFunctionEngine* Reasoner : FPackage->FReasoners) Function->DeleteReasoner(Reasoner);
}

int32_t TUserFunctionList::Remove(const IUserFunction& Function) {
  const int32_t Index = IndexOf(Function);
  if (Index >= 0) Delete(Index);
  return Index;
}

int32_t TUserFunctionList::IndexOf(const IUserFunction& Function) const noexcept {
  auto It = std::find(FItems.begin(), FItems.end(), Function);
  return It == FItems.end() ? -1 : static_cast<int32_t>(It - FItems.begin());
}

const IUserFunction& TUserFunctionList::Get(int32_t Index) const {
  if (Index < 0 || Index >= Count())
    throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
  return FItems[static_cast<size_t>(Index)];
}

void TUserFunctionList::Clear() {
  while (!FItems.empty()) Delete(Count() - 1);
}

// ---- TUserPackage ----------------------------------------------------------------------------------------

TUserPackage::TUserPackage(TComponent* AOwner) : TComponent(AOwner) {
  if (auto* Engine = dynamic_cast<IFunctionEngine*>(AOwner)) AddReasoner(Engine);
}

TUserPackage::~TUserPackage() {
  Destroying();
  // The functions leave the engines still served; engines already destroyed were forgotten when they went.
  try {
    FFunctions.Clear();
  } catch (...) {
  }
  OnCreateFunctions = nullptr;
}

int32_t TUserPackage::IndexOf(const std::string& Name) const {
  for (int32_t I = 0; I < FFunctions.Count(); ++I)
    if (FFunctions.Get(I)->GetFunctionName() == Name) return I;
  return -1;
}

void TUserPackage::AddReasoner(IFunctionEngine* Reasoner) {
  if (!Reasoner || std::find(FReasoners.begin(), FReasoners.end(), Reasoner) != FReasoners.end()) return;
  auto* Component = dynamic_cast<TComponent*>(Reasoner);
  FReasoners.push_back(Reasoner);
  FReasonerComponents.push_back(Component);
  if (Component) Component->FreeNotification(this);
  try {
    for (int32_t I = 0; I < FFunctions.Count(); ++I) FFunctions.Get(I)->AddReasoner(Reasoner);
  } catch (...) {
    RemoveReasoner(Reasoner);
    throw;
  }
}

void TUserPackage::RemoveReasoner(IFunctionEngine* Reasoner) {
  auto It = std::find(FReasoners.begin(), FReasoners.end(), Reasoner);
  if (It == FReasoners.end()) return;
  const size_t Index = static_cast<size_t>(It - FReasoners.begin());
  TComponent* Component = FReasonerComponents[Index];
  FReasoners.erase(It);
  FReasonerComponents.erase(FReasonerComponents.begin() + static_cast<std::ptrdiff_t>(Index));
  if (Component) RemoveFreeNotification(Component);
  if (FEngine == Reasoner) FEngine = nullptr;
  for (int32_t I = 0; I < FFunctions.Count(); ++I) FFunctions.Get(I)->DeleteReasoner(Reasoner);
}

void TUserPackage::SetEngine(IFunctionEngine* Engine) {
  if (Engine == FEngine) return;
  if (FEngine) RemoveReasoner(FEngine);
  if (Engine) {
    AddReasoner(Engine);
    FEngine = Engine;
  }
}

void TUserPackage::CreateFunctions() {
  if (OnCreateFunctions) OnCreateFunctions(this);
}

void TUserPackage::SetReset(bool Value) {
  if (!Value) return;
  FFunctions.Clear();
  CreateFunctions();
}

void TUserPackage::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove || !AComponent) return;
  auto It = std::find(FReasonerComponents.begin(), FReasonerComponents.end(), AComponent);
  if (It == FReasonerComponents.end()) return;
  // The engine is in its destruction and can no longer be called: the functions only forget it.
  const size_t Index = static_cast<size_t>(It - FReasonerComponents.begin());
  IFunctionEngine* Reasoner = FReasoners[Index];
  FReasoners.erase(FReasoners.begin() + static_cast<std::ptrdiff_t>(Index));
  FReasonerComponents.erase(It);
  if (FEngine == Reasoner) FEngine = nullptr;
  for (int32_t I = 0; I < FFunctions.Count(); ++I) FFunctions.Get(I)->ForgetReasoner(Reasoner);
}

}  // namespace rulecraft
