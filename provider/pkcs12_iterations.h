#pragma once

#include <functional>

#include "runtime/bytes.h"

namespace orvane::provider {

// The most iterations that a key derivation of a PKCS #12 file may ask for. Exporters use a few
// thousand (OpenSSL 2,048; Windows 2,000 to 10,000) and hardened ones some hundred thousand;
// beyond this a file only stalls whoever opens it.
inline constexpr long long most_pkcs12_iterations = 1'000'000;

// What the key derivations of a PKCS #12 file ask for.
enum class Pkcs12Iterations {
  // Each that was found asks for 1 to most_pkcs12_iterations.
  bounded,
  // One asks for more, or for fewer than one, which a platform reading the count as unsigned
  // takes for billions.
  unbounded,
  // The file is no PKCS #12 file of the password-integrity mode, or a part of it that a
  // platform's reader would open cannot be taken apart.
  unreadable,
};

// Receives the plain content of an encrypted part, a SafeContents, for the length of the call.
using Pkcs12PlainPart = std::function<void(ByteView safe_contents)>;

// Decrypts an encrypted part with the file's password, from the DER of its encryption's
// AlgorithmIdentifier and its encrypted content, and passes the plain content to `read`, wiping
// it afterwards. False when the part does not open (another password, an algorithm the back end
// lacks). Supplied by a back end that can decrypt.
using Pkcs12PartOpener =
    std::function<bool(ByteView algorithm, ByteView encrypted, const Pkcs12PlainPart& read)>;

// Reads the iteration counts of the PKCS #12 file `pfx` (BER, as exporters write it) without
// running any derivation: the MAC's, each encrypted part's, each shrouded key's in the plain
// parts and, with `open_part`, in the encrypted parts that open, each part's own count checked
// before it is opened. A part that does not open is left to the platform's reader, which fails
// on it; without `open_part` the keys inside encrypted parts are not seen.
Pkcs12Iterations pkcs12_iterations(ByteView pfx, const Pkcs12PartOpener& open_part = nullptr);

}  // namespace orvane::provider
