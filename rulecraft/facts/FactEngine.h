#pragma once
// IFactEngine: what templates, slots and facts need of the engine that owns them (type-check settings, the
// printer, parsing, the template and type collections, the evaluation context, the fact-ID counter and the
// fuzzy-expression evaluator). The engine implements it; a template reaches it through its owner component.
// A template owned by no engine, or by another kind of component, works with the stand-alone defaults.
#include <cstdint>
#include <string>

#include "rulecraft/core/Enums.h"
#include "rulecraft/core/Reasoner.h"
#include "rulecraft/core/Value.h"
#include "rulecraft/framework/Ref.h"

namespace rulecraft {

class TFactTemplate;
class TFactSlot;
class TFact;
class TIEDefinedType;
class TIFuzzyVariable;
class TIFuzzySet;
class TResolveContext;
using IFactTemplate = TRef<TFactTemplate>;
using IFactSlot = TRef<TFactSlot>;
using IIEDefinedType = TRef<TIEDefinedType>;

class IFactEngine : public IReasoner {
 public:
  using IReasoner::PrettyPrint;

  /// The checks the engine performs (static: while parsing; dynamic: on values stored at run time).
  virtual TTypeChecks GetTypeChecks() const = 0;
  virtual std::string PrettyPrint(const TFactTemplate& Template) = 0;
  virtual std::string PrettyPrint(const TFactSlot& Slot) = 0;
  /// Told before a template owned by the engine takes a new name.
  virtual void ChangeFactTemplateName(const std::string& OldName, const std::string& NewName) = 0;
  virtual IFactSlot ParseFactTemplateSlot(const std::string& Text) = 0;
  /// Reads a value as a default of Slot would be read.
  virtual IIEValue ParseValue(const std::string& Text, const TFactSlot& Slot) = 0;
  virtual IIEDefinedType FindDefinedType(const std::string& Name) = 0;
  virtual IFactTemplate FindFactTemplate(const std::string& Name) = 0;
  virtual IFactTemplate CreateFactTemplate(const std::string& Name) = 0;
  virtual IFact ParseFact(const std::string& Text) = 0;
  /// The engine's outermost evaluation context (global variables).
  virtual TResolveContext* GetRootContext() = 0;
  /// The identifier the next asserted fact will get.
  virtual int32_t GetNextFactId() const = 0;
  /// The fuzzy value a term or expression text stands for in Variable.
  virtual IFuzzySet EvalFuzzyExpression(TIFuzzyVariable* Variable, const std::string& Text) = 0;
  /// Told when a template naming this engine as its owner is made and when it goes, so that an engine going
  /// first can make the templates still held elsewhere forget it (TFactTemplate::ForgetEngine).
  virtual void TemplateCreated(TFactTemplate& Template) { (void)Template; }
  virtual void TemplateDestroyed(TFactTemplate& Template) noexcept { (void)Template; }

 protected:
  ~IFactEngine() = default;
};

}  // namespace rulecraft
