#include "wavefield/worker_pool.h"

#include <xmmintrin.h>

namespace lumar {

int MachineThreadCount() {
  const unsigned hardware = std::thread::hardware_concurrency();
  if (hardware == 0) return 1;
  return hardware > static_cast<unsigned>(kMaxEngineThreads) ? kMaxEngineThreads : static_cast<int>(hardware);
}

WorkerPool::WorkerPool(int threads) {
  if (threads > kMaxEngineThreads) threads = kMaxEngineThreads;
  for (int index = 1; index < threads; ++index) workers_.emplace_back([this, index] { WorkerLoop(index); });
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
  job(0);
  // The workers are usually close behind: spin before sleeping, a sleep and a wake-up cost more than a
  // short wait.
  for (int steps = 0; steps < kSpinSteps && running_.load(std::memory_order_acquire) != 0; ++steps)
    _mm_pause();
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [this] { return running_ == 0; });
  job_ = nullptr;
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
      wake_.wait(lock, [&] { return stopping_ || jobSerial_ != seen; });
      if (stopping_) return;
      seen = jobSerial_.load(std::memory_order_relaxed);
      job = job_;
      Apply(state_);
    }
    (*job)(index);
    std::lock_guard<std::mutex> lock(mutex_);
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
