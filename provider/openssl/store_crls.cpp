// Adding revocation lists to the file-based stores: add_crl of provider/store_administration.h,
// into CRL/ below the store root, each CRL checked against the certificates of Root/ and CA/
// and written as PEM, readable by everyone like a certificate.
#include <openssl/err.h>
#include <openssl/pem.h>

#include "provider/openssl/certificate_summary.h"
#include "provider/openssl/revocation_handles.h"
#include "provider/openssl/store_files.h"
#include "provider/openssl/store_folder.h"
#include "provider/store_administration.h"

namespace orvane::provider::openssl {
namespace {

namespace fs = std::filesystem;

CrlList crls_of(const std::string& bytes) {
  CrlList crls;
  if (bytes.find("-----BEGIN X509 CRL-----") != std::string::npos) {
    const BioPtr in(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
    while (in) {
      X509CrlPtr crl(PEM_read_bio_X509_CRL(in.get(), nullptr, nullptr, nullptr));
      if (!crl) break;
      crls.push_back(std::move(crl));
    }
  } else {
    const auto* cursor = reinterpret_cast<const unsigned char*>(bytes.data());
    if (X509CrlPtr crl{d2i_X509_CRL(nullptr, &cursor, static_cast<long>(bytes.size()))}) {
      crls.push_back(std::move(crl));
    }
  }
  ERR_clear_error();
  return crls;
}

std::string issuer_text(X509_CRL* crl) {
  return name_text(X509_CRL_get_issuer(crl));
}

bool signed_by_one_of(X509_CRL* crl, const std::vector<X509Ptr>& certificates) {
  for (const auto& certificate : certificates) {
    if (X509_NAME_cmp(X509_get_subject_name(certificate.get()), X509_CRL_get_issuer(crl)) != 0) {
      continue;
    }
    EVP_PKEY* key = X509_get0_pubkey(certificate.get());
    if (key != nullptr && X509_CRL_verify(crl, key) == 1) return true;
  }
  ERR_clear_error();
  return false;
}

std::string pem_of(X509_CRL* crl) {
  const BioPtr out(BIO_new(BIO_s_mem()));
  if (!out || PEM_write_bio_X509_CRL(out.get(), crl) != 1) {
    throw StoreError("cannot encode the CRL of " + issuer_text(crl));
  }
  char* data = nullptr;
  const long length = BIO_get_mem_data(out.get(), &data);
  return std::string(data, static_cast<std::size_t>(length));
}

// The file's name: the issuer's name hash, as OpenSSL's own CRL folders have it.
std::string stem_of(X509_CRL* crl) {
  char stem[16];
  std::snprintf(stem, sizeof stem, "%08lx",
                X509_NAME_hash_ex(X509_CRL_get_issuer(crl), nullptr, nullptr, nullptr));
  return stem;
}

}  // namespace

}  // namespace orvane::provider::openssl

namespace orvane::provider {

std::vector<StoredCrl> add_crl(const std::filesystem::path& store_root,
                               const std::filesystem::path& file) {
  using namespace openssl;
  const CrlList crls = crls_of(read_whole_file(file, "the CRL"));
  if (crls.empty()) {
    throw StoreError(file.string() + " holds no CRL: give a CRL in PEM or DER form");
  }
  std::vector<X509Ptr> issuers =
      load_store_folder(store_root, "Root", FolderParts::certificates).certificates;
  for (auto& certificate :
       load_store_folder(store_root, "CA", FolderParts::certificates).certificates) {
    issuers.push_back(std::move(certificate));
  }
  for (const auto& crl : crls) {
    if (!signed_by_one_of(crl.get(), issuers)) {
      throw StoreError("the CRL of " + issuer_text(crl.get()) + " in " + file.string() +
                       " is not signed by a certificate of Root/ or CA/: trust its issuer's "
                       "root with `orvane store trust`, or import its issuer into CA/ first");
    }
  }
  const fs::path folder = make_store_folder(store_root, "CRL", FolderUse::certificates);
  std::vector<StoredCrl> stored;
  for (const auto& crl : crls) {
    const ASN1_TIME* next = X509_CRL_get0_nextUpdate(crl.get());
    stored.push_back({issuer_text(crl.get()), time_text(X509_CRL_get0_lastUpdate(crl.get())),
                      next ? time_text(next) : std::string(),
                      write_store_file(folder, stem_of(crl.get()), ".crl", pem_of(crl.get()),
                                       FileAccess::everyone)});
  }
  return stored;
}

}  // namespace orvane::provider
