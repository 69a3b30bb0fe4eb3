#include "rulecraft/packages/MiscPackage.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "rulecraft/core/Helpers.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/engine/FactSet.h"
#include "rulecraft/engine/InferenceEngine.h"
#include "rulecraft/facts/Fact.h"
#include "rulecraft/functions/Context.h"
#include "rulecraft/functions/FunctionCall.h"
#include "rulecraft/packages/MiscDateTime.h"
#include "rulecraft/packages/StandardPackage.h"

namespace rulecraft {

const TEnumInfo& TIsIEStructFunctionTypeInfo() {
  static const TEnumInfo Info("TIsIEStructFunctionType",
                              {"sfIsBinding", "sfIsDefType", "sfIsDefFunction", "sfIsDefGlobal",
                               "sfIsDefRule", "sfIsDefFacts", "sfIsDefTemplate"});
  return Info;
}
const TEnumInfo& TListVariablesFunctionTypeInfo() {
  static const TEnumInfo Info("TListVariablesFunctionType", {"lvDefGlobals", "lvBindings"});
  return Info;
}
const TEnumInfo& TPrettyPrintFunctionTypeInfo() {
  static const TEnumInfo Info("TPrettyPrintFunctionType",
                              {"ppfFactSet", "ppfUserFunction", "ppfFactTemplate", "ppfRule", "ppfDefType"});
  return Info;
}
const TEnumInfo& TSystemDateTimeFunctionTypeInfo() {
  static const TEnumInfo Info("TSystemDateTimeFunctionType", {"sdtDateTime", "sdtDate", "sdtTime"});
  return Info;
}
const TEnumInfo& TDateTimeStringFunctionTypeInfo() {
  static const TEnumInfo Info("TDateTimeStringFunctionType",
                              {"dtsStrDateTime", "dtsStrDate", "dtsStrTime", "dtsDateTimeStr", "dtsDateStr",
                               "dtsTimeStr", "dtsDateTimeStrFormat"});
  return Info;
}
const TEnumInfo& TDecodeDateTimeFunctionTypeInfo() {
  static const TEnumInfo Info("TDecodeDateTimeFunctionType", {"ddtYear", "ddtMonth", "ddtDay", "ddtHour",
                                                              "ddtMinute", "ddtSecond", "ddtMillisecond"});
  return Info;
}
const TEnumInfo& TEncodeDateTimeFunctionTypeInfo() {
  static const TEnumInfo Info("TEncodeDateTimeFunctionType", {"edtDate", "edtTime"});
  return Info;
}

namespace {

constexpr int32_t Unbounded = 2147483647;

[[maybe_unused]] const bool ClassesRegistered = [] {
  for (TClass Class : {TIsIEStructFunction::StaticClass(),      TListVariablesFunction::StaticClass(),
                       TPrettyPrintFunction::StaticClass(),     TSystemDateTimeFunction::StaticClass(),
                       TDateTimeStringFunction::StaticClass(),  TDecodeDateTimeFunction::StaticClass(),
                       TEncodeDateTimeFunction::StaticClass(),  TGuardFunction::StaticClass(),
                       TIEParseFunction::StaticClass(),         TTimeFunction::StaticClass(),
                       TAgendaFunction::StaticClass(),          TGetDynamicCheckFunction::StaticClass(),
                       TGetStaticCheckFunction::StaticClass(),  TInputBoxFunction::StaticClass(),
                       TInputQueryFunction::StaticClass(),      TMessageDlgFunction::StaticClass(),
                       TShowMessageFunction::StaticClass(),     TListRulesFunction::StaticClass(),
                       TListDefTypesFunction::StaticClass(),    TListFactSetsFunction::StaticClass(),
                       TListFunctionsFunction::StaticClass(),   TListTemplatesFunction::StaticClass(),
                       TResetGlobalsFunction::StaticClass(),    TSetGenFunction::StaticClass(),
                       TSetDynamicCheckFunction::StaticClass(), TSetStaticCheckFunction::StaticClass(),
                       TShowFactsFunction::StaticClass(),       TShowRulesFunction::StaticClass(),
                       TUnDefFactsFunction::StaticClass(),      TUnDefFunctionFunction::StaticClass(),
                       TUnDefRuleFunction::StaticClass(),       TUnDefTemplateFunction::StaticClass(),
                       TUnDefTypeFunction::StaticClass(),       TMiscPackage::StaticClass()})
    RegisterClass(Class);
  return true;
}();

IIEValue Boolean(bool Value) { return Value ? FCTrue : FCFalse; }
IIEValue Float(double Value) { return MakeRef<TIEValue>(Value); }

/// Prints Lines sorted as text, one per line, then Total (the "for a total of ..." line) and a line break.
void PrintSorted(TInferenceEngine& Engine, std::vector<std::string> Lines, const std::string& Total) {
  std::sort(Lines.begin(), Lines.end());
  std::string Text;
  for (const std::string& Line : Lines) Text += Line + NewLineString;
  Engine.PrintOut(std::string(), Text + Total + NewLineString);
}

/// The names listing of list-defrules and its siblings.
void ListNames(TIEContext* Context, std::vector<std::string> Names, const char* Suffix, IIEValue& Result) {
  const size_t Count = Names.size();
  PrintSorted(EngineOf(Context), std::move(Names), "for a total of " + std::to_string(Count) + Suffix);
  Result = FCNil;
}

/// Argument 0 read as an integer part of a date or time, or Default when absent.
int32_t PartArgument(TFunctionCall& FunCall, int32_t Index, TIEContext* Context, int32_t Default) {
  return Index < FunCall.GetArgumentCount() ? ResolveArgument(FunCall, Index, Context)->GetAsInteger()
                                            : Default;
}

/// Asks the engine's host to show Request; "No dialog handler assigned for %s" without one.
bool ShowDialog(TIEContext* Context, const std::string& Function, const TDialogRequest& Request,
                std::string& Answer) {
  TInferenceEngine& Engine = EngineOf(Context);
  if (!Engine.OnDialog) throw EIEException(SNoDialogHandler, {Function});
  return Engine.OnDialog(&Engine, Request, Answer);
}

/// The caption, prompt and default of input-box and input-query (empty when absent).
TDialogRequest InputRequest(TDialogKind Kind, TFunctionCall& FunCall, TIEContext* Context) {
  TDialogRequest Request;
  Request.Kind = Kind;
  const int32_t Count = FunCall.GetArgumentCount();
  if (Count > 0) Request.Caption = ArgumentText(FunCall, 0, Context);
  if (Count > 1) Request.Text = ArgumentText(FunCall, 1, Context);
  if (Count > 2) Request.Default = ArgumentText(FunCall, 2, Context);
  return Request;
}

const TEnumInfo& DialogTypeInfo() {
  static const TEnumInfo Info("TMsgDlgType",
                              {"mtWarning", "mtError", "mtInformation", "mtConfirmation", "mtCustom"});
  return Info;
}
const TEnumInfo& DialogButtonInfo() {
  static const TEnumInfo Info("TMsgDlgBtn", {"mbYes", "mbNo", "mbOK", "mbCancel", "mbAbort", "mbRetry",
                                             "mbIgnore", "mbAll", "mbNoToAll", "mbYesToAll", "mbHelp"});
  return Info;
}

/// Removes the construct the argument names through Remove; TRUE when there was one.
template <class F>
void Undefine(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result, F&& Remove) {
  TInferenceEngine& Engine = EngineOf(Context);
  Result = Boolean(Remove(Engine, ArgumentText(FunCall, 0, Context)));
}

}  // namespace

// ---- configured families ---------------------------------------------------------------------------------

void TIsIEStructFunction::Configure() {
  static const char* const Names[] = {"is-binding", "is-deftype",  "is-deffunction", "is-defglobal",
                                      "is-defrule", "is-deffacts", "is-deftemplate"};
  static const char* const Kinds[] = {"binding", "defined type", "function",     "global variable",
                                      "rule",    "fact set",     "fact template"};
  SetupFunction(
      *this, Names[FType], 1, 1,
      std::string("Returns TRUE if a ") + Kinds[FType] + " with the specified name exists, otherwise FALSE",
      "");
}

void TIsIEStructFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const std::string Name = ArgumentText(FunCall, 0, Context);
  if (FType == sfIsBinding) {
    const std::string Bare = !Name.empty() && Name[0] == '?' ? Name.substr(1) : Name;
    Result = Boolean(Context && (Context->FindBinding(Name) || Context->FindBinding(Bare)));
    return;
  }
  TInferenceEngine& Engine = EngineOf(Context);
  switch (FType) {
    case sfIsDefType:
      Result = Boolean(Engine.GetDefinedTypes().ContainsKey(Name));
      break;
    case sfIsDefFunction:
      Result = Boolean(Engine.GetUserFunctionTable().ContainsKey(Name));
      break;
    case sfIsDefGlobal:
      Result = Boolean(Engine.GetGlobalVariables().ContainsKey(Name));
      break;
    case sfIsDefRule:
      Result = Boolean(Engine.GetRules().ContainsKey(Name));
      break;
    case sfIsDefFacts:
      Result = Boolean(Engine.GetFactSets().IndexOf(Name) >= 0);
      break;
    default:
      Result = Boolean(Engine.GetFactTemplates().ContainsKey(Name));
      break;
  }
}

