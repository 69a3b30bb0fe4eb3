#include "rulecraft/facts/FactSlot.h"

#include "rulecraft/core/Constants.h"
#include "rulecraft/core/Helpers.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/facts/FactEngine.h"
#include "rulecraft/facts/FactPrinter.h"
#include "rulecraft/facts/FactTemplate.h"
#include "rulecraft/framework/Convert.h"
#include "rulecraft/framework/Exception.h"

namespace rulecraft {

TFactSlot::TFactSlot(TFactTemplate* Template) : FTemplate(Template) {}

TFactSlot::~TFactSlot() { ListenToDefault(false); }

bool TFactSlot::DynamicChecks() const {
  IFactEngine* Engine = FTemplate ? FTemplate->GetEngine() : nullptr;
  return Engine && Engine->GetTypeChecks().Contains(tcDynamic);
}

void TFactSlot::ListenToDefault(bool Listen) {
  if (!FSlotDefault || IsValueConstant(FSlotDefault)) return;  // shared constants never change
  if (Listen)
    FSlotDefault->SetOnChange([this](const IIEValue& Value) { ValueChanged(Value); });
  else
    FSlotDefault->SetOnChange(nullptr);
}

void TFactSlot::ValueChanged(const IIEValue& Value) {
  if (DynamicChecks() && !IsValid(Value)) throw EIEException(SInvalidValue, {Value->GetToString(), FName});
}

std::string TFactSlot::GetTemplateName() const {
  return FTemplate ? FTemplate->GetTemplateName() : std::string();
}

void TFactSlot::SetName(const TIEName& Value) {
  CheckName(Value);
  if (Value == FName) return;
  if (FTemplate) FTemplate->NewSlotName(*this, Value);
  FName = Value;
}

void TFactSlot::SetSlotType(TIETypes Value) {
  if (Value == FSlotType) return;
  if (Value.Contains(dtFuzzy) && !(Value - TIETypes{dtFuzzy} - IEMultiSlotTypes).Empty())
    throw EIEException(std::string(SCannotMixFuzzy));
  if (FTemplate) FTemplate->NewSlotType(*this, Value);
  FSlotType = Value;
  if (FExtendedTypeInfo && FExtendedTypeInfo->GetImplicit())
    // The implicit type checks the elements of a fuzzy multislot, so it takes the element kinds only.
    FExtendedTypeInfo->SetBaseTypes(Value.Contains(dtFuzzy) ? Value - IEMultiSlotTypes : Value);
  if (!FSlotDefault || !IsValid(FSlotDefault))
    SetSlotDefault(CreateValidDefault(Value.Contains(dtMultiSlot)));
}

void TFactSlot::SetSlotDefault(const IIEValue& Value) {
  if (Value && DynamicChecks() && !IsValid(Value))
    throw EIEException(SInvalidSlotDefault, {Value->GetToString()});
  ListenToDefault(false);
  IIEValue Default = !Value || IsValueConstant(Value) ? Value : Value->Clone();
  if (FTemplate) FTemplate->NewSlotDefault(*this, Default);
  FSlotDefault = std::move(Default);
  ListenToDefault(true);
}

void TFactSlot::SetExtendedTypeInfo(const IIEDefinedType& Value) {
  if (Value == FExtendedTypeInfo) return;
  const TIETypes Kinds = Value ? Value->GetBaseTypes() : TIETypes();
  if (FTemplate && Value) FTemplate->NewSlotType(*this, Kinds);
  // A multislot stays one: the type names the kinds of its elements.
  const bool Multi = FName == SDefaultSlotName || FSlotType.Contains(dtMultiSlot);
  FExtendedTypeInfo = Value;
  SetSlotType(Multi ? Kinds + IEMultiSlotTypes : Kinds);
}

bool TFactSlot::IsValid(const IIEValue& Value) const {
  if (!Value) return true;
  if (Value == FCNil && !FSlotType.Contains(dtList)) return true;
  if (Value == FCNilList && FSlotType.Contains(dtList)) return true;
  if (FExtendedTypeInfo) return FExtendedTypeInfo->IsValid(Value);
  auto Accepted = [this](TIEType Kind) {
    return FSlotType.Contains(Kind) || IEAlwaysValidTypes.Contains(Kind);
  };
  if (!Accepted(Value->GetDType())) return false;
  if (Value->GetDType() == dtList) {
    for (const IIEValue& Element : *Value->GetAsList())
      if (Element && !Accepted(Element->GetDType())) return false;
  }
  return true;
}

std::string TFactSlot::GetInvalidValueString(const IIEValue& Value) const {
  if (IsValid(Value)) return std::string();
  if (FExtendedTypeInfo)
    return Format(SNotCorrectSlotType, {FExtendedTypeInfo->GetInvalidValueString(Value), FName});
  const std::string Types = UpperCase(SetToString(FSlotType, ", ", false));
  const TIEType Kind = Value->GetDType();
  std::string KindText = GetIETypeName(Kind);
  if (Kind == dtList && (FSlotType.Contains(dtList))) {
    for (const IIEValue& Element : *Value->GetAsList()) {
      if (Element && !FSlotType.Contains(Element->GetDType()) &&
          !IEAlwaysValidTypes.Contains(Element->GetDType())) {
        KindText = GetIETypeName(Element->GetDType()) + " (" + Element->GetToString() + ")";
        break;
      }
    }
  }
  return Format(SNotCorrectSlotType,
                {Format(SNotCorrectType, {Types, Value->GetToString(), KindText}), FName});
}

IIEValue TFactSlot::CreateValidDefault(bool Multi) const {
  if (FExtendedTypeInfo) return FExtendedTypeInfo->CreateValidDefault(Multi);
  if (Multi) return FCNilList->Clone();
  static constexpr TIEType Order[] = {dtAtom,  dtString, dtInteger, dtFloat,      dtObject, dtExternalAddress,
                                      dtFuzzy, dtFactId, dtFact,    dtDescriptor, dtClass};
  for (TIEType Kind : Order) {
    if (!FSlotType.Contains(Kind)) continue;
    switch (Kind) {
      case dtAtom:
        return MakeRef<TIEValue>(std::string(), dtAtom);
      case dtString:
        return MakeRef<TIEValue>(std::string(), dtString);
      case dtInteger:
        return MakeRef<TIEValue>(0, dtInteger);
      case dtFloat:
        return MakeRef<TIEValue>(0.0);
      case dtObject:
        return MakeRef<TIEValue>(static_cast<TObject*>(nullptr), false);
      case dtExternalAddress:
        return MakeRef<TIEValue>(static_cast<void*>(nullptr));
      case dtFuzzy:
        return FCNil;
      case dtFactId:
        return MakeRef<TIEValue>(0, dtFactId);
      case dtFact: {
        IIEValue None = MakeRef<TIEValue>();
        None->SetAsFact(TRef<TFactBase>());
        return None;
      }
      case dtDescriptor:
        return MakeRef<TIEValue>(0, dtDescriptor);
      default: {
        IIEValue None = MakeRef<TIEValue>();
        None->SetAsClass(nullptr);
        return None;
      }
    }
  }
  return MakeRef<TIEValue>();
}

std::string TFactSlot::GetToString() const {
  IFactEngine* Engine = FTemplate ? FTemplate->GetEngine() : nullptr;
  return Engine ? Engine->PrettyPrint(*this) : PrettyPrintTemplateSlot(*this);
}

void TFactSlot::Assign(const TPersistent* Source) {
  const auto* Slot = dynamic_cast<const TFactSlot*>(Source);
  if (!Slot) {
    TPersistent::Assign(Source);
    return;
  }
  Assign(ICloneableRef(const_cast<TFactSlot*>(Slot)));
}

void TFactSlot::Assign(const ICloneableRef& Source) {
  const auto* Slot = dynamic_cast<const TFactSlot*>(Source.get());
  if (!Slot) throw EConvertError("Interface not supported");
  if (Slot == this) return;
  SetName(Slot->FName);
  FDefaultDynamic = Slot->FDefaultDynamic;
  FDefaultKind = Slot->FDefaultKind;
  FTag = Slot->FTag;
  IFactEngine* Engine = FTemplate ? FTemplate->GetEngine() : nullptr;
  IIEDefinedType EngineType;
  if (Slot->FExtendedTypeInfo && Engine)
    EngineType = Engine->FindDefinedType(Slot->FExtendedTypeInfo->GetName());
  if (EngineType && EngineType != Slot->FExtendedTypeInfo) {
    // The source belongs to another engine: use this engine's type of that name and re-read the default.
    SetExtendedTypeInfo(EngineType);
    SetSlotType(Slot->FSlotType);
    const IIEValue& Default = Slot->FSlotDefault;
    if (Default && IEReparseTypes.Contains(Default->GetDType())) {
      const std::string Text = [&Default] {
        const TReadBackText ReadBack;
        return Default->GetToString();
      }();
      SetSlotDefault(Engine->ParseValue(Text, *this));
    } else {
      SetSlotDefault(Default);
    }
    return;
  }
  // An implicit type belongs to its slot alone, so the copy gets a copy of it; a named type is shared.
  const IIEDefinedType& Type = Slot->FExtendedTypeInfo;
  IIEDefinedType NewType = Type && Type->GetImplicit() ? Type->Clone() : Type;
  FExtendedTypeInfo = NewType;
  if (FTemplate) FTemplate->NewSlotType(*this, Slot->FSlotType);
  FSlotType = Slot->FSlotType;
  SetSlotDefault(Slot->FSlotDefault);
}

IFactSlot TFactSlot::Clone() const {
  IFactSlot Copy = MakeRef<TFactSlot>(FTemplate);
  Copy->Assign(ICloneableRef(const_cast<TFactSlot*>(this)));
  return Copy;
}

bool TFactSlot::Equals(const ICloneable* Other) const {
  if (Other == this) return true;
  const auto* Slot = dynamic_cast<const TFactSlot*>(Other);
  if (!Slot || Slot->FName != FName || Slot->FSlotType != FSlotType || Slot->FDefaultKind != FDefaultKind)
    return false;
  if (FExtendedTypeInfo != Slot->FExtendedTypeInfo &&
      !(FExtendedTypeInfo && FExtendedTypeInfo->Equals(Slot->FExtendedTypeInfo.get())))
    return false;
  if (FSlotDefault == Slot->FSlotDefault) return true;
  if (!FSlotDefault || !Slot->FSlotDefault) return false;
  try {
    return FSlotDefault->EqualsStar(Slot->FSlotDefault);
  } catch (const EIEException&) {
    return false;  // defaults of kinds that cannot be compared are different
  }
}

}  // namespace rulecraft
