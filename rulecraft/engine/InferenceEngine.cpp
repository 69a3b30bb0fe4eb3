#include "rulecraft/engine/InferenceEngine.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "rulecraft/collections/TextStream.h"
#include "rulecraft/core/Constants.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/engine/FactSet.h"
#include "rulecraft/facts/FactPrinter.h"
#include "rulecraft/framework/Exception.h"
#include "rulecraft/framework/Format.h"
#include "rulecraft/functions/FunctionCall.h"
#include "rulecraft/functions/InterpretedFunction.h"
#include "rulecraft/fuzzyset/FuzzySet.h"
#include "rulecraft/rete/ReteNode.h"
#include "rulecraft/types/DefinedTypePrinter.h"

namespace rulecraft {

const TEnumInfo& TIEObjectTypeInfo() {
  static const TEnumInfo Info(
      "TIEObjectType",
      {"otAgenda", "otEngineVariables", "otFacts", "otFactSets", "otFactTemplates", "otGlobalVariables",
       "otDefinedTypes", "otIOStreams", "otRules", "otUserFunctions", "otReteNetwork"});
  return Info;
}

namespace {

constexpr const char* SInitialFactName = SInitialFactPattern;
constexpr const char* SNullFactName = SNullFact;
constexpr const char* SImpliedComment = "(Implied)";

// The fixed order packages are installed in.
constexpr TFunctionPackage PackageOrder[] = {pStandard, pMiscellaneous, pPredicate, pMath,      pString,
                                             pObject,   pTrigonometry,  pBusiness,  pFuzzyLogic};

TFunctionPackages AllPackages() {
  TFunctionPackages All;
  for (TFunctionPackage Package : PackageOrder) All.Include(Package);
  return All;
}

// Sets a flag for a scope and restores it.
class TFlagScope {
 public:
  TFlagScope(bool& Flag, bool Value) : FFlag(Flag), FOld(Flag) { Flag = Value; }
  TFlagScope(const TFlagScope&) = delete;
  TFlagScope& operator=(const TFlagScope&) = delete;
  ~TFlagScope() { FFlag = FOld; }

