#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "provider/cryptoapi/key_container.h"
#include "runtime/windows/owned.h"

namespace orvane::provider::cryptoapi {

// The contents of a PKCS #12 (PFX) file, opened: its keys stored, each in a container of its
// own, and its certificates in memory. The containers go again with this object unless kept.
class OpenedPfx {
 public:
  // Opens `bytes` with `password`; nothing means the file has none (tried as empty, then as
  // absent, as files of either kind exist). Throws StoreError, naming `file`.
  OpenedPfx(const std::vector<BYTE>& bytes, const std::wstring* password, const std::string& file);
  ~OpenedPfx();
  OpenedPfx(const OpenedPfx&) = delete;
  OpenedPfx& operator=(const OpenedPfx&) = delete;

  // The certificates that came with their keys, each bound to its key.
  const std::vector<windows::CertificateContextHandle>& with_key() const { return with_key_; }
  // The other certificates: the chain that came along.
  const std::vector<windows::CertificateContextHandle>& others() const { return others_; }
  // Once the certificates are stored, their keys stay.
  void keep() { containers_.clear(); }

 private:
  std::vector<windows::CertificateContextHandle> with_key_;
  std::vector<windows::CertificateContextHandle> others_;
  std::vector<KeyContainer> containers_;
};

}  // namespace orvane::provider::cryptoapi
