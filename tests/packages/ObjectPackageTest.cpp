// The object package from the rule language: a host form owns the engine and a few components of a small
// host class that publishes properties of every kind; rules find them, read and write their properties,
// create, free and test objects, and run an action.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "../TestValues.h"
#include "rulecraft/engine/InferenceEngine.h"
#include "rulecraft/packages/ObjectPackage.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

enum TGaugeStyle : uint8_t { gsBar, gsDial, gsText };
const TEnumInfo& GaugeStyleInfo() {
  static const TEnumInfo Info("TGaugeStyle", {"gsBar", "gsDial", "gsText"});
  return Info;
}

/// A host component with one published property of each kind.
class TGauge : public TComponent {
  RC_CLASS(TGauge, TComponent)
 public:
  using TComponent::TComponent;
  int32_t Value = 0;
  double Ratio = 0.5;
  std::string Caption = "gauge";
  bool Visible = true;
  TGaugeStyle Style = gsBar;
  uint32_t Options = 0;  // a set of TGaugeStyle
  TComponent* Parent = nullptr;
  int32_t ReadOnly = 7;
};

/// A descendant without properties of its own.
class TBigGauge : public TGauge {
  RC_CLASS(TBigGauge, TGauge)
 public:
  using TGauge::TGauge;
};

TGauge* Gauge(TObject* Object) { return static_cast<TGauge*>(Object); }

[[maybe_unused]] const bool Published = [] {
  RegisterClass(TGauge::StaticClass());
  RegisterClass(TBigGauge::StaticClass());
  const TClass C = TGauge::StaticClass();
  TPublishedProperty P;
  P.Name = "Value";
  P.Kind = pkInteger;
  P.GetOrdinal = [](TObject* O) { return Gauge(O)->Value; };
  P.SetOrdinal = [](TObject* O, int64_t V) { Gauge(O)->Value = static_cast<int32_t>(V); };
  PublishProperty(C, P);
  P = {};
  P.Name = "Ratio";
  P.Kind = pkFloat;
  P.GetFloat = [](TObject* O) { return Gauge(O)->Ratio; };
  P.SetFloat = [](TObject* O, double V) { Gauge(O)->Ratio = V; };
  PublishProperty(C, P);
  P = {};
  P.Name = "Caption";
  P.Kind = pkString;
  P.GetText = [](TObject* O) { return Gauge(O)->Caption; };
  P.SetText = [](TObject* O, const std::string& V) { Gauge(O)->Caption = V; };
  PublishProperty(C, P);
  P = {};
  P.Name = "Visible";
  P.Kind = pkBoolean;
  P.GetOrdinal = [](TObject* O) { return Gauge(O)->Visible ? 1 : 0; };
  P.SetOrdinal = [](TObject* O, int64_t V) { Gauge(O)->Visible = V != 0; };
  PublishProperty(C, P);
  P = {};
  P.Name = "Style";
  P.Kind = pkEnumeration;
  P.Names = &GaugeStyleInfo();
  P.GetOrdinal = [](TObject* O) { return static_cast<int64_t>(Gauge(O)->Style); };
  P.SetOrdinal = [](TObject* O, int64_t V) { Gauge(O)->Style = static_cast<TGaugeStyle>(V); };
  PublishProperty(C, P);
  P.Name = "Options";
  P.Kind = pkSet;
  P.GetOrdinal = [](TObject* O) { return static_cast<int64_t>(Gauge(O)->Options); };
  P.SetOrdinal = [](TObject* O, int64_t V) { Gauge(O)->Options = static_cast<uint32_t>(V); };
  PublishProperty(C, P);
  P = {};
  P.Name = "Parent";
  P.Kind = pkObject;
  P.GetObject = [](TObject* O) -> TObject* { return Gauge(O)->Parent; };
  P.SetObject = [](TObject* O, TObject* V) { Gauge(O)->Parent = dynamic_cast<TComponent*>(V); };
  PublishProperty(C, P);
  P = {};
  P.Name = "ReadOnly";
  P.Kind = pkInteger;
  P.GetOrdinal = [](TObject* O) { return Gauge(O)->ReadOnly; };
  PublishProperty(C, P);
  return true;
}();

