#pragma once
// Shared by every test program: short makers of values and the check that a call raises an engine error
// with an exact message.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Value.h"
#include "rulecraft/core/ValueVector.h"

namespace rulecraft::testing {

inline IIEValue Atom(const std::string& S) { return MakeRef<TIEValue>(S, dtAtom); }
inline IIEValue Str(const std::string& S) { return MakeRef<TIEValue>(S, dtString); }
inline IIEValue Int(int32_t I) { return MakeRef<TIEValue>(I, dtInteger); }
inline IIEValue Flt(double D) { return MakeRef<TIEValue>(D); }
inline IIEValue Var(const std::string& Name) { return MakeRef<TIEValue>(Name, dtVariable); }
inline IIEValue MultiVar(const std::string& Name) { return MakeRef<TIEValue>(Name, dtMultiVariable); }
inline IIEValue List(std::vector<IIEValue> Items) {
  return MakeRef<TIEValue>(MakeRef<TValueVector>(std::move(Items)));
}

/// Expects Body to raise an error of class E (or a descendant) with exactly Message.
template <class E = Exception, class F>
void ExpectError(F Body, const std::string& Message) {
  try {
    Body();
    ADD_FAILURE() << "expected error: " << Message;
  } catch (const Exception& Error) {
    EXPECT_NE(dynamic_cast<const E*>(&Error), nullptr) << "an error of another class: " << Error.Message();
    EXPECT_EQ(Error.Message(), Message);
  }
}

}  // namespace rulecraft::testing
