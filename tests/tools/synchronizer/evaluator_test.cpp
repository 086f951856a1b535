#include "tools/synchronizer/synch_engine.h"
#include "tools/synchronizer/synch_text.h"

#include <gtest/gtest.h>

using namespace tools::synchronizer;

TEST(SynchEvaluator, ProposesRateAndDelay) {
    // Sound in step at 100 s with +500 ms and at 3000 s with +1500 ms, in a file read at 25 fps.
    const auto result = evaluateSynch(100, 3000, 500, 1500, 25);
    ASSERT_TRUE(result);
    EXPECT_NEAR(result->nf, 72500.0 / 2899.5 + 0.01, 1e-12);
    EXPECT_EQ(fixed(result->nf, 7, 4), "25.0143");
    EXPECT_EQ(result->ndMs, 716);
    EXPECT_EQ(fixed(result->nfo, 7, 4), "25.0083");
}

TEST(SynchEvaluator, NegativeDelaysAndTheTimeTexts) {
    const auto result =
        evaluateSynch(converttosec("00:01:02.50"), converttosec("00:30:00.00"), 0, -800, 23.976);
    ASSERT_TRUE(result);
    EXPECT_EQ(fixed(result->nf, 7, 4), "23.9750");
    EXPECT_EQ(result->ndMs, 722);
    EXPECT_EQ(fixed(result->nfo, 7, 4), "23.9653");
}

TEST(SynchEvaluator, PointsThatGiveNoAnswer) {
    EXPECT_FALSE(evaluateSynch(100, 100, 0, 0, 25)); // the same point twice
    EXPECT_FALSE(evaluateSynch(0, 0, 0, 0, 25));
    EXPECT_FALSE(evaluateSynch(10, 20, 0, 0, 0)); // no frame rate read from the file
}
