#include "httpstate/IdCookie.h"

#include "http/IdDateTime.h"
#include "http/IdGlobal.h"
#include "httpstate/IdCookieRules.h"
#include "rtl/AnsiText.h"
#include "rtl/Convert.h"
#include "rtl/DateTime.h"
#include "tcp/IdException.h"

namespace vantro {

namespace {

// Index of the last "name=value" entry whose name is name, or -1.
int IndexOfAttribute(const TStringList& list, std::string_view name) {
  for (int i = list.Count() - 1; i >= 0; --i) {
    const std::string& entry = list.Strings(i);
    const std::size_t equals = entry.find('=');
    if (equals != std::string::npos && SameText(std::string_view(entry).substr(0, equals), name))
      return i;
  }
  return -1;
}

std::string ValueAfterEquals(const std::string& entry) {
  return entry.substr(entry.find('=') + 1);
}

// Pieces at ";", trimmed; a text without ";" splits into its lines instead.
void SplitCookieText(std::string_view text, TStringList& pieces) {
  if (text.find(';') == std::string_view::npos) {
    pieces.SetText(text);
    return;
  }
  std::string rest(text);
  while (rest.find(';') != std::string::npos)
    pieces.Add(Trim(CutToken(rest, ";")));
  if (!rest.empty()) pieces.Add(Trim(rest));
}

// Names upper-cased, blanks around names and values dropped (RFC 6265
// section 5.2: "path = /" is the path).
void NormaliseAttributes(TStringList& attributes) {
  for (int i = 0; i < attributes.Count(); ++i) {
    const std::string& entry = attributes.Strings(i);
    const std::size_t equals = entry.find('=');
    if (equals == std::string::npos) {
      attributes.Put(i, UpperCase(Trim(entry)));
      continue;
    }
    attributes.Put(i, UpperCase(Trim(entry.substr(0, equals))) + "=" +
                          Trim(std::string_view(entry).substr(equals + 1)));
  }
}

// RFC 6265 section 5.2.1: an Expires the date parser cannot read is ignored.
bool ReadableExpiry(const std::string& text) {
  try {
    return !text.empty() && InternetDateToUTC(text) != 0;
  } catch (const Exception&) {
    return false;  // a date the zone lookup cannot place
  }
}

bool HasFlag(const TStringList& attributes, std::string_view flag) {
  for (int i = 0; i < attributes.Count(); ++i)
    if (SameText(attributes.Strings(i), flag)) return true;
  return false;
}

// Entries of a comma text: separated by a comma or by blanks, quoted entries
// taken without their quotes, empty entries between commas kept. A NUL ends
// the text.
std::vector<std::string> SplitCommaText(std::string_view text) {
  const std::size_t end = std::min(text.find('\0'), text.size());
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' ' && c != '\0'; };
  std::vector<std::string> entries;
  std::size_t at = 0;
  while (at < end && blank(text[at]))
    ++at;
  while (at < end) {
    std::string entry;
    if (text[at] == '"') {
      for (++at; at < end; ++at) {
        if (text[at] == '"') {
          if (at + 1 < end && text[at + 1] == '"') {
            ++at;
          } else {
            ++at;
            break;
          }
        }
        entry += text[at];
      }
    } else {
      const std::size_t start = at;
      while (at < end && !blank(text[at]) && text[at] != ',')
        ++at;
      entry.assign(text.substr(start, at - start));
    }
    entries.push_back(std::move(entry));
    while (at < end && blank(text[at]))
      ++at;
    if (at < end && text[at] == ',') {
      if (at + 1 == end) entries.emplace_back();
      do
        ++at;
      while (at < end && blank(text[at]));
    }
  }
  return entries;
}

}  // namespace

std::string CookieAttribute(const TStringList& attributes, std::string_view name) {
  const int at = IndexOfAttribute(attributes, name);
  return at >= 0 ? ValueAfterEquals(attributes.Strings(at)) : std::string();
}

// --- TIdNetscapeCookie -----------------------------------------------------

TIdNetscapeCookie::TIdNetscapeCookie(TIdCookies* collection) : collection_(collection) {}

void TIdNetscapeCookie::ParseCookieText(std::string_view text) {
  if (text == SourceText) return;
  SourceText.assign(text);

  TStringList attributes;
  SplitCookieText(text, attributes);
  if (attributes.Empty()) {
    NameText.clear();
    ValueText.clear();
  } else {
    // RFC 6265 section 5.2 steps 2-4: the pair is the first piece, its name
    // and value without blanks around them.
    const std::string& pair = attributes.Strings(0);
    const std::size_t equals = pair.find('=');
    NameText = equals == std::string::npos ? std::string() : Trim(pair.substr(0, equals));
    ValueText = equals == std::string::npos ? std::string() : Trim(pair.substr(equals + 1));
    attributes.Delete(0);
  }
  NormaliseAttributes(attributes);
  ApplyAttributes(attributes);
}

void TIdNetscapeCookie::TakeContentOf(const TIdNetscapeCookie* source) {
  if (dynamic_cast<const TIdCookieRFC2109*>(source) == nullptr) return;
  std::string text = source->RenderCookieText();
  // An empty value leaves the pair out of the rendering; put it back so that
  // this record stays the cookie of its name.
  if (source->ValueText.empty())
    text = source->RenderRequestPair() + (text.empty() ? "" : "; " + text);
  ParseCookieText(text);
  HostOnly = source->HostOnly;
  // The rendering leaves a kept expiry date out; without it a replaced cookie
  // would never expire, nor could a server delete it with a date past.
  if (source->ExpiryText != ExpiryText && !source->ExpiryText.empty())
    AssignExpiry(source->ExpiryText);
  Kind = source->Kind;
}

