// The streaming reader of a message's outer structure against OpenSSL reading the message whole:
// for any bytes, the reader and OpenSSL's parse of what the reader leaves accept exactly when
// OpenSSL accepts the whole, and then with the same content, the same content type and the same
// signers and certificates.
#include <openssl/cms.h>
#include <openssl/err.h>

#include <cstdint>
#include <memory>

#include "fuzz/require.h"
#include "provider/ber_input.h"
#include "provider/openssl/handles.h"
#include "provider/signed_message_reader.h"

namespace {

using orvane::Bytes;
using orvane::ByteView;
using orvane::fuzzing::require;

using Message = orvane::provider::openssl::CmsPtr;

// The message `der` holds with nothing after it, as d2i reads it; null otherwise.
Message parse(ByteView der) {
  const unsigned char* cursor = der.data();
  Message message(d2i_CMS_ContentInfo(nullptr, &cursor, static_cast<long>(der.size())));
  ERR_clear_error();
  if (message && cursor != der.data() + der.size()) return nullptr;
  return message;
}

class Receiver final : public orvane::provider::MessageReceiver {
 public:
  void restart() override { received.clear(); }
  void digest_algorithms(const std::vector<Bytes>&) override {}
  void content(ByteView bytes) override {
    received.insert(received.end(), bytes.begin(), bytes.end());
  }
  bool accept(ByteView message_without_content) override {
    parsed = parse(message_without_content);
    return parsed != nullptr;
  }
  Bytes received;
  Message parsed;
};

int count_of(STACK_OF(X509) * certificates) {
  return sk_X509_num(orvane::provider::openssl::X509StackPtr(certificates).get());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const ByteView bytes(data, size);
  const Message whole = parse(bytes);

  orvane::MemoryReader reader(bytes);
  orvane::provider::BerInput input(reader);
  Receiver receiver;
  bool accepted = false;
  try {
    accepted = receiver.accept(orvane::provider::read_signed_message(input, receiver, false));
  } catch (const orvane::provider::NotAMessage&) {
  }
  require(accepted == (whole != nullptr), "the reader accepts what OpenSSL accepts whole");
  if (!accepted) return 0;

  require(OBJ_cmp(CMS_get0_type(whole.get()), CMS_get0_type(receiver.parsed.get())) == 0,
          "the same type of message");
  if (OBJ_obj2nid(CMS_get0_type(whole.get())) != NID_pkcs7_signed) return 0;
  ASN1_OCTET_STRING** carried = CMS_get0_content(whole.get());
  const Bytes expected = carried != nullptr && *carried != nullptr
                             ? Bytes(ASN1_STRING_get0_data(*carried),
                                     ASN1_STRING_get0_data(*carried) + ASN1_STRING_length(*carried))
                             : Bytes{};
  require(receiver.received == expected, "the same content");
  require(OBJ_cmp(CMS_get0_eContentType(whole.get()),
                  CMS_get0_eContentType(receiver.parsed.get())) == 0,
          "the same content type");
  require(sk_CMS_SignerInfo_num(CMS_get0_SignerInfos(whole.get())) ==
              sk_CMS_SignerInfo_num(CMS_get0_SignerInfos(receiver.parsed.get())),
          "the same signers");
  require(count_of(CMS_get1_certs(whole.get())) == count_of(CMS_get1_certs(receiver.parsed.get())),
          "the same certificates");
  return 0;
}
