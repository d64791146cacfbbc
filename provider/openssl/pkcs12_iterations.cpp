#include "provider/openssl/pkcs12_iterations.h"

#include <openssl/err.h>
#include <openssl/x509.h>

#include <cstdint>
#include <memory>

#include "provider/openssl/handles.h"

namespace orvane::provider::openssl {
namespace {

using PbeParamPtr = std::unique_ptr<PBEPARAM, Free<PBEPARAM_free>>;
using Pbe2ParamPtr = std::unique_ptr<PBE2PARAM, Free<PBE2PARAM_free>>;
using Pbkdf2ParamPtr = std::unique_ptr<PBKDF2PARAM, Free<PBKDF2PARAM_free>>;
using Pkcs7StackPtr = std::unique_ptr<STACK_OF(PKCS7), decltype([](STACK_OF(PKCS7) * stack) {
                                        sk_PKCS7_pop_free(stack, PKCS7_free);
                                      })>;
using SafeBagStackPtr =
    std::unique_ptr<STACK_OF(PKCS12_SAFEBAG), decltype([](STACK_OF(PKCS12_SAFEBAG) * stack) {
                      sk_PKCS12_SAFEBAG_pop_free(stack, PKCS12_SAFEBAG_free);
                    })>;

bool within_bound(const ASN1_INTEGER* iterations) {
  std::int64_t count = 1;  // an absent count means one
  if (iterations != nullptr && ASN1_INTEGER_get_int64(&count, iterations) != 1) return false;
  return count <= most_pkcs12_iterations;
}

// The iteration count of a password-based encryption, PBES1, PKCS #12 or PBES2 with PBKDF2;
// other schemes (scrypt bounds its own work) pass.
bool encryption_bounded(const X509_ALGOR* algorithm) {
  const ASN1_OBJECT* oid = nullptr;
  const void* parameter = nullptr;
  X509_ALGOR_get0(&oid, nullptr, &parameter, algorithm);
  const auto* type = static_cast<const ASN1_TYPE*>(parameter);
  if (type == nullptr) return true;
  if (OBJ_obj2nid(oid) != NID_pbes2) {
    const PbeParamPtr pbe(
        static_cast<PBEPARAM*>(ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBEPARAM), type)));
    return !pbe || within_bound(pbe->iter);
  }
  const Pbe2ParamPtr pbe2(
      static_cast<PBE2PARAM*>(ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBE2PARAM), type)));
  if (!pbe2 || pbe2->keyfunc == nullptr || OBJ_obj2nid(pbe2->keyfunc->algorithm) != NID_id_pbkdf2) {
    return true;
  }
  const Pbkdf2ParamPtr pbkdf2(static_cast<PBKDF2PARAM*>(
      ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBKDF2PARAM), pbe2->keyfunc->parameter)));
  return !pbkdf2 || within_bound(pbkdf2->iter);
}

bool bags_bounded(const STACK_OF(PKCS12_SAFEBAG) * bags) {
  for (int i = 0; i < sk_PKCS12_SAFEBAG_num(bags); ++i) {
    const PKCS12_SAFEBAG* bag = sk_PKCS12_SAFEBAG_value(bags, i);
    if (PKCS12_SAFEBAG_get_nid(bag) == NID_pkcs8ShroudedKeyBag) {
      const X509_ALGOR* algorithm = nullptr;
      X509_SIG_get0(PKCS12_SAFEBAG_get0_pkcs8(bag), &algorithm, nullptr);
      if (algorithm != nullptr && !encryption_bounded(algorithm)) return false;
    } else if (PKCS12_SAFEBAG_get_nid(bag) == NID_safeContentsBag &&
               !bags_bounded(PKCS12_SAFEBAG_get0_safes(bag))) {
      return false;
    }
  }
  return true;
}

bool part_bounded(PKCS7* part, const char* password) {
  SafeBagStackPtr bags;
  if (PKCS7_type_is_data(part)) {
    bags.reset(PKCS12_unpack_p7data(part));
  } else if (PKCS7_type_is_encrypted(part)) {
    if (part->d.encrypted == nullptr || part->d.encrypted->enc_data == nullptr) return true;
    if (!encryption_bounded(part->d.encrypted->enc_data->algorithm)) return false;
    if (password != nullptr) bags.reset(PKCS12_unpack_p7encdata(part, password, -1));
    // An empty password reaches the key derivation as none at all or as an empty text, by
    // exporter; the reader tries both.
    if (!bags && password != nullptr && *password == '\0') {
      bags.reset(PKCS12_unpack_p7encdata(part, nullptr, 0));
    }
  }
  return bags_bounded(bags.get());
}

}  // namespace

bool pkcs12_iterations_bounded(const PKCS12* pkcs12, const char* password) {
  const ASN1_INTEGER* mac_iterations = nullptr;
  if (PKCS12_mac_present(pkcs12) == 1) {
    PKCS12_get0_mac(nullptr, nullptr, nullptr, &mac_iterations, pkcs12);
    if (!within_bound(mac_iterations)) return false;
  }
  const Pkcs7StackPtr parts(PKCS12_unpack_authsafes(pkcs12));
  bool bounded = true;
  for (int i = 0; bounded && i < sk_PKCS7_num(parts.get()); ++i) {
    bounded = part_bounded(sk_PKCS7_value(parts.get(), i), password);
  }
  ERR_clear_error();
  return bounded;
}

}  // namespace orvane::provider::openssl
