#include "rulecraft/framework/TypeInfo.h"

#include "rulecraft/framework/Convert.h"

namespace rulecraft {

int TEnumInfo::ValueOf(std::string_view Name) const noexcept {
  for (int I = 0; I < Count(); ++I)
    if (SameText(FNames[static_cast<size_t>(I)], Name)) return I;
  return -1;
}

}  // namespace rulecraft
