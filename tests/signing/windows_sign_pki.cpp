// The Sign object's tests under Wine know the build-time PKI by its description; the stores
// get it in user_stores_import.cpp (apart: Windows' headers and the Sign object's do not mix).

#include <fstream>
#include <map>
#include <stdexcept>
#include <string>

#include "tests/signing/sign_fixture.h"

namespace orvane::signing {
namespace {

namespace fs = std::filesystem;

const fs::path pki_folder = ORVANE_WINDOWS_PKI;

WindowsPkiRole role(const std::map<std::string, Text>& serials, const std::string& name) {
  const auto found = serials.find(name);
  if (found == serials.end()) throw std::runtime_error("sign-pki.txt names no " + name);
  return {found->second};
}

}  // namespace

SignPki install_sign_pki(const fs::path&) {
  std::ifstream in(pki_folder / "sign-pki.txt");
  std::map<std::string, Text> serials;
  std::string name;
  std::string serial;
  while (in >> name >> serial) serials[name] = Text(serial.begin(), serial.end());
  return {{},
          role(serials, "user"),
          role(serials, "second_user"),
          role(serials, "expired"),
          role(serials, "without_key")};
}

const PkiRole& SignTest::other_signer() const {
  return pki.second_user;
}

}  // namespace orvane::signing
