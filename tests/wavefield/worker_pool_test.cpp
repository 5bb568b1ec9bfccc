// The frame engine's worker threads: every job runs once on every thread, the caller's share on the caller,
// with the caller's floating-point control state, whether the workers were still spinning for it or asleep.
#include "wavefield/worker_pool.h"

#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <system_error>
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

// Waits, up to a deadline far beyond any spin, until every worker sleeps on the pool's condition.
testing::AssertionResult EveryWorkerFallsAsleep(const WorkerPool& pool) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (pool.workersAsleep() != pool.threads() - 1) {
    if (std::chrono::steady_clock::now() > deadline)
      return testing::AssertionFailure() << pool.workersAsleep() << " of " << pool.threads() - 1
                                         << " workers asleep 5 s after their last job: the others still spin";
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return testing::AssertionSuccess();
}

TEST(WorkerPool, EveryJobRunsOnceOnEveryThreadBackToBackOrAfterTheWorkersSlept) {
  struct Case {
    const char* what;
    int threads;
    int jobs;
    bool asleep;  // between jobs: back to back the workers still spin, else each job wakes them
  } const cases[] = {{"two threads, back to back", 2, 200, false},
                     {"seven threads, back to back", 7, 50, false},
                     {"three threads, each job after the workers fell asleep", 3, 4, true},
                     {"one thread", 1, 3, false}};
  for (const Case& c : cases) {
    WorkerPool pool(c.threads);
    ASSERT_EQ(pool.threads(), c.threads) << c.what;
    for (int job = 0; job < c.jobs; ++job) {
      if (c.asleep) {
        ASSERT_TRUE(EveryWorkerFallsAsleep(pool)) << c.what << ", before job " << job;
      }
      JobRecord record;
      RecordJob(pool, record);
      ASSERT_EQ(record.runs, std::vector<int>(static_cast<std::size_t>(c.threads), 1))
          << c.what << ", job " << job;
      ASSERT_EQ(record.first, std::this_thread::get_id()) << c.what;
    }
  }
}

// A pool left without a job (the loop rests, the displays are off) costs no core: its workers sleep,
// whatever they did last, and a job still wakes every one of them.
TEST(WorkerPool, WorkersWithoutAJobSleep) {
  for (int threads : {2, 4, kMaxEngineThreads}) {
    WorkerPool pool(threads);
    EXPECT_TRUE(EveryWorkerFallsAsleep(pool)) << threads << " threads, never given a job";
    for (int round = 0; round < 3; ++round) {
      JobRecord record;
      RecordJob(pool, record);
      EXPECT_EQ(record.runs, std::vector<int>(static_cast<std::size_t>(threads), 1)) << threads << " threads";
      EXPECT_TRUE(EveryWorkerFallsAsleep(pool)) << threads << " threads, after job " << round;
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

// Asked for no thread, a negative count or far more than the machine has: the calling thread alone, or the
// most the engine uses.
TEST(WorkerPoolBadInput, ThreadCountsOutOfRangeAreClamped) {
  struct Case {
    int asked;
    int threads;
  } const cases[] = {{0, 1}, {-5, 1}, {1000, kMaxEngineThreads}, {kMaxEngineThreads + 1, kMaxEngineThreads}};
  for (const Case& c : cases) {
    WorkerPool pool(c.asked);
    EXPECT_EQ(pool.threads(), c.threads) << "asked for " << c.asked;
    JobRecord record;
    RecordJob(pool, record);
    EXPECT_EQ(record.runs, std::vector<int>(static_cast<std::size_t>(c.threads), 1))
        << "asked for " << c.asked;
  }
}

// The system refuses a thread (the first, a later one, every one): the pool is smaller, down to the calling
// thread alone, and still runs every part of a job once; nothing ends the program.
TEST(WorkerPoolBadInput, AThreadThatCannotBeMadeLeavesThePoolSmaller) {
  struct Case {
    const char* what;
    int asked;
    int started;  // workers the system lets start
  } const cases[] = {{"no worker", 4, 0}, {"one worker of three", 4, 1}, {"five of seven", 8, 5}};
  for (const Case& c : cases) {
    int calls = 0;
    WorkerPool pool(c.asked, [&](std::function<void()> loop) {
      if (calls++ >= c.started)
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
      return std::thread(std::move(loop));
    });
    EXPECT_EQ(calls, c.started + 1) << c.what << ": no thread tried after the refusal";
    ASSERT_EQ(pool.threads(), c.started + 1) << c.what;
    for (int job = 0; job < 3; ++job) {
      JobRecord record;
      RecordJob(pool, record);
      EXPECT_EQ(record.runs, std::vector<int>(static_cast<std::size_t>(c.started + 1), 1)) << c.what;
    }
  }
}

// A part that throws, on the caller or on a worker: Run returns only once every other part has ended (they
// still use the job and what it refers to), then passes the exception on; the pool runs the next job.
TEST(WorkerPoolBadInput, RunWaitsForEveryPartBeforeAThrowReachesTheCaller) {
  for (int thrower : {0, 2}) {
    WorkerPool pool(3);
    std::atomic<int> ended{0};
    EXPECT_THROW(pool.Run([&](int thread) {
      if (thread == thrower) throw std::runtime_error("part failed");
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      ended.fetch_add(1);
    }),
                 std::runtime_error)
        << "thread " << thrower;
    EXPECT_EQ(ended.load(), 2) << "Run returned while a part still ran, thread " << thrower << " threw";
    JobRecord record;
    RecordJob(pool, record);
    EXPECT_EQ(record.runs, std::vector<int>(3, 1));
  }
}

}  // namespace
}  // namespace lumar
