// The file functions: save and save-facts write rule-language text that load, load-facts and batch read
// back; errors leave files and engines as they were, and files cannot load themselves forever.
#include <gtest/gtest.h>

#include <cctype>

#include "StdPkgTest.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

class Files : public TStdPkgTest {};

TEST_F(Files, SavedFactsLoadIntoAFreshEngine) {
  Template("person", {"name", "age"});
  Eval("(assert (person (name \"Bob \\\"B\\\" Smith\") (age 30)) (note x 1.5 \"two words\") (note y))");
  EXPECT_EQ(Show("(save-facts " + Quoted("all.clp") + ")"), "TRUE");
  EXPECT_EQ(ReadFile("all.clp"),
            "(Initial-Fact)\r\n(person (age 30) (name \"Bob \\\"B\\\" Smith\"))\r\n(note x 1.5000 \"two "
            "words\")\r\n"
            "(note y)\r\n");
  // Named templates only, in the order named; an unknown name adds nothing.
  EXPECT_EQ(Show("(save-facts " + Quoted("some.clp") + " note nosuch person)"), "TRUE");
  EXPECT_EQ(
      ReadFile("some.clp"),
      "(note x 1.5000 \"two words\")\r\n(note y)\r\n(person (age 30) (name \"Bob \\\"B\\\" Smith\"))\r\n");

  TInferenceEngine Other;
  const IFactTemplate OtherPerson = MakeRef<TFactTemplate>(&Other, "person");
  OtherPerson->AddSlot("name", FCNil);
  OtherPerson->AddSlot("age", FCNil);
  Other.GetFactTemplates().Put(OtherPerson);
  EXPECT_EQ(Other.ParseNExecuteFunCall("(load-facts " + Quoted("all.clp") + ")")->GetToString(), "TRUE");
  EXPECT_EQ(Other.GetFacts().GetToString(), Engine->GetFacts().GetToString());
  ExpectError([&] { Eval("(load-facts " + Quoted("missing.clp") + ")"); },
              "Cannot open file \"" + Path("missing.clp") + "\". No such file or directory");
}

TEST_F(Files, SaveWritesTheWholeExpertSystem) {
  Engine->GetGlobalVariables().Put("*limit*", Int(3));
  // A child filed before its parent is written after it.
  const IFactTemplate Person = MakeRef<TFactTemplate>(Engine.get(), "person");
  Person->AddSlot("name", FCNil);
  const IFactTemplate Employee = MakeRef<TFactTemplate>(Engine.get(), "employee");
  Employee->AddSlot("name", FCNil);
  Employee->SetParent(Person);
  Engine->GetFactTemplates().Put(Employee);
  Engine->GetFactTemplates().Put(Person);
  TRule* Second = Rule("b-rule", Lhs(Pattern("person", {{"name", Var("n")}})), {Action("(halt)")});
  TRule* First = Rule("A-rule", Lhs(Pattern("employee", {{"name", Var("n")}})), {Action("(reset)")});
  auto* Set = new TFactSet(Engine.get());
  Set->SetFactSetName("staff");
  Set->AddFact(Fact("person", {{"name", Atom("ann")}}));
  Eval("(assert (person (name bob)))");
  Eval("(set-fact-duplication FALSE)");
  EXPECT_EQ(Show("(save " + Quoted("system.clp") + ")"), "TRUE");

  const std::string NL = "\r\n";
  const std::string Stars = "; *************************";
  std::string Templates;
  for (const char* Name : {"Initial-Fact", "__NOT-OR-TEST-CE*", "person", "employee"})
    Templates += Engine->FindFactTemplate(Name)->GetToString() + NL;
  const std::string Expected =
      Stars + NL + "; Inference Engine v2.1000 Output" + NL + "; Created: <when>" + NL +
      "; Number of Global Variables: 1" + NL + "; Number of Defined Types:    0" + NL +
      "; Number of Fact Templates:   4" + NL + "; Number of Rules:            2" + NL +
      "; Number of Fact Sets:        1" + NL + "; Number of Facts:            2" + NL +
      "(set-fact-duplication FALSE)" + NL +
      // The functions come before the globals, whose initial values may call them.
      NL + Stars + NL + "; Deffunctions " + NL +                                             //
      NL + Stars + NL + "; Global Variables " + NL + NL + "(defglobal ?*limit* = 3)" + NL +  //
      NL + Stars + NL + "; Fact Templates " + NL + NL + Templates +                          //
      NL + Stars + NL + "; Rules " + NL + NL + First->GetToString() + NL + NL + Second->GetToString() + NL +
      NL +                                                                    //
      NL + Stars + NL + "; Fact Sets " + NL + NL + Set->GetToString() + NL +  //
      NL + Stars + NL + "; Facts " + NL + NL + "(assert" + NL + "    (Initial-Fact)" + NL +
      "    (person (name bob))" + NL + ")" + NL;
  const std::string Saved = ReadFile("system.clp");
  // The date line: "; Created: YYYY-MM-DD hh:mm:ss", checked by shape and then replaced.
  const size_t At = Saved.find("; Created: ");
  ASSERT_NE(At, std::string::npos);
  const size_t End = Saved.find('\r', At);
  ASSERT_NE(End, std::string::npos);
  const std::string When = Saved.substr(At + 11, End - At - 11);
  const std::string Shape = "dddd-dd-dd dd:dd:dd";
  ASSERT_EQ(When.size(), Shape.size()) << When;
  for (size_t I = 0; I < Shape.size(); ++I)
    EXPECT_TRUE(Shape[I] == 'd' ? std::isdigit(static_cast<unsigned char>(When[I])) != 0
                                : When[I] == Shape[I])
        << When;
  std::string Normalised = Saved;
  Normalised.replace(At, End - At, "; Created: <when>");
  EXPECT_EQ(Normalised, Expected);
}

