// Function objects and packages: registration with engines, renaming, argument counts, packages serving
// engines, engines going away, and the argument syntax text.
#include <gtest/gtest.h>

#include "../FakeEngine.h"
#include "../TestValues.h"
#include "rulecraft/core/Helpers.h"
#include "rulecraft/functions/UserPackage.h"

using namespace rulecraft;
using namespace rulecraft::testing;

TEST(UserFunction, CoupledArgumentCounts) {
  TIEUserFunction F;
  EXPECT_EQ(F.GetMinArgumentCount(), 0);
  EXPECT_EQ(F.GetMaxArgumentCount(), 2147483647);
  F.SetMinArgumentCount(2);
  F.SetMaxArgumentCount(0);
  EXPECT_EQ(F.GetMinArgumentCount(), 0);
  EXPECT_EQ(F.GetMaxArgumentCount(), 0);
  F.SetMinArgumentCount(5);
  EXPECT_EQ(F.GetMaxArgumentCount(), 5);
  F.SetMaxArgumentCount(7);
  EXPECT_EQ(F.GetMinArgumentCount(), 5);
}

TEST(UserFunction, RegistrationAndRenaming) {
  TFakeFunctionEngine A, B;
  TRef<TLambdaFunction> F = Lambda("f", 0, 0);
  F->AddReasoner(&A);
  F->AddReasoner(&B);
  F->AddReasoner(&A);  // once only
  EXPECT_EQ(F->GetReasonerCount(), 2);
  EXPECT_EQ(F->IndexOfReasoner(&B), 1);
  EXPECT_EQ(F->GetToString(&A), "function f");

  F->SetFunctionName("g");
  for (auto* E : {&A, &B}) {
    EXPECT_FALSE(E->ContainsUserFunction("f"));
    EXPECT_EQ(E->GetUserFunction("g").get(), F.get());
  }
  // An engine that already has the new name refuses it and is dropped from the list; the others follow.
  B.AddUserFunction(Lambda("h", 0, 0));
  ExpectError([&] { F->SetFunctionName("h"); }, "Function Name already exists: \"h\"");
  EXPECT_EQ(F->GetReasonerCount(), 1);
  EXPECT_EQ(A.GetUserFunction("h").get(), F.get());
  EXPECT_FALSE(B.ContainsUserFunction("g"));
  // Nor is an engine remembered when it refuses the function outright.
  ExpectError([&] { F->AddReasoner(&B); }, "Function Name already exists: \"h\"");
  EXPECT_EQ(F->GetReasonerCount(), 1);

  F->DeleteReasoner(&A);
  EXPECT_TRUE(A.Functions.empty());
  EXPECT_EQ(F->GetReasonerCount(), 0);

  // Assign copies counts, comment and name, the name re-registering.
  F->AddReasoner(&A);
  TIEUserFunction Source("src", 1, 3, "help", " <x>");
  F->Assign(&Source);
  EXPECT_EQ(F->GetMinArgumentCount(), 1);
  EXPECT_EQ(F->GetMaxArgumentCount(), 3);
  EXPECT_EQ(F->GetComment(), "help");
  EXPECT_EQ(A.GetUserFunction("src").get(), F.get());
  F->ClearReasoners();
  EXPECT_TRUE(A.Functions.empty());
}

