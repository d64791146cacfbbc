#include "provider/openssl/factory.h"

#include <cstdlib>
#include <optional>

#include "provider/openssl/signed_data.h"
#include "provider/openssl/signer.h"
#include "provider/openssl/store.h"
#include "runtime/failure.h"

namespace orvane::provider {
namespace openssl {
namespace {

// An environment variable that is set and not empty.
std::optional<std::filesystem::path> environment_path(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::filesystem::path(value);
}

}  // namespace

std::filesystem::path default_store_root() {
  if (auto root = environment_path("ORVANE_STORE_DIR")) return *root;
  // Relative values are invalid by the XDG rules and are ignored.
  if (auto data_home = environment_path("XDG_DATA_HOME"); data_home && data_home->is_absolute()) {
    return *data_home / "orvane" / "store";
  }
  if (auto home = environment_path("HOME")) return *home / ".local" / "share" / "orvane" / "store";
  return {};
}

OpensslFactory::OpensslFactory(std::filesystem::path store_root)
    : root_(store_root.empty() ? nullptr : std::make_shared<StoreRoot>(std::move(store_root))) {}

std::unique_ptr<Store> OpensslFactory::CreateStore() {
  return std::make_unique<OpensslStore>(root());
}

std::unique_ptr<Signer> OpensslFactory::CreateSigner() {
  root();  // no signer without a store to sign from
  return std::make_unique<OpensslSigner>();
}

std::unique_ptr<SignedData> OpensslFactory::CreateSignedData(const Policy& policy) {
  return std::make_unique<OpensslSignedData>(root(), policy);
}

std::shared_ptr<const StoreRoot> OpensslFactory::root() const {
  if (!root_) throw Failure(RuntimeError::cannot_create_object);
  return root_;
}

}  // namespace openssl

std::shared_ptr<Factory> default_factory(const std::filesystem::path& store_root) {
  return std::make_shared<openssl::OpensslFactory>(
      store_root.empty() ? openssl::default_store_root() : store_root);
}

}  // namespace orvane::provider
