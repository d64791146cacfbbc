#include "provider/openssl/certificate_summary.h"

#include <openssl/asn1.h>

#include <cstdio>
#include <ctime>

#include "provider/openssl/certificate.h"

namespace orvane::provider::openssl {
std::string name_text(const X509_NAME* name) {
  const BioPtr out(BIO_new(BIO_s_mem()));
  // RFC 2253, but with UTF-8 left as it is rather than escaped, for a terminal to show.
  if (!out || X509_NAME_print_ex(out.get(), name, 0, XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB) < 0) {
    return "?";
  }
  char* data = nullptr;
  const long length = BIO_get_mem_data(out.get(), &data);
  return std::string(data, static_cast<std::size_t>(length));
}

std::string time_text(const ASN1_TIME* time) {
  std::tm fields{};
  if (time == nullptr || ASN1_TIME_to_tm(time, &fields) != 1) return "?";
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", fields.tm_year + 1900,
                fields.tm_mon + 1, fields.tm_mday, fields.tm_hour, fields.tm_min, fields.tm_sec);
  return text;
}

CertificateSummary summarize(X509* certificate) {
  return {text_to_utf8(serial_number_text(certificate)),
          name_text(X509_get_subject_name(certificate)),
          name_text(X509_get_issuer_name(certificate)), time_text(X509_get0_notBefore(certificate)),
          time_text(X509_get0_notAfter(certificate))};
}

}  // namespace orvane::provider::openssl
