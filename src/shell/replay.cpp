// hopscope-replay: runs a capture file through the same capture layer and capture pass
// as the program (255-frame dispatches, a refresh after each), as fast as the file
// can be read, and prints what the model holds after the last frame.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/message.h"
#include "model/net.h"
#include "model/netif.h"
#include "shell/replay_setup.h"
#ifdef HOPSCOPE_REPLAY_MAP
#include "shell/replay_map.h"
#endif

namespace {

void usage() {
    std::fputs(
        "usage: hopscope-replay [options] CAPTURE-FILE\n"
        "  --dump               print the model after the last frame, one tab-separated record a line\n"
        "  --timing             print frames, seconds and frames per second on standard error\n"
        "  --protocols FILE     protocol definition file (default: none, frames are not classified)\n"
        "  --no-classify        ignore --protocols (for measuring the classifier's cost)\n"
        "  --live ADAPTER       capture from a live adapter instead of a file (needs capture rights)\n"
        "  --duration SECONDS   with --live: stop after this many seconds (default 10)\n"
        "  --ethers FILE        local names file (default: none)\n"
        "  --manufacturers FILE manufacturers file (default: none)\n"
        "  --map FILE.png       render the network map after the last frame into a PNG file\n"
        "  --size WxH           with --map: image size in pixels (default 1024x768)\n"
        "  --font FILE          with --map: stroke font (default ./font.bin, else the shipped one)\n"
        "  --font-size F        with --map: font scale (default 0.5)\n"
        "  --cumulative         with --map: every host and link, not only the active ones\n"
        "  --packets            with --map: size hosts by frame rate instead of byte rate\n"
        "  --addresses          with --map: label hosts by Ethernet address, not by name\n"
        "  --show-manufacturers with --map: add each host's manufacturer to its label\n"
        "  --focus NAME:C,...   with --map and --protocols: colour links by these protocols\n"
        "                       (palette indices 0..31); other links get the colour of \"Other\"\n"
        "  --cfdump FILE        with --map and --protocols: custom focus file; its palette colours\n"
        "                       the links, and its focus named by --focus-name picks the entries\n"
        "  --focus-name NAME    with --cfdump: the focus to colour by (default \"Ethernet\")\n",
        stderr);
}

void print_tally(const Link* l, const ProtocolTally* t, std::string prefix) {
    for (; t; t = t->next) {
        std::string path = prefix.empty() ? std::string(protocol_name(t->protocol)) : prefix + "/" + protocol_name(t->protocol);
        std::printf("tally\t%s\t%s\t%s\t%u\t%u\n", l->source->address_text, l->destination->address_text, path.c_str(),
                    t->frames, t->bytes);
        print_tally(l, t->first_child, path);
    }
}

void dump(const Network* net) {
    uint64_t frames = 0, bytes = 0;
    list_foreach(net->host_list, [&](void* item) {
        frames += static_cast<const Host*>(item)->total_frames;
        bytes += static_cast<const Host*>(item)->total_bytes;
    });
    std::printf("network\t%s\t%d\t%llu\t%llu\n", net->name, net->host_count, static_cast<unsigned long long>(frames),
                static_cast<unsigned long long>(bytes));
    list_foreach(net->host_list, [&](void* item) {
        auto* h = static_cast<const Host*>(item);
        std::printf("host\t%s\t%u\t%u\t%s\t%s\n", h->address_text, h->total_frames, h->total_bytes,
                    h->name ? h->name : "", h->manufacturer_text);
        hashtable_foreach(h->link_table, [&](void*, void* value) {
            auto* l = static_cast<const Link*>(value);
            std::printf("link\t%s\t%s\t%u\t%u\n", l->source->address_text, l->destination->address_text,
                        l->total_frames, l->total_bytes);
            print_tally(l, l->protocol_tree, "");
        });
    });
}

}  // namespace

int main(int argc, char** argv) {
    ReplayOptions opt;
    bool do_dump = false, timing = false;
    const char* live = nullptr;
    double duration = 10;
    const char* file = nullptr;
    const char* map_file = nullptr;
    std::string size_text, font_file, focus, cfdump, focus_name;
    double font_size = 0.5;
    bool cumulative = false, packets = false, addresses = false, manufacturers = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "hopscope-replay: %s needs a value\n", name);
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--dump") do_dump = true;
        else if (a == "--timing") timing = true;
        else if (a == "--protocols") opt.protocols = value("--protocols");
        else if (a == "--no-classify") opt.classify = false;
        else if (a == "--live") live = value("--live");
        else if (a == "--duration") duration = std::atof(value("--duration"));
        else if (a == "--ethers") opt.ethers = value("--ethers");
        else if (a == "--manufacturers") opt.manufacturers = value("--manufacturers");
        else if (a == "--map") map_file = value("--map");
        else if (a == "--size") size_text = value("--size");
        else if (a == "--font") font_file = value("--font");
        else if (a == "--font-size") font_size = std::atof(value("--font-size"));
        else if (a == "--cumulative") cumulative = true;
        else if (a == "--packets") packets = true;
        else if (a == "--addresses") addresses = true;
        else if (a == "--show-manufacturers") manufacturers = true;
        else if (a == "--focus") focus = value("--focus");
        else if (a == "--cfdump") cfdump = value("--cfdump");
        else if (a == "--focus-name") focus_name = value("--focus-name");
        else if (a == "--help" || a == "-h") { usage(); return 0; }
        else if (!a.empty() && a[0] == '-') {
            std::fprintf(stderr, "hopscope-replay: unknown option %s\n", a.c_str());
            usage();
            return 2;
        } else if (!file) file = argv[i];
        else {
            std::fprintf(stderr, "hopscope-replay: only one capture file, please\n");
            return 2;
        }
    }
    if (!file == !live) {
        usage();
        return 2;
    }

    bool damaged = false;
    message_set_sink([&](const std::string& title, const std::string& text, MessageIcon icon) {
        std::fprintf(stderr, "hopscope-replay: %s: %s\n", title.c_str(), text.c_str());
        if (icon != MessageIcon::Information) damaged = true;
    });

