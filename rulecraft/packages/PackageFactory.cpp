// The function packages this build has, created for an engine on request.
#include "rulecraft/engine/InferenceEngine.h"
#include "rulecraft/functions/StandardPackage.h"
#include "rulecraft/packages/MathPackage.h"
#include "rulecraft/packages/PredicatePackage.h"
#include "rulecraft/packages/StringPackage.h"
#include "rulecraft/packages/TrigonometryPackage.h"

namespace rulecraft {

TUserPackage* CreateFunctionPackage(TFunctionPackage Package, TComponent* Owner) {
  switch (Package) {
    case pStandard:
      return CreatePackage<TStandardPackage>(Owner);
    case pPredicate:
      return CreatePackage<TPredicatePackage>(Owner);
    case pMath:
      return CreatePackage<TMathPackage>(Owner);
    case pString:
      return CreatePackage<TStringPackage>(Owner);
    case pTrigonometry:
      return CreatePackage<TTrigonometryPackage>(Owner);
    default:
      return nullptr;  // not part of this build yet
  }
}

}  // namespace rulecraft