 private:
  bool& FFlag;
  bool FOld;
};

}  // namespace

// ---- lifetime
// ----------------------------------------------------------------------------------------------

namespace {
TEngineParserFactory DefaultParserFactory = nullptr;
TFunctionPackageFactory DefaultPackageFactory = nullptr;
}  // namespace

void TInferenceEngine::SetDefaultFactories(TEngineParserFactory Parser,
                                           TFunctionPackageFactory Packages) noexcept {
  DefaultParserFactory = Parser;
  DefaultPackageFactory = Packages;
}

TInferenceEngine::TInferenceEngine(TComponent* AOwner) : TComponent(AOwner) {
  if (!DefaultParserFactory) throw EIEException(SNoEngineParser);
  FParser = DefaultParserFactory(this);
  FContext = std::make_unique<TIEContext>(nullptr, this);
  FGlobalVariables = std::make_unique<TGlobalVariables>(this);
  FDefinedTypes = std::make_unique<TIEDefinedTypes>(this);
  FAgenda = std::make_unique<TIEAgenda>();
  FFactTemplates = std::make_unique<TFactTemplates>(this);
  FFacts = std::make_unique<TFacts>(this);
  FFactSets = std::make_unique<TFactSets>(this);
  FNetwork = new TReteNetwork(this, this);
  FRules = std::make_unique<TRules>(this);
  FEngineVariables = std::make_unique<TEngineVariables>(this);
  FUserFunctions = std::make_unique<TUserFunctions>(this);
  FIOStreams = std::make_unique<TIOStreams>(this);
  MakeInitialObjects();
  FPackages = AllPackages();
  SetTypeChecks(TTypeChecks{tcStatic});
  AddDefaultPackages();
  AssertInitialFact();
}

TInferenceEngine::~TInferenceEngine() {
  Destroying();
  // No handler hears the engine go.
  OnAddDefaultPackages = nullptr;
  OnAddActivation = OnRemoveActivation = nullptr;
  OnAddDefinedType = OnRemoveDefinedType = nullptr;
  OnAddRule = OnRemoveRule = OnRuleFired = nullptr;
  OnAddUserFunction = OnRemoveUserFunction = nullptr;
  OnNewFactTemplate = OnRemoveFactTemplate = nullptr;
  OnAssertion = OnRetraction = nullptr;
  OnClearFacts = OnClear = OnClearDefinedTypes = OnClearFactTemplates = OnClearRules = nullptr;
  OnReset = OnStartInference = nullptr;
  OnEndInference = nullptr;
  OnPrintOut = nullptr;
  OnReadLine = nullptr;
  OnReadToken = nullptr;
  FNetwork->OnActivation = FNetwork->OnDeactivation = FNetwork->OnRuleFired = nullptr;
  try {
    Clear();
  } catch (...) {  // nothing may leave a destructor; what Clear could not do, the members' destruction does
  }
  ClearAgenda();
  FCurrentTaken.reset();
  ReleaseDoomed();
  // The packages and functions forget this engine before it goes; the network goes before the rules.
  for (const IUserFunction& Function : FUserFunctions->Items()) Function->ForgetReasoner(this);
  for (TUserPackage* Package : FInstalledPackages) Package->RemoveReasoner(this);
  FInstalledPackages.clear();
  FreeComponent(FNetwork);
  FNetwork = nullptr;
}

void TInferenceEngine::MakeInitialObjects() {
  const IFactTemplate Initial = CreateFactTemplate(SInitialFactName);
  FInitialFactPattern = std::make_unique<TIEPattern>(this, SInitialFactName, Initial, 0);
  const IFactTemplate Null = CreateFactTemplate(SNullFactName);
  FNullFact = Null->NewFact();
  FNullFact->SetID(-1);
}

void TInferenceEngine::AssertInitialFact() {
  const IFactTemplate Initial = CreateFactTemplate(SInitialFactName);
  Assert(Initial->NewFact(), false);
}

void TInferenceEngine::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove || IsDestroying()) return;
  if (auto* Rule = dynamic_cast<TRule*>(AComponent)) {
    FRules->Remove(Rule->GetRuleName(), Rule);
    FDoomedRules.erase(std::remove(FDoomedRules.begin(), FDoomedRules.end(), Rule), FDoomedRules.end());
  } else if (auto* Set = dynamic_cast<TFactSet*>(AComponent)) {
    FFactSets->Remove(Set);
  } else if (auto* Package = dynamic_cast<TUserPackage*>(AComponent)) {
    FInstalledPackages.erase(std::remove(FInstalledPackages.begin(), FInstalledPackages.end(), Package),
                             FInstalledPackages.end());
  }
}

void TInferenceEngine::Lock() {
  const std::thread::id Self = std::this_thread::get_id();
  if (FLockOwner.load(std::memory_order_relaxed) == Self) {
    ++FLockDepth;
    return;
  }
  FLock.lock();
  FLockOwner.store(Self, std::memory_order_relaxed);
  FLockDepth = 1;
}

void TInferenceEngine::Unlock() {
  if (FLockOwner.load(std::memory_order_relaxed) != std::this_thread::get_id()) return;
  if (--FLockDepth > 0) return;
  FLockOwner.store(std::thread::id(), std::memory_order_relaxed);
  FLock.unlock();
}

// ---- properties
// --------------------------------------------------------------------------------------------

void TInferenceEngine::SetPackages(TFunctionPackages Value) {
  if (Value == FPackages) return;
  // Last installed first.
  while (!FInstalledPackages.empty()) {
    TUserPackage* Package = FInstalledPackages.back();
    FInstalledPackages.pop_back();
    FreeComponent(Package);
  }
  FPackages = Value;
  AddDefaultPackages();
}

void TInferenceEngine::AddDefaultPackages() {
  for (TFunctionPackage Kind : PackageOrder) {
    if (!FPackages.Contains(Kind) || !DefaultPackageFactory) continue;
    if (TUserPackage* Package = DefaultPackageFactory(Kind, this)) FInstalledPackages.push_back(Package);
  }
  if (OnAddDefaultPackages) OnAddDefaultPackages(this);
}

