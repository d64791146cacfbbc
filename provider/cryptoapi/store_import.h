#pragma once

// Putting certificates and keys into the user's stores: import_into_store and trust_roots of
// provider/store_administration.h. A PKCS #12 file goes to the personal store (My) with its
// keys, each in a container of its own that cannot export it, and the chain that came along
// to the intermediate authorities (CA); roots go to the trusted roots (Root). A store root
// means nothing here.

#include "provider/store_administration.h"

namespace orvane::provider::cryptoapi {

ImportResult import_into_store(const std::filesystem::path& store_root,
                               const std::filesystem::path& file,
                               const std::optional<std::string>& password);
std::vector<StoredCertificate> trust_roots(const std::filesystem::path& store_root,
                                           const std::filesystem::path& file);

}  // namespace orvane::provider::cryptoapi
