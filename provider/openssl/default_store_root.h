#pragma once

// Where the file-based stores live when no one says otherwise; free of OpenSSL headers, so
// that hosts can show and create the folder.

#include <filesystem>

namespace orvane::provider::openssl {

// The store root when none is given: $ORVANE_STORE_DIR, else $XDG_DATA_HOME/orvane/store,
// else ~/.local/share/orvane/store. Empty when the environment names none of them.
std::filesystem::path default_store_root();

}  // namespace orvane::provider::openssl
