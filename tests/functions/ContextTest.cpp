// Evaluation contexts: scoping along the chain, the binding forms, return propagation, multifield expansion,
// resolving facts built by actions, and binding records read from a partial match.
#include <gtest/gtest.h>

#include "../FakeEngine.h"
#include "../TestValues.h"
#include "rulecraft/core/Binding.h"
#include "rulecraft/functions/TokenBase.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

/// A partial match built by hand: each token adds one fact to its parent's chain.
class TTestToken final : public TTokenBase {
 public:
  TTestToken(const ITokenBase& Parent, const IFact& Fact) {
    FParent = Parent;
    FFact = Fact;
    FCount = Parent ? Parent->GetCount() + 1 : 1;
  }
};

ITokenBase Chain(std::vector<IFact> Facts) {
  ITokenBase Token;
  for (IFact& F : Facts) Token = ITokenBase(new TTestToken(Token, F));
  return Token;
}

IFactTemplate ItemTemplate() {
  IFactTemplate T = MakeRef<TFactTemplate>(nullptr, "item");
  T->AddSlot("color", Atom("none"));
  T->AddMultiSlot("parts", FCNilList);
  return T;
}

IFact Item(const IFactTemplate& T, const std::string& Color, std::vector<IIEValue> Parts, int32_t ID) {
  IFact F = MakeRef<TFact>(T);
  F->SetValue("color", Atom(Color));
  F->SetValue("parts", List(std::move(Parts)));
  F->SetID(ID);
  return F;
}

}  // namespace

TEST(Context, ScopingAlongTheChain) {
  TFakeFunctionEngine Engine;
  TIEContext& Root = Engine.Root;
  Root.AddGlobalBinding("*g*", Int(1));
  auto Child = Root.Push();
  Child->AddLocalBinding("x", Int(2));
  auto Inner = Child->Push();
  EXPECT_EQ(Inner->GetEngine(), &Engine);
  EXPECT_EQ(Inner->GetVariable("*g*")->GetAsInteger(), 1);
  EXPECT_EQ(Inner->GetVariable("x")->GetAsInteger(), 2);
  EXPECT_EQ(Inner->FindGlobalBinding("*g*"), Root.FindBinding("*g*"));
  EXPECT_EQ(Inner->FindGlobalBinding("x"), nullptr);  // only the root holds globals
  ExpectError([&] { Inner->GetVariable("nope"); }, "Unknown variable name: nope");

  // SetVariable of a name bound only outside changes the outer binding.
  TBinding* Outer = Child->FindBinding("x");
  Inner->SetVariable("x", Int(3));
  EXPECT_EQ(Inner->GetBindings().Count(), 0);
  EXPECT_EQ(Outer->GetValue()->GetAsInteger(), 3);
  // AddLocalBinding shadows it; the outer binding keeps its value.
  Inner->AddLocalBinding("x", Int(4));
  EXPECT_EQ(Inner->GetVariable("x")->GetAsInteger(), 4);
  EXPECT_EQ(Child->GetVariable("x")->GetAsInteger(), 3);
  // SetVariable now finds this context's own binding.
  Inner->SetVariable("x", Int(5));
  EXPECT_EQ(Child->GetVariable("x")->GetAsInteger(), 3);
  // AddBinding replaces the nearest binding wherever it is, and creates one here for a new name.
  auto Deepest = Inner->Push();
  EXPECT_EQ(Deepest->AddBinding("x", Int(6)), Inner->FindBinding("x"));
  EXPECT_EQ(Inner->GetVariable("x")->GetAsInteger(), 6);
  EXPECT_EQ(Deepest->GetBindings().Count(), 0);
  Deepest->AddBinding("y", Int(7));
  EXPECT_EQ(Deepest->GetBindings().Count(), 1);
  EXPECT_EQ(Inner->FindBinding("y"), nullptr);
  // AddGlobalBinding goes to the root, even past a shadowing local of the same name.
  Deepest->AddLocalBinding("*g*", Int(8));
  Deepest->AddGlobalBinding("*g*", Int(9));
  Deepest->AddGlobalBinding("*h*", Int(10));
  EXPECT_EQ(Root.GetVariable("*g*")->GetAsInteger(), 9);
  EXPECT_EQ(Root.GetVariable("*h*")->GetAsInteger(), 10);
  EXPECT_EQ(Deepest->GetVariable("*g*")->GetAsInteger(), 8);
}

