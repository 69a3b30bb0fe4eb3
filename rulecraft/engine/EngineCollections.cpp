#include "rulecraft/engine/EngineCollections.h"

#include "rulecraft/functions/InterpretedFunction.h"

#include <algorithm>

#include "rulecraft/core/Constants.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/engine/FactSet.h"
#include "rulecraft/engine/InferenceEngine.h"
#include "rulecraft/framework/Exception.h"
#include "rulecraft/functions/InterpretedFunction.h"
#include "rulecraft/rete/Rule.h"

namespace rulecraft {

namespace {

// A template without slots is an ordered template: it gets the implied multislot.
void AddImpliedSlot(const IFactTemplate& Template) {
  if (Template && Template->GetSlotCount() == 0) Template->AddMultiSlot(SDefaultSlotName, FCNilList);
}

}  // namespace

// ---- TRules
// ------------------------------------------------------------------------------------------------

TRule* TRules::Get(const std::string& Name) const {
  const auto* Found = FTable.Find(Name);
  return Found ? *Found : nullptr;
}

void TRules::Put(TRule* Rule) {
  if (!Rule) return;
  const std::string Name = Rule->GetRuleName();
  if (TRule* Old = Get(Name)) {
    if (Old == Rule) return;
    switch (FEngine->GetDuplicateConstructs()) {
      case dcIgnore:
        return;
      case dcError:
        throw EIEException(SDuplicateRuleNames, {Name});
      case dcOverwrite:
        Remove(Name);
        break;
    }
  }
  {
    TIEAgenda::TChange Change(FEngine->GetAgenda());
    FEngine->GetNetwork().AddRule(Rule);
  }
  FTable.Put(Name, Rule);
  if (FEngine->Watching(cwCompilation)) {
    FEngine->PrintOut(FEngine->GetNetwork().GetRuleTrace(Rule) + NewLineString);
    for (int32_t I = 0; I < Rule->GetAlternativeCount(); ++I)
      FEngine->PrintOut(FEngine->GetNetwork().GetRuleTrace(Rule->GetAlternative(I)) + NewLineString);
  }
  if (FEngine->OnAddRule) FEngine->OnAddRule(FEngine, Rule);
}

bool TRules::Remove(const std::string& Name) {
  TRule* Rule = nullptr;
  if (!FTable.Remove(Name, &Rule)) return false;
  FEngine->RemoveRule(Rule);
  return true;
}

bool TRules::Remove(const std::string& Name, const TRule* Rule) {
  if (Get(Name) != Rule) return false;
  return Remove(Name);
}

void TRules::Clear() {
  const std::vector<TRule*> Old = FTable.Clear();
  for (TRule* Rule : Old) {
    FEngine->GetNetwork().RemoveRule(Rule);
    if (Rule->GetOwner() == FEngine && !Rule->IsDestroying()) FEngine->ReleaseRule(Rule);
  }
  FEngine->FNextRuleId = 0;
  if (FEngine->OnClearRules) FEngine->OnClearRules(FEngine);
}

void TRules::Rename(const std::string& OldName, const std::string& NewName) {
  TRule* Rule = nullptr;
  if (!FTable.Remove(OldName, &Rule)) return;
  FTable.Put(NewName, Rule);
}

// ---- TFactTemplates
// ----------------------------------------------------------------------------------------

IFactTemplate TFactTemplates::Get(const std::string& Name) const {
  const auto* Found = FTable.Find(Name);
  return Found ? *Found : IFactTemplate();
}

void TFactTemplates::Put(const IFactTemplate& Template) {
  if (!Template) return;
  AddImpliedSlot(Template);
  const std::string Name = Template->GetTemplateName();
  if (IFactTemplate Old = Get(Name)) {
    // The very template, or an identical definition of it (a file loaded twice): the stored one stays, with
    // the facts and rules that use it.
    if (Old == Template || Old->Equals(Template.get())) return;
    switch (FEngine->GetDuplicateConstructs()) {
      case dcIgnore:
        return;
      case dcError:
        throw EIEException(SDuplicateTemplateNames, {Name});
      case dcOverwrite:
        Replace(Old, Template);
        return;
    }
  }
  FTable.Put(Name, Template);
  if (FEngine->OnNewFactTemplate) FEngine->OnNewFactTemplate(FEngine, Template);
}

IFactTemplate TFactTemplates::Replace(const IFactTemplate& Old, const IFactTemplate& New) {
  if (!New) return New;
  AddImpliedSlot(New);
  if (Old && Get(Old->GetTemplateName()) == Old) Remove(Old->GetTemplateName());
  FTable.Put(New->GetTemplateName(), New);
  if (FEngine->OnNewFactTemplate) FEngine->OnNewFactTemplate(FEngine, New);
  return New;
}

IFactTemplate TFactTemplates::Remove(const std::string& Name) {
  IFactTemplate Template = Get(Name);
  if (!Template) return Template;
  if (FEngine->OnRemoveFactTemplate) FEngine->OnRemoveFactTemplate(FEngine, Template);
  FEngine->RemoveDependencies(Template);
  FTable.Remove(Name);
  return Template;
}

void TFactTemplates::Rename(const std::string& OldName, const std::string& NewName) {
  IFactTemplate Template = Get(OldName);
  if (!Template || OldName == NewName) return;
  Remove(OldName);
  FTable.Put(NewName, Template);
  if (FEngine->OnNewFactTemplate) FEngine->OnNewFactTemplate(FEngine, Template);
}

void TFactTemplates::Clear() {
  FEngine->RemoveDependencies();
  FTable.Clear();
  if (FEngine->OnClearFactTemplates) FEngine->OnClearFactTemplates(FEngine);
}

// ---- TIEDefinedTypes
// ---------------------------------------------------------------------------------------

IIEDefinedType TIEDefinedTypes::Get(const std::string& Name) const {
  const auto* Found = FTable.Find(Name);
  return Found ? *Found : IIEDefinedType();
}

void TIEDefinedTypes::Put(const IIEDefinedType& Type) {
  if (!Type) return;
  const std::string Name = Type->GetName();
  if (IIEDefinedType Old = Get(Name)) {
    if (Old == Type) return;
    switch (FEngine->GetDuplicateConstructs()) {
      case dcIgnore:
        return;
      case dcError:
        throw EIEException(SDuplicateDefTypeNames, {Name});
      case dcOverwrite:
        Remove(Name);
        break;
    }
  }
  FTable.Put(Name, Type);
  if (FEngine->OnAddDefinedType) FEngine->OnAddDefinedType(FEngine, Type);
}

IIEDefinedType TIEDefinedTypes::Remove(const std::string& Name) {
  IIEDefinedType Type = Get(Name);
  if (!Type) return Type;
  if (FEngine->OnRemoveDefinedType) FEngine->OnRemoveDefinedType(FEngine, Type);
  FEngine->RemoveDependencies(Type);
  FTable.Remove(Name);
  return Type;
}

void TIEDefinedTypes::Clear() {
  FEngine->GetFactTemplates().Clear();
  FTable.Clear();
  if (FEngine->OnClearDefinedTypes) FEngine->OnClearDefinedTypes(FEngine);
}

// ---- TUserFunctions
// ----------------------------------------------------------------------------------------

namespace {

/// A function written in the rule language lets go of the functions its body's calls are bound to (they may
/// lead back to it).
void ReleaseCalls(const IUserFunction& Function) {
  if (auto* Interpreted = dynamic_cast<TInterpretedFunction*>(Function.get())) Interpreted->ReleaseCalls();
}

bool IsInterpreted(const IUserFunction& Function) {
  return Function && Function->ClassName() == "TInterpretedFunction";
}

}  // namespace

IUserFunction TUserFunctions::Get(const std::string& Name) const {
  const auto* Found = FTable.Find(Name);
  return Found ? *Found : IUserFunction();
}

void TUserFunctions::Add(const IUserFunction& Function) {
  if (Function) Put(Function->GetFunctionName(), Function);
}

void TUserFunctions::Put(const std::string& Name, const IUserFunction& Function) {
  if (!Function) return;
  if (Name != Function->GetFunctionName())
    throw EIEException(SInvalidFunctionAdd, {Name, Function->GetFunctionName()});
  if (IUserFunction Old = Get(Name)) {
    if (Old == Function) return;
    switch (FEngine->GetDuplicateConstructs()) {
      case dcIgnore:
        return;
      case dcError:
        throw EIEException(SDuplicateFunctionNames, {Name});
      case dcOverwrite:
        Remove(Name);
        break;
    }
  }
  FTable.Put(Name, Function);
  if (IsInterpreted(Function)) ++FInterpreted;
  // Stored first: the function's registration calls back here and finds itself.
  Function->AddReasoner(FEngine);
  if (FEngine->OnAddUserFunction) FEngine->OnAddUserFunction(FEngine, Function);
}

bool TUserFunctions::Remove(const std::string& Name) {
  IUserFunction Function;
  if (!FTable.Remove(Name, &Function)) return false;
  if (IsInterpreted(Function)) --FInterpreted;
  Function->DeleteReasoner(FEngine);
  ReleaseCalls(Function);
  if (FEngine->OnRemoveUserFunction) FEngine->OnRemoveUserFunction(FEngine, Function);
  return true;
}

void TUserFunctions::Clear() {
  const std::vector<IUserFunction> Old = FTable.Clear();
  FInterpreted = 0;
  for (const IUserFunction& Function : Old) {
    Function->DeleteReasoner(FEngine);
    ReleaseCalls(Function);
  }
}

std::string TUserFunctions::GetNamesToString() const {
  std::string Text;
  for (const std::string& Name : FTable.Names()) {
    if (!Text.empty()) Text += ' ';
    Text += Name;
  }
  return Text;
}

// ---- TGlobalVariables
// --------------------------------------------------------------------------------------

IIEValue TGlobalVariables::Put(const std::string& Name, IIEValue Value) {
  IIEValue Old = TEngineVariables::Put(Name, Value);
  if (FEngine) FEngine->ResetGlobalVariable(Name, Value);
  return Old;
}

void TGlobalVariables::Clear() {
  TEngineVariables::Clear();
  if (FEngine) FEngine->GetContext()->Clear();
}

// ---- TFactSets
// ---------------------------------------------------------------------------------------------

int32_t TFactSets::IndexOf(const std::string& Name) const {
  for (size_t I = 0; I < FItems.size(); ++I)
    if (FItems[I]->GetFactSetName() == Name) return static_cast<int32_t>(I);
  return -1;
}

int32_t TFactSets::IndexOf(const TFactSet* FactSet) const {
  auto It = std::find(FItems.begin(), FItems.end(), FactSet);
  return It == FItems.end() ? -1 : static_cast<int32_t>(It - FItems.begin());
}

TFactSet* TFactSets::Get(int32_t Index) const {
  if (Index < 0 || Index >= Count())
    throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
  return FItems[static_cast<size_t>(Index)];
}

int32_t TFactSets::Add(TFactSet* FactSet) {
  if (!FactSet) return -1;
  if (const int32_t Same = IndexOf(FactSet); Same >= 0) return Same;
  if (const int32_t Named = IndexOf(FactSet->GetFactSetName()); Named >= 0) {
    TFactSet* Old = FItems[static_cast<size_t>(Named)];
    FItems.erase(FItems.begin() + Named);
    Old->SetEngineNoParse(nullptr);
  }
  FItems.push_back(FactSet);
  if (FactSet->GetEngine() != FEngine) FactSet->SetEngineNoParse(FEngine);
  return Count() - 1;
}

bool TFactSets::Remove(TFactSet* FactSet) {
  const int32_t Index = IndexOf(FactSet);
  if (Index < 0) return false;
  FItems.erase(FItems.begin() + Index);
  if (FactSet->GetEngine() == FEngine) FactSet->SetEngineNoParse(nullptr);
  return true;
}

void TFactSets::Clear() {
  const std::vector<TFactSet*> Old = std::move(FItems);
  FItems.clear();
  for (TFactSet* Set : Old) {
    if (Set->GetEngine() == FEngine) Set->SetEngineNoParse(nullptr);
    // The engine's own sets go with the constructs; a host's sets stay with the host, detached.
    if (Set->GetOwner() == FEngine && !Set->IsDestroying()) FEngine->FreeComponent(Set);
  }
}

}  // namespace rulecraft
