// The provider's verification of any message, as the verifying methods hand it over: the text
// of a file read through the code page (Base64 text, or DER), and the code units of a file read
// byte-exact (byte-packed Base64 or DER); each attached and detached, with signature and
// certificate checks, over a store made once per process that trusts the certificates that
// signed the committed corpus.
#include <stdlib.h>

#include <cstdint>
#include <filesystem>

#include "fuzz/require.h"
#include "fuzz/signed_content.h"
#include "provider/content_bytes.h"
#include "provider/provider.h"
#include "runtime/code_page.h"
#include "runtime/failure.h"
#include "signing/envelope.h"

namespace {

namespace fs = std::filesystem;
using orvane::Text;
using orvane::fuzzing::require;
using orvane::provider::Attachment;

struct Store {
  fs::path root;
  std::shared_ptr<orvane::provider::Factory> factory;

  Store() {
    // Only the store's own roots: the system's would make runs differ between machines.
    ::setenv("SSL_CERT_FILE", "/nonexistent/orvane-fuzz", 1);
    ::setenv("SSL_CERT_DIR", "/nonexistent/orvane-fuzz", 1);
    std::string folder = (fs::temp_directory_path() / "orvane-fuzz-store-XXXXXX").string();
    require(::mkdtemp(folder.data()) != nullptr, "a store folder");
    root = folder;
    fs::create_directories(root / "Root");
    fs::create_directories(root / "CA");
    fs::copy_file(fs::path(ORVANE_FUZZ_TRUST_DIR) / "root.pem", root / "Root" / "root.pem");
    fs::copy_file(fs::path(ORVANE_FUZZ_TRUST_DIR) / "intermediate.pem", root / "CA" / "ca.pem");
    factory = orvane::provider::default_factory(root);
  }
  ~Store() {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }
};

Store& store() {
  static Store made;
  return made;
}

// The content of an attached message, as it passed.
class Collected final : public orvane::provider::ContentSink {
 public:
  void restart() override { bytes.clear(); }
  void write(orvane::ByteView more) override {
    bytes.insert(bytes.end(), more.begin(), more.end());
  }
  orvane::Bytes bytes;
};

void verify(const Text& message, bool detached) {
  const auto signed_data = store().factory->CreateSignedData();
  const Text detached_content(orvane::fuzzing::detached_content);
  signed_data->SetContent(
      std::make_shared<orvane::MemorySource>(orvane::provider::content_bytes(detached_content)));
  Collected carried;
  try {
    signed_data->Verify(orvane::provider::MemoryMessage(message),
                        detached ? Attachment::detached : Attachment::attached, &carried);
  } catch (const orvane::Failure& failure) {
    require(failure.number() < 0, "verification fails only with the provider's codes");
    return;
  }
  // What the verifying methods ask of a message that verified.
  signed_data->Signers(1)->GetCertificate()->SerialNumber();
  if (detached) {
    require(carried.bytes.empty(), "a detached verification hands on no content");
    return;
  }
  try {
    orvane::signing::split_envelope(orvane::provider::text_from_content_bytes(carried.bytes));
  } catch (const orvane::Failure&) {
    // Content without a trailer, which the methods report as a local failure.
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  store();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const orvane::ByteView bytes(data, size);
  for (const Text& message : {orvane::decode_text(orvane::windows_1252(), bytes),
                              orvane::provider::text_from_content_bytes(bytes)}) {
    verify(message, false);
    verify(message, true);
  }
  return 0;
}
