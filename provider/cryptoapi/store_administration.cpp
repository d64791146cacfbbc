// The user's Windows certificate stores, as `orvane store` and `orvane demo` manage them:
// the personal store (My) with its keys, the intermediate authorities (CA) and the trusted
// roots (Root). There are no store folders: a store root means nothing here.
#include "provider/store_administration.h"

#include <fstream>
#include <iterator>
#include <string_view>

#include "provider/cryptoapi/certificate.h"
#include "provider/cryptoapi/certificate_summary.h"
#include "provider/cryptoapi/chain_verification.h"
#include "provider/cryptoapi/crl_store.h"
#include "provider/cryptoapi/demo_certificates.h"
#include "provider/cryptoapi/key_container.h"
#include "provider/cryptoapi/pfx_import.h"
#include "provider/cryptoapi/store.h"
#include "runtime/failure.h"
#include "runtime/program.h"
#include "runtime/windows/wide_text.h"

namespace orvane::provider {
namespace {

namespace fs = std::filesystem;
using cryptoapi::CryptoapiCertificate;
using windows::CertificateContextHandle;
using windows::StoreHandle;

const char* const personal_store = "your personal store (My)";
const char* const authorities_store = "your intermediate authorities store (CA)";
const char* const root_store = "your trusted root store (Root)";

std::string utf8(std::wstring_view wide) {
  return text_to_utf8(windows::text_from_wide(wide.data(), wide.size()));
}

std::vector<BYTE> read_bytes(const fs::path& file, const std::string& what) {
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

// Adds `certificate` with its properties; the stored copy.
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

void judge_trust(StoredCertificate& stored, PCCERT_CONTEXT certificate) {
  if (const auto error = cryptoapi::chain_error(certificate)) {
    stored.why_not_trusted = text_to_utf8(crypt_error_text(*error));
  } else {
    stored.trusted = true;
  }
}

StoredCertificate stored_as(PCCERT_CONTEXT certificate, const char* where, const std::string& key) {
  StoredCertificate stored;
  stored.summary = cryptoapi::summarize(certificate);
  stored.certificate_file = path_from_utf8(where);
  stored.key_file = path_from_utf8(key);
  judge_trust(stored, certificate);
  return stored;
}

// The certificates of a PEM or DER file.
std::vector<CertificateContextHandle> certificates_in(const std::vector<BYTE>& bytes,
                                                      const std::string& file) {
  std::vector<CertificateContextHandle> certificates;
  const auto add = [&certificates](const BYTE* der, std::size_t size) {
    CertificateContextHandle certificate(
        ::CertCreateCertificateContext(X509_ASN_ENCODING, der, static_cast<DWORD>(size)));
    if (certificate) certificates.push_back(std::move(certificate));
  };
  for (const auto& der : cryptoapi::pem_blocks(bytes, "CERTIFICATE")) add(der.data(), der.size());
  if (certificates.empty()) add(bytes.data(), bytes.size());
  if (certificates.empty()) {
    throw StoreError(file + " holds no certificate (PEM or DER): check the file");
  }
  return certificates;
}

bool signs_itself(PCCERT_CONTEXT certificate) {
  return ::CertCompareCertificateName(X509_ASN_ENCODING, &certificate->pCertInfo->Subject,
                                      &certificate->pCertInfo->Issuer) &&
         ::CryptVerifyCertificateSignatureEx(
             0, X509_ASN_ENCODING, CRYPT_VERIFY_CERT_SIGN_SUBJECT_CERT,
             const_cast<CERT_CONTEXT*>(certificate), CRYPT_VERIFY_CERT_SIGN_ISSUER_CERT,
             const_cast<CERT_CONTEXT*>(certificate), 0, nullptr);
}

// Takes the demonstration's certificates and keys out of the user's stores again.
class DemoInstallation {
 public:
  DemoInstallation(std::vector<BYTE> root, std::vector<BYTE> signer,
                   cryptoapi::KeyContainer signer_key)
      : root_(std::move(root)), signer_(std::move(signer)), signer_key_(std::move(signer_key)) {}
  ~DemoInstallation() {
    remove(L"My", signer_);
    remove(L"Root", root_);
    cryptoapi::delete_container(signer_key_);
  }
  DemoInstallation(const DemoInstallation&) = delete;
  DemoInstallation& operator=(const DemoInstallation&) = delete;

 private:
  static void remove(const wchar_t* store_name, const std::vector<BYTE>& encoded) {
    StoreHandle store(::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                      CERT_SYSTEM_STORE_CURRENT_USER, store_name));
    if (!store) return;
    const CertificateContextHandle wanted(::CertCreateCertificateContext(
        X509_ASN_ENCODING, encoded.data(), static_cast<DWORD>(encoded.size())));
    if (!wanted) return;
    PCCERT_CONTEXT found = ::CertFindCertificateInStore(store.get(), X509_ASN_ENCODING, 0,
                                                        CERT_FIND_EXISTING, wanted.get(), nullptr);
    if (found == nullptr) return;
    // Frees `found`, whatever it returns.
    ::CertDeleteCertificateFromStore(found);
    ::CertControlStore(store.get(), 0, CERT_STORE_CTRL_COMMIT, nullptr);
  }

  std::vector<BYTE> root_;
  std::vector<BYTE> signer_;
  cryptoapi::KeyContainer signer_key_;
};

}  // namespace

bool has_store_folders() {
  return false;
}

fs::path default_store_root() {
  return {};
}

std::vector<std::string> refused_store_parts(const fs::path&) {
  return {};
}

StoreListing list_stores(const fs::path&) {
  StoreListing listing;
  const std::pair<StoreLocation, const char*> stores[] = {
      {StoreLocation::current_user, "My"}, {StoreLocation::smart_card_user, "smart card"}};
  for (const auto& [location, name] : stores) {
    try {
      cryptoapi::CryptoapiStore store;
      store.Open(location, u"My");
      const auto certificates = store.Certificates();
      for (std::int32_t i = 1; i <= certificates->Count(); ++i) {
        const auto certificate =
            std::static_pointer_cast<const CryptoapiCertificate>(certificates->Item(i));
        ListedCertificate listed;
        listed.store = name;
        listed.summary = cryptoapi::summarize(certificate->context());
        listed.has_key = certificate->has_key();
        if (const auto error = cryptoapi::chain_error(certificate->context())) {
          listed.why_not_trusted = text_to_utf8(crypt_error_text(*error));
        } else {
          listed.trusted = true;
        }
        listing.certificates.push_back(std::move(listed));
      }
    } catch (const Failure& failure) {
      listing.problems.push_back(std::string("the ") + name +
                                 " store cannot be read: " + text_to_utf8(failure.description()));
    }
  }
  listing.crl_count = cryptoapi::user_crl_count();
  return listing;
}

std::vector<StoredCrl> add_crl(const fs::path&, const fs::path& file) {
  const auto crls = cryptoapi::crls_in(read_bytes(file, "the CRL"));
  if (crls.empty()) {
    throw StoreError(path_to_utf8(file) + " holds no CRL: give a CRL in PEM or DER form");
  }
  for (const auto& crl : crls) {
    if (!cryptoapi::signed_by_user_authority(crl.get())) {
      throw StoreError("a CRL of " + path_to_utf8(file) + " is not signed by a certificate of " +
                       root_store + " or " + authorities_store +
                       ": trust its issuer's root with `orvane store trust` first");
    }
  }
  std::vector<StoredCrl> stored;
  for (const auto& crl : crls) stored.push_back(cryptoapi::add_user_crl(crl.get()));
  return stored;
}

ImportResult import_into_store(const fs::path&, const fs::path& file,
                               const std::optional<std::string>& password) {
  const std::string name = path_to_utf8(file);
  const std::vector<BYTE> bytes = read_bytes(file, "the file to import");
  std::wstring wide_password;
  if (password) {
    const Text text = text_from_utf8(*password);
    wide_password.assign(text.begin(), text.end());
  }
  cryptoapi::OpenedPfx pfx(bytes, password ? &wide_password : nullptr, name);
  if (pfx.with_key().empty()) {
    throw StoreError(name +
                     " holds no private key: import a PKCS #12 file with the key, or "
                     "trust a root with `orvane store trust`");
  }

  const StoreHandle personal = open_writable(L"My");
  std::vector<CertificateContextHandle> personal_added;
  for (const auto& certificate : pfx.with_key()) {
    personal_added.push_back(add_to(personal.get(), certificate.get(), personal_store));
  }
  pfx.keep();
  std::vector<CertificateContextHandle> authorities_added;
  if (!pfx.others().empty()) {
    const StoreHandle authorities = open_writable(L"CA");
    for (const auto& certificate : pfx.others()) {
      authorities_added.push_back(add_to(authorities.get(), certificate.get(), authorities_store));
    }
  }

  ImportResult result;
  for (const auto& certificate : personal_added) {
    cryptoapi::KeyContainer container;
    const std::string key = cryptoapi::container_of(certificate.get(), container)
                                ? "key container " + utf8(container.name)
                                : std::string("its key storage provider");
    result.personal.push_back(stored_as(certificate.get(), personal_store, key));
  }
  for (const auto& certificate : authorities_added) {
    result.authorities.push_back(stored_as(certificate.get(), authorities_store, {}));
  }
  return result;
}

std::vector<StoredCertificate> trust_roots(const fs::path&, const fs::path& file) {
  const std::string name = path_to_utf8(file);
  const auto certificates = certificates_in(read_bytes(file, "the root certificate"), name);
  std::vector<PCCERT_CONTEXT> roots;
  for (const auto& certificate : certificates) {
    if (signs_itself(certificate.get())) roots.push_back(certificate.get());
  }
  if (roots.empty()) {
    throw StoreError(name +
                     " holds no root certificate (one that signs itself): trust the root at "
                     "the top of its chain, " +
                     cryptoapi::summarize(certificates.front().get()).issuer);
  }
  const StoreHandle store = open_writable(L"Root");
  std::vector<StoredCertificate> stored;
  for (PCCERT_CONTEXT root : roots) {
    const CertificateContextHandle added = add_to(store.get(), root, root_store);
    stored.push_back(stored_as(added.get(), root_store, {}));
    if (!cryptoapi::is_certificate_authority(root)) {
      stored.back().warning =
          stored.back().summary.serial +
          " is not marked as a certificate authority (CA:FALSE), yet is now trusted as a root: "
          "whatever it signed verifies, itself included; make sure that is what you want";
    }
  }
  return stored;
}

DemoPki install_demo_pki(const fs::path&, const fs::path& source_folder) {
  cryptoapi::DemoCertificates made = cryptoapi::make_demo_certificates();
  // From here on, whatever was installed goes again with the result, or at once on a failure.
  DemoPki pki;
  pki.in_store_folder = false;
  pki.installation = std::make_shared<DemoInstallation>(made.root_certificate,
                                                        made.signer_certificate, made.signer_key);
  fs::create_directories(source_folder);
  pki.root_file = source_folder / "root.cer";
  pki.signer_file = source_folder / "signer.cer";
  const auto write = [](const fs::path& path, const std::vector<BYTE>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) throw StoreError("cannot write " + path_to_utf8(path));
  };
  write(pki.root_file, made.root_certificate);
  write(pki.signer_file, made.signer_certificate);
  pki.root = trust_roots({}, pki.root_file).at(0);

  // Straight into the personal store with its key: a PFX would carry the key out of its
  // container, and Wine cannot write one.
  const CertificateContextHandle signer(
      ::CertCreateCertificateContext(X509_ASN_ENCODING, made.signer_certificate.data(),
                                     static_cast<DWORD>(made.signer_certificate.size())));
  if (!signer) throw StoreError("the demonstration signer's certificate cannot be read");
  cryptoapi::bind_key(signer.get(), made.signer_key);
  const StoreHandle personal = open_writable(L"My");
  const CertificateContextHandle added = add_to(personal.get(), signer.get(), personal_store);
  pki.signer =
      stored_as(added.get(), personal_store, "key container " + utf8(made.signer_key.name));
  return pki;
}

}  // namespace orvane::provider
