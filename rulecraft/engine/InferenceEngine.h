#pragma once
// TInferenceEngine: the component a host creates to run an expert system. It owns the constructs'
// collections, the fact base, the Rete network, the agenda and the evaluation context; every fact enters and
// leaves the fact base through it (Assert, Retract, RetractFact), and Run fires the agenda's activations.
//
// Firing is guarded: a rule's actions may remove or redefine rules and templates, or clear the engine. The
// activation being fired, its terminal node and its rule stay alive until the firing returns; a Run called
// from inside a firing returns 0 at once.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <istream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "rulecraft/core/Enums.h"
#include "rulecraft/engine/EngineCollections.h"
#include "rulecraft/engine/EngineParser.h"
#include "rulecraft/engine/Explanation.h"
#include "rulecraft/engine/Facts.h"
#include "rulecraft/engine/IOStreams.h"
#include "rulecraft/framework/Component.h"
#include "rulecraft/framework/Streaming.h"
#include "rulecraft/functions/Context.h"
#include "rulecraft/functions/UserPackage.h"
#include "rulecraft/fuzzyset/FuzzySet.h"
#include "rulecraft/rete/Activation.h"
#include "rulecraft/rete/Agenda.h"
#include "rulecraft/rete/Pattern.h"
#include "rulecraft/rete/ReteNetwork.h"
#include "rulecraft/rete/Rule.h"
#include "rulecraft/rete/RuleEngine.h"

namespace rulecraft {

class TFactSet;

/// The objects an engine owns, made through CreateIEObject.
enum TIEObjectType : uint8_t {
  otAgenda,
  otEngineVariables,
  otFacts,
  otFactSets,
  otFactTemplates,
  otGlobalVariables,
  otDefinedTypes,
  otIOStreams,
  otRules,
  otUserFunctions,
  otReteNetwork
};
using TIEObjectTypes = TSet<TIEObjectType>;
const TEnumInfo& TIEObjectTypeInfo();

using TNotifyEvent = std::function<void(TObject* Sender)>;
using TAgendaEvent = std::function<void(TObject* Sender, int32_t Index, TActivation* Activation)>;
using TRuleEvent = std::function<void(TObject* Sender, TRule* Rule)>;
using TFactEvent = std::function<void(TObject* Sender, const IFact& Fact)>;
using TFactTemplateEvent = std::function<void(TObject* Sender, const IFactTemplate& Template)>;
using TIEDefinedTypeEvent = std::function<void(TObject* Sender, const IIEDefinedType& DefType)>;
using TUserFunctionEvent = std::function<void(TObject* Sender, const IUserFunction& Function)>;

/// A warning about a construct that was accepted as written but probably does not do what its author meant:
/// the construct's kind and name ("defrule", "check-order"), the line of the text where the construct
/// starts (0 when it was not read from text) and the message.
struct TIEWarning {
  std::string Construct;
  std::string Name;
  int32_t Line = 0;
  std::string Message;
};
using TWarningEvent = std::function<void(TObject* Sender, const TIEWarning& Warning)>;
/// Asked before a fuzzy fact asserted by a firing rule is correlated with the firing's strength; a handler
/// that sets Done has done the correlation itself (or wants none).
using TFuzzyCorrelationEvent =
    std::function<void(TObject* Sender, const IFact& Fact, float Strength, bool& Done)>;
/// Asked before the fuzzy values of Fact2 are merged into Fact1 by FuzzyInference; a handler that sets Done
/// has combined them itself.
using TFactCombineEvent =
    std::function<void(TObject* Sender, const IFact& Fact1, const IFact& Fact2, bool& Done)>;

/// Which files the rule language's file functions (open, load, save, batch, dribble-on, remove, rename, ...)
/// may touch: any, none, or only those inside one directory (TInferenceEngine::SetSandbox).
enum TFileAccess : uint8_t { faAll, faNone, faConfined };

/// The dialogs the rule language's dialog functions ask a host to show.
enum TDialogKind : uint8_t { dkShowMessage, dkInputBox, dkInputQuery, dkMessageDlg };
/// What a dialog shows. Caption and Default serve input-box and input-query; Text is their prompt or the
/// message of show-message and message-dlg; DialogType (mtWarning, mtError, mtInformation, mtConfirmation,
/// mtCustom), Buttons (mbYes, mbNo, mbOK, ...) and HelpContext serve message-dlg.
struct TDialogRequest {
  TDialogKind Kind = dkShowMessage;
  std::string Caption;
  std::string Text;
  std::string Default;
  std::string DialogType;
  std::vector<std::string> Buttons;
  int32_t HelpContext = 0;
};
/// Shows a dialog and waits for the user: false when the user cancelled it. Answer receives the text
/// entered (input-box, input-query) or the name of the result chosen (message-dlg: mrOk, mrYes, ...).
using TDialogEvent = std::function<bool(TObject* Sender, const TDialogRequest& Request, std::string& Answer)>;

/// Creates the function package of one kind, owned by (and serving) the engine Owner, or nullptr for a
/// package this build does not have.
using TFunctionPackageFactory = TUserPackage* (*)(TFunctionPackage Package, TComponent* Owner);
/// Creates the packages of the engine's own extensions, owned by (and serving) the engine Owner, appending
/// each to Installed. They are installed after the function packages, whatever Packages selects.
using TExtensionPackageFactory = void (*)(TComponent* Owner, std::vector<TUserPackage*>& Installed);

class TInferenceEngine : public TComponent, public IRuleEngine {
  RC_CLASS(TInferenceEngine, TComponent)
 public:
  /// A ready engine: the selected packages installed, the fact base holding (Initial-Fact) with identifier 0.
  explicit TInferenceEngine(TComponent* AOwner = nullptr) : TInferenceEngine(AOwner, nullptr) {}
  ~TInferenceEngine() override;

  /// The parser and the function packages every engine created afterwards installs. The engine layer names
  /// neither: the library's top level (rulecraft/Rulecraft.cpp) registers the rule-language parser and the
  /// nine packages when the library is loaded. Without a parser factory, creating an engine raises
  /// SNoEngineParser. The extension factory (none by default) adds the packages of the engine's own
  /// extensions after the function packages.
  static void SetDefaultFactories(TEngineParserFactory Parser, TFunctionPackageFactory Packages,
                                  TExtensionPackageFactory Extensions = nullptr) noexcept;

