#pragma once

// Writing into the user's certificate stores: the personal store (My), the intermediate
// authorities (CA) and the trusted roots (Root), and reading the files handed to them. The
// platform's stores are not files; the name mirrors the OpenSSL back end's, which does the
// same job for its store folders.

#include <windows.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "provider/store_administration.h"
#include "runtime/windows/owned.h"

namespace orvane::provider::cryptoapi {

// How the stores are named to people.
inline constexpr const char* personal_store = "your personal store (My)";
inline constexpr const char* authorities_store = "your intermediate authorities store (CA)";
inline constexpr const char* root_store = "your trusted root store (Root)";

// `wide` as UTF-8.
std::string utf8(std::wstring_view wide);

// The whole file. Throws StoreError, naming `what` ("the CRL"), when it cannot be read.
std::vector<BYTE> read_whole_file(const std::filesystem::path& file, const std::string& what);

// The user's system store `name` ("My", "CA", "Root"), open for writing. Throws StoreError.
windows::StoreHandle open_writable(const wchar_t* name);

// Adds `certificate` with its properties to `store`, replacing an earlier copy, and returns the
// stored copy. `where` names the store in the StoreError thrown when it cannot be added.
windows::CertificateContextHandle add_to(HCERTSTORE store, PCCERT_CONTEXT certificate,
                                         const char* where);

// What an import reports of `certificate`, stored in `where`, with its key `key` (empty when
// none), its trust judged now.
StoredCertificate stored_as(PCCERT_CONTEXT certificate, const char* where, const std::string& key);

}  // namespace orvane::provider::cryptoapi
