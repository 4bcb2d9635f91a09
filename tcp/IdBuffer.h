// Byte queues of the connection: a simple one whose Consume moves the rest to
// the front, and a managed one that only advances a read offset and moves
// memory once per CompactAt consumed bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "rtl/Streams.h"
#include "tcp/IdLimits.h"

namespace vantro {

class TIdSimpleBuffer : public TStream {
 public:
  using TConsumedEvent = std::function<void(TIdSimpleBuffer& sender, std::int64_t count)>;

  TConsumedEvent OnConsumed;

  // The stream view: the unread bytes only.
  std::int64_t Read(void* buffer, std::int64_t count) override;
  std::int64_t Write(const void* buffer, std::int64_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  std::int64_t Size() const override { return static_cast<std::int64_t>(end_ - start_); }
  void SetSize(std::int64_t size) override;

  // The unread bytes, contiguous.
  char* UnreadData() { return data_.data() + start_; }
  const char* UnreadData() const { return data_.data() + start_; }
  // Appends at the end, whatever the position.
  void Append(const void* bytes, std::size_t count);
  // Room for count more bytes at the end; Commit(used) keeps the first used of them.
  char* Reserve(std::size_t count);
  void Commit(std::size_t used);

  // Raises when fewer bytes are unread; reports the count through OnConsumed.
  void Consume(std::int64_t count);
  std::string TakeString(std::int64_t count);
  void Clear();

 protected:
  void CheckAvailable(std::int64_t count) const;
  // Storage for at least size bytes.
  void Grow(std::size_t size);
  // Drops the first count unread bytes (fewer than all of them).
  virtual void DropFront(std::size_t count);
  void Consumed(std::int64_t count) {
    if (OnConsumed) OnConsumed(*this, count);
  }

  // Storage only grows, so a receive into Reserve's room costs no zero-filling.
  std::string data_;
  std::size_t end_ = 0;       // bytes of data_ in use
  std::size_t start_ = 0;     // consumed bytes still at the front (managed only)
  std::size_t position_ = 0;  // relative to start_
};

class TIdManagedBuffer : public TIdSimpleBuffer {
 public:
  static constexpr std::size_t kCompactAt = kBufferCompactAt;

  std::size_t ReadOffset() const { return start_; }
  void Compact();
  void ClearQueue() { Clear(); }

 protected:
  void DropFront(std::size_t count) override;
};

}  // namespace vantro
