// Signs a file with the certificate of a serial number, detached, and verifies the signature:
//   ORVANE_STORE_DIR=STORE sign_and_verify SERIAL FILE
// The signature goes beside FILE, named after it without its extension followed by
// "_Signature.txt". Exits 0 when both answers are "success".
#include <orvane/signing/sign.h>

#include <filesystem>
#include <iostream>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: sign_and_verify SERIAL FILE (the store: $ORVANE_STORE_DIR)\n";
    return 2;
  }
  const orvane::Text serial = orvane::text_from_utf8(argv[1]);
  const std::filesystem::path file = argv[2];

  orvane::signing::Sign sign;
  orvane::Variant input = orvane::text_from_utf8(file.string());
  orvane::Text suffix;  // "" asks for the default, which comes back filled in
  const orvane::Text signed_answer = sign.Signfile(input, serial, orvane::vb_true, suffix);
  std::cout << "Signfile: " << orvane::text_to_utf8(signed_answer) << "\n";
  if (signed_answer != u"success") return 1;

  std::filesystem::path signature = file;
  signature.replace_extension();
  signature += orvane::text_to_utf8(suffix);
  orvane::Variant signature_name = orvane::text_from_utf8(signature.string());
  const orvane::Text verified = sign.Verify(input, signature_name, orvane::vb_true, serial);
  std::cout << "Verify: " << orvane::text_to_utf8(verified) << "\n";
  return verified == u"success" ? 0 : 1;
}
