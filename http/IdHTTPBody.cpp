// Reading an answer's body by its framing: a length, chunks or the close.
// A body that ends before its framing says raises, with the bytes that did
// come left in the caller's stream.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "http/IdGlobal.h"
#include "http/IdHTTP.h"
#include "rtl/AnsiText.h"
#include "rtl/Convert.h"
#include "tcp/IdLimits.h"

namespace vantro {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// A chunk-size line: hex digits, then nothing, or blanks or ";" before
// extensions (RFC 9112 section 7.1.1), which carry nothing the client uses.
bool ParseChunkSize(std::string_view line, std::int64_t& size) {
  std::size_t end = 0;
  while (end < line.size() && HexDigitValue(line[end]) >= 0)
    ++end;
  if (end == 0 || end > kMostChunkSizeDigits) return false;
  if (end < line.size() && !IsBlank(line[end]) && line[end] != ';') return false;
  size = 0;
  for (std::size_t i = 0; i < end; ++i)
    size = size * 16 + HexDigitValue(line[i]);
  return true;
}

[[noreturn]] void RaiseCut(const std::string& what) {
  throw EIdHTTPFramingError("Connection closed " + what + ".");
}

}  // namespace

bool TIdHTTPProtocol::AnswerHasBody() {
  // RFC 9110 section 6.4.1: whatever the head announces, these carry none.
  const int code = response_->StatusCode();
  return request_->Verb != hmHead && !(code >= 100 && code < 200) && code != 204 && code != 304;
}

bool TIdHTTPProtocol::AnswerIsChunked() const {
  // Coding names are case-insensitive (RFC 9112 section 7).
  return TextPos("CHUNKED", UpperCase(response_->HeaderLines().ValueOf("Transfer-Encoding"))) > 0;
}

void TIdHTTPProtocol::ReadBody() {
  TStream* dest = response_->BodyStream;
  if (dest == nullptr || !AnswerHasBody()) return;
  const std::int64_t length = response_->ContentLength();
  if (length > 0) {
    ReadBodyBytes(*dest, length, false);
  } else if (AnswerIsChunked()) {
    ReadChunkedBody(*dest);
  } else if (!response_->ContentLengthGiven()) {
    ReadBodyBytes(*dest, -1, true);
  }
}

void TIdHTTPProtocol::ReadBodyBytes(TStream& dest, std::int64_t count, bool untilClose) {
  const std::int64_t start = dest.Position();
  try {
    http_.ReadToStream(dest, count, untilClose);
  } catch (const EIdException&) {
    // A read cut short leaves the bytes that came during it in the queue:
    // they are the body's, and the caller keeps them.
    TIdManagedBuffer& queue = http_.InputQueue();
    const std::int64_t queued =
        untilClose ? queue.Size() : std::min(queue.Size(), count - (dest.Position() - start));
    if (queued > 0) {
      dest.WriteBuffer(queue.UnreadData(), queued);
      queue.Consume(queued);
    }
    if (http_.IsConnected() || untilClose) throw;
    RaiseCut("after " + IntToStr(dest.Position() - start) + " of " + IntToStr(count) +
             " body bytes");
  }
}

void TIdHTTPProtocol::ReadChunkedBody(TStream& dest) {
  http_.NotifyStatus(hsStatusText, "Chunk Started");
  try {
    for (std::int64_t size = ReadChunkSize(); size > 0; size = ReadChunkSize()) {
      ReadBodyBytes(dest, size, false);
      // RFC 9112 section 7.1: chunk data ends with a line end of its own.
      if (!http_.ReadLine("\n").empty())
        throw EIdHTTPFramingError("Chunk data longer than its size.");
    }
  } catch (const EIdConnClosedGracefully&) {
    RaiseCut("inside a chunked body");
  }
  // The trailer section ends at an empty line (RFC 9112 section 7.1.2); a
  // close instead of it loses nothing of the body.
  try {
    while (!http_.ReadLine("\n").empty()) {
    }
  } catch (const EIdConnClosedGracefully&) {
  }
}

std::int64_t TIdHTTPProtocol::ReadChunkSize() {
  const std::string line = http_.ReadLine("\n");
  std::int64_t size = 0;
  if (!ParseChunkSize(line, size))
    throw EIdHTTPFramingError("Invalid chunk size: \"" + line + "\"");
  return size;
}

}  // namespace vantro
