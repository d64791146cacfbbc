// The type library embedded in Orvane.dll, read back as a client reads it.

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "runtime/windows/owned.h"

namespace orvane::com {
namespace {

using windows::Bstr;
using windows::ComPtr;

std::string narrow(const wchar_t* text) {
  std::string result;
  for (; text != nullptr && *text != 0; ++text) result += static_cast<char>(*text);
  return result;
}

std::string hex(unsigned long value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08lX", value);
  return text;
}

std::string text_of(const GUID& guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return narrow(text);
}

std::string name_of(ITypeInfo* info, MEMBERID id = MEMBERID_NIL) {
  Bstr name;
  if (FAILED(info->GetDocumentation(id, name.put(), nullptr, nullptr, nullptr))) return "?";
  return narrow(name.get());
}

std::string type_of(ITypeInfo* info, const TYPEDESC& type) {
  switch (type.vt) {
    case VT_PTR:
      return type_of(info, *type.lptdesc) + "*";
    case VT_VARIANT:
      return "VARIANT";
    case VT_BSTR:
      return "BSTR";
    case VT_BOOL:
      return "BOOL";
    case VT_UI4:
      return "UI4";
    case VT_HRESULT:
      return "HRESULT";
    case VT_USERDEFINED: {
      ComPtr<ITypeInfo> referred;
      if (FAILED(info->GetRefTypeInfo(type.hreftype, referred.put()))) return "?";
      return name_of(referred.get());
    }
    default:
      return "vt" + std::to_string(type.vt);
  }
}

std::string flags_of(const PARAMDESC& parameter) {
  std::string result;
  if (parameter.wParamFlags & PARAMFLAG_FIN) result += " in";
  if (parameter.wParamFlags & PARAMFLAG_FOUT) result += " out";
  if (parameter.wParamFlags & PARAMFLAG_FRETVAL) result += " retval";
  if (parameter.wParamFlags & PARAMFLAG_FOPT) result += " optional";
  if (parameter.wParamFlags & PARAMFLAG_FHASDEFAULT) {
    const VARIANT& value = parameter.pparamdescex->varDefaultValue;
    if (value.vt == VT_BSTR) result += " =\"" + narrow(value.bstrVal) + "\"";
    if (value.vt == VT_BOOL) result += value.boolVal == VARIANT_FALSE ? " =False" : " =True";
    if (value.vt != VT_BSTR && value.vt != VT_BOOL) result += " =vt" + std::to_string(value.vt);
  }
  return result;
}

// One member as a line: name, dispatch id, kind, vtable slot, then each parameter.
std::string member_line(ITypeInfo* info, UINT index) {
  FUNCDESC* function = nullptr;
  if (FAILED(info->GetFuncDesc(index, &function))) return "no member";
  BSTR given[16] = {};
  UINT named = 0;
  info->GetNames(function->memid, given, 16, &named);
  std::vector<Bstr> names;
  for (BSTR& name : given) names.emplace_back(name);
  std::string line =
      narrow(names[0].get()) + " " + hex(static_cast<unsigned long>(function->memid));
  line += function->invkind == INVOKE_FUNC          ? " func"
          : function->invkind == INVOKE_PROPERTYGET ? " get"
                                                    : " put";
  line += " slot" + std::to_string(function->oVft / static_cast<SHORT>(sizeof(void*)));
  line += " " + type_of(info, function->elemdescFunc.tdesc) + " (";
  for (SHORT i = 0; i < function->cParams; ++i) {
    const ELEMDESC& parameter = function->lprgelemdescParam[i];
    if (i > 0) line += ", ";
    if (static_cast<UINT>(i) + 1 < named) line += narrow(names[i + 1].get()) + " ";
    line += type_of(info, parameter.tdesc) + flags_of(parameter.paramdesc);
  }
  info->ReleaseFuncDesc(function);
  return line + ")";
}

class TypeLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(LoadTypeLibEx(ORVANE_COM_DLL, REGKIND_NONE, library_.put()), S_OK);
  }

