// Signfile: a file or a string signed with a certificate named by its serial number.
#include "runtime/failure.h"
#include "runtime/file_channels.h"
#include "runtime/text_stream.h"
#include "signing/certificate_selection.h"
#include "signing/envelope.h"
#include "signing/sign.h"

namespace orvane::signing {

Text Sign::Signfile(Variant& inputfilename, const Text& sSerialNo, VariantBool bDetached) {
  Text sExtension;
  return Signfile(inputfilename, sSerialNo, bDetached, sExtension, vb_false);
}

Text Sign::Signfile(Variant& inputfilename, const Text& sSerialNo, VariantBool bDetached,
                    Text& sExtension, VariantBool IsContent) {
  const CertificateSelection selection =
      SelectSignerCertificate(*provider_, sSerialNo, platform_.clock->now());
  if (!selection.bound()) return selection.answer;
  provider::Signer& signer = *selection.signer;

  try {
    const bool content_mode = IsContent != vb_false;
    const bool detached = bDetached != vb_false;
    Text content;
    Text path;
    if (content_mode) {
      content = to_text(inputfilename);
    } else {
      path = to_text(inputfilename);
      // Only an attached file signature records the extension, for the file restored from it.
      const Text trailer = detached ? Text() : envelope_trailer(path);
      content = read_text_file(*platform_.files, *platform_.code_page, path, trailer.size());
      content += trailer;
    }

    const auto signed_data = provider_->CreateSignedData(verification_policy(true));
    signed_data->SetContent(std::move(content));
    signer.AddAuthenticatedAttribute(
        {provider::AttributeName::signing_time, platform_.clock->now()});
    Text message;
    if (detached) {
      message = signed_data->Sign(signer, true, provider::Encoding::any);
      // A detached signature is proven at once against the content it was made for.
      signed_data->Verify(message, true, provider::VerifyFlag::signature_and_certificate);
    } else {
      message = signed_data->Sign(signer, false, provider::Encoding::binary);
    }

    if (content_mode) {
      inputfilename = std::move(message);
      return u"success";
    }
    if (sExtension.empty()) sExtension = u"_Signature.txt";
    const Text output_name = base_name(path) + sExtension;
    // A suffix that names the signed file itself ("a.pdf" with ".pdf") would replace the
    // content with its own signature.
    if (platform_.files->same_file(output_name, path)) {
      throw Failure(RuntimeError::path_file_access_error);
    }
    // An attached message carries the file's whole text: no wider access than the file has.
    auto output = TextFileWriter::create(*platform_.files, *platform_.code_page, output_name,
                                         {.content_source = detached ? Text() : path});
    output.write(message);
    output.close();
    return u"success";
  } catch (...) {
    const Text answer = u"Err Description: " + current_failure().description();
    LogError(answer);
    file_channels::abandon(1);
    file_channels::abandon(2);
    return answer;
  }
}

}  // namespace orvane::signing
