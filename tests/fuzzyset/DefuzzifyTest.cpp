// Defuzzification of fuzzy sets: the moment and the mean of maxima, the undecidable test and the
// compatibility index, on sets whose answers are worked out by hand from the documented formulas.
#include <gtest/gtest.h>

#include "FuzzySets.h"

#include "rulecraft/fuzzyset/FuzzySet.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

TEST(DefuzzifyTest, TrianglesAndTrapezoids) {
  // Symmetric triangle: everything meets at the peak.
  const IFuzzySet Peak = Triangle(0, 5, 10);
  EXPECT_DOUBLE_EQ(Peak->MomentDefuzzify(), 5.0);
  EXPECT_DOUBLE_EQ(Peak->MaximumDefuzzify(), 5.0);
  EXPECT_FALSE(Peak->IsUndecidable());
  EXPECT_DOUBLE_EQ(Peak->CompatibilityIndex(), 1.0);

  // Leaning triangle (0 2 8): centroid (0 + 2 + 8) / 3, the maximum at 2, membership there (8 - 10/3) / 6.
  const IFuzzySet Leaning = Triangle(0, 2, 8);
  EXPECT_DOUBLE_EQ(Leaning->MomentDefuzzify(), 10.0 / 3);
  EXPECT_DOUBLE_EQ(Leaning->MaximumDefuzzify(), 2.0);
  EXPECT_NEAR(Leaning->CompatibilityIndex(), 7.0 / 9, 1e-12);

  // Trapezoid (0,0) (2,1) (4,1) (10,0): area 1 + 2 + 3 = 6, moment 4/3 + 6 + 18, so 76/18; the plateau's
  // middle is 3; the membership at 76/18 is 1 - (76/18 - 4) / 6.
  const IFuzzySet Trapezoid = Points({0, 2, 4, 10}, {0, 1, 1, 0});
  EXPECT_NEAR(Trapezoid->MomentDefuzzify(), 76.0 / 18, 1e-12);
  EXPECT_DOUBLE_EQ(Trapezoid->MaximumDefuzzify(), 3.0);
  EXPECT_NEAR(Trapezoid->CompatibilityIndex(), 1 - (76.0 / 18 - 4) / 6, 1e-12);

  // A triangle clipped at 0.5 is the trapezoid (0,0) (5,0.5) (15,0.5) (20,0): the plateau is its maximum.
  const IFuzzySet Clipped = Triangle(0, 10, 20)->Correlate(0.5, foMinimum);
  EXPECT_NEAR(Clipped->MomentDefuzzify(), 10.0, 1e-12);
  EXPECT_NEAR(Clipped->MaximumDefuzzify(), 10.0, 1e-12);
  EXPECT_NEAR(Clipped->CompatibilityIndex(), 0.5, 1e-12);
}

TEST(DefuzzifyTest, MeanOfMaximaWeighsPlateausAndFallsBackToPoints) {
  // Two plateaus at 1: [0, 2] (middle 1, width 2) and [6, 10] (middle 8, width 4): (2 + 32) / 6.
  EXPECT_DOUBLE_EQ(Points({0, 2, 3, 5, 6, 10}, {1, 1, 0, 0, 1, 1})->MaximumDefuzzify(), 34.0 / 6);
  // A plateau outweighs an isolated peak of the same height.
  EXPECT_DOUBLE_EQ(Points({0, 1, 2, 4, 6, 7}, {0, 1, 0, 1, 1, 0})->MaximumDefuzzify(), 5.0);
  // Two isolated peaks: the mean of their X; the centroid falls between them, where the membership is 0.
  const IFuzzySet TwoHumps = Points({0, 2, 4, 6, 8}, {0, 1, 0, 1, 0});
  EXPECT_DOUBLE_EQ(TwoHumps->MaximumDefuzzify(), 4.0);
  EXPECT_DOUBLE_EQ(TwoHumps->MomentDefuzzify(), 4.0);
  EXPECT_DOUBLE_EQ(TwoHumps->CompatibilityIndex(), 0.0);
  // Only the highest points count, not the lower plateau.
  EXPECT_DOUBLE_EQ(Points({0, 4, 5, 6}, {0.5, 0.5, 0.8, 0})->MaximumDefuzzify(), 5.0);
  // Given out of order: the points are taken by X.
  EXPECT_DOUBLE_EQ(Points({10, 0, 4, 2}, {0, 0, 1, 1})->MaximumDefuzzify(), 3.0);
}

TEST(DefuzzifyTest, SpikesFlatAndEmptySets) {
  // A spike (a crisp value) encloses no area: undecidable, yet both defuzzifications name its X.
  const IFuzzySet Spike = Triangle(3, 3, 3);
  EXPECT_TRUE(Spike->IsUndecidable());
  EXPECT_DOUBLE_EQ(Spike->MomentDefuzzify(), 3.0);
  EXPECT_DOUBLE_EQ(Spike->MaximumDefuzzify(), 3.0);
  EXPECT_DOUBLE_EQ(Spike->CompatibilityIndex(), 1.0);
  // A vertical step is an isolated point, not a plateau.
  EXPECT_DOUBLE_EQ(Points({2, 2, 6}, {0, 1, 0})->MaximumDefuzzify(), 2.0);
  EXPECT_FALSE(Points({2, 2, 6}, {0, 1, 0})->IsUndecidable());

  // All zero: no area; the whole range is the "plateau" of its height 0.
  const IFuzzySet Flat = Points({0, 10}, {0, 0});
  EXPECT_TRUE(Flat->IsUndecidable());
  EXPECT_DOUBLE_EQ(Flat->MomentDefuzzify(), 5.0);
  EXPECT_DOUBLE_EQ(Flat->MaximumDefuzzify(), 5.0);
  EXPECT_DOUBLE_EQ(Flat->CompatibilityIndex(), 0.0);
  // A single point at some height: no width, so no area.
  EXPECT_TRUE(Points({4}, {0.7})->IsUndecidable());
  EXPECT_DOUBLE_EQ(Points({4}, {0.7})->MaximumDefuzzify(), 4.0);

  const IFuzzySet Empty = MakeRef<TIFuzzySet>();
  EXPECT_TRUE(Empty->IsUndecidable());
  EXPECT_EQ(Empty->MomentDefuzzify(), 0.0);
  EXPECT_EQ(Empty->MaximumDefuzzify(), 0.0);
  EXPECT_EQ(Empty->CompatibilityIndex(), 0.0);
}

}  // namespace
