// Tokens: chains and sort codes, guarded setters, equality (multifield splits of one fact included) and
// text forms. Token memories: duplicates, keys, order, text forms and volume.
#include <gtest/gtest.h>

#include <pthread.h>
#include "../TestValues.h"

#include <cmath>
#include <memory>
#include <vector>

#include "rulecraft/core/IEException.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/facts/Fact.h"
#include "rulecraft/facts/FactTemplate.h"
#include "rulecraft/rete/Token.h"
#include "rulecraft/rete/TokenTree.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

IFactTemplate ItemTemplate() {
  IFactTemplate T = MakeRef<TFactTemplate>(nullptr, "item");
  T->AddSlot("group", Int(0));
  T->AddMultiSlot("parts", FCNilList);
  return T;
}

IFact Item(const IFactTemplate& T, int32_t Id, int32_t Group = 0, std::vector<IIEValue> Parts = {}) {
  IFact F = MakeRef<TFact>(T);
  F->SetID(Id);
  F->SetValue("group", Int(Group));
  F->SetValue("parts", List(std::move(Parts)));
  return F;
}

IReteToken Root(const IFact& F, TTokenAction Action = taAdd) { return MakeRef<TIEToken>(Action, F); }
IReteToken Extend(const IReteToken& Parent, const IFact& F) { return MakeRef<TIEToken>(Parent, F); }

std::vector<int32_t> SortCodes(const TIETokenTree& Tree) {
  std::vector<int32_t> Codes;
  for (const IReteToken& Token : Tree) Codes.push_back(Token->GetSortCode());
  return Codes;
}

// Runs Body on a thread with a 256 KiB stack.
template <class F>
void OnSmallStack(F Body) {
  pthread_attr_t Attributes;
  pthread_attr_init(&Attributes);
  pthread_attr_setstacksize(&Attributes, 256 * 1024);
  pthread_t Thread;
  auto Run = [](void* Argument) -> void* {
    (*static_cast<F*>(Argument))();
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&Thread, &Attributes, Run, &Body), 0);
  pthread_join(Thread, nullptr);
  pthread_attr_destroy(&Attributes);
}

}  // namespace

TEST(Token, ChainsCountSortCodesAndFacts) {
  IFactTemplate T = ItemTemplate();
  IFact F5 = Item(T, 5), F3 = Item(T, 3), F0 = Item(T, 0);
  IReteToken A = Root(F5, taRemove);
  A->SetStrength(0.5f);
  IReteToken B = Extend(A, F3);
  IReteToken C = Extend(B, F0);
  EXPECT_EQ(A->GetSortCode(), 5);
  EXPECT_EQ(B->GetSortCode(), 43);
  EXPECT_EQ(C->GetSortCode(), 344);
  EXPECT_EQ(C->GetCount(), 3);
  EXPECT_EQ(C->GetTag(), taRemove);  // tag and strength come from the parent
  EXPECT_EQ(C->GetStrength(), 0.5f);
  EXPECT_EQ(C->GetParent().get(), B.get());
  EXPECT_EQ(
      std::vector<IFact>({C->GetFacts(-1), C->GetFacts(0), C->GetFacts(1), C->GetFacts(2), C->GetFacts(3)}),
      std::vector<IFact>({IFact(), F5, F3, F0, IFact()}));

  // Without a fact the parent's code is shifted alone; the arithmetic wraps in 32 bits.
  EXPECT_EQ(Extend(B, IFact())->GetSortCode(), 344);
  IReteToken Big = Root(Item(T, INT32_MAX));
  EXPECT_EQ(Extend(Big, F3)->GetSortCode(), -5);  // 0x7FFFFFFF * 8 + 3 = 0xFFFFFFFB
  IReteToken Orphan = Extend(IReteToken(), F3);   // no parent: a root
  EXPECT_EQ(Orphan->GetCount(), 1);
  EXPECT_EQ(Orphan->GetSortCode(), 3);

  // A copy keeps everything but the negated count.
  C->SetNegatedCount(4);
  IReteToken Copy = MakeRef<TIEToken>(C);
  EXPECT_EQ(Copy->GetNegatedCount(), 0);
  EXPECT_EQ(Copy->GetSortCode(), 344);
  EXPECT_EQ(Copy->GetCount(), 3);
  EXPECT_EQ(Copy->GetParent().get(), B.get());
  EXPECT_EQ(Copy->GetTag(), taRemove);
  EXPECT_TRUE(Copy->Equals(C));

  // Long chains are compared and released without recursing once per link: on a 256 KiB stack.
  IReteToken Long = Root(F5), Twin = Root(F5);
  for (int I = 0; I < 50000; ++I) {
    Long = Extend(Long, F3);
    Twin = Extend(Twin, F3);
  }
  OnSmallStack([&] {
    EXPECT_TRUE(Long->Equals(Twin));
    Long.reset();
    Twin.reset();
  });
  EXPECT_FALSE(Long);
}

