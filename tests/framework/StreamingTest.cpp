// Component streaming: the text format (strings of every byte, numbers, sets, lists) and a component read
// back from its text, with the errors of a text that does not fit it.
#include <gtest/gtest.h>

#include "../TestValues.h"

#include <string>
#include <vector>

#include "rulecraft/framework/Component.h"
#include "rulecraft/framework/Streaming.h"

using namespace rulecraft;
using namespace rulecraft::testing;

TEST(ComponentStreaming, StringsOfEveryByteReadBackAndControlBytesAreEscaped) {
  std::string Every;
  for (int Byte = 0; Byte < 256; ++Byte) Every += static_cast<char>(Byte);
  TPropertyWriter Writer("TThing");
  Writer.WriteString("Text", Every);
  Writer.WriteStrings("Lines", {"", "one\r\ntwo", "\"\\"});
  Writer.WriteSet("Empty", {});
  Writer.WriteSet("Two", {"cwFact", "cwRule"});
  Writer.WriteSingle("Ratio", 0.1f);
  Writer.WriteSingle("Whole", 3.0f);
  Writer.WriteInteger("Count", -7);
  Writer.WriteBoolean("On", true);
  const std::string Text = Writer.Text();
  // One property per line: no raw line break, quote or backslash inside a string.
  EXPECT_NE(Text.find("\\x00\\x01"), std::string::npos);
  EXPECT_NE(Text.find("\\t\\n\\x0B\\x0C\\r"), std::string::npos);
  EXPECT_NE(Text.find("    \"one\\r\\ntwo\"\n"), std::string::npos);
  EXPECT_NE(Text.find("  Empty = []\n  Two = [cwFact, cwRule]\n  Ratio = 0.1\n  Whole = 3.0\n"),
            std::string::npos);

  std::string Class;
  const std::vector<TStreamProperty> Read = ParseComponentText(Text, Class);
  EXPECT_EQ(Class, "TThing");
  ASSERT_EQ(Read.size(), 8u);
  EXPECT_EQ(Read[0].AsString(), Every);
  EXPECT_EQ(Read[1].AsStrings(), (std::vector<std::string>{"", "one\r\ntwo", "\"\\"}));
  EXPECT_TRUE(Read[2].AsSet().empty());
  EXPECT_EQ(Read[3].AsSet(), (std::vector<std::string>{"cwFact", "cwRule"}));
  EXPECT_EQ(static_cast<float>(Read[4].AsFloat()), 0.1f);
  EXPECT_EQ(Read[5].Kind, svFloat);
  EXPECT_EQ(Read[6].AsInteger(), -7);
  EXPECT_TRUE(Read[7].AsBoolean());
  EXPECT_EQ(Read[7].Line, 13);
  // A value of another kind than the property needs.
  ExpectError<EReadError>([&] { (void)Read[6].AsString(); },
                          "Stream read error at line 12: property Count must be a string");
  ExpectError<EReadError>([&] { (void)Read[0].AsBoolean(); },
                          "Stream read error at line 2: property Text must be True or False");
}

namespace {

/// A component with two properties; it records the calls streaming makes.
class TGauge : public TComponent {
  RC_CLASS(TGauge, TComponent)
 public:
  using TComponent::TComponent;
  std::string Label = "none";
  std::vector<std::string> Marks;
  std::vector<std::string> Calls;

  void WriteProperties(TPropertyWriter& Writer) const override {
    Writer.WriteString("Label", Label);
    if (!Marks.empty()) Writer.WriteStrings("Marks", Marks);
  }
  void BeginRead() override { Calls.push_back("begin"); }
  bool ReadProperty(const TStreamProperty& Property) override {
    Calls.push_back(Property.Name);
    if (Property.Name == "Label")
      Label = Property.AsString();
    else if (Property.Name == "Marks")
      Marks = Property.AsStrings();
    else
      return false;
    return true;
  }
  void EndRead() override { Calls.push_back("end"); }
};

}  // namespace

TEST(ComponentStreaming, AComponentReadsBackItsTextAndATextThatDoesNotFitChangesNothing) {
  TGauge Source(nullptr);
  Source.Label = "tank \"B\"";
  Source.Marks = {"low", "", "high\r\n"};
  const std::string Text = WriteComponentText(Source);
  EXPECT_EQ(Text,
            "object TGauge\n"
            "  Label = \"tank \\\"B\\\"\"\n"
            "  Marks = (\n"
            "    \"low\"\n"
            "    \"\"\n"
            "    \"high\\r\\n\"\n"
            "  )\n"
            "end\n");
  TGauge Target(nullptr);
  ReadComponentText(Text, Target);
  EXPECT_EQ(Target.Label, Source.Label);
  EXPECT_EQ(Target.Marks, Source.Marks);
  EXPECT_EQ(Target.Calls, (std::vector<std::string>{"begin", "Label", "Marks", "end"}));

  TGauge Untouched(nullptr);
  ExpectError<EReadError>(
      [&] { ReadComponentText("object TGauge\n  Label = \"x\"\n  Marks = (\n", Untouched); },
      "Stream read error at line 3: expected \")\"");
  ExpectError<EReadError>([&] { ReadComponentText("object TDial\nend\n", Untouched); },
                          "Stream read error at line 1: the text holds a TDial, not a TGauge");
  EXPECT_TRUE(Untouched.Calls.empty());
  EXPECT_EQ(Untouched.Label, "none");
  // A property the component does not know stops the read there.
  ExpectError<EReadError>(
      [&] { ReadComponentText("object TGauge\n  Label = \"y\"\n  Colour = red\nend\n", Untouched); },
      "Stream read error at line 3: TGauge has no property Colour");
  EXPECT_EQ(Untouched.Calls, (std::vector<std::string>{"begin", "Label", "Colour"}));
}
