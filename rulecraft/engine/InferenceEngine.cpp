#include "rulecraft/engine/InferenceEngine.h"

#include <algorithm>
#include <new>
#include <typeinfo>

#include "rulecraft/core/Constants.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/engine/FactSet.h"
#include "rulecraft/facts/FactPrinter.h"
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

// The fixed order packages are installed in.
constexpr TFunctionPackage PackageOrder[] = {pStandard, pMiscellaneous, pPredicate, pMath,      pString,
                                             pObject,   pTrigonometry,  pBusiness,  pFuzzyLogic};

TFunctionPackages AllPackages() {
  TFunctionPackages All;
  for (TFunctionPackage Package : PackageOrder) All.Include(Package);
  return All;
}

}  // namespace

// ---- lifetime
// ----------------------------------------------------------------------------------------------

namespace {
TEngineParserFactory DefaultParserFactory = nullptr;
TFunctionPackageFactory DefaultPackageFactory = nullptr;
TExtensionPackageFactory DefaultExtensionFactory = nullptr;
}  // namespace

void TInferenceEngine::SetDefaultFactories(TEngineParserFactory Parser, TFunctionPackageFactory Packages,
                                           TExtensionPackageFactory Extensions) noexcept {
  DefaultParserFactory = Parser;
  DefaultPackageFactory = Packages;
  DefaultExtensionFactory = Extensions;
}

TInferenceEngine::TInferenceEngine(TComponent* AOwner, TIEObjectFactory Factory) try
    : TComponent(AOwner), FObjectFactory(Factory) {
  if (!DefaultParserFactory) throw EIEException(SNoEngineParser);
  FParserType = DefaultParserFactory;
  FParser = FParserType(this);
  FContext = std::make_unique<TIEContext>(nullptr, this);
  FGlobalVariables = MakeOwned<TGlobalVariables>(otGlobalVariables);
  FDefinedTypes = MakeOwned<TIEDefinedTypes>(otDefinedTypes);
  FAgenda = MakeOwned<TIEAgenda>(otAgenda);
  FFactTemplates = MakeOwned<TFactTemplates>(otFactTemplates);
  FFacts = MakeOwned<TFacts>(otFacts);
  FFactSets = MakeOwned<TFactSets>(otFactSets);
  {
    TObject* Made = CreateIEObject(otReteNetwork);
    FNetwork = dynamic_cast<TReteNetwork*>(Made);
    if (!FNetwork) {
      const std::string Class = Made ? Made->ClassName() : std::string("nil");
      auto* Component = dynamic_cast<TComponent*>(Made);
      if (Component && Component->GetOwner() == this)
        FreeComponent(Component);
      else
        delete Made;
      throw EIEException(SWrongIEObject, {Class, std::string(TIEObjectTypeInfo().Name(otReteNetwork))});
    }
  }
  FRules = MakeOwned<TRules>(otRules);
  FEngineVariables = MakeOwned<TEngineVariables>(otEngineVariables);
  FUserFunctions = MakeOwned<TUserFunctions>(otUserFunctions);
  FIOStreams = MakeOwned<TIOStreams>(otIOStreams);
  MakeInitialObjects();
  FPackages = AllPackages();
  SetTypeChecks(TTypeChecks{tcStatic});
  AddDefaultPackages();
  AssertInitialFact();
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
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
  OnWarning = nullptr;
  static_cast<TParseEvents&>(*FParser) = TParseEvents();
  FNetwork->OnActivation = FNetwork->OnDeactivation = FNetwork->OnRuleFired = nullptr;
  try {
    Clear();
  } catch (...) {  // nothing may leave a destructor; what Clear could not do, the members' destruction does
  }
  ClearAgenda();
  FCurrentTaken.reset();
  ReleaseDoomed();
  // The packages and functions forget this engine before it goes; the network goes before the rules.
  FUserFunctions->ForEach([this](const IUserFunction& Function) { Function->ForgetReasoner(this); });
  for (TUserPackage* Package : FInstalledPackages) Package->RemoveReasoner(this);
  FInstalledPackages.clear();
  FreeComponent(FNetwork);
  FNetwork = nullptr;
  // Templates (and so facts) a host still holds print and compare without this engine from now on.
  const std::unordered_set<TFactTemplate*> Templates = std::move(FOwnedTemplates);
  FOwnedTemplates.clear();
  for (TFactTemplate* Template : Templates) Template->ForgetEngine();
}

