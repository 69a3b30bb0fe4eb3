#pragma once
// ICloneable: the contract of the shared, counted objects (values, multifields, facts, templates, slots,
// tokens, function calls): they copy from one another, clone themselves, compare and carry a tag.
//
// Two copies exist, as in the object model: Assign(const TPersistent*) copies from an object (the
// framework form), Assign(const TRef<ICloneable>&) copies from a handle (the interface form). Each class says
// how the two differ; for values, the interface form clones a held list while the object form shares it.
#include <cstdint>

#include "rulecraft/framework/Object.h"
#include "rulecraft/framework/Ref.h"

namespace rulecraft {

class ICloneable : public TInterfacedObject {
  RC_CLASS(ICloneable, TInterfacedObject)
 public:
  using TPersistent::Assign;
  /// The interface form of Assign.
  virtual void Assign(const TRef<ICloneable>& Source) = 0;
  /// A new object equal to this one, as a plain cloneable handle (classes also offer a typed Clone).
  virtual TRef<ICloneable> CloneInterface() const = 0;
  /// Equality with any cloneable object; false when Other is of an unrelated kind.
  virtual bool Equals(const ICloneable* Other) const = 0;
  virtual int32_t GetTag() const = 0;
  virtual void SetTag(int32_t Value) = 0;
};

using ICloneableRef = TRef<ICloneable>;

}  // namespace rulecraft
