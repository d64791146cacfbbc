#include "com/registration.h"

#include <cwchar>
#include <string>

#include "com/boundary.h"
#include "com/com_ptr.h"
#include "com/library_description.h"
#include "com/module.h"

namespace orvane::com {
namespace {

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

std::wstring class_key(const Class& described) {
  return L"CLSID\\" + text_of(described.clsid);
}

// Sets `name` (nullptr: the key's default value) of HKCR\key, making the key when missing.
void set_value(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  HKEY opened = nullptr;
  check_registry(RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                 nullptr, &opened, nullptr));
  const LONG status =
      RegSetValueExW(opened, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(opened);
  check_registry(status);
}

void delete_key(const std::wstring& key) {
  const LONG status = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
  if (status != ERROR_FILE_NOT_FOUND) check_registry(status);
}

bool registered_in_other_view(const Class& described) {
  HKEY opened = nullptr;
  const std::wstring server = class_key(described) + L"\\InprocServer32";
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, server.c_str(), 0, KEY_QUERY_VALUE | other_view, &opened) !=
      ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(opened);
  return true;
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
  HKEY opened = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) {
    return false;
  }
  DWORD subkeys = 0;
  const LONG status = RegQueryInfoKeyW(opened, nullptr, nullptr, nullptr, &subkeys, nullptr,
                                       nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(opened);
  return status == ERROR_SUCCESS && subkeys > 0;
}

void delete_key_in_view(const std::wstring& key, REGSAM view) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_ALL_ACCESS | view, &opened) !=
      ERROR_SUCCESS) {
    return;
  }
  const LONG emptied = RegDeleteTreeW(opened, nullptr);
  RegCloseKey(opened);
  check_registry(emptied);
  const LONG status = RegDeleteKeyExW(HKEY_CLASSES_ROOT, key.c_str(), view, 0);
  if (status != ERROR_FILE_NOT_FOUND) check_registry(status);
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
  for (const Interface* described : description::interfaces) {
    const std::wstring key = L"Interface\\" + text_of(described->iid);
    delete_key_in_view(key, KEY_WOW64_64KEY);
    delete_key_in_view(key, KEY_WOW64_32KEY);
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
