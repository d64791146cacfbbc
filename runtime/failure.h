#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "runtime/text.h"

namespace orvane {

// The automation runtime's own failure numbers. Callers that choose a message by the sign of a
// failure rely on these being positive; provider failures are negative.
enum class RuntimeError : std::int32_t {
  invalid_procedure_call = 5,
  out_of_memory = 7,
  internal_error = 51,
  type_mismatch = 13,
  bad_file_name_or_number = 52,
  file_not_found = 53,
  file_already_open = 55,
  device_io_error = 57,
  file_already_exists = 58,
  disk_full = 61,
  input_past_end_of_file = 62,
  permission_denied = 70,
  path_file_access_error = 75,
  path_not_found = 76,
  object_not_set = 91,
  invalid_use_of_null = 94,
  cannot_create_object = 429,
};

// A failure as the automation runtime reports it: a signed number and a description. Thrown by
// every layer below the `Sign` methods, which turn it into their answer text.
class Failure : public std::exception {
 public:
  Failure(std::int32_t number, Text description);
  // A runtime failure with the runtime's standard text.
  explicit Failure(RuntimeError error);

  std::int32_t number() const noexcept { return number_; }
  const Text& description() const noexcept { return description_; }
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  std::int32_t number_;
  Text description_;
  std::string what_;
};

// The runtime's standard text for `error`, as in "File not found".
Text runtime_error_text(RuntimeError error);

// The exception being handled, as a Failure: itself when it is one, 7 "Out of memory" for an
// allocation failure, 51 "Internal error" for anything else. Call only inside a catch block.
Failure current_failure();

}  // namespace orvane
