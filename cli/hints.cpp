#include "cli/hints.h"

#include <algorithm>
#include <fstream>

#include "provider/crypt_error.h"
#include "provider/store_administration.h"
#include "provider/utc_time.h"
#include "runtime/program.h"
#include "signing/certificate_selection.h"

namespace orvane::cli {
namespace {

namespace fs = std::filesystem;
using provider::CryptError;

const std::string list_serials = "run `orvane store list` to see the serial numbers";

bool is(std::int32_t number, CryptError error) {
  return number == provider::crypt_error_number(error);
}

bool is_missing(const std::string& path) {
  std::error_code error;
  return !fs::exists(path_from_utf8(path), error);
}

// The hint for a missing input file, or for any other failure.
std::vector<std::string> missing_or(const std::string& path, std::vector<std::string> otherwise) {
  if (is_missing(path)) return {path + " does not exist: check the path"};
  return otherwise;
}

}  // namespace

std::vector<std::string> store_hints(const Settings& settings) {
  if (settings.store_root.empty()) return {};
  return provider::refused_store_parts(settings.store_root);
}

std::string chain_hint(std::int32_t failure_number) {
  if (is(failure_number, CryptError::untrusted_root)) {
    return "the certificate chain ends in a root that the store does not trust: if you trust "
           "it, run `orvane store trust ROOT.pem`";
  }
  if (is(failure_number, CryptError::chaining)) {
    return "the certificate's issuer is missing: import the intermediate certificates with "
           "`orvane store import CHAIN.pem`, or trust its root with `orvane store trust`";
  }
  if (is(failure_number, CryptError::expired)) {
    return "a certificate of the chain is outside its validity period: use a current "
           "certificate";
  }
  return {};
}

std::string chain_hint(const std::optional<CryptError>& fault) {
  return fault ? chain_hint(provider::crypt_error_number(*fault)) : std::string();
}

std::vector<std::string> timestamp_hints(const provider::TimestampNotes& notes) {
  std::vector<std::string> hints;
  for (const auto& timestamp : notes.timestamps()) {
    std::string hint = "timestamp: " + provider::utc_text(timestamp.time) + " by " +
                       timestamp.authority + " (policy " + timestamp.policy + ")";
    // A message tried in two forms proves its timestamps twice.
    if (std::find(hints.begin(), hints.end(), hint) == hints.end()) hints.push_back(hint);
  }
  return hints;
}

std::vector<std::string> revocation_hints(const provider::RevocationNotes& notes) {
  std::vector<std::string> hints;
  for (const auto& finding : notes.findings()) {
    const std::string certificate = finding.subject + " (serial " + finding.serial + ")";
    std::string hint;
    if (finding.status == provider::RevocationFinding::Status::revoked) {
      hint = certificate + " is revoked";
      if (!finding.revoked_at.empty()) hint += " since " + finding.revoked_at;
      if (!finding.reason.empty()) hint += ", reason " + finding.reason;
      if (!finding.source.empty()) hint += " (" + finding.source + ")";
    } else {
      hint = "the revocation of " + certificate + " could not be checked";
      if (!finding.source.empty()) hint += ": " + finding.source;
    }
    // One verification may try a message twice (the old form of a file's bytes).
    if (std::find(hints.begin(), hints.end(), hint) == hints.end()) hints.push_back(hint);
  }
  return hints;
}

std::vector<std::string> sign_hints(const signing::Answer& answer, const Invocation& invocation,
                                    const Settings& settings) {
  const std::string store = path_to_utf8(settings.store_root);
  switch (answer.outcome) {
    case signing::Outcome::no_certificate:
      if (invocation.serial.empty())
        return {"pass the signer's serial number with --serial; " + list_serials};
      return {"no certificate with serial number " + invocation.serial +
              ", its private key and a validity period that includes today is in " +
              (store.empty() ? "your personal store or on an inserted smart card" : store) + ": " +
              list_serials};
    case signing::Outcome::store_unreadable:
      return {"the store " + store + " cannot be read: run `orvane store list` to see why"};
    default:
      break;
  }
  if (const std::string chain = chain_hint(answer.failure_number); !chain.empty()) return {chain};
  using provider::CryptError;
  for (const CryptError timestamp_fault :
       {CryptError::time_stamp, CryptError::http_timed_out, CryptError::http_cannot_connect}) {
    if (answer.failure_number == provider::crypt_error_number(timestamp_fault)) {
      return {"no timestamp could be had, so nothing was signed: check the authority's URL (" +
              (invocation.has_timestamp ? "--timestamp"
                                        : "<TimestampURL> in " + settings.configuration_file) +
              ") and that the authority's root is trusted (orvane store trust ROOT.pem)"};
    }
  }
  if (!invocation.has_text) {
    return missing_or(invocation.first,
                      {"check that " + invocation.first +
                       " can be read and that its folder can be written; the entry is also in "
                       "the error log that " +
                       settings.configuration_file + " names"});
  }
  return {};
}

std::vector<std::string> verify_hints(const signing::Answer& answer, const Invocation& invocation) {
  const bool attached =
      invocation.command == Command::verify_code ? invocation.attached : !invocation.detached;
  switch (answer.outcome) {
    case signing::Outcome::not_the_login_certificate:
      if (invocation.serial.empty()) return {"pass the signer's serial number with --serial S"};
      return {"the signer's certificate does not have the serial number " + invocation.serial +
              ": pass the signer's with --serial"};
    case signing::Outcome::original_unreadable:
      return missing_or(invocation.first,
                        {attached ? "check that " + invocation.first +
                                        " is an attached message made by `orvane sign` and that "
                                        "the restored file's folder can be written"
                                  : "check that " + invocation.first + " can be read"});
    case signing::Outcome::signature_unreadable:
      return missing_or(invocation.second, {"check that " + invocation.second + " can be read"});
    case signing::Outcome::not_valid:
      return {"the signature does not match " + invocation.first +
              ", or the signer's certificate is not trusted or not valid now: `orvane store "
              "list` shows which of yours are trusted"};
    default:
      break;
  }
  if (const std::string chain = chain_hint(answer.failure_number); !chain.empty()) return {chain};
  if (answer.outcome == signing::Outcome::message_not_valid) {
    return {invocation.first + " is not a valid signed message, or its content was changed"};
  }
  return {};
}

std::vector<std::string> service_provider_hints(const Invocation& invocation,
                                                const Settings& settings) {
  std::vector<std::string> hints;
  if (!invocation.has_text) {
    hints = missing_or(invocation.first, {});
    if (!hints.empty()) return hints;
  }
  return {"no signature: check that " + settings.configuration_file +
          " names under <SerialNumber> a certificate that `orvane store list` shows with its "
          "key, and that the content is not empty; failures are logged in the folder that it "
          "names under <LogError>"};
}

std::vector<std::string> serial_hints(const signing::Answer& answer, const Settings& settings) {
  if (answer.outcome == signing::Outcome::no_result) {
    return {"reading " + settings.configuration_file +
            " failed: the error log in the folder that it names under <LogError> says why"};
  }
  if (is_missing(settings.configuration_file)) {
    return {settings.configuration_file +
            " does not exist: create it with <SerialNumber>S</SerialNumber>, or pass "
            "--system-dir DIR"};
  }
  if (!std::ifstream(settings.configuration_file)) {
    return {"cannot read " + settings.configuration_file +
            ", which counts as no serial number: check its permissions"};
  }
  return {settings.configuration_file + " names no serial number under <SerialNumber>"};
}

}  // namespace orvane::cli
