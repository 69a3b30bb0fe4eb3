#pragma once
// A stand-in for the engine in function-layer tests: a component implementing IFunctionEngine with a plain
// function table (names refused twice, as the engine's table does), a root context, the stand-alone
// printers, and a fuzzy-expression evaluator that looks term names up in the variable.
#include <gtest/gtest.h>

#include "../TestValues.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/facts/Fact.h"
#include "rulecraft/facts/FactPrinter.h"
#include "rulecraft/framework/Component.h"
#include "rulecraft/framework/Exception.h"
#include "rulecraft/functions/Context.h"
#include "rulecraft/functions/FunctionCall.h"
#include "rulecraft/functions/FunctionEngine.h"
#include "rulecraft/functions/UserFunction.h"
#include "rulecraft/fuzzyset/FuzzySet.h"
#include "rulecraft/types/DefinedType.h"

namespace rulecraft::testing {

class TFunctionTestEngine final : public TComponent, public IFunctionEngine {
 public:
  explicit TFunctionTestEngine(TComponent* Owner = nullptr) : TComponent(Owner), Root(nullptr, this) {}
  ~TFunctionTestEngine() override {
    // A real engine lets every function it holds forget it while it can still be called back.
    std::map<std::string, IUserFunction> Held = Functions;
    for (auto& [Name, Function] : Held) Function->DeleteReasoner(this);
  }

  std::map<std::string, IUserFunction> Functions;
  TIEContext Root;
  int FuzzyEvaluations = 0;

  // IFactEngine
  TTypeChecks GetTypeChecks() const override { return TTypeChecks(); }
  std::string PrettyPrint(const TFactTemplate& Template) override { return PrettyPrintTemplate(Template); }
  std::string PrettyPrint(const TFactSlot& Slot) override { return PrettyPrintTemplateSlot(Slot); }
  std::string PrettyPrint(const TFact& Fact) override { return PrettyPrintFact(Fact); }
  std::string PrettyPrint(const TFunctionCall& Call) override { return "engine:" + PrettyPrintFunCall(Call); }
  std::string PrettyPrint(const TIEUserFunction& Function) override { return "function " + Function.GetFunctionName(); }
  std::string PrettyPrint(const TInterpretedFunction&) override { return std::string(); }
  std::string PrettyPrint(const TIEDefinedType&) override { return std::string(); }
  void ChangeFactTemplateName(const std::string&, const std::string&) override {}
  IFactSlot ParseFactTemplateSlot(const std::string&) override { throw Exception("no parser here"); }
  IIEValue ParseValue(const std::string&, const TFactSlot&) override { throw Exception("no parser here"); }
  IIEDefinedType FindDefinedType(const std::string&) override { return IIEDefinedType(); }
  IFactTemplate FindFactTemplate(const std::string&) override { return IFactTemplate(); }
  IFactTemplate CreateFactTemplate(const std::string& Name) override { return MakeRef<TFactTemplate>(this, Name); }
  IFact ParseFact(const std::string&) override { throw Exception("no parser here"); }
  TResolveContext* GetRootContext() override { return &Root; }
  int32_t GetNextFactId() const override { return 1; }
  IFuzzySet EvalFuzzyExpression(TIFuzzyVariable* Variable, const std::string& Text) override {
    return Variable->FindFuzzySet(Text);
  }

  // IFunctionEngine
  void AddUserFunction(const IUserFunction& Function) override {
    const std::string& Name = Function->GetFunctionName();
    if (Functions.count(Name)) throw EIEException(SDuplicateFunctionNames, {Name});
    Functions[Name] = Function;
  }
  void RemoveUserFunction(const IUserFunction& Function) override { Functions.erase(Function->GetFunctionName()); }
  bool ContainsUserFunction(const std::string& Name) override { return Functions.count(Name) > 0; }
  bool ContainsUserFunction(const std::string& Name, IUserFunction& Function) override {
    auto It = Functions.find(Name);
    Function = It == Functions.end() ? IUserFunction() : It->second;
    return It != Functions.end();
  }
  IUserFunction GetUserFunction(const std::string& Name) override {
    auto It = Functions.find(Name);
    return It == Functions.end() ? IUserFunction() : It->second;
  }
  std::vector<IUserFunction> GetUserFunctions() override {
    std::vector<IUserFunction> All;
    for (auto& [Name, Function] : Functions) All.push_back(Function);
    return All;
  }
  void SetUserFunction(const std::string& Name, const IUserFunction& Function) override { Functions[Name] = Function; }
  IFuzzySet EvalFuzzyExpression(TIFuzzyVariable* Variable, const IIEValue& Value, TIEContext*) override {
    ++FuzzyEvaluations;
    return Variable->FindFuzzySet(Value->GetAsString());
  }
};

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

inline TRef<TLambdaFunction> Lambda(std::string Name, int32_t Min, int32_t Max, TLambdaFunction::TBody Body = {}) {
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

inline IFunCall NewCall(IFunctionEngine* Engine, const std::string& Name, std::vector<IIEValue> Arguments = {}) {
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
