#include "provider/pkcs12_iterations.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "provider/der.h"

namespace orvane::provider {
namespace {

// BER, not only DER: some exporters (NSS among them) write indefinite lengths and octet
// strings in pieces, and every platform's reader takes them.

// Deeper than any PKCS #12 file nests, whether elements in elements or safe-contents bags in
// bags; a file that goes further is taken for damaged rather than followed.
constexpr int deepest = 32;

using Oid = std::array<std::uint8_t, 9>;
using BagOid = std::array<std::uint8_t, 11>;
constexpr Oid data_oid{0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x01};
constexpr Oid encrypted_data_oid{0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x06};
constexpr Oid pbes2_oid{0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x05, 0x0D};
constexpr Oid pbkdf2_oid{0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x05, 0x0C};
constexpr BagOid shrouded_key_bag_oid{0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D,
                                      0x01, 0x0C, 0x0A, 0x01, 0x02};
constexpr BagOid safe_contents_bag_oid{0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D,
                                       0x01, 0x0C, 0x0A, 0x01, 0x06};

struct BerElement {
  std::uint8_t tag = 0;
  ByteView content;  // without an indefinite length's end-of-contents octets
  ByteView whole;
};

bool is_constructed(std::uint8_t tag) {
  return (tag & 0x20) != 0;
}

// An OCTET STRING in either form.
bool is_octet_string(const BerElement& element) {
  return (element.tag & ~0x20) == der_tag::octet_string;
}

std::optional<BerElement> take(ByteView& in, int depth = 0);

// The content of an indefinite length, which ends with the end-of-contents octets after the
// elements in it; moves `in` past them.
std::optional<ByteView> take_indefinite_content(ByteView& in, int depth) {
  ByteView rest = in;
  while (rest.size() < 2 || rest[0] != 0 || rest[1] != 0) {
    if (!take(rest, depth + 1)) return std::nullopt;
  }
  const ByteView content = in.first(in.size() - rest.size());
  in = rest.subspan(2);
  return content;
}

// The element at the front of `in`, moving `in` past it.
std::optional<BerElement> take(ByteView& in, int depth) {
  if (depth > deepest || in.size() < 2 || (in[0] & 0x1F) == 0x1F) return std::nullopt;
  const std::uint8_t tag = in[0];
  ByteView rest = in.subspan(2);
  std::optional<ByteView> content;
  if (in[1] == 0x80) {
    if (!is_constructed(tag)) return std::nullopt;
    content = take_indefinite_content(rest, depth);
  } else {
    std::size_t length = in[1];
    if (length & 0x80) {
      const std::size_t octets = length & 0x7F;
      if (octets > sizeof(std::size_t) || octets > rest.size()) return std::nullopt;
      length = 0;
      for (std::size_t i = 0; i < octets; ++i) length = length << 8 | rest[i];
      rest = rest.subspan(octets);
    }
    if (length > rest.size()) return std::nullopt;
    content = rest.first(length);
    rest = rest.subspan(length);
  }
  if (!content) return std::nullopt;
  const BerElement element{tag, *content, in.first(in.size() - rest.size())};
  in = rest;
  return element;
}

// The elements of a constructed element of `tag`; nothing when it is another or one of them
// cannot be read.
std::optional<std::vector<BerElement>> elements_of(const BerElement& element, std::uint8_t tag) {
  if (element.tag != tag) return std::nullopt;
  std::vector<BerElement> elements;
  for (ByteView rest = element.content; !rest.empty();) {
    auto next = take(rest);
    if (!next) return std::nullopt;
    elements.push_back(*next);
  }
  return elements;
}

// The one element inside an explicit tag [0].
std::optional<BerElement> explicitly_tagged(const BerElement& element) {
  const auto inner = elements_of(element, der_tag::context_0);
  if (!inner || inner->size() != 1) return std::nullopt;
  return inner->front();
}

// The octets of an OCTET STRING, primitive or in pieces; its own tag is not judged, as an
// implicit tag may stand for it.
bool append_octets(const BerElement& string, Bytes& out, int depth = 0) {
  if (!is_constructed(string.tag)) {
    out.insert(out.end(), string.content.begin(), string.content.end());
    return true;
  }
  if (depth > deepest) return false;
  for (ByteView rest = string.content; !rest.empty();) {
    const auto piece = take(rest);
    if (!piece || !is_octet_string(*piece) || !append_octets(*piece, out, depth + 1)) {
      return false;
    }
  }
  return true;
}

template <std::size_t size>
bool is_oid(const BerElement& element, const std::array<std::uint8_t, size>& oid) {
  return element.tag == der_tag::object_identifier &&
         std::equal(element.content.begin(), element.content.end(), oid.begin(), oid.end());
}

// The first of two verdicts that refuses more: unbounded, then unreadable.
Pkcs12Iterations worse(Pkcs12Iterations first, Pkcs12Iterations second) {
  if (first == Pkcs12Iterations::unbounded || second == Pkcs12Iterations::unbounded) {
    return Pkcs12Iterations::unbounded;
  }
  return first == Pkcs12Iterations::unreadable ? first : second;
}

Pkcs12Iterations count_iterations(const BerElement& count) {
  if (count.tag != der_tag::integer || count.content.empty()) return Pkcs12Iterations::unreadable;
  if (count.content[0] & 0x80) return Pkcs12Iterations::unbounded;
  long long value = 0;
  for (const std::uint8_t octet : count.content) {
    value = value << 8 | octet;
    if (value > most_pkcs12_iterations) return Pkcs12Iterations::unbounded;
  }
  return value >= 1 ? Pkcs12Iterations::bounded : Pkcs12Iterations::unbounded;
}

// The count of a password-based encryption: PBES2 with PBKDF2, or a PKCS #12 or PBES1 scheme,
// whose parameters are a salt and a count. Other schemes (scrypt bounds its own work) pass.
Pkcs12Iterations encryption_iterations(const BerElement& algorithm) {
  const auto fields = elements_of(algorithm, der_tag::sequence);
  if (!fields || fields->empty() || (*fields)[0].tag != der_tag::object_identifier) {
    return Pkcs12Iterations::unreadable;
  }
  if (fields->size() < 2) return Pkcs12Iterations::bounded;
  const auto parameters = elements_of((*fields)[1], der_tag::sequence);
  if (!is_oid((*fields)[0], pbes2_oid)) {
    const bool salted_count =
        parameters && parameters->size() >= 2 && is_octet_string((*parameters)[0]);
    return salted_count ? count_iterations((*parameters)[1]) : Pkcs12Iterations::bounded;
  }
  // PBES2: the key derivation, then the cipher.
  if (!parameters || parameters->size() != 2) return Pkcs12Iterations::unreadable;
  const auto derivation = elements_of((*parameters)[0], der_tag::sequence);
  if (!derivation || derivation->empty()) return Pkcs12Iterations::unreadable;
  if (!is_oid((*derivation)[0], pbkdf2_oid)) return Pkcs12Iterations::bounded;
  // PBKDF2: a salt, the count, then options.
  const auto pbkdf2 =
      derivation->size() == 2 ? elements_of((*derivation)[1], der_tag::sequence) : std::nullopt;
  if (!pbkdf2 || pbkdf2->size() < 2) return Pkcs12Iterations::unreadable;
  return count_iterations((*pbkdf2)[1]);
}

Pkcs12Iterations mac_iterations(const BerElement& mac_data) {
  // The digest, the salt, and the count, which is one when it is left out.
  const auto fields = elements_of(mac_data, der_tag::sequence);
  if (!fields || fields->size() < 2) return Pkcs12Iterations::unreadable;
  return fields->size() > 2 ? count_iterations((*fields)[2]) : Pkcs12Iterations::bounded;
}

class Walk {
 public:
  explicit Walk(const Pkcs12PartOpener& open_part) : open_part_(open_part) {}

