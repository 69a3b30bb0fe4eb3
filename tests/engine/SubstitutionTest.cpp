// What a host can substitute in an engine: the parser class (a small descendant whose printer writes facts
// in another syntax), the tokenizer class, the parse events the engine publishes, and the owned objects
// CreateIEObject makes.
#include <gtest/gtest.h>

#include "../EngineProbes.h"
#include "../TestValues.h"

#include <memory>
#include <string>
#include <vector>

#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/engine/FactSet.h"
#include "rulecraft/engine/InferenceEngine.h"
#include "rulecraft/parser/ClipsParser.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

/// Reads the rule language, writes facts as "template{slot=value;...}".
class TBraceParser : public TIEClipsParser {
 public:
  using TIEClipsParser::PrettyPrint;
  using TIEClipsParser::TIEClipsParser;
  std::string PrettyPrint(const TFact& Fact) override {
    std::string Text = Fact.GetTemplate()->GetTemplateName() + "{";
    const std::vector<std::string> Names = Fact.GetSlotNames();
    const std::vector<IIEValue> Values = Fact.GetSlotValues();
    for (size_t I = 0; I < Names.size(); ++I) Text += Names[I] + "=" + Values[I]->GetToString() + ";";
    return Text + "}";
  }
};

std::unique_ptr<TEngineParser> MakeBraceParser(TInferenceEngine* Engine) {
  return std::make_unique<TBraceParser>(Engine);
}

/// The rule-language lexer, counting the tokens it hands out.
class TCountingStream : public TIEClipsStream {
  RC_CLASS(TCountingStream, TIEClipsStream)
 public:
  using TIEClipsStream::TIEClipsStream;
  static inline int Tokens = 0;
  IStreamToken NextToken() override {
    ++Tokens;
    return TIEClipsStream::NextToken();
  }
};

std::unique_ptr<TGTextStream> MakeCountingStream(const std::string& Text) {
  return std::make_unique<TCountingStream>(Text);
}

std::unique_ptr<TGTextStream> MakePlainStream(const std::string& Text) {
  return std::make_unique<TGTextStream>(Text);
}

}  // namespace

TEST(ParserType, ADescendantParserWritesItsSyntaxAndKeepsTheEventsAndSettings) {
  TQuietEngine E;
  std::vector<std::string> Heard;
  TEngineParser* First = &E.Engine.GetParser();
  E.Engine.GetParseEvents().OnParseRule = [&](TObject* Sender, TRule* Rule) {
    Heard.push_back(
        "rule " + Rule->GetRuleName() +
        (Sender == dynamic_cast<TObject*>(&E.Engine.GetParser()) ? " from the parser" : " from elsewhere"));
  };
  E.Engine.GetParseEvents().OnParse = [&](TObject*, TParsedType Kind, TObject*, const IIEValue&) {
    Heard.push_back(std::string(TParsedTypeInfo().Name(Kind)));
  };
  E.Engine.SetParserMaxErrors(3);
  E.Engine.SetTokenizerType(&MakeCountingStream);
  const IIEValue Points = E.Engine.ParseValue("((1 0) (2 1))");  // read by the first parser

  E.Engine.SetParserType(nullptr);  // nothing
  E.Engine.SetParserType(E.Engine.GetParserType());
  EXPECT_EQ(&E.Engine.GetParser(), First);
  E.Engine.SetParserType(&MakeBraceParser);
  EXPECT_EQ(E.Engine.GetParserType(), &MakeBraceParser);
  ASSERT_NE(dynamic_cast<TBraceParser*>(&E.Engine.GetParser()), nullptr);
  auto& Brace = dynamic_cast<TBraceParser&>(E.Engine.GetParser());
  EXPECT_EQ(Brace.GetMaxErrors(), 3);
  EXPECT_EQ(Brace.GetTokenizerType(), &MakeCountingStream);
  EXPECT_EQ(Points->GetToString(), "((1 0) (2 1))");  // the parser that read it is kept

  E.Engine.Parse(
      "(deftemplate point (slot x) (slot y)) (defrule show (point (x ?x)) => (printout t ?x crlf))"
      "(assert (point (x 1) (y 2)))",
      true);
  // A construct's expression reports no kind (its result is nil); the end of the text is reported too.
  EXPECT_EQ(Heard, (std::vector<std::string>{"ptNone", "rule show from the parser", "ptNone", "ptFunCall",
                                             "ptEOF"}));
  // Everything the engine prints of a fact goes through the new printer: texts, listings and saves.
  EXPECT_EQ(E.Engine.GetFacts().Get(1)->GetToString(), "point{x=1;y=2;}");
  E.Output.clear();
  E.Engine.Parse("(facts)", true);
  EXPECT_NE(E.Output.find("f-1 point{x=1;y=2;}\r\n"), std::string::npos) << E.Output;
  EXPECT_NE(E.Engine.GetExpertSystem().find("    point{x=1;y=2;}\r\n"), std::string::npos);
  // The rest is still the rule language.
  EXPECT_EQ(E.Engine.GetFactTemplates().Get("point")->GetToString(),
            "(deftemplate point\r\n    (slot x)\r\n    (slot y)\r\n)");
}

