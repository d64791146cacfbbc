// Writes the type library Orvane.tlb from the library description:
//   write_type_library OUTPUT [win32|win64]
// It runs at the target's bitness (under Wine when cross-building), since the vtable offsets
// and the platform recorded in the library are that bitness's by default. The x64 program
// writes the x86 library when named win32, as MIDL's /win32 does, for build machines whose
// kernel runs no 32-bit programs. It is written with
// CreateTypeLib2 rather than compiled from IDL because widl cannot record a string default on
// a BSTR* parameter, which script callers rely on when they leave the argument out.

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <vector>

#include "com/library_description.h"
#include "runtime/windows/owned.h"

namespace orvane::com {
namespace {

using windows::Bstr;
using windows::ComPtr;

struct WriteFailure {
  HRESULT result;
  const char* step;
};

void check(HRESULT result, const char* step) {
  if (FAILED(result)) throw WriteFailure{result, step};
}

struct Platform {
  SYSKIND kind;
  SHORT pointer_size;
};
constexpr Platform win32{SYS_WIN32, 4};
constexpr Platform win64{SYS_WIN64, 8};
// Chosen once in wmain, before anything is written.
Platform target_platform = sizeof(void*) == 8 ? win64 : win32;

ComPtr<ITypeInfo> type_info_of(ICreateTypeInfo* created) {
  ComPtr<ITypeInfo> info;
  check(created->QueryInterface(IID_ITypeInfo, info.put_void()), "ITypeInfo of a new type");
  return info;
}

HREFTYPE reference_to(ICreateTypeInfo* from, ITypeInfo* to) {
  HREFTYPE reference = 0;
  check(from->AddRefTypeInfo(to, &reference), "AddRefTypeInfo");
  return reference;
}

// The storage that one FUNCDESC points into while it is added.
class FunctionShape {
 public:
  explicit FunctionShape(size_t parameters) {
    // Reserved once: the element descriptions point into these vectors.
    pointees_.reserve(parameters + 1);
    defaults_.reserve(parameters);
    elements_.reserve(parameters + 1);
  }
  FunctionShape(const FunctionShape&) = delete;
  FunctionShape& operator=(const FunctionShape&) = delete;

  void add(VARTYPE type, bool by_reference, USHORT flags, DefaultValue default_value) {
    ELEMDESC element{};
    if (by_reference) {
      pointees_.push_back(TYPEDESC{});
      pointees_.back().vt = type;
      element.tdesc.vt = VT_PTR;
      element.tdesc.lptdesc = &pointees_.back();
    } else {
      element.tdesc.vt = type;
    }
    element.paramdesc.wParamFlags = flags;
    if (default_value != DefaultValue::none) {
      defaults_.push_back(PARAMDESCEX{});
      PARAMDESCEX& described = defaults_.back();
      described.cBytes = sizeof(PARAMDESCEX);
      if (default_value == DefaultValue::empty_text) {
        strings_.emplace_back(SysAllocString(L""));
        if (!strings_.back()) throw WriteFailure{E_OUTOFMEMORY, "BSTR"};
        described.varDefaultValue.vt = VT_BSTR;
        described.varDefaultValue.bstrVal = strings_.back().get();
      } else {
        described.varDefaultValue.vt = VT_BOOL;
        described.varDefaultValue.boolVal = VARIANT_FALSE;
      }
      element.paramdesc.wParamFlags |= PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT;
      element.paramdesc.pparamdescex = &described;
    }
    elements_.push_back(element);
  }
  // A parameter whose type is a pointer to a type of another type library.
  void add_pointer_to(HREFTYPE reference, USHORT flags) {
    pointees_.push_back(TYPEDESC{});
    pointees_.back().vt = VT_USERDEFINED;
    pointees_.back().hreftype = reference;
    ELEMDESC element{};
    element.tdesc.vt = VT_PTR;
    element.tdesc.lptdesc = &pointees_.back();
    element.paramdesc.wParamFlags = flags;
    elements_.push_back(element);
  }

  void add_to(ICreateTypeInfo* info, UINT index, MEMBERID id, INVOKEKIND kind, SHORT slot) {
    FUNCDESC function{};
    function.memid = id;
    function.funckind = FUNC_PUREVIRTUAL;
    function.invkind = kind;
    function.callconv = CC_STDCALL;
    function.cParams = static_cast<SHORT>(elements_.size());
    function.lprgelemdescParam = elements_.empty() ? nullptr : elements_.data();
    function.oVft = static_cast<SHORT>(slot * target_platform.pointer_size);
    function.elemdescFunc.tdesc.vt = VT_HRESULT;
    check(info->AddFuncDesc(index, &function), "AddFuncDesc");
  }

