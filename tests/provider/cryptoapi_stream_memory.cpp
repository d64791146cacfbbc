// Measures the memory that the CryptoAPI back end takes to sign and verify a file of a given
// size, detached and attached, with the test PKI in the user's stores (run under Wine: it
// trusts the PKI's root). Not a test: it prints the process's peak working set after each step.
//   stream_memory PKI_FOLDER WORK_FOLDER MIB
// The figures must stay flat (tens of MiB) whatever MIB is.

#include <windows.h>
// After windows.h:
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "provider/crypt_error.h"
#include "provider/cryptoapi/factory.h"
#include "runtime/failure.h"
#include "runtime/platform.h"
#include "runtime/windows/wide_text.h"
#include "tests/support/windows_pki/windows_pki_import.h"

namespace orvane {
namespace {

using provider::Attachment;

double peak_mib() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
  return static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

Text text_of(const std::filesystem::path& path) {
  const std::wstring wide = path.wstring();
  return windows::text_from_wide(wide.c_str(), wide.size());
}

// A file read from its start at every opening.
class FileSource final : public ByteSource {
 public:
  FileSource(FileSystem& files, const Text& path) : file_(files.open_for_reading(path)) {}
  std::uint64_t size() const override { return file_->size(); }
  std::unique_ptr<ByteReader> open() const override { return std::make_unique<Reader>(*file_); }

 private:
  class Reader final : public ByteReader {
   public:
    explicit Reader(InputFile& file) : file_(file) {}
    std::size_t read(std::span<std::uint8_t> out) override {
      const std::size_t size = file_.read_at(offset_, out);
      offset_ += size;
      return size;
    }

   private:
    InputFile& file_;
    std::uint64_t offset_ = 0;
  };
  std::unique_ptr<InputFile> file_;
};

// A message file of Base64 text: each byte a code unit.
class FileMessage final : public provider::MessageText {
 public:
  FileMessage(FileSystem& files, const Text& path) : source_(files, path) {}
  std::uint64_t size() const override { return source_.size(); }
  std::unique_ptr<UnitReader> units() const override {
    return std::make_unique<Units>(source_.open());
  }
  std::unique_ptr<ByteReader> unit_bytes() const override {
    return std::make_unique<UnitBytes>(source_.open());
  }

 private:
  class Units final : public UnitReader {
   public:
    explicit Units(std::unique_ptr<ByteReader> bytes) : bytes_(std::move(bytes)) {}
    std::size_t read(std::span<char16_t> out) override {
      block_.resize(out.size());
      const std::size_t size = bytes_->read(block_);
      std::copy_n(block_.begin(), size, out.begin());
      return size;
    }

   private:
    std::unique_ptr<ByteReader> bytes_;
    Bytes block_;
  };
  class UnitBytes final : public ByteReader {
   public:
    explicit UnitBytes(std::unique_ptr<ByteReader> bytes) : bytes_(std::move(bytes)) {}
    std::size_t read(std::span<std::uint8_t> out) override {
      block_.resize(out.size() / 2);
      const std::size_t size = bytes_->read(block_);
      for (std::size_t i = 0; i < size; ++i) {
        out[2 * i] = block_[i];
        out[2 * i + 1] = 0;
      }
      return 2 * size;
    }

   private:
    std::unique_ptr<ByteReader> bytes_;
    Bytes block_;
  };
  FileSource source_;
};

// Counts what an attached message carried, and keeps none of it.
class CountedContent final : public provider::ContentSink {
 public:
  void restart() override { size = 0; }
  void write(ByteView bytes) override { size += bytes.size(); }
  std::uint64_t size = 0;
};

void write_content(FileSystem& files, const Text& path, std::uint64_t mib) {
  const auto out = files.open_for_replacing(path, {});
  Bytes block(1024 * 1024);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>('a' + i % 26);
  for (std::uint64_t i = 0; i < mib; ++i) out->write(block);
  out->commit();
}

void run(const std::filesystem::path& pki, const std::filesystem::path& work, std::uint64_t mib) {
  testing::UserStoreImport root(L"Root");
  root.add_certificate(pki / "root.der");
  testing::UserStoreImport personal;
  personal.import_pfx(pki / "signer.pfx", testing::read_pfx_password(pki));
  const auto files = native_file_system();
  const Text content_path = text_of(work / "content.bin");
  write_content(*files, content_path, mib);
  std::printf("start: peak working set %.1f MiB\n", peak_mib());

  provider::cryptoapi::CryptoapiFactory factory;
  auto store = factory.CreateStore();
  store->Open(provider::StoreLocation::current_user, u"My");
  auto signer = factory.CreateSigner();
  signer->SetCertificate(store->Certificates()
                             ->Find(provider::FindType::extended_property,
                                    provider::FindCriterion(provider::key_provider_info_property))
                             ->Item(1));
  const auto content = std::make_shared<FileSource>(*files, content_path);
  for (const Attachment attachment : {Attachment::detached, Attachment::attached}) {
    const char* form = attachment == Attachment::detached ? "detached" : "attached";
    const Text message_path = text_of(work / (std::string(form) + ".b64"));
    auto signing = factory.CreateSignedData();
    signing->SetContent(content);
    {
      const auto message = files->open_for_replacing(message_path, {});
      signing->Sign(*signer, attachment, *message);
      message->commit();
    }
    std::printf("%s sign: peak working set %.1f MiB\n", form, peak_mib());
    auto verifying = factory.CreateSignedData();
    verifying->SetContent(content);
    CountedContent carried;
    verifying->Verify(FileMessage(*files, message_path), attachment, &carried);
    std::printf("%s verify: peak working set %.1f MiB (%llu bytes carried)\n", form, peak_mib(),
                static_cast<unsigned long long>(carried.size));
  }
}

}  // namespace
}  // namespace orvane

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: stream_memory PKI_FOLDER WORK_FOLDER MIB\n");
    return 2;
  }
  try {
    orvane::run(argv[1], argv[2], std::strtoull(argv[3], nullptr, 10));
    return 0;
  } catch (const orvane::Failure& failure) {
    std::fprintf(stderr, "failed: %s\n", failure.what());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "failed: %s\n", error.what());
  }
  return 1;
}
