#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "provider/openssl/certificate.h"
#include "provider/openssl/certificate_cache.h"
#include "provider/openssl/handles.h"
#include "provider/openssl/store_folder.h"

namespace orvane::provider::openssl {

struct TrustMaterial;  // chain_verification.h

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
  // The contents of the store folder `name` (My, Root, CA), parsing only files that changed
  // since this root last read them.
  FolderContents load_folder(const std::string& name, FolderParts parts) const;
  // The certificates of the personal store folder `name`, each with its matching key: made
  // again only when a file of the folder changed, else the very objects of the last call.
  CertificateList personal_certificates(const std::string& name) const;
  // The certificates of messages already parsed, shared by every object of this root.
  CertificateCache& certificate_cache() const { return certificates_; }
  // The trust material that `make` reads from Root/, CA/ and My/: made again only when one of
  // them changed since the last call.
  std::shared_ptr<const TrustMaterial> trust(const std::function<TrustMaterial()>& make) const;

 private:
  std::filesystem::path folder_;
  mutable std::once_flag bundle_read_;
  mutable std::vector<X509Ptr> bundle_;
  mutable StoreFileCache files_;
  mutable CertificateCache certificates_;
  struct MadeFromFolder {
    std::string state;  // folder_state() when it was made
    CertificateList certificates;
  };
  mutable std::mutex personal_mutex_;
  mutable std::map<std::string, MadeFromFolder> personal_;
  mutable std::mutex trust_mutex_;
  mutable std::string trust_state_;
  mutable std::shared_ptr<const TrustMaterial> trust_;
};

}  // namespace orvane::provider::openssl
