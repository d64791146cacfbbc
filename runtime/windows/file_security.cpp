#include "runtime/windows/file_security.h"

#include <aclapi.h>

#include "runtime/windows/owned.h"
#include "runtime/windows/wide_text.h"

namespace orvane::windows {
namespace {

// The caller's user SID, copied out of its token.
std::vector<std::uint8_t> caller_sid() {
  HANDLE opened = nullptr;  // owned only once a call succeeds: a failed one hands out nothing
  if (!::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, &opened) &&
      !::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &opened)) {
    return {};
  }
  const UniqueHandle token(opened);
  DWORD size = 0;
  ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  std::vector<std::uint8_t> buffer(size);
  if (size == 0 || !::GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) {
    return {};
  }
  const PSID sid = reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid;
  const auto* first = static_cast<const std::uint8_t*>(sid);
  return std::vector<std::uint8_t>(first, first + ::GetLengthSid(sid));
}

}  // namespace

std::vector<std::uint8_t> owner_only_security() {
  std::vector<std::uint8_t> sid = caller_sid();
  if (sid.empty()) return {};
  // Built in absolute form, whose parts are pointers into `parts`, then handed out in
  // self-relative form, which holds offsets: a copy of it stays valid wherever it goes.
  const DWORD acl_size = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + static_cast<DWORD>(sid.size());
  std::vector<std::uint8_t> parts(acl_size);
  auto* acl = reinterpret_cast<PACL>(parts.data());
  SECURITY_DESCRIPTOR descriptor{};
  const bool made =
      ::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
      ::InitializeAcl(acl, acl_size, ACL_REVISION) &&
      ::AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, sid.data()) &&
      ::SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE) &&
      ::SetSecurityDescriptorOwner(&descriptor, sid.data(), FALSE) &&
      ::SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
  if (!made) return {};
  DWORD size = 0;
  ::MakeSelfRelativeSD(&descriptor, nullptr, &size);
  std::vector<std::uint8_t> relative(size);
  if (size == 0 || !::MakeSelfRelativeSD(&descriptor, relative.data(), &size)) return {};
  return relative;
}

void copy_access_of_own_file(const Text& earlier, HANDLE handle) {
  // The name itself, never what a link there points to.
  const UniqueHandle target(::CreateFileW(wide(earlier), READ_CONTROL | FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT,
                                          nullptr));
  BY_HANDLE_FILE_INFORMATION information{};
  if (!target.valid() || ::GetFileType(target.get()) != FILE_TYPE_DISK ||
      !::GetFileInformationByHandle(target.get(), &information) ||
      (information.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) !=
          0) {
    return;
  }
  PSID owner = nullptr;
  PACL acl = nullptr;
  LocalMemory<void> descriptor;
  if (::GetSecurityInfo(target.get(), SE_FILE_OBJECT,
                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                        &acl, nullptr, descriptor.put()) != ERROR_SUCCESS ||
      owner == nullptr) {
    return;
  }
  std::vector<std::uint8_t> caller = caller_sid();
  if (caller.empty() || !::EqualSid(owner, caller.data())) return;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ::GetSecurityDescriptorControl(descriptor.get(), &control, &revision);
  const SECURITY_INFORMATION protection = (control & SE_DACL_PROTECTED) != 0
                                              ? PROTECTED_DACL_SECURITY_INFORMATION
                                              : UNPROTECTED_DACL_SECURITY_INFORMATION;
  // Should this fail, the file keeps what it was created with: a new file's access, or the
  // owner's alone.
  ::SetSecurityInfo(handle, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | protection, nullptr,
                    nullptr, acl, nullptr);
}

}  // namespace orvane::windows
