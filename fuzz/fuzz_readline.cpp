// Bytes in fragments through a scripted transport into the connection's line
// and stream reads. The first bytes choose the fragment sizes, terminator,
// line limit and what happens to an over-long line.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tcp/IdException.h"
#include "tcp/IdTCPConnection.h"
#include "tests/support/tcp_FakeIOHandler.h"

using namespace vantro;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const std::uint8_t fragment = data[0];
  const std::uint8_t mode = data[1];
  const int maxLength = data[2] % 64;  // 0: no limit
  const std::string terminators[] = {"", "\r\n", "ab", "\n\n"};
  const std::string& terminator = terminators[data[3] % 4];
  data += 4;
  size -= 4;

  test::FakeIOHandler io;
  std::size_t step = 1 + fragment % 17;
  for (std::size_t at = 0; at < size; at += step, step = 1 + (step * 7 + fragment) % 23) {
    io.Chunks.emplace_back(reinterpret_cast<const char*>(data) + at, std::min(step, size - at));
  }
  TIdTCPConnection connection;
  connection.SetIOHandler(&io);
  connection.RecvBufferSize = 1 + mode % 13;
  connection.MaxLineAction = (mode & 0x10) != 0 ? maSplit : maException;
  std::size_t consumed = 0;
  try {
    for (int lines = 0; lines < 1000; ++lines) {
      std::string line = connection.ReadLine(terminator, -1, maxLength);
      if (connection.LineGaveUp()) break;
      if (maxLength != 0 && line.size() > static_cast<std::size_t>(maxLength)) __builtin_trap();
      consumed += line.size();
      if ((mode & 0x20) != 0 && lines == 2) break;
    }
    TMemoryStream rest;
    connection.ReadToStream(rest, (mode & 0x40) != 0 ? 5 : -1, (mode & 0x40) == 0);
    consumed += static_cast<std::size_t>(rest.Size());
  } catch (const EIdReadLnMaxLineLengthExceeded&) {
  } catch (const EIdConnClosedGracefully&) {
  }
  // Never more bytes out than went in.
  if (consumed > size) __builtin_trap();
  return 0;
}
