#include "provider/cryptoapi/private_key.h"

#include <array>
#include <vector>

#include "provider/cryptoapi/certificate.h"
#include "provider/cryptoapi/platform_error.h"

namespace orvane::provider::cryptoapi {
namespace {

bool is_microsoft_software_rsa_provider(const wchar_t* name) {
  // No name means the type's default, which is Microsoft's base provider.
  if (name == nullptr || *name == L'\0') return true;
  constexpr std::array names{MS_DEF_PROV_W, MS_ENHANCED_PROV_W, MS_STRONG_PROV_W};
  for (const wchar_t* software : names) {
    if (::CompareStringOrdinal(name, -1, software, -1, TRUE) == CSTR_EQUAL) return true;
  }
  return false;
}

SigningKey reopen_in_aes_provider(const CRYPT_KEY_PROV_INFO& info) {
  SigningKey key;
  if (!::CryptAcquireContextW(key.provider.put(), info.pwszContainerName, MS_ENH_RSA_AES_PROV_W,
                              PROV_RSA_AES, CRYPT_SILENT | (info.dwFlags & CRYPT_MACHINE_KEYSET))) {
    throw last_key_failure();
  }
  // Wine's PFX import records a dwKeySpec of 3, which names no key.
  if (info.dwKeySpec == AT_SIGNATURE) key.key_spec = AT_SIGNATURE;
  return key;
}

SigningKey acquire_from_platform(PCCERT_CONTEXT certificate) {
  // Not silent: a smart card's key asks for its PIN, and that prompt, the platform's own, is
  // what a caller signing with a card expects; refusing it would make every card key fail
  // unless its PIN happened to be cached. Finding certificates never prompts, and nothing of
  // this component's own asks the user anything.
  constexpr DWORD flags = CRYPT_ACQUIRE_ALLOW_NCRYPT_KEY_FLAG | CRYPT_ACQUIRE_COMPARE_KEY_FLAG;
  HCRYPTPROV_OR_NCRYPT_KEY_HANDLE handle = 0;
  SigningKey key;
  BOOL caller_frees = FALSE;
  if (!::CryptAcquireCertificatePrivateKey(certificate, flags, nullptr, &handle, &key.key_spec,
                                           &caller_frees)) {
    throw last_key_failure();
  }
  if (!caller_frees) {
    key.borrowed = handle;
  } else if (key.is_ncrypt()) {
    key.ncrypt_key = windows::NCryptKeyHandle(handle);
  } else {
    key.provider = windows::ProviderHandle(handle);
  }
  return key;
}

}  // namespace

KeyRoute key_route(const CRYPT_KEY_PROV_INFO& info) {
  if (info.dwProvType == 0) return KeyRoute::key_storage_provider;
  if (info.dwProvType == PROV_RSA_FULL && is_microsoft_software_rsa_provider(info.pwszProvName)) {
    return KeyRoute::aes_capable_provider;
  }
  return KeyRoute::recorded_provider;
}

HCRYPTPROV_OR_NCRYPT_KEY_HANDLE SigningKey::handle() const {
  if (provider.get() != 0) return provider.get();
  if (ncrypt_key.get() != 0) return ncrypt_key.get();
  return borrowed;
}

SigningKey acquire_signing_key(PCCERT_CONTEXT certificate) {
  const std::vector<BYTE> bytes = certificate_property(certificate, CERT_KEY_PROV_INFO_PROP_ID);
  if (bytes.size() < sizeof(CRYPT_KEY_PROV_INFO)) throw crypt_failure(CryptError::no_key);
  const auto& info = *reinterpret_cast<const CRYPT_KEY_PROV_INFO*>(bytes.data());
  if (key_route(info) == KeyRoute::aes_capable_provider) return reopen_in_aes_provider(info);
  return acquire_from_platform(certificate);
}

std::optional<CryptError> key_error(std::uint32_t code) {
  switch (static_cast<HRESULT>(code)) {
    case NTE_NO_KEY:
    case NTE_BAD_KEYSET:
    case NTE_NOT_FOUND:
    case CRYPT_E_NO_KEY_PROPERTY:
      return CryptError::no_key;
    case SCARD_W_WRONG_CHV:
      return CryptError::wrong_pin;
    case SCARD_W_CHV_BLOCKED:
      return CryptError::pin_blocked;
    case SCARD_W_CARD_NOT_AUTHENTICATED:
      return CryptError::no_pin_presented;
    case SCARD_W_CANCELLED_BY_USER:
    case NTE_USER_CANCELLED:
    case HRESULT_FROM_WIN32(ERROR_CANCELLED):
      return CryptError::cancelled_by_user;
    case SCARD_E_NO_SMARTCARD:
    case SCARD_W_REMOVED_CARD:
    case SCARD_E_NO_READERS_AVAILABLE:
    case SCARD_E_READER_UNAVAILABLE:
      return CryptError::no_smart_card;
    default:
      return std::nullopt;
  }
}

Failure last_key_failure() {
  const DWORD error = ::GetLastError();
  const auto known = key_error(static_cast<std::uint32_t>(HRESULT_FROM_WIN32(error)));
  return known ? crypt_failure(*known) : platform_failure(error);
}

}  // namespace orvane::provider::cryptoapi
