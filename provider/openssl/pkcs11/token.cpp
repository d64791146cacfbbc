#include "provider/openssl/pkcs11/token.h"

#include <openssl/err.h>

#include <algorithm>
#include <optional>

#include "provider/openssl/pkcs11/pin_file.h"

namespace orvane::provider::openssl::pkcs11 {
namespace {

// What signing with a token's key needs: the token's slots kept alive, and either the PIN that a
// key asking for it each time gets, or the login failure that every signature reports.
class TokenDevice final : public KeyDevice {
 public:
  TokenDevice(std::shared_ptr<const Slots> slots, std::unique_ptr<Pin> pin,
              std::optional<CryptError> refusal)
      : slots_(std::move(slots)), pin_(std::move(pin)), refusal_(refusal) {}

  std::shared_ptr<void> begin_signature() const override {
    if (refusal_) throw crypt_failure(*refusal_);
    // A token with a PIN pad asks for the PIN itself; libp11 never lets it reach a prompt.
    if (!pin_) return nullptr;
    return slots_->module->lend_pin(*pin_);
  }

 private:
  std::shared_ptr<const Slots> slots_;
  std::unique_ptr<Pin> pin_;
  std::optional<CryptError> refusal_;
};

// The smart-card code of the login that just failed, from the PKCS #11 code libp11 queued.
CryptError login_error() {
  const unsigned long error = ERR_peek_last_error();
  const auto code = ERR_GET_LIB(error) == ERR_get_CKR_code()
                        ? static_cast<CK_RV>(ERR_GET_REASON(error))
                        : CK_RV{CKR_GENERAL_ERROR};
  ERR_clear_error();
  switch (code) {
    case CKR_PIN_INCORRECT:
    case CKR_PIN_INVALID:
    case CKR_PIN_LEN_RANGE:
      return CryptError::wrong_pin;
    case CKR_PIN_LOCKED:
      return CryptError::pin_blocked;
    case CKR_FUNCTION_CANCELED:
      return CryptError::cancelled_by_user;
    case CKR_TOKEN_NOT_PRESENT:
    case CKR_DEVICE_REMOVED:
      return CryptError::no_smart_card;
    default:
      return CryptError::unexpected_card_error;
  }
}

// How the login went: nothing refused, with the PIN that keys may ask for again.
struct Login {
  std::optional<CryptError> refusal;
  std::string reason;
  std::unique_ptr<Pin> pin;
};

Login refused(CryptError error, std::string reason) {
  return {error, std::move(reason), nullptr};
}

Login log_in(PKCS11_SLOT& slot, const std::filesystem::path& store_root) {
  const PKCS11_TOKEN& token = *slot.token;
  int logged_in = 0;
  if (!token.loginRequired || (PKCS11_is_logged_in(&slot, 0, &logged_in) == 0 && logged_in == 1)) {
    return {};
  }
  if (token.userPinLocked) return refused(CryptError::pin_blocked, "its user PIN is blocked");
  if (token.userPinFinalTry) {
    return refused(CryptError::no_pin_presented,
                   "its user PIN has one try left, which is never risked on a stored PIN");
  }
  Login login;
  if (!token.secureLogin) {
    PinFile file = read_pin_file(store_root, token.label);
    if (!file.pin) return refused(file.error, std::move(file.problem));
    login.pin = std::move(file.pin);
  }
  if (PKCS11_login(&slot, 0, login.pin ? login.pin->c_str() : nullptr) != 0) {
    const CryptError error = login_error();
    return refused(error, error == CryptError::wrong_pin
                              ? "it refused the PIN of pins/" + std::string(token.label)
                              : "its login failed: " + text_to_utf8(crypt_error_text(error)));
  }
  return login;
}

bool same_id(const PKCS11_CERT& certificate, const PKCS11_KEY& key) {
  return certificate.id_len > 0 && std::equal(certificate.id, certificate.id + certificate.id_len,
                                              key.id, key.id + key.id_len);
}

// The token's key of the same CKA_ID as `certificate`, as OpenSSL signs with it, or null.
EvpPkeyPtr key_of(const PKCS11_CERT& certificate, PKCS11_KEY* keys, unsigned int key_count) {
  for (unsigned int i = 0; i < key_count; ++i) {
    if (same_id(certificate, keys[i])) return EvpPkeyPtr(PKCS11_get_private_key(&keys[i]));
  }
  return nullptr;
}

}  // namespace

std::shared_ptr<const Slots> list_slots(std::shared_ptr<Pkcs11Module> module) {
  PKCS11_SLOT* list = nullptr;
  unsigned int count = 0;
  if (PKCS11_enumerate_slots(module->context(), &list, &count) != 0) {
    ERR_clear_error();
    throw ModuleError("cannot list its slots");
  }
  auto slots = std::make_shared<Slots>();
  slots->list = SlotsPtr(list, ReleaseSlots{module->context(), count});
  slots->count = count;
  slots->module = std::move(module);
  return slots;
}

TokenReading read_token(const std::shared_ptr<const Slots>& slots, PKCS11_SLOT& slot,
                        const std::filesystem::path& store_root) {
  PKCS11_CERT* certificates = nullptr;
  unsigned int certificate_count = 0;
  if (PKCS11_open_session(&slot, 0) != 0 ||
      PKCS11_enumerate_certs(slot.token, &certificates, &certificate_count) != 0) {
    ERR_clear_error();
    return {TokenState::skipped, "its certificates cannot be read", {}};
  }
  TokenReading reading;
  // A token without certificates offers nothing to sign with: no login is spent on it.
  if (certificate_count == 0) return reading;

  Login login = log_in(slot, store_root);
  PKCS11_KEY* keys = nullptr;
  unsigned int key_count = 0;
  if (!login.refusal && PKCS11_enumerate_keys(slot.token, &keys, &key_count) != 0) {
    ERR_clear_error();
    login = refused(CryptError::unexpected_card_error, "its keys cannot be listed");
  }
  if (login.refusal) {
    reading.state = TokenState::keys_unavailable;
    reading.reason = login.reason;
  }
  const auto device =
      std::make_shared<const TokenDevice>(slots, std::move(login.pin), login.refusal);
  for (unsigned int i = 0; i < certificate_count; ++i) {
    const PKCS11_CERT& certificate = certificates[i];
    if (certificate.x509 == nullptr) continue;
    EvpPkeyPtr key =
        reading.state == TokenState::read ? key_of(certificate, keys, key_count) : nullptr;
    const bool holds_key = key != nullptr || reading.state == TokenState::keys_unavailable;
    reading.certificates.push_back(std::make_shared<OpensslCertificate>(
        share(certificate.x509), key ? std::make_shared<const StoredKey>(std::move(key)) : nullptr,
        holds_key ? device : nullptr));
  }
  ERR_clear_error();
  return reading;
}

}  // namespace orvane::provider::openssl::pkcs11
