// The parser core through an engine: the top-level loop and its echo, values, lists, calls with their
// slot-function arguments, facts and implied templates, global-variable definitions, error messages with
// line numbers and shortening, collecting errors to the end, and input nested too deep.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../TestValues.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/engine/InferenceEngine.h"
#include "rulecraft/parser/ClipsParser.h"
#include "rulecraft/parser/ParseException.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

class TParserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Engine.OnPrintOut = [this](TObject*, const std::string&, const std::string& Text) { Output += Text; };
    Engine.AddUserFunction(MakeRef<TCountingFunction>(&Calls));
  }

  // (note ...): counts its calls and returns its first argument (nil without one).
  class TCountingFunction final : public TIEUserFunction {
   public:
    explicit TCountingFunction(int* Calls) : TIEUserFunction("note", 0, 2147483647), FCalls(Calls) {}

   protected:
    void Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) override {
      ++*FCalls;
      if (FunCall.GetArgumentCount() > 0) FunCall.GetArgument(0)->Resolve(Context, Result);
    }

   private:
    int* FCalls;
  };

  TIEClipsParser& Parser() { return static_cast<TIEClipsParser&>(Engine.GetParser()); }

  // The message of the parse error Text raises.
  std::string ErrorOf(const std::string& Text) {
    try {
      Engine.Parse(Text, true);
    } catch (const EIEParseException& E) {
      return E.Message();
    } catch (const Exception& E) {
      return "not a parse error: " + E.Message();
    }
    return "no error";
  }

  TInferenceEngine Engine;
  std::string Output;
  int Calls = 0;
};

}  // namespace

TEST_F(TParserTest, TopLevelValuesAndCallsAreEchoedNilResultsAreNot) {
  Engine.GetContext()->AddGlobalBinding("*g*", Int(7));
  Engine.Parse("1 2.5 abc ?*g* (note \"s\") (note) nil (+ 1 2)", true);
  EXPECT_EQ(Output, "1\r\n2.5000\r\nabc\r\n7\r\n\"s\"\r\n3\r\n");
  EXPECT_EQ(Calls, 2);
  // A string constant at the top level is an error; so is a stray punctuation token.
  EXPECT_EQ(ErrorOf("\"x\""),
            "Parsing Error, Unexpected symbol, expected a \"(\", constant, or global variable: \"x\" in "
            "ParseExpression at line 1: \"x\" ");
  // Parsing without execution builds the call and echoes its text.
  Output.clear();
  Engine.Parse("(note 1)", false);
  EXPECT_EQ(Calls, 2);
  EXPECT_EQ(Output, "(note 1)\r\n");
  // (EOF) ends the input: what follows is not read.
  Output.clear();
  Engine.Parse("1 (EOF) 2", true);
  EXPECT_EQ(Output, "1\r\n");
}

TEST_F(TParserTest, CallsReadFactsPairsSingletonsAndVariableNames) {
  IFunCall Assert = Engine.ParseFunCall("(assert (a 1) (b x y))");
  ASSERT_EQ(Assert->GetArgumentCount(), 2);
  EXPECT_EQ(Assert->GetArgument(0)->GetDType(), dtFact);
  EXPECT_EQ(Assert->GetArgument(1)->GetAsFact()->GetToString(), "(b x y)");
  // Implied ordered templates, values in "__Data".
  EXPECT_TRUE(Engine.FindFactTemplate("b"));
  IFunCall Modify = Engine.ParseFunCall("(modify ?f (x 1) (y a b))");
  ASSERT_EQ(Modify->GetArgumentCount(), 3);
  EXPECT_EQ(Modify->GetArgument(0)->GetDType(), dtVariable);
  EXPECT_EQ(Modify->GetArgument(1)->GetDType(), dtList);
  EXPECT_EQ(Modify->GetArgument(2)->GetAsList()->Get(1)->GetAsList()->GetValueCount(), 2);
  IFunCall Points = Engine.ParseFunCall("(f ((1 0) (2 1)))");
  EXPECT_EQ(Points->GetArgument(0)->GetDType(), dtSingletons);
  IFunCall Get = Engine.ParseFunCall("(?x 1)");
  EXPECT_EQ(Get->GetName(), "__get-var");
  EXPECT_EQ(Get->GetArgumentCount(), 2);
  // Punctuation becomes a one-character string; "=" names a function.
  IFunCall Marks = Engine.ParseFunCall("(g & | ~)");
  EXPECT_EQ(Marks->GetArgument(0)->GetToString(), "\"&\"");
  EXPECT_EQ(Engine.ParseFunCall("(= 1 1)")->GetName(), "=");
  // Comments before the call become its comment.
  EXPECT_EQ(Engine.ParseFunCall("; first\n(h)")->GetComment(), "; first");
}

