// Fuzz target for the name-file readers: arbitrary bytes as one line for
// parse_address_line, and as the whole contents of a local names file and of a
// manufacturers file. The program keeps what the readers file for its whole life; here
// every input's tables and entries are released afterwards, so a long run neither
// grows nor reports them as leaks.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>

#include "model/names/hostc.h"
#include "model/names/names.h"

// An entry whose name and address are both taken by a later line is no longer in
// either table: the program keeps it anyway (entries are never freed). Leak checking is
// paused while the reader runs so that such entries are not reported.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/lsan_interface.h>
#define HS_LSAN_PAUSE() __lsan_disable()
#define HS_LSAN_RESUME() __lsan_enable()
#endif
#endif
#ifndef HS_LSAN_PAUSE
#define HS_LSAN_PAUSE()
#define HS_LSAN_RESUME()
#endif

namespace {

const std::string& scratch_path() {
    static const std::string path =
        (std::filesystem::temp_directory_path() / ("hopscope-fuzz-names-" + std::to_string(getpid()))).string();
    return path;
}

// Frees a table's entries, keys and (copied) values, and the table. Values stored by
// reference are collected into `refs` for the caller.
void release_table(HashTable* table, std::set<void*>* refs) {
    hashtable_destroy(
        table, [](void* value, void* context) {
            if (context) static_cast<std::set<void*>*>(context)->insert(value);
        },
        refs);
}

void release_local_names() {
    std::set<void*> entries;
    {
        std::unique_lock lock(names_lock());
        release_table(local_names_by_text(), &entries);
        release_table(local_names_by_address(), &entries);
    }
    for (void* v : entries) {
        auto* e = static_cast<NameEntry*>(v);
        std::free(e->name);
        delete e;
    }
    local_names_create();
}

bool setup() {
    netaddr_startup();
    hostc_init();
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = setup();
    (void)ready;

    std::string line(reinterpret_cast<const char*>(data), size);
    uint8_t address[6];
    char name[kNameMax + 1];
    if (parse_address_line(line.c_str(), address, name) == 0 && std::strlen(name) > size_t(kNameMax)) __builtin_trap();

    if (FILE* f = std::fopen(scratch_path().c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    HS_LSAN_PAUSE();
    (void)ethers_read(scratch_path().c_str());
    HS_LSAN_RESUME();
    hashtable_foreach(local_names_by_text(), [](void* key, void*) {
        const char* n = static_cast<const char*>(key);
        if (!n[0] || std::strlen(n) > size_t(kNameMax) || std::strpbrk(n, " \t:\n")) __builtin_trap();
    });
    release_local_names();

    HashTable* table = manf_read(scratch_path().c_str());
    hashtable_foreach(table, [](void*, void* value) {
        const char* n = static_cast<const char*>(value);
        if (!n[0] || std::strlen(n) > size_t(kNameMax) || std::strpbrk(n, " \t:\n")) __builtin_trap();
    });
    // Only this target reads manufacturers: nothing else holds the table.
    release_table(table, nullptr);
    return 0;
}
