#include "rulecraft/core/Enums.h"

#include <iterator>

namespace rulecraft {

#define RC_ENUM_INFO(Type, ...)                        \
  const TEnumInfo& Type##Info() {                      \
    static const TEnumInfo Info(#Type, {__VA_ARGS__}); \
    return Info;                                       \
  }

RC_ENUM_INFO(TTypeCheck, "tcStatic", "tcDynamic")
RC_ENUM_INFO(TTokenAction, "taClear", "taAdd", "taRemove", "taUpdate")
RC_ENUM_INFO(TDuplicateConstructs, "dcOverwrite", "dcIgnore", "dcError")
RC_ENUM_INFO(TErrorHandling, "ehRaiseImmediate", "ehRaiseAllAtEnd")
RC_ENUM_INFO(TSalience, "sActivate", "sEveryTime")
RC_ENUM_INFO(TRuleConstruct, "rcPattern", "rcAction")
RC_ENUM_INFO(TIEDialogOption, "doNew", "doOpen", "doSave", "doSaveAs", "doPrint", "doPrintSetup")
RC_ENUM_INFO(TSearchStrategy, "ssDepthFirst", "ssBreadthFirst", "ssNewestFirst", "ssOldestFirst", "ssLex",
             "ssMea", "ssSimplicity", "ssComplexity", "ssRandom")
RC_ENUM_INFO(TTemplateSlotType, "tstSlot", "tstMultiSlot")
RC_ENUM_INFO(TValueConstraint, "vcAtom", "vcString", "vcInteger", "vcFloat")
RC_ENUM_INFO(TConstructWatch, "cwActivation", "cwFact", "cwRule", "cwCompilation", "cwStatistics")
RC_ENUM_INFO(TValidAction, "vaFileNew", "vaFileOpen", "vaFileSave", "vaFileSaveAs", "vaEditTypes",
             "vaEditFacts", "vaEditFactTemplates", "vaEditRules", "vaIERun", "vaIERunOneStep", "vaIEReset",
             "vaFileView")
RC_ENUM_INFO(TValidView, "vvAgenda", "vvFacts", "vvFactTemplates", "vvRules")

#undef RC_ENUM_INFO

namespace {
constexpr const char* StrategyNames[] = {"depth", "breadth",    "newest",     "oldest", "lex",
                                         "mea",   "simplicity", "complexity", "random"};
}  // namespace

const char* SearchStrategyName(TSearchStrategy Strategy) noexcept {
  return Strategy < std::size(StrategyNames) ? StrategyNames[Strategy] : "";
}

bool SearchStrategyNamed(std::string_view Name, TSearchStrategy& Strategy) noexcept {
  for (size_t I = 0; I < std::size(StrategyNames); ++I)
    if (Name == StrategyNames[I]) {
      Strategy = static_cast<TSearchStrategy>(I);
      return true;
    }
  return false;
}

bool WatchesNamed(std::string_view Keyword, TConstructWatches& Watches) {
  struct TWatchName {
    std::string_view Name;
    TConstructWatches Watches;
  };
  static constexpr TWatchName Names[] = {
      {"rules", {cwRule}},
      {"facts", {cwFact}},
      {"activations", {cwActivation}},
      {"compilations", {cwCompilation}},
      {"statistics", {cwStatistics}},
      {"all", {cwActivation, cwFact, cwRule, cwCompilation, cwStatistics}},
  };
  for (const TWatchName& Entry : Names) {
    if (Entry.Name == Keyword) {
      Watches = Entry.Watches;
      return true;
    }
  }
  return false;
}

}  // namespace rulecraft
