// Signfile, Verify and VerifyCodeWithFile on files of 1 KiB, 1 MiB and 100 MiB, a detached
// signature of a 1.5 GiB file made and verified, and GetServiceProviderDS.
#include <benchmark/benchmark.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "bench/bench_files.h"

namespace orvane::bench {
namespace {

void fail(benchmark::State& state, const Text& answer) {
  state.SkipWithError(text_to_utf8(answer).c_str());
}

void Signfile(benchmark::State& state, FileSize size, bool detached) {
  BenchWorld& w = world();
  const Text file = w.file(size);
  for (auto _ : state) {
    Variant input = file;
    Text extension;
    const Text answer =
        w.sign->Signfile(input, w.pki.user.serial, detached ? vb_true : vb_false, extension);
    if (answer != u"success") return fail(state, answer);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size.bytes));
}

void Verify(benchmark::State& state, FileSize size, bool detached) {
  BenchWorld& w = world();
  const Text file = w.file(size);
  Variant input = file;
  Text extension = detached ? u"_Detached.txt" : u"_Attached.txt";
  const Text made =
      w.sign->Signfile(input, w.pki.user.serial, detached ? vb_true : vb_false, extension);
  if (made != u"success") return fail(state, made);
  const Text message = file.substr(0, file.size() - 4) + extension;
  for (auto _ : state) {
    Variant second = detached ? message : w.path("restored.xyz");
    const Text answer = detached ? w.sign->Verify(file, second, vb_true, w.pki.user.serial)
                                 : w.sign->Verify(message, second, vb_false, w.pki.user.serial);
    if (answer != u"success") return fail(state, answer);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size.bytes));
}

// A detached signature of a file whose text is more than 2 GiB of content bytes, made and
// verified: run alone, under /usr/bin/time -v, for the peak memory of the two together.
void SignAndVerifyDetached(benchmark::State& state, FileSize size) {
  BenchWorld& w = world();
  const Text file = w.file(size);
  for (auto _ : state) {
    Variant input = file;
    Text extension = u"_Large.txt";
    const Text made = w.sign->Signfile(input, w.pki.user.serial, vb_true, extension);
    if (made != u"success") return fail(state, made);
    Variant signature = file.substr(0, file.size() - 4) + extension;
    const Text answer = w.sign->Verify(file, signature, vb_true, w.pki.user.serial);
    if (answer != u"success") return fail(state, answer);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size.bytes));
}

void VerifyCodeWithFileDetached(benchmark::State& state) {
  BenchWorld& w = world();
  const Text file = w.file(file_sizes[0]);
  // A signature over the file's bytes, made in content mode over the code units they form.
  std::ifstream in(text_to_utf8(file), std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), {}};
  Text code_units((bytes.size() + 1) / 2, u'\0');
  std::memcpy(code_units.data(), bytes.data(), bytes.size());
  Variant signature = code_units;
  Text extension;
  const Text made = w.sign->Signfile(signature, w.pki.user.serial, vb_true, extension, vb_true);
  if (made != u"success") return fail(state, made);
  for (auto _ : state) {
    const Text answer = w.sign->VerifyCodeWithFile(file, signature, vb_true);
    if (answer != u"success") return fail(state, answer);
  }
  state.SetItemsProcessed(state.iterations());
}

// A service provider's signature of a short text in one process, as a host calls it again and
// again: the configuration read, the certificate selected, the text signed and the signature
// proved. bench/compare shows it beside the key's own signing rate from `openssl speed`.
void GetServiceProviderDS(benchmark::State& state) {
  BenchWorld& w = world();
  std::ofstream(w.folder / "system" / "KPXServiceControl.INI")
      << "<SerialNumber>" << text_to_utf8(w.pki.user.serial) << "</SerialNumber>";
  for (auto _ : state) {
    const Text answer = w.sign->GetServiceProviderDS(u"<invoice>42</invoice>");
    if (answer == u"-1") return fail(state, answer);
  }
  state.SetItemsProcessed(state.iterations());
}

void register_all() {
  for (const FileSize& size : file_sizes) {
    for (const bool detached : {false, true}) {
      const std::string mode = detached ? "detached" : "attached";
      const auto iterations = size.bytes > 10'000'000 ? 5 : 0;
      auto* sign = benchmark::RegisterBenchmark(
          ("Signfile/" + mode + "/" + size.name).c_str(),
          [size, detached](benchmark::State& state) { Signfile(state, size, detached); });
      auto* verify = benchmark::RegisterBenchmark(
          ("Verify/" + mode + "/" + size.name).c_str(),
          [size, detached](benchmark::State& state) { Verify(state, size, detached); });
      for (auto* b : {sign, verify}) {
        b->Unit(benchmark::kMillisecond)->UseRealTime();
        if (iterations) b->Iterations(iterations);
      }
    }
  }
  constexpr FileSize large{"1.5GiB", std::size_t{3} * 512 * 1024 * 1024};
  benchmark::RegisterBenchmark(
      "SignAndVerify/detached/1.5GiB",
      [large](benchmark::State& state) { SignAndVerifyDetached(state, large); })
      ->Unit(benchmark::kSecond)
      ->UseRealTime()
      ->Iterations(1);
  benchmark::RegisterBenchmark("VerifyCodeWithFile/detached/1KiB", VerifyCodeWithFileDetached)
      ->Unit(benchmark::kMicrosecond)
      ->UseRealTime();
  benchmark::RegisterBenchmark("GetServiceProviderDS/RSA2048", GetServiceProviderDS)
      ->Unit(benchmark::kMicrosecond)
      ->UseRealTime();
}

const bool registered = (register_all(), true);

}  // namespace
}  // namespace orvane::bench
