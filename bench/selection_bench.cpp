// Certificate selection in a personal store of 1, 100 and 1,000 certificates.
#include <benchmark/benchmark.h>

#include <chrono>

#include "bench/bench_files.h"
#include "signing/certificate_selection.h"

namespace orvane::bench {
namespace {

namespace fs = std::filesystem;

void SelectCertificate(benchmark::State& state) {
  const auto count = static_cast<int>(state.range(0));
  const fs::path root = world().folder / ("store-" + std::to_string(count));
  const test_pki::TestPki pki = test_pki::install_test_pki(root);
  // A personal store of exactly `count` certificates, each with its key.
  for (const auto& entry : fs::directory_iterator(root / "My")) fs::remove(entry.path());
  const std::vector<Text> serials = test_pki::add_personal_certificates(pki, count);
  const auto provider = provider::default_factory(root);
  const LocalDateTime now = native_clock()->now();
  // A long-lived host reads its store once; the calls after that are what is measured. The
  // last certificate is wanted, so every candidate is compared before it.
  const auto first = std::chrono::steady_clock::now();
  signing::SelectSignerCertificate(*provider, serials.back(), now);
  state.counters["first_call_ms"] =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - first).count();
  for (auto _ : state) {
    const auto selection = signing::SelectSignerCertificate(*provider, serials.back(), now);
    if (!selection.bound())
      return state.SkipWithError(text_to_utf8(selection.answer.text()).c_str());
  }
}

BENCHMARK(SelectCertificate)->Arg(1)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orvane::bench
