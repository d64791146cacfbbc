// Verify: a signature and the serial number of the certificate that made it.
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
      const auto signed_data = provider_->CreateSignedData();
      signed_data->SetContent(std::move(content));
      stage = VerificationStage::verifying;
      signed_data->Verify(signature, true, verify);
      if (first_signer_serial_number(*signed_data) != sSerialNo) {
        return Text(not_the_login_certificate);
      }
      return u"success";
    }

    const Text message = read_stored_message(*platform_.files, original);
    const auto signed_data = provider_->CreateSignedData();
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
    const auto verify = provider::VerifyFlag::signature_and_certificate;
    // The file's bytes themselves are the content, in both modes.
    Text file_string = read_stored_message(*platform_.files, OriginalFileName);
    const auto signed_data = provider_->CreateSignedData();
    if (bDetached == vb_true) {
      stage = VerificationStage::reading_signature;
      const Text signature = to_text(sSignedContents);
      signed_data->SetContent(std::move(file_string));
      stage = VerificationStage::verifying;
      signed_data->Verify(signature, true, verify);
      return u"success";
    }

    signed_data->Verify(file_string, false, verify);
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
