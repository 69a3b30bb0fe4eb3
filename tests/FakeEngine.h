#pragma once
// The stand-in engine of the tests below the engine layer (and of the network benchmark), one layer per
// interface so a test pulls in nothing above the layer it tests:
//  - TFakeFactEngine (IFactEngine): type-check settings, template and defined-type collections, template
//    renames recorded, a root context of global variables, the fact-ID counter, the stand-alone printers;
//  - TFakeFunctionEngine (IFunctionEngine): adds a function table that refuses a name twice, as the engine's
//    does, a root evaluation context, and counts of the calls printed and fuzzy expressions evaluated;
//  - TFakeRuleEngine (IRuleEngine, in FakeRuleEngine.h): adds what patterns, rules and the network need.
// The layers are templates over the interface they implement, so each one extends the one below.
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "rulecraft/core/Binding.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/core/ResolveContext.h"
#include "rulecraft/facts/Fact.h"
#include "rulecraft/facts/FactEngine.h"
#include "rulecraft/facts/FactPrinter.h"
#include "rulecraft/framework/Component.h"
#include "rulecraft/framework/Exception.h"
#include "rulecraft/fuzzyset/FuzzySet.h"
#include "rulecraft/types/DefinedType.h"
#include "rulecraft/types/DefinedTypePrinter.h"

namespace rulecraft::testing {

/// A root context of named bindings, for engines without evaluation contexts.
class TFakeGlobals final : public TResolveContext {
 public:
  TBinding* FindBinding(const std::string& Name) const override {
    auto It = Bindings.find(Name);
    return It == Bindings.end() ? nullptr : It->second.get();
  }
  void ResolveBindingRecord(const TBindingInfo&, IIEValue& Result) override { Result = IIEValue(); }
  std::map<std::string, std::unique_ptr<TBinding>> Bindings;
};

template <class IEngine>
class TFakeFactLayer : public TComponent, public IEngine {
 public:
  TFakeFactLayer() : TComponent(nullptr) {}

  TTypeChecks TypeChecks{tcStatic, tcDynamic};
  int32_t NextFactId = 1;
  std::vector<std::string> Renames;
  std::map<std::string, IIEDefinedType> Types;
  std::map<std::string, IFactTemplate> Templates;
  TFakeGlobals Globals;

  TTypeChecks GetTypeChecks() const override { return TypeChecks; }
  using IEngine::PrettyPrint;
  std::string PrettyPrint(const TFactTemplate& Template) override { return PrettyPrintTemplate(Template); }
  std::string PrettyPrint(const TFactSlot& Slot) override { return PrettyPrintTemplateSlot(Slot); }
  std::string PrettyPrint(const TFact& Fact) override { return PrettyPrintFact(Fact); }
  std::string PrettyPrint(const TFunctionCall&) override { return std::string(); }
  std::string PrettyPrint(const TIEUserFunction&) override { return std::string(); }
  std::string PrettyPrint(const TInterpretedFunction&) override { return std::string(); }
  std::string PrettyPrint(const TIEDefinedType& Type) override { return PrettyPrintDefinedType(Type); }
  void ChangeFactTemplateName(const std::string& OldName, const std::string& NewName) override {
    Renames.push_back(OldName + "->" + NewName);
  }
  IFactSlot ParseFactTemplateSlot(const std::string&) override { throw Exception("no parser here"); }
  IIEValue ParseValue(const std::string&, const TFactSlot&) override { throw Exception("no parser here"); }
  IFact ParseFact(const std::string&) override { throw Exception("no parser here"); }
  IIEDefinedType FindDefinedType(const std::string& Name) override { return Find(Types, Name); }
  IFactTemplate FindFactTemplate(const std::string& Name) override { return Find(Templates, Name); }
  IFactTemplate CreateFactTemplate(const std::string& Name) override {
    return Templates[Name] = MakeRef<TFactTemplate>(this, Name);
  }
  TResolveContext* GetRootContext() override { return &Globals; }
  int32_t GetNextFactId() const override { return NextFactId; }
  using IEngine::EvalFuzzyExpression;
  IFuzzySet EvalFuzzyExpression(TIFuzzyVariable* Variable, const std::string& Text) override {
    return Variable->FindFuzzySet(Text);
  }

 protected:
  template <class T>
  static T Find(const std::map<std::string, T>& Map, const std::string& Name) {
    auto It = Map.find(Name);
    return It == Map.end() ? T() : It->second;
  }
};

using TFakeFactEngine = TFakeFactLayer<IFactEngine>;

}  // namespace rulecraft::testing

// The function layer needs the function headers; a fact-layer test that defines RULECRAFT_FAKE_FACTS_ONLY
// before including this file does without them.
#ifndef RULECRAFT_FAKE_FACTS_ONLY
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/functions/Context.h"
#include "rulecraft/functions/FunctionCall.h"
#include "rulecraft/functions/FunctionEngine.h"
#include "rulecraft/functions/UserFunction.h"

