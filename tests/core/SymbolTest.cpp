// Interned texts: one record per distinct text, shared by values of every text kind and every thread,
// released when the last value lets go; the match hash that the engine's tables use reads every byte.
#include <gtest/gtest.h>

#include "../TestValues.h"

#include <string>
#include <thread>
#include <vector>

#include "rulecraft/core/Symbol.h"
#include "rulecraft/core/Value.h"
#include "rulecraft/core/ValueVector.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

TEST(Symbol, EqualTextsShareOneRecordAcrossKinds) {
  ISymbol A = TSymbol::Intern("widget");
  ISymbol B = TSymbol::Intern(std::string("wid") + "get");
  EXPECT_EQ(A.get(), B.get());
  EXPECT_NE(A.get(), TSymbol::Intern("Widget").get());
  EXPECT_EQ(A->Text(), "widget");
  EXPECT_EQ(A->Length(), 6u);
  EXPECT_EQ(A->Hash(), TSymbol::HashText("widget"));
  // Texts with zero bytes and the empty text are texts like any other.
  const std::string Zero("a\0b", 3);
  EXPECT_EQ(TSymbol::Intern(Zero)->Length(), 3u);
  EXPECT_NE(TSymbol::Intern(Zero).get(), TSymbol::Intern("a").get());
  EXPECT_EQ(TSymbol::Intern("").get(), TSymbol::Empty());

  // An atom, a string and a variable of one text hold one record; equality still wants the same kind.
  IIEValue Atom1 = Atom("widget"), String1 = Str("widget"), Var = MakeRef<TIEValue>("widget", dtVariable);
  EXPECT_EQ(Atom1->GetSymbol(), A.get());
  EXPECT_EQ(String1->GetSymbol(), A.get());
  EXPECT_EQ(Var->GetSymbol(), A.get());
  EXPECT_TRUE(Atom1->Equals(Atom("widget")));
  EXPECT_FALSE(Atom1->Equals(String1));
  EXPECT_TRUE(Atom1->EqualsStar(String1));
  EXPECT_TRUE(Atom1->EqualsStar(Atom("widget")));
  EXPECT_FALSE(Atom1->EqualsStar(Atom("widgets")));
  EXPECT_EQ(Str("12")->GetAsInteger(), 12);
  EXPECT_TRUE(Atom("12")->EqualsStar(Int(12)));

  // Kinds without text have no record and an empty text, whatever they held before.
  IIEValue Changed = Atom("widget");
  Changed->SetAsInteger(3);
  EXPECT_EQ(Changed->GetSymbol(), nullptr);
  EXPECT_EQ(Changed->Text(), "");
  Changed->SetAsString("gadget");
  EXPECT_EQ(Changed->GetSymbol(), TSymbol::Intern("gadget").get());
  EXPECT_EQ(Changed->GetToString(), "\"gadget\"");
  // A copy shares the record; AssignTo keeps the kind.
  IIEValue Copy = Changed->Clone();
  EXPECT_EQ(Copy->GetSymbol(), Changed->GetSymbol());
  IIEValue Target = Int(1);
  Atom1->AssignTo(Target);
  EXPECT_EQ(Target->GetDType(), dtAtom);
  EXPECT_EQ(Target->GetSymbol(), A.get());
}

TEST(Symbol, ReleasedTextsLeaveTheTable) {
  const size_t Before = TSymbol::TableSize();
  {
    std::vector<IIEValue> Values;
    for (int I = 0; I < 20000; ++I) Values.push_back(Str("temporary-" + std::to_string(I)));
    EXPECT_EQ(TSymbol::TableSize(), Before + 20000);
    // Copies and a second value of the same text add no record.
    std::vector<IIEValue> Copies;
    for (int I = 0; I < 20000; I += 2) Copies.push_back(Values[static_cast<size_t>(I)]->Clone());
    Copies.push_back(Atom("temporary-7"));
    EXPECT_EQ(TSymbol::TableSize(), Before + 20000);
    Values.clear();
    // What the copies hold stays: half the texts, and each is still found again.
    EXPECT_EQ(TSymbol::TableSize(), Before + 10001);
    EXPECT_EQ(Atom("temporary-7")->GetSymbol(), Copies.back()->GetSymbol());
    EXPECT_EQ(Str("temporary-8")->GetSymbol(), Copies[4]->GetSymbol());
  }
  EXPECT_EQ(TSymbol::TableSize(), Before);
  // A value changed to another text, or to another kind, lets its text go.
  IIEValue V = Atom("passing-through-1");
  EXPECT_EQ(TSymbol::TableSize(), Before + 1);
  V->SetAsAtom("passing-through-2");
  EXPECT_EQ(TSymbol::TableSize(), Before + 1);
  V->SetAsFloat(1.5);
  EXPECT_EQ(TSymbol::TableSize(), Before);
  V->SetAsVariable("x");
  V->Reset();
  EXPECT_EQ(TSymbol::TableSize(), Before);
}

