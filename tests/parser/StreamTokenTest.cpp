// Tokens: their text forms, the values made from them (shared constants, variables looked up in a context),
// mirroring a value, copying and comparing.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "../TestValues.h"
#include "rulecraft/core/Binding.h"
#include "rulecraft/core/ResolveContext.h"
#include "rulecraft/parser/ClipsStream.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

class TFakeContext final : public TResolveContext {
 public:
  TBinding* FindBinding(const std::string& Name) const override {
    for (const auto& B : Bindings)
      if (B->GetName() == Name) return B.get();
    return nullptr;
  }
  void ResolveBindingRecord(const TBindingInfo& Record, IIEValue& Result) override {
    Result = Int(Record.GetFactIndex() * 100 + Record.GetSubIndex());
  }
  std::vector<std::unique_ptr<TBinding>> Bindings;
};

IStreamToken Token(int32_t Kind, std::string Text, double Number = 0.0) {
  return MakeRef<TIEStreamToken>(Kind, 1, std::move(Text), Number);
}

IStreamToken First(const std::string& Source) {
  TIEClipsStream S(Source);
  return S.NextToken();
}

TEST(StreamTokenTest, TextForms) {
  EXPECT_EQ(Token(dtInteger, "", -42)->GetToString(), "-42");
  EXPECT_EQ(Token(dtInteger, "", 2.5)->GetToString(), "2");  // the nearest integer, ties to even
  EXPECT_EQ(Token(dtFloat, "", 1.0 / 3)->GetToString(), "0.3333");
  EXPECT_EQ(Token(dtFloat, "", -2.5e-5)->GetToString(), "-0.0000");
  EXPECT_EQ(Token(dtVariable, "x")->GetToString(), "?x");
  EXPECT_EQ(Token(dtMultiVariable, "xs")->GetToString(), "$?xs");
  EXPECT_EQ(Token(dtString, "say \"hi\" \\o/")->GetToString(), "\"say \\\"hi\\\" \\\\o/\"");
  EXPECT_EQ(Token(tkOpenParen, "")->GetToString(), "(");  // the kind's character when there is no text
  EXPECT_EQ(Token(dtNone, "EOF")->GetToString(), "EOF");
}

TEST(StreamTokenTest, ValuesMadeFromTokens) {
  // The shared constants, by identity: TRUE and FALSE exactly as written, nil in any case.
  EXPECT_EQ(First("TRUE")->Value(), FCTrue);
  EXPECT_EQ(First("FALSE")->Value(), FCFalse);
  EXPECT_EQ(First("nil")->Value(), FCNil);
  EXPECT_EQ(First("NiL")->Value(), FCNil);
  EXPECT_EQ(First("")->Value(), FCEOF);
  IIEValue True = First("true")->Value();
  EXPECT_FALSE(IsValueConstant(True));
  EXPECT_TRUE(True->Equals(Atom("true")));
  // A new value of the token's kind otherwise.
  EXPECT_TRUE(First("\"TRUE\"")->Value()->Equals(Str("TRUE")));
  EXPECT_TRUE(First("-17")->Value()->Equals(Int(-17)));
  EXPECT_TRUE(First("3.25")->Value()->Equals(Flt(3.25)));
  EXPECT_FALSE(IsValueConstant(First("0")->Value()));
  EXPECT_TRUE(First("?who")->Value()->Equals(Var("who")));
  EXPECT_TRUE(First("$?all")->Value()->Equals(MultiVar("all")));
  // Any other kind: a string holding the kind in decimal.
  EXPECT_TRUE(First("(")->Value()->Equals(Str("40")));
  EXPECT_TRUE(Token(dtNone, "end")->Value()->Equals(Str("0")));
  // An integer token whose number was set by hand: the nearest integer, wrapped into 32 bits.
  EXPECT_EQ(Token(dtInteger, "", 2.6)->Value()->GetAsInteger(), 3);
  EXPECT_EQ(Token(dtInteger, "", 4294967297.0)->Value()->GetAsInteger(), 1);
}

