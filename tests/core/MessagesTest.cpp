#include "rulecraft/core/Messages.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace rulecraft {
namespace {

const TMessageEntry* Find(const char* Name) {
  int Count = 0;
  const TMessageEntry* Entries = MessageCatalogue(Count);
  for (int I = 0; I < Count; ++I) {
    if (std::string(Entries[I].Name) == Name) return &Entries[I];
  }
  return nullptr;
}

TEST(MessagesTest, CatalogueHas147UniqueNames) {
  int Count = 0;
  const TMessageEntry* Entries = MessageCatalogue(Count);
  ASSERT_NE(Entries, nullptr);
  ASSERT_EQ(Count, 147);
  std::set<std::string> Names;
  for (int I = 0; I < Count; ++I) {
    ASSERT_NE(Entries[I].Name, nullptr);
    ASSERT_NE(Entries[I].Text, nullptr);
    EXPECT_FALSE(std::string(Entries[I].Text).empty()) << Entries[I].Name;
    EXPECT_TRUE(Names.insert(Entries[I].Name).second) << "duplicate name " << Entries[I].Name;
  }
}

TEST(MessagesTest, CatalogueOrder) {
  int Count = 0;
  const TMessageEntry* Entries = MessageCatalogue(Count);
  ASSERT_EQ(Count, 147);
  EXPECT_STREQ(Entries[0].Name, "SInvalidName");
  EXPECT_STREQ(Entries[1].Name, "SInvalidVariableName");
  EXPECT_STREQ(Entries[65].Name, "STooFewArgs");
  EXPECT_STREQ(Entries[66].Name, "STooManyArgs");
  EXPECT_STREQ(Entries[146].Name, "SPatternMatchError");
}

TEST(MessagesTest, EntriesHoldTheNamedTexts) {
  const TMessageEntry* Entry = Find("SNoSuchFact");
  ASSERT_NE(Entry, nullptr);
  EXPECT_STREQ(Entry->Text, SNoSuchFact);
  Entry = Find("SNotCorrectType");
  ASSERT_NE(Entry, nullptr);
  EXPECT_STREQ(Entry->Text, SNotCorrectType);
  EXPECT_EQ(Find("SInvalidSetItem"), nullptr);  // the helper unit's message is not in the shared catalogue
}

TEST(MessagesTest, ExactTexts) {
  EXPECT_STREQ(SNotCorrectType, "Not a %s type.  Value (%s) is a %s type");
  EXPECT_STREQ(SInvalidValueType, "Value and type mismatch");
  EXPECT_STREQ(SUncloneableValue, "Uncloneable value.  Value owned an object of &s class type");
  EXPECT_STREQ(SNoContext, "No context found when trying to resolve a %s value");
  EXPECT_STREQ(SCorruptedVariable, "Corrupted Binding, variable not found: %s");
  EXPECT_STREQ(STooFewArgs, "Too few arguments for %s");
  EXPECT_STREQ(STooManyArgs, "Too many arguments for %s");
  EXPECT_STREQ(SNoSuchFact, "No Such Fact with ID=%s exists");
  EXPECT_STREQ(SUnknownVariable, "Unknown variable name: %s");
  EXPECT_STREQ(SUnknownEngine, "Unknown/Undefined Inference Engine");
  EXPECT_STREQ(SNoSuchFunction, "Function is unimplemented or unassigned: %s");
  EXPECT_STREQ(SNoTemplate, "Fact Template is missing");
  EXPECT_STREQ(SNoSuchSlot, "No such slot name: \"%s\"");
  EXPECT_STREQ(SParseError, "Parsing Error, %s in %s at line %s: %s");
  EXPECT_STREQ(SMultipleParseError, "Errors parsing stream:\r\n%s");
  EXPECT_STREQ(SInvalidArgType, "Invalid argument type for deffunction: \"%s\".  Expected %s");
  EXPECT_STREQ(SInvalidSetItem, "Invalid item for set: %s");
}

// Texts are filled with "%s" (texts) and "%d" (integers); the range message alone writes its two bounds
// with "%.4f". "&s" in the uncloneable-value text is plain text.
TEST(MessagesTest, PlaceholdersAreOnlyTextsAndIntegers) {
  int Count = 0;
  const TMessageEntry* Entries = MessageCatalogue(Count);
  for (int I = 0; I < Count; ++I) {
    const std::string Text = Entries[I].Text;
    for (std::size_t Pos = Text.find('%'); Pos != std::string::npos; Pos = Text.find('%', Pos + 1)) {
      const std::string Rest = Text.substr(Pos);
      const bool Plain = Rest.rfind("%s", 0) == 0 || Rest.rfind("%d", 0) == 0;
      const bool Bound = std::string(Entries[I].Name) == "SOutOfRangeError" && Rest.rfind("%.4f", 0) == 0;
      EXPECT_TRUE(Plain || Bound) << Entries[I].Name << ": " << Text;
    }
  }
  EXPECT_EQ(std::string(SUncloneableValue).find('%'), std::string::npos);
}

}  // namespace
}  // namespace rulecraft