TEST_F(TParserTest, FactsAndValuesFollowTheirSlots) {
  IFactTemplate Point = MakeRef<TFactTemplate>(&Engine, "point");
  Point->AddSlot("x", FCNil);
  Point->GetSlot("x")->SetSlotType(TIETypes{dtInteger});
  Point->AddMultiSlot("tags", FCNilList);
  Engine.GetFactTemplates().Put(Point);
  IFact Fact = Engine.ParseFact("(point (x 3) (tags a b))");
  EXPECT_EQ(Fact->GetToString(), "(point (tags a b) (x 3))");
  EXPECT_EQ(Engine.ParseFact("(point (x 2.0))")->GetValue("x")->GetDType(), dtInteger);
  EXPECT_THROW(Engine.ParseFact("(point (x abc))"), EIEParseException);
  EXPECT_THROW(Engine.ParseFact("(point (y 1))"), EIEParseException);
  EXPECT_EQ(Engine.ParseValue("a b c")->GetDType(), dtList);
  EXPECT_EQ(Engine.ParseValue("42")->GetAsInteger(), 42);
  EXPECT_FALSE(Engine.ParseValue(""));
  // Facts loaded from text are asserted.
  Engine.LoadFacts("(point (x 1)) (point (x 2))");
  EXPECT_EQ(Engine.GetFacts().Count(), 3);
  // A global-variable definition.
  std::string Name;
  Parser().OnParseVariable = [&](TObject*, const std::string& VarName, const IIEValue&) { Name = VarName; };
  TIEClipsStream Stream(std::string("?*limit* = 10"));
  Parser().SetStream(&Stream);
  EXPECT_EQ(Parser().ParseVariable(Name)->GetAsInteger(), 10);
  EXPECT_EQ(Name, "*limit*");
  TIEClipsStream Bad(std::string("?limit = 10"));
  Parser().SetStream(&Bad);
  EXPECT_THROW(Parser().ParseVariable(Name), EIEParseException);
  Parser().SetStream(nullptr);
}

TEST_F(TParserTest, ErrorsCarryTheLineAndAShortenedConstruct) {
  try {
    Engine.Parse("(note 1)\n\n(note (a", true);
    FAIL();
  } catch (const EIEParseException& E) {
    EXPECT_EQ(E.GetLineNumber(), 3);
    EXPECT_EQ(E.Message(),
              "Parsing Error, Unexpected end of stream in ParseFunCall at line 3: ( note ( a EOF ");
  }
  std::string Long = "(note";
  for (int I = 0; I < 100; ++I) Long += " abcd";
  Long += " ]";  // ends badly only after a long text
  const std::string Message = ErrorOf(Long);
  EXPECT_NE(Message.find("... \r\n"), std::string::npos) << Message;
  EXPECT_LT(Message.size(), 400u);
}

TEST_F(TParserTest, RaiseAllAtEndCollectsTheErrorsAndKeepsTheGoodExpressions) {
  Engine.SetParserErrorHandling(ehRaiseAllAtEnd);
  try {
    Engine.Parse("\"one\"\n(note 1)\n\"two\"\n(1 2)\n(note 2)", true);
    FAIL();
  } catch (const EIEParseException& E) {
    const std::string Message = E.Message();
    EXPECT_EQ(Message.rfind("Errors parsing stream:\r\n", 0), 0u) << Message;
    int Lines = 0;
    for (size_t At = Message.find("Parsing Error"); At != std::string::npos;
         At = Message.find("Parsing Error", At + 1))
      ++Lines;
    EXPECT_EQ(Lines, 3);
  }
  EXPECT_EQ(Calls, 2);  // both good calls ran
  // One error alone is raised with its own message.
  try {
    Engine.Parse("\"x\"", true);
    FAIL();
  } catch (const EIEParseException& E) {
    EXPECT_EQ(E.Message().rfind("Parsing Error, Unexpected symbol", 0), 0u);
  }
  // More errors than the maximum stop the parse.
  Engine.SetParserMaxErrors(2);
  Calls = 0;
  EXPECT_THROW(Engine.Parse("\"a\" \"b\" \"c\" \"d\" (note 1)", true), EIEParseException);
  EXPECT_EQ(Calls, 0);
}

TEST_F(TParserTest, DeepNestingIsAnErrorAndAReturnAtTopLevelEndsOnlyItsExpression) {
  std::string Deep;
  for (int I = 0; I < 100000; ++I) Deep += "(note ";
  Deep += std::string(100000, ')');
  const std::string Message = ErrorOf(Deep);
  EXPECT_NE(Message.find("Maximum nesting depth of 1000 exceeded"), std::string::npos)
      << Message.substr(0, 200);
  // The engine is fine afterwards.
  Output.clear();
  Engine.Parse("5", true);
  EXPECT_EQ(Output, "5\r\n");
  Engine.GetContext()->SetReturnValue(Int(1));
  Engine.Parse("(note 6)", true);
  EXPECT_FALSE(Engine.GetContext()->GetReturn());
}
