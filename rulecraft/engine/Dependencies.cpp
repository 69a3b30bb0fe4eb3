// Keeping an expert system consistent while its constructs change: what uses a removed template or defined
// type goes with it, and what uses a redefined one is rebuilt from its text against the new definition.
#include <cstddef>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "rulecraft/core/Constants.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/engine/FactSet.h"
#include "rulecraft/engine/InferenceEngine.h"
#include "rulecraft/framework/Exception.h"
#include "rulecraft/framework/Format.h"
#include "rulecraft/functions/FunctionCall.h"
#include "rulecraft/functions/InterpretedFunction.h"

namespace rulecraft {

namespace {

/// The parser raising at the first error for a scope, then back to the engine's setting.
class TRaiseImmediately {
 public:
  explicit TRaiseImmediately(TInferenceEngine& Engine) : FEngine(Engine) {
    FEngine.GetParser().SetErrorHandling(ehRaiseImmediate);
  }
  TRaiseImmediately(const TRaiseImmediately&) = delete;
  TRaiseImmediately& operator=(const TRaiseImmediately&) = delete;
  ~TRaiseImmediately() { FEngine.GetParser().SetErrorHandling(FEngine.GetParserErrorHandling()); }

 private:
  TInferenceEngine& FEngine;
};

bool OfTemplate(const IFact& Fact, const IFactTemplate& Template) {
  return Fact && Fact->GetTemplate() == Template;
}

/// Drops the facts of Template from a pending list, last first.
void DropPending(std::vector<IFact>& Pending, const IFactTemplate& Template) {
  for (size_t I = Pending.size(); I-- > 0;)
    if (OfTemplate(Pending[I], Template)) Pending.erase(Pending.begin() + static_cast<std::ptrdiff_t>(I));
}

/// The first word of a fact's text, its template's name: "order" for "(order (item bolt))".
std::string HeadWord(const std::string& Text) {
  size_t Start = Text.find_first_not_of(" \t\r\n(");
  if (Start == std::string::npos) return std::string();
  const size_t End = Text.find_first_of(" \t\r\n()", Start);
  return Text.substr(Start, End == std::string::npos ? std::string::npos : End - Start);
}

/// The rule, or one of the alternatives of its or elements, has a pattern on Template.
bool HasPatternOn(const TRule& Rule, const IFactTemplate& Template) {
  for (int32_t A = -1; A < Rule.GetAlternativeCount(); ++A) {
    const TRule* Alternative = A < 0 ? &Rule : Rule.GetAlternative(A);
    for (int32_t I = 0; I < Alternative->GetPatternCount(); ++I)
      if (Alternative->GetPattern(I)->GetFactTemplate() == Template) return true;
  }
  return false;
}

/// Every value under Value that holds a fact of Template: the value objects themselves, so that they can be
/// given a new fact in place.
void CollectFactLiterals(const IIEValue& Value, const IFactTemplate& Template, std::vector<IIEValue>& Found,
                         int32_t Depth = 0) {
  if (!Value || Depth > 1000) return;
  switch (Value->GetDType()) {
    case dtFact:
      if (OfTemplate(Value->GetAsFact(), Template)) Found.push_back(Value);
      break;
    case dtFunCall:
      if (const IFunCall Call = Value->GetAsFunCall())
        for (const IIEValue& Argument : Call->GetArguments())
          CollectFactLiterals(Argument, Template, Found, Depth + 1);
      break;
    case dtList:
      if (const IValueVector List = Value->GetAsList())
        for (int32_t I = 0; I < List->GetValueCount(); ++I)
          CollectFactLiterals(List->Get(I), Template, Found, Depth + 1);
      break;
    default:
      break;
  }
}

/// A new narrowing copy of New for a slot whose type Narrowing narrowed Old: New's definition with the
/// limits the slot set itself (those in which Narrowing differs from Old).
IIEDefinedType NarrowAgain(const IIEDefinedType& New, const TIEDefinedType& Narrowing,
                           const TIEDefinedType& Old) {
  IIEDefinedType Copy = New->Clone();
  Copy->BeginUpdate();
  Copy->SetImplicit(true);
  Copy->SetName(std::string());
  Copy->SetNarrowed(New);
  if (Narrowing.GetRangeLimited() != Old.GetRangeLimited() || Narrowing.GetMinRange() != Old.GetMinRange() ||
      Narrowing.GetMaxRange() != Old.GetMaxRange()) {
    Copy->SetRangeLimited(Narrowing.GetRangeLimited());
    Copy->SetMinRange(Narrowing.GetMinRange());
    Copy->SetMaxRange(Narrowing.GetMaxRange());
  }
  if (Narrowing.GetCardinalityLimited() != Old.GetCardinalityLimited() ||
      Narrowing.GetMinCardinality() != Old.GetMinCardinality() ||
      Narrowing.GetMaxCardinality() != Old.GetMaxCardinality()) {
    Copy->SetCardinalityLimited(Narrowing.GetCardinalityLimited());
    Copy->SetMinCardinality(Narrowing.GetMinCardinality());
    Copy->SetMaxCardinality(Narrowing.GetMaxCardinality());
  }
  if (Narrowing.GetUnits() != Old.GetUnits()) Copy->SetUnits(Narrowing.GetUnits());
  if (Narrowing.GetConstraints() != Old.GetConstraints() || !Narrowing.ConstraintsEqual(Old)) {
    Copy->ClearConstraints();
    Copy->SetConstraints(Narrowing.GetConstraints());
    for (int32_t I = 0; I < Narrowing.GetConstraintAtomsCount(); ++I)
      Copy->AddConstraint(MakeRef<TIEValue>(Narrowing.GetConstraintAtom(I), dtAtom));
    for (int32_t I = 0; I < Narrowing.GetConstraintStringsCount(); ++I)
      Copy->AddConstraint(MakeRef<TIEValue>(Narrowing.GetConstraintString(I), dtString));
    for (int32_t I = 0; I < Narrowing.GetConstraintIntegersCount(); ++I)
      Copy->AddConstraint(MakeRef<TIEValue>(Narrowing.GetConstraintInteger(I), dtInteger));
    for (int32_t I = 0; I < Narrowing.GetConstraintFloatsCount(); ++I)
      Copy->AddConstraint(MakeRef<TIEValue>(Narrowing.GetConstraintFloat(I), dtFloat));
  }
  Copy->EndUpdate();
  return Copy;
}

}  // namespace

// ---- removing
// ----------------------------------------------------------------------------------------------

void TInferenceEngine::RemoveDependencies(const IFactTemplate& Template) try {
  if (!Template) return;
  DropPending(FPendingAssertions, Template);
  DropPending(FPendingRetractions, Template);
  const std::vector<IFact> Facts = FFacts->Items();
  for (size_t I = Facts.size(); I-- > 0;)
    if (OfTemplate(Facts[I], Template)) RetractFact(Facts[I]);
  // The fact sets' lines of the template go: emptied, they would be read again at the next reset, against
  // no template.
  for (TFactSet* Set : FFactSets->Items())
    for (int32_t I = Set->Count() - 1; I >= 0; --I)
      if (OfTemplate(Set->GetAttachedFact(I), Template)) Set->Delete(I);
  // The rules are collected first: removing one changes the table.
  std::vector<std::pair<std::string, TRule*>> Using;
  for (TRule* Rule : FRules->Items())
    if (HasPatternOn(*Rule, Template)) Using.emplace_back(Rule->GetRuleName(), Rule);
  const TUpdatingHTScope Updating(*this, false);
  for (const auto& [Name, Rule] : Using) FRules->Remove(Name, Rule);
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

void TInferenceEngine::RemoveDependencies(const IIEDefinedType& DefinedType) try {
  if (!DefinedType) return;
  const std::vector<IFactTemplate> Templates = FFactTemplates->Items();
  for (size_t I = Templates.size(); I-- > 0;)
    if (Templates[I]->ContainsType(DefinedType)) FFactTemplates->Remove(Templates[I]->GetTemplateName());
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

void TInferenceEngine::RemoveDependencies() try {
  FPendingAssertions.clear();
  FPendingRetractions.clear();
  ClearAgenda();
  FNetwork->Clear();
  FFacts->Clear();
  FRules->Clear();
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

// ---- replacing
// ---------------------------------------------------------------------------------------------

void TInferenceEngine::ReplaceTemplate(const IFactTemplate& Old, const IFactTemplate& New) try {
  if (!Old || !New) return;
  if (Old->GetTemplateName() != New->GetTemplateName()) {
    RemoveDependencies(Old);
    return;
  }
  const std::string Cause = "deftemplate " + Old->GetTemplateName();
  TDependencyList List;
  DropPending(FPendingAssertions, Old);
  DropPending(FPendingRetractions, Old);
  {
    const TReadBackText ReadBack;  // the texts are read again
    const std::vector<IFact> Facts = FFacts->Items();
    for (size_t I = Facts.size(); I-- > 0;) {
      const IFact& Fact = Facts[I];
      if (!OfTemplate(Fact, Old)) continue;
      List.push_back(TDependency{"fact", "f-" + std::to_string(Fact->GetID()), Fact->GetToString(), Fact,
                                 IUserFunction(), Cause, Old});
      RetractFact(Fact);
    }
  }
  // The fact sets' lines of the template (with a fact of it, or not read yet) are read again at the next
  // reset; a line that no longer reads is dropped now, so that the set's text stays one that reads back.
  for (TFactSet* Set : FFactSets->Items())
    for (int32_t I = 0; I < Set->Count(); ++I)
      if (const IFact& Attached = Set->GetAttachedFact(I);
          OfTemplate(Attached, Old) || (!Attached && HeadWord(Set->GetLine(I)) == Old->GetTemplateName())) {
        Set->SetFact(I, IFact());
        List.push_back(TDependency{"deffacts", Set->GetFactSetName(), Set->GetLine(I), IFact(),
                                   IUserFunction(), Cause, Old});
      }
  // Functions whose statements hold facts of the old template read them again; they stay the same objects,
  // so the calls bound to them keep working.
  for (const IUserFunction& Function : FUserFunctions->Items()) {
    const auto* Interpreted = dynamic_cast<const TInterpretedFunction*>(Function.get());
    if (!Interpreted) continue;
    for (int32_t I = 0; I < Interpreted->GetStatementCount(); ++I)
      if (IsDependent(Interpreted->GetStatement(I), Old)) {
        List.push_back(TDependency{"deffunction", Function->GetFunctionName(), std::string(), IFact(),
                                   Function, Cause, Old});
        break;
      }
  }
  if (FRules->Count() > 0) {
    const TReadBackText ReadBack;
    std::vector<std::pair<std::string, TRule*>> Using;
    for (TRule* Rule : FRules->Items())
      if (IsDependent(*Rule, Old)) {
        List.push_back(TDependency{"defrule", Rule->GetRuleName(), Rule->GetToString(), IFact(),
                                   IUserFunction(), Cause, Old});
        Using.emplace_back(Rule->GetRuleName(), Rule);
      }
    const TUpdatingHTScope Updating(*this, false);
    for (const auto& [Name, Rule] : Using) FRules->Remove(Name, Rule);
  }
  UpdateDependencies(List);
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

void TInferenceEngine::ReplaceDefinedType(const IIEDefinedType& Old, const IIEDefinedType& New) try {
  if (!Old || !New) return;
  if (Old->GetName() != New->GetName()) {
    RemoveDependencies(Old);
    return;
  }
  std::vector<std::pair<IFactTemplate, IFactTemplate>> Copies;  // the template and its copy
  const std::vector<IFactTemplate> Templates = FFactTemplates->Items();
  for (size_t I = Templates.size(); I-- > 0;) {
    const IFactTemplate& Template = Templates[I];
    if (!Template->ContainsType(Old)) continue;
    // The copy keeps the template's own name, so that it replaces the template.
    IFactTemplate Copy = MakeRef<TFactTemplate>(Template->GetOwner(), Template->GetTemplateName());
    Copy->Assign(static_cast<const TPersistent*>(Template.get()));
    Copy->SetComment(Template->GetComment());
    Copy->SetBackwardChaining(Template->IsBackwardChaining());
    for (const TFactTemplate::TSlotEntry& Entry : Copy->GetSlots()) {
      const IFactSlot Slot = Entry.Slot;
      const IIEDefinedType Type = Slot->GetExtendedTypeInfo();
      if (!Type || !Type->Uses(Old.get())) continue;
      Slot->SetExtendedTypeInfo(Type == Old ? New : NarrowAgain(New, *Type, *Old));
      const IIEValue& Default = Slot->GetSlotDefault();
      if (Default && IEReparseTypes.Contains(Default->GetDType())) {
        const TReadBackText ReadBack;
        Slot->SetSlotDefault(ParseValue(Default->GetToString(), *Slot));
      }
    }
    Copies.emplace_back(Template, Copy);
  }
  for (const auto& [Template, Copy] : Copies) FFactTemplates->Replace(Template, Copy);
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

// ---- what depends on a template
// ----------------------------------------------------------------------------

bool TInferenceEngine::IsDependent(const TRule& Rule, const IFactTemplate& Template) const {
  if (HasPatternOn(Rule, Template)) return true;
  for (int32_t I = 0; I < Rule.GetActionCount(); ++I)
    if (IsDependent(Rule.GetAction(I), Template)) return true;
  return false;
}

bool TInferenceEngine::IsDependent(const IFunCall& FunCall, const IFactTemplate& Template) const {
  if (!FunCall) return false;
  for (const IIEValue& Argument : FunCall->GetArguments())
    if (IsDependent(Argument, Template)) return true;
  return false;
}

bool TInferenceEngine::IsDependent(const IIEValue& Value, const IFactTemplate& Template) const {
  std::vector<IIEValue> Found;
  CollectFactLiterals(Value, Template, Found);
  return !Found.empty();
}

// ---- rebuilding
// --------------------------------------------------------------------------------------------

void TInferenceEngine::UpdateDependencies(const TDependencyList& List) {
  const TRaiseImmediately Raising(*this);
  for (const TDependency& Entry : List) {
    try {
      if (Entry.Fact) {
        UpdateDependentFact(Entry.Fact, FParser->ParseFact(Entry.Text));
      } else if (Entry.Kind == "deffacts") {
        (void)FParser->ParseFact(Entry.Text);  // only checked: the set reads its line at the next reset
      } else if (Entry.Function) {
        // Every literal is read first; only then do the statements take the new facts.
        std::vector<IIEValue> Literals;
        if (const auto* Interpreted = dynamic_cast<const TInterpretedFunction*>(Entry.Function.get()))
          for (int32_t I = 0; I < Interpreted->GetStatementCount(); ++I)
            CollectFactLiterals(Interpreted->GetStatement(I), Entry.Template, Literals);
        std::vector<IFact> Fresh;
        {
          const TReadBackText ReadBack;
          for (const IIEValue& Literal : Literals)
            Fresh.push_back(FParser->ParseFact(Literal->GetToString()));
        }
        for (size_t I = 0; I < Literals.size(); ++I) Literals[I]->SetAsFact(Fresh[I]);
      } else {
        FParser->Parse(Entry.Text, true);
      }
    } catch (const std::bad_alloc&) {
      throw EIEException(SOutOfMemory);
    } catch (const Exception& Error) {
      if (Error.Message() == SOutOfMemory) throw;  // not a construct that no longer reads
      // A function that cannot be rebuilt goes as a rule does.
      if (Entry.Function && FUserFunctions->Get(Entry.Function->GetFunctionName()) == Entry.Function)
        FUserFunctions->Remove(Entry.Function->GetFunctionName());
      if (Entry.Kind == "deffacts") DropFactSetLine(Entry.Name, Entry.Text);
      Warning(
          TIEWarning{Entry.Kind, Entry.Name, 0, Format(SDependentDropped, {Entry.Cause, Error.Message()})});
    }
  }
}

void TInferenceEngine::DropFactSetLine(const std::string& SetName, const std::string& Line) {
  const int32_t Index = FFactSets->IndexOf(SetName);
  if (Index < 0) return;
  TFactSet* Set = FFactSets->Get(Index);
  for (int32_t I = 0; I < Set->Count(); ++I)
    if (!Set->GetAttachedFact(I) && Set->GetLine(I) == Line) {
      Set->Delete(I);
      return;
    }
}

int32_t TInferenceEngine::UpdateDependentFact(const IFact& Old, const IFact& New) {
  (void)Old;
  if (!New) return -1;
  return Assert(New, false);
}

}  // namespace rulecraft
