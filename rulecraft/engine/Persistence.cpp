// Saving an engine as rule-language text and reading it back: the whole expert system, or one kind of
// construct at a time (facts, rules, templates, defined types).
#include <algorithm>
#include <ctime>
#include <new>
#include <sstream>
#include <unordered_set>

#include "rulecraft/collections/TextStream.h"
#include "rulecraft/core/Constants.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/engine/FactSet.h"
#include "rulecraft/engine/InferenceEngine.h"
#include "rulecraft/engine/ParentsFirst.h"
#include "rulecraft/framework/Convert.h"
#include "rulecraft/framework/Format.h"

namespace rulecraft {

namespace {

/// The local date and time as "yyyy-mm-dd hh:mm:ss".
std::string Now() {
  const std::time_t Seconds = std::time(nullptr);
  std::tm Local{};
#ifdef _WIN32
  localtime_s(&Local, &Seconds);
#else
  localtime_r(&Seconds, &Local);
#endif
  char Buffer[32];
  const size_t Length = std::strftime(Buffer, sizeof Buffer, "%Y-%m-%d %H:%M:%S", &Local);
  return std::string(Buffer, Length);
}

/// Writes Text to a file created anew.
void WriteFile(const std::string& FileName, const std::string& Text) {
  TGTextStream File(FileName, fmCreate);
  File.Write(Text);
  File.Flush();
}

/// The text Save writes, written into a file created anew once it is complete.
template <class FSave>
bool SaveToNewFile(const std::string& FileName, FSave Save) {
  std::ostringstream Text;
  {
    TGTextStream Stream(static_cast<std::ostream&>(Text));
    Save(Stream);
    Stream.Flush();
  }
  WriteFile(FileName, Text.str());
  return true;
}

}  // namespace

std::string TInferenceEngine::GetExpertSystem() try {
  const TReadBackText ReadBack;
  const std::string NL = NewLineString;
  std::string Text;
  Text += SSaveSectionRule + NL;
  Text += "; Inference Engine v" + Format("%.4f", {static_cast<double>(GetVersion())}) + " Output" + NL;
  Text += "; Created: " + Now() + NL;
  Text += "; Number of Global Variables: " + std::to_string(FGlobalVariables->Count()) + NL;
  Text += "; Number of Defined Types:    " + std::to_string(FDefinedTypes->Count()) + NL;
  Text += "; Number of Fact Templates:   " + std::to_string(FFactTemplates->Count()) + NL;
  Text += "; Number of Rules:            " + std::to_string(FRules->Count()) + NL;
  Text += "; Number of Fact Sets:        " + std::to_string(FFactSets->Count()) + NL;
  Text += "; Number of Facts:            " + std::to_string(FFacts->Count()) + NL;
  // The function's sense is the opposite of the property's.
  Text += std::string("(set-fact-duplication ") + (FFactDuplication ? "FALSE" : "TRUE") + ")" + NL;

  auto Section = [&](const char* Heading, bool EmptyLineAfter) {
    Text += NL + SSaveSectionRule + NL + Heading + NL;
    if (EmptyLineAfter) Text += NL;
  };

  if (FUserFunctions->Count() > 0) {
    // Written whenever a function is known; only functions written in the rule language have a body. The
    // functions come first, so that a global whose initial value calls one of them reads back.
    Section("; Deffunctions ", false);
    Text += FUserFunctions->GetToString();
  }
  if (FGlobalVariables->Count() > 0) {
    Section("; Global Variables ", true);
    Text += "(defglobal";
    for (int32_t I = 0; I < FGlobalVariables->Count(); ++I) {
      const IIEValue Value = FGlobalVariables->GetItemByIndex(I);
      Text += " ?" + FGlobalVariables->GetKeyByIndex(I) + " = " + (Value ? Value->GetToString() : "nil");
    }
    Text += ")" + NL;
  }
  if (FDefinedTypes->Count() > 0) {
    Section("; Defined Types ", true);
    Text += FDefinedTypes->GetToString();
  }
  if (FFactTemplates->Count() > 0) {
    Section("; Fact Templates ", true);
    Text += FFactTemplates->GetToString();
  }
  if (FRules->Count() > 0) {
    Section("; Rules ", true);
    Text += FRules->GetToString();
  }
  if (FFactSets->Count() > 0) {
    Section("; Fact Sets ", true);
    Text += FFactSets->GetToString();
  }
  if (FFacts->Count() > 0) {
    Section("; Facts ", true);
    Text += "(assert" + NL;
    FFacts->ForEach(
        [&Text, &NL](const IFact& Fact) { Text += TGTextStream::IndentText + Fact->GetToString() + NL; });
    Text += ")" + NL;
  }
  return Text;
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

void TInferenceEngine::SetExpertSystem(const std::string& Text) try {
  Clear();
  Parse(Text, true);
  // The facts the text asserted, which the reset is about to drop.
  std::vector<IFact> Asserted;
  Asserted.reserve(static_cast<size_t>(FFacts->Count()));
  FFacts->ForEach([&Asserted](const IFact& Fact) { Asserted.push_back(Fact); });
  Reset();
  // Each fact the reset brought back (the initial fact, the fact sets' facts) stands for one saved fact.
  std::unordered_set<const TFact*> Matched;
  for (const IFact& Fact : Asserted) {
    const TFact* Equal = FFacts->FindEqual(*Fact);
    if (Equal && Matched.insert(Equal).second) continue;
    Assert(Fact);
  }
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

void TInferenceEngine::SaveToStream(TGTextStream& Stream) try {
  Stream.Write(GetExpertSystem());
  Stream.Flush();
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

bool TInferenceEngine::SaveToFile(const std::string& FileName) try {
  WriteFile(FileName, GetExpertSystem());
  return true;
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

void TInferenceEngine::SaveFacts(TGTextStream& Stream) try {
  const TReadBackText ReadBack;
  FFacts->ForEach([&Stream](const IFact& Fact) { Stream.WriteLine(Fact->GetToString()); });
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

void TInferenceEngine::SaveFacts(TGTextStream& Stream, const std::string& TemplateName) try {
  const TReadBackText ReadBack;
  FFacts->ForEach([&Stream, &TemplateName](const IFact& Fact) {
    if (Fact->GetTemplate() && Fact->GetTemplate()->GetTemplateName() == TemplateName)
      Stream.WriteLine(Fact->GetToString());
  });
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

bool TInferenceEngine::SaveFactsToFile(const std::string& FileName) try {
  return SaveToNewFile(FileName, [this](TGTextStream& Stream) { SaveFacts(Stream); });
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

bool TInferenceEngine::LoadFactsFromFile(const std::string& FileName) try {
  TGTextStream File(FileName, fmOpenRead);
  return LoadFacts(File);
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

bool TInferenceEngine::LoadFacts(TGTextStream& Stream) try {
  return LoadFacts(ReadAll(Stream));
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

void TInferenceEngine::SaveRules(TGTextStream& Stream) try {
  const TReadBackText ReadBack;
  for (TRule* Rule : FRules->Items()) Stream.WriteLine(Rule->GetToString());
  Stream.Flush();
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

bool TInferenceEngine::SaveRulesToFile(const std::string& FileName) try {
  return SaveToNewFile(FileName, [this](TGTextStream& Stream) { SaveRules(Stream); });
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

bool TInferenceEngine::LoadRules(TGTextStream& Stream) try {
  const std::string Text = ReadAll(Stream);
  FRules->Clear();
  return Parse(Text, true);
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

bool TInferenceEngine::LoadRulesFromFile(const std::string& FileName) try {
  TGTextStream File(FileName, fmOpenRead);
  return LoadRules(File);
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

void TInferenceEngine::SaveFactTemplates(TGTextStream& Stream) try {
  const TReadBackText ReadBack;
  for (const IFactTemplate& Template : FFactTemplates->Items()) Stream.WriteLine(Template->GetToString());
  Stream.Flush();
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

bool TInferenceEngine::SaveFactTemplatesToFile(const std::string& FileName) try {
  return SaveToNewFile(FileName, [this](TGTextStream& Stream) { SaveFactTemplates(Stream); });
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

bool TInferenceEngine::LoadFactTemplates(TGTextStream& Stream) try {
  const std::string Text = ReadAll(Stream);
  FFactTemplates->Clear();
  return Parse(Text, true);
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

bool TInferenceEngine::LoadFactTemplatesFromFile(const std::string& FileName) try {
  TGTextStream File(FileName, fmOpenRead);
  return LoadFactTemplates(File);
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

void TInferenceEngine::SaveDefinedTypes(TGTextStream& Stream) try {
  const TReadBackText ReadBack;
  for (const IIEDefinedType& Type : FDefinedTypes->Items()) Stream.WriteLine(Type->GetToString());
  Stream.Flush();
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

bool TInferenceEngine::SaveDefinedTypesToFile(const std::string& FileName) try {
  return SaveToNewFile(FileName, [this](TGTextStream& Stream) { SaveDefinedTypes(Stream); });
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

bool TInferenceEngine::LoadDefinedTypes(TGTextStream& Stream) try {
  const std::string Text = ReadAll(Stream);
  FDefinedTypes->Clear();
  return Parse(Text, true);
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

bool TInferenceEngine::LoadDefinedTypesFromFile(const std::string& FileName) try {
  TGTextStream File(FileName, fmOpenRead);
  return LoadDefinedTypes(File);
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

}  // namespace rulecraft
