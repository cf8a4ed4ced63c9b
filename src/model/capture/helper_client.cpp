#include "model/capture/helper_client.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "base/spawn.h"
#include "model/capture/stream.h"

namespace hscap {

namespace {

constexpr size_t kBufferBytes = (size_t{1} << 20) + kStreamMaxRecord;
constexpr int kOpenWaitMs = 10000;  // the helper's open of the adapter

using Clock = std::chrono::steady_clock;

std::string real_path(const char* path) {
    std::unique_ptr<char, void (*)(void*)> real(::realpath(path, nullptr), std::free);
    return real ? std::string(real.get()) : std::string();
}

bool executable(const std::string& path) { return !path.empty() && ::access(path.c_str(), X_OK) == 0; }

std::string directory_of(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

void set_error(char* errbuf, const std::string& text) {
    if (errbuf) std::snprintf(errbuf, kErrbufSize, "%s", text.c_str());
}

void fail(HelperStream* s, const std::string& text) {
    if (s->failed) return;
    s->failed = true;
    s->error = text;
}

// Why the helper ended, once its stream has ended without a word.
std::string ended_text(HelperStream* s) {
    int status = 0;
    if (s->pid > 0 && ::waitpid(s->pid, &status, 0) == s->pid) {
        s->pid = -1;
        if (WIFEXITED(status)) return "the capture helper ended with status " + std::to_string(WEXITSTATUS(status));
        if (WIFSIGNALED(status)) return "the capture helper was ended by signal " + std::to_string(WTERMSIG(status));
    }
    return "the capture helper ended";
}

// Reads what the pipe holds into the buffer. 1: bytes came; 0: none waiting; -1: the
// stream ended (s->failed set).
int read_some(HelperStream* s) {
    if (s->begin > 0 && s->begin == s->end) s->begin = s->end = 0;
    // Only a record's unread tail is ever moved, to make room for the rest of it.
    if (s->buffer.size() - s->end < kStreamMaxRecord && s->begin > 0) {
        std::memmove(s->buffer.data(), s->buffer.data() + s->begin, s->end - s->begin);
        s->end -= s->begin;
        s->begin = 0;
    }
    for (;;) {
        const ssize_t n = ::read(s->fd, s->buffer.data() + s->end, s->buffer.size() - s->end);
        if (n > 0) {
            s->end += static_cast<size_t>(n);
            return 1;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return 0;
        fail(s, ended_text(s));
        return -1;
    }
}

// Waits until the stream or wake_fd is readable, or until `until`. True when the
// stream is.
bool wait_stream(HelperStream* s, int wake_fd, Clock::time_point until) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()).count();
    if (left <= 0) return false;
    pollfd p[2] = {{s->fd, POLLIN, 0}, {wake_fd, POLLIN, 0}};
    const int n = ::poll(p, wake_fd >= 0 ? 2 : 1, static_cast<int>(left > INT_MAX ? INT_MAX : left));
    if (n <= 0) return false;
    if (wake_fd >= 0 && (p[1].revents & POLLIN)) {
        uint64_t v;
        (void)!::read(wake_fd, &v, sizeof v);
        return false;
    }
    return p[0].revents != 0;
}

}  // namespace

const std::string& helper_path() {
    static const std::string path = [] {
        const std::string installed = HOPSCOPE_HELPER_INSTALLED, built = HOPSCOPE_HELPER_BUILT;
        const std::string self = directory_of(real_path("/proc/self/exe"));
        if (!self.empty() && self == real_path(HOPSCOPE_INSTALL_BINDIR) && executable(installed)) return installed;
        // A program installed under another prefix than the configured one (a package
        // under /usr): the helper at the same place under that prefix.
        if (self.size() > 4 && self.compare(self.size() - 4, 4, "/bin") == 0) {
            const std::string moved = self.substr(0, self.size() - 3) + HOPSCOPE_HELPER_FROM_PREFIX;
            if (executable(moved)) return moved;
        }
        if (executable(built)) return built;
        if (executable(installed)) return installed;
        return std::string();
    }();
    return path;
}

bool helper_start(HelperStream* s, const std::string& path, const char* name, int snaplen, int promisc, char* errbuf) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        set_error(errbuf, std::string(name) + ": cannot make a pipe for the capture helper");
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    const std::string snap = std::to_string(snaplen < 0 ? 0 : snaplen), promiscuous = promisc ? "1" : "0";
    char* const argv[] = {const_cast<char*>(path.c_str()), const_cast<char*>(name), const_cast<char*>(snap.c_str()),
                          const_cast<char*>(promiscuous.c_str()), const_cast<char*>(""), nullptr};
    char* const envp[] = {nullptr};  // the helper takes nothing from our environment
    pid_t pid = -1;
    const int rc = spawn_with_default_signals(&pid, path.c_str(), &actions, argv, envp, false);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        set_error(errbuf, std::string(name) + ": cannot start the capture helper " + path + ": " + std::strerror(rc));
        return false;
    }
    s->pid = pid;
    s->fd = fds[0];
    (void)::fcntl(s->fd, F_SETPIPE_SZ, 1 << 20);  // room for bursts while a pass draws
    ::fcntl(s->fd, F_SETFL, ::fcntl(s->fd, F_GETFL) | O_NONBLOCK);
    s->buffer.assign(kBufferBytes, 0);

    // The first record says whether the adapter opened.
    const auto until = Clock::now() + std::chrono::milliseconds(kOpenWaitMs);
    for (;;) {
        StreamRecord r;
        size_t used = 0;
        const StreamStep step = stream_next(s->buffer.data() + s->begin, s->end - s->begin, &r, &used);
        if (step == StreamStep::record) {
            s->begin += used;
            if (r.type == kStreamOpen && r.a == 1) return true;  // 1: an Ethernet adapter
            if (r.type == kStreamError)
                set_error(errbuf, std::string(reinterpret_cast<const char*>(r.bytes), r.captured));
            else set_error(errbuf, std::string(name) + ": the capture helper did not open it");
            helper_stop(s);
            return false;
        }
        if (step == StreamStep::damaged) {
            set_error(errbuf, std::string(name) + ": the capture helper's stream is damaged");
            helper_stop(s);
            return false;
        }
        const int got = read_some(s);
        if (got < 0) {
            set_error(errbuf, std::string(name) + ": " + s->error);
            helper_stop(s);
            return false;
        }
        if (got == 0 && !wait_stream(s, -1, until) && Clock::now() >= until) {
            set_error(errbuf, std::string(name) + ": the capture helper did not answer");
            helper_stop(s);
            return false;
        }
    }
}

