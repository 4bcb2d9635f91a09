#include "rtl/MultiReadExclusiveWrite.h"

namespace vantro {

void TMultiReadExclusiveWriteSynchronizer::BeginRead() {
  std::unique_lock lock(mutex_);
  if (HeldByThisThread()) {
    ++writeDepth_;
    return;
  }
  // Readers do not wait for queued writers, so a thread may nest its reads.
  changed_.wait(lock, [this] { return writeDepth_ == 0; });
  ++readers_;
}

void TMultiReadExclusiveWriteSynchronizer::EndRead() {
  std::lock_guard lock(mutex_);
  if (HeldByThisThread()) {
    LeaveWriterEntry();
  } else if (readers_ > 0 && --readers_ == 0) {
    changed_.notify_all();
  }
}

void TMultiReadExclusiveWriteSynchronizer::BeginWrite() {
  std::unique_lock lock(mutex_);
  if (HeldByThisThread()) {
    ++writeDepth_;
    return;
  }
  changed_.wait(lock, [this] { return writeDepth_ == 0 && readers_ == 0; });
  writer_ = std::this_thread::get_id();
  writeDepth_ = 1;
}

void TMultiReadExclusiveWriteSynchronizer::EndWrite() {
  std::lock_guard lock(mutex_);
  if (HeldByThisThread()) LeaveWriterEntry();
}

void TMultiReadExclusiveWriteSynchronizer::LeaveWriterEntry() {
  if (--writeDepth_ == 0) {
    writer_ = std::thread::id();
    changed_.notify_all();
  }
}

}  // namespace vantro
