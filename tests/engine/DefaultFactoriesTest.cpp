// The engine layer names neither the parser nor the packages: new engines take what the library's top level
// registered, and an engine created without a parser factory is refused rather than left unable to read.
#include <gtest/gtest.h>

#include <string>

#include "rulecraft/Rulecraft.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"

namespace rulecraft {
namespace {

// Restores the library's own factories whatever a test leaves behind.
struct TFactoriesGuard {
  ~TFactoriesGuard() {
    TInferenceEngine::SetDefaultFactories(&CreateEngineParser, &CreateFunctionPackage,
                                          &CreateExtensionPackages);
  }
};

TUserPackage* StandardOnly(TFunctionPackage Package, TComponent* Owner) {
  return Package == pStandard ? CreateFunctionPackage(Package, Owner) : nullptr;
}

TEST(DefaultFactoriesTest, EnginesInstallWhatTheTopLevelRegistered) {
  TFactoriesGuard Guard;
  {
    TInferenceEngine Engine;
    EXPECT_EQ(Engine.ParseNExecuteFunCall("(+ 1 2)")->GetAsInteger(), 3);
  }

  TInferenceEngine::SetDefaultFactories(&CreateEngineParser, &StandardOnly);
  TInferenceEngine Narrow;
  EXPECT_EQ(Narrow.ParseNExecuteFunCall("(eq a a)")->GetToString(), "TRUE");
  try {
    Narrow.ParseNExecuteFunCall("(+ 1 2)");
    FAIL() << "the math package was not installed";
  } catch (const EIEException& E) {
    EXPECT_EQ(std::string(E.what()), "Function is unimplemented or unassigned: +");
  }

  TInferenceEngine::SetDefaultFactories(nullptr, nullptr);
  try {
    TInferenceEngine Unreadable;
    FAIL() << "an engine without a parser was created";
  } catch (const EIEException& E) {
    EXPECT_EQ(std::string(E.what()), SNoEngineParser);
  }
}

}  // namespace
}  // namespace rulecraft