TEST(Token, SettersClampAndTagNeedsAFact) {
  IFactTemplate T = ItemTemplate();
  IReteToken Token = Root(Item(T, 1));
  Token->SetStrength(-0.25f);
  EXPECT_EQ(Token->GetStrength(), 0.0f);
  Token->SetStrength(std::nanf(""));
  EXPECT_EQ(Token->GetStrength(), 0.0f);
  Token->SetStrength(0.75f);
  EXPECT_EQ(Token->GetStrength(), 0.75f);
  Token->SetNegatedCount(-3);
  EXPECT_EQ(Token->GetNegatedCount(), 0);
  Token->SetNegatedCount(2);
  EXPECT_EQ(Token->GetNegatedCount(), 2);
  Token->SetTag(taUpdate);
  EXPECT_EQ(Token->GetTag(), taUpdate);

  TIEToken Bare;
  for (const TTokenAction Action : {taAdd, taRemove, taUpdate})
    ExpectError<EIEException>([&] { Bare.SetTag(Action); }, "Invalid Token Action");
  Bare.SetTag(taClear);
  EXPECT_EQ(Bare.GetTag(), taClear);
  IReteToken ClearToken = Root(IFact(), taClear);  // the clear signal travels without a fact
  ExpectError<EIEException>([&] { ClearToken->SetTag(taAdd); }, "Invalid Token Action");
  EXPECT_EQ(ClearToken->GetTag(), taClear);
}

TEST(Token, EqualityWalksTheWholeChain) {
  IFactTemplate T = ItemTemplate();
  IFact F1 = Item(T, 1), F2 = Item(T, 2), F3 = Item(T, 3);
  IReteToken A = Extend(Extend(Root(F1), F2), F3);
  IReteToken B = Extend(Extend(Root(F1), F2), F3);
  EXPECT_TRUE(A->Equals(B));
  EXPECT_TRUE(B->Equals(A));
  EXPECT_FALSE(A->Equals(IReteToken()));

  B->SetStrength(0.5f);  // same facts, another strength
  EXPECT_FALSE(A->Equals(B));
  EXPECT_FALSE(B->Equals(A));

  // Equal sort code and own fact, but the roots differ in strength.
  IReteToken WeakRoot = Root(F1);
  WeakRoot->SetStrength(0.5f);
  IReteToken C = Extend(Extend(WeakRoot, F2), F3);
  C->SetStrength(1.0f);
  EXPECT_EQ(C->GetSortCode(), A->GetSortCode());
  EXPECT_FALSE(A->Equals(C));

  // A middle fact of another ID changes the sort code; one of the same ID but other values does not,
  // and is still another match.
  EXPECT_FALSE(A->Equals(Extend(Extend(Root(F1), F1), F3)));
  IReteToken D = Extend(Extend(Root(F1), Item(T, 2, 9)), F3);
  EXPECT_EQ(D->GetSortCode(), A->GetSortCode());
  EXPECT_FALSE(A->Equals(D));
  EXPECT_TRUE(A->Equals(Extend(Extend(Root(F1), Item(T, 2)), F3)));  // an equal copy of f-2

  // A root of fact 5 and the chain f-0, f-5 share sort code and own fact, but not length.
  IFact F0 = Item(T, 0), F5 = Item(T, 5);
  IReteToken Short = Root(F5), Long = Extend(Root(F0), F5);
  EXPECT_EQ(Short->GetSortCode(), Long->GetSortCode());
  EXPECT_FALSE(Short->Equals(Long));
  EXPECT_FALSE(Long->Equals(Short));

  // Tokens with and without a fact.
  EXPECT_FALSE(Root(F1)->Equals(Root(IFact(), taClear)));
  EXPECT_TRUE(Root(IFact(), taClear)->Equals(Root(IFact(), taClear)));
}

