// HTTP through libcurl, loaded on the first request: linking it would load some thirty
// libraries (Kerberos, LDAP, GnuTLS, ...) into every process, which doubles the start-up of a
// verification that needs no network.
#include <curl/curl.h>
#include <dlfcn.h>

#include <memory>
#include <mutex>

#include "runtime/http.h"

namespace orvane::http {
namespace {

// The functions used, from the library as the system has it.
struct Curl {
  CURLcode (*global_init)(long);
  CURL* (*easy_init)();
  CURLcode (*easy_setopt)(CURL*, CURLoption, ...);
  CURLcode (*easy_perform)(CURL*);
  CURLcode (*easy_getinfo)(CURL*, CURLINFO, ...);
  void (*easy_cleanup)(CURL*);
  const char* (*easy_strerror)(CURLcode);
  curl_slist* (*slist_append)(curl_slist*, const char*);
  void (*slist_free_all)(curl_slist*);
};

template <typename Function>
void resolve(void* library, const char* name, Function& function, std::string& missing) {
  function = reinterpret_cast<Function>(dlsym(library, name));
  if (function == nullptr) missing += missing.empty() ? name : std::string(", ") + name;
}

// Loaded once and never unloaded: its handles may live in other threads' requests.
const Curl& curl_library() {
  static std::once_flag loaded;
  static Curl curl{};
  static std::string failure;
  std::call_once(loaded, [] {
    void* library = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
      const char* why = dlerror();
      failure = std::string("libcurl cannot be loaded: ") + (why ? why : "libcurl.so.4");
      return;
    }
    std::string missing;
    resolve(library, "curl_global_init", curl.global_init, missing);
    resolve(library, "curl_easy_init", curl.easy_init, missing);
    resolve(library, "curl_easy_setopt", curl.easy_setopt, missing);
    resolve(library, "curl_easy_perform", curl.easy_perform, missing);
    resolve(library, "curl_easy_getinfo", curl.easy_getinfo, missing);
    resolve(library, "curl_easy_cleanup", curl.easy_cleanup, missing);
    resolve(library, "curl_easy_strerror", curl.easy_strerror, missing);
    resolve(library, "curl_slist_append", curl.slist_append, missing);
    resolve(library, "curl_slist_free_all", curl.slist_free_all, missing);
    if (!missing.empty()) {
      failure = "libcurl lacks " + missing;
      return;
    }
    curl.global_init(CURL_GLOBAL_DEFAULT);
  });
  if (!failure.empty()) throw HttpError(failure);
  return curl;
}

struct CurlFree {
  void operator()(CURL* handle) const { curl_library().easy_cleanup(handle); }
  void operator()(curl_slist* list) const { curl_library().slist_free_all(list); }
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
    throw HttpError(std::string("cannot set up the request: ") +
                    curl_library().easy_strerror(result));
  }
}

}  // namespace

Response send(const Request& request) {
  const Curl& library = curl_library();
  const std::string scheme = allowed_scheme(request.url);
  if (scheme.empty()) throw HttpError(request.url + " is not an http:// or https:// URL");
  const CurlPtr curl(library.easy_init());
  if (!curl) throw HttpError("cannot set up the request: out of memory");
  CURL* handle = curl.get();
  Received received{{}, request.response_limit};
  const long timeout = static_cast<long>(request.timeout.count());
  set(library.easy_setopt(handle, CURLOPT_URL, request.url.c_str()));
  set(library.easy_setopt(handle, CURLOPT_PROTOCOLS_STR, scheme.c_str()));
  set(library.easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, scheme.c_str()));
  set(library.easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L));
  set(library.easy_setopt(handle, CURLOPT_MAXREDIRS, 5L));
  set(library.easy_setopt(handle, CURLOPT_TIMEOUT_MS, timeout < 1 ? 1L : timeout));
  // Signals would interrupt the host's own; name resolution then has no timeout of its own,
  // but the transfer's limit still ends the call.
  set(library.easy_setopt(handle, CURLOPT_NOSIGNAL, 1L));
  set(library.easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE,
                          static_cast<curl_off_t>(request.response_limit)));
  set(library.easy_setopt(handle, CURLOPT_WRITEFUNCTION, receive));
  set(library.easy_setopt(handle, CURLOPT_WRITEDATA, &received));
  HeaderListPtr headers;
  if (request.method == Request::Method::post) {
    set(library.easy_setopt(handle, CURLOPT_POST, 1L));
    set(library.easy_setopt(handle, CURLOPT_POSTFIELDS, request.body.data()));
    set(library.easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE,
                            static_cast<curl_off_t>(request.body.size())));
    headers.reset(library.slist_append(nullptr, ("Content-Type: " + request.content_type).c_str()));
    if (!headers) throw HttpError("cannot set up the request: out of memory");
    set(library.easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get()));
  }
  const CURLcode result = library.easy_perform(handle);
  if (received.too_large || result == CURLE_FILESIZE_EXCEEDED) {
    throw HttpError("the answer of " + request.url + " is larger than " +
                    std::to_string(request.response_limit) + " bytes");
  }
  if (result != CURLE_OK) {
    throw HttpError(request.url + ": " + library.easy_strerror(result),
                    result == CURLE_OPERATION_TIMEDOUT);
  }
  Response response;
  library.easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &response.status);
  const char* type = nullptr;
  if (library.easy_getinfo(handle, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type != nullptr) {
    response.content_type = type;
  }
  response.body = std::move(received.body);
  return response;
}

}  // namespace orvane::http
