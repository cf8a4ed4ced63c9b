#include "display/cfocus.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <shared_mutex>

#include "base/message.h"
#include "model/names/names.h"
#include "protocol/symbol.h"

namespace {

constexpr char kProductName[] = "Hopscope";

FocusDictionary g_dictionary;
std::atomic<const FocusSnapshot*> g_current{nullptr};

// Every snapshot ever published. Never destroyed: the capture thread may read the
// current one until the process ends.
struct Snapshots {
    std::mutex mutex;
    std::vector<std::unique_ptr<FocusSnapshot>> kept;
};
Snapshots& snapshots() {
    static Snapshots* s = new Snapshots;
    return *s;
}

// Copies at most 31 bytes of `text` into a name field, never ending inside a UTF-8
// sequence.
void set_name(char (&field)[kFocusNameSize], const std::string& text) {
    size_t n = std::min(text.size(), size_t(kFocusNameSize - 1));
    if (n < text.size())
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xc0) == 0x80) --n;
    std::memset(field, 0, sizeof field);
    std::memcpy(field, text.data(), n);
}

const ProtocolNode* lookup_protocol(const std::string& name) {
    if (name.find('\0') != std::string::npos) return nullptr;  // no name holds a NUL
    const Symbol* s = symbol_lookup(name.c_str());
    return s ? s->node : nullptr;
}

bool read_file(const std::string& path, std::vector<unsigned char>* out) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    unsigned char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out->insert(out->end(), buf, buf + n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

bool write_whole(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool closed = std::fclose(f) == 0;
    return written && closed;
}

}  // namespace

FocusDictionary& focus_dictionary() { return g_dictionary; }

CfocusContents cfocus_parse(const unsigned char* data, size_t size, const Palette& start) {
    CfocusContents c;
    c.palette = start;
    FileBytes in{data, size, 0};
    c.palette_loaded = palette_read(in, &c.palette);
    if (c.palette_loaded < 0) {
        // No count, or a count out of the format: what follows cannot be trusted.
        c.palette_loaded = 0;
        return c;
    }
    std::string line;
    while (in.read_line(&line)) {
        Focus focus;
        set_name(focus.name, line);
        int32_t count = 0;
        if (!in.read_int(&count)) break;  // the record ends before its count
        bool whole = true;
        for (int32_t i = 0; i < count; ++i) {
            FocusItem item;
            if (!in.read_line(&item.protocol_name)) break;
            int32_t colour = 0;
            if (!in.read_int(&colour)) {
                whole = false;
                break;
            }
            item.protocol = lookup_protocol(item.protocol_name);
            item.colour = colour;
            focus.entries.push_back(std::move(item));
        }
        c.focuses.push_back(std::move(focus));
        if (!whole) break;
    }
    return c;
}

std::string cfocus_serialise(const Palette& palette, const FocusDictionary& focuses) {
    std::string out;
    palette_write(&out, palette);
    for (const Focus& f : focuses) {
        out.append(f.name, strnlen(f.name, sizeof f.name));
        out.push_back('\n');
        bytes_put_int(&out, static_cast<int32_t>(f.entries.size()));
        for (const FocusItem& e : f.entries) {
            out += e.protocol ? std::string(e.protocol->name) : e.protocol_name;
            out.push_back('\n');
            bytes_put_int(&out, e.colour);
        }
    }
    return out;
}

const FocusDictionary& cfocus_read(const char* path) {
    g_dictionary.clear();
    if (!path) path = "";
    std::vector<unsigned char> bytes;
    if (!read_file(name_file_path(path), &bytes)) {
        const std::string text = std::string("Custom Focus: Could not open file ") + path + " for parsing";
        message_show(kProductName, text.c_str(), MessageIcon::Warning);
        return g_dictionary;
    }
    CfocusContents c = cfocus_parse(bytes.data(), bytes.size(), palette());
    for (int i = 0; i < c.palette_loaded; ++i) palette_set_colour(i, c.palette.colours[i]);
    g_dictionary = std::move(c.focuses);
    return g_dictionary;
}

int cfocus_dump(const char* path) {
    if (!path) path = "";
    std::string target = name_file_path(path);
    const std::string bytes = cfocus_serialise(palette(), g_dictionary);
    // Write beside the file, then put the new file in its place: a failed write (a full
    // disk) leaves the old file whole. A symbolic link stays a link: the file it points
    // to is the one replaced, and the new file keeps the old one's permissions. Where no
    // file can be made beside it, write in place.
    std::error_code ec;
    const std::filesystem::path real = std::filesystem::canonical(target, ec);
    if (!ec) target = real.string();
    const std::string temporary = target + ".new";
    bool done = false;
    if (write_whole(temporary, bytes)) {
        const auto status = std::filesystem::status(target, ec);
        if (!ec && std::filesystem::exists(status))
            std::filesystem::permissions(temporary, status.permissions(), ec);
        done = std::rename(temporary.c_str(), target.c_str()) == 0;
        if (!done) std::remove(temporary.c_str());
    } else {
        std::remove(temporary.c_str());
        done = write_whole(target, bytes);
    }
    if (!done) {
        std::printf("cfocus_dump: Warning - cannot overwrite %s\n", path);
        std::fflush(stdout);
        return -1;
    }
    return 1;
}

const Focus* find_focus(const char* name) {
    if (!name) return nullptr;
    const Focus* found = nullptr;
    for (const Focus& f : g_dictionary)
        if (std::strcmp(f.name, name) == 0) found = &f;
    return found;
}

void cfocus_set_current(const Focus* focus) {
    const FocusSnapshot* published = nullptr;
    if (focus) {
        auto snap = std::make_unique<FocusSnapshot>();
        std::memcpy(snap->name, focus->name, sizeof snap->name);
        snap->name[kFocusNameSize - 1] = '\0';
        for (const FocusItem& e : focus->entries) {
            if (!e.protocol) continue;
            const int colour = e.colour >= 0 && e.colour < kPaletteColours ? e.colour : kPaletteOther;
            snap->entries.push_back(FocusEntry{e.protocol, colour});
        }
        published = snap.get();
        Snapshots& s = snapshots();
        std::lock_guard<std::mutex> lock(s.mutex);
        s.kept.push_back(std::move(snap));
    }
    g_current.store(published, std::memory_order_release);
    model_set_focus_source(cfocus_view);

    std::unique_lock<std::shared_mutex> lock(model_lock());
    list_foreach(net_list(), [](void* item) { link_recolour_all(static_cast<Network*>(item)); });
}

const FocusSnapshot* cfocus_current() { return g_current.load(std::memory_order_acquire); }

FocusView cfocus_view() {
    const FocusSnapshot* s = g_current.load(std::memory_order_acquire);
    if (!s) return FocusView{};
    return FocusView{s->entries.data(), static_cast<int>(s->entries.size())};
}
