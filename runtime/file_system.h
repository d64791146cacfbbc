#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "runtime/byte_stream.h"
#include "runtime/bytes.h"
#include "runtime/text.h"

namespace orvane {

// A file opened for reading.
class InputFile {
 public:
  virtual ~InputFile() = default;
  // Length in bytes at the moment the file was opened.
  virtual std::uint64_t size() const = 0;
  // Reads up to out.size() bytes from `offset`; returns how many, 0 at the end of the file.
  virtual std::size_t read_at(std::uint64_t offset, std::span<std::uint8_t> out) = 0;
};

// A file being written as a whole, in order, with a few bytes written again where a writer needs
// it. The target is untouched until commit() replaces it at once; an OutputFile destroyed without
// commit() leaves neither a partial file nor a damaged target.
class OutputFile : public RewritableSink {
 public:
  // Names the file that commit() replaces instead of the one it was opened for: another name in
  // the same folder, for output whose name is known only at its end.
  virtual void retarget(const Text& path) = 0;
  virtual void commit() = 0;
  // As commit(), but only while the target does not exist: fails with 58 when it does, even one
  // made an instant before, and leaves it as it is.
  virtual void commit_as_new() = 0;
  // Reads back up to out.size() of the bytes written so far, from `offset`, as
  // InputFile::read_at reads.
  virtual std::size_t read_back(std::uint64_t offset, std::span<std::uint8_t> out) = 0;
};

// Who may read a file that open_for_replacing() writes. It is the owner's alone while it is
// written; at commit it is given the earlier target's permissions when that was a regular file
// of the caller's, else those of a new file, and never more: no setuid, setgid or sticky on
// POSIX, whatever a planted target carried.
struct OutputAccess {
  // The file whose content the output carries (a signed file, a signed message), or empty: the
  // output is then readable by no more users than that file, so that signing or restoring a
  // private file never hands its content to others.
  Text content_source;
  // The file the output came from, whose mark of origin it carries (on Windows the Mark of the
  // Web: its Zone.Identifier stream, when it has one), or empty. A file restored from a
  // downloaded message is as untrusted as the message was.
  Text origin = {};
};

// The file system as the component uses it. Paths are passed as the caller wrote them.
// Every operation throws Failure with a runtime number (53 file not found, 76 path not found,
// 70 permission denied, 61 disk full, ...) and the runtime's text.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // True when `path` names an existing file (not a folder).
  virtual bool file_exists(const Text& path) = 0;
  // True when `path` names an existing folder.
  virtual bool folder_exists(const Text& path) = 0;
  // Creates one folder; its parent must exist. Fails with 58 when it exists already.
  virtual void create_folder(const Text& path) = 0;
  // True when both paths name the same existing file, however each is spelled.
  virtual bool same_file(const Text& first, const Text& second) = 0;
  // True when `path` names an existing file or folder through another name than the one its
  // folder holds for it: an 8.3 short name on Windows ('QUARTE~1.PDF' for 'Quarterly board
  // report.pdf'), or, where names are told apart by their bytes, a spelling that the file system
  // folds onto another. A name that differs only in case where the system ignores case is the
  // same name.
  virtual bool is_alias(const Text& path) = 0;

  virtual std::unique_ptr<InputFile> open_for_reading(const Text& path) = 0;
  // Starts a replacement of `path` (created when missing), readable as `access` says; see
  // OutputFile.
  virtual std::unique_ptr<OutputFile> open_for_replacing(const Text& path,
                                                         const OutputAccess& access) = 0;
  // As open_for_replacing, for output whose name is known only at its end: the file is made in
  // the folder of `path`, whatever `path` itself names, and replaces the file that retarget()
  // names before commit().
  virtual std::unique_ptr<OutputFile> open_for_output_beside(const Text& path,
                                                             const OutputAccess& access) = 0;
  // Appends `bytes` with one write to `path`, created when missing, so that entries of
  // concurrent writers never interleave or overwrite one another. Only a regular file with one
  // link is appended to, never through a symbolic link, and never waiting for a reader: a name
  // that others planted cannot redirect the entry into another file (fails with 75).
  virtual void append(const Text& path, ByteView bytes) = 0;
};

}  // namespace orvane