TEST(Context, PatternBindingsReplaceWhereverTheNameIs) {
  TIEContext Root(nullptr, nullptr);
  Root.AddLocalBinding("p", Int(1));
  auto Child = Root.Push();
  TBinding* B = Child->AddBinding("p", 0, "color", NoSubIndex);
  EXPECT_EQ(Root.GetBindings().Count(), 0);  // the old binding left its table
  EXPECT_EQ(Child->FindBinding("p"), B);
  EXPECT_EQ(B->ToString(), "name=p FactIdx=0 SlotIdx=color");
  EXPECT_FALSE(B->GetValue());
  // A same-named binding in the same table is replaced in place.
  Child->AddBinding("p", 1, SPatternBinding, NoSubIndex);
  EXPECT_EQ(Child->GetBindings().Count(), 1);
  EXPECT_EQ(Child->FindBinding("p")->GetFactIndex(), 1);
}

TEST(Context, BindingTable) {
  TIEContext Owner(nullptr, nullptr);
  TBindings Table(&Owner);
  Table.Add(std::make_unique<TBinding>("a", Int(1)));
  Table.Add(std::make_unique<TBinding>("b", Int(2)));
  TBinding* A = Table.Put("a", std::make_unique<TBinding>("a", Int(3)));
  EXPECT_EQ(Table.Count(), 2);
  EXPECT_EQ(Table.GetItemByIndex(0), A);  // a replacement keeps the entry's place
  EXPECT_THROW(Table.GetItemByIndex(2), EListError);
  Table.SetItem("b", nullptr);
  EXPECT_EQ(Table.Get("b"), nullptr);
  Owner.SetReturnValue(Int(1));
  Table.Clear();  // reports tnCleared to its owner, which drops its return state
  EXPECT_EQ(Table.Count(), 0);
  EXPECT_FALSE(Owner.GetReturn());
}

TEST(Context, ReturnPropagationAndClear) {
  TIEContext Root(nullptr, nullptr);
  auto Child = Root.Push();
  IIEValue Five = Int(5);
  Child->SetReturnValue(Five);
  EXPECT_EQ(Child->Pop(), &Root);
  EXPECT_TRUE(Root.GetReturn());
  EXPECT_EQ(Root.GetReturnValue().get(), Five.get());
  EXPECT_EQ(Root.Pop(), &Root);

  // Assign copies the return state (the value as a copy), not the bindings.
  Root.AddLocalBinding("x", Int(1));
  TIEContext Other(nullptr, nullptr);
  Other.Assign(&Root);
  EXPECT_TRUE(Other.GetReturn());
  EXPECT_NE(Other.GetReturnValue().get(), Five.get());
  EXPECT_EQ(Other.GetReturnValue()->GetAsInteger(), 5);
  EXPECT_EQ(Other.GetBindings().Count(), 0);

  // Clearing the table clears a pending return, even with no binding left to free.
  Root.Clear();
  EXPECT_FALSE(Root.GetReturn());
  EXPECT_FALSE(Root.GetReturnValue());
  Root.SetReturnValue(Five);
  Root.Clear();
  EXPECT_FALSE(Root.GetReturn());
}

TEST(Context, ChildStartsWithTokenAndFact) {
  IFactTemplate T = ItemTemplate();
  IFact F = Item(T, "red", {}, 4);
  TIEContext Root(nullptr, nullptr);
  Root.SetToken(Chain({F}));
  Root.SetFact(F);
  auto Child = Root.Push();
  EXPECT_EQ(Child->GetToken(), Root.GetToken());
  EXPECT_EQ(Child->GetFact(), F);
  // So a function called from a pattern still reads the rule's pattern variables.
  IIEValue Color;
  Child->ResolveBindingRecord(TBindingInfo(0, "color", NoSubIndex), Color);
  EXPECT_EQ(Color->GetAsString(), "red");
}

