#pragma once
// The shared enumerations, their sets, the event types and the name type.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "rulecraft/framework/Set.h"
#include "rulecraft/framework/TypeInfo.h"

namespace rulecraft {

class TObject;

/// A construct or function name.
using TIEName = std::string;

enum TTypeCheck : uint8_t { tcStatic, tcDynamic };
using TTypeChecks = TSet<TTypeCheck>;

enum TTokenAction : uint8_t { taClear, taAdd, taRemove, taUpdate };

enum TDuplicateConstructs : uint8_t { dcOverwrite, dcIgnore, dcError };

enum TErrorHandling : uint8_t { ehRaiseImmediate, ehRaiseAllAtEnd };

enum TSalience : uint8_t { sActivate, sEveryTime };

enum TRuleConstruct : uint8_t { rcPattern, rcAction };

enum TIEDialogOption : uint8_t { doNew, doOpen, doSave, doSaveAs, doPrint, doPrintSetup };
using TIEDialogOptions = TSet<TIEDialogOption>;

/// How the agenda orders activations of equal salience. Depth- and breadth-first (the default is depth-first)
/// place a new activation by a bisection among equal saliences; the others order strictly: newest or oldest
/// first by recency, lex and mea by the identifiers of the matched facts, simplicity and complexity by the
/// number of pattern tests of the rule, random by a random key (ties of lex, mea, simplicity and complexity
/// go newest first).
enum TSearchStrategy : uint8_t {
  ssDepthFirst,
  ssBreadthFirst,
  ssNewestFirst,
  ssOldestFirst,
  ssLex,
  ssMea,
  ssSimplicity,
  ssComplexity,
  ssRandom
};
/// The rule-language name of a strategy: depth, breadth, newest, oldest, lex, mea, simplicity, complexity,
/// random.
const char* SearchStrategyName(TSearchStrategy Strategy) noexcept;
/// The strategy a rule-language name stands for; false for any other text (names are case-sensitive).
bool SearchStrategyNamed(std::string_view Name, TSearchStrategy& Strategy) noexcept;

enum TTemplateSlotType : uint8_t { tstSlot, tstMultiSlot };

enum TValueConstraint : uint8_t { vcAtom, vcString, vcInteger, vcFloat };
using TValueConstraints = TSet<TValueConstraint>;

enum TConstructWatch : uint8_t { cwActivation, cwFact, cwRule, cwCompilation, cwStatistics };
using TConstructWatches = TSet<TConstructWatch>;
/// The switches a watch keyword of the rule language names (rules, facts, activations, compilations,
/// statistics, or all of them for all); false for any other text (keywords are case-sensitive).
bool WatchesNamed(std::string_view Keyword, TConstructWatches& Watches);

enum TValidAction : uint8_t {
  vaFileNew,
  vaFileOpen,
  vaFileSave,
  vaFileSaveAs,
  vaEditTypes,
  vaEditFacts,
  vaEditFactTemplates,
  vaEditRules,
  vaIERun,
  vaIERunOneStep,
  vaIEReset,
  vaFileView
};
using TValidActions = TSet<TValidAction>;

enum TValidView : uint8_t { vvAgenda, vvFacts, vvFactTemplates, vvRules };
using TValidViews = TSet<TValidView>;

/// Member names of each enumeration, in ordinal order.
const TEnumInfo& TTypeCheckInfo();
const TEnumInfo& TTokenActionInfo();
const TEnumInfo& TDuplicateConstructsInfo();
const TEnumInfo& TErrorHandlingInfo();
const TEnumInfo& TSalienceInfo();
const TEnumInfo& TRuleConstructInfo();
const TEnumInfo& TIEDialogOptionInfo();
const TEnumInfo& TSearchStrategyInfo();
const TEnumInfo& TTemplateSlotTypeInfo();
const TEnumInfo& TValueConstraintInfo();
const TEnumInfo& TConstructWatchInfo();
const TEnumInfo& TValidActionInfo();
const TEnumInfo& TValidViewInfo();

/// Terminal output: the stream name and the text.
using TPrintOutEvent =
    std::function<void(TObject* Sender, const std::string& OutID, const std::string& Text)>;
/// Terminal line input: the handler stores the line in Text.
using TReadLineEvent = std::function<void(TObject* Sender, const std::string& InID, std::string& Text)>;
/// Reports the number of rules fired.
using TInferenceEvent = std::function<void(TObject* Sender, int32_t RulesFired)>;

}  // namespace rulecraft
