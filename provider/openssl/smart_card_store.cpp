#include "provider/openssl/smart_card_store.h"

#include <algorithm>

#include "provider/openssl/pkcs11/module_list.h"
#include "provider/openssl/pkcs11/token.h"

namespace orvane::provider::openssl {
namespace {

// Reads the tokens of one module into `contents`; `serials` are the tokens seen so far.
void read_module(const std::filesystem::path& path, const std::filesystem::path& store_root,
                 std::vector<std::string>& serials, SmartCardContents& contents) {
  const auto slots = pkcs11::list_slots(pkcs11::Pkcs11Module::load(path));
  for (unsigned int i = 0; i < slots->count; ++i) {
    PKCS11_SLOT& slot = slots->list.get()[i];
    if (slot.token == nullptr || !slot.token->initialized) continue;
    SmartCardToken token{path, slot.token->label, slot.token->serialnr, {}, {}, {}};
    // Two modules may drive one card; reading it twice would spend two PIN tries. A blank
    // serial number tells nothing, so such tokens are all read.
    if (!token.serial.empty() &&
        std::find(serials.begin(), serials.end(), token.serial) != serials.end()) {
      token.state = TokenState::skipped;
      token.reason = "an earlier module showed the same token";
    } else {
      if (!token.serial.empty()) serials.push_back(token.serial);
      auto reading = pkcs11::read_token(slots, slot, store_root);
      token.state = reading.state;
      token.reason = std::move(reading.reason);
      token.certificates = std::move(reading.certificates);
    }
    contents.tokens.push_back(std::move(token));
  }
}

}  // namespace

CertificateList SmartCardContents::certificates() const {
  CertificateList all;
  for (const auto& token : tokens) {
    all.insert(all.end(), token.certificates.begin(), token.certificates.end());
  }
  return all;
}

SmartCardContents load_smart_card_certificates(const std::filesystem::path& store_root) {
  auto modules = pkcs11::modules_to_read(store_root);
  SmartCardContents contents;
  contents.skipped_modules = std::move(modules.skipped);
  std::vector<std::string> serials;
  for (const auto& path : modules.modules) {
    try {
      read_module(path, store_root, serials, contents);
    } catch (const pkcs11::ModuleError& error) {
      contents.skipped_modules.push_back({path.string(), error.what()});
    }
  }
  return contents;
}

}  // namespace orvane::provider::openssl
