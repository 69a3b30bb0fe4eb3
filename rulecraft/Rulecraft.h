#pragma once
// The library's top level: one header a host includes to embed engines. Linking the rulecraft target
// registers the rule-language parser and the function packages that every new engine installs.
#include <vector>

#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Value.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/engine/FactSet.h"
#include "rulecraft/engine/InferenceEngine.h"
#include "rulecraft/functions/FunctionCall.h"
#include "rulecraft/functions/UserFunction.h"

namespace rulecraft {

/// Creates the function package of one kind for the engine Owner (nullptr for a kind this build does not
/// have). Engines call it through the factory registered with TInferenceEngine::SetDefaultFactories.
TUserPackage* CreateFunctionPackage(TFunctionPackage Package, TComponent* Owner);

/// Creates the engine's own packages (today TRulecraftPackage: get-strategy, set-strategy, set-max-firings,
/// matches, why) for the engine Owner, installed after the function packages whatever the engine's Packages
/// select.
void CreateExtensionPackages(TComponent* Owner, std::vector<TUserPackage*>& Installed);

/// The rule-language parser for Engine.
std::unique_ptr<TEngineParser> CreateEngineParser(TInferenceEngine* Engine);

}  // namespace rulecraft
