#include "tests/signing/recording_provider.h"

#include <algorithm>

namespace orvane::testing {
namespace {

using namespace provider;

class RecordingCertificate final : public Certificate {
 public:
  RecordingCertificate(std::shared_ptr<const Certificate> wrapped,
                       std::shared_ptr<CallRecord> record)
      : real(std::move(wrapped)), record_(std::move(record)) {}

  Text SerialNumber() const override {
    record_->enter("SerialNumber");
    return real->SerialNumber();
  }

  const std::shared_ptr<const Certificate> real;

 private:
  std::shared_ptr<CallRecord> record_;
};

class RecordingCollection final : public CertificateCollection {
 public:
  RecordingCollection(std::unique_ptr<CertificateCollection> real,
                      std::shared_ptr<CallRecord> record)
      : real_(std::move(real)), record_(std::move(record)) {}

  std::int32_t Count() const override {
    record_->enter("Count");
    return real_->Count();
  }

  std::shared_ptr<const Certificate> Item(std::int32_t index) const override {
    record_->enter("Item(" + std::to_string(index) + ")");
    return std::make_shared<RecordingCertificate>(real_->Item(index), record_);
  }

  std::unique_ptr<CertificateCollection> Find(FindType type,
                                              const FindCriterion& criterion) const override {
    record_->enter("Find(" + std::to_string(static_cast<int>(type)) + ")");
    return std::make_unique<RecordingCollection>(real_->Find(type, criterion), record_);
  }

 private:
  std::unique_ptr<CertificateCollection> real_;
  std::shared_ptr<CallRecord> record_;
};

class RecordingStore final : public Store {
 public:
  RecordingStore(std::unique_ptr<Store> real, std::shared_ptr<CallRecord> record)
      : real_(std::move(real)), record_(std::move(record)) {}

  void Open(StoreLocation location, const Text& name) override {
    record_->enter("Open(" + std::to_string(static_cast<int>(location)) + ")");
    real_->Open(location, name);
  }

  std::unique_ptr<CertificateCollection> Certificates() const override {
    record_->enter("Certificates");
    return std::make_unique<RecordingCollection>(real_->Certificates(), record_);
  }

 private:
  std::unique_ptr<Store> real_;
  std::shared_ptr<CallRecord> record_;
};

class RecordingSigner final : public Signer {
 public:
  RecordingSigner(std::unique_ptr<Signer> real, std::shared_ptr<CallRecord> record)
      : real_(std::move(real)), record_(std::move(record)) {}

  void SetCertificate(std::shared_ptr<const Certificate> certificate) override {
    record_->enter("SetCertificate");
    const auto* recorded = dynamic_cast<const RecordingCertificate*>(certificate.get());
    real_->SetCertificate(recorded ? recorded->real : certificate);
  }

  void AddAuthenticatedAttribute(const Attribute& attribute) override {
    real_->AddAuthenticatedAttribute(attribute);
  }

  std::shared_ptr<const Certificate> GetCertificate() const override {
    return real_->GetCertificate();
  }

 private:
  std::unique_ptr<Signer> real_;
  std::shared_ptr<CallRecord> record_;
};

}  // namespace

void CallRecord::enter(const std::string& call) {
  calls.push_back(call);
  if (const auto due = failures.find(call); due != failures.end()) {
    const Failure failure = due->second;
    failures.erase(due);
    throw failure;
  }
}

std::size_t CallRecord::count(const std::string& call) const {
  return static_cast<std::size_t>(std::count(calls.begin(), calls.end(), call));
}

RecordingFactory::RecordingFactory(std::shared_ptr<Factory> real) : real_(std::move(real)) {}

std::unique_ptr<Store> RecordingFactory::CreateStore() {
  record_->enter("CreateStore");
  return std::make_unique<RecordingStore>(real_->CreateStore(), record_);
}

std::unique_ptr<Signer> RecordingFactory::CreateSigner() {
  return std::make_unique<RecordingSigner>(real_->CreateSigner(), record_);
}

std::unique_ptr<SignedData> RecordingFactory::CreateSignedData(const Policy& policy) {
  record_->enter("CreateSignedData");
  return real_->CreateSignedData(policy);
}

void RecordingFactory::fail(const std::string& call, Failure failure) {
  record_->failures.insert_or_assign(call, std::move(failure));
}

}  // namespace orvane::testing
