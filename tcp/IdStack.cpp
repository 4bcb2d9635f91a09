#include "tcp/IdStack.h"

#include <algorithm>
#include <mutex>

#include "rtl/AnsiText.h"
#include "tcp/IdException.h"
#include "tcp/IdResourceStrings.h"

namespace vantro {

namespace {

struct TCodeText {
  int Code;
  const char* Text;
};

constexpr TCodeText kErrorTexts[] = {
    {10004, "Interrupted system call."},
    {10009, "Bad file number."},
    {10013, "Access denied."},
    {10014, "Bad address."},
    {10022, "Invalid argument."},
    {10024, "Too many open files."},
    {10035, "Operation would block. "},
    {10036, "Operation now in progress."},
    {10037, "Operation already in progress."},
    {10038, "Socket operation on non-socket."},
    {10039, "Destination address required."},
    {10040, "Message too long."},
    {10041, "Protocol wrong type for socket."},
    {10042, "Bad protocol option."},
    {10043, "Protocol not supported."},
    {10044, "Socket type not supported."},
    {10045, "Operation not supported on socket."},
    {10046, "Protocol family not supported."},
    {10047, "Address family not supported by protocol family."},
    {10048, "Address already in use."},
    {10049, "Cannot assign requested address."},
    {10050, "Network is down."},
    {10051, "Network is unreachable."},
    {10052, "Net dropped connection or reset."},
    {10053, "Software caused connection abort."},
    {10054, "Connection reset by peer."},
    {10055, "No buffer space available."},
    {10056, "Socket is already connected."},
    {10057, "Socket is not connected."},
    {10058, "Cannot send or receive after socket is closed."},
    {10059, "Too many references, cannot splice."},
    {10060, "Connection timed out."},
    {10061, "Connection refused."},
    {10062, "Too many levels of symbolic links."},
    {10063, "File name too long."},
    {10064, "Host is down."},
    {10065, "No route to host."},
    {10066, "Directory not empty"},
};

std::mutex& StackLock() {
  static std::mutex lock;
  return lock;
}
int liveComponentCount = 0;                  // guarded by StackLock
std::unique_ptr<TIdStack> sharedStackOwner;  // guarded by StackLock
std::atomic<TIdStack*> sharedStack{nullptr};

}  // namespace

TIdStackSocketHandle TIdSocketList::Items(int index) const {
  if (index < 0 || index >= Count()) throw EIdStackSetSizeExceeded(RSSetSizeExceeded);
  return ids_[static_cast<std::size_t>(index)];
}

void TIdSocketList::Add(TIdStackSocketHandle id) {
  if (Count() >= kMaxSockets) throw EIdStackSetSizeExceeded(RSSetSizeExceeded);
  ids_.push_back(id);
}

void TIdSocketList::Remove(TIdStackSocketHandle id) {
  auto it = std::find(ids_.begin(), ids_.end(), id);
  if (it == ids_.end()) return;
  *it = ids_.back();
  ids_.pop_back();
}

std::string TIdStack::FirstLocalAddress() {
  TStringList& list = LocalAddresses();
  return list.Count() > 0 ? list[0] : std::string();
}

TStringList& TIdStack::AddressList() {
  if (!localAddresses_) localAddresses_ = std::make_unique<TStringList>();
  return *localAddresses_;
}

TStringList& TIdStack::LocalAddresses() {
  FillLocalAddresses();
  return AddressList();
}

const char* TIdStack::CodeText(int code) {
  for (const TCodeText& entry : kErrorTexts) {
    if (entry.Code == code) return entry.Text;
  }
  return "";
}

int TIdStack::PortOfNumber(const std::string& name) {
  std::int32_t port = 0;
  if (!TryStrToInt(name, port)) {
    throw EIdInvalidServiceName(FormatText(RSInvalidServiceName, name.c_str()));
  }
  return port;
}

std::string TIdStack::ErrorText(int code) {
  return FormatText(RSStackError, code, CodeText(code));
}

std::string TIdStack::AddrToText(const TIdInAddr& addr) {
  return IntToStr(addr.Bytes[0]) + "." + IntToStr(addr.Bytes[1]) + "." + IntToStr(addr.Bytes[2]) +
         "." + IntToStr(addr.Bytes[3]);
}

TIdInAddr TIdStack::TextToAddr(const std::string& text) {
  TIdInAddr addr;
  std::size_t start = 0;
  for (int part = 0; part < 4; ++part) {
    std::size_t dot = part < 3 ? text.find('.', start) : std::string::npos;
    std::string piece = text.substr(start, dot == std::string::npos ? dot : dot - start);
    addr.Bytes[part] = static_cast<std::uint8_t>(StrToIntDef(Trim(piece), 0));
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  return addr;
}

bool TIdStack::CheckResult(int result, std::initializer_list<int> ignore) {
  if (result != Id_SOCKET_ERROR) return false;
  const int code = LastErrorCode();
  lastSocketError_ = code;
  if (std::find(ignore.begin(), ignore.end(), code) != ignore.end()) return true;
  RaiseForCode(code);
}

void TIdStack::RaiseForCode(int code) {
  throw EIdSocketError(code, ErrorText(code));
}

TIdStackSocketHandle TIdStack::NewSocket(int type, int protocol) {
  TIdStackSocketHandle socket = OpenSocket(Id_PF_INET, type, protocol);
  if (socket == Id_INVALID_SOCKET) throw EIdInvalidSocket(RSCannotAllocateSocket);
  return socket;
}

std::string TIdStack::ResolveToIP(const std::string& host) {
  if (SameText(host, "LOCALHOST")) return "127.0.0.1";
  if (IsDottedQuad(host)) return host;
  return LookupHost(host);
}

bool TIdStack::IsDottedQuad(const std::string& text) {
  std::size_t start = 0;
  for (int part = 0; part < 4; ++part) {
    std::size_t dot = part < 3 ? text.find('.', start) : std::string::npos;
    if (part < 3 && dot == std::string::npos) {
      // Fewer than three dots: the missing parts are empty and no number.
      return false;
    }
    std::string piece = text.substr(start, dot == std::string::npos ? dot : dot - start);
    std::int32_t value = 0;
    if (!TryStrToInt(piece, value) || value < 0 || value > 255) return false;
    start = dot + 1;
  }
  return true;
}

TIdStack* GStack() {
  return sharedStack.load(std::memory_order_acquire);
}

void AcquireSharedStack() {
  std::lock_guard<std::mutex> guard(StackLock());
  if (liveComponentCount++ == 0) {
    sharedStackOwner = NewPlatformStack();
    sharedStack.store(sharedStackOwner.get(), std::memory_order_release);
  }
}

void ReleaseSharedStack() {
  std::lock_guard<std::mutex> guard(StackLock());
  if (liveComponentCount-- == 1) {
    sharedStack.store(nullptr, std::memory_order_release);
    sharedStackOwner.reset();
  }
}

}  // namespace vantro
