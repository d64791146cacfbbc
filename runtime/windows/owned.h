#pragma once

// Every Windows resource that Orvane holds, owned by one type each and released in one place
// (the pattern of WIL's unique_any, which MinGW lacks). Nothing outside this header calls a
// release function: no path, normal or exceptional, can leak or release twice.

#include <windows.h>
// After windows.h:
#include <bcrypt.h>
#include <ncrypt.h>
#include <oleauto.h>
#include <unknwn.h>
#include <wincrypt.h>
#include <winhttp.h>
#include <winscard.h>

#include <cstddef>
#include <utility>
#include <vector>

namespace orvane::windows {

// Owns one value of `Traits::type`: Traits::close(value) runs once, when the owner goes or is
// reset, unless the value is one that Traits::valid rejects.
template <typename Traits>
class Owned {
 public:
  using value_type = typename Traits::type;

  Owned() noexcept = default;
  explicit Owned(value_type value) noexcept : value_(value) {}
  Owned(Owned&& other) noexcept : value_(std::exchange(other.value_, Traits::invalid())) {}
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other) reset(std::exchange(other.value_, Traits::invalid()));
    return *this;
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  ~Owned() { reset(); }

  value_type get() const noexcept { return value_; }
  bool valid() const noexcept { return Traits::valid(value_); }
  explicit operator bool() const noexcept { return valid(); }
  // Hands the value over to a caller that releases it itself (a COM out-parameter, say).
  [[nodiscard]] value_type release() noexcept { return std::exchange(value_, Traits::invalid()); }
  void reset(value_type value = Traits::invalid()) noexcept {
    const value_type old = std::exchange(value_, value);
    if (Traits::valid(old)) Traits::close(old);
  }
  // Releases now and says whether the system reported success: for handles whose release is
  // where a deferred failure shows (a file's last write).
  bool close() noexcept {
    const value_type old = std::exchange(value_, Traits::invalid());
    return !Traits::valid(old) || Traits::close(old);
  }
  // For the calls that hand a new value out through a pointer.
  value_type* put() noexcept {
    reset();
    return &value_;
  }
  // For an in/out parameter: the callee may replace the value, releasing the old one itself.
  value_type* addressof() noexcept { return &value_; }

 private:
  value_type value_ = Traits::invalid();
};

