#include "rulecraft/packages/ObjectPackage.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "rulecraft/core/Helpers.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/engine/InferenceEngine.h"
#include "rulecraft/framework/Exception.h"
#include "rulecraft/functions/FunctionCall.h"
#include "rulecraft/packages/StandardPackage.h"

namespace rulecraft {

namespace {

constexpr int32_t Unbounded = 2147483647;
constexpr const char* FreedObject = "object already freed";

[[maybe_unused]] const bool ClassesRegistered = [] {
  for (TClass Class :
       {TCreateComponentFunction::StaticClass(), TCreateObjectFunction::StaticClass(),
        TExecuteActionFunction::StaticClass(), TFreeObjectFunction::StaticClass(),
        TGetComponentFunction::StaticClass(), TGetComponentsFunction::StaticClass(),
        TGetPropertyFunction::StaticClass(), TGetPropertiesFunction::StaticClass(),
        TSetPropertyFunction::StaticClass(), TGetClassFunction::StaticClass(),
        TIsClassFunction::StaticClass(), TBasicAction::StaticClass(), TObjectPackage::StaticClass()})
    RegisterClass(Class);
  return true;
}();

bool SameName(const std::string& A, const std::string& B) {
  return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(), [](char X, char Y) {
           return (X >= 'A' && X <= 'Z' ? X + 32 : X) == (Y >= 'A' && Y <= 'Z' ? Y + 32 : Y);
         });
}

/// The published properties of every class, by class; filled when programs load. A deque keeps the
/// properties found earlier in place while later ones are published.
struct TPropertyTable {
  std::mutex Lock;
  std::map<TClass, std::deque<TPublishedProperty>> Classes;
};

TPropertyTable& Properties() {
  static TPropertyTable Table;
  return Table;
}

[[maybe_unused]] const bool NamePublished = [] {
  TPublishedProperty Name;
  Name.Name = "Name";
  Name.Kind = pkString;
  Name.GetText = [](TObject* Object) { return static_cast<TComponent*>(Object)->GetName(); };
  Name.SetText = [](TObject* Object, const std::string& Value) {
    static_cast<TComponent*>(Object)->SetName(Value);
  };
  PublishProperty(TComponent::StaticClass(), std::move(Name));
  return true;
}();

IIEValue Boolean(bool Value) { return Value ? FCTrue : FCFalse; }

/// True when Component is the engine, one of its owners, or a part the engine owns (its packages, its
/// network): freeing those would pull the engine away under the running call.
bool Protected(TInferenceEngine& Engine, const TComponent* Component) {
  for (const TComponent* C = &Engine; C; C = C->GetOwner())
    if (C == Component) return true;
  return Component->GetOwner() == &Engine;
}

}  // namespace

// ---- published properties -------------------------------------------------------------------------------

void PublishProperty(TClass Class, TPublishedProperty Property) {
  TPropertyTable& Table = Properties();
  std::lock_guard<std::mutex> Guard(Table.Lock);
  std::deque<TPublishedProperty>& List = Table.Classes[Class];
  for (TPublishedProperty& Existing : List)
    if (SameName(Existing.Name, Property.Name)) {
      Existing = std::move(Property);
      return;
    }
  List.push_back(std::move(Property));
}

const TPublishedProperty* FindPublishedProperty(TClass Class, const std::string& Name) {
  TPropertyTable& Table = Properties();
  std::lock_guard<std::mutex> Guard(Table.Lock);
  for (TClass C = Class; C; C = C->Parent) {
    auto It = Table.Classes.find(C);
    if (It == Table.Classes.end()) continue;
    for (const TPublishedProperty& Property : It->second)
      if (SameName(Property.Name, Name)) return &Property;
  }
  return nullptr;
}