  // ---- published properties
  TDuplicateConstructs GetDuplicateConstructs() const noexcept { return FDuplicateConstructs; }
  void SetDuplicateConstructs(TDuplicateConstructs Value) noexcept { FDuplicateConstructs = Value; }
  TFunctionPackages GetPackages() const noexcept { return FPackages; }
  /// Another set frees every package the engine owns (last first) and installs the new selection.
  void SetPackages(TFunctionPackages Value);
  bool GetFactDuplication() const noexcept { return FFactDuplication; }
  /// False refuses asserts of facts equal to one present; the fact base keeps its hash cache exactly then.
  void SetFactDuplication(bool Value);
  bool GetFuzzyAutoTerms() const noexcept { return FFuzzyAutoTerms; }
  void SetFuzzyAutoTerms(bool Value) noexcept { FFuzzyAutoTerms = Value; }
  float GetFuzzyEqualsThreshold() const noexcept { return FFuzzyEqualsThreshold; }
  /// Clamped to [0, 1] and handed to the fuzzy variable of every defined type (nothing when unchanged).
  void SetFuzzyEqualsThreshold(float Value);
  float GetMinActivationStrength() const noexcept { return FNetwork->GetMinActivationStrength(); }
  /// Clamped to [0, 1] and handed to the network, which creates no activation weaker than it.
  void SetMinActivationStrength(float Value) noexcept;
  /// How an equal fuzzy fact asserted again is combined with the one present (min-max at first).
  TFuzzyInferenceMethod GetFuzzyInferenceMethod() const noexcept { return FFuzzyInferenceMethod; }
  void SetFuzzyInferenceMethod(TFuzzyInferenceMethod Value) noexcept { FFuzzyInferenceMethod = Value; }
  /// How a fuzzy conclusion is weakened by the strength of the firing that asserts it (minimum at first).
  TFuzzyCorrelationMethod GetFuzzyCorrelationMethod() const noexcept { return FFuzzyCorrelationMethod; }
  void SetFuzzyCorrelationMethod(TFuzzyCorrelationMethod Value) noexcept { FFuzzyCorrelationMethod = Value; }
  TErrorHandling GetParserErrorHandling() const noexcept { return FParserErrorHandling; }
  void SetParserErrorHandling(TErrorHandling Value);
  int32_t GetParserMaxErrors() const noexcept { return FParserMaxErrors; }
  void SetParserMaxErrors(int32_t Value);
  bool GetResetGlobals() const noexcept { return FResetGlobals; }
  void SetResetGlobals(bool Value) noexcept { FResetGlobals = Value; }
  TSearchStrategy GetStrategy() const noexcept { return FAgenda->GetStrategy(); }
  /// Re-sorts the agenda: the same activations are taken off and added again under the new strategy.
  virtual void SetStrategy(TSearchStrategy Value);
  int32_t GetSymbolIndex() const noexcept { return FSymbolIndex; }
  /// A larger value replaces the index; any other advances it by one.
  void SetSymbolIndex(int32_t Value) noexcept;
  TTypeChecks GetTypeChecks() const override { return FTypeChecks; }
  void SetTypeChecks(TTypeChecks Value);
  TConstructWatches GetWatch() const noexcept { return FWatch; }
  void SetWatch(TConstructWatches Value) noexcept { FWatch = Value; }
  /// The formats in which the date and time functions write and read dates and times (yyyy, mm, dd, hh,
  /// nn, ss, zzz and their shorter forms, described with those functions); ISO 8601's "yyyy-mm-dd" and
  /// "hh:nn:ss" unless the host sets its own.
  const std::string& GetDateFormat() const noexcept { return FDateFormat; }
  void SetDateFormat(const std::string& Value) { FDateFormat = Value; }
  const std::string& GetTimeFormat() const noexcept { return FTimeFormat; }
  void SetTimeFormat(const std::string& Value) { FTimeFormat = Value; }
  /// Whether parsing in execute mode writes each top-level result to the terminal (the echo); on unless the
  /// host switches it off, as the program's quiet mode does. What a program prints is not affected.
  bool GetEchoResults() const noexcept { return FEchoResults; }
  void SetEchoResults(bool Value) noexcept { FEchoResults = Value; }
  /// Whether each fact a rule firing asserts records the firing (the rule and the facts of its partial
  /// match, see TFactOrigin and GetFactOrigin): on unless the host switches it off. Facts asserted while it
  /// is off record nothing; switching it changes no record made before.
  bool GetRecordFirings() const noexcept { return FRecordFirings; }
  void SetRecordFirings(bool Value) noexcept { FRecordFirings = Value; }

  // ---- limits for rules the host does not trust (0: no limit, the default)
  /// The most facts the fact base holds: an assert beyond it raises SFactLimitReached and changes nothing.
  int32_t GetMaxFacts() const noexcept { return FMaxFacts; }
  void SetMaxFacts(int32_t Value) noexcept { FMaxFacts = Value > 0 ? Value : 0; }
  /// The most rules one Run fires: a run that fired that many with activations left stops and raises
  /// SFiringLimitReached (the agenda keeps the rest).
  int32_t GetMaxFirings() const noexcept { return FMaxFirings; }
  void SetMaxFirings(int32_t Value) noexcept { FMaxFirings = Value > 0 ? Value : 0; }
  /// The longest text (characters) and multifield (fields) a function may answer (or, for format, write);
  /// a longer result raises SStringTooLong or SMultifieldTooLong.
  int32_t GetMaxStringLength() const noexcept { return FEvaluationState.MaxStringLength; }
  void SetMaxStringLength(int32_t Value) noexcept {
    FEvaluationState.MaxStringLength = Value > 0 ? Value : 0;
  }
  int32_t GetMaxMultifieldLength() const noexcept { return FEvaluationState.MaxMultifieldLength; }
  void SetMaxMultifieldLength(int32_t Value) noexcept {
    FEvaluationState.MaxMultifieldLength = Value > 0 ? Value : 0;
  }
  /// Which files the file functions may touch (faAll by default). faConfined without a sandbox directory
  /// refuses every file as faNone does.
  TFileAccess GetFileAccess() const noexcept { return FFileAccess; }
  void SetFileAccess(TFileAccess Value) noexcept { FFileAccess = Value; }
  /// Confines the file functions to Directory (which must exist: SSandboxNotDirectory otherwise): the
  /// access becomes faConfined, relative names are taken inside it, and a name leading outside it (through
  /// ".." or a symbolic link) is refused.
  void SetSandbox(const std::string& Directory);
  /// The directory (resolved) the file functions are confined to; empty when none was set.
  const std::string& GetSandbox() const noexcept { return FSandbox; }
  /// The path the file function Function uses for FileName: FileName itself with faAll; with faNone
  /// SFileAccessDenied; with faConfined the resolved path inside the sandbox, or SFileOutsideSandbox.
  std::string CheckFileAccess(const std::string& Function, const std::string& FileName) const;