std::string TIdNetscapeCookie::RenderCookieText() const {
  std::string text = AppendAttribute(NameText, ValueText, {});
  text = AppendAttribute("path", PathText, std::move(text));
  if (Kind == ckNetscape) text = AppendAttribute("expires", ExpiryText, std::move(text));
  text = AppendAttribute("domain", DomainText, std::move(text));
  if (SecureOnly) text = AppendFlag("secure", std::move(text));
  return text;
}

void TIdNetscapeCookie::AssignExpiry(std::string_view text) {
  ExpiryText.assign(text);
}

TDateTime TIdNetscapeCookie::ExpiryUTC() const {
  if (readExpiryText_ != ExpiryText) {
    readExpiry_ = InternetDateToUTC(ExpiryText);
    readExpiryText_ = ExpiryText;
  }
  return readExpiry_;
}

void TIdNetscapeCookie::ApplyAttributes(const TStringList& attributes) {
  PathText = CookieAttribute(attributes, "PATH");
  if (!PathText.empty() && PathText.front() == '"') PathText.erase(0, 1);
  if (!PathText.empty() && PathText.back() == '"') PathText.pop_back();
  const std::string expires = CookieAttribute(attributes, "EXPIRES");
  AssignExpiry(ReadableExpiry(expires) ? expires : std::string());
  DomainText = CookieAttribute(attributes, "DOMAIN");
  SecureOnly = HasFlag(attributes, "SECURE");
}

bool TIdNetscapeCookie::AcceptsHost(std::string_view host) const {
  return HostOnly ? SameText(DomainText, host) : CookieDomainMatchesHost(DomainText, host);
}

std::string TIdNetscapeCookie::AppendAttribute(std::string_view name, std::string_view value,
                                               std::string text) {
  if (value.empty()) return text;
  if (!text.empty()) text += "; ";
  return text.append(name).append("=").append(value);
}

std::string TIdNetscapeCookie::AppendFlag(std::string_view flag, std::string text) {
  if (!text.empty()) text += "; ";
  return text.append(flag);
}

// --- TIdCookieRFC2109 ------------------------------------------------------

TIdCookieRFC2109::TIdCookieRFC2109(TIdCookies* collection) : TIdNetscapeCookie(collection) {
  Kind = ckRFC2109;
}

std::string TIdCookieRFC2109::RenderCookieText() const {
  std::string text = TIdNetscapeCookie::RenderCookieText();
  if (MaxAgeSeconds >= 0 && ExpiryText.empty())
    text = AppendAttribute("max-age", IntToStr(MaxAgeSeconds), std::move(text));
  text = AppendAttribute("comment", CommentText, std::move(text));
  return AppendAttribute("version", VersionText, std::move(text));
}

void TIdCookieRFC2109::AssignExpiry(std::string_view text) {
  if (!text.empty()) {
    try {
      MaxAgeSeconds = SecondsBetween(InternetDateToLocal(text), Now());
    } catch (const Exception&) {
      // An expiry the zone lookup cannot place leaves the max-age as it was.
    }
  }
  TIdNetscapeCookie::AssignExpiry(text);
}

void TIdCookieRFC2109::ApplyAttributes(const TStringList& attributes) {
  TIdNetscapeCookie::ApplyAttributes(attributes);
  VersionText = CookieAttribute(attributes, "VERSION");
  CommentText = CookieAttribute(attributes, "COMMENT");
  if (ExpiryText.empty()) Kind = ckNetscape;
  // RFC 6265 section 5.3 step 3: Max-Age wins over Expires; none or less
  // deletes the cookie.
  std::int64_t maxAge = -1;
  if (!ReadMaxAge(CookieAttribute(attributes, "MAX-AGE"), maxAge)) {
    MaxAgeSeconds = -1;
  } else if (maxAge <= 0) {
    AssignExpiry(kExpiredCookieDate);
  } else {
    AssignExpiry(FormatInternetDate(IncSecond(Now(), maxAge)));
  }
}

// --- TIdCookieRFC2965 ------------------------------------------------------

TIdCookieRFC2965::TIdCookieRFC2965(TIdCookies* collection) : TIdCookieRFC2109(collection) {
  Kind = ckRFC2965;
}

void TIdCookieRFC2965::ApplyAttributes(const TStringList& attributes) {
  TIdCookieRFC2109::ApplyAttributes(attributes);
  CommentUrlText = CookieAttribute(attributes, "CommentURL");
  DiscardFlag = HasFlag(attributes, "DISCARD");

  const std::string port = CookieAttribute(attributes, "Port");
  // A new list replaces the whole old one, also when a replaced cookie is
  // parsed again.
  if (port.empty()) {
    Ports.clear();
    StorePort(0, 80);
  } else if (port.front() == '"' && port.back() == '"') {
    const std::string quoted = port.size() >= 2 ? port.substr(1, port.size() - 2) : "";
    const std::vector<std::string> entries = SplitCommaText(quoted);
    Ports.clear();
    if (entries.empty()) StorePort(0, 80);
    for (std::size_t i = 0; i < entries.size(); ++i)
      StorePort(static_cast<int>(i), StrToInt32(entries[i]));
  }
}

void TIdCookieRFC2965::StorePort(int index, std::int32_t port) {
  if (index < 0 || index > static_cast<int>(Ports.size()))
    throw EIdException("Index out of range.");
  if (index == static_cast<int>(Ports.size()))
    Ports.push_back(port);
  else
    Ports[static_cast<std::size_t>(index)] = port;
}

}  // namespace vantro
