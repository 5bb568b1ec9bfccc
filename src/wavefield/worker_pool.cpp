#include "wavefield/worker_pool.h"

#include <xmmintrin.h>

#include <utility>

namespace lumar {

int MachineThreadCount() {
  const unsigned hardware = std::thread::hardware_concurrency();
  if (hardware == 0) return 1;
  return hardware > static_cast<unsigned>(kMaxEngineThreads) ? kMaxEngineThreads : static_cast<int>(hardware);
}

FixedFloatingPointState::FixedFloatingPointState() : saved_(_mm_getcsr()) { _mm_setcsr(kSseControl); }

FixedFloatingPointState::~FixedFloatingPointState() { _mm_setcsr(saved_); }

WorkerPool::WorkerPool(int threads)
    : WorkerPool(threads, [](std::function<void()> loop) { return std::thread(std::move(loop)); }) {}

WorkerPool::WorkerPool(int threads, const ThreadStarter& start) {
  threads = threads < 1 ? 1 : threads > kMaxEngineThreads ? kMaxEngineThreads : threads;
  workers_.reserve(static_cast<std::size_t>(threads - 1));
  for (int index = 1; index < threads; ++index) {
    try {
      workers_.push_back(start([this, index] { WorkerLoop(index); }));
    } catch (...) {
      break;  // the workers started so far serve; their indices are 1 .. threads() - 1
    }
  }
}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

WorkerPool::FloatingPointState WorkerPool::CurrentState() {
  FloatingPointState state{};
  state.sseControl = _mm_getcsr();
#if defined(__GNUC__)
  __asm__ volatile("fnstcw %0" : "=m"(state.x87Control));
#endif
  return state;
}

void WorkerPool::Apply(const FloatingPointState& state) {
  _mm_setcsr(state.sseControl);
#if defined(__GNUC__)
  __asm__ volatile("fldcw %0" : : "m"(state.x87Control));
#endif
}

void WorkerPool::Run(const std::function<void(int)>& job) {
  if (workers_.empty()) {
    job(0);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    job_ = &job;
    state_ = CurrentState();
    running_.store(static_cast<int>(workers_.size()), std::memory_order_relaxed);
    jobSerial_.fetch_add(1, std::memory_order_release);
  }
  wake_.notify_all();
  try {
    job(0);
  } catch (...) {
    WaitForWorkers();  // the workers use `job` until they are done
    throw;
  }
  const std::exception_ptr failure = WaitForWorkers();
  if (failure) std::rethrow_exception(failure);
}

std::exception_ptr WorkerPool::WaitForWorkers() {
  // The workers are usually close behind: spin before sleeping, a sleep and a wake-up cost more than a
  // short wait.
  for (int steps = 0; steps < kSpinSteps && running_.load(std::memory_order_acquire) != 0; ++steps)
    _mm_pause();
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [this] { return running_ == 0; });
  job_ = nullptr;
  return std::exchange(failure_, nullptr);
}

void WorkerPool::WorkerLoop(int index) {
  uint64_t seen = 0;
  for (;;) {
    const std::function<void(int)>* job;
    // A frame's jobs come back to back (the sums, then the vertex fill): spin for the next before sleeping.
    for (int steps = 0; steps < kSpinSteps && jobSerial_.load(std::memory_order_acquire) == seen; ++steps)
      _mm_pause();
    {
      std::unique_lock<std::mutex> lock(mutex_);
      const auto woken = [&] { return stopping_ || jobSerial_ != seen; };
      if (!woken()) {
        asleep_.fetch_add(1, std::memory_order_release);
        wake_.wait(lock, woken);
        asleep_.fetch_sub(1, std::memory_order_release);
      }
      if (stopping_) return;
      seen = jobSerial_.load(std::memory_order_relaxed);
      job = job_;
      Apply(state_);
    }
    std::exception_ptr failure;
    try {
      (*job)(index);
    } catch (...) {
      failure = std::current_exception();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (failure && !failure_) failure_ = failure;
    if (--running_ == 0) done_.notify_one();
  }
}

void WorkerPool::Wait(int& steps) {
  if (steps < kSpinSteps) {
    ++steps;
    _mm_pause();
  } else {
    std::this_thread::yield();
  }
}

}  // namespace lumar