TEST(Symbol, ThreadsInterningTheSameTextsGetTheSameRecords) {
  const size_t Before = TSymbol::TableSize();
  constexpr int Texts = 2000;
  ISymbol Kept = TSymbol::Intern("shared-17");
  std::vector<std::vector<const TSymbol*>> Seen(4, std::vector<const TSymbol*>(Texts));
  std::vector<std::thread> Threads;
  for (size_t T = 0; T < Seen.size(); ++T)
    Threads.emplace_back([T, &Seen] {
      // Each round makes and drops the texts again, so records come and go while other threads look.
      for (int Round = 0; Round < 50; ++Round) {
        std::vector<IIEValue> Values;
        for (int I = 0; I < Texts; ++I) Values.push_back(Atom("shared-" + std::to_string(I)));
        if (Round == 49)
          for (int I = 0; I < Texts; ++I)
            Seen[T][static_cast<size_t>(I)] = Values[static_cast<size_t>(I)]->GetSymbol();
      }
    });
  for (std::thread& Thread : Threads) Thread.join();
  // The one record kept alive throughout is the one every thread found.
  for (const auto& Symbols : Seen) EXPECT_EQ(Symbols[17], Kept.get());
  Kept.reset();
  EXPECT_EQ(TSymbol::TableSize(), Before);
}

