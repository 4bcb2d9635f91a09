#include "tcp/IdBuffer.h"

#include <algorithm>
#include <cstring>

#include "tcp/IdException.h"
#include "tcp/IdResourceStrings.h"

namespace vantro {

std::int64_t TIdSimpleBuffer::Read(void* buffer, std::int64_t count) {
  std::int64_t available = Size() - static_cast<std::int64_t>(position_);
  std::int64_t n = std::clamp<std::int64_t>(count, 0, std::max<std::int64_t>(available, 0));
  if (n > 0) std::memcpy(buffer, UnreadData() + position_, static_cast<std::size_t>(n));
  position_ += static_cast<std::size_t>(n);
  return n;
}

std::int64_t TIdSimpleBuffer::Write(const void* buffer, std::int64_t count) {
  if (count <= 0) return 0;
  const std::size_t at = start_ + position_;
  const auto n = static_cast<std::size_t>(count);
  Grow(at + n);
  if (at > end_) std::memset(data_.data() + end_, 0, at - end_);  // a gap after a seek
  std::memcpy(data_.data() + at, buffer, n);
  end_ = std::max(end_, at + n);
  position_ += n;
  return count;
}

std::int64_t TIdSimpleBuffer::Seek(std::int64_t offset, TSeekOrigin origin) {
  std::int64_t base = origin == TSeekOrigin::soBeginning ? 0
                      : origin == TSeekOrigin::soCurrent ? static_cast<std::int64_t>(position_)
                                                         : Size();
  position_ = static_cast<std::size_t>(std::max<std::int64_t>(base + offset, 0));
  return static_cast<std::int64_t>(position_);
}

void TIdSimpleBuffer::Grow(std::size_t size) {
  if (size > data_.size()) data_.resize(std::max(size, data_.size() + data_.size() / 2));
}

void TIdSimpleBuffer::SetSize(std::int64_t size) {
  const std::size_t end = start_ + static_cast<std::size_t>(std::max<std::int64_t>(size, 0));
  Grow(end);
  // Bytes a larger size brings in read as zero, as in a memory stream.
  if (end > end_) std::memset(data_.data() + end_, 0, end - end_);
  end_ = end;
  position_ = std::min(position_, end_ - start_);
}

void TIdSimpleBuffer::Append(const void* bytes, std::size_t count) {
  std::memcpy(Reserve(count), bytes, count);
  Commit(count);
}

char* TIdSimpleBuffer::Reserve(std::size_t count) {
  Grow(end_ + count);
  return data_.data() + end_;
}

void TIdSimpleBuffer::Commit(std::size_t used) {
  end_ = std::min(end_ + used, data_.size());
}

void TIdSimpleBuffer::CheckAvailable(std::int64_t count) const {
  if (count > Size()) throw EIdNotEnoughDataInBuffer(RSNotEnoughDataInBuffer);
}

void TIdSimpleBuffer::Consume(std::int64_t count) {
  CheckAvailable(count);
  if (count < 0) return;
  if (count == Size()) {
    Clear();
  } else if (count > 0) {
    const auto n = static_cast<std::size_t>(count);
    DropFront(n);
    position_ = position_ > n ? position_ - n : 0;
  }
  Consumed(count);
}

void TIdSimpleBuffer::DropFront(std::size_t count) {
  std::memmove(data_.data() + start_, data_.data() + start_ + count, end_ - start_ - count);
  end_ -= count;
}

std::string TIdSimpleBuffer::TakeString(std::int64_t count) {
  CheckAvailable(count);
  std::string bytes(UnreadData(), static_cast<std::size_t>(std::max<std::int64_t>(count, 0)));
  Consume(count);
  return bytes;
}

void TIdSimpleBuffer::Clear() {
  end_ = 0;
  start_ = 0;
  position_ = 0;
}

void TIdManagedBuffer::DropFront(std::size_t count) {
  start_ += count;
  if (start_ >= kCompactAt) Compact();
}

void TIdManagedBuffer::Compact() {
  std::memmove(data_.data(), data_.data() + start_, end_ - start_);
  end_ -= start_;
  start_ = 0;
}

}  // namespace vantro