void TListVariablesFunction::Configure() {
  if (FType == lvDefGlobals)
    SetupFunction(*this, "list-defglobals", 0, 0,
                  "Lists the global variables defined in the inference engine", "");
  else
    SetupFunction(*this, "list-bindings", 0, 0,
                  "Lists the variables bound in the current context and in every context enclosing it", "");
}

void TListVariablesFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  (void)FunCall;
  TInferenceEngine& Engine = EngineOf(Context);
  std::vector<std::string> Names;
  if (FType == lvDefGlobals) {
    const TGlobalVariables& Globals = Engine.GetGlobalVariables();
    for (int32_t I = 0; I < Globals.Count(); ++I) Names.push_back(Globals.GetKeyByIndex(I));
  } else {
    for (const TIEContext* Scope = Context; Scope; Scope = Scope->GetParent()) {
      for (const TBinding* Binding : Scope->GetOwnBindings()) Names.push_back(Binding->GetName());
      if (Scope == Engine.GetContext()) break;
    }
  }
  const size_t Count = Names.size();
  PrintSorted(Engine, std::move(Names), "for a total of " + std::to_string(Count) + " bindings.");
  Result = FCNil;
}

void TPrettyPrintFunction::Configure() {
  static const char* const Names[] = {"ppdeffacts", "ppdeffunction", "ppdeftemplate", "ppdefrule",
                                      "ppdeftype"};
  static const char* const Kinds[] = {"fact set", "function", "fact template", "rule", "defined type"};
  static const char* const Arguments[] = {" <fact-set-name>", " <function-name>", " <fact-template-name>",
                                          " <rulename>", " <type-name>"};
  SetupFunction(*this, Names[FType], 1, 1,
                std::string("Returns the text of the specified ") + Kinds[FType] + " as a string",
                Arguments[FType]);
}

void TPrettyPrintFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  const std::string Name = ArgumentText(FunCall, 0, Context);
  std::string Text;
  const char* Kind = "";
  switch (FType) {
    case ppfFactSet: {
      Kind = "fact set";
      const int32_t Index = Engine.GetFactSets().IndexOf(Name);
      if (Index >= 0) Text = Engine.PrettyPrint(*Engine.GetFactSets().Get(Index));
      break;
    }
    case ppfUserFunction:
      Kind = "user function";
      if (const IUserFunction Function = Engine.GetUserFunctionTable().Get(Name))
        Text = Engine.PrettyPrint(*Function);
      break;
    case ppfFactTemplate:
      Kind = "fact template";
      if (const IFactTemplate Template = Engine.GetFactTemplates().Get(Name))
        Text = Engine.PrettyPrint(*Template);
      break;
    case ppfRule:
      Kind = "rule";
      if (const TRule* Rule = Engine.GetRules().Get(Name)) Text = Engine.PrettyPrint(*Rule);
      break;
    case ppfDefType:
      Kind = "defined type";
      if (const IIEDefinedType Type = Engine.GetDefinedTypes().Get(Name)) Text = Engine.PrettyPrint(*Type);
      break;
  }
  if (Text.empty()) throw EIEException(SUnknownName, {Kind, Name});
  Result = MakeRef<TIEValue>(Text, dtString);
}

void TSystemDateTimeFunction::Configure() {
  static const char* const Names[] = {"system-datetime", "system-date", "system-time"};
  static const char* const What[] = {"date and time", "date", "time"};
  SetupFunction(*this, Names[FType], 0, 0,
                std::string("Returns the current system ") + What[FType] +
                    " as a number of days since 30 December 1899 (the time of day as the fraction)",
                "");
}

void TSystemDateTimeFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  (void)FunCall;
  (void)Context;
  const double Now = NowDateTime();
  switch (FType) {
    case sdtDate:
      Result = Float(std::trunc(Now));
      break;
    case sdtTime:
      Result = Float(Now - std::trunc(Now));
      break;
    default:
      Result = Float(Now);
      break;
  }
}

void TDateTimeStringFunction::Configure() {
  static const char* const Names[] = {"str-datetime", "str-date", "str-time",           "datetime-str",
                                      "date-str",     "time-str", "datetime-str-format"};
  static const char* const What[] = {"date and time", "date", "time"};
  if (FType <= dtsStrTime)
    SetupFunction(*this, Names[FType], 1, 1,
                  std::string("Converts a string to a ") + What[FType] +
                      " value using the engine's date and time formats",
                  " <string-expression>");
  else if (FType <= dtsTimeStr)
    SetupFunction(*this, Names[FType], 1, 1,
                  std::string("Converts a ") + What[FType - dtsDateTimeStr] +
                      " value to a string using the engine's date and time formats",
                  " <numeric-expression>");
  else
    SetupFunction(*this, Names[FType], 2, 2,
                  "Converts a date and time value to a string using the format string",
                  " <numeric-expression> <format-string-expression>");
}

void TDateTimeStringFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  const std::string DateTimeFormat = Engine.GetDateFormat() + " " + Engine.GetTimeFormat();
  if (FType <= dtsStrTime) {
    const std::string Text = ArgumentText(FunCall, 0, Context);
    double Value = 0.0;
    if (FType == dtsStrDateTime)
      Value = ParseDateTime(Text, DateTimeFormat, "date and time");
    else if (FType == dtsStrDate)
      Value = ParseDateTime(Text, Engine.GetDateFormat(), "date");
    else
      Value = ParseDateTime(Text, Engine.GetTimeFormat(), "time");
    Result = Float(Value);
    return;
  }
  const double Value = ResolveArgument(FunCall, 0, Context)->GetAsNumeric();
  std::string Format;
  switch (FType) {
    case dtsDateTimeStr:
      Format = DateTimeFormat;
      break;
    case dtsDateStr:
      Format = Engine.GetDateFormat();
      break;
    case dtsTimeStr:
      Format = Engine.GetTimeFormat();
      break;
    default:
      Format = IEStringToString(ArgumentText(FunCall, 1, Context));
      break;
  }
  Result = MakeRef<TIEValue>(FormatDateTime(Format, Value), dtString);
}

void TDecodeDateTimeFunction::Configure() {
  static const char* const Names[] = {"decode-year",   "decode-month",  "decode-day",        "decode-hour",
                                      "decode-minute", "decode-second", "decode-millisecond"};
  static const char* const Parts[] = {"year", "month", "day", "hour", "minute", "second", "millisecond"};
  SetupFunction(*this, Names[FType], 1, 1,
                std::string("Returns the ") + Parts[FType] + " of a date and time value as an integer",
                FType <= ddtDay ? " <system-date-numeric-expression>" : " <system-time-numeric-expression>");
}

void TDecodeDateTimeFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const TDateParts Parts = DecodeDateTime(ResolveArgument(FunCall, 0, Context)->GetAsNumeric());
  const int32_t Values[] = {Parts.Year,   Parts.Month,  Parts.Day,        Parts.Hour,
                            Parts.Minute, Parts.Second, Parts.Millisecond};
  Result = MakeRef<TIEValue>(Values[FType], dtInteger);
}

void TEncodeDateTimeFunction::Configure() {
  if (FType == edtDate)
    SetupFunction(*this, "encode-date", 1, 3,
                  "Returns the date value of the year, month (default 1) and day (default 1)",
                  " <year-integer-expression> [<month-integer-expression> [<day-integer-expression>]]");
  else
    SetupFunction(*this, "encode-time", 1, 4,
                  "Returns the time value of the hour, minute, second and millisecond (each default 0)",
                  " <hour-integer-expression> [<minute-integer-expression> [<second-integer-expression> "
                  "[<millisecond-integer-expression>]]]");
}

void TEncodeDateTimeFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  if (FType == edtDate)
    Result = Float(EncodeDate(PartArgument(FunCall, 0, Context, 0), PartArgument(FunCall, 1, Context, 1),
                              PartArgument(FunCall, 2, Context, 1)));
  else
    Result = Float(EncodeTime(PartArgument(FunCall, 0, Context, 0), PartArgument(FunCall, 1, Context, 0),
                              PartArgument(FunCall, 2, Context, 0), PartArgument(FunCall, 3, Context, 0)));
}

// ---- guard, parse, time ----------------------------------------------------------------------------------

TGuardFunction::TGuardFunction()
    : TIEUserFunction(
          "guard", 1, Unbounded,
          FunctionComment("Evaluates the function calls in order and returns the value of the last "
                          "one; while a rule fires, nothing they assert or modify activates that "
                          "rule again"),
          "<function-call-argument>+") {}

void TGuardFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  const TActivation* Current = Engine.GetCurrentActivation();
  const TRule* Firing = Current ? Current->GetRule() : nullptr;
  // The firing rule's activations on the agenda before the calls: only these may stay.
  std::vector<const TActivation*> Before;
  if (Firing)
    for (int32_t I = 0; I < Engine.GetAgendaCount(); ++I)
      if (Engine.GetActivation(I)->GetRule() == Firing) Before.push_back(Engine.GetActivation(I));
  const auto Withdraw = [&]() {
    if (!Firing) return;
    for (int32_t I = Engine.GetAgendaCount() - 1; I >= 0; --I) {
      if (I >= Engine.GetAgendaCount()) continue;  // a handler of the last removal changed the agenda
      const TActivation* Activation = Engine.GetActivation(I);
      if (Activation->GetRule() == Firing && Activation != Current &&
          std::find(Before.begin(), Before.end(), Activation) == Before.end())
        Engine.RemoveActivation(I);
    }
  };
  try {
    for (int32_t I = 0; I < FunCall.GetArgumentCount(); ++I) Result = ResolveArgument(FunCall, I, Context);
  } catch (...) {
    Withdraw();
    throw;
  }
  Withdraw();
}

TIEParseFunction::TIEParseFunction()
    : TIEUserFunction("parse", 1, 1,
                      FunctionComment("Parses and executes the constructs and function calls of the string; "
                                      "returns TRUE when that succeeded, otherwise FALSE"),
                      "<string-expression>") {}

void TIEParseFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  const std::string Text = ArgumentText(FunCall, 0, Context);
  try {
    Result = Boolean(Engine.Parse(Text, true));
  } catch (const EIEExit&) {
    throw;  // an exit request is not an error: it ends the host's work as anywhere else
  } catch (...) {
    Result = FCFalse;
  }
}

