#include "provider/cryptoapi/content_digest.h"

#include <algorithm>
#include <array>
#include <utility>

#include "provider/cryptoapi/platform_error.h"
#include "provider/der.h"
#include "runtime/windows/owned.h"

namespace orvane::provider::cryptoapi {
namespace {

struct DigestName {
  std::string_view oid;
  const wchar_t* name;
};

constexpr std::array<DigestName, 7> digest_names = {{
    {"1.3.14.3.2.26", BCRYPT_SHA1_ALGORITHM},
    {"2.16.840.1.101.3.4.2.1", BCRYPT_SHA256_ALGORITHM},
    {"2.16.840.1.101.3.4.2.2", BCRYPT_SHA384_ALGORITHM},
    {"2.16.840.1.101.3.4.2.3", BCRYPT_SHA512_ALGORITHM},
    {"1.2.840.113549.2.5", BCRYPT_MD5_ALGORITHM},
    {"1.2.840.113549.2.4", BCRYPT_MD4_ALGORITHM},
    {"1.2.840.113549.2.2", BCRYPT_MD2_ALGORITHM},
}};

void check(NTSTATUS status) {
  if (!BCRYPT_SUCCESS(status)) throw bcrypt_failure(status);
}

class PlatformDigest final : public Digest {
 public:
  explicit PlatformDigest(const wchar_t* name) {
    check(::BCryptOpenAlgorithmProvider(algorithm_.put(), name, nullptr, 0));
    DWORD length = 0;
    ULONG written = 0;
    check(::BCryptGetProperty(algorithm_.get(), BCRYPT_HASH_LENGTH,
                              reinterpret_cast<PUCHAR>(&length), sizeof length, &written, 0));
    length_ = length;
    check(::BCryptCreateHash(algorithm_.get(), hash_.put(), nullptr, 0, nullptr, 0, 0));
  }

  void update(ByteView bytes) override {
    constexpr std::size_t most = 1u << 30;
    while (!bytes.empty()) {
      const std::size_t size = std::min(most, bytes.size());
      check(::BCryptHashData(hash_.get(), const_cast<PUCHAR>(bytes.data()),
                             static_cast<ULONG>(size), 0));
      bytes = bytes.subspan(size);
    }
  }

  Bytes finish() override {
    Bytes value(length_);
    check(::BCryptFinishHash(hash_.get(), value.data(), static_cast<ULONG>(value.size()), 0));
    return value;
  }

 private:
  windows::BCryptAlgorithmHandle algorithm_;
  windows::BCryptHashHandle hash_;
  std::size_t length_ = 0;
};

// The dotted text of an OBJECT IDENTIFIER's content octets; nothing when they are none.
std::optional<std::string> dotted(ByteView octets) {
  std::string text;
  std::uint64_t value = 0;
  bool first = true;
  for (std::size_t i = 0; i < octets.size(); ++i) {
    if (value > (UINT64_MAX >> 7) || (value == 0 && octets[i] == 0x80)) return std::nullopt;
    value = (value << 7) | (octets[i] & 0x7Fu);
    if ((octets[i] & 0x80) != 0) continue;
    if (first) {
      const std::uint64_t arc = std::min<std::uint64_t>(value / 40, 2);
      text = std::to_string(arc) + "." + std::to_string(value - arc * 40);
      first = false;
    } else {
      text += "." + std::to_string(value);
    }
    value = 0;
  }
  if (first || (octets.back() & 0x80) != 0) return std::nullopt;
  return text;
}

}  // namespace

const wchar_t* digest_algorithm_name(std::string_view algorithm) {
  for (const auto& [oid, name] : digest_names) {
    if (oid == algorithm) return name;
  }
  return nullptr;
}

std::unique_ptr<Digest> new_digest(std::string_view algorithm) {
  const wchar_t* name = digest_algorithm_name(algorithm);
  if (name == nullptr) return nullptr;
  return std::make_unique<PlatformDigest>(name);
}

std::optional<std::string> algorithm_oid(ByteView algorithm_identifier) {
  ByteView rest = algorithm_identifier;
  const auto sequence = take_der_element(rest);
  if (!sequence || sequence->tag != 0x30 || !rest.empty()) return std::nullopt;
  ByteView fields = sequence->content;
  const auto oid = take_der_element(fields);
  if (!oid || oid->tag != 0x06) return std::nullopt;
  return dotted(oid->content);
}

void ContentDigests::add(std::string_view algorithm) {
  if (has(algorithm)) return;
  if (auto digest = new_digest(algorithm)) {
    entries_.push_back({std::string(algorithm), std::move(digest), {}});
  }
}

void ContentDigests::add_known(ContentDigest known) {
  if (has(known.algorithm)) return;
  entries_.push_back({std::move(known.algorithm), nullptr, std::move(known.value)});
}

bool ContentDigests::has(std::string_view algorithm) const {
  return std::any_of(entries_.begin(), entries_.end(),
                     [&](const Entry& entry) { return entry.algorithm == algorithm; });
}

bool ContentDigests::needs_content() const {
  return std::any_of(entries_.begin(), entries_.end(),
                     [](const Entry& entry) { return entry.digest != nullptr; });
}

void ContentDigests::update(ByteView bytes) {
  for (Entry& entry : entries_) {
    if (entry.digest) entry.digest->update(bytes);
  }
}

const Bytes* ContentDigests::of(std::string_view algorithm) {
  for (Entry& entry : entries_) {
    if (entry.algorithm != algorithm) continue;
    if (entry.digest) entry.value = std::exchange(entry.digest, nullptr)->finish();
    return &entry.value;
  }
  return nullptr;
}

void digest_source(const ByteSource& source, ContentDigests& digests) {
  const auto reader = source.open();
  Bytes block(stream_block_size);
  while (const std::size_t size = reader->read(block)) {
    digests.update(ByteView(block.data(), size));
  }
}

}  // namespace orvane::provider::cryptoapi
