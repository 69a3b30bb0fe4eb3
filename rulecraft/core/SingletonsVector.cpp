#include "rulecraft/core/SingletonsVector.h"

#include "rulecraft/framework/Exception.h"

namespace rulecraft {

TSingletonsVector::TSingletonsVector(ISingletonsParser* Parser)
    : FXValues(MakeRef<TValueVector>()), FYValues(MakeRef<TValueVector>()), FParser(Parser) {}

TSingletonsVector::~TSingletonsVector() { FParser = nullptr; }

void TSingletonsVector::CopyFrom(const TSingletonsVector& Source) {
  if (&Source == this) return;
  Clear();
  for (int32_t I = 0; I < Source.GetCount(); ++I) {
    const IIEValue& X = Source.GetXValues(I);
    const IIEValue& Y = Source.GetYValues(I);
    Add(X ? X->Clone() : IIEValue(), Y ? Y->Clone() : IIEValue());
  }
  FParser = Source.FParser;
  FTag = Source.FTag;
}

void TSingletonsVector::Assign(const TPersistent* Source) {
  if (const auto* Vector = dynamic_cast<const TSingletonsVector*>(Source))
    CopyFrom(*Vector);
  else
    TPersistent::Assign(Source);
}

void TSingletonsVector::Assign(const ICloneableRef& Source) {
  const auto* Vector = dynamic_cast<const TSingletonsVector*>(Source.get());
  if (!Vector) throw EConvertError("Interface not supported");
  CopyFrom(*Vector);
}

ISingletonsVector TSingletonsVector::Clone() const {
  ISingletonsVector Copy = MakeRef<TSingletonsVector>(FParser);
  Copy->CopyFrom(*this);
  return Copy;
}

bool TSingletonsVector::Equals(const ICloneable* Other) const {
  const auto* Vector = dynamic_cast<const TSingletonsVector*>(Other);
  if (!Vector) return false;
  if (Vector == this) return true;
  if (Vector->GetCount() != GetCount()) return false;
  auto Same = [](const IIEValue& Mine, const IIEValue& Theirs) {
    if (!Theirs) return !Mine;
    return Mine && Mine->Equals(Theirs.get());
  };
  for (int32_t I = 0; I < GetCount(); ++I)
    if (!Same(GetXValues(I), Vector->GetXValues(I)) || !Same(GetYValues(I), Vector->GetYValues(I)))
      return false;
  return true;
}

int32_t TSingletonsVector::Add(IIEValue X, IIEValue Y) {
  FXValues->Add(std::move(X));
  return FYValues->Add(std::move(Y));
}

void TSingletonsVector::Clear() noexcept {
  FXValues->Clear();
  FYValues->Clear();
}

void TSingletonsVector::Insert(int32_t Index, IIEValue X, IIEValue Y) {
  FXValues->Insert(Index, std::move(X));
  FYValues->Insert(Index, std::move(Y));
}

void TSingletonsVector::Delete(int32_t Index) {
  FXValues->Delete(Index);
  FYValues->Delete(Index);
}

void TSingletonsVector::Append(const ISingletonsVector& Other) {
  if (!Other) return;
  const int32_t Count = Other->GetCount();  // Other may be this vector
  for (int32_t I = 0; I < Count; ++I) Add(Other->GetXValues(I), Other->GetYValues(I));
}

std::string TSingletonsVector::GetToString() const {
  if (FParser) return FParser->PrettyPrint(*this);
  std::string Out;
  for (int32_t I = 0; I < GetCount(); ++I) {
    const IIEValue& X = GetXValues(I);
    const IIEValue& Y = GetYValues(I);
    Out += '(';
    if (X) Out += X->GetToString();
    Out += ' ';
    if (Y) Out += Y->GetToString();
    Out += ") ";
  }
  return Out;
}

int32_t TSingletonsVector::GetHashCode() const {
  return static_cast<int32_t>(static_cast<uint32_t>(FXValues->GetHashCode()) +
                              static_cast<uint32_t>(FYValues->GetHashCode()));
}

}  // namespace rulecraft
