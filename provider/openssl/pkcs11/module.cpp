#include "provider/openssl/pkcs11/module.h"

#include <openssl/err.h>

#include <map>

namespace orvane::provider::openssl::pkcs11 {
namespace {

// The modules alive now. PKCS #11 modules are process-wide by nature; this only lets
// every reader share the one that is loaded.
std::mutex registry_guard;
std::map<std::filesystem::path, std::weak_ptr<Pkcs11Module>>& registry() {
  static std::map<std::filesystem::path, std::weak_ptr<Pkcs11Module>> modules;
  return modules;
}

}  // namespace

std::shared_ptr<Pkcs11Module> Pkcs11Module::load(const std::filesystem::path& path) {
  // A bare name is for the loader's search path; a path that leads nowhere is told here, before
  // the loader prints its complaint on the host's standard error.
  std::error_code error;
  if (path.has_parent_path() && !std::filesystem::exists(path, error)) {
    throw ModuleError("no such file");
  }
  const std::lock_guard lock(registry_guard);
  auto& modules = registry();
  if (auto alive = modules[path].lock()) return alive;
  // Unloaded under the same lock, so that a module is never loaded while it is finalised.
  std::shared_ptr<Pkcs11Module> module(new Pkcs11Module(path), [](Pkcs11Module* unused) {
    const std::lock_guard unloading(registry_guard);
    delete unused;
  });
  modules[path] = module;
  return module;
}

Pkcs11Module::Pkcs11Module(std::filesystem::path path) : path_(std::move(path)) {
  ui_method_.reset(UI_create_method("Orvane smart-card PIN"));
  if (!ui_method_ || UI_method_set_reader(ui_method_.get(), &Pkcs11Module::answer_prompt) != 0) {
    throw ModuleError("cannot make its PIN reader");
  }
  context_.reset(PKCS11_CTX_new());
  // Before anything else: libp11's own default would prompt on the terminal.
  if (!context_ || PKCS11_set_ui_method(context_.get(), ui_method_.get(), this) != 0) {
    throw ModuleError("cannot make a PKCS #11 context");
  }
  if (PKCS11_CTX_load(context_.get(), path_.c_str()) != 0) {
    ERR_clear_error();
    throw ModuleError("cannot be loaded or initialised");
  }
  context_.get_deleter().loaded = true;
}

class Pkcs11Module::PinLoan {
 public:
  PinLoan(Pkcs11Module& module, const Pin& pin) : module_(module), lock_(module.signing_) {
    module_.lent_pin_ = &pin;
  }
  ~PinLoan() { module_.lent_pin_ = nullptr; }
  PinLoan(const PinLoan&) = delete;
  PinLoan& operator=(const PinLoan&) = delete;

 private:
  Pkcs11Module& module_;
  std::unique_lock<std::mutex> lock_;
};

std::shared_ptr<void> Pkcs11Module::lend_pin(const Pin& pin) {
  return std::make_shared<PinLoan>(*this, pin);
}

int Pkcs11Module::answer_prompt(UI* ui, UI_STRING* prompt) {
  const auto type = UI_get_string_type(prompt);
  if (type != UIT_PROMPT && type != UIT_VERIFY) return 1;  // messages: nothing to show
  const auto* module = static_cast<const Pkcs11Module*>(UI_get0_user_data(ui));
  if (module == nullptr || module->lent_pin_ == nullptr) return -1;
  return UI_set_result(ui, prompt, module->lent_pin_->c_str()) == 0 ? 1 : -1;
}

}  // namespace orvane::provider::openssl::pkcs11
