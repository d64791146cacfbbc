#pragma once

#include <windows.h>

#include <vector>

#include "provider/cryptoapi/key_container.h"

namespace orvane::provider::cryptoapi {

// The demonstration's throwaway root and signer: their DER certificates, and the container of
// the signer's key.
struct DemoCertificates {
  std::vector<BYTE> root_certificate;
  std::vector<BYTE> signer_certificate;
  KeyContainer signer_key;
};

// Makes a root and a signer it issues (RSA 2048, SHA-256, random serial numbers, valid from a
// day ago; the root for ten years, the signer for one). The root's key is gone again when it
// returns; the signer's stays in its container, which cannot export it. Throws StoreError.
DemoCertificates make_demo_certificates();

}  // namespace orvane::provider::cryptoapi
