#include "resample/workers.hpp"

#include <algorithm>
#include <utility>

namespace velk {

int ResampleThreads(int requested) {
  if (requested > 0) return requested;
  return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

Workers::Workers(int nthreads, int nslots, std::function<void(int)> job)
    : job_(std::move(job)), done_(static_cast<std::size_t>(nslots), 1) {
  try {
    threads_.reserve(static_cast<std::size_t>(nthreads));
    for (int k = 0; k < nthreads; ++k) threads_.emplace_back([this] { Loop(); });
  } catch (...) {
    // The threads already started end before the failure goes on.
    Stop();
    throw;
  }
}

Workers::~Workers() {
  Stop();
}

void Workers::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
    queue_.clear();
  }
  posted_.notify_all();
  for (std::thread& t : threads_)
    if (t.joinable()) t.join();
}

void Workers::Post(int slot) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    done_[static_cast<std::size_t>(slot)] = 0;
    queue_.push_back(slot);
  }
  posted_.notify_one();
}

void Workers::Wait(int slot) {
  std::unique_lock<std::mutex> lock(mutex_);
  finished_.wait(lock, [&] { return done_[static_cast<std::size_t>(slot)] != 0; });
}

void Workers::Loop() {
  for (;;) {
    int slot = 0;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      posted_.wait(lock, [&] { return quit_ || !queue_.empty(); });
      if (quit_) return;
      slot = queue_.front();
      queue_.pop_front();
    }
    job_(slot);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_[static_cast<std::size_t>(slot)] = 1;
    }
    finished_.notify_all();
  }
}

}  // namespace velk
