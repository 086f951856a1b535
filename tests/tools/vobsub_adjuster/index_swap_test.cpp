// The preview's swap of the index and the adjusted index, and its undoing after a swap cut short at
// any step: neither index is ever lost, overwritten or given to another index of the folder.

#include "tools/vobsub_adjuster/index_swap.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using namespace tools::vobsub_adjuster;
using kes::test::readBytes;
using kes::test::TempDir;
using kes::test::writeBytes;
namespace fs = std::filesystem;

struct IndexSwap : ::testing::Test {
    TempDir dir;
    std::string folder = dir.str() + "/";
    std::string index = dir.file("movie.idx");
    std::string adjusted = dir.file("movie_adjust.idx");
    std::string parked = dir.file("_$TMP.idx");
    std::string owner = dir.file("_$TMP.idx.owner");

    void SetUp() override {
        writeBytes(index, "original");
        writeBytes(adjusted, "adjusted");
    }
    void expectBack() {
        EXPECT_EQ(readBytes(index), "original");
        EXPECT_EQ(readBytes(adjusted), "adjusted");
        EXPECT_FALSE(fs::exists(parked));
        EXPECT_FALSE(fs::exists(owner));
    }
};

TEST_F(IndexSwap, SwapsInTheAdjustedIndexAndBack) {
    ASSERT_EQ(swapInAdjustedIndex(index), SwapResult::Swapped);
    EXPECT_EQ(readBytes(index), "adjusted");
    EXPECT_EQ(readBytes(parked), "original");
    EXPECT_FALSE(fs::exists(adjusted));
    EXPECT_EQ(swapInAdjustedIndex(index), SwapResult::NoAdjusted) << "a second swap changes nothing";
    EXPECT_EQ(restoreIndexes(folder), RestoreResult::Restored);
    expectBack();
    EXPECT_EQ(restoreIndexes(folder), RestoreResult::NothingParked);
}

TEST_F(IndexSwap, WithoutAnAdjustedIndexNothingMoves) {
    fs::remove(adjusted);
    EXPECT_EQ(swapInAdjustedIndex(index), SwapResult::NoAdjusted);
    EXPECT_EQ(readBytes(index), "original");
    EXPECT_FALSE(fs::exists(parked));
}

TEST_F(IndexSwap, ASwapCutShortAtAnyStepIsUndone) {
    // After the note only.
    writeBytes(owner, "movie.idx\n");
    EXPECT_EQ(restoreIndexes(folder), RestoreResult::NothingParked);
    expectBack();
    // After the index was parked, before the adjusted index took its name.
    writeBytes(owner, "movie.idx\n");
    fs::rename(index, parked);
    EXPECT_EQ(restoreIndexes(folder), RestoreResult::Restored);
    expectBack();
    // Swapped, and killed while playing.
    ASSERT_EQ(swapInAdjustedIndex(index), SwapResult::Swapped);
    EXPECT_EQ(restoreIndexes(folder), RestoreResult::Restored);
    expectBack();
    // Killed halfway back: the adjusted index has its name again, the parked one not yet.
    ASSERT_EQ(swapInAdjustedIndex(index), SwapResult::Swapped);
    fs::rename(index, adjusted);
    EXPECT_EQ(restoreIndexes(folder), RestoreResult::Restored);
    expectBack();
}

TEST_F(IndexSwap, AParkedIndexGoesBackToItsOwnNameOnly) {
    writeBytes(dir.file("other.idx"), "other");
    ASSERT_EQ(swapInAdjustedIndex(index), SwapResult::Swapped);
    // Another index of the folder is chosen: the parked one still goes back to movie.idx.
    EXPECT_EQ(restoreIndexes(folder), RestoreResult::Restored);
    expectBack();
    EXPECT_EQ(readBytes(dir.file("other.idx")), "other");
}

TEST_F(IndexSwap, WhatCannotGoBackSafelyIsLeftAlone) {
    ASSERT_EQ(swapInAdjustedIndex(index), SwapResult::Swapped);
    writeBytes(adjusted, "made meanwhile");
    EXPECT_EQ(restoreIndexes(folder), RestoreResult::Conflict);
    EXPECT_EQ(readBytes(parked), "original");
    EXPECT_EQ(readBytes(index), "adjusted");
    EXPECT_EQ(readBytes(adjusted), "made meanwhile");
    // A parked index without its note (whose it is cannot be told) stays parked.
    fs::remove(adjusted);
    fs::remove(owner);
    EXPECT_EQ(restoreIndexes(folder), RestoreResult::Conflict);
    EXPECT_EQ(readBytes(parked), "original");
}

} // namespace
