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
using orvane::provider::VerifyFlag;

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

// What the verifying methods ask of a message that verified.
void use_verified(const orvane::provider::SignedData& signed_data, bool detached) {
  const auto chain = signed_data.Signers(1)->Chain();
  require(chain->Count() >= 1, "a verified signer has a chain");
  chain->Item(1)->SerialNumber();
  if (detached) {
    require(signed_data.Content() == orvane::fuzzing::detached_content,
            "a detached verification keeps the content it was given");
    return;
  }
  try {
    orvane::signing::split_envelope(signed_data.Content());
  } catch (const orvane::Failure&) {
    // Content without a trailer, which the methods report as a local failure.
  }
}

void verify(const Text& message, bool detached) {
  const auto signed_data = store().factory->CreateSignedData();
  if (detached) signed_data->SetContent(Text(orvane::fuzzing::detached_content));
  try {
    signed_data->Verify(message, detached, VerifyFlag::signature_and_certificate);
  } catch (const orvane::Failure& failure) {
    require(failure.number() < 0, "verification fails only with the provider's codes");
    return;
  }
  use_verified(*signed_data, detached);
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
