#include "runtime/failure.h"

#include <new>
#include <utility>

namespace orvane {

Failure::Failure(std::int32_t number, Text description)
    : number_(number), description_(std::move(description)), what_(text_to_utf8(description_)) {}

Failure::Failure(RuntimeError error)
    : Failure(static_cast<std::int32_t>(error), runtime_error_text(error)) {}

Text runtime_error_text(RuntimeError error) {
  switch (error) {
    case RuntimeError::invalid_procedure_call:
      return u"Invalid procedure call or argument";
    case RuntimeError::out_of_memory:
      return u"Out of memory";
    case RuntimeError::internal_error:
      return u"Internal error";
    case RuntimeError::type_mismatch:
      return u"Type mismatch";
    case RuntimeError::bad_file_name_or_number:
      return u"Bad file name or number";
    case RuntimeError::file_not_found:
      return u"File not found";
    case RuntimeError::file_already_open:
      return u"File already open";
    case RuntimeError::device_io_error:
      return u"Device I/O error";
    case RuntimeError::file_already_exists:
      return u"File already exists";
    case RuntimeError::disk_full:
      return u"Disk full";
    case RuntimeError::input_past_end_of_file:
      return u"Input past end of file";
    case RuntimeError::permission_denied:
      return u"Permission denied";
    case RuntimeError::path_file_access_error:
      return u"Path/File access error";
    case RuntimeError::path_not_found:
      return u"Path not found";
    case RuntimeError::object_not_set:
      return u"Object variable or With block variable not set";
    case RuntimeError::invalid_use_of_null:
      return u"Invalid use of Null";
    case RuntimeError::cannot_create_object:
      return u"ActiveX component can't create object";
  }
  return u"Application-defined or object-defined error";
}

Failure current_failure() {
  try {
    throw;
  } catch (const Failure& failure) {
    return failure;
  } catch (const std::bad_alloc&) {
    return Failure(RuntimeError::out_of_memory);
  } catch (...) {
    return Failure(RuntimeError::internal_error);
  }
}

}  // namespace orvane
