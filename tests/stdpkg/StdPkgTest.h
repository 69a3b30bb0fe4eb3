#pragma once
// Shared by the standard package tests: a real engine (templates and rules built through the C++ interface,
// as the engine tests build them), commands typed at the top level, rule actions read from text, and a
// scratch folder for the file functions.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "../engine/EngineFixture.h"
#include "rulecraft/packages/StandardPackage.h"

namespace rulecraft::testing {

class TStdPkgTest : public TEngineTest {
 protected:
  void SetUp() override {
    TEngineTest::SetUp();
    // The engine fixture's own halt stands in for the package's; here the package's is the one tested.
    Engine->GetUserFunctionTable().Remove("halt");
    Engine->AddUserFunction(MakeRef<THaltFunction>());
    const auto* Test = ::testing::UnitTest::GetInstance()->current_test_info();
    Dir = std::filesystem::temp_directory_path() /
          ("rulecraft-stdpkg-" + std::string(Test->test_suite_name()) + "-" + Test->name());
    std::filesystem::remove_all(Dir);
    std::filesystem::create_directories(Dir);
  }

  void TearDown() override {
    TEngineTest::TearDown();
    std::filesystem::remove_all(Dir);
  }

  /// One call typed at the top level, executed; its result (empty when the function set none).
  IIEValue Eval(const std::string& Text) { return Engine->ParseNExecuteFunCall(Text); }
  /// The text form of Eval's result.
  std::string Show(const std::string& Text) {
    const IIEValue Result = Eval(Text);
    return Result ? Result->GetToString() : "<none>";
  }
  /// A rule action read from text.
  IFunCall Action(const std::string& Text) { return Engine->ParseFunCall(Text); }

  /// A file name in the scratch folder, as the rule language writes it (in double quotes).
  std::string Path(const std::string& Name) const { return (Dir / Name).string(); }
  std::string Quoted(const std::string& Name) const { return "\"" + Path(Name) + "\""; }
  void WriteFile(const std::string& Name, const std::string& Text) const {
    std::ofstream(Dir / Name, std::ios::binary) << Text;
  }
  std::string ReadFile(const std::string& Name) const {
    std::ifstream File(Dir / Name, std::ios::binary);
    std::stringstream Text;
    Text << File.rdbuf();
    return Text.str();
  }

  std::filesystem::path Dir;
};

}  // namespace rulecraft::testing