#ifdef HOPSCOPE_REPLAY_MAP
    ReplayMapOptions map;
    if (map_file) {
        map.png = map_file;
        if (!size_text.empty() && !replay_map_parse_size(size_text.c_str(), &map.width, &map.height)) {
            std::fprintf(stderr, "hopscope-replay: --size wants WIDTHxHEIGHT, as in 1280x1024\n");
            return 2;
        }
        if (!(font_size > 0 && font_size <= 100)) {
            std::fprintf(stderr, "hopscope-replay: --font-size wants a number above 0\n");
            return 2;
        }
        map.font = font_file;
        map.font_size = font_size;
        map.cumulative = cumulative;
        map.packets = packets;
        map.addresses = addresses;
        map.manufacturers = manufacturers;
        map.focus = focus;
        if (!focus.empty() && opt.protocols.empty()) {
            std::fprintf(stderr, "hopscope-replay: --focus needs --protocols\n");
            return 2;
        }
        if (!cfdump.empty() && opt.protocols.empty()) {
            std::fprintf(stderr, "hopscope-replay: --cfdump needs --protocols\n");
            return 2;
        }
        if (!focus_name.empty() && (cfdump.empty() || !focus.empty())) {
            std::fprintf(stderr, "hopscope-replay: --focus-name needs --cfdump and no --focus\n");
            return 2;
        }
        map.cfdump = cfdump;
        map.focus_name = focus_name;
    }
#else
    if (map_file) {
        std::fprintf(stderr, "hopscope-replay: built without the drawing library: no --map\n");
        return 2;
    }
    (void)font_size;
    (void)cumulative, (void)packets, (void)addresses, (void)manufacturers;
    (void)cfdump, (void)focus_name;
#endif

    if (!replay_setup(opt)) return 1;
#ifdef HOPSCOPE_REPLAY_MAP
    // Before any frame: hosts measure their labels when they are created.
    if (map_file && !replay_map_open(map)) return 1;
#endif
    char err[hscap::kErrbufSize] = {};
    if (file && hscap::add_capture_file(file, hscap::Pace::Fastest, false, err) != 0) {
        std::fprintf(stderr, "hopscope-replay: cannot read capture file: %s\n", err);
        return 1;
    }
    hscap::pcap_init();
    hscap::Adapter** adapters = hscap::pcap_lookupdevs(err);
    const hscap::Adapter* chosen = nullptr;
    for (hscap::Adapter** a = adapters; *a; ++a)
        if (file || std::strcmp((*a)->name, live) == 0) {
            chosen = *a;
            break;
        }
    if (!chosen) {
        std::fprintf(stderr, "hopscope-replay: no adapter named %s\n", live);
        return 1;
    }
    if (chosen->network_type != 0) {
        std::fprintf(stderr, "hopscope-replay: %s: not an Ethernet %s\n", chosen->name,
                     file ? "capture" : "adapter that is up");
        return 1;
    }
    net_list_create();
    Network* net = net_create(hscap::pcap_if_name(chosen));
    net_list_add(net);
    net_set_current(net);
    hscap::Handle* handle = hscap::pcap_open_live(hscap::pcap_if_name(chosen), file ? 65535 : 54, 1, 600, err);
    if (!handle) {
        std::fprintf(stderr, "hopscope-replay: cannot open %s: %s\n", file ? file : live, err);
        return 1;
    }
    if (live) std::fprintf(stderr, "capturing on %s\n", live);

    CaptureContext ctx;
    ctx.handle = handle;
    const auto t0 = std::chrono::steady_clock::now();
    auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(); };
    while (!hscap::finished(handle) && (!live || elapsed() < duration))
        if (capture_pass(&ctx, net, handle) < 0) break;
    const double secs = elapsed();
    if (timing) {
        const auto frames = hscap::delivered(handle);
        std::fprintf(stderr, "frames\t%llu\nseconds\t%.6f\nframes_per_second\t%.0f\n",
                     static_cast<unsigned long long>(frames), secs, secs > 0 ? frames / secs : 0.0);
    }
    if (do_dump) dump(net);
#ifdef HOPSCOPE_REPLAY_MAP
    if (map_file && !replay_map_write(net, map.png)) damaged = true;
#endif
    hscap::pcap_close(handle);
    return damaged ? 1 : 0;
}
