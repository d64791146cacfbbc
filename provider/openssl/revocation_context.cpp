#include "provider/openssl/revocation_context.h"

#include <openssl/cms.h>

#include <algorithm>

namespace orvane::provider::openssl {

RevocationContext::RevocationContext(const Policy& policy, std::filesystem::path store_root,
                                     CrlList message_crls)
    : mode_(policy.revocation),
      store_root_(std::move(store_root)),
      message_crls_(std::move(message_crls)),
      notes_(policy.revocation_notes) {}

std::chrono::milliseconds RevocationContext::next_request_time() {
  const auto now = std::chrono::steady_clock::now();
  if (!network_deadline_) network_deadline_ = now + verification_limit;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*network_deadline_ - now);
  return std::clamp(left, std::chrono::milliseconds(0), request_limit);
}

RevocationContext revocation_context(const Policy& policy, const std::filesystem::path& store_root,
                                     CMS_ContentInfo& message) {
  CrlList crls;
  if (policy.revocation != RevocationCheck::none) {
    const CrlStackPtr carried(CMS_get1_crls(&message));
    for (int i = 0; i < sk_X509_CRL_num(carried.get()); ++i) {
      crls.push_back(share(sk_X509_CRL_value(carried.get(), i)));
    }
  }
  return RevocationContext(policy, store_root, std::move(crls));
}

}  // namespace orvane::provider::openssl
