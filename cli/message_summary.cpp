#include "cli/message_summary.h"

#include <algorithm>

#include "cli/hints.h"
#include "config/configuration_file.h"
#include "provider/message_description.h"
#include "provider/message_reading.h"
#include "provider/revocation.h"
#include "provider/timestamp_notes.h"
#include "provider/utc_time.h"
#include "runtime/failure.h"
#include "signing/envelope.h"
#include "signing/file_content.h"
#include "signing/verification_policy.h"

namespace orvane::cli {
namespace {

// The name `orvane verify-code --attached` restores the content to, or why there is none.
struct RestoredName {
  std::optional<std::string> name;
  std::string why_none;
};

RestoredName restored_name(const provider::DescribingReceiver& read, const Text& message_file,
                           FileNameRules rules) {
  try {
    const std::u16string tail = read.tail_units();
    const auto end = signing::split_envelope_end(tail, read.unit_count(),
                                                 read.last_dot().value_or(~std::uint64_t{0}));
    Text extension;
    if (end.extension) {
      extension = Text(*end.extension);
    } else if (read.last_separator() && read.last_dot() &&
               *read.last_separator() > *read.last_dot()) {
      // The writer met a dot in a folder name: no extension, as a restoration reads it.
      extension = u"/";
    } else {
      return {std::nullopt, "its extension field is too long to name a file"};
    }
    return {provider::printable_text(
                text_to_utf8(signing::output_name(message_file, extension, rules))),
            {}};
  } catch (const Failure& failure) {
    return {std::nullopt, "verify-code --attached would not restore it: " +
                              provider::printable_text(failure.what())};
  }
}

struct Verdict {
  std::string text;  // "valid", or the failure's text
  std::vector<std::string> revocation;
  std::vector<provider::ProvedTimestamp> proved;
};

// The policy a verification by `verify` has: the configuration's, with --revocation over it.
provider::Policy verification_policy(const Settings& settings, const Invocation& invocation) {
  signing::SignOptions options;
  if (invocation.has_revocation) {
    options.revocation = signing::parse_revocation_check(text_from_utf8(invocation.revocation));
  }
  options.revocation_notes = std::make_shared<provider::RevocationNotes>();
  options.timestamp_notes = std::make_shared<provider::TimestampNotes>();
  config::XML xml(settings.platform.files, *settings.platform.code_page);
  return signing::configured_policy(settings.platform, xml, options);
}

Verdict verify_attached(const Settings& settings, const Invocation& invocation,
                        const Text& message_file) {
  const provider::Policy policy = verification_policy(settings, invocation);
  Verdict verdict{"valid", {}, {}};
  try {
    const auto message = signing::stored_message_file(*settings.platform.files, message_file);
    provider::default_factory(settings.store_root)
        ->CreateSignedData(policy)
        ->Verify(*message, provider::Attachment::attached, nullptr);
    verdict.proved = policy.timestamp_notes->timestamps();
  } catch (...) {
    verdict.text = provider::printable_text(current_failure().what());
  }
  for (const auto& note : revocation_hints(*policy.revocation_notes)) {
    // Sources are addresses that certificates name: a stranger's text.
    verdict.revocation.push_back(provider::printable_text(note));
  }
  return verdict;
}

bool was_proved(const provider::TokenDescription& token, const Verdict& verdict) {
  return std::any_of(verdict.proved.begin(), verdict.proved.end(), [&](const auto& proved) {
    return proved.time == token.time && proved.policy == token.policy;
  });
}

std::string json_string(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte == 0x7F) {
      constexpr char digits[] = "0123456789abcdef";
      out += "\\u00";
      out += digits[byte >> 4];
      out += digits[byte & 15];
    } else {
      out += c;
    }
  }
  return out + '"';
}

std::string json_or_null(const std::optional<std::string>& text) {
  return text ? json_string(*text) : "null";
}

std::string shown(const std::string& text) {
  return text.empty() ? "(not in the message)" : text;
}

constexpr std::string_view needs_content =
    "not verified: a detached signature needs its content (orvane verify-code FILE "
    "--signature-file MESSAGE)";

