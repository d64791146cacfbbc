#pragma once

// What a person should do after the component answered with a failure. The answer itself goes
// to standard output unchanged; these lines go to standard error.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/invocation.h"
#include "cli/settings.h"
#include "provider/crypt_error.h"
#include "provider/revocation.h"
#include "provider/timestamp_notes.h"
#include "runtime/text.h"
#include "signing/answer.h"

namespace orvane::cli {

// After Signfile answered anything but "success".
std::vector<std::string> sign_hints(const signing::Answer& answer, const Invocation& invocation,
                                    const Settings& settings);

// After Verify or VerifyCodeWithFile answered anything but "success".
std::vector<std::string> verify_hints(const signing::Answer& answer, const Invocation& invocation);

// After ServiceProviderDS or GetServiceProviderDS answered "-1".
std::vector<std::string> service_provider_hints(const Invocation& invocation,
                                                const Settings& settings);

// After GetSerialNO answered "" (nothing configured) or "-1".
std::vector<std::string> serial_hints(const signing::Answer& answer, const Settings& settings);

// The parts of the store that are not used because others could have changed them, one line
// each with the reason; for every command that reads the store.
std::vector<std::string> store_hints(const Settings& settings);

// What verifications found about revocation, one line each: which certificate was found
// revoked, when and by what; or whose revocation could not be checked, and why.
std::vector<std::string> revocation_hints(const provider::RevocationNotes& notes);

// "timestamp: 2026-12-08T21:40:00Z by CN=… (policy 1.2.3.4.1)" for each timestamp proved.
std::vector<std::string> timestamp_hints(const provider::TimestampNotes& notes);

// What to do about a certificate chain that verification refused with the failure of
// `failure_number`; empty when the failure has no remedy of this kind.
std::string chain_hint(std::int32_t failure_number);
// The same for a store's certificate that is not trusted for `fault`.
std::string chain_hint(const std::optional<provider::CryptError>& fault);

}  // namespace orvane::cli
