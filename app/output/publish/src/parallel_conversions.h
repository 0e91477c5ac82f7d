#pragma once
// Converts photos on every core while the caller consumes the results in order.

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "galleria/publish/photo_copies.h"

namespace galleria::publish {

struct Conversion {
  std::filesystem::path source, destination;
  int width = 0, height = 0;
};

class ParallelConversions {
 public:
  // Starts converting at once; `stopped` is polled before each conversion starts.
  ParallelConversions(std::vector<Conversion> jobs, const PhotoConverter& convert,
                      std::function<bool()> stopped);
  // Stops handing out work and waits for the conversions under way.
  ~ParallelConversions();

  // Waits for job `index`; whether its destination was written.
  bool Result(std::size_t index);

 private:
  enum class State { Waiting, Written, Failed };
  void Work();

  const std::vector<Conversion> jobs_;
  const PhotoConverter& convert_;
  const std::function<bool()> stopped_;
  std::atomic<std::size_t> next_ = 0;
  std::atomic<bool> quit_ = false;
  std::mutex mutex_;
  std::condition_variable done_;
  std::vector<State> states_;
  std::vector<std::thread> workers_;
};

}  // namespace galleria::publish
