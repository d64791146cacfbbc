#pragma once

// Managing the stores a back end signs from, for people: listing them, importing keys,
// trusting roots and the demonstration's throwaway PKI. What `orvane store` and `orvane demo`
// call; each back end implements it over its own stores. Texts are UTF-8.

#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "provider/crypt_error.h"

namespace orvane::provider {

// A store cannot be read or changed; the text says what to do.
class StoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A certificate as a person identifies it.
struct CertificateSummary {
  // Exactly the text that selects it by serial number.
  std::string serial;
  // Distinguished names in RFC 2253 form, "CN=Alice,O=Example".
  std::string subject;
  std::string issuer;
  // "2026-12-06T19:35:44Z".
  std::string valid_from;
  std::string valid_to;
};

// A file of a store folder that contributed nothing, and why.
struct SkippedFile {
  std::filesystem::path path;
  std::string reason;
};

// One certificate of a store.
struct ListedCertificate {
  // "My" (the personal store) or "smart card".
  std::string store;
  CertificateSummary summary;
  // Whether the store holds its private key, so that it can sign.
  bool has_key = false;
  // Whether it chains to a trusted root and every certificate of the chain is valid now; when
  // not, the reason as the verification reports it, and its failure when it is one.
  bool trusted = false;
  std::string why_not_trusted;
  std::optional<CryptError> chain_fault;
};

// The stores a back end signs from.
struct StoreListing {
  std::vector<ListedCertificate> certificates;
  std::vector<SkippedFile> skipped;
  // Parts of the store (the root, a folder, pkcs11.conf) that others could have changed, and
  // that were therefore not read, one line each with the reason.
  std::vector<std::string> not_used;
  // Tokens and PKCS #11 modules that the smart-card store did not read whole, one line each
  // with the reason ("token Alice (/usr/lib/x.so): its user PIN is blocked").
  std::vector<std::string> smart_card_notes;
  // Stores that could not be read at all, one line each saying what to do.
  std::vector<std::string> problems;
  // The revocation lists that verifications consult without the network: the store's CRL/
  // folder, or the user's stores.
  std::size_t crl_count = 0;
};

// A revocation list that `add_crl` stored.
struct StoredCrl {
  // Its issuer (RFC 2253) and its update times ("2026-12-06T19:35:44Z"; the next one empty
  // when it names none).
  std::string issuer;
  std::string this_update;
  std::string next_update;
  // Where it went: its file, or the store's name where stores are not files.
  std::filesystem::path file;
};

// A certificate that an import wrote (or found already there).
struct StoredCertificate {
  CertificateSummary summary;
  // Where it went: its file, or the store's name where stores are not files.
  std::filesystem::path certificate_file;
  // Where its private key went, or empty when none came with it.
  std::filesystem::path key_file;
  // As in a store listing, judged once the import is done.
  bool trusted = false;
  std::string why_not_trusted;
  std::optional<CryptError> chain_fault;
  // What the person should know about it though it was stored, or empty.
  std::string warning;
};

// What one import put where.
struct ImportResult {
  // Into the personal store: the certificates that came with their keys, or every certificate
  // of a file that holds no key.
  std::vector<StoredCertificate> personal;
  // The other certificates of a file with keys, the chain that came along.
  std::vector<StoredCertificate> authorities;
};

// The demonstration PKI's files and what the stores made of them.
struct DemoPki {
  // The root certificate, and the signer's certificate with its key where it is a file.
  std::filesystem::path root_file;
  std::filesystem::path signer_file;
  // As `orvane store trust` and `orvane store import` stored them.
  StoredCertificate root;
  StoredCertificate signer;
  // Whether the demonstration has stores of its own under the store root; otherwise it used
  // the user's stores, and `installation` takes it out of them again.
  bool in_store_folder = true;
  std::shared_ptr<void> installation;
};

// Whether this back end's stores are folders of files, which a store root names; otherwise the
// certificates come from the platform's own stores and a store root means nothing.
bool has_store_folders();

// The store root when none is given; empty without store folders, or when the environment
// names none.
std::filesystem::path default_store_root();

// Lists the personal store and then the smart-card store, in store order. Never throws for a
// store that cannot be read: it is named under `problems`. `store_root` is the folder of the
// file-based stores, where the back end has them.
StoreListing list_stores(const std::filesystem::path& store_root);

// Imports `file` (a PKCS #12 file, or on back ends with file stores also PEM / DER
// certificates with their keys) into the personal store. A file that cannot be read, or whose
// password is wrong, leaves the store untouched. Throws StoreError, with what to do.
ImportResult import_into_store(const std::filesystem::path& store_root,
                               const std::filesystem::path& file,
                               const std::optional<std::string>& password);

// Trusts the self-signed certificates of `file` (PEM or DER) as roots, so that chains ending
// in them verify; one that is not marked as a certificate authority is trusted too (it may be
// a signer's own), with a warning. Throws StoreError when the file holds none.
std::vector<StoredCertificate> trust_roots(const std::filesystem::path& store_root,
                                           const std::filesystem::path& file);

// Adds the CRLs of `file` (PEM or DER) to the revocation lists that verifications consult:
// the store's CRL/ folder, or the user's intermediate authorities store. Each must be signed by
// a certificate of the trusted roots or intermediate authorities of the store (Root/ or CA/),
// or nothing is added. Throws StoreError, with what to do.
std::vector<StoredCrl> add_crl(const std::filesystem::path& store_root,
                               const std::filesystem::path& file);

// Makes a root and a signer certificate (random serial numbers, valid from a day ago for a
// year), writes what is a file into `source_folder`, and installs them as `orvane store trust`
// and `orvane store import` would. Throws std::runtime_error when a key or certificate cannot
// be made, StoreError when the stores cannot take them.
DemoPki install_demo_pki(const std::filesystem::path& store_root,
                         const std::filesystem::path& source_folder);

// One line for each part of the stores that is not used because others could have changed
// it, saying why; none where the platform guards the stores itself.
std::vector<std::string> refused_store_parts(const std::filesystem::path& store_root);

}  // namespace orvane::provider
