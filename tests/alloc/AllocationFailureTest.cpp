// Allocation failures survived: this program replaces the global allocation functions so that the n-th
// allocation after arming throws std::bad_alloc (once; later ones succeed again), and sweeps n over every
// allocation of a representative session of one engine: loading a program (templates, rules, functions,
// globals, fact sets), reset, run, asserting, modifying, retracting, explaining, saving and clearing.
// Whatever n is, the failure comes out of the engine's interface as an engine error saying so (or is got
// around without changing what the session does), never as a bare std::bad_alloc and never as a crash; no
// block is lost; and the same engine then clears, loads, resets and runs a small program correctly. Under the
// sanitizer build LeakSanitizer checks the same leaks from its side.
//
// The replacement lives in this program only (its own executable), so no other test sees it.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "rulecraft/collections/TextStream.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/engine/InferenceEngine.h"
#include "rulecraft/framework/BlockCache.h"

namespace {

// The allocation that fails: counted down while armed; 0 means disarmed.
long GCountdown = 0;
// How many allocations were made while armed (to size the sweep).
long GArmedAllocations = 0;
bool GFailed = false;
// Blocks allocated and not yet freed: an engine made and destroyed around a failure must give back every
// block it took (LeakSanitizer says the same under the sanitizer build; this count says it in every build).
long GLive = 0;
// Set from RULECRAFT_ALLOC_TRAP=N: the N-th allocation of the sweep raises SIGTRAP before it fails, so
// that a debugger shows where a failure the sweep reports comes from.
bool GTrap = false;

void* Allocate(std::size_t Size, std::size_t Alignment) {
  if (GCountdown > 0) {
    ++GArmedAllocations;
    if (--GCountdown == 0) {
      GFailed = true;
      if (GTrap) std::raise(SIGTRAP);
      throw std::bad_alloc();
    }
  }
  if (Size == 0) Size = 1;
  void* Block = nullptr;
  if (Alignment <= alignof(std::max_align_t)) {
    Block = std::malloc(Size);
  } else {
    Size = (Size + Alignment - 1) / Alignment * Alignment;
    Block = std::aligned_alloc(Alignment, Size);
  }
  if (!Block) throw std::bad_alloc();
  ++GLive;
  return Block;
}

void* AllocateNoThrow(std::size_t Size, std::size_t Alignment) noexcept {
  try {
    return Allocate(Size, Alignment);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

constexpr std::size_t Plain = alignof(std::max_align_t);

void Free(void* Block) noexcept {
  if (!Block) return;
  --GLive;
  std::free(Block);
}

}  // namespace

// The replaceable global allocation functions, every form: plain, array, aligned, nothrow.
void* operator new(std::size_t Size) { return Allocate(Size, Plain); }
void* operator new[](std::size_t Size) { return Allocate(Size, Plain); }
void* operator new(std::size_t Size, std::align_val_t Alignment) {
  return Allocate(Size, static_cast<std::size_t>(Alignment));
}
void* operator new[](std::size_t Size, std::align_val_t Alignment) {
  return Allocate(Size, static_cast<std::size_t>(Alignment));
}
void* operator new(std::size_t Size, const std::nothrow_t&) noexcept { return AllocateNoThrow(Size, Plain); }
void* operator new[](std::size_t Size, const std::nothrow_t&) noexcept {
  return AllocateNoThrow(Size, Plain);
}
void* operator new(std::size_t Size, std::align_val_t Alignment, const std::nothrow_t&) noexcept {
  return AllocateNoThrow(Size, static_cast<std::size_t>(Alignment));
}
void* operator new[](std::size_t Size, std::align_val_t Alignment, const std::nothrow_t&) noexcept {
  return AllocateNoThrow(Size, static_cast<std::size_t>(Alignment));
}
void operator delete(void* Block) noexcept { Free(Block); }
void operator delete[](void* Block) noexcept { Free(Block); }
void operator delete(void* Block, std::size_t) noexcept { Free(Block); }
void operator delete[](void* Block, std::size_t) noexcept { Free(Block); }
void operator delete(void* Block, std::align_val_t) noexcept { Free(Block); }
void operator delete[](void* Block, std::align_val_t) noexcept { Free(Block); }
void operator delete(void* Block, std::size_t, std::align_val_t) noexcept { Free(Block); }
void operator delete[](void* Block, std::size_t, std::align_val_t) noexcept { Free(Block); }
void operator delete(void* Block, const std::nothrow_t&) noexcept { Free(Block); }
void operator delete[](void* Block, const std::nothrow_t&) noexcept { Free(Block); }
void operator delete(void* Block, std::align_val_t, const std::nothrow_t&) noexcept { Free(Block); }
void operator delete[](void* Block, std::align_val_t, const std::nothrow_t&) noexcept { Free(Block); }

namespace rulecraft {
namespace {

// Templates (one with a default and a multislot), a defined function, globals, a fact set, and rules using
// joins, not, test, a multifield, a retract and a modify: every part of the network and the agenda moves.
constexpr const char* Program =
    "(deftemplate order (slot id) (slot item) (slot qty (default 1)) (multislot tags))\n"
    "(deftemplate stock (slot item) (slot left))\n"
    "(defglobal ?*shipped* = 0 ?*label* = \"orders\")\n"
    "(deffunction cost (?qty ?price) (* ?qty ?price))\n"
    "(deffacts start\n"
    "  (stock (item widget) (left 10)) (stock (item gadget) (left 2))\n"
    "  (order (id 1) (item widget) (qty 3) (tags rush gift))\n"
    "  (order (id 2) (item gadget) (qty 5))\n"
    "  (order (id 3) (item gizmo)))\n"
    "(defrule ship\n"
    "  ?o <- (order (id ?id) (item ?i) (qty ?q) (tags $?t))\n"
    "  ?s <- (stock (item ?i) (left ?l&:(>= ?l ?q)))\n"
    "  =>\n"
    "  (bind ?*shipped* (+ ?*shipped* 1))\n"
    "  (modify ?s (left (- ?l ?q)))\n"
    "  (retract ?o)\n"
    "  (printout t \"ship \" ?id \" \" (cost ?q 2) \" \" (length$ ?t) crlf))\n"
    "(defrule short\n"
    "  (order (id ?id) (item ?i) (qty ?q))\n"
    "  (stock (item ?i) (left ?l))\n"
    "  (test (< ?l ?q))\n"
    "  =>\n"
    "  (printout t \"short \" ?id crlf))\n"
    "(defrule unknown\n"
    "  (order (id ?id) (item ?i))\n"
    "  (not (stock (item ?i)))\n"
    "  =>\n"
    "  (assert (backorder ?id ?i))\n"
    "  (printout t \"unknown \" ?id crlf))\n"
    "(deffunction label ($?words)\n"
    "  (bind ?text \"\")\n"
    "  (bind ?n 0)\n"
    "  (while (< ?n (length$ ?words))\n"
    "    (bind ?n (+ ?n 1))\n"
    "    (bind ?text (str-cat ?text (if (> ?n 1) then \"-\" else \"\") (nth$ (- ?n 1) ?words))))\n"
    "  ?text)\n"
    "(defrule tagged\n"
    "  (backorder ?id ?i)\n"
    "  (or (order (id ?id) (tags $? rush $?))\n"
    "      (and (order (id ?id) (item ?i)) (exists (stock (left ?l&:(> ?l 5))))))\n"
    "  =>\n"
    "  (printout t (label backorder ?id ?i) crlf))\n"
    "(defrule pairs\n"
    "  (tags $?before ?x $?after&:(> (length$ ?after) 0))\n"
    "  =>\n"
    "  (printout t ?x \" \" (length$ ?before) \" \" (length$ ?after) crlf))\n";

// What the session prints when nothing fails.
constexpr const char* SessionOutput =
    "unknown 3\r\nbackorder-3-gizmo\r\nshort 2\r\nship 1 6 2\r\nbackorder-3-gizmo\r\nshort 4\r\n"
    "<Fact-9>\r\nship 4 4 0\r\nred 0 2\r\ngreen 1 1\r\nship 3 2 0\r\ndouble 8\r\n";

// What a correct engine prints for the small program run after a failure.
constexpr const char* Small =
    "(deftemplate p (slot x))\n"
    "(defrule double (p (x ?x)) => (printout t \"double \" (* 2 ?x) crlf))\n"
    "(deffacts some (p (x 4)))\n";

// The session swept: each step is a public entry point of the engine. Its texts and streams are made before
// the failure is armed, so that every allocation counted is the engine's.
struct TSession {
  const std::string Load = Program;
  const std::string Again = Small;
  const std::string Order = "(order (id 4) (item widget) (qty 20))";
  const std::string Stray = "(order (id 5) (item gizmo))";
  const std::string Restock = "(stock (item gizmo) (left 1))";
  const std::string Tags = "(tags red green blue) (tags one)";
  const std::string Explained[3] = {"tagged", "short", "pairs"};
  std::string Modify;
  std::string Explanation;
  std::string Saved;
  std::ostringstream Facts;
  TGTextStream FactStream{static_cast<std::ostream&>(Facts)};

  TSession() { Modify.reserve(64); }

  void Run(TInferenceEngine& Engine) {
    Engine.Parse(Load);
    Engine.Reset();
    Engine.Run();
    const int32_t Added = Engine.Assert(Order);
    Engine.Run();
    Modify = "(modify ";
    Modify += std::to_string(Added);  // fits the reserved capacity: no allocation
    Modify += " (qty 2))";
    Engine.Parse(Modify);
    Engine.Retract(Engine.Assert(Stray));
    Engine.Run();
    Engine.Assert(Restock);
    Engine.LoadFacts(Tags);
    Engine.Run();
    // Explaining: alternatives, a doubled negation, a test element, multifields; the backorder (f-6) a rule
    // asserted.
    for (const std::string& Rule : Explained)
      Explanation = Engine.MatchReportText(Engine.ExplainMatches(Rule));
    Explanation = Engine.FactOriginText(Engine.GetFacts().GetFactByID(6));
    Saved = Engine.GetExpertSystem();
    Engine.SaveFacts(FactStream);
    Engine.Clear();
    Engine.Parse(Again);
    Engine.Reset();
    Engine.Run();
  }
};

// Runs the session with the n-th allocation failing; false when it finished before the n-th allocation.
bool FailAt(long N, std::string& Output) {
  TInferenceEngine Engine;
  Engine.OnPrintOut = [&Output](TObject*, const std::string&, const std::string& Text) { Output += Text; };
  TSession Session;
  Output.clear();
  GFailed = false;
  const char* Trap = std::getenv("RULECRAFT_ALLOC_TRAP");
  GTrap = Trap && std::atol(Trap) == N;
  GCountdown = N;
  std::string Escaped;
  try {
    Session.Run(Engine);
  } catch (const EIEException& E) {
    GCountdown = 0;
    Escaped = E.Message();
  } catch (const std::bad_alloc&) {
    GCountdown = 0;
    Escaped = "a bare std::bad_alloc";
  } catch (const std::exception& E) {
    GCountdown = 0;
    Escaped = std::string("another exception: ") + E.what();
  }
  const bool Failed = GFailed;
  GCountdown = 0;
  if (!Failed) {
    EXPECT_EQ(Escaped, "") << "no allocation failed at " << N;
    return false;
  }
  // The engine reports the failure in its own words (a failure inside a load is reported as the load's
  // error on that construct, which names it), or it got around the failure without a trace: a nothrow
  // allocation its caller can do without (a sort's buffer), or a destructor's queue replaced by recursion.
  if (Escaped.empty()) {
    EXPECT_EQ(Output, SessionOutput) << "allocation " << N << " was absorbed but changed the session";
  } else {
    EXPECT_NE(Escaped.find(SOutOfMemory), std::string::npos) << "allocation " << N << ": " << Escaped;
  }
  // The same engine recovers completely.
  Output.clear();
  try {
    Engine.Clear();
    Engine.Parse(Small);
    Engine.Reset();
    EXPECT_EQ(Engine.Run(), 1) << "allocation " << N;
  } catch (const std::exception& E) {
    ADD_FAILURE() << "allocation " << N << ": the engine did not recover: " << E.what();
  }
  EXPECT_EQ(Output, "double 8\r\n") << "allocation " << N;
  return true;
}

TEST(AllocationFailure, TheSessionRunsWhenNothingFails) {
  TInferenceEngine Engine;
  std::string Output;
  Engine.OnPrintOut = [&Output](TObject*, const std::string&, const std::string& Text) { Output += Text; };
  TSession Session;
  GArmedAllocations = 0;
  GCountdown = 1L << 60;  // armed, counting, never reached
  Session.Run(Engine);
  GCountdown = 0;
  std::printf("the session makes %ld allocations\n", GArmedAllocations);
  EXPECT_GT(GArmedAllocations, 1000);
  EXPECT_EQ(Output, SessionOutput);
}

// Every allocation of the session fails once in turn (a few thousand: every one is swept).
TEST(AllocationFailure, EveryFailureIsReportedAndTheEngineRecovers) {
  long Swept = 0;
  std::string Output;
  Output.reserve(4096);
  {
    // What the process makes once and keeps (the symbols of the constants, a thread's pools) is made first.
    TInferenceEngine Engine;
    TSession Session;
    Session.Run(Engine);
  }
  // RULECRAFT_ALLOC_FROM=N starts the sweep at N, to look at one failure again (with RULECRAFT_ALLOC_TRAP=N
  // under a debugger); RULECRAFT_ALLOC_ALL=1 goes on past the first allocation whose failure is mishandled.
  long First = 1;
  if (const char* Text = std::getenv("RULECRAFT_ALLOC_FROM")) First = std::max(1L, std::atol(Text));
  for (long N = First;; ++N) {
    ReleaseCachedBlocks();  // recycled blocks are not lost ones
    const long Live = GLive;
    const bool Failed = FailAt(N, Output);
    ReleaseCachedBlocks();
    // (A reported test failure keeps its message: the count is compared only while none was reported.)
    if (!::testing::Test::HasFailure()) {
      EXPECT_EQ(GLive, Live) << "blocks lost when allocation " << N << " failed";
    }
    if (!Failed) break;
    ++Swept;
    if (::testing::Test::HasFailure()) {
      std::fprintf(stderr, "first mishandled allocation failure: %ld\n", N);
      if (!std::getenv("RULECRAFT_ALLOC_ALL")) break;
    }
  }
  if (First == 1) {
    EXPECT_GT(Swept, 1000);
  }
}

// Making an engine fails with the engine's message and gives back what it took; destroying one whose
// clearing fails on the way still frees everything.
TEST(AllocationFailure, MakingAndDestroyingAnEngine) {
  {
    TInferenceEngine Warm;  // what the process keeps is made first
    TSession Session;
    Session.Run(Warm);
  }
  // The first allocation is the engine object itself, which the host's new expression raises.
  long N = 2;
  for (;; ++N) {
    ReleaseCachedBlocks();  // recycled blocks are not lost ones
    const long Live = GLive;
    GFailed = false;
    const char* Trap = std::getenv("RULECRAFT_ALLOC_TRAP");
    GTrap = Trap && std::atol(Trap) == N;
    GCountdown = N;
    std::string Escaped;
    std::unique_ptr<TInferenceEngine> Engine;
    try {
      Engine = std::make_unique<TInferenceEngine>();
    } catch (const EIEException& E) {
      Escaped = E.Message();
    } catch (const std::exception& E) {
      Escaped = std::string("another exception: ") + E.what();
    }
    GCountdown = 0;
    Engine.reset();
    ReleaseCachedBlocks();
    if (!GFailed) break;
    EXPECT_EQ(Escaped, SOutOfMemory) << "allocation " << N;
    if (!::testing::Test::HasFailure()) {
      EXPECT_EQ(GLive, Live) << "blocks lost when allocation " << N << " failed";
    }
    if (::testing::Test::HasFailure()) break;
  }
  EXPECT_GT(N, 100);
  for (N = 1;; ++N) {
    ReleaseCachedBlocks();  // recycled blocks are not lost ones
    const long Live = GLive;
    auto Engine = std::make_unique<TInferenceEngine>();
    Engine->OnPrintOut = [](TObject*, const std::string&, const std::string&) {};
    {
      TSession Session;
      Session.Run(*Engine);
      Engine->Parse(Session.Load);  // rules, templates and facts for the destructor to take apart
      Engine->Reset();
    }
    GFailed = false;
    const char* Trap = std::getenv("RULECRAFT_ALLOC_TRAP_DESTROY");
    GTrap = Trap && std::atol(Trap) == N;
    GCountdown = N;
    Engine.reset();
    GCountdown = 0;
    ReleaseCachedBlocks();
    if (!GFailed) break;
    EXPECT_EQ(GLive, Live) << "blocks lost when allocation " << N << " of the destructor failed";
    if (::testing::Test::HasFailure()) break;
  }
}

// A stream buffer over a fixed array: what the program writes costs no allocation, so the sweep below fails
// only the program's own allocations.
class TFixedBuffer : public std::streambuf {
 public:
  TFixedBuffer() { setp(FData, FData + sizeof(FData)); }
  std::string Text() const { return std::string(pbase(), pptr()); }
  void Rewind() { setp(FData, FData + sizeof(FData)); }

 private:
  char FData[8192];
};

// The program, with each of its allocations failing in turn while it loads and runs a program given with
// -e: it reports "Out of memory" (never "std::bad_alloc") and ends with the error status, or it got around
// the failure and printed what it prints when nothing fails.
TEST(AllocationFailure, TheProgramReportsOutOfMemory) {
  const std::vector<const char*> Args = {"rulecraft", "-e", Small, "-e", "(reset)", "-e", "(run)"};
  TFixedBuffer OutBuffer;
  TFixedBuffer ErrBuffer;
  std::ostream Out(&OutBuffer);
  std::ostream Err(&ErrBuffer);
  std::istringstream In;
  ASSERT_EQ(cli::RunCli(static_cast<int>(Args.size()), const_cast<char**>(Args.data()), In, Out, Err), 0);
  const std::string Normal = OutBuffer.Text();
  EXPECT_EQ(Normal, "TRUE\ndouble 8\n1\n");
  long Reported = 0;
  for (long N = 1;; ++N) {
    OutBuffer.Rewind();
    ErrBuffer.Rewind();
    Out.clear();
    Err.clear();
    GFailed = false;
    GCountdown = N;
    const int Status =
        cli::RunCli(static_cast<int>(Args.size()), const_cast<char**>(Args.data()), In, Out, Err);
    GCountdown = 0;
    if (!GFailed) break;
    const std::string ErrText = ErrBuffer.Text();
    if (ErrText.empty()) {
      EXPECT_EQ(Status, 0) << "allocation " << N;
      EXPECT_EQ(OutBuffer.Text(), Normal) << "allocation " << N;
    } else {
      ++Reported;
      EXPECT_EQ(Status, 1) << "allocation " << N;
      EXPECT_NE(ErrText.find(SOutOfMemory), std::string::npos) << "allocation " << N << ": " << ErrText;
      EXPECT_EQ(ErrText.find("bad_alloc"), std::string::npos) << "allocation " << N << ": " << ErrText;
    }
    if (::testing::Test::HasFailure()) break;
  }
  EXPECT_GT(Reported, 100);
}

}  // namespace
}  // namespace rulecraft
