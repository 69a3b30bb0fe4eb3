// The lexer: every token kind, words at the edges of the number forms, strings and their errors, line
// counting over every mixture of line ends, whitespace and comments kept with tokens, reading ahead, the
// consumed text, nesting depth, put-back, recovery, and input that must not bring it down.
#include <gtest/gtest.h>

#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../TestStreams.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/parser/ClipsStream.h"
#include "rulecraft/parser/ParseException.h"

using namespace rulecraft;
using rulecraft::testing::TTrickleBuf;

namespace {

// Numbers symbols as an engine does: the prefix and a counter.
class TSymbolEngine final : public ISymbolGenerator {
 public:
  std::string GenerateSymbol(const std::string& Prefix) override { return Prefix + std::to_string(Next++); }
  int Next = 7;
};

// Opens the lexer's overridable steps to the tests.
class TProbeStream final : public TIEClipsStream {
 public:
  using TIEClipsStream::FinishToken;
  using TIEClipsStream::TIEClipsStream;
};

// Every token up to and including the first end-of-input token.
std::vector<IStreamToken> Lex(TIEClipsStream& S) {
  std::vector<IStreamToken> Out;
  for (;;) {
    Out.push_back(S.NextToken());
    if (Out.back()->GetDataType() == dtNone) return Out;
  }
}

std::vector<IStreamToken> Lex(const std::string& Text) {
  TIEClipsStream S(Text);
  return Lex(S);
}

// The tokens' text forms joined by blanks, end of input left out.
std::string Forms(const std::vector<IStreamToken>& Tokens) {
  std::string Out;
  for (const auto& T : Tokens) {
    if (T->GetDataType() == dtNone) break;
    if (!Out.empty()) Out += ' ';
    Out += T->GetToString();
  }
  return Out;
}

std::vector<int32_t> LinesOf(const std::vector<IStreamToken>& Tokens) {
  std::vector<int32_t> Out;
  for (const auto& T : Tokens) Out.push_back(T->GetLineNumber());
  return Out;
}

template <class F>
void ExpectParseError(F Body, const std::string& Message, int32_t Line) {
  try {
    Body();
    ADD_FAILURE() << "expected error: " << Message;
  } catch (const EIEParseException& E) {
    EXPECT_EQ(E.Message(), Message);
    EXPECT_EQ(E.GetLineNumber(), Line);
  }
}

// One letter per token: a atom, s string, i integer, f float, v variable, m multifield variable, and the
// punctuation's own character.
std::string Kinds(const std::vector<IStreamToken>& Tokens) {
  std::string Out;
  for (const auto& T : Tokens) {
    const int32_t Type = T->GetDataType();
    const char* Letter = Type == dtAtom            ? "a"
                         : Type == dtString        ? "s"
                         : Type == dtInteger       ? "i"
                         : Type == dtFloat         ? "f"
                         : Type == dtVariable      ? "v"
                         : Type == dtMultiVariable ? "m"
                         : Type == dtNone          ? ""
                                                   : nullptr;
    Out += Letter ? std::string(Letter) : std::string(1, static_cast<char>(Type));
  }
  return Out;
}

TEST(ClipsStreamTest, EveryTokenKind) {
  auto T = Lex("(atom \"str\" 12 ?v 1.5 $?m & = [ ] | ~ )");
  EXPECT_EQ(Kinds(T), "(asivfm&=[]|~)");
  EXPECT_EQ(T.back()->GetDataType(), dtNone);
  EXPECT_EQ(Forms(T), "( atom \"str\" 12 ?v 1.5000 $?m & = [ ] | ~ )");
  // Words keep their text (variables without their marks), numbers keep none, punctuation its character.
  std::string Texts;
  for (const auto& Token : T) Texts += "[" + Token->GetText() + "]";
  EXPECT_EQ(Texts, "[(][atom][str][][v][][m][&][=][[][]][|][~][)][EOF]");
  EXPECT_EQ(T[3]->GetNumber(), 12);
  EXPECT_EQ(T[5]->GetNumber(), 1.5);
  EXPECT_EQ(T[1]->GetNumber(), 0);
}

TEST(ClipsStreamTest, WordsAtTheEdgesOfTheNumberForms) {
  // Integers: an optional sign and digits within 32 bits; beyond that range a float. Floats: digits with
  // an optional fraction and exponent, finite (underflow reads as zero, overflow is no number). An escaped
  // blank belongs to the word, and no number holds a blank. A backslash first is an ordinary character.
  auto T = Lex(
      "- + . -5 +7 007 -0 2147483647 -2147483648 2147483648 -2147483649 99999999999999999999 1e3 1E+2 .5 5. "
      "-.5e-1 1e-999 1e999 1.2.3 -x 1e +-1 12abc 0x10 $10 inf -nan 1\\ 2 $x \\x");
  EXPECT_EQ(Kinds(T), "aaaiiiiiifffffffffaaaaaaaaaaaaa");
  EXPECT_EQ(
      Forms(T),
      "- + . -5 7 7 0 2147483647 -2147483648 2147483648.0000 -2147483649.0000 "
      "100000000000000000000.0000 1000.0000 100.0000 0.5000 5.0000 -0.0500 0.0000 1e999 1.2.3 -x 1e +-1 "
      "12abc 0x10 $10 inf -nan 1 2 $x \\x");
  EXPECT_EQ(T[9]->GetNumber(), 2147483648.0);
  EXPECT_EQ(T[11]->GetNumber(), 1e20);
  EXPECT_EQ(Forms(Lex("\\(x")), "\\ ( x");  // a backslash first escapes nothing
}

TEST(ClipsStreamTest, WhereWordsEnd) {
  EXPECT_EQ(Forms(Lex("(a=>b)")), "( a=>b )");
  EXPECT_EQ(Forms(Lex("?x<y")), "?x <y");
  EXPECT_EQ(Forms(Lex("a<b<c")), "a <b <c");
  EXPECT_EQ(Forms(Lex("a&b|c~d[e]f(g)h")), "a & b | c ~ d [ e ] f ( g ) h");
  EXPECT_EQ(Forms(Lex("a\"s\"b")), "a \"s\" b");
  EXPECT_EQ(Forms(Lex("a;comment\nb")), "a b");
  EXPECT_EQ(Forms(Lex("a\\(b\\;c\\\\d")), "a(b;c\\d");  // escaped terminators stay in the word
  EXPECT_EQ(Forms(Lex("ab\\")), "ab");                  // a backslash at the end of input ends the word

  // No arrow token: "=" then the atom ">".
  EXPECT_EQ(Kinds(Lex("=> = >x =5")), "=a=a=i");
  EXPECT_EQ(Forms(Lex("=> = >x =5")), "= > = >x = 5");
}

TEST(ClipsStreamTest, AnonymousVariablesGetFreshSymbols) {
  TIEClipsStream S(std::string("(? $? ?x $?y ?)"));
  TSymbolEngine Engine;
  S.SetEngine(&Engine);
  EXPECT_EQ(S.GetEngine(), &Engine);
  auto T = Lex(S);
  EXPECT_EQ(Forms(T), "( ?_blank_7 $?_blank_$8 ?x $?y ?_blank_9 )");
  EXPECT_EQ(Kinds(T), "(vmvmv)");

  // Without an engine the lexer still keeps them apart.
  auto Alone = Lex("? ? $? $?");
  EXPECT_EQ(Alone[0]->GetText().rfind("_blank_", 0), 0u);
  EXPECT_NE(Alone[0]->GetText(), Alone[1]->GetText());
  EXPECT_EQ(Alone[2]->GetText().rfind("_blank_$", 0), 0u);
  EXPECT_NE(Alone[2]->GetText(), Alone[3]->GetText());
}

TEST(ClipsStreamTest, StringsAndTheirEscapes) {
  auto Text = [](const std::string& Source) { return Lex(Source)[0]->GetText(); };
  EXPECT_EQ(Text("\"a\\\"b\""), "a\"b");
  EXPECT_EQ(Text("\"a\\\\b\""), "a\\b");
  EXPECT_EQ(Text("\"a\\nb\""), "anb");  // no other escapes: the backslash just takes the next character
  EXPECT_EQ(Text("\"\""), "");
  EXPECT_EQ(Text("\"x\r\ny\n\""), "x\r\ny\n");
  EXPECT_EQ(Text("\"(; not a comment)\""), "(; not a comment)");
  auto T = Lex("\"\"\"a b\"");  // strings end words and each other
  EXPECT_EQ(Forms(T), "\"\" \"a b\"");
  // The text form reads back as the same string.
  EXPECT_EQ(Lex("\"q\\\"\\\\\"")[0]->GetToString(), "\"q\\\"\\\\\"");
  EXPECT_EQ(Lex(Lex("\"q\\\"\\\\\"")[0]->GetToString())[0]->GetText(), "q\"\\");

  TIEClipsStream R(std::string("abc\" rest"));
  EXPECT_EQ(R.ReadString(">"), ">abc");
  EXPECT_EQ(R.NextToken()->GetText(), "rest");
}

TEST(ClipsStreamTest, UnterminatedStrings) {
  const std::string Message = "Invalid string value, string was not terminated";
  EXPECT_EQ(Message, SUnterminatedString);
  for (const std::string Source : {"(a \"open", "\"", "\"ends in escape\\", "x\n\"\r\nstill open\\\""}) {
    SCOPED_TRACE(Source);
    TIEClipsStream S(Source);
    const int32_t Line = Source[0] == 'x' ? 3 : 1;
    ExpectParseError([&] { Lex(S); }, Message, Line);
    // The lexer is still usable: only end-of-input tokens remain.
    EXPECT_EQ(S.NextToken()->GetDataType(), dtNone);
    EXPECT_EQ(S.NextToken()->GetDataType(), dtNone);
  }
  // A string after a complete S-expression spoils nothing before it.
  TIEClipsStream S(std::string("(ok) \"bad"));
  EXPECT_EQ(Forms({S.NextToken(), S.NextToken(), S.NextToken()}), "( ok )");
  ExpectParseError([&] { S.NextToken(); }, Message, 1);
}

TEST(ClipsStreamTest, EveryLineEndCountsOneLine) {
  EXPECT_EQ(LinesOf(Lex("a\nb\rc\r\nd")), (std::vector<int32_t>{1, 2, 3, 4, 4}));
  EXPECT_EQ(LinesOf(Lex("a\n\rb")), (std::vector<int32_t>{1, 3, 3}));  // LF then CR: two line ends
  EXPECT_EQ(LinesOf(Lex("a\r\n\nb")), (std::vector<int32_t>{1, 3, 3}));
  EXPECT_EQ(LinesOf(Lex("\r\n\r\n  x")), (std::vector<int32_t>{3, 3}));
  EXPECT_EQ(LinesOf(Lex("a\r \nb")),
            (std::vector<int32_t>{1, 3, 3}));  // a blank between CR and LF parts them
  // A word ended by a line end keeps the line it stands on, whichever line end it is.
  EXPECT_EQ(LinesOf(Lex("w\nx\ry\r\nz")), (std::vector<int32_t>{1, 2, 3, 4, 4}));
  // Punctuation and strings right before line ends.
  EXPECT_EQ(LinesOf(Lex("(\r\n)\r\"s\"\n=")), (std::vector<int32_t>{1, 2, 3, 4, 4}));
  // A string is finished on the line of its closing quote; its CR LF counts once.
  EXPECT_EQ(LinesOf(Lex("\"x\r\ny\" z\r\"\n\r\n\" w")), (std::vector<int32_t>{2, 2, 5, 5, 5}));
  // Comments end their lines however they end.
  EXPECT_EQ(LinesOf(Lex("; one\r\n;two\r;three\n a")), (std::vector<int32_t>{4, 4}));
  EXPECT_EQ(LinesOf(Lex("a ; tail\r\nb")), (std::vector<int32_t>{1, 2, 2}));
  // An escaped line end belongs to the word and still ends a line.
  auto Escaped = Lex("a\\\r\nb c");
  EXPECT_EQ(Escaped[0]->GetText(), "a\r");  // the CR was escaped into the word, the LF ends it
  EXPECT_EQ(LinesOf(Escaped), (std::vector<int32_t>{2, 2, 2, 2}));

  TIEClipsStream S(std::string("a\nb"));
  S.SetLineNumber(10);
  EXPECT_EQ(LinesOf(Lex(S)), (std::vector<int32_t>{10, 11, 11}));
  EXPECT_EQ(S.GetLineNumber(), 11);
}

TEST(ClipsStreamTest, WhitespaceAndCommentsStayWithTheNextToken) {
  auto T = Lex("  ; note\n\t(a b)\r\n; end\r\n");
  ASSERT_EQ(T.size(), 5u);
  EXPECT_EQ(T[0]->GetWhitespace(), "  ; note\r\n\t");  // the comment's own line end is written CR LF
  EXPECT_EQ(T[1]->GetWhitespace(), " ");               // the blank that ended the word
  EXPECT_EQ(T[2]->GetWhitespace(), "");                // ended by ")", which is put back
  EXPECT_EQ(T[3]->GetWhitespace(), "");
  EXPECT_EQ(T[4]->GetWhitespace(), "\r\n; end\r\n");
  EXPECT_EQ(T[4]->GetLineNumber(), 4);

  auto Word = Lex("x\r\ny");
  EXPECT_EQ(Word[0]->GetWhitespace(), "\r");  // just the character that ended it
  EXPECT_EQ(Word[1]->GetWhitespace(), "\n");
  auto Last = Lex("x ;no line end");
  EXPECT_EQ(Last[1]->GetWhitespace(), ";no line end");
  EXPECT_EQ(Last[1]->GetLineNumber(), 1);
}

TEST(ClipsStreamTest, ConsumedTextFollowsTheCurrentSExpression) {
  TIEClipsStream S(std::string("(deftemplate person\n  (slot \"age\" 1.5)) (b)"));
  for (int I = 0; I < 9; ++I) S.NextToken();
  EXPECT_EQ(S.GetToString(), "( deftemplate person \r\n( slot \"age\" 1.5000 ) ) ");
  EXPECT_EQ(S.GetNestingDepth(), 0);
  EXPECT_EQ(S.NextToken()->GetDataType(), tkOpenParen);
  EXPECT_EQ(S.GetToString(), "( ");  // reading the next S-expression ahead started it afresh
  EXPECT_EQ(S.GetPendingCount(), 2);
  S.Clear();
  EXPECT_EQ(S.GetToString(), "");
  EXPECT_EQ(S.GetPendingCount(), 0);
  EXPECT_EQ(S.GetNestingDepth(), 1);  // clearing keeps the depth and the line counter
  EXPECT_EQ(S.GetLineNumber(), 2);
  EXPECT_EQ(S.NextToken()->GetDataType(), dtNone);
}

TEST(ClipsStreamTest, PutBackUndoesTakingTokens) {
  TIEClipsStream S(std::string("(a (b) c)"));
  IStreamToken Open = S.NextToken();
  IStreamToken A = S.NextToken();
  IStreamToken Inner = S.NextToken();
  EXPECT_EQ(S.GetNestingDepth(), 2);
  EXPECT_EQ(S.GetToString(), "( a ( ");
  S.PutBackToken(Inner);
  S.PutBackToken(A);
  EXPECT_EQ(S.GetCurrentToken(), A);
  EXPECT_EQ(S.GetNestingDepth(), 1);
  EXPECT_EQ(S.GetToString(), "( ");
  S.PutBackToken(Open);
  EXPECT_EQ(S.GetNestingDepth(), 0);
  EXPECT_EQ(S.GetToString(), "");
  // The same tokens come out again, in order, and the consumed text is as if nothing happened.
  EXPECT_EQ(S.NextToken(), Open);
  EXPECT_EQ(S.NextToken(), A);
  EXPECT_EQ(S.NextToken(), Inner);
  EXPECT_EQ(S.GetToString(), "( a ( ");
  EXPECT_EQ(Forms({S.NextToken(), S.NextToken()}), "b )");
  S.PutBackToken(S.GetCurrentToken());  // ")" opens again
  EXPECT_EQ(S.GetNestingDepth(), 2);
  EXPECT_EQ(S.GetToString(), "( a ( b ");

  // Put back across a line break: the break goes with it.
  TIEClipsStream Lines(std::string("(a\nb)"));
  Lines.NextToken();
  Lines.NextToken();
  IStreamToken OnLine2 = Lines.NextToken();
  EXPECT_EQ(Lines.GetToString(), "( a \r\nb ");
  Lines.PutBackToken(OnLine2);
  EXPECT_EQ(Lines.GetToString(), "( a ");
  Lines.PutBackToken(nullptr);  // nothing to put back
  EXPECT_EQ(Lines.NextToken(), OnLine2);
}

TEST(ClipsStreamTest, HeadLooksAtTheNextSExpression) {
  TIEClipsStream S(std::string("(defrule r (a) => (b)) (= 1 2) (?x) (\"s\") (1) () abc ("));
  EXPECT_EQ(S.Head(), "defrule");
  EXPECT_EQ(S.GetNestingDepth(), 0);
  EXPECT_EQ(S.GetToString(), "");
  EXPECT_EQ(S.NextToken()->GetDataType(), tkOpenParen);  // nothing was taken
  EXPECT_EQ(S.Head(), "");                               // not before "(": "defrule" stays taken
  EXPECT_EQ(S.GetCurrentToken()->GetText(), "defrule");
  S.MoveToNextConstruct();
  EXPECT_EQ(S.Head(), "=");
  S.NextToken();
  S.MoveToNextConstruct();
  EXPECT_EQ(S.Head(), "x");
  S.NextToken();
  S.MoveToNextConstruct();
  for (const char* Expected : {"", "", ""}) {  // a string, a number and ")" name nothing
    EXPECT_EQ(S.Head(), Expected);
    EXPECT_EQ(S.NextToken()->GetDataType(), tkOpenParen);
    S.MoveToNextConstruct();
  }
  EXPECT_EQ(S.Head(), "");  // a word alone: taken
  EXPECT_EQ(S.GetCurrentToken()->GetText(), "abc");
  EXPECT_EQ(S.Head(), "");  // "(" and then only the end of input
  EXPECT_EQ(S.NextToken()->GetDataType(), tkOpenParen);
  EXPECT_EQ(S.NextToken()->GetDataType(), dtNone);
}

TEST(ClipsStreamTest, MoveToNextConstructRecoversAfterGarbage) {
  TIEClipsStream S(std::string("(foo (bar ] ] \"x\" 12 ~ & = |\n (baz))) junk) (deffacts ok)"));
  EXPECT_EQ(S.NextToken()->GetText(), "(");
  EXPECT_EQ(S.NextToken()->GetText(), "foo");
  EXPECT_EQ(S.NextToken()->GetText(), "(");
  EXPECT_EQ(S.GetNestingDepth(), 2);
  S.MoveToNextConstruct();
  EXPECT_EQ(S.GetNestingDepth(), 0);
  EXPECT_EQ(S.GetCurrentToken()->GetDataType(), tkCloseParen);
  // The stray word and ")" after the construct are taken one by one; depth 0 means nothing to skip.
  EXPECT_EQ(S.NextToken()->GetText(), "junk");
  S.MoveToNextConstruct();
  EXPECT_EQ(S.GetCurrentToken()->GetText(), "junk");
  EXPECT_EQ(S.NextToken()->GetDataType(), tkCloseParen);
  EXPECT_EQ(S.GetNestingDepth(), -1);
  S.MoveToNextConstruct();
  EXPECT_EQ(S.Head(), "deffacts");

  // An unbalanced construct: recovery stops at the end of the input.
  TIEClipsStream Open(std::string("(a (b (c"));
  Open.NextToken();
  Open.NextToken();
  Open.NextToken();
  Open.MoveToNextConstruct();
  EXPECT_EQ(Open.GetCurrentToken()->GetDataType(), dtNone);
  EXPECT_EQ(Open.GetNestingDepth(), 3);
  EXPECT_EQ(Open.NextToken()->GetDataType(), dtNone);
}

TEST(ClipsStreamTest, EndOfInputForEver) {
  TIEClipsStream S(std::string("  \r\n "));
  EXPECT_EQ(S.GetCurrentToken()->GetText(), "EOF");  // read on demand
  for (int I = 0; I < 3; ++I) {
    S.MoveToNextConstruct();
    S.DiscardUntilEOL();
    EXPECT_EQ(S.Head(), "");
    EXPECT_EQ(S.GetCurrentToken()->GetText(), "EOF");
    EXPECT_EQ(S.GetCurrentToken()->GetLineNumber(), 2);
  }
  EXPECT_EQ(S.GetToString(), "EOF ");
}

TEST(ClipsStreamTest, DiscardUntilEOLDropsTheRestOfTheTokensLine) {
  TIEClipsStream S(std::string("abc def ghi\nxyz\r\nuvw\n(p q) r\rs"));
  EXPECT_EQ(S.NextToken()->GetText(), "abc");
  S.DiscardUntilEOL();
  IStreamToken X = S.NextToken();
  EXPECT_EQ(X->GetText(), "xyz");
  EXPECT_EQ(X->GetLineNumber(), 2);
  EXPECT_EQ(X->GetWhitespace(), "def ghi\r\n\r");  // the blank after "abc" went with "abc"
  S.DiscardUntilEOL();                             // "xyz" ended its line already: "uvw" is not lost
  IStreamToken U = S.NextToken();
  EXPECT_EQ(U->GetText(), "uvw");
  EXPECT_EQ(U->GetLineNumber(), 3);
  EXPECT_EQ(S.NextToken()->GetText(), "(");
  S.DiscardUntilEOL();  // the S-expression was read ahead; " r" goes
  EXPECT_EQ(Forms({S.NextToken(), S.NextToken(), S.NextToken()}), "p q )");
  IStreamToken Last = S.NextToken();
  EXPECT_EQ(Last->GetText(), "s");
  EXPECT_EQ(Last->GetLineNumber(), 5);
}

TEST(ClipsStreamTest, FinishTokenHints) {
  TProbeStream S{std::string()};
  EXPECT_EQ(Kinds({S.FinishToken(TIEClipsStream::EndOfInputHint, "12"),  // a word ended by the end of input
                   S.FinishToken(TIEClipsStream::StringHint, "12"), S.FinishToken(tkBar, "|"),
                   S.FinishToken(TIEClipsStream::WordHint, "")}),
            "is|a");
  EXPECT_EQ(S.FinishToken(TIEClipsStream::EndOfInputHint, "")->GetText(), "EOF");
  for (int32_t Hint : {1, 5, 39, 42, 60, 123, -2, 1000}) {
    SCOPED_TRACE(Hint);
    ExpectParseError([&] { S.FinishToken(Hint, "x"); },
                     "Invalid Token hint for parsing token: " + std::to_string(Hint), 1);
  }
}

TEST(ClipsStreamTest, StreamsAndFilesGiveTheSameTokens) {
  const std::string Source = "(deffacts f ; facts\r\n  (a \"x\\\"y\" -1.5e2 ?v)\r\n  (b<c))\r\n";
  const std::string Expected = Forms(Lex(Source));
  EXPECT_EQ(Expected, "( deffacts f ( a \"x\\\"y\" -150.0000 ?v ) ( b <c ) )");

  TTrickleBuf Buf(Source);
  std::istream In(&Buf);
  TIEClipsStream Trickle(In);
  auto T = Lex(Trickle);
  EXPECT_EQ(Forms(T), Expected);
  EXPECT_EQ(LinesOf(T), LinesOf(Lex(Source)));

  const auto Dir = std::filesystem::temp_directory_path() / ("rulecraft_lexer_" + std::to_string(::getpid()));
  std::filesystem::create_directories(Dir);
  const std::string Name = (Dir / "rules.clp").string();
  {
    std::ofstream Out(Name, std::ios::binary);
    Out << Source;
  }
  {
    TIEClipsStream File(Name, fmOpenRead);
    EXPECT_EQ(Forms(Lex(File)), Expected);
  }
  std::filesystem::remove_all(Dir);
}

TEST(ClipsStreamTest, DeepNestingNeverExhaustsTheStack) {
  const int Depth = 100000;
  std::string Source(Depth, '(');
  Source += "x";
  Source += std::string(Depth, ')');
  Source += " (next)";
  TIEClipsStream S(Source);
  EXPECT_EQ(S.Head(), "");  // the second token is "(" again
  for (int I = 0; I < Depth; ++I) S.NextToken();
  EXPECT_EQ(S.GetNestingDepth(), Depth);
  EXPECT_EQ(S.GetPendingCount(), Depth + 1);
  EXPECT_EQ(S.NextToken()->GetText(), "x");
  S.MoveToNextConstruct();
  EXPECT_EQ(S.GetNestingDepth(), 0);
  EXPECT_EQ(S.Head(), "next");

  // Never closed: the read-ahead ends at the end of the input, recovery too.
  TIEClipsStream Open(std::string(Depth, '('));
  Open.NextToken();
  EXPECT_EQ(Open.GetPendingCount(), Depth);  // the other "(" and the end of input
  Open.MoveToNextConstruct();
  EXPECT_EQ(Open.GetNestingDepth(), Depth);
  EXPECT_EQ(Open.GetCurrentToken()->GetDataType(), dtNone);

  // Many closing parentheses each make an S-expression of their own.
  TIEClipsStream Close(std::string(Depth, ')'));
  EXPECT_EQ(Lex(Close).size(), static_cast<size_t>(Depth + 1));
  EXPECT_EQ(Close.GetNestingDepth(), -Depth);
}

TEST(ClipsStreamTest, ArbitraryBytesAlwaysBecomeTokens) {
  // Every byte value next to a word, between others; quotes open and close strings across the text,
  // semicolons start comments. Whatever comes of it, the lexer reaches the end of the input.
  std::string Source;
  for (int C = 0; C < 256; ++C) {
    Source += static_cast<char>(C);
    Source += "a\\";
    Source += static_cast<char>(255 - C);
  }
  for (const std::string& Text : {Source, Source + "\"", Source + "\\"}) {
    TIEClipsStream S(Text);
    int Tokens = 0;
    for (;;) {
      ASSERT_LT(++Tokens, 10000);
      try {
        if (S.NextToken()->GetDataType() == dtNone) break;
      } catch (const EIEParseException& E) {
        EXPECT_EQ(E.Message(), SUnterminatedString);
      }
    }
    EXPECT_GT(Tokens, 10);
  }
}

}  // namespace
