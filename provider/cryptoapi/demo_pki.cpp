// The demonstration's throwaway PKI in the user's stores: install_demo_pki of
// provider/store_administration.h makes a root and a signer (RSA 2048) at run time, puts them
// into Root and My, and takes them out again when the result goes.
#include <windows.h>

#include <fstream>
#include <list>
#include <string>
#include <vector>

#include "provider/cryptoapi/key_container.h"
#include "provider/cryptoapi/store_files.h"
#include "provider/store_administration.h"
#include "runtime/program.h"

namespace orvane::provider::cryptoapi {
namespace {

using windows::CertificateContextHandle;
using windows::StoreHandle;

// The demonstration's root and signer: their DER certificates, and the container of the
// signer's key.
struct DemoCertificates {
  std::vector<BYTE> root_certificate;
  std::vector<BYTE> signer_certificate;
  KeyContainer signer_key;
};

[[noreturn]] void fail(const std::string& what) {
  throw StoreError("the demonstration cannot make " + what + " (Windows error " +
                   std::to_string(::GetLastError()) + ")");
}

// The bytes that `call` gives in the platform's two calls; fails naming `what` otherwise.
template <typename Call>
std::vector<BYTE> filled(const std::string& what, Call&& call) {
  std::vector<BYTE> bytes;
  if (!windows::size_then_fill(bytes, call)) fail(what);
  return bytes;
}

std::vector<BYTE> encode(LPCSTR type, const void* value, const std::string& what) {
  return filled(what, [&](BYTE* data, DWORD* size) {
    return ::CryptEncodeObject(X509_ASN_ENCODING, type, value, data, size) != FALSE;
  });
}

std::vector<BYTE> name(const wchar_t* common_name) {
  return filled("a name", [&](BYTE* data, DWORD* size) {
    return ::CertStrToNameW(X509_ASN_ENCODING, common_name, CERT_X500_NAME_STR, nullptr, data, size,
                            nullptr) != FALSE;
  });
}

// A key pair in a new container, of the kind that signs.
windows::ProviderHandle new_key(KeyContainer& container, DWORD flags) {
  windows::ProviderHandle provider = create_container(container);
  container.key_spec = AT_SIGNATURE;
  windows::KeyHandle key;
  if (!::CryptGenKey(provider.get(), AT_SIGNATURE, (2048u << 16) | flags, key.put())) {
    fail("a key");
  }
  return provider;
}

FILETIME days_from_now(int days) {
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER value{};
  value.LowPart = now.dwLowDateTime;
  value.HighPart = now.dwHighDateTime;
  value.QuadPart += static_cast<ULONGLONG>(static_cast<LONGLONG>(days) * 24 * 3600 * 10000000LL);
  return {value.LowPart, value.HighPart};
}

// Sixteen random octets, least significant first as crypt32 keeps integers, positive.
std::vector<BYTE> random_serial(HCRYPTPROV provider) {
  std::vector<BYTE> serial(16);
  if (!::CryptGenRandom(provider, static_cast<DWORD>(serial.size()), serial.data())) {
    fail("a serial number");
  }
  serial.back() = static_cast<BYTE>((serial.back() & 0x7F) | 0x10);
  return serial;
}

std::vector<BYTE> public_key_info(HCRYPTPROV provider) {
  return filled("a public key", [&](BYTE* data, DWORD* size) {
    return ::CryptExportPublicKeyInfo(provider, AT_SIGNATURE, X509_ASN_ENCODING,
                                      reinterpret_cast<CERT_PUBLIC_KEY_INFO*>(data), size) != FALSE;
  });
}

// A certificate for the key of `subject_provider`, signed with `issuer_provider`'s key.
std::vector<BYTE> issue(HCRYPTPROV issuer_provider, std::vector<BYTE> issuer_name,
                        HCRYPTPROV subject_provider, std::vector<BYTE> subject_name, bool authority,
                        int valid_days) {
  CERT_BASIC_CONSTRAINTS2_INFO constraints{authority ? TRUE : FALSE, FALSE, 0};
  std::vector<BYTE> basic = encode(szOID_BASIC_CONSTRAINTS2, &constraints, "a certificate");
  BYTE usage_bits = authority ? (CERT_KEY_CERT_SIGN_KEY_USAGE | CERT_CRL_SIGN_KEY_USAGE)
                              : (CERT_DIGITAL_SIGNATURE_KEY_USAGE | CERT_NON_REPUDIATION_KEY_USAGE);
  CRYPT_BIT_BLOB usage_blob{1, &usage_bits, 0};
  std::vector<BYTE> usage = encode(X509_KEY_USAGE, &usage_blob, "a certificate");
  CERT_EXTENSION extensions[] = {
      {const_cast<LPSTR>(szOID_BASIC_CONSTRAINTS2),
       TRUE,
       {static_cast<DWORD>(basic.size()), basic.data()}},
      {const_cast<LPSTR>(szOID_KEY_USAGE), TRUE, {static_cast<DWORD>(usage.size()), usage.data()}},
  };

  std::vector<BYTE> serial = random_serial(issuer_provider);
  std::vector<BYTE> key = public_key_info(subject_provider);
  CRYPT_ALGORITHM_IDENTIFIER algorithm{const_cast<LPSTR>(szOID_RSA_SHA256RSA), {0, nullptr}};
  CERT_INFO info{};
  info.dwVersion = CERT_V3;
  info.SerialNumber = {static_cast<DWORD>(serial.size()), serial.data()};
  info.SignatureAlgorithm = algorithm;
  info.Issuer = {static_cast<DWORD>(issuer_name.size()), issuer_name.data()};
  info.NotBefore = days_from_now(-1);
  info.NotAfter = days_from_now(valid_days);
  info.Subject = {static_cast<DWORD>(subject_name.size()), subject_name.data()};
  info.SubjectPublicKeyInfo = *reinterpret_cast<CERT_PUBLIC_KEY_INFO*>(key.data());
  info.cExtension = 2;
  info.rgExtension = extensions;

  return filled("a certificate", [&](BYTE* data, DWORD* size) {
    return ::CryptSignAndEncodeCertificate(issuer_provider, AT_SIGNATURE, X509_ASN_ENCODING,
                                           X509_CERT_TO_BE_SIGNED, &info, &algorithm, nullptr, data,
                                           size) != FALSE;
  });
}

// Containers that go when the demonstration's certificates are made.
class TemporaryContainers {
 public:
  ~TemporaryContainers() {
    for (const auto& container : containers_) delete_container(container);
  }
  KeyContainer& add() {
    containers_.push_back({unique_container_name(L"demo"), {}, 0, 0});
    return containers_.back();
  }
  // `container` stays.
  KeyContainer keep(const KeyContainer& container) {
    KeyContainer kept = container;
    containers_.remove_if([&kept](const KeyContainer& c) { return c.name == kept.name; });
    return kept;
  }

