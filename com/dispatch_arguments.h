#pragma once

// The arguments of a dispatch call laid out for the vtable method of a member: positional and
// named arguments put in parameter order, omitted optional ones given the type library's
// defaults, and each converted to its parameter's type. A script's variable passed by
// reference is written back after the call, so the method's writes reach it.

#include <windows.h>

#include <vector>

#include "com/library_description.h"
#include "runtime/windows/owned.h"

namespace orvane::com {

// A call that cannot be laid out: its HRESULT, and the argument it is about (for puArgErr).
struct DispatchRefusal {
  HRESULT result;
  UINT argument;
};

class DispatchArguments {
 public:
  // Throws DispatchRefusal for a missing required argument, too many arguments, an unknown
  // named argument, a type that automation does not define (DISP_E_BADVARTYPE) or a value that
  // does not convert; std::bad_alloc when memory runs out.
  DispatchArguments(const Member& member, const DISPPARAMS& parameters);
  DispatchArguments(const DispatchArguments&) = delete;
  DispatchArguments& operator=(const DispatchArguments&) = delete;

  VARIANT* variant(size_t index) { return slots_[index].local.get(); }
  BSTR* bstr(size_t index) { return slots_[index].bstr; }
  VARIANT_BOOL* boolean(size_t index) { return slots_[index].boolean; }

  // Copies the values that the method wrote back into the script's variables that came by
  // reference; a variable the method did not write keeps its value and its kind.
  void write_back();

 private:
  struct Slot {
    windows::OwnedVariant local;
    BSTR* bstr = nullptr;
    VARIANT_BOOL* boolean = nullptr;
    VARIANT* variable = nullptr;  // the caller's variable to write back into, if any
    // What the method was handed in `local`: a method writes a BSTR* by handing over another
    // string, so the slot holds another exactly when the method wrote it.
    BSTR passed_text = nullptr;
    VARIANT_BOOL passed_boolean = VARIANT_FALSE;
  };

  void fill(Slot& slot, const Parameter& parameter, VARIANT* argument, UINT position);

  std::vector<Slot> slots_;
};

}  // namespace orvane::com