  // The vtable half of a dual interface, or the interface itself.
  ComPtr<ITypeInfo> interface_info(const wchar_t* iid) {
    GUID guid{};
    EXPECT_EQ(IIDFromString(iid, &guid), S_OK);
    ComPtr<ITypeInfo> found;
    EXPECT_EQ(library_->GetTypeInfoOfGuid(guid, found.put()), S_OK) << narrow(iid);
    if (!found) return found;
    ComPtr<ITypeInfo> vtable;
    HREFTYPE reference = 0;
    if (SUCCEEDED(found->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference)) &&
        SUCCEEDED(found->GetRefTypeInfo(reference, vtable.put()))) {
      return vtable;
    }
    return found;
  }

  std::vector<std::string> member_lines(const wchar_t* iid) {
    ComPtr<ITypeInfo> info = interface_info(iid);
    std::vector<std::string> lines;
    TYPEATTR* attributes = nullptr;
    if (!info || FAILED(info->GetTypeAttr(&attributes))) return lines;
    for (UINT i = 0; i < attributes->cFuncs; ++i) lines.push_back(member_line(info.get(), i));
    info->ReleaseTypeAttr(attributes);
    return lines;
  }

  // A class or interface: name, identifier, kind, flags, and what it implements.
  std::string type_line(UINT index) {
    ComPtr<ITypeInfo> info;
    TYPEATTR* attributes = nullptr;
    if (FAILED(library_->GetTypeInfo(index, info.put())) ||
        FAILED(info->GetTypeAttr(&attributes))) {
      return "no type";
    }
    std::string line = name_of(info.get()) + " " + text_of(attributes->guid) + " kind" +
                       std::to_string(attributes->typekind) + " flags" +
                       hex(attributes->wTypeFlags);
    for (UINT i = 0; i < attributes->cImplTypes; ++i) {
      HREFTYPE reference = 0;
      ComPtr<ITypeInfo> implemented;
      INT flags = 0;
      info->GetRefTypeOfImplType(i, &reference);
      info->GetRefTypeInfo(reference, implemented.put());
      info->GetImplTypeFlags(i, &flags);
      line += " : " + (implemented ? name_of(implemented.get()) : "?");
      if (flags & IMPLTYPEFLAG_FDEFAULT) line += " default";
    }
    if (attributes->typekind == TKIND_ALIAS) {
      line += " = " + type_of(info.get(), attributes->tdescAlias);
    }
    // A dual interface's vtable half, which carries the automation flag.
    HREFTYPE vtable_reference = 0;
    ComPtr<ITypeInfo> vtable;
    TYPEATTR* vtable_attributes = nullptr;
    if (attributes->typekind == TKIND_DISPATCH &&
        SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtable_reference)) &&
        SUCCEEDED(info->GetRefTypeInfo(vtable_reference, vtable.put())) &&
        SUCCEEDED(vtable->GetTypeAttr(&vtable_attributes))) {
      line += ", vtable kind" + std::to_string(vtable_attributes->typekind) + " flags" +
              hex(vtable_attributes->wTypeFlags);
      vtable->ReleaseTypeAttr(vtable_attributes);
    }
    info->ReleaseTypeAttr(attributes);
    return line;
  }

  ComPtr<ITypeLib> library_;
};

