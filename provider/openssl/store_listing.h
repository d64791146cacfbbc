#pragma once

// What the stores under a store root hold, for people to read: every certificate of the
// personal and smart-card stores with its key and trust, and the files that were passed over.
// Free of OpenSSL headers.

#include <filesystem>
#include <string>
#include <vector>

#include "provider/openssl/skipped_file.h"

namespace orvane::provider::openssl {

// A certificate as a person identifies it. Texts are UTF-8.
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

// One certificate of a store.
struct ListedCertificate {
  // "My" (the personal store) or "smart card".
  std::string store;
  CertificateSummary summary;
  // Whether the store holds its private key, so that it can sign.
  bool has_key = false;
  // Whether it chains to a trusted root and every certificate of the chain is valid now; when
  // not, the reason as the verification reports it.
  bool trusted = false;
  std::string why_not_trusted;
};

// The stores under one store root.
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
};

// Lists the personal store (My/) and then the smart-card store, in store order. Never throws
// for a store that cannot be read: it is named under `problems`.
StoreListing list_stores(const std::filesystem::path& store_root);

}  // namespace orvane::provider::openssl
