// The frame engine's worker threads: every job runs once on every thread, the caller's share on the caller,
// with the caller's floating-point control state, whether the workers were still spinning for it or asleep.
#include "wavefield/worker_pool.h"

#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace lumar {
namespace {

struct JobRecord {
  std::mutex mutex;
  std::vector<int> runs;  // per thread index
  std::vector<uint32_t> sseControl;
  std::thread::id first;
};

void RecordJob(WorkerPool& pool, JobRecord& record) {
  record.runs.assign(static_cast<std::size_t>(pool.threads()), 0);
  record.sseControl.assign(static_cast<std::size_t>(pool.threads()), 0u);
  pool.Run([&](int thread) {
    std::lock_guard<std::mutex> lock(record.mutex);
    ++record.runs[static_cast<std::size_t>(thread)];
    record.sseControl[static_cast<std::size_t>(thread)] = _mm_getcsr();
    if (thread == 0) record.first = std::this_thread::get_id();
  });
}

TEST(WorkerPool, EveryJobRunsOnceOnEveryThreadBackToBackOrAfterTheWorkersSlept) {
  struct Case {
    const char* what;
    int threads;
    int jobs;
    int pauseMs;  // between jobs: none keeps the workers spinning, 20 ms lets them sleep
  } const cases[] = {{"two threads, back to back", 2, 200, 0},
                     {"seven threads, back to back", 7, 50, 0},
                     {"three threads, after a sleep", 3, 4, 20},
                     {"one thread", 1, 3, 0}};
  for (const Case& c : cases) {
    WorkerPool pool(c.threads);
    ASSERT_EQ(pool.threads(), c.threads) << c.what;
    for (int job = 0; job < c.jobs; ++job) {
      if (c.pauseMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(c.pauseMs));
      JobRecord record;
      RecordJob(pool, record);
      ASSERT_EQ(record.runs, std::vector<int>(static_cast<std::size_t>(c.threads), 1))
          << c.what << ", job " << job;
      ASSERT_EQ(record.first, std::this_thread::get_id()) << c.what;
    }
  }
}

// Round towards zero and flush denormals on the caller: the workers take that state for the job.
TEST(WorkerPool, WorkersRunWithTheCallersSseControlState) {
  WorkerPool pool(3);
  const uint32_t saved = _mm_getcsr();
  for (uint32_t state : {saved, (saved & ~0x6000u) | 0x6000u | 0x8040u}) {
    _mm_setcsr(state);
    JobRecord record;
    RecordJob(pool, record);
    _mm_setcsr(saved);
    for (uint32_t seen : record.sseControl) EXPECT_EQ(seen & 0xFFC0u, state & 0xFFC0u);
  }
}

// A pool ends while its workers still spin for a job that never comes.
TEST(WorkerPool, EndsWhileItsWorkersSpin) {
  for (int round = 0; round < 20; ++round) {
    WorkerPool pool(4);
    JobRecord record;
    RecordJob(pool, record);
    EXPECT_EQ(record.runs, std::vector<int>(4, 1));
  }
}

}  // namespace
}  // namespace lumar
