#include "cli/command_line.h"

#include <CLI/CLI.hpp>

#include "cli/outcome.h"
#include "provider/store_administration.h"
#include "runtime/text.h"
#include "signing/verification_policy.h"

namespace orvane::cli {
namespace {

// A subcommand that passes the global options it does not know to its parent, so that they
// may stand before or after the command name.
CLI::App* add_command(CLI::App& parent, const std::string& name, const std::string& summary,
                      const std::string& details, const std::string& examples) {
  CLI::App* command = parent.add_subcommand(name, summary);
  command->fallthrough();
  command->footer((details.empty() ? "" : details + "\n\n") + "Examples:\n" + examples +
                  "\n\nThe global options --store DIR and --system-dir DIR may also be given "
                  "here.");
  return command;
}

// A positional argument, shown in help by its name alone.
CLI::Option* add_positional(CLI::App* command, const std::string& name, std::string& target,
                            const std::string& description) {
  return command->add_option(name, target, description)->type_name("");
}

// Fails the parse unless exactly one of `given` is true.
void require_one(const std::vector<bool>& given, const std::string& choices) {
  if (std::count(given.begin(), given.end(), true) != 1) {
    throw CLI::ValidationError("give exactly one of " + choices);
  }
}

// A command that signs either the file FILE or the text of --text.
struct FileOrText {
  CLI::Option* file;
  CLI::Option* text;
};

FileOrText add_file_or_text(CLI::App* command, Invocation& invocation,
                            const std::string& text_description) {
  CLI::Option* file = add_positional(command, "FILE", invocation.first, "The file to sign");
  CLI::Option* text =
      command->add_option("--text", invocation.text, text_description)->type_name("TEXT");
  file->excludes(text);
  return {file, text};
}

void take_file_or_text(const FileOrText& input, Invocation& invocation) {
  require_one({input.file->count() > 0, input.text->count() > 0}, "FILE and --text TEXT");
  invocation.has_text = input.text->count() > 0;
}

void add_serial(CLI::App* command, Invocation& invocation, const std::string& what) {
  command->add_option("--serial", invocation.serial, what)->type_name("S");
}

// --revocation MODE, which replaces the configuration's <RevocationCheck> for one call.
void add_revocation(CLI::App* command, Invocation& invocation) {
  command
      ->add_option("--revocation", invocation.revocation,
                   "How revocation is checked: none, offline (CRLs of the message and the "
                   "store), online (and the network) or require (online, and an unknown status "
                   "fails); default: <RevocationCheck> of KPXServiceControl.INI, else offline")
      ->type_name("MODE")
      ->check(CLI::Validator(
          [](const std::string& value) -> std::string {
            if (signing::parse_revocation_check(text_from_utf8(value))) return {};
            return "--revocation takes none, offline, online or require, not " + value;
          },
          "MODE"));
}

void add_sign(CLI::App& app, Invocation& invocation) {
  CLI::App* sign = add_command(
      app, "sign", "Sign a file (the message goes beside it) or a text (the message is printed)",
      "The message file is named after FILE without its extension, followed by SUFFIX.",
      "  orvane sign report.pdf --serial 4A6B8C9D0E1F             # attached: "
      "report_Signature.txt\n"
      "  orvane sign report.pdf --serial 4A6B8C9D0E1F --detached  # signature only\n"
      "  orvane sign --text 'pay 100' --serial 4A6B8C9D0E1F --detached\n"
      "  orvane sign report.pdf --serial 4A6B8C9D0E1F --timestamp http://tsa.example/");
  const FileOrText input = add_file_or_text(
      sign, invocation, "Sign this text instead of a file; prints the signed message");
  add_serial(sign, invocation, "Serial number of the signing certificate (orvane store list)");
  sign->add_flag("--detached", invocation.detached,
                 "Make a detached signature; without it the message carries the content");
  CLI::Option* suffix = sign->add_option("--suffix", invocation.suffix,
                                         "Name the message file after FILE without its "
                                         "extension, followed by SUFFIX (default "
                                         "_Signature.txt)")
                            ->type_name("SUFFIX");
  suffix->excludes(input.text);
  sign->add_option("--timestamp", invocation.timestamp,
                   "Have the signature timestamped by the RFC 3161 authority at URL, instead "
                   "of the configuration's <TimestampURL>")
      ->type_name("URL")
      ->check([](const std::string& value) -> std::string {
        if (value.rfind("http://", 0) == 0 || value.rfind("https://", 0) == 0) return {};
        return "--timestamp takes an http:// or https:// URL, not " + value;
      });
  sign->callback([&invocation, input, suffix] {
    invocation.command = Command::sign;
    take_file_or_text(input, invocation);
    invocation.has_suffix = suffix->count() > 0;
  });
}

void add_verify(CLI::App& app, Invocation& invocation) {
  CLI::App* verify = add_command(
      app, "verify", "Verify a signature and that the signer's certificate has serial number S",
      "Detached: ORIGINAL and its SIGNATURE file. Attached: a MESSAGE file, whose content is\n"
      "restored to RESTORE_NAME without its last four characters, followed by the signed\n"
      "file's extension; the restored name is printed on a second line.",
      "  orvane verify report.pdf report_Signature.txt --detached --serial 4A6B8C9D0E1F\n"
      "  orvane verify report_Signature.txt restored.xyz --serial 4A6B8C9D0E1F   # restored.pdf");
  add_positional(verify, "ORIGINAL_OR_MESSAGE", invocation.first,
                 "Detached: the signed file. Attached: the message file")
      ->required();
  add_positional(verify, "SIGNATURE_OR_RESTORE_NAME", invocation.second,
                 "Detached: the signature file. Attached: the name to restore the content to")
      ->required();
  verify->add_flag("--detached", invocation.detached, "Verify a detached signature");
  add_serial(verify, invocation, "Serial number that the signer's certificate must have");
  add_revocation(verify, invocation);
  verify->callback([&invocation] { invocation.command = Command::verify; });
}

void add_verify_code(CLI::App& app, Invocation& invocation) {
  CLI::App* verify_code =
      add_command(app, "verify-code", "Verify a signature over a file's bytes, whoever signed it",
                  "A detached signature must cover FILE's exact bytes, such as one that\n"
                  "`openssl cms -sign -binary` makes; when it does not, the old component's form\n"
                  "is tried: the bytes with one zero byte more for an odd length, then without\n"
                  "leading and trailing space code units (the byte pair 20 00).\n"
                  "With --attached, FILE is a message whose content is restored beside it\n"
                  "(a_Signature.txt carrying .pdf restores to a_Signature.pdf).",
                  "  orvane verify-code data.bin --signature-file data.sig\n"
                  "  orvane verify-code data.bin --signature \"$(cat data.sig)\"\n"
                  "  orvane verify-code --attached report_Signature.txt");
  add_positional(verify_code, "FILE", invocation.first, "The signed file, or the message file")
      ->required();
  CLI::Option* file = verify_code
                          ->add_option("--signature-file", invocation.signature_file,
                                       "A file whose text is the detached signature")
                          ->type_name("F");
  CLI::Option* text =
      verify_code->add_option("--signature", invocation.signature, "The detached signature text")
          ->type_name("TEXT");
  CLI::Option* attached =
      verify_code->add_flag("--attached", invocation.attached, "FILE is an attached message");
  add_revocation(verify_code, invocation);
  verify_code->callback([&invocation, file, text, attached] {
    invocation.command = Command::verify_code;
    require_one({file->count() > 0, text->count() > 0, attached->count() > 0},
                "--signature-file F, --signature TEXT and --attached");
    invocation.has_signature_file = file->count() > 0;
    invocation.has_signature = text->count() > 0;
  });
}

void add_inspect(CLI::App& app, Invocation& invocation) {
  CLI::App* inspect = add_command(
      app, "inspect",
      "Show what a message says of its content and signers, and whether it verifies",
      "Attached or detached; the content's size and the name `verify-code --attached` restores\n"
      "it to; each signer's certificate, algorithms, signing time and timestamp. An attached\n"
      "message is verified (whoever signed it); a detached one needs its content for that.\n"
      "The exit status is 1 only when MESSAGE is no message that can be read.",
      "  orvane inspect report_Signature.txt\n"
      "  orvane inspect report.p7s --json");
  add_positional(inspect, "MESSAGE", invocation.first, "The message or signature file")->required();
  inspect->add_flag("--json", invocation.json, "Print one JSON object");
  add_revocation(inspect, invocation);
  inspect->callback([&invocation] { invocation.command = Command::inspect; });
}

void add_service_provider(CLI::App& app, Invocation& invocation) {
  CLI::App* sp_sign = add_command(
      app, "sp-sign", "Sign a file or a text, detached, with the configured certificate",
      "The certificate is the one that KPXServiceControl.INI in the system directory names\n"
      "under <SerialNumber>. Prints the signature, or -1; failures go to the error log.",
      "  orvane sp-sign invoice.xml\n"
      "  orvane sp-sign --text '<invoice>...</invoice>' --system-dir /etc/orvane");
  const FileOrText input = add_file_or_text(sp_sign, invocation, "Sign this text instead");
  sp_sign->callback([&invocation, input] {
    invocation.command = Command::sp_sign;
    take_file_or_text(input, invocation);
  });

  add_command(app, "serial", "Print the configured serial number",
              "The value of <SerialNumber> in KPXServiceControl.INI in the system directory: an\n"
              "empty line when none is configured or the file is missing or cannot be read;\n"
              "-1 only when reading it fails otherwise (see the error log).",
              "  orvane serial --system-dir /etc/orvane")
      ->callback([&invocation] { invocation.command = Command::serial; });

  CLI::App* log = add_command(
      app, "log", "Append TEXT to the daily error log",
      "The log is KPX_Error_Log_ddMMyyyy.txt in the folder that KPXServiceControl.INI names\n"
      "under <LogError>. Prints nothing; a log that cannot be written is no failure.",
      "  orvane log 'nightly signing run failed'");
  add_positional(log, "TEXT", invocation.first, "The entry")->required();
  log->callback([&invocation] { invocation.command = Command::log; });
}

void add_store(CLI::App& app, Invocation& invocation) {
  CLI::App* store = add_command(
      app, "store", "List the store, import keys, trust roots",
      provider::has_store_folders()
          ? "The store folder holds My/ (yours, with keys), Root/ (trusted roots), CA/ and\n"
            "CRL/ (revocation lists)."
          : "The certificates are your Windows certificate stores: Personal (My) for yours,\n"
            "with keys, and Trusted Root Certification Authorities (Root).",
      "  orvane store list\n  orvane store import alice.p12 "
      "--password-file pw.txt\n  orvane store trust root.pem");
  store->require_subcommand(1);
  add_command(*store, "list", "List the certificates that can sign, and skipped files",
              "Every certificate of the personal and smart-card stores, with the serial number\n"
              "that --serial takes, its key and its trust; then the store files passed over.",
              "  orvane store list\n  orvane store list --store ./test-store")
      ->callback([&invocation] { invocation.command = Command::store_list; });

  CLI::App* import = add_command(
      *store, "import", "Put a PKCS #12 file, or PEM certificates and keys, into My/",
      provider::has_store_folders()
          ? "Keys are stored unencrypted, readable by you only; other certificates of a file "
            "with\nkeys go to CA/. Prints the serial numbers imported into My/."
          : "FILE is a PKCS #12 (.pfx) file; each key goes into a key container of its own,\n"
            "the certificates into your personal store (My). Prints the serial numbers "
            "imported.",
      "  orvane store import alice.p12 --password-file pw.txt\n"
      "  orvane store import alice-cert-and-key.pem");
  add_positional(import, "FILE", invocation.first, "The file to import")->required();
  CLI::Option* password = import
                              ->add_option("--password-file", invocation.password_file,
                                           "A file whose first line is the password of FILE")
                              ->type_name("F");
  import->callback([&invocation, password] {
    invocation.command = Command::store_import;
  invocation.has_password_file = password->count() > 0;
});

CLI::App* trust = add_command(
    *store, "trust", "Trust a root certificate (puts it into Root/)",
    provider::has_store_folders()
        ? "Signatures whose certificate chain ends in a trusted root verify."
        : "Signatures whose certificate chain ends in a trusted root verify. The root goes into\n"
          "your Trusted Root Certification Authorities store; Windows asks you to confirm that.",
    "  orvane store trust company-root.pem");
add_positional(trust, "CERT", invocation.first, "The root certificate, PEM or DER")->required();
trust->callback([&invocation] { invocation.command = Command::store_trust; });

CLI::App* add_crl = add_command(
    *store, "add-crl", "Add a certificate revocation list that verifications consult",
    provider::has_store_folders()
        ? "FILE (PEM or DER) goes into CRL/; it must be signed by a certificate of Root/ or CA/."
        : "FILE (PEM or DER) goes into your Intermediate Certification Authorities store; it\n"
          "must be signed by a certificate of your Root or CA store.",
    "  orvane store add-crl company-ca.crl");
add_positional(add_crl, "FILE", invocation.first, "The CRL, PEM or DER")->required();
add_crl->callback([&invocation] { invocation.command = Command::store_add_crl; });
}  // namespace

// The usage line of the command that was being parsed, and where to read more.
std::string usage_of(CLI::App& app) {
  std::string command = app.get_name();
  const CLI::App* innermost = &app;
  while (!innermost->get_subcommands().empty()) {
    innermost = innermost->get_subcommands().front();
    command += " " + innermost->get_name();
  }
  const std::string help = app.help();
  const auto start = help.find("Usage:");
  const std::string usage =
      start == std::string::npos ? "" : help.substr(start, help.find('\n', start) - start);
  return usage + "\nRun `" + command + " --help` for the options and examples.";
}

// Every command, writing what it is given into `invocation`.
void add_commands(CLI::App& app, Invocation& invocation) {
  add_sign(app, invocation);
  add_verify(app, invocation);
  add_verify_code(app, invocation);
  add_inspect(app, invocation);
  add_service_provider(app, invocation);
  add_store(app, invocation);
  CLI::App* demo = add_command(
      app, "demo", "Sign and verify for real in a throwaway store and PKI",
      "Shows each call and its result, then removes everything it made. With --timestamp, one "
      "more signature is timestamped by the RFC 3161 authority at URL, whose root is "
      "--timestamp-root.",
      "  orvane demo\n  orvane demo --timestamp http://127.0.0.1:8318/ --timestamp-root tsa.pem");
  CLI::Option* timestamp = demo->add_option("--timestamp", invocation.timestamp,
                                            "Also show a signature timestamped by URL")
                               ->type_name("URL");
  demo->add_option("--timestamp-root", invocation.timestamp_root,
                   "The time-stamping authority's root certificate (PEM), trusted in the demo's "
                   "store")
      ->type_name("FILE")
      ->needs(timestamp);
  demo->callback([&invocation] { invocation.command = Command::demo; });
}

// What was wrong with the command line.
std::string parse_error_text(CLI::App& app, const CLI::ParseError& error) {
  // A mistyped command name otherwise reads as a missing one.
  CLI::App* innermost = &app;
  while (!innermost->get_subcommands().empty()) innermost = innermost->get_subcommands().front();
  const bool has_commands = !innermost->get_subcommands([](CLI::App*) { return true; }).empty();
  auto unknown = innermost->remaining();
  // Arguments that a command did not take fall through to its parent.
  if (unknown.empty()) unknown = app.remaining();
  return has_commands && !unknown.empty() ? unknown.front() + " is not a command" : error.what();
}

}  // namespace orvane::cli

std::variant<Invocation, int> parse_command_line(int argc, const char* const* argv,
                                                 std::ostream& out, std::ostream& err) {
  Invocation invocation;
  CLI::App app(
      "Orvane signs files and texts as CMS / PKCS #7 signed-data messages with the certificate\n"
      "of a serial number, and verifies them. Results print exactly as the component answers.\n"
      "Exit status: 0 success, 1 a failure answer, 2 a usage error.",
      "orvane");
  app.require_subcommand(1);
  app.footer(
      "Examples:\n"
      "  orvane demo\n"
      "  orvane store import alice.p12 --password-file pw.txt\n"
      "  orvane sign report.pdf --serial 4A6B8C9D0E1F\n"
      "Run `orvane COMMAND --help` for a command's options.");
  CLI::Option* store = app.add_option("--store", invocation.store,
                                      provider::has_store_folders()
                                          ? "Store folder (default: $ORVANE_STORE_DIR, else "
                                            "~/.local/share/orvane/store)"
                                          : "Not used here: the certificates are your Windows "
                                            "certificate stores")
                           ->type_name("DIR");
  CLI::Option* system_dir = app.add_option("--system-dir", invocation.system_dir,
                                           "Folder of KPXServiceControl.INI (default: the "
                                           "build's system directory)")
                                ->type_name("DIR");
  add_commands(app, invocation);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    out << app.help();
    return exit_success;
  } catch (const CLI::CallForAllHelp&) {
    out << app.help("", CLI::AppFormatMode::All);
    return exit_success;
  } catch (const CLI::ParseError& error) {
    err << "orvane: " << parse_error_text(app, error) << "\n" << usage_of(app) << "\n";
    return exit_usage;
  }
  invocation.has_store = store->count() > 0;
  if (invocation.has_store && !provider::has_store_folders()) {
    err << "orvane: --store names a store folder, and there are none here: the certificates "
           "are your Windows certificate stores (certmgr.msc); import with `orvane store "
           "import FILE.pfx`\n"
        << usage_of(app) << "\n";
    return exit_usage;
  }
  invocation.has_system_dir = system_dir->count() > 0;
  invocation.has_revocation = !invocation.revocation.empty();
  invocation.has_timestamp = !invocation.timestamp.empty();
  return invocation;
}

}  // namespace orvane::cli
