// A file opened for reading, as a stream (others may still read it). Built on
// the C library's files: the C++ streams would bring their whole locale
// machinery into the executable.
#pragma once

#include <cstdio>
#include <string>

#include "rtl/Streams.h"

namespace vantro {

class TFileReadStream : public TStream {
 public:
  explicit TFileReadStream(const std::string& name);
  ~TFileReadStream() override;
  TFileReadStream(const TFileReadStream&) = delete;
  TFileReadStream& operator=(const TFileReadStream&) = delete;

  bool IsOpen() const { return file_ != nullptr; }
  std::int64_t Read(void* buffer, std::int64_t count) override;
  std::int64_t Write(const void*, std::int64_t) override { return 0; }
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  std::int64_t Size() const override { return size_; }
  void SetSize(std::int64_t) override {}

 private:
  std::FILE* file_ = nullptr;
  std::int64_t size_ = 0;
  std::int64_t position_ = 0;
};

}  // namespace vantro