TEST(Context, ExpandAndFlattenLists) {
  TFakeFunctionEngine Engine;
  TIEContext& C = Engine.Root;
  IIEValue Four = Int(4);
  C.AddLocalBinding("x", Four);
  C.AddLocalBinding("l", List({Int(5), List({Var("x")})}));
  IValueVector Source = List({Int(1), List({Int(2), Int(3)}), Var("x")})->GetAsList();
  IValueVector Expanded = C.ExpandList(Source);
  EXPECT_EQ(Texts(Expanded), "1 2 3 4");
  EXPECT_EQ(Expanded->Get(3).get(), Four.get());  // the bound value object itself
  EXPECT_EQ(Source->GetValueCount(), 3);          // the source is left as it was
  // A variable holding a list is spliced in, and its own elements are resolved.
  EXPECT_EQ(Texts(C.ExpandList(List({Var("l")})->GetAsList())), "5 4");
  // Flattening splices without resolving.
  EXPECT_EQ(Texts(C.FlattenList(List({Var("l"), List({List({Var("x")})})})->GetAsList())), "?l ?x");
  EXPECT_EQ(C.ExpandList(IValueVector())->GetValueCount(), 0);

  // A list holding itself is refused instead of exhausting the stack.
  IValueVector Loop = MakeRef<TValueVector>();
  Loop->Add(Int(1));
  Loop->Add(MakeRef<TIEValue>(Loop));
  ExpectError([&] { C.ExpandList(Loop); }, "Multifield nested deeper than 1000 levels");
  ExpectError([&] { C.FlattenList(Loop); }, "Multifield nested deeper than 1000 levels");
  Loop->Clear();  // break the cycle
}

TEST(Context, ResolveFactKeepsTheActionsListIntact) {
  TFakeFunctionEngine Engine;
  Engine.AddUserFunction(Plus());
  TIEContext& C = Engine.Root;
  C.AddLocalBinding("c", Atom("red"));
  C.AddLocalBinding("y", Int(10));
  IFactTemplate T = ItemTemplate();
  // As an assert action holds it: (item (color ?c) (parts 1 ?y (plus 1 2) (5 6)))
  IFact Written = MakeRef<TFact>(T);
  Written->SetValue("color", Var("c"));
  Written->SetValue("parts", List({Int(1), Var("y"), CallValue(NewCall(&Engine, "plus", {Int(1), Int(2)})),
                                   List({Int(5), Int(6)})}));
  const IValueVector WrittenParts = Written->GetValue("parts")->GetAsList();

  IFact First = Written->Clone();  // a clone shares the list object with the action
  EXPECT_EQ(C.Resolve(First), First);
  EXPECT_EQ(First->GetValue("color")->GetAsString(), "red");
  EXPECT_EQ(Texts(First->GetValue("parts")->GetAsList()), "1 10 3 5 6");
  EXPECT_EQ(WrittenParts->GetValueCount(), 4);
  EXPECT_EQ(WrittenParts->Get(1)->GetDType(), dtVariable);

  // The next firing asserts its own values.
  C.SetVariable("y", Int(20));
  IFact Second = C.Resolve(Written->Clone());
  EXPECT_EQ(Texts(Second->GetValue("parts")->GetAsList()), "1 20 3 5 6");
  EXPECT_EQ(Texts(First->GetValue("parts")->GetAsList()), "1 10 3 5 6");

  // A call in a single slot stores its result; an unbound variable raises the value model's error.
  IFact Third = MakeRef<TFact>(T);
  Third->SetValue("color", CallValue(NewCall(&Engine, "plus", {Int(2), Int(2)})));
  EXPECT_EQ(C.Resolve(Third)->GetValue("color")->GetAsInteger(), 4);
  Third->SetValue("color", Var("unbound"));
  ExpectError([&] { C.Resolve(Third); }, "Corrupted Binding, variable not found: unbound");
}

