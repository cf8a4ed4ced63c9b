#include "model/capture/capture.h"

#include <pcap/pcap.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "model/capture/helper_client.h"

namespace hscap {

namespace {

using Clock = std::chrono::steady_clock;

struct FileSource {
    std::string path;
    Pace pace;
    bool loop;
    int datalink = -1;
    // A regular file can be opened again (a loop, a second open after an adapter
    // switch); a pipe, a FIFO or standard input is read once, through the handle made
    // when it was registered.
    bool reopens = false;
    pcap_t* opened = nullptr;  // the registration's handle, until the first open takes it
};

void close_pcap(pcap_t* p);

// The capture sources: the files registered and the adapter list, once fetched.
struct SourceState {
    std::mutex mutex;
    std::vector<FileSource> files;
    std::vector<Adapter> adapters;  // storage of the fetched list
    std::vector<Adapter*> list;     // null-terminated
    bool fetched = false;
    ~SourceState() {
        for (FileSource& f : files)
            if (f.opened) close_pcap(f.opened);
    }
};
SourceState g_sources;

void set_error(char* errbuf, const std::string& text) {
    if (errbuf) std::snprintf(errbuf, kErrbufSize, "%s", text.c_str());
}

void copy_text(char* dst, const std::string& src) {
    std::memset(dst, 0, kAdapterText);
    std::strncpy(dst, src.c_str(), kAdapterText - 1);
}

std::string base_name(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The adapter name of a capture file: its base name; "-" is standard input.
std::string source_name(const std::string& path) { return path == "-" ? "stdin" : base_name(path); }

// A text that begins with the source's name: the library's own texts often do already.
std::string named(const std::string& name, const std::string& text) {
    return text.compare(0, name.size(), name) == 0 ? text : name + ": " + text;
}

// Capture files are read through a stdio buffer of their own: the library reads a file
// in two small reads a frame, which with the default buffer is a system call every few
// frames. Each buffer lives until its capture is closed (close_pcap).
constexpr size_t kFileBuffer = 1 << 20;
struct FileBuffers {
    std::mutex mutex;
    std::map<pcap_t*, std::unique_ptr<char[]>> of;
};
FileBuffers& file_buffers() {
    static auto* b = new FileBuffers;  // never destroyed: the sources close theirs at exit
    return *b;
}

void close_pcap(pcap_t* p) {
    if (!p) return;
    ::pcap_close(p);  // closes the file, before its buffer goes
    FileBuffers& b = file_buffers();
    std::lock_guard<std::mutex> lock(b.mutex);
    b.of.erase(p);
}

pcap_t* open_file(const std::string& path, char* errbuf) {
    char err[PCAP_ERRBUF_SIZE] = {};
    if (path != "-")
        if (FILE* f = std::fopen(path.c_str(), "rb")) {
            std::unique_ptr<char[]> buffer(new (std::nothrow) char[kFileBuffer]);
            if (buffer) std::setvbuf(f, buffer.get(), _IOFBF, kFileBuffer);
            pcap_t* p = pcap_fopen_offline_with_tstamp_precision(f, PCAP_TSTAMP_PRECISION_MICRO, err);
            if (!p) {
                std::fclose(f);
                set_error(errbuf, named(path, err));
                return nullptr;
            }
            FileBuffers& b = file_buffers();
            std::lock_guard<std::mutex> lock(b.mutex);
            b.of[p] = std::move(buffer);
            return p;
        }
    // Standard input, or a file that cannot be opened (the library's text then says why).
    pcap_t* p = pcap_open_offline_with_tstamp_precision(path.c_str(), PCAP_TSTAMP_PRECISION_MICRO, err);
    // The library's text names the file itself when the file cannot be opened.
    if (!p) set_error(errbuf, named(path, err));
    return p;
}

// Network type of a live interface: 0 for an Ethernet interface that is up, negative
// for one that is down, positive for other link types.
int32_t live_network_type(const pcap_if_t* d) {
    std::ifstream type_file(std::string("/sys/class/net/") + d->name + "/type");
    int arp_type = -1;
    if (!(type_file >> arp_type) || arp_type != 1) return 1;  // 1 = ARPHRD_ETHER
    if (!(d->flags & PCAP_IF_UP)) return -1;
    return 0;
}

FileSource* find_file(const char* name) {
    for (FileSource& f : g_sources.files)
        if (source_name(f.path) == name || f.path == name) return &f;
    return nullptr;
}

}  // namespace

struct Handle {
    pcap_t* pcap = nullptr;
    bool is_file = false;
    FileSource file;
    // Frame read but not yet delivered (a file replayed at its recorded pace).
    bool pending = false;
    pcap_pkthdr* pending_header = nullptr;
    const u_char* pending_bytes = nullptr;
    // Recorded-pace bookkeeping: the first frame's time and the wall time it was
    // delivered at; each loop adds the file's span to the timestamps.
    bool started = false;
    int64_t first_us = 0;
    Clock::time_point start_wall;
    int64_t loop_offset_us = 0;
    int64_t loop_first_us = -1;
    int64_t last_us = 0;
    bool ended = false;
    std::string error;
    bool error_taken = true;
    int fd = -1;          // live adapters: descriptor to wait on
    int timeout_ms = 600; // live adapters: read time-out
    int wake_fd = -1;     // ends a wait of a dispatch early (interrupt)
    uint64_t delivered = 0;
    std::unique_ptr<HelperStream> helper;  // live adapters opened through the capture helper
    std::string filter;   // the capture filter's expression; empty: none
    int64_t file_size = -1;  // capture files: bytes on disk
};

namespace {

// Whether a live adapter is opened through the capture helper: always when there is
// one, unless HOPSCOPE_CAPTURE=direct asks for the capture in this process (which then
// needs the capability itself, as root has it). Without a helper the capture is direct.
bool through_helper() {
    const char* how = std::getenv("HOPSCOPE_CAPTURE");
    if (how && std::strcmp(how, "direct") == 0) return false;
    return !helper_path().empty();
}

// Compiles `expression` against the handle's capture and installs it.
bool apply_filter(pcap_t* p, const std::string& expression, std::string* error) {
    bpf_program program{};
    if (::pcap_compile(p, &program, expression.c_str(), 1, PCAP_NETMASK_UNKNOWN) != 0) {
        *error = pcap_geterr(p);
        return false;
    }
    const int rc = ::pcap_setfilter(p, &program);
    if (rc != 0) *error = pcap_geterr(p);
    ::pcap_freecode(&program);
    return rc == 0;
}

}  // namespace

int add_capture_file(const char* path, Pace pace, bool loop, char* errbuf) {
    if (!path || !*path) {
        set_error(errbuf, "no capture file named");
        return -1;
    }
    // Opened here to check it. A pipe or a FIFO gives its frames only once, so the first
    // open of such a source reads through this same handle.
    pcap_t* p = open_file(path, errbuf);
    if (!p) return -1;
    struct stat st {};
    const bool regular = std::strcmp(path, "-") != 0 && ::stat(path, &st) == 0 && S_ISREG(st.st_mode);
    // A regular file is opened afresh by each open of the source, as any file is; only a
    // pipe, a FIFO or standard input keeps this first opening for it.
    const int datalink = pcap_datalink(p);
    if (regular) {
        close_pcap(p);
        p = nullptr;
    }
    std::lock_guard<std::mutex> lock(g_sources.mutex);
    g_sources.files.push_back(FileSource{path, pace, loop, datalink, regular, p});
    return 0;
}

void reset_sources() {
    std::lock_guard<std::mutex> lock(g_sources.mutex);
    for (FileSource& f : g_sources.files)
        if (f.opened) close_pcap(f.opened);
    g_sources.files.clear();
    g_sources.adapters.clear();
    g_sources.list.clear();
    g_sources.fetched = false;
}

void pcap_init() {}

Adapter** pcap_lookupdevs(char* errbuf) {
    std::lock_guard<std::mutex> lock(g_sources.mutex);
    if (g_sources.fetched) return g_sources.list.data();
    g_sources.fetched = true;
    for (const FileSource& f : g_sources.files) {
        Adapter a{};
        copy_text(a.name, source_name(f.path));
        copy_text(a.description, f.path == "-" ? std::string("Capture from standard input") : "Capture file " + f.path);
        a.network_type = f.datalink == DLT_EN10MB ? 0 : 1;
        g_sources.adapters.push_back(a);
    }
    pcap_if_t* devs = nullptr;
    char err[PCAP_ERRBUF_SIZE] = {};
    if (pcap_findalldevs(&devs, err) != 0) set_error(errbuf, err);
    for (pcap_if_t* d = devs; d; d = d->next) {
        Adapter a{};
        copy_text(a.name, d->name);
        copy_text(a.description, d->description ? d->description : d->name);
        a.network_type = live_network_type(d);
        g_sources.adapters.push_back(a);
    }
    if (devs) pcap_freealldevs(devs);
    for (Adapter& a : g_sources.adapters) g_sources.list.push_back(&a);
    g_sources.list.push_back(nullptr);
    return g_sources.list.data();
}

int pcap_get_interface_count() {
    std::lock_guard<std::mutex> lock(g_sources.mutex);
    return static_cast<int>(g_sources.adapters.size());
}

const char* pcap_if_name(const Adapter* adapter) { return adapter ? adapter->name : nullptr; }

Handle* pcap_open_live(const char* name, int snaplen, int promisc, int timeout_ms, char* errbuf) {
    if (!name) {
        set_error(errbuf, "no adapter named");
        return nullptr;
    }
    FileSource file;
    bool is_file = false;
    pcap_t* opened = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_sources.mutex);
        if (FileSource* f = find_file(name)) {
            file = *f;
            file.opened = nullptr;
            is_file = true;
            opened = f->opened;
            f->opened = nullptr;
        }
    }
    auto* h = new Handle{};
    if (is_file) {
        h->is_file = true;
        h->file = file;
        if (opened) h->pcap = opened;
        else if (file.reopens) h->pcap = open_file(file.path, errbuf);
        else set_error(errbuf, file.path + ": was read once already (a pipe or standard input cannot be read again)");
        struct stat st {};
        if (h->pcap && ::stat(file.path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) h->file_size = st.st_size;
    } else if (through_helper()) {
        h->file.path = name;
        h->timeout_ms = timeout_ms;
        h->helper = std::make_unique<HelperStream>();
        if (!helper_start(h->helper.get(), helper_path(), name, snaplen, promisc, errbuf)) {
            delete h;
            return nullptr;
        }
    } else {
        char err[PCAP_ERRBUF_SIZE] = {};
        h->file.path = name;
        h->pcap = pcap_create(name, err);
        if (h->pcap) {
            pcap_set_snaplen(h->pcap, snaplen > 0 ? snaplen : 65535);
            pcap_set_promisc(h->pcap, promisc);
            pcap_set_timeout(h->pcap, timeout_ms);
            // A large kernel buffer rides out bursts while the thread refreshes and draws.
            pcap_set_buffer_size(h->pcap, 32 * 1024 * 1024);
            int rc = pcap_activate(h->pcap);
            if (rc < 0) {
                set_error(errbuf, named(name, pcap_geterr(h->pcap)));
                close_pcap(h->pcap);
                h->pcap = nullptr;
            } else if (pcap_datalink(h->pcap) != DLT_EN10MB) {
                set_error(errbuf, std::string(name) + ": not an Ethernet adapter");
                close_pcap(h->pcap);
                h->pcap = nullptr;
            } else {
                // The kernel's block time-out only runs once a frame has arrived, so a
                // blocking read on a silent adapter could wait forever. Read without
                // blocking and wait for frames with our own time-out instead.
                h->timeout_ms = timeout_ms;
                h->fd = pcap_get_selectable_fd(h->pcap);
                if (h->fd >= 0) pcap_setnonblock(h->pcap, 1, err);
            }
        } else {
            set_error(errbuf, named(name, err));
        }
    }
    if (!h->pcap && !h->helper) {
        delete h;
        return nullptr;
    }
    h->wake_fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    return h;
}

namespace {

int64_t stamp_us(const pcap_pkthdr* hdr) { return int64_t(hdr->ts.tv_sec) * 1000000 + hdr->ts.tv_usec; }

// Reads the next frame of a file into the pending slot. Returns false at the end of
// the file (after reopening it when it loops) or on damage.
bool read_next(Handle* h) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        pcap_pkthdr* hdr = nullptr;
        const u_char* bytes = nullptr;
        int rc = pcap_next_ex(h->pcap, &hdr, &bytes);
        if (rc == 1) {
            h->pending = true;
            h->pending_header = hdr;
            h->pending_bytes = bytes;
            return true;
        }
        if (rc == PCAP_ERROR && h->error.empty()) {
            h->error = "capture file " + h->file.path + " is damaged after frame " + std::to_string(h->delivered) +
                       ": " + pcap_geterr(h->pcap) + "; the frames before the damage were read";
            h->error_taken = false;
        }
        // End of file (or damage): loop when asked, so replay goes on with time moving
        // forward; otherwise the source is finished.
        if (!h->file.loop || !h->file.reopens || h->delivered == 0) break;
        char err[kErrbufSize] = {};
        pcap_t* again = open_file(h->file.path, err);
        if (!again) break;
        std::string ignored;  // it compiled against the same file before
        if (!h->filter.empty()) (void)apply_filter(again, h->filter, &ignored);
        close_pcap(h->pcap);
        h->pcap = again;
        h->loop_offset_us += (h->last_us - h->loop_first_us) + 1000;
        h->loop_first_us = -1;
    }
    h->ended = true;
    return false;
}

