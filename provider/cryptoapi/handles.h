#pragma once

// Owning handles for the crypt32, ncrypt and winscard objects of this back end, each released
// in one place.

#include <windows.h>  // with wincrypt.h
// After windows.h:
#include <ncrypt.h>
#include <winscard.h>

#include <memory>
#include <utility>

namespace orvane::provider::cryptoapi {

struct CloseStore {
  void operator()(HCERTSTORE store) const { ::CertCloseStore(store, 0); }
};

struct FreeCertificateContext {
  void operator()(PCCERT_CONTEXT context) const { ::CertFreeCertificateContext(context); }
};

struct ReleaseContext {
  void operator()(HCRYPTPROV provider) const { ::CryptReleaseContext(provider, 0); }
};

struct DestroyKey {
  void operator()(HCRYPTKEY key) const { ::CryptDestroyKey(key); }
};

struct DestroyHash {
  void operator()(HCRYPTHASH hash) const { ::CryptDestroyHash(hash); }
};

struct FreeNCryptObject {
  void operator()(NCRYPT_HANDLE object) const { ::NCryptFreeObject(object); }
};

struct FreeNCryptBuffer {
  void operator()(void* buffer) const { ::NCryptFreeBuffer(buffer); }
};

struct ReleaseCardContext {
  void operator()(SCARDCONTEXT context) const { ::SCardReleaseContext(context); }
};

// A CSP, key, key storage provider or smart-card context handle, released once when it goes;
// these are integers, not pointers.
template <typename Handle, typename Release>
class UniqueCryptHandle {
 public:
  UniqueCryptHandle() = default;
  explicit UniqueCryptHandle(Handle handle) : handle_(handle) {}
  UniqueCryptHandle(UniqueCryptHandle&& other) noexcept : handle_(other.handle_) {
    other.handle_ = 0;
  }
  UniqueCryptHandle& operator=(UniqueCryptHandle&& other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
  }
  ~UniqueCryptHandle() {
    if (handle_ != 0) Release()(handle_);
  }
  Handle get() const { return handle_; }
  // For the calls that hand a new handle out through a pointer.
  Handle* put() {
    *this = UniqueCryptHandle();
    return &handle_;
  }

 private:
  Handle handle_ = 0;
};

struct CloseMessage {
  void operator()(HCRYPTMSG message) const { ::CryptMsgClose(message); }
};

struct FreeChain {
  void operator()(PCCERT_CHAIN_CONTEXT chain) const { ::CertFreeCertificateChain(chain); }
};

using StoreHandle = std::unique_ptr<void, CloseStore>;
using CertificateContextHandle = std::unique_ptr<const CERT_CONTEXT, FreeCertificateContext>;
using MessageHandle = std::unique_ptr<void, CloseMessage>;
using ChainHandle = std::unique_ptr<const CERT_CHAIN_CONTEXT, FreeChain>;
using ProviderHandle = UniqueCryptHandle<HCRYPTPROV, ReleaseContext>;
using KeyHandle = UniqueCryptHandle<HCRYPTKEY, DestroyKey>;
using HashHandle = UniqueCryptHandle<HCRYPTHASH, DestroyHash>;
// What NCrypt hands out for the caller to free, such as an enumerated key name.
template <typename T>
using NCryptBuffer = std::unique_ptr<T, FreeNCryptBuffer>;
using NCryptProviderHandle = UniqueCryptHandle<NCRYPT_PROV_HANDLE, FreeNCryptObject>;
using NCryptKeyHandle = UniqueCryptHandle<NCRYPT_KEY_HANDLE, FreeNCryptObject>;
using CardContextHandle = UniqueCryptHandle<SCARDCONTEXT, ReleaseCardContext>;

}  // namespace orvane::provider::cryptoapi
