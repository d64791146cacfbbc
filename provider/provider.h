#pragma once

// The cryptographic provider as the component sees it: the store, certificate collection,
// certificate, signer, attribute and signed-data objects, with exactly the operations that the
// `Sign` methods call. Every operation that fails throws Failure with a negative number (the
// CryptoAPI status code) and that code's standard text (see crypt_error.h); a factory that
// cannot create an object throws Failure 429. Contents and messages pass in blocks, so files of
// any size are signed and verified in a memory of their own size.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "provider/revocation.h"
#include "provider/timestamp_notes.h"
#include "runtime/byte_stream.h"
#include "runtime/clock.h"
#include "runtime/text.h"

namespace orvane::provider {

// Where a store lives: the current user's stores, or the smart-card user store.
enum class StoreLocation : std::int32_t { current_user = 2, smart_card_user = 4 };
// What a certificate search looks at: an extended property, or the validity period.
enum class FindType : std::int32_t { extended_property = 6, time_valid = 9 };
// The extended property that marks a certificate whose private key the store holds.
inline constexpr std::int32_t key_provider_info_property = 2;
// The authenticated attributes a signer can carry.
enum class AttributeName : std::int32_t { signing_time = 0 };
// Whether a message carries the content it signs, or only the signature over it.
enum class Attachment { attached, detached };

// How a verification establishes that no certificate of a signer's chain is revoked: not at all;
// from the CRLs at hand (the message's and the store's; no information means not revoked); also
// from the network (CRL distribution points and OCSP responders, a short time each); or from the
// network with unknown status a failure (CRYPT_E_REVOCATION_OFFLINE).
enum class RevocationCheck { none, offline, online, require };

// What the machine's configuration asks of signing and verification beyond the defaults.
struct Policy {
  RevocationCheck revocation = RevocationCheck::offline;
  // The RFC 3161 time-stamping authority that timestamps every signature (http:// or https://);
  // empty for none. `timestamp_policy` is the OID of the policy to ask it for, or empty.
  std::string timestamp_url;
  std::string timestamp_policy;
  // Where verifications tell what they found about revocation and timestamps; none when
  // nobody reads it.
  std::shared_ptr<RevocationNotes> revocation_notes;
  std::shared_ptr<TimestampNotes> timestamp_notes;
  // The moment at which certificates must be valid, in seconds since 1970 UTC: the caller's
  // clock; the system's when none is given.
  std::optional<std::int64_t> now;
};

// A property identifier (extended_property) or a local time (time_valid).
using FindCriterion = std::variant<std::int32_t, LocalDateTime>;

// An X.509 certificate of a store or a verified message.
class Certificate {
 public:
  virtual ~Certificate() = default;
  // Upper-case hexadecimal of the DER serial number's content octets, two digits an octet,
  // most significant first; a leading 00 octet is kept.
  virtual Text SerialNumber() const = 0;
};

// An ordered collection of certificates.
class CertificateCollection {
 public:
  virtual ~CertificateCollection() = default;
  // The number of certificates.
  virtual std::int32_t Count() const = 0;
  // The certificate at the 1-based `index`, in the collection's order.
  virtual std::shared_ptr<const Certificate> Item(std::int32_t index) const = 0;
  // A new collection of the certificates that match, in the same order. Nothing is validated.
  virtual std::unique_ptr<CertificateCollection> Find(FindType type,
                                                      const FindCriterion& criterion) const = 0;
};

// A certificate store, opened at a location by name, for reading.
class Store {
 public:
  virtual ~Store() = default;
  // Opens (or opens again) the store `name` at `location`.
  virtual void Open(StoreLocation location, const Text& name) = 0;
  // The certificates of the open store, in the store's order.
  virtual std::unique_ptr<CertificateCollection> Certificates() const = 0;
};

// An authenticated attribute: the signing time, as a local time with its offset from UTC.
struct Attribute {
  AttributeName Name = AttributeName::signing_time;
  LocalDateTime Value;
};

// Who signs: a bound certificate and its authenticated attributes; or a signer of a
// verified message.
class Signer {
 public:
  virtual ~Signer() = default;
  // Binds the certificate whose private key signs.
  virtual void SetCertificate(std::shared_ptr<const Certificate> certificate) = 0;
  // Adds an attribute that is signed together with the content.
  virtual void AddAuthenticatedAttribute(const Attribute& attribute) = 0;
  // The bound certificate; for a signer of a verified message, the signer's own certificate.
  // CRYPT_E_NOT_FOUND when none is bound.
  virtual std::shared_ptr<const Certificate> GetCertificate() const = 0;
};

// A message text as the component read it: its code units, and the bytes they stand for. Each
// reading starts at the first unit, so a message can be tried in several forms.
class MessageText {
 public:
  virtual ~MessageText() = default;
  // How many code units every reading yields.
  virtual std::uint64_t size() const = 0;
  // The code units, in order.
  virtual std::unique_ptr<UnitReader> units() const = 0;
  // The code units' bytes, two a unit, low byte first.
  virtual std::unique_ptr<ByteReader> unit_bytes() const = 0;
  // How many space code units a reader of byte-exact files trimmed off the text's end: a DER
  // message that ended in such bytes is completed with them. 0 for every other text.
  virtual std::size_t trimmed_trailing_spaces() const { return 0; }
};

// A message text in memory; the text must outlive it.
class MemoryMessage final : public MessageText {
 public:
  explicit MemoryMessage(TextView text) : text_(text) {}
  std::uint64_t size() const override { return text_.size(); }
  std::unique_ptr<UnitReader> units() const override;
  std::unique_ptr<ByteReader> unit_bytes() const override;