  /// The version written into saved expert systems.
  float GetVersion() const noexcept { return 2.1f; }

  // ---- owned objects
  /// Makes one of the objects an engine owns, of the class its kind names (otRules a TRules, otFacts a
  /// TFacts, ...), serving this engine; nullptr for a kind outside the enumeration. The caller owns what it
  /// gets, except the network, a component owned by the engine. Every owned object is made here; a
  /// descendant engine substitutes its own classes through the factory it hands the protected constructor,
  /// which is asked first (a virtual call made while an engine is being constructed reaches this class's
  /// version only). An object that is not of the kind's class raises SWrongIEObject.
  virtual TObject* CreateIEObject(TIEObjectType ObjectType);
  TFacts& GetFacts() noexcept { return *FFacts; }
  TRules& GetRules() noexcept { return *FRules; }
  TFactTemplates& GetFactTemplates() noexcept { return *FFactTemplates; }
  TIEDefinedTypes& GetDefinedTypes() noexcept { return *FDefinedTypes; }
  TUserFunctions& GetUserFunctionTable() noexcept { return *FUserFunctions; }
  TGlobalVariables& GetGlobalVariables() noexcept { return *FGlobalVariables; }
  TEngineVariables& GetEngineVariables() noexcept { return *FEngineVariables; }
  TFactSets& GetFactSets() noexcept { return *FFactSets; }
  TReteNetwork& GetNetwork() noexcept { return *FNetwork; }
  /// Raises SEngineBusy (naming What) while a fact goes through the network or the engine resets: a test of a
  /// pattern or a value of a fact set may call any function, but not one that clears or resets the engine or
  /// removes a rule or a template, which would pull the network or the fact sets from under the walk.
  void CheckNotBusy(const char* What) const;
  TIEAgenda& GetAgenda() noexcept { return *FAgenda; }
  int32_t GetAgendaCount() const noexcept { return FAgenda->Count(); }
  TActivation* GetActivation(int32_t Index) const { return FAgenda->Get(Index); }
  /// The activation being fired, or nullptr outside a firing.
  TActivation* GetCurrentActivation() const noexcept { return FCurrent; }

  // ---- the fact base
  /// Asserts Fact; its new identifier, or -1 when an equal fact is present and duplicates are refused.
  /// "Fact Template is missing" for a fact without template.
  virtual int32_t Assert(const IFact& Fact, bool Unconditional = false);
  /// Assert with FuzzyInferenceMethod set to Method for the time of the call (restored also when it raises).
  int32_t Assert(const IFact& Fact, TFuzzyInferenceMethod Method, bool Unconditional);
  /// Parses Text as one fact, resolves it in the engine's context and asserts it.
  int32_t Assert(const std::string& Text);
  /// Retracts the fact with that identifier; nothing when there is none.
  void Retract(int32_t ID);
  /// Retracts the first fact equal to Fact; nothing when there is none.
  void Retract(const IFact& Fact);
  /// Parses and resolves Text as Assert(Text) does and retracts the first equal fact.
  void Retract(const std::string& Text);
  /// Retracts the fact at position Index of the fact base.
  virtual void RetractFact(int32_t Index);
  /// Retracts this very fact object; nothing when it is not in the fact base.
  void RetractFact(const IFact& Fact);
  /// Tells the network the whole fact base is gone and raises OnClearFacts.
  virtual void RetractFacts();
  /// The first half of a modify: retracts this very fact.
  virtual void BeginFactModify(const IFact& Fact);
  /// The second half: asserts the changed fact (new identifier, or -1 as a duplicate).
  virtual int32_t EndFactModify(const IFact& Fact);
  /// Queues a goal fact for assertion (Assertion) or retraction once the current change has finished.
  virtual void AddPendingFact(const IFact& Fact, bool Assertion);
  void AddPendingFact(const IFact& Fact) override { AddPendingFact(Fact, true); }
  /// Asserts, then retracts, the queued facts until both queues are empty.
  void ProcessPendingFacts();
  int32_t GetPendingAssertionCount() const noexcept {
    return static_cast<int32_t>(FPendingAssertions.size());
  }
  int32_t GetPendingRetractionCount() const noexcept {
    return static_cast<int32_t>(FPendingRetractions.size());
  }
  const IFact& GetPendingAssertion(int32_t Index) const;
  const IFact& GetPendingRetraction(int32_t Index) const;
  /// The counter, then incremented.
  int32_t NewFactId() noexcept { return FNextFactId++; }
  int32_t GetNextFactId() const override { return FNextFactId; }
  int32_t NewRuleId() override { return FNextRuleId++; }

  // ---- explaining (Explanation.cpp)
  /// Why the rule does or does not fire: for each pattern the facts that match it alone, for each join the
  /// partial matches it holds, the activations and, when there is none, where matching stops and why (see
  /// TRuleMatchReport). The patterns' and joins' tests run again (their calls too); nothing else changes:
  /// no fact, memory, activation or firing. SUnknownRule for a name no rule has, SNetworkBusy while facts
  /// flow through the network, STooManyPartialMatches past MaxExplainedMatches partial matches at one
  /// pattern.
  TRuleMatchReport ExplainMatches(const std::string& RuleName);
  /// The report as the rule language's matches prints it, lines ended by NewLineString.
  std::string MatchReportText(const TRuleMatchReport& Report);
  /// The firing that asserted the fact with that identifier (see TFactOrigin); empty when there is no such
  /// fact or it was not asserted by a rule's firing while firings were recorded.
  IFactOrigin GetFactOrigin(int32_t ID) const;
  /// What the rule language's why prints for Fact: the rule and each fact of the firing with its text (a
  /// fact retracted since, or a rule removed since, is said to be), or that a rule did not assert it.
  std::string FactOriginText(const IFact& Fact);

