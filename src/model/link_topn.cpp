#include "model/link_topn.h"

#include <cstdio>
#include <cstdlib>

#include "base/memory.h"
#include "model/net.h"

namespace {

const Link* as_link(const void* item) { return static_cast<const Link*>(item); }

uint64_t key(const void* item) { return as_link(item)->total_bytes; }
int compare(const void* a, const void* b) { return topn_compare_keys(key(a), key(b)); }
int get_place(const void* item) { return as_link(item)->top_links_place; }
void set_place(void* item, int place) { static_cast<Link*>(item)->top_links_place = place; }

char* label(const void* item) {
    auto* t = static_cast<char*>(malloc_or_die(kLinkLabelMax + 1));
    std::snprintf(t, kLinkLabelMax + 1, "%s, %s", host_label(as_link(item)->source),
                  host_label(as_link(item)->destination));
    return t;
}

}  // namespace

TopList* link_topn_create() { return topn_create(compare, get_place, set_place, label, key); }

void link_topn_offer(TopList* list, Link* link) {
    topn_detail::offer(list, link, topn_detail::FieldOps<Link, &Link::total_bytes, &Link::top_links_place>{});
}
