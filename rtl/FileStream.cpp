#include "rtl/FileStream.h"

#include <algorithm>

namespace vantro {
namespace {

// Whole 64-bit offsets on both systems.
bool SeekTo(std::FILE* file, std::int64_t offset, int whence) {
#ifdef _WIN32
  return _fseeki64(file, offset, whence) == 0;
#else
  return fseeko(file, static_cast<off_t>(offset), whence) == 0;
#endif
}

std::int64_t Tell(std::FILE* file) {
#ifdef _WIN32
  return _ftelli64(file);
#else
  return static_cast<std::int64_t>(ftello(file));
#endif
}

}  // namespace

TFileReadStream::TFileReadStream(const std::string& name) : file_(std::fopen(name.c_str(), "rb")) {
  if (file_ == nullptr) return;
  if (SeekTo(file_, 0, SEEK_END)) size_ = std::max<std::int64_t>(0, Tell(file_));
  SeekTo(file_, 0, SEEK_SET);
}

TFileReadStream::~TFileReadStream() {
  if (file_ != nullptr) std::fclose(file_);
}

std::int64_t TFileReadStream::Read(void* buffer, std::int64_t count) {
  if (file_ == nullptr || count <= 0) return 0;
  const auto got =
      static_cast<std::int64_t>(std::fread(buffer, 1, static_cast<std::size_t>(count), file_));
  position_ += got;
  return got;
}

std::int64_t TFileReadStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  if (file_ == nullptr) return 0;
  const std::int64_t base = origin == TSeekOrigin::soBeginning ? 0
                            : origin == TSeekOrigin::soCurrent ? position_
                                                               : size_;
  const std::int64_t target = std::clamp<std::int64_t>(base + offset, 0, size_);
  if (SeekTo(file_, target, SEEK_SET)) position_ = target;
  return position_;
}

}  // namespace vantro
