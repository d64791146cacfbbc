#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "provider/crypt_error.h"
#include "provider/provider.h"
#include "runtime/bytes.h"
#include "tests/support/failures.h"
#include "tests/support/openssl_pki/test_pki.h"
#include "tests/support/temp_folder.h"

namespace orvane::testing {

// A test with the test PKI installed in a store root of its own and the OpenSSL back end over
// it.
class PkiTest : public ::testing::Test {
 protected:
  // A signer bound to the first personal-store certificate with `serial`, with a signing time
  // (by default 10:00 on 15 June 2030 at UTC+02:00).
  std::unique_ptr<provider::Signer> signer_for(const Text& serial,
                                               const LocalDateTime& signing_time = {2030, 6, 15, 10,
                                                                                    0, 0, 120});

  // Signs `content` with the personal-store certificate `serial`.
  Text sign(const Text& serial, const Text& content, bool detached);

  // What a verification showed: the object, and the content (the one the message carried, or
  // the detached one it was checked against).
  struct Verified {
    std::unique_ptr<provider::SignedData> signed_data;
    Text content;
    provider::SignedData* operator->() const { return signed_data.get(); }
  };

  // Verifies `message` with signature and certificate checks: detached when `detached_content`
  // is given.
  Verified verify(const Text& message, std::optional<Text> detached_content = {});

  TempFolder folder;
  test_pki::TestPki pki = test_pki::install_test_pki(folder.path());
  std::shared_ptr<provider::Factory> factory = provider::default_factory(folder.path());
};

// Whether `call` threw the failure of `error`: its number and its standard text.
::testing::AssertionResult fails_with(provider::CryptError error,
                                      const std::function<void()>& call);

// The bytes that `text` stands for when signed (UTF-16LE), as a file holds them.
std::string utf16le_file(const Text& text);

// Bytes as a string, for writing files.
std::string as_string(ByteView bytes);

}  // namespace orvane::testing