std::string as_text(const provider::DescribingReceiver& read, bool attached,
                    const RestoredName& name, const std::optional<Verdict>& verdict) {
  std::string out = attached ? "attached message\n" : "detached signature\n";
  if (attached) {
    out += "content: " + std::to_string(read.content_size()) + " bytes\n";
    out += "restored name: " + (name.name ? *name.name : "none (" + name.why_none + ")") + '\n';
  }
  const auto& signers = read.description().signers;
  for (std::size_t i = 0; i < signers.size(); ++i) {
    const auto& signer = signers[i];
    out += "signer " + std::to_string(i + 1) + ":\n";
    out += "  subject: " + shown(signer.subject) + '\n';
    out += "  issuer: " + shown(signer.issuer) + '\n';
    out += "  serial: " + shown(signer.serial) + '\n';
    out += "  digest: " + signer.digest_algorithm + '\n';
    out += "  signature: " + signer.signature_algorithm + '\n';
    out += "  signing time: " +
           (signer.signing_time ? provider::utc_text(*signer.signing_time) : "none") + '\n';
    if (signer.timestamp) {
      out += "  timestamp: " + provider::utc_text(signer.timestamp->time) + " by " +
             shown(signer.timestamp->authority) + " (policy " + signer.timestamp->policy + ")";
      if (verdict) out += was_proved(*signer.timestamp, *verdict) ? ", proved" : ", not proved";
      out += '\n';
    } else if (!signer.timestamp_fault.empty()) {
      out += "  timestamp: unreadable (" + signer.timestamp_fault + ")\n";
    } else {
      out += "  timestamp: none\n";
    }
  }
  if (verdict) {
    out += "verification: " + verdict->text;
    for (const auto& note : verdict->revocation) out += "\nrevocation: " + note;
  } else {
    out += std::string(needs_content);
  }
  return out;
}

std::string as_json(const provider::DescribingReceiver& read, bool attached,
                    const RestoredName& name, const std::optional<Verdict>& verdict) {
  std::string out = "{\"attached\":" + std::string(attached ? "true" : "false");
  out += ",\"content_size\":" + std::to_string(read.content_size());
  out += ",\"restored_name\":" + json_or_null(attached ? name.name : std::nullopt);
  out += ",\"signers\":[";
  bool first = true;
  for (const auto& signer : read.description().signers) {
    if (!first) out += ',';
    first = false;
    out += "{\"subject\":" + json_string(signer.subject);
    out += ",\"issuer\":" + json_string(signer.issuer);
    out += ",\"serial\":" + json_string(signer.serial);
    out += ",\"digest_algorithm\":" + json_string(signer.digest_algorithm);
    out += ",\"signature_algorithm\":" + json_string(signer.signature_algorithm);
    out += ",\"signing_time\":" +
           json_or_null(signer.signing_time
                            ? std::optional<std::string>(provider::utc_text(*signer.signing_time))
                            : std::nullopt);
    out += ",\"timestamp\":";
    if (signer.timestamp) {
      out += "{\"time\":" + json_string(provider::utc_text(signer.timestamp->time));
      out += ",\"authority\":" + json_string(signer.timestamp->authority);
      out += ",\"policy\":" + json_string(signer.timestamp->policy);
      out += ",\"proved\":" +
             std::string(verdict && was_proved(*signer.timestamp, *verdict) ? "true" : "false");
      out += '}';
    } else {
      out += "null";
    }
    // The verdict is the whole message's: every signer's chain is judged by one verification.
    out += ",\"verification\":" + json_string(verdict ? verdict->text : std::string(needs_content));
    out += ",\"revocation\":[";
    if (verdict) {
      for (std::size_t i = 0; i < verdict->revocation.size(); ++i) {
        if (i != 0) out += ',';
        out += json_string(verdict->revocation[i]);
      }
    }
    out += "]}";
  }
  return out + "]}";
}

}  // namespace

Outcome run_inspect(const Invocation& invocation, const Settings& settings) {
  const Text message_file = text_from_utf8(invocation.first);
  provider::DescribingReceiver read;
  try {
    const auto message = signing::stored_message_file(*settings.platform.files, message_file);
    provider::read_message(*message, *settings.platform.code_page, read);
  } catch (...) {
    return {
        std::nullopt,
        exit_failure,
        {provider::printable_text(invocation.first + " is no signed message that can be read: " +
                                  current_failure().what())}};
  }
  // What the reader passes over: an attached message with an empty content reads as detached.
  const bool attached = read.content_size() > 0;
  RestoredName name;
  std::optional<Verdict> verdict;
  if (attached) {
    name = restored_name(read, message_file, settings.platform.file_names);
    verdict = verify_attached(settings, invocation, message_file);
  }
  Outcome outcome;
  // The description is what was asked for: a message that does not verify is described too,
  // with success; its verdict says why.
  outcome.answer = invocation.json ? as_json(read, attached, name, verdict)
                                   : as_text(read, attached, name, verdict);
  return outcome;
}

}  // namespace orvane::cli
