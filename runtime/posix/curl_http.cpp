// HTTP through libcurl.
#include <curl/curl.h>

#include <memory>
#include <mutex>

#include "runtime/http.h"

namespace orvane::http {
namespace {

struct CurlFree {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlPtr = std::unique_ptr<CURL, CurlFree>;
using HeaderListPtr = std::unique_ptr<curl_slist, CurlFree>;

// The scheme of `url` when it is one that requests may use, else empty.
std::string allowed_scheme(const std::string& url) {
  for (const char* scheme : {"http", "https"}) {
    const std::string prefix = std::string(scheme) + "://";
    if (url.size() > prefix.size() && url.compare(0, prefix.size(), prefix) == 0) return scheme;
  }
  return {};
}

struct Received {
  std::string body;
  std::size_t limit = 0;
  bool too_large = false;
};

std::size_t receive(char* data, std::size_t size, std::size_t count, void* user) {
  auto& received = *static_cast<Received*>(user);
  const std::size_t bytes = size * count;
  if (bytes > received.limit - received.body.size()) {
    received.too_large = true;
    return 0;  // libcurl ends the transfer
  }
  received.body.append(data, bytes);
  return bytes;
}

void set(CURLcode result) {
  if (result != CURLE_OK) {
    throw HttpError(std::string("cannot set up the request: ") + curl_easy_strerror(result));
  }
}

}  // namespace

Response send(const Request& request) {
  static std::once_flag initialised;
  std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  const std::string scheme = allowed_scheme(request.url);
  if (scheme.empty()) throw HttpError(request.url + " is not an http:// or https:// URL");
  const CurlPtr curl(curl_easy_init());
  if (!curl) throw HttpError("cannot set up the request: out of memory");
  CURL* handle = curl.get();
  Received received{{}, request.response_limit};
  const long timeout = static_cast<long>(request.timeout.count());
  set(curl_easy_setopt(handle, CURLOPT_URL, request.url.c_str()));
  set(curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, scheme.c_str()));
  set(curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, scheme.c_str()));
  set(curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L));
  set(curl_easy_setopt(handle, CURLOPT_MAXREDIRS, 5L));
  set(curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, timeout < 1 ? 1L : timeout));
  // Signals would interrupt the host's own; name resolution then has no timeout of its own,
  // but the transfer's limit still ends the call.
  set(curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L));
  set(curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE,
                       static_cast<curl_off_t>(request.response_limit)));
  set(curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, receive));
  set(curl_easy_setopt(handle, CURLOPT_WRITEDATA, &received));
  HeaderListPtr headers;
  if (request.method == Request::Method::post) {
    set(curl_easy_setopt(handle, CURLOPT_POST, 1L));
    set(curl_easy_setopt(handle, CURLOPT_POSTFIELDS, request.body.data()));
    set(curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(request.body.size())));
    headers.reset(curl_slist_append(nullptr, ("Content-Type: " + request.content_type).c_str()));
    if (!headers) throw HttpError("cannot set up the request: out of memory");
    set(curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get()));
  }
  const CURLcode result = curl_easy_perform(handle);
  if (received.too_large || result == CURLE_FILESIZE_EXCEEDED) {
    throw HttpError("the answer of " + request.url + " is larger than " +
                    std::to_string(request.response_limit) + " bytes");
  }
  if (result != CURLE_OK) {
    throw HttpError(request.url + ": " + curl_easy_strerror(result));
  }
  Response response;
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &response.status);
  const char* type = nullptr;
  if (curl_easy_getinfo(handle, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type != nullptr) {
    response.content_type = type;
  }
  response.body = std::move(received.body);
  return response;
}

}  // namespace orvane::http
