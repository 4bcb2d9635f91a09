#include "rtl/Streams.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "rtl/Exception.h"

#ifdef __linux__
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace vantro {
namespace {

#ifdef __linux__
// From this size on a block is pages of its own: growing it remaps them
// where realloc would copy every byte once the heap holds it.
constexpr std::size_t kMappedBlockFrom = std::size_t{1} << 20;

std::size_t WholePages(std::size_t size) {
  static const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  return (size + page - 1) / page * page;
}
#endif

// Grows a block of held bytes, used of them in use, to at least capacity
// bytes; capacity is raised to what the new block really holds.
char* GrowBlock(char* data, std::size_t held, std::size_t used, std::size_t& capacity,
                bool& mapped) {
#ifdef __linux__
  if (capacity >= kMappedBlockFrom) {
    const std::size_t pages = WholePages(capacity);
    void* block = MAP_FAILED;
    if (mapped) {
      block = mremap(data, held, pages, MREMAP_MAYMOVE);
    } else {
      block = mmap(nullptr, pages, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
      if (block != MAP_FAILED && used > 0) std::memcpy(block, data, used);
      if (block != MAP_FAILED) std::free(data);
    }
    if (block == MAP_FAILED) throw std::bad_alloc();
    mapped = true;
    capacity = pages;
    return static_cast<char*>(block);
  }
#endif
  (void)held, (void)used, (void)mapped;
  char* grown = static_cast<char*>(std::realloc(data, capacity == 0 ? 1 : capacity));
  if (grown == nullptr) throw std::bad_alloc();
  return grown;
}

// Makes the pages of bytes from..to of a mapped block present in one system
// call, where writing them would fault once a page. A system without the call
// leaves them to fault.
void PrefaultBlock(char* data, std::size_t from, std::size_t to) {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
  const std::size_t start = from / WholePages(1) * WholePages(1);
  if (to > start) madvise(data + start, to - start, MADV_POPULATE_WRITE);
#else
  (void)data, (void)from, (void)to;
#endif
}

void FreeBlock(char* data, std::size_t capacity, bool mapped) {
#ifdef __linux__
  if (mapped) {
    munmap(data, capacity);
    return;
  }
#endif
  (void)capacity, (void)mapped;
  std::free(data);
}

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

TMemoryStream::TMemoryStream(std::string_view bytes) {
  Grow(bytes.size());
  if (!bytes.empty()) std::memcpy(data_, bytes.data(), bytes.size());
  size_ = bytes.size();
}

TMemoryStream::~TMemoryStream() {
  FreeBlock(data_, capacity_, mapped_);
}

void TMemoryStream::Grow(std::size_t capacity) {
  if (capacity <= capacity_) return;
  std::size_t wanted = std::max(capacity, capacity_ + capacity_ / 2);
  const bool wasMapped = mapped_;
  data_ = GrowBlock(data_, capacity_, size_, wanted, mapped_);
  // A block newly mapped holds only the bytes copied into it.
  if (mapped_ && !wasMapped) prefaulted_ = size_;
  capacity_ = wanted;
}

void TMemoryStream::WillWrite(std::size_t end) {
  if (!mapped_ || end <= prefaulted_) return;
  const std::size_t to = std::min(capacity_, std::max(end, prefaulted_ + kPrefaultAhead));
  PrefaultBlock(data_, prefaulted_, to);
  prefaulted_ = to;
}

std::int64_t TMemoryStream::Read(void* buffer, std::int64_t count) {
  return ReadBlock(data_, Size(), position_, buffer, count);
}

std::int64_t TMemoryStream::Write(const void* buffer, std::int64_t count) {
  if (count <= 0) return 0;
  const auto at = static_cast<std::size_t>(position_);
  const std::size_t end = at + static_cast<std::size_t>(count);
  Grow(end);
  WillWrite(end);
  // Writing past the end leaves no unwritten gap behind.
  if (at > size_) std::memset(data_ + size_, 0, at - size_);
  std::memcpy(data_ + at, buffer, static_cast<std::size_t>(count));
  size_ = std::max(size_, end);
  position_ += count;
  return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  position_ = NewPosition(position_, Size(), offset, origin);
  return position_;
}

void TMemoryStream::SetSize(std::int64_t size) {
  const auto wanted = static_cast<std::size_t>(std::max<std::int64_t>(0, size));
  Grow(wanted);
  if (wanted > size_) std::memset(data_ + size_, 0, wanted - size_);
  size_ = wanted;
  position_ = std::min(position_, Size());
}

void TMemoryStream::SetSizeAhead(std::int64_t size) {
  const auto wanted = static_cast<std::size_t>(std::max<std::int64_t>(0, size));
  // Room only: its pages become present as writes come (WillWrite), so a size
  // announced by a peer costs no memory before its bytes do.
  Grow(wanted);
  size_ = wanted;
  position_ = std::min(position_, Size());
}

char* TMemoryStream::WriteRoom(std::int64_t count) {
  const auto at = static_cast<std::size_t>(position_);
  const std::size_t end = at + static_cast<std::size_t>(std::max<std::int64_t>(0, count));
  Grow(end);
  WillWrite(end);
  // Room past the end leaves no unwritten gap behind once it is kept.
  if (at > size_) std::memset(data_ + size_, 0, at - size_);
  return data_ + at;
}

void TMemoryStream::Wrote(std::int64_t count) {
  if (count <= 0) return;
  position_ += count;
  size_ = std::max(size_, static_cast<std::size_t>(position_));
}

void TMemoryStream::Clear() {
  size_ = 0;
  position_ = 0;
}

std::string TMemoryStream::Release() {
  std::string bytes(Bytes());
  FreeBlock(data_, capacity_, mapped_);
  data_ = nullptr;
  mapped_ = false;
  prefaulted_ = 0;
  size_ = capacity_ = 0;
  position_ = 0;
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