TEST(UserPackage, ServesItsEngines) {
  TFakeFunctionEngine Engine;
  int Creations = 0;
  auto* Package = new TUserPackage(&Engine);  // owned by the engine
  Package->OnCreateFunctions = [&](TObject* Sender) {
    auto* P = static_cast<TUserPackage*>(Sender);
    P->GetFunctions().Add(Lambda("one", 0, 0));
    P->GetFunctions().Add(Lambda("two", 0, 0));
    ++Creations;
  };
  Package->CreateFunctions();
  ASSERT_EQ(Package->GetReasoners().size(), 1u);
  EXPECT_EQ(Engine.Functions.size(), 2u);
  EXPECT_EQ(Package->IndexOf("two"), 1);
  EXPECT_EQ(Package->IndexOf("Two"), -1);
  IUserFunction One = Package->GetFunctions().Get(0);
  EXPECT_EQ(Package->GetFunctions().Add(One), 0);  // no duplicates
  EXPECT_EQ(Package->GetFunctions().Count(), 2);

  // Removing the engine unregisters every function; adding one registers them.
  Package->RemoveReasoner(&Engine);
  EXPECT_TRUE(Engine.Functions.empty());
  EXPECT_EQ(One->GetReasonerCount(), 0);
  TFakeFunctionEngine Other;
  Package->SetEngine(&Other);
  EXPECT_EQ(Package->GetEngine(), &Other);
  EXPECT_EQ(Other.Functions.size(), 2u);
  Package->AddReasoner(&Engine);
  EXPECT_EQ(Engine.Functions.size(), 2u);
  // A function leaving the list leaves the engines; one joining it joins them.
  EXPECT_EQ(Package->GetFunctions().Remove(One), 0);
  EXPECT_FALSE(Engine.ContainsUserFunction("one"));
  EXPECT_FALSE(Other.ContainsUserFunction("one"));
  Package->GetFunctions().Add(One);
  EXPECT_EQ(One->GetReasonerCount(), 2);
  // Reset recreates the functions.
  Package->SetReset(true);
  EXPECT_EQ(Creations, 2);
  EXPECT_EQ(Engine.Functions.size(), 2u);
  EXPECT_NE(Engine.GetUserFunction("one").get(), One.get());
  EXPECT_EQ(One->GetReasonerCount(), 0);
  // Changing the engine takes the old one out of the reasoners.
  TFakeFunctionEngine Third;
  Package->SetEngine(&Third);
  EXPECT_TRUE(Other.Functions.empty());
  EXPECT_EQ(Third.Functions.size(), 2u);
  Package->RemoveReasoner(&Third);
  EXPECT_EQ(Package->GetEngine(), nullptr);
}

TEST(UserPackage, EnginesAndPackagesGoingAway) {
  // A package registered with an engine that is destroyed first forgets it.
  TUserPackage Package(nullptr);
  IUserFunction F = Lambda("f", 0, 0);
  Package.GetFunctions().Add(F);
  {
    TFakeFunctionEngine Short;
    Package.SetEngine(&Short);
    EXPECT_EQ(F->GetReasonerCount(), 1);
  }
  EXPECT_EQ(Package.GetEngine(), nullptr);
  EXPECT_TRUE(Package.GetReasoners().empty());
  EXPECT_EQ(F->GetReasonerCount(), 0);

  // A package destroyed takes its functions out of the engines it serves.
  TFakeFunctionEngine Engine;
  {
    TUserPackage Temporary(nullptr);
    Temporary.AddReasoner(&Engine);
    Temporary.GetFunctions().Add(Lambda("g", 0, 0));
    EXPECT_TRUE(Engine.ContainsUserFunction("g"));
  }
  EXPECT_TRUE(Engine.Functions.empty());

  // An engine frees the packages it owns.
  auto* Owner = new TFakeFunctionEngine();
  auto* Owned = CreatePackage<TUserPackage>(Owner);
  Owned->GetFunctions().Add(F);
  EXPECT_TRUE(Owner->ContainsUserFunction("f"));
  delete Owner;
  EXPECT_EQ(F->GetReasonerCount(), 0);
}

TEST(UserFunction, ArgumentSyntaxText) {
  EXPECT_EQ(CreateArgumentExpressions("", 1, 3, 10), "<expression>[ <expression>[ <expression>]]");
  EXPECT_EQ(CreateArgumentExpressions("", 0, 1, 10), "[ <expression>]");
  EXPECT_EQ(CreateArgumentExpressions("", 2, 2, 10), "<expression> <expression>");
  EXPECT_EQ(CreateArgumentExpressions("", 0, 0, 10), "");
  EXPECT_EQ(CreateArgumentExpressions("", 3, 2, 10), "");
  // Placeholders come from the existing text, in order, then the general one.
  EXPECT_EQ(CreateArgumentExpressions(" <numeric-expression> <numeric-expression>+", 1, 3, 10),
            "<numeric-expression>[ <numeric-expression>[ <expression>]]");
  EXPECT_EQ(CreateArgumentExpressions("<a> <b", 2, 2, 10), "<a> <expression>");
  // At most Limit arguments are written.
  const std::string Unbounded = CreateArgumentExpressions("", 1, 2147483647, 3);
  EXPECT_EQ(Unbounded, "<expression>[ <expression>[ <expression>[]]]");
}
