#pragma once
// Shared by the package tests: an engine double serving the built-in packages, calls run by name, checks of
// result kinds, and the check of what a package offers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "../FakeEngine.h"
#include "../TestValues.h"
#include "rulecraft/framework/Convert.h"
#include "rulecraft/framework/Exception.h"
#include "rulecraft/functions/InterpretedFunction.h"
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

/// A function a package offers: its name, argument counts and argument text.
struct TTableRow {
  std::string Name;
  int32_t Min;
  int32_t Max;
  std::string ArgumentText;
};

/// The package offers exactly the rows' functions, each one callable through Engine by its name, refusing
/// one argument too few or too many with the user's message, showing a help block with its syntax, and
/// copied through its registered class into an equal function (as an engine copy does).
inline void ExpectTable(const TUserPackage& Package, TFakeFunctionEngine& Engine,
                        const std::vector<TTableRow>& Rows) {
  EXPECT_EQ(Package.GetFunctions().Count(), static_cast<int32_t>(Rows.size()));
  auto Call = [&](const std::string& Name, int32_t Count) {
    IIEValue Result;
    NewCall(&Engine, Name, std::vector<IIEValue>(Count, MakeRef<TIEValue>(0, dtInteger)))
        ->Execute(&Engine.Root, Result);
  };
  for (const TTableRow& Row : Rows) {
    SCOPED_TRACE(Row.Name);
    const IUserFunction F = Engine.GetUserFunction(Row.Name);
    ASSERT_TRUE(F);
    EXPECT_EQ(Package.GetFunctions().Get(Package.IndexOf(Row.Name)).get(), F.get());
    EXPECT_EQ(F->GetMinArgumentCount(), Row.Min);
    EXPECT_EQ(F->GetMaxArgumentCount(), Row.Max);
    if (Row.Min > 0) ExpectError([&] { Call(Row.Name, Row.Min - 1); }, "Too few arguments for " + Row.Name);
    if (Row.Max < 100)
      ExpectError([&] { Call(Row.Name, Row.Max + 1); }, "Too many arguments for " + Row.Name);
    EXPECT_EQ(F->GetArgumentString(), Row.ArgumentText);
    const std::string Syntax = Trim(Row.ArgumentText).empty() ? "" : " " + Trim(Row.ArgumentText);
    const std::string Head =
        ";; " + Row.Name + " function\r\n     syntax: (" + Row.Name + Syntax + ")\r\n     ";
    EXPECT_EQ(PrettyPrintUserFunction(*F).substr(0, Head.size()), Head);
    EXPECT_FALSE(F->GetComment().empty());
    TClass Class = GetClass(F->ClassName());
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

/// The help block the engine shows for a function: its name, syntax and help text.
inline std::string Help(TFakeFunctionEngine& Engine, const std::string& Name) {
  return PrettyPrintUserFunction(*Engine.GetUserFunction(Name));
}

}  // namespace rulecraft::testing
