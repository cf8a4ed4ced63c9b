#include "model/host_topn.h"

#include <cstdlib>
#include <cstring>

#include "base/memory.h"
#include "model/net.h"

namespace {

const Host* as_host(const void* item) { return static_cast<const Host*>(item); }

uint64_t key(const void* item) { return as_host(item)->total_bytes; }
int compare(const void* a, const void* b) { return topn_compare_keys(key(a), key(b)); }
int get_place(const void* item) { return as_host(item)->top_hosts_place; }
void set_place(void* item, int place) { static_cast<Host*>(item)->top_hosts_place = place; }

char* label(const void* item) {
    return text_dup_or_die(host_label(as_host(item)));
}

}  // namespace

TopList* host_topn_create() { return topn_create(compare, get_place, set_place, label, key); }

void host_topn_offer(TopList* list, Host* host) {
    topn_detail::offer(list, host, topn_detail::FieldOps<Host, &Host::total_bytes, &Host::top_hosts_place>{});
}
