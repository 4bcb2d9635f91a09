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

// Content-Length is digits only (RFC 9110 section 8.6); a list of equal
// values, as a proxy may join repeated lines, is one value. -1: there is none.
std::int64_t StrictContentLength(const TIdHeaderList& lines) {
  TStringList values;
  lines.CollectValues("Content-Length", &values);
  std::int64_t length = -1;
  for (int i = 0; i < values.Count(); ++i) {
    std::string list = values[i];
    do {
      const std::string text = Trim(CutToken(list, ","));
      const bool number = !text.empty() && text.size() <= kMostContentLengthDigits &&
                          text.find_first_not_of("0123456789") == std::string::npos;
      std::int64_t value = 0;
      for (std::size_t i = 0; number && i < text.size(); ++i)
        value = value * 10 + (text[i] - '0');
      if (!number || (length >= 0 && value != length))
        throw EIdHTTPFramingError("Invalid Content-Length: \"" + values[i] + "\"");
      length = value;
    } while (!list.empty());
  }
  return length;
}

// Whether chunked is the last coding of the Transfer-Encoding list (RFC 9112
// section 6.3): only then does the body end with its last chunk.
bool EndsChunked(const TStringList& codings) {
  std::string last;
  for (int i = 0; i < codings.Count(); ++i) {
    std::string list = codings[i];
    while (!list.empty()) {
      std::string coding = Trim(CutToken(list, ","));
      if (!coding.empty()) last = std::move(coding);
    }
  }
  // Coding names are case-insensitive (RFC 9112 section 7).
  return SameText(last, "chunked");
}

// Drops what is written, so that a body nobody asked for still leaves the
// connection in step.
class TDiscardStream : public TStream {
 public:
  std::int64_t Read(void*, std::int64_t) override { return 0; }
  std::int64_t Write(const void*, std::int64_t count) override {
    position_ += std::max<std::int64_t>(count, 0);
    return count;
  }
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override {
    if (origin == TSeekOrigin::soBeginning) position_ = std::max<std::int64_t>(offset, 0);
    if (origin == TSeekOrigin::soCurrent) position_ = std::max<std::int64_t>(position_ + offset, 0);
    return position_;
  }
  std::int64_t Size() const override { return position_; }
  void SetSize(std::int64_t) override {}

 private:
  std::int64_t position_ = 0;
};

}  // namespace

bool TIdHTTPProtocol::AnswerHasBody() {
  // RFC 9110 section 6.4.1: whatever the head announces, these carry none.
  const int code = response_->StatusCode();
  return request_->Verb != hmHead && !(code >= 100 && code < 200) && code != 204 && code != 304;
}

void TIdHTTPProtocol::DecideFraming() {
  TIdHTTPResponse& response = *response_;
  const std::int64_t length = StrictContentLength(response.HeaderLines());
  response.SetContentLength(length);
  TStringList codings;
  response.HeaderLines().CollectValues("Transfer-Encoding", &codings);
  if (codings.Empty()) {
    response.Framing = length >= 0 ? TIdBodyFraming::Length : TIdBodyFraming::UntilClose;
    return;
  }
  // Transfer-Encoding wins over Content-Length; an answer with both may have
  // been framed apart by someone on the way, and the connection is not
  // trusted with another request (RFC 9112 section 6.3).
  response.Framing = EndsChunked(codings) ? TIdBodyFraming::Chunked : TIdBodyFraming::UntilClose;
  response.EndsConnection = response.EndsConnection || length >= 0;
}

void TIdHTTPProtocol::ReadBody() {
  if (!AnswerHasBody()) return;
  TDiscardStream nowhere;
  TStream& dest = response_->BodyStream != nullptr ? *response_->BodyStream : nowhere;
  switch (response_->Framing) {
    case TIdBodyFraming::Length:
      if (response_->ContentLength() > 0) ReadBodyBytes(dest, response_->ContentLength(), false);
      break;
    case TIdBodyFraming::Chunked:
      ReadChunkedBody(dest);
      break;
    case TIdBodyFraming::UntilClose:
      ReadBodyBytes(dest, -1, true);
      break;
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