TEST_F(Files, FailedSavesLeaveFilesAlone) {
  WriteFile("kept.clp", "old text");
  // Templates whose parents form a cycle cannot be written; the file is not touched.
  const IFactTemplate A = Template("a", {"x"});
  const IFactTemplate B = Template("b", {"x"});
  A->SetParent(B);
  B->SetParent(A);
  ExpectError([&] { Eval("(save " + Quoted("kept.clp") + ")"); },
              "Fact templates inheritance structure corrupted");
  A->SetParent(IFactTemplate());
  B->SetParent(IFactTemplate());
  EXPECT_EQ(ReadFile("kept.clp"), "old text");
  // A template name that cannot be read fails before the file is created.
  ExpectError([&] { Eval("(save-facts " + Quoted("kept.clp") + " a (assert (q)))"); },
              "Not a string type.  Value (<Fact-1>) is a dtFactId type");
  EXPECT_EQ(ReadFile("kept.clp"), "old text");
  const std::string Nowhere = Path("no/such/folder.clp");
  ExpectError([&] { Eval("(save \"" + Nowhere + "\")"); },
              "Cannot create file \"" + Nowhere + "\". No such file or directory");
  ExpectError([&] { Eval("(save-facts \"" + Nowhere + "\")"); },
              "Cannot create file \"" + Nowhere + "\". No such file or directory");
}

TEST_F(Files, LoadAndBatchRunFiles) {
  WriteFile("setup.clp", "; a comment\r\n(set-fact-duplication FALSE)\n(assert (a 1))\r(assert (a 1))\r\n");
  EXPECT_EQ(Show("(load " + Quoted("setup.clp") + ")"), "TRUE");
  EXPECT_EQ(Facts(), (Lines{"f-0 (Initial-Fact)", "f-1 (a 1)", "f-2 (a 1)"}));
  EXPECT_EQ(Output, "TRUE\r\n<Fact-1>\r\n<Fact-2>\r\n");
  // Batch input joins the lines of an expression until its parentheses close.
  WriteFile("input.bat", "(assert (b 1))\n(assert\n   (b \")\" 2))\n");
  EXPECT_EQ(Show("(batch " + Quoted("input.bat") + ")"), "TRUE");
  EXPECT_EQ(Facts().back(), "f-4 (b \")\" 2)");
  ExpectError([&] { Eval("(load " + Quoted("missing.clp") + ")"); },
              "Cannot open file \"" + Path("missing.clp") + "\". No such file or directory");
  ExpectError([&] { Eval("(batch " + Quoted("missing.clp") + ")"); },
              "Cannot open file \"" + Path("missing.clp") + "\". No such file or directory");

  // exit in a loaded file ends the load (and what loaded it) there.
  WriteFile("quit.clp", "(assert (c 1)) (exit) (assert (c 2))");
  WriteFile("outer.clp", "(load " + Quoted("quit.clp") + ") (assert (c 3))");
  EXPECT_THROW(Eval("(load " + Quoted("outer.clp") + ")"), EIEExit);
  EXPECT_EQ(Facts().back(), "f-5 (c 1)");
}

TEST_F(Files, FilesLoadingThemselvesStop) {
  WriteFile("self.clp", "(assert (depth))\n(load " + Quoted("self.clp") + ")\n");
  WriteFile("self.bat", "(batch " + Quoted("self.bat") + ")\n");
  ExpectError([&] { Eval("(load " + Quoted("self.clp") + ")"); },
              "Maximum nesting depth of 32 exceeded in load");
  ExpectError([&] { Eval("(batch " + Quoted("self.bat") + ")"); },
              "Maximum nesting depth of 32 exceeded in batch");
  // The depth is counted back: the engine loads files again.
  WriteFile("one.clp", "(assert (one))");
  EXPECT_EQ(Show("(load " + Quoted("one.clp") + ")"), "TRUE");
  EXPECT_EQ(Facts().back(), "f-2 (one)");
}

}  // namespace
