// Run-time binding of "WS2_32.DLL": loaded by name, never linked; every entry
// point is looked up on its first call and called directly afterwards.
#pragma once

#include <windows.h>
#include <winsock2.h>

#include <atomic>
#include <string>

namespace vantro {

// Rows of the binding table that the stack calls (the table has all 112).
enum TWs2Row : int {
  wsWSACleanup = 0,
  wsAccept,
  wsBind,
  wsCloseSocket,
  wsConnect,
  wsIoctlSocket,
  wsGetPeerName,
  wsGetSockName,
  wsGetSockOpt,
  wsHtonl,
  wsHtons,
  wsInetAddr,
  wsInetNtoa,
  wsListen,
  wsNtohl,
  wsNtohs,
  wsRecv,
  wsRecvFrom,
  wsSelect,
  wsSend,
  wsSendTo,
  wsSetSockOpt,
  wsShutdown,
  wsSocket,
  wsGetHostByAddr,
  wsGetHostByName,
  wsGetHostName,
  wsGetServByPort,
  wsGetServByName,
  wsGetProtoByNumber,
  wsGetProtoByName,
  wsWSASetLastError,
  wsWSAGetLastError,
  wsRowCount = 112
};

// The system's text for an error code, without its line end and full stop;
// empty when the system has none.
std::string SystemErrorText(DWORD code);

// The export name of a row.
const char* Ws2ExportName(int row);
// Looks the row's export up in the loaded library and keeps it for later calls.
FARPROC BindOnFirstUse(int row);
// 0 at once when the library is loaded already; else loads it and calls WSAStartup.
int LibraryStartup(WORD version, WSADATA& data);
// Frees the library and returns every row to its first-call state.
void UnloadLibrary();

namespace ws2detail {
extern std::atomic<FARPROC> entryPoints[wsRowCount];
}

// The entry point of a row as the function type F.
template <class F>
F Ws2Entry(int row) {
  FARPROC entry = ws2detail::entryPoints[row].load(std::memory_order_acquire);
  if (entry == nullptr) entry = BindOnFirstUse(row);
  return reinterpret_cast<F>(reinterpret_cast<void*>(entry));
}

}  // namespace vantro
