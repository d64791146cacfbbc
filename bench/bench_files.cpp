#include "bench/bench_files.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

namespace orvane::bench {
namespace {

namespace fs = std::filesystem;

fs::path make_folder() {
  std::string pattern = (fs::temp_directory_path() / "orvane-bench-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) std::abort();
  return pattern;
}

struct Owner {
  ~Owner() {
    if (!world) return;
    world->sign.reset();
    std::error_code ignored;
    fs::remove_all(world->folder, ignored);
  }
  std::unique_ptr<BenchWorld> world;
};

Owner owner;

}  // namespace

BenchWorld& world() {
  if (!owner.world) {
    auto made = std::make_unique<BenchWorld>();
    made->folder = make_folder();
    made->pki = test_pki::install_test_pki(made->folder / "store");
    fs::create_directory(made->folder / "system");
    Platform platform = native_platform();
    platform.system_directory = text_from_utf8((made->folder / "system").string());
    made->sign = std::make_unique<signing::Sign>(platform,
                                                 provider::default_factory(made->folder / "store"));
    owner.world = std::move(made);
  }
  return *owner.world;
}

Text BenchWorld::path(const std::string& name) const {
  return text_from_utf8((folder / name).string());
}

Text BenchWorld::file(const FileSize& size) {
  const std::string name = std::string("content-") + size.name + ".txt";
  if (!fs::exists(folder / name)) {
    const std::string line = "Orvane benchmark line: caf\xE9 \x80 0123456789 abcdefghijklmnop\r\n";
    // Written a block of whole lines at a time: the largest file is not held in memory, which
    // would count in the peak that the benchmark of that file measures.
    std::string block;
    while (block.size() + line.size() <= 1024 * 1024) block += line;
    std::ofstream out(folder / name, std::ios::binary);
    for (std::size_t left = size.bytes; left > 0;) {
      const std::size_t part = std::min(left, block.size());
      out.write(block.data(), static_cast<std::streamsize>(part));
      left -= part;
    }
  }
  return path(name);
}

}  // namespace orvane::bench
