#pragma once
// The engine's own package: functions that reach what the engine adds beyond the nine function packages,
// the conflict-resolution strategy, the firing limit and the explanations of matches and facts. It is
// installed after the function packages whatever the engine's Packages select (see TExtensionPackageFactory).
#include "rulecraft/functions/BuiltinFunction.h"
#include "rulecraft/functions/UserPackage.h"

namespace rulecraft {

/// (get-strategy): the name of the engine's strategy (depth, breadth, newest, oldest, lex, mea, simplicity,
/// complexity or random) as an atom.
RC_BUILTIN_FUNCTION(TGetStrategyFunction);
/// (set-strategy <name>): makes the named strategy the engine's, re-sorting the agenda, and answers the
/// previous name; "Unknown strategy: %s (...)" for any other name.
RC_BUILTIN_FUNCTION(TSetStrategyFunction);
/// (set-max-firings <count>): the most rules one run may fire (0: no limit); answers the previous limit. A
/// run that reaches it with activations left stops with "Run stopped after %d rule firings, ..." and keeps
/// the rest on the agenda; "A firing limit cannot be negative: %d" for a negative count.
RC_BUILTIN_FUNCTION(TSetMaxFiringsFunction);
/// (matches <rule-name>): prints to t, for each pattern of the rule, the facts that match it alone, for each
/// join the partial matches it holds and, when the rule has no activation, where matching stops and why
/// (TInferenceEngine::ExplainMatches); answers the number of activations. "Unknown rule: %s" for a name no
/// rule has.
RC_BUILTIN_FUNCTION(TMatchesFunction);
/// (why <fact-id>|<fact>): the fact by identifier (an integer, a fact id, or an atom f-5 as facts are
/// printed) or as a fact address; prints to t the rule whose firing asserted the fact and the facts of that
/// firing (TInferenceEngine::FactOriginText) and answers the rule's name, or prints that no rule asserted it
/// and answers FALSE. "No Such Fact with ID=%s exists" for an identifier no fact has.
RC_BUILTIN_FUNCTION(TWhyFunction);

class TRulecraftPackage : public TUserPackage {
  RC_CLASS(TRulecraftPackage, TUserPackage)
 public:
  using TUserPackage::TUserPackage;
  /// Adds get-strategy, set-strategy, set-max-firings, matches and why.
  void CreateFunctions() override;
};

}  // namespace rulecraft