TEST(Token, MultifieldSplitsStayApartAndFindTheirTwins) {
  IFactTemplate T = ItemTemplate();
  IFact Fact = Item(T, 7, 1, {Atom("a"), Atom("b"), Atom("c")});
  // Two ways of splitting (a b c): ((a b) c) and ((a) b c), both copies carrying the fact's ID.
  auto Split = [&](size_t Len) {
    const std::vector<IIEValue>& Values = Fact->GetValue("parts")->GetAsList()->Values();
    std::vector<IIEValue> Parts{List({Values.begin(), Values.begin() + static_cast<std::ptrdiff_t>(Len)})};
    Parts.insert(Parts.end(), Values.begin() + static_cast<std::ptrdiff_t>(Len), Values.end());
    IFact Copy = Fact->Clone();
    Copy->SetValue("parts", List(Parts));
    return Copy;
  };
  IReteToken Two = Root(Split(2)), One = Root(Split(1));
  EXPECT_EQ(Two->GetSortCode(), One->GetSortCode());
  EXPECT_FALSE(Two->Equals(One));
  EXPECT_TRUE(Two->Equals(Root(Split(2))));  // a split made afresh equals the earlier copy
  // The key of the runs that made a split goes with it: a longer chain inherits it, a copy keeps it.
  // Only a right split adds to it; the twin code stays the match key without one.
  IReteToken Keyed = Root(Split(2));
  Keyed->SetSplitKey(42);
  EXPECT_EQ(Extend(Keyed, Item(T, 8, 2))->GetSplitKey(), 42u);
  EXPECT_EQ(MakeRef<TIEToken>(Keyed)->GetSplitKey(), 42u);
  EXPECT_NE(Keyed->GetTwinCode(), Two->GetTwinCode());
  EXPECT_EQ(Two->GetTwinCode(), Two->GetMatchKey());
  IReteToken Joined = Extend(Keyed, Item(T, 8, 2));
  Joined->AddSplitKey(0);
  EXPECT_EQ(Joined->GetSplitKey(), 42u);
  Joined->AddSplitKey(7);
  EXPECT_NE(Joined->GetSplitKey(), 42u);

  TIETokenTree ByFact(101, 0, -1, "", false), BySortCode(101, 0, -1, "", true);
  for (TIETokenTree* Tree : {&ByFact, &BySortCode}) {
    EXPECT_TRUE(Tree->Add(Two));
    EXPECT_TRUE(Tree->Add(One));
    EXPECT_FALSE(Tree->Add(Root(Split(1))));
    EXPECT_EQ(Tree->Count(), 2u);
    // Retraction rebuilds the splits as new copies; each removes its own stored twin.
    EXPECT_TRUE(Tree->Remove(Root(Split(1))));
    ASSERT_EQ(Tree->Count(), 1u);
    EXPECT_EQ(Tree->begin()->get(), Two.get());
    EXPECT_TRUE(Tree->Remove(Root(Split(2))));
    EXPECT_FALSE(Tree->Remove(Root(Split(2))));
    EXPECT_EQ(Tree->Count(), 0u);
  }
}

TEST(Token, TextForms) {
  IFactTemplate T = ItemTemplate();
  IFact F5 = Item(T, 5, 1), F3 = Item(T, 3, 2), F9 = Item(T, 9, 3);
  IReteToken Token = Extend(Extend(Root(F5), F3), F9);
  Token->SetNegatedCount(2);
  EXPECT_EQ(Token->GetToFactsString(), "f-5, f-3, f-9");
  EXPECT_EQ(Token->GetToString(), "taAdd cnt=3 negcnt=2\r\n" + F9->GetToString() + "\r\n" +
                                      F3->GetToString() + "\r\n" + F5->GetToString());
  IReteToken Gap = Extend(Extend(Root(F5, taRemove), IFact()), F9);  // links without a fact are skipped
  EXPECT_EQ(Gap->GetToFactsString(), "f-5, f-9");
  EXPECT_EQ(Gap->GetToString(),
            "taRemove cnt=3 negcnt=0\r\n" + F9->GetToString() + "\r\n" + F5->GetToString());
  EXPECT_EQ(TIEToken().GetToString(), "taClear cnt=0 negcnt=0");
  EXPECT_EQ(TIEToken().GetToFactsString(), "");
}

