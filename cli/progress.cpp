#include "cli/progress.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace orvane::cli {
namespace {

using Clock = std::chrono::steady_clock;

// Files smaller than this are read before anyone would look.
constexpr std::uint64_t shown_from = 64 * 1024 * 1024;
constexpr auto shown_every = std::chrono::milliseconds(200);

std::string size_text(double bytes) {
  char text[32];
  if (bytes >= 1024.0 * 1024 * 1024) {
    std::snprintf(text, sizeof text, "%.1f GiB", bytes / (1024.0 * 1024 * 1024));
  } else {
    std::snprintf(text, sizeof text, "%.0f MiB", bytes / (1024.0 * 1024));
  }
  return text;
}

class ShownInputFile final : public InputFile {
 public:
  ShownInputFile(std::unique_ptr<InputFile> real, std::ostream& terminal)
      : real_(std::move(real)), terminal_(terminal), started_(Clock::now()) {}
  ~ShownInputFile() override {
    if (shown_) terminal_ << "\r\x1b[K" << std::flush;
  }
  std::uint64_t size() const override { return real_->size(); }
  std::size_t read_at(std::uint64_t offset, std::span<std::uint8_t> out) override {
    const std::size_t got = real_->read_at(offset, out);
    show(offset + got);
    return got;
  }

 private:
  void show(std::uint64_t done) {
    const auto now = Clock::now();
    if (now - last_shown_ < shown_every) return;
    last_shown_ = now;
    const double seconds = std::chrono::duration<double>(now - started_).count();
    const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0;
    const double total = static_cast<double>(size());
    std::string line = "orvane: " + size_text(static_cast<double>(done)) + " of " +
                       size_text(total) + ", " + size_text(rate) + "/s";
    if (rate > 0 && total > static_cast<double>(done)) {
      line +=
          ", " + std::to_string(static_cast<long long>((total - done) / rate + 0.5)) + " s left";
    }
    terminal_ << "\r\x1b[K" << line << std::flush;
    shown_ = true;
  }

  std::unique_ptr<InputFile> real_;
  std::ostream& terminal_;
  Clock::time_point started_;
  Clock::time_point last_shown_{};
  bool shown_ = false;
};

class ShowingFileSystem final : public FileSystem {
 public:
  ShowingFileSystem(std::shared_ptr<FileSystem> real, std::ostream& terminal)
      : real_(std::move(real)), terminal_(terminal) {}

  bool file_exists(const Text& path) override { return real_->file_exists(path); }
  bool folder_exists(const Text& path) override { return real_->folder_exists(path); }
  void create_folder(const Text& path) override { real_->create_folder(path); }
  bool same_file(const Text& first, const Text& second) override {
    return real_->same_file(first, second);
  }
  bool is_alias(const Text& path) override { return real_->is_alias(path); }
  std::unique_ptr<InputFile> open_for_reading(const Text& path) override {
    auto file = real_->open_for_reading(path);
    if (file->size() < shown_from) return file;
    return std::make_unique<ShownInputFile>(std::move(file), terminal_);
  }
  std::unique_ptr<OutputFile> open_for_replacing(const Text& path,
                                                 const OutputAccess& access) override {
    return real_->open_for_replacing(path, access);
  }
  std::unique_ptr<OutputFile> open_for_output_beside(const Text& path,
                                                     const OutputAccess& access) override {
    return real_->open_for_output_beside(path, access);
  }
  void append(const Text& path, ByteView bytes) override { real_->append(path, bytes); }

 private:
  std::shared_ptr<FileSystem> real_;
  std::ostream& terminal_;
};

}  // namespace

std::shared_ptr<FileSystem> with_progress(std::shared_ptr<FileSystem> files,
                                          std::ostream& terminal) {
  return std::make_shared<ShowingFileSystem>(std::move(files), terminal);
}

}  // namespace orvane::cli
