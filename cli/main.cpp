// The orvane command: a thin host over the Sign object and the store.
#include <algorithm>
#include <iostream>

#include "cli/command_line.h"
#include "cli/demo.h"
#include "cli/hints.h"
#include "cli/message_summary.h"
#include "cli/progress.h"
#include "cli/sign_commands.h"
#include "cli/store_commands.h"
#include "runtime/program.h"
#include "signing/verification_policy.h"

namespace {

using namespace orvane::cli;

bool is_store_command(Command command) {
  return command == Command::store_list || command == Command::store_import ||
         command == Command::store_trust || command == Command::store_add_crl;
}

bool reads_the_store(Command command) {
  return command != Command::serial && command != Command::log && command != Command::demo;
}

Outcome run_command(const Invocation& invocation, const Settings& settings) {
  if (is_store_command(invocation.command)) return run_store_command(invocation, settings);
  if (invocation.command == Command::inspect) return run_inspect(invocation, settings);
  orvane::Platform platform = settings.platform;
  // Signing and verifying a large file take a while: a person at a terminal sees how far.
  if (orvane::standard_error_is_terminal()) {
    platform.files = with_progress(platform.files, std::cerr);
  }
  orvane::signing::SignOptions options;
  if (invocation.has_revocation) {
    options.revocation =
        orvane::signing::parse_revocation_check(orvane::text_from_utf8(invocation.revocation));
  }
  options.revocation_notes = std::make_shared<orvane::provider::RevocationNotes>();
  options.timestamp_notes = std::make_shared<orvane::provider::TimestampNotes>();
  if (invocation.has_timestamp) options.timestamp_url = invocation.timestamp;
  orvane::signing::Sign sign(platform, orvane::provider::default_factory(settings.store_root),
                             options);
  Outcome outcome = run_sign_command(sign, invocation, settings);
  // After the answer's own hints: what revocation showed, whether or not it decided the answer,
  // and when a valid signature was timestamped.
  if (invocation.command == Command::verify || invocation.command == Command::verify_code) {
    for (auto& note : revocation_hints(*options.revocation_notes)) {
      outcome.notes.push_back(std::move(note));
    }
    if (outcome.status == exit_success) {
      for (auto& note : timestamp_hints(*options.timestamp_notes)) {
        outcome.notes.push_back(std::move(note));
      }
    }
  }
  return outcome;
}

Outcome run(const Invocation& invocation) {
  const Settings settings = resolve_settings(invocation);
  Outcome outcome = run_command(invocation, settings);
  if (!reads_the_store(invocation.command)) return outcome;
  // What of the store was passed over explains many an answer; say it first, and once.
  std::vector<std::string> notes;
  for (auto& note : store_hints(settings)) {
    if (std::find(outcome.notes.begin(), outcome.notes.end(), note) == outcome.notes.end()) {
      notes.push_back(std::move(note));
    }
  }
  outcome.notes.insert(outcome.notes.begin(), notes.begin(), notes.end());
  return outcome;
}

}  // namespace

int main(int argc, char** argv) {
  orvane::reuse_freed_memory();
  try {
    const std::vector<std::string> arguments = orvane::program_arguments(argc, argv);
    std::vector<const char*> pointers;
    for (const auto& argument : arguments) pointers.push_back(argument.c_str());
    const auto parsed = parse_command_line(static_cast<int>(pointers.size()), pointers.data(),
                                           std::cout, std::cerr);
    if (const int* status = std::get_if<int>(&parsed)) return *status;
    const Invocation& invocation = std::get<Invocation>(parsed);
    if (invocation.command == Command::demo) return run_demo(invocation, std::cout, std::cerr);

    const Outcome outcome = run(invocation);
    if (outcome.answer) std::cout << *outcome.answer << '\n' << std::flush;
    for (const auto& note : outcome.notes) std::cerr << "orvane: " << note << '\n';
    return outcome.status;
  } catch (const std::exception& error) {
    // Nothing a person does should end here; if something does, it still ends in one line.
    std::cerr << "orvane: " << error.what() << '\n';
    return exit_failure;
  }
}
