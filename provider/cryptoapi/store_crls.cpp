#include "provider/cryptoapi/store_crls.h"

#include <string_view>

#include "provider/base64.h"
#include "provider/cryptoapi/certificate_summary.h"
#include "provider/cryptoapi/store_files.h"
#include "runtime/program.h"

namespace orvane::provider::cryptoapi {
namespace {

windows::StoreHandle open_user_store(const wchar_t* name, DWORD flags = 0) {
  return windows::StoreHandle(::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                              CERT_SYSTEM_STORE_CURRENT_USER | flags, name));
}

std::string issuer_text(PCCRL_CONTEXT crl) {
  return name_text(crl->pCrlInfo->Issuer);
}

}  // namespace

std::vector<Bytes> pem_blocks(const std::vector<BYTE>& bytes, std::string_view label) {
  std::vector<Bytes> blocks;
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  const std::string begin = "-----BEGIN " + std::string(label) + "-----";
  const std::string end = "-----END " + std::string(label) + "-----";
  for (std::size_t at = text.find(begin); at != std::string_view::npos;
       at = text.find(begin, at + 1)) {
    const std::size_t stop = text.find(end, at);
    if (stop == std::string_view::npos) break;
    const std::string_view block = text.substr(at, stop + end.size() - at);
    if (auto der = decode_base64_text(
            ByteView(reinterpret_cast<const std::uint8_t*>(block.data()), block.size()))) {
      blocks.push_back(std::move(*der));
    }
  }
  return blocks;
}

std::vector<windows::CrlContextHandle> crls_in(const std::vector<BYTE>& bytes) {
  std::vector<windows::CrlContextHandle> crls;
  const auto add = [&crls](const BYTE* der, std::size_t size) {
    windows::CrlContextHandle crl(
        ::CertCreateCRLContext(X509_ASN_ENCODING, der, static_cast<DWORD>(size)));
    if (crl) crls.push_back(std::move(crl));
  };
  for (const auto& der : pem_blocks(bytes, "X509 CRL")) add(der.data(), der.size());
  if (crls.empty()) add(bytes.data(), bytes.size());
  return crls;
}

bool signed_by_user_authority(PCCRL_CONTEXT crl) {
  for (const wchar_t* name : {L"Root", L"CA"}) {
    const windows::StoreHandle store = open_user_store(name, CERT_STORE_READONLY_FLAG);
    if (!store) continue;
    CERT_NAME_BLOB issuer = crl->pCrlInfo->Issuer;
    // The search frees each certificate it passes as it goes on to the next.
    for (PCCERT_CONTEXT certificate = ::CertFindCertificateInStore(
             store.get(), X509_ASN_ENCODING, 0, CERT_FIND_SUBJECT_NAME, &issuer, nullptr);
         certificate != nullptr;
         certificate = ::CertFindCertificateInStore(store.get(), X509_ASN_ENCODING, 0,
                                                    CERT_FIND_SUBJECT_NAME, &issuer, certificate)) {
      if (::CryptVerifyCertificateSignatureEx(
              0, X509_ASN_ENCODING, CRYPT_VERIFY_CERT_SIGN_SUBJECT_CRL,
              const_cast<CRL_CONTEXT*>(crl), CRYPT_VERIFY_CERT_SIGN_ISSUER_CERT,
              const_cast<CERT_CONTEXT*>(certificate), 0, nullptr)) {
        const windows::CertificateContextHandle found(certificate);
        return true;
      }
    }
  }
  return false;
}

StoredCrl add_user_crl(PCCRL_CONTEXT crl) {
  const windows::StoreHandle store = open_user_store(L"CA");
  if (!store) {
    throw StoreError("cannot open your certificate store CA (Windows error " +
                     std::to_string(::GetLastError()) + ")");
  }
  if (!::CertAddCRLContextToStore(store.get(), crl, CERT_STORE_ADD_NEWER, nullptr) &&
      ::GetLastError() != static_cast<DWORD>(CRYPT_E_EXISTS)) {
    throw StoreError(
        "cannot add the CRL to your intermediate authorities store (CA) (Windows "
        "error " +
        std::to_string(::GetLastError()) + ")");
  }
  const CRL_INFO& info = *crl->pCrlInfo;
  const bool has_next = info.NextUpdate.dwLowDateTime != 0 || info.NextUpdate.dwHighDateTime != 0;
  return {issuer_text(crl), time_text(info.ThisUpdate),
          has_next ? time_text(info.NextUpdate) : std::string(),
          "your intermediate authorities store (CA)"};
}

std::size_t user_crl_count() {
  std::size_t count = 0;
  for (const wchar_t* name : {L"CA", L"Root"}) {
    const windows::StoreHandle store = open_user_store(name, CERT_STORE_READONLY_FLAG);
    if (!store) continue;
    // The enumeration frees each CRL it passes as it goes on to the next.
    for (PCCRL_CONTEXT crl = ::CertEnumCRLsInStore(store.get(), nullptr); crl != nullptr;
         crl = ::CertEnumCRLsInStore(store.get(), crl)) {
      ++count;
    }
  }
  return count;
}

}  // namespace orvane::provider::cryptoapi

namespace orvane::provider {

std::vector<StoredCrl> add_crl(const std::filesystem::path&, const std::filesystem::path& file) {
  using namespace cryptoapi;
  const auto crls = crls_in(read_whole_file(file, "the CRL"));
  if (crls.empty()) {
    throw StoreError(path_to_utf8(file) + " holds no CRL: give a CRL in PEM or DER form");
  }
  for (const auto& crl : crls) {
    if (!signed_by_user_authority(crl.get())) {
      throw StoreError("a CRL of " + path_to_utf8(file) + " is not signed by a certificate of " +
                       root_store + " or " + authorities_store +
                       ": trust its issuer's root with `orvane store trust` first");
    }
  }
  std::vector<StoredCrl> stored;
  for (const auto& crl : crls) stored.push_back(add_user_crl(crl.get()));
  return stored;
}

}  // namespace orvane::provider
