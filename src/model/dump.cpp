#include "model/dump.h"

#include <cinttypes>
#include <cstdint>
#include <string>

#include "model/net.h"
#include "protocol/protocol.h"

namespace {

const char* protocol_name(const ProtocolNode* node) { return node ? node->name : "?"; }

void print_tally(std::FILE* out, const Link* l, const ProtocolTally* t, const std::string& prefix) {
    for (; t; t = t->next) {
        std::string path =
            prefix.empty() ? std::string(protocol_name(t->protocol)) : prefix + "/" + protocol_name(t->protocol);
        std::fprintf(out, "tally\t%s\t%s\t%s\t%" PRIu64 "\t%" PRIu64 "\n", l->source->address_text, l->destination->address_text,
                     path.c_str(), t->frames, t->bytes);
        print_tally(out, l, t->first_child, path);
    }
}

}  // namespace

void net_dump(std::FILE* out, const Network* net) {
    uint64_t frames = 0, bytes = 0;
    net_for_each_host(net, [&](const Host* h) {
        frames += h->total_frames;
        bytes += h->total_bytes;
    });
    std::fprintf(out, "network\t%s\t%d\t%llu\t%llu\n", net->name, net->host_count,
                 static_cast<unsigned long long>(frames), static_cast<unsigned long long>(bytes));
    net_for_each_host(net, [&](const Host* h) {
        std::fprintf(out, "host\t%s\t%" PRIu64 "\t%" PRIu64 "\t%s\t%s\n", h->address_text, h->total_frames, h->total_bytes,
                     h->name ? h->name : "", h->manufacturer_text);
        host_for_each_link(h, [&](const Link* l) {
            std::fprintf(out, "link\t%s\t%s\t%" PRIu64 "\t%" PRIu64 "\n", l->source->address_text, l->destination->address_text,
                         l->total_frames, l->total_bytes);
            print_tally(out, l, l->protocol_tree, "");
        });
    });
}
