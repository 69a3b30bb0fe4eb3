// Printed constructs read back as the same constructs: every program of tests/programs and every example is
// read into an engine (without running its top-level calls), its whole system is written out, read into a
// fresh engine and written out again; both texts must be the same. Programs that stop at a parse error
// contribute what they defined before it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../TestFiles.h"
#include "rulecraft/engine/InferenceEngine.h"
#include "rulecraft/framework/Exception.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

std::vector<std::filesystem::path> Programs() {
  std::vector<std::filesystem::path> Files;
  const std::filesystem::path Tests(RULECRAFT_TEST_DATA);
  for (const auto& Folder : {Tests / "programs", Tests.parent_path() / "examples"})
    for (const auto& Entry : std::filesystem::directory_iterator(Folder))
      if (Entry.path().extension() == ".clp") Files.push_back(Entry.path());
  std::sort(Files.begin(), Files.end());
  return Files;
}

TEST(PrinterRoundTrip, EveryProgramsConstructsReadBackTheSame) {
  const auto Files = Programs();
  ASSERT_GT(Files.size(), 10u);
  for (const auto& File : Files) {
    SCOPED_TRACE(File.filename().string());
    TInferenceEngine Original;
    Original.OnPrintOut = [](TObject*, const std::string&, const std::string&) {};
    try {
      Original.Parse(ReadFile(File), false);
    } catch (const Exception&) {
      // the error programs: keep what was read before the error
    }
    const std::string First = Original.GetExpertSystem();
    TInferenceEngine Copy;
    Copy.OnPrintOut = [](TObject*, const std::string&, const std::string&) {};
    try {
      Copy.Parse(First, true);
    } catch (const Exception& E) {
      ADD_FAILURE() << "the written system does not read back: " << E.Message() << "\n" << First;
      continue;
    }
    EXPECT_EQ(WithoutDate(Copy.GetExpertSystem()), WithoutDate(First));
  }
}

}  // namespace

namespace {

IIEValue Global(TInferenceEngine& Engine, const std::string& Name) {
  return Engine.GetContext()->GetVariable(Name);
}

// Saving and loading keeps every value and every constraint: floats that four decimals would round, nil,
// range bounds that are not whole numbers, allowed floats and a constrained slot's type list. Display text
// (printout, watch lines) keeps the four-decimal form.
TEST(PrinterRoundTrip, SavedSystemsKeepEveryValueAndConstraint) {
  const std::string Program =
      "(defglobal ?*pi* = 3.14159265358979 ?*tenth* = 0.1 ?*none* = nil ?*big* = 1e300 ?*tiny* = 1e-9)"
      "(deftemplate m (slot w (type FLOAT) (range 0.5 2.25) (default 1.23456789))"
      "  (slot f (allowed-floats 0.333333 1.5)) (multislot l))"
      "(deffacts s (m (w 2.0000001) (l 3.33333 nil x)))"
      "(defrule r (m (w ?w&:(> ?w 1.00001))) => (assert (seen 0.999999 nil)))";
  TInferenceEngine Original;
  std::string Display;
  Original.OnPrintOut = [&Display](TObject*, const std::string&, const std::string& Text) {
    Display += Text;
  };
  Original.Parse(Program, true);
  const std::string Saved = Original.GetExpertSystem();
  for (const char* Kept :
       {"3.14159265358979", "?*tenth* = 0.1000", "?*none* = nil", "1e-09", "(range 0.5000 2.2500)",
        "(default 1.23456789)", "(allowed-floats 0.333333 1.5000)", "(type FLOAT)", "(w 2.0000001)",
        "(l 3.33333 nil x)", "1.00001", "(seen 0.999999 nil)"})
    EXPECT_NE(Saved.find(Kept), std::string::npos) << Kept << "\n" << Saved;

  TInferenceEngine Copy;
  Copy.OnPrintOut = [](TObject*, const std::string&, const std::string&) {};
  Copy.Parse(Saved, true);
  for (const char* Name : {"*pi*", "*tenth*", "*none*", "*big*", "*tiny*"})
    EXPECT_TRUE(Global(Copy, Name)->Equals(Global(Original, Name).get())) << Name;
  Copy.Reset();
  Original.Reset();
  const IFact Read = Copy.GetFacts().GetFactByID(1);
  const IFact Kept = Original.GetFacts().GetFactByID(1);
  ASSERT_TRUE(Read && Kept);
  for (const char* Slot : {"w", "f", "l"}) {
    const IIEValue A = Read->GetValue(Slot), B = Kept->GetValue(Slot);
    EXPECT_TRUE(A && B && A->Equals(B.get())) << Slot;
  }
  EXPECT_EQ(Read->GetValue("l")->GetAsList()->GetValueCount(), 3);
  // The constraints read back: a float outside the range or a value not allowed is still refused.
  EXPECT_ANY_THROW(Copy.Parse("(assert (m (w 2.5)))", true));
  EXPECT_ANY_THROW(Copy.Parse("(assert (m (w 1)))", true));
  EXPECT_ANY_THROW(Copy.Parse("(assert (m (f 0.3333)))", true));
  EXPECT_EQ(Copy.Run(), 1);

  // Display text rounds to four decimals.
  Original.Parse("(printout t ?*pi* \" \" (create$ 0.999999) crlf)", true);
  EXPECT_EQ(Display, "3.1416 (1.0000 )\r\n");
}

}  // namespace