  // ---- the inference cycle
  /// Empties the fact base (and so the agenda), resets the rules, asserts (Initial-Fact), re-binds the
  /// globals when ResetGlobals, asserts the fact sets' facts and raises OnReset.
  virtual void Reset();
  /// Forgets every construct, fact and activation; the fact base stays empty until the next Reset.
  virtual void Clear();
  /// Fires activations until the agenda is empty, the engine halts or Limit rules fired; returns how many
  /// fired. Inside a firing it returns 0 at once.
  int32_t Run(int32_t Limit = 2147483647);
  /// Stops Run after the current firing.
  void Halt() noexcept { FHalt = true; }
  bool GetHalted() const noexcept { return FHalt; }
  int32_t GetRulesFired() const noexcept { return FRulesFired; }
  virtual void BeginInference();
  virtual void EndInference();
  /// Where an activation of that salience goes under the current strategy (-1: at the end).
  virtual int32_t SearchSalience(int32_t Salience) const { return FAgenda->SearchSalience(Salience); }
  /// Binds a global in the engine context to Value (a call is evaluated first in a child context).
  void ResetGlobalVariable(const std::string& Name, const IIEValue& Value);
  /// Enters the engine's critical section, which Run holds around each firing; the thread holding it may
  /// enter again. A host changing the engine from another thread while it runs takes it too.
  void Lock();
  /// Leaves the critical section; nothing on a thread that does not hold it.
  void Unlock();
  TEvaluationState& GetEvaluationState() noexcept override { return FEvaluationState; }

  // ---- the parser
  /// The parser class: the factory the engine's parser was made by.
  TEngineParserFactory GetParserType() const noexcept { return FParserType; }
  /// Another parser class makes the parser anew through it; the new parser gets the engine's parser
  /// settings, the tokenizer class and the parse events the old one had. nullptr and the current class
  /// change nothing.
  void SetParserType(TEngineParserFactory Value);
  /// The tokenizer class the parser reads every text with (nullptr: the parser's own lexer).
  TTokenizerFactory GetTokenizerType() const noexcept { return FTokenizerType; }
  /// nullptr and the current class change nothing; another class is handed to the parser, which refuses
  /// one it cannot read from (SWrongTokenizer).
  void SetTokenizerType(TTokenizerFactory Value);
  /// The parse events (OnParse, OnParseRule, ...), published by the engine and kept in its parser, which
  /// raises them with itself as Sender.
  TParseEvents& GetParseEvents() noexcept { return *FParser; }

  // ---- reading rule-language text
  /// Reads a whole text: constructs are registered; top-level values and calls are evaluated (calls executed
  /// when Execute) and echoed through PrintOut.
  bool Parse(const std::string& Text, bool Execute = true);
  /// Reads the file and parses its text in execute mode.
  bool LoadFromFile(const std::string& FileName);
  /// Reads facts from Text until its end and asserts each.
  bool LoadFacts(const std::string& Text);
  IFunCall ParseFunCall(const std::string& Text);
  IIEValue ParseNExecuteFunCall(const std::string& Text);
  IIEValue ParseValue(const std::string& Text);
  IFactTemplate ParseFactTemplate(const std::string& Text) { return FParser->ParseFactTemplate(Text); }
  /// A fact set read from Text, owned by the engine and not registered in its fact sets.
  TFactSet* ParseFactSet(const std::string& Text) { return FParser->ParseFactSet(Text); }
  bool ParseGlobalVariables(const std::string& Text) { return FParser->ParseGlobalVariables(Text); }
  /// The body of a fuzzy deftype ("(range ...) (units ...) (values ...)") as a fuzzy variable without a name.
  IFuzzyVariable ParseFuzzyVariable(const std::string& Text) { return FParser->ParseFuzzyVariable(Text); }
  /// One "(term NAME VALUE)" of Variable (not added to it).
  IFuzzySet ParseFuzzySet(TIFuzzyVariable* Variable, const std::string& Text) {
    return FParser->ParseFuzzySet(Variable, Text);
  }
  IIEValue ParseVariable(const std::string& Text, std::string& Name) {
    return FParser->ParseVariable(Text, Name);
  }
  IValueVector ParseList(const std::string& Text) { return FParser->ParseList(Text); }
  void ParseRulePatterns(TRule& Rule, const std::string& Text) { FParser->ParseRulePatterns(Rule, Text); }
  void ParseRuleActions(TRule& Rule, const std::string& Text) { FParser->ParseRuleActions(Rule, Text); }
  std::string ParseFactSlot(TFact& Fact, const std::string& Text) {
    return FParser->ParseFactSlot(Fact, Text);
  }
  /// Reads all of Stream and parses it in execute mode; what the engine holds stays (nothing is cleared,
  /// no reset runs).
  bool LoadFromStream(std::istream& Stream);
  virtual bool LoadFromStream(TGTextStream& Stream);
  TEngineParser& GetParser() noexcept { return *FParser; }

  // ---- saving (Persistence.cpp)
  /// The whole expert system as rule-language text: a header comment with the counts, the fact-duplication
  /// command, then one section per non-empty collection (globals, defined types, templates, functions,
  /// rules, fact sets, facts). "Fact templates inheritance structure corrupted" (or the defined types' twin)
  /// when parents form a cycle.
  virtual std::string GetExpertSystem();
  /// Replaces the whole system by the one Text holds: clears the engine, parses Text in execute mode and
  /// resets. The facts the text asserted are asserted again after the reset unless the reset brought an
  /// equal fact back, so the initial fact, the fact sets' facts and the saved facts are each there once.
  virtual void SetExpertSystem(const std::string& Text);
  /// Writes GetExpertSystem to Stream.
  virtual void SaveToStream(TGTextStream& Stream);
  /// Writes GetExpertSystem to a file created anew; the text is complete before the file is touched.
  bool SaveToFile(const std::string& FileName);
  /// Every fact's text on a line of its own, in fact-base order.
  virtual void SaveFacts(TGTextStream& Stream);
  /// Only the facts whose template is named exactly TemplateName.
  virtual void SaveFacts(TGTextStream& Stream, const std::string& TemplateName);
  /// SaveFacts into a file created anew; the text is complete before the file is touched.
  bool SaveFactsToFile(const std::string& FileName);
  /// Reads facts from the file and asserts each; the fact base is not cleared first.
  bool LoadFactsFromFile(const std::string& FileName);
  /// Reads facts from Stream until its end and asserts each; the fact base is not cleared first.
  virtual bool LoadFacts(TGTextStream& Stream);
  /// Every rule's text on a line of its own, in table order.
  virtual void SaveRules(TGTextStream& Stream);
  bool SaveRulesToFile(const std::string& FileName);
  /// Removes every rule, then parses Stream in execute mode.
  virtual bool LoadRules(TGTextStream& Stream);
  /// Opens the file (raising before anything changes when it cannot be read), then LoadRules.
  bool LoadRulesFromFile(const std::string& FileName);
  /// Every template's text on a line of its own, in table order.
  virtual void SaveFactTemplates(TGTextStream& Stream);
  bool SaveFactTemplatesToFile(const std::string& FileName);
  /// Removes every template with what depends on the templates (facts, rules), then parses Stream.
  virtual bool LoadFactTemplates(TGTextStream& Stream);
  bool LoadFactTemplatesFromFile(const std::string& FileName);
  /// Every defined type's text on a line of its own, in table order.
  virtual void SaveDefinedTypes(TGTextStream& Stream);
  bool SaveDefinedTypesToFile(const std::string& FileName);
  /// Removes every defined type with every template and rule, then parses Stream.
  virtual bool LoadDefinedTypes(TGTextStream& Stream);
  bool LoadDefinedTypesFromFile(const std::string& FileName);