TTimeFunction::TTimeFunction()
    : TIEUserFunction(
          "time", 0, 0,
          FunctionComment("Returns the current time of day as a number of seconds since midnight")) {}

void TTimeFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  (void)FunCall;
  (void)Context;
  const double Now = NowDateTime();
  Result = Float(std::fabs(Now - std::trunc(Now)) * 86400.0);
}

// ---- the agenda and constraint checking ------------------------------------------------------------------

TAgendaFunction::TAgendaFunction()
    : TIEUserFunction("agenda", 0, 0, FunctionComment("Displays the activations on the agenda")) {}

void TAgendaFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  (void)FunCall;
  TInferenceEngine& Engine = EngineOf(Context);
  std::string Text = Engine.GetAgenda().GetToString();
  if (!Text.empty()) Text += NewLineString;
  Engine.PrintOut(std::string(), Text + "for a total of " + std::to_string(Engine.GetAgendaCount()) +
                                     " activations." + NewLineString);
  Result = FCNil;
}

namespace {

void GetCheck(TIEContext* Context, TTypeCheck Check, IIEValue& Result) {
  Result = Boolean(EngineOf(Context).GetTypeChecks().Contains(Check));
}

void SetCheck(TFunctionCall& FunCall, TIEContext* Context, TTypeCheck Check, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  TTypeChecks Checks = Engine.GetTypeChecks();
  if (IsTrueAtom(ResolveArgument(FunCall, 0, Context)))
    Checks.Include(Check);
  else
    Checks.Exclude(Check);
  Engine.SetTypeChecks(Checks);
  Result = FCNil;
}

}  // namespace

TGetDynamicCheckFunction::TGetDynamicCheckFunction()
    : TIEUserFunction("get-dynamic-constraint-checking", 0, 0,
                      FunctionComment("Returns TRUE if dynamic constraint checking is on, otherwise FALSE")) {
}

void TGetDynamicCheckFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  (void)FunCall;
  GetCheck(Context, tcDynamic, Result);
}

TGetStaticCheckFunction::TGetStaticCheckFunction()
    : TIEUserFunction("get-static-constraint-checking", 0, 0,
                      FunctionComment("Returns TRUE if static constraint checking is on, otherwise FALSE")) {}

void TGetStaticCheckFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  (void)FunCall;
  GetCheck(Context, tcStatic, Result);
}

TSetDynamicCheckFunction::TSetDynamicCheckFunction()
    : TIEUserFunction(
          "set-dynamic-constraint-checking", 1, 1,
          FunctionComment("Switches dynamic constraint checking (the checks made while rules run) "
                          "on when the argument is TRUE, otherwise off"),
          " <boolean-expression>") {}

void TSetDynamicCheckFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  SetCheck(FunCall, Context, tcDynamic, Result);
}

TSetStaticCheckFunction::TSetStaticCheckFunction()
    : TIEUserFunction("set-static-constraint-checking", 1, 1,
                      FunctionComment("Switches static constraint checking (the checks made while constructs "
                                      "are parsed) on when the argument is TRUE, otherwise off"),
                      " <boolean-expression>") {}

void TSetStaticCheckFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  SetCheck(FunCall, Context, tcStatic, Result);
}

// ---- dialogs ---------------------------------------------------------------------------------------------

TInputBoxFunction::TInputBoxFunction()
    : TIEUserFunction("input-box", 0, 3,
                      FunctionComment("Asks the user for a string and returns it, or the default string when "
                                      "the user cancels"),
                      " [<caption-string> [<prompt-string> [<default-string>]]]") {}

void TInputBoxFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const TDialogRequest Request = InputRequest(dkInputBox, FunCall, Context);
  std::string Answer;
  if (!ShowDialog(Context, GetFunctionName(), Request, Answer)) Answer = Request.Default;
  Result = MakeRef<TIEValue>(Answer, dtString);
}

TInputQueryFunction::TInputQueryFunction()
    : TIEUserFunction("input-query", 0, 3,
                      FunctionComment("Asks the user for a string and returns it, or FALSE when the user "
                                      "cancels"),
                      " [<caption-string> [<prompt-string> [<default-string>]]]") {}

void TInputQueryFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const TDialogRequest Request = InputRequest(dkInputQuery, FunCall, Context);
  std::string Answer;
  if (ShowDialog(Context, GetFunctionName(), Request, Answer))
    Result = MakeRef<TIEValue>(Answer, dtString);
  else
    Result = FCFalse;
}

TMessageDlgFunction::TMessageDlgFunction()
    : TIEUserFunction(
          "message-dlg", 2, 4,
          FunctionComment("Shows a message with the buttons of the set and returns the result the user chose "
                          "(mrOk, mrCancel, mrAbort, mrRetry, mrIgnore, mrYes, mrNo, mrAll, mrNoToAll, "
                          "mrYesToAll, or mrHelp for any other)"),
          " <string-expression> mtWarning|mtError|mtInformation|mtConfirmation|mtCustom "
          "<string-set-expression> "
          "[<integer-expression>]") {}

void TMessageDlgFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TDialogRequest Request;
  Request.Kind = dkMessageDlg;
  Request.Text = ArgumentText(FunCall, 0, Context);
  const std::string Type = ArgumentText(FunCall, 1, Context);
  const int TypeOrdinal = DialogTypeInfo().ValueOf(Type);
  if (TypeOrdinal < 0) throw EIEException(SInvalidDialogType, {Type});
  Request.DialogType = std::string(DialogTypeInfo().Name(TypeOrdinal));
  if (FunCall.GetArgumentCount() > 2) {
    // Buttons are named in full (mbYes) or without their prefix (Yes).
    const std::string Set = IEStringToString(ArgumentText(FunCall, 2, Context));
    uint32_t Buttons = 0;
    try {
      Buttons = StringToSet(Set, DialogButtonInfo(), "");
    } catch (const Exception& Full) {
      try {
        Buttons = StringToSet(Set, DialogButtonInfo(), "mb");
      } catch (const Exception&) {
        throw Full;
      }
    }
    for (int I = 0; I < DialogButtonInfo().Count(); ++I)
      if (Buttons & (1u << I)) Request.Buttons.emplace_back(DialogButtonInfo().Name(I));
  }
  if (FunCall.GetArgumentCount() > 3)
    Request.HelpContext = ResolveArgument(FunCall, 3, Context)->GetAsInteger();
  std::string Answer;
  if (!ShowDialog(Context, GetFunctionName(), Request, Answer)) Answer = "mrCancel";
  static const char* const Results[] = {"mrOk",  "mrCancel", "mrAbort", "mrRetry",   "mrIgnore",
                                        "mrYes", "mrNo",     "mrAll",   "mrNoToAll", "mrYesToAll"};
  std::string Name = "mrHelp";
  for (const char* Known : Results)
    if (TEnumInfo("", {Known}).ValueOf(Answer) == 0) Name = Known;
  Result = MakeRef<TIEValue>(Name, dtAtom);
}

TShowMessageFunction::TShowMessageFunction()
    : TIEUserFunction("show-message", 1, 1, FunctionComment("Shows the message to the user; returns TRUE"),
                      " <string-expression> ") {}

void TShowMessageFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TDialogRequest Request;
  Request.Kind = dkShowMessage;
  Request.Text = ArgumentText(FunCall, 0, Context);
  std::string Answer;
  ShowDialog(Context, GetFunctionName(), Request, Answer);
  Result = FCTrue;
}

// ---- listings --------------------------------------------------------------------------------------------

TListRulesFunction::TListRulesFunction()
    : TIEUserFunction("list-defrules", 0, 0, FunctionComment("Lists the names of the rules")) {}

void TListRulesFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  (void)FunCall;
  std::vector<std::string> Names;
  for (const TRule* Rule : EngineOf(Context).GetRules().Items()) Names.push_back(Rule->GetRuleName());
  ListNames(Context, std::move(Names), " rules.", Result);
}

TListDefTypesFunction::TListDefTypesFunction()
    : TIEUserFunction("list-deftypes", 0, 0, FunctionComment("Lists the names of the defined types")) {}

void TListDefTypesFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  (void)FunCall;
  std::vector<std::string> Names;
  for (const IIEDefinedType& Type : EngineOf(Context).GetDefinedTypes().Items())
    Names.push_back(Type->GetName());
  ListNames(Context, std::move(Names), " deftypes.", Result);
}

TListFactSetsFunction::TListFactSetsFunction()
    : TIEUserFunction("list-deffacts", 0, 0, FunctionComment("Lists the names of the fact sets")) {}

void TListFactSetsFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  (void)FunCall;
  std::vector<std::string> Names;
  for (const TFactSet* Set : EngineOf(Context).GetFactSets().Items()) Names.push_back(Set->GetFactSetName());
  ListNames(Context, std::move(Names), " deffacts.", Result);
}

TListFunctionsFunction::TListFunctionsFunction()
    : TIEUserFunction("list-deffunctions", 0, 1, FunctionComment("Lists the names of the functions")) {}

void TListFunctionsFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  (void)FunCall;
  std::vector<std::string> Names;
  for (const IUserFunction& Function : EngineOf(Context).GetUserFunctionTable().Items())
    Names.push_back(Function->GetFunctionName());
  ListNames(Context, std::move(Names), " deffunctions.", Result);
}

TListTemplatesFunction::TListTemplatesFunction()
    : TIEUserFunction("list-deftemplates", 0, 0, FunctionComment("Lists the names of the fact templates")) {}

void TListTemplatesFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  (void)FunCall;
  std::vector<std::string> Names;
  for (const IFactTemplate& Template : EngineOf(Context).GetFactTemplates().Items())
    Names.push_back(Template->GetTemplateName());
  ListNames(Context, std::move(Names), " deftemplates.", Result);
}

// ---- engine settings -------------------------------------------------------------------------------------

TResetGlobalsFunction::TResetGlobalsFunction()
    : TIEUserFunction("set-reset-globals", 0, 1,
                      FunctionComment("Sets whether reset restores the global variables to their initial "
                                      "values; without an argument returns the current setting"),
                      " [<boolean-expression>]") {}

void TResetGlobalsFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  if (FunCall.GetArgumentCount() == 0) {
    Result = Boolean(Engine.GetResetGlobals());
    return;
  }
  Result = ResolveArgument(FunCall, 0, Context);
  Engine.SetResetGlobals(IsTrueAtom(Result));
}

TSetGenFunction::TSetGenFunction()
    : TIEUserFunction("setgen", 1, 1,
                      FunctionComment("Sets the index from which gensym* numbers the symbols it generates"),
                      " <integer-expression>") {}

void TSetGenFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  EngineOf(Context).SetSymbolIndex(ResolveArgument(FunCall, 0, Context)->GetAsInteger());
  Result = FCNil;
}

// ---- facts and rules -------------------------------------------------------------------------------------

TShowFactsFunction::TShowFactsFunction()
    : TIEUserFunction(
          "facts", 0, 3,
          FunctionComment("Displays the facts whose identifiers lie between start and end (at most "
                          "max of them); the arguments are integers"),
          " [<start-integer-expression> [<end-integer-expression> [<max-integer-expression>]]]") {}

void TShowFactsFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  const int32_t Count = FunCall.GetArgumentCount();
  // The bounds are literal integers, read as they stand in the call.
  const int32_t Start = Count > 0 ? FunCall.GetArgument(0)->GetAsInteger() : 0;
  const int32_t End = Count > 1 ? FunCall.GetArgument(1)->GetAsInteger() : Unbounded;
  int32_t Max = Count > 2 ? FunCall.GetArgument(2)->GetAsInteger() : Engine.GetFacts().Count();
  std::vector<std::string> Lines;
  Engine.GetFacts().ForEach([&](const IFact& Fact) {
    if (Max <= 0 || Fact->GetID() < Start || Fact->GetID() > End) return;
    Lines.push_back(Fact->GetToIDString());
    --Max;
  });
  const size_t Total = Lines.size();
  PrintSorted(Engine, std::move(Lines), "For a total of " + std::to_string(Total) + " facts.");
  Result = FCTrue;
}

TShowRulesFunction::TShowRulesFunction()
    : TIEUserFunction("rules", 0, 1, FunctionComment("Displays the text of every rule"), "[<logical-name>]") {
}

void TShowRulesFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  const std::string Name = FunCall.GetArgumentCount() > 0 ? ArgumentText(FunCall, 0, Context) : std::string();
  const std::vector<TRule*> Rules = Engine.GetRules().Items();
  std::string Text;
  for (const TRule* Rule : Rules) Text += Rule->GetToString() + NewLineString;
  Engine.PrintOut(Name, Text + "For a total of " + std::to_string(Rules.size()) + " rules." + NewLineString);
  Result = FCTrue;
}

// ---- removal ---------------------------------------------------------------------------------------------
// Each removes the construct through the engine's collection, which takes what the engine knows to depend
// on it along: a template its facts, pending facts, fact-set entries and rules; a defined type the templates
// using it; a rule its activations and network nodes.

TUnDefFactsFunction::TUnDefFactsFunction()
    : TIEUserFunction("undeffacts", 1, 1,
                      FunctionComment("Deletes the specified fact set from the inference engine"),
                      " <fact-set-name>") {}

void TUnDefFactsFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  Undefine(FunCall, Context, Result, [](TInferenceEngine& Engine, const std::string& Name) {
    const int32_t Index = Engine.GetFactSets().IndexOf(Name);
    if (Index < 0) return false;
    // Detached, not freed: a reset may be asserting this very set's facts (a call in one of them can
    // undefine it). The set stays with its owner, as a set replaced by a new one of its name does.
    Engine.GetFactSets().Remove(Engine.GetFactSets().Get(Index));
    return true;
  });
}

TUnDefFunctionFunction::TUnDefFunctionFunction()
    : TIEUserFunction("undeffunction", 1, 1,
                      FunctionComment("Deletes the specified function from the inference engine"),
                      " <function-name>") {}

void TUnDefFunctionFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  Undefine(FunCall, Context, Result, [&FunCall](TInferenceEngine& Engine, const std::string& Name) {
    if (!Engine.GetUserFunctionTable().ContainsKey(Name)) return false;
    // Removing this very function: the calling call lets go of it first (Execute holds it until we return).
    if (Name == FunCall.GetName()) FunCall.Unbind();
    return Engine.GetUserFunctionTable().Remove(Name);
  });
}

