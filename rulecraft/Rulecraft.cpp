// The top of the library: the one place that knows every layer. It hands the engine layer, which names
// nothing above itself, the parser and the function packages each new engine installs. The build links this
// file into every program that links the rulecraft target (whole, even from the static library), so the
// registration below runs before main.
#include "rulecraft/Rulecraft.h"

#include "rulecraft/fuzzy/FuzzyLogicPackage.h"
#include "rulecraft/packages/BusinessPackage.h"
#include "rulecraft/packages/MathPackage.h"
#include "rulecraft/packages/MiscPackage.h"
#include "rulecraft/packages/ObjectPackage.h"
#include "rulecraft/packages/PredicatePackage.h"
#include "rulecraft/packages/RulecraftPackage.h"
#include "rulecraft/packages/StandardPackage.h"
#include "rulecraft/packages/StringPackage.h"
#include "rulecraft/packages/TrigonometryPackage.h"
#include "rulecraft/parser/ClipsParser.h"

namespace rulecraft {

TUserPackage* CreateFunctionPackage(TFunctionPackage Package, TComponent* Owner) {
  switch (Package) {
    case pStandard:
      return CreatePackage<TStandardPackage>(Owner);
    case pMiscellaneous:
      return CreatePackage<TMiscPackage>(Owner);
    case pPredicate:
      return CreatePackage<TPredicatePackage>(Owner);
    case pMath:
      return CreatePackage<TMathPackage>(Owner);
    case pString:
      return CreatePackage<TStringPackage>(Owner);
    case pObject:
      return CreatePackage<TObjectPackage>(Owner);
    case pTrigonometry:
      return CreatePackage<TTrigonometryPackage>(Owner);
    case pBusiness:
      return CreatePackage<TBusinessPackage>(Owner);
    case pFuzzyLogic:
      return CreatePackage<TFuzzyLogicPackage>(Owner);
    default:
      return nullptr;
  }
}

void CreateExtensionPackages(TComponent* Owner, std::vector<TUserPackage*>& Installed) {
  Installed.push_back(CreatePackage<TRulecraftPackage>(Owner));
}

std::unique_ptr<TEngineParser> CreateEngineParser(TInferenceEngine* Engine) {
  return std::make_unique<TIEClipsParser>(Engine);
}

namespace {

[[maybe_unused]] const bool DefaultsRegistered = [] {
  TInferenceEngine::SetDefaultFactories(&CreateEngineParser, &CreateFunctionPackage,
                                        &CreateExtensionPackages);
  return true;
}();

}  // namespace

}  // namespace rulecraft