TObject* TInferenceEngine::CreateIEObject(TIEObjectType ObjectType) {
  if (FObjectFactory)
    if (TObject* Made = FObjectFactory(*this, ObjectType)) return Made;
  switch (ObjectType) {
    case otAgenda:
      return new TIEAgenda();
    case otEngineVariables:
      return new TEngineVariables(this);
    case otFacts:
      return new TFacts(this);
    case otFactSets:
      return new TFactSets(this);
    case otFactTemplates:
      return new TFactTemplates(this);
    case otGlobalVariables:
      return new TGlobalVariables(this);
    case otDefinedTypes:
      return new TIEDefinedTypes(this);
    case otIOStreams:
      return new TIOStreams(this);
    case otRules:
      return new TRules(this);
    case otUserFunctions:
      return new TUserFunctions(this);
    case otReteNetwork:
      return new TReteNetwork(this, this);
  }
  return nullptr;
}

template <class T>
std::unique_ptr<T> TInferenceEngine::MakeOwned(TIEObjectType ObjectType) {
  std::unique_ptr<TObject> Made(CreateIEObject(ObjectType));
  if (auto* Typed = dynamic_cast<T*>(Made.get())) {
    (void)Made.release();
    return std::unique_ptr<T>(Typed);
  }
  throw EIEException(SWrongIEObject, {Made ? Made->ClassName() : std::string("nil"),
                                      std::string(TIEObjectTypeInfo().Name(ObjectType))});
}

void TInferenceEngine::TemplateCreated(TFactTemplate& Template) { FOwnedTemplates.insert(&Template); }

void TInferenceEngine::TemplateDestroyed(TFactTemplate& Template) noexcept {
  FOwnedTemplates.erase(&Template);
}

void TInferenceEngine::MakeInitialObjects() {
  const IFactTemplate Initial = CreateFactTemplate(SInitialFactPattern);
  FInitialFactPattern = std::make_unique<TIEPattern>(this, SInitialFactPattern, Initial, 0);
  const IFactTemplate Null = CreateFactTemplate(SNullFact);
  FNullFact = Null->NewFact();
  FNullFact->SetID(-1);
}

void TInferenceEngine::AssertInitialFact() {
  const IFactTemplate Initial = CreateFactTemplate(SInitialFactPattern);
  Assert(Initial->NewFact(), false);
}

void TInferenceEngine::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove || IsDestroying()) return;
  if (!FRules || !FFactSets) return;  // a component going while the engine is being constructed
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
  if (DefaultExtensionFactory) DefaultExtensionFactory(this, FInstalledPackages);
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

void TInferenceEngine::Warning(const TIEWarning& Warning) {
  if (OnWarning) OnWarning(this, Warning);
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
  // The rule is no longer registered under its old name, so it takes the new one without coming back here.
  Rule->SetRuleName(NewName);
}

void TInferenceEngine::AddRule(TRule* Rule) {
  if (OnAddRule) OnAddRule(this, Rule);
}
void TInferenceEngine::AddFactTemplate(const IFactTemplate& Template) {
  if (OnNewFactTemplate) OnNewFactTemplate(this, Template);
}
void TInferenceEngine::RemoveFactTemplate(const IFactTemplate& Template) {
  if (OnRemoveFactTemplate) OnRemoveFactTemplate(this, Template);
}
void TInferenceEngine::AddDefinedType(const IIEDefinedType& Type) {
  if (OnAddDefinedType) OnAddDefinedType(this, Type);
}
void TInferenceEngine::RemoveDefinedType(const IIEDefinedType& Type) {
  if (OnRemoveDefinedType) OnRemoveDefinedType(this, Type);
}
void TInferenceEngine::AddFunction(const IUserFunction& Function) {
  if (OnAddUserFunction) OnAddUserFunction(this, Function);
}
void TInferenceEngine::RemoveFunction(const IUserFunction& Function) {
  if (OnRemoveUserFunction) OnRemoveUserFunction(this, Function);
}
void TInferenceEngine::ClearRules() {
  if (OnClearRules) OnClearRules(this);
}
void TInferenceEngine::ClearFactTemplates() {
  if (OnClearFactTemplates) OnClearFactTemplates(this);
}
void TInferenceEngine::ClearDefinedTypes() {
  if (OnClearDefinedTypes) OnClearDefinedTypes(this);
}

