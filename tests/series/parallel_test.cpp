#include "series/parallel.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

#include "series/files/interrupts.h"

namespace dendro {
namespace {

TEST(parallel_for, every_item_once_on_any_number_of_threads) {
  for (int threads : {1, 2, 3, 8, 50}) {
    for (int count : {0, 1, 7, 100}) {
      std::vector<std::atomic<int>> runs(static_cast<std::size_t>(count));
      parallel_for(
          count, [&](int k) { ++runs[static_cast<std::size_t>(k)]; }, threads);
      for (int k = 0; k < count; ++k) {
        EXPECT_EQ(runs[static_cast<std::size_t>(k)], 1) << threads << " threads, item " << k;
      }
    }
  }
}

TEST(parallel_for, the_lowest_failing_item_is_reported) {
  for (int threads : {1, 4}) {
    try {
      parallel_for(
          50,
          [](int k) {
            if (k == 17 || k == 30) throw std::runtime_error("item " + std::to_string(k));
          },
          threads);
      ADD_FAILURE() << "no exception on " << threads << " threads";
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), "item 17") << threads << " threads";
    }
  }
}

TEST(parallel_ordered, items_are_consumed_in_order_after_their_work) {
  for (int threads : {1, 2, 8}) {
    const int count = 200;
    std::vector<int> results(count, -1), consumed;
    parallel_ordered(
        count, [&](int k) { results[static_cast<std::size_t>(k)] = k * k; },
        [&](int k) {
          EXPECT_EQ(results[static_cast<std::size_t>(k)], k * k);  // its work has ended
          consumed.push_back(k);
        },
        threads);
    std::vector<int> expected(count);
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(consumed, expected) << threads << " threads";
  }
}

TEST(parallel_ordered, a_failure_stops_the_consumer_at_its_item) {
  for (int threads : {1, 3}) {
    std::vector<int> consumed;
    EXPECT_THROW(parallel_ordered(
                     40,
                     [](int k) {
                       if (k == 12) throw std::runtime_error("work");
                     },
                     [&](int k) { consumed.push_back(k); }, threads),
                 std::runtime_error);
    EXPECT_EQ(consumed.size(), 12u) << threads << " threads";
    consumed.clear();
    EXPECT_THROW(parallel_ordered(
                     40, [](int) {},
                     [&](int k) {
                       if (k == 5) throw std::logic_error("consume");
                       consumed.push_back(k);
                     },
                     threads),
                 std::logic_error);
    EXPECT_EQ(consumed.size(), 5u) << threads << " threads";
  }
}

// True when the calling thread holds every signal that ends a run.
bool holds_ending_signals() {
  sigset_t held;
  pthread_sigmask(SIG_BLOCK, nullptr, &held);
  return std::all_of(kEndingSignals.begin(), kEndingSignals.end(),
                     [&](int s) { return sigismember(&held, s) == 1; });
}

// A signal must reach the thread that asks the questions: only there does it cut a read
// that waits for an answer. The work of parallel_ordered runs on worker threads alone.
TEST(parallel_ordered, worker_threads_leave_the_ending_signals_to_the_caller) {
  std::atomic<int> holding{0};
  parallel_ordered(
      6, [&](int) { holding += holds_ending_signals() ? 1 : 0; }, [](int) {}, 3);
  EXPECT_EQ(holding, 6);
  EXPECT_FALSE(holds_ending_signals());
}

}  // namespace
}  // namespace dendro
