#pragma once

// The COM boundary: nothing thrown below it reaches the host.

#include <windows.h>

#include <new>

namespace orvane::com {

// Runs a COM entry point's body; an exception that reaches the boundary becomes its HRESULT.
template <typename Body>
HRESULT guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace orvane::com