  // ---- streaming and copying (EngineStreaming.cpp)
  /// Writes the published properties that differ from a new engine's, then the list properties: the
  /// defined types, templates, deffunctions, global variables and rules (each nested under its collection),
  /// the facts ("FactsList") and the fact sets, one construct's text per string.
  void WriteProperties(TPropertyWriter& Writer) const override;
  /// Reading replaces the whole system: the published properties go back to a new engine's values and the
  /// engine is cleared, so the lists are read into empty collections and the facts are asserted in order.
  void BeginRead() override;
  bool ReadProperty(const TStreamProperty& Property) override;
  /// From another engine: clears this one, copies the settings, then the defined types, templates,
  /// deffunctions, global variables, fact sets, facts (asserted anew) and rules, each read here from the
  /// text the source writes. Assigning an engine to itself changes nothing; any other source goes to the
  /// framework's assignment, which refuses it.
  void Assign(const TPersistent* Source) override;

  // ---- output
  /// Text for the terminal ("t").
  void PrintOut(const std::string& Text) { PrintOut(std::string(), Text); }
  /// "t" and the empty name are the terminal: the capture stream while one is set, else OnPrintOut. Other
  /// names are the engine's streams; an unknown name goes to OnPrintOut with its name, and without a
  /// handler raises "Function is unimplemented or unassigned: printout". A named stream that refuses the
  /// text (a file opened for reading) raises "Cannot write to logical name ...".
  virtual void PrintOut(const std::string& OutID, const std::string& Text);
  /// A line from a named stream ("" at its end), else from the batch input (echoed), else from OnReadLine;
  /// with none of them the "not implemented" error naming "readline".
  virtual std::string ReadLine(const std::string& InID);
  /// Reads a line as ReadLine does and answers whether there was one: a named stream answers false only at
  /// its end (an empty line before it is a line); the terminal answers false for an empty line, since a
  /// host's reader cannot tell it from the end of its input.
  bool ReadLine(const std::string& InID, std::string& Line);
  /// One token's value: the first token of the next line of a named stream that holds one (the rest of
  /// that line is dropped), else of the next line of the batch input (echoed), else of the line OnReadToken
  /// supplies; the shared end-of-file value at the end of the input. Without any, the "not implemented"
  /// error naming "read".
  virtual IIEValue ReadToken(const std::string& InID);
  TIOStreams& GetIOStreams() noexcept { return *FIOStreams; }
  /// Terminal output goes to Stream (owned by the engine from now on) instead of OnPrintOut.
  bool StartCapture(std::unique_ptr<TGTextStream> Stream);
  /// Captures into a file created anew.
  bool StartCapture(const std::string& FileName);
  /// Frees the capture stream; terminal output reaches OnPrintOut again (also when writing out the
  /// stream's last text raises).
  bool StopCapture();
  /// Reads Stream as batch input: each complete expression (lines are joined until their parentheses
  /// balance) is parsed and executed, and terminal reads meanwhile take the following lines.
  bool Batch(TGTextStream& Stream);
  bool Batch(const std::string& FileName);

  // ---- rules and templates
  /// Raises OnRemoveRule, removes the rule from the network and releases it when the engine owns it (after
  /// the current firing when one runs).
  virtual void RemoveRule(TRule* Rule);

  // ---- construct dependencies (Dependencies.cpp)
  /// One construct to rebuild after a construct it uses was redefined: its text and, for a fact, the old
  /// fact; for a deffunction, the function whose fact literals of Template are read again. Kind and Name
  /// name it in the warning raised when it cannot be rebuilt; Cause names the redefined construct.
  struct TDependency {
    std::string Kind;
    std::string Name;
    std::string Text;
    IFact Fact;
    IUserFunction Function;
    std::string Cause;
    IFactTemplate Template;
  };
  using TDependencyList = std::vector<TDependency>;
  /// Removes everything that uses Template, in this order: its pending facts, its facts (last first, each
  /// retracted), its fact-set lines, then the rules with a pattern on it (collected first, then removed).
  virtual void RemoveDependencies(const IFactTemplate& Template);
  /// Removes every template (last first) with a slot of DefinedType or of a copy narrowing it, with the
  /// template's own dependencies.
  virtual void RemoveDependencies(const IIEDefinedType& DefinedType);
  /// Empties the pending lists, the network, the fact base and the rules.
  virtual void RemoveDependencies();
  /// Called once New is stored in place of Old. Another name: RemoveDependencies(Old). The same name: the
  /// facts of Old (read as text, last first) are retracted, its fact-set entries emptied (a line that no
  /// longer reads is dropped), the rules and deffunctions depending on it collected (rules removed), and all
  /// of them rebuilt against New (UpdateDependencies).
  virtual void ReplaceTemplate(const IFactTemplate& Old, const IFactTemplate& New);
  /// Called once New is stored in place of Old. Another name: RemoveDependencies(Old). The same name: every
  /// template using Old is copied (keeping its name) with its slots moved to New (a narrowing copy is made
  /// again from New with the slot's own limits), and the copy replaces the template (ReplaceTemplate).
  virtual void ReplaceDefinedType(const IIEDefinedType& Old, const IIEDefinedType& New);
  /// A pattern of the rule (or of one of its alternatives) is on Template, or one of its actions depends on
  /// it.
  bool IsDependent(const TRule& Rule, const IFactTemplate& Template) const;
  /// One of the call's arguments depends on Template.
  bool IsDependent(const IFunCall& FunCall, const IFactTemplate& Template) const;
  /// A call that depends on it, a fact literal of Template, or a multifield holding one.
  bool IsDependent(const IIEValue& Value, const IFactTemplate& Template) const;
  /// Rebuilds each entry in order with the parser raising at the first error: a fact is read again and
  /// asserted (UpdateDependentFact), a deffunction's fact literals are read again, a rule's text is parsed
  /// again. An entry that fails is dropped and the engine warns (OnWarning) with its name and the reason.
  virtual void UpdateDependencies(const TDependencyList& List);
  /// Asserts New in place of Old (which is not used); the new identifier, or -1 as a duplicate.
  virtual int32_t UpdateDependentFact(const IFact& Old, const IFact& New);
  /// Deletes the first line of the fact set SetName that reads Line and holds no fact.
  void DropFactSetLine(const std::string& SetName, const std::string& Line);
  /// True while a construct's name is being changed: rules taken out of the table meanwhile stay compiled and
  /// are not released.
  bool GetUpdatingHT() const noexcept { return FUpdatingHT; }
  void SetUpdatingHT(bool Value) noexcept { FUpdatingHT = Value; }

