#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "provider/openssl/revocation_handles.h"
#include "provider/provider.h"

namespace orvane::provider::openssl {

// What one verification needs to check revocation: the configured mode, the CRLs the message
// carries, where network answers are cached, and the time the network may still take.
class RevocationContext {
 public:
  // A request gets this long at most, and a whole verification this long for all of them:
  // an offline responder must not hold a caller for minutes.
  static constexpr std::chrono::milliseconds request_limit{5000};
  static constexpr std::chrono::milliseconds verification_limit{10000};

  // No check at all, as for a verification that does not judge certificates.
  RevocationContext() = default;
  // Network answers are cached in `store_root`'s cache/ (none when empty); `message_crls` are
  // what the message carries.
  RevocationContext(const Policy& policy, std::filesystem::path store_root, CrlList message_crls);

  RevocationCheck mode() const { return mode_; }
  bool online() const {
    return mode_ == RevocationCheck::online || mode_ == RevocationCheck::require;
  }
  const CrlList& message_crls() const { return message_crls_; }
  const std::filesystem::path& store_root() const { return store_root_; }
  RevocationNotes* notes() const { return notes_.get(); }
  // The proved timestamp of the signer being judged ("2026-12-06T19:35:44Z"), empty for none:
  // a revocation dated after it does not count unless the key was compromised.
  const std::string& timestamp() const { return timestamp_; }
  void set_timestamp(std::string timestamp) { timestamp_ = std::move(timestamp); }
  // The time the next request may take: the request limit, or less when the verification's
  // own limit, counted from its first request, comes sooner; zero once it has passed.
  std::chrono::milliseconds next_request_time();

 private:
  RevocationCheck mode_ = RevocationCheck::none;
  std::filesystem::path store_root_;
  CrlList message_crls_;
  std::shared_ptr<RevocationNotes> notes_;
  std::string timestamp_;
  std::optional<std::chrono::steady_clock::time_point> network_deadline_;
};

// The context of a verification of `message` under `policy` with the stores of `store_root`.
RevocationContext revocation_context(const Policy& policy, const std::filesystem::path& store_root,
                                     CMS_ContentInfo& message);

}  // namespace orvane::provider::openssl
