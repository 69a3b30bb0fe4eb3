#pragma once
// A stand-in for the engine in fact-layer tests: type-check settings, the stand-alone printer, a defined-type
// and template collection, a root context holding global variables, and the fact-ID counter.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "../TestValues.h"
#include "rulecraft/core/Binding.h"
#include "rulecraft/core/Helpers.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/ResolveContext.h"
#include "rulecraft/facts/Fact.h"
#include "rulecraft/facts/FactEngine.h"
#include "rulecraft/facts/FactPrinter.h"
#include "rulecraft/framework/Component.h"
#include "rulecraft/framework/Exception.h"
#include "rulecraft/types/DefinedType.h"

namespace rulecraft::testing {

class TTestContext final : public TResolveContext {
 public:
  TBinding* FindBinding(const std::string& Name) const override {
    auto It = Bindings.find(Name);
    return It == Bindings.end() ? nullptr : It->second.get();
  }
  void ResolveBindingRecord(const TBindingInfo&, IIEValue& Result) override { Result = IIEValue(); }
  std::map<std::string, std::unique_ptr<TBinding>> Bindings;
};

class TTestEngine final : public TComponent, public IFactEngine {
 public:
  TTestEngine() : TComponent(nullptr) {}

  TTypeChecks TypeChecks{tcStatic, tcDynamic};
  int32_t NextFactId = 1;
  std::vector<std::string> Renames;
  std::map<std::string, IIEDefinedType> Types;
  std::map<std::string, IFactTemplate> Templates;
  TTestContext Context;

  TTypeChecks GetTypeChecks() const override { return TypeChecks; }
  std::string PrettyPrint(const TFactTemplate& Template) override { return PrettyPrintTemplate(Template); }
  std::string PrettyPrint(const TFactSlot& Slot) override { return PrettyPrintTemplateSlot(Slot); }
  std::string PrettyPrint(const TFact& Fact) override { return PrettyPrintFact(Fact); }
  std::string PrettyPrint(const TFunctionCall&) override { return std::string(); }
  std::string PrettyPrint(const TIEUserFunction&) override { return std::string(); }
  std::string PrettyPrint(const TInterpretedFunction&) override { return std::string(); }
  std::string PrettyPrint(const TIEDefinedType&) override { return std::string(); }
  void ChangeFactTemplateName(const std::string& OldName, const std::string& NewName) override {
    Renames.push_back(OldName + "->" + NewName);
  }
  IFactSlot ParseFactTemplateSlot(const std::string&) override { throw Exception("no parser here"); }
  IIEValue ParseValue(const std::string&, const TFactSlot&) override { throw Exception("no parser here"); }
  IIEDefinedType FindDefinedType(const std::string& Name) override {
    auto It = Types.find(Name);
    return It == Types.end() ? IIEDefinedType() : It->second;
  }
  IFactTemplate FindFactTemplate(const std::string& Name) override {
    auto It = Templates.find(Name);
    return It == Templates.end() ? IFactTemplate() : It->second;
  }
  IFactTemplate CreateFactTemplate(const std::string& Name) override {
    IFactTemplate Template = MakeRef<TFactTemplate>(this, Name);
    Templates[Name] = Template;
    return Template;
  }
  IFact ParseFact(const std::string&) override { throw Exception("no parser here"); }
  TResolveContext* GetRootContext() override { return &Context; }
  int32_t GetNextFactId() const override { return NextFactId; }
  IFuzzySet EvalFuzzyExpression(TIFuzzyVariable* Variable, const std::string& Text) override {
    return Variable->FindFuzzySet(Text);
  }
};

}  // namespace rulecraft::testing