  Pkcs12Iterations pfx(ByteView der) {
    // The version, the parts as data, and the MAC, whose derivation a reader runs first.
    const auto top = take(der);
    const auto fields = top ? elements_of(*top, der_tag::sequence) : std::nullopt;
    if (!fields || fields->size() < 2 || (*fields)[0].tag != der_tag::integer) {
      return Pkcs12Iterations::unreadable;
    }
    Pkcs12Iterations verdict = Pkcs12Iterations::bounded;
    if (fields->size() > 2) verdict = mac_iterations((*fields)[2]);
    if (verdict == Pkcs12Iterations::unbounded) return verdict;
    // Signed (public-key integrity) files are left out: no exporter writes them.
    const auto safe = data_content((*fields)[1]);
    if (!safe) return Pkcs12Iterations::unreadable;
    ByteView safe_bytes(*safe);
    const auto sequence = take(safe_bytes);
    const auto parts = sequence ? elements_of(*sequence, der_tag::sequence) : std::nullopt;
    if (!parts) return Pkcs12Iterations::unreadable;
    for (const BerElement& part : *parts) {
      verdict = worse(verdict, part_iterations(part));
      if (verdict == Pkcs12Iterations::unbounded) break;
    }
    return verdict;
  }

 private:
  // The octets of a ContentInfo of type data; nothing when it is of another type.
  static std::optional<Bytes> data_content(const BerElement& content_info) {
    const auto fields = elements_of(content_info, der_tag::sequence);
    if (!fields || fields->size() != 2 || !is_oid((*fields)[0], data_oid)) return std::nullopt;
    const auto string = explicitly_tagged((*fields)[1]);
    Bytes octets;
    if (!string || !is_octet_string(*string) || !append_octets(*string, octets)) {
      return std::nullopt;
    }
    return octets;
  }

