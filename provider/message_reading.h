#pragma once

// Reading a signed-data message a block at a time, in whichever form callers and files hold it,
// shared by the back ends: the content passes to the back end as it is read, and what is left
// of the message without it (certificates, signer infos: a few kilobytes) is handed over whole
// for the back end to parse and check.

#include <vector>

#include "provider/provider.h"
#include "runtime/code_page.h"

namespace orvane::provider {

// What reading a message tells the back end that verifies it, and asks of it.
class MessageReceiver {
 public:
  virtual ~MessageReceiver() = default;
  // A reading begins, or begins again in another form: what came before is to be forgotten.
  virtual void restart() = 0;
  // Each AlgorithmIdentifier (its DER) that the message lists as a digest algorithm, before any
  // of its content: the back end takes those digests as the content passes.
  virtual void digest_algorithms(const std::vector<Bytes>& algorithms) = 0;
  // The next bytes of the content the message carries (none for a detached signature).
  virtual void content(ByteView bytes) = 0;
  // The message without the content it carries, DER outside and every other field as the
  // message has it: true when the back end parses it as a message, and keeps it.
  virtual bool accept(ByteView message_without_content) = 0;
};

// Reads the message that `text` stands for, trying its forms in this order until `receiver`
// accepts one:
//  1. every code unit is Base64 text (PEM armour lines and white space allowed);
//  2. every code unit re-encodes through `code_page` (a file read as text), and those bytes
//     are DER or Base64 text;
//  3. the code units' bytes are DER or Base64 text, with one trailing zero byte allowed after
//     either (the spare byte of a file of odd length); DER short of the space code units that
//     the reader of byte-exact files trims off a file's end is completed with them.
// DER here means one ContentInfo, definite or indefinite lengths alike, and nothing after it.
// A form that turns out not to hold a message is given up as soon as that shows. When no form is
// accepted, throws the failure of the one that came closest: CRYPT_E_ASN1_BADTAG when none looked
// like a message, CRYPT_E_ASN1_EOD for one cut short, CRYPT_E_ASN1_CORRUPT for one whose parts do
// not fit together or that the back end does not take, CRYPT_E_ASN1_LARGE for one whose parts
// besides the content exceed 32 MiB (they are held in memory).
void read_message(const MessageText& text, const CodePage& code_page, MessageReceiver& receiver);

}  // namespace orvane::provider
