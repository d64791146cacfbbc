// What the configuration file asks of verifications: the <RevocationCheck> tag.
#include "signing/verification_policy.h"

#include <array>
#include <utility>

#include "config/configuration_file.h"
#include "runtime/failure.h"
#include "signing/sign.h"

namespace orvane::signing {
namespace {

char16_t lower(char16_t unit) {
  return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit - u'A' + u'a') : unit;
}

bool is_space(char16_t unit) {
  return unit == u' ' || unit == u'\t' || unit == u'\r' || unit == u'\n';
}

}  // namespace

std::optional<provider::RevocationCheck> parse_revocation_check(TextView value) {
  while (!value.empty() && is_space(value.front())) value.remove_prefix(1);
  while (!value.empty() && is_space(value.back())) value.remove_suffix(1);
  static constexpr std::array<std::pair<TextView, provider::RevocationCheck>, 4> names = {{
      {u"none", provider::RevocationCheck::none},
      {u"offline", provider::RevocationCheck::offline},
      {u"online", provider::RevocationCheck::online},
      {u"require", provider::RevocationCheck::require},
  }};
  for (const auto& [name, check] : names) {
    if (name.size() != value.size()) continue;
    bool same = true;
    for (std::size_t i = 0; same && i < name.size(); ++i) same = lower(value[i]) == name[i];
    if (same) return check;
  }
  return std::nullopt;
}

provider::Policy Sign::policy(bool logs) {
  provider::Policy policy;
  policy.revocation_notes = options_.revocation_notes;
  if (options_.revocation) {
    policy.revocation = *options_.revocation;
    return policy;
  }
  Text value;
  try {
    value = config::read_configuration_value(
        xml(), *platform_.files, config::configuration_path(platform_),
        config::revocation_check_start_tag, config::revocation_check_end_tag);
  } catch (...) {
    // A configuration that cannot be read asks for nothing: the default holds.
    return policy;
  }
  const auto check = parse_revocation_check(value);
  if (check) {
    policy.revocation = *check;
  } else if (!value.empty() && logs && !unknown_revocation_logged_) {
    unknown_revocation_logged_ = true;
    LogError(u"Orvane.Dll : RevocationCheck : unknown value \"" + value +
             u"\", revocation is checked as for offline");
  }
  return policy;
}

}  // namespace orvane::signing
