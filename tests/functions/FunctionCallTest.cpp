// Function calls: building, dispatch by name, argument counts, unevaluated arguments, text, equality, hash,
// copies, and nesting that would otherwise exhaust the stack.
#include <gtest/gtest.h>

#include <limits>

#include "../FakeEngine.h"
#include "../TestValues.h"
#include "rulecraft/core/Helpers.h"

using namespace rulecraft;
using namespace rulecraft::testing;

TEST(FunctionCall, DispatchByName) {
  TFakeFunctionEngine Engine;
  IFunCall Call = NewCall(&Engine, "plus", {Int(1), Int(2)});
  IIEValue Result;
  // Building never looks the name up; executing does, and fails until the function is there.
  ExpectError([&] { Call->Execute(&Engine.Root, Result); }, "Function is unimplemented or unassigned: plus");
  EXPECT_FALSE(Call->GetUserFunction());
  ExpectError([&] { Call->SimpleExecute(&Engine.Root); }, "Function is unimplemented or unassigned: plus");
  TRef<TLambdaFunction> Function = Plus();
  Function->AddReasoner(&Engine);
  Call->Execute(&Engine.Root, Result);
  EXPECT_EQ(Result->GetAsInteger(), 3);
  EXPECT_EQ(Call->GetUserFunction().get(), Function.get());
  // The call keeps its function after the engine lets it go.
  Function->ClearReasoners();
  EXPECT_TRUE(Engine.Functions.empty());
  Call->SimpleExecute(&Engine.Root);
  EXPECT_EQ(Function->Runs, 2);
  // Through the value model, with the resolve interface.
  IIEValue Holder = CallValue(Call);
  Holder->Resolve(&Engine.Root, Result);
  EXPECT_EQ(Result->GetAsInteger(), 3);

  // Without engine and function.
  IFunCall Orphan = NewCall(nullptr, "lost");
  ExpectError([&] { Orphan->Execute(&Engine.Root, Result); },
              "Function is unimplemented or unassigned: lost");
  // Binding by hand takes the function's name.
  Orphan->SetUserFunction(IUserFunction(Function));
  EXPECT_EQ(Orphan->GetName(), "plus");
  Orphan->Execute(static_cast<TIEContext*>(nullptr), Result);
  EXPECT_EQ(Result->GetAsInteger(), 0);
  Orphan->SetUserFunction(IUserFunction());
  EXPECT_EQ(Orphan->GetName(), "");
}

TEST(FunctionCall, ArgumentCountsAreCheckedBeforeTheFunctionRuns) {
  TFakeFunctionEngine Engine;
  TRef<TLambdaFunction> One = Lambda("one", 1, 1);
  One->AddReasoner(&Engine);
  IIEValue Result = Int(9);
  ExpectError([&] { NewCall(&Engine, "one")->Execute(&Engine.Root, Result); }, "Too few arguments for one");
  ExpectError(
      [&] {
        NewCall(&Engine, "one", {Int(1), Int(2)})->Execute(&Engine.Root, Result);
      },
      "Too many arguments for one");
  EXPECT_EQ(One->Runs, 0);
  EXPECT_EQ(Result->GetAsInteger(), 9);
  // A function's result starts out nil.
  NewCall(&Engine, "one", {Int(1)})->Execute(&Engine.Root, Result);
  EXPECT_FALSE(Result);
  EXPECT_EQ(One->Runs, 1);
}

