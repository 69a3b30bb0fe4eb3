#pragma once
// TResolveContext: what resolving a value needs from an evaluation context. The functions layer's
// evaluation context (TIEContext) implements it; the value model only sees this interface.
#include <string>

#include "rulecraft/framework/Object.h"
#include "rulecraft/framework/Ref.h"

namespace rulecraft {

class TIEValue;
using IIEValue = TRef<TIEValue>;
class TBinding;
class TBindingInfo;
class TIEContext;

class TResolveContext : public TPersistent {
  RC_CLASS(TResolveContext, TPersistent)
 public:
  /// The binding of Name in this scope or the nearest enclosing one; nullptr when no scope binds it.
  virtual TBinding* FindBinding(const std::string& Name) const = 0;
  /// The binding a variable (a dtVariable or dtMultiVariable value) stands for: by default the one of its
  /// name; a context that numbered the variable finds it by its slot.
  virtual TBinding* FindVariable(const TIEValue& Variable) const;
  /// The value a binding record stands for in the partial match (and fact) being evaluated.
  virtual void ResolveBindingRecord(const TBindingInfo& Record, IIEValue& Result) = 0;
  /// The value a binding record stands for, read where it is stored without taking a reference: valid
  /// until the partial match, the fact or the slot changes. nullptr when it cannot be read so (a
  /// fact-address record, a missing fact, slot or element): ResolveBindingRecord then gives the value or
  /// the error.
  virtual const TIEValue* PeekBindingRecord(const TBindingInfo& Record) {
    (void)Record;
    return nullptr;
  }
  /// This context as the functions layer's evaluation context, or nullptr for any other kind (a cheap
  /// replacement for a cast on every call).
  virtual TIEContext* AsEvaluationContext() noexcept { return nullptr; }
};

}  // namespace rulecraft