TEST(Context, ResolveFuzzyFact) {
  TFakeFunctionEngine Engine;
  TIEContext& C = Engine.Root;
  IFuzzyVariable Temperature = MakeRef<TIFuzzyVariable>("temperature");
  Temperature->SetRange(0, 100);
  Temperature->NewFuzzySet("hot")->SetS(50, 80);
  IIEDefinedType Type = MakeRef<TIEDefinedType>("temperature");
  Type->SetBaseTypes({dtFuzzy});
  Type->SetFuzzyType(Temperature);
  IFactTemplate T = MakeRef<TFactTemplate>(nullptr, "room");
  T->AddSlot("heat", Atom("none"));
  T->GetSlot("heat")->SetExtendedTypeInfo(Type);
  T->AddMultiSlot("heats", FCNilList);
  T->GetSlot("heats")->SetExtendedTypeInfo(Type);
  T->GetSlot("heats")->SetSlotType({dtFuzzy, dtList});
  T->AddMultiSlot("tags", FCNilList);
  ASSERT_TRUE(T->IsFuzzy());

  C.AddLocalBinding("t", Atom("hot"));
  IFuzzySet Loose = MakeRef<TIFuzzySet>(nullptr, "");
  Loose->SetS(10, 20);
  IFact F = MakeRef<TFact>(T);
  F->SetValue("heat", Var("t"));
  F->SetValue("heats", Atom("hot"));
  F->SetValue("tags", List({Var("t"), List({Int(1)})}));
  C.Resolve(F);
  EXPECT_EQ(Engine.FuzzyEvaluations, 2);
  ASSERT_EQ(F->GetValue("heat")->GetDType(), dtFuzzy);
  EXPECT_EQ(F->GetValue("heat")->GetAsFuzzy()->GetName(), "hot");
  // A slot that also takes lists receives the fuzzy value in a one-element list.
  ASSERT_EQ(F->GetValue("heats")->GetDType(), dtList);
  EXPECT_EQ(F->GetValue("heats")->GetAsList()->Get(0)->GetAsFuzzy()->GetName(), "hot");
  // The template's other multislots are expanded as in any fact.
  EXPECT_EQ(Texts(F->GetValue("tags")->GetAsList()), "hot 1");

  // A fuzzy value is not evaluated again; a set of no variable is copied into the slot's variable, and the
  // set given (which a global or a binding may share) stays as it was.
  F->SetValue("heat", MakeRef<TIEValue>(Loose));
  C.Resolve(F);
  EXPECT_EQ(Engine.FuzzyEvaluations, 2);
  const IFuzzySet Stored = F->GetValue("heat")->GetAsFuzzy();
  EXPECT_NE(Stored.get(), Loose.get());
  EXPECT_EQ(Stored->GetVariable(), Temperature.get());
  EXPECT_DOUBLE_EQ(Stored->DegreeOfMembership(15), Loose->DegreeOfMembership(15));
  EXPECT_EQ(Loose->GetVariable(), nullptr);
  // A set that already has a variable is kept as it is.
  C.Resolve(F);
  EXPECT_EQ(F->GetValue("heat")->GetAsFuzzy().get(), Stored.get());
}

TEST(Context, BindingRecordsReadThePartialMatch) {
  IFactTemplate T = ItemTemplate();
  IFact A = Item(T, "red", {Int(1)}, 1);
  IFact B = Item(T, "blue", {Atom("x"), Atom("y")}, 2);
  IFact Current = Item(T, "green", {}, 3);
  TIEContext C(nullptr, nullptr);
  C.SetToken(Chain({A, B}));
  C.SetFact(Current);
  auto Read = [&](int32_t FactIndex, const std::string& Slot, int32_t Sub) {
    IIEValue Result;
    C.ResolveBindingRecord(TBindingInfo(FactIndex, Slot, Sub), Result);
    return Result;
  };
  EXPECT_EQ(Read(0, "color", NoSubIndex)->GetAsString(), "red");
  EXPECT_EQ(Read(1, "parts", 1)->GetAsString(), "y");
  IIEValue Id = Read(1, SPatternBinding, NoSubIndex);
  EXPECT_EQ(Id->GetDType(), dtFactId);
  EXPECT_EQ(Id->GetAsFactId(), 2);
  // The position just after the token is the fact being matched.
  EXPECT_EQ(Read(2, "color", NoSubIndex)->GetAsString(), "green");
  ExpectError([&] { Read(3, "color", NoSubIndex); }, "Corrupted Token, no fact at position 3");
  ExpectError([&] { Read(-1, "color", NoSubIndex); }, "Corrupted Token, no fact at position -1");
  ExpectError([&] { Read(1, "parts", 2); }, "Corrupted Binding, no element at position 2 of slot parts");
  ExpectError([&] { Read(1, "color", 0); }, "Not a list type.  Value (blue) is a dtAtom type");

  // Through the value model: a value holding a binding record resolves in the context.
  TBindingInfo Record(1, "color", NoSubIndex);
  IIEValue Holder = MakeRef<TIEValue>(&Record, false);
  IIEValue Result;
  Holder->Resolve(&C, Result);
  EXPECT_EQ(Result->GetAsString(), "blue");

  // Without a token, position 0 is the current fact; without either, nothing is there.
  C.SetToken(ITokenBase());
  EXPECT_EQ(Read(0, "color", NoSubIndex)->GetAsString(), "green");
  C.SetFact(IFact());
  ExpectError([&] { Read(0, "color", NoSubIndex); }, "Corrupted Token, no fact at position 0");
}

