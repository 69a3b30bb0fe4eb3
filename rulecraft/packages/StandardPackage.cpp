#include "rulecraft/packages/StandardPackage.h"

#include <cctype>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "rulecraft/collections/TextStream.h"
#include "rulecraft/core/Constants.h"
#include "rulecraft/core/Helpers.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/IETypes.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/engine/InferenceEngine.h"
#include "rulecraft/facts/Fact.h"
#include "rulecraft/facts/FactTemplate.h"
#include "rulecraft/framework/Convert.h"
#include "rulecraft/functions/Context.h"
#include "rulecraft/functions/FunctionCall.h"
#include "rulecraft/fuzzyset/FuzzySet.h"
#include "rulecraft/packages/ControlFunctions.h"
#include "rulecraft/packages/IOFunctions.h"
#include "rulecraft/packages/MultifieldFunctions.h"
#include "rulecraft/types/DefinedType.h"

namespace rulecraft {

namespace {

constexpr int32_t Unbounded = 2147483647;
/// How deep files loaded by load and batch may load further files.
constexpr int32_t MaxFileNesting = 32;

[[maybe_unused]] const bool ClassesRegistered = [] {
  for (TClass Class : {TAssertFunction::StaticClass(),
                       TAssertStringFunction::StaticClass(),
                       TBatchFunction::StaticClass(),
                       TClearFunction::StaticClass(),
                       TClearStorageFunction::StaticClass(),
                       TDoBackwardChainingFunction::StaticClass(),
                       TDuplicateFunction::StaticClass(),
                       TExitFunction::StaticClass(),
                       TFetchFunction::StaticClass(),
                       TGenSymStarFunction::StaticClass(),
                       TGetFactDuplicationFunction::StaticClass(),
                       TGetSlotValueFunction::StaticClass(),
                       THaltFunction::StaticClass(),
                       TLoadFunction::StaticClass(),
                       TLoadFactsFunction::StaticClass(),
                       TModifyFunction::StaticClass(),
                       TResetFunction::StaticClass(),
                       TRetractFunction::StaticClass(),
                       TRetractStringFunction::StaticClass(),
                       TRunFunction::StaticClass(),
                       TSaveFunction::StaticClass(),
                       TSaveFactsFunction::StaticClass(),
                       TSetFactDuplicationFunction::StaticClass(),
                       TStoreFunction::StaticClass(),
                       TUnwatchFunction::StaticClass(),
                       TVersionFunction::StaticClass(),
                       TWatchFunction::StaticClass(),
                       TStandardPackage::StaticClass()})
    RegisterClass(Class);
  return true;
}();

IIEValue FactIdValue(int32_t ID) { return MakeRef<TIEValue>(ID, dtFactId); }

/// "keyword - what it watches" lines of the watch help, each indented and ended by a line break.
std::string WatchKeywordLines() {
  std::string Lines;
  for (const char* Line :
       {"activations - watch rule activations and deletions", "facts - watch fact assertions and retractions",
        "rules - watch rule additions and removals", "compilations - watch rule compilations",
        "statistics - watch execution statistics"})
    Lines += std::string("     ") + Line + NewLineString;
  return Lines;
}

/// The help of watch (On) or unwatch.
std::string WatchHelp(bool On) {
  return FunctionComment(
      std::string(On ? "Sets up watches on the specified inference engine operations.  "
                     : "Deletes the watches on the specified inference engine operations.  ") +
      SWatchComment + NewLineString + WatchKeywordLines());
}

/// watch (On) and unwatch: switches the watches the keyword argument names on or off.
void SwitchWatches(TFunctionCall& FunCall, TIEContext* Context, bool On, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  const std::string Keyword = ArgumentText(FunCall, 0, Context);
  TConstructWatches Watches;
  if (!WatchesNamed(Keyword, Watches)) throw EIEException(On ? SCannotWatch : SCannotUnWatch, {Keyword});
  Engine.SetWatch(On ? Engine.GetWatch() + Watches : Engine.GetWatch() - Watches);
  Result = FCTrue;
}

/// The fact of the fact base with the id the argument gives; "No Such Fact with ID=%s exists" when none.
IFact FactById(TInferenceEngine& Engine, TFunctionCall& FunCall, int32_t Index, TIEContext* Context) {
  const int32_t ID = ResolveArgument(FunCall, Index, Context)->GetAsFactId();
  IFact Fact = Engine.GetFacts().GetFactByID(ID);
  if (!Fact) throw EIEException(SNoSuchFact, {std::to_string(ID)});
  return Fact;
}

bool IsMultiSlot(const TFactSlot& Slot) {
  return Slot.GetSlotType().Contains(dtMultiSlot) || Slot.IsMultiSlot();
}

/// The slot change argument Index: a list of the slot name and the new value or values. A change that is
/// not a list raises the list conversion error; an empty one "Invalid slot name: ".
IValueVector SlotChange(TFunctionCall& FunCall, int32_t Index, TIEContext* Context) {
  IValueVector Change = ResolveArgument(FunCall, Index, Context)->GetAsList();
  if (Change->GetValueCount() == 0) throw EIEException(SInvalidSlotName, {std::string()});
  return Change;
}

/// Applies a slot change to Fact. A multislot receives a new list of the change's values (each resolved),
/// unless the change is one value that is itself a list, which is stored as it is; any other slot receives
/// the first value, resolved (nil when the change names the slot only).
void ApplySlotChange(TFact& Fact, const IValueVector& Change, TIEContext* Context) {
  const std::string Name = Change->Get(0)->GetAsString();
  const IFactSlot& Slot = Fact.GetTemplate()->GetSlot(Name);
  const int32_t Count = Change->GetValueCount() - 1;
  if (IsMultiSlot(*Slot) && !(Count == 1 && Change->Get(1) && Change->Get(1)->GetDType() == dtList)) {
    IValueVector Values = MakeRef<TValueVector>();
    Values->Reserve(Count);
    for (int32_t I = 1; I <= Count; ++I) Values->Add(ResolveIn(Change->Get(I), Context));
    Fact.SetValue(Name, MakeRef<TIEValue>(Values));
    return;
  }
  Fact.SetValue(Name, Count > 0 ? ResolveIn(Change->Get(1), Context) : FCNil);
}

/// For a fuzzy slot: a copy of the change whose first value is the fuzzy value it describes in the slot's
/// fuzzy variable (a fuzzy value stays as it is). Other slots keep the change as it is.
IValueVector FuzzyChange(const TFact& Fact, const IValueVector& Change, TInferenceEngine& Engine,
                         TIEContext* Context) {
  if (Change->GetValueCount() < 2 || !Fact.GetTemplate()) return Change;
  const IFactSlot* Slot = Fact.GetTemplate()->FindSlot(Change->Get(0)->GetAsString());
  if (!Slot || !(*Slot)->GetSlotType().Contains(dtFuzzy)) return Change;
  const IIEValue& First = Change->Get(1);
  if (!First || First->GetDType() == dtFuzzy) return Change;
  const IIEDefinedType& Type = (*Slot)->GetExtendedTypeInfo();
  TIFuzzyVariable* Variable = Type ? Type->GetFuzzyType().get() : nullptr;
  if (!Variable) throw EIEException(std::string(SUndefinedFuzzyVariable));
  IFuzzySet Set = Engine.EvalFuzzyExpression(Variable, First, Context);
  if (!Set) throw EIEException(SInvalidFuzzyExpression, {First->GetToString()});
  IValueVector Copy = Change->Clone();
  Copy->Put(1, MakeRef<TIEValue>(Set));
  return Copy;
}

/// Counts the files the engine is loading or batching, so that a file loading itself stops.
class TFileNesting {
 public:
  TFileNesting(TInferenceEngine& Engine, const char* Function)
      : FDepth(Engine.GetEvaluationState().FileDepth) {
    if (FDepth >= MaxFileNesting) throw EIEException(SNestingTooDeep, {MaxFileNesting, Function});
    ++FDepth;
  }
  TFileNesting(const TFileNesting&) = delete;
  TFileNesting& operator=(const TFileNesting&) = delete;
  ~TFileNesting() { --FDepth; }

