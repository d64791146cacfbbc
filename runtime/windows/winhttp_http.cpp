// HTTP through WinHTTP, synchronously, with a session of its own for each request so that
// requests of several threads share nothing. WinHTTP's own redirects are off: it would follow
// one from https:// to http://, and its time limits are per operation, not per exchange, so
// redirects are followed here, each step within what is left of the request's time.
#include <windows.h>
// After windows.h:
#include <winhttp.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <string>

#include "runtime/http.h"
#include "runtime/text.h"
#include "runtime/windows/owned.h"
#include "runtime/windows/wide_text.h"

namespace orvane::http {
namespace {

using windows::InternetHandle;

constexpr int most_redirects = 5;

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
    return static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
  });
  return text;
}

// The system's words for a WinHTTP error, which live in winhttp.dll rather than the system's
// table; the number when neither has any.
std::string error_text(DWORD error) {
  wchar_t buffer[512];
  DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      ::GetModuleHandleW(L"winhttp.dll"), error, 0, buffer, sizeof buffer / sizeof buffer[0],
      nullptr);
  while (length > 0 && (buffer[length - 1] == L'\r' || buffer[length - 1] == L'\n' ||
                        buffer[length - 1] == L' ' || buffer[length - 1] == L'.')) {
    --length;
  }
  if (length == 0) {
    switch (error) {
      case ERROR_WINHTTP_TIMEOUT:
        return "the time ran out";
      case ERROR_WINHTTP_NAME_NOT_RESOLVED:
        return "the server's name cannot be resolved";
      case ERROR_WINHTTP_CANNOT_CONNECT:
        return "cannot connect to the server";
      case ERROR_WINHTTP_CONNECTION_ERROR:
        return "the connection was reset";
      case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
        return "the server's answer is not HTTP";
      case ERROR_WINHTTP_SECURE_FAILURE:
      case ERROR_WINHTTP_SECURE_INVALID_CA:
        return "the server's TLS certificate is not trusted";
      case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
        return "the server's TLS certificate is for another name";
      case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
        return "the server's TLS certificate is outside its validity period";
      case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
        return "no secure connection could be made (TLS, or the server's certificate)";
      default:
        return "WinHTTP error " + std::to_string(error);
    }
  }
  return text_to_utf8(windows::text_from_wide(buffer, length));
}

// Wine reports a socket's time running out as the socket's own error.
bool is_timeout(DWORD error) {
  constexpr DWORD socket_timed_out = 10060;  // WSAETIMEDOUT
  return error == ERROR_WINHTTP_TIMEOUT || error == socket_timed_out || error == ERROR_TIMEOUT;
}

[[noreturn]] void fail(const std::string& url, DWORD error) {
  const bool timed_out = is_timeout(error);
  throw HttpError(url + ": " + error_text(timed_out ? ERROR_WINHTTP_TIMEOUT : error), timed_out);
}

// The request's one time limit, from its start.
class Deadline {
 public:
  explicit Deadline(std::chrono::milliseconds limit)
      : end_(std::chrono::steady_clock::now() + std::max(limit, std::chrono::milliseconds(1))) {}

  // The milliseconds left, at least one; the request fails as timed out once there are none.
  int left(const std::string& url) const {
    const auto rest = std::chrono::duration_cast<std::chrono::milliseconds>(
                          end_ - std::chrono::steady_clock::now())
                          .count();
    if (rest <= 0) fail(url, ERROR_WINHTTP_TIMEOUT);
    return static_cast<int>(std::min<long long>(rest, INT_MAX));
  }

 private:
  std::chrono::steady_clock::time_point end_;
};

// Every WinHTTP limit of `handle` set to what is left, before each step that may wait: name
// resolution, connection, sending, and each wait for the answer.
void limit(HINTERNET handle, const Deadline& deadline, const std::string& url) {
  const int left = deadline.left(url);
  if (!::WinHttpSetTimeouts(handle, left, left, left, left)) fail(url, ::GetLastError());
  // Windows waits for the answer's headers by a limit of its own; older systems lack it.
  DWORD headers = static_cast<DWORD>(left);
  ::WinHttpSetOption(handle, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headers, sizeof headers);
}

// A URL split as WinHTTP connects to it.
struct Target {
  std::string url;
  std::string scheme;  // "http" or "https", in lower case
  std::wstring host;
  INTERNET_PORT port = 0;
  std::wstring path;  // with the query, without any fragment
};

bool is_scheme_character(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
         c == '-' || c == '.';
}

// The scheme that `url` names before its colon, as written; empty when it names none.
std::string scheme_of(const std::string& url) {
  const std::size_t colon = url.find(':');
  if (colon == 0 || colon == std::string::npos) return {};
  const std::string scheme = url.substr(0, colon);
  if (!std::all_of(scheme.begin(), scheme.end(), is_scheme_character)) return {};
  return scheme;
}

