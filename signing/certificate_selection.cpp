#include "signing/certificate_selection.h"

#include <cstdint>

#include "runtime/failure.h"

namespace orvane::signing {
namespace {

using provider::FindType;
using provider::StoreLocation;

// Signfile's stage counter while it selects: its value at a failure chooses the answer.
constexpr std::int16_t stage_searching = 4;  // opening a store and filtering its certificates
constexpr std::int16_t stage_comparing = 5;  // comparing candidates and binding the match

// Searches the store "My" at `location`. A collection whose Count is 0 is neither filtered nor
// enumerated; the filters do not ask the provider to validate certificates.
bool search_store(provider::Store& store, StoreLocation location, const Text& sSerialNo,
                  provider::Signer& signer, const LocalDateTime& now, std::int16_t& stage) {
  stage = stage_searching;
  store.Open(location, u"My");
  auto candidates = store.Certificates();
  if (candidates->Count() > 0) {
    candidates =
        candidates->Find(FindType::extended_property, provider::key_provider_info_property);
  }
  if (candidates->Count() > 0) candidates = candidates->Find(FindType::time_valid, now);
  const std::int32_t count = candidates->Count();
  if (count == 0) return false;
  stage = stage_comparing;
  for (std::int32_t index = 1; index <= count; ++index) {
    auto certificate = candidates->Item(index);
    // Exact and case-sensitive: callers pass the serial number as the provider shows it.
    if (certificate->SerialNumber() == sSerialNo) {
      signer.SetCertificate(std::move(certificate));
      return true;
    }
  }
  return false;
}

Answer failure_answer(const Failure& failure, std::int16_t stage) {
  const Outcome outcome = failure.number() >= 0      ? Outcome::selection_error
                          : stage == stage_searching ? Outcome::store_unreadable
                                                     : Outcome::selection_failed;
  return {outcome, failure.number(), failure.description()};
}

}  // namespace

CertificateSelection SelectSignerCertificate(provider::Factory& provider, const Text& sSerialNo,
                                             const LocalDateTime& now) {
  std::int16_t stage = stage_searching;
  try {
    std::shared_ptr<provider::Signer> signer = provider.CreateSigner();
    const auto store = provider.CreateStore();
    for (const auto location : {StoreLocation::current_user, StoreLocation::smart_card_user}) {
      if (search_store(*store, location, sSerialNo, *signer, now, stage)) return {signer, {}};
    }
    return {nullptr, {Outcome::no_certificate}};
  } catch (...) {
    return {nullptr, failure_answer(current_failure(), stage)};
  }
}

}  // namespace orvane::signing
