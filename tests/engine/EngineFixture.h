#pragma once
// Builds expert systems for engine tests through the C++ interface: templates, patterns, rules whose actions
// call small functions written here as lambdas, and a log of the engine's output and events.
#include <gtest/gtest.h>

#include "../TestValues.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "rulecraft/engine/FactSet.h"
#include "rulecraft/engine/InferenceEngine.h"
#include "rulecraft/functions/FunctionCall.h"
#include "rulecraft/functions/UserFunction.h"

namespace rulecraft::testing {

/// A function whose work is a lambda over its resolved arguments.
class TLambdaFunction final : public TIEUserFunction {
 public:
  using TBody = std::function<IIEValue(const std::vector<IIEValue>& Arguments)>;
  TLambdaFunction(const std::string& Name, TBody Body)
      : TIEUserFunction(Name, 0, 2147483647), FBody(std::move(Body)) {}

 protected:
  void Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) override {
    std::vector<IIEValue> Arguments;
    for (int32_t I = 0; I < FunCall.GetArgumentCount(); ++I) {
      IIEValue Value;
      FunCall.GetArgument(I)->Resolve(Context, Value);
      Arguments.push_back(Value);
    }
    Result = FBody(Arguments);
    if (!Result) Result = FCTrue;
  }

 private:
  TBody FBody;
};

struct TSlotTest {
  std::string Slot;
  IIEValue Value;
  bool Negated = false;
};

class TEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Engine = std::make_unique<TInferenceEngine>();
    Engine->OnPrintOut = [this](TObject*, const std::string& OutID, const std::string& Text) {
      Output += (OutID.empty() || OutID == "t" ? "" : "[" + OutID + "]") + Text;
    };
    // (log a b ...): one line "a b ..." in Log.
    Define("log", [this](const std::vector<IIEValue>& Arguments) {
      std::string Line;
      for (const IIEValue& Argument : Arguments) Line += (Line.empty() ? "" : " ") + Argument->GetToString();
      Log.push_back(Line);
      return IIEValue();
    });
    // (add template slot value ...): asserts a new fact.
    Define("add", [this](const std::vector<IIEValue>& Arguments) {
      IFact Fact = Engine->CreateFactTemplate(Arguments.at(0)->Text())->NewFact();
      for (size_t I = 1; I + 1 < Arguments.size(); I += 2)
        Fact->SetValue(Arguments[I]->Text(), Arguments[I + 1]);
      return MakeRef<TIEValue>(Engine->Assert(Fact), dtInteger);
    });
    // (remove <fact id>): retracts it.
    Define("remove", [this](const std::vector<IIEValue>& Arguments) {
      Engine->Retract(Arguments.at(0)->GetAsInteger());
      return IIEValue();
    });
    Define("halt", [this](const std::vector<IIEValue>&) {
      Engine->Halt();
      return IIEValue();
    });
  }

  void TearDown() override { Engine.reset(); }

  void Define(const std::string& Name, TLambdaFunction::TBody Body) {
    Engine->AddUserFunction(MakeRef<TLambdaFunction>(Name, std::move(Body)));
  }

  IFactTemplate Template(const std::string& Name, const std::vector<std::string>& Slots) {
    IFactTemplate Made = MakeRef<TFactTemplate>(Engine.get(), Name);
    for (const std::string& Slot : Slots) Made->AddSlot(Slot, FCNil);
    Engine->GetFactTemplates().Put(Made);
    return Engine->FindFactTemplate(Name);
  }

  IFact Fact(const std::string& TemplateName, const std::vector<std::pair<std::string, IIEValue>>& Values) {
    IFact Made = Engine->CreateFactTemplate(TemplateName)->NewFact();
    for (const auto& [Slot, Value] : Values) Made->SetValue(Slot, Value);
    return Made;
  }

  int32_t Assert(const std::string& TemplateName,
                 const std::vector<std::pair<std::string, IIEValue>>& Values) {
    return Engine->Assert(Fact(TemplateName, Values));
  }

  std::unique_ptr<TIEPattern> Pattern(const std::string& TemplateName, const std::vector<TSlotTest>& Tests,
                                      int32_t Negated = 0, const std::string& Bound = std::string()) {
    auto Made = std::make_unique<TIEPattern>(Engine.get(), TemplateName,
                                             Engine->FindFactTemplate(TemplateName), Negated);
    for (const TSlotTest& Test : Tests) Made->AddTest(Test.Slot, Test.Value, NoSubIndex, Test.Negated, true);
    if (!Bound.empty()) Made->SetBoundName(Bound);
    return Made;
  }

  IFunCall Call(const std::string& Name, const std::vector<IIEValue>& Arguments) {
    IFunCall Made = MakeRef<TFunctionCall>(Engine.get(), Name);
    for (const IIEValue& Argument : Arguments) Made->AddArgument(Argument);
    return Made;
  }

  /// A rule owned by the engine, stored in its rules (and so compiled).
  TRule* Rule(const std::string& Name, std::vector<std::unique_ptr<TIEPattern>> Patterns,
              std::vector<IFunCall> Actions, int32_t Salience = 0) {
    auto* Made = new TRule(Engine.get());
    Made->BeginUpdate();
    Made->SetRuleName(Name);
    Made->SetSalienceInteger(Salience);
    for (auto& Pattern : Patterns) Made->AppendPattern(std::move(Pattern));
    for (const IFunCall& Action : Actions) Made->AddAction(Action);
    Made->EndUpdate();
    Engine->GetRules().Put(Made);
    return Made;
  }

  template <class... T>
  static std::vector<std::unique_ptr<TIEPattern>> Lhs(T&&... Patterns) {
    std::vector<std::unique_ptr<TIEPattern>> Result;
    (Result.push_back(std::forward<T>(Patterns)), ...);
    return Result;
  }

  /// The message of the error that parsing Text raises, or "no error" (needs the engine's parser).
  std::string ErrorOf(const std::string& Text) {
    try {
      Engine->Parse(Text, true);
    } catch (const Exception& E) {
      return E.Message();
    }
    return "no error";
  }
  TRule* RuleNamed(const std::string& Name) { return Engine->GetRules().Get(Name); }

  /// "rule: f-1,f-2" per activation in agenda order.
  std::vector<std::string> Agenda() const {
    std::vector<std::string> Lines;
    for (int32_t I = 0; I < Engine->GetAgendaCount(); ++I) {
      TActivation* Activation = Engine->GetActivation(I);
      Lines.push_back(Activation->GetRule()->GetRuleName() + ": " +
                      Activation->GetToken()->GetToFactsString());
    }
    return Lines;
  }

  /// The facts' texts with identifiers, in order.
  std::vector<std::string> Facts() const {
    std::vector<std::string> Lines;
    Engine->GetFacts().ForEach([&Lines](const IFact& Fact) {
      Lines.push_back("f-" + std::to_string(Fact->GetID()) + " " + Fact->GetToString());
    });
    return Lines;
  }

  std::unique_ptr<TInferenceEngine> Engine;
  std::string Output;
  std::vector<std::string> Log;
};

using Lines = std::vector<std::string>;

}  // namespace rulecraft::testing
