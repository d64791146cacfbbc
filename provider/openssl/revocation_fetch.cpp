#include "provider/openssl/revocation_fetch.h"

#include <openssl/err.h>
#include <openssl/ocsp.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <ctime>

#include "provider/openssl/certificate_summary.h"
#include "runtime/http.h"

namespace orvane::provider::openssl {
namespace {

// Far more than a CRL of any real authority; an OCSP response is a few kilobytes.
constexpr std::size_t crl_limit = 32 * 1024 * 1024;
constexpr std::size_t ocsp_limit = 256 * 1024;

bool is_http(const std::string& url) {
  return url.rfind("http://", 0) == 0;
}

std::optional<std::string> fetch(http::Request request, RevocationContext& context,
                                 std::string& problem) {
  if (!context.online()) {
    problem = request.url + ": not in the cache, and the network is not asked";
    return std::nullopt;
  }
  request.timeout = context.next_request_time();
  if (request.timeout.count() == 0) {
    problem = request.url + ": the verification's time for the network ran out";
    return std::nullopt;
  }
  try {
    http::Response response = http::send(request);
    if (response.status == 200) return std::move(response.body);
    problem = request.url + ": HTTP status " + std::to_string(response.status);
  } catch (const http::HttpError& error) {
    problem = error.what();
  }
  return std::nullopt;
}

X509CrlPtr parse_crl(const std::string& bytes) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  const unsigned char* cursor = data;
  X509CrlPtr crl(d2i_X509_CRL(nullptr, &cursor, static_cast<long>(bytes.size())));
  if (!crl && bytes.find("-----BEGIN X509 CRL-----") != std::string::npos) {
    const BioPtr in(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
    if (in) crl.reset(PEM_read_bio_X509_CRL(in.get(), nullptr, nullptr, nullptr));
  }
  ERR_clear_error();
  return crl;
}

// Whether `time` is still to come.
bool in_future(const ASN1_TIME* time) {
  return time != nullptr && X509_cmp_time(time, nullptr) > 0;
}

// The DER that an i2d function wrote into memory of its own, or "" when it failed.
std::string take_der(unsigned char* written, int length) {
  const OpensslMemoryPtr<unsigned char> der(written);
  if (length <= 0 || !der) return {};
  return std::string(reinterpret_cast<const char*>(der.get()), static_cast<std::size_t>(length));
}

std::string der_of(const OCSP_CERTID* id) {
  unsigned char* der = nullptr;
  const int length = i2d_OCSP_CERTID(const_cast<OCSP_CERTID*>(id), &der);
  return take_der(der, length);
}

std::string ocsp_request_der(const OCSP_CERTID* id) {
  const OcspRequestPtr request(OCSP_REQUEST_new());
  OcspCertIdPtr copy(OCSP_CERTID_dup(const_cast<OCSP_CERTID*>(id)));
  if (!request || !copy || OCSP_request_add0_id(request.get(), copy.get()) == nullptr) return {};
  static_cast<void>(copy.release());  // the request owns it now
  unsigned char* der = nullptr;
  const int length = i2d_OCSP_REQUEST(request.get(), &der);
  return take_der(der, length);
}

// What a response says of `id`; `cacheable` tells whether it may be kept for later.
CertificateStatus judge_ocsp(const std::string& bytes, OCSP_CERTID* id, STACK_OF(X509) * untrusted,
                             X509_STORE* trusted, const std::string& url, bool& cacheable) {
  CertificateStatus status{CertificateStatus::State::unknown, {}, -1, url};
  cacheable = false;
  const auto* cursor = reinterpret_cast<const unsigned char*>(bytes.data());
  const OcspResponsePtr response(
      d2i_OCSP_RESPONSE(nullptr, &cursor, static_cast<long>(bytes.size())));
  const OcspBasicPtr basic(response && OCSP_response_status(response.get()) ==
                                           OCSP_RESPONSE_STATUS_SUCCESSFUL
                               ? OCSP_response_get1_basic(response.get())
                               : nullptr);
  int state = -1;
  int reason = -1;
  ASN1_GENERALIZEDTIME* revoked_at = nullptr;
  ASN1_GENERALIZEDTIME* this_update = nullptr;
  ASN1_GENERALIZEDTIME* next_update = nullptr;
  if (!basic) {
    status.source += ": no successful OCSP response";
  } else if (OCSP_basic_verify(basic.get(), untrusted, trusted, 0) != 1) {
    status.source += ": the OCSP response is not signed by the issuer or its responder";
  } else if (OCSP_resp_find_status(basic.get(), id, &state, &reason, &revoked_at, &this_update,
                                   &next_update) != 1) {
    status.source += ": the OCSP response does not name the certificate";
  } else if (OCSP_check_validity(this_update, next_update, 300, -1) != 1) {
    status.source += ": the OCSP response is not current";
  } else if (state == V_OCSP_CERTSTATUS_GOOD) {
    status.state = CertificateStatus::State::good;
  } else if (state == V_OCSP_CERTSTATUS_REVOKED) {
    status = {CertificateStatus::State::revoked, time_text(revoked_at), reason, "OCSP " + url};
  } else {
    status.source += ": the OCSP responder does not know the certificate";
  }
  cacheable = status.state != CertificateStatus::State::unknown && in_future(next_update);
  ERR_clear_error();
  return status;
}

}  // namespace

std::vector<std::string> crl_distribution_urls(X509* certificate) {
  std::vector<std::string> urls;
  const DistPointsPtr points(static_cast<CRL_DIST_POINTS*>(
      X509_get_ext_d2i(certificate, NID_crl_distribution_points, nullptr, nullptr)));
  for (int i = 0; i < sk_DIST_POINT_num(points.get()); ++i) {
    const DIST_POINT* point = sk_DIST_POINT_value(points.get(), i);
    if (point->distpoint == nullptr || point->distpoint->type != 0) continue;
    const GENERAL_NAMES* names = point->distpoint->name.fullname;
    for (int j = 0; j < sk_GENERAL_NAME_num(names); ++j) {
      const GENERAL_NAME* name = sk_GENERAL_NAME_value(names, j);
      if (name->type != GEN_URI) continue;
      const ASN1_IA5STRING* uri = name->d.uniformResourceIdentifier;
      std::string url(reinterpret_cast<const char*>(ASN1_STRING_get0_data(uri)),
                      static_cast<std::size_t>(ASN1_STRING_length(uri)));
      if (is_http(url)) urls.push_back(std::move(url));
    }
  }
  ERR_clear_error();
  return urls;
}

std::vector<std::string> ocsp_urls(X509* certificate) {
  std::vector<std::string> urls;
  const StringStackPtr found(X509_get1_ocsp(certificate));
  for (int i = 0; i < sk_OPENSSL_STRING_num(found.get()); ++i) {
    std::string url = sk_OPENSSL_STRING_value(found.get(), i);
    if (is_http(url)) urls.push_back(std::move(url));
  }
  return urls;
}

std::optional<SourcedCrl> fetch_crl(const std::string& url, RevocationContext& context,
                                    const RevocationCache& cache, std::string& problem) {
  const std::string key = "crl " + url;
  if (const auto cached = cache.read(key)) {
    X509CrlPtr crl = parse_crl(*cached);
    if (crl && in_future(X509_CRL_get0_nextUpdate(crl.get())))
      return SourcedCrl{std::move(crl), url};
  }
  http::Request request;
  request.url = url;
  request.response_limit = crl_limit;
  const auto bytes = fetch(request, context, problem);
  if (!bytes) return std::nullopt;
  X509CrlPtr crl = parse_crl(*bytes);
  if (!crl) {
    problem = url + ": the answer is not a CRL";
    return std::nullopt;
  }
  if (in_future(X509_CRL_get0_nextUpdate(crl.get()))) cache.write(key, *bytes);
  return SourcedCrl{std::move(crl), url};
}

CertificateStatus ocsp_status(X509* certificate, X509* issuer, const std::string& url,
                              STACK_OF(X509) * untrusted, X509_STORE* trusted,
                              RevocationContext& context, const RevocationCache& cache) {
  const OcspCertIdPtr id(OCSP_cert_to_id(nullptr, certificate, issuer));
  const std::string request_der = id ? ocsp_request_der(id.get()) : std::string();
  if (request_der.empty()) return {CertificateStatus::State::unknown, {}, -1, url};
  const std::string key = "ocsp " + url + ' ' + der_of(id.get());
  bool cacheable = false;
  if (const auto cached = cache.read(key)) {
    CertificateStatus status = judge_ocsp(*cached, id.get(), untrusted, trusted, url, cacheable);
    if (cacheable) return status;
  }
  http::Request request;
  request.method = http::Request::Method::post;
  request.url = url;
  request.body = request_der;
  request.content_type = "application/ocsp-request";
  request.response_limit = ocsp_limit;
  std::string problem;
  const auto bytes = fetch(request, context, problem);
  if (!bytes) return {CertificateStatus::State::unknown, {}, -1, problem};
  CertificateStatus status = judge_ocsp(*bytes, id.get(), untrusted, trusted, url, cacheable);
  if (cacheable) cache.write(key, *bytes);
  return status;
}

}  // namespace orvane::provider::openssl
