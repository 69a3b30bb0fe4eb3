#pragma once
// The engine's own package: functions that reach what the engine adds beyond the nine function packages,
// the conflict-resolution strategy and the firing limit. It is installed after the function packages whatever
// the engine's Packages select (see TExtensionPackageFactory).
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

class TRulecraftPackage : public TUserPackage {
  RC_CLASS(TRulecraftPackage, TUserPackage)
 public:
  using TUserPackage::TUserPackage;
  /// Adds get-strategy, set-strategy and set-max-firings.
  void CreateFunctions() override;
};

}  // namespace rulecraft