void TInferenceEngine::SetFactDuplication(bool Value) {
  FFactDuplication = Value;
  FFacts->SetCacheHashCodes(!Value);
}

void TInferenceEngine::SetSymbolIndex(int32_t Value) noexcept {
  if (Value > FSymbolIndex)
    FSymbolIndex = Value;
  else
    FSymbolIndex = static_cast<int32_t>(static_cast<uint32_t>(FSymbolIndex) + 1u);
}

std::string TInferenceEngine::GenerateSymbol(const std::string& Prefix) {
  std::string Symbol = Prefix + std::to_string(FSymbolIndex);
  FSymbolIndex = static_cast<int32_t>(static_cast<uint32_t>(FSymbolIndex) + 1u);
  return Symbol;
}

// ---- output
// ------------------------------------------------------------------------------------------------

void TInferenceEngine::PrintOut(const std::string& OutID, const std::string& Text) {
  if (OutID.empty() || OutID == "t") {
    if (FCapture)
      FCapture->Write(Text);
    else if (OnPrintOut)
      OnPrintOut(this, OutID, Text);
    return;
  }
  if (TGTextStream* Stream = FIOStreams->Get(OutID)) {
    try {
      Stream->Write(Text);
    } catch (const EStreamError& E) {
      throw EIEException(SStreamWriteFailed, {OutID, Stream->GetFileName(), E.Message()});
    }
    return;
  }
  if (!OnPrintOut) throw EIEException(SNoSuchFunction, {"printout"});
  OnPrintOut(this, OutID, Text);
}

std::string TInferenceEngine::ReadLine(const std::string& InID) {
  std::string Line;
  if (!InID.empty() && InID != "t") {
    if (TGTextStream* Stream = FIOStreams->Get(InID)) {
      try {
        Stream->ReadLine(Line);
      } catch (const EStreamError& E) {
        throw EIEException(SStreamReadFailed, {InID, Stream->GetFileName(), E.Message()});
      }
      return Line;
    }
  }
  if (FBatchInput) {
    FBatchInput->ReadLine(Line);
    PrintOut(std::string(), Line + NewLineString);
    return Line;
  }
  if (!OnReadLine) throw EIEException(SNoReadFunctionWarning, {"readline"});
  OnReadLine(this, InID, Line);
  return Line;
}

IIEValue TInferenceEngine::ReadToken(const std::string& InID) {
  std::string Line;
  if (!InID.empty() && InID != "t") {
    if (TGTextStream* Stream = FIOStreams->Get(InID)) {
      // Lines without a token (blank, or a comment only) are passed over, as a token read passes over
      // blanks and line ends.
      try {
        while (Stream->ReadLine(Line)) {
          IIEValue Value = FParser->FirstToken(Line);
          if (Value != FCEOF) return Value;
        }
      } catch (const EStreamError& E) {
        throw EIEException(SStreamReadFailed, {InID, Stream->GetFileName(), E.Message()});
      }
      return FCEOF;
    }
  }
  if (FBatchInput) {
    if (!FBatchInput->ReadLine(Line)) return FCEOF;
    IIEValue Value = FParser->FirstToken(Line);
    PrintOut(std::string(), (Value ? Value->GetToString() : std::string()) + NewLineString);
    return Value;
  }
  if (!OnReadToken) throw EIEException(SNoReadFunctionWarning, {"read"});
  OnReadToken(this, InID, Line);
  return FParser->FirstToken(Line);
}

bool TInferenceEngine::StartCapture(std::unique_ptr<TGTextStream> Stream) {
  FCapture = std::move(Stream);
  return true;
}

bool TInferenceEngine::StartCapture(const std::string& FileName) {
  return StartCapture(std::make_unique<TGTextStream>(FileName, fmCreate));
}

bool TInferenceEngine::StopCapture() {
  // The capture ends also when writing out its last text fails; the error still reaches the caller.
  const std::unique_ptr<TGTextStream> Capture = std::move(FCapture);
  if (Capture) Capture->Flush();
  return true;
}

