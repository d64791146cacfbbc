#pragma once

#include "provider/openssl/handles.h"
#include "runtime/text.h"

namespace orvane::provider::openssl {

// The ContentInfo that a message text stands for, in any of the forms callers and files
// produce (see parse_message_forms). A text that is none of them fails with
// CRYPT_E_ASN1_BADTAG.
CmsPtr decode_message(TextView message);

}  // namespace orvane::provider::openssl
