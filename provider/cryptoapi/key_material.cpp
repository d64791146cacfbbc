#include "provider/cryptoapi/key_material.h"

#include <map>

#include "provider/cryptoapi/certificate.h"
#include "provider/pkcs12_iterations.h"
#include "provider/store_administration.h"
#include "runtime/program.h"
#include "runtime/text.h"

namespace orvane::provider::cryptoapi {
namespace {

using windows::CertificateContextHandle;
using windows::StoreHandle;

StoreHandle import_store(const std::vector<BYTE>& bytes, const wchar_t* password) {
  CRYPT_DATA_BLOB blob{static_cast<DWORD>(bytes.size()), const_cast<BYTE*>(bytes.data())};
  // Exportable only so that the key can move to a container of its own, where it is not.
  return StoreHandle(::PFXImportCertStore(&blob, password, CRYPT_EXPORTABLE | CRYPT_USER_KEYSET));
}

}  // namespace

KeyMaterial::KeyMaterial(KeyMaterial&& other) noexcept
    : with_key_(std::move(other.with_key_)),
      others_(std::move(other.others_)),
      containers_(std::move(other.containers_)) {
  // A moved-from vector is left empty only by convention: the containers go once.
  other.containers_.clear();
}

KeyMaterial::~KeyMaterial() {
  for (const auto& container : containers_) delete_container(container);
}

namespace {

// The file's certificates and keys in a store of their own, after the checks that come before
// the platform reads it.
StoreHandle open_pfx(const std::vector<BYTE>& bytes, const std::string& file,
                     const std::optional<std::string>& utf8_password) {
  std::wstring wide_password;
  if (utf8_password) {
    const Text text = text_from_utf8(*utf8_password);
    wide_password.assign(text.begin(), text.end());
  }
  CRYPT_DATA_BLOB blob{static_cast<DWORD>(bytes.size()), const_cast<BYTE*>(bytes.data())};
  // Before the platform reads it, since reading runs the derivations. This back end opens no
  // encrypted part itself, so a key inside one is not seen: exporters put keys in plain parts.
  const Pkcs12Iterations iterations = pkcs12_iterations(ByteView(bytes.data(), bytes.size()));
  if (!::PFXIsPFXBlob(&blob) || iterations == Pkcs12Iterations::unreadable) {
    throw StoreError(file +
                     " is not a PKCS #12 (.pfx) file: export the certificate with its "
                     "private key as one");
  }
  if (iterations == Pkcs12Iterations::unbounded) {
    throw StoreError(file + " asks for more than " + std::to_string(most_pkcs12_iterations) +
                     " iterations of its password, which no exporter uses: export it again");
  }
  StoreHandle store = import_store(bytes, utf8_password ? wide_password.c_str() : L"");
  if (!store && !utf8_password) store = import_store(bytes, nullptr);
  if (!store) {
    if (::GetLastError() == ERROR_INVALID_PASSWORD) {
      throw StoreError(file + ": the password is wrong; pass the right one with --password-file");
    }
    throw StoreError(file + " cannot be imported (Windows error " +
                     std::to_string(::GetLastError()) + ")");
  }
  return store;
}

}  // namespace

KeyMaterial read_key_material(const std::vector<BYTE>& bytes, const std::filesystem::path& path,
                              const std::optional<std::string>& utf8_password) {
  const StoreHandle store = open_pfx(bytes, path_to_utf8(path), utf8_password);
  // Containers made before a failure go again with it.
  KeyMaterial material;
  // Each original container (Wine uses one for every key of a file) to the key moved out of it.
  std::map<std::wstring, KeyContainer> moved;
  PCCERT_CONTEXT context = nullptr;
  // Leaving the enumeration early leaves its current context to free.
  const windows::ScopeExit free_current([&context] { CertificateContextHandle(context).reset(); });
  while ((context = ::CertEnumCertificatesInStore(store.get(), context)) != nullptr) {
    CertificateContextHandle certificate(::CertDuplicateCertificateContext(context));
    const std::vector<BYTE> bytes_of_info =
        certificate_property(context, CERT_KEY_PROV_INFO_PROP_ID);
    if (bytes_of_info.size() < sizeof(CRYPT_KEY_PROV_INFO)) {
      material.others_.push_back(std::move(certificate));
      continue;
    }
    const auto& info = *reinterpret_cast<const CRYPT_KEY_PROV_INFO*>(bytes_of_info.data());
    if (info.dwProvType == 0) {
      // A key storage provider's key: Windows named its key uniquely already.
      material.with_key_.push_back(std::move(certificate));
      continue;
    }
    const std::wstring original = info.pwszContainerName ? info.pwszContainerName : L"";
    auto found = moved.find(original);
    if (found == moved.end()) {
      found = moved.emplace(original, move_key(info)).first;
      material.containers_.push_back(found->second);
    }
    // Wine marks the chain's certificates with the key too; only the key's own keeps it.
    if (holds_key_of(found->second, context)) {
      bind_key(context, found->second);
      material.with_key_.push_back(std::move(certificate));
    } else {
      ::CertSetCertificateContextProperty(context, CERT_KEY_PROV_INFO_PROP_ID, 0, nullptr);
      material.others_.push_back(std::move(certificate));
    }
  }
  return material;
}

}  // namespace orvane::provider::cryptoapi
