// A host program: everything a program embedding the engine needs in one page. It creates an engine, gives
// it a function written in C++ (the shop's price list), listens to its events and its output, loads rules
// from text, runs them and reads the answer back out of a fact.
#include <exception>
#include <iostream>
#include <map>
#include <string>

#include "rulecraft/Rulecraft.h"

using namespace rulecraft;

namespace {

// (unit-price <item>): the price of one item, looked up in the host's own table. A host function derives
// from TIEUserFunction, names itself and its argument counts, and implements Evaluate: it resolves the
// arguments it needs in the caller's context and sets the result.
class TUnitPriceFunction final : public TIEUserFunction {
 public:
  TUnitPriceFunction() : TIEUserFunction("unit-price", 1, 1, "The price of one item", "<item>") {}

 protected:
  void Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) override {
    IIEValue Item;
    FunCall.GetArgument(0)->Resolve(Context, Item);
    const auto Found = FPrices.find(Item->GetAsString());
    if (Found == FPrices.end()) throw EIEException("No price for " + Item->GetAsString());
    Result = MakeRef<TIEValue>(Found->second);
  }

 private:
  std::map<std::string, double> FPrices{{"bolt", 0.25}, {"widget", 2.5}};
};

// The engine writes CR LF line ends; a host translates them to its own.
std::string Lines(std::string Text) {
  for (size_t At = Text.find("\r\n"); At != std::string::npos; At = Text.find("\r\n", At))
    Text.replace(At, 2, "\n");
  return Text;
}

const char* const Rules = R"(
(deftemplate order (slot item) (slot quantity) (slot total (default 0)))

(defrule price-order
  ?order <- (order (item ?item) (quantity ?quantity) (total 0))
  =>
  (modify ?order (total (* ?quantity (unit-price ?item))))
  (printout t "priced " ?quantity " x " ?item crlf))
)";

}  // namespace

int main() {
  try {
    TInferenceEngine Engine;
    Engine.AddUserFunction(MakeRef<TUnitPriceFunction>());

    // Terminal output ("t") and the engine's events reach the host through handlers.
    Engine.OnPrintOut = [](TObject*, const std::string&, const std::string& Text) {
      std::cout << "rules say: " << Lines(Text);
    };
    Engine.OnAssertion = [](TObject*, const IFact& Fact) {
      std::cout << "asserted:  " << Fact->GetToIDString() << "\n";
    };
    Engine.OnRuleFired = [](TObject*, TRule* Rule) {
      std::cout << "fired:     " << Rule->GetRuleName() << "\n";
    };

    Engine.Parse(Rules);
    Engine.Reset();
    Engine.Assert("(order (item widget) (quantity 3))");
    const int32_t Fired = Engine.Run();
    std::cout << "rules fired: " << Fired << "\n";

    // Reading a result: find the order fact and take its total slot.
    Engine.GetFacts().ForEach([](const IFact& Fact) {
      if (Fact->GetTemplate()->GetTemplateName() == "order")
        std::cout << "total:     " << Fact->GetValue("total")->GetAsFloat() << "\n";
    });

    // Errors are exceptions carrying their message; the engine stays usable after one.
    try {
      Engine.ParseNExecuteFunCall("(unit-price gadget)");
    } catch (const Exception& Error) {
      std::cout << "error:     " << Error.what() << "\n";
    }
    std::cout << "facts:\n" << Lines(Engine.GetFacts().GetToIDString()) << "\n";
  } catch (const std::exception& Error) {
    std::cerr << Error.what() << "\n";
    return 1;
  }
  return 0;
}
