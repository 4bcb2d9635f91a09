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
  if (at + n > data_.size()) data_.resize(at + n);
  std::memcpy(data_.data() + at, buffer, n);
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

void TIdSimpleBuffer::SetSize(std::int64_t size) {
  data_.resize(start_ + static_cast<std::size_t>(std::max<std::int64_t>(size, 0)));
  position_ = std::min(position_, data_.size() - start_);
}

void TIdSimpleBuffer::Append(const void* bytes, std::size_t count) {
  data_.append(static_cast<const char*>(bytes), count);
}

char* TIdSimpleBuffer::Reserve(std::size_t count) {
  const std::size_t at = data_.size();
  data_.resize(at + count);
  return data_.data() + at;
}

void TIdSimpleBuffer::Commit(std::size_t reserved, std::size_t used) {
  data_.resize(data_.size() - reserved + std::min(used, reserved));
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
  data_.erase(start_, count);
}

std::string TIdSimpleBuffer::TakeString(std::int64_t count) {
  CheckAvailable(count);
  std::string bytes(UnreadData(), static_cast<std::size_t>(std::max<std::int64_t>(count, 0)));
  Consume(count);
  return bytes;
}

void TIdSimpleBuffer::Clear() {
  data_.clear();
  start_ = 0;
  position_ = 0;
}

void TIdManagedBuffer::DropFront(std::size_t count) {
  start_ += count;
  if (start_ >= kCompactAt) Compact();
}

void TIdManagedBuffer::Compact() {
  data_.erase(0, start_);
  start_ = 0;
}

}  // namespace vantro