 private:
  int32_t& FDepth;
};

}  // namespace

// ---- facts -----------------------------------------------------------------------------------------------

TAssertFunction::TAssertFunction()
    : TIEUserFunction(
          "assert", 0, Unbounded,
          FunctionComment("Asserts or adds each fact argument to the fact list.  The fact index of the "
                          "last fact added is returned"),
          " <fact>*") {}

void TAssertFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  int32_t ID = -1;
  for (int32_t I = 0; I < FunCall.GetArgumentCount(); ++I) {
    // A copy: the call keeps its fact as written, and every firing asserts a fact of its own.
    IFact Fact = ResolveArgument(FunCall, I, Context)->GetAsFact()->Clone();
    Fact->SetID(-1);
    ID = Engine.Assert(Context->Resolve(Fact), false);
  }
  Result = ID < 0 ? FCFalse : FactIdValue(ID);
}

TAssertStringFunction::TAssertStringFunction()
    : TIEUserFunction(
          "assert-string", 1, Unbounded,
          FunctionComment("Asserts or adds each string argument as a fact to the fact list.  The fact "
                          "index of the last fact added is returned"),
          " <string-expression>*") {}

void TAssertStringFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  int32_t ID = -1;
  for (int32_t I = 0; I < FunCall.GetArgumentCount(); ++I)
    ID = Engine.Assert(ArgumentText(FunCall, I, Context));
  Result = FactIdValue(ID);
}

