#include "replay/options.h"

#include "model/net.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "base/datadir.h"

#ifndef HOPSCOPE_VERSION
#define HOPSCOPE_VERSION "unknown"
#endif

void replay_usage(std::FILE* out) {
    std::fputs(
        "usage: hopscope-replay [options] CAPTURE-FILE   (- reads the capture from standard input)\n"
        "       hopscope-replay [options] --live ADAPTER [--duration SECONDS]\n"
        "Reads a capture as the program does, as fast as it can, and prints or draws the model.\n"
        "The shipped protocol tree, manufacturers file and (for --map) focus file are read by\n"
        "default, from $HOPSCOPE_DATA or the installed share/hopscope.\n"
        "  --dump               print the model after the last frame, one tab-separated record a line\n"
        "  --timing             print frames, seconds, frames per second, and frames received and\n"
        "                       dropped by the capture, on standard error\n"
        "  --filter EXPR        capture filter in libpcap's filter syntax (as in \"arp or port 53\")\n"
        "  --protocols FILE     protocol definition file (default: the shipped protocol.pdl)\n"
        "  --no-protocols       no protocol tree: frames are not classified (and no focus file)\n"
        "  --no-classify        load the tree but ignore it (for measuring the classifier's cost)\n"
        "  --live ADAPTER       capture from a live adapter instead of a file (needs capture rights)\n"
        "  --duration SECONDS   with --live: stop after this many seconds (default 10)\n"
        "  --max-hosts N        make at most N hosts (default 65536); frames beyond them are counted\n"
        "                       as unattributed\n"
        "  --ethers FILE        local names file (default: none)\n"
        "  --manufacturers FILE manufacturers file (default: the shipped manf)\n"
        "  --no-names           no manufacturers file unless one is named\n"
        "  --map FILE.png       render the network map after the last frame into a PNG file\n"
        "  --size WxH           with --map: image size in pixels (default 1024x768)\n"
        "  --font FILE          with --map: stroke font (default: the shipped font.bin)\n"
        "  --font-size F        with --map: font scale (default 0.5)\n"
        "  --cumulative         with --map: every host and link, not only the active ones\n"
        "  --packets            with --map: size hosts by frame rate instead of byte rate\n"
        "  --addresses          with --map: label hosts by Ethernet address, not by name\n"
        "  --show-manufacturers with --map: add each host's manufacturer to its label\n"
        "  --focus NAME:C,...   with --map and --protocols: colour links by these protocols\n"
        "                       (palette indices 0..31); other links get the colour of \"Other\"\n"
        "  --cfdump FILE        with --map and --protocols: custom focus file; its palette colours\n"
        "                       the links, and its focus named by --focus-name picks the entries\n"
        "                       (default without --focus: the shipped cfdump.bin)\n"
        "  --focus-name NAME    with --cfdump: the focus to colour by (default \"Ethernet\")\n"
        "  --alarms FILE        with --protocols: run the alarms of an alarm file in every pass and\n"
        "                       print each firing performed: the pass's frame time and the notify\n"
        "                       string (no sound plays, no command starts)\n"
        "  --alarms-on          with --alarms: switch every alarm of the file on\n"
        "  --no-dump            print no model even when --dump is given (the golden cases' runner\n"
        "                       asks for the dump)\n"
        "  --reports DIR        write the host, statistics and alarm reports after the last frame\n"
        "                       into DIR (hostrep, statsrep, alarmrep; .txt, .rtf and .html each)\n"
        "  --clock SECONDS      the wall clock stands still at this time (seconds since 1970):\n"
        "                       the reports' start and generation times\n"
        "  --help, --version    this text; the version\n"
        "A capture file read for more than a few seconds shows its progress on standard error when\n"
        "that is a terminal.\n",
        out);
}

void replay_apply_defaults(ReplayOptions* o) {
    auto shipped = [](const char* name) { return data_find(name); };
    if (!o->no_protocols && o->engine.protocols.empty()) o->engine.protocols = shipped("protocol.pdl");
    if (!o->no_names && o->engine.manufacturers.empty()) o->engine.manufacturers = shipped("manf");
    ReplayMapOptions& m = o->map_options;
    if (o->map && !o->no_protocols && m.cfdump.empty() && m.focus.empty() && !o->engine.protocols.empty())
        m.cfdump = shipped("cfdump.bin");
}

bool replay_parse_size(const char* text, int* width, int* height) {
    if (!text) return false;
    int w = 0, h = 0, used = 0;
    if (std::sscanf(text, "%dx%d%n", &w, &h, &used) != 2 || text[used] != '\0') return false;
    if (w < 1 || h < 1 || w > 16384 || h > 16384) return false;
    *width = w;
    *height = h;
    return true;
}

bool replay_parse_clock(const char* text, long long* seconds) {
    if (!text || !*text) return false;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text, &end, 10);
    if (errno || *end || v < 0 || v > 253402300799LL) return false;  // up to the end of year 9999
    *seconds = v;
    return true;
}

