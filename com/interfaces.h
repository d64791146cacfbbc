#pragma once

// The vtables of the library's dual interfaces, slot for slot as the type library lays them
// out (library_description.h): after IDispatch's slots, one method per member in table order,
// each with the member's result as a final out-parameter.

#include <windows.h>

namespace orvane::com {

// _Sign, also asked for by its earlier identifier (the alias Sign___v0).
struct SignInterface : IDispatch {
  virtual HRESULT STDMETHODCALLTYPE Signfile(VARIANT* inputfilename, BSTR* sSerialNo,
                                             VARIANT_BOOL* bDetached, BSTR* sExtension,
                                             VARIANT_BOOL* IsContent, VARIANT* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE Verify(VARIANT* OriginalFileName,
                                           VARIANT* DigitalSignedFileName, VARIANT_BOOL* bDetached,
                                           BSTR* sSerialNo, BSTR* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE VerifyCodeWithFile(BSTR* OriginalFileName,
                                                       VARIANT* sSignedContents,
                                                       VARIANT_BOOL* bDetached, BSTR* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE ServiceProviderDS(VARIANT FilePath, VARIANT* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetServiceProviderDS(BSTR* sData, BSTR* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE LogError(BSTR* sErr) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetSerialNO(BSTR* result) = 0;

 protected:
  ~SignInterface() = default;  // released through IUnknown, never deleted through this
};

// _XML.
struct XmlInterface : IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_sXmlData(BSTR* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_sXmlData(BSTR sXmlData) = 0;
  virtual HRESULT STDMETHODCALLTYPE LoadXml(BSTR* Path, VARIANT_BOOL* INI,
                                            VARIANT_BOOL* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE ReadNodeData(BSTR* XmlData, BSTR* StartNode, BSTR* EndNode,
                                                 BSTR* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE CloseXml() = 0;

 protected:
  ~XmlInterface() = default;
};

}  // namespace orvane::com
