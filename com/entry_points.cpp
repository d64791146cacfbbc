// The entry points of the in-process server, as COM and regsvr32 call them.

#include <windows.h>

#include "com/boundary.h"
#include "com/class_factory.h"
#include "com/module.h"
#include "com/registration.h"

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    orvane::com::module::set_handle(instance);
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** factory) {
  return orvane::com::guarded([&] { return orvane::com::get_class_factory(clsid, iid, factory); });
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return orvane::com::module::can_unload() ? S_OK : S_FALSE;
}

HRESULT STDAPICALLTYPE DllRegisterServer() {
  return orvane::com::register_server();
}

HRESULT STDAPICALLTYPE DllUnregisterServer() {
  return orvane::com::unregister_server();
}

}  // extern "C"
