#pragma once

#include <filesystem>
#include <mutex>
#include <vector>

#include "provider/openssl/handles.h"

namespace orvane::provider::openssl {

// The folder of the file-based stores, shared by every object that one factory creates, with
// the system's trusted-root bundle that those objects would otherwise each parse again.
class StoreRoot {
 public:
  explicit StoreRoot(std::filesystem::path folder);

  // The store root: My/, Root/ and CA/ lie below it.
  const std::filesystem::path& folder() const { return folder_; }

  // The certificates of the system's default root bundle ($SSL_CERT_FILE or OpenSSL's
  // default), read on first use: parsing it takes tens of milliseconds.
  const std::vector<X509Ptr>& system_bundle() const;

 private:
  std::filesystem::path folder_;
  mutable std::once_flag bundle_read_;
  mutable std::vector<X509Ptr> bundle_;
};

}  // namespace orvane::provider::openssl
