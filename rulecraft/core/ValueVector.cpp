#include "rulecraft/core/ValueVector.h"

#include "rulecraft/core/IEException.h"
#include "rulecraft/framework/Exception.h"

namespace rulecraft {

void TValueVector::IndexError(int32_t Index) const {
  throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
}

void TValueVector::Assign(const TPersistent* Source) { throw EIEException(AssignErrorText(Source, this)); }

void TValueVector::Assign(const ICloneableRef& Source) {
  const auto* Vector = dynamic_cast<const TValueVector*>(Source.get());
  if (!Vector) throw EConvertError("Interface not supported");
  if (Vector == this) return;
  ICloneableRef Keep(Source);
  FValues.clear();
  FValues.reserve(Vector->FValues.size());
  for (const IIEValue& V : Vector->FValues) FValues.push_back(V ? V->Clone() : IIEValue());
}

void TValueVector::Assign(const IValueVector& Source) { Assign(ICloneableRef(Source)); }

IValueVector TValueVector::Clone() const {
  IValueVector Copy = MakeRef<TValueVector>();
  Copy->FValues.reserve(FValues.size());
  for (const IIEValue& V : FValues) Copy->FValues.push_back(V ? V->Clone() : IIEValue());
  return Copy;
}

bool TValueVector::Equals(const ICloneable* Other) const {
  const auto* Vector = dynamic_cast<const TValueVector*>(Other);
  return Vector && Equals(Vector);
}

bool TValueVector::Equals(const TValueVector* Other) const {
  if (Other == this) return true;
  if (!Other || Other->FValues.size() != FValues.size()) return false;
  for (size_t I = 0; I < FValues.size(); ++I) {
    const IIEValue& A = FValues[I];
    const IIEValue& B = Other->FValues[I];
    if (!A || !B) {
      if (A || B) return false;
    } else if (!A->Equals(B.get())) {
      return false;
    }
  }
  return true;
}

const IIEValue& TValueVector::Get(int32_t Index) const {
  if (Index < 0 || Index >= GetValueCount()) IndexError(Index);
  return FValues[static_cast<size_t>(Index)];
}

void TValueVector::Put(int32_t Index, IIEValue Value) {
  if (Index < 0 || Index >= GetValueCount()) IndexError(Index);
  FValues[static_cast<size_t>(Index)] = std::move(Value);
}

int32_t TValueVector::Add(IIEValue Value) {
  FValues.push_back(std::move(Value));
  return GetValueCount() - 1;
}

int32_t TValueVector::IndexOf(const IIEValue& Value) const noexcept {
  for (size_t I = 0; I < FValues.size(); ++I)
    if (FValues[I].get() == Value.get()) return static_cast<int32_t>(I);
  return -1;
}

void TValueVector::Insert(int32_t Index, IIEValue Value) {
  if (Index < 0 || Index > GetValueCount()) IndexError(Index);
  FValues.insert(FValues.begin() + Index, std::move(Value));
}

void TValueVector::Delete(int32_t Index) {
  if (Index < 0 || Index >= GetValueCount()) IndexError(Index);
  FValues.erase(FValues.begin() + Index);
}

void TValueVector::Append(const IValueVector& Other) {
  if (!Other) return;
  if (Other.get() == this) {
    const std::vector<IIEValue> Copy = FValues;
    FValues.insert(FValues.end(), Copy.begin(), Copy.end());
    return;
  }
  FValues.insert(FValues.end(), Other->FValues.begin(), Other->FValues.end());
}

int32_t TValueVector::Remove(const IIEValue& Value) {
  const int32_t Index = IndexOf(Value);
  if (Index >= 0) FValues.erase(FValues.begin() + Index);
  return Index;
}

std::string TValueVector::GetToString() const {
  std::string Out;
  for (const IIEValue& V : FValues) {
    if (V) Out += V->GetToString();
    Out += ' ';
  }
  return Out;
}

int32_t TValueVector::GetHashCode() const {
  uint32_t H = 0;
  for (const IIEValue& V : FValues)
    if (V) H += static_cast<uint32_t>(V->GetHashCode());
  return static_cast<int32_t>(H);
}

}  // namespace rulecraft
