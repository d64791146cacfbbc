#include "provider/openssl/signed_data.h"

#include <openssl/err.h>
#include <openssl/objects.h>

#include "provider/crypt_error.h"
#include "provider/message_reading.h"
#include "provider/message_writing.h"
#include "provider/openssl/chain_verification.h"
#include "provider/openssl/cms_signing.h"
#include "provider/openssl/cms_verification.h"
#include "provider/openssl/message_encoding.h"
#include "provider/openssl/revocation_context.h"
#include "provider/openssl/signer.h"
#include "provider/openssl/timestamp_crypto.h"
#include "provider/signing_certificate.h"
#include "runtime/code_page.h"

namespace orvane::provider::openssl {
namespace {

// An AlgorithmIdentifier's OBJECT IDENTIFIER, or nothing.
std::unique_ptr<X509_ALGOR, Free<X509_ALGOR_free>> parse_algorithm(ByteView der) {
  const unsigned char* cursor = der.data();
  std::unique_ptr<X509_ALGOR, Free<X509_ALGOR_free>> algorithm(
      d2i_X509_ALGOR(nullptr, &cursor, static_cast<long>(der.size())));
  ERR_clear_error();
  return algorithm;
}

const ASN1_OBJECT* digest_algorithm_of(CMS_SignerInfo* signer) {
  X509_ALGOR* algorithm = nullptr;
  CMS_SignerInfo_get0_algs(signer, nullptr, nullptr, &algorithm, nullptr);
  const ASN1_OBJECT* object = nullptr;
  X509_ALGOR_get0(&object, nullptr, nullptr, algorithm);
  return object;
}

// Takes a message's content as it passes: digests of it, for the signers to be checked against,
// and a copy to whoever restores it. The signers decide which digests count, not the message's
// list of digest algorithms: the sender makes that list as long as it likes, so it only says
// which digests to take while the content passes; the others are taken on a second reading.
class Receiver final : public MessageReceiver {
 public:
  Receiver(CertificateCache& certificates, ContentSink* carried, bool digests_wanted)
      : certificates_(certificates), carried_(carried), digests_wanted_(digests_wanted) {}

  // Digests to take besides those the message lists.
  void also_take(std::vector<const ASN1_OBJECT*> algorithms) { extra_ = std::move(algorithms); }

  void restart() override {
    digests_ = std::make_unique<ContentDigests>();
    for (const ASN1_OBJECT* object : extra_) digests_->add(object);
    if (carried_ != nullptr) carried_->restart();
  }
  void digest_algorithms(const std::vector<Bytes>& algorithms) override {
    if (!digests_wanted_) return;
    for (const Bytes& der : algorithms) {
      if (const auto algorithm = parse_algorithm(der)) {
        const ASN1_OBJECT* object = nullptr;
        X509_ALGOR_get0(&object, nullptr, nullptr, algorithm.get());
        digests_->add(object);
      }
    }
  }
  void content(ByteView bytes) override {
    if (digests_wanted_) digests_->update(bytes);
    if (carried_ != nullptr) carried_->write(bytes);
  }
  bool accept(ByteView message_without_content) override {
    decoded_ = decode_message(message_without_content, certificates_);
    return decoded_.has_value();
  }

  DecodedMessage& decoded() { return *decoded_; }
  std::unique_ptr<ContentDigests> take_digests() { return std::move(digests_); }