std::wstring wide_string(const std::string& utf8) {
  const Text text = text_from_utf8(utf8);
  return std::wstring(windows::wide(text), text.size());
}

// `url` taken apart; an HttpError when it is none that WinHTTP can reach. A server's Location
// ends up here too: no control character or space may reach the request line.
Target target_of(const std::string& url) {
  const bool clean = std::none_of(url.begin(), url.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte <= 0x20 || byte == 0x7F;
  });
  if (!clean) throw HttpError("the URL " + url + " has spaces or control characters");
  Target target;
  target.url = url;
  target.scheme = lower(scheme_of(url));
  const std::wstring wide_url = wide_string(url);
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwSchemeLength = static_cast<DWORD>(-1);
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (wide_url.size() > MAXDWORD ||
      !::WinHttpCrackUrl(wide_url.c_str(), static_cast<DWORD>(wide_url.size()), 0, &parts) ||
      parts.dwHostNameLength == 0) {
    throw HttpError(url + " is not a URL that can be reached");
  }
  if (!((target.scheme == "http" && parts.nScheme == INTERNET_SCHEME_HTTP) ||
        (target.scheme == "https" && parts.nScheme == INTERNET_SCHEME_HTTPS))) {
    throw HttpError(url + " is not an http:// or https:// URL");
  }
  target.host.assign(parts.lpszHostName, parts.dwHostNameLength);
  target.port = parts.nPort;
  std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
  if (path.empty()) path = L"/";
  path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  // The fragment is the client's: it is never sent.
  if (const std::size_t hash = path.find(L'#'); hash != std::wstring::npos) path.resize(hash);
  target.path = std::move(path);
  return target;
}

// The absolute URL that the Location `location` of an answer to `from` names; an HttpError
// when it leaves `from`'s scheme.
std::string redirect_target(const Target& from, const std::string& location) {
  const std::string scheme = scheme_of(location);
  if (!scheme.empty()) {
    if (lower(scheme) != from.scheme) {
      throw HttpError(from.url + " redirects to " + location + ", outside its scheme " +
                      from.scheme + "://");
    }
    return from.scheme + location.substr(scheme.size());
  }
  if (location.starts_with("//")) return from.scheme + ":" + location;
  // The authority as the URL wrote it, then its path without query or fragment.
  const std::size_t authority_start = from.scheme.size() + 3;
  const std::size_t authority_end = from.url.find_first_of("/?#", authority_start);
  const std::string origin = from.url.substr(0, authority_end);
  std::string path = authority_end == std::string::npos ? "/" : from.url.substr(authority_end);
  path.resize(std::min(path.size(), path.find_first_of("?#")));
  if (path.empty() || path[0] != '/') path.insert(0, "/");
  if (location.starts_with("/")) return origin + location;
  if (location.empty() || location.starts_with("#")) return origin + path;
  if (location.starts_with("?")) return origin + path + location;
  return origin + path.substr(0, path.rfind('/') + 1) + location;
}

std::string query_text(HINTERNET request, DWORD header) {
  DWORD size = 0;
  ::WinHttpQueryHeaders(request, header, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER,
                        &size, WINHTTP_NO_HEADER_INDEX);
  if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return {};
  std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
  if (!::WinHttpQueryHeaders(request, header, WINHTTP_HEADER_NAME_BY_INDEX, value.data(), &size,
                             WINHTTP_NO_HEADER_INDEX)) {
    return {};
  }
  value.resize(size / sizeof(wchar_t));
  return text_to_utf8(windows::text_from_wide(value.data(), value.size()));
}

