#include "provider/openssl/certificate.h"

#include <openssl/asn1.h>

#include <ctime>
#include <optional>

#include "provider/serial_number.h"
#include "provider/utc_time.h"

namespace orvane::provider::openssl {
std::optional<std::int64_t> seconds_of(const ASN1_TIME* time) {
  std::tm fields{};
  if (time == nullptr || ASN1_TIME_to_tm(time, &fields) != 1) return std::nullopt;
  return utc_seconds(LocalDateTime{fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday,
                                   fields.tm_hour, fields.tm_min, fields.tm_sec, 0});
}

OpensslCertificate::OpensslCertificate(X509Ptr x509, std::shared_ptr<const StoredKey> private_key,
                                       std::shared_ptr<const KeyDevice> device)
    : device_(std::move(device)), x509_(std::move(x509)), private_key_(std::move(private_key)) {}

void OpensslCertificate::read_fields() const {
  std::call_once(read_, [this] {
    serial_number_ = serial_number_text(x509_.get());
    not_before_ = seconds_of(X509_get0_notBefore(x509_.get()));
    not_after_ = seconds_of(X509_get0_notAfter(x509_.get()));
  });
}

Text OpensslCertificate::SerialNumber() const {
  read_fields();
  return serial_number_;
}

bool OpensslCertificate::valid_at(std::int64_t utc_seconds) const {
  read_fields();
  return not_before_ && not_after_ && *not_before_ <= utc_seconds && utc_seconds <= *not_after_;
}

Text serial_number_text(const X509* x509) {
  // The DER encoding, not the integer's magnitude: it carries the sign octet that a serial
  // with its top bit set needs, and callers compare that octet too.
  unsigned char* der = nullptr;
  const int length = i2d_ASN1_INTEGER(X509_get0_serialNumber(x509), &der);
  const OpensslMemoryPtr<unsigned char> owned(der);
  if (length < 2) return {};
  // Tag, then a short length or a long one whose first octet counts its length octets.
  std::size_t content = 2;
  if (der[1] & 0x80) content += der[1] & 0x7F;
  return serial_number_hex(ByteView(der + content, static_cast<std::size_t>(length) - content));
}

CertificateList certificates_without_keys(const std::vector<X509Ptr>& list) {
  CertificateList certificates;
  certificates.reserve(list.size());
  for (const auto& x509 : list) {
    certificates.push_back(std::make_shared<OpensslCertificate>(share(x509.get()), nullptr));
  }
  return certificates;
}

}  // namespace orvane::provider::openssl
