#include "cli/demo.h"

#include <fstream>
#include <iterator>
#include <random>

#include "cli/hints.h"
#include "cli/outcome.h"
#include "provider/store_administration.h"
#include "runtime/program.h"
#include "signing/sign.h"

namespace orvane::cli {
namespace {

namespace fs = std::filesystem;
using signing::Answer;
using signing::Outcome;
using signing::Sign;

// A folder of the demonstration's own in the temporary folder ($TMPDIR), removed with all
// it holds when the demonstration ends, however it ends.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      const fs::path candidate =
          fs::temp_directory_path() / ("orvane-demo-" + std::to_string(random()));
      if (fs::create_directory(candidate)) path_ = candidate;
    }
    if (path_.empty()) throw std::runtime_error("cannot create a folder in the temporary folder");
    fs::permissions(path_, fs::perms::owner_all);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

std::string read_bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void write_bytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out) throw std::runtime_error("cannot write " + path_to_utf8(path));
}

// A small PDF-like file with every byte value in it, so that a restored copy that is not
// byte for byte the same shows at once.
std::string sample_document() {
  std::string bytes = "%PDF-1.7\n%\xE2\xE3\xCF\xD3\n1 0 obj << /Length 512 >> stream\n";
  for (int round = 0; round < 2; ++round) {
    for (int value = 0; value < 256; ++value) bytes.push_back(static_cast<char>(value));
  }
  return bytes + "\nendstream endobj\n%%EOF\n";
}

// Runs the calls and tells what happens, paths shown relative to $DEMO.
class Demonstration {
 public:
  Demonstration(const fs::path& folder, std::ostream& out) : folder_(folder), out_(out) {}

  std::string shown(const fs::path& path) const {
    const std::string full = path_to_utf8(path);
    const std::string base = path_to_utf8(folder_);
    return full.starts_with(base) ? "$DEMO" + full.substr(base.size()) : full;
  }
  std::string quoted(const fs::path& path) const {
    // Appended, not joined: GCC 12 at -O3 warns wrongly about a literal + a temporary.
    std::string text = "\"";
    text += shown(path);
    return text + '"';
  }

  // Prints the command line that does the same, then the call and the answer that `found`
  // holds; counts it as expected when its outcome is `expected`.
  void call(const std::string& command, const std::string& method_call, const Answer& found,
            Outcome expected) {
    const bool as_expected = found.outcome == expected;
    out_ << "\n$ " << command << "\n  " << method_call << "\n  = \"" << text_to_utf8(found.text())
         << "\""
         << (as_expected ? "" : "   <- expected \"" + text_to_utf8(Answer{expected}.text()) + "\"")
         << "\n";
    ++calls_;
    if (as_expected) ++expected_;
  }
  void note(const std::string& text) { out_ << "  " << text << "\n"; }
  void blank() { out_ << "\n"; }
  void check(bool condition, const std::string& text) {
    out_ << "  " << text << (condition ? "" : "   <- NOT AS EXPECTED") << "\n";
    ++calls_;
    if (condition) ++expected_;
  }
  bool all_as_expected() const { return calls_ == expected_; }
  int calls() const { return calls_; }
  int expected() const { return expected_; }

 private:
  fs::path folder_;
  std::ostream& out_;
  int calls_ = 0;
  int expected_ = 0;
};

Text path_text(const fs::path& path) {
  return text_from_utf8(path_to_utf8(path));
}

// The files of one run: a sample document, its two signatures and the restored copy.
struct DemoFiles {
  explicit DemoFiles(const fs::path& folder)
      : document(folder / "contract.pdf"),
        message(folder / "contract_Signature.txt"),
        signature(folder / "contract.p7s"),
        restore_as(folder / "restored" / "contract.pdf") {}
  fs::path document, message, signature, restore_as;
};