std::vector<const TPublishedProperty*> PublishedProperties(TClass Class) {
  std::vector<TClass> Chain;
  for (TClass C = Class; C; C = C->Parent) Chain.push_back(C);
  std::vector<const TPublishedProperty*> Result;
  TPropertyTable& Table = Properties();
  std::lock_guard<std::mutex> Guard(Table.Lock);
  for (auto C = Chain.rbegin(); C != Chain.rend(); ++C) {
    auto It = Table.Classes.find(*C);
    if (It == Table.Classes.end()) continue;
    for (const TPublishedProperty& Property : It->second) {
      auto Same = std::find_if(Result.begin(), Result.end(), [&](const TPublishedProperty* Seen) {
        return SameName(Seen->Name, Property.Name);
      });
      if (Same != Result.end())
        *Same = &Property;  // a descendant's property of the same name stands in for its ancestor's
      else
        Result.push_back(&Property);
    }
  }
  return Result;
}

bool TBasicAction::Execute() {
  if (!OnExecute) return false;
  OnExecute(this);
  return true;
}

// ---- the functions' shared part --------------------------------------------------------------------------

TObject* TObjectFunction::ObjectArgument(TFunctionCall& FunCall, int32_t Index, TIEContext* Context) {
  TObject* Object = ResolveArgument(FunCall, Index, Context)->GetAsObject();
  if (!Object || (FPackage && FPackage->IsGone(Object))) throw EIEException(SBadArgument, {FreedObject});
  return Object;
}

TComponent* TObjectFunction::ComponentArgument(TFunctionCall& FunCall, int32_t Index, TIEContext* Context) {
  const IIEValue Value = ResolveArgument(FunCall, Index, Context);
  if (Value->GetDType() != dtObject) throw EIEException(SMissingComponent, {GetFunctionName()});
  TObject* Object = Value->GetAsObject();
  if (!Object || (FPackage && FPackage->IsGone(Object))) throw EIEException(SBadArgument, {FreedObject});
  auto* Component = dynamic_cast<TComponent*>(Object);
  if (!Component) throw EIEException(SMissingComponent, {GetFunctionName()});
  return Component;
}

TClass TObjectFunction::ClassArgument(TFunctionCall& FunCall, int32_t Index, TIEContext* Context) {
  const IIEValue Value = ResolveArgument(FunCall, Index, Context);
  if (Value->GetDType() == dtClass) return Value->GetAsClass();
  return FindClass(Value->GetAsString());
}

IIEValue TObjectFunction::ObjectValue(TObject* Object) {
  if (FPackage) FPackage->Track(Object);
  return MakeRef<TIEValue>(Object, false);
}

namespace {

/// The component the engine behind Context belongs to, whose components get-component searches by
/// default; the engine itself when it has no owner.
TComponent* EngineOwner(TIEContext* Context) {
  TInferenceEngine& Engine = EngineOf(Context);
  return Engine.GetOwner() ? Engine.GetOwner() : &Engine;
}

TComponent* FindOwned(TComponent* Owner, const std::string& Name) {
  for (int I = 0; I < Owner->ComponentCount(); ++I)
    if (SameName(Owner->GetComponent(I)->GetName(), Name)) return Owner->GetComponent(I);
  return nullptr;
}

}  // namespace

// ---- the functions ---------------------------------------------------------------------------------------

TCreateComponentFunction::TCreateComponentFunction()
    : TObjectFunction("create-component", 2, 3,
                      FunctionComment("Creates a component of the class, owned by the second argument; the "
                                      "third argument becomes its parent"),
                      " <TComponentClass-expression> <TComponent-expression> [<TWinControl-expression>]") {}

void TCreateComponentFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const TClass Class = ClassArgument(FunCall, 0, Context);
  TComponent* Owner = ComponentArgument(FunCall, 1, Context);
  TComponent* Parent = FunCall.GetArgumentCount() > 2 ? ComponentArgument(FunCall, 2, Context) : nullptr;
  if (!Class->InheritsFrom(TComponent::StaticClass()))
    throw EIEException(SMissingComponent, {GetFunctionName()});
  const TPublishedProperty* ParentProperty = Parent ? FindPublishedProperty(Class, "Parent") : nullptr;
  if (Parent && (!ParentProperty || ParentProperty->Kind != pkObject || !ParentProperty->SetObject))
    throw EIEException(SNoParentProperty, {Class->Name});
  TObject* Made = Class->Create ? Class->Create(Owner) : nullptr;
  if (!Made) throw EIEException(SBadArgument, {Class->Name});
  if (ParentProperty) ParentProperty->SetObject(Made, Parent);
  Result = ObjectValue(Made);
}

TCreateObjectFunction::TCreateObjectFunction()
    : TObjectFunction("create-object", 1, 1, FunctionComment("Creates an object of the class"),
                      " <TClass-expression>") {}

void TCreateObjectFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const TClass Class = ClassArgument(FunCall, 0, Context);
  TObject* Made = Class->Create ? Class->Create(nullptr) : nullptr;
  if (!Made) throw EIEException(SBadArgument, {Class->Name});
  Result = ObjectValue(Made);
}

TExecuteActionFunction::TExecuteActionFunction()
    : TObjectFunction("execute-action", 1, 1,
                      FunctionComment("Executes the action; returns TRUE when it ran, otherwise FALSE"),
                      " <TBasicAction-expression>") {}

void TExecuteActionFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  auto* Action = dynamic_cast<TBasicAction*>(ObjectArgument(FunCall, 0, Context));
  if (!Action) throw EIEException(SBadArgument, {"not an action"});
  Result = Boolean(Action->Execute());
}

TFreeObjectFunction::TFreeObjectFunction()
    : TObjectFunction("free-object", 1, Unbounded, FunctionComment("Frees every object given; returns TRUE"),
                      " <TObject-expression>*") {}

void TFreeObjectFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineOf(Context);
  for (int32_t I = 0; I < FunCall.GetArgumentCount(); ++I) {
    TObject* Object = ObjectArgument(FunCall, I, Context);
    if (const auto* Component = dynamic_cast<const TComponent*>(Object);
        Component && Protected(Engine, Component))
      throw EIEException(SBadArgument, {"cannot free the engine or its parts"});
    if (GetPackage())
      GetPackage()->Free(Object);
    else if (auto* Component = dynamic_cast<TComponent*>(Object); Component && Component->GetOwner())
      Component->GetOwner()->FreeComponent(Component);
    else
      delete Object;
  }
  Result = FCTrue;
}

TGetComponentFunction::TGetComponentFunction()
    : TObjectFunction(
          "get-component", 0, 2,
          FunctionComment("Returns the component of that name owned by the engine's owner, or by "
                          "the component given first; FALSE when there is none"),
          " [<component-name>]\r\n  or (get-component <TComponent-expression> <component-name>)") {}

void TGetComponentFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const int32_t Count = FunCall.GetArgumentCount();
  TComponent* Owner = Count > 1 ? ComponentArgument(FunCall, 0, Context) : EngineOwner(Context);
  const std::string Name = Count > 0 ? ArgumentText(FunCall, Count - 1, Context) : std::string();
  TComponent* Found = FindOwned(Owner, Name);
  Result = Found ? ObjectValue(Found) : FCFalse;
}

TGetComponentsFunction::TGetComponentsFunction()
    : TObjectFunction(
          "get-components", 0, 1,
          FunctionComment("Returns a multifield of the components owned by the component given, or "
                          "by the engine's owner"),
          " [<TComponent-expression>]") {}

void TGetComponentsFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TComponent* Owner =
      FunCall.GetArgumentCount() > 0 ? ComponentArgument(FunCall, 0, Context) : EngineOwner(Context);
  IValueVector List = MakeRef<TValueVector>();
  for (int I = 0; I < Owner->ComponentCount(); ++I) List->Add(ObjectValue(Owner->GetComponent(I)));
  Result = MakeRef<TIEValue>(List);
}

