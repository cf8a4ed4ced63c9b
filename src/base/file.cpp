#include "base/file.h"

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

bool write_all(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// A new file of a name no other file has, beside `target`: target + "." + six
// characters. Returns its descriptor and its name, or -1.
int create_beside(const std::string& target, std::string* name) {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::minstd_rand random(static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                            static_cast<unsigned>(::getpid()));
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = target + ".";
        for (int i = 0; i < 6; ++i) candidate.push_back(kChars[random() % (sizeof kChars - 1)]);
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            *name = candidate;
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    return -1;
}

// The write beside the target and the rename over it. `old` describes the file being
// replaced, or is null when there is none yet. *writing tells whether the bytes were
// being written when it failed (rather than no file of the old one's mode and owner
// could be made beside the target).
bool replace_beside(const std::string& target, const std::string& bytes, const struct stat* old, bool* writing) {
    std::string temporary;
    Fd out(create_beside(target, &temporary));
    if (out.fd < 0) return false;
    bool ok = true;
    if (old) {
        ok = ::fchmod(out.fd, old->st_mode & 07777) == 0;
        if (ok && (old->st_uid != ::geteuid() || old->st_gid != ::getegid()))
            ok = ::fchown(out.fd, old->st_uid, old->st_gid) == 0;
    }
    *writing = ok;
    ok = ok && write_all(out.fd, bytes) && ::fsync(out.fd) == 0;
    ok = out.close_now() && ok;
    ok = ok && ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) ::unlink(temporary.c_str());
    return ok;
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
        if (::fstat(in.fd, &st) != 0 || !S_ISREG(st.st_mode)) return FileRead::cannot_open;
        if (!limits.keep_prefix && static_cast<uint64_t>(st.st_size) > limits.max_size) return FileRead::read_error;
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
            return FileRead::read_error;
        }
    }
    return FileRead::ok;
}

bool file_replace(const std::string& path, const std::string& bytes, ReplaceMode mode) {
    if (path.empty()) return false;
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) return false;
    // The existing file must be ours to write: it is what the in-place write falls back on.
    Fd existing(-1);
    if (mode == ReplaceMode::existing) {
        if (!exists) return false;
        existing.fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (existing.fd < 0 || ::fstat(existing.fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    }
    std::string target = path;
    if (exists) {
        std::unique_ptr<char, void (*)(void*)> real(::realpath(path.c_str(), nullptr), std::free);
        if (real) target = real.get();
    }
    bool writing = false;
    if ((exists || mode == ReplaceMode::create) && replace_beside(target, bytes, exists ? &st : nullptr, &writing))
        return true;
    // A write that failed beside the file (a full disk, a size limit) would fail in place
    // too, and there it would cut the old file short: the old file stays as it was.
    if (writing) return false;
    // In place.
    if (existing.fd < 0) existing.fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (existing.fd < 0) return false;
    bool ok = ::ftruncate(existing.fd, 0) == 0 && write_all(existing.fd, bytes);
    return existing.close_now() && ok;
}
