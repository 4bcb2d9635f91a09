#include "rtl/Streams.h"

#include <algorithm>
#include <cstring>

#include "rtl/Exception.h"

namespace vantro {
namespace {

std::int64_t NewPosition(std::int64_t current, std::int64_t size, std::int64_t offset,
                         TSeekOrigin origin) {
  std::int64_t base = 0;
  if (origin == TSeekOrigin::soCurrent) base = current;
  if (origin == TSeekOrigin::soEnd) base = size;
  return std::max<std::int64_t>(0, base + offset);
}

// Reads from a block at position, advancing it; positions past the end read nothing.
std::int64_t ReadBlock(const char* data, std::int64_t size, std::int64_t& position, void* buffer,
                       std::int64_t count) {
  if (count <= 0 || position >= size) return 0;
  const std::int64_t n = std::min(count, size - position);
  std::memcpy(buffer, data + position, static_cast<std::size_t>(n));
  position += n;
  return n;
}

}  // namespace

void TStream::ReadBuffer(void* buffer, std::int64_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EStreamError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, std::int64_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EStreamError("Stream write error");
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  char block[61440];
  std::int64_t left = count;
  while (left > 0) {
    const std::int64_t n = std::min<std::int64_t>(left, sizeof block);
    source.ReadBuffer(block, n);
    WriteBuffer(block, n);
    left -= n;
  }
  return count;
}

std::int64_t TMemoryStream::Read(void* buffer, std::int64_t count) {
  return ReadBlock(data_.data(), Size(), position_, buffer, count);
}

std::int64_t TMemoryStream::Write(const void* buffer, std::int64_t count) {
  if (count <= 0) return 0;
  const auto end = static_cast<std::size_t>(position_ + count);
  if (end > data_.size()) data_.resize(end);
  std::memcpy(data_.data() + position_, buffer, static_cast<std::size_t>(count));
  position_ += count;
  return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  position_ = NewPosition(position_, Size(), offset, origin);
  return position_;
}

void TMemoryStream::SetSize(std::int64_t size) {
  data_.resize(static_cast<std::size_t>(std::max<std::int64_t>(0, size)));
  position_ = std::min(position_, Size());
}

void TMemoryStream::Clear() {
  data_.clear();
  position_ = 0;
}

std::string TMemoryStream::Release() {
  std::string bytes = std::move(data_);
  Clear();
  return bytes;
}

std::int64_t TIdReadMemoryStream::Read(void* buffer, std::int64_t count) {
  return ReadBlock(block_.data(), Size(), position_, buffer, count);
}

std::int64_t TIdReadMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  position_ = NewPosition(position_, Size(), offset, origin);
  return position_;
}

}  // namespace vantro
