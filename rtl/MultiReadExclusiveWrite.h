// A many-readers/one-writer lock whose writer may enter again: the thread
// that holds the write lock can take it (or the read lock) any number of
// times more, and must release each. A reader cannot become a writer while it
// holds the read lock (that would wait for itself).
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

namespace vantro {

class TMultiReadExclusiveWriteSynchronizer {
 public:
  TMultiReadExclusiveWriteSynchronizer() = default;
  TMultiReadExclusiveWriteSynchronizer(const TMultiReadExclusiveWriteSynchronizer&) = delete;
  TMultiReadExclusiveWriteSynchronizer& operator=(const TMultiReadExclusiveWriteSynchronizer&) =
      delete;

  void BeginRead();
  void EndRead();
  void BeginWrite();
  void EndWrite();

 private:
  bool HeldByThisThread() const { return writeDepth_ > 0 && writer_ == std::this_thread::get_id(); }
  void LeaveWriterEntry();

  std::mutex mutex_;
  std::condition_variable changed_;
  int readers_ = 0;
  std::thread::id writer_;
  int writeDepth_ = 0;  // write and read entries of the writing thread
};

}  // namespace vantro
