#include "runtime/windows/file_errors.h"

namespace orvane::windows {

Failure failure_for(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
      return Failure(RuntimeError::file_not_found);
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_DIRECTORY:
      return Failure(RuntimeError::path_not_found);
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_PRIVILEGE_NOT_HELD:
      return Failure(RuntimeError::permission_denied);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_FILE_TOO_LARGE:
      return Failure(RuntimeError::disk_full);
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return Failure(RuntimeError::file_already_exists);
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_CANT_RESOLVE_FILENAME:
      return Failure(RuntimeError::bad_file_name_or_number);
    default:
      return Failure(RuntimeError::device_io_error);
  }
}

Failure last_failure() {
  return failure_for(::GetLastError());
}

}  // namespace orvane::windows
