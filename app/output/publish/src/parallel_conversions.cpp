#include "parallel_conversions.h"

#include <algorithm>

namespace galleria::publish {

ParallelConversions::ParallelConversions(std::vector<Conversion> jobs,
                                         const PhotoConverter& convert,
                                         std::function<bool()> stopped)
    : jobs_(std::move(jobs)),
      convert_(convert),
      stopped_(std::move(stopped)),
      states_(jobs_.size(), State::Waiting) {
  const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
  const std::size_t count = std::min(cores, jobs_.size());
  for (std::size_t i = 0; i < count; ++i) workers_.emplace_back([this] { Work(); });
}

ParallelConversions::~ParallelConversions() {
  quit_ = true;
  for (std::thread& worker : workers_) worker.join();
}

void ParallelConversions::Work() {
  for (std::size_t i; !quit_ && (i = next_++) < jobs_.size();) {
    const Conversion& job = jobs_[i];
    const bool written =
        !stopped_() && convert_(job.source, job.destination, job.width, job.height);
    {
      std::lock_guard lock(mutex_);
      states_[i] = written ? State::Written : State::Failed;
    }
    done_.notify_all();
  }
}

bool ParallelConversions::Result(std::size_t index) {
  std::unique_lock lock(mutex_);
  done_.wait(lock, [&] { return states_[index] != State::Waiting; });
  return states_[index] == State::Written;
}

}  // namespace galleria::publish
