#pragma once
// The miscellaneous package: the commands that show what an engine holds (listings, pretty-printing,
// facts, rules, agenda), remove constructs, test for them, switch constraint checking, parse text, guard a
// firing rule against re-activating itself, the date and time functions and the dialog functions a host
// answers through the engine's OnDialog event.
//
// Dates and times are floats counting days since 30 December 1899 (0.0), the time of day as the fraction.
// Text forms of dates and times follow the engine's DateFormat and TimeFormat (ISO 8601 by default,
// "yyyy-mm-dd" and "hh:nn:ss"); see MiscDateTime.h for the format letters.
#include <cstdint>
#include <string>

#include "rulecraft/framework/TypeInfo.h"
#include "rulecraft/functions/ConfiguredFunction.h"
#include "rulecraft/functions/UserPackage.h"
#include "rulecraft/packages/PackageHelpers.h"

namespace rulecraft {

// ---- configured families: one class serves several names, selected by its type

/// The kinds of construct the is-... predicates look for.
enum TIsIEStructFunctionType : uint8_t {
  sfIsBinding,
  sfIsDefType,
  sfIsDefFunction,
  sfIsDefGlobal,
  sfIsDefRule,
  sfIsDefFacts,
  sfIsDefTemplate
};
const TEnumInfo& TIsIEStructFunctionTypeInfo();
enum TListVariablesFunctionType : uint8_t { lvDefGlobals, lvBindings };
const TEnumInfo& TListVariablesFunctionTypeInfo();
enum TPrettyPrintFunctionType : uint8_t { ppfFactSet, ppfUserFunction, ppfFactTemplate, ppfRule, ppfDefType };
const TEnumInfo& TPrettyPrintFunctionTypeInfo();
enum TSystemDateTimeFunctionType : uint8_t { sdtDateTime, sdtDate, sdtTime };
const TEnumInfo& TSystemDateTimeFunctionTypeInfo();
enum TDateTimeStringFunctionType : uint8_t {
  dtsStrDateTime,
  dtsStrDate,
  dtsStrTime,
  dtsDateTimeStr,
  dtsDateStr,
  dtsTimeStr,
  dtsDateTimeStrFormat
};
const TEnumInfo& TDateTimeStringFunctionTypeInfo();
enum TDecodeDateTimeFunctionType : uint8_t {
  ddtYear,
  ddtMonth,
  ddtDay,
  ddtHour,
  ddtMinute,
  ddtSecond,
  ddtMillisecond
};
const TEnumInfo& TDecodeDateTimeFunctionTypeInfo();
enum TEncodeDateTimeFunctionType : uint8_t { edtDate, edtTime };
const TEnumInfo& TEncodeDateTimeFunctionTypeInfo();

/// (is-binding|is-deftype|is-deffunction|is-defglobal|is-defrule|is-deffacts|is-deftemplate <name>): TRUE
/// when a construct of the kind has that name (is-binding: a binding the calling context sees).
RC_CONFIGURED_FUNCTION(TIsIEStructFunction, TIsIEStructFunctionType);
/// (list-defglobals) and (list-bindings): the sorted names, then "for a total of N bindings."; nil.
RC_CONFIGURED_FUNCTION(TListVariablesFunction, TListVariablesFunctionType);
/// (ppdeffacts|ppdeffunction|ppdeftemplate|ppdefrule|ppdeftype <name>): the construct's text as a string;
/// "Unknown %s name: %s" when there is none.
RC_CONFIGURED_FUNCTION(TPrettyPrintFunction, TPrettyPrintFunctionType);
/// (system-datetime), (system-date), (system-time): now, today, or the time of day, as a float.
RC_CONFIGURED_FUNCTION(TSystemDateTimeFunction, TSystemDateTimeFunctionType);
/// (str-datetime|str-date|str-time <string>): the text read with the engine's formats, as a float;
/// (datetime-str|date-str|time-str <number>): the number written with them; (datetime-str-format <number>
/// <format>): written with the given format.
RC_CONFIGURED_FUNCTION(TDateTimeStringFunction, TDateTimeStringFunctionType);
/// (decode-year ... decode-millisecond <number>): one part of a date and time, as an integer.
RC_CONFIGURED_FUNCTION(TDecodeDateTimeFunction, TDecodeDateTimeFunctionType);
/// (encode-date <year> [<month> [<day>]]) and (encode-time <hour> [<minute> [<second> [<ms>]]]): a float.
RC_CONFIGURED_FUNCTION(TEncodeDateTimeFunction, TEncodeDateTimeFunctionType);

#undef RC_CONFIGURED_FUNCTION

// ---- the single functions

/// (guard <call>+): the calls' last value; while a rule fires, what they assert cannot activate that rule.
RC_BUILTIN_FUNCTION(TGuardFunction);
/// (parse <string>): parses and executes the text; TRUE when that succeeded, FALSE after any error.
RC_BUILTIN_FUNCTION(TIEParseFunction);
/// (time): seconds since midnight, as a float.
RC_BUILTIN_FUNCTION(TTimeFunction);
/// (agenda): prints the agenda and "for a total of N activations."; nil.
RC_BUILTIN_FUNCTION(TAgendaFunction);
/// (get-dynamic-constraint-checking), (get-static-constraint-checking): TRUE or FALSE.
RC_BUILTIN_FUNCTION(TGetDynamicCheckFunction);
RC_BUILTIN_FUNCTION(TGetStaticCheckFunction);
/// (input-box [<caption> [<prompt> [<default>]]]): the text entered, or the default when cancelled.
RC_BUILTIN_FUNCTION(TInputBoxFunction);
/// (input-query [<caption> [<prompt> [<default>]]]): the text entered, or FALSE when cancelled.
RC_BUILTIN_FUNCTION(TInputQueryFunction);
/// (message-dlg <message> <kind> <buttons> [<help-context>]): the button chosen as mrOk, mrYes, ...
RC_BUILTIN_FUNCTION(TMessageDlgFunction);
/// (show-message <message>): TRUE once the host showed it.
RC_BUILTIN_FUNCTION(TShowMessageFunction);
/// (list-defrules), (list-deftypes), (list-deffacts), (list-deffunctions), (list-deftemplates): the sorted
/// names, then "for a total of N rules." (deftypes., deffacts., deffunctions., deftemplates.); nil.
RC_BUILTIN_FUNCTION(TListRulesFunction);
RC_BUILTIN_FUNCTION(TListDefTypesFunction);
RC_BUILTIN_FUNCTION(TListFactSetsFunction);
RC_BUILTIN_FUNCTION(TListFunctionsFunction);
RC_BUILTIN_FUNCTION(TListTemplatesFunction);
/// (set-reset-globals [<boolean>]): the argument, or the current setting as TRUE or FALSE.
RC_BUILTIN_FUNCTION(TResetGlobalsFunction);
/// (setgen <integer>): sets the generated-symbol index; nil.
RC_BUILTIN_FUNCTION(TSetGenFunction);
/// (set-dynamic-constraint-checking <boolean>), (set-static-constraint-checking <boolean>): TRUE switches
/// the check on, anything else off; nil.
RC_BUILTIN_FUNCTION(TSetDynamicCheckFunction);
RC_BUILTIN_FUNCTION(TSetStaticCheckFunction);
/// (facts [<start> [<end> [<max>]]]): the facts' lines in that identifier range, sorted as text, then
/// "For a total of N facts."; TRUE. The arguments are literal integers.
RC_BUILTIN_FUNCTION(TShowFactsFunction);
/// (rules [<logical-name>]): every rule's text, then "For a total of N rules."; TRUE.
RC_BUILTIN_FUNCTION(TShowRulesFunction);
/// (undeffacts|undeffunction|undefrule|undeftemplate|undeftype <name>): removes the construct; TRUE, or
/// FALSE when there is none of that name.
RC_BUILTIN_FUNCTION(TUnDefFactsFunction);
RC_BUILTIN_FUNCTION(TUnDefFunctionFunction);
RC_BUILTIN_FUNCTION(TUnDefRuleFunction);
RC_BUILTIN_FUNCTION(TUnDefTemplateFunction);
RC_BUILTIN_FUNCTION(TUnDefTypeFunction);

class TMiscPackage : public TUserPackage {
  RC_CLASS(TMiscPackage, TUserPackage)
 public:
  using TUserPackage::TUserPackage;
  /// Adds the package's 59 functions in the package table's order (decode-year ... is-deftemplate).
  void CreateFunctions() override;
};

}  // namespace rulecraft
