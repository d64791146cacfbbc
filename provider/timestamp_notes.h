#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvane::provider {

// A timestamp that a verification proved.
struct ProvedTimestamp {
  std::int64_t time = 0;  // seconds since 1970 UTC
  std::string authority;  // the token signer's subject
  std::string policy;     // dotted OID
};

// What verifications found out about timestamps, for the people who read it (the orvane
// command says it on standard error). Used by one thread at a time.
class TimestampNotes {
 public:
  void add(ProvedTimestamp timestamp) { timestamps_.push_back(std::move(timestamp)); }
  const std::vector<ProvedTimestamp>& timestamps() const { return timestamps_; }
  void clear() { timestamps_.clear(); }

 private:
  std::vector<ProvedTimestamp> timestamps_;
};

}  // namespace orvane::provider
