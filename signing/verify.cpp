// Verify: a signature and the serial number of the certificate that made it.
#include "provider/crypt_error.h"
#include "runtime/file_channels.h"
#include "signing/envelope.h"
#include "signing/file_content.h"
#include "signing/restored_content.h"
#include "signing/sign.h"

namespace orvane::signing {
namespace {

// The failure path of both verifications, for their catch blocks: closes binary channels 1 and
// 2, dropping what a restored file had not yet written, and answers for the exception being
// handled.
Answer verification_failed(VerificationStage stage, const Text& original_file_name) {
  const Failure failure = current_failure();
  file_channels::abandon(1);
  file_channels::abandon(2);
  return verification_answer(failure, stage, original_file_name);
}

// The serial number of the first signer's own certificate.
Text first_signer_serial_number(const provider::SignedData& signed_data) {
  return signed_data.Signers(1)->GetCertificate()->SerialNumber();
}

// Whether a failed verification says that the signature covers some other content.
bool covers_other_content(const Failure& failure) {
  return failure.number() == provider::crypt_error_number(provider::CryptError::hash_value) ||
         failure.number() == provider::crypt_error_number(provider::CryptError::bad_signature);
}

}  // namespace

std::optional<Answer> Sign::verify_and_restore(const Text& message_file, const Text& base,
                                               const Text* sSerialNo, ExistingFile existing,
                                               const std::function<void(const Text&)>& name_made) {
  const auto message = stored_message_file(*platform_.files, message_file);
  std::unique_ptr<RestoredContent> restored;
  // One byte per character first; two bytes only when the text needs them, which takes a second
  // reading of the message.
  for (const bool two_bytes : {false, true}) {
    restored =
        std::make_unique<RestoredContent>(platform_, base, message_file, two_bytes, existing);
    const auto signed_data = provider_->CreateSignedData(policy());
    signed_data->Verify(*message, provider::Attachment::attached, restored.get());
    if (sSerialNo != nullptr && first_signer_serial_number(*signed_data) != *sSerialNo) {
      return Answer{Outcome::not_the_login_certificate};
    }
    restored->finish();
    if (!restored->needs_two_bytes()) break;
  }
  name_made(output_name(base, {}, platform_.file_names));
  const Text name = output_name(base, restored->extension(), platform_.file_names);
  name_made(name);
  restored->commit(name);
  return std::nullopt;
}

Text Sign::Verify(const Variant& OriginalFileName, Variant& DigitalSignedFileName,
                  VariantBool bDetached, const Text& sSerialNo) {
  auto stage = VerificationStage::reading_original;
  Text original;
  try {
    original = to_text(OriginalFileName);
    if (bDetached == vb_true) {
      const auto content = text_file_content(*platform_.files, *platform_.code_page, original);
      stage = VerificationStage::reading_signature;
      const auto signature =
          text_file_message(*platform_.files, *platform_.code_page, to_text(DigitalSignedFileName));
      const auto signed_data = provider_->CreateSignedData(policy());
      signed_data->SetContent(content);
      stage = VerificationStage::verifying;
      signed_data->Verify(*signature, provider::Attachment::detached);
      if (first_signer_serial_number(*signed_data) != sSerialNo) {
        return answered({Outcome::not_the_login_certificate});
      }
      return answered({});
    }
    // The caller sees the name twice: shortened first, then with the restored extension.
    const Text restore_from = to_text(DigitalSignedFileName);
    if (auto answer = verify_and_restore(original, restore_from, &sSerialNo, ExistingFile::replace,
                                         [&](const Text& name) { DigitalSignedFileName = name; })) {
      return answered(*answer);
    }
    return answered({});
  } catch (...) {
    return answered(verification_failed(stage, original));
  }
}

// A detached signature over a file's bytes. Other tools sign the exact bytes; the old
// component signed them with one zero byte more for an odd length and without leading and
// trailing space code units, and its stored signatures must keep verifying. The exact bytes come
// first, so that one signature never verifies two files unless they differ only where the old
// form cannot tell them apart.
void Sign::verify_file_signature(provider::SignedData& signed_data, const Text& path,
                                 std::shared_ptr<const ByteSource> exact,
                                 const provider::MessageText& signature) {
  signed_data.SetContent(exact);
  try {
    signed_data.Verify(signature, provider::Attachment::detached);
    return;
  } catch (const Failure& failure) {
    const auto old_form = legacy_file_content(*platform_.files, path);
    if (old_form->size() == exact->size() || !covers_other_content(failure)) throw;
    signed_data.SetContent(old_form);
  }
  signed_data.Verify(signature, provider::Attachment::detached);
}

Text Sign::VerifyCodeWithFile(const Text& OriginalFileName, const Variant& sSignedContents,
                              VariantBool bDetached) {
  auto stage = VerificationStage::reading_original;
  try {
    if (bDetached == vb_true) {
      auto exact = file_bytes_content(*platform_.files, OriginalFileName);
      stage = VerificationStage::reading_signature;
      const Text signature = to_text(sSignedContents);
      const auto signed_data = provider_->CreateSignedData(policy());
      stage = VerificationStage::verifying;
      verify_file_signature(*signed_data, OriginalFileName, std::move(exact),
                            provider::MemoryMessage(signature));
      return answered({});
    }
    // The message file's own name is the base: 'a_Signature.txt' carrying '.pdf' restores to
    // 'a_Signature.pdf' beside it. The caller never named that file, so none is replaced.
    if (auto answer = verify_and_restore(OriginalFileName, OriginalFileName, nullptr,
                                         ExistingFile::keep, [](const Text&) {})) {
      return answered(*answer);
    }
    return answered({});
  } catch (...) {
    return answered(verification_failed(stage, OriginalFileName));
  }
}

}  // namespace orvane::signing