TEST(Symbol, BuiltTextsStayOutOfTheTableUntilTheirSymbolIsNeeded) {
  const size_t Before = TSymbol::TableSize();
  IIEValue Built = MakeRef<TIEValue>(TBuiltText{"built-text-0123456789"}, dtAtom);
  IIEValue BuiltString = MakeRef<TIEValue>(TBuiltText{"built-text-0123456789"}, dtString);
  EXPECT_EQ(TSymbol::TableSize(), Before);
  EXPECT_FALSE(Built->GetTextRecord()->IsInterned());
  EXPECT_EQ(Built->Text(), "built-text-0123456789");
  EXPECT_EQ(Built->GetToString(), "built-text-0123456789");
  EXPECT_EQ(BuiltString->GetToString(), "\"built-text-0123456789\"");
  // Equal to the interned text of the same kind only, whichever side is loose; the published hash is the
  // text's. None of this interns anything.
  IIEValue Interned = Atom("built-text-0123456789");
  EXPECT_EQ(TSymbol::TableSize(), Before + 1);
  EXPECT_TRUE(Built->Equals(Interned));
  EXPECT_TRUE(Interned->Equals(Built));
  EXPECT_TRUE(Built->SameAs(*Interned));
  EXPECT_TRUE(Built->Equals(Built->Clone()));
  EXPECT_FALSE(Built->Equals(BuiltString));
  EXPECT_TRUE(Built->EqualsStar(BuiltString));
  EXPECT_FALSE(Built->Equals(Atom("built-text-0123456788")));
  EXPECT_FALSE(Built->SameAs(*Atom("built-text-0123456788")));
  EXPECT_EQ(Built->GetHashCode(), Interned->GetHashCode());
  EXPECT_TRUE(Built->HoldsSymbol(Interned->GetSymbol()));
  EXPECT_FALSE(BuiltString->GetTextRecord()->IsInterned());
  EXPECT_EQ(TSymbol::TableSize(), Before + 1);
  // The symbol, or the match hash, is the interned record; a copy taken before keeps the loose one, and
  // both stay equal.
  IIEValue Copy = Built->Clone();
  EXPECT_EQ(Built->GetSymbol(), Interned->GetSymbol());
  EXPECT_TRUE(Built->GetTextRecord()->IsInterned());
  EXPECT_FALSE(Copy->GetTextRecord()->IsInterned());
  EXPECT_TRUE(Copy->Equals(Built));
  EXPECT_EQ(Copy->GetMatchHash(), Interned->GetMatchHash());
  EXPECT_EQ(Copy->GetSymbol(), Interned->GetSymbol());
  EXPECT_EQ(BuiltString->GetMatchHash(), TSymbol::HashText("built-text-0123456789"));
  EXPECT_EQ(BuiltString->GetSymbol(), Interned->GetSymbol());
  // A built empty text is the empty record; a built text interned alone is found by later lookups.
  EXPECT_EQ(MakeRef<TIEValue>(TBuiltText{""}, dtString)->GetTextRecord(), TSymbol::Empty());
  IIEValue Alone = MakeRef<TIEValue>(TBuiltText{"built-alone"}, dtString);
  const TSymbol* AloneSymbol = Alone->GetSymbol();
  EXPECT_EQ(Atom("built-alone")->GetSymbol(), AloneSymbol);
  Built.reset();
  BuiltString.reset();
  Interned.reset();
  Copy.reset();
  Alone.reset();
  EXPECT_EQ(TSymbol::TableSize(), Before);
  // A loose record is never changed once made, so threads may share one: each interns its own value.
  IIEValue Shared = MakeRef<TIEValue>(TBuiltText{"built-shared"}, dtAtom);
  std::vector<IIEValue> Copies;
  for (int I = 0; I < 4; ++I) Copies.push_back(Shared->Clone());
  std::vector<const TSymbol*> Seen(Copies.size());
  std::vector<std::thread> Threads;
  for (size_t T = 0; T < Copies.size(); ++T)
    Threads.emplace_back([T, &Copies, &Seen] {
      for (int Round = 0; Round < 200; ++Round) EXPECT_TRUE(Copies[T]->Equals(Atom("built-shared")));
      Seen[T] = Copies[T]->GetSymbol();
    });
  for (std::thread& Thread : Threads) Thread.join();
  for (const TSymbol* Symbol : Seen) EXPECT_EQ(Symbol, Seen[0]);
  EXPECT_FALSE(Shared->GetTextRecord()->IsInterned());
  Copies.clear();
  Shared.reset();
  EXPECT_EQ(TSymbol::TableSize(), Before);
}

TEST(Symbol, MatchHashReadsEveryByteAndFollowsEquality) {
  // Sixteen characters differing only at odd positions: the published hash reads every second one.
  IIEValue A = Atom("a0b0c0d0e0f0g0h0"), B = Atom("a1b0c0d0e0f0g0h0");
  EXPECT_EQ(A->GetHashCode(), B->GetHashCode());
  EXPECT_NE(A->GetMatchHash(), B->GetMatchHash());
  EXPECT_NE(TSymbol::HashText("ab"), TSymbol::HashText("ba"));
  EXPECT_NE(TSymbol::HashText(std::string(9, 'x')), TSymbol::HashText(std::string(10, 'x')));
  EXPECT_NE(TSymbol::HashText(std::string("\0", 1)), TSymbol::HashText(""));
  // Equal values hash alike: same text, equal numbers, equal lists.
  EXPECT_EQ(A->GetMatchHash(), A->Clone()->GetMatchHash());
  EXPECT_EQ(Flt(0.0)->GetMatchHash(), Flt(-0.0)->GetMatchHash());
  EXPECT_EQ(List({Int(1), A})->GetMatchHash(), List({Int(1), Atom("a0b0c0d0e0f0g0h0")})->GetMatchHash());
  // Lists combine their elements in order; the published list hash is a sum.
  EXPECT_EQ(List({Int(1), Int(2)})->GetHashCode(), List({Int(2), Int(1)})->GetHashCode());
  EXPECT_NE(List({Int(1), Int(2)})->GetMatchHash(), List({Int(2), Int(1)})->GetMatchHash());
  EXPECT_NE(List({A, B})->GetMatchHash(), List({B, A})->GetMatchHash());
  EXPECT_NE(List({})->GetMatchHash(), List({List({})})->GetMatchHash());
}

}  // namespace
