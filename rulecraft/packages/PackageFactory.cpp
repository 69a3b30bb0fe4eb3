// The function packages this build has, created for an engine on request.
#include "rulecraft/engine/InferenceEngine.h"

namespace rulecraft {

TUserPackage* CreateFunctionPackage(TFunctionPackage Package, TComponent* Owner) {
  (void)Owner;
  switch (Package) {
    default:
      return nullptr;  // not part of this build yet
  }
}

}  // namespace rulecraft
