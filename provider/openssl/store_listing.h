#pragma once

// What the file-based stores hold, for people to read: the listing types and list_stores of
// provider/store_administration.h, whose implementation lives here.

#include "provider/store_administration.h"

namespace orvane::provider::openssl {

StoreListing list_stores(const std::filesystem::path& store_root);

}  // namespace orvane::provider::openssl
