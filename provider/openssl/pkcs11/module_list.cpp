#include "provider/openssl/pkcs11/module_list.h"

#include <algorithm>
#include <sstream>
#include <string_view>

#include "provider/openssl/pkcs11/pkcs11_handles.h"
#include "provider/openssl/store_safety.h"

namespace orvane::provider::openssl::pkcs11 {
namespace {

namespace fs = std::filesystem;

std::string_view trimmed(std::string_view text) {
  constexpr std::string_view blanks = " \t\r\n";
  const auto first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

void read_configuration(const std::string& text, ModuleList& list) {
  std::istringstream input(text);
  std::string line;
  for (int number = 1; std::getline(input, line); ++number) {
    const std::string_view content = trimmed(line);
    if (content.empty() || content.front() == '#') continue;
    const auto equals = content.find('=');
    const std::string_view value =
        equals == std::string_view::npos ? std::string_view{} : trimmed(content.substr(equals + 1));
    if (equals == std::string_view::npos || trimmed(content.substr(0, equals)) != "module" ||
        value.empty()) {
      list.skipped.push_back(
          {"pkcs11.conf line " + std::to_string(number), "is not a line 'module = PATH'"});
      continue;
    }
    list.modules.emplace_back(value);
  }
}

// p11-kit's option of `module`, or empty.
std::string option(CK_FUNCTION_LIST* module, const char* name) {
  const P11KitTextPtr value(p11_kit_config_option(module, name));
  return value ? std::string(value.get()) : std::string();
}

void read_registered_modules(ModuleList& list) {
  // Loaded only to read their configuration: each is loaded again, and initialised, by the
  // context that reads its tokens.
  const P11KitModulesPtr modules(p11_kit_modules_load(nullptr, P11_KIT_MODULE_UNMANAGED));
  if (!modules) return;
  for (CK_FUNCTION_LIST** module = modules.get(); *module != nullptr; ++module) {
    const P11KitTextPtr name(p11_kit_module_get_name(*module));
    const P11KitTextPtr file(p11_kit_module_get_filename(*module));
    const std::string label = name ? name.get() : file ? file.get() : "a p11-kit module";
    // Trust-policy modules hold the system's trusted authorities, never a user's keys.
    const std::string trust = option(*module, "trust-policy");
    if (trust == "yes" || trust == "true") {
      list.skipped.push_back({label, trust_policy_module});
    } else if (file) {
      list.modules.emplace_back(file.get());
    }
  }
}

// The same file reached by two paths is one module: loading it twice would initialise it twice.
void drop_repeated(ModuleList& list) {
  std::vector<fs::path> seen;
  std::vector<fs::path> kept;
  for (const auto& module : list.modules) {
    std::error_code error;
    const fs::path identity = fs::weakly_canonical(module, error);
    const fs::path& key = error ? module : identity;
    if (std::find(seen.begin(), seen.end(), key) != seen.end()) continue;
    seen.push_back(key);
    kept.push_back(module);
  }
  list.modules = std::move(kept);
}

}  // namespace

ModuleList modules_to_read(const fs::path& store_root) {
  ModuleList list;
  const OpenedPart root = open_store_root(store_root);
  const OpenedPart configuration =
      open_store_file(root, store_root, "pkcs11.conf", StoreFileKind::setting);
  // Code that someone else could have named is never loaded, nor p11-kit's instead: the user
  // chose their modules, and would not expect others to appear while theirs are refused. The
  // store listing says why (refused_store_parts).
  if (configuration.state() == OpenedPart::State::refused) return list;
  if (configuration.state() != OpenedPart::State::missing) {
    // A configuration beyond this size is no list of modules.
    const auto text =
        configuration.usable() ? read_opened(configuration.descriptor(), 1 << 20) : std::nullopt;
    if (!text) {
      list.skipped.push_back({configuration.path().string(), "cannot be read"});
      return list;
    }
    read_configuration(*text, list);
  }
  if (list.modules.empty()) read_registered_modules(list);
  drop_repeated(list);
  return list;
}

}  // namespace orvane::provider::openssl::pkcs11
