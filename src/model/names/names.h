// Name files: the local names file ("ethers") that gives hosts their local names, and
// the manufacturers file ("manf") that names the maker of an interface by the first
// three bytes of its address. Both are read once at start-up.
//
// Line format (both files): six address bytes in hexadecimal, separated by any of
// '.', '-', ':', space or tab, then a name ended by ':', space, tab or the end of the
// line. So "08-00-2b-1a-00-ff printer-3" and "8:0:2b:1a:0:ff printer-3" are the same
// entry. Names hold no space, tab or colon and are cut to 79 characters. Lines whose
// first non-blank character is '#', blank lines and lines without a name are skipped.
// A manufacturers line names all six bytes with the last three zero.
//
// Threads: the local names tables are written by ethers_read (start-up) and by the
// name service's resolver thread (hostc), and read by host creation on the capture
// thread and by requesters on the window thread. Every read and write of them goes
// through names_lock(): lookups hold it shared, filing holds it exclusively. Entries
// are complete before they are filed and are never changed or freed afterwards, so
// the pointer a lookup returns stays valid and readable without the lock. The
// manufacturers table is built in full before it is published and never changes.
#pragma once

#include <cstdint>
#include <shared_mutex>
#include <string>

#include "base/hashtable.h"
#include "base/netaddr.h"

struct HostRecord;  // the name service's copy of a system resolver answer (hostc.h)

inline constexpr int kNameMax = 79;                // characters kept of a parsed name
inline constexpr int kEthersLineMax = 1023;        // characters read of a local names line
inline constexpr int kManufacturersLineMax = 255;  // characters read of a manufacturers line

// A known name with its address. Created by the local names file and by the name
// service; never freed.
struct NameEntry {
    HostRecord* resolver_answer = nullptr;  // private copy of the system resolver's answer, or null
    char* name = nullptr;                   // std::malloc'ed text, or null
    NetAddress address;                     // of the frame address type
    // False only for a name answered by the system resolver whose Ethernet station is
    // unknown (see hostc.h): its address is then all zero and must bind to no host.
    bool address_known = true;
};

// The alternating text hash of the name tables: h = 0; for each byte at position k,
// h = h XOR byte, then h is shifted left by 1 when k is even.
[[nodiscard]] int names_text_hash(const void* text);

// Creates both local names tables afresh, empty (by text: alternating hash, text
// comparison, key copied; by address: the address type's hash and compare, key copied
// as a new address). The name service's start-up calls it; ethers_read calls it when
// no tables exist yet. Tables made before are left behind, never freed.
void local_names_create();

// The lock of the local names tables (and of the name service's resolver tables).
[[nodiscard]] std::shared_mutex& names_lock();
// The two local names tables, or null before local_names_create. Read or write them
// only under names_lock().
[[nodiscard]] HashTable* local_names_by_text();
[[nodiscard]] HashTable* local_names_by_address();

// Parses one name-file line. On success writes the six bytes to address[0..5] and the
// name (at most kNameMax characters, always terminated) to name[0..kNameMax], and
// returns 0. Returns -1, writing nothing, when the line lacks any of the seven tokens
// (six address bytes and a name). A malformed address token reads as 0. Null outputs
// are allowed and left alone; a null line gives -1.
[[nodiscard]] int parse_address_line(const char* line, uint8_t* address, char* name);

// Reads the local names file into the local names tables: one new NameEntry per valid
// line, set by name and by address, so a later line with the same name or address
// wins that key. Returns -1 when the file cannot be opened, else 0. A backslash in the
// path reads as a path separator.
[[nodiscard]] int ethers_read(const char* path);

// Reads the manufacturers file into a new table (NetAddress -> copied name; a later
// line for the same address replaces the name) and makes it the table that
// manufacturer_of reads. A file that cannot be opened gives an empty table. Returns
// the table; it is never freed. *opened (when given) tells whether the file was read:
// false when it cannot be opened or is refused (not a regular file, above 64 MiB).
HashTable* manf_read(const char* path, bool* opened = nullptr);

// The NameEntry for an address from the local names, or null (null address too).
[[nodiscard]] const NameEntry* local_name_by_address(const NetAddress* address);
// When the text contains ':' it is parsed as an address of the frame address type and
// looked up by address; otherwise it is looked up by name. Null text gives null.
[[nodiscard]] const NameEntry* local_name_lookup_text(const char* text);
// The manufacturer name for an address whose last three bytes are already zero, or
// null (also before any manufacturers file was read).
[[nodiscard]] const char* manufacturer_of(const NetAddress* address);
