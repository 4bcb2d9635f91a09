// An I/O handler without sockets: receives hand out scripted chunks, sends are
// recorded. Header-only so the fuzz targets can use it too.
#pragma once

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "tcp/IdIOHandler.h"

namespace vantro::test {

class FakeIOHandler : public TIdIOHandler {
 public:
  // Each receive takes at most the front chunk.
  std::deque<std::string> Chunks;
  // When the chunks run out: true, the peer closes; false, waits time out.
  bool CloseWhenDrained = true;
  std::string Sent;
  std::vector<std::size_t> Sends;
  int Shuts = 0;
  bool Open = true;

  bool IsOpen() override { return Open; }
  void Shut() override {
    Open = false;
    ++Shuts;
  }
  bool WaitReadable(int) override { return !Chunks.empty() || CloseWhenDrained; }
  int ReceiveInto(void* buffer, int length) override {
    if (Chunks.empty()) return 0;
    std::string& chunk = Chunks.front();
    std::size_t n = std::min(chunk.size(), static_cast<std::size_t>(length));
    std::memcpy(buffer, chunk.data(), n);
    chunk.erase(0, n);
    if (chunk.empty()) Chunks.pop_front();
    return static_cast<int>(n);
  }
  int SendFrom(const void* buffer, int length) override {
    Sent.append(static_cast<const char*>(buffer), static_cast<std::size_t>(length));
    Sends.push_back(static_cast<std::size_t>(length));
    return length;
  }
};

}  // namespace vantro::test