TEST(FunctionCall, ArgumentsAreEvaluatedOnlyWhenTheFunctionAsks) {
  TFakeFunctionEngine Engine;
  TRef<TLambdaFunction> Counter =
      Lambda("count", 0, 0, [](TFunctionCall&, TIEContext*, IIEValue& R) { R = Int(1); });
  TRef<TLambdaFunction> First = Lambda(
      "first", 1, 2147483647, [](TFunctionCall& Call, TIEContext* C, IIEValue& R) { R = Arg(Call, 0, C); });
  TRef<TLambdaFunction> Twice = Lambda("twice", 1, 1, [](TFunctionCall& Call, TIEContext* C, IIEValue& R) {
    Arg(Call, 0, C);
    R = Arg(Call, 0, C);
  });
  for (auto* F : {Counter.get(), First.get(), Twice.get()}) F->AddReasoner(&Engine);
  IFunCall Counting = NewCall(&Engine, "count");
  IIEValue Result;
  NewCall(&Engine, "first", {Atom("a"), CallValue(Counting)})->Execute(&Engine.Root, Result);
  EXPECT_EQ(Result->GetAsString(), "a");
  EXPECT_EQ(Counter->Runs, 0);
  NewCall(&Engine, "twice", {CallValue(Counting)})->Execute(&Engine.Root, Result);
  EXPECT_EQ(Counter->Runs, 2);
}

TEST(FunctionCall, HostFunctionComponent) {
  TFakeFunctionEngine Engine;
  IIEValue Result;
  IFunCall Call = NewCall(&Engine, "host", {Int(20)});
  {
    TUserFunction Host(nullptr);
    Host.SetEngine(&Engine);
    EXPECT_TRUE(Engine.Functions.empty());  // a nameless function is not registered
    Host.SetFunctionName("host");
    EXPECT_EQ(Engine.GetUserFunction("host"), Host.GetFunction());
    Call->Execute(&Engine.Root, Result);
    EXPECT_EQ(Result.get(), FCNil.get());  // no handler: nil
    Host.SetOnCall([](TObject* Sender, TFunctionCall& FunCall, TIEContext* Context, IIEValue& R) {
      EXPECT_EQ(dynamic_cast<TUserFunction*>(Sender)->GetFunctionName(), "host");
      EXPECT_EQ(R.get(), FCNil.get());
      R = Int(Arg(FunCall, 0, Context)->GetAsInteger() + 1);
    });
    Call->Execute(&Engine.Root, Result);
    EXPECT_EQ(Result->GetAsInteger(), 21);
    // Renaming moves the registration; clearing the name removes it.
    Host.SetFunctionName("guest");
    EXPECT_FALSE(Engine.ContainsUserFunction("host"));
    EXPECT_TRUE(Engine.ContainsUserFunction("guest"));
    Host.SetFunctionName("");
    EXPECT_TRUE(Engine.Functions.empty());
    Host.SetFunctionName("host");
  }
  // The component is gone; the call still holds its function, which reports itself missing.
  EXPECT_TRUE(Engine.Functions.empty());
  ExpectError([&] { Call->Execute(&Engine.Root, Result); }, "Function is unimplemented or unassigned: host");

  // An engine destroyed first is forgotten by the component.
  TUserFunction Survivor(nullptr);
  Survivor.SetFunctionName("s");
  {
    TFakeFunctionEngine Short;
    Survivor.SetEngine(&Short);
    EXPECT_EQ(Survivor.GetFunction()->GetReasonerCount(), 1);
  }
  EXPECT_EQ(Survivor.GetEngine(), nullptr);
  EXPECT_EQ(Survivor.GetFunction()->GetReasonerCount(), 0);
  Survivor.SetFunctionName("t");

  // Counts keep each other in order and rewrite the argument text from its placeholders.
  Survivor.SetArgumentString(" <number> <number>");
  Survivor.SetMaxArgumentCount(2);
  EXPECT_EQ(Survivor.GetArgumentString(), "[ <number>[ <number>]]");
  Survivor.SetMinArgumentCount(3);
  EXPECT_EQ(Survivor.GetMaxArgumentCount(), 3);
  EXPECT_EQ(Survivor.GetArgumentString(), "<number> <number> <expression>");
}