  // ---- the events the collections raise (each only raises its event when assigned)
  virtual void AddRule(TRule* Rule);
  virtual void AddFactTemplate(const IFactTemplate& Template);
  virtual void RemoveFactTemplate(const IFactTemplate& Template);
  virtual void AddDefinedType(const IIEDefinedType& Type);
  virtual void RemoveDefinedType(const IIEDefinedType& Type);
  virtual void AddFunction(const IUserFunction& Function);
  virtual void RemoveFunction(const IUserFunction& Function);
  virtual void ClearRules();
  virtual void ClearFactTemplates();
  virtual void ClearDefinedTypes();
  /// OnAddUserFunction and friends, raised by the collections.
  void AddUserFunction(const IUserFunction& Function) override;
  void RemoveUserFunction(const IUserFunction& Function) override;
  bool ContainsUserFunction(const std::string& Name) override { return FUserFunctions->ContainsKey(Name); }
  bool ContainsUserFunction(const std::string& Name, IUserFunction& Function) override;
  IUserFunction GetUserFunction(const std::string& Name) override { return FUserFunctions->Get(Name); }
  std::vector<IUserFunction> GetUserFunctions() override { return FUserFunctions->Items(); }
  void SetUserFunction(const std::string& Name, const IUserFunction& Function) override;

  /// Raises OnWarning; nothing without a handler (the construct is defined all the same).
  void Warning(const TIEWarning& Warning);

  /// Installs a package of each kind in Packages, in the fixed order, then the extension packages, then
  /// raises OnAddDefaultPackages.
  virtual void AddDefaultPackages();

  // ---- IFactEngine
  std::string PrettyPrint(const TFactTemplate& Template) override;
  std::string PrettyPrint(const TFactSlot& Slot) override;
  std::string PrettyPrint(const TFunctionCall& FunCall) override;
  std::string PrettyPrint(const TFact& Fact) override;
  std::string PrettyPrint(const TIEUserFunction& Function) override;
  std::string PrettyPrint(const TInterpretedFunction& Function) override;
  std::string PrettyPrint(const TIEDefinedType& DefinedType) override;
  /// The body of a fuzzy deftype: its range, units and terms.
  std::string PrettyPrint(const TIFuzzyVariable& Variable);
  /// A term clause "(term NAME SHAPE)" for a set with a name, else the set's shape alone.
  std::string PrettyPrint(const TIFuzzySet& Set);
  std::string PrettyPrint(const TIEPattern& Pattern) override;
  std::string PrettyPrint(const TRule& Rule) override;
  std::string PrettyPrint(const TFactSet& FactSet);
  void ChangeFactTemplateName(const std::string& OldName, const std::string& NewName) override;
  IFactSlot ParseFactTemplateSlot(const std::string& Text) override;
  IIEValue ParseValue(const std::string& Text, const TFactSlot& Slot) override;
  IIEDefinedType FindDefinedType(const std::string& Name) override { return FDefinedTypes->Get(Name); }
  IFactTemplate FindFactTemplate(const std::string& Name) override { return FFactTemplates->Get(Name); }
  /// The template of that name, made (comment "(Implied)") and stored when missing.
  IFactTemplate CreateFactTemplate(const std::string& Name) override;
  IFact ParseFact(const std::string& Text) override;
  TResolveContext* GetRootContext() override { return FContext.get(); }
  IFuzzySet EvalFuzzyExpression(TIFuzzyVariable* Variable, const std::string& Text) override;
  void TemplateCreated(TFactTemplate& Template) override;
  void TemplateDestroyed(TFactTemplate& Template) noexcept override;
  IFuzzySet EvalFuzzyExpression(TIFuzzyVariable* Variable, const IIEValue& Value,
                                TIEContext* Context) override;

  // ---- fuzzy expressions
  // An expression is a value: nil (the variable's empty set), a number (a crisp set at it), a term name, a
  // variable or call (evaluated in Context, when there is one, and its value in turn), a point list, a fuzzy
  // value, or a multifield holding a sequence of operands, hedges, the keywords "and" and "or" and the
  // brackets "[" and "]". Errors: "fuzzy variable is not defined" (a name without a variable), "Invalid item
  // in fuzzy expression: %s", "Missing Fuzzy Close Bracket in expression", "Missing fuzzy operand to be
  // modified by hedge: %s" and "Invalid Fuzzy Expression: %s" (a sequence that is not one expression).
  /// A sequence that must hold exactly one expression.
  IFuzzySet EvalFuzzyExpression(TIFuzzyVariable* Variable, const IValueVector& Items, TIEContext* Context);
  /// Text read as one value (a sequence of several words is a multifield) and evaluated.
  IFuzzySet EvalFuzzyExpression(TIFuzzyVariable* Variable, const std::string& Text, TIEContext* Context);
  /// As above without a context; returns the crisp value of the set it leaves in Result (0 without one).
  double EvalFuzzyExpression(TIFuzzyVariable* Variable, const std::string& Text, IFuzzySet& Result);
  /// The contents of a fuzzy multislot: a multifield of the fuzzy values of the expressions Value holds (an
  /// operand right after a complete operand starts the next).
  IIEValue EvalFuzzyValue(TIFuzzyVariable* Variable, const IIEValue& Value, TIEContext* Context) override;
  /// Reads one expression from Text and evaluates it in the engine's context.
  IFuzzySet ParseFuzzyExpression(TIFuzzyVariable* Variable, const std::string& Text);
  /// A text chart of Sets (all of one variable) over [Low, High] (the variable's universe when Low is not
  /// below High), the I-th set drawn with the I-th character of PlotChars (cycled; "*" without any), printed
  /// to OutID.
  void PlotFuzzySet(const std::string& OutID, const std::string& PlotChars, double Low, double High,
                    const std::vector<IFuzzySet>& Sets, const std::string& VariableName = std::string());
  /// The chart of one fuzzy value, or of every fuzzy value in a multifield (other values are left out).
  void PlotFuzzySet(const std::string& OutID, const std::string& PlotChars, double Low, double High,
                    const IIEValue& Value);
  void PlotFuzzySet(const std::string& OutID, const std::string& PlotChars, double Low, double High,
                    const IValueVector& Values);
  /// Gives a fuzzy type's variable the engine's threshold and, with FuzzyAutoTerms, the standard terms it
  /// lacks (low, medium, high over its universe); done when the type is stored.
  void PrepareFuzzyType(TIEDefinedType& Type);

