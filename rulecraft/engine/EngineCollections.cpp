#include "rulecraft/engine/EngineCollections.h"

#include <algorithm>

#include "rulecraft/core/Constants.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/engine/FactSet.h"
#include "rulecraft/engine/InferenceEngine.h"
#include "rulecraft/engine/ParentsFirst.h"
#include "rulecraft/framework/Convert.h"
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
  FEngine->AddRule(Rule);
}

bool TRules::Remove(const std::string& Name) {
  if (!ContainsKey(Name)) return false;
  if (!FEngine->GetUpdatingHT()) FEngine->CheckNotBusy("remove a rule");
  TRule* Rule = nullptr;
  if (!FTable.Remove(Name, &Rule)) return false;
  if (FEngine->GetUpdatingHT()) {
    // A rename: the rule lives on under its new name.
    if (FEngine->OnRemoveRule) FEngine->OnRemoveRule(FEngine, Rule);
    return true;
  }
  FEngine->RemoveRule(Rule);
  return true;
}

bool TRules::Remove(const std::string& Name, const TRule* Rule) {
  if (Get(Name) != Rule) return false;
  return Remove(Name);
}

void TRules::Clear() {
  if (FTable.Count() > 0) FEngine->CheckNotBusy("remove a rule");
  const std::vector<TRule*> Old = FTable.Clear();
  for (TRule* Rule : Old) {
    FEngine->GetNetwork().RemoveRule(Rule);
    if (Rule->GetOwner() == FEngine && !Rule->IsDestroying()) FEngine->ReleaseRule(Rule);
  }
  FEngine->FNextRuleId = 0;
  FEngine->ClearRules();
}

void TRules::Rename(const std::string& OldName, const std::string& NewName) {
  TRule* Rule = Get(OldName);
  if (!Rule || OldName == NewName) return;
  const TUpdatingHTScope Updating(*FEngine, true);
  FTable.Put(NewName, Rule);
  FEngine->AddRule(Rule);
  Remove(OldName);
}

std::string TRules::GetToString() const {
  const TReadBackText ReadBack;
  std::vector<std::string> Texts;
  Texts.reserve(static_cast<size_t>(Count()));
  FTable.ForEach([&Texts](TRule* Rule) { Texts.push_back(Rule->GetToString()); });
  std::string Text;
  if (FSortedOutput) {
    // One entry per rule (its text and a line break), each entry ending a line of the sorted list.
    std::stable_sort(Texts.begin(), Texts.end(), [](const std::string& A, const std::string& B) {
      return CompareText(A + NewLineString, B + NewLineString) < 0;
    });
    for (const std::string& Rule : Texts) Text += Rule + NewLineString + NewLineString;
  } else {
    for (const std::string& Rule : Texts) Text += NewLineString + Rule;
  }
  return Text;
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
    // the facts and rules that use it. Equality is asked both ways: a template with one more slot is another.
    if (Old == Template || (Old->Equals(Template.get()) && Template->Equals(Old.get()))) return;
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
  FEngine->AddFactTemplate(Template);
}

IFactTemplate TFactTemplates::Replace(const IFactTemplate& Old, const IFactTemplate& New) {
  if (!New || Old == New) return New;
  if (Old) FEngine->CheckNotBusy("replace a template");
  AddImpliedSlot(New);
  if (Old) {
    FEngine->RemoveFactTemplate(Old);
    if (Get(Old->GetTemplateName()) == Old) FTable.Remove(Old->GetTemplateName());
  }
  FTable.Put(New->GetTemplateName(), New);
  FEngine->AddFactTemplate(New);
  if (Old) FEngine->ReplaceTemplate(Old, New);
  return New;
}

IFactTemplate TFactTemplates::Remove(const std::string& Name) {
  IFactTemplate Template = Get(Name);
  if (!Template) return Template;
  FEngine->CheckNotBusy("remove a template");
  FEngine->RemoveFactTemplate(Template);
  FEngine->RemoveDependencies(Template);
  FTable.Remove(Name);
  return Template;
}

void TFactTemplates::Rename(const std::string& OldName, const std::string& NewName) {
  IFactTemplate Template = Get(OldName);
  if (!Template || OldName == NewName) return;
  const TUpdatingHTScope Updating(*FEngine, true);
  Remove(OldName);
  FTable.Put(NewName, Template);
  FEngine->AddFactTemplate(Template);
}

