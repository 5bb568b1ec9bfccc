// The frame engine's worker threads: made once (per run), they wait for a job, run it with the calling
// thread's floating-point control state (SSE control and status, x87 control word), and wait for each
// other within it. No worker ever calls Win32 or Direct3D: a job is the field's arithmetic and plain
// memory writes (the vertices, into a buffer the main thread locked).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace lumar {

// The most threads a job runs on, the calling thread included.
constexpr int kMaxEngineThreads = 8;

// The thread count for this machine: its hardware threads, at most kMaxEngineThreads, at least 1.
int MachineThreadCount();

// The SSE control state of the field's arithmetic, set for the time of a frame's work on the calling thread
// (a pool's workers take it from there): round to nearest, no flush-to-zero, no denormals-are-zero, every
// exception masked, whatever a driver or an injected library left; the caller's state comes back at the end.
class FixedFloatingPointState {
 public:
  static constexpr uint32_t kSseControl = 0x1F80u;
  FixedFloatingPointState();
  ~FixedFloatingPointState();
  FixedFloatingPointState(const FixedFloatingPointState&) = delete;
  FixedFloatingPointState& operator=(const FixedFloatingPointState&) = delete;

 private:
  uint32_t saved_;
};

class WorkerPool {
 public:
  // Starts a worker thread running `loop`; throws (std::system_error, std::bad_alloc) when it cannot.
  using ThreadStarter = std::function<std::thread(std::function<void()> loop)>;

  // threads - 1 workers (threads clamped to 1 .. kMaxEngineThreads); the calling thread is the first of
  // `threads`. A worker that cannot be started leaves the pool smaller, down to the calling thread alone.
  explicit WorkerPool(int threads);
  WorkerPool(int threads, const ThreadStarter& start);
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  int threads() const { return static_cast<int>(workers_.size()) + 1; }

  // Runs job(0) on the calling thread and job(1) .. job(threads - 1) on the workers; returns when all are
  // done, also when a part throws: then, once every part has ended, it rethrows the first exception.
  void Run(const std::function<void(int)>& job);

  // One step of a wait for another thread of the job: spins briefly (the others are usually close
  // behind), then gives the core away (the machine may have fewer free cores than threads). `steps`
  // counts the steps of this wait.
  static void Wait(int& steps);

  // Workers asleep on the pool's condition, waiting for a job: between frames they give their cores away
  // once they have spun for a little while.
  int workersAsleep() const { return asleep_.load(std::memory_order_acquire); }

 private:
  struct FloatingPointState {
    uint32_t sseControl;
    uint16_t x87Control;
  };
  static FloatingPointState CurrentState();
  static void Apply(const FloatingPointState& state);
  void WorkerLoop(int index);
  // Waits until no worker runs the job; the first exception a worker's part threw, if any.
  std::exception_ptr WaitForWorkers();

  // How many pauses a thread spins before it sleeps or yields: some tens of microseconds.
  static constexpr int kSpinSteps = 4000;

  std::vector<std::thread> workers_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  const std::function<void(int)>* job_ = nullptr;
  FloatingPointState state_{};
  // Changed under the mutex, read without it while spinning.
  std::atomic<uint64_t> jobSerial_{0};
  std::atomic<int> running_{0};
  std::atomic<int> asleep_{0};
  bool stopping_ = false;
  std::exception_ptr failure_;  // a worker's part that threw, under the mutex
};

}  // namespace lumar
