#pragma once

#include <condition_variable>
#include <exception>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "experiment/Checkpoint.h"
#include "experiment/RunRecord.h"
#include "simulation/ResultFiles.h"

namespace kestrovan {

// Writes a run's per-generation files on a thread of its own, so that the
// disk's waits (a sync can outlast a generation when the disk is busy)
// never hold up the run: the newest generations.csv and the newest
// checkpoint, after the files it counts are synced. A job posted while
// another waits replaces it, keeping the older one's checkpoint when it has
// none and the files to sync of both: only the newest of each matters.
class TWriteBehind {
 public:
  struct TJob {
    std::string GenerationsText;
    std::optional<TCheckpoint> Checkpoint;
    std::vector<std::filesystem::path> Sync;  // before the checkpoint
  };

  explicit TWriteBehind(std::filesystem::path Folder) : folder_(std::move(Folder)), thread_([this] { Loop(); }) {}
  // Writes what is still waiting, then ends the thread; a failure then is lost.
  ~TWriteBehind() {
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
  }
  TWriteBehind(const TWriteBehind&) = delete;
  TWriteBehind& operator=(const TWriteBehind&) = delete;

  // Throws what kept earlier files from being written.
  void Post(TJob Job) {
    {
      const std::lock_guard lock(mutex_);
      RethrowLocked();
      if (pending_) {
        if (!Job.Checkpoint) {
          Job.Checkpoint = std::move(pending_->Checkpoint);
        }
        Job.Sync.insert(Job.Sync.begin(), pending_->Sync.begin(), pending_->Sync.end());
      }
      pending_ = std::move(Job);
    }
    changed_.notify_all();
  }

  // Waits until everything posted is written; throws what kept it from being written.
  void Finish() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !pending_ && !busy_; });
    RethrowLocked();
  }

 private:
  void RethrowLocked() {
    if (error_) {
      std::exception_ptr error = error_;
      error_ = nullptr;
      std::rethrow_exception(error);
    }
  }

  void Loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return pending_ || stopping_; });
      if (!pending_) {
        return;
      }
      TJob job = std::move(*pending_);
      pending_.reset();
      busy_ = true;
      lock.unlock();
      std::exception_ptr error;
      try {
        // the checkpoint first: a table that shows a generation promises a
        // folder that can go on from it
        if (job.Checkpoint) {
          for (const std::filesystem::path& file : job.Sync) {
            SyncFile(file);
          }
          WriteCheckpoint(folder_ / kCheckpointFile, *job.Checkpoint);
        }
        WriteFileAtomically(folder_ / kGenerationsFile, job.GenerationsText);
      } catch (...) {
        error = std::current_exception();
      }
      // the job's storage (a whole population's genes) freed before the
      // lock is taken again, so that Post never waits for it
      job = TJob();
      lock.lock();
      if (error && !error_) {
        error_ = error;
      }
      busy_ = false;
      changed_.notify_all();
    }
  }

  std::filesystem::path folder_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::optional<TJob> pending_;
  bool busy_ = false;
  bool stopping_ = false;
  std::exception_ptr error_;
  std::jthread thread_;  // last: it starts once the rest is ready, and is joined first
};

}  // namespace kestrovan
