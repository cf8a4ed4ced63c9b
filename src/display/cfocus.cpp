#include "display/cfocus.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <shared_mutex>

#include "base/file.h"
#include "base/message.h"
#include "base/path.h"
#include "base/text.h"
#include "protocol/symbol.h"

namespace {

constexpr char kProductName[] = "Hopscope";

// The focus dictionary (window thread) and the current focus (any thread).
struct FocusState {
    FocusDictionary dictionary;
    std::atomic<const FocusSnapshot*> current{nullptr};
};
FocusState g_focus;

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
    const size_t n = utf8_prefix(text.data(), text.size(), kFocusNameSize - 1);
    std::memset(field, 0, sizeof field);
    std::memcpy(field, text.data(), n);
}

const ProtocolNode* lookup_protocol(const std::string& name) {
    if (name.find('\0') != std::string::npos) return nullptr;  // no name holds a NUL
    const Symbol* s = symbol_lookup(name.c_str());
    return s ? s->node : nullptr;
}

}  // namespace

FocusDictionary& focus_dictionary() { return g_focus.dictionary; }

CfocusContents cfocus_parse(const unsigned char* data, size_t size, const Palette& start) {
    CfocusContents c;
    c.palette = start;
    ByteCursor in(data, size);
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
        if (!in.read_le32(&count)) break;  // the record ends before its count
        bool whole = true;
        for (int32_t i = 0; i < count; ++i) {
            FocusItem item;
            if (!in.read_line(&item.protocol_name)) break;
            int32_t colour = 0;
            if (!in.read_le32(&colour)) {
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
        bytes_put_le32(&out, static_cast<int32_t>(f.entries.size()));
        for (const FocusItem& e : f.entries) {
            out += e.protocol ? std::string(e.protocol->name) : e.protocol_name;
            out.push_back('\n');
            bytes_put_le32(&out, e.colour);
        }
    }
    return out;
}

const FocusDictionary& cfocus_read(const char* path) {
    g_focus.dictionary.clear();
    if (!path) path = "";
    std::string bytes;
    if (const FileRead read = file_read_all(native_path(path), &bytes, kDataFileLimits); read != FileRead::ok) {
        const std::string text = std::string("Custom Focus: Could not open file ") + path + " for parsing";
        message_show(kProductName, text.c_str(), MessageIcon::Warning);
        if (read != FileRead::cannot_open) {
            std::printf("cfocus_read: Warning - %s %s\n", path, file_read_problem(read, kDataFileLimits).c_str());
            std::fflush(stdout);
        }
        return g_focus.dictionary;
    }
    CfocusContents c = cfocus_parse(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), palette());
    for (int i = 0; i < c.palette_loaded; ++i) palette_set_colour(i, c.palette.colours[i]);
    g_focus.dictionary = std::move(c.focuses);
    return g_focus.dictionary;
}

int cfocus_dump(const char* path) {
    if (!path) path = "";
    // Written beside the file and put in its place (base/file.h), so a failed write (a
    // full disk) leaves the old file whole; a link stays a link.
    if (!file_replace(native_path(path), cfocus_serialise(palette(), g_focus.dictionary), ReplaceMode::create)) {
        std::printf("cfocus_dump: Warning - cannot overwrite %s\n", path);
        std::fflush(stdout);
        return -1;
    }
    return 1;
}

const Focus* find_focus(const char* name) {
    if (!name) return nullptr;
    const Focus* found = nullptr;
    for (const Focus& f : g_focus.dictionary)
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
    g_focus.current.store(published, std::memory_order_release);
    model_set_focus_source(cfocus_view);

    ModelWriteLock lock;
    net_for_each_network(link_recolour_all);
}

const FocusSnapshot* cfocus_current() { return g_focus.current.load(std::memory_order_acquire); }

FocusView cfocus_view() {
    const FocusSnapshot* s = g_focus.current.load(std::memory_order_acquire);
    if (!s) return FocusView{};
    return FocusView{s->entries.data(), static_cast<int>(s->entries.size())};
}