class ObjectPackageTest : public ::testing::Test {
 protected:
  ObjectPackageTest() {
    Engine = new TInferenceEngine(&Form);
    Engine->SetPackages(Engine->GetPackages() + TFunctionPackages{pObject});
    First = new TGauge(&Form);
    First->SetName("Gauge1");
    Second = new TBigGauge(&Form);
    Second->SetName("Gauge2");
    Go = new TBasicAction(&Form);
    Go->SetName("Go");
    Go->OnExecute = [this](TObject*) { ++Runs; };
  }

  /// The text of the value of one call.
  std::string Eval(const std::string& Text) { return Engine->ParseNExecuteFunCall(Text)->GetAsString(); }

  TComponent Form{nullptr};
  TInferenceEngine* Engine;  // owned by the form, like the components
  TGauge* First;
  TGauge* Second;
  TBasicAction* Go;
  int Runs = 0;
};

}  // namespace

TEST_F(ObjectPackageTest, PropertiesOfEveryKindReadAndWrite) {
  EXPECT_EQ(Eval("(get-property (get-component Gauge1) Value)"), "0");
  EXPECT_EQ(Eval("(set-property (get-component Gauge1) Value 42)"), "TRUE");
  EXPECT_EQ(First->Value, 42);
  EXPECT_EQ(Eval("(set-property (get-component gauge1) value 2.9)"), "TRUE");  // names ignore case
  EXPECT_EQ(First->Value, 2);
  EXPECT_EQ(Eval("(set-property (get-component Gauge1) Ratio 3)"), "TRUE");
  EXPECT_EQ(Eval("(get-property (get-component Gauge1) Ratio)"), "3.0000");
  EXPECT_EQ(Eval("(set-property (get-component Gauge1) Caption \"Fuel level\")"), "TRUE");
  EXPECT_EQ(First->Caption, "Fuel level");
  EXPECT_EQ(Engine->ParseNExecuteFunCall("(get-property (get-component Gauge1) Caption)")->GetDType(),
            dtString);
  EXPECT_EQ(Eval("(set-property (get-component Gauge1) Visible FALSE)"), "TRUE");
  EXPECT_EQ(Eval("(get-property (get-component Gauge1) Visible)"), "FALSE");
  EXPECT_EQ(Eval("(set-property (get-component Gauge1) Style gsDial)"), "TRUE");
  EXPECT_EQ(Eval("(get-property (get-component Gauge1) Style)"), "gsDial");
  EXPECT_EQ(Eval("(set-property (get-component Gauge1) Style gsNone)"), "FALSE");  // not a member
  EXPECT_EQ(First->Style, gsDial);
  EXPECT_EQ(Eval("(set-property (get-component Gauge1) Options \"[gsBar,gsText]\")"), "TRUE");
  EXPECT_EQ(First->Options, 5u);
  EXPECT_EQ(Eval("(get-property (get-component Gauge1) Options)"), "[gsBar,gsText]");
  // Object properties hold references; nil clears them.
  EXPECT_EQ(Eval("(set-property (get-component Gauge2) Parent (get-component Gauge1))"), "TRUE");
  EXPECT_EQ(Second->Parent, First);
  EXPECT_EQ(Eval("(get-property (get-property (get-component Gauge2) Parent) Caption)"), "Fuel level");
  EXPECT_EQ(Eval("(set-property (get-component Gauge2) Parent nil)"), "TRUE");
  EXPECT_EQ(Second->Parent, nullptr);
  // Unknown and read-only properties answer FALSE; the inherited Name is there.
  EXPECT_EQ(Eval("(get-property (get-component Gauge1) Colour)"), "FALSE");
  EXPECT_EQ(Eval("(set-property (get-component Gauge1) ReadOnly 1)"), "FALSE");
  EXPECT_EQ(Eval("(get-property (get-component Gauge1) ReadOnly)"), "7");
  EXPECT_EQ(Eval("(get-property (get-component Gauge2) Name)"), "Gauge2");
  EXPECT_EQ(Eval("(implode$ (get-properties (get-component Gauge2)))"),
            "Name Value Ratio Caption Visible Style Options Parent ReadOnly");
}

