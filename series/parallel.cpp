#include "series/parallel.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "series/files/interrupts.h"

namespace dendro {

namespace {

constexpr int kMostWorkers = 8;

// Threads that are joined when the pool goes out of scope, on every way out.
class Pool {
 public:
  Pool() = default;
  Pool(const Pool&) = delete;
  Pool& operator=(const Pool&) = delete;
  ~Pool() { join(); }
  // The threads started never take the ending signals: they go to the calling thread.
  template <class Work>
  void start(int count, Work work) {
    const HoldInterrupts hold;
    threads_.reserve(static_cast<std::size_t>(count));
    for (int w = 0; w < count; ++w) threads_.emplace_back(work);
  }
  void join() {
    for (std::thread& t : threads_) {
      if (t.joinable()) t.join();
    }
  }

 private:
  std::vector<std::thread> threads_;
};

}  // namespace

int worker_count() {
  const int hardware = static_cast<int>(std::thread::hardware_concurrency());
  return std::clamp(hardware, 1, kMostWorkers);
}

void parallel_for(int count, const std::function<void(int)>& body, int threads) {
  if (count <= 0) return;
  const int workers = std::clamp(threads, 1, count);
  if (workers == 1) {
    for (int k = 0; k < count; ++k) body(k);
    return;
  }
  std::atomic<int> next{0};
  std::mutex failure_lock;
  std::exception_ptr failure;
  int failed_item = count;
  auto work = [&] {
    for (int k = next++; k < count; k = next++) {
      try {
        body(k);
      } catch (...) {
        // Whatever an item throws must not leave its worker thread (that would end the
        // process): it is kept and thrown again on the calling thread after the join.
        const std::lock_guard<std::mutex> hold(failure_lock);
        if (k < failed_item) {
          failed_item = k;
          failure = std::current_exception();
        }
        next = count;  // no new items
      }
    }
  };
  {
    Pool pool;
    pool.start(workers - 1, work);
    work();
  }
  if (failure) std::rethrow_exception(failure);
}

void parallel_ordered(int count, const std::function<void(int)>& work,
                      const std::function<void(int)>& consume, int threads) {
  if (count <= 0) return;
  const int workers = std::clamp(threads, 1, count);
  if (workers == 1) {
    for (int k = 0; k < count; ++k) {
      work(k);
      consume(k);
    }
    return;
  }
  std::atomic<int> next{0};
  std::mutex lock;
  std::condition_variable ended;
  std::vector<char> done(static_cast<std::size_t>(count), 0);
  std::vector<std::exception_ptr> failure(static_cast<std::size_t>(count));
  auto run = [&] {
    for (int k = next++; k < count; k = next++) {
      std::exception_ptr caught;
      try {
        work(k);
      } catch (...) {
        // Kept for the calling thread, which throws it when it reaches this item.
        caught = std::current_exception();
        next = count;  // no new items
      }
      {
        const std::lock_guard<std::mutex> hold(lock);
        done[static_cast<std::size_t>(k)] = 1;
        failure[static_cast<std::size_t>(k)] = caught;
      }
      ended.notify_all();
    }
  };
  Pool pool;
  pool.start(workers, run);
  try {
    for (int k = 0; k < count; ++k) {
      const auto at = static_cast<std::size_t>(k);
      {
        // Items are handed out in ascending order, and a failing item ends the loop here
        // before any later one is waited for: every item waited for has been handed out.
        std::unique_lock<std::mutex> hold(lock);
        ended.wait(hold, [&] { return done[at] != 0; });
      }
      if (failure[at]) std::rethrow_exception(failure[at]);
      consume(k);
    }
  } catch (...) {
    // Whatever ends the loop (a worker's failure, or the consumer's own), the workers are
    // joined before it leaves: they use this frame's locals.
    next = count;
    pool.join();
    throw;
  }
}

}  // namespace dendro
