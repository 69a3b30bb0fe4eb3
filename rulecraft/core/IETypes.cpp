#include "rulecraft/core/IETypes.h"

namespace rulecraft {

const TEnumInfo& TIETypeInfo() {
  static const TEnumInfo Info(
      "TIEType", {"dtNone", "dtAtom", "dtString", "dtInteger", "dtVariable", "dtFactId", "dtFloat",
                  "dtFunCall", "dtFact", "dtList", "dtDescriptor", "dtObject", "dtClass", "dtExternalAddress",
                  "dtSingletons", "dtFuzzy", "dtMultiVariable", "dtSlot", "dtMultiSlot"});
  return Info;
}

std::string GetIETypeName(TIEType Kind) {
  const std::string_view Name = TIETypeInfo().Name(Kind);
  return Name.empty() ? std::string("<UNKNOWN>") : std::string(Name);
}

}  // namespace rulecraft