void TFactTemplates::Clear() {
  FEngine->RemoveDependencies();
  FTable.Clear();
  FEngine->ClearFactTemplates();
}

std::string TFactTemplates::GetToString() const {
  const TReadBackText ReadBack;
  const auto Templates = ParentsFirst(
      Items(), [](const IFactTemplate& Template) -> const void* { return Template->GetParent().get(); },
      SFactTemplateInheritanceCorrupt);
  std::string Text;
  for (const IFactTemplate& Template : Templates) Text += Template->GetToString() + NewLineString;
  return Text;
}

// ---- TIEDefinedTypes
// ---------------------------------------------------------------------------------------

IIEDefinedType TIEDefinedTypes::Get(const std::string& Name) const {
  const auto* Found = FTable.Find(Name);
  return Found ? *Found : IIEDefinedType();
}

void TIEDefinedTypes::Put(const IIEDefinedType& Type) {
  if (!Type) return;
  FEngine->PrepareFuzzyType(*Type);
  const std::string Name = Type->GetName();
  if (IIEDefinedType Old = Get(Name)) {
    // The very type, or an identical definition of it (a file loaded twice): the stored one stays, with the
    // templates that use it and their facts.
    if (Old == Type || Old->Equals(Type.get())) return;
    switch (FEngine->GetDuplicateConstructs()) {
      case dcIgnore:
        return;
      case dcError:
        throw EIEException(SDuplicateDefTypeNames, {Name});
      case dcOverwrite:
        Replace(Old, Type);
        return;
    }
  }
  FTable.Put(Name, Type);
  FEngine->AddDefinedType(Type);
}

IIEDefinedType TIEDefinedTypes::Replace(const IIEDefinedType& Old, const IIEDefinedType& New) {
  if (!New || Old == New) return New;
  if (Old) {
    FEngine->RemoveDefinedType(Old);
    if (Get(Old->GetName()) == Old) FTable.Remove(Old->GetName());
  }
  FTable.Put(New->GetName(), New);
  FEngine->AddDefinedType(New);
  if (Old) FEngine->ReplaceDefinedType(Old, New);
  return New;
}

IIEDefinedType TIEDefinedTypes::Remove(const std::string& Name) {
  IIEDefinedType Type = Get(Name);
  if (!Type) return Type;
  FEngine->RemoveDefinedType(Type);
  FEngine->RemoveDependencies(Type);
  FTable.Remove(Name);
  return Type;
}

void TIEDefinedTypes::Clear() {
  FEngine->GetFactTemplates().Clear();
  // Detached: a type a host keeps prints on its own from now on, also once the engine is gone.
  for (const IIEDefinedType& Type : FTable.Clear())
    if (Type->GetReasoner() == static_cast<IReasoner*>(FEngine)) Type->SetReasoner(nullptr);
  FEngine->ClearDefinedTypes();
}

std::string TIEDefinedTypes::GetToString() const {
  const TReadBackText ReadBack;
  const auto Types = ParentsFirst(
      Items(), [](const IIEDefinedType& Type) -> const void* { return Type->GetAncestor().get(); },
      STypeInheritanceCorrupt);
  std::string Text;
  for (const IIEDefinedType& Type : Types) Text += Type->GetToString() + NewLineString;
  return Text;
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
  FEngine->AddFunction(Function);
}

bool TUserFunctions::Remove(const std::string& Name) {
  IUserFunction Function;
  if (!FTable.Remove(Name, &Function)) return false;
  if (IsInterpreted(Function)) --FInterpreted;
  Function->DeleteReasoner(FEngine);
  ReleaseCalls(Function);
  FEngine->RemoveFunction(Function);
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

std::string TUserFunctions::GetToString() const {
  const TReadBackText ReadBack;
  std::string Text;
  FTable.ForEach([this, &Text](const IUserFunction& Function) {
    if (IsInterpreted(Function)) Text += NewLineString + Function->GetToString(FEngine);
  });
  return Text;
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

std::string TFactSets::GetToString() const {
  const TReadBackText ReadBack;
  std::string Text;
  for (const TFactSet* Set : FItems) Text += Set->GetToString() + NewLineString;
  return Text;
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