TEST(TokenTree, RefusesEqualTokensAndRemovesTheirTwins) {
  IFactTemplate T = ItemTemplate();
  IFact F1 = Item(T, 1), F2 = Item(T, 2);
  TIETokenTree Tree(101, 1, -1, "group", false);
  EXPECT_TRUE(Tree.GetEmpty());
  EXPECT_TRUE(Tree.Add(Extend(Root(F1), F2)));
  EXPECT_FALSE(Tree.GetEmpty());
  EXPECT_FALSE(Tree.Add(Extend(Root(F1), F2)));  // an equal token is refused...
  EXPECT_EQ(Tree.Count(), 1u);                   // ...and one copy stays
  IReteToken Weak = Extend(Root(F1), F2);
  Weak->SetStrength(0.3f);
  EXPECT_TRUE(Tree.Add(Weak));  // another strength is another token
  EXPECT_FALSE(Tree.Add(IReteToken()));
  EXPECT_EQ(Tree.Count(), 2u);

  EXPECT_TRUE(Tree.Remove(Extend(Root(F1), F2)));
  EXPECT_FALSE(Tree.Remove(Extend(Root(F1), F2)));
  EXPECT_FALSE(Tree.Remove(IReteToken()));
  ASSERT_EQ(Tree.Count(), 1u);
  EXPECT_EQ(Tree.begin()->get(), Weak.get());
  EXPECT_FALSE(Tree.GetEmpty());  // only Clear sets Empty

  // Removing through the stored handle itself.
  const IReteToken& Stored = *Tree.begin();
  EXPECT_TRUE(Tree.Remove(Stored));
  EXPECT_EQ(Tree.Count(), 0u);
  EXPECT_TRUE(Tree.begin() == Tree.end());

  EXPECT_TRUE(Tree.Add(Weak));
  Tree.Clear();
  EXPECT_TRUE(Tree.GetEmpty());
  EXPECT_EQ(Tree.Count(), 0u);
  EXPECT_TRUE(Tree.GetTokens(0).empty());
  EXPECT_TRUE(Tree.Add(Weak));  // usable after Clear
  EXPECT_EQ(Weak->RefCount(), 2);
  Tree.Clear();
  EXPECT_EQ(Weak->RefCount(), 1);  // Clear lets go of the tokens
}