namespace {

// The map's options make sense only together; checked once --map is given.
bool check_map_options(ReplayOptions& o, const std::string& size_text) {
    ReplayMapOptions& m = o.map_options;
    auto refuse = [](const char* text) {
        std::fprintf(stderr, "hopscope-replay: %s\n", text);
        return false;
    };
    if (!replay_map_available()) return refuse("built without the drawing library: no --map");
    if (!size_text.empty() && !replay_parse_size(size_text.c_str(), &m.width, &m.height))
        return refuse("--size wants WIDTHxHEIGHT, as in 1280x1024");
    if (!(m.font_size > 0 && m.font_size <= 100)) return refuse("--font-size wants a number above 0");
    if (!m.focus.empty() && o.engine.protocols.empty()) return refuse("--focus needs --protocols");
    if (!m.cfdump.empty() && o.engine.protocols.empty()) return refuse("--cfdump needs --protocols");
    if (!m.focus_name.empty() && (m.cfdump.empty() || !m.focus.empty()))
        return refuse("--focus-name needs --cfdump and no --focus");
    return true;
}

}  // namespace

ReplayParse replay_parse_options(int argc, char** argv, ReplayOptions* o) {
    ReplayMapOptions& m = o->map_options;
    std::string size_text;
    std::string clock_text;
    bool live_given = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char* missing = nullptr;
        auto value = [&](const char* name) -> std::string {
            if (i + 1 >= argc) {
                missing = name;
                return {};
            }
            return argv[++i];
        };
        if (a == "--dump") o->dump = true;
        else if (a == "--timing") o->timing = true;
        else if (a == "--protocols") o->engine.protocols = value("--protocols");
        else if (a == "--no-classify") o->engine.classify = false;
        else if (a == "--live") o->live = value("--live"), live_given = true;
        else if (a == "--duration") o->duration = std::atof(value("--duration").c_str());
        else if (a == "--max-hosts") {
            const std::string v = value("--max-hosts");
            char* end = nullptr;
            const long n = std::strtol(v.c_str(), &end, 10);
            if (!missing && (v.empty() || *end || n < kMinMaxHosts || n > kMaxMaxHosts)) {
                std::fprintf(stderr, "hopscope-replay: --max-hosts wants a whole number from %d to %d\n", kMinMaxHosts,
                             kMaxMaxHosts);
                return ReplayParse::usage_error;
            }
            o->max_hosts = int(n);
        }
        else if (a == "--ethers") o->engine.ethers = value("--ethers");
        else if (a == "--manufacturers") o->engine.manufacturers = value("--manufacturers");
        else if (a == "--map") m.png = value("--map"), o->map = true;
        else if (a == "--size") size_text = value("--size");
        else if (a == "--font") m.font = value("--font");
        else if (a == "--font-size") m.font_size = std::atof(value("--font-size").c_str());
        else if (a == "--cumulative") m.cumulative = true;
        else if (a == "--packets") m.packets = true;
        else if (a == "--addresses") m.addresses = true;
        else if (a == "--show-manufacturers") m.manufacturers = true;
        else if (a == "--focus") m.focus = value("--focus");
        else if (a == "--cfdump") m.cfdump = value("--cfdump");
        else if (a == "--focus-name") m.focus_name = value("--focus-name");
        else if (a == "--alarms") o->alarms = value("--alarms");
        else if (a == "--alarms-on") o->alarms_on = true;
        else if (a == "--no-dump") o->no_dump = true;
        else if (a == "--reports") o->reports = value("--reports");
        else if (a == "--clock") clock_text = value("--clock"), o->fixed_clock = true;
        else if (a == "--no-protocols") o->no_protocols = true;
        else if (a == "--no-names") o->no_names = true;
        else if (a == "--filter") o->filter = value("--filter"), o->filter_given = true;
        else if (a == "--help" || a == "-h") {
            replay_usage(stdout);
            return ReplayParse::help;
        } else if (a == "--version") {
            std::printf("hopscope-replay %s\n", HOPSCOPE_VERSION);
            return ReplayParse::help;
        } else if (a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "hopscope-replay: unknown option %s\n", a.c_str());
            replay_usage(stderr);
            return ReplayParse::usage_error;
        } else if (!o->from_file) {
            o->file = a;
            o->from_file = true;
        } else {
            std::fprintf(stderr, "hopscope-replay: only one capture file, please\n");
            return ReplayParse::usage_error;
        }
        if (missing) {
            std::fprintf(stderr, "hopscope-replay: %s needs a value\n", missing);
            return ReplayParse::usage_error;
        }
    }
    if (o->from_file == live_given) {
        replay_usage(stderr);
        return ReplayParse::usage_error;
    }
    if (o->no_protocols && !o->engine.protocols.empty()) {
        std::fprintf(stderr, "hopscope-replay: --no-protocols and --protocols contradict each other\n");
        return ReplayParse::usage_error;
    }
    // The checks below see the files that will be read.
    replay_apply_defaults(o);
    if (o->map && !check_map_options(*o, size_text)) return ReplayParse::usage_error;
    // Alarm lines name protocols of the protocol file.
    if (!o->alarms.empty() && o->engine.protocols.empty()) {
        std::fprintf(stderr, "hopscope-replay: --alarms needs --protocols\n");
        return ReplayParse::usage_error;
    }
    if (o->alarms_on && o->alarms.empty()) {
        std::fprintf(stderr, "hopscope-replay: --alarms-on needs --alarms\n");
        return ReplayParse::usage_error;
    }
    if (o->no_dump) o->dump = false;
    if (o->fixed_clock && !replay_parse_clock(clock_text.c_str(), &o->clock)) {
        std::fprintf(stderr, "hopscope-replay: --clock wants whole seconds since 1970, as in 741397748\n");
        return ReplayParse::usage_error;
    }
    return ReplayParse::run;
}
