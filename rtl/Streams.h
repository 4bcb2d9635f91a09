// Byte streams: the abstract stream, a growable memory stream, a stream over a
// string, and a read-only view of memory owned by someone else.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace vantro {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
 public:
  virtual ~TStream() = default;
  // Reads up to count bytes; returns how many were read.
  virtual std::int64_t Read(void* buffer, std::int64_t count) = 0;
  // Writes up to count bytes; returns how many were stored.
  virtual std::int64_t Write(const void* buffer, std::int64_t count) = 0;
  // Moves the position (clamped at 0); returns the new position.
  virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;
  virtual std::int64_t Size() const = 0;
  virtual void SetSize(std::int64_t size) = 0;
  // Sets the size ahead of writes that fill every byte it adds before anyone
  // reads them, so a stream may leave those bytes unfilled until then.
  virtual void SetSizeAhead(std::int64_t size) { SetSize(size); }
  // Memory for count bytes at the position, for a writer that fills it in
  // place and then keeps what it filled with Wrote; none (nullptr) where the
  // stream has no such memory.
  virtual char* WriteRoom(std::int64_t count) {
    (void)count;
    return nullptr;
  }
  // Keeps count bytes filled in WriteRoom's memory, as a Write of them would.
  virtual void Wrote(std::int64_t count) { (void)count; }

  std::int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(std::int64_t position) { Seek(position, TSeekOrigin::soBeginning); }
  // Whole-count transfers: raise EStreamError when fewer bytes move.
  void ReadBuffer(void* buffer, std::int64_t count);
  void WriteBuffer(const void* buffer, std::int64_t count);
  // Copies count bytes from source's position (0: all of source from its start).
  std::int64_t CopyFrom(TStream& source, std::int64_t count);
};

// Growable block of bytes; the whole block is reachable through Bytes().
// The block lives in malloc'd memory (a large one in pages of its own where
// the system can remap them) so that growing it can be a remap rather than a
// copy, and new room is not filled before it is written.
class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::string_view bytes);
  ~TMemoryStream() override;
  TMemoryStream(const TMemoryStream&) = delete;
  TMemoryStream& operator=(const TMemoryStream&) = delete;

  std::int64_t Read(void* buffer, std::int64_t count) override;
  std::int64_t Write(const void* buffer, std::int64_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  std::int64_t Size() const override { return static_cast<std::int64_t>(size_); }
  // New bytes read as zero.
  void SetSize(std::int64_t size) override;
  void SetSizeAhead(std::int64_t size) override;
  char* WriteRoom(std::int64_t count) override;
  void Wrote(std::int64_t count) override;
  void Clear();
  std::string_view Bytes() const { return {data_, size_}; }
  std::string ToString() const { return std::string(Bytes()); }
  // Takes the bytes out as a text, leaving the stream empty.
  std::string Release();

 private:
  // Makes the block hold at least capacity bytes.
  void Grow(std::size_t capacity);
  // The bytes up to end are about to be written: their pages are made present
  // together, a step ahead, rather than one fault at a time.
  void WillWrite(std::size_t end);

  // One system call a megabyte, and no more than that made present unused.
  static constexpr std::size_t kPrefaultAhead = std::size_t{1} << 20;

  char* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
  bool mapped_ = false;
  std::size_t prefaulted_ = 0;  // of a mapped block, the bytes whose pages are present
  std::int64_t position_ = 0;
};

// A memory stream made from, and read back as, an 8-bit text.
class TStringStream : public TMemoryStream {
 public:
  explicit TStringStream(std::string text = {}) : TMemoryStream(std::move(text)) {}
  std::string DataString() const { return ToString(); }
};

// Read-only view of a memory block owned elsewhere. Pointing it at a block
// rewinds it; writes store nothing and report 0 bytes.
class TIdReadMemoryStream : public TStream {
 public:
  TIdReadMemoryStream() = default;
  explicit TIdReadMemoryStream(std::string_view block) { SetPointer(block); }
  void SetPointer(std::string_view block) {
    block_ = block;
    position_ = 0;
  }
  std::int64_t Read(void* buffer, std::int64_t count) override;
  std::int64_t Write(const void*, std::int64_t) override { return 0; }
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  std::int64_t Size() const override { return static_cast<std::int64_t>(block_.size()); }
  void SetSize(std::int64_t) override {}

 private:
  std::string_view block_;
  std::int64_t position_ = 0;
};

}  // namespace vantro
