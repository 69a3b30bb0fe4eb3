#pragma once
// TTestNode: a node evaluating the tests of a test conditional element on each partial match; the base of the
// join nodes, whose tests compare a partial match with a fact.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "rulecraft/rete/Pattern.h"
#include "rulecraft/rete/ReteNodeBase.h"

namespace rulecraft {

class TTestNode : public TReteNode {
  RC_CLASS(TTestNode, TReteNode)
 public:
  explicit TTestNode(TReteNetwork* Network);
  ~TTestNode() override;

  int32_t GetTestCount() const noexcept { return static_cast<int32_t>(FTests.size()); }
  TIESlotTest* GetTest(int32_t Index) const;
  void AddTest(std::unique_ptr<TIESlotTest> Test);
  /// Same class, as many tests, each matched by an equal test of the other; a node holding a pattern-match
  /// test (a call) never equals another.
  virtual bool Equals(const TTestNode& Other) const;

  /// A clear token goes on; an adding one goes on, extended by the placeholder fact, when every test passes
  /// on it; a removing one goes on, extended alike, without running the tests (what it withdraws passed
  /// them when it was added; the nodes below ignore what they do not hold).
  bool CallNode(const IReteToken& Token, TCallType CallType) override;
  /// How many of the tests, in order, the partial match Left and the fact Right (nullptr for a test element)
  /// pass before the first that fails: GetTestCount when all pass. For explaining a match: the context points
  /// at the pair meanwhile, nothing is stored or passed on (the calls among the tests run again).
  int32_t PassingTests(const IReteToken& Left, const IFact& Right);
  /// The node's text, " NumTests: " and the count, then " (" test ")" for each test.
  std::string GetToString() const override;

 protected:
  /// Performs the tests in order against the context, stopping at the first that fails. For a removing
  /// token (Removing) the calls among the tests are left out: they may read globals that changed since the
  /// token was added, while the slot comparisons give the same answer for the same facts.
  bool RunTests(bool Removing = false);
  /// RunTests for a node whose tests are all join tests (no calls): Left's facts against Right, without
  /// setting up the context.
  bool RunJoinTests(const TTokenBase& Left, TFact* Right) const;
  /// True when a test is a call (a pattern-match test) rather than a slot comparison.
  static bool IsCallTest(const TIESlotTest& Test);

  std::vector<std::unique_ptr<TIESlotTest>> FTests;
  int32_t FCallTests = 0;  // how many of FTests are calls
};

}  // namespace rulecraft
