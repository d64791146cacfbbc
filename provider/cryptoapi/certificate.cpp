#include "provider/cryptoapi/certificate.h"

#include "provider/cryptoapi/file_time.h"
#include "provider/serial_number.h"

namespace orvane::provider::cryptoapi {

CryptoapiCertificate::CryptoapiCertificate(windows::CertificateContextHandle context)
    : context_(std::move(context)) {}

Text CryptoapiCertificate::SerialNumber() const {
  // From the encoding rather than CERT_INFO: crypt32 keeps the integer little-endian and drops
  // the sign octet that a serial with its top bit set has, and callers compare that octet too.
  const auto serial = certificate_serial_number(ByteView(
      context_.get()->pbCertEncoded, static_cast<std::size_t>(context_.get()->cbCertEncoded)));
  return serial ? *serial : Text();
}

bool CryptoapiCertificate::has_key() const {
  DWORD size = 0;
  return ::CertGetCertificateContextProperty(context_.get(), CERT_KEY_PROV_INFO_PROP_ID, nullptr,
                                             &size) != FALSE;
}

std::vector<BYTE> certificate_property(PCCERT_CONTEXT certificate, DWORD id) {
  std::vector<BYTE> value;
  windows::size_then_fill(value, [&](BYTE* data, DWORD* size) {
    return ::CertGetCertificateContextProperty(certificate, id, data, size) != FALSE;
  });
  return value;
}

bool CryptoapiCertificate::valid_at(std::int64_t utc_seconds) const {
  FILETIME moment = file_time_of(utc_seconds);
  return ::CertVerifyTimeValidity(&moment, context_.get()->pCertInfo) == 0;
}

}  // namespace orvane::provider::cryptoapi
