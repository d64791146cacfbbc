// What the configuration file asks of signing and verification: the <RevocationCheck>,
// <TimestampURL> and <TimestampPolicy> tags.
#include "signing/verification_policy.h"

#include <array>
#include <utility>

#include "config/configuration_file.h"
#include "provider/utc_time.h"
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
  policy.timestamp_notes = options_.timestamp_notes;
  policy.now = provider::utc_seconds(platform_.clock->now());
  const auto configured = [this](TextView start_tag, TextView end_tag) {
    return config::read_configuration_value(
        xml(), *platform_.files, config::configuration_path(platform_), start_tag, end_tag);
  };
  Text revocation;
  try {
    revocation = configured(config::revocation_check_start_tag, config::revocation_check_end_tag);
    policy.timestamp_url = text_to_utf8(
        trim_spaces(configured(config::timestamp_url_start_tag, config::timestamp_url_end_tag)));
    policy.timestamp_policy = text_to_utf8(trim_spaces(
        configured(config::timestamp_policy_start_tag, config::timestamp_policy_end_tag)));
  } catch (...) {
    // A configuration that cannot be read asks for nothing: the defaults hold.
  }
  if (options_.timestamp_url) policy.timestamp_url = *options_.timestamp_url;
  if (options_.revocation) {
    policy.revocation = *options_.revocation;
    return policy;
  }
  const auto check = parse_revocation_check(revocation);
  if (check) {
    policy.revocation = *check;
  } else if (!revocation.empty() && logs && !unknown_revocation_logged_) {
    unknown_revocation_logged_ = true;
    LogError(u"Orvane.Dll : RevocationCheck : unknown value \"" + revocation +
             u"\", revocation is checked as for offline");
  }
  return policy;
}

}  // namespace orvane::signing
