#pragma once

// The arguments of a dispatch call laid out for the vtable method of a member: positional and
// named arguments put in parameter order, omitted optional ones given the type library's
// defaults, and each converted to its parameter's type. A script's variable passed by
// reference is written back after the call, so the method's writes reach it.

#include <windows.h>

#include <vector>

#include "com/library_description.h"

namespace orvane::com {

// A call that cannot be laid out: its HRESULT, and the argument it is about (for puArgErr).
struct DispatchRefusal {
  HRESULT result;
  UINT argument;
};

class DispatchArguments {
 public:
  // Throws DispatchRefusal for a missing required argument, too many arguments, an unknown
  // named argument or a value that does not convert; std::bad_alloc when memory runs out.
  DispatchArguments(const Member& member, const DISPPARAMS& parameters);
  DispatchArguments(const DispatchArguments&) = delete;
  DispatchArguments& operator=(const DispatchArguments&) = delete;
  ~DispatchArguments();

  VARIANT* variant(size_t index) { return &slots_[index].local; }
  BSTR* bstr(size_t index) { return slots_[index].bstr; }
  VARIANT_BOOL* boolean(size_t index) { return slots_[index].boolean; }

  // Copies converted values back into the script's variables that came by reference.
  void write_back();

 private:
  struct Slot {
    VARIANT local;
    BSTR* bstr = nullptr;
    VARIANT_BOOL* boolean = nullptr;
    VARIANT* variable = nullptr;  // the caller's variable to write back into, if any
  };

  void fill(Slot& slot, const Parameter& parameter, VARIANT* argument, UINT position);

  std::vector<Slot> slots_;
};

}  // namespace orvane::com