bool is_redirect(DWORD status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

struct Exchange {
  InternetHandle session;
  InternetHandle connection;
  InternetHandle request;
  DWORD status = 0;
};

// Sends one request to `target` and waits for the answer's headers.
Exchange exchange(const Target& target, const Request& request, bool post,
                  const Deadline& deadline) {
  const std::string& url = target.url;
  Exchange sent;
  sent.session.reset(::WinHttpOpen(L"Orvane", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                   WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (!sent.session) fail(url, ::GetLastError());
  limit(sent.session.get(), deadline, url);
  sent.connection.reset(::WinHttpConnect(sent.session.get(), target.host.c_str(), target.port, 0));
  if (!sent.connection) fail(url, ::GetLastError());
  sent.request.reset(::WinHttpOpenRequest(sent.connection.get(), post ? L"POST" : L"GET",
                                          target.path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                          WINHTTP_DEFAULT_ACCEPT_TYPES,
                                          target.scheme == "https" ? WINHTTP_FLAG_SECURE : 0));
  if (!sent.request) fail(url, ::GetLastError());
  DWORD disabled = WINHTTP_DISABLE_REDIRECTS;
  if (!::WinHttpSetOption(sent.request.get(), WINHTTP_OPTION_DISABLE_FEATURE, &disabled,
                          sizeof disabled)) {
    fail(url, ::GetLastError());
  }
  std::wstring headers;
  if (post && !request.content_type.empty()) {
    headers = wide_string("Content-Type: " + request.content_type);
  }
  limit(sent.request.get(), deadline, url);
  if (!::WinHttpSendRequest(sent.request.get(),
                            headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                            static_cast<DWORD>(headers.size()),
                            post ? const_cast<char*>(request.body.data()) : WINHTTP_NO_REQUEST_DATA,
                            post ? static_cast<DWORD>(request.body.size()) : 0,
                            post ? static_cast<DWORD>(request.body.size()) : 0, 0)) {
    fail(url, ::GetLastError());
  }
  limit(sent.request.get(), deadline, url);
  if (!::WinHttpReceiveResponse(sent.request.get(), nullptr)) fail(url, ::GetLastError());
  DWORD size = sizeof sent.status;
  if (!::WinHttpQueryHeaders(
          sent.request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
          WINHTTP_HEADER_NAME_BY_INDEX, &sent.status, &size, WINHTTP_NO_HEADER_INDEX)) {
    fail(url, ::GetLastError());
  }
  return sent;
}

[[noreturn]] void too_large(const Request& request) {
  throw HttpError("the answer of " + request.url + " is larger than " +
                  std::to_string(request.response_limit) + " bytes");
}

// The body of the answer, no larger than the request allows.
std::string body_of(const Exchange& answer, const Request& request, const Deadline& deadline,
                    const std::string& url) {
  // A declared length that is too large fails before anything is read.
  const std::string declared = query_text(answer.request.get(), WINHTTP_QUERY_CONTENT_LENGTH);
  if (!declared.empty() &&
      std::all_of(declared.begin(), declared.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    const std::string digits =
        declared.substr(std::min(declared.find_first_not_of('0'), declared.size()));
    const std::string limit_digits = std::to_string(request.response_limit);
    if (digits.size() > limit_digits.size() ||
        (digits.size() == limit_digits.size() && digits > limit_digits)) {
      too_large(request);
    }
  }
  std::string body;
  char block[16384];
  for (;;) {
    limit(answer.request.get(), deadline, url);
    DWORD available = 0;
    if (!::WinHttpQueryDataAvailable(answer.request.get(), &available)) {
      fail(url, ::GetLastError());
    }
    if (available == 0) return body;
    if (available > request.response_limit - body.size()) too_large(request);
    while (available > 0) {
      DWORD read = 0;
      const DWORD wanted = std::min<DWORD>(available, sizeof block);
      if (!::WinHttpReadData(answer.request.get(), block, wanted, &read)) {
        fail(url, ::GetLastError());
      }
      if (read == 0) return body;
      if (read > request.response_limit - body.size()) too_large(request);
      body.append(block, read);
      available -= std::min(available, read);
    }
  }
}

}  // namespace

Response send(const Request& request) {
  const Deadline deadline(request.timeout);
  const std::string scheme = scheme_of(request.url);
  if (!(scheme == "http" || scheme == "https") || request.url.size() <= scheme.size() + 3 ||
      request.url.compare(scheme.size(), 3, "://") != 0) {
    throw HttpError(request.url + " is not an http:// or https:// URL");
  }
  const bool post_asked = request.method == Request::Method::post;
  if (post_asked && request.body.size() > MAXDWORD) {
    throw HttpError("the request to " + request.url + " is too large");
  }
  // The media type goes into a header line of its own: no line break may end it early.
  if (post_asked && std::any_of(request.content_type.begin(), request.content_type.end(),
                                [](char c) { return c == '\r' || c == '\n' || c == '\0'; })) {
    throw HttpError("the media type of the request to " + request.url + " is no header value");
  }
  Target target = target_of(request.url);
  bool post = post_asked;
  for (int redirects = 0;; ++redirects) {
    Exchange answer = exchange(target, request, post, deadline);
    if (is_redirect(answer.status)) {
      const std::string location = query_text(answer.request.get(), WINHTTP_QUERY_LOCATION);
      if (!location.empty()) {
        if (redirects == most_redirects) {
          throw HttpError(request.url + ": more than " + std::to_string(most_redirects) +
                          " redirects");
        }
        // As browsers and libcurl do: 301, 302 and 303 turn a POST into a GET; 307 and 308
        // repeat it.
        if (answer.status == 301 || answer.status == 302 || answer.status == 303) post = false;
        target = target_of(redirect_target(target, location));
        continue;
      }
    }
    Response response;
    response.status = static_cast<long>(answer.status);
    response.content_type = query_text(answer.request.get(), WINHTTP_QUERY_CONTENT_TYPE);
    response.body = body_of(answer, request, deadline, target.url);
    return response;
  }
}

}  // namespace orvane::http