TEST(TokenTree, KeysBySortCodeFactSlotAndListItem) {
  IFactTemplate T = ItemTemplate();
  IFact F1 = Item(T, 1, 10, {Atom("x"), Atom("y")});
  IFact F2 = Item(T, 2, 20, {Atom("y")});
  IReteToken Token = Extend(Root(F1), F2);
  // By sort code: the lookup key is the token's match key, the order key its sort code.
  int32_t Order = 0;
  EXPECT_EQ(TIETokenTree(101, 0, -1, "", true).KeyOf(*Token, &Order), Token->GetMatchKey());
  EXPECT_EQ(Order, Token->GetSortCode());
  // Keys are match hashes folded to 32 bits; order keys (the bucket's) are the published hashes.
  EXPECT_EQ(TIETokenTree(101, 0, -1, "", false).KeyOf(*Token), FoldHash(F1->GetMatchHash()));
  EXPECT_EQ(TIETokenTree(101, 1, -1, "", false).KeyOf(*Token), FoldHash(F2->GetMatchHash()));
  EXPECT_EQ(TIETokenTree(101, 1, -1, "group", false).KeyOf(*Token, &Order),
            FoldHash(Int(20)->GetMatchHash()));
  EXPECT_EQ(Order, 20);
  EXPECT_EQ(TIETokenTree(101, 1, -1, "", false).KeyOf(*Token, &Order), FoldHash(F2->GetMatchHash()));
  EXPECT_EQ(Order, F2->GetHashCode());
  EXPECT_EQ(TIETokenTree(101, 0, -1, "parts", false).KeyOf(*Token),
            FoldHash(F1->GetValue("parts")->GetMatchHash()));
  EXPECT_EQ(TIETokenTree(101, 0, 1, "parts", false).KeyOf(*Token, &Order),
            FoldHash(Atom("y")->GetMatchHash()));
  EXPECT_EQ(Order, Atom("y")->GetHashCode());
  EXPECT_EQ(TIETokenTree(101, 1, 0, "parts", false).KeyOf(*Token), FoldHash(Atom("y")->GetMatchHash()));
  EXPECT_EQ(TIETokenTree::KeyOfFact(F1.get(), "parts", 1), TIETokenTree::KeyOfValue(Atom("y"), -1));

  // Keys that cannot be read are 0: no fact at that position, a missing slot, an element outside the
  // list, a sub-index into a value that is not a list, a fact without template.
  EXPECT_EQ(TIETokenTree(101, 2, -1, "group", false).KeyOf(*Token), 0);
  EXPECT_EQ(TIETokenTree(101, -1, -1, "", false).KeyOf(*Token), 0);
  EXPECT_EQ(TIETokenTree(101, 0, -1, "colour", false).KeyOf(*Token), 0);
  EXPECT_EQ(TIETokenTree(101, 1, 1, "parts", false).KeyOf(*Token), 0);
  EXPECT_EQ(TIETokenTree(101, 1, -2, "parts", false).KeyOf(*Token), 0);
  EXPECT_EQ(TIETokenTree(101, 0, 0, "group", false).KeyOf(*Token), 0);
  EXPECT_EQ(TIETokenTree(101, 0, 0, "group", false).KeyOf(*Root(MakeRef<TFact>())), 0);
  EXPECT_EQ(TIETokenTree(101, 0, -1, "group", false).KeyOf(*Root(IFact(), taClear)), 0);
  TIETokenTree Lost(101, 3, -1, "group", false);
  EXPECT_TRUE(Lost.Add(Token));  // stored and found under key 0
  EXPECT_EQ(Lost.GetTokens(0).size(), 1u);
  EXPECT_TRUE(Lost.Remove(Extend(Root(F1), F2)));

  // Lookups answer the exact key, even when every key shares the one bucket.
  TIETokenTree Tree(1, 0, -1, "group", false);
  IFact G1 = Item(T, 3, 10), G2 = Item(T, 4, 20), G3 = Item(T, 5, 10);
  for (const IFact& F : {G1, G2, G3}) EXPECT_TRUE(Tree.Add(Root(F)));
  std::vector<TFact*> Tens;
  for (const IReteToken& Stored : Tree.GetTokens(TIETokenTree::KeyOfValue(Int(10), -1)))
    Tens.push_back(Stored->GetFact().get());
  EXPECT_EQ(Tens, (std::vector<TFact*>{G1.get(), G3.get()}));
  EXPECT_EQ(Tree.GetTokens(TIETokenTree::KeyOfValue(Int(20), -1)).size(), 1u);
  EXPECT_TRUE(Tree.GetTokens(TIETokenTree::KeyOfValue(Int(30), -1)).empty());
  EXPECT_EQ(Tree.GetBucketCount(), 1);
  EXPECT_EQ(TIETokenTree(0, 0, -1, "", true).GetBucketCount(), 1);  // at least one bucket
}

