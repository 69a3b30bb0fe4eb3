#include "rulecraft/engine/FactSet.h"

#include <utility>

#include "rulecraft/core/Constants.h"
#include "rulecraft/engine/InferenceEngine.h"
#include "rulecraft/facts/FactPrinter.h"
#include "rulecraft/framework/Exception.h"
#include "rulecraft/framework/StringList.h"

namespace rulecraft {

TFactSet::TFactSet(TComponent* AOwner) : TComponent(AOwner) {
  if (auto* Engine = dynamic_cast<TInferenceEngine*>(AOwner)) SetEngineNoParse(Engine);
}

TFactSet::~TFactSet() {
  Destroying();
  if (FEngine && !FEngine->IsDestroying()) FEngine->GetFactSets().Remove(this);
  FEngine = nullptr;
}

void TFactSet::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == static_cast<TComponent*>(FEngine)) FEngine = nullptr;
}

void TFactSet::SetEngineNoParse(TInferenceEngine* Engine) {
  if (Engine == FEngine) return;
  TInferenceEngine* Old = FEngine;
  FEngine = Engine;  // set first: the collections below see the change done and do not call back
  if (Old) {
    if (!Old->IsDestroying()) Old->GetFactSets().Remove(this);
    if (Old != GetOwner()) RemoveFreeNotification(Old);
  }
  if (Engine) {
    if (Engine != GetOwner()) FreeNotification(Engine);
    Engine->GetFactSets().Add(this);
  }
}

void TFactSet::SetEngine(TInferenceEngine* Engine) {
  if (Engine == FEngine) return;
  SetEngineNoParse(Engine);
  ParseLines();
}

void TFactSet::ParseLines() {
  for (TLine& Line : FLines) Line.Fact = FEngine ? FEngine->ParseFact(Line.Text) : IFact();
}

void TFactSet::CheckIndex(int32_t Index) const {
  if (Index < 0 || Index >= Count())
    throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
}

int32_t TFactSet::AddFact(const IFact& Fact) {
  const TReadBackText ReadBack;  // the line is read again at every reset: it must keep every value
  FLines.push_back(TLine{Fact ? Fact->GetToString() : std::string(), Fact});
  return Count() - 1;
}

IFact TFactSet::GetFact(int32_t Index) {
  CheckIndex(Index);
  TLine& Line = FLines[static_cast<size_t>(Index)];
  if (!Line.Fact && FEngine) Line.Fact = FEngine->ParseFact(Line.Text);
  return Line.Fact;
}

void TFactSet::SetFact(int32_t Index, const IFact& Fact) {
  CheckIndex(Index);
  FLines[static_cast<size_t>(Index)].Fact = Fact;
}

const IFact& TFactSet::GetAttachedFact(int32_t Index) const {
  CheckIndex(Index);
  return FLines[static_cast<size_t>(Index)].Fact;
}

const std::string& TFactSet::GetLine(int32_t Index) const {
  CheckIndex(Index);
  return FLines[static_cast<size_t>(Index)].Text;
}

int32_t TFactSet::IndexOf(const IFact& Fact) const {
  if (!Fact) return -1;
  for (size_t I = 0; I < FLines.size(); ++I)
    if (FLines[I].Fact == Fact) return static_cast<int32_t>(I);
  return -1;
}

void TFactSet::Remove(const IFact& Fact) {
  const int32_t Index = IndexOf(Fact);
  if (Index >= 0) Delete(Index);
}

void TFactSet::Delete(int32_t Index) {
  CheckIndex(Index);
  FLines.erase(FLines.begin() + Index);
}

void TFactSet::SetFacts(const TStringList& Lines) {
  std::vector<TLine> Fresh;
  Fresh.reserve(static_cast<size_t>(Lines.Count()));
  for (int32_t I = 0; I < Lines.Count(); ++I) {
    TLine Line{Lines.Get(I), IFact()};
    if (FEngine) Line.Fact = FEngine->ParseFact(Line.Text + NewLineString);
    Fresh.push_back(std::move(Line));
  }
  FLines = std::move(Fresh);
}

void TFactSet::GetFacts(TStringList& Lines) const {
  Lines.Clear();
  for (const TLine& Line : FLines) Lines.Add(Line.Text);
}

void TFactSet::Reset() {
  if (!FEngine) return;
  TInferenceEngine* Engine = FEngine;
  for (int32_t I = 0; I < Count(); ++I) {
    IFact Copy;
    try {
      const IFact Stored = GetFact(I);
      if (!Stored) continue;
      Copy = Stored->Clone();
    } catch (const Exception&) {
      continue;  // a line that cannot be read is skipped at reset
    }
    Copy = Engine->GetContext()->Resolve(Copy);
    Engine->Assert(Copy, false);
  }
}

void TFactSet::Assign(const TPersistent* Source) {
  const auto* Other = dynamic_cast<const TFactSet*>(Source);
  if (!Other) {
    TComponent::Assign(Source);
    return;
  }
  if (Other == this) return;
  FComment = Other->FComment;
  FFactSetName = Other->FFactSetName;
  std::vector<TLine> Lines;
  const TReadBackText ReadBack;
  auto* OwnerEngine = dynamic_cast<TInferenceEngine*>(GetOwner());
  for (const TLine& Line : Other->FLines) {
    if (OwnerEngine) {
      IFact Parsed = OwnerEngine->ParseFact(Line.Text);
      Lines.push_back(TLine{Parsed ? Parsed->GetToString() : Line.Text, Parsed});
    } else {
      IFact Copy = Line.Fact ? Line.Fact->Clone() : IFact();
      Lines.push_back(TLine{Line.Text, Copy});
    }
  }
  FLines = std::move(Lines);
}

std::string TFactSet::GetToString() const {
  return FEngine ? FEngine->PrettyPrint(*this) : PrettyPrintFactSet(*this);
}

std::string PrettyPrintFactSet(const TFactSet& FactSet) {
  const TReadBackText ReadBack;
  std::string Text = "(deffacts " + FactSet.GetFactSetName();
  if (!FactSet.GetComment().empty()) Text += " " + QuotedText(FactSet.GetComment());
  Text += NewLineString;
  for (int32_t I = 0; I < FactSet.Count(); ++I)
    Text += IndentString + IndentText(FactSet.GetLine(I)) + NewLineString;
  return Text + ")";
}

}  // namespace rulecraft
