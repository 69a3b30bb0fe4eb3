// The message catalogue: names and placeholders every error can rely on, and messages reaching the user
// through an error with their placeholders filled.
#include "rulecraft/core/Messages.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "rulecraft/core/IEException.h"

namespace rulecraft {
namespace {

// Every entry has a unique name and a text whose placeholders are only "%s" (texts) and "%d" (integers),
// except the range message's two "%.4f" bounds; a stray directive would garble or refuse the message.
TEST(MessagesTest, EntriesHaveUniqueNamesAndPlainPlaceholders) {
  int Count = 0;
  const TMessageEntry* Entries = MessageCatalogue(Count);
  ASSERT_NE(Entries, nullptr);
  ASSERT_GT(Count, 0);
  std::set<std::string> Names;
  for (int I = 0; I < Count; ++I) {
    ASSERT_NE(Entries[I].Name, nullptr);
    ASSERT_NE(Entries[I].Text, nullptr);
    const std::string Text = Entries[I].Text;
    EXPECT_FALSE(Text.empty()) << Entries[I].Name;
    EXPECT_TRUE(Names.insert(Entries[I].Name).second) << "duplicate name " << Entries[I].Name;
    for (std::size_t Pos = Text.find('%'); Pos != std::string::npos; Pos = Text.find('%', Pos + 1)) {
      const std::string Rest = Text.substr(Pos);
      const bool Plain = Rest.rfind("%s", 0) == 0 || Rest.rfind("%d", 0) == 0;
      const bool Bound = std::string(Entries[I].Name) == "SOutOfRangeError" && Rest.rfind("%.4f", 0) == 0;
      EXPECT_TRUE(Plain || Bound) << Entries[I].Name << ": " << Text;
    }
  }
  EXPECT_TRUE(Names.count("SNoSuchFact") && Names.count("SNotCorrectType"));
}

// What the user reads: the placeholders filled in order, line breaks kept, and "&s" (not a directive) as is.
TEST(MessagesTest, ErrorsFillThePlaceholders) {
  EXPECT_EQ(EIEException(SNotCorrectType, {"integer", "abc", "atom"}).Message(),
            "Not a integer type.  Value (abc) is a atom type");
  EXPECT_EQ(EIEException(SNoSuchFact, {"7"}).Message(), "No Such Fact with ID=7 exists");
  EXPECT_EQ(EIEException(SParseError, {"missing )", "rules.clp", "3", "(defrule"}).Message(),
            "Parsing Error, missing ) in rules.clp at line 3: (defrule");
  EXPECT_EQ(EIEException(SMultipleParseError, {"one\r\ntwo"}).Message(),
            "Errors parsing stream:\r\none\r\ntwo");
  EXPECT_EQ(EIEException(SUncloneableValue, {}).Message(),
            "Uncloneable value.  Value owned an object of &s class type");
}

}  // namespace
}  // namespace rulecraft
