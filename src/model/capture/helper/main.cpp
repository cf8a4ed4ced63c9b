// hopscope-capture: the one program of Hopscope that holds a capability (cap_net_raw,
// given to the installed file). It opens one adapter, and writes its frames and its
// counts to the standard output as a capture stream (model/capture/stream.h) for the
// program, which holds no capability at all and reads the stream through the capture
// library.
//
//   hopscope-capture ADAPTER SNAPLEN PROMISCUOUS FILTER
//
// What it trusts: nothing of its environment (it is cleared before anything else
// runs), no configuration file, no plugin. Before it opens anything it keeps
// cap_net_raw alone, and it refuses to run set-user-ID or set-group-ID.
// `hopscope-capture --self-check` prints what it holds after that start (its
// environment's size and its capabilities) and ends, for the tests.
#include <pcap/pcap.h>
#include <poll.h>
#include <signal.h>
#include <sys/capability.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/fd.h"
#include "model/capture/stream.h"

extern char** environ;

namespace {

constexpr int kBatch = 255;
constexpr int kWaitMs = 100;            // counts go out at least this often
constexpr size_t kFlushBytes = 1 << 16;  // and frames once this much is waiting

[[noreturn]] void die(const char* text) {
    std::fprintf(stderr, "hopscope-capture: %s\n", text);
    std::exit(2);
}

// Keeps cap_net_raw (when the process has it) and drops every other capability from
// the effective, permitted and inheritable sets, the ambient set and, where allowed,
// the bounding set; no later exec can gain any.
bool keep_only_net_raw() {
    cap_t now = cap_get_proc();
    if (!now) return false;
    cap_flag_value_t permitted = CAP_CLEAR;
    cap_get_flag(now, CAP_NET_RAW, CAP_PERMITTED, &permitted);
    cap_free(now);
    // The bounding set can only shrink while cap_setpcap is still held (root).
    for (cap_value_t c = 0; c <= CAP_LAST_CAP; ++c)
        if (c != CAP_NET_RAW && CAP_IS_SUPPORTED(c)) (void)cap_drop_bound(c);
    (void)cap_reset_ambient();
    cap_t keep = cap_init();
    if (!keep) return false;
    if (permitted == CAP_SET) {
        const cap_value_t raw[] = {CAP_NET_RAW};
        cap_set_flag(keep, CAP_PERMITTED, 1, raw, CAP_SET);
        cap_set_flag(keep, CAP_EFFECTIVE, 1, raw, CAP_SET);
    }
    const bool ok = cap_set_proc(keep) == 0;
    cap_free(keep);
    return ok && prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0;
}

struct Out {
    std::string buffer;
    bool flush() {
        const bool ok = fd_write_all(STDOUT_FILENO, buffer.data(), buffer.size());
        buffer.clear();
        return ok;
    }
};

void on_frame(u_char* user, const pcap_pkthdr* h, const u_char* bytes) {
    auto* out = reinterpret_cast<Out*>(user);
    hscap::stream_put_frame(&out->buffer, static_cast<uint32_t>(h->ts.tv_sec), static_cast<uint32_t>(h->ts.tv_usec),
                            h->len, bytes, h->caplen);
}

bool put_stats(pcap_t* p, Out* out) {
    pcap_stat ps{};
    if (pcap_stats(p, &ps) != 0) return true;
    hscap::stream_put_stats(&out->buffer, ps.ps_recv, ps.ps_drop + ps.ps_ifdrop);
    return out->flush();
}

int fail(Out* out, const std::string& text) {
    hscap::stream_put_error(&out->buffer, text);
    (void)out->flush();
    return 1;
}

bool parse_int(const char* text, long lo, long hi, long* v) {
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(text, &end, 10);
    if (errno || !*text || *end || n < lo || n > hi) return false;
    *v = n;
    return true;
}

int self_check() {
    int variables = 0;
    for (char** e = environ; e && *e; ++e) ++variables;
    cap_t caps = cap_get_proc();
    char* text = caps ? cap_to_text(caps, nullptr) : nullptr;
    std::printf("environment\t%d\ncapabilities\t%s\nno_new_privs\t%d\n", variables, text ? text : "?",
                prctl(PR_GET_NO_NEW_PRIVS, 0, 0, 0, 0));
    if (text) cap_free(text);
    if (caps) cap_free(caps);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // A set-user-ID or set-group-ID copy would hand the caller another identity.
    if (::getuid() != ::geteuid() || ::getgid() != ::getegid()) die("refusing to run set-user-ID or set-group-ID");
    ::clearenv();
    if (!keep_only_net_raw()) die("cannot drop the capabilities it does not need");
    if (argc == 2 && std::strcmp(argv[1], "--self-check") == 0) return self_check();
    if (argc != 5) die("usage: hopscope-capture ADAPTER SNAPLEN PROMISCUOUS FILTER");
    // The program reading the stream may go away: a write then fails (no signal), and
    // the end of the parent ends this process too.
    ::signal(SIGPIPE, SIG_IGN);
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() == 1) return 1;

    Out out;
    long snaplen = 0, promisc = 0;
    const char* name = argv[1];
    if (!*name || std::strlen(name) >= 64) return fail(&out, "no such adapter");
    if (!parse_int(argv[2], 0, hscap::kStreamMaxCaptured, &snaplen) || !parse_int(argv[3], 0, 1, &promisc))
        return fail(&out, "bad snap length or promiscuous flag");

    char err[PCAP_ERRBUF_SIZE] = {};
    pcap_t* p = pcap_create(name, err);
    if (!p) return fail(&out, std::string(name) + ": " + err);
    pcap_set_snaplen(p, snaplen > 0 ? static_cast<int>(snaplen) : static_cast<int>(hscap::kStreamMaxCaptured));
    pcap_set_promisc(p, static_cast<int>(promisc));
    pcap_set_timeout(p, kWaitMs);
    pcap_set_buffer_size(p, 32 * 1024 * 1024);
    if (pcap_activate(p) < 0) return fail(&out, std::string(name) + ": " + pcap_geterr(p));
    if (pcap_datalink(p) != DLT_EN10MB) return fail(&out, std::string(name) + ": not an Ethernet adapter");
    if (*argv[4]) {
        bpf_program program{};
        if (pcap_compile(p, &program, argv[4], 1, PCAP_NETMASK_UNKNOWN) != 0 || pcap_setfilter(p, &program) != 0)
            return fail(&out, std::string("filter: ") + pcap_geterr(p));
        pcap_freecode(&program);
    }
    const int fd = pcap_get_selectable_fd(p);
    if (fd < 0 || pcap_setnonblock(p, 1, err) != 0) return fail(&out, std::string(name) + ": cannot wait for frames");
    hscap::stream_put_open(&out.buffer, static_cast<uint32_t>(pcap_datalink(p)));
    if (!out.flush()) return 1;

    // Frames as they come, in batches; the counts after every wait and every batch.
    for (;;) {
        const int n = pcap_dispatch(p, kBatch, on_frame, reinterpret_cast<u_char*>(&out));
        if (n < 0) return fail(&out, pcap_geterr(p));  // the program names the adapter
        if (n == 0) {
            pollfd pfd{fd, POLLIN, 0};
            if (::poll(&pfd, 1, kWaitMs) < 0 && errno != EINTR) return fail(&out, "cannot wait for frames");
            if (!put_stats(p, &out)) return 1;
            continue;
        }
        if (out.buffer.size() >= kFlushBytes || n < kBatch) {
            if (!put_stats(p, &out)) return 1;
        }
    }
}
