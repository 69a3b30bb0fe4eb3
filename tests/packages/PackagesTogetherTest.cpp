// The four packages serving one engine: distinct names, calls crossing packages, packages found by class
// name, and engines coming and going.
#include <gtest/gtest.h>

#include "PackageTest.h"
#include "rulecraft/packages/MathPackage.h"
#include "rulecraft/packages/PredicatePackage.h"
#include "rulecraft/packages/StringPackage.h"
#include "rulecraft/packages/TrigonometryPackage.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

class PackagesTogetherTest : public PackageTest {};

TEST_F(PackagesTogetherTest, OneEngineServesEveryPackage) {
  Install<TPredicatePackage>();
  auto* Math = Install<TMathPackage>();
  Install<TStringPackage>();
  Install<TTrigonometryPackage>();
  EXPECT_EQ(Engine.Functions.size(), 13u + 21u + 9u + 37u);  // no name is taken twice

  // (evenp (str-length (str-cat (PI)))): "3.1416" has 6 bytes.
  EXPECT_EQ(Run("evenp", {Nested("str-length", {Nested("str-cat", {Nested("PI")})})}).get(), FCTrue.get());
  // (sub-string 1 (div (str-length "abcdef") 2) (upcase abcdef))
  EXPECT_TRUE(
      IsText(Run("sub-string", {Int(1), Nested("div", {Nested("str-length", {Str("abcdef")}), Int(2)}),
                                Nested("upcase", {Atom("abcdef")})}),
             dtString, "ABC"));
  EXPECT_TRUE(IsFloat(Run("round", {Nested("rad-deg", {Nested("atan2", {Int(1), Int(1)})})}), 45.0));

  // An engine the package stops serving loses the package's functions, and a new one gains them.
  Math->RemoveReasoner(&Engine);
  EXPECT_FALSE(Engine.ContainsUserFunction("+"));
  EXPECT_EQ(Engine.Functions.size(), 13u + 9u + 37u);
  TFakeFunctionEngine Other;
  Math->SetEngine(&Other);
  EXPECT_TRUE(Other.ContainsUserFunction("PI"));
  // Reset recreates the functions in table order.
  const IUserFunction OldAbs = Math->GetFunctions().Get(0);
  Math->SetReset(true);
  EXPECT_EQ(Math->GetFunctions().Count(), 21);
  EXPECT_NE(Math->GetFunctions().Get(0).get(), OldAbs.get());
  EXPECT_EQ(Other.GetUserFunction("abs").get(), Math->GetFunctions().Get(0).get());
  Math->SetEngine(nullptr);
  EXPECT_TRUE(Other.Functions.empty());
}

TEST(Packages, AreKnownByClassName) {
  for (const char* Name : {"TPredicatePackage", "TMathPackage", "TStringPackage", "TTrigonometryPackage",
                           "TMiscPackage", "TObjectPackage", "TBusinessPackage"}) {
    SCOPED_TRACE(Name);
    TClass Class = GetClass(Name);
    ASSERT_NE(Class, nullptr);
    TFakeFunctionEngine Engine;
    // Created by name with the engine as owner, a package serves it once it creates its functions.
    auto* Package = dynamic_cast<TUserPackage*>(Class->Create(&Engine));
    ASSERT_NE(Package, nullptr);
    Package->CreateFunctions();
    EXPECT_EQ(Engine.Functions.size(), static_cast<size_t>(Package->GetFunctions().Count()));
  }
}

}  // namespace
