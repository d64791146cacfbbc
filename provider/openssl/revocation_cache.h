#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace orvane::provider::openssl {

// The answers of revocation servers (CRLs, OCSP responses), kept in the store root's cache/
// folder so that each is fetched once until its nextUpdate. Whoever reads an entry checks it
// as if it had just come from the network: the cache saves time, it is trusted for nothing.
// The folder obeys the store's safety rules; one that others could change is not used.
class RevocationCache {
 public:
  // No cache when `store_root` is empty or does not exist: a verification creates no store.
  explicit RevocationCache(std::filesystem::path store_root);

  // Whether the cache folder is there: without it nothing can be read.
  bool present() const;
  // What was last written under `key`, or nothing.
  std::optional<std::string> read(const std::string& key) const;
  // Keeps `bytes` under `key`, replacing what was there at once; a cache that cannot be
  // written is only slower, so nothing fails.
  void write(const std::string& key, std::string_view bytes) const;

 private:
  std::filesystem::path store_root_;
};

}  // namespace orvane::provider::openssl
