#include "com/registration.h"

#include <cwchar>
#include <string>
#include <vector>

#include "com/boundary.h"
#include "com/library_description.h"
#include "com/module.h"
#include "runtime/windows/owned.h"

namespace orvane::com {
namespace {

using windows::ComPtr;
using windows::RegistryKey;

struct RegistrationFailure {
  HRESULT result;
};

constexpr SYSKIND this_platform = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
// The registry view of the other bitness; on 32-bit Windows there is none and the flag is
// ignored, so the "other" view is this one.
constexpr REGSAM other_view = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

void check(HRESULT result) {
  if (FAILED(result)) throw RegistrationFailure{result};
}
void check_registry(LONG status) {
  if (status != ERROR_SUCCESS) throw RegistrationFailure{HRESULT_FROM_WIN32(status)};
}

std::wstring text_of(const GUID& guid) {
  wchar_t text[40] = {};
  if (StringFromGUID2(guid, text, 40) == 0) throw RegistrationFailure{E_UNEXPECTED};
  return text;
}

// The type library's version as servers with a type library give it under their class.
std::wstring library_version() {
  return std::to_wstring(description::library.major_version) + L"." +
         std::to_wstring(description::library.minor_version);
}

std::wstring class_key(const Class& described) {
  return L"CLSID\\" + text_of(described.clsid);
}

// Sets `name` (nullptr: the key's default value) of HKCR\key, making the key when missing.
void set_value(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  RegistryKey opened;
  check_registry(RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                 nullptr, opened.put(), nullptr));
  check_registry(RegSetValueExW(opened.get(), name, 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(value.c_str()),
                                static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))));
}

void delete_key(const std::wstring& key) {
  const LONG status = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
  if (status != ERROR_FILE_NOT_FOUND) check_registry(status);
}

// HKCR\key opened with `access`, which names the registry view too; empty when it cannot be.
RegistryKey opened_key(const std::wstring& key, REGSAM access) {
  HKEY opened = nullptr;  // owned only once the call succeeds: a failed one hands out nothing
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, access, &opened) != ERROR_SUCCESS) {
    return {};
  }
  return RegistryKey(opened);
}

bool registered_in_other_view(const Class& described) {
  const std::wstring server = class_key(described) + L"\\InprocServer32";
  return opened_key(server, KEY_QUERY_VALUE | other_view).valid();
}

void register_class(const Class& described, const std::wstring& server) {
  const std::wstring key = class_key(described);
  const std::wstring prog_id = described.prog_id;
  set_value(key, nullptr, prog_id);
  set_value(key + L"\\InprocServer32", nullptr, server);
  set_value(key + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
  set_value(key + L"\\ProgID", nullptr, prog_id);
  set_value(key + L"\\VersionIndependentProgID", nullptr, prog_id);
  set_value(key + L"\\TypeLib", nullptr, text_of(description::library.libid));
  set_value(key + L"\\Version", nullptr, library_version());
  set_value(prog_id, nullptr, prog_id);
  set_value(prog_id + L"\\CLSID", nullptr, text_of(described.clsid));
}

void unregister_class(const Class& described) {
  delete_key(class_key(described));
  if (!registered_in_other_view(described)) delete_key(described.prog_id);
}

// HKCR\TypeLib\{libid}\<version in hex>, which both bitnesses share.
std::wstring type_library_version_key() {
  const Library& library = description::library;
  wchar_t version[16] = {};
  swprintf(version, 16, L"%x.%x", library.major_version, library.minor_version);
  return L"TypeLib\\" + text_of(library.libid) + L"\\" + version;
}

bool has_subkeys(const std::wstring& key) {
  const RegistryKey opened = opened_key(key, KEY_READ);
  DWORD subkeys = 0;
  return opened &&
         RegQueryInfoKeyW(opened.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                          nullptr, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
         subkeys > 0;
}

void delete_key_in_view(const std::wstring& key, REGSAM view) {
  {
    const RegistryKey opened = opened_key(key, KEY_ALL_ACCESS | view);
    if (!opened) return;
    check_registry(RegDeleteTreeW(opened.get(), nullptr));
  }
  const LONG status = RegDeleteKeyExW(HKEY_CLASSES_ROOT, key.c_str(), view, 0);
  if (status != ERROR_FILE_NOT_FOUND) check_registry(status);
}

std::wstring interface_key(const GUID& iid) {
  return L"Interface\\" + text_of(iid);
}

// The earlier identifier of _Sign, registered in every view where the type library registered
// _Sign and as it did (the automation marshaler, the type library and its version), so that a
// client built against it gets a proxy in another apartment too.
void register_alias() {
  const std::wstring alias = interface_key(description::sign_alias.guid);
  for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    const RegistryKey target =
        opened_key(interface_key(description::sign_alias.target->iid), KEY_READ | view);
    if (!target) continue;
    RegistryKey copy;
    check_registry(RegCreateKeyExW(HKEY_CLASSES_ROOT, alias.c_str(), 0, nullptr, 0,
                                   KEY_ALL_ACCESS | view, nullptr, copy.put(), nullptr));
    check_registry(RegCopyTreeW(target.get(), nullptr, copy.get()));
  }
}

// UnRegisterTypeLib is not used: it removes the interfaces' keys even while the other
// bitness's registration of the library still needs them (Wine removes them from both views).
// This removes this platform's entry, and the library and its interfaces only with the last.
void unregister_type_library() {
  const std::wstring version = type_library_version_key();
  const std::wstring locale = version + L"\\" + std::to_wstring(description::library.locale);
  delete_key(locale + (this_platform == SYS_WIN64 ? L"\\win64" : L"\\win32"));
  if (has_subkeys(locale)) return;
  delete_key(version);
  const std::wstring library = L"TypeLib\\" + text_of(description::library.libid);
  if (!has_subkeys(library)) delete_key(library);
  std::vector<GUID> registered{description::sign_alias.guid};
  for (const Interface* described : description::interfaces) registered.push_back(described->iid);
  for (const GUID& iid : registered) {
    delete_key_in_view(interface_key(iid), KEY_WOW64_64KEY);
    delete_key_in_view(interface_key(iid), KEY_WOW64_32KEY);
  }
}

template <typename Body>
HRESULT registration_step(Body&& body) {
  return guarded([&] {
    try {
      body();
      return S_OK;
    } catch (const RegistrationFailure& failure) {
      return failure.result;
    }
  });
}

}  // namespace

HRESULT register_server() {
  return registration_step([] {
    std::wstring server = module::path();
    ComPtr<ITypeLib> library;
    check(LoadTypeLibEx(server.c_str(), REGKIND_NONE, library.put()));
    check(RegisterTypeLib(library.get(), server.data(), nullptr));
    register_alias();
    for (const Class* described : description::classes) {
      if (described->creatable) register_class(*described, server);
    }
  });
}

HRESULT unregister_server() {
  return registration_step([] {
    unregister_type_library();
    for (const Class* described : description::classes) {
      if (described->creatable) unregister_class(*described);
    }
  });
}

}  // namespace orvane::com
