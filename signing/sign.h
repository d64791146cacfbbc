#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "config/xml.h"
#include "provider/provider.h"
#include "runtime/platform.h"
#include "runtime/text.h"
#include "runtime/variant.h"
#include "signing/answer.h"

namespace orvane::signing {

// What a restoration does with an existing file of the restored name (restored_content.h).
enum class ExistingFile;

// The `Sign` class: signs files and texts as CMS signed-data messages with a certificate named
// by its serial number, and verifies such messages. Every method answers with text and never
// throws; by-reference parameters are in/out, as a COM caller sees them.
//
// An object is used by one thread at a time. Between calls it keeps only its XML reader and
// the error-log path.
// What a host may set on a Sign object beyond its platform and provider; the COM server sets
// nothing.
struct SignOptions {
  // Replaces the configuration file's <RevocationCheck> for every verification of the object.
  std::optional<provider::RevocationCheck> revocation;
  // Receives what each verification found out about revocation.
  std::shared_ptr<provider::RevocationNotes> revocation_notes;
  // Replaces the configuration file's <TimestampURL> for every signature of the object; empty
  // for none.
  std::optional<std::string> timestamp_url;
  // Receives the timestamps that each verification proved.
  std::shared_ptr<provider::TimestampNotes> timestamp_notes;
};

class Sign {
 public:
  // An object on the machine's own platform, with the provider back end built into the library
  // over the default store root.
  Sign();
  // An object on `platform` whose cryptography comes from `provider`.
  Sign(Platform platform, std::shared_ptr<provider::Factory> provider, SignOptions options = {});
  ~Sign();
  Sign(const Sign&) = delete;
  Sign& operator=(const Sign&) = delete;

  // Signs with the certificate of serial number `sSerialNo` from the personal store, else the
  // smart-card store; it must hold a private key and be valid now. File mode: signs the text
  // of the file `inputfilename` and writes the message beside it, named after the path without
  // its extension followed by `sExtension` ("_Signature.txt" when empty, and handed back).
  // Content mode (`IsContent` True): signs the string `inputfilename` and hands the message
  // back through it. `bDetached` True makes a detached signature, verified at once; otherwise
  // the message carries the content (in file mode with the path's extension appended). Answers
  // "success" or a message; failures after the certificate is found are logged.
  Text Signfile(Variant& inputfilename, const Text& sSerialNo, VariantBool bDetached,
                Text& sExtension, VariantBool IsContent = vb_false);
  // Signfile with `sExtension` "", in file mode.
  Text Signfile(Variant& inputfilename, const Text& sSerialNo = {},
                VariantBool bDetached = vb_false);

  // Verifies a signature and proves that the signer is the user who logged in: the first
  // signer's certificate must have the serial number `sSerialNo`. With `bDetached` exactly
  // True, `OriginalFileName` is the signed text file and `DigitalSignedFileName` its signature
  // file; otherwise `OriginalFileName` is an attached message whose content is restored to a
  // file named after `DigitalSignedFileName`, which then holds that name. Answers "success" or
  // a message naming the stage that failed.
  Text Verify(const Variant& OriginalFileName, Variant& DigitalSignedFileName,
              VariantBool bDetached, const Text& sSerialNo = {});

  // Verifies a message against the bytes of a file, whoever signed it. With `bDetached`
  // exactly True, `sSignedContents` is a detached signature over the file's bytes; otherwise
  // the file is an attached message whose content is restored beside it. Answers "success" or a
  // message naming the stage that failed.
  Text VerifyCodeWithFile(const Text& OriginalFileName, const Variant& sSignedContents,
                          VariantBool bDetached);

  // The detached signature of the whole text of the file `FilePath` with the configured
  // certificate, or "-1".
  Text ServiceProviderDS(const Variant& FilePath);

  // The detached signature of `sData` with the configured certificate, or "-1".
  Text GetServiceProviderDS(const Text& sData);

  // The serial number that the configuration file names under "<SerialNumber>", character for
  // character; "" when the file or the value is missing; "-1", logged, when reading fails.
  Text GetSerialNO();

  // Appends `sErr` to the daily error log of the folder that the configuration file names
  // under "<LogError>". Never fails: an entry that cannot be written is reported once more
  // in the log and then dropped.
  void LogError(const Text& sErr);

  // What the last call of a method above found out; its text is what that method answered,
  // except for the methods that answer with a value (a signature, a serial number), where a
  // value is success.
  const Answer& last_answer() const { return last_answer_; }

 private:
  // Keeps `answer` as the last one and gives its text.
  Text answered(Answer answer);
  // Signfile once the certificate is bound.
  Answer sign_with(provider::Signer& signer, Variant& inputfilename, VariantBool bDetached,
                   Text& sExtension, VariantBool IsContent);
  // File mode once the content is set: the signature file beside `path`, named with the
  // caller's suffix, which is handed back.
  void sign_file(provider::SignedData& signed_data, provider::Signer& signer,
                 provider::Attachment attachment, const Text& path, Text& sExtension);
  // Fixes sLogFilePath to today's log file, creating the log folder (one level) if needed.
  // Leaves it empty, and reports why, when the folder cannot be resolved.
  void CreateErrorLogFolder(int nesting);
  // LogError at a depth of nested failure reports; reports of depth 1 are not reported again.
  void log_error(const Text& sErr, int nesting);

  // The reader of the configuration file, created on first use and kept for the object's life.
  config::XML& xml();
  // Verifies an attached message from `message_file` and restores its content to a file named
  // after `base`; `name_made` sees the shortened name, then the restored one. With a serial
  // number, the first signer's must be it; `existing` says what becomes of a file of the
  // restored name. The answer when it is not "success" but no failure.
  std::optional<Answer> verify_and_restore(const Text& message_file, const Text& base,
                                           const Text* sSerialNo, ExistingFile existing,
                                           const std::function<void(const Text&)>& name_made);
  // Verifies a detached signature over the file `path`, whose exact bytes are `exact`.
  void verify_file_signature(provider::SignedData& signed_data, const Text& path,
                             std::shared_ptr<const ByteSource> exact,
                             const provider::MessageText& signature);
  // What the configuration file (or the options) ask of signing and verification, read afresh
  // for each, with the object's clock as now. `logs` is true for the methods that log: an
  // unknown <RevocationCheck> value is then logged, once for the object's life.
  provider::Policy policy(bool logs = false);
  // Starts the signature file of the signed file `path`: named after the path without its
  // extension, followed by `suffix`.
  std::unique_ptr<OutputFile> open_signature_file(const Text& path, const Text& suffix,
                                                  bool carries_content);

  Platform platform_;
  std::shared_ptr<provider::Factory> provider_;
  SignOptions options_;
  bool unknown_revocation_logged_ = false;
  Answer last_answer_;

  std::unique_ptr<config::XML> objXml;
  // Full path of the error-log file; fixed by the first entry that resolves it.
  Text sLogFilePath;
};

}  // namespace orvane::signing
