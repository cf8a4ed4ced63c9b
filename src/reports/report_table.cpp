#include "reports/report_table.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

#include "base/file.h"

void report_table_add(ReportTable* table, std::vector<std::string> row) {
    row.resize(table->columns.size());
    table->rows.push_back(std::move(row));
}

std::string csv_field(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"') out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

namespace {

void append_record(std::string* out, const std::vector<std::string>& fields) {
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i) out->push_back(',');
        out->append(csv_field(fields[i]));
    }
    out->append("\r\n");
}

// Writes `bytes` to a file created at `path` (never an existing one: "x" is O_EXCL);
// -1 with errno set on failure, EEXIST when the name is taken.
int create_with(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wxe");
    if (!f) return -1;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size() && std::fflush(f) == 0;
    const int saved = errno;
    if (std::fclose(f) != 0 || !written) {
        ::unlink(path.c_str());
        errno = written ? errno : saved;
        return -1;
    }
    return 0;
}

}  // namespace

std::string csv_format(const ReportTable& table) {
    std::string out;
    append_record(&out, table.columns);
    for (const auto& row : table.rows) append_record(&out, row);
    return out;
}

int report_save_new(const std::string& path, const std::string& bytes) {
    struct stat st {};
    if (path.empty()) return -1;
    if (::lstat(path.c_str(), &st) == 0) return 0;

    // A temporary file beside the target (created with the user's usual permissions),
    // then given the name only when it is still free.
    static std::atomic<unsigned> serial{0};
    std::string temporary;
    int made = -1;
    for (int attempt = 0; attempt < 16 && made < 0; ++attempt) {
        temporary = path + ".tmp" + std::to_string(::getpid()) + "." + std::to_string(serial++);
        made = create_with(temporary, bytes);
        if (made < 0 && errno != EEXIST) break;
    }
    if (made < 0) {
        // No file can be made beside it: write the new file directly.
        if (create_with(path, bytes) == 0) return 1;
        return errno == EEXIST ? 0 : -1;
    }
    if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) return 1;
    int error = errno;
    if (error != EEXIST && ::link(temporary.c_str(), path.c_str()) == 0) {
        // A file system without the no-replace rename: a hard link never replaces either.
        ::unlink(temporary.c_str());
        return 1;
    }
    if (error != EEXIST) error = errno;
    ::unlink(temporary.c_str());
    if (error == EEXIST) return 0;
    if (create_with(path, bytes) == 0) return 1;
    return errno == EEXIST ? 0 : -1;
}

int report_copy_new(const std::string& from, const std::string& to) {
    std::string bytes;
    FileReadLimits limits;
    limits.regular_only = true;
    if (file_read_all(from, &bytes, limits) != FileRead::ok) return -1;
    return report_save_new(to, bytes);
}
