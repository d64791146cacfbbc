#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "runtime/file_names.h"
#include "runtime/text.h"

namespace orvane::signing {

// The envelope that an attached file signature carries: the file's text, then its path's
// extension field (from the last "." of the whole path to its end, the dot included), then the
// field's length in decimal. 'C:\d\a.pdf' with the text 'abc' gives 'abc.pdf4'.

// The extension field's length: the position of the first "." in the reversed path, 0 when the
// path has none. The dot may lie in a folder name ('C:\a.b\file' gives 7).
std::size_t extension_length(TextView path);

// The path without its extension field: what the signed-message file is named after.
Text base_name(TextView path);

// The extension field followed by its length: what an attached file signature appends to the
// text.
Text envelope_trailer(TextView path);

// The parts of an envelope, as views into the content they were split from.
struct SplitEnvelope {
  TextView text;
  TextView extension;
};

// Splits content built by the writer into its text and extension field, which point into
// `content` (a restored file's text can be large). The last digit is the length whenever the
// field it names is one the writer makes (empty, or one "." at its start and no other), so a
// final "0" is always an empty extension; only otherwise are longer runs of digits tried,
// longest first, so that lengths of two digits or more come back; when none fits, the last
// digit alone decides. Fails with 13 when the content does not end in a digit, 5 when the
// length reaches beyond its start.
SplitEnvelope split_envelope(TextView content);

// The split of a content that is seen only at its end, as split_envelope splits it whole:
// `tail` is its last code units (at least 32 of them, or all), `length` its length, and
// `last_dot` the position of its last "." (npos for none). `extension` is nothing when the
// extension field begins before the tail: that field is then the one from `last_dot`.
struct EnvelopeEnd {
  std::uint64_t text_length = 0;
  std::optional<TextView> extension;
};
EnvelopeEnd split_envelope_end(TextView tail, std::uint64_t length, std::uint64_t last_dot);

// The restored file's name: `file_name` without its last four characters, then the extension,
// with a "." between them only when the extension is not empty and has none of its own. The
// extension is the signer's word, so it never leaves the folder of `file_name`: one that holds
// "/" or "\" is no extension (the writer met a dot in a folder name). Fails with 5 when the
// extension holds a control character, a format character (Unicode's category Cf: U+202E would
// show 'x.\u202Efdp.exe' as 'x.exe.pdf') or a line or paragraph separator, when the name it makes
// is not one `rules` allow, and when the file's own name in `file_name` (after its last "/" or "\")
// has four characters or fewer.
Text output_name(TextView file_name, TextView extension, FileNameRules rules);

}  // namespace orvane::signing
