#include "provider/openssl/pkcs11/pin_file.h"

#include <fstream>

#include "provider/openssl/store_folder.h"

namespace orvane::provider::openssl::pkcs11 {
namespace {

// A label is one file name below pins/, never a way out of it.
bool names_a_file(const std::string& label) {
  return !label.empty() && label != "." && label != ".." &&
         label.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

PinFile refused(CryptError error, std::string problem) {
  return {nullptr, error, std::move(problem)};
}

}  // namespace

PinFile read_pin_file(const std::filesystem::path& store_root, const std::string& label) {
  if (!names_a_file(label)) {
    return refused(CryptError::no_pin_presented,
                   "the token label cannot name a PIN file, and the token has no PIN pad");
  }
  const auto file = store_root / "pins" / label;
  const std::string shown = "the PIN file pins/" + label;
  std::error_code error;
  if (!std::filesystem::exists(file, error)) {
    return refused(CryptError::no_pin_presented,
                   "no PIN file pins/" + label + ", and the token has no PIN pad");
  }
  if (group_or_others_can_read(file)) {
    return refused(CryptError::access_denied, shown + " can be read by group or others");
  }
  std::ifstream input(file, std::ios::binary);
  if (!input) return refused(CryptError::access_denied, shown + " cannot be read");
  std::string line;
  // An empty file is a mistake, not an empty PIN: trying it would only cost the card a try.
  if (!std::getline(input, line) || line.empty() || line == "\r") {
    return refused(CryptError::no_pin_presented, shown + " is empty");
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  auto pin = std::make_unique<Pin>(std::move(line));
  return {std::move(pin), CryptError::no_pin_presented, {}};
}

}  // namespace orvane::provider::openssl::pkcs11
