#include "provider/cryptoapi/certificate.h"

#include "provider/serial_number.h"

namespace orvane::provider::cryptoapi {
namespace {

// The FILETIME (100 ns since 1601, UTC) of a moment; moments before 1601 become 1601.
FILETIME file_time_of(std::int64_t utc_seconds) {
  constexpr std::int64_t seconds_1601_to_1970 = 11644473600;
  const std::int64_t seconds = utc_seconds + seconds_1601_to_1970;
  const auto ticks = static_cast<std::uint64_t>(seconds < 0 ? 0 : seconds) * 10000000u;
  return FILETIME{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
}

}  // namespace

CryptoapiCertificate::CryptoapiCertificate(CertificateContextHandle context)
    : context_(std::move(context)) {}

Text CryptoapiCertificate::SerialNumber() const {
  // From the encoding rather than CERT_INFO: crypt32 keeps the integer little-endian and drops
  // the sign octet that a serial with its top bit set has, and callers compare that octet too.
  const auto serial = certificate_serial_number(
      ByteView(context_->pbCertEncoded, static_cast<std::size_t>(context_->cbCertEncoded)));
  return serial ? *serial : Text();
}

bool CryptoapiCertificate::has_key() const {
  DWORD size = 0;
  return ::CertGetCertificateContextProperty(context_.get(), CERT_KEY_PROV_INFO_PROP_ID, nullptr,
                                             &size) != FALSE;
}

bool CryptoapiCertificate::valid_at(std::int64_t utc_seconds) const {
  FILETIME moment = file_time_of(utc_seconds);
  return ::CertVerifyTimeValidity(&moment, context_->pCertInfo) == 0;
}

}  // namespace orvane::provider::cryptoapi
