#include "cli/sign_commands.h"

#include "cli/hints.h"
#include "runtime/failure.h"
#include "runtime/text_stream.h"

namespace orvane::cli {
namespace {

using signing::Sign;

Outcome answered(const Text& answer, bool succeeded, std::vector<std::string> hints = {}) {
  return {text_to_utf8(answer), succeeded ? exit_success : exit_failure,
          succeeded ? std::vector<std::string>{} : std::move(hints)};
}

Outcome sign_command(Sign& sign, const Invocation& invocation, const Settings& settings) {
  const Text serial = text_from_utf8(invocation.serial);
  const VariantBool detached = invocation.detached ? vb_true : vb_false;
  Text extension = text_from_utf8(invocation.suffix);
  Variant input = text_from_utf8(invocation.has_text ? invocation.text : invocation.first);
  const Text answer =
      sign.Signfile(input, serial, detached, extension, invocation.has_text ? vb_true : vb_false);
  if (!sign.last_answer().succeeded())
    return answered(answer, false, sign_hints(sign.last_answer(), invocation, settings));
  // In content mode the signed message comes back through the first argument.
  return answered(invocation.has_text ? to_text(input) : answer, true);
}

Outcome verify_command(Sign& sign, const Invocation& invocation) {
  const Variant original = text_from_utf8(invocation.first);
  Variant second = text_from_utf8(invocation.second);
  const Text answer = sign.Verify(original, second, invocation.detached ? vb_true : vb_false,
                                  text_from_utf8(invocation.serial));
  if (!sign.last_answer().succeeded()) {
    return answered(answer, false, verify_hints(sign.last_answer(), invocation));
  }
  // Verify hands back the restored file's name through its second argument.
  return answered(invocation.detached ? answer : answer + u"\n" + to_text(second), true);
}

Outcome verify_code_command(Sign& sign, const Invocation& invocation, const Settings& settings) {
  Variant signature;
  if (invocation.has_signature) {
    signature = text_from_utf8(invocation.signature);
  } else if (invocation.has_signature_file) {
    try {
      // Read as the component reads text files, so that a DER file keeps every byte.
      signature = read_text_file(*settings.platform.files, *settings.platform.code_page,
                                 text_from_utf8(invocation.signature_file));
    } catch (const Failure& failure) {
      return {std::nullopt,
              exit_failure,
              {"cannot read the signature file " + invocation.signature_file + " (" +
               text_to_utf8(failure.description()) + "): check the path"}};
    }
  }
  const Text answer = sign.VerifyCodeWithFile(text_from_utf8(invocation.first), signature,
                                              invocation.attached ? vb_false : vb_true);
  return answered(answer, sign.last_answer().succeeded(),
                  verify_hints(sign.last_answer(), invocation));
}

Outcome service_provider_command(Sign& sign, const Invocation& invocation,
                                 const Settings& settings) {
  const Text answer = invocation.has_text
                          ? sign.GetServiceProviderDS(text_from_utf8(invocation.text))
                          : sign.ServiceProviderDS(Variant(text_from_utf8(invocation.first)));
  return answered(answer, sign.last_answer().succeeded(),
                  service_provider_hints(invocation, settings));
}

Outcome serial_command(Sign& sign, const Settings& settings) {
  const Text answer = sign.GetSerialNO();
  const signing::Answer& found = sign.last_answer();
  Outcome outcome = answered(answer, found.succeeded(), serial_hints(found, settings));
  // An empty value is an answer, not a failure; saying why helps all the same.
  if (answer.empty()) outcome.notes = serial_hints(found, settings);
  return outcome;
}

}  // namespace

Outcome run_sign_command(Sign& sign, const Invocation& invocation, const Settings& settings) {
  switch (invocation.command) {
    case Command::sign:
      return sign_command(sign, invocation, settings);
    case Command::verify:
      return verify_command(sign, invocation);
    case Command::verify_code:
      return verify_code_command(sign, invocation, settings);
    case Command::sp_sign:
      return service_provider_command(sign, invocation, settings);
    case Command::serial:
      return serial_command(sign, settings);
    case Command::log:
      sign.LogError(text_from_utf8(invocation.first));
      return {};
    default:
      return {std::nullopt, exit_usage, {"not a command of the Sign object"}};
  }
}

}  // namespace orvane::cli