namespace traits {

// A resource whose empty value is a null pointer or zero.
template <typename T, auto Release>
struct Zero {
  using type = T;
  static constexpr T invalid() noexcept { return T{}; }
  static bool valid(T value) noexcept { return value != T{}; }
  static bool close(T value) noexcept { return Release(value); }
};

// Adapts the release calls whose result is not a BOOL, or that take more arguments.
inline bool close_store(HCERTSTORE store) noexcept {
  return ::CertCloseStore(store, 0) != FALSE;
}
inline bool free_certificate(PCCERT_CONTEXT context) noexcept {
  return ::CertFreeCertificateContext(context) != FALSE;
}
inline bool free_crl(PCCRL_CONTEXT context) noexcept {
  return ::CertFreeCRLContext(context) != FALSE;
}
inline bool free_chain(PCCERT_CHAIN_CONTEXT chain) noexcept {
  ::CertFreeCertificateChain(chain);
  return true;
}
inline bool free_chain_engine(HCERTCHAINENGINE engine) noexcept {
  ::CertFreeCertificateChainEngine(engine);
  return true;
}
inline bool close_message(HCRYPTMSG message) noexcept {
  return ::CryptMsgClose(message) != FALSE;
}
inline bool release_provider(HCRYPTPROV provider) noexcept {
  return ::CryptReleaseContext(provider, 0) != FALSE;
}
inline bool destroy_key(HCRYPTKEY key) noexcept {
  return ::CryptDestroyKey(key) != FALSE;
}
inline bool destroy_hash(HCRYPTHASH hash) noexcept {
  return ::CryptDestroyHash(hash) != FALSE;
}
inline bool close_algorithm_provider(BCRYPT_ALG_HANDLE algorithm) noexcept {
  return BCRYPT_SUCCESS(::BCryptCloseAlgorithmProvider(algorithm, 0));
}
inline bool destroy_bcrypt_hash(BCRYPT_HASH_HANDLE hash) noexcept {
  return BCRYPT_SUCCESS(::BCryptDestroyHash(hash));
}
inline bool destroy_bcrypt_key(BCRYPT_KEY_HANDLE key) noexcept {
  return BCRYPT_SUCCESS(::BCryptDestroyKey(key));
}
inline bool free_ncrypt_object(NCRYPT_HANDLE object) noexcept {
  return ::NCryptFreeObject(object) == ERROR_SUCCESS;
}
inline bool release_card_context(SCARDCONTEXT context) noexcept {
  return ::SCardReleaseContext(context) == SCARD_S_SUCCESS;
}
inline bool close_key(HKEY key) noexcept {
  return ::RegCloseKey(key) == ERROR_SUCCESS;
}
inline bool free_string(BSTR text) noexcept {
  ::SysFreeString(text);
  return true;
}
inline bool free_local(void* memory) noexcept {
  return ::LocalFree(memory) == nullptr;
}
inline bool free_ncrypt_buffer(void* buffer) noexcept {
  return ::NCryptFreeBuffer(buffer) == ERROR_SUCCESS;
}
inline bool close_internet(HINTERNET handle) noexcept {
  return ::WinHttpCloseHandle(handle) != FALSE;
}
inline bool release_interface(IUnknown* object) noexcept {
  object->Release();
  return true;
}

// A kernel handle: CreateFile's failure is INVALID_HANDLE_VALUE, most others' is null.
struct Kernel {
  using type = HANDLE;
  static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static bool valid(HANDLE value) noexcept {
    return value != INVALID_HANDLE_VALUE && value != nullptr;
  }
  static bool close(HANDLE value) noexcept { return ::CloseHandle(value) != FALSE; }
};

template <typename T>
struct Local {
  using type = T*;
  static constexpr T* invalid() noexcept { return nullptr; }
  static bool valid(T* value) noexcept { return value != nullptr; }
  static bool close(T* value) noexcept {
    return free_local(const_cast<void*>(static_cast<const void*>(value)));
  }
};

template <typename T>
struct NCryptAllocated {
  using type = T*;
  static constexpr T* invalid() noexcept { return nullptr; }
  static bool valid(T* value) noexcept { return value != nullptr; }
  static bool close(T* value) noexcept { return free_ncrypt_buffer(value); }
};

template <typename Interface>
struct Com {
  using type = Interface*;
  static constexpr Interface* invalid() noexcept { return nullptr; }
  static bool valid(Interface* value) noexcept { return value != nullptr; }
  static bool close(Interface* value) noexcept { return release_interface(value); }
};

}  // namespace traits

using UniqueHandle = Owned<traits::Kernel>;
using RegistryKey = Owned<traits::Zero<HKEY, traits::close_key>>;
// Memory that the system allocated for the caller with LocalAlloc (CRYPT_DECODE_ALLOC_FLAG,
// FormatMessage, CommandLineToArgvW, security descriptors).
template <typename T>
using LocalMemory = Owned<traits::Local<T>>;

using StoreHandle = Owned<traits::Zero<HCERTSTORE, traits::close_store>>;
using CertificateContextHandle = Owned<traits::Zero<PCCERT_CONTEXT, traits::free_certificate>>;
using CrlContextHandle = Owned<traits::Zero<PCCRL_CONTEXT, traits::free_crl>>;
using ChainHandle = Owned<traits::Zero<PCCERT_CHAIN_CONTEXT, traits::free_chain>>;
using ChainEngineHandle = Owned<traits::Zero<HCERTCHAINENGINE, traits::free_chain_engine>>;
using MessageHandle = Owned<traits::Zero<HCRYPTMSG, traits::close_message>>;
using ProviderHandle = Owned<traits::Zero<HCRYPTPROV, traits::release_provider>>;
using KeyHandle = Owned<traits::Zero<HCRYPTKEY, traits::destroy_key>>;
using HashHandle = Owned<traits::Zero<HCRYPTHASH, traits::destroy_hash>>;
using BCryptAlgorithmHandle =
    Owned<traits::Zero<BCRYPT_ALG_HANDLE, traits::close_algorithm_provider>>;