 private:
  CertificateCache& certificates_;
  ContentSink* carried_;
  bool digests_wanted_;
  std::vector<const ASN1_OBJECT*> extra_;
  std::unique_ptr<ContentDigests> digests_;
  std::optional<DecodedMessage> decoded_;
};

// The signers' digest algorithms that `digests` lacks; CRYPT_E_UNKNOWN_ALGO for one that no
// digest exists for.
std::vector<const ASN1_OBJECT*> missing_digests(STACK_OF(CMS_SignerInfo) * signers,
                                                const ContentDigests* digests) {
  std::vector<const ASN1_OBJECT*> missing;
  ContentDigests probe;
  for (int i = 0; i < sk_CMS_SignerInfo_num(signers); ++i) {
    const ASN1_OBJECT* algorithm = digest_algorithm_of(sk_CMS_SignerInfo_value(signers, i));
    if (!probe.add(algorithm)) throw crypt_failure(CryptError::unknown_algorithm);
    if (digests == nullptr || !digests->has(algorithm)) missing.push_back(algorithm);
  }
  return missing;
}

// Digests of `content` by each of the signers' algorithms.
std::unique_ptr<ContentDigests> digest_source(const ByteSource& content,
                                              STACK_OF(CMS_SignerInfo) * signers) {
  auto digests = std::make_unique<ContentDigests>();
  for (const ASN1_OBJECT* algorithm : missing_digests(signers, nullptr)) digests->add(algorithm);
  const auto reader = content.open();
  Bytes block(stream_block_size);
  std::uint64_t total = 0;
  while (const std::size_t got = reader->read(block)) {
    digests->update(ByteView(block.data(), got));
    total += got;
  }
  if (total != content.size()) throw Failure(RuntimeError::input_past_end_of_file);
  return digests;
}

}  // namespace

OpensslSignedData::OpensslSignedData(std::shared_ptr<const StoreRoot> root, Policy policy)
    : root_(std::move(root)),
      policy_(std::move(policy)),
      content_(std::make_shared<MemorySource>(ByteView())) {}

void OpensslSignedData::SetContent(std::shared_ptr<const ByteSource> content) {
  content_ = std::move(content);
  content_digest_.reset();
}

void OpensslSignedData::Sign(Signer& signer, Attachment attachment, RewritableSink& message) {
  const OpensslCertificate* certificate = &signing_certificate<OpensslSigner>(signer);
  // Held until the message is made: a token key may need its PIN for this very signature.
  const auto key_use = certificate->device() ? certificate->device()->begin_signature() : nullptr;
  if (certificate->private_key() == nullptr) throw crypt_failure(CryptError::no_key);

  // The verifier gets every certificate up to the root; the root it must hold already.
  const auto chain = build_chain(certificate->x509(), *load_trust(*root_), {});
  SigningRequest request{certificate->x509(),
                         certificate->private_key(),
                         {},
                         static_cast<const OpensslSigner&>(signer).signing_time()};
  for (std::size_t i = 1; i < chain.size(); ++i) {
    if (!is_root(chain[i].get())) request.carried.push_back(chain[i].get());
  }
  OpensslSignatureSession session(std::move(request));
  if (policy_.timestamp_url.empty()) {
    write_signed_message(*content_, attachment, session, message);
  } else {
    const OpensslTimestampCrypto crypto(load_trust(*root_));
    TimestampedSession timestamped(session, {policy_.timestamp_url, policy_.timestamp_policy},
                                   crypto, current_time(policy_));
    write_signed_message(*content_, attachment, timestamped, message);
  }
  content_digest_ = ContentDigest{NID_sha256, session.content_digest()};
}

void OpensslSignedData::Verify(const MessageText& message, Attachment attachment,
                               ContentSink* carried) {
  signers_.clear();
  const bool attached = attachment == Attachment::attached;
  Receiver receiver(root_->certificate_cache(), attached ? carried : nullptr, attached);
  read_message(message, windows_1252(), receiver);
  DecodedMessage& decoded = receiver.decoded();
  RevocationContext revocation = revocation_context(policy_, root_->folder(), *decoded.message);
  std::unique_ptr<ContentDigests> digests = receiver.take_digests();
  const SignerDigests signer_digests = [&](STACK_OF(CMS_SignerInfo) *
                                           signers) -> const ContentDigests& {
    if (!attached) {
      digests = digest_source(*content_, signers);
    } else if (auto missing = missing_digests(signers, digests.get()); !missing.empty()) {
      // Digests that the message did not list: the content is read once more for them.
      Receiver again(root_->certificate_cache(), nullptr, true);
      again.also_take(std::move(missing));
      read_message(message, windows_1252(), again);
      digests = again.take_digests();
    }
    return *digests;
  };
  const auto trust = load_trust(*root_);
  const OpensslTimestampCrypto timestamps(trust);
  const CertificateJudgement judgement{&revocation, &timestamps, policy_.timestamp_notes.get(),
                                       policy_.now};
  VerifiedMessage verified =
      verify_message(*decoded.message, std::move(decoded.certificates), signer_digests, true,
                     *trust, attached || !content_digest_ ? nullptr : &*content_digest_, judgement);
  signers_ = std::move(verified.signers);
}

std::unique_ptr<Signer> OpensslSignedData::Signers(std::int32_t index) const {
  if (index < 1 || static_cast<std::size_t>(index) > signers_.size()) {
    throw crypt_failure(CryptError::invalid_index);
  }
  auto signer = std::make_unique<OpensslSigner>();
  signer->SetCertificate(std::make_shared<OpensslCertificate>(
      share(signers_[static_cast<std::size_t>(index - 1)].get()), nullptr));
  return signer;
}

}  // namespace orvane::provider::openssl