TEST(ParserType, TheTokenizerClassReadsEveryTextAndMustBeALexerOfTheParser) {
  TQuietEngine E;
  E.Engine.SetTokenizerType(&MakeCountingStream);
  EXPECT_EQ(E.Engine.GetTokenizerType(), &MakeCountingStream);
  TCountingStream::Tokens = 0;
  E.Engine.Parse("(assert (a 1))", true);
  EXPECT_EQ(E.Engine.Assert("(b 2)"), 2);
  EXPECT_GE(TCountingStream::Tokens, 10);
  // A text stream that is no lexer of this parser is refused, and the class in use stays.
  ExpectError<EIEException>([&] { E.Engine.SetTokenizerType(&MakePlainStream); },
                            "A TGTextStream is not a tokenizer this parser reads from");
  EXPECT_EQ(E.Engine.GetTokenizerType(), &MakeCountingStream);
  E.Engine.SetTokenizerType(nullptr);  // nothing
  EXPECT_EQ(E.Engine.GetTokenizerType(), &MakeCountingStream);
  // A copy reads with the same class.
  TQuietEngine Copy;
  Copy.Engine.Assign(&E.Engine);
  EXPECT_EQ(Copy.Engine.GetTokenizerType(), &MakeCountingStream);
  EXPECT_EQ(Copy.Engine.GetFacts().Count(), 3);
}

TEST(ParserType, TheParserCannotBeReplacedWhileItReads) {
  TQuietEngine E;
  E.Engine.GetParseEvents().OnParseFactTemplate = [&](TObject*, const IFactTemplate&) {
    E.Engine.SetParserType(&MakeBraceParser);
  };
  ExpectError<EIEException>([&] { E.Engine.Parse("(deftemplate a (slot b))", true); },
                            "The parser cannot be replaced while it reads");
  EXPECT_EQ(dynamic_cast<TBraceParser*>(&E.Engine.GetParser()), nullptr);
  // Outside a read it can.
  E.Engine.GetParseEvents().OnParseFactTemplate = nullptr;
  E.Engine.SetParserType(&MakeBraceParser);
  EXPECT_NE(dynamic_cast<TBraceParser*>(&E.Engine.GetParser()), nullptr);
}

// ---- CreateIEObject
// -------------------------------------------------------------------------------------------

namespace {

class TCountedFacts : public TFacts {
  RC_CLASS(TCountedFacts, TFacts)
 public:
  using TFacts::TFacts;
};

class TCountedEngine : public TInferenceEngine {
 public:
  TCountedEngine() : TInferenceEngine(nullptr, &Objects) {}
  static TObject* Objects(TInferenceEngine& Engine, TIEObjectType Type) {
    return Type == otFacts ? new TCountedFacts(&Engine) : nullptr;
  }
};

class TWrongEngine : public TInferenceEngine {
 public:
  TWrongEngine() : TInferenceEngine(nullptr, &Objects) {}
  static TObject* Objects(TInferenceEngine& Engine, TIEObjectType Type) {
    return Type == otRules ? new TFactSets(&Engine) : nullptr;
  }
};

}  // namespace

TEST(CreateIEObject, MakesEachKindsClassAndADescendantSubstitutesItsOwn) {
  TQuietEngine E;
  const char* Classes[] = {"TIEAgenda",      "TEngineVariables", "TFacts",          "TFactSets",
                           "TFactTemplates", "TGlobalVariables", "TIEDefinedTypes", "TIOStreams",
                           "TRules",         "TUserFunctions",   "TReteNetwork"};
  for (int Kind = otAgenda; Kind <= otReteNetwork; ++Kind) {
    TObject* Made = E.Engine.CreateIEObject(static_cast<TIEObjectType>(Kind));
    ASSERT_NE(Made, nullptr);
    EXPECT_EQ(Made->ClassName(), Classes[Kind]);
    if (auto* Network = dynamic_cast<TComponent*>(Made))
      E.Engine.FreeComponent(Network);  // a component the engine owns
    else
      delete Made;
  }
  EXPECT_EQ(E.Engine.CreateIEObject(static_cast<TIEObjectType>(200)), nullptr);

  TCountedEngine Counted;
  EXPECT_EQ(Counted.GetFacts().ClassName(), "TCountedFacts");
  Counted.Parse("(assert (a 1))", true);
  EXPECT_EQ(Counted.GetFacts().Count(), 2);
  EXPECT_EQ(Counted.GetRules().ClassName(), "TRules");

  ExpectError<EIEException>([] { TWrongEngine Wrong; }, "CreateIEObject made a TFactSets for otRules");
}