 private:
  // A list: each container is referred to while the next is added.
  std::list<KeyContainer> containers_;
};

// Makes a root and a signer it issues (RSA 2048, SHA-256, random serial numbers, valid from a
// day ago; the root for ten years, the signer for one). The root's key is gone again when it
// returns; the signer's stays in its container, which cannot export it. Throws StoreError.
DemoCertificates make_demo_certificates() {
  TemporaryContainers containers;
  KeyContainer& root_key = containers.add();
  const windows::ProviderHandle root = new_key(root_key, 0);
  KeyContainer& signer_key = containers.add();
  const windows::ProviderHandle signer = new_key(signer_key, 0);
  const std::vector<BYTE> root_name = name(L"O=Orvane Demo, CN=Orvane Demo Root");
  DemoCertificates made;
  made.root_certificate = issue(root.get(), root_name, root.get(), root_name, true, 3650);
  made.signer_certificate = issue(root.get(), root_name, signer.get(),
                                  name(L"O=Orvane Demo, CN=Orvane Demo Signer"), false, 365);
  made.signer_key = containers.keep(signer_key);
  return made;
}

// Takes the demonstration's certificates and keys out of the user's stores again.
class DemoInstallation {
 public:
  DemoInstallation(std::vector<BYTE> root, std::vector<BYTE> signer, KeyContainer signer_key)
      : root_(std::move(root)), signer_(std::move(signer)), signer_key_(std::move(signer_key)) {}
  ~DemoInstallation() {
    remove(L"My", signer_);
    remove(L"Root", root_);
    delete_container(signer_key_);
  }
  DemoInstallation(const DemoInstallation&) = delete;
  DemoInstallation& operator=(const DemoInstallation&) = delete;

 private:
  static void remove(const wchar_t* store_name, const std::vector<BYTE>& encoded) {
    StoreHandle store(::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                      CERT_SYSTEM_STORE_CURRENT_USER, store_name));
    if (!store) return;
    const CertificateContextHandle wanted(::CertCreateCertificateContext(
        X509_ASN_ENCODING, encoded.data(), static_cast<DWORD>(encoded.size())));
    if (!wanted) return;
    PCCERT_CONTEXT found = ::CertFindCertificateInStore(store.get(), X509_ASN_ENCODING, 0,
                                                        CERT_FIND_EXISTING, wanted.get(), nullptr);
    if (found == nullptr) return;
    // Frees `found`, whatever it returns.
    ::CertDeleteCertificateFromStore(found);
    ::CertControlStore(store.get(), 0, CERT_STORE_CTRL_COMMIT, nullptr);
  }

  std::vector<BYTE> root_;
  std::vector<BYTE> signer_;
  KeyContainer signer_key_;
};

}  // namespace

}  // namespace orvane::provider::cryptoapi

namespace orvane::provider {

DemoPki install_demo_pki(const std::filesystem::path&, const std::filesystem::path& source_folder) {
  using namespace cryptoapi;
  DemoCertificates made = make_demo_certificates();
  // From here on, whatever was installed goes again with the result, or at once on a failure.
  DemoPki pki;
  pki.in_store_folder = false;
  pki.installation = std::make_shared<DemoInstallation>(made.root_certificate,
                                                        made.signer_certificate, made.signer_key);
  std::filesystem::create_directories(source_folder);
  pki.root_file = source_folder / "root.cer";
  pki.signer_file = source_folder / "signer.cer";
  const auto write = [](const std::filesystem::path& path, const std::vector<BYTE>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) throw StoreError("cannot write " + path_to_utf8(path));
  };
  write(pki.root_file, made.root_certificate);
  write(pki.signer_file, made.signer_certificate);
  pki.root = trust_roots({}, pki.root_file).at(0);

  // Straight into the personal store with its key: a PFX would carry the key out of its
  // container, and Wine cannot write one.
  const CertificateContextHandle signer(
      ::CertCreateCertificateContext(X509_ASN_ENCODING, made.signer_certificate.data(),
                                     static_cast<DWORD>(made.signer_certificate.size())));
  if (!signer) throw StoreError("the demonstration signer's certificate cannot be read");
  bind_key(signer.get(), made.signer_key);
  const StoreHandle personal = open_writable(L"My");
  const CertificateContextHandle added = add_to(personal.get(), signer.get(), personal_store);
  pki.signer =
      stored_as(added.get(), personal_store, "key container " + utf8(made.signer_key.name));
  return pki;
}

}  // namespace orvane::provider
