#include "provider/cryptoapi/certificate_summary.h"

#include <cstdio>
#include <vector>

#include "provider/cryptoapi/certificate.h"
#include "runtime/windows/wide_text.h"

namespace orvane::provider::cryptoapi {

// RFC 2253: the most specific name first, separated by commas without spaces. Windows puts a
// space after each comma and quotes a value that holds one, so only unquoted ", " separate.
std::string name_text(const CERT_NAME_BLOB& name) {
  constexpr DWORD form = CERT_X500_NAME_STR | CERT_NAME_STR_REVERSE_FLAG;
  CERT_NAME_BLOB blob = name;
  std::vector<wchar_t> text;
  windows::size_then_fill(text, [&](wchar_t* data, DWORD* size) {
    // The platform counts characters, the terminating one included; the helper bytes.
    const DWORD length =
        ::CertNameToStrW(X509_ASN_ENCODING, &blob, form, data, *size / sizeof(wchar_t));
    *size = length * sizeof(wchar_t);
    return length != 0;
  });
  const std::string windows =
      text_to_utf8(windows::text_from_wide(text.data(), text.empty() ? 0 : text.size() - 1));
  std::string rfc;
  bool quoted = false;
  for (std::size_t i = 0; i < windows.size(); ++i) {
    if (windows[i] == '"') quoted = !quoted;
    rfc += windows[i];
    if (!quoted && windows[i] == ',' && i + 1 < windows.size() && windows[i + 1] == ' ') ++i;
  }
  return rfc;
}

std::string time_text(const FILETIME& time) {
  SYSTEMTIME utc{};
  if (!::FileTimeToSystemTime(&time, &utc)) return {};
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02uZ", utc.wYear, utc.wMonth,
                utc.wDay, utc.wHour, utc.wMinute, utc.wSecond);
  return text;
}

CertificateSummary summarize(PCCERT_CONTEXT certificate) {
  const CryptoapiCertificate own(
      windows::CertificateContextHandle(::CertDuplicateCertificateContext(certificate)));
  const CERT_INFO& info = *certificate->pCertInfo;
  return {text_to_utf8(own.SerialNumber()), name_text(info.Subject), name_text(info.Issuer),
          time_text(info.NotBefore), time_text(info.NotAfter)};
}

bool is_certificate_authority(PCCERT_CONTEXT certificate) {
  const CERT_INFO& info = *certificate->pCertInfo;
  const CERT_EXTENSION* extension =
      ::CertFindExtension(szOID_BASIC_CONSTRAINTS2, info.cExtension, info.rgExtension);
  if (extension == nullptr) return false;
  CERT_BASIC_CONSTRAINTS2_INFO constraints{};
  DWORD size = sizeof constraints;
  return ::CryptDecodeObject(X509_ASN_ENCODING, szOID_BASIC_CONSTRAINTS2, extension->Value.pbData,
                             extension->Value.cbData, 0, &constraints, &size) &&
         constraints.fCA;
}

}  // namespace orvane::provider::cryptoapi
