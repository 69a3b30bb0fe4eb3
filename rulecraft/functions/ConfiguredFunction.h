#pragma once
// Built-in function classes that serve several rule-language names: one class, a type enumeration, and
// the name, help text, argument text and argument counts of each member set by Configure.
#include <cstdint>
#include <string>

#include "rulecraft/functions/UserFunction.h"

namespace rulecraft {

/// Gives Function its rule-language name, help text (in the house help format), argument text and
/// argument counts (Min to Max).
void SetupFunction(TIEUserFunction& Function, const std::string& Name, int32_t Min, int32_t Max,
                   const std::string& Comment, const std::string& Arguments);

/// A built-in function whose name, help, argument text and counts follow its type. Setting the type
/// configures the function; Assign copies the type with the rest, so a copy keeps its behaviour.
template <class E>
class TConfiguredFunction : public TIEUserFunction {
 public:
  E GetFunctionType() const noexcept { return FType; }
  void SetFunctionType(E Value) {
    FType = Value;
    Configure();
  }
  void Assign(const TPersistent* Source) override {
    const auto* Same = dynamic_cast<const TConfiguredFunction*>(Source);
    if (Same) FType = Same->FType;
    TIEUserFunction::Assign(Source);
    if (Same) SetArgumentString(Same->GetArgumentString());
  }

 protected:
  /// Sets name, comment, argument text and counts for the current type.
  virtual void Configure() = 0;
  E FType{};
};

#define RC_CONFIGURED_FUNCTION(Cls, E)                                                   \
  class Cls final : public ::rulecraft::TConfiguredFunction<E> {                         \
    RC_CLASS(Cls, ::rulecraft::TIEUserFunction)                                          \
   public:                                                                               \
    explicit Cls(E Type = E{}) { SetFunctionType(Type); }                                \
                                                                                         \
   protected:                                                                            \
    void Configure() override;                                                           \
    void Evaluate(::rulecraft::TFunctionCall& FunCall, ::rulecraft::TIEContext* Context, \
                  ::rulecraft::IIEValue& Result) override;                               \
  }

}  // namespace rulecraft