  // ---- fuzzy inference
  /// Weakens the fuzzy values of Fact by Strength under FuzzyCorrelationMethod (after OnFuzzyCorrelation,
  /// which may take it over): each fuzzy slot's set, and each set of a fuzzy multislot, is replaced by its
  /// correlation. Strength 1 changes nothing. SNotFuzzyFact for a fact of a template without fuzzy slots.
  virtual void FuzzyCorrelation(const IFact& Fact, float Strength);
  /// Merges the fuzzy slot values of Fact2 into Fact1 (Fact1 changes, Fact2 does not) by union, or by
  /// intersection when Union is false, under FuzzyInferenceMethod. SInvalidFuzzyUnionTemplate for facts of
  /// different templates, SNotFuzzyFact for a template without fuzzy slots.
  virtual void FuzzyOperation(const IFact& Fact1, const IFact& Fact2, bool Union);
  /// FuzzyOperation(Fact1, Fact2, true) unless OnFuzzyInference does the merge.
  virtual void FuzzyInference(const IFact& Fact1, const IFact& Fact2);
  /// Combines Second into First: two fuzzy values give First the union (intersection) of their sets; two
  /// multifields of one length give First a list of its own in which each fuzzy element is combined with
  /// the element at its position in Second. Values of different kinds, and lists of different lengths, are
  /// left alone.
  virtual void FuzzyUnion(const IIEValue& First, const IIEValue& Second, TFuzzyOperation Operation);
  virtual void FuzzyIntersection(const IIEValue& First, const IIEValue& Second, TFuzzyOperation Operation);
  /// The library operation behind each method (by the engine's mapping; another value maps to zadeh, or
  /// to minimum for a correlation).
  static TFuzzyOperation InferenceOperation(TFuzzyInferenceMethod Method) noexcept;
  static TFuzzyOperation CorrelationOperation(TFuzzyCorrelationMethod Method) noexcept;

  // ---- IRuleEngine
  std::string GenerateSymbol(const std::string& Prefix) override;
  const TIEPattern* GetInitialFactPattern() const override { return FInitialFactPattern.get(); }
  const IFact& GetNullFact() const override { return FNullFact; }
  TIEContext* GetContext() override { return FContext.get(); }
  void RegisterRule(TRule* Rule) override { FRules->Put(Rule); }
  void UnregisterRule(TRule* Rule) override;
  bool IsRuleRegistered(const TRule* Rule) const override;
  /// Moves the rule stored under OldName to NewName ("Duplicate Rules defined with same name: ..." when
  /// taken) and renames it.
  void RenameRule(const std::string& OldName, const std::string& NewName) override;
  /// A stored rule that changed is compiled again (a disabled rule so loses its activations and an enabled
  /// one is primed).
  void RuleChange(TRule* Rule) override;
  std::unique_ptr<TRule> ParseRule(const std::string& Text) override;
  void AddActivation(std::unique_ptr<TActivation> Activation) override;
  void RemoveActivation(TActivation* Activation) override;
  /// Takes the activation at Index off the agenda (with event and watch line) and frees it, unless it is
  /// the one being fired.
  virtual void RemoveActivation(int32_t Index);
  void RuleFired(TActivation* Activation) override;
  std::vector<IFact> GetFactList() const override { return FFacts->Items(); }

  // ---- events
  TNotifyEvent OnAddDefaultPackages;
  TAgendaEvent OnAddActivation;
  TAgendaEvent OnRemoveActivation;
  TIEDefinedTypeEvent OnAddDefinedType;
  TIEDefinedTypeEvent OnRemoveDefinedType;
  TRuleEvent OnAddRule;
  TRuleEvent OnRemoveRule;
  TRuleEvent OnRuleFired;
  TUserFunctionEvent OnAddUserFunction;
  TUserFunctionEvent OnRemoveUserFunction;
  TFactTemplateEvent OnNewFactTemplate;
  TFactTemplateEvent OnRemoveFactTemplate;
  TFactEvent OnAssertion;
  TFactEvent OnRetraction;
  TNotifyEvent OnClearFacts;
  TNotifyEvent OnClear;
  TNotifyEvent OnClearDefinedTypes;
  TNotifyEvent OnClearFactTemplates;
  TNotifyEvent OnClearRules;
  TNotifyEvent OnReset;
  TNotifyEvent OnStartInference;
  TInferenceEvent OnEndInference;
  TPrintOutEvent OnPrintOut;
  TReadLineEvent OnReadLine;
  /// Terminal token input: the handler stores a line of text whose first token is read.
  TReadLineEvent OnReadToken;
  /// Shows the dialogs of show-message, input-box, input-query and message-dlg; without a handler they
  /// raise "No dialog handler assigned for %s".
  TDialogEvent OnDialog;
  /// Warnings about constructs that were defined as written (see TIEWarning and Warning).
  TWarningEvent OnWarning;
  TFuzzyCorrelationEvent OnFuzzyCorrelation;
  TFactCombineEvent OnFuzzyInference;

