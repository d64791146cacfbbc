#include "provider/pkcs12_iterations.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <optional>

#include "provider/der.h"

namespace orvane::provider {
namespace {

// PKCS #12 structures as exporters lay them out, with placeholder salts and ciphertexts: the
// reader takes them apart without decrypting anything. BER is the form NSS writes: indefinite
// lengths, and octet strings in pieces.
enum class Form { der, ber };

class Pkcs12Builder {
 public:
  explicit Pkcs12Builder(Form form) : form_(form) {}

  Bytes constructed(std::uint8_t tag, std::initializer_list<Bytes> parts) const {
    Bytes content;
    for (const Bytes& part : parts) content.insert(content.end(), part.begin(), part.end());
    if (form_ == Form::der) return element(tag, content);
    Bytes out{tag, 0x80};
    out.insert(out.end(), content.begin(), content.end());
    out.insert(out.end(), {0x00, 0x00});
    return out;
  }
  Bytes sequence(std::initializer_list<Bytes> parts) const { return constructed(0x30, parts); }
  Bytes explicit_0(const Bytes& inner) const { return constructed(0xA0, {inner}); }
  // An octet string, or one of `tag`'s implicit tag.
  Bytes octets(const Bytes& content, std::uint8_t tag = 0x04) const {
    if (form_ == Form::der || content.size() < 2) return element(tag, content);
    const auto half = static_cast<std::ptrdiff_t>(content.size() / 2);
    return constructed(tag | 0x20, {element(0x04, Bytes(content.begin(), content.begin() + half)),
                                    element(0x04, Bytes(content.begin() + half, content.end()))});
  }

  static Bytes element(std::uint8_t tag, const Bytes& content) {
    Bytes out = der_header(tag, content.size());
    out.insert(out.end(), content.begin(), content.end());
    return out;
  }
  static Bytes oid(std::initializer_list<std::uint8_t> arcs) { return element(0x06, arcs); }
  static Bytes integer(long long value) {
    Bytes content;
    do {
      content.insert(content.begin(), static_cast<std::uint8_t>(value & 0xFF));
      value >>= 8;
    } while (value != 0 && value != -1);
    if (value == 0 && (content.front() & 0x80)) content.insert(content.begin(), 0x00);
    if (value == -1 && !(content.front() & 0x80)) content.insert(content.begin(), 0xFF);
    return element(0x02, content);
  }

  // PBES2 with PBKDF2 at `count`, and AES-256-CBC.
  Bytes pbes2(long long count) const {
    const Bytes pbkdf2 = sequence({oid({0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x05, 0x0C}),
                                   sequence({octets(Bytes(8, 0x5A)), integer(count)})});
    const Bytes aes = sequence({oid({0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x01, 0x2A}),
                                element(0x04, Bytes(16, 0x11))});
    return sequence(
        {oid({0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x05, 0x0D}), sequence({pbkdf2, aes})});
  }
  // PKCS #12's own 3DES scheme at `count`.
  Bytes pkcs12_3des(long long count) const {
    return sequence({oid({0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x0C, 0x01, 0x03}),
                     sequence({octets(Bytes(8, 0x5A)), integer(count)})});
  }

  Bytes shrouded_key_bag(long long count) const {
    return sequence({oid({0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x0C, 0x0A, 0x01, 0x02}),
                     explicit_0(sequence({pbes2(count), octets(Bytes(48, 0xEE))}))});
  }
  // A safe-contents bag that holds `bag`, `depth` bags deep.
  Bytes nested_bag(const Bytes& bag, int depth) const {
    Bytes nested = bag;
    for (int i = 0; i < depth; ++i) {
      nested = sequence({oid({0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x0C, 0x0A, 0x01, 0x06}),
                         explicit_0(sequence({nested}))});
    }
    return nested;
  }

  Bytes data_part(const Bytes& bags) const {
    return sequence({oid({0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x01}),
                     explicit_0(octets(sequence({bags})))});
  }
  Bytes encrypted_part(long long count) const {
    const Bytes content_info =
        sequence({oid({0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x01}), pkcs12_3des(count),
                  octets(Bytes(64, 0xC3), 0x80)});
    return sequence({oid({0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x06}),
                     explicit_0(sequence({integer(0), content_info}))});
  }

  // A file with an encrypted part (of certificates, say) and a plain part with a shrouded key,
  // as OpenSSL and Windows export; the MAC's count is left out when it is nothing.
  Bytes pfx(std::optional<long long> mac, long long part, long long key) const {
    const Bytes parts = sequence({encrypted_part(part), data_part(shrouded_key_bag(key))});
    return pfx_of(parts, mac);
  }
  Bytes pfx_of(const Bytes& parts, std::optional<long long> mac = 2048) const {
    const Bytes safe = sequence(
        {oid({0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x01}), explicit_0(octets(parts))});
    const Bytes digest = sequence(
        {sequence({oid({0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01}), element(0x05, {})}),
         octets(Bytes(32, 0xD1))});
    const Bytes mac_data = mac ? sequence({digest, octets(Bytes(8, 0x5A)), integer(*mac)})
                               : sequence({digest, octets(Bytes(8, 0x5A))});
    return sequence({integer(3), safe, mac_data});
  }