TEST(StreamTokenTest, VariablesLookedUpInAContext) {
  TFakeContext Context;
  Context.Bindings.push_back(std::make_unique<TBinding>("x", Int(5)));
  Context.Bindings.push_back(std::make_unique<TBinding>("list", 1, "slot", 3));  // a place in a match
  EXPECT_EQ(First("?x")->Value(&Context), Context.Bindings[0]->GetValue());      // the bound value itself
  EXPECT_EQ(First("$?x")->Value(&Context)->GetAsInteger(), 5);
  EXPECT_EQ(First("?list")->Value(&Context)->GetAsInteger(), 103);
  ExpectError([&] { First("?y")->Value(&Context); }, "Unknown variable name: y");
  ExpectError([&] { First("$?rest")->Value(&Context); }, "Unknown variable name: rest");
  // Other kinds, and no context, ignore the bindings.
  EXPECT_EQ(First("x")->Value(&Context)->GetDType(), dtAtom);
  EXPECT_EQ(First("?y")->Value(nullptr)->GetDType(), dtVariable);
}

TEST(StreamTokenTest, MirroringAValue) {
  IStreamToken T = Token(dtAtom, "old", 9);
  T->SetWhitespace(" ");
  // A token mirroring a value gives an equal value back.
  for (const IIEValue& V : {Atom("k"), Str("k k"), Var("v"), MultiVar("m"), Int(-3), Flt(2.75)}) {
    T->SetValue(V);
    EXPECT_TRUE(T->Value()->Equals(V)) << V->GetToString();
  }
  EXPECT_EQ(T->GetText(), "");  // the text of the previous value is gone
  T->SetValue(MakeRef<TIEValue>(12, dtFactId));
  EXPECT_EQ(T->GetText(), "");
  EXPECT_EQ(T->GetNumber(), 12);
  T->SetValue(MakeRef<TIEValue>("ms", dtMultiSlot));
  EXPECT_EQ(T->GetText(), "ms");
  EXPECT_EQ(T->GetNumber(), 0);
  T->SetValue(nullptr);
  EXPECT_EQ(T->GetDataType(), dtNone);
  EXPECT_EQ(T->GetWhitespace(), " ");  // the whitespace is the token's own
}

TEST(StreamTokenTest, CopyingAndComparing) {
  IStreamToken A = Token(dtAtom, "a", 1.5);
  A->SetTag(11);
  A->SetWhitespace("  ; kept here\r\n");
  IStreamToken B = A->Clone();
  EXPECT_EQ(B->GetToString(), "a");
  EXPECT_EQ(B->GetTag(), 11);
  EXPECT_EQ(B->GetWhitespace(), "");  // whitespace is not copied
  // Equality: kind, line and number; not the text or the tag.
  B->SetText("other");
  B->SetTag(0);
  EXPECT_TRUE(A->Equals(B.get()));
  for (auto Change :
       {+[](TIEStreamToken& T) { T.SetLineNumber(8); }, +[](TIEStreamToken& T) { T.SetNumber(1.25); },
        +[](TIEStreamToken& T) { T.SetDataType(dtString); }}) {
    IStreamToken C = B->Clone();
    Change(*C);
    EXPECT_FALSE(A->Equals(C.get()));
  }
  EXPECT_FALSE(A->Equals(Atom("a").get()));
  B->AssignTo(A.get());
  EXPECT_EQ(A->GetText(), "other");
  EXPECT_EQ(A->GetWhitespace(), "  ; kept here\r\n");
  try {
    A->Assign(ICloneableRef(Atom("v")));
    ADD_FAILURE() << "a value is not a token";
  } catch (const EConvertError& Error) {
    EXPECT_EQ(Error.Message(), "Interface not supported");
  }
  EXPECT_THROW(A->Assign(static_cast<const TPersistent*>(Atom("v").get())), EConvertError);
  EXPECT_THROW(A->AssignTo(Atom("v").get()), EConvertError);
}

}  // namespace
