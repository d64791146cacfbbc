// Verify: a signature and the serial number of the certificate that made it.
#include "provider/crypt_error.h"
#include "runtime/text_stream.h"
#include "signing/envelope.h"
#include "signing/sign.h"
#include "signing/stored_message.h"
#include "signing/verification_failure.h"

namespace orvane::signing {
namespace {

// The serial number of the first signer's own certificate, the first of its chain.
Text first_signer_serial_number(const provider::SignedData& signed_data) {
  return signed_data.Signers(1)->Chain()->Item(1)->SerialNumber();
}

// Whether a failed verification says that the signature covers some other content.
bool covers_other_content(const Failure& failure) {
  return failure.number() == provider::crypt_error_number(provider::CryptError::hash_value) ||
         failure.number() == provider::crypt_error_number(provider::CryptError::bad_signature);
}

// A detached signature over a file's bytes, whose content is already set to them. Other tools
// sign the exact bytes; the old component signed them with one zero byte more for an odd length
// and without leading and trailing space code units, and its stored signatures must keep
// verifying. The exact bytes come first, so that one signature never verifies two files unless
// they differ only where the old form cannot tell them apart.
void verify_file_signature(provider::SignedData& signed_data, const Text& signature,
                           std::size_t byte_count) {
  const auto verify = provider::VerifyFlag::signature_and_certificate;
  try {
    signed_data.Verify(signature, true, verify);
    return;
  } catch (const Failure& failure) {
    const Text& exact = signed_data.Content();
    const bool old_form_differs =
        byte_count % 2 == 1 || (!exact.empty() && (exact.front() == u' ' || exact.back() == u' '));
    if (!old_form_differs || !covers_other_content(failure)) throw;
  }
  Text old_form = signed_data.Content();
  trim_spaces_in_place(old_form);
  signed_data.SetContent(std::move(old_form));
  signed_data.Verify(signature, true, verify);
}

}  // namespace

Text Sign::Verify(const Variant& OriginalFileName, Variant& DigitalSignedFileName,
                  VariantBool bDetached, const Text& sSerialNo) {
  static constexpr TextView not_the_login_certificate =
      u"The file has not been signed with the certificate used for login.";
  auto stage = VerificationStage::reading_original;
  Text original;
  try {
    original = to_text(OriginalFileName);
    const auto verify = provider::VerifyFlag::signature_and_certificate;
    if (bDetached == vb_true) {
      Text content = read_text_file(*platform_.files, *platform_.code_page, original);
      stage = VerificationStage::reading_signature;
      const Text signature =
          read_text_file(*platform_.files, *platform_.code_page, to_text(DigitalSignedFileName));
      const auto signed_data = provider_->CreateSignedData(verification_policy(false));
      signed_data->SetContent(std::move(content));
      stage = VerificationStage::verifying;
      signed_data->Verify(signature, true, verify);
      if (first_signer_serial_number(*signed_data) != sSerialNo) {
        return Text(not_the_login_certificate);
      }
      return u"success";
    }

    const Text message = read_stored_message(*platform_.files, original);
    const auto signed_data = provider_->CreateSignedData(verification_policy(false));
    signed_data->Verify(message, false, verify);
    if (first_signer_serial_number(*signed_data) != sSerialNo) {
      return Text(not_the_login_certificate);
    }
    const SplitEnvelope envelope = split_envelope(signed_data->Content());
    const Text restore_from = to_text(DigitalSignedFileName);
    // The caller sees the name twice: shortened first, then with the restored extension.
    DigitalSignedFileName = output_name(restore_from, {}, platform_.file_names);
    const Text restored = output_name(restore_from, envelope.extension, platform_.file_names);
    DigitalSignedFileName = restored;
    write_restored_content(platform_, restored, envelope.text, original);
    return u"success";
  } catch (...) {
    return verification_failed(stage, original);
  }
}

Text Sign::VerifyCodeWithFile(const Text& OriginalFileName, const Variant& sSignedContents,
                              VariantBool bDetached) {
  auto stage = VerificationStage::reading_original;
  try {
    if (bDetached == vb_true) {
      FileBytes file = read_file_bytes(*platform_.files, OriginalFileName);
      stage = VerificationStage::reading_signature;
      const Text signature = to_text(sSignedContents);
      const auto signed_data = provider_->CreateSignedData(verification_policy(false));
      signed_data->SetContentBytes(std::move(file.units), file.byte_count);
      stage = VerificationStage::verifying;
      verify_file_signature(*signed_data, signature, file.byte_count);
      return u"success";
    }

    const Text message = read_stored_message(*platform_.files, OriginalFileName);
    const auto signed_data = provider_->CreateSignedData(verification_policy(false));
    signed_data->Verify(message, false, provider::VerifyFlag::signature_and_certificate);
    const SplitEnvelope envelope = split_envelope(signed_data->Content());
    // The message file's own name is the base: 'a_Signature.txt' carrying '.pdf' restores to
    // 'a_Signature.pdf' beside it.
    const Text restored = output_name(OriginalFileName, envelope.extension, platform_.file_names);
    write_restored_content(platform_, restored, envelope.text, OriginalFileName);
    return u"success";
  } catch (...) {
    return verification_failed(stage, OriginalFileName);
  }
}

}  // namespace orvane::signing