 private:
  Form form_;
};

constexpr long long bound = most_pkcs12_iterations;
constexpr auto bounded = Pkcs12Iterations::bounded;
constexpr auto unbounded = Pkcs12Iterations::unbounded;
constexpr auto unreadable = Pkcs12Iterations::unreadable;

TEST(Pkcs12Iterations, EveryCountOfTheFileIsBoundedInDerAndInBer) {
  for (const Form form : {Form::der, Form::ber}) {
    SCOPED_TRACE(form == Form::der ? "DER" : "BER");
    const Pkcs12Builder make(form);
    EXPECT_EQ(pkcs12_iterations(make.pfx(bound, bound, bound)), bounded);
    EXPECT_EQ(pkcs12_iterations(make.pfx(std::nullopt, 1, 1)), bounded);
    EXPECT_EQ(pkcs12_iterations(make.pfx(bound + 1, 2048, 2048)), unbounded);
    EXPECT_EQ(pkcs12_iterations(make.pfx(2048, bound + 1, 2048)), unbounded);
    EXPECT_EQ(pkcs12_iterations(make.pfx(2048, 2048, bound + 1)), unbounded);
    EXPECT_EQ(pkcs12_iterations(make.pfx(2048, 2048, 1LL << 40)), unbounded);
    // Read as unsigned, these are billions.
    EXPECT_EQ(pkcs12_iterations(make.pfx(0, 2048, 2048)), unbounded);
    EXPECT_EQ(pkcs12_iterations(make.pfx(2048, -1, 2048)), unbounded);
    // A key in a safe-contents bag counts as one in the part.
    const Bytes nested = make.nested_bag(make.shrouded_key_bag(bound + 1), 3);
    EXPECT_EQ(pkcs12_iterations(make.pfx_of(make.sequence({make.data_part(nested)}))), unbounded);
  }
}

TEST(Pkcs12Iterations, KeysInsideEncryptedPartsAreLeftToAnOpenerAndAPartIsCheckedBeforeIt) {
  const Pkcs12Builder make(Form::der);
  int opened = 0;
  const Pkcs12PartOpener opener = [&](ByteView, ByteView, const Pkcs12PlainPart&) {
    ++opened;
    return false;
  };
  EXPECT_EQ(pkcs12_iterations(make.pfx(2048, 2048, 2048), opener), bounded);
  EXPECT_EQ(opened, 1);
  // Neither a part past the bound nor any part of a file whose MAC is past it is opened.
  EXPECT_EQ(pkcs12_iterations(make.pfx(2048, bound + 1, 2048), opener), unbounded);
  EXPECT_EQ(pkcs12_iterations(make.pfx(bound + 1, 2048, 2048), opener), unbounded);
  EXPECT_EQ(opened, 1);
}

TEST(Pkcs12Iterations, DamagedFilesAreUnreadableAndNeverFollowedTooDeep) {
  for (const Form form : {Form::der, Form::ber}) {
    SCOPED_TRACE(form == Form::der ? "DER" : "BER");
    const Pkcs12Builder make(form);
    const Bytes whole = make.pfx(2048, 2048, 2048);
    for (std::size_t length = 0; length < whole.size(); ++length) {
      EXPECT_EQ(pkcs12_iterations(ByteView(whole).first(length)), unreadable) << length;
    }
    // Past the nesting that the reader follows: an unbounded key there is not reached, and the
    // file is not taken for bounded either.
    const Bytes deep = make.nested_bag(make.shrouded_key_bag(2048), 40);
    EXPECT_EQ(pkcs12_iterations(make.pfx_of(make.sequence({make.data_part(deep)}))), unreadable);
    // Public-key integrity: the parts are signed data, not data.
    Bytes signed_mode = whole;
    const Bytes data{0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x01};
    const auto at = std::search(signed_mode.begin(), signed_mode.end(), data.begin(), data.end());
    ASSERT_NE(at, signed_mode.end());
    at[8] = 0x02;
    EXPECT_EQ(pkcs12_iterations(signed_mode), unreadable);
  }
  // Indefinite lengths only for constructed elements; no high tag numbers.
  EXPECT_EQ(pkcs12_iterations(Bytes{0x04, 0x80, 0x00, 0x00}), unreadable);
  EXPECT_EQ(pkcs12_iterations(Bytes{0x1F, 0x81, 0x00, 0x00}), unreadable);
}

}  // namespace
}  // namespace orvane::provider
