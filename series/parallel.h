// Work spread over threads for the routines whose items are independent (pairs of series,
// years of a chronology, series of a set). Every item writes only its own results, and the
// results are combined in item order, so that they do not depend on the number of threads
// or on which thread ran an item.
#pragma once

#include <functional>

namespace dendro {

// The threads a parallel loop uses by default: the machine's hardware threads, at most 8
// (the loops here are short and memory-bound beyond that), at least 1.
int worker_count();

// Runs body(k) for k = 0 .. count - 1 on up to `threads` threads, the calling one among
// them; items are handed out in ascending order. An exception thrown by an item is thrown
// again here once every thread has stopped (that of the lowest item when several throw;
// items after a throwing one may still have run).
void parallel_for(int count, const std::function<void(int)>& body, int threads = worker_count());

// Runs work(k) for k = 0 .. count - 1 on up to `threads` threads and, on the calling
// thread, consume(k) for each k in ascending order as soon as work(k) has ended, while the
// later items go on. An exception from work(k) or consume(k) stops the run once the items
// in progress have ended and is thrown again here; consume is not called from item k on.
void parallel_ordered(int count, const std::function<void(int)>& work,
                      const std::function<void(int)>& consume, int threads = worker_count());

}  // namespace dendro