TEST(TokenTree, IteratesBucketByBucketInOrderOfAddition) {
  IFactTemplate T = ItemTemplate();
  TIETokenTree Tree(10, 0, -1, "", true);
  std::vector<IFact> Facts;
  for (int32_t Id : {13, 3, 21, 11, 2, -7}) {
    Facts.push_back(Item(T, Id));
    EXPECT_TRUE(Tree.Add(Root(Facts.back())));
  }
  // -7 is 4294967289 unsigned: bucket 9, never a negative index (nor the 7 of its absolute value).
  EXPECT_EQ(Tree.BucketOf(-7), 9);
  EXPECT_EQ(SortCodes(Tree), (std::vector<int32_t>{21, 11, 2, 13, 3, -7}));
  EXPECT_EQ(Tree.GetToFactsString(), "[1] (f-21) (f-11)\r\n[2] (f-2)\r\n[3] (f-13) (f-3)\r\n[9] (f--7)");

  // A removal keeps the order of the others; a token added again goes last in its bucket.
  EXPECT_TRUE(Tree.Remove(Root(Facts[0])));
  EXPECT_TRUE(Tree.Remove(Root(Facts[4])));
  EXPECT_EQ(SortCodes(Tree), (std::vector<int32_t>{21, 11, 3, -7}));
  EXPECT_TRUE(Tree.Add(Root(Facts[0])));
  EXPECT_TRUE(Tree.Add(Root(Facts[4])));
  EXPECT_EQ(SortCodes(Tree), (std::vector<int32_t>{21, 11, 2, 3, 13, -7}));

  // Tokens of one key keep their order too, across removals in the middle.
  TIETokenTree ByGroup(101, 0, -1, "group", false);
  std::vector<IFact> Group;
  for (int32_t Id = 1; Id <= 5; ++Id) {
    Group.push_back(Item(T, Id, 4));
    ByGroup.Add(Root(Group.back()));
  }
  ByGroup.Remove(Root(Group[2]));
  ByGroup.Add(Root(Group[2]));
  ByGroup.Remove(Root(Group[0]));
  std::vector<int32_t> Order;
  for (const IReteToken& Stored : ByGroup.GetTokens(TIETokenTree::KeyOfValue(Int(4), -1)))
    Order.push_back(Stored->GetSortCode());
  EXPECT_EQ(Order, (std::vector<int32_t>{2, 4, 5, 3}));

  IFact One = Item(T, 1);
  TIETokenTree Small(101, 0, -1, "", true);
  Small.Add(Extend(Root(One), Item(T, 2)));
  Small.Add(Root(One));
  EXPECT_EQ(Small.GetToString(), "[1]\r\ntaAdd cnt=1 negcnt=0\r\n" + One->GetToString() +
                                     "\r\n[10]\r\ntaAdd cnt=2 negcnt=0\r\n" + Item(T, 2)->GetToString() +
                                     "\r\n" + One->GetToString());
  EXPECT_EQ(TIETokenTree(101, 0, -1, "", true).GetToString(), "");
}

TEST(TokenTree, HoldsAndReleasesManyTokens) {
  // 200,000 two-fact tokens over 1,000 + 200 facts: keyed by a slot with 50 values (4,000 tokens per key)
  // and by sort code (where i * 8 + j collides across different pairs).
  IFactTemplate T = ItemTemplate();
  std::vector<IFact> Left, Right;
  std::vector<IReteToken> Roots;
  for (int32_t I = 0; I < 1000; ++I) {
    Left.push_back(Item(T, I));
    Roots.push_back(Root(Left.back()));
  }
  for (int32_t J = 0; J < 200; ++J) Right.push_back(Item(T, 1000 + J, J % 50));
  TIETokenTree BySlot(101, 1, -1, "group", false), BySortCode(101, 0, -1, "", true);
  for (TIETokenTree* Tree : {&BySlot, &BySortCode}) {
    for (int32_t I = 0; I < 1000; ++I)
      for (int32_t J = 0; J < 200; ++J) ASSERT_TRUE(Tree->Add(Extend(Roots[I], Right[J])));
    EXPECT_EQ(Tree->Count(), 200000u);
    EXPECT_FALSE(Tree->Add(Extend(Roots[500], Right[17])));
    size_t Seen = 0;
    for (const IReteToken& Stored : *Tree) Seen += Stored->GetCount() == 2;
    EXPECT_EQ(Seen, 200000u);
  }
  EXPECT_EQ(BySlot.GetTokens(TIETokenTree::KeyOfValue(Int(17), -1)).size(), 4000u);

  // Retraction order differs from assertion order; fresh tokens over fresh roots find their twins.
  for (TIETokenTree* Tree : {&BySlot, &BySortCode}) {
    for (int32_t J = 199; J >= 0; --J)
      for (int32_t I = 0; I < 1000; ++I) ASSERT_TRUE(Tree->Remove(Extend(Root(Left[I]), Right[J])));
    EXPECT_EQ(Tree->Count(), 0u);
    EXPECT_TRUE(Tree->begin() == Tree->end());
  }
  EXPECT_TRUE(BySlot.GetTokens(TIETokenTree::KeyOfValue(Int(17), -1)).empty());
  EXPECT_EQ(Roots[0]->RefCount(), 1);

  // An emptied memory fills again over the room it kept, and Clear lets every token go.
  for (int32_t I = 0; I < 100; ++I)
    for (int32_t J = 0; J < 100; ++J) ASSERT_TRUE(BySlot.Add(Extend(Roots[I], Right[J])));
  EXPECT_EQ(BySlot.Count(), 10000u);
  EXPECT_EQ(BySlot.GetTokens(TIETokenTree::KeyOfValue(Int(17), -1)).size(), 200u);
  size_t Refilled = 0;
  for (const IReteToken& Stored : BySlot) Refilled += Stored->GetCount() == 2;
  EXPECT_EQ(Refilled, 10000u);
  EXPECT_FALSE(BySlot.Add(Extend(Root(Left[99]), Right[99])));
  BySlot.Clear();
  EXPECT_EQ(BySlot.Count(), 0u);
  EXPECT_EQ(Roots[0]->RefCount(), 1);
}

