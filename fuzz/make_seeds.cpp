// Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/, and into fuzz/trust/
// the root and intermediate certificates that the committed messages chain to. Messages are
// signed by a test PKI made for the run; no private key is written.
//
//   make_fuzz_seeds <the repository's fuzz folder>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz/signed_content.h"
#include "provider/base64.h"
#include "provider/content_bytes.h"
#include "provider/provider.h"
#include "runtime/code_page.h"
#include "signing/envelope.h"
#include "tests/support/openssl_pki/test_pki.h"

namespace {

namespace fs = std::filesystem;
using namespace orvane;

void write(const fs::path& file, const std::string& bytes) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

std::string as_string(ByteView bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// The bytes a signature file holds for a message text: one per character.
std::string single_bytes(const Text& text) {
  return as_string(encode_text(windows_1252(), text));
}

std::string utf16le(const Text& text) {
  return as_string(provider::content_bytes(text));
}

Text sign(provider::Factory& factory, const Text& serial, const Text& content, bool detached) {
  auto store = factory.CreateStore();
  store->Open(provider::StoreLocation::current_user, u"My");
  const auto certificates = store->Certificates();
  auto signer = factory.CreateSigner();
  for (std::int32_t i = 1; i <= certificates->Count(); ++i) {
    if (certificates->Item(i)->SerialNumber() == serial)
      signer->SetCertificate(certificates->Item(i));
  }
  signer->AddAuthenticatedAttribute(
      {provider::AttributeName::signing_time, {2026, 12, 6, 20, 35, 44, 60}});
  const auto signed_data = factory.CreateSignedData();
  signed_data->SetContent(std::make_shared<MemorySource>(provider::content_bytes(content)));
  return provider::sign_to_text(
      *signed_data, *signer,
      detached ? provider::Attachment::detached : provider::Attachment::attached);
}

// One message in each form that files and callers hand the verifier.
void write_message_forms(const fs::path& corpus, const std::string& name, const Text& message,
                         bool every_form) {
  write(corpus / (name + ".b64"), single_bytes(message));
  if (!every_form) return;
  write(corpus / (name + ".der"), as_string(*provider::decode_base64_text(message)));
  write(corpus / (name + ".b64-utf16"), utf16le(message));
  write(corpus / (name + ".pem"),
        "-----BEGIN PKCS7-----\r\n" + single_bytes(message) + "-----END PKCS7-----\r\n");
}

// The text of an attached file signature: the file's text, its path's extension and length.
Text envelope(const Text& text, const Text& path) {
  return text + signing::envelope_trailer(path);
}

void write_messages(const fs::path& fuzz, const fs::path& work) {
  const auto pki = test_pki::install_test_pki(work / "store");
  fs::create_directories(fuzz / "trust");
  fs::copy_file(pki.root.certificate, fuzz / "trust" / "root.pem",
                fs::copy_options::overwrite_existing);
  fs::copy_file(pki.intermediate.certificate, fuzz / "trust" / "intermediate.pem",
                fs::copy_options::overwrite_existing);

  const auto factory = provider::default_factory(pki.store_root);
  const Text report =
      envelope(u"Quarterly report \u20AC caf\u00E9\r\nline 2 ends in 42", u"C:\\d\\report.pdf");
  const Text detached(fuzzing::detached_content);
  const fs::path verify = fuzz / "corpus" / "verify_message";
  const fs::path stored = fuzz / "corpus" / "stored_message";
  for (const auto& [name, signer, every_form] :
       {std::tuple{"rsa", &pki.user, true}, std::tuple{"ec", &pki.ec_user, true},
        std::tuple{"expired", &pki.expired, false},
        std::tuple{"untrusted", &pki.untrusted_user, false}}) {
    const Text attached = sign(*factory, signer->serial, report, false);
    write_message_forms(verify, std::string(name) + "-attached", attached, every_form);
    write_message_forms(verify, std::string(name) + "-detached",
                        sign(*factory, signer->serial, detached, true), every_form);
    if (every_form) write(stored / (std::string(name) + "-attached.txt"), single_bytes(attached));
  }
  write(stored / "rsa-attached.der",
        as_string(*provider::decode_base64_text(sign(*factory, pki.user.serial, report, false))));
}

void write_plain_seeds(const fs::path& corpus) {
  // Envelopes: byte 0 picks single bytes (even) or byte pairs (odd); byte 1 divides text and path.
  const auto envelope_seed = [](std::uint8_t form, const Text& text, const Text& path) {
    std::string seed{static_cast<char>(form), static_cast<char>(text.size())};
    return seed + (form & 1 ? utf16le(envelope(text, path)) : single_bytes(envelope(text, path)));
  };
  write(corpus / "envelope" / "pdf", envelope_seed(0, u"abc", u"C:\\d\\a.pdf"));
  write(corpus / "envelope" / "no-dot", envelope_seed(0, u"readme text 42", u"C:\\d\\readme"));
  write(corpus / "envelope" / "folder-dot", envelope_seed(0, u"text", u"C:\\a.b\\file"));
  write(corpus / "envelope" / "long-extension",
        envelope_seed(0, u"text ending in 7", u"/data/x.jsonlines"));
  write(corpus / "envelope" / "pairs", envelope_seed(1, u"caf\u00E9 \u4E2D\r\n", u"/d/a.docx"));
  write(corpus / "envelope" / "no-trailer", std::string("\0\0no trailer", 12));

  write(corpus / "stored_message" / "empty", "");
  write(corpus / "stored_message" / "odd", "ABC");
  write(corpus / "stored_message" / "spaces", std::string(" \0AB \0 ", 7));
  write(corpus / "stored_message" / "high-bytes", "\x80\x81\xFF\xFE\x00\xD8");

  const fs::path configuration = corpus / "configuration";
  write(configuration / "both",
        "<SerialNumber>4A6B8C9D0E1F</SerialNumber>\r\n<LogError>/var/log/orvane</LogError>\r\n");
  write(configuration / "one-line",
        "<LogError>/tmp</LogError><SerialNumber>00C3A1B2D4</SerialNumber>");
  write(configuration / "spaced",
        "<SerialNumber> 4A6B \r\n8C9D </SerialNumber>\n<LogError></LogError>");
  write(configuration / "end-first",
        "</SerialNumber><SerialNumber>01</SerialNumber><serialnumber>02</serialnumber>");
  write(configuration / "message-info", "<MessageInfo><LogError>logs</LogError></MessageInfo>");
  write(configuration / "code-page",
        "<LogError>/caf\xE9 \x80</LogError><SerialNumber>\x81</SerialNumber>");

  std::string every_byte;
  for (int b = 0; b < 256; ++b) every_byte.push_back(static_cast<char>(b));
  write(corpus / "code_page" / "every-byte", every_byte);
  write(corpus / "code_page" / "utf8", "caf\xC3\xA9 \xE2\x82\xAC \xE4\xB8\xAD \xF0\x9F\x98\x80");
  write(corpus / "code_page" / "bad-utf8", "\xC0\xAF \xED\xA0\x80 \xF4\x90\x80\x80 \xE2\x82");
  write(corpus / "code_page" / "utf16", utf16le(u"caf\u00E9 \u20AC \u4E2D \xD800"));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <the repository's fuzz folder>\n", argv[0]);
    return 2;
  }
  const fs::path fuzz = argv[1];
  const fs::path work = fs::temp_directory_path() / "orvane-fuzz-seeds";
  fs::remove_all(work);
  write_messages(fuzz, work);
  write_plain_seeds(fuzz / "corpus");
  fs::remove_all(work);
  return 0;
}
