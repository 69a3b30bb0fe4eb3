#pragma once
// The engine's own package: functions that reach what the engine adds beyond the nine function packages,
// today the conflict-resolution strategy. It is installed after the function packages whatever the
// engine's Packages select (see TExtensionPackageFactory).
#include "rulecraft/functions/BuiltinFunction.h"
#include "rulecraft/functions/UserPackage.h"

namespace rulecraft {

/// (get-strategy): the name of the engine's strategy (depth, breadth, newest, oldest, lex, mea, simplicity,
/// complexity or random) as an atom.
RC_BUILTIN_FUNCTION(TGetStrategyFunction);
/// (set-strategy <name>): makes the named strategy the engine's, re-sorting the agenda, and answers the
/// previous name; "Unknown strategy: %s (...)" for any other name.
RC_BUILTIN_FUNCTION(TSetStrategyFunction);

class TRulecraftPackage : public TUserPackage {
  RC_CLASS(TRulecraftPackage, TUserPackage)
 public:
  using TUserPackage::TUserPackage;
  /// Adds get-strategy and set-strategy.
  void CreateFunctions() override;
};

}  // namespace rulecraft
