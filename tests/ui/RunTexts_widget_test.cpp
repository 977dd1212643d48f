#include <gtest/gtest.h>

#include "ui/RunTexts.h"

namespace kelvaro {
namespace {

TEST(RunTextsTest, PlannedCostLine) {
  EXPECT_EQ(PlannedCostText(5, 3, false), "5 phrases: 15 queries");
  EXPECT_EQ(PlannedCostText(1, 3, false), "1 phrase: 3 queries");
  EXPECT_EQ(PlannedCostText(3, 11, true), "3 phrases: up to 33 queries");
  EXPECT_EQ(PlannedCostText(12, 3, false, 12), "12 phrases: 36 queries, 12 volume credits");
  // No bound on nothing.
  EXPECT_EQ(PlannedCostText(0, 11, true), "0 phrases: 0 queries");
  // With stored answers only what will be sent counts.
  EXPECT_EQ(PlannedQueriesText(12, 9, 27, false), "12 phrases: 9 queries, 27 stored");
  EXPECT_EQ(PlannedQueriesText(1, 0, 3, false), "1 phrase: 0 queries, 3 stored");
  EXPECT_EQ(PlannedQueriesText(2, 11, 0, true), "2 phrases: up to 11 queries");
  EXPECT_EQ(PlannedQueriesText(12, 9, 27, false, 12),
            "12 phrases: 9 queries, 27 stored, 12 volume credits");
}

TEST(RunTextsTest, RunCostLine) {
  EXPECT_EQ(RunCostText({}), "Queries sent: 0.");
  EXPECT_EQ(RunCostText({12, 0}), "Queries sent: 12. Searches left: 0.");
  EXPECT_EQ(RunCostText({60, 190, 12 * 60000 - 20000}),
            "Queries sent: 60. Searches left: 190. Waited 12 min for the hourly limit.");
  EXPECT_EQ(RunCostText({120, 0, 1, 12, 40}),
            "Queries sent: 120. Searches left: 0. Waited 1 s for the hourly limit. 12 of 40 "
            "phrases not counted: the account has no searches left.");
  // Below a minute in seconds; a minute from 59.5 s on.
  EXPECT_EQ(RunCostText({3, std::nullopt, 12400}),
            "Queries sent: 3. Waited 12 s for the hourly limit.");
  EXPECT_EQ(RunCostText({3, std::nullopt, 59500}),
            "Queries sent: 3. Waited 1 min for the hourly limit.");
  RunCost reused{9, 181};
  reused.stored_used = 27;
  EXPECT_EQ(RunCostText(reused), "Queries sent: 9. Stored answers used: 27. Searches left: 181.");
  RunCost volumes{36, 164};
  volumes.volume_credits_left = 98753;
  volumes.volume_failure = "Invalid API key.";
  EXPECT_EQ(RunCostText(volumes),
            "Queries sent: 36. Searches left: 164. Volume credits left: 98,753. Monthly searches "
            "unavailable: Invalid API key.");
  RunCost ranks;
  ranks.queries_sent = 3;
  ranks.rank_failure = "Invalid API key";
  EXPECT_EQ(RunCostText(ranks), "Queries sent: 3. Domain ranks unavailable: Invalid API key");
  ranks.rank_failure = "";
  EXPECT_EQ(RunCostText(ranks),
            "Queries sent: 3. Domain ranks unavailable: the service gave no usable answer.");
}

TEST(RunTextsTest, StoredAnswerHintSaysWhenInUtc) {
  EXPECT_EQ(StoredAnswerHint(1'796'825'100), "Stored answer from 2026-12-09 14:05 UTC");
}

}  // namespace
}  // namespace kelvaro
