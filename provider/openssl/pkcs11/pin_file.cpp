#include "provider/openssl/pkcs11/pin_file.h"

#include <string_view>

#include "provider/openssl/store_safety.h"

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

// No PIN is longer than this; a longer file is not a PIN file.
constexpr std::size_t longest_pin_file = 4096;

}  // namespace

PinFile read_pin_file(const std::filesystem::path& store_root, const std::string& label) {
  if (!names_a_file(label)) {
    return refused(CryptError::no_pin_presented,
                   "the token label cannot name a PIN file, and the token has no PIN pad");
  }
  const std::string shown = "the PIN file pins/" + label;
  const OpenedPart root = open_store_root(store_root);
  const OpenedPart pins = open_store_folder(root, store_root, "pins");
  const OpenedPart file = open_store_file(pins, store_root / "pins", label, StoreFileKind::secret);
  switch (file.state()) {
    case OpenedPart::State::missing:
      return refused(CryptError::no_pin_presented,
                     "no PIN file pins/" + label + ", and the token has no PIN pad");
    case OpenedPart::State::refused:
      // The file's own fault names it as the token's; a folder's names the folder.
      return refused(CryptError::access_denied, file.path() == store_root / "pins" / label
                                                    ? shown + " is not used: " + file.reason()
                                                    : file.refusal());
    case OpenedPart::State::unreadable:
      return refused(CryptError::access_denied, shown + " cannot be read");
    case OpenedPart::State::usable:
      break;
  }
  auto text = read_opened(file.descriptor(), longest_pin_file);
  if (!text) return refused(CryptError::access_denied, shown + " cannot be read");
  const Pin whole(std::move(*text));  // wiped when read
  std::string_view line(whole.c_str());
  line = line.substr(0, line.find('\n'));
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  // An empty file is a mistake, not an empty PIN: trying it would only cost the card a try.
  if (line.empty()) return refused(CryptError::no_pin_presented, shown + " is empty");
  return {std::make_unique<Pin>(std::string(line)), CryptError::no_pin_presented, {}};
}

}  // namespace orvane::provider::openssl::pkcs11