 private:
  std::vector<TYPEDESC> pointees_;
  std::vector<PARAMDESCEX> defaults_;  // their strings are owned by strings_
  std::vector<Bstr> strings_;
  std::vector<ELEMDESC> elements_;
};

constexpr SHORT first_dispatch_slot = 7;  // after IUnknown's three and IDispatch's four

void add_member(ICreateTypeInfo* info, UINT index, const Member& member) {
  FunctionShape shape(member.parameters.size());
  std::vector<LPOLESTR> names{const_cast<LPOLESTR>(member.name)};
  for (const Parameter& parameter : member.parameters) {
    const USHORT flags = parameter.by_reference ? PARAMFLAG_FIN | PARAMFLAG_FOUT : PARAMFLAG_FIN;
    shape.add(parameter.type, parameter.by_reference, flags, parameter.default_value);
    names.push_back(const_cast<LPOLESTR>(parameter.name));
  }
  // The value a dispatch caller gets back is the vtable's final out-parameter.
  if (member.result != VT_EMPTY) {
    shape.add(member.result, true, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL, DefaultValue::none);
  }
  // A property put's value has no name of its own: it is the property's.
  if (member.kind == INVOKE_PROPERTYPUT) names.resize(1);
  shape.add_to(info, index, member.dispatch_id, member.kind,
               static_cast<SHORT>(first_dispatch_slot + index));
  check(info->SetFuncAndParamNames(index, names.data(), static_cast<UINT>(names.size())),
        "SetFuncAndParamNames");
}

ComPtr<ITypeInfo> add_interface(ICreateTypeLib2* library, const Interface& described,
                                ITypeInfo* dispatch) {
  ComPtr<ICreateTypeInfo> info;
  check(library->CreateTypeInfo(const_cast<LPOLESTR>(described.name), TKIND_INTERFACE, info.put()),
        "CreateTypeInfo (interface)");
  check(info->SetGuid(described.iid), "SetGuid (interface)");
  check(info->SetTypeFlags(TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE |
                           TYPEFLAG_FOLEAUTOMATION),
        "SetTypeFlags (interface)");
  check(info->AddImplType(0, reference_to(info.get(), dispatch)), "AddImplType (IDispatch)");
  UINT index = 0;
  for (const Member& member : described.members) add_member(info.get(), index++, member);
  check(info->LayOut(), "LayOut (interface)");
  return type_info_of(info.get());
}

// IObjectSafety with its published identifier and shape. It is no automation interface, so
// registering the library leaves the system's registration of it alone.
ComPtr<ITypeInfo> add_object_safety(ICreateTypeLib2* library, ITypeInfo* unknown,
                                    ITypeInfo* guid_record) {
  ComPtr<ICreateTypeInfo> info;
  check(library->CreateTypeInfo(const_cast<LPOLESTR>(description::object_safety.name),
                                TKIND_INTERFACE, info.put()),
        "CreateTypeInfo (IObjectSafety)");
  check(info->SetGuid(description::object_safety.iid), "SetGuid (IObjectSafety)");
  check(info->AddImplType(0, reference_to(info.get(), unknown)), "AddImplType (IUnknown)");
  const HREFTYPE guid = reference_to(info.get(), guid_record);
  struct Method {
    const wchar_t* name;
    const wchar_t* second;
    const wchar_t* third;
    bool writes_options;
  };
  constexpr Method methods[] = {
      {L"GetInterfaceSafetyOptions", L"pdwSupportedOptions", L"pdwEnabledOptions", true},
      {L"SetInterfaceSafetyOptions", L"dwOptionsSetMask", L"dwEnabledOptions", false},
  };
  UINT index = 0;
  for (const Method& method : methods) {
    FunctionShape shape(3);
    shape.add_pointer_to(guid, PARAMFLAG_FIN);
    for (int option = 0; option < 2; ++option) {
      shape.add(VT_UI4, method.writes_options,
                method.writes_options ? PARAMFLAG_FOUT : PARAMFLAG_FIN, DefaultValue::none);
    }
    shape.add_to(info.get(), index, static_cast<MEMBERID>(0x60010000 + index), INVOKE_FUNC,
                 static_cast<SHORT>(3 + index));
    LPOLESTR names[] = {const_cast<LPOLESTR>(method.name), const_cast<LPOLESTR>(L"riid"),
                        const_cast<LPOLESTR>(method.second), const_cast<LPOLESTR>(method.third)};
    check(info->SetFuncAndParamNames(index, names, 4), "SetFuncAndParamNames (IObjectSafety)");
    ++index;
  }
  check(info->LayOut(), "LayOut (IObjectSafety)");
  return type_info_of(info.get());
}

void add_alias(ICreateTypeLib2* library, const Alias& alias, ITypeInfo* target) {
  ComPtr<ICreateTypeInfo> info;
  check(library->CreateTypeInfo(const_cast<LPOLESTR>(alias.name), TKIND_ALIAS, info.put()),
        "CreateTypeInfo (alias)");
  check(info->SetGuid(alias.guid), "SetGuid (alias)");
  check(info->SetTypeFlags(TYPEFLAG_FHIDDEN), "SetTypeFlags (alias)");
  TYPEDESC aliased{};
  aliased.vt = VT_USERDEFINED;
  aliased.hreftype = reference_to(info.get(), target);
  check(info->SetTypeDescAlias(&aliased), "SetTypeDescAlias");
  check(info->LayOut(), "LayOut (alias)");
}

void add_class(ICreateTypeLib2* library, const Class& described, ITypeInfo* default_interface,
               ITypeInfo* object_safety) {
  ComPtr<ICreateTypeInfo> info;
  check(library->CreateTypeInfo(const_cast<LPOLESTR>(described.name), TKIND_COCLASS, info.put()),
        "CreateTypeInfo (class)");
  check(info->SetGuid(described.clsid), "SetGuid (class)");
  check(info->SetTypeFlags(described.creatable ? TYPEFLAG_FCANCREATE : 0), "SetTypeFlags (class)");
  check(info->AddImplType(0, reference_to(info.get(), default_interface)), "AddImplType");
  check(info->SetImplTypeFlags(0, IMPLTYPEFLAG_FDEFAULT), "SetImplTypeFlags");
  if (described.object_safety) {
    check(info->AddImplType(1, reference_to(info.get(), object_safety)),
          "AddImplType (IObjectSafety)");
  }
  check(info->LayOut(), "LayOut (class)");
}

void write_type_library(const wchar_t* output) {
  ComPtr<ITypeLib> standard;
  check(LoadTypeLib(L"stdole2.tlb", standard.put()), "LoadTypeLib (stdole2.tlb)");
  ComPtr<ITypeInfo> unknown;
  check(standard->GetTypeInfoOfGuid(IID_IUnknown, unknown.put()), "IUnknown of stdole2");
  ComPtr<ITypeInfo> dispatch;
  check(standard->GetTypeInfoOfGuid(IID_IDispatch, dispatch.put()), "IDispatch of stdole2");
  ComPtr<ITypeInfo> guid_record;
  MEMBERID found_id = 0;
  USHORT found = 1;
  check(standard->FindName(const_cast<LPOLESTR>(L"GUID"), 0, guid_record.put(), &found_id, &found),
        "GUID of stdole2");
  if (found != 1) throw WriteFailure{TYPE_E_ELEMENTNOTFOUND, "GUID of stdole2"};

  const Library& described = description::library;
  ComPtr<ICreateTypeLib2> library;
  check(CreateTypeLib2(target_platform.kind, output, library.put()), "CreateTypeLib2");
  check(library->SetName(const_cast<LPOLESTR>(described.name)), "SetName");
  check(library->SetGuid(described.libid), "SetGuid");
  check(library->SetVersion(described.major_version, described.minor_version), "SetVersion");
  check(library->SetLcid(described.locale), "SetLcid");
  check(library->SetDocString(const_cast<LPOLESTR>(described.help_string)), "SetDocString");

  ComPtr<ITypeInfo> safety = add_object_safety(library.get(), unknown.get(), guid_record.get());
  std::vector<ComPtr<ITypeInfo>> interfaces;
  for (const Interface* each : description::interfaces) {
    interfaces.push_back(add_interface(library.get(), *each, dispatch.get()));
  }
  auto info_of = [&](const Interface* wanted) {
    for (size_t i = 0; i < std::size(description::interfaces); ++i) {
      if (description::interfaces[i] == wanted) return interfaces[i].get();
    }
    throw WriteFailure{TYPE_E_ELEMENTNOTFOUND, "interface of a class"};
  };
  add_alias(library.get(), description::sign_alias, info_of(description::sign_alias.target));
  for (const Class* each : description::classes) {
    add_class(library.get(), *each, info_of(each->default_interface), safety.get());
  }
  check(library->SaveAllChanges(), "SaveAllChanges");
}

}  // namespace
}  // namespace orvane::com

int wmain(int argc, wchar_t** argv) {
  const bool platform_named =
      argc == 3 && (std::wcscmp(argv[2], L"win32") == 0 || std::wcscmp(argv[2], L"win64") == 0);
  if (argc != 2 && !platform_named) {
    std::fprintf(stderr, "usage: write_type_library OUTPUT [win32|win64]\n");
    return 2;
  }
  if (platform_named) {
    orvane::com::target_platform =
        std::wcscmp(argv[2], L"win32") == 0 ? orvane::com::win32 : orvane::com::win64;
  }
  try {
    orvane::com::write_type_library(argv[1]);
  } catch (const orvane::com::WriteFailure& failure) {
    std::fprintf(stderr, "write_type_library: %s failed: 0x%08lX\n", failure.step,
                 static_cast<unsigned long>(failure.result));
    return 1;
  }
  return 0;
}
