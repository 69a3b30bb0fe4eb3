#pragma once
// The kinds of values (TIEType), sets of kinds (TIETypes) and the kind sets every subsystem shares.
#include <cstdint>
#include <string>

#include "rulecraft/framework/Set.h"
#include "rulecraft/framework/TypeInfo.h"

namespace rulecraft {

/// The kind of a value. The ordinals are stored in kind sets and streamed values: never reorder.
enum TIEType : uint8_t {
  dtNone,             // 0
  dtAtom,             // 1
  dtString,           // 2
  dtInteger,          // 3
  dtVariable,         // 4
  dtFactId,           // 5
  dtFloat,            // 6
  dtFunCall,          // 7
  dtFact,             // 8
  dtList,             // 9
  dtDescriptor,       // 10
  dtObject,           // 11
  dtClass,            // 12
  dtExternalAddress,  // 13
  dtSingletons,       // 14
  dtFuzzy,            // 15
  dtMultiVariable,    // 16
  dtSlot,             // 17
  dtMultiSlot,        // 18
};

inline constexpr int IETypeCount = 19;

using TIETypes = TSet<TIEType>;

/// Member names of TIEType in ordinal order.
const TEnumInfo& TIETypeInfo();

inline constexpr TIETypes IEStringTypes{dtAtom, dtString, dtVariable, dtMultiVariable, dtSlot, dtMultiSlot};
inline constexpr TIETypes IENumericTypes{dtInteger, dtFloat};
inline constexpr TIETypes IEIntegerTypes{dtInteger, dtFactId, dtDescriptor};
inline constexpr TIETypes IEFactTypes{dtInteger, dtFactId, dtFloat};
inline constexpr TIETypes IEVariableTypes{dtVariable, dtMultiVariable};
inline constexpr TIETypes IEAlwaysValidTypes{dtNone, dtVariable, dtFunCall, dtMultiVariable};
inline constexpr TIETypes IEMultiSlotTypes{dtList, dtMultiSlot};
inline constexpr TIETypes IESlotTypes{dtAtom,       dtString, dtInteger, dtVariable,
                                      dtFactId,     dtFloat,  dtFunCall, dtFact,
                                      dtDescriptor, dtObject, dtClass,   dtExternalAddress};
inline constexpr TIETypes IESlotTypesWithFuzzy = IESlotTypes + TIETypes{dtSingletons, dtFuzzy};
inline constexpr TIETypes IEReparseTypes{dtFunCall, dtFact, dtFuzzy};

/// The member name of a kind, prefix included ("dtInteger"); "<UNKNOWN>" outside the enumeration.
std::string GetIETypeName(TIEType Kind);

}  // namespace rulecraft
