#pragma once

// The cryptographic provider as the component sees it: the store, certificate collection,
// certificate, signer, attribute and signed-data objects, with exactly the operations that the
// `Sign` methods call. Every operation that fails throws Failure with a negative number (the
// CryptoAPI status code) and that code's standard text (see crypt_error.h); a factory that
// cannot create an object throws Failure 429.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <variant>

#include "runtime/clock.h"
#include "runtime/text.h"

namespace orvane::provider {

// Where a store lives: the current user's stores, or the smart-card user store.
enum class StoreLocation : std::int32_t { current_user = 2, smart_card_user = 4 };
// How a store is opened; the component only ever reads.
enum class StoreOpenMode : std::int32_t { read_only = 0 };
// What a certificate search looks at: an extended property, or the validity period.
enum class FindType : std::int32_t { extended_property = 6, time_valid = 9 };
// The extended property that marks a certificate whose private key the store holds.
inline constexpr std::int32_t key_provider_info_property = 2;
// The authenticated attributes a signer can carry.
enum class AttributeName : std::int32_t { signing_time = 0 };
// The encoding a caller asks Sign for; every value gives the same message text.
enum class Encoding : std::int32_t { any = -1, base64 = 0, binary = 1 };
// What Verify checks besides the signature.
enum class VerifyFlag : std::int32_t { signature_only = 0, signature_and_certificate = 1 };

// A property identifier (extended_property) or a local time (time_valid).
using FindCriterion = std::variant<std::int32_t, LocalDateTime>;

// An X.509 certificate of a store, a chain or a verified message.
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
  // A new collection of the certificates that match, in the same order. `valid_only` asks the
  // provider to validate each certificate as well.
  virtual std::unique_ptr<CertificateCollection> Find(FindType type, const FindCriterion& criterion,
                                                      bool valid_only) const = 0;
};

// A certificate store, opened at a location by name.
class Store {
 public:
  virtual ~Store() = default;
  // Opens (or opens again) the store `name` at `location`.
  virtual void Open(StoreLocation location, const Text& name, StoreOpenMode mode) = 0;
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
  // For a signer of a verified message: its certificate chain, its own certificate first.
  virtual std::unique_ptr<CertificateCollection> Chain() const = 0;
};

// Signs a content as a CMS signed-data message, and verifies such messages.
class SignedData {
 public:
  virtual ~SignedData() = default;
  // What is signed, or what a detached signature is checked against: the code units, two
  // bytes each, low byte first.
  virtual void SetContent(Text content) = 0;
  // As SetContent, for a content of bytes rather than code units, such as a file's exact bytes:
  // `bytes` holds them two a code unit, low byte first, and an odd `byte_count` leaves out the
  // last unit's high byte. Fails with E_INVALIDARG unless `byte_count` fits `bytes` so.
  virtual void SetContentBytes(Text bytes, std::size_t byte_count) = 0;
  // The content: as set, or after an attached Verify the content that the message carries.
  // The reference lives until the next SetContent or Verify; a large content is never copied.
  // After SetContentBytes: the code units as set, an odd count's last high byte included.
  virtual const Text& Content() const = 0;
  // Signs the content; the message is Base64 of the DER ContentInfo in lines of 64 characters,
  // each ended by CR LF, for every encoding.
  virtual Text Sign(Signer& signer, bool detached, Encoding encoding) = 0;
  // Returns normally only when the message is valid; with signature_and_certificate every
  // signer's certificate must also chain to a trusted root and be valid now.
  virtual void Verify(const Text& message, bool detached, VerifyFlag flag) = 0;
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
  // A signed-data object with an empty content.
  virtual std::unique_ptr<SignedData> CreateSignedData() = 0;
};

// The back end built into this library. `store_root` is the folder of the file-based stores
// on back ends that have them; empty selects the default location.
std::shared_ptr<Factory> default_factory(const std::filesystem::path& store_root = {});

}  // namespace orvane::provider
