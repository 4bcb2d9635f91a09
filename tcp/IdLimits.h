// The network library's limits in one place, each with why it is what it is.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vantro {

// The longest line a read accepts by default: far past any real status or
// header line (nginx and Apache refuse header lines beyond 8 KiB), yet no
// way for a peer to make us hold an endless line.
inline constexpr int kDefaultMaxLineLength = 16384;

// Room reserved ahead in a stream for a body whose length the peer announces:
// the count is the peer's word, and a hostile one must not make us allocate
// gigabytes before a byte has come.
inline constexpr std::int64_t kMostReservedAhead = std::int64_t{64} << 20;

// How long the body of an error answer may take before the protocol error is
// raised with what arrived: the status must not wait on a slow body.
inline constexpr int kErrorBodyReadTimeoutMs = 2000;

// How long the body of an answer the client skips (a redirect, a challenge it
// answers) may take before it is given up on.
inline constexpr int kSkippedBodyReadTimeoutMs = 4000;

// Hex digits a chunk size may have: 15 reach 2^60 bytes, past any real
// chunk, and cannot overflow a 64-bit count.
inline constexpr std::size_t kMostChunkSizeDigits = 15;

// Decimal digits a Content-Length may have: 18 reach an exabyte, past any
// real body, and cannot overflow a 64-bit count.
inline constexpr std::size_t kMostContentLengthDigits = 18;

// The bytes of an answer's status line and header lines together: what
// Chromium accepts (256 KiB), far past real heads, yet no way for a peer to
// make us hold a head without end.
inline constexpr std::size_t kMostResponseHeadBytes = 256 * 1024;

// Interim 1xx answers before the final one: a server sends one or two (100
// Continue, 103 Early Hints); more is a peer that keeps us reading.
inline constexpr int kMostInterimAnswers = 32;

// The whole time an error body (or a body the client skips) may take, however
// steadily it trickles: the status must not wait on it.
inline constexpr int kMostSideBodyTimeMs = 5000;

// A header line written longer than this is folded onto continuation lines
// (response records only: request lines are never folded, RFC 9112 section 5.2).
inline constexpr int kHeaderFoldWidth = 1024;

// What a connect without a time-out may take while a GUI hook keeps the
// caller's messages running.
inline constexpr int kHookConnectTimeoutMs = 120000;

// One system socket set holds 64 socket ids (Winsock's FD_SETSIZE).
inline constexpr int kMaxSocketsPerSet = 64;

// The input queue moves its unread bytes to the front once this many have
// been read, so it neither grows without end nor copies on every read.
inline constexpr std::size_t kBufferCompactAt = 32768;

}  // namespace vantro