void sign_both_ways(Sign& sign, const Text& serial, const DemoFiles& files, Demonstration& demo) {
  const std::string s = text_to_utf8(serial);
  Variant input = path_text(files.document);
  Text extension;
  sign.Signfile(input, serial, vb_false, extension, vb_false);
  demo.call("orvane sign " + demo.quoted(files.document) + " --serial " + s,
            "Signfile(" + demo.quoted(files.document) + ", \"" + s + "\", bDetached=False)",
            sign.last_answer(), Outcome::success);
  demo.note("wrote " + demo.shown(files.message) + ": the attached message, Base64 of CMS DER");

  input = path_text(files.document);
  extension = u".p7s";
  sign.Signfile(input, serial, vb_true, extension, vb_false);
  demo.call(
      "orvane sign " + demo.quoted(files.document) + " --serial " + s + " --detached --suffix .p7s",
      "Signfile(" + demo.quoted(files.document) + ", \"" + s + "\", bDetached=True, \".p7s\")",
      sign.last_answer(), Outcome::success);
  demo.note("wrote " + demo.shown(files.signature) + ": the detached signature, beginning " +
            read_bytes(files.signature).substr(0, 24) + "...");
}

void verify_both_ways(Sign& sign, const Text& serial, const DemoFiles& files, Demonstration& demo) {
  const std::string s = text_to_utf8(serial);
  const std::string document = demo.quoted(files.document);
  const std::string signature = demo.quoted(files.signature);
  Variant second = path_text(files.signature);
  sign.Verify(path_text(files.document), second, vb_true, serial);
  demo.call("orvane verify " + document + " " + signature + " --detached --serial " + s,
            "Verify(" + document + ", " + signature + ", True, \"" + s + "\")", sign.last_answer(),
            Outcome::success);

  second = path_text(files.restore_as);
  sign.Verify(path_text(files.message), second, vb_false, serial);
  const std::string message = demo.quoted(files.message);
  const std::string restore_as = demo.quoted(files.restore_as);
  demo.call("orvane verify " + message + " " + restore_as + " --serial " + s,
            "Verify(" + message + ", " + restore_as + ", False, \"" + s + "\")", sign.last_answer(),
            Outcome::success);
  const fs::path restored = text_to_utf8(to_text(second));
  demo.check(read_bytes(restored) == read_bytes(files.document),
             "restored " + demo.shown(restored) + ": byte for byte the same as " +
                 demo.shown(files.document));

  second = path_text(files.signature);
  sign.Verify(path_text(files.document), second, vb_true, u"0BAD");
  demo.call("orvane verify " + document + " " + signature + " --detached --serial 0BAD",
            "Verify(..., \"0BAD\")   (a serial number that is not the signer's)",
            sign.last_answer(), Outcome::not_the_login_certificate);

  std::string changed = read_bytes(files.document);
  changed[20] ^= 0x01;
  write_bytes(files.document, changed);
  second = path_text(files.signature);
  sign.Verify(path_text(files.document), second, vb_true, serial);
  demo.call("orvane verify " + document + " " + signature + " --detached --serial " + s,
            "Verify(...)   (after one bit of " + demo.shown(files.document) + " was flipped)",
            sign.last_answer(), Outcome::not_valid);
}

void sign_and_verify(Sign& sign, const Text& serial, const fs::path& folder, Demonstration& demo) {
  const DemoFiles files(folder);
  write_bytes(files.document, sample_document());
  fs::create_directory(folder / "restored");
  demo.blank();
  demo.note("sample file " + demo.shown(files.document) + ": " +
            std::to_string(fs::file_size(files.document)) + " bytes, every byte value in it");
  sign_both_ways(sign, serial, files, demo);
  verify_both_ways(sign, serial, files, demo);
}

