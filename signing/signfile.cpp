// Signfile: a file or a string signed with a certificate named by its serial number.
#include "runtime/failure.h"
#include "runtime/file_channels.h"
#include "signing/certificate_selection.h"
#include "signing/envelope.h"
#include "signing/file_content.h"
#include "signing/sign.h"

namespace orvane::signing {

std::unique_ptr<OutputFile> Sign::open_signature_file(const Text& path, const Text& suffix,
                                                      bool carries_content) {
  const Text output_name = base_name(path) + suffix;
  // A suffix that names the signed file itself ("a.pdf" with ".pdf") would replace the content
  // with its own signature.
  if (platform_.files->same_file(output_name, path)) {
    throw Failure(RuntimeError::path_file_access_error);
  }
  // An attached message carries the file's whole text: no wider access than the file has.
  return platform_.files->open_for_replacing(output_name,
                                             {.content_source = carries_content ? path : Text()});
}

Text Sign::Signfile(Variant& inputfilename, const Text& sSerialNo, VariantBool bDetached) {
  Text sExtension;
  return Signfile(inputfilename, sSerialNo, bDetached, sExtension, vb_false);
}

Text Sign::Signfile(Variant& inputfilename, const Text& sSerialNo, VariantBool bDetached,
                    Text& sExtension, VariantBool IsContent) {
  const CertificateSelection selection =
      SelectSignerCertificate(*provider_, sSerialNo, platform_.clock->now());
  if (!selection.bound()) return answered(selection.answer);
  return answered(sign_with(*selection.signer, inputfilename, bDetached, sExtension, IsContent));
}

Answer Sign::sign_with(provider::Signer& signer, Variant& inputfilename, VariantBool bDetached,
                       Text& sExtension, VariantBool IsContent) {
  try {
    const bool content_mode = IsContent != vb_false;
    const auto attachment =
        bDetached != vb_false ? provider::Attachment::detached : provider::Attachment::attached;
    const Text input = to_text(inputfilename);
    const auto signed_data = provider_->CreateSignedData(policy(true));
    if (content_mode) {
      signed_data->SetContent(text_content(input));
    } else {
      // Only an attached file signature records the extension, for the file restored from it.
      const bool detached = attachment == provider::Attachment::detached;
      signed_data->SetContent(text_file_content(*platform_.files, *platform_.code_page, input,
                                                detached ? Text() : envelope_trailer(input)));
    }
    signer.AddAuthenticatedAttribute(
        {provider::AttributeName::signing_time, platform_.clock->now()});
    if (!content_mode) {
      sign_file(*signed_data, signer, attachment, input, sExtension);
      return {};
    }
    Text message = provider::sign_to_text(*signed_data, signer, attachment);
    // A detached signature is proven at once against the content it was made for.
    if (attachment == provider::Attachment::detached) {
      signed_data->Verify(provider::MemoryMessage(message), attachment);
    }
    inputfilename = std::move(message);
    return {};
  } catch (...) {
    const Failure failure = current_failure();
    const Answer answer{Outcome::signing_failed, failure.number(), failure.description()};
    LogError(answer.text());
    file_channels::abandon(1);
    file_channels::abandon(2);
    return answer;
  }
}

void Sign::sign_file(provider::SignedData& signed_data, provider::Signer& signer,
                     provider::Attachment attachment, const Text& path, Text& sExtension) {
  // The caller's suffix comes back filled in once the message is made, as when it was written
  // after signing; a signature file that cannot be started counts as after it.
  const Text suffix = sExtension.empty() ? Text(u"_Signature.txt") : sExtension;
  std::unique_ptr<OutputFile> output;
  if (attachment == provider::Attachment::detached) {
    const Text message = provider::sign_to_text(signed_data, signer, attachment);
    signed_data.Verify(provider::MemoryMessage(message), attachment);
    sExtension = suffix;
    output = open_signature_file(path, suffix, false);
    output->write(ByteView(encode_text(*platform_.code_page, message)));
  } else {
    // An attached message of a file goes out as it is made: it is as large as the file.
    try {
      output = open_signature_file(path, suffix, true);
    } catch (...) {
      sExtension = suffix;
      throw;
    }
    signed_data.Sign(signer, attachment, *output);
    sExtension = suffix;
  }
  output->commit();
}

}  // namespace orvane::signing
