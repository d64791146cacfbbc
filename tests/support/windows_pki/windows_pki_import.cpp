#include "tests/support/windows_pki/windows_pki_import.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

#include "provider/cryptoapi/certificate.h"
#include "provider/cryptoapi/key_material.h"
#include "runtime/text.h"

namespace orvane::testing {
namespace {

using windows::CertificateContextHandle;
using windows::StoreHandle;

[[noreturn]] void fail(const char* call) {
  throw std::runtime_error(std::string(call) + " failed with " + std::to_string(::GetLastError()));
}

StoreHandle open_user_store(const wchar_t* name) {
  StoreHandle store(
      ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, name));
  if (!store) fail("CertOpenStore");
  return store;
}

}  // namespace

std::vector<BYTE> read_pki_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::wstring read_pfx_password(const std::filesystem::path& pki_folder) {
  std::ifstream in(pki_folder / "pfx-password.txt");
  std::string password;
  std::getline(in, password);
  return std::wstring(password.begin(), password.end());
}

UserStoreImport::UserStoreImport(const wchar_t* store) : store_(open_user_store(store)) {}

UserStoreImport::~UserStoreImport() {
  remove();
}

void UserStoreImport::import_pfx(const std::filesystem::path& pfx, const std::wstring& password) {
  // As `orvane store import` opens a PFX: each key moved into a container of its own.
  const std::string utf8_password = text_to_utf8(Text(password.begin(), password.end()));
  provider::cryptoapi::KeyMaterial opened =
      provider::cryptoapi::read_key_material(read_pki_file(pfx), pfx, utf8_password);
  for (const auto& certificate : opened.with_key()) {
    provider::cryptoapi::KeyContainer container;
    if (provider::cryptoapi::container_of(certificate.get(), container)) {
      containers_.push_back(container);
    }
    add(certificate.get());
  }
  opened.keep();
  for (const auto& certificate : opened.others()) add(certificate.get());
}

void UserStoreImport::add_certificate(const std::filesystem::path& der,
                                      const CRYPT_KEY_PROV_INFO* key) {
  const std::vector<BYTE> bytes = read_pki_file(der);
  const CertificateContextHandle certificate(::CertCreateCertificateContext(
      X509_ASN_ENCODING, bytes.data(), static_cast<DWORD>(bytes.size())));
  if (!certificate) fail("CertCreateCertificateContext");
  if (key != nullptr &&
      !::CertSetCertificateContextProperty(certificate.get(), CERT_KEY_PROV_INFO_PROP_ID, 0, key)) {
    fail("CertSetCertificateContextProperty");
  }
  add(certificate.get());
}

void UserStoreImport::add(PCCERT_CONTEXT certificate) {
  PCCERT_CONTEXT added = nullptr;
  if (!::CertAddCertificateContextToStore(store_.get(), certificate,
                                          CERT_STORE_ADD_REPLACE_EXISTING, &added)) {
    fail("CertAddCertificateContextToStore");
  }
  added_.emplace_back(added);
  if (!commit()) fail("CertControlStore");
}

bool UserStoreImport::commit() {
  // Wine writes a system store out when its last reference goes, and the contexts kept here
  // are references: without this, other handles would not see the change until the end.
  return ::CertControlStore(store_.get(), 0, CERT_STORE_CTRL_COMMIT, nullptr) != FALSE;
}

void UserStoreImport::remove() {
  // CertDeleteCertificateFromStore frees the context it is given, whatever it returns.
  for (auto& added : added_) ::CertDeleteCertificateFromStore(added.release());
  added_.clear();
  commit();
  for (const auto& container : containers_) provider::cryptoapi::delete_container(container);
  containers_.clear();
}

}  // namespace orvane::testing