// Chains whose sort codes collide (1*8+9 = 2*8+1) are different matches: they keep apart by match key, yet a
// memory keyed by sort code still walks them in sort-code order and finds each one's twin.
TEST(TokenTree, CollidingSortCodesKeyApart) {
  IFactTemplate T = ItemTemplate();
  IReteToken A = Extend(Root(Item(T, 1)), Item(T, 9));
  IReteToken B = Extend(Root(Item(T, 2)), Item(T, 1));
  ASSERT_EQ(A->GetSortCode(), B->GetSortCode());
  EXPECT_NE(A->GetMatchKey(), B->GetMatchKey());
  EXPECT_FALSE(A->Equals(B));
  IReteToken ACopy = Extend(Root(Item(T, 1)), Item(T, 9));
  EXPECT_EQ(ACopy->GetMatchKey(), A->GetMatchKey());
  EXPECT_EQ(MakeRef<TIEToken>(A)->GetMatchKey(), A->GetMatchKey());

  TIETokenTree Tree(101, 0, -1, "", true);
  EXPECT_TRUE(Tree.Add(A));
  EXPECT_TRUE(Tree.Add(B));
  EXPECT_FALSE(Tree.Add(ACopy));
  EXPECT_EQ(Tree.GetTokens(Tree.KeyOf(*A)).size(), 1u);
  EXPECT_EQ(Tree.Extract(ACopy).get(), A.get());
  EXPECT_EQ(Tree.Count(), 1u);
  EXPECT_TRUE(Tree.Holds(*B));
}

// A key of several parts: tokens meet only those agreeing on every part, and a full walk keeps the order the
// first part gives.
TEST(TokenTree, KeyOfSeveralParts) {
  IFactTemplate T = ItemTemplate();
  auto Memory = [] {
    auto Tree = std::make_unique<TIETokenTree>(7, 0, -1, "group", false);
    Tree->AddKeyPart(0, "parts", 0);
    return Tree;
  };
  auto Left = Memory();
  IReteToken X1 = Root(Item(T, 1, 5, {Atom("x")}));
  IReteToken Y1 = Root(Item(T, 2, 5, {Atom("y")}));
  IReteToken X2 = Root(Item(T, 3, 6, {Atom("x")}));
  IReteToken Y1b = Root(Item(T, 4, 5, {Atom("y"), Atom("z")}));
  for (const IReteToken& Token : {X1, Y1, X2, Y1b}) EXPECT_TRUE(Left->Add(Token));
  const int32_t Key = Left->KeyOf(*Y1);
  EXPECT_NE(Key, Left->KeyOf(*X1));
  EXPECT_NE(Key, Left->KeyOf(*X2));
  std::vector<int32_t> Same;
  for (const IReteToken& Token : Left->GetTokens(Key)) Same.push_back(Token->GetSortCode());
  EXPECT_EQ(Same, (std::vector<int32_t>{2, 4}));
  // Buckets by the group alone (5 and 6 of 7 buckets), in order of addition within one.
  EXPECT_EQ(SortCodes(*Left), (std::vector<int32_t>{1, 2, 4, 3}));
  // A missing part still keys (as 0), the same way on every token.
  IReteToken Empty = Root(Item(T, 5, 5, {}));
  EXPECT_TRUE(Left->Add(Empty));
  EXPECT_EQ(Left->GetTokens(Left->KeyOf(*Empty)).size(), 1u);
  EXPECT_TRUE(Left->Remove(Empty));
}

