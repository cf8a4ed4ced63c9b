// Local names and manufacturers: the tables host creation reads to label hosts.
#pragma once

#include "model/hashtable.h"
#include "model/netaddr.h"

// A known name with its address. Created by the local names file and by the name
// service; never freed.
struct NameEntry {
    void* resolver_answer = nullptr;  // private copy of the system resolver's record, or null
    char* name = nullptr;
    NetAddress address;
};

// The NameEntry of an address from the local names table, or null.
[[nodiscard]] const NameEntry* local_name_by_address(const NetAddress* address);
// The manufacturer name for an address whose last three bytes are already zero, or null.
[[nodiscard]] const char* manufacturer_of(const NetAddress* address);