 protected:
  /// Makes an owned object of a descendant's class, or nullptr for the engine's own class.
  using TIEObjectFactory = TObject* (*)(TInferenceEngine& Engine, TIEObjectType ObjectType);
  /// An engine whose owned objects Factory makes (where it answers one).
  TInferenceEngine(TComponent* AOwner, TIEObjectFactory Factory);

  void Notification(TComponent* AComponent, TOperation Operation) override;
  /// Releases a rule the engine owns: at once, or after the current firing.
  void ReleaseRule(TRule* Rule);

 private:
  friend class TRules;
  friend class TFactTemplates;
  friend class TIEDefinedTypes;

  IFuzzySet EvalFuzzyItem(TIFuzzyVariable* Variable, const IIEValue& Value, TIEContext* Context);
  std::vector<IFuzzySet> EvalFuzzySequence(TIFuzzyVariable* Variable, const IValueVector& Items,
                                           TIEContext* Context);
  friend class TUserFunctions;
  friend class TGlobalVariables;
  friend class TFactSets;
  friend class TFacts;

  bool Watching(TConstructWatch Switch) const noexcept { return FWatch.Contains(Switch) && OnPrintOut; }
  /// Retracts the fact at entry Entry of the fact base (the order of RetractFact).
  void RetractEntry(size_t Entry);
  /// The owned object of that kind, through CreateIEObject, checked to be a T.
  template <class T>
  std::unique_ptr<T> MakeOwned(TIEObjectType ObjectType);
  /// Makes the initial-fact pattern and the null fact (with their templates).
  void MakeInitialObjects();
  /// Asserts (Initial-Fact).
  void AssertInitialFact();
  /// The rest of Stream's text.
  static std::string ReadAll(TGTextStream& Stream);
  /// Frees what firing kept alive once no firing runs.
  void ReleaseDoomed();
  /// Clears the agenda; the activation being fired is taken off and kept for Run.
  void ClearAgenda();

  TIEObjectFactory FObjectFactory = nullptr;
  std::mutex FLock;
  std::atomic<std::thread::id> FLockOwner{};
  int32_t FLockDepth = 0;  // entries of the owning thread
  TEvaluationState FEvaluationState;
  TDuplicateConstructs FDuplicateConstructs = dcOverwrite;
  TFunctionPackages FPackages;
  bool FFactDuplication = false;
  bool FFuzzyAutoTerms = true;
  float FFuzzyEqualsThreshold = 0.01f;
  TFuzzyInferenceMethod FFuzzyInferenceMethod = fimMinMax;
  TFuzzyCorrelationMethod FFuzzyCorrelationMethod = fcmMinimum;
  TErrorHandling FParserErrorHandling = ehRaiseImmediate;
  int32_t FParserMaxErrors = 10;
  bool FResetGlobals = true;
  int32_t FSymbolIndex = 0;
  bool FUpdatingHT = false;
  TTypeChecks FTypeChecks;
  TConstructWatches FWatch;
  std::string FDateFormat = "yyyy-mm-dd";
  std::string FTimeFormat = "hh:nn:ss";
  bool FEchoResults = true;
  bool FRecordFirings = true;
  IFactOrigin FFiringOrigin;  // the current firing's record, made by its first assert
  int32_t FMaxFacts = 0;
  int32_t FMaxFirings = 0;
  TFileAccess FFileAccess = faAll;
  std::string FSandbox;

  int32_t FNextFactId = 0;
  int32_t FNextRuleId = 0;
  std::unordered_set<TFactTemplate*> FOwnedTemplates;  // every live template made with this engine as owner
  std::unique_ptr<TIEContext> FContext;
  std::unique_ptr<TUserFunctions> FUserFunctions;
  std::unique_ptr<TGlobalVariables> FGlobalVariables;
  std::unique_ptr<TIEDefinedTypes> FDefinedTypes;
  std::unique_ptr<TIEAgenda> FAgenda;
  std::unique_ptr<TFactTemplates> FFactTemplates;
  std::unique_ptr<TFacts> FFacts;
  std::vector<IFact> FPendingAssertions;
  std::vector<IFact> FPendingRetractions;
  std::unique_ptr<TIEPattern> FInitialFactPattern;
  IFact FNullFact;
  std::unique_ptr<TFactSets> FFactSets;
  TReteNetwork* FNetwork = nullptr;  // a component owned by the engine
  std::unique_ptr<TRules> FRules;
  std::unique_ptr<TEngineVariables> FEngineVariables;
  std::vector<TUserPackage*> FInstalledPackages;
  std::unique_ptr<TEngineParser> FParser;
  std::vector<std::unique_ptr<TEngineParser>> FRetiredParsers;  // parsers replaced by SetParserType
  TEngineParserFactory FParserType = nullptr;
  TTokenizerFactory FTokenizerType = nullptr;
  std::unique_ptr<TIOStreams> FIOStreams;
  std::unique_ptr<TGTextStream> FCapture;
  TGTextStream* FBatchInput = nullptr;

  // the inference cycle
  TActivation* FCurrent = nullptr;
  std::unique_ptr<TActivation> FCurrentTaken;  // the current activation once off the agenda
  std::vector<TRule*> FDoomedRules;            // released after the current firing
  int32_t FResetDepth = 0;                     // resets running now (fact sets being evaluated)
  bool FHalt = false;
  int32_t FRulesFired = 0;
  std::chrono::steady_clock::time_point FStartTime;
  double FElapsed = 0.0;
  double FFactCountSum = 0.0;
  int32_t FFactCountMax = 0;
  double FAgendaSizeSum = 0.0;
  int32_t FAgendaSizeMax = 0;
};

/// Sets an engine's UpdatingHT for a scope and restores it afterwards.
class TUpdatingHTScope {
 public:
  TUpdatingHTScope(TInferenceEngine& Engine, bool Value) noexcept
      : FEngine(Engine), FSaved(Engine.GetUpdatingHT()) {
    FEngine.SetUpdatingHT(Value);
  }
  TUpdatingHTScope(const TUpdatingHTScope&) = delete;
  TUpdatingHTScope& operator=(const TUpdatingHTScope&) = delete;
  ~TUpdatingHTScope() { FEngine.SetUpdatingHT(FSaved); }

 private:
  TInferenceEngine& FEngine;
  bool FSaved;
};

/// The engine a function's context works for, as the functions of the packages reach it: "Unknown/Undefined
/// Inference Engine" when there is none.
TInferenceEngine& EngineOf(TIEContext* Context);

}  // namespace rulecraft
