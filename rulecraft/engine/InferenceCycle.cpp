// The engine's inference cycle: facts entering and leaving the fact base and the network, the agenda the
// network fills, reset and clear, running and firing.
#include <algorithm>
#include <chrono>
#include <memory>
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
#include "rulecraft/rete/ReteNode.h"

namespace rulecraft {

// ---- the fact base
// -----------------------------------------------------------------------------------------

int32_t TInferenceEngine::Assert(const IFact& Fact, bool Unconditional) try {
  if (!Fact || !Fact->GetTemplate()) throw EIEException(SNoTemplate);
  // The values may have been changed in place since the fact's hash was last kept (a modify, a resolve).
  Fact->ValuesChanged();
  if (Fact->GetTemplate()->IsFuzzy()) {
    // A conclusion is no more certain than the firing that draws it; an equal fact present (equal in its
    // crisp slots) is merged into the new one, which takes its place. A fuzzy fact is never refused.
    if (FCurrent) FuzzyCorrelation(Fact, FCurrent->GetStrength());
    if (TFact* Existing = FFacts->FindEqual(*Fact); Existing && Existing != Fact.get()) {
      const IFact Present(Existing);
      FuzzyOperation(Fact, Present, !Unconditional);
      RetractEntry(FFacts->FindEntry(Existing));
    }
  } else if (!FFactDuplication && FFacts->FindEqual(*Fact)) {
    return -1;
  }
  if (FMaxFacts > 0 && FFacts->Count() >= FMaxFacts) throw EIEException(SFactLimitReached, {FMaxFacts});
  // The firing that asserts it, recorded once per firing (before this fact, which may be one of the firing's
  // own being modified, takes its new identifier) and shared by its facts; a fact asserted again records
  // its new assertion.
  if (FCurrent && FRecordFirings && FResetDepth == 0) {
    if (!FFiringOrigin) FFiringOrigin = MakeOrigin(*FCurrent);
    Fact->SetOrigin(FFiringOrigin);
  } else if (Fact->GetOrigin()) {
    Fact->SetOrigin(IFactOrigin());
  }
  const int32_t ID = NewFactId();
  Fact->SetID(ID);
  {
    TFacts::TInternalChange Internal(*FFacts);
    FFacts->Append(Fact);
  }
  if (Watching(cwFact)) PrintOut(" ==> " + Fact->GetToIDString() + NewLineString);
  {
    TIEAgenda::TChange Change(*FAgenda);
    FNetwork->ProcessToken(MakeRef<TIEToken>(taAdd, Fact));
  }
  ProcessPendingFacts();
  if (OnAssertion) OnAssertion(this, Fact);
  return ID;
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

int32_t TInferenceEngine::Assert(const std::string& Text) try {
  IFact Fact = ParseFact(Text);
  if (!Fact) throw EIEException(SNoTemplate);
  Fact = FContext->Resolve(Fact);
  return Assert(Fact, false);
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

void TInferenceEngine::Retract(int32_t ID) try {
  const size_t Entry = FFacts->FindEntry(ID);
  if (Entry != SIZE_MAX) RetractEntry(Entry);
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

void TInferenceEngine::Retract(const IFact& Fact) try {
  if (!Fact) return;
  if (TFact* Found = FFacts->FindEqual(*Fact)) RetractEntry(FFacts->FindEntry(Found));
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

void TInferenceEngine::Retract(const std::string& Text) try {
  IFact Fact = ParseFact(Text);
  if (Fact) Retract(FContext->Resolve(Fact));
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

void TInferenceEngine::RetractFact(int32_t Index) try {
  RetractEntry(FFacts->EntryOf(Index));
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

void TInferenceEngine::RetractFact(const IFact& Fact) try {
  const size_t Entry = FFacts->FindEntry(Fact.get());
  if (Entry != SIZE_MAX) RetractEntry(Entry);
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

void TInferenceEngine::RetractEntry(size_t Entry) {
  if (Entry == SIZE_MAX || Entry >= FFacts->FEntries.size()) return;
  const IFact Fact = FFacts->FEntries[Entry].Fact;
  if (!Fact) return;
  if (OnRetraction) OnRetraction(this, Fact);
  // The handler may have retracted the fact itself: find it again.
  auto Remove = [&] {
    TFacts::TInternalChange Internal(*FFacts);
    const size_t Now = FFacts->FindEntry(Fact.get());
    if (Now == SIZE_MAX) return false;
    FFacts->RemoveEntry(Now);
    return true;
  };
  try {
    TIEAgenda::TChange Change(*FAgenda);
    FNetwork->ProcessToken(MakeRef<TIEToken>(taRemove, Fact));
  } catch (...) {
    // The fact leaves the fact base even when withdrawing it raised.
    Remove();
    throw;
  }
  if (Watching(cwFact)) PrintOut(" <== " + Fact->GetToIDString() + NewLineString);
  if (!Remove()) return;
  ProcessPendingFacts();
}

void TInferenceEngine::RetractFacts() try {
  {
    TIEAgenda::TChange Change(*FAgenda);
    FNetwork->ProcessToken(MakeRef<TIEToken>());
  }
  if (OnClearFacts) OnClearFacts(this);
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

void TInferenceEngine::BeginFactModify(const IFact& Fact) { RetractFact(Fact); }

int32_t TInferenceEngine::EndFactModify(const IFact& Fact) { return Assert(Fact, false); }

void TInferenceEngine::AddPendingFact(const IFact& Fact, bool Assertion) {
  if (!Fact) return;
  (Assertion ? FPendingAssertions : FPendingRetractions).push_back(Fact);
}

void TInferenceEngine::ProcessPendingFacts() {
  while (!FPendingAssertions.empty()) {
    const IFact Fact = FPendingAssertions.front();
    FPendingAssertions.erase(FPendingAssertions.begin());
    Assert(Fact, false);
  }
  while (!FPendingRetractions.empty()) {
    const IFact Fact = FPendingRetractions.front();
    FPendingRetractions.erase(FPendingRetractions.begin());
    Retract(Fact);
  }
}

const IFact& TInferenceEngine::GetPendingAssertion(int32_t Index) const {
  if (Index < 0 || Index >= GetPendingAssertionCount())
    throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
  return FPendingAssertions[static_cast<size_t>(Index)];
}

const IFact& TInferenceEngine::GetPendingRetraction(int32_t Index) const {
  if (Index < 0 || Index >= GetPendingRetractionCount())
    throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
  return FPendingRetractions[static_cast<size_t>(Index)];
}

// ---- the agenda
// --------------------------------------------------------------------------------------------

void TInferenceEngine::AddActivation(std::unique_ptr<TActivation> Activation) {
  if (!Activation) return;
  TActivation* Added = Activation.get();
  if (TRule* Rule = Added->GetRule()) Added->SetSalience(Rule->EvaluateSalience());
  const int32_t Index = FAgenda->Add(std::move(Activation));
  if (Watching(cwActivation))
    PrintOut("==> Activation: " + (Added->GetRule() ? Added->GetRule()->GetRuleName() : std::string()) +
             " : " + Added->GetToken()->GetToFactsString() + NewLineString);
  if (OnAddActivation) OnAddActivation(this, Index, Added);
}

void TInferenceEngine::RemoveActivation(int32_t Index) {
  TActivation* Activation = FAgenda->Get(Index);
  if (OnRemoveActivation || Watching(cwActivation)) {
    if (OnRemoveActivation) OnRemoveActivation(this, Index, Activation);
    if (Watching(cwActivation))
      PrintOut("<== Activation: " +
               (Activation->GetRule() ? Activation->GetRule()->GetRuleName() : std::string()) + " : " +
               Activation->GetToken()->GetToFactsString() + NewLineString);
    // A handler may have changed the agenda: look again. Without one the activation is still at Index.
    Index = FAgenda->IndexOf(Activation);
    if (Index < 0) return;
  }
  if (Activation == FCurrent)
    FCurrentTaken = FAgenda->Extract(Index);  // Run releases it
  else
    FAgenda->Delete(Index);
}

void TInferenceEngine::RemoveActivation(TActivation* Activation) {
  const int32_t Index = FAgenda->IndexOf(Activation);
  if (Index >= 0) RemoveActivation(Index);
}

void TInferenceEngine::RuleFired(TActivation* Activation) {
  if (OnRuleFired) OnRuleFired(this, Activation->GetRule());
  RemoveActivation(Activation);
}

void TInferenceEngine::ClearAgenda() {
  if (FCurrent && !FCurrentTaken) {
    const int32_t Index = FAgenda->IndexOf(FCurrent);
    if (Index >= 0) FCurrentTaken = FAgenda->Extract(Index);
  }
  FAgenda->Clear();
}

void TInferenceEngine::SetStrategy(TSearchStrategy Value) {
  if (Value == FAgenda->GetStrategy()) return;
  // The same activations, taken off in order and added again under the new strategy.
  std::vector<std::unique_ptr<TActivation>> Taken;
  Taken.reserve(static_cast<size_t>(FAgenda->Count()));
  while (!FAgenda->Empty()) Taken.push_back(FAgenda->Extract(0));
  FAgenda->SetStrategy(Value);
  for (auto& Activation : Taken) AddActivation(std::move(Activation));
}

// ---- the inference cycle
// -----------------------------------------------------------------------------------

void TInferenceEngine::ResetGlobalVariable(const std::string& Name, const IIEValue& Value) {
  IIEValue Bound = Value;
  if (Value && Value->GetDType() == dtFunCall) {
    std::unique_ptr<TIEContext> Child = FContext->Push();
    IIEValue Result;
    Value->Resolve(Child.get(), Result);
    Bound = Result;
  }
  FContext->AddGlobalBinding(Name, Bound ? Bound : FCNil);
}

void TInferenceEngine::CheckNotBusy(const char* What) const {
  if (FResetDepth > 0 || FNetwork->IsMatching()) throw EIEException(SEngineBusy, {What});
}

void TInferenceEngine::Reset() try {
  CheckNotBusy("reset");
  struct TResetScope {
    int32_t& Depth;
    ~TResetScope() { --Depth; }
  } Scope{++FResetDepth};
  FFacts->Clear();
  FNextFactId = 0;
  for (TRule* Rule : FRules->Items()) Rule->Reset();
  // Globals first, so that tests on globals see their initial values when (Initial-Fact) arrives.
  if (FResetGlobals) {
    for (int32_t I = 0; I < FGlobalVariables->Count(); ++I)
      ResetGlobalVariable(FGlobalVariables->GetKeyByIndex(I), FGlobalVariables->GetItemByIndex(I));
  }
  AssertInitialFact();
  const std::vector<TFactSet*> Sets = FFactSets->Items();
  for (TFactSet* Set : Sets) Set->Reset();
  if (OnReset) OnReset(this);
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

void TInferenceEngine::Clear() try {
  CheckNotBusy("clear");
  FHalt = false;
  FNextFactId = 0;
  FNextRuleId = 0;
  ClearAgenda();
  FNetwork->Clear();
  FRules->Clear();
  FFactTemplates->Clear();
  FGlobalVariables->Clear();
  FDefinedTypes->Clear();
  FNullFact = IFact();
  try {
    FFactSets->Clear();
    FFacts->Clear();
    FPendingAssertions.clear();
    FPendingRetractions.clear();
    if (FUserFunctions->GetInterpretedCount() > 0) {
      std::vector<IUserFunction> Interpreted;
      for (const IUserFunction& Function : FUserFunctions->Items())
        if (Function->ClassName() == "TInterpretedFunction") Interpreted.push_back(Function);
      for (const IUserFunction& Function : Interpreted) FUserFunctions->Remove(Function->GetFunctionName());
    }
    FInitialFactPattern.reset();
    FEngineVariables->Clear();
    FIOStreams->Clear();
  } catch (...) {
    if (!IsDestroying()) MakeInitialObjects();
    throw;
  }
  if (!IsDestroying()) MakeInitialObjects();
  if (OnClear) OnClear(this);
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

int32_t TInferenceEngine::Run(int32_t Limit) try {
  if (FCurrent) return 0;  // a run from inside a firing
  BeginInference();
  while (!FAgenda->Empty() && !FHalt && FRulesFired < Limit) {
    struct TCycleLock {
      TInferenceEngine& Engine;
      explicit TCycleLock(TInferenceEngine& E) : Engine(E) { Engine.Lock(); }
      TCycleLock(const TCycleLock&) = delete;
      TCycleLock& operator=(const TCycleLock&) = delete;
      ~TCycleLock() { Engine.Unlock(); }
    } Guard(*this);
    if (FAgenda->Empty()) break;
    FCurrent = FAgenda->Get(0);
    FFiringOrigin.reset();
    struct TFiring {
      TInferenceEngine& Engine;
      ~TFiring() {
        // The activation leaves the agenda whatever happened, then what the firing kept alive goes.
        if (Engine.FCurrent && !Engine.FCurrentTaken) {
          const int32_t Index = Engine.FAgenda->IndexOf(Engine.FCurrent);
          if (Index >= 0) Engine.FCurrentTaken = Engine.FAgenda->Extract(Index);
        }
        Engine.FCurrent = nullptr;
        Engine.FFiringOrigin.reset();
        Engine.FCurrentTaken.reset();
        Engine.ReleaseDoomed();
      }
    } Firing{*this};
    if (Watching(cwRule))
      PrintOut("FIRE " + std::to_string(FRulesFired) + " " +
               (FCurrent->GetRule() ? FCurrent->GetRule()->GetRuleName() : std::string()) + " " +
               FCurrent->GetToken()->GetToFactsString() + NewLineString);
    FCurrent->Fire();
    if (FWatch.Contains(cwStatistics)) {
      const int32_t Facts = FFacts->Count();
      const int32_t Activations = FAgenda->Count();
      FFactCountSum += Facts;
      FFactCountMax = std::max(FFactCountMax, Facts);
      FAgendaSizeSum += Activations;
      FAgendaSizeMax = std::max(FAgendaSizeMax, Activations);
    }
    ++FRulesFired;
    if (FMaxFirings > 0 && FRulesFired >= FMaxFirings) break;
  }
  EndInference();
  // The host's limit, unlike the caller's, is an error when rules were left to fire; they stay on the agenda.
  if (FMaxFirings > 0 && FRulesFired >= FMaxFirings && FRulesFired < Limit && !FHalt && !FAgenda->Empty())
    throw EIEException(SFiringLimitReached, {FMaxFirings});
  return FRulesFired;
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

void TInferenceEngine::BeginInference() {
  if (OnStartInference) OnStartInference(this);
  FStartTime = std::chrono::steady_clock::now();
  FRulesFired = 0;
  FFactCountMax = FFacts->Count();
  FFactCountSum = 0.0;
  FAgendaSizeMax = FAgenda->Count();
  FAgendaSizeSum = 0.0;
  FHalt = false;
}

void TInferenceEngine::EndInference() {
  if (FWatch.Contains(cwStatistics)) {
    FElapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - FStartTime).count();
    double MeanFacts = FFactCountSum;
    double MeanActivations = FAgendaSizeSum;
    if (FRulesFired > 0) {
      MeanFacts /= FRulesFired;
      MeanActivations /= FRulesFired;
    }
    if (FRulesFired >= 1 && OnPrintOut) {
      PrintOut(std::to_string(FRulesFired) + " rules fired.     Run time is " + Format("%.4f", {FElapsed}) +
               " seconds" + NewLineString);
      if (FElapsed == 0.0)
        PrintOut(std::to_string(FRulesFired) + " rules per second" + NewLineString);
      else
        PrintOut(Format("%.4f", {FRulesFired / FElapsed}) + " rules per second" + NewLineString);
      PrintOut(Format("%.4f", {MeanFacts}) + " mean number of facts (" + std::to_string(FFactCountMax) +
               " maximum)" + NewLineString);
      PrintOut(Format("%.4f", {MeanActivations}) + " mean number of activations (" +
               std::to_string(FAgendaSizeMax) + " maximum)" + NewLineString);
    }
  }
  if (OnEndInference) OnEndInference(this, FRulesFired);
}

void TInferenceEngine::ReleaseDoomed() {
  if (FCurrent) return;
  while (!FDoomedRules.empty()) {
    TRule* Rule = FDoomedRules.back();
    FDoomedRules.pop_back();
    if (Rule->GetOwner() == this)
      FreeComponent(Rule);
    else
      delete Rule;
  }
}

}  // namespace rulecraft