namespace rulecraft::testing {

template <class IEngine>
class TFakeFunctionLayer : public TFakeFactLayer<IEngine> {
 public:
  TFakeFunctionLayer() : Root(nullptr, this) {}
  ~TFakeFunctionLayer() override {
    // As the engine does: every function it holds forgets it while it can still be called back.
    std::map<std::string, IUserFunction> Held = Functions;
    for (auto& [Name, Function] : Held) Function->DeleteReasoner(this);
  }

  std::map<std::string, IUserFunction> Functions;
  TIEContext Root;
  int CallPrints = 0;
  int FuzzyEvaluations = 0;

  std::string PrettyPrint(const TFunctionCall& Call) override {
    ++CallPrints;
    return PrettyPrintFunCall(Call);
  }
  std::string PrettyPrint(const TIEUserFunction& Function) override {
    return "function " + Function.GetFunctionName();
  }
  using TFakeFactLayer<IEngine>::PrettyPrint;
  TResolveContext* GetRootContext() override { return &Root; }

  void AddUserFunction(const IUserFunction& Function) override {
    const std::string& Name = Function->GetFunctionName();
    if (Functions.count(Name)) throw EIEException(SDuplicateFunctionNames, {Name});
    Functions[Name] = Function;
  }
  void RemoveUserFunction(const IUserFunction& Function) override {
    auto It = Functions.find(Function->GetFunctionName());
    if (It != Functions.end() && It->second == Function) Functions.erase(It);
  }
  bool ContainsUserFunction(const std::string& Name) override { return Functions.count(Name) > 0; }
  bool ContainsUserFunction(const std::string& Name, IUserFunction& Function) override {
    Function = this->Find(Functions, Name);
    return bool(Function);
  }
  IUserFunction GetUserFunction(const std::string& Name) override { return this->Find(Functions, Name); }
  std::vector<IUserFunction> GetUserFunctions() override {
    std::vector<IUserFunction> All;
    for (auto& [Name, Function] : Functions) All.push_back(Function);
    return All;
  }
  void SetUserFunction(const std::string& Name, const IUserFunction& Function) override {
    if (Function)
      Functions[Name] = Function;
    else
      Functions.erase(Name);
  }
  IFuzzySet EvalFuzzyExpression(TIFuzzyVariable* Variable, const IIEValue& Value, TIEContext*) override {
    ++FuzzyEvaluations;
    return Variable->FindFuzzySet(Value->GetAsString());
  }
  IIEValue EvalFuzzyValue(TIFuzzyVariable* Variable, const IIEValue& Value, TIEContext* Context) override {
    IValueVector List = MakeRef<TValueVector>();
    if (IFuzzySet Set = EvalFuzzyExpression(Variable, Value, Context)) List->Add(MakeRef<TIEValue>(Set));
    return MakeRef<TIEValue>(List);
  }
  using TFakeFactLayer<IEngine>::EvalFuzzyExpression;
};

using TFakeFunctionEngine = TFakeFunctionLayer<IFunctionEngine>;

/// A function whose work is a lambda; it counts its runs.
class TLambdaFunction final : public TIEUserFunction {
 public:
  using TBody = std::function<void(TFunctionCall& Call, TIEContext* Context, IIEValue& Result)>;
  TLambdaFunction(std::string Name, int32_t Min, int32_t Max, TBody Body)
      : TIEUserFunction(std::move(Name), Min, Max), FBody(std::move(Body)) {}
  int Runs = 0;

 protected:
  void Evaluate(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    ++Runs;
    if (FBody) FBody(Call, Context, Result);
  }

 private:
  TBody FBody;
};

inline TRef<TLambdaFunction> Lambda(std::string Name, int32_t Min, int32_t Max,
                                    TLambdaFunction::TBody Body = {}) {
  return MakeRef<TLambdaFunction>(std::move(Name), Min, Max, std::move(Body));
}

/// The value argument Index of Call stands for in Context.
inline IIEValue Arg(TFunctionCall& Call, int32_t Index, TIEContext* Context) {
  IIEValue Result;
  Call.GetArgument(Index)->Resolve(Context, Result);
  return Result;
}

/// "plus": the sum of its integer arguments.
inline TRef<TLambdaFunction> Plus() {
  return Lambda("plus", 0, 2147483647, [](TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
    int32_t Sum = 0;
    for (int32_t I = 0; I < Call.GetArgumentCount(); ++I) Sum += Arg(Call, I, Context)->GetAsInteger();
    Result = MakeRef<TIEValue>(Sum, dtInteger);
  });
}

inline IIEValue CallValue(const IFunCall& Call) { return MakeRef<TIEValue>(TRef<TFunCallBase>(Call)); }

/// A call of Name on Arguments for Engine (which may be nullptr).
inline IFunCall NewCall(IFunctionEngine* Engine, const std::string& Name,
                        std::vector<IIEValue> Arguments = {}) {
  IFunCall Call = MakeRef<TFunctionCall>(Engine, Name);
  for (IIEValue& A : Arguments) Call->AddArgument(A);
  return Call;
}

/// The elements of a multifield as text, separated by blanks.
inline std::string Texts(const IValueVector& List) {
  std::string Out;
  for (const IIEValue& V : *List) Out += (Out.empty() ? "" : " ") + V->GetToString();
  return Out;
}

}  // namespace rulecraft::testing
#endif
