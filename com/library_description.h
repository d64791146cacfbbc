#pragma once

// What the type library Orvane holds: the library, its interfaces, alias and classes, as one
// table. The type-library writer walks it to write Orvane.tlb, and the server registers the
// classes it names; nothing else spells an identifier or a name of the COM surface.

#include <windows.h>  // with ole2.h: a COM server wants all of it

#include <span>

namespace orvane::com {

// How an optional parameter's default reads in the type library.
enum class DefaultValue { none, empty_text, false_value };

struct Parameter {
  const wchar_t* name;
  VARTYPE type;  // VT_VARIANT, VT_BSTR or VT_BOOL
  bool by_reference;
  DefaultValue default_value = DefaultValue::none;  // also makes the parameter optional
};

struct Member {
  const wchar_t* name;
  MEMBERID dispatch_id;
  INVOKEKIND kind;
  std::span<const Parameter> parameters;
  VARTYPE result;  // VT_EMPTY: the member returns nothing
};

// The published interface that hosts ask about scripting safety; not an automation interface.
struct SafetyInterface {
  const wchar_t* name;
  GUID iid;
};

struct Interface {
  const wchar_t* name;
  GUID iid;
  std::span<const Member> members;
};

struct Alias {
  const wchar_t* name;
  GUID guid;
  const Interface* target;
};

struct Class {
  const wchar_t* name;
  GUID clsid;
  bool creatable;
  const Interface* default_interface;
  bool object_safety;      // also implements IObjectSafety
  const wchar_t* prog_id;  // nullptr for a class that clients cannot create
};

struct Library {
  const wchar_t* name;
  const wchar_t* help_string;
  GUID libid;
  WORD major_version;
  WORD minor_version;
  // The locale the library is registered under. CreateTypeLib2 writes 0x409 into the file's
  // header by itself and records this one beside it.
  LCID locale;
};

namespace description {

inline constexpr Parameter signfile_parameters[] = {
    {L"inputfilename", VT_VARIANT, true},
    {L"sSerialNo", VT_BSTR, true, DefaultValue::empty_text},
    {L"bDetached", VT_BOOL, true, DefaultValue::false_value},
    {L"sExtension", VT_BSTR, true, DefaultValue::empty_text},
    {L"IsContent", VT_BOOL, true, DefaultValue::false_value},
};
inline constexpr Parameter verify_parameters[] = {
    {L"OriginalFileName", VT_VARIANT, true},
    {L"DigitalSignedFileName", VT_VARIANT, true},
    {L"bDetached", VT_BOOL, true},
    {L"sSerialNo", VT_BSTR, true, DefaultValue::empty_text},
};
inline constexpr Parameter verify_code_with_file_parameters[] = {
    {L"OriginalFileName", VT_BSTR, true},
    {L"sSignedContents", VT_VARIANT, true},
    {L"bDetached", VT_BOOL, true},
};
inline constexpr Parameter service_provider_ds_parameters[] = {{L"FilePath", VT_VARIANT, false}};
inline constexpr Parameter get_service_provider_ds_parameters[] = {{L"sData", VT_BSTR, true}};
inline constexpr Parameter log_error_parameters[] = {{L"sErr", VT_BSTR, true}};

// Vtable order after the IDispatch slots is the order of this table.
inline constexpr Member sign_members[] = {
    {L"Signfile", 0x60030000, INVOKE_FUNC, signfile_parameters, VT_VARIANT},
    {L"Verify", 0x60030001, INVOKE_FUNC, verify_parameters, VT_BSTR},
    {L"VerifyCodeWithFile", 0x60030002, INVOKE_FUNC, verify_code_with_file_parameters, VT_BSTR},
    {L"ServiceProviderDS", 0x60030003, INVOKE_FUNC, service_provider_ds_parameters, VT_VARIANT},
    {L"GetServiceProviderDS", 0x60030004, INVOKE_FUNC, get_service_provider_ds_parameters, VT_BSTR},
    {L"LogError", 0x60030005, INVOKE_FUNC, log_error_parameters, VT_EMPTY},
    {L"GetSerialNO", 0x60030006, INVOKE_FUNC, {}, VT_BSTR},
};

inline constexpr Parameter xml_data_put_parameters[] = {{L"sXmlData", VT_BSTR, false}};
inline constexpr Parameter load_xml_parameters[] = {
    {L"Path", VT_BSTR, true},
    {L"INI", VT_BOOL, true, DefaultValue::false_value},
};
inline constexpr Parameter read_node_data_parameters[] = {
    {L"XmlData", VT_BSTR, true},
    {L"StartNode", VT_BSTR, true},
    {L"EndNode", VT_BSTR, true},
};

inline constexpr Member xml_members[] = {
    {L"sXmlData", 0x40030000, INVOKE_PROPERTYGET, {}, VT_BSTR},
    {L"sXmlData", 0x40030000, INVOKE_PROPERTYPUT, xml_data_put_parameters, VT_EMPTY},
    {L"LoadXml", 0x60030000, INVOKE_FUNC, load_xml_parameters, VT_BOOL},
    {L"ReadNodeData", 0x60030001, INVOKE_FUNC, read_node_data_parameters, VT_BSTR},
    {L"CloseXml", 0x60030002, INVOKE_FUNC, {}, VT_EMPTY},
};

inline constexpr Library library = {
    L"Orvane",
    L"Orvane ",
    {0x578D55FD, 0x08E4, 0x4219, {0x9F, 0x1F, 0x35, 0x72, 0x15, 0x17, 0x73, 0xA9}},
    19,
    2,
    LOCALE_NEUTRAL,
};

inline constexpr SafetyInterface object_safety = {
    L"IObjectSafety",
    {0xCB5BDC81, 0x93C1, 0x11CF, {0x8F, 0x20, 0x00, 0x80, 0x5F, 0x2C, 0xD0, 0x64}},
};

inline constexpr Interface sign_interface = {
    L"_Sign",
    {0xDFDA18EB, 0x0BF0, 0x4B7D, {0x8F, 0xCA, 0x6D, 0x2F, 0xBF, 0x97, 0xC1, 0xB5}},
    sign_members,
};
inline constexpr Interface xml_interface = {
    L"_XML",
    {0x53DC8F97, 0x594C, 0x4DF4, {0xA5, 0xE3, 0xE1, 0xD3, 0xEE, 0xF9, 0x13, 0xAC}},
    xml_members,
};
inline constexpr Interface object_safety_class_interface = {
    L"_vbObjSafety",
    {0x7006542C, 0x4A32, 0x417D, {0x89, 0x3E, 0x42, 0xB3, 0x4B, 0x0D, 0xA5, 0xCD}},
    {},
};
inline constexpr const Interface* interfaces[] = {&sign_interface, &xml_interface,
                                                  &object_safety_class_interface};

// The earlier identifier of _Sign, which clients built against it still ask for.
inline constexpr Alias sign_alias = {
    L"Sign___v0",
    {0x1949B5F6, 0xCB5D, 0x4075, {0x80, 0x7F, 0x5B, 0x87, 0x15, 0x3D, 0x2B, 0xB7}},
    &sign_interface,
};

inline constexpr Class sign_class = {
    L"Sign", {0x7A409161, 0x6859, 0x4BF4, {0xB2, 0x5D, 0xCE, 0xF2, 0x41, 0x41, 0xF0, 0xD5}},
    true,    &sign_interface,
    true,    L"Orvane.Sign",
};
inline constexpr Class xml_class = {
    L"XML", {0xCA540219, 0x6B14, 0x47A3, {0xBC, 0x81, 0x2B, 0x09, 0x16, 0x0C, 0xC5, 0x06}},
    true,   &xml_interface,
    false,  L"Orvane.XML",
};
inline constexpr Class object_safety_class = {
    L"vbObjSafety", {0xAFB9027A, 0x13EF, 0x4418, {0xA4, 0x84, 0x9F, 0xDE, 0x58, 0x31, 0x0C, 0x3A}},
    false,          &object_safety_class_interface,
    true,           nullptr,
};
inline constexpr const Class* classes[] = {&sign_class, &xml_class, &object_safety_class};

}  // namespace description

}  // namespace orvane::com