HelperStream::~HelperStream() {
    if (filtered) ::pcap_freecode(&filter);
}

bool helper_set_filter(HelperStream* s, const std::string& expression, std::string* error) {
    pcap_t* dead = ::pcap_open_dead(DLT_EN10MB, kStreamMaxCaptured);
    if (!dead) {
        *error = "cannot make a filter";
        return false;
    }
    bpf_program program{};
    const bool ok = ::pcap_compile(dead, &program, expression.c_str(), 1, PCAP_NETMASK_UNKNOWN) == 0;
    if (!ok) *error = ::pcap_geterr(dead);
    ::pcap_close(dead);
    if (!ok) return false;
    if (s->filtered) ::pcap_freecode(&s->filter);
    s->filter = program;
    s->filtered = !expression.empty();
    if (!s->filtered) ::pcap_freecode(&s->filter);
    return true;
}

int helper_dispatch(HelperStream* s, int count, int timeout_ms, int wake_fd, Handler handler, void* user,
                    uint64_t* delivered) {
    if (s->failed) return -1;
    const auto until = Clock::now() + std::chrono::milliseconds(timeout_ms);
    bool waited = false;
    int n = 0;
    for (;;) {
        while (n < count) {
            StreamRecord r;
            size_t used = 0;
            const StreamStep step = stream_next(s->buffer.data() + s->begin, s->end - s->begin, &r, &used);
            if (step == StreamStep::need_more) break;
            if (step == StreamStep::damaged) {
                fail(s, "the capture helper's stream is damaged");
                return n > 0 ? n : -1;
            }
            s->begin += used;
            if (r.type == kStreamFrame) {
                if (s->filtered) {
                    pcap_pkthdr ph{};
                    ph.ts.tv_sec = r.a;
                    ph.ts.tv_usec = r.b;
                    ph.caplen = r.captured;
                    ph.len = r.wire;
                    if (::pcap_offline_filter(&s->filter, &ph, r.bytes) == 0) continue;
                }
                FrameHeader fh{static_cast<int32_t>(r.a), static_cast<int32_t>(r.b), r.captured, r.wire};
                ++*delivered;
                ++n;
                handler(user, &fh, r.bytes);
            } else if (r.type == kStreamStats) {
                s->stats = Stats{r.a, r.b};
            } else if (r.type == kStreamError) {
                fail(s, std::string(reinterpret_cast<const char*>(r.bytes), r.captured));
                return n > 0 ? n : -1;
            }
        }
        if (n == count) return n;
        const int got = read_some(s);
        if (got < 0) return n > 0 ? n : -1;
        if (got > 0) continue;
        if (n > 0 || waited) return n;
        waited = true;
        if (!wait_stream(s, wake_fd, until)) return n;
    }
}

void helper_stop(HelperStream* s) {
    if (s->pid > 0) {
        ::kill(s->pid, SIGTERM);
        int status = 0;
        while (::waitpid(s->pid, &status, 0) < 0 && errno == EINTR) {
        }
        s->pid = -1;
    }
    if (s->fd >= 0) ::close(s->fd);
    s->fd = -1;
}

}  // namespace hscap