void deliver(Handle* h, Handler handler, void* user) {
    const pcap_pkthdr* hdr = h->pending_header;
    const int64_t raw = stamp_us(hdr);
    if (h->loop_first_us < 0) h->loop_first_us = raw;
    h->last_us = raw;
    const int64_t t = raw + h->loop_offset_us;
    FrameHeader fh;
    fh.seconds = static_cast<int32_t>(t / 1000000);
    fh.microseconds = static_cast<int32_t>(t % 1000000);
    fh.captured = hdr->caplen;
    fh.length = hdr->len;
    h->pending = false;
    ++h->delivered;
    handler(user, &fh, h->pending_bytes);
}

// Sleeps until `until` unless the handle is interrupted first. Returns false when it was.
bool wait_wake(Handle* h, Clock::time_point until) {
    const auto now = Clock::now();
    if (until <= now) return true;
    if (h->wake_fd < 0) {
        std::this_thread::sleep_until(until);
        return true;
    }
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(until - now).count();
    pollfd pfd{h->wake_fd, POLLIN, 0};
    if (::poll(&pfd, 1, static_cast<int>(ms)) > 0 && (pfd.revents & POLLIN)) {
        uint64_t v;
        (void)!::read(h->wake_fd, &v, sizeof v);
        return false;
    }
    return true;
}

int dispatch_file(Handle* h, int count, Handler handler, void* user) {
    const auto dispatch_start = Clock::now();
    const auto read_timeout = std::chrono::milliseconds(600);
    int n = 0;
    while (n < count) {
        if (!h->pending && (h->ended || !read_next(h))) break;
        if (h->file.pace == Pace::Recorded) {
            const int64_t t = stamp_us(h->pending_header) + h->loop_offset_us;
            if (!h->started) {
                h->started = true;
                h->first_us = t;
                h->start_wall = Clock::now();
            }
            const auto due = h->start_wall + std::chrono::microseconds(t - h->first_us);
            const auto now = Clock::now();
            if (due > now) {
                if (n > 0) break;  // deliver what is due now; the rest next pass
                const auto limit = dispatch_start + read_timeout;
                if (!wait_wake(h, due < limit ? due : limit)) break;  // interrupted
                if (due > limit) break;
            }
        }
        deliver(h, handler, user);
        ++n;
    }
    return n;
}

struct LiveContext {
    Handle* handle;
    Handler handler;
    void* user;
};

void live_trampoline(u_char* user, const pcap_pkthdr* hdr, const u_char* bytes) {
    auto* ctx = reinterpret_cast<LiveContext*>(user);
    FrameHeader fh;
    fh.seconds = static_cast<int32_t>(hdr->ts.tv_sec);
    fh.microseconds = static_cast<int32_t>(hdr->ts.tv_usec);
    fh.captured = hdr->caplen;
    fh.length = hdr->len;
    ++ctx->handle->delivered;
    ctx->handler(ctx->user, &fh, bytes);
}

}  // namespace

int pcap_dispatch(Handle* h, int count, Handler handler, void* user) {
    if (!h || !handler) return -1;
    if (h->helper) {
        const int n = helper_dispatch(h->helper.get(), count, h->timeout_ms, h->wake_fd, handler, user, &h->delivered);
        if (n < 0 && h->error.empty()) {
            h->error = "capture on " + h->file.path + " stopped: " + h->helper->error;
            h->error_taken = false;
        }
        return n;
    }
    if (!h->pcap) return -1;
    if (h->is_file) return dispatch_file(h, count, handler, user);
    LiveContext ctx{h, handler, user};
    int n = ::pcap_dispatch(h->pcap, count, live_trampoline, reinterpret_cast<u_char*>(&ctx));
    if (n == 0 && h->fd >= 0) {
        pollfd p[2] = {{h->fd, POLLIN, 0}, {h->wake_fd, POLLIN, 0}};
        if (poll(p, h->wake_fd >= 0 ? 2 : 1, h->timeout_ms) > 0) {
            if (h->wake_fd >= 0 && (p[1].revents & POLLIN)) {
                uint64_t v;
                (void)!::read(h->wake_fd, &v, sizeof v);  // interrupted: return what there is
            } else {
                n = ::pcap_dispatch(h->pcap, count, live_trampoline, reinterpret_cast<u_char*>(&ctx));
            }
        }
    }
    if (n < 0 && h->error.empty()) {
        // The adapter went away (unplugged, deleted, down): the capture ends here, and says so.
        h->error = "capture on " + h->file.path + " stopped: " + pcap_geterr(h->pcap);
        h->error_taken = false;
    }
    return n < 0 ? -1 : n;
}

int pcap_stats(Handle* h, Stats* stats) {
    if (!h || !stats) return -1;
    *stats = Stats{0, 0};
    if (h->is_file) {
        stats->received = static_cast<uint32_t>(h->delivered);
        return 0;
    }
    if (h->helper) {
        *stats = h->helper->stats;
        return 0;
    }
    pcap_stat ps{};
    if (::pcap_stats(h->pcap, &ps) != 0) return -1;
    stats->received = ps.ps_recv;
    stats->dropped = ps.ps_drop + ps.ps_ifdrop;
    return 0;
}

void pcap_close(Handle* h) {
    if (!h) return;
    if (h->pcap) close_pcap(h->pcap);
    if (h->helper) helper_stop(h->helper.get());
    if (h->wake_fd >= 0) ::close(h->wake_fd);
    delete h;
}

void interrupt(Handle* h) {
    if (!h || h->wake_fd < 0) return;
    const uint64_t one = 1;
    (void)!::write(h->wake_fd, &one, sizeof one);
}

int set_filter(Handle* h, const char* expression, char* errbuf) {
    if (!h || (!h->pcap && !h->helper)) {
        set_error(errbuf, "no capture to filter");
        return -1;
    }
    const std::string text = expression ? expression : "";
    // An empty expression compiles to a program that takes every frame.
    std::string error;
    if (h->helper ? !helper_set_filter(h->helper.get(), text, &error) : !apply_filter(h->pcap, text, &error)) {
        set_error(errbuf, "capture filter \"" + text + "\": " + error);
        return -1;
    }
    h->filter = text;
    return 0;
}

double read_fraction(Handle* h) {
    if (!h || !h->is_file || h->file_size <= 0 || !h->pcap) return -1;
    std::FILE* f = ::pcap_file(h->pcap);
    const long at = f ? std::ftell(f) : -1;
    if (at < 0) return -1;
    const double fraction = static_cast<double>(at) / static_cast<double>(h->file_size);
    return fraction > 1 ? 1 : fraction;
}

bool missing_rights(const char* errbuf) {
    return errbuf && (std::strstr(errbuf, "Operation not permitted") || std::strstr(errbuf, "Permission denied") ||
                      std::strstr(errbuf, "permission"));
}

std::string rights_hint(const char* adapter) {
    return std::string("Cannot capture on ") + (adapter ? adapter : "the adapter") +
           ": live capture needs root or the capture rights (cap_net_raw on the capture helper; see \"CAPTURE "
           "RIGHTS\" in hopscope(1)). Capture files need no rights.";
}

const char* take_error(Handle* h) {
    if (!h || h->error_taken) return nullptr;
    h->error_taken = true;
    return h->error.c_str();
}

bool finished(const Handle* h) { return h && h->is_file && h->ended && !h->pending; }

uint64_t delivered(const Handle* h) { return h ? h->delivered : 0; }

}  // namespace hscap
