#pragma once
// A fixed set of threads that run one job per posted slot: the estimation of
// the resamples while the driving thread draws the next ones and writes the
// finished ones in order.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace velk {

// The number of estimation threads for `requested` (0: one per core; at least 1).
[[nodiscard]] int ResampleThreads(int requested);

class Workers {
 public:
  // `nthreads` threads that call job(slot) for slots 0..nslots-1 as they are
  // posted. Throws std::system_error when the system cannot start a thread.
  Workers(int nthreads, int nslots, std::function<void(int)> job);
  // Drops the jobs not yet started, waits for the running ones and joins.
  ~Workers();
  Workers(const Workers&) = delete;
  Workers& operator=(const Workers&) = delete;

  // Queues the job of `slot`; the slot must not be queued or running.
  void Post(int slot);
  // Waits until the job of `slot`, posted before, has finished.
  void Wait(int slot);

 private:
  void Loop();
  void Stop();

  std::function<void(int)> job_;
  std::mutex mutex_;
  std::condition_variable posted_;
  std::condition_variable finished_;
  std::deque<int> queue_;
  std::vector<char> done_;
  bool quit_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace velk
