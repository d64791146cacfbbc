#include "provider/cryptoapi/signed_data.h"

#include <algorithm>

#include "provider/crypt_error.h"
#include "provider/cryptoapi/chain_verification.h"
#include "provider/cryptoapi/cms_signing.h"
#include "provider/cryptoapi/cms_verification.h"
#include "provider/cryptoapi/message_encoding.h"
#include "provider/cryptoapi/signer.h"
#include "provider/cryptoapi/timestamp_crypto.h"
#include "provider/message_reading.h"
#include "provider/message_writing.h"
#include "provider/signing_certificate.h"
#include "provider/timestamping.h"
#include "runtime/windows/ansi_code_page.h"

namespace orvane::provider::cryptoapi {
namespace {

std::shared_ptr<const ByteSource> no_content() {
  return std::make_shared<MemorySource>(ByteView());
}

}  // namespace

CryptoapiSignedData::CryptoapiSignedData(Policy policy)
    : policy_(std::move(policy)), content_(no_content()) {}

void CryptoapiSignedData::SetContent(std::shared_ptr<const ByteSource> content) {
  content_ = content ? std::move(content) : no_content();
  content_digest_.reset();
}

void CryptoapiSignedData::Sign(Signer& signer, Attachment attachment, RewritableSink& message) {
  const CryptoapiCertificate& certificate = signing_certificate<CryptoapiSigner>(signer);

  // The verifier gets every certificate up to the root; the root it must hold already.
  const CertificateList chain = build_chain(certificate.context());
  SigningRequest request{
      certificate.context(), {}, static_cast<const CryptoapiSigner&>(signer).signing_time()};
  for (std::size_t i = 1; i < chain.size(); ++i) {
    if (!is_root(chain[i]->context())) request.carried.push_back(chain[i]->context());
  }
  content_digest_.reset();
  const auto session = start_signature(request);
  if (policy_.timestamp_url.empty()) {
    write_signed_message(*content_, attachment, *session, message);
  } else {
    const CryptoapiTimestampCrypto crypto;
    TimestampedSession timestamped(*session, {policy_.timestamp_url, policy_.timestamp_policy},
                                   crypto, current_time(policy_));
    write_signed_message(*content_, attachment, timestamped, message);
  }
  content_digest_ = ContentDigest{szOID_NIST_sha256, session->content_digest()};
}

void CryptoapiSignedData::Verify(const MessageText& message, Attachment attachment,
                                 ContentSink* carried) {
  signers_.clear();
  const bool attached = attachment == Attachment::attached;
  MessageDecoder decoder(attached, {}, attached ? carried : nullptr);
  read_message(message, windows::ansi_code_page(), decoder);
  const std::vector<std::string> algorithms = signer_digest_algorithms(decoder.message());
  if (!attached) {
    ContentDigests digests = detached_digests(algorithms);
    signers_ = verify_message(decoder.message(), digests, policy_).signers;
    return;
  }
  const bool all_taken = std::ranges::all_of(algorithms, [&](const std::string& algorithm) {
    return decoder.digests().has(algorithm) || digest_algorithm_name(algorithm) == nullptr;
  });
  if (all_taken) {
    signers_ = verify_message(decoder.message(), decoder.digests(), policy_).signers;
    return;
  }
  // A signer names a digest that the message does not list: the content passes again.
  MessageDecoder again(true, algorithms, carried);
  read_message(message, windows::ansi_code_page(), again);
  signers_ = verify_message(again.message(), again.digests(), policy_).signers;
}

ContentDigests CryptoapiSignedData::detached_digests(
    const std::vector<std::string>& algorithms) const {
  ContentDigests digests;
  for (const std::string& algorithm : algorithms) {
    if (content_digest_ && content_digest_->algorithm == algorithm) {
      digests.add_known(*content_digest_);
    } else {
      digests.add(algorithm);
    }
  }
  if (digests.needs_content()) digest_source(*content_, digests);
  return digests;
}

std::unique_ptr<Signer> CryptoapiSignedData::Signers(std::int32_t index) const {
  if (index < 1 || static_cast<std::size_t>(index) > signers_.size()) {
    throw crypt_failure(CryptError::invalid_index);
  }
  auto signer = std::make_unique<CryptoapiSigner>();
  signer->SetCertificate(signers_[static_cast<std::size_t>(index - 1)]);
  return signer;
}

}  // namespace orvane::provider::cryptoapi
