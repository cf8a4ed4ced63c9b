// Whole files: checks, reads and the write-then-replace that every file the program
// rewrites goes through (the settings key, the custom focus file; the alarm file and
// the reports to come). A backslash in a stored path is the caller's to turn into '/'
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
    cannot_open,  // missing, no permission, or refused by the limits below
    read_error,   // opened, but reading failed (a directory, an I/O error)
};

struct FileReadLimits {
    bool regular_only = false;   // anything but a regular file cannot be opened (never blocks on a FIFO)
    bool for_writing = false;    // the file must also open for writing
    size_t max_size = SIZE_MAX;  // more bytes than this: read_error, or see keep_prefix
    bool keep_prefix = false;    // beyond max_size: stop there and keep what was read (ok)
};

// Reads the whole file into *out (emptied first).
[[nodiscard]] FileRead file_read_all(const std::string& path, std::string* out, const FileReadLimits& limits = {});

enum class ReplaceMode {
    existing,  // only an existing regular file that opens for writing is replaced; none is created
    create,    // a missing file is created (mode 0666 less the umask)
};

// Replaces the file's contents with `bytes`, never leaving half a file: the bytes go to
// a new file of a unique name beside it (same directory), which is written, flushed to
// the disk and then renamed over the file. A link stays a link: the file it points to
// is replaced. The new file keeps the old one's mode and, where the old one belongs to
// someone else, its owner. When no new file can be made or put in place beside it
// (a directory without write permission, an owner that cannot be kept), the file is
// rewritten in place instead; a write that fails beside it (a full disk) is never
// retried in place, where it would cut the old file short. Returns false when nothing
// could be written; an existing file that is not a regular file is never touched.
[[nodiscard]] bool file_replace(const std::string& path, const std::string& bytes, ReplaceMode mode);