TRetractFunction::TRetractFunction()
    : TIEUserFunction(
          "retract", 1, Unbounded,
          FunctionComment("Retracts facts specified by their fact indices from the fact base.  If the "
                          "only argument is an asterisk (*), all facts are retracted"),
          " *|<fact-index>*") {}

void TRetractFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  const IIEValue First = ResolveArgument(FunCall, 0, Context);
  if (First->GetDType() == dtAtom && First->GetAsString() == "*") {
    Engine.GetFacts().Clear();
  } else {
    Engine.Retract(First->GetAsFactId());
    for (int32_t I = 1; I < FunCall.GetArgumentCount(); ++I)
      Engine.Retract(ResolveArgument(FunCall, I, Context)->GetAsFactId());
  }
  Result = FCTrue;
}

TRetractStringFunction::TRetractStringFunction()
    : TIEUserFunction(
          "retract-string", 0, Unbounded,
          FunctionComment("Retracts facts that equal the string arguments from the fact base.  If "
                          "duplicate facts are allowed, only the first fact that matches the string is "
                          "retracted"),
          " <fact-string>") {}

void TRetractStringFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  for (int32_t I = 0; I < FunCall.GetArgumentCount(); ++I) Engine.Retract(ArgumentText(FunCall, I, Context));
  Result = FCTrue;
}

TDuplicateFunction::TDuplicateFunction()
    : TIEUserFunction(
          "duplicate", 2, Unbounded,
          FunctionComment("Asserts a duplicated copy of the fact specified by the fact index, with one "
                          "or more slot values changed"),
          " <fact-index> (<slot-name> <expression>)*") {}

void TDuplicateFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  IFact Copy = FactById(Engine, FunCall, 0, Context)->Clone();
  Copy->SetID(-1);
  for (int32_t I = 1; I < FunCall.GetArgumentCount(); ++I)
    ApplySlotChange(*Copy, SlotChange(FunCall, I, Context), Context);
  // Values of a multislot written as several expressions are resolved here, as assert resolves its facts.
  Result = FactIdValue(Engine.Assert(Context->Resolve(Copy), false));
}

TModifyFunction::TModifyFunction()
    : TIEUserFunction(
          "modify", 1, Unbounded,
          FunctionComment("Modifies the fact specified by the fact index.  It assigns new values to the "
                          "slots of the facts.  Note that the fact is retracted and then asserted by "
                          "this function"),
          " <fact-index> (<slot-name> <expression>)+") {}

void TModifyFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  const IFact Fact = FactById(Engine, FunCall, 0, Context);
  Engine.BeginFactModify(Fact);
  try {
    for (int32_t I = 1; I < FunCall.GetArgumentCount(); ++I)
      ApplySlotChange(*Fact, FuzzyChange(*Fact, SlotChange(FunCall, I, Context), Engine, Context), Context);
    Context->Resolve(Fact);
  } catch (...) {
    // The modify bracket closes whatever happened; the first error is the one reported.
    try {
      Engine.EndFactModify(Fact);
    } catch (...) {
    }
    throw;
  }
  Result = FactIdValue(Engine.EndFactModify(Fact));
}

TGetSlotValueFunction::TGetSlotValueFunction()
    : TIEUserFunction(
          "get-slot-value", 1, 2,
          FunctionComment("Returns the value in the fact slot specified by the <slot-name-expression>"),
          " <fact-id-expression>|<fact-expression> [<slot-name-expression> ]") {}

void TGetSlotValueFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  const IFact Fact = FactArgument(Engine, ResolveArgument(FunCall, 0, Context));
  const std::string Slot =
      FunCall.GetArgumentCount() > 1 ? ArgumentText(FunCall, 1, Context) : SDefaultSlotName;
  const IIEValue Value = Fact->GetValue(Slot);
  // A copy that holds a list of its own, so that changing it leaves the fact alone.
  if (!Value) {
    Result = FCNil;
    return;
  }
  Result = MakeRef<TIEValue>();
  Result->Assign(ICloneableRef(Value));
}

TDoBackwardChainingFunction::TDoBackwardChainingFunction()
    : TIEUserFunction(
          "do-backward-chaining", 0, Unbounded,
          FunctionComment("Prepares the inference engine for backward chaining on a particular fact "
                          "template or series of fact templates.  The command creates backward chaining "
                          "templates to match the fact template arguments"),
          " <fact-template-name>*") {}

void TDoBackwardChainingFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  for (int32_t I = 0; I < FunCall.GetArgumentCount(); ++I) {
    const std::string Name = ArgumentText(FunCall, I, Context);
    if (Name == STestCE || Name == "not") throw EIEException(SBackChainCE, {Name});
    const IFactTemplate Template = Engine.CreateFactTemplate(Name);
    Template->SetBackwardChaining(true);
    // The goal starts as a template made from this one would (its backward-chaining flag and copies of its
    // slots) and keeps no parent.
    IFactTemplate Goal = MakeRef<TFactTemplate>(&Engine, SBackChainPrefix + Name);
    Goal->SetComment("Goal seeker for " + Name);
    Goal->SetBackwardChaining(Template->IsBackwardChaining());
    for (const TFactTemplate::TSlotEntry& Entry : Template->GetSlots()) Goal->AddSlot(Entry.Slot);
    Engine.GetFactTemplates().Put(Goal);
  }
  Result = FCTrue;
}

// ---- engine control --------------------------------------------------------------------------------------

TRunFunction::TRunFunction()
    : TIEUserFunction(
          "run", 0, 1,
          FunctionComment("Executes the inference engine and returns the number of steps executed.  If "
                          "the optional argument is specified, the inference engine will execute AT "
                          "MOST <integer-expression> steps"),
          " [<integer-expression>]") {}

void TRunFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  const int32_t Fired = FunCall.GetArgumentCount() > 0
                            ? Engine.Run(ResolveArgument(FunCall, 0, Context)->GetAsInteger())
                            : Engine.Run();
  Result = MakeRef<TIEValue>(Fired, dtInteger);
}

TResetFunction::TResetFunction()
    : TIEUserFunction(
          "reset", 0, 0,
          FunctionComment("Resets the inference engine.  First, the agenda is cleared, all facts are "
                          "deleted, and all global variables are removed.  If the ResetGlobals "
                          "property of the inference engine is true, the global variables are reset "
                          "to their initial values.  Any Fact sets available have their facts "
                          "asserted.  Finally, the initial fact is asserted to start the whole "
                          "inference process over again")) {}

void TResetFunction::Evaluate(TFunctionCall&, TIEContext* Context, IIEValue& Result) {
  EngineOf(Context).Reset();
  Result = FCTrue;
}

TClearFunction::TClearFunction()
    : TIEUserFunction(
          "clear", 0, 0,
          FunctionComment("Clears the inference engine of all fact templates, facts, and rules")) {}

void TClearFunction::Evaluate(TFunctionCall&, TIEContext* Context, IIEValue& Result) {
  EngineOf(Context).Clear();
  Result = FCTrue;
}

THaltFunction::THaltFunction()
    : TIEUserFunction("halt", 0, 0, FunctionComment("Halts the execution of the inference engine")) {}

void THaltFunction::Evaluate(TFunctionCall&, TIEContext* Context, IIEValue& Result) {
  EngineOf(Context).Halt();
  Result = FCTrue;
}

TExitFunction::TExitFunction()
    : TIEUserFunction("exit", 0, 0, FunctionComment("Immediately stops execution of the inference engine")) {}

void TExitFunction::Evaluate(TFunctionCall&, TIEContext*, IIEValue&) { throw EIEExit(0); }

TWatchFunction::TWatchFunction() : TIEUserFunction("watch", 1, 1, WatchHelp(true), SWatchArguments) {}

void TWatchFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  SwitchWatches(FunCall, Context, true, Result);
}

TUnwatchFunction::TUnwatchFunction() : TIEUserFunction("unwatch", 1, 1, WatchHelp(false), SWatchArguments) {}

void TUnwatchFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  SwitchWatches(FunCall, Context, false, Result);
}

TGetFactDuplicationFunction::TGetFactDuplicationFunction()
    : TIEUserFunction(
          "get-fact-duplication", 0, 0,
          FunctionComment("Returns the boolean value for the current state of the fact duplication "
                          "behavior.  If this function returns FALSE, duplicate facts may be asserted "
                          "into the fact list.  If value is TRUE, duplicate facts are ignored")) {}

void TGetFactDuplicationFunction::Evaluate(TFunctionCall&, TIEContext* Context, IIEValue& Result) {
  Result = EngineOf(Context).GetFactDuplication() ? FCFalse : FCTrue;
}

TSetFactDuplicationFunction::TSetFactDuplicationFunction()
    : TIEUserFunction(
          "set-fact-duplication", 1, 1,
          FunctionComment("Sets the fact duplication behavior to the <boolean-expression> and returns "
                          "the previous value of the behavior.  If fact duplication is set to FALSE, "
                          "duplicate facts may be asserted into the fact list.  If fact duplication is "
                          "set to TRUE, duplicate facts are ignored"),
          " <boolean-expression>") {}

void TSetFactDuplicationFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  const bool Allowed = ResolveArgument(FunCall, 0, Context)->Equals(FCFalse);
  Result = Engine.GetFactDuplication() ? FCFalse : FCTrue;
  Engine.SetFactDuplication(Allowed);
}

TGenSymStarFunction::TGenSymStarFunction()
    : TIEUserFunction(
          "gensym*", 0, 0,
          FunctionComment("Returns a sequenced symbol of the form \"genX\" where X is an integer.  "
                          "Repeated calls will return monotonically increasing values for X")) {}

void TGenSymStarFunction::Evaluate(TFunctionCall&, TIEContext* Context, IIEValue& Result) {
  Result = MakeRef<TIEValue>(EngineOf(Context).GenerateSymbol("gen"), dtAtom);
}

TVersionFunction::TVersionFunction()
    : TIEUserFunction(
          "version", 0, 0,
          FunctionComment(
              "Returns a floating point number for the inference engine version being executed")) {}

void TVersionFunction::Evaluate(TFunctionCall&, TIEContext* Context, IIEValue& Result) {
  Result = MakeRef<TIEValue>(static_cast<double>(EngineOf(Context).GetVersion()));
}

// ---- files -----------------------------------------------------------------------------------------------

TLoadFunction::TLoadFunction()
    : TIEUserFunction("load", 1, 1, FunctionComment("Loads the specified file into the inference engine"),
                      SFileNameArgument) {}

void TLoadFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  const std::string FileName = Engine.CheckFileAccess(GetFunctionName(), ArgumentText(FunCall, 0, Context));
  TFileNesting Nesting(Engine, "load");
  Engine.LoadFromFile(FileName);
  Result = FCTrue;
}

TLoadFactsFunction::TLoadFactsFunction()
    : TIEUserFunction(
          "load-facts", 1, 1,
          FunctionComment("Loads the facts contained in the file specified by the <filename> argument"),
          SFileNameArgument) {}

void TLoadFactsFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  Engine.LoadFactsFromFile(Engine.CheckFileAccess(GetFunctionName(), ArgumentText(FunCall, 0, Context)));
  Result = FCTrue;
}

TBatchFunction::TBatchFunction()
    : TIEUserFunction(
          "batch", 1, 1,
          FunctionComment("Allows batch processing of interactive commands by replacing standard input "
                          "with the contents of <filename>.  Returns TRUE if the file was successfully "
                          "executed, FALSE otherwise"),
          SFileNameArgument) {}

void TBatchFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  const std::string FileName = Engine.CheckFileAccess(GetFunctionName(), ArgumentText(FunCall, 0, Context));
  TFileNesting Nesting(Engine, "batch");
  Result = Engine.Batch(FileName) ? FCTrue : FCFalse;
}

TSaveFunction::TSaveFunction()
    : TIEUserFunction(
          "save", 1, 1,
          FunctionComment("Saves the expert system to the file specified by <filename>.  This includes "
                          "fact templates, facts, fact sets, rules and deffunctions"),
          SFileNameArgument) {}

void TSaveFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  Engine.SaveToFile(Engine.CheckFileAccess(GetFunctionName(), ArgumentText(FunCall, 0, Context)));
  Result = FCTrue;
}

TSaveFactsFunction::TSaveFactsFunction()
    : TIEUserFunction(
          "save-facts", 1, Unbounded,
          FunctionComment("Saves the facts of the fact base to the file specified by <file-name>.  When "
                          "fact template names follow, only the facts of those templates are saved, "
                          "template by template; without them every fact is saved"),
          " <file-name> [<fact-template-name>+]") {}

void TSaveFactsFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  const std::string FileName = Engine.CheckFileAccess(GetFunctionName(), ArgumentText(FunCall, 0, Context));
  if (FunCall.GetArgumentCount() == 1) {
    Engine.SaveFactsToFile(FileName);
  } else {
    // Every name is read before the file is created, so a failing argument leaves the file untouched.
    std::vector<std::string> Names;
    for (int32_t I = 1; I < FunCall.GetArgumentCount(); ++I)
      Names.push_back(ArgumentText(FunCall, I, Context));
    std::ostringstream Saved;
    {
      TGTextStream Stream(static_cast<std::ostream&>(Saved));
      for (const std::string& Name : Names) Engine.SaveFacts(Stream, Name);
    }
    TGTextStream File(FileName, fmCreate);
    File.Write(Saved.str());
    File.Flush();
  }
  Result = FCTrue;
}

// ---- the value store -------------------------------------------------------------------------------------

TStoreFunction::TStoreFunction()
    : TIEUserFunction(
          "store", 2, 2,
          FunctionComment("Stores the specified value associated with the specified name.  You can "
                          "retrieve the value later using the name and the fetch command"),
          " <variable-name> <value>") {}

void TStoreFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  IIEValue Value = ResolveArgument(FunCall, 1, Context);
  if (Value == FCNil) Value = IIEValue();
  Engine.GetEngineVariables().Put(ArgumentText(FunCall, 0, Context), Value);
  Result = Value;
}

TFetchFunction::TFetchFunction()
    : TIEUserFunction(
          "fetch", 1, 1,
          FunctionComment("Retrieves and returns the value previously stored using the store command.  "
                          "The <lexeme-expression> is the string or symbol used as the key to store the "
                          "value"),
          " <lexeme-expression>") {}

void TFetchFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const IIEValue Value = EngineOf(Context).GetEngineVariables().Get(ArgumentText(FunCall, 0, Context));
  Result = Value ? Value : FCNil;
}

TClearStorageFunction::TClearStorageFunction()
    : TIEUserFunction(
          "clear-storage", 0, 0,
          FunctionComment("Clears the storage area where the store and fetch command save values")) {}

void TClearStorageFunction::Evaluate(TFunctionCall&, TIEContext* Context, IIEValue&) {
  EngineOf(Context).GetEngineVariables().Clear();
}

// ---- the package -----------------------------------------------------------------------------------------

IFact FactArgument(TInferenceEngine& Engine, const IIEValue& Value, bool PrintedForm) {
  IFact Fact;
  switch (Value->GetDType()) {
    case dtInteger:
    case dtFactId:
      Fact = Engine.GetFacts().GetFactByID(Value->GetAsFactId());
      break;
    case dtFact:
      Fact = Value->GetAsFact();
      break;
    case dtAtom: {
      int32_t ID = -1;
      const std::string& Text = Value->Text();
      if (PrintedForm && Text.size() > 2 && Text.compare(0, 2, "f-") == 0 &&
          std::isdigit(static_cast<unsigned char>(Text[2])) &&
          TryStrToInt(std::string_view(Text).substr(2), ID)) {
        Fact = Engine.GetFacts().GetFactByID(ID);
        break;
      }
      [[fallthrough]];
    }
    default:
      throw EIEException(SInvalidArgType, {GetIETypeName(Value->GetDType()),
                                           SetToString(TIETypes{dtFactId, dtFact}, ", ", false)});
  }
  if (!Fact) throw EIEException(SNoSuchFact, {Value->GetToString()});
  return Fact;
}

std::string ArgumentText(TFunctionCall& FunCall, int32_t Index, TIEContext* Context) {
  return ResolveArgument(FunCall, Index, Context)->GetAsString();
}

