#pragma once

// The object identifiers that more than one reader or writer of messages names, dotted.

#include <string_view>

namespace orvane::provider::oid {

inline constexpr std::string_view signed_data = "1.2.840.113549.1.7.2";
inline constexpr std::string_view signing_time = "1.2.840.113549.1.9.5";
inline constexpr std::string_view tst_info = "1.2.840.113549.1.9.16.1.4";
inline constexpr std::string_view signing_certificate = "1.2.840.113549.1.9.16.2.12";
inline constexpr std::string_view timestamp_token = "1.2.840.113549.1.9.16.2.14";
inline constexpr std::string_view signing_certificate_v2 = "1.2.840.113549.1.9.16.2.47";
inline constexpr std::string_view sha1 = "1.3.14.3.2.26";
inline constexpr std::string_view sha256 = "2.16.840.1.101.3.4.2.1";

}  // namespace orvane::provider::oid
