// The connection's reads: lines, exact counts, streams and everything until close.
#include <algorithm>
#include <cstring>
#include <limits>
#include <string_view>

#include "rtl/AnsiText.h"
#include "tcp/IdException.h"
#include "tcp/IdLimits.h"
#include "tcp/IdResourceStrings.h"
#include "tcp/IdStack.h"
#include "tcp/IdTCPConnection.h"

namespace vantro {

namespace {

// 1-based position of terminator in bytes at or after from; 0 when absent.
std::size_t FindTerminator(std::string_view bytes, std::string_view terminator, std::size_t from) {
  std::size_t at =
      terminator.size() == 1 ? bytes.find(terminator[0], from) : bytes.find(terminator, from);
  return at == std::string_view::npos ? 0 : at + 1;
}

bool IsBlankOrControl(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

}  // namespace

void TIdTCPConnection::LineTooLong() {
  throw EIdReadLnMaxLineLengthExceeded(RSReadLnMaxLineLengthExceeded);
}

std::string TIdTCPConnection::SplitOrRaise(int maxLength) {
  if (MaxLineAction == maException) LineTooLong();
  lineWasSplit_ = true;
  return inputQueue_.TakeString(maxLength);
}

std::string TIdTCPConnection::ReadLine(const std::string& terminatorText, int timeout,
                                       int maxLength) {
  const std::string terminator = terminatorText.empty() ? std::string("\n") : terminatorText;
  if (maxLength == -1) maxLength = MaxLineLength;
  lineWasSplit_ = false;
  lineGaveUp_ = false;
  const std::size_t limit = maxLength > 0 ? static_cast<std::size_t>(maxLength) : 0;
  std::size_t pos = 0;
  std::size_t scanned = 0;
  for (;;) {
    const std::size_t size = static_cast<std::size_t>(inputQueue_.Size());
    if (size > 0) {
      // Back up so a terminator split across two fills is still found.
      std::size_t from = scanned >= terminator.size() ? scanned - (terminator.size() - 1) : 0;
      pos = FindTerminator(std::string_view(inputQueue_.UnreadData(), size), terminator, from);
      scanned = size;
    }
    if (pos != 0) {
      if (limit != 0 && pos - 1 > limit) return SplitOrRaise(maxLength);
      std::string line =
          inputQueue_.TakeString(static_cast<std::int64_t>(pos + terminator.size() - 1));
      line.resize(line.size() - terminator.size());
      if (terminator == "\n" && !line.empty() && line.back() == '\r') line.pop_back();
      return line;
    }
    // Past the limit only the first bytes of a longer terminator may stand;
    // anything else can no longer end a line within the limit.
    if (limit != 0 && scanned > limit &&
        !std::string_view(terminator)
             .starts_with(std::string_view(inputQueue_.UnreadData() + limit, scanned - limit))) {
      return SplitOrRaise(maxLength);
    }
    // Bytes may be queued, but a line needs more: a close raises now.
    EnsureOpen(true, true);
    if (FillInput(true, timeout, timeout == IdTimeoutDefault) == 0) {
      lineGaveUp_ = true;
      return {};
    }
  }
}

std::string TIdTCPConnection::ReadLineNonBlank(int tries) {
  std::string result;
  for (int i = 0; i < tries && result.empty(); ++i) {
    std::string line = ReadLine("\n", -1, -1);
    std::size_t first = 0, last = line.size();
    while (first < last && IsBlankOrControl(line[first]))
      ++first;
    while (last > first && IsBlankOrControl(line[last - 1]))
      --last;
    result = line.substr(first, last - first);
  }
  return result;
}

void TIdTCPConnection::WaitQueued(std::int64_t count) {
  while (inputQueue_.Size() < count) {
    FillInput(true, IdTimeoutDefault, true);
    EnsureOpen(true, true);
  }
}

void TIdTCPConnection::ReadExact(void* buffer, int count) {
  if (count <= 0 || buffer == nullptr) return;
  WaitQueued(count);
  std::memcpy(buffer, inputQueue_.UnreadData(), static_cast<std::size_t>(count));
  inputQueue_.Consume(count);
}

// Queue to stream without a copy in between; Consume reports the read work.
void TIdTCPConnection::WriteQueued(TStream& stream, std::int64_t count) {
  stream.WriteBuffer(inputQueue_.UnreadData(), count);
  inputQueue_.Consume(count);
}

// One exact-count block received straight into the stream's memory. Until the
// block is whole its bytes count as queued, and a block that a close or an
// error interrupts leaves them in the queue, as a read through it would.
std::int64_t TIdTCPConnection::ReceiveInPlace(TStream& stream, char* room, int count,
                                              bool untilClose) {
  int got = 0;
  const auto requeue = [&] {
    inPlacePending_ = 0;
    inputQueue_.Append(room, static_cast<std::size_t>(got));
  };
  try {
    while (got < count) {
      inPlacePending_ = got;
      got += std::max(Fill(room + got, count - got, true, IdTimeoutDefault, true), 0);
      EnsureOpen(true, true);
    }
  } catch (const EIdConnClosedGracefully&) {
    if (!untilClose) {
      requeue();
      throw;
    }
  } catch (...) {
    requeue();
    throw;
  }
  inPlacePending_ = 0;
  stream.Wrote(got);
  if (got > 0) AddWork(wmRead, got);
  return got;
}

void TIdTCPConnection::ReadToStream(TStream& stream, std::int64_t count, bool untilClose) {
  if (count == -1 && !untilClose) count = ReadInt32(true);
  const std::int64_t start = stream.Position();
  // Pre-sized, but no further than a hostile announced count may push it.
  if (count >= 0) stream.SetSizeAhead(start + std::min(count, kMostReservedAhead));
  // Until close has no byte limit: a body beyond 2 GiB must not be cut short.
  std::int64_t remaining = untilClose ? std::numeric_limits<std::int64_t>::max() : count;
  OpenWork(wmRead, untilClose ? 0 : count);
  // A pre-sized stream that got fewer bytes, or a reused one, keeps no tail.
  const auto cutTail = [&stream] {
    const std::int64_t at = stream.Position();
    if (stream.Size() > at) stream.SetSize(at);
  };
  try {
    if (inputQueue_.Size() > 0 && remaining > 0) {
      const std::int64_t n = std::min(inputQueue_.Size(), remaining);
      WriteQueued(stream, n);
      remaining -= n;
    }
    const std::int64_t block =
        std::min<std::int64_t>(remaining, RecvBufferSize > 0 ? RecvBufferSize : 1);
    while (remaining > 0 && IsConnected()) {
      std::int64_t n = std::min(remaining, block);
      char* room = inputQueue_.Size() == 0 && intercept_ == nullptr ? stream.WriteRoom(n) : nullptr;
      if (room != nullptr) {
        n = ReceiveInPlace(stream, room, static_cast<int>(n), untilClose);
      } else {
        try {
          WaitQueued(n);
        } catch (const EIdConnClosedGracefully&) {
          if (!untilClose) throw;
          n = inputQueue_.Size();
        }
        if (n > 0) WriteQueued(stream, n);
      }
      remaining -= n;
    }
    // A close seen before the count was reached is the same short read.
    if (!untilClose && remaining > 0) throw EIdConnClosedGracefully(RSConnectionClosedGracefully);
  } catch (...) {
    CloseWork(wmRead);
    cutTail();
    throw;
  }
  CloseWork(wmRead);
  cutTail();
}

std::int32_t TIdTCPConnection::ReadInt32(bool networkOrder) {
  std::uint32_t value = 0;
  ReadExact(&value, 4);
  if (networkOrder) value = GStack()->NetToHost32(value);
  return static_cast<std::int32_t>(value);
}

std::string TIdTCPConnection::TakeInput() {
  if (IsConnected()) FillInput(false, IdTimeoutDefault, true);
  return inputQueue_.TakeString(inputQueue_.Size());
}

std::string TIdTCPConnection::ReadUntilClosed() {
  std::string result;
  OpenWork(wmRead, 0);
  try {
    while (IsConnected())
      result += TakeInput();
  } catch (...) {
    CloseWork(wmRead);
    throw;
  }
  CloseWork(wmRead);
  return result;
}

}  // namespace vantro