void TStandardPackage::CreateFunctions() {
  TUserPackage::CreateFunctions();
  TUserFunctionList& List = GetFunctions();
  List.Add(MakeRef<TAndFunction>());
  List.Add(MakeRef<TAssertFunction>());
  List.Add(MakeRef<TAssertStringFunction>());
  List.Add(MakeRef<TBatchFunction>());
  List.Add(MakeRef<TBindFunction>());
  List.Add(MakeRef<TClearFunction>());
  List.Add(MakeRef<TClearStorageFunction>());
  List.Add(MakeRef<TCloseFunction>());
  List.Add(MakeRef<TDoBackwardChainingFunction>());
  List.Add(MakeRef<TDribbleOnFunction>());
  List.Add(MakeRef<TDribbleOffFunction>());
  List.Add(MakeRef<TDuplicateFunction>());
  List.Add(MakeRef<TEqFunction>());
  List.Add(MakeRef<TEqStarFunction>());
  List.Add(MakeRef<TNumericEqualFunction>());
  List.Add(MakeRef<TExitFunction>());
  List.Add(MakeRef<TGetVarFunction>());
  List.Add(MakeRef<TFetchFunction>());
  List.Add(MakeRef<TForEachFunction>());
  List.Add(MakeRef<TFormatFunction>());
  List.Add(MakeRef<TGenSymStarFunction>());
  List.Add(MakeRef<TGetFactDuplicationFunction>());
  List.Add(MakeRef<TGetSlotValueFunction>());
  List.Add(MakeRef<TGreaterThanFunction>());
  List.Add(MakeRef<TGreaterOrEqualFunction>());
  List.Add(MakeRef<THaltFunction>());
  List.Add(MakeRef<TIfFunction>());
  List.Add(MakeRef<TLoadFunction>());
  List.Add(MakeRef<TLoadFactsFunction>());
  List.Add(MakeRef<TLessThanFunction>());
  List.Add(MakeRef<TLessOrEqualFunction>());
  List.Add(MakeRef<TMemberFunction>());
  List.Add(MakeRef<TModifyFunction>());
  List.Add(MakeRef<TNeqFunction>());
  List.Add(MakeRef<TNumericNotEqualFunction>());
  List.Add(MakeRef<TNotFunction>());
  List.Add(MakeRef<TOpenFunction>());
  List.Add(MakeRef<TOrFunction>());
  List.Add(MakeRef<TPrintOutFunction>());
  List.Add(MakeRef<TReadFunction>());
  List.Add(MakeRef<TReadLineFunction>());
  List.Add(MakeRef<TRemoveFunction>());
  List.Add(MakeRef<TRenameFunction>());
  List.Add(MakeRef<TResetFunction>());
  List.Add(MakeRef<TRetractFunction>());
  List.Add(MakeRef<TRetractStringFunction>());
  List.Add(MakeRef<TReturnFunction>());
  List.Add(MakeRef<TRunFunction>());
  List.Add(MakeRef<TSaveFunction>());
  List.Add(MakeRef<TSaveFactsFunction>());
  List.Add(MakeRef<TSetFactDuplicationFunction>());
  List.Add(MakeRef<TStoreFunction>());
  List.Add(MakeRef<TTryFunction>());
  List.Add(MakeRef<TThrowFunction>());
  List.Add(MakeRef<TUnwatchFunction>());
  List.Add(MakeRef<TVersionFunction>());
  List.Add(MakeRef<TWatchFunction>());
  List.Add(MakeRef<TWhileFunction>());
  List.Add(MakeRef<TCreateMFFunction>());
  List.Add(MakeRef<TDeleteMFFunction>());
  List.Add(MakeRef<TExplodeMFFunction>());
  List.Add(MakeRef<TFirstMFFunction>());
  List.Add(MakeRef<TImplodeMFFunction>());
  List.Add(MakeRef<TInsertMFFunction>());
  List.Add(MakeRef<TLengthMFFunction>());
  List.Add(MakeRef<TMemberMFFunction>());
  List.Add(MakeRef<TNthMFFunction>());
  List.Add(MakeRef<TReplaceMFFunction>());
  List.Add(MakeRef<TRestMFFunction>());
  List.Add(MakeRef<TSubseqMFFunction>());
  List.Add(MakeRef<TSubsetpFunction>());
}

}  // namespace rulecraft