namespace {

// How far the parentheses of Line change the depth, strings and comments left out.
int32_t ParenthesisBalance(const std::string& Line, bool& InString) {
  int32_t Balance = 0;
  for (size_t I = 0; I < Line.size(); ++I) {
    const char C = Line[I];
    if (InString) {
      if (C == '\\')
        ++I;
      else if (C == '"')
        InString = false;
    } else if (C == '"') {
      InString = true;
    } else if (C == ';') {
      break;
    } else if (C == '(') {
      ++Balance;
    } else if (C == ')') {
      --Balance;
    }
  }
  return Balance;
}

}  // namespace

bool TInferenceEngine::Batch(TGTextStream& Stream) {
  TGTextStream* Previous = FBatchInput;
  FBatchInput = &Stream;
  struct TRestore {
    TGTextStream*& Slot;
    TGTextStream* Old;
    ~TRestore() { Slot = Old; }
  } Restore{FBatchInput, Previous};
  std::string Pending;
  int32_t Depth = 0;
  bool InString = false;
  std::string Line;
  while (Stream.ReadLine(Line)) {
    Pending += Line + NewLineString;
    Depth += ParenthesisBalance(Line, InString);
    if (Depth > 0 || InString) continue;
    const std::string Expression = std::move(Pending);
    Pending.clear();
    Depth = 0;
    Parse(Expression, true);
  }
  if (!Pending.empty()) Parse(Pending, true);
  return true;
}

bool TInferenceEngine::Batch(const std::string& FileName) {
  TGTextStream File(FileName, fmOpenRead);
  return Batch(File);
}

// ---- the fact base
// -----------------------------------------------------------------------------------------

int32_t TInferenceEngine::Assert(const IFact& Fact, bool Unconditional) {
  (void)Unconditional;  // only fuzzy merging reads it
  if (!Fact || !Fact->GetTemplate()) throw EIEException(SNoTemplate);
  if (Fact->GetTemplate()->IsFuzzy()) {
    // A fuzzy fact replaces an equal one; merging their fuzzy values belongs to fuzzy inference.
    if (TFact* Existing = FFacts->FindEqual(*Fact)) {
      if (Existing != Fact.get()) RetractEntry(FFacts->FindEntry(Existing));
    }
  } else if (!FFactDuplication && FFacts->FindEqual(*Fact)) {
    return -1;
  }
  const int32_t ID = NewFactId();
  Fact->SetID(ID);
  {
    TFacts::TInternalChange Internal(*FFacts);
    FFacts->Append(Fact);
  }
  if (Watching(cwFact)) PrintOut(" ==> " + Fact->GetToIDString() + NewLineString);
  FNetwork->ProcessToken(MakeRef<TIEToken>(taAdd, Fact));
  ProcessPendingFacts();
  if (OnAssertion) OnAssertion(this, Fact);
  return ID;
}

int32_t TInferenceEngine::Assert(const std::string& Text) {
  IFact Fact = ParseFact(Text);
  if (!Fact) throw EIEException(SNoTemplate);
  Fact = FContext->Resolve(Fact);
  return Assert(Fact, false);
}

void TInferenceEngine::Retract(int32_t ID) {
  const size_t Entry = FFacts->FindEntry(ID);
  if (Entry != SIZE_MAX) RetractEntry(Entry);
}

void TInferenceEngine::Retract(const IFact& Fact) {
  if (!Fact) return;
  if (TFact* Found = FFacts->FindEqual(*Fact)) RetractEntry(FFacts->FindEntry(Found));
}

void TInferenceEngine::Retract(const std::string& Text) {
  IFact Fact = ParseFact(Text);
  if (Fact) Retract(FContext->Resolve(Fact));
}

void TInferenceEngine::RetractFact(int32_t Index) { RetractEntry(FFacts->EntryOf(Index)); }

