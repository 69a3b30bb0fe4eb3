#pragma once
// Shared by the package tests: an engine double serving the built-in packages, calls run by name, checks of
// result kinds and of arithmetic errors, and the check of a package's table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "../FakeEngine.h"
#include "../TestValues.h"
#include "rulecraft/framework/Exception.h"
#include "rulecraft/functions/UserPackage.h"

namespace rulecraft::testing {

/// An engine double with packages installed; Run executes a call by name in the root context.
class PackageTest : public ::testing::Test {
 protected:
  TFakeFunctionEngine Engine;

  template <class T>
  T* Install() {
    return CreatePackage<T>(&Engine);  // owned by the engine
  }

  IIEValue Run(const std::string& Name, std::vector<IIEValue> Arguments = {}) {
    IIEValue Result;
    NewCall(&Engine, Name, std::move(Arguments))->Execute(&Engine.Root, Result);
    return Result;
  }

  /// A nested call as an argument value.
  IIEValue Nested(const std::string& Name, std::vector<IIEValue> Arguments = {}) {
    return CallValue(NewCall(&Engine, Name, std::move(Arguments)));
  }

  /// Binds ?Name in the root context.
  void Bind(const std::string& Name, const IIEValue& Value) { Engine.Root.AddLocalBinding(Name, Value); }
};

inline ::testing::AssertionResult IsInteger(const IIEValue& Value, int32_t Expected) {
  if (!Value) return ::testing::AssertionFailure() << "no result";
  if (Value->GetDType() != dtInteger)
    return ::testing::AssertionFailure()
           << Value->GetToString() << " is a " << GetIETypeName(Value->GetDType());
  if (Value->GetAsInteger() != Expected)
    return ::testing::AssertionFailure() << Value->GetAsInteger() << " is not " << Expected;
  return ::testing::AssertionSuccess();
}

/// A float within 4 units in the last place of Expected.
inline ::testing::AssertionResult IsFloat(const IIEValue& Value, double Expected) {
  if (!Value) return ::testing::AssertionFailure() << "no result";
  if (Value->GetDType() != dtFloat)
    return ::testing::AssertionFailure()
           << Value->GetToString() << " is a " << GetIETypeName(Value->GetDType());
  const double A = Value->GetAsFloat();
  if (A != Expected &&
      !(std::fabs(A - Expected) <= 4 * DBL_EPSILON * std::max(std::fabs(A), std::fabs(Expected))))
    return ::testing::AssertionFailure() << ::testing::PrintToString(Value->GetAsFloat()) << " is not "
                                         << ::testing::PrintToString(Expected);
  return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult IsText(const IIEValue& Value, TIEType Kind, const std::string& Expected) {
  if (!Value) return ::testing::AssertionFailure() << "no result";
  if (Value->GetDType() != Kind)
    return ::testing::AssertionFailure()
           << Value->GetToString() << " is a " << GetIETypeName(Value->GetDType());
  if (Value->GetAsString() != Expected)
    return ::testing::AssertionFailure()
           << "\"" << Value->GetAsString() << "\" is not \"" << Expected << "\"";
  return ::testing::AssertionSuccess();
}

inline const std::string InvalidOp = "Invalid floating point operation";
inline const std::string ZeroDivide = "Floating point division by zero";
inline const std::string Overflow = "Floating point overflow";

/// One row of a package table.
struct TTableRow {
  std::string Name;
  std::string Class;
  int32_t Min;
  int32_t Max;
  std::string ArgumentText;
};

/// The package holds exactly the rows, in order, each function registered with Engine under its name and
/// its class re-creatable by name into an equal function.
inline void ExpectTable(const TUserPackage& Package, TFakeFunctionEngine& Engine,
                        const std::vector<TTableRow>& Rows) {
  ASSERT_EQ(Package.GetFunctions().Count(), static_cast<int32_t>(Rows.size()));
  for (size_t I = 0; I < Rows.size(); ++I) {
    const TTableRow& Row = Rows[I];
    SCOPED_TRACE(Row.Name);
    const IUserFunction& F = Package.GetFunctions().Get(static_cast<int32_t>(I));
    EXPECT_EQ(F->GetFunctionName(), Row.Name);
    EXPECT_EQ(F->ClassName(), Row.Class);
    EXPECT_EQ(F->GetMinArgumentCount(), Row.Min);
    EXPECT_EQ(F->GetMaxArgumentCount(), Row.Max);
    EXPECT_EQ(F->GetArgumentString(), Row.ArgumentText);
    EXPECT_FALSE(F->GetComment().empty());
    EXPECT_EQ(Engine.GetUserFunction(Row.Name).get(), F.get());
    EXPECT_EQ(Package.IndexOf(Row.Name), static_cast<int32_t>(I));
    // Re-created from its registered class name, a function is the same function again.
    TClass Class = GetClass(Row.Class);
    ASSERT_NE(Class, nullptr);
    std::unique_ptr<TObject> Object(Class->Create(nullptr));
    auto* Copy = dynamic_cast<TIEUserFunction*>(Object.get());
    ASSERT_NE(Copy, nullptr);
    Copy->Assign(F.get());
    EXPECT_EQ(Copy->GetFunctionName(), Row.Name);
    EXPECT_EQ(Copy->GetComment(), F->GetComment());
    EXPECT_EQ(Copy->GetArgumentString(), Row.ArgumentText);
  }
}

}  // namespace rulecraft::testing
