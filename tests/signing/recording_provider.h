#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "provider/provider.h"
#include "runtime/failure.h"

namespace orvane::testing {

// What the wrapped objects share: the calls made so far, and the failures to throw instead of
// forwarding a call.
struct CallRecord {
  // Each call by name, with its location, find type or index: "CreateStore", "Open(2)",
  // "Certificates", "Count", "Find(6)", "Item(1)", "SerialNumber", "SetCertificate",
  // "CreateSignedData".
  std::vector<std::string> calls;
  // A call that fails with the failure instead, the first time it is made.
  std::map<std::string, Failure> failures;

  // Records `call`, then throws its failure if one is due.
  void enter(const std::string& call);
  // How many times `call` was made.
  std::size_t count(const std::string& call) const;
};

// A thin wrapper around a real provider that records every call on the store side and fails
// the calls it is told to: failures the real back end cannot produce on demand.
class RecordingFactory final : public provider::Factory {
 public:
  explicit RecordingFactory(std::shared_ptr<provider::Factory> real);

  std::unique_ptr<provider::Store> CreateStore() override;
  std::unique_ptr<provider::Signer> CreateSigner() override;
  std::unique_ptr<provider::SignedData> CreateSignedData(const provider::Policy& policy) override;

  // Makes the first `call` throw `failure` instead of reaching the real provider.
  void fail(const std::string& call, Failure failure);

  const std::vector<std::string>& calls() const { return record_->calls; }
  std::size_t count(const std::string& call) const { return record_->count(call); }

 private:
  std::shared_ptr<provider::Factory> real_;
  std::shared_ptr<CallRecord> record_ = std::make_shared<CallRecord>();
};

}  // namespace orvane::testing
