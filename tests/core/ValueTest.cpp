// The value model: kinds, conversions and their errors, both equalities, hashing, text forms, copying,
// ownership of objects, change events and resolution.
#include <gtest/gtest.h>

#include "../TestValues.h"

#include <cmath>
#include <functional>
#include <limits>

#include "rulecraft/core/Binding.h"
#include "rulecraft/core/Helpers.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/ResolveContext.h"
#include "rulecraft/core/SingletonsVector.h"
#include "rulecraft/core/Value.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/framework/Component.h"
#include "rulecraft/fuzzyset/FuzzySet.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

class TFakeFact final : public TFactBase {
 public:
  explicit TFakeFact(std::string Text) : FText(std::move(Text)) {}
  std::string GetToString() const override { return FText; }
  int32_t GetHashCode() const override { return 42; }
  using ICloneable::Assign;
  void Assign(const ICloneableRef&) override {}
  ICloneableRef CloneInterface() const override { return MakeRef<TFakeFact>(FText); }
  bool Equals(const ICloneable* Other) const override {
    auto* F = dynamic_cast<const TFakeFact*>(Other);
    return F && F->FText == FText;
  }
  int32_t GetTag() const override { return 0; }
  void SetTag(int32_t) override {}

 private:
  std::string FText;
};

class TFakeCall final : public TFunCallBase {
 public:
  std::string GetToString() const override { return "(answer)"; }
  int32_t GetHashCode() const override { return 7; }
  void Execute(TResolveContext*, IIEValue& Result) override { Result = MakeRef<TIEValue>(42, dtInteger); }
  using ICloneable::Assign;
  void Assign(const ICloneableRef&) override {}
  ICloneableRef CloneInterface() const override { return MakeRef<TFakeCall>(); }
  bool Equals(const ICloneable* Other) const override {
    return dynamic_cast<const TFakeCall*>(Other) != nullptr;
  }
  int32_t GetTag() const override { return 0; }
  void SetTag(int32_t) override {}
};

class TFakeContext final : public TResolveContext {
 public:
  TBinding* FindBinding(const std::string& Name) const override {
    for (const auto& B : Bindings)
      if (B->GetName() == Name) return B.get();
    return nullptr;
  }
  void ResolveBindingRecord(const TBindingInfo& Record, IIEValue& Result) override {
    Result = MakeRef<TIEValue>(Record.GetFactIndex() * 100 + Record.GetSubIndex(), dtInteger);
  }
  std::vector<std::unique_ptr<TBinding>> Bindings;
};

class TPersistentThing : public TPersistent {
  RC_CLASS(TPersistentThing, TPersistent)
 public:
  int Payload = 0;
  void Assign(const TPersistent* Source) override {
    if (auto* T = dynamic_cast<const TPersistentThing*>(Source))
      Payload = T->Payload;
    else
      TPersistent::Assign(Source);
  }
};

class TPlainThing : public TObject {
  RC_CLASS(TPlainThing, TObject)
 public:
  ~TPlainThing() override { ++Destroyed; }
  static inline int Destroyed = 0;
};

class TOwnedComponent : public TComponent {
  RC_CLASS(TOwnedComponent, TComponent)
 public:
  using TComponent::TComponent;
  ~TOwnedComponent() override { ++Destroyed; }
  void Assign(const TPersistent* Source) override {
    if (!dynamic_cast<const TOwnedComponent*>(Source)) TComponent::Assign(Source);
  }
  static inline int Destroyed = 0;
};

}  // namespace

