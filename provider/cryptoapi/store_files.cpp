#include "provider/cryptoapi/store_files.h"

#include <fstream>
#include <iterator>

#include "provider/crypt_error.h"
#include "provider/cryptoapi/certificate_summary.h"
#include "provider/cryptoapi/chain_verification.h"
#include "runtime/program.h"
#include "runtime/text.h"
#include "runtime/windows/wide_text.h"

namespace orvane::provider::cryptoapi {

namespace fs = std::filesystem;
using windows::CertificateContextHandle;
using windows::StoreHandle;

std::string utf8(std::wstring_view wide) {
  return text_to_utf8(windows::text_from_wide(wide.data(), wide.size()));
}

std::vector<BYTE> read_whole_file(const fs::path& file, const std::string& what) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw StoreError("cannot read " + what + " " + path_to_utf8(file) + ": check the path");
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

StoreHandle open_writable(const wchar_t* name) {
  StoreHandle store(
      ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, name));
  if (!store) {
    throw StoreError("cannot open your certificate store " + utf8(name) + " (Windows error " +
                     std::to_string(::GetLastError()) + ")");
  }
  return store;
}

CertificateContextHandle add_to(HCERTSTORE store, PCCERT_CONTEXT certificate, const char* where) {
  PCCERT_CONTEXT added = nullptr;
  if (!::CertAddCertificateContextToStore(store, certificate, CERT_STORE_ADD_REPLACE_EXISTING,
                                          &added)) {
    if (::GetLastError() == ERROR_CANCELLED) {
      throw StoreError(std::string("the certificate was not added to ") + where +
                       ": Windows asked you to confirm, and it was not confirmed");
    }
    throw StoreError(std::string("cannot add the certificate to ") + where + " (Windows error " +
                     std::to_string(::GetLastError()) + ")");
  }
  // Other handles of the store see it at once, not when the last reference goes (Wine).
  ::CertControlStore(store, 0, CERT_STORE_CTRL_COMMIT, nullptr);
  return CertificateContextHandle(added);
}

StoredCertificate stored_as(PCCERT_CONTEXT certificate, const char* where, const std::string& key) {
  StoredCertificate stored;
  stored.summary = summarize(certificate);
  stored.certificate_file = path_from_utf8(where);
  stored.key_file = path_from_utf8(key);
  if (const auto error = chain_error(certificate)) {
    stored.why_not_trusted = text_to_utf8(crypt_error_text(*error));
    stored.chain_fault = *error;
  } else {
    stored.trusted = true;
  }
  return stored;
}

}  // namespace orvane::provider::cryptoapi
