// Streaming an engine's published properties and constructs (framework/Streaming.h), and copying one engine
// into another (Assign). Both carry constructs as their rule-language text, written by the source engine
// and read by this engine's parser, so the two engines never share an object.
#include <new>
#include <string>
#include <vector>

#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/engine/FactSet.h"
#include "rulecraft/engine/InferenceEngine.h"
#include "rulecraft/engine/ParentsFirst.h"
#include "rulecraft/framework/Streaming.h"
#include "rulecraft/functions/InterpretedFunction.h"

namespace rulecraft {

namespace {

// The property names, as written.
constexpr const char* PDuplicateConstructs = "DuplicateConstructs";
constexpr const char* PPackages = "Packages";
constexpr const char* PFactDuplication = "FactDuplication";
constexpr const char* PFuzzyAutoTerms = "FuzzyAutoTerms";
constexpr const char* PFuzzyEqualsThreshold = "FuzzyEqualsThreshold";
constexpr const char* PMinActivationStrength = "MinActivationStrength";
constexpr const char* PFuzzyInferenceMethod = "FuzzyInferenceMethod";
constexpr const char* PFuzzyCorrelationMethod = "FuzzyCorrelationMethod";
constexpr const char* PParserErrorHandling = "ParserErrorHandling";
constexpr const char* PParserMaxErrors = "ParserMaxErrors";
constexpr const char* PRecordFirings = "RecordFirings";
constexpr const char* PResetGlobals = "ResetGlobals";
constexpr const char* PStrategy = "Strategy";
constexpr const char* PSymbolIndex = "SymbolIndex";
constexpr const char* PTypeChecks = "TypeChecks";
constexpr const char* PWatch = "Watch";
constexpr const char* PDefTypes = "DefinedTypes.DefTypes";
constexpr const char* PTemplates = "FactTemplates.Templates";
constexpr const char* PFunctions = "UserFunctions.Functions";
constexpr const char* PVariables = "GlobalVariables.Variables";
constexpr const char* PRules = "Rules.Rules";
constexpr const char* PFactsList = "FactsList";
constexpr const char* PFactSets = "FactSets";

// What a new engine holds: a property with that value is not written.
constexpr TDuplicateConstructs NewDuplicateConstructs = dcOverwrite;
constexpr bool NewFactDuplication = false;
constexpr bool NewFuzzyAutoTerms = true;
constexpr float NewFuzzyEqualsThreshold = 0.01f;
constexpr float NewMinActivationStrength = 0.0f;
constexpr TFuzzyInferenceMethod NewFuzzyInferenceMethod = fimMinMax;
constexpr TFuzzyCorrelationMethod NewFuzzyCorrelationMethod = fcmMinimum;
constexpr TErrorHandling NewParserErrorHandling = ehRaiseImmediate;
constexpr int32_t NewParserMaxErrors = 10;
constexpr bool NewRecordFirings = true;
constexpr bool NewResetGlobals = true;
constexpr TSearchStrategy NewStrategy = ssDepthFirst;
constexpr int32_t NewSymbolIndex = 0;
constexpr TTypeChecks NewTypeChecks{tcStatic};
constexpr TConstructWatches NewWatch{};

TFunctionPackages EveryPackage() {
  TFunctionPackages All;
  for (int Ordinal = 0; Ordinal < TFunctionPackageInfo().Count(); ++Ordinal)
    All.Include(static_cast<TFunctionPackage>(Ordinal));
  return All;
}

template <class E>
std::vector<std::string> SetNames(TSet<E> Set, const TEnumInfo& Info) {
  std::vector<std::string> Names;
  for (int Ordinal = 0; Ordinal < Info.Count(); ++Ordinal)
    if (Set.Contains(static_cast<E>(Ordinal))) Names.emplace_back(Info.Name(Ordinal));
  return Names;
}

[[noreturn]] void BadMember(const TStreamProperty& Property, const std::string& Member) {
  throw EReadError("Stream read error at line " + std::to_string(Property.Line) + ": " + Member +
                   " is not a value of " + Property.Name);
}

template <class E>
E EnumValue(const TStreamProperty& Property, const TEnumInfo& Info) {
  const int Ordinal = Info.ValueOf(Property.AsIdent());
  if (Ordinal < 0) BadMember(Property, Property.Text);
  return static_cast<E>(Ordinal);
}

template <class E>
TSet<E> SetValue(const TStreamProperty& Property, const TEnumInfo& Info) {
  TSet<E> Set;
  for (const std::string& Member : Property.AsSet()) {
    const int Ordinal = Info.ValueOf(Member);
    if (Ordinal < 0) BadMember(Property, Member);
    Set.Include(static_cast<E>(Ordinal));
  }
  return Set;
}

bool IsInterpreted(const IUserFunction& Function) {
  return Function && Function->ClassName() == "TInterpretedFunction";
}

/// The texts of an engine's constructs, in the order they read back in.
struct TConstructTexts {
  std::vector<std::string> DefTypes, Templates, Functions, Variables, Rules, Facts, FactSets;
};

}  // namespace

namespace {

TConstructTexts ConstructTexts(TInferenceEngine& Engine) {
  const TReadBackText ReadBack;
  TConstructTexts Texts;
  const auto Types = ParentsFirst(
      Engine.GetDefinedTypes().Items(),
      [](const IIEDefinedType& Type) -> const void* { return Type->GetAncestor().get(); },
      STypeInheritanceCorrupt);
  for (const IIEDefinedType& Type : Types) Texts.DefTypes.push_back(Type->GetToString());
  const auto Templates = ParentsFirst(
      Engine.GetFactTemplates().Items(),
      [](const IFactTemplate& Template) -> const void* { return Template->GetParent().get(); },
      SFactTemplateInheritanceCorrupt);
  for (const IFactTemplate& Template : Templates) Texts.Templates.push_back(Template->GetToString());
  for (const IUserFunction& Function : Engine.GetUserFunctionTable().Items())
    if (IsInterpreted(Function)) Texts.Functions.push_back(Function->GetToString(&Engine));
  TGlobalVariables& Globals = Engine.GetGlobalVariables();
  for (int32_t I = 0; I < Globals.Count(); ++I) {
    const IIEValue Value = Globals.GetItemByIndex(I);
    Texts.Variables.push_back("?" + Globals.GetKeyByIndex(I) + " = " +
                              (Value ? Value->GetToString() : "nil"));
  }
  for (TRule* Rule : Engine.GetRules().Items()) Texts.Rules.push_back(Rule->GetToString());
  Engine.GetFacts().ForEach([&Texts](const IFact& Fact) { Texts.Facts.push_back(Fact->GetToString()); });
  for (TFactSet* Set : Engine.GetFactSets().Items()) Texts.FactSets.push_back(Set->GetToString());
  return Texts;
}

}  // namespace

// ---- reading one construct from its text
// ----------------------------------------------------------------------------------------------------

namespace {

void ReadDefinedType(TInferenceEngine& Engine, const std::string& Text) {
  Engine.GetDefinedTypes().Put(Engine.GetParser().ParseDefinedType(Text));
}

void ReadTemplate(TInferenceEngine& Engine, const std::string& Text) {
  Engine.GetFactTemplates().Put(Engine.ParseFactTemplate(Text));
}

void ReadFunction(TInferenceEngine& Engine, const std::string& Text) {
  const IUserFunction Function = Engine.GetParser().ParseFunction(Text);
  Engine.GetUserFunctionTable().Put(Function->GetFunctionName(), Function);
}

void ReadVariable(TInferenceEngine& Engine, const std::string& Text) {
  std::string Name;
  IIEValue Value = Engine.ParseVariable(Text, Name);
  Engine.GetGlobalVariables().Put(Name, std::move(Value));
}

void ReadRule(TInferenceEngine& Engine, const std::string& Text) {
  TRule* Stored = Engine.ParseRule(Text).release();
  TRules& Rules = Engine.GetRules();
  try {
    Rules.Put(Stored);
  } catch (...) {
    // Once stored, the rule is the engine's; otherwise it is freed here.
    if (Rules.Get(Stored->GetRuleName()) != Stored) delete Stored;
    throw;
  }
  // A rule refused as a duplicate (dcIgnore) is not kept.
  if (Rules.Get(Stored->GetRuleName()) != Stored) delete Stored;
}

void ReadFactSet(TInferenceEngine& Engine, const std::string& Text) {
  TFactSet* Set = Engine.ParseFactSet(Text);  // owned by the engine component
  Set->SetEngineNoParse(&Engine);
}

template <class FRead>
void ReadEach(TInferenceEngine& Engine, const std::vector<std::string>& Texts, FRead Read) {
  for (const std::string& Text : Texts) Read(Engine, Text);
}

}  // namespace

// ---- streaming
// ----------------------------------------------------------------------------------------------

void TInferenceEngine::WriteProperties(TPropertyWriter& Writer) const try {
  auto& Self = const_cast<TInferenceEngine&>(*this);  // writing reads the constructs' texts only
  if (FDuplicateConstructs != NewDuplicateConstructs)
    Writer.WriteIdent(PDuplicateConstructs,
                      std::string(TDuplicateConstructsInfo().Name(FDuplicateConstructs)));
  if (FPackages != EveryPackage()) Writer.WriteSet(PPackages, SetNames(FPackages, TFunctionPackageInfo()));
  if (FFactDuplication != NewFactDuplication) Writer.WriteBoolean(PFactDuplication, FFactDuplication);
  if (FFuzzyAutoTerms != NewFuzzyAutoTerms) Writer.WriteBoolean(PFuzzyAutoTerms, FFuzzyAutoTerms);
  if (FFuzzyEqualsThreshold != NewFuzzyEqualsThreshold)
    Writer.WriteSingle(PFuzzyEqualsThreshold, FFuzzyEqualsThreshold);
  if (GetMinActivationStrength() != NewMinActivationStrength)
    Writer.WriteSingle(PMinActivationStrength, GetMinActivationStrength());
  if (FFuzzyInferenceMethod != NewFuzzyInferenceMethod)
    Writer.WriteIdent(PFuzzyInferenceMethod,
                      std::string(TFuzzyInferenceMethodInfo().Name(FFuzzyInferenceMethod)));
  if (FFuzzyCorrelationMethod != NewFuzzyCorrelationMethod)
    Writer.WriteIdent(PFuzzyCorrelationMethod,
                      std::string(TFuzzyCorrelationMethodInfo().Name(FFuzzyCorrelationMethod)));
  if (FParserErrorHandling != NewParserErrorHandling)
    Writer.WriteIdent(PParserErrorHandling, std::string(TErrorHandlingInfo().Name(FParserErrorHandling)));
  if (FParserMaxErrors != NewParserMaxErrors) Writer.WriteInteger(PParserMaxErrors, FParserMaxErrors);
  if (FRecordFirings != NewRecordFirings) Writer.WriteBoolean(PRecordFirings, FRecordFirings);
  if (FResetGlobals != NewResetGlobals) Writer.WriteBoolean(PResetGlobals, FResetGlobals);
  if (GetStrategy() != NewStrategy)
    Writer.WriteIdent(PStrategy, std::string(TSearchStrategyInfo().Name(GetStrategy())));
  if (FSymbolIndex != NewSymbolIndex) Writer.WriteInteger(PSymbolIndex, FSymbolIndex);
  if (FTypeChecks != NewTypeChecks) Writer.WriteSet(PTypeChecks, SetNames(FTypeChecks, TTypeCheckInfo()));
  if (FWatch != NewWatch) Writer.WriteSet(PWatch, SetNames(FWatch, TConstructWatchInfo()));

  const TConstructTexts Texts = ConstructTexts(Self);
  auto List = [&Writer](const char* Name, const std::vector<std::string>& Strings) {
    if (!Strings.empty()) Writer.WriteStrings(Name, Strings);
  };
  List(PDefTypes, Texts.DefTypes);
  List(PTemplates, Texts.Templates);
  List(PFunctions, Texts.Functions);
  List(PVariables, Texts.Variables);
  List(PRules, Texts.Rules);
  List(PFactsList, Texts.Facts);
  List(PFactSets, Texts.FactSets);
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

void TInferenceEngine::BeginRead() try {
  Clear();
  SetDuplicateConstructs(NewDuplicateConstructs);
  SetPackages(EveryPackage());
  SetFactDuplication(NewFactDuplication);
  SetFuzzyAutoTerms(NewFuzzyAutoTerms);
  SetFuzzyEqualsThreshold(NewFuzzyEqualsThreshold);
  SetMinActivationStrength(NewMinActivationStrength);
  SetFuzzyInferenceMethod(NewFuzzyInferenceMethod);
  SetFuzzyCorrelationMethod(NewFuzzyCorrelationMethod);
  SetParserErrorHandling(NewParserErrorHandling);
  SetParserMaxErrors(NewParserMaxErrors);
  SetRecordFirings(NewRecordFirings);
  SetResetGlobals(NewResetGlobals);
  SetStrategy(NewStrategy);
  FSymbolIndex = NewSymbolIndex;
  SetTypeChecks(NewTypeChecks);
  SetWatch(NewWatch);
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

bool TInferenceEngine::ReadProperty(const TStreamProperty& Property) try {
  const std::string& Name = Property.Name;
  if (Name == PDuplicateConstructs) {
    SetDuplicateConstructs(EnumValue<TDuplicateConstructs>(Property, TDuplicateConstructsInfo()));
  } else if (Name == PPackages) {
    SetPackages(SetValue<TFunctionPackage>(Property, TFunctionPackageInfo()));
  } else if (Name == PFactDuplication) {
    SetFactDuplication(Property.AsBoolean());
  } else if (Name == PFuzzyAutoTerms) {
    SetFuzzyAutoTerms(Property.AsBoolean());
  } else if (Name == PFuzzyEqualsThreshold) {
    SetFuzzyEqualsThreshold(static_cast<float>(Property.AsFloat()));
  } else if (Name == PMinActivationStrength) {
    SetMinActivationStrength(static_cast<float>(Property.AsFloat()));
  } else if (Name == PFuzzyInferenceMethod) {
    SetFuzzyInferenceMethod(EnumValue<TFuzzyInferenceMethod>(Property, TFuzzyInferenceMethodInfo()));
  } else if (Name == PFuzzyCorrelationMethod) {
    SetFuzzyCorrelationMethod(EnumValue<TFuzzyCorrelationMethod>(Property, TFuzzyCorrelationMethodInfo()));
  } else if (Name == PParserErrorHandling) {
    SetParserErrorHandling(EnumValue<TErrorHandling>(Property, TErrorHandlingInfo()));
  } else if (Name == PParserMaxErrors) {
    SetParserMaxErrors(Property.AsInteger());
  } else if (Name == PRecordFirings) {
    SetRecordFirings(Property.AsBoolean());
  } else if (Name == PResetGlobals) {
    SetResetGlobals(Property.AsBoolean());
  } else if (Name == PStrategy) {
    SetStrategy(EnumValue<TSearchStrategy>(Property, TSearchStrategyInfo()));
  } else if (Name == PSymbolIndex) {
    SetSymbolIndex(Property.AsInteger());
  } else if (Name == PTypeChecks) {
    SetTypeChecks(SetValue<TTypeCheck>(Property, TTypeCheckInfo()));
  } else if (Name == PWatch) {
    SetWatch(SetValue<TConstructWatch>(Property, TConstructWatchInfo()));
  } else if (Name == PDefTypes) {
    ReadEach(*this, Property.AsStrings(), ReadDefinedType);
  } else if (Name == PTemplates) {
    ReadEach(*this, Property.AsStrings(), ReadTemplate);
  } else if (Name == PFunctions) {
    ReadEach(*this, Property.AsStrings(), ReadFunction);
  } else if (Name == PVariables) {
    ReadEach(*this, Property.AsStrings(), ReadVariable);
  } else if (Name == PRules) {
    ReadEach(*this, Property.AsStrings(), ReadRule);
  } else if (Name == PFactsList) {
    for (const std::string& Text : Property.AsStrings()) Assert(Text);
  } else if (Name == PFactSets) {
    ReadEach(*this, Property.AsStrings(), ReadFactSet);
  } else {
    return false;
  }
  return true;
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

// ---- Assign
// -------------------------------------------------------------------------------------------------

void TInferenceEngine::Assign(const TPersistent* Source) try {
  if (Source == this) return;
  const auto* From = dynamic_cast<const TInferenceEngine*>(Source);
  if (!From) {
    TComponent::Assign(Source);  // the framework's assignment, which refuses
    return;
  }
  auto& Other = const_cast<TInferenceEngine&>(*From);  // copying reads the source's constructs' texts only
  // Everything the copy needs is taken before this engine changes, so a source that cannot be written
  // (a corrupt inheritance) leaves this engine as it was.
  const TConstructTexts Texts = ConstructTexts(Other);
  Clear();
  SetParserType(Other.FParserType);
  SetTokenizerType(Other.FTokenizerType);
  SetTypeChecks(Other.FTypeChecks);
  SetStrategy(Other.GetStrategy());
  SetFactDuplication(Other.FFactDuplication);
  SetDuplicateConstructs(Other.FDuplicateConstructs);
  SetParserMaxErrors(Other.FParserMaxErrors);
  SetParserErrorHandling(Other.FParserErrorHandling);
  SetResetGlobals(Other.FResetGlobals);
  SetRecordFirings(Other.FRecordFirings);
  SetFuzzyAutoTerms(Other.FFuzzyAutoTerms);
  SetMinActivationStrength(Other.GetMinActivationStrength());
  SetFuzzyCorrelationMethod(Other.FFuzzyCorrelationMethod);
  SetFuzzyInferenceMethod(Other.FFuzzyInferenceMethod);
  // Beyond the copied settings: the packages (so the copy knows the functions its rules call), the fuzzy
  // threshold and the symbol counter.
  SetPackages(Other.FPackages);
  SetFuzzyEqualsThreshold(Other.FFuzzyEqualsThreshold);
  FSymbolIndex = Other.FSymbolIndex;
  // The watches are copied last, so the copying itself prints no watch lines.
  SetWatch(TConstructWatches{});
  ReadEach(*this, Texts.DefTypes, ReadDefinedType);
  ReadEach(*this, Texts.Templates, ReadTemplate);
  ReadEach(*this, Texts.Functions, ReadFunction);
  ReadEach(*this, Texts.Variables, ReadVariable);
  ReadEach(*this, Texts.FactSets, ReadFactSet);
  for (const std::string& Text : Texts.Facts) Assert(Text);
  ReadEach(*this, Texts.Rules, ReadRule);
  SetWatch(Other.FWatch);
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

}  // namespace rulecraft