using BCryptHashHandle = Owned<traits::Zero<BCRYPT_HASH_HANDLE, traits::destroy_bcrypt_hash>>;
using BCryptKeyHandle = Owned<traits::Zero<BCRYPT_KEY_HANDLE, traits::destroy_bcrypt_key>>;
using NCryptProviderHandle = Owned<traits::Zero<NCRYPT_PROV_HANDLE, traits::free_ncrypt_object>>;
using NCryptKeyHandle = Owned<traits::Zero<NCRYPT_KEY_HANDLE, traits::free_ncrypt_object>>;
// What NCrypt hands out for the caller to free, such as an enumerated key name.
template <typename T>
using NCryptMemory = Owned<traits::NCryptAllocated<T>>;
using CardContextHandle = Owned<traits::Zero<SCARDCONTEXT, traits::release_card_context>>;
// A WinHTTP session, connection or request.
using InternetHandle = Owned<traits::Zero<HINTERNET, traits::close_internet>>;

using Bstr = Owned<traits::Zero<BSTR, traits::free_string>>;

// An owned reference to a COM interface, called through like the pointer it holds.
template <typename Interface>
class ComPtr : public Owned<traits::Com<Interface>> {
 public:
  using Owned<traits::Com<Interface>>::Owned;
  Interface* operator->() const noexcept { return this->get(); }
  // For QueryInterface and the calls that hand out an interface as a void**.
  void** put_void() noexcept { return reinterpret_cast<void**>(this->put()); }
};

// A VARIANT that is cleared once when it goes. It is a value, not a handle, so it is its own
// type rather than an Owned.
class OwnedVariant {
 public:
  OwnedVariant() noexcept { ::VariantInit(&value_); }
  OwnedVariant(OwnedVariant&& other) noexcept : value_(other.release()) {}
  OwnedVariant& operator=(OwnedVariant&& other) noexcept {
    if (this != &other) *put() = other.release();
    return *this;
  }
  OwnedVariant(const OwnedVariant&) = delete;
  OwnedVariant& operator=(const OwnedVariant&) = delete;
  ~OwnedVariant() { ::VariantClear(&value_); }
  // Takes over what `variable` holds and leaves it empty: for a caller's variable whose old
  // value is to go when a new one is put in.
  static OwnedVariant take(VARIANT& variable) noexcept {
    OwnedVariant taken;
    taken.value_ = variable;
    ::VariantInit(&variable);
    return taken;
  }
  VARIANT* get() noexcept { return &value_; }
  const VARIANT* get() const noexcept { return &value_; }
  VARIANT* operator->() noexcept { return &value_; }
  // Hands the value over, leaving this one empty: the caller now clears it.
  VARIANT release() noexcept {
    VARIANT value = value_;
    ::VariantInit(&value_);
    return value;
  }
  // Clears the value now, before something else is put into it.
  VARIANT* put() noexcept {
    ::VariantClear(&value_);
    return &value_;
  }

 private:
  VARIANT value_;
};

// Runs `action` once when the scope ends, however it ends: for what must be undone and is not
// a handle of its own, such as an enumeration whose context the platform frees as it goes.
template <typename Action>
class ScopeExit {
 public:
  explicit ScopeExit(Action action) noexcept : action_(std::move(action)) {}
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;
  ~ScopeExit() {
    if (armed_) action_();
  }
  // The scope ended as it should: nothing is undone.
  void dismiss() noexcept { armed_ = false; }

 private:
  Action action_;
  bool armed_ = true;
};

// The platform's two-call pattern: `call(nullptr, &size)` asks for the size in bytes, then
// `call(buffer, &size)` fills a buffer of that size. Returns false when either call fails, with
// GetLastError() as the call left it; `out` then holds nothing.
template <typename Element, typename Call, typename Size = DWORD>
bool size_then_fill(std::vector<Element>& out, Call&& call) {
  out.clear();
  Size size = 0;
  if (!call(static_cast<Element*>(nullptr), &size)) return false;
  out.resize((static_cast<std::size_t>(size) + sizeof(Element) - 1) / sizeof(Element));
  if (!call(out.data(), &size)) {
    out.clear();
    return false;
  }
  out.resize((static_cast<std::size_t>(size) + sizeof(Element) - 1) / sizeof(Element));
  return true;
}

}  // namespace orvane::windows