TEST_F(ObjectPackageTest, ComponentsClassesAndActions) {
  EXPECT_EQ(Eval("(length$ (get-components))"), "4");  // the engine and the three components
  EXPECT_EQ(Eval("(get-component Missing)"), "FALSE");
  EXPECT_EQ(Eval("(is-class (get-component Gauge2) (get-class TGauge))"), "TRUE");
  EXPECT_EQ(Eval("(is-class (get-component Gauge1) TBigGauge)"), "FALSE");
  ExpectError([&] { Eval("(get-class TNoSuchClass)"); }, "Class TNoSuchClass not found");
  ExpectError([&] { Eval("(get-components 3)"); },
              "Expected component argument to get-components function call");
  ExpectError([&] { Eval("(get-component Gauge1 Name)"); },
              "Expected component argument to get-component function call");

  // A component made by the rule language, owned by a host component and found through it.
  EXPECT_EQ(Eval("(set-property (create-component TGauge (get-component Gauge1)) Name Needle)"), "TRUE");
  ASSERT_EQ(First->ComponentCount(), 1);
  EXPECT_EQ(Eval("(get-property (get-component (get-component Gauge1) Needle) Value)"), "0");
  EXPECT_EQ(Eval("(get-property (get-property (create-component TGauge (get-component Gauge1) "
                 "(get-component Gauge2)) Parent) Name)"),
            "Gauge2");
  ExpectError([&] { Eval("(create-component TBasicAction (get-component Gauge1) (get-component Gauge2))"); },
              "TBasicAction has no Parent property");
  EXPECT_EQ(First->ComponentCount(), 2);

  // execute-action runs the action; one without a handler answers FALSE.
  EXPECT_EQ(Eval("(execute-action (get-component Go))"), "TRUE");
  EXPECT_EQ(Runs, 1);
  Go->OnExecute = nullptr;
  EXPECT_EQ(Eval("(execute-action (get-component Go))"), "FALSE");
}

TEST_F(ObjectPackageTest, FreedObjectsAreNeverTouchedAgain) {
  Engine->Parse("(defglobal ?*g* = (create-object TGauge))");
  EXPECT_EQ(Eval("(get-property ?*g* Caption)"), "gauge");
  EXPECT_EQ(Eval("(free-object ?*g*)"), "TRUE");
  ExpectError([&] { Eval("(get-property ?*g* Caption)"); }, "Bad Argument: object already freed");
  ExpectError([&] { Eval("(free-object ?*g*)"); }, "Bad Argument: object already freed");

  // A component handed out and then destroyed by its host is noticed.
  Engine->Parse("(defglobal ?*two* = (get-component Gauge2))");
  Form.FreeComponent(Second);
  ExpectError([&] { Eval("(set-property ?*two* Value 1)"); }, "Bad Argument: object already freed");
  EXPECT_EQ(Eval("(get-component Gauge2)"), "FALSE");

  // The rule language frees components, but not the engine or what holds it.
  EXPECT_EQ(Eval("(free-object (get-component Gauge1) (get-component Go))"), "TRUE");
  EXPECT_EQ(Form.ComponentCount(), 1);
  ExpectError([&] { Eval("(free-object (nth$ 0 (get-components)))"); },
              "Bad Argument: cannot free the engine or its parts");
  EXPECT_EQ(Form.ComponentCount(), 1);
}
