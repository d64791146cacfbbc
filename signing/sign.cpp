#include "signing/sign.h"

namespace orvane::signing {

Sign::Sign() : Sign(native_platform(), provider::default_factory()) {}

Sign::Sign(Platform platform, std::shared_ptr<provider::Factory> provider, SignOptions options)
    : platform_(std::move(platform)),
      provider_(std::move(provider)),
      options_(std::move(options)) {}

Sign::~Sign() = default;

Text Sign::answered(Answer answer) {
  last_answer_ = std::move(answer);
  return last_answer_.text();
}

config::XML& Sign::xml() {
  if (!objXml) objXml = std::make_unique<config::XML>(platform_.files, *platform_.code_page);
  return *objXml;
}

}  // namespace orvane::signing