  Pkcs12Iterations part_iterations(const BerElement& part) {
    const auto fields = elements_of(part, der_tag::sequence);
    if (!fields || fields->empty()) return Pkcs12Iterations::unreadable;
    if (is_oid((*fields)[0], data_oid)) {
      const auto octets = data_content(part);
      return octets ? safe_contents(*octets, 0) : Pkcs12Iterations::unreadable;
    }
    // Parts for a public key (enveloped data) ask for no derivation of the password.
    if (!is_oid((*fields)[0], encrypted_data_oid)) return Pkcs12Iterations::bounded;
    const auto encrypted_data =
        fields->size() == 2 ? explicitly_tagged((*fields)[1]) : std::nullopt;
    // The version, then the content's type, its encryption and the encrypted content.
    const auto data_fields =
        encrypted_data ? elements_of(*encrypted_data, der_tag::sequence) : std::nullopt;
    const auto content = data_fields && data_fields->size() >= 2
                             ? elements_of((*data_fields)[1], der_tag::sequence)
                             : std::nullopt;
    if (!content || content->size() < 2) return Pkcs12Iterations::unreadable;
    const Pkcs12Iterations own = encryption_iterations((*content)[1]);
    if (own != Pkcs12Iterations::bounded || !open_part_ || content->size() < 3) return own;
    Bytes encrypted;
    if (!append_octets((*content)[2], encrypted)) return Pkcs12Iterations::unreadable;
    Pkcs12Iterations inside = Pkcs12Iterations::bounded;
    open_part_((*content)[1].whole, encrypted,
               [&](ByteView plain) { inside = safe_contents(plain, 0); });
    // Another password can decrypt to well-padded noise: that part does not open.
    return inside == Pkcs12Iterations::unreadable ? Pkcs12Iterations::bounded : inside;
  }

  Pkcs12Iterations safe_contents(ByteView der, int depth) {
    const auto sequence = depth <= deepest ? take(der) : std::nullopt;
    const auto bags = sequence ? elements_of(*sequence, der_tag::sequence) : std::nullopt;
    if (!bags) return Pkcs12Iterations::unreadable;
    Pkcs12Iterations verdict = Pkcs12Iterations::bounded;
    for (const BerElement& bag : *bags) {
      // The bag's type, its value, and its attributes.
      const auto fields = elements_of(bag, der_tag::sequence);
      const auto value =
          fields && fields->size() >= 2 ? explicitly_tagged((*fields)[1]) : std::nullopt;
      if (!value) {
        verdict = worse(verdict, Pkcs12Iterations::unreadable);
      } else if (is_oid((*fields)[0], shrouded_key_bag_oid)) {
        // The key's encryption, then the encrypted key.
        const auto key = elements_of(*value, der_tag::sequence);
        verdict = worse(verdict, key && !key->empty() ? encryption_iterations(key->front())
                                                      : Pkcs12Iterations::unreadable);
      } else if (is_oid((*fields)[0], safe_contents_bag_oid)) {
        verdict = worse(verdict, safe_contents(value->whole, depth + 1));
      }
      if (verdict == Pkcs12Iterations::unbounded) break;
    }
    return verdict;
  }

  const Pkcs12PartOpener& open_part_;
};

}  // namespace

Pkcs12Iterations pkcs12_iterations(ByteView pfx, const Pkcs12PartOpener& open_part) {
  return Walk(open_part).pfx(pfx);
}

}  // namespace orvane::provider
