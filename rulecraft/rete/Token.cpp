#include "rulecraft/rete/Token.h"

#include <utility>
#include <vector>

#include "rulecraft/core/Constants.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"

namespace rulecraft {

TIEToken::TIEToken(TTokenAction Action, const IFact& Fact)
    : FSortCode(Fact ? Fact->GetID() : 0), FMatchKey(MixMatchKey(0, Fact)), FTag(Action) {
  FCount = 1;
  FFact = Fact;
}

TIEToken::TIEToken(const IReteToken& Parent, const IFact& Fact) {
  FFact = Fact;
  const uint32_t Own = Fact ? static_cast<uint32_t>(Fact->GetID()) : 0u;
  FMatchKey = MixMatchKey(Parent ? Parent->FMatchKey : 0u, Fact);
  if (!Parent) {
    FCount = 1;
    FSortCode = static_cast<int32_t>(Own);
    return;
  }
  SetParentLink(Parent);
  FSplitKey = Parent->FSplitKey;
  FTag = Parent->FTag;
  FStrength = Parent->FStrength;
  FSortCode = static_cast<int32_t>(static_cast<uint32_t>(Parent->FSortCode) * 8u + Own);
}

TIEToken::TIEToken(const IReteToken& Source) {
  if (Source) Assign(Source.get());
  FNegatedCount = 0;
}

TIEToken::~TIEToken() {
  // Let go of the ancestors one link at a time: a token that is the last holder of its parent would
  // otherwise free the whole chain recursively, one stack frame per fact.
  ITokenBase Link = std::move(FParent);
  while (Link && Link->RefCount() == 1) {
    ITokenBase Next = std::move(static_cast<TIEToken*>(Link.get())->FParent);
    Link = std::move(Next);
  }
}

void TIEToken::Assign(const TPersistent* Source) {
  const auto* Token = dynamic_cast<const TIEToken*>(Source);
  if (!Token) {
    TTokenBase::Assign(Source);
    return;
  }
  if (Token == this) return;
  FCount = Token->FCount;
  FFact = Token->FFact;
  FParent = Token->FParent;
  FJump = Token->FJump;
  FNegatedCount = Token->FNegatedCount;
  FStrength = Token->FStrength;
  FSortCode = Token->FSortCode;
  FMatchKey = Token->FMatchKey;
  FSplitKey = Token->FSplitKey;
  FTag = Token->FTag;
}

namespace {

// Facts at one level of two chains: both absent, the same object, or of equal ID and Equals.
bool SameFact(const IFact& Mine, const IFact& Theirs) {
  if (Mine == Theirs) return true;
  if (!Mine || !Theirs) return false;
  return Mine->GetID() == Theirs->GetID() && Mine->Equals(Theirs);
}

}  // namespace

// Two tokens are equal when, level by level from the tokens themselves towards the root, their sort codes,
// strengths and facts agree; the walk ends early at a shared ancestor (the same object) or at the root of
// this chain. Strengths compare exactly: the same facts matched at another strength are another match.
//
// Facts compare by ID and then by identity or TFact::Equals, not by ID alone. A pattern holding a multifield
// variable sends one copy of a fact per way of splitting its multislot, and all copies carry the fact's ID,
// so their tokens have equal sort codes: compared by ID they would be twins and a memory would keep only
// the first split. Their regrouped slot values differ, so Equals tells them apart and every split is
// stored. When the fact is retracted the node builds the splits afresh as new copies; each is Equals to the
// copy stored on assertion (same template, same regrouped values), so its removal still finds its stored
// twin, which identity alone would never do. Ordinary facts travel as the very object of the fact base and
// are settled by the identity check without comparing slots.
//
// Tokens of different lengths are never equal, so the comparison is symmetric: a root token whose fact's ID
// happens to equal another chain's sort code does not match that longer chain.
bool TIEToken::Equals(const TIEToken* Other) const {
  if (Other == this) return true;
  if (!Other || Other->FCount != FCount) return false;
  const TIEToken* Mine = this;
  const TIEToken* Theirs = Other;
  while (Mine != Theirs) {
    if (Mine->FSortCode != Theirs->FSortCode || Mine->FStrength != Theirs->FStrength ||
        !SameFact(Mine->FFact, Theirs->FFact))
      return false;
    Mine = Mine->GetParentObject();
    Theirs = Theirs->GetParentObject();
    if (!Mine) return true;
    if (!Theirs) return false;
  }
  return true;
}

void TIEToken::SetTag(TTokenAction Action) {
  if (Action != taClear && !FFact) throw EIEException(std::string(SInvalidTokenAction));
  FTag = Action;
}

std::string TIEToken::GetToString() const {
  std::string Text(TTokenActionInfo().Name(FTag));
  Text += " cnt=" + std::to_string(FCount) + " negcnt=" + std::to_string(FNegatedCount);
  for (const TIEToken* Token = this; Token; Token = Token->GetParentObject())
    if (Token->FFact) Text += NewLineString + Token->FFact->GetToString();
  return Text;
}

std::string TIEToken::GetToFactsString() const {
  std::vector<const TFact*> Facts;
  // The placeholder of not and test elements stands for no fact: it is left out like a missing one.
  auto Placeholder = [](const TFact& Fact) {
    return Fact.GetTemplate() && Fact.GetTemplate()->GetTemplateName() == SNullFact;
  };
  for (const TIEToken* Token = this; Token; Token = Token->GetParentObject())
    if (Token->FFact && !Placeholder(*Token->FFact)) Facts.push_back(Token->FFact.get());
  std::string Text;
  for (auto It = Facts.rbegin(); It != Facts.rend(); ++It) {
    if (!Text.empty()) Text += ", ";
    Text += "f-" + std::to_string((*It)->GetID());
  }
  return Text;
}

}  // namespace rulecraft