TEST(ValueText, EveryKindPrintsItsForm) {
  EXPECT_EQ(MakeRef<TIEValue>()->GetToString(), "");
  EXPECT_EQ(Atom("abc")->GetToString(), "abc");
  EXPECT_EQ(Str("a\"b\\c")->GetToString(), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(Int(-12)->GetToString(), "-12");
  EXPECT_EQ(MakeRef<TIEValue>("x", dtVariable)->GetToString(), "?x");
  EXPECT_EQ(MakeRef<TIEValue>("xs", dtMultiVariable)->GetToString(), "$?xs");
  EXPECT_EQ(MakeRef<TIEValue>("color", dtSlot)->GetToString(), "color");
  EXPECT_EQ(MakeRef<TIEValue>(3, dtFactId)->GetToString(), "<Fact-3>");
  EXPECT_EQ(MakeRef<TIEValue>(9, dtDescriptor)->GetToString(), "<UNKNOWN>");
  EXPECT_EQ(Flt(2.5)->GetToString(), "2.5000");
  EXPECT_EQ(Flt(3)->GetToString(), "3.0000");
  EXPECT_EQ(Flt(-0.00004)->GetToString(), "-0.0000");
  EXPECT_EQ(List({})->GetToString(), "");
  EXPECT_EQ(List({Int(1), Int(2)})->GetToString(), "1 2 ");
  EXPECT_EQ(MakeRef<TIEValue>(TObject::StaticClass())->GetToString(), "TObject");
  EXPECT_EQ(MakeRef<TIEValue>(static_cast<TObject*>(nullptr), false)->GetToString(), "");
  TPersistentThing Thing;
  EXPECT_EQ(MakeRef<TIEValue>(&Thing, false)->GetToString(), "<Object: TPersistentThing>");
  TBindingInfo Record(0, "color", NoSubIndex);
  EXPECT_EQ(MakeRef<TIEValue>(&Record, false)->GetToString(), "<TBindingInfo: FactIdx=0 SlotIdx=color>");
  TBinding Binding("x", Int(4));
  EXPECT_EQ(MakeRef<TIEValue>(&Binding, false)->GetToString(),
            "<TBinding: name=x value=4 FactIdx=-2 SlotIdx=__LOCAL>");
  int Local = 0;
  EXPECT_EQ(MakeRef<TIEValue>(static_cast<void*>(&Local))->GetToString(),
            "<External-Address: " + std::to_string(reinterpret_cast<uintptr_t>(&Local)) + ">");
  EXPECT_EQ(MakeRef<TIEValue>(TRef<TFactBase>(MakeRef<TFakeFact>("(a 1)")))->GetToString(), "(a 1)");
  EXPECT_EQ(MakeRef<TIEValue>(TRef<TFunCallBase>(MakeRef<TFakeCall>()))->GetToString(), "(answer)");
}

TEST(ValueConstruction, KindMustFitThePayload) {
  ExpectError<EIEException>([] { TIEValue V("x", dtInteger); }, "Value and type mismatch");
  ExpectError<EIEException>([] { TIEValue V(1, dtAtom); }, "Value and type mismatch");
  ExpectError<EIEException>([] { TIEValue V(1, dtFloat); }, "Value and type mismatch");
  EXPECT_EQ(MakeRef<TIEValue>(5, dtDescriptor)->GetDType(), dtDescriptor);
  EXPECT_EQ(MakeRef<TIEValue>()->GetDType(), dtNone);
}

TEST(ValueConversion, IntegerFromTextAndFloat) {
  EXPECT_EQ(Str("7.9")->GetAsInteger(), 7);
  EXPECT_EQ(Atom("-7.9")->GetAsInteger(), -7);
  EXPECT_EQ(Atom("42")->GetAsInteger(), 42);
  EXPECT_EQ(Flt(-3.99)->GetAsInteger(), -3);
  ExpectError<EIEException>([] { Atom("x")->GetAsInteger(); },
                            "Not a integer type.  Value (x) is a dtAtom type");
  ExpectError<EIEException>([] { List({})->GetAsInteger(); },
                            "Not a integer type.  Value () is a dtList type");
}

TEST(ValueConversion, FloatsOutside32BitsWrapAndNonFiniteFail) {
  // 2^32 + 5 truncates to 5 after wrapping; 2^31 wraps to the lowest 32-bit integer.
  EXPECT_EQ(Flt(4294967301.0)->GetAsInteger(), 5);
  EXPECT_EQ(Flt(2147483648.0)->GetAsInteger(), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(Flt(-4294967297.5)->GetAsInteger(), -1);
  EXPECT_EQ(Flt(1e300)->GetAsInteger(), Flt(1e300)->GetAsInteger());  // defined, whatever the value
  const double Inf = std::numeric_limits<double>::infinity();
  EXPECT_THROW(Flt(Inf)->GetAsInteger(), EIEException);
  EXPECT_THROW(Flt(-Inf)->GetAsNumeric() == 0 ? 0 : Flt(-Inf)->GetAsInteger(), EIEException);
  EXPECT_THROW(Flt(std::nan(""))->GetAsInteger(), EIEException);
  EXPECT_THROW(Flt(std::nan(""))->GetAsFactId(), EIEException);
  EXPECT_EQ(Str("1e10")->GetAsInteger(), static_cast<int32_t>(1410065408));  // 10^10 mod 2^32
}

TEST(ValueConversion, NumericAndOtherGetters) {
  EXPECT_EQ(FCNil->GetAsNumeric(), 0.0);
  ExpectError<EIEException>([] { Atom("")->GetAsNumeric(); },
                            "Not a numeric type.  Value () is a dtAtom type");
  EXPECT_DOUBLE_EQ(Str("2.5")->GetAsFloat(), 2.5);
  EXPECT_EQ(MakeRef<TIEValue>(3, dtFactId)->GetAsNumeric(), 3.0);
  EXPECT_EQ(Flt(4.0)->GetAsFactId(), 4);
  ExpectError<EIEException>([] { Atom("a")->GetAsFactId(); },
                            "Not a fact id type.  Value (a) is a dtAtom type");
  EXPECT_EQ(Int(5)->GetAsString(), "5");
  EXPECT_EQ(Flt(5)->GetAsString(), "5.0000");
  EXPECT_EQ(Str("q\"")->GetAsString(), "q\"");
  ExpectError<EIEException>([] { List({Int(1)})->GetAsString(); },
                            "Not a string type.  Value (1 ) is a dtList type");
  // Every other getter refuses an integer with its own name of the kind.
  using TGetter = std::function<void(const IIEValue&)>;
  const std::pair<TGetter, const char*> Refusals[] = {
      {[](const IIEValue& V) { V->GetAsDescriptor(); }, "descriptor"},
      {[](const IIEValue& V) { V->GetAsExternalAddress(); }, "External Address"},
      {[](const IIEValue& V) { V->GetAsObject(); }, "object"},
      {[](const IIEValue& V) { V->GetAsClass(); }, "class"},
      {[](const IIEValue& V) { V->GetAsFactBase(); }, "fact"},
      {[](const IIEValue& V) { V->GetAsFunCallBase(); }, "function call"},
      {[](const IIEValue& V) { V->GetAsList(); }, "list"},
      {[](const IIEValue& V) { V->GetAsFuzzy(); }, "fuzzy value"},
      {[](const IIEValue& V) { V->GetAsSingletons(); }, "singletons"}};
  for (const auto& Refusal : Refusals)
    ExpectError<EIEException>([&] { Refusal.first(Int(1)); }, std::string("Not a ") + Refusal.second +
                                                                  " type.  Value (1) is a dtInteger type");
  TPersistentThing Thing;
  EXPECT_EQ(MakeRef<TIEValue>(&Thing, false)->GetAsExternalAddress(), static_cast<void*>(&Thing));
}

TEST(ValueEquality, EqualsComparesKindAndValue) {
  EXPECT_FALSE(Atom("x")->Equals(Str("x")));
  EXPECT_TRUE(Atom("x")->Equals(Atom("x")));
  EXPECT_FALSE(Atom("x")->Equals(Atom("X")));
  EXPECT_FALSE(Int(1)->Equals(Flt(1.0)));
  EXPECT_FALSE(Int(5)->Equals(Flt(5.7)));
  EXPECT_TRUE(Flt(0.1 + 0.2)->Equals(Flt(0.1 + 0.2)));
  EXPECT_FALSE(Flt(0.1 + 0.2)->Equals(Flt(0.3)));  // no tolerance
  EXPECT_TRUE(MakeRef<TIEValue>()->Equals(MakeRef<TIEValue>()));
  EXPECT_FALSE(Int(1)->Equals(IIEValue()));
  EXPECT_TRUE(List({Int(1), Str("a")})->Equals(List({Int(1), Str("a")})));
  EXPECT_FALSE(List({Int(1)})->Equals(List({Flt(1)})));
  EXPECT_FALSE(MakeRef<TIEValue>(TObject::StaticClass())->Equals(MakeRef<TIEValue>(TObject::StaticClass())));
  IIEValue Same = MakeRef<TIEValue>(TObject::StaticClass());
  EXPECT_TRUE(Same->Equals(Same));
  EXPECT_TRUE(MakeRef<TIEValue>(TRef<TFactBase>(MakeRef<TFakeFact>("(a)")))
                  ->Equals(MakeRef<TIEValue>(TRef<TFactBase>(MakeRef<TFakeFact>("(a)")))));
  // The cloneable form asks for a value first.
  EXPECT_FALSE(Int(1)->Equals(static_cast<const ICloneable*>(MakeRef<TValueVector>().get())));
}

TEST(ValueEquality, EqualsStarComparesByThisValuesKind) {
  EXPECT_TRUE(Atom("x")->EqualsStar(Str("x")));
  EXPECT_TRUE(Atom("5")->EqualsStar(Int(5)));
  EXPECT_FALSE(Atom("5")->EqualsStar(Flt(5.0)));  // 5.0000
  EXPECT_TRUE(Int(5)->EqualsStar(Flt(5.7)));
  EXPECT_TRUE(Int(5)->EqualsStar(Str("5")));
  EXPECT_TRUE(Flt(5.0)->EqualsStar(Int(5)));
  EXPECT_FALSE(Flt(5.5)->EqualsStar(Int(5)));
  ExpectError<EIEException>([] { Int(5)->EqualsStar(Atom("abc")); },
                            "Not a integer type.  Value (abc) is a dtAtom type");
  IIEValue Call = MakeRef<TIEValue>(TRef<TFunCallBase>(MakeRef<TFakeCall>()));
  EXPECT_FALSE(Call->EqualsStar(Atom("(answer)")));
}

TEST(ValueEquality, FuzzyValuesDecideForBothSides) {
  IFuzzySet Set = MakeRef<TIFuzzySet>(nullptr, "warm");
  Set->AddPoint(0, 0);
  Set->AddPoint(10, 1);
  IFuzzySet Twin = Set->Clone();
  IIEValue A = MakeRef<TIEValue>(Set);
  IIEValue B = MakeRef<TIEValue>(Twin);
  // The set compares with the other value's set, whichever side it is on.
  EXPECT_EQ(A->Equals(B), Set->Equals(Twin.get()));
  EXPECT_EQ(Int(3)->Equals(A), A->Equals(Int(3)));
  EXPECT_EQ(Int(3)->EqualsStar(A), A->EqualsStar(Int(3)));
}

TEST(ValueHash, HashesFollowTheKind) {
  EXPECT_EQ(Atom("abc")->GetHashCode(), 96354);
  EXPECT_EQ(Str("abc")->GetHashCode(), 96354);
  EXPECT_EQ(Int(-5)->GetHashCode(), -5);
  EXPECT_EQ(Flt(5.7)->GetHashCode(), 5);
  EXPECT_EQ(Flt(-5.7)->GetHashCode(), -5);
  EXPECT_EQ(Flt(0.0)->GetHashCode(), Flt(-0.0)->GetHashCode());  // equal values hash alike
  EXPECT_EQ(Flt(1e300)->GetHashCode(), Flt(1e300)->GetHashCode());
  EXPECT_EQ(Flt(std::numeric_limits<double>::infinity())->GetHashCode(),
            Flt(std::numeric_limits<double>::infinity())->GetHashCode());
  (void)Flt(std::nan(""))->GetHashCode();
  EXPECT_EQ(MakeRef<TIEValue>()->GetHashCode(), 0);
  EXPECT_EQ(List({Int(1), Int(2)})->GetHashCode(), 3);
  EXPECT_EQ(List({Int(INT32_MAX), Int(1)})->GetHashCode(), INT32_MIN);  // wraps
  EXPECT_EQ(MakeRef<TIEValue>(TRef<TFactBase>(MakeRef<TFakeFact>("f")))->GetHashCode(), 42);
}

TEST(ValueCopy, InterfaceAssignClonesTheListObjectAssignSharesIt) {
  IIEValue Source = List({Int(1), List({Int(2)})});
  Source->SetTag(9);
  IIEValue ByInterface = MakeRef<TIEValue>();
  ByInterface->Assign(Source);
  EXPECT_TRUE(ByInterface->Equals(Source));
  EXPECT_NE(ByInterface->GetAsList().get(), Source->GetAsList().get());
  // The elements were cloned once: an inner list is shared by the cloned element.
  EXPECT_EQ(ByInterface->GetAsList()->Get(1)->GetAsList().get(),
            Source->GetAsList()->Get(1)->GetAsList().get());
  EXPECT_EQ(ByInterface->GetTag(), 9);

  IIEValue ByObject = MakeRef<TIEValue>();
  ByObject->Assign(static_cast<const TPersistent*>(Source.get()));
  EXPECT_EQ(ByObject->GetAsList().get(), Source->GetAsList().get());
  EXPECT_EQ(ByObject->GetTag(), 9);
  EXPECT_EQ(Source->Clone()->GetAsList().get(), Source->GetAsList().get());
  EXPECT_EQ(MakeRef<TIEValue>(Source)->GetAsList().get() == Source->GetAsList().get(), false);

  IIEValue Dest = Atom("old");
  Source->AssignTo(Dest);
  EXPECT_TRUE(Dest->Equals(Source));
  EXPECT_NE(Dest->GetAsList().get(), Source->GetAsList().get());
  EXPECT_EQ(Dest->GetTag(), 0);  // AssignTo leaves the tag alone
}

TEST(ValueCopy, ClassValuesCopyOnlyByObjectForm) {
  IIEValue Class = MakeRef<TIEValue>(TPersistent::StaticClass());
  EXPECT_EQ(Class->Clone()->GetAsClass(), TPersistent::StaticClass());
  IIEValue ByInterface = MakeRef<TIEValue>(Class);
  EXPECT_EQ(ByInterface->GetDType(), dtClass);
  EXPECT_EQ(ByInterface->GetAsClass(), nullptr);
  IIEValue Dest = Int(1);
  Class->AssignTo(Dest);
  EXPECT_EQ(Dest->GetDType(), dtInteger);
}

TEST(ValueCopy, AssignFromOtherObjectsIsRefused) {
  TPersistentThing Thing;
  EXPECT_THROW(Int(1)->Assign(static_cast<const TPersistent*>(&Thing)), EConvertError);
  EXPECT_THROW(Int(1)->Assign(ICloneableRef(MakeRef<TValueVector>())), EConvertError);
}

TEST(ValueOwnership, OwnedObjectsAreClonedAndFreed) {
  TPlainThing::Destroyed = 0;
  {
    IIEValue V = MakeRef<TIEValue>(new TPlainThing, true);
    EXPECT_TRUE(V->IsOwningObject());
    ExpectError<EIEException>([&] { V->Clone(); },
                              "Uncloneable value.  Value owned an object of &s class type");
    V->SetAsInteger(1);
    EXPECT_EQ(TPlainThing::Destroyed, 1);
    EXPECT_FALSE(V->IsOwningObject());
    V->SetAsOwnedObject(new TPlainThing);
  }
  EXPECT_EQ(TPlainThing::Destroyed, 2);

  auto* Thing = new TPersistentThing;
  Thing->Payload = 17;
  IIEValue Owner = MakeRef<TIEValue>(Thing, true);
  IIEValue Copy = Owner->Clone();
  ASSERT_TRUE(Copy->IsOwningObject());
  EXPECT_NE(Copy->GetAsObject(), Thing);
  EXPECT_EQ(static_cast<TPersistentThing*>(Copy->GetAsObject())->Payload, 17);
  IIEValue Written = MakeRef<TIEValue>();
  Owner->AssignTo(Written);
  EXPECT_TRUE(Written->IsOwningObject());
  EXPECT_NE(Written->GetAsObject(), Thing);
  // An object held without ownership is shared and never freed by the value.
  TPlainThing::Destroyed = 0;
  TPlainThing Plain;
  { IIEValue Borrowed = MakeRef<TIEValue>(&Plain, false); }
  EXPECT_EQ(TPlainThing::Destroyed, 0);
}

TEST(ValueOwnership, ComponentDestroyedElsewhereResetsTheValue) {
  TOwnedComponent::Destroyed = 0;
  TComponent Owner(nullptr);
  auto* Component = new TOwnedComponent(&Owner);
  IIEValue V = MakeRef<TIEValue>(Component, true);
  // A clone's component gets the same owner.
  IIEValue Copy = V->Clone();
  EXPECT_EQ(static_cast<TComponent*>(Copy->GetAsObject())->GetOwner(), &Owner);
  EXPECT_EQ(Owner.ComponentCount(), 2);
  delete Component;
  EXPECT_EQ(V->GetDType(), dtNone);
  EXPECT_EQ(TOwnedComponent::Destroyed, 1);
  V.reset();  // the component is not freed a second time
  EXPECT_EQ(TOwnedComponent::Destroyed, 1);
  Copy->SetAsInteger(3);  // the value frees the clone it owns
  EXPECT_EQ(TOwnedComponent::Destroyed, 2);
  EXPECT_EQ(Owner.ComponentCount(), 0);
}

TEST(ValueOwnership, OwnerDestroyingTheComponentFirstLeavesTheValueEmpty) {
  IIEValue V;
  {
    TComponent Owner(nullptr);
    V = MakeRef<TIEValue>(new TOwnedComponent(&Owner), true);
  }
  EXPECT_EQ(V->GetDType(), dtNone);
}

TEST(ValueEvents, SettersRaiseChangeResetDoesNot) {
  IIEValue V = Int(1);
  int Calls = 0;
  V->SetOnChange([&](const IIEValue& Sender) {
    ++Calls;
    EXPECT_EQ(Sender.get(), V.get());
  });
  V->SetAsAtom("a");
  V->SetAsFloat(1.5);
  V->Assign(Int(3));
  EXPECT_EQ(Calls, 3);
  V->Reset();
  EXPECT_EQ(Calls, 3);
  EXPECT_EQ(V->GetDType(), dtNone);
  V->SetOnChange(nullptr);
  V->SetAsInteger(2);
  EXPECT_EQ(Calls, 3);
}

TEST(ValueEvents, SettingAListToItsOwnListKeepsItAlive) {
  IIEValue V = List({Int(1)});
  IValueVector Inner = V->GetAsList();
  TValueVector* Raw = Inner.get();
  Inner.reset();
  V->SetAsList(IValueVector(Raw));
  EXPECT_EQ(V->GetAsList()->GetValueCount(), 1);
}

TEST(ValueResolve, VariablesCallsAndBindingRecords) {
  TFakeContext Context;
  Context.Bindings.push_back(std::make_unique<TBinding>("x", Int(4)));
  Context.Bindings.push_back(std::make_unique<TBinding>("empty", 0, "slot", NoSubIndex));
  IIEValue Result;
  MakeRef<TIEValue>("x", dtVariable)->Resolve(&Context, Result);
  EXPECT_EQ(Result.get(), Context.Bindings[0]->GetValue().get());  // the bound object itself
  ExpectError<EIEException>([&] { MakeRef<TIEValue>("empty", dtVariable)->Resolve(&Context, Result); },
                            "Corrupted Binding, variable not found: empty");
  ExpectError<EIEException>([&] { MakeRef<TIEValue>("nope", dtMultiVariable)->Resolve(&Context, Result); },
                            "Corrupted Binding, variable not found: nope");
  ExpectError<EIEException>([&] { MakeRef<TIEValue>("x", dtVariable)->Resolve(nullptr, Result); },
                            "No context found when trying to resolve a dtVariable value");

  MakeRef<TIEValue>(TRef<TFunCallBase>(MakeRef<TFakeCall>()))->Resolve(&Context, Result);
  EXPECT_EQ(Result->GetAsInteger(), 42);

  TBindingInfo Record(2, "items", 1);
  MakeRef<TIEValue>(&Record, false)->Resolve(&Context, Result);
  EXPECT_EQ(Result->GetAsInteger(), 201);
  ExpectError<EIEException>([&] { MakeRef<TIEValue>(&Record, false)->Resolve(nullptr, Result); },
                            "No context found when trying to resolve a dtObject value");

  for (IIEValue Self : {Atom("a"), MakeRef<TIEValue>("s", dtSlot), Flt(1)}) {
    Self->Resolve(nullptr, Result);
    EXPECT_EQ(Result.get(), Self.get());
  }
}

TEST(ValueResolve, SingletonsBecomeAFuzzySet) {
  TFakeContext Context;
  Context.Bindings.push_back(std::make_unique<TBinding>("top", Flt(1.0)));
  ISingletonsVector Points = MakeRef<TSingletonsVector>();
  Points->Add(Int(4), Int(0));
  Points->Add(Int(2), MakeRef<TIEValue>("top", dtVariable));
  IIEValue Result;
  MakeRef<TIEValue>(Points)->Resolve(&Context, Result);
  ASSERT_EQ(Result->GetDType(), dtFuzzy);
  IFuzzySet Set = Result->GetAsFuzzy();
  ASSERT_EQ(Set->GetCount(), 2);
  EXPECT_EQ(Set->GetX(0), 2.0);  // sorted when the update ends
  EXPECT_EQ(Set->GetY(0), 1.0);
  // A coordinate that is not a number fails and leaves the set's update bracket closed.
  Points->Add(Atom("high"), Int(1));
  ExpectError<EIEException>([&] { MakeRef<TIEValue>(Points)->Resolve(&Context, Result); },
                            "Not a numeric type.  Value (high) is a dtAtom type");
}

TEST(ValueConstants, SharedConstantsAreKnownByIdentity) {
  for (const IIEValue* C : {&FCTrue, &FCFalse, &FCNil, &FCEmptyString, &FCNilList, &FCCatch, &FCFinally,
                            &FCExcept, &FCElse, &FCDo, &FCEOF, &FCThen, &FCPI, &FCZero})
    EXPECT_TRUE(IsValueConstant(*C));
  EXPECT_FALSE(IsValueConstant(Atom("TRUE")));
  EXPECT_FALSE(IsValueConstant(FCTrue->Clone()));
  EXPECT_FALSE(IsValueConstant(IIEValue()));
}

// "False" and "true" are two readings, not opposites: only the atom FALSE is false and only the atom TRUE is
// true, by kind and text, so a copy counts like the shared constant and everything else is neither.
TEST(ValueConstants, FalseAndTrueAreTheTwoAtomsByKindAndText) {
  for (const IIEValue& Value : {FCFalse, Atom("FALSE"), FCFalse->Clone()}) {
    EXPECT_TRUE(IsFalseAtom(Value)) << Value->GetToString();
    EXPECT_FALSE(IsTrueAtom(Value));
  }
  for (const IIEValue& Value : {FCTrue, Atom("TRUE")}) {
    EXPECT_TRUE(IsTrueAtom(Value));
    EXPECT_FALSE(IsFalseAtom(Value));
  }
  for (const IIEValue& Value : {Str("FALSE"), Str("TRUE"), Atom("false"), Atom("true"), FCNil, Int(0), Int(1),
                                Var("FALSE"), List({FCFalse}), IIEValue()}) {
    EXPECT_FALSE(IsFalseAtom(Value)) << (Value ? Value->GetToString() : "<none>");
    EXPECT_FALSE(IsTrueAtom(Value));
  }
}
