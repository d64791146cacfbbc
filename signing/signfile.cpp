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
    const bool detached = attachment == provider::Attachment::detached;
    Text content;
    Text path;
    std::shared_ptr<const ByteSource> source;
    if (content_mode) {
      content = to_text(inputfilename);
      source = text_content(content);
    } else {
      path = to_text(inputfilename);
      // Only an attached file signature records the extension, for the file restored from it.
      source = text_file_content(*platform_.files, *platform_.code_page, path,
                                 detached ? Text() : envelope_trailer(path));
    }

    const auto signed_data = provider_->CreateSignedData(policy(true));
    signed_data->SetContent(source);
    signer.AddAuthenticatedAttribute(
        {provider::AttributeName::signing_time, platform_.clock->now()});
    // The caller's suffix comes back filled in once the message is made, as when it was written
    // after signing; a signature file that cannot be started counts as after it.
    const Text suffix = sExtension.empty() ? Text(u"_Signature.txt") : sExtension;
    const auto hand_back_suffix = [&] {
      if (!content_mode) sExtension = suffix;
    };
    Text message;
    std::unique_ptr<OutputFile> output;
    if (detached) {
      message = provider::sign_to_text(*signed_data, signer, attachment);
      // A detached signature is proven at once against the content it was made for.
      signed_data->Verify(provider::MemoryMessage(message), attachment);
    } else if (content_mode) {
      message = provider::sign_to_text(*signed_data, signer, attachment);
    } else {
      // An attached message of a file goes out as it is made: it is as large as the file.
      try {
        output = open_signature_file(path, suffix, true);
      } catch (...) {
        hand_back_suffix();
        throw;
      }
      signed_data->Sign(signer, attachment, *output);
    }
    hand_back_suffix();

    if (content_mode) {
      inputfilename = std::move(message);
      return {};
    }
    if (!output) {
      output = open_signature_file(path, suffix, false);
      output->write(ByteView(encode_text(*platform_.code_page, message)));
    }
    output->commit();
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

}  // namespace orvane::signing