TGetPropertyFunction::TGetPropertyFunction()
    : TObjectFunction("get-property", 2, 2,
                      FunctionComment("Returns the value of the object's named property"),
                      " <TObject-expression> <property-name>") {}

void TGetPropertyFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TObject* Object = ObjectArgument(FunCall, 0, Context);
  const TPublishedProperty* Property =
      FindPublishedProperty(Object->ClassType(), ArgumentText(FunCall, 1, Context));
  Result = FCFalse;  // an unknown property, or one that cannot be read
  if (!Property) return;
  switch (Property->Kind) {
    case pkFloat:
      if (Property->GetFloat) Result = MakeRef<TIEValue>(CheckedFloat(Property->GetFloat(Object)));
      break;
    case pkString:
      if (Property->GetText) Result = MakeRef<TIEValue>(Property->GetText(Object), dtString);
      break;
    case pkObject:
      if (Property->GetObject) {
        TObject* Target = Property->GetObject(Object);
        Result = Target ? ObjectValue(Target) : FCNil;
      }
      break;
    default:
      if (!Property->GetOrdinal) break;
      const int64_t Ordinal = Property->GetOrdinal(Object);
      if (Property->Kind == pkBoolean)
        Result = Boolean(Ordinal != 0);
      else if (Property->Kind == pkEnumeration && Property->Names)
        Result = MakeRef<TIEValue>(std::string(Property->Names->Name(static_cast<int>(Ordinal))), dtAtom);
      else if (Property->Kind == pkSet && Property->Names)
        Result = MakeRef<TIEValue>(
            SetToString(*Property->Names, static_cast<uint32_t>(Ordinal), ",", true, 0), dtString);
      else
        Result = MakeRef<TIEValue>(static_cast<int32_t>(Ordinal), dtInteger);
      break;
  }
}

TGetPropertiesFunction::TGetPropertiesFunction()
    : TObjectFunction(
          "get-properties", 1, 1,
          FunctionComment("Returns a multifield of the names of the object's published properties"),
          " <TObject-expression>") {}

void TGetPropertiesFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TObject* Object = ObjectArgument(FunCall, 0, Context);
  IValueVector List = MakeRef<TValueVector>();
  for (const TPublishedProperty* Property : PublishedProperties(Object->ClassType()))
    List->Add(MakeRef<TIEValue>(Property->Name, dtAtom));
  Result = MakeRef<TIEValue>(List);
}

TSetPropertyFunction::TSetPropertyFunction()
    : TObjectFunction(
          "set-property", 3, 3,
          FunctionComment("Sets the object's named property to the value; returns TRUE when it was "
                          "written, otherwise FALSE"),
          " <TObject-expression> <property-name> <expression>") {}

void TSetPropertyFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TObject* Object = ObjectArgument(FunCall, 0, Context);
  const TPublishedProperty* Property =
      FindPublishedProperty(Object->ClassType(), ArgumentText(FunCall, 1, Context));
  const IIEValue Value = ResolveArgument(FunCall, 2, Context);
  Result = FCFalse;
  if (!Property) return;
  switch (Property->Kind) {
    case pkFloat:
      if (!Property->SetFloat) return;
      Property->SetFloat(Object, Value->GetAsNumeric());
      break;
    case pkString:
      if (!Property->SetText) return;
      Property->SetText(Object, IEStringToString(Value->GetAsString()));
      break;
    case pkObject: {
      if (!Property->SetObject) return;
      TObject* Target = nullptr;
      if (Value->GetDType() == dtObject) {
        Target = Value->GetAsObject();
        if (GetPackage() && GetPackage()->IsGone(Target)) throw EIEException(SBadArgument, {FreedObject});
      } else if (!Value->Equals(FCNil)) {
        return;
      }
      Property->SetObject(Object, Target);
      break;
    }
    case pkBoolean:
      if (!Property->SetOrdinal) return;
      Property->SetOrdinal(Object, IsTrueAtom(Value) ? 1 : 0);
      break;
    case pkEnumeration: {
      if (!Property->SetOrdinal || !Property->Names) return;
      const int Ordinal = Property->Names->ValueOf(Value->GetAsString());
      if (Ordinal < 0) return;
      Property->SetOrdinal(Object, Ordinal);
      break;
    }
    case pkSet:
      if (!Property->SetOrdinal || !Property->Names) return;
      Property->SetOrdinal(Object, StringToSet(IEStringToString(Value->GetAsString()), *Property->Names, ""));
      break;
    default:
      if (!Property->SetOrdinal) return;
      Property->SetOrdinal(Object, Value->GetAsInteger());
      break;
  }
  Result = FCTrue;
}

