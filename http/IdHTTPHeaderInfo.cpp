#include "http/IdHTTPHeaderInfo.h"

#include <optional>

#include "http/IdDateTime.h"
#include "http/IdGlobal.h"
#include "rtl/AnsiText.h"
#include "rtl/Convert.h"
#include "tcp/IdLimits.h"

namespace vantro {

namespace {

constexpr const char* kDefaultUserAgent = "Mozilla/3.0 (compatible; Vantro)";

void CopyLines(TStringList& dest, const TStringList& source) {
  if (&dest == &source) return;
  dest.Clear();
  dest.AddStrings(source);
}

void SetWhenGiven(TIdHeaderList& lines, std::string_view name, const std::string& value) {
  if (!value.empty()) lines.SetValueOf(name, value);
}

void SetDateWhenGiven(TIdHeaderList& lines, std::string_view name, TDateTime value) {
  if (value > 0) lines.SetValueOf(name, FormatInternetDate(value));
}

// Copies the named fields of a record into dest when dest is a record of its
// kind; false when it is not.
template <class Record, class... Fields>
bool CopyFieldsInto(const Record& source, TPersistent& dest, Fields... fields) {
  auto* target = dynamic_cast<Record*>(&dest);
  if (target == nullptr) return false;
  ((target->*fields = source.*fields), ...);
  return true;
}

// A Content-Range position the client only records: 0 (unknown) when it is
// no number of 32 bits, such as the "*" of a 416 answer.
std::uint32_t RangePositionOrZero(const std::string& text) {
  std::int64_t value = 0;
  const bool fits = TryStrToInt64(Trim(text), value) && value >= 0 && value <= UINT32_MAX;
  return fits ? static_cast<std::uint32_t>(value) : 0;
}

std::uint32_t DecimalOrZero(const std::string& text) {
  return static_cast<std::uint32_t>(StrToIntDef(text, 0));
}

// The credentials line of a request or of its proxy: from the scheme object
// when there is one, else from a Basic object made for the user and password.
void SetCredentialsLine(TIdHeaderList& lines, std::string_view name,
                        std::unique_ptr<TIdAuthentication>& authObject, bool basic,
                        std::string_view username, std::string_view password) {
  if (!authObject) {
    if (!basic) return;
    authObject = std::make_unique<TIdBasicAuthentication>();
    authObject->SetUserNameValue(username);
    authObject->SetPasswordValue(password);
  }
  SetWhenGiven(lines, name, authObject->BuildHeaderValue());
}

// Expires as a number of seconds from now, made a time of day; a count the
// time of day cannot hold (a day or more, or below 0) is kept as unknown (0):
// the field is only recorded and must not fail the answer.
TDateTime ExpiresInSeconds(std::int32_t seconds) {
  if (seconds < 0 || seconds >= SecsPerDay) return 0;
  return Now() + EncodeTime(seconds / 3600, seconds % 3600 / 60, seconds % 60, 0);
}

// Appends lines with each continuation line joined to the line it continues,
// as a recipient reads them (RFC 9112 section 5.2); a continuation line with
// no line above it stays as it is.
void AppendUnfolded(TStringList& dest, const TStringList& lines) {
  for (int i = 0; i < lines.Count(); ++i) {
    const std::string& line = lines[i];
    const bool continues = !line.empty() && (line[0] == ' ' || line[0] == '\t');
    if (continues && i > 0 && dest.Count() > 0) {
      dest.Put(dest.Count() - 1, TrimRight(dest[dest.Count() - 1]) + " " + Trim(line));
    } else {
      dest.Add(line);
    }
  }
}

}  // namespace

// --- entity ----------------------------------------------------------------

TIdEntityHeaderInfo::TIdEntityHeaderInfo() {
  headerLines_.FoldWidth = kHeaderFoldWidth;
  ResetEntityFields();
}

void TIdEntityHeaderInfo::SetContentLength(std::int64_t value) {
  contentLength_ = value;
  contentLengthGiven_ = value >= 0;
}

void TIdEntityHeaderInfo::SetCustomHeaders(const TStringList& lines) {
  CopyLines(customHeaders_, lines);
}

void TIdEntityHeaderInfo::LoadFromHeaderLines() {
  LoadEntityFields();
}

void TIdEntityHeaderInfo::StoreToHeaderLines() {
  StoreEntityFields();
}

void TIdEntityHeaderInfo::ResetFields() {
  ResetEntityFields();
}

void TIdEntityHeaderInfo::LoadEntityFields() {
  const TIdHeaderList& lines = headerLines_;
  Connection = lines.ValueOf("Connection");
  ContentVersion = lines.ValueOf("Content-Version");
  ContentEncoding = lines.ValueOf("Content-Encoding");
  ContentLanguage = lines.ValueOf("Content-Language");
  ContentType = lines.ValueOf("Content-Type");
  // Bodies of 2 GiB and more are real (RFC 9110 section 8.6 sets no bound).
  SetContentLength(StrToInt64Def(Trim(lines.ValueOf("Content-Length")), -1));
  // An absent date reads as the local offset: the system is asked once a head.
  std::optional<TDateTime> absent;
  const auto dateOf = [&absent](const std::string& text) {
    if (!text.empty()) return InternetDateToLocal(text);
    if (!absent) absent = InternetDateToLocal(text);
    return *absent;
  };
  Date = dateOf(lines.ValueOf("Date"));
  LastModified = dateOf(lines.ValueOf("Last-Modified"));
  const std::string expires = lines.ValueOf("Expires");
  const std::int32_t seconds = StrToInt32Def(expires, -1);
  Expires = seconds != -1 ? ExpiresInSeconds(seconds) : dateOf(expires);
  Pragma = lines.ValueOf("Pragma");
}

void TIdEntityHeaderInfo::StoreEntityFields() {
  TIdHeaderList& lines = headerLines_;
  lines.Clear();
  SetWhenGiven(lines, "Connection", Connection);
  SetWhenGiven(lines, "Content-Version", ContentVersion);
  SetWhenGiven(lines, "Content-Encoding", ContentEncoding);
  SetWhenGiven(lines, "Content-Language", ContentLanguage);
  SetWhenGiven(lines, "Content-Type", ContentType);
  if (contentLength_ >= 0) lines.SetValueOf("Content-Length", IntToStr(contentLength_));
  SetWhenGiven(lines, "Cache-control", CacheControl);
  SetDateWhenGiven(lines, "Date", Date);
  SetDateWhenGiven(lines, "Expires", Expires);
  SetWhenGiven(lines, "Pragma", Pragma);
  // Extra lines go out as they stand: no merging by name, and no folding in
  // a list that does not fold.
  if (lines.FoldOnWrite) {
    lines.AddStrings(customHeaders_);
  } else {
    AppendUnfolded(lines, customHeaders_);
  }
}

void TIdEntityHeaderInfo::ResetEntityFields() {
  Connection.clear();
  ContentVersion.clear();
  ContentEncoding.clear();
  ContentLanguage.clear();
  ContentType = "text/html";
  PutContentLength(-1);
  ContentRangeStart = 0;
  ContentRangeEnd = 0;
  Date = 0;
  LastModified = 0;
  Expires = 0;
  headerLines_.Clear();
}

void TIdEntityHeaderInfo::AssignTo(TPersistent& dest) const {
  using E = TIdEntityHeaderInfo;
  if (!CopyFieldsInto(*this, dest, &E::ContentEncoding, &E::ContentLanguage, &E::ContentRangeEnd,
                      &E::ContentRangeStart, &E::ContentType, &E::ContentVersion, &E::Date,
                      &E::Expires, &E::LastModified)) {
    return TPersistent::AssignTo(dest);
  }
  auto& target = static_cast<E&>(dest);
  CopyLines(target.headerLines_, headerLines_);
  target.PutContentLength(contentLength_);
}

// --- request ---------------------------------------------------------------

namespace {

// The request's plain text fields with their header names, in the order a
// request head carries them.
struct RequestTextField {
  std::string TIdRequestHeaderInfo::*field;
  const char* name;
};
constexpr RequestTextField kRequestTextFields[] = {
    {&TIdRequestHeaderInfo::Host, "Host"},
    {&TIdRequestHeaderInfo::Accept, "Accept"},
    {&TIdRequestHeaderInfo::AcceptCharSet, "Accept-Charset"},
    {&TIdRequestHeaderInfo::AcceptEncoding, "Accept-Encoding"},
    {&TIdRequestHeaderInfo::AcceptLanguage, "Accept-Language"},
    {&TIdRequestHeaderInfo::From, "From"},
    {&TIdRequestHeaderInfo::Referer, "Referer"},
    {&TIdRequestHeaderInfo::UserAgent, "User-Agent"},
};

}  // namespace

TIdRequestHeaderInfo::TIdRequestHeaderInfo() {
  // A sender never folds (RFC 9112 section 5.2; nginx 1.21.1 and later answer 400).
  HeaderLines().FoldOnWrite = false;
  ResetRequestFields();
}

void TIdRequestHeaderInfo::LoadFromHeaderLines() {
  const TIdHeaderList& lines = HeaderLines();
  for (const RequestTextField& text : kRequestTextFields)
    this->*text.field = lines.ValueOf(text.name);
  std::string range = lines.ValueOf("Range");
  if (!range.empty()) {
    CutToken(range, "=");
    ContentRangeStart = DecimalOrZero(CutToken(range, "-"));
    ContentRangeEnd = DecimalOrZero(CutToken(range, " "));
  }
  LoadEntityFields();
}

void TIdRequestHeaderInfo::StoreToHeaderLines() {
  StoreEntityFields();
  TIdHeaderList& lines = HeaderLines();
  SetWhenGiven(lines, "Proxy-Connection", ProxyConnection);
  for (const RequestTextField& text : kRequestTextFields)
    SetWhenGiven(lines, text.name, this->*text.field);
  SetDateWhenGiven(lines, "If-Modified-Since", LastModified);
  if (ContentRangeStart != 0 || ContentRangeEnd != 0) {
    std::string range = "bytes=" + IntToStr(ContentRangeStart) + "-";
    if (ContentRangeEnd != 0) range += IntToStr(ContentRangeEnd);
    lines.SetValueOf("Range", range);
  }
  SetCredentialsLine(lines, "Authorization", AuthObject, BasicAuthentication, Username, Password);
}

void TIdRequestHeaderInfo::ResetFields() {
  ResetRequestFields();
  ResetEntityFields();
}

void TIdRequestHeaderInfo::ResetRequestFields() {
  Accept = "text/html, */*";
  AcceptCharSet.clear();
  UserAgent = kDefaultUserAgent;
  BasicAuthentication = false;
}

void TIdRequestHeaderInfo::AssignTo(TPersistent& dest) const {
  using R = TIdRequestHeaderInfo;
  if (!CopyFieldsInto(*this, dest, &R::Accept, &R::AcceptCharSet, &R::AcceptEncoding,
                      &R::AcceptLanguage, &R::From, &R::Password, &R::Referer, &R::UserAgent,
                      &R::Username, &R::BasicAuthentication)) {
    TIdEntityHeaderInfo::AssignTo(dest);
  }
}

// --- response --------------------------------------------------------------

TIdResponseHeaderInfo::TIdResponseHeaderInfo() {
  ResetResponseFields();
}

void TIdResponseHeaderInfo::SetProxyAuthenticate(const TStringList& lines) {
  CopyLines(proxyAuthenticate_, lines);
}

void TIdResponseHeaderInfo::SetWWWAuthenticate(const TStringList& lines) {
  CopyLines(wwwAuthenticate_, lines);
}

void TIdResponseHeaderInfo::LoadFromHeaderLines() {
  const TIdHeaderList& lines = HeaderLines();
  Location = lines.ValueOf("Location");
  Server = lines.ValueOf("Server");
  ProxyConnection = lines.ValueOf("Proxy-Connection");
  std::string range = lines.ValueOf("Content-Range");
  if (!range.empty()) {
    CutToken(range, " ");
    ContentRangeStart = RangePositionOrZero(CutToken(range, "-"));
    ContentRangeEnd = RangePositionOrZero(CutToken(range, "/"));
  }
  wwwAuthenticate_.Clear();
  lines.CollectValues("WWW-Authenticate", &wwwAuthenticate_);
  proxyAuthenticate_.Clear();
  lines.CollectValues("Proxy-Authenticate", &proxyAuthenticate_);
  LoadEntityFields();
}

void TIdResponseHeaderInfo::ResetFields() {
  ResetEntityFields();
  ResetResponseFields();
}

void TIdResponseHeaderInfo::ResetResponseFields() {
  Location.clear();
  Server.clear();
  proxyAuthenticate_.Clear();
  wwwAuthenticate_.Clear();
}

// --- proxy -----------------------------------------------------------------

void TIdProxyConnectionInfo::ResetFields() {
  proxyServer_.clear();
  ProxyUsername.clear();
  ProxyPassword.clear();
  proxyPort_ = 0;
}

void TIdProxyConnectionInfo::AddProxyAuthorization(TIdHeaderList& lines) {
  SetCredentialsLine(lines, "Proxy-Authorization", AuthObject, BasicAuthentication, ProxyUsername,
                     ProxyPassword);
}

void TIdProxyConnectionInfo::SetProxyServer(std::string value) {
  if (!SameText(value, proxyServer_)) AuthObject.reset();
  proxyServer_ = std::move(value);
}

void TIdProxyConnectionInfo::SetProxyPort(std::int32_t value) {
  if (value != proxyPort_) AuthObject.reset();
  proxyPort_ = value;
}

void TIdProxyConnectionInfo::AssignTo(TPersistent& dest) const {
  using P = TIdProxyConnectionInfo;
  // Written directly: the target keeps its scheme object.
  if (!CopyFieldsInto(*this, dest, &P::ProxyPassword, &P::proxyPort_, &P::proxyServer_,
                      &P::ProxyUsername, &P::BasicAuthentication)) {
    TPersistent::AssignTo(dest);
  }
}

}  // namespace vantro