 private:
  TextView text_;
};

// Where the content of an attached message goes as the message is read: before the message is
// proved valid, so the receiver keeps it aside until Verify returns normally.
class ContentSink {
 public:
  virtual ~ContentSink() = default;
  // Drops what came so far: the message is being read again from its start.
  virtual void restart() = 0;
  // The next bytes of the content.
  virtual void write(ByteView bytes) = 0;
};

// Signs a content as a CMS signed-data message, and verifies such messages.
class SignedData {
 public:
  virtual ~SignedData() = default;
  // What is signed, or what a detached signature is checked against: bytes read in blocks
  // when they are needed, so that they can be a file of any size. The source is read anew by
  // every operation that needs it and must stay unchanged meanwhile.
  virtual void SetContent(std::shared_ptr<const ByteSource> content) = 0;
  // Signs the content and writes the message to `message`: Base64 of the DER ContentInfo in
  // lines of 64 characters, each ended by CR LF. An attached message carries the content;
  // it is written as the content is read, and never held whole.
  virtual void Sign(Signer& signer, Attachment attachment, RewritableSink& message) = 0;
  // Returns normally only when the message is valid: every signer's signature over the content
  // (the one set, for a detached signature; the one the message carries, for an attached one),
  // and every signer's certificate chaining to a trusted root, valid now. The content of an
  // attached message goes to `carried` as it passes.
  virtual void Verify(const MessageText& message, Attachment attachment,
                      ContentSink* carried = nullptr) = 0;
  // The signer at the 1-based `index` of the last verified message.
  virtual std::unique_ptr<Signer> Signers(std::int32_t index) const = 0;
};

// Creates the provider's objects; each method fails with 429 when the object cannot be made.
class Factory {
 public:
  virtual ~Factory() = default;
  // A store that is not open yet.
  virtual std::unique_ptr<Store> CreateStore() = 0;
  // A signer with no certificate bound.
  virtual std::unique_ptr<Signer> CreateSigner() = 0;
  // A signed-data object with an empty content, that signs and verifies as `policy` says.
  virtual std::unique_ptr<SignedData> CreateSignedData(const Policy& policy = {}) = 0;
};

// The back end built into this library. `store_root` is the folder of the file-based stores
// on back ends that have them; empty selects the default location.
std::shared_ptr<Factory> default_factory(const std::filesystem::path& store_root = {});

// The moment `policy` names as now, in seconds since 1970 UTC.
std::int64_t current_time(const Policy& policy);

// The message of a signature over `content` as a text, for the callers that hand it back whole.
Text sign_to_text(SignedData& signed_data, Signer& signer, Attachment attachment);

}  // namespace orvane::provider