TGetClassFunction::TGetClassFunction()
    : TObjectFunction("get-class", 1, 1, FunctionComment("Returns the registered class of that name"),
                      " <class-name>") {}

void TGetClassFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  Result = MakeRef<TIEValue>(FindClass(ArgumentText(FunCall, 0, Context)));
}

TIsClassFunction::TIsClassFunction()
    : TObjectFunction("is-class", 2, 2,
                      FunctionComment("Returns TRUE if the object is of the class or of a descendant of it, "
                                      "otherwise FALSE"),
                      " <TObject-expression> <TClass-expression>") {}

void TIsClassFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TObject* Object = ObjectArgument(FunCall, 0, Context);
  Result = Boolean(Object->InheritsFrom(ClassArgument(FunCall, 1, Context)));
}

// ---- the package -----------------------------------------------------------------------------------------

TObjectPackage::~TObjectPackage() {
  for (int32_t I = 0; I < GetFunctions().Count(); ++I)
    if (auto* Function = dynamic_cast<TObjectFunction*>(GetFunctions().Get(I).get()))
      Function->SetPackage(nullptr);
  for (TObject* Object : FAlive)
    if (auto* Component = dynamic_cast<TComponent*>(Object)) Component->RemoveFreeNotification(this);
}

void TObjectPackage::CreateFunctions() {
  TUserPackage::CreateFunctions();
  TUserFunctionList& List = GetFunctions();
  const auto Add = [&](TRef<TObjectFunction> Function) {
    Function->SetPackage(this);
    List.Add(IUserFunction(Function.get()));
  };
  Add(MakeRef<TCreateComponentFunction>());
  Add(MakeRef<TCreateObjectFunction>());
  Add(MakeRef<TExecuteActionFunction>());
  Add(MakeRef<TFreeObjectFunction>());
  Add(MakeRef<TGetComponentFunction>());
  Add(MakeRef<TGetComponentsFunction>());
  Add(MakeRef<TGetPropertyFunction>());
  Add(MakeRef<TGetPropertiesFunction>());
  Add(MakeRef<TSetPropertyFunction>());
  Add(MakeRef<TGetClassFunction>());
  Add(MakeRef<TIsClassFunction>());
}

void TObjectPackage::Track(TObject* Object) {
  FGone.erase(Object);  // a new object at the address of one that went
  if (!FAlive.insert(Object).second) return;
  if (auto* Component = dynamic_cast<TComponent*>(Object); Component && Component != this)
    Component->FreeNotification(this);
}

void TObjectPackage::Free(TObject* Object) {
  auto* Component = dynamic_cast<TComponent*>(Object);
  if (Component) Component->RemoveFreeNotification(this);
  FAlive.erase(Object);
  FGone.insert(Object);
  if (Component && Component->GetOwner())
    Component->GetOwner()->FreeComponent(Component);
  else
    delete Object;
}

void TObjectPackage::Notification(TComponent* AComponent, TOperation Operation) {
  TUserPackage::Notification(AComponent, Operation);
  if (Operation == opRemove && FAlive.erase(AComponent)) FGone.insert(AComponent);
}

}  // namespace rulecraft