void TInferenceEngine::RetractFact(const IFact& Fact) {
  const size_t Entry = FFacts->FindEntry(Fact.get());
  if (Entry != SIZE_MAX) RetractEntry(Entry);
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

void TInferenceEngine::RetractFacts() {
  FNetwork->ProcessToken(MakeRef<TIEToken>());
  if (OnClearFacts) OnClearFacts(this);
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
  if (OnRemoveActivation) OnRemoveActivation(this, Index, Activation);
  if (Watching(cwActivation))
    PrintOut(
        "<== Activation: " + (Activation->GetRule() ? Activation->GetRule()->GetRuleName() : std::string()) +
        " : " + Activation->GetToken()->GetToFactsString() + NewLineString);
  // A handler may have changed the agenda: look again.
  const int32_t Now = FAgenda->IndexOf(Activation);
  if (Now < 0) return;
  if (Activation == FCurrent)
    FCurrentTaken = FAgenda->Extract(Now);  // Run releases it
  else
    FAgenda->Delete(Now);
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

void TInferenceEngine::Reset() {
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
}

void TInferenceEngine::Clear() {
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
}

int32_t TInferenceEngine::Run(int32_t Limit) {
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
    struct TFiring {
      TInferenceEngine& Engine;
      ~TFiring() {
        // The activation leaves the agenda whatever happened, then what the firing kept alive goes.
        if (Engine.FCurrent && !Engine.FCurrentTaken) {
          const int32_t Index = Engine.FAgenda->IndexOf(Engine.FCurrent);
          if (Index >= 0) Engine.FCurrentTaken = Engine.FAgenda->Extract(Index);
        }
        Engine.FCurrent = nullptr;
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
  }
  EndInference();
  return FRulesFired;
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

// ---- rules and templates
// -----------------------------------------------------------------------------------

void TInferenceEngine::RemoveRule(TRule* Rule) {
  if (!Rule) return;
  if (OnRemoveRule) OnRemoveRule(this, Rule);
  FNetwork->RemoveRule(Rule);
  if (Rule->GetOwner() == this && !Rule->IsDestroying()) ReleaseRule(Rule);
}

void TInferenceEngine::ReleaseRule(TRule* Rule) {
  if (std::find(FDoomedRules.begin(), FDoomedRules.end(), Rule) != FDoomedRules.end()) return;
  if (FCurrent) {
    // The rule may be the one firing: it goes once the firing is over.
    FDoomedRules.push_back(Rule);
    return;
  }
  FreeComponent(Rule);
}

void TInferenceEngine::UnregisterRule(TRule* Rule) {
  if (!Rule || !IsRuleRegistered(Rule)) return;
  FRules->Remove(Rule->GetRuleName(), Rule);
  if (OnRemoveRule) OnRemoveRule(this, Rule);
  FNetwork->RemoveRule(Rule);
}

bool TInferenceEngine::IsRuleRegistered(const TRule* Rule) const {
  return Rule && FRules->Get(Rule->GetRuleName()) == Rule;
}

void TInferenceEngine::RenameRule(const std::string& OldName, const std::string& NewName) {
  if (OldName == NewName) return;
  TRule* Rule = FRules->Get(OldName);
  if (!Rule) return;
  if (FRules->ContainsKey(NewName)) throw EIEException(SDuplicateRuleNames, {NewName});
  FRules->Rename(OldName, NewName);
  if (OnAddRule) OnAddRule(this, Rule);
  if (OnRemoveRule) OnRemoveRule(this, Rule);
}

void TInferenceEngine::RuleChange(TRule* Rule) {
  if (!IsRuleRegistered(Rule)) return;
  FNetwork->RemoveRule(Rule);
  FNetwork->AddRule(Rule);
}

void TInferenceEngine::RemoveDependencies(const IFactTemplate& Template) {
  if (!Template) return;
  auto Uses = [&Template](const IFact& Fact) { return Fact && Fact->GetTemplate() == Template; };
  FPendingAssertions.erase(std::remove_if(FPendingAssertions.begin(), FPendingAssertions.end(), Uses),
                           FPendingAssertions.end());
  FPendingRetractions.erase(std::remove_if(FPendingRetractions.begin(), FPendingRetractions.end(), Uses),
                            FPendingRetractions.end());
  for (TRule* Rule : FRules->Items()) {
    bool Using = false;
    for (int32_t I = 0; I < Rule->GetPatternCount() && !Using; ++I)
      Using = Rule->GetPattern(I)->GetFactTemplate() == Template;
    if (Using) FRules->Remove(Rule->GetRuleName(), Rule);
  }
  for (const IFact& Fact : FFacts->Items())
    if (Uses(Fact)) RetractFact(Fact);
  for (TFactSet* Set : FFactSets->Items())
    for (int32_t I = Set->Count() - 1; I >= 0; --I) {
      IFact Fact;
      try {
        Fact = Set->GetFact(I);
      } catch (const Exception&) {
        continue;
      }
      if (Uses(Fact)) Set->Delete(I);
    }
}

void TInferenceEngine::RemoveDependencies(const IIEDefinedType& DefinedType) {
  if (!DefinedType) return;
  for (const IFactTemplate& Template : FFactTemplates->Items())
    if (Template->ContainsType(DefinedType)) FFactTemplates->Remove(Template->GetTemplateName());
}

void TInferenceEngine::RemoveDependencies() {
  FPendingAssertions.clear();
  FPendingRetractions.clear();
  ClearAgenda();
  FNetwork->Clear();
  FFacts->Clear();
  FRules->Clear();
}

IFactTemplate TInferenceEngine::CreateFactTemplate(const std::string& Name) {
  if (IFactTemplate Found = FFactTemplates->Get(Name)) return Found;
  IFactTemplate Template = MakeRef<TFactTemplate>(this, Name);
  Template->SetComment(SImpliedComment);
  FFactTemplates->Put(Template);
  return FFactTemplates->Get(Name) ? FFactTemplates->Get(Name) : Template;
}

void TInferenceEngine::ChangeFactTemplateName(const std::string& OldName, const std::string& NewName) {
  if (OldName.empty() || OldName == NewName) return;
  FFactTemplates->Rename(OldName, NewName);
}

// ---- functions
// ---------------------------------------------------------------------------------------------

void TInferenceEngine::AddUserFunction(const IUserFunction& Function) {
  if (Function) FUserFunctions->Add(Function);
}

void TInferenceEngine::RemoveUserFunction(const IUserFunction& Function) {
  if (!Function) return;
  // Only the entry holding this very function goes.
  if (FUserFunctions->Get(Function->GetFunctionName()) == Function)
    FUserFunctions->Remove(Function->GetFunctionName());
}

bool TInferenceEngine::ContainsUserFunction(const std::string& Name, IUserFunction& Function) {
  Function = FUserFunctions->Get(Name);
  return static_cast<bool>(Function);
}

void TInferenceEngine::SetUserFunction(const std::string& Name, const IUserFunction& Function) {
  if (Function)
    FUserFunctions->Put(Name, Function);
  else
    FUserFunctions->Remove(Name);
}

// ---- printing and parsing
// ----------------------------------------------------------------------------------

// Everything the engine prints goes through its parser, whose class may write another syntax.
std::string TInferenceEngine::PrettyPrint(const TFactTemplate& Template) {
  return FParser ? FParser->PrettyPrint(Template) : PrettyPrintTemplate(Template);
}
std::string TInferenceEngine::PrettyPrint(const TFactSlot& Slot) {
  return FParser ? FParser->PrettyPrint(Slot) : PrettyPrintTemplateSlot(Slot);
}
std::string TInferenceEngine::PrettyPrint(const TFunctionCall& FunCall) {
  return FParser ? FParser->PrettyPrint(FunCall) : PrettyPrintFunCall(FunCall);
}
std::string TInferenceEngine::PrettyPrint(const TFact& Fact) {
  return FParser ? FParser->PrettyPrint(Fact) : PrettyPrintFact(Fact);
}
std::string TInferenceEngine::PrettyPrint(const TIEUserFunction& Function) {
  return FParser ? FParser->PrettyPrint(Function) : PrettyPrintUserFunction(Function);
}
std::string TInferenceEngine::PrettyPrint(const TInterpretedFunction& Function) {
  return FParser ? FParser->PrettyPrint(Function) : PrettyPrintInterpretedFunction(Function);
}
std::string TInferenceEngine::PrettyPrint(const TIEDefinedType& DefinedType) {
  return FParser ? FParser->PrettyPrint(DefinedType) : PrettyPrintDefinedType(DefinedType);
}
std::string TInferenceEngine::PrettyPrint(const TIEPattern& Pattern) {
  return FParser ? FParser->PrettyPrint(Pattern) : PrettyPrintPattern(Pattern);
}
std::string TInferenceEngine::PrettyPrint(const TRule& Rule) {
  return FParser ? FParser->PrettyPrint(Rule) : PrettyPrintRule(Rule);
}
std::string TInferenceEngine::PrettyPrint(const TFactSet& FactSet) {
  return FParser ? FParser->PrettyPrint(FactSet) : PrettyPrintFactSet(FactSet);
}

IFactSlot TInferenceEngine::ParseFactTemplateSlot(const std::string& Text) {
  return FParser->ParseFactTemplateSlot(Text);
}
IIEValue TInferenceEngine::ParseValue(const std::string& Text, const TFactSlot& Slot) {
  return FParser->ParseValue(Text, Slot);
}
IFact TInferenceEngine::ParseFact(const std::string& Text) { return FParser->ParseFact(Text); }
std::unique_ptr<TRule> TInferenceEngine::ParseRule(const std::string& Text) {
  return FParser->ParseRule(Text);
}
bool TInferenceEngine::Parse(const std::string& Text, bool Execute) { return FParser->Parse(Text, Execute); }
bool TInferenceEngine::LoadFacts(const std::string& Text) { return FParser->LoadFacts(Text); }
IFunCall TInferenceEngine::ParseFunCall(const std::string& Text) { return FParser->ParseFunCall(Text); }
IIEValue TInferenceEngine::ParseNExecuteFunCall(const std::string& Text) {
  return FParser->ParseNExecuteFunCall(Text);
}
IIEValue TInferenceEngine::ParseValue(const std::string& Text) { return FParser->ParseValue(Text); }

bool TInferenceEngine::LoadFromFile(const std::string& FileName) {
  TGTextStream File(FileName, fmOpenRead);
  std::string Text;
  std::string Buffer(65536, '\0');  // on the heap: a loaded file may load another
  while (const size_t Count = File.Read(Buffer.data(), Buffer.size())) Text.append(Buffer, 0, Count);
  return Parse(Text, true);
}

bool TInferenceEngine::LoadFromStream(std::istream& Stream) {
  std::string Text((std::istreambuf_iterator<char>(Stream)), std::istreambuf_iterator<char>());
  return Parse(Text, true);
}

void TInferenceEngine::SetParserErrorHandling(TErrorHandling Value) {
  FParserErrorHandling = Value;
  FParser->SetErrorHandling(Value);
}

void TInferenceEngine::SetParserMaxErrors(int32_t Value) {
  FParserMaxErrors = Value;
  FParser->SetMaxErrors(Value);
}

void TInferenceEngine::SetTypeChecks(TTypeChecks Value) {
  FTypeChecks = Value;
  FParser->SetStaticTypeChecks(Value.Contains(tcStatic));
}

IFuzzySet TInferenceEngine::EvalFuzzyExpression(TIFuzzyVariable* Variable, const std::string& Text) {
  return Variable ? Variable->FindFuzzySet(Text) : IFuzzySet();
}

IFuzzySet TInferenceEngine::EvalFuzzyExpression(TIFuzzyVariable* Variable, const IIEValue& Value,
                                                TIEContext* Context) {
  if (!Value) return IFuzzySet();
  IIEValue Resolved;
  Value->Resolve(Context ? Context : FContext.get(), Resolved);
  if (!Resolved) return IFuzzySet();
  if (Resolved->GetDType() == dtFuzzy) return Resolved->GetAsFuzzy();
  return EvalFuzzyExpression(Variable, Resolved->GetToString());
}

}  // namespace rulecraft
