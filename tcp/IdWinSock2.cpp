#include "tcp/IdWinSock2.h"

#include <string>

#include "tcp/IdException.h"
#include "tcp/IdResourceStrings.h"
#include "tcp/IdStackConsts.h"

namespace vantro {

namespace {

constexpr const char* kLibraryName = "WS2_32.DLL";

// Row order is fixed; the A/W-less rows at the end bind to the "A" exports.
constexpr const char* kExportNames[] = {"WSACleanup",
                                        "accept",
                                        "bind",
                                        "closesocket",
                                        "connect",
                                        "ioctlsocket",
                                        "getpeername",
                                        "getsockname",
                                        "getsockopt",
                                        "htonl",
                                        "htons",
                                        "inet_addr",
                                        "inet_ntoa",
                                        "listen",
                                        "ntohl",
                                        "ntohs",
                                        "recv",
                                        "recvfrom",
                                        "select",
                                        "send",
                                        "sendto",
                                        "setsockopt",
                                        "shutdown",
                                        "socket",
                                        "gethostbyaddr",
                                        "gethostbyname",
                                        "gethostname",
                                        "getservbyport",
                                        "getservbyname",
                                        "getprotobynumber",
                                        "getprotobyname",
                                        "WSASetLastError",
                                        "WSAGetLastError",
                                        "WSAIsBlocking",
                                        "WSAUnhookBlockingHook",
                                        "WSASetBlockingHook",
                                        "WSACancelBlockingCall",
                                        "WSAAsyncGetServByName",
                                        "WSAAsyncGetServByPort",
                                        "WSAAsyncGetProtoByName",
                                        "WSAAsyncGetProtoByNumber",
                                        "WSAAsyncGetHostByName",
                                        "WSAAsyncGetHostByAddr",
                                        "WSACancelAsyncRequest",
                                        "WSAAsyncSelect",
                                        "__WSAFDIsSet",
                                        "WSAAccept",
                                        "WSACloseEvent",
                                        "WSAConnect",
                                        "WSACreateEvent",
                                        "WSADuplicateSocketA",
                                        "WSADuplicateSocketW",
                                        "WSAEnumNetworkEvents",
                                        "WSAEnumProtocolsA",
                                        "WSAEnumProtocolsW",
                                        "WSAEventSelect",
                                        "WSAGetOverlappedResult",
                                        "WSAGetQosByName",
                                        "WSAHtonl",
                                        "WSAHtons",
                                        "WSAIoctl",
                                        "WSAJoinLeaf",
                                        "WSANtohl",
                                        "WSANtohs",
                                        "WSARecv",
                                        "WSARecvDisconnect",
                                        "WSARecvFrom",
                                        "WSAResetEvent",
                                        "WSASend",
                                        "WSASendDisconnect",
                                        "WSASendTo",
                                        "WSASetEvent",
                                        "WSASocketA",
                                        "WSASocketW",
                                        "WSAWaitForMultipleEvents",
                                        "WSAAddressToStringA",
                                        "WSAAddressToStringW",
                                        "WSAStringToAddressA",
                                        "WSAStringToAddressW",
                                        "WSALookupServiceBeginA",
                                        "WSALookupServiceBeginW",
                                        "WSALookupServiceNextA",
                                        "WSALookupServiceNextW",
                                        "WSALookupServiceEnd",
                                        "WSAInstallServiceClassA",
                                        "WSAInstallServiceClassW",
                                        "WSARemoveServiceClass",
                                        "WSAGetServiceClassInfoA",
                                        "WSAGetServiceClassInfoW",
                                        "WSAEnumNameSpaceProvidersA",
                                        "WSAEnumNameSpaceProvidersW",
                                        "WSAGetServiceClassNameByClassIdA",
                                        "WSAGetServiceClassNameByClassIdW",
                                        "WSASetServiceA",
                                        "WSASetServiceW",
                                        "WSAProviderConfigChange",
                                        "WSADuplicateSocketA",
                                        "WSAEnumProtocolsA",
                                        "WSASocketA",
                                        "WSAAddressToStringA",
                                        "WSAStringToAddressA",
                                        "WSALookupServiceBeginA",
                                        "WSALookupServiceNextA",
                                        "WSAInstallServiceClassA",
                                        "WSAGetServiceClassInfoA",
                                        "WSAEnumNameSpaceProvidersA",
                                        "WSAGetServiceClassNameByClassIdA",
                                        "WSASetServiceA",
                                        "TransmitFile",
                                        "AcceptEx",
                                        "GetAcceptExSockaddrs",
                                        "WSARecvEx"};
static_assert(sizeof kExportNames / sizeof kExportNames[0] == wsRowCount);

std::atomic<HMODULE> library{nullptr};

}  // namespace

std::string SystemErrorText(DWORD code) {
  char buffer[512] = {};
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                code, 0, buffer, sizeof buffer, nullptr);
  std::string text(buffer, length);
  while (!text.empty() && (static_cast<unsigned char>(text.back()) <= ' ' || text.back() == '.')) {
    text.pop_back();
  }
  return text;
}

namespace ws2detail {
std::atomic<FARPROC> entryPoints[wsRowCount];
}

const char* Ws2ExportName(int row) {
  return kExportNames[row];
}

FARPROC BindOnFirstUse(int row) {
  HMODULE module = library.load();
  if (module == nullptr) {
    throw EIdWS2StubError(Id_WSANOTINITIALISED, SystemErrorText(Id_WSANOTINITIALISED),
                          FormatText(RSWinsockCallError, kExportNames[row]));
  }
  FARPROC entry = GetProcAddress(module, kExportNames[row]);
  if (entry == nullptr) {
    const DWORD code = GetLastError();
    throw EIdWS2StubError(static_cast<int>(code), SystemErrorText(code),
                          FormatText(RSWinsockCallError, kExportNames[row]));
  }
  ws2detail::entryPoints[row].store(entry, std::memory_order_release);
  return entry;
}

int LibraryStartup(WORD version, WSADATA& data) {
  if (library.load() != nullptr) return 0;
  HMODULE module = LoadLibraryA(kLibraryName);
  if (module == nullptr) {
    const DWORD code = GetLastError();
    throw EIdWS2StubError(static_cast<int>(code), SystemErrorText(code),
                          FormatText(RSWinsockLoadError, kLibraryName));
  }
  HMODULE expected = nullptr;
  if (!library.compare_exchange_strong(expected, module)) FreeLibrary(module);
  using TStartup = int(WINAPI*)(WORD, LPWSADATA);
  auto startup = reinterpret_cast<TStartup>(
      reinterpret_cast<void*>(GetProcAddress(library.load(), "WSAStartup")));
  if (startup == nullptr) return static_cast<int>(GetLastError());
  return startup(version, &data);
}

void UnloadLibrary() {
  HMODULE module = library.exchange(nullptr);
  if (module == nullptr) return;
  FreeLibrary(module);
  for (auto& entry : ws2detail::entryPoints)
    entry.store(nullptr);
}

}  // namespace vantro
