#include "base/file.h"

#include "base/fd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>

namespace {

// Closes a descriptor when it goes out of scope.
struct Fd {
    int fd = -1;
    explicit Fd(int f) : fd(f) {}
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    // Closes now; false when closing reports an error (a delayed write error).
    bool close_now() {
        const int f = fd;
        fd = -1;
        return f < 0 || ::close(f) == 0;
    }
};

bool write_all(int fd, const std::string& bytes) { return fd_write_all(fd, bytes.data(), bytes.size()); }

// A new file of a name no other file has, beside `target`: target + "." + six
// characters, made with O_EXCL and O_NOFOLLOW, so that nothing planted under that name
// (a file, a link) is ever opened or followed. Returns its descriptor and its name, or -1.
int create_beside(const std::string& target, std::string* name) {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device seed;
    std::minstd_rand random(seed() ^ static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                            static_cast<unsigned>(::getpid()));
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = target + ".";
        for (int i = 0; i < 6; ++i) candidate.push_back(kChars[random() % (sizeof kChars - 1)]);
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            *name = candidate;
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    return -1;
}

std::string directory_of(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a rewrite replaces: the path itself, or what a link there points to. A link
// is followed only when it belongs to this user (or to root): one planted by someone
// else in a shared directory would otherwise aim the rewrite at any file of ours.
// Empty when the path must not be written.
std::string resolve_target(const std::string& path) {
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0) return path;  // nothing there yet
    if (!S_ISLNK(link.st_mode)) return path;
    if (link.st_uid != ::geteuid() && link.st_uid != 0) return {};
    std::unique_ptr<char, void (*)(void*)> real(::realpath(path.c_str(), nullptr), std::free);
    return real ? std::string(real.get()) : std::string();
}

// The write beside the target and the rename over it. `old` describes the file being
// replaced, or is null when there is none yet. Any failure removes the new file and
// leaves the target as it was.
bool replace_beside(const std::string& target, const std::string& bytes, const struct stat* old) {
    std::string temporary;
    Fd out(create_beside(target, &temporary));
    if (out.fd < 0) return false;
    bool ok = true;
    if (old) {
        // Mode and owner first, before any byte is written: the new file never shows
        // the contents to anyone the old one did not.
        ok = ::fchmod(out.fd, old->st_mode & 07777) == 0;
        if (ok && (old->st_uid != ::geteuid() || old->st_gid != ::getegid()))
            ok = ::fchown(out.fd, old->st_uid, old->st_gid) == 0;
    }
    ok = ok && write_all(out.fd, bytes) && ::fsync(out.fd) == 0;
    ok = out.close_now() && ok;
    ok = ok && ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    // The rename itself reaches the disk with the directory.
    Fd dir(::open(directory_of(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.fd >= 0) (void)::fsync(dir.fd);
    return true;
}

}  // namespace

bool file_opens(const char* path, const char* mode) {
    std::FILE* f = path && mode ? std::fopen(path, mode) : nullptr;
    if (!f) return false;
    std::fclose(f);
    return true;
}

FileRead file_read_all(const std::string& path, std::string* out, const FileReadLimits& limits) {
    out->clear();
    if (path.empty()) return FileRead::cannot_open;
    int flags = (limits.for_writing ? O_RDWR : O_RDONLY) | O_CLOEXEC;
    if (limits.regular_only) flags |= O_NONBLOCK;
    Fd in(::open(path.c_str(), flags));
    if (in.fd < 0) return FileRead::cannot_open;
    if (limits.regular_only) {
        struct stat st {};
        if (::fstat(in.fd, &st) != 0) return FileRead::read_error;
        if (!S_ISREG(st.st_mode)) return FileRead::not_regular;
        if (!limits.keep_prefix && static_cast<uint64_t>(st.st_size) > limits.max_size) return FileRead::too_large;
    }
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(in.fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            return FileRead::read_error;
        }
        if (n == 0) break;
        out->append(buf, static_cast<size_t>(n));
        if (out->size() > limits.max_size) {
            if (limits.keep_prefix) break;
            return FileRead::too_large;
        }
    }
    return FileRead::ok;
}

std::string file_read_problem(FileRead result, const FileReadLimits& limits) {
    switch (result) {
        case FileRead::ok: return {};
        case FileRead::cannot_open: return "cannot be opened";
        case FileRead::read_error: return "cannot be read";
        case FileRead::not_regular: return "is not a regular file";
        case FileRead::too_large: return "is larger than " + std::to_string(limits.max_size) + " bytes";
    }
    return {};
}

bool file_replace(const std::string& path, const std::string& bytes, ReplaceMode mode) {
    if (path.empty()) return false;
    const std::string target = resolve_target(path);
    if (target.empty()) return false;
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) return false;
    if (!exists && mode == ReplaceMode::existing) return false;
    // An existing file must be ours to write, as it would be written in place.
    if (exists && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) return false;
    return replace_beside(target, bytes, exists ? &st : nullptr);
}