TEST_F(TypeLibraryTest, LibraryIdentityAndTheLocaleItIsRegisteredUnder) {
  TLIBATTR* attributes = nullptr;
  ASSERT_EQ(library_->GetLibAttr(&attributes), S_OK);
  EXPECT_EQ(text_of(attributes->guid), "{578D55FD-08E4-4219-9F1F-3572151773A9}");
  EXPECT_EQ(attributes->wMajorVerNum, 19);
  EXPECT_EQ(attributes->wMinorVerNum, 2);
  EXPECT_EQ(attributes->lcid, 0u);
  EXPECT_EQ(attributes->syskind, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
  library_->ReleaseTLibAttr(attributes);

  Bstr name;
  Bstr help;
  ASSERT_EQ(library_->GetDocumentation(-1, name.put(), help.put(), nullptr, nullptr), S_OK);
  EXPECT_EQ(narrow(name.get()), "Orvane");
  EXPECT_EQ(narrow(help.get()), "Orvane ");

  // The header's own locale, which the registered one stands beside.
  FILE* file = std::fopen(ORVANE_TYPE_LIBRARY_FILE, "rb");
  ASSERT_NE(file, nullptr);
  unsigned char header[16] = {};
  EXPECT_EQ(std::fread(header, 1, sizeof header, file), sizeof header);
  std::fclose(file);
  EXPECT_EQ(header[12] | header[13] << 8, 0x409);
}

TEST_F(TypeLibraryTest, ClassesInterfacesAndTheAliasWithTheirIdentifiersAndFlags) {
  // Interfaces: dual (0x40), hidden (0x10), non-extensible (0x80), dispatchable (0x1000, added
  // by the loader), and on the vtable half oleautomation (0x100); classes: creatable (0x2).
  const std::vector<std::string> expected = {
      "IObjectSafety {CB5BDC81-93C1-11CF-8F20-00805F2CD064} kind3 flags00000000 : IUnknown",
      "_Sign {DFDA18EB-0BF0-4B7D-8FCA-6D2FBF97C1B5} kind4 flags000010D0 : IDispatch, vtable kind3 "
      "flags000011D0",
      "_XML {53DC8F97-594C-4DF4-A5E3-E1D3EEF913AC} kind4 flags000010D0 : IDispatch, vtable kind3 "
      "flags000011D0",
      "_vbObjSafety {7006542C-4A32-417D-893E-42B34B0DA5CD} kind4 flags000010D0 : IDispatch, vtable "
      "kind3 "
      "flags000011D0",
      "Sign___v0 {1949B5F6-CB5D-4075-807F-5B87153D2BB7} kind6 flags00000010 = _Sign",
      "Sign {7A409161-6859-4BF4-B25D-CEF24141F0D5} kind5 flags00000002 : _Sign default : "
      "IObjectSafety",
      "XML {CA540219-6B14-47A3-BC81-2B09160CC506} kind5 flags00000002 : _XML default",
      "vbObjSafety {AFB9027A-13EF-4418-A484-9FDE58310C3A} kind5 flags00000000 : _vbObjSafety "
      "default : IObjectSafety",
  };
  std::vector<std::string> actual;
  for (UINT i = 0; i < library_->GetTypeInfoCount(); ++i) actual.push_back(type_line(i));
  EXPECT_EQ(actual, expected);
}

TEST_F(TypeLibraryTest, SignMembersWithTheirPassingModesOptionalsAndDefaults) {
  const std::vector<std::string> expected = {
      "Signfile 60030000 func slot7 HRESULT (inputfilename VARIANT* in out, sSerialNo BSTR* in "
      "out optional =\"\", bDetached BOOL* in out optional =False, sExtension BSTR* in out "
      "optional =\"\", IsContent BOOL* in out optional =False, VARIANT* out retval)",
      "Verify 60030001 func slot8 HRESULT (OriginalFileName VARIANT* in out, "
      "DigitalSignedFileName VARIANT* in out, bDetached BOOL* in out, sSerialNo BSTR* in out "
      "optional =\"\", BSTR* out retval)",
      "VerifyCodeWithFile 60030002 func slot9 HRESULT (OriginalFileName BSTR* in out, "
      "sSignedContents VARIANT* in out, bDetached BOOL* in out, BSTR* out retval)",
      "ServiceProviderDS 60030003 func slot10 HRESULT (FilePath VARIANT in, VARIANT* out "
      "retval)",
      "GetServiceProviderDS 60030004 func slot11 HRESULT (sData BSTR* in out, BSTR* out retval)",
      "LogError 60030005 func slot12 HRESULT (sErr BSTR* in out)",
      "GetSerialNO 60030006 func slot13 HRESULT (BSTR* out retval)",
  };
  EXPECT_EQ(member_lines(L"{DFDA18EB-0BF0-4B7D-8FCA-6D2FBF97C1B5}"), expected);
}

TEST_F(TypeLibraryTest, XmlMembersAndTheSafetyInterface) {
  const std::vector<std::string> xml = {
      "sXmlData 40030000 get slot7 HRESULT (BSTR* out retval)",
      "sXmlData 40030000 put slot8 HRESULT (BSTR in)",
      "LoadXml 60030000 func slot9 HRESULT (Path BSTR* in out, INI BOOL* in out optional "
      "=False, BOOL* out retval)",
      "ReadNodeData 60030001 func slot10 HRESULT (XmlData BSTR* in out, StartNode BSTR* in out, "
      "EndNode BSTR* in out, BSTR* out retval)",
      "CloseXml 60030002 func slot11 HRESULT ()",
  };
  EXPECT_EQ(member_lines(L"{53DC8F97-594C-4DF4-A5E3-E1D3EEF913AC}"), xml);
  EXPECT_EQ(member_lines(L"{7006542C-4A32-417D-893E-42B34B0DA5CD}"), std::vector<std::string>{});

  const std::vector<std::string> safety = {
      "GetInterfaceSafetyOptions 60010000 func slot3 HRESULT (riid GUID* in, "
      "pdwSupportedOptions UI4* out, pdwEnabledOptions UI4* out)",
      "SetInterfaceSafetyOptions 60010001 func slot4 HRESULT (riid GUID* in, dwOptionsSetMask "
      "UI4 in, dwEnabledOptions UI4 in)",
  };
  EXPECT_EQ(member_lines(L"{CB5BDC81-93C1-11CF-8F20-00805F2CD064}"), safety);
}

}  // namespace
}  // namespace orvane::com