TEST(FunctionCall, InnerFunctionForwardsToItsOuterObject) {
  TPersistent Outer;
  TRef<TIEInnerFunction> Inner = MakeRef<TIEInnerFunction>(&Outer);
  Inner->SetFunctionName("inner");
  TFunctionCall Call(nullptr, "inner");
  IIEValue Result = Int(1);
  Inner->Call(Call, nullptr, Result);
  EXPECT_FALSE(Result);  // no handler: nothing
  Inner->SetOnCall([&](TObject* Sender, TFunctionCall&, TIEContext*, IIEValue& R) {
    EXPECT_EQ(Sender, &Outer);
    R = Int(2);
  });
  Inner->Call(Call, nullptr, Result);
  EXPECT_EQ(Result->GetAsInteger(), 2);
  Inner->SetOuter(nullptr);
  ExpectError([&] { Inner->Call(Call, nullptr, Result); }, "Function is unimplemented or unassigned: inner");
  // A component outer object is watched.
  auto* Owner = new TComponent(nullptr);
  Inner->SetOuter(Owner);
  delete Owner;
  EXPECT_EQ(Inner->GetOuter(), nullptr);
}

TEST(FunctionCall, AddArgumentKinds) {
  TFunctionCall Call(nullptr, "f");
  EXPECT_EQ(Call.AddArgument("v", dtVariable), 0);
  EXPECT_EQ(Call.AddArgument(3, dtFloat), 1);
  EXPECT_EQ(Call.AddArgument(-2.7, dtInteger), 2);  // truncated toward zero
  Call.AddArgument(List({Int(1), Int(2)})->GetAsList());
  Call.AddArgument(NewCall(nullptr, "g"));
  // A list argument (a slot-value pair) is written in parentheses, as the parser reads it back.
  EXPECT_EQ(Call.GetToString(), "(f ?v 3.0000 -2 (1 2) (g))");
  ExpectError([&] { Call.AddArgument("x", dtInteger); }, "Not a String type.  Value (x) is a dtInteger type");
  ExpectError([&] { Call.AddArgument(5, dtFactId); }, "Not a Integer type.  Value (5) is a dtFactId type");
  ExpectError([&] { Call.AddArgument(2.5, dtString); },
              "Not a Float type.  Value (2.5000) is a dtString type");
  EXPECT_EQ(Call.GetArgumentCount(), 5);
  Call.Delete(0);
  EXPECT_EQ(Call.GetArgument(0)->GetDType(), dtFloat);
  EXPECT_THROW(Call.GetArgument(4), EListError);
  EXPECT_THROW(Call.SetArgument(-1, Int(1)), EListError);
}

TEST(FunctionCall, EqualityHashAndText) {
  TFakeFunctionEngine Engine;
  IFunCall A = NewCall(nullptr, "f", {Int(1)});
  IFunCall B = NewCall(nullptr, "f", {Int(1)});
  IFunCall C = NewCall(nullptr, "f", {Flt(1.0)});
  EXPECT_TRUE(A->Equals(B));
  EXPECT_FALSE(A->Equals(C));  // kinds differ
  EXPECT_FALSE(A->Equals(NewCall(nullptr, "F", {Int(1)})));
  EXPECT_FALSE(A->Equals(NewCall(nullptr, "f", {Int(1), Int(1)})));
  EXPECT_FALSE(A->Equals(Int(1).get()));
  EXPECT_EQ(A->GetHashCode(), B->GetHashCode());
  EXPECT_EQ(A->GetHashCode(), CalculateHash("f") + 1);
  // The sum wraps in 32 bits.
  IFunCall Big = NewCall(nullptr, "f", {Int(std::numeric_limits<int32_t>::max()), Int(2)});
  EXPECT_EQ(Big->GetHashCode(),
            static_cast<int32_t>(static_cast<uint32_t>(CalculateHash("f")) + 2147483647u + 2u));
  // Text: stand-alone, or through the engine's printer.
  EXPECT_EQ(NewCall(nullptr, "f", {Str("a b"), Var("x")})->GetToString(), "(f \"a b\" ?x)");
  EXPECT_EQ(NewCall(nullptr, "f")->GetToString(), "(f)");
  EXPECT_EQ(NewCall(&Engine, "f", {Int(1)})->GetToString(), "(f 1)");
  EXPECT_EQ(Engine.CallPrints, 1);
}

