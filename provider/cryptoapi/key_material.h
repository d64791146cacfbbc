#pragma once

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "provider/cryptoapi/key_container.h"
#include "runtime/windows/owned.h"

namespace orvane::provider::cryptoapi {

// The certificates and private keys of a file that someone hands to the store, opened: its
// keys stored, each in a container of its own, and its certificates in memory. The containers
// go again with this object unless kept.
class KeyMaterial {
 public:
  KeyMaterial() = default;
  ~KeyMaterial();
  KeyMaterial(KeyMaterial&& other) noexcept;
  KeyMaterial& operator=(KeyMaterial&&) = delete;
  KeyMaterial(const KeyMaterial&) = delete;
  KeyMaterial& operator=(const KeyMaterial&) = delete;

  // The certificates that came with their keys, each bound to its key.
  const std::vector<windows::CertificateContextHandle>& with_key() const { return with_key_; }
  // The other certificates: the chain that came along.
  const std::vector<windows::CertificateContextHandle>& others() const { return others_; }
  // Once the certificates are stored, their keys stay.
  void keep() { containers_.clear(); }

 private:
  friend KeyMaterial read_key_material(const std::vector<BYTE>& bytes,
                                       const std::filesystem::path& file,
                                       const std::optional<std::string>& password);

  std::vector<windows::CertificateContextHandle> with_key_;
  std::vector<windows::CertificateContextHandle> others_;
  std::vector<KeyContainer> containers_;
};

// Reads `bytes`, the contents of `file`: a PKCS #12 (PFX) file. `password` (UTF-8) opens a
// protected one; nothing means the file has none (tried as empty, then as absent, as files of
// either kind exist). Throws StoreError with what to do when the file is of another kind, or
// the password is wrong.
KeyMaterial read_key_material(const std::vector<BYTE>& bytes, const std::filesystem::path& file,
                              const std::optional<std::string>& password);

}  // namespace orvane::provider::cryptoapi
