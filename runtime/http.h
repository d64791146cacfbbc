#pragma once

// HTTP requests to the servers a signature relies on (revocation lists, OCSP responders,
// time-stamping authorities), through the platform's HTTP library. Each request has its own
// time limit and a limit on the size of the answer, and follows redirects only within its
// URL's scheme, so an http:// request never reaches a file or an LDAP server.

#include <chrono>
#include <cstddef>
#include <stdexcept>
#include <string>

namespace orvane::http {

// No answer came: the server could not be reached, the time ran out, the answer was larger
// than allowed, or a redirect led to another scheme. The text says which, for people.
class HttpError : public std::runtime_error {
 public:
  explicit HttpError(const std::string& what, bool timed_out = false)
      : std::runtime_error(what), timed_out_(timed_out) {}
  // Whether the time ran out, rather than the server being out of reach or the answer wrong.
  bool timed_out() const noexcept { return timed_out_; }

 private:
  bool timed_out_;
};

struct Request {
  enum class Method { get, post };
  Method method = Method::get;
  // An http:// or https:// URL; any other scheme is refused.
  std::string url;
  // The body of a POST and its media type ("application/ocsp-request").
  std::string body;
  std::string content_type;
  // For the whole exchange, connection included.
  std::chrono::milliseconds timeout{5000};
  // The largest answer body taken; a larger one is an HttpError.
  std::size_t response_limit = 1024 * 1024;
};

struct Response {
  // The HTTP status of the final answer (200 for success).
  long status = 0;
  std::string content_type;
  std::string body;
};

// Sends `request` and returns the server's answer, whatever its status. Throws HttpError when
// there is none. Safe to call from several threads at once.
Response send(const Request& request);

}  // namespace orvane::http
