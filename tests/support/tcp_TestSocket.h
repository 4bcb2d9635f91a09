// Plain loopback sockets for the test servers, the same on Linux and under
// Wine: the servers must not depend on the transport they test.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vantro::test {

using RawSocket = std::intptr_t;
inline constexpr RawSocket kNoSocket = -1;

// A listening socket on 127.0.0.1 and an ephemeral port.
RawSocket ListenLoopback(int backlog, int& port);
// Waits up to ms for a connection; kNoSocket when none came.
RawSocket AcceptWithin(RawSocket listening, int ms);
void CloseRaw(RawSocket socket);
// Closes with a reset (RST) rather than an orderly close.
void ResetRaw(RawSocket socket);
// Every later receive and send on socket gives up after ms.
void SetSocketTimeouts(RawSocket socket, int ms);
bool SendAllRaw(RawSocket socket, std::string_view bytes);
// Up to max bytes; empty on close, error or time-out.
std::string ReceiveRaw(RawSocket socket, int max);
// A connect that does not complete within ms leaves the socket connecting;
// returns whether it completed.
bool ConnectLoopbackWithin(RawSocket& socket, int port, int ms);
// A port on 127.0.0.1 that nothing listens on (just released by the system).
int UnusedPort();
// A socket bound to 127.0.0.1:port (0: any), not listening; kNoSocket when taken.
RawSocket BindLoopback(int port);

}  // namespace vantro::test