void TInferenceEngine::RuleChange(TRule* Rule) {
  if (!IsRuleRegistered(Rule)) return;
  FNetwork->RemoveRule(Rule);
  TIEAgenda::TChange Change(*FAgenda);
  FNetwork->AddRule(Rule);
}

IFactTemplate TInferenceEngine::CreateFactTemplate(const std::string& Name) {
  if (IFactTemplate Found = FFactTemplates->Get(Name)) return Found;
  IFactTemplate Template = MakeRef<TFactTemplate>(this, Name);
  Template->SetComment(SImpliedTemplateComment);
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
std::string TInferenceEngine::PrettyPrint(const TIFuzzyVariable& Variable) {
  return FParser ? FParser->PrettyPrint(Variable) : PrettyPrintFuzzyVariable(Variable);
}
std::string TInferenceEngine::PrettyPrint(const TIFuzzySet& Set) {
  return FParser ? FParser->PrettyPrint(Set) : Set.GetShapeText();
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
IFact TInferenceEngine::ParseFact(const std::string& Text) try {
  return FParser->ParseFact(Text);
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}
std::unique_ptr<TRule> TInferenceEngine::ParseRule(const std::string& Text) {
  return FParser->ParseRule(Text);
}
bool TInferenceEngine::Parse(const std::string& Text, bool Execute) try {
  return FParser->Parse(Text, Execute);
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}
bool TInferenceEngine::LoadFacts(const std::string& Text) try {
  return FParser->LoadFacts(Text);
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}
IFunCall TInferenceEngine::ParseFunCall(const std::string& Text) try {
  return FParser->ParseFunCall(Text);
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}
IIEValue TInferenceEngine::ParseNExecuteFunCall(const std::string& Text) try {
  return FParser->ParseNExecuteFunCall(Text);
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}
IIEValue TInferenceEngine::ParseValue(const std::string& Text) try {
  return FParser->ParseValue(Text);
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

void TInferenceEngine::SetParserErrorHandling(TErrorHandling Value) {
  FParserErrorHandling = Value;
  FParser->SetErrorHandling(Value);
}

void TInferenceEngine::SetParserMaxErrors(int32_t Value) {
  FParserMaxErrors = Value;
  FParser->SetMaxErrors(Value);
}

void TInferenceEngine::SetParserType(TEngineParserFactory Value) {
  if (!Value || Value == FParserType) return;
  if (FParser->Reading()) throw EIEException(SParserBusy);
  std::unique_ptr<TEngineParser> Parser = Value(this);
  if (!Parser) throw EIEException(SNoEngineParser);
  static_cast<TParseEvents&>(*Parser) = static_cast<const TParseEvents&>(*FParser);
  Parser->SetTokenizerType(FTokenizerType);
  Parser->SetErrorHandling(FParserErrorHandling);
  Parser->SetMaxErrors(FParserMaxErrors);
  Parser->SetStaticTypeChecks(FTypeChecks.Contains(tcStatic));
  // Singleton vectors know the parser that read them: the old parser stays until the engine goes.
  FRetiredParsers.push_back(std::move(FParser));
  FParser = std::move(Parser);
  FParserType = Value;
}

void TInferenceEngine::SetTokenizerType(TTokenizerFactory Value) {
  if (!Value || Value == FTokenizerType) return;
  FParser->SetTokenizerType(Value);
  FTokenizerType = Value;
}

void TInferenceEngine::SetTypeChecks(TTypeChecks Value) {
  FTypeChecks = Value;
  FParser->SetStaticTypeChecks(Value.Contains(tcStatic));
}

TInferenceEngine& EngineOf(TIEContext* Context) {
  IFunctionEngine* Base = Context ? Context->GetEngine() : nullptr;
  // The engine itself, not a descendant, is by far the usual case: a type compare, not a cast search.
  if (Base && typeid(*Base) == typeid(TInferenceEngine)) return *static_cast<TInferenceEngine*>(Base);
  auto* Engine = Base ? dynamic_cast<TInferenceEngine*>(Base) : nullptr;
  if (!Engine) throw EIEException(std::string(SUnknownEngine));
  return *Engine;
}

}  // namespace rulecraft