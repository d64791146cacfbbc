#pragma once

#include <string>

namespace orvane::cli {

// The commands of `orvane`.
enum class Command {
  sign,
  verify,
  verify_code,
  sp_sign,
  serial,
  log,
  store_list,
  store_import,
  store_trust,
  store_add_crl,
  inspect,
  demo,
};

// One command line, parsed: the command and its arguments as UTF-8, exactly as given. An
// option that was not given is empty and its `has_` flag false.
struct Invocation {
  Command command = Command::demo;
  bool has_store = false;
  std::string store;
  bool has_system_dir = false;
  std::string system_dir;

  // The first and second positional arguments: FILE, ORIGINAL / MESSAGE, SIGNATURE /
  // RESTORE_NAME, the log text.
  std::string first;
  std::string second;
  bool has_text = false;
  std::string text;
  std::string serial;
  bool detached = false;
  bool has_suffix = false;
  std::string suffix;
  bool attached = false;
  bool has_signature = false;
  std::string signature;
  bool has_signature_file = false;
  std::string signature_file;
  bool has_password_file = false;
  std::string password_file;
  // --revocation of verify and verify-code, as given (already known to name a mode).
  bool has_revocation = false;
  std::string revocation;
  // --timestamp of sign and demo: the time-stamping authority's URL; --timestamp-root of demo.
  bool has_timestamp = false;
  std::string timestamp;
  std::string timestamp_root;
  // --json of inspect.
  bool json = false;
};

}  // namespace orvane::cli
