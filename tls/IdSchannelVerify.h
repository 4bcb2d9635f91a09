// The server certificate's checks on Windows, through the system's chain
// engine and its SSL policy: a chain to a trusted root (the system's Root
// store, or a root of the CAFile), the host's name or address, the dates.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "tls/IdSchannelApi.h"
#include "tls/IdTLSSession.h"

namespace vantro {

// The four bytes of a dotted IPv4 literal ("127.0.0.1"); none for a name.
std::optional<std::array<unsigned char, 4>> IPv4Literal(const std::string& host);

// Raises EIdSSLProtocolReplyError saying which check failed for which host.
void VerifyServerCertificate(const TSchannelApi& api, PCCERT_CONTEXT certificate,
                             const TIdTLSSettings& settings);

// "host: text", the form of every refusal that names no other host.
std::string TLSFailureText(const std::string& host, const std::string& text);
// The system's text for a TLS or certificate status, or its number.
std::string TLSStatusText(long status);

}  // namespace vantro
