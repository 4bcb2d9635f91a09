// Socket constants in the numbering the layers above the stack speak: the
// Winsock values, which every stack (Windows or POSIX) translates to its own.
#pragma once

#include <cstdint>

namespace vantro {

using TIdStackSocketHandle = std::intptr_t;

inline constexpr TIdStackSocketHandle Id_INVALID_SOCKET = -1;
inline constexpr int Id_SOCKET_ERROR = -1;

inline constexpr int Id_PF_INET = 2;
inline constexpr int Id_SOCK_STREAM = 1;
inline constexpr int Id_SOCK_DGRAM = 2;
inline constexpr int Id_IPPROTO_TCP = 6;
inline constexpr int Id_TCP_NODELAY = 1;

inline constexpr int Id_SOL_SOCKET = 0xffff;
inline constexpr int Id_SO_REUSEADDR = 0x0004;
inline constexpr int Id_SO_KEEPALIVE = 0x0008;
inline constexpr int Id_SO_LINGER = 0x0080;
inline constexpr int Id_SO_SNDBUF = 0x1001;
inline constexpr int Id_SO_RCVBUF = 0x1002;

inline constexpr int Id_SD_Recv = 0;
inline constexpr int Id_SD_Send = 1;
inline constexpr int Id_SD_Both = 2;

// A wait without any limit.
inline constexpr int IdTimeoutInfinite = -2;
// Use the component's ReadTimeout.
inline constexpr int IdTimeoutDefault = -1;

// The socket error codes the transport reacts to by number.
inline constexpr int Id_WSAEINTR = 10004;
inline constexpr int Id_WSAEBADF = 10009;
inline constexpr int Id_WSAENOTSOCK = 10038;
inline constexpr int Id_WSAEADDRINUSE = 10048;
inline constexpr int Id_WSAECONNABORTED = 10053;
inline constexpr int Id_WSAECONNRESET = 10054;
inline constexpr int Id_WSAESHUTDOWN = 10058;
inline constexpr int Id_WSAETIMEDOUT = 10060;
inline constexpr int Id_WSAECONNREFUSED = 10061;
inline constexpr int Id_WSANOTINITIALISED = 10093;
inline constexpr int Id_WSAHOST_NOT_FOUND = 11001;
inline constexpr int Id_WSATRY_AGAIN = 11002;
inline constexpr int Id_WSANO_RECOVERY = 11003;
inline constexpr int Id_WSANO_DATA = 11004;

}  // namespace vantro
