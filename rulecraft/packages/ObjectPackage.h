#pragma once
// The object package: rules reach the host's objects. They create and free objects and components, find
// components by name, read and write published properties by name, look classes up in the class registry,
// test class membership and execute actions. Objects travel in dtObject values, classes in dtClass values.
//
// Published properties: a host class makes a property visible to rules with PublishProperty, once, when
// its program loads (the table is process-wide and guarded like the class registry). A property has a kind
// and the accessors of that kind; a class sees its own properties and those of its ancestors. Every
// component publishes Name.
//
// The package keeps the objects it handed to rules in view: a component it handed out is watched, so its
// destruction elsewhere is noticed, and an object freed through free-object is remembered as gone. Using
// such an object again (or freeing it twice) raises "Bad Argument: object already freed" instead of
// touching freed memory. Objects a host passes in otherwise are the host's to keep alive.
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

#include "rulecraft/framework/Component.h"
#include "rulecraft/framework/TypeInfo.h"
#include "rulecraft/functions/UserPackage.h"
#include "rulecraft/packages/PackageHelpers.h"

namespace rulecraft {

/// The kinds of published property: integer, float, string, boolean, enumeration (a member name), set
/// (a set of members, bit n for ordinal n) and object (a reference).
enum TPropertyKind : uint8_t { pkInteger, pkFloat, pkString, pkBoolean, pkEnumeration, pkSet, pkObject };

/// One published property of a class. Ordinal kinds (integer, boolean, enumeration, set) use GetOrdinal and
/// SetOrdinal, pkFloat GetFloat and SetFloat, pkString GetText and SetText, pkObject GetObject and
/// SetObject. A property without a setter is read-only. Names, for enumerations and sets, names the members.
struct TPublishedProperty {
  std::string Name;
  TPropertyKind Kind = pkInteger;
  const TEnumInfo* Names = nullptr;
  std::function<int64_t(TObject*)> GetOrdinal;
  std::function<void(TObject*, int64_t)> SetOrdinal;
  std::function<double(TObject*)> GetFloat;
  std::function<void(TObject*, double)> SetFloat;
  std::function<std::string(TObject*)> GetText;
  std::function<void(TObject*, const std::string&)> SetText;
  std::function<TObject*(TObject*)> GetObject;
  std::function<void(TObject*, TObject*)> SetObject;
};

/// Publishes Property for Class (replacing a property of that name the class published before).
void PublishProperty(TClass Class, TPublishedProperty Property);
/// The property of that name (ignoring case) of Class or its nearest ancestor publishing it, or nullptr.
const TPublishedProperty* FindPublishedProperty(TClass Class, const std::string& Name);
/// Every property Class sees, its ancestors' first, each name once.
std::vector<const TPublishedProperty*> PublishedProperties(TClass Class);

/// A component whose Execute runs OnExecute: the executable action of the rule language's execute-action.
class TBasicAction : public TComponent {
  RC_CLASS(TBasicAction, TComponent)
 public:
  using TComponent::TComponent;
  std::function<void(TObject* Sender)> OnExecute;
  /// Runs OnExecute; true when there was one to run.
  virtual bool Execute();
};

class TObjectPackage;

/// A function of the object package: it knows its package (a plain pointer the package clears when it
/// goes) to check the objects it is given.
class TObjectFunction : public TIEUserFunction {
  RC_CLASS(TObjectFunction, TIEUserFunction)
 public:
  using TIEUserFunction::TIEUserFunction;
  TObjectPackage* GetPackage() const noexcept { return FPackage; }
  void SetPackage(TObjectPackage* Package) noexcept { FPackage = Package; }

 protected:
  /// Argument Index as an object: "Bad Argument: object already freed" for one the package saw go.
  TObject* ObjectArgument(TFunctionCall& FunCall, int32_t Index, TIEContext* Context);
  /// Argument Index as a component: "Expected component argument to %s function call" otherwise.
  TComponent* ComponentArgument(TFunctionCall& FunCall, int32_t Index, TIEContext* Context);
  /// Argument Index as a class: a class value, or the name of a registered class.
  TClass ClassArgument(TFunctionCall& FunCall, int32_t Index, TIEContext* Context);
  /// An object value for Object, which the package now keeps in view.
  IIEValue ObjectValue(TObject* Object);

 private:
  TObjectPackage* FPackage = nullptr;
};

#define RC_OBJECT_FUNCTION(Cls)                                                          \
  class Cls final : public ::rulecraft::TObjectFunction {                                \
    RC_CLASS(Cls, ::rulecraft::TObjectFunction)                                          \
   public:                                                                               \
    Cls();                                                                               \
                                                                                         \
   protected:                                                                            \
    void Evaluate(::rulecraft::TFunctionCall& FunCall, ::rulecraft::TIEContext* Context, \
                  ::rulecraft::IIEValue& Result) override;                               \
  }

/// (create-component <class> <owner> [<parent>]): a new component of the class owned by the owner (its
/// Parent property set to the third argument when given).
RC_OBJECT_FUNCTION(TCreateComponentFunction);
/// (create-object <class>): a new object of the class.
RC_OBJECT_FUNCTION(TCreateObjectFunction);
/// (execute-action <action>): the action's Execute as TRUE or FALSE.
RC_OBJECT_FUNCTION(TExecuteActionFunction);
/// (free-object <object>*): frees every object in order; TRUE.
RC_OBJECT_FUNCTION(TFreeObjectFunction);
/// (get-component [<name>]) or (get-component <component> <name>): the component of that name owned by the
/// engine's owner or by the given component, or FALSE.
RC_OBJECT_FUNCTION(TGetComponentFunction);
/// (get-components [<component>]): the components owned by the component (or the engine's owner).
RC_OBJECT_FUNCTION(TGetComponentsFunction);
/// (get-property <object> <name>): the published property's value; FALSE for an unknown property.
RC_OBJECT_FUNCTION(TGetPropertyFunction);
/// (get-properties <object>): the names of the object's published properties as symbols.
RC_OBJECT_FUNCTION(TGetPropertiesFunction);
/// (set-property <object> <name> <value>): TRUE when written, FALSE when it could not be.
RC_OBJECT_FUNCTION(TSetPropertyFunction);
/// (get-class <class-name>): the registered class of that name; "Class %s not found" otherwise.
RC_OBJECT_FUNCTION(TGetClassFunction);
/// (is-class <object> <class>): TRUE when the object is of the class or a descendant.
RC_OBJECT_FUNCTION(TIsClassFunction);

#undef RC_OBJECT_FUNCTION

class TObjectPackage : public TUserPackage {
  RC_CLASS(TObjectPackage, TUserPackage)
 public:
  using TUserPackage::TUserPackage;
  ~TObjectPackage() override;
  /// Adds the eleven functions above in that order.
  void CreateFunctions() override;

  /// Keeps Object in view: a component is watched until it goes.
  void Track(TObject* Object);
  /// True when Object was handed out and has gone since.
  bool IsGone(TObject* Object) const { return FGone.count(Object) != 0; }
  /// Frees Object (a component leaves its owner) and remembers it as gone.
  void Free(TObject* Object);

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  std::unordered_set<TObject*> FAlive;
  std::unordered_set<TObject*> FGone;
};

}  // namespace rulecraft