// One more detached signature, timestamped by the authority at `url`, verified, and the
// timestamp that the verification proved.
void sign_with_timestamp(const Platform& platform, const fs::path& folder, const Text& serial,
                         const std::string& url, Demonstration& demo) {
  signing::SignOptions options;
  options.timestamp_url = url;
  options.timestamp_notes = std::make_shared<provider::TimestampNotes>();
  Sign sign(platform, provider::default_factory(folder / "store"), options);
  const DemoFiles files(folder);
  const fs::path signature = folder / "contract_timestamped.p7s";
  const std::string s = text_to_utf8(serial);
  Variant input = path_text(files.document);
  Text extension = u"_timestamped.p7s";
  demo.blank();
  sign.Signfile(input, serial, vb_true, extension, vb_false);
  demo.call("orvane sign " + demo.quoted(files.document) + " --serial " + s +
                " --detached --suffix _timestamped.p7s --timestamp " + url,
            "Signfile(..., bDetached=True, \"_timestamped.p7s\")   (with <TimestampURL>" + url +
                "</TimestampURL>)",
            sign.last_answer(), Outcome::success);
  Variant second = path_text(signature);
  sign.Verify(path_text(files.document), second, vb_true, serial);
  demo.call("orvane verify " + demo.quoted(files.document) + " " + demo.quoted(signature) +
                " --detached --serial " + s,
            "Verify(" + demo.quoted(files.document) + ", " + demo.quoted(signature) + ", True, \"" +
                s + "\")",
            sign.last_answer(), Outcome::success);
  for (const auto& hint : timestamp_hints(*options.timestamp_notes)) demo.note(hint);
}

}  // namespace

int run_demo(const Invocation& invocation, std::ostream& out, std::ostream& err) {
  try {
    fs::path folder;
    bool as_expected = false;
    {
      const ScratchFolder scratch;
      folder = scratch.path();
      out << "Orvane demo: a throwaway store, PKI and sample file in DEMO=" << path_to_utf8(folder)
          << "\n";
      Demonstration demo(folder, out);
      const auto pki = provider::install_demo_pki(folder / "store", folder / "made-by-the-demo");
      if (pki.in_store_folder) out << "\n$ export ORVANE_STORE_DIR=$DEMO/store";
      out << "\n$ orvane store trust " << demo.quoted(pki.root_file) << "\n  trusted "
          << pki.root.summary.subject << ", serial " << pki.root.summary.serial << "\n";
      if (pki.in_store_folder) {
        out << "$ orvane store import " << demo.quoted(pki.signer_file) << "\n  imported "
            << pki.signer.summary.subject << ", serial " << pki.signer.summary.serial
            << ", with its private key\n";
      } else {
        out << "  and put " << pki.signer.summary.subject << ", serial "
            << pki.signer.summary.serial << ", with a new private key into your personal store;\n"
            << "  both go from your certificate stores again when the demo ends\n";
      }

      Platform platform = native_platform();
      // The demonstration reads no machine-wide configuration.
      fs::create_directory(folder / "system");
      platform.system_directory = path_text(folder / "system");
      Sign sign(platform, provider::default_factory(folder / "store"));
      sign_and_verify(sign, text_from_utf8(pki.signer.summary.serial), folder, demo);
      if (invocation.has_timestamp) {
        if (!invocation.timestamp_root.empty() && pki.in_store_folder) {
          provider::trust_roots(folder / "store", invocation.timestamp_root);
        }
        sign_with_timestamp(platform, folder, text_from_utf8(pki.signer.summary.serial),
                            invocation.timestamp, demo);
      }
      as_expected = demo.all_as_expected();
      out << "\n" << demo.expected() << " of " << demo.calls() << " results as expected.\n";
    }
    std::error_code error;
    const bool removed = !fs::exists(folder, error);
    out << (removed ? "Removed " : "Could not remove ") << path_to_utf8(folder) << ".\n"
        << (as_expected ? "A real signature was made and verified: Orvane works here.\n"
                        : "Orvane does not work as it should here.\n");
    return as_expected && removed ? exit_success : exit_failure;
  } catch (const std::exception& error) {
    err << "orvane: the demo could not run: " << error.what() << "\n";
    return exit_failure;
  }
}

}  // namespace orvane::cli
