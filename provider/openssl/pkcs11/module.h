#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

#include "provider/openssl/pkcs11/pkcs11_handles.h"

namespace orvane::provider::openssl::pkcs11 {

// A PIN in memory, wiped when it goes.
class Pin {
 public:
  // Takes the PIN's text, as a token's login wants it.
  explicit Pin(std::string value) : value_(std::move(value)) {}
  ~Pin() { OPENSSL_cleanse(value_.data(), value_.size()); }
  Pin(const Pin&) = delete;
  Pin& operator=(const Pin&) = delete;

  // The PIN for libp11; it lives as long as this object.
  const char* c_str() const { return value_.c_str(); }

 private:
  std::string value_;
};

// A module that cannot be loaded or initialised; what() says why.
class ModuleError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One PKCS #11 module, loaded through libp11 and initialised. PKCS #11 initialises a module
// once per process, and the first context to unload it finalises it for every other, so the
// module of one file is shared by all who read it and unloaded when the last of them goes.
// libp11 asks for a key's PIN through an OpenSSL UI; this module's UI never prompts: it hands
// over the PIN lent for the signature under way, or fails.
class Pkcs11Module {
 public:
  // The loaded module of `path`, shared with whoever holds it already. Fails with ModuleError.
  static std::shared_ptr<Pkcs11Module> load(const std::filesystem::path& path);

  Pkcs11Module(const Pkcs11Module&) = delete;
  Pkcs11Module& operator=(const Pkcs11Module&) = delete;

  // The libp11 context; owned by this object.
  PKCS11_CTX* context() const { return context_.get(); }
  // The module's file, as it was named.
  const std::filesystem::path& path() const { return path_; }

  // Lends `pin` to the keys of this module that ask for one, until the returned object is
  // released; one signature at a time holds it. `pin` must outlive that object.
  [[nodiscard]] std::shared_ptr<void> lend_pin(const Pin& pin);

 private:
  explicit Pkcs11Module(std::filesystem::path path);

  class PinLoan;

  static int answer_prompt(UI* ui, UI_STRING* prompt);

  std::filesystem::path path_;
  std::mutex signing_;
  const Pin* lent_pin_ = nullptr;
  // Declared before the context, which uses it to its end.
  UiMethodPtr ui_method_;
  ContextPtr context_;
};

}  // namespace orvane::provider::openssl::pkcs11