TEST(FunctionCall, CopiesLookTheirFunctionUpAgain) {
  TFakeFunctionEngine Engine;
  TRef<TLambdaFunction> Function = Plus();
  Function->AddReasoner(&Engine);
  IFunCall Original = NewCall(&Engine, "plus", {Int(1), Int(2)});
  Original->SetTag(5);
  Original->SetComment("sum");
  IIEValue Result;
  Original->Execute(&Engine.Root, Result);
  IFunCall Copy = Original->Clone();
  EXPECT_TRUE(Copy->Equals(Original));
  EXPECT_EQ(Copy->GetReasoner(), &Engine);
  EXPECT_EQ(Copy->GetTag(), 5);
  EXPECT_EQ(Copy->GetComment(), "sum");
  EXPECT_NE(Copy->GetArgument(0).get(), Original->GetArgument(0).get());
  EXPECT_FALSE(Copy->GetUserFunction());
  IFunCall WithList = NewCall(nullptr, "f", {List({Int(1)})});
  EXPECT_NE(WithList->Clone()->GetArgument(0)->GetAsList().get(),
            WithList->GetArgument(0)->GetAsList().get());
  // Assigning another call drops the bound function, which belonged to the old name.
  IFunCall Other = NewCall(nullptr, "other");
  Other->SetUserFunction(IUserFunction(Function));
  Other->Assign(ICloneableRef(Original));
  EXPECT_EQ(Other->GetName(), "plus");
  EXPECT_FALSE(Other->GetUserFunction());
  EXPECT_EQ(Other->GetReasoner(), nullptr);
  EXPECT_THROW(Other->Assign(ICloneableRef(Int(1))), EConvertError);
}

TEST(FunctionCall, NestingIsBounded) {
  TFakeFunctionEngine Engine;
  TRef<TLambdaFunction> Wrap = Lambda("wrap", 0, 1, [](TFunctionCall& Call, TIEContext* C, IIEValue& R) {
    R = Call.GetArgumentCount() ? Arg(Call, 0, C) : Int(0);
  });
  Wrap->AddReasoner(&Engine);
  auto Nested = [&](int Depth) {
    IFunCall Call = NewCall(&Engine, "wrap");
    for (int I = 1; I < Depth; ++I) Call = NewCall(&Engine, "wrap", {CallValue(Call)});
    return Call;
  };
  IIEValue Result;
  Nested(2000)->Execute(&Engine.Root, Result);  // exactly the limit
  EXPECT_EQ(Result->GetAsInteger(), 0);
  ExpectError([&] { Nested(2001)->Execute(&Engine.Root, Result); },
              "Maximum nesting depth of 2000 exceeded in wrap");

  // A very deep chain fails cleanly, hashes, and is freed without recursion.
  IFunCall Deep = Nested(100000);
  ExpectError([&] { Deep->Execute(&Engine.Root, Result); }, "Maximum nesting depth of 2000 exceeded in wrap");
  ExpectError([&] { Deep->GetToString(); }, "Maximum nesting depth of 2000 exceeded in wrap");
  EXPECT_EQ(Deep->GetHashCode(), Nested(100000)->GetHashCode());
  ExpectError([&] { Deep->Equals(Nested(100000)); }, "Maximum nesting depth of 2000 exceeded in wrap");
  Deep.reset();

  // A function calling itself.
  IFunCall Self = NewCall(&Engine, "self");
  TRef<TLambdaFunction> Recursive =
      Lambda("self", 0, 0, [&](TFunctionCall&, TIEContext* C, IIEValue& R) { Self->Execute(C, R); });
  Recursive->AddReasoner(&Engine);
  ExpectError([&] { Self->Execute(&Engine.Root, Result); }, "Maximum nesting depth of 2000 exceeded in self");
  EXPECT_EQ(Recursive->Runs, 2000);
  // The depth is back to zero afterwards.
  Nested(2000)->Execute(&Engine.Root, Result);
  Recursive->ClearReasoners();
}
