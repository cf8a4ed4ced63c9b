// Whole files: checks, reads and the write-then-replace that every file the program
// rewrites goes through (the settings key, the custom focus file, the alarm file and
// the reports). A backslash in a stored path is the caller's to turn into '/'
// (base/path.h) before it gets here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Whether the file opens in `mode` (a mode of std::fopen that creates nothing: "rb" to
// read, "r+b" to read and write). Null gives false.
[[nodiscard]] bool file_opens(const char* path, const char* mode);

enum class FileRead {
    ok,
    cannot_open,  // missing, no permission
    read_error,   // opened, but reading failed (a directory, an I/O error)
    not_regular,  // refused by regular_only: a FIFO, a device, a directory
    too_large,    // refused by max_size
};

struct FileReadLimits {
    bool regular_only = false;   // anything but a regular file cannot be opened (never blocks on a FIFO)
    bool for_writing = false;    // the file must also open for writing
    size_t max_size = SIZE_MAX;  // more bytes than this: too_large, or see keep_prefix
    bool keep_prefix = false;    // beyond max_size: stop there and keep what was read (ok)
};

// The limits for the data files the program reads whole at start-up (protocol file,
// name files, custom focus file): a regular file of at most 64 MiB, so that a device
// or a FIFO named by mistake (/dev/zero) is refused at once instead of read forever.
inline constexpr FileReadLimits kDataFileLimits{true, false, size_t{64} << 20, false};

// Reads the whole file into *out (emptied first).
[[nodiscard]] FileRead file_read_all(const std::string& path, std::string* out, const FileReadLimits& limits = {});

// Why a read failed, as the end of a sentence that begins with the file's name: "is
// not a regular file", "is larger than 67108864 bytes", "cannot be opened", "cannot be
// read". Empty for ok.
[[nodiscard]] std::string file_read_problem(FileRead result, const FileReadLimits& limits = {});

enum class ReplaceMode {
    existing,  // only an existing regular file that opens for writing is replaced; none is created
    create,    // a missing file is created (mode 0666 less the umask)
};

// Replaces the file's contents with `bytes`, never leaving half a file: the bytes go to
// a new file of a unique name beside it (same directory; made with O_EXCL and without
// following links), which is written, flushed to the disk and then renamed over the
// file. The new file takes the old one's mode and, where the old one belongs to
// someone else, its owner, before any byte is written. A link stays a link and the file
// it points to is replaced, but only a link of this user's own (or root's): a link
// planted by another user is refused. When anything fails (no file can be made beside
// it, a full disk, an owner that cannot be kept, a file that is not a regular file or
// not writable) the new file is removed, the old file stays exactly as it was, and the
// result is false; the caller tells the user, once. There is no rewrite in place.
[[nodiscard]] bool file_replace(const std::string& path, const std::string& bytes, ReplaceMode mode);