TUnDefRuleFunction::TUnDefRuleFunction()
    : TIEUserFunction("undefrule", 1, 1,
                      FunctionComment("Deletes the specified rule (and its activations) from the inference "
                                      "engine"),
                      " <rule-name>") {}

void TUnDefRuleFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  Undefine(FunCall, Context, Result,
           [](TInferenceEngine& Engine, const std::string& Name) { return Engine.GetRules().Remove(Name); });
}

TUnDefTemplateFunction::TUnDefTemplateFunction()
    : TIEUserFunction(
          "undeftemplate", 1, 1,
          FunctionComment("Deletes the specified fact template (and dependent facts and rules) from "
                          "the inference engine"),
          " <fact-template-name>") {}

void TUnDefTemplateFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  Undefine(FunCall, Context, Result, [](TInferenceEngine& Engine, const std::string& Name) {
    return static_cast<bool>(Engine.GetFactTemplates().Remove(Name));
  });
}

TUnDefTypeFunction::TUnDefTypeFunction()
    : TIEUserFunction("undeftype", 1, 1,
                      FunctionComment("Deletes the specified defined type (and the fact templates using it) "
                                      "from the inference engine"),
                      "<defined-type-name-expression>") {}

void TUnDefTypeFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  Undefine(FunCall, Context, Result, [](TInferenceEngine& Engine, const std::string& Name) {
    return static_cast<bool>(Engine.GetDefinedTypes().Remove(Name));
  });
}

// ---- the package -----------------------------------------------------------------------------------------

void TMiscPackage::CreateFunctions() {
  TUserPackage::CreateFunctions();
  TUserFunctionList& List = GetFunctions();
  for (TDecodeDateTimeFunctionType Type :
       {ddtYear, ddtMonth, ddtDay, ddtHour, ddtMinute, ddtSecond, ddtMillisecond})
    List.Add(MakeRef<TDecodeDateTimeFunction>(Type));
  List.Add(MakeRef<TEncodeDateTimeFunction>(edtDate));
  List.Add(MakeRef<TEncodeDateTimeFunction>(edtTime));
  for (TSystemDateTimeFunctionType Type : {sdtDateTime, sdtDate, sdtTime})
    List.Add(MakeRef<TSystemDateTimeFunction>(Type));
  for (TDateTimeStringFunctionType Type :
       {dtsStrDateTime, dtsStrDate, dtsStrTime, dtsDateTimeStr, dtsDateStr, dtsTimeStr, dtsDateTimeStrFormat})
    List.Add(MakeRef<TDateTimeStringFunction>(Type));
  List.Add(MakeRef<TGuardFunction>());
  List.Add(MakeRef<TIEParseFunction>());
  List.Add(MakeRef<TTimeFunction>());
  List.Add(MakeRef<TAgendaFunction>());
  List.Add(MakeRef<TGetDynamicCheckFunction>());
  List.Add(MakeRef<TGetStaticCheckFunction>());
  List.Add(MakeRef<TInputBoxFunction>());
  List.Add(MakeRef<TInputQueryFunction>());
  List.Add(MakeRef<TMessageDlgFunction>());
  List.Add(MakeRef<TShowMessageFunction>());
  List.Add(MakeRef<TListRulesFunction>());
  List.Add(MakeRef<TListDefTypesFunction>());
  List.Add(MakeRef<TListFactSetsFunction>());
  List.Add(MakeRef<TListFunctionsFunction>());
  List.Add(MakeRef<TListTemplatesFunction>());
  for (TPrettyPrintFunctionType Type : {ppfFactSet, ppfUserFunction, ppfFactTemplate, ppfRule, ppfDefType})
    List.Add(MakeRef<TPrettyPrintFunction>(Type));
  List.Add(MakeRef<TResetGlobalsFunction>());
  List.Add(MakeRef<TSetGenFunction>());
  List.Add(MakeRef<TSetDynamicCheckFunction>());
  List.Add(MakeRef<TSetStaticCheckFunction>());
  List.Add(MakeRef<TShowFactsFunction>());
  List.Add(MakeRef<TShowRulesFunction>());
  List.Add(MakeRef<TUnDefFactsFunction>());
  List.Add(MakeRef<TUnDefFunctionFunction>());
  List.Add(MakeRef<TUnDefRuleFunction>());
  List.Add(MakeRef<TUnDefTemplateFunction>());
  List.Add(MakeRef<TUnDefTypeFunction>());
  List.Add(MakeRef<TListVariablesFunction>(lvDefGlobals));
  List.Add(MakeRef<TListVariablesFunction>(lvBindings));
  for (TIsIEStructFunctionType Type :
       {sfIsBinding, sfIsDefType, sfIsDefFunction, sfIsDefGlobal, sfIsDefRule, sfIsDefFacts, sfIsDefTemplate})
    List.Add(MakeRef<TIsIEStructFunction>(Type));
}

}  // namespace rulecraft
