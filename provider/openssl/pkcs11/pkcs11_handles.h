#pragma once

// Owning handles for the libp11 and p11-kit objects of the smart-card store, in the manner of
// handles.h: each lives in one of these from the moment it is made.

#include <libp11.h>
#include <openssl/ui.h>
#include <p11-kit/p11-kit.h>

#include <cstdlib>
#include <memory>

#include "provider/openssl/handles.h"

namespace orvane::provider::openssl::pkcs11 {

// Unloads the module of a context that loaded one (finalising it), then frees the context.
struct FreeContext {
  bool loaded = false;
  void operator()(PKCS11_CTX* context) const {
    if (loaded) PKCS11_CTX_unload(context);
    PKCS11_CTX_free(context);
  }
};

// Releases a context's slot list, with every session, key and certificate object of it.
struct ReleaseSlots {
  PKCS11_CTX* context = nullptr;
  unsigned int count = 0;
  void operator()(PKCS11_SLOT* slots) const { PKCS11_release_all_slots(context, slots, count); }
};

// Frees memory that p11-kit allocated for a caller (option values, file names).
struct FreeC {
  void operator()(void* memory) const { std::free(memory); }
};

using ContextPtr = std::unique_ptr<PKCS11_CTX, FreeContext>;
using SlotsPtr = std::unique_ptr<PKCS11_SLOT, ReleaseSlots>;
using UiMethodPtr = std::unique_ptr<UI_METHOD, Free<UI_destroy_method>>;
using P11KitModulesPtr = std::unique_ptr<CK_FUNCTION_LIST*, Free<p11_kit_modules_release>>;
using P11KitTextPtr = std::unique_ptr<char, FreeC>;

}  // namespace orvane::provider::openssl::pkcs11