// A memory finds a stored token through the hint the token carries, and falls back to searching when the
// hint is stale or names another token; an entry's records list and kept key go with the entry.
TEST(TokenTree, FindsStoredTokensByTheirHint) {
  IFactTemplate T = ItemTemplate();
  // Two copies of fact 1 that differ in their multislot (as multifield splits do): equal sort codes and
  // match keys, so they share a chain of equality candidates.
  IFact A1 = Item(T, 1, 7, {Int(1)}), A2 = Item(T, 1, 7, {Int(2)}), B = Item(T, 2, 7), C = Item(T, 3, 7);
  TIETokenTree Tree(101, 0, -1, "group", false), Other(101, 0, -1, "group", false);
  Tree.KeepRecords();
  IReteToken First = Root(A1), Second = Root(A2), Third = Root(B), Fourth = Root(C);
  for (const IReteToken& Token : {First, Second, Third, Fourth}) ASSERT_TRUE(Tree.Add(Token));
  EXPECT_EQ(Tree.IndexOf(*Second), Second->GetHint());
  EXPECT_EQ(Tree.KeyAt(Second->GetHint()), Tree.KeyOf(*Second));

  // Records hang on the entry until it leaves.
  Tree.Records(Third->GetHint()) = 42;
  uint32_t Records = 0;
  EXPECT_EQ(Tree.Extract(Third, &Records).get(), Third.get());
  EXPECT_EQ(Records, 42u);

  // The later of two candidates leaves by its hint; the earlier one stays findable.
  EXPECT_EQ(Tree.Extract(Second, &Records).get(), Second.get());
  EXPECT_EQ(Records, TIETokenTree::NoEntry);
  EXPECT_EQ(Tree.IndexOf(*Second), TIETokenTree::NoEntry);
  EXPECT_NE(Tree.IndexOf(*First), TIETokenTree::NoEntry);

  // Stored in a second memory, the token's hint serves that one; the first still finds it by searching.
  ASSERT_TRUE(Other.Add(Fourth));
  EXPECT_NE(Tree.IndexOf(*Fourth), TIETokenTree::NoEntry);
  // A hint naming another stored token is not trusted either.
  Fourth->SetHint(Tree.IndexOf(*First));
  EXPECT_EQ(Tree.Extract(Fourth).get(), Fourth.get());
  EXPECT_EQ(Tree.Count(), 1u);
  EXPECT_EQ(Tree.begin()->get(), First.get());
  EXPECT_EQ(Other.Count(), 1u);

  // A copy of a token is stored (as a negated join stores one); the original finds it by its hint, and an
  // equal token built afresh finds it by searching.
  IReteToken Copy = MakeRef<TIEToken>(Third);
  ASSERT_TRUE(Tree.Add(Copy));
  Third->SetHint(Copy->GetHint());
  EXPECT_EQ(Tree.Records(Copy->GetHint()), TIETokenTree::NoEntry);  // a reused entry starts bare
  EXPECT_EQ(Tree.Extract(Third).get(), Copy.get());
  ASSERT_TRUE(Tree.Add(Copy));
  EXPECT_EQ(Tree.Extract(Root(B)).get(), Copy.get());
  EXPECT_EQ(Tree.Extract(First).get(), First.get());
  EXPECT_EQ(Tree.Count(), 0u);
  EXPECT_FALSE(Tree.Extract(First));
}