TEST(Context, FramesFromThePool) {
  TFakeFunctionEngine Engine;
  TIEContext& Root = Engine.Root;
  Root.AddGlobalBinding("*g*", Int(1));
  IFrameLayout AB = MakeRef<TFrameLayout>(std::vector<std::string>{"a", "b", "a"});
  EXPECT_EQ(AB->Count(), 2);  // a repeated name keeps its first slot
  const IIEValue A = Var("a");
  const IIEValue G = Var("*g*");
  AB->AddVariables(List({A, G}), false);
  EXPECT_EQ(AB->SlotOf(*A), 0);
  EXPECT_EQ(AB->SlotOf(*G), -1);
  EXPECT_EQ(AB->SlotOf(*Var("b")), 1);  // not recorded: found by its name
  const IIEValue C = Var("c");
  AB->AddVariables(C, false);
  EXPECT_EQ(AB->Add("c"), 2);
  EXPECT_EQ(AB->SlotOf(*C), 2);  // recorded before the name had a slot

  const TIEContext* First = nullptr;
  IIEValue Result;
  {
    TFrame Frame = Root.PushFrame(AB);
    First = Frame.get();
    EXPECT_EQ(Frame->GetParent(), &Root);
    Frame->BindSlot(0, Int(2));
    // A new local takes its slot, a name without one goes to the table, and a global stays global.
    Frame->SetVariable(*Var("b"), Int(3));
    Frame->SetVariable(*Var("d"), Int(4));
    Frame->SetVariable(*G, Int(5));
    std::vector<std::string> Names;
    for (const TBinding* B : Frame->GetOwnBindings()) Names.push_back(B->GetName());
    EXPECT_EQ(Names, (std::vector<std::string>{"a", "b", "d"}));
    EXPECT_EQ(Root.GetVariable("*g*")->GetAsInteger(), 5);
    // A frame of the same layout inside it: its own slots are unbound, so reads and binds reach outside.
    TFrame Inner = Frame->PushFrame(AB);
    A->Resolve(Inner.get(), Result);
    EXPECT_EQ(Result->GetAsInteger(), 2);
    Inner->SetVariable(*A, Int(6));
    EXPECT_TRUE(Inner->GetOwnBindings().empty());
    EXPECT_EQ(Frame->GetVariable("a")->GetAsInteger(), 6);
    Inner->AddLocalBinding("a", Int(7));
    A->Resolve(Inner.get(), Result);
    EXPECT_EQ(Result->GetAsInteger(), 7);
    A->Resolve(Frame.get(), Result);
    EXPECT_EQ(Result->GetAsInteger(), 6);
  }
  // Both frames went back to the pool; the next one is reused with every slot unbound.
  TFrame Again = Root.PushFrame(AB);
  EXPECT_EQ(Again.get(), First);
  EXPECT_TRUE(Again->GetOwnBindings().empty());
  ExpectError([&] { A->Resolve(Again.get(), Result); }, "Corrupted Binding, variable not found: a");
  Again.reset();
  // A frame of another layout has that layout's names, whether made or taken from the pool.
  std::vector<TFrame> Others;
  for (int I = 0; I < 40; ++I) Others.push_back(Root.PushFrame(AB));
  Others.clear();
  TFrame Other = Root.PushFrame(MakeRef<TFrameLayout>(std::vector<std::string>{"z"}));
  EXPECT_EQ(Other->GetLayout()->Count(), 1);
  ExpectError([&] { Other->BindSlot(1, Int(8)); }, "List index out of bounds (1)");
  Other->BindSlot(0, Int(8));
  EXPECT_EQ(Other->FindBinding("z")->GetValue()->GetAsInteger(), 8);
  EXPECT_EQ(Other->FindOwnBinding("a"), nullptr);
  Other->Clear();
  EXPECT_EQ(Other->FindOwnBinding("z"), nullptr);
}
