// Which way the CryptoAPI back end opens a certificate's key, and what the platform's key and
// smart-card codes read as. (Wine 8 keeps no key storage provider keys, so signing with one
// is covered under Wine only up to the key that is not there; see cryptoapi_signing_test.)

#include <gtest/gtest.h>

#include "provider/cryptoapi/private_key.h"

namespace orvane::provider::cryptoapi {
namespace {

KeyRoute route_of(const wchar_t* provider, DWORD type) {
  CRYPT_KEY_PROV_INFO info{};
  info.pwszContainerName = const_cast<wchar_t*>(L"container");
  info.pwszProvName = const_cast<wchar_t*>(provider);
  info.dwProvType = type;
  info.dwKeySpec = AT_KEYEXCHANGE;
  return key_route(info);
}

TEST(CryptoapiKeyRoute, KeyStorageProviderKeysGoThroughNCryptAndOnlySoftwareCspKeysAreReopened) {
  // Windows' own enrolment and modern smart cards.
  EXPECT_EQ(route_of(MS_KEY_STORAGE_PROVIDER, 0), KeyRoute::key_storage_provider);
  EXPECT_EQ(route_of(MS_SMART_CARD_KEY_STORAGE_PROVIDER, 0), KeyRoute::key_storage_provider);
  // The providers that cannot hash SHA-256, named or as the type's default.
  EXPECT_EQ(route_of(MS_DEF_PROV_W, PROV_RSA_FULL), KeyRoute::aes_capable_provider);
  EXPECT_EQ(route_of(L"microsoft enhanced cryptographic provider v1.0", PROV_RSA_FULL),
            KeyRoute::aes_capable_provider);
  EXPECT_EQ(route_of(MS_STRONG_PROV_W, PROV_RSA_FULL), KeyRoute::aes_capable_provider);
  EXPECT_EQ(route_of(nullptr, PROV_RSA_FULL), KeyRoute::aes_capable_provider);
  // A card CSP's container exists on the card only: the AES provider would not find it.
  EXPECT_EQ(route_of(MS_SCARD_PROV_W, PROV_RSA_FULL), KeyRoute::recorded_provider);
  EXPECT_EQ(route_of(L"Vendor Card CSP", PROV_RSA_FULL), KeyRoute::recorded_provider);
  EXPECT_EQ(route_of(MS_ENH_RSA_AES_PROV_W, PROV_RSA_AES), KeyRoute::recorded_provider);
}

TEST(CryptoapiKeyError, KeyAndCardCodesReadAsTheOtherBackEndsReportThem) {
  const std::pair<HRESULT, CryptError> known[] = {
      {NTE_BAD_KEYSET, CryptError::no_key},
      {NTE_NOT_FOUND, CryptError::no_key},
      {CRYPT_E_NO_KEY_PROPERTY, CryptError::no_key},
      {SCARD_W_WRONG_CHV, CryptError::wrong_pin},
      {SCARD_W_CHV_BLOCKED, CryptError::pin_blocked},
      {SCARD_W_CARD_NOT_AUTHENTICATED, CryptError::no_pin_presented},
      {NTE_USER_CANCELLED, CryptError::cancelled_by_user},
      {HRESULT_FROM_WIN32(ERROR_CANCELLED), CryptError::cancelled_by_user},
      {SCARD_W_REMOVED_CARD, CryptError::no_smart_card},
      {SCARD_E_NO_READERS_AVAILABLE, CryptError::no_smart_card},
  };
  for (const auto& [code, error] : known) {
    EXPECT_EQ(key_error(static_cast<std::uint32_t>(code)), error) << std::hex << code;
  }
  // Anything else keeps the platform's own code.
  EXPECT_EQ(key_error(static_cast<std::uint32_t>(NTE_BAD_SIGNATURE)), std::nullopt);
  // A software key with strong protection, reopened silently: not a card's PIN.
  EXPECT_EQ(key_error(static_cast<std::uint32_t>(NTE_SILENT_CONTEXT)), std::nullopt);
  EXPECT_EQ(key_error(static_cast<std::uint32_t>(E_OUTOFMEMORY)), std::nullopt);
}

}  // namespace
}  // namespace orvane::provider::cryptoapi
