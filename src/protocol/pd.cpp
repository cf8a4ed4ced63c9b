#include "protocol/pd.h"

#include "base/bytes.h"

namespace {

// The classifier's state: the tree it walks and its path buffer.
struct ClassifierState {
    ProtocolNode* root = nullptr;
    const ProtocolNode* path[kPathMax + 1] = {};
};
ClassifierState g_classifier;

bool field_test(const ProtocolNode* node, const uint8_t* frame, uint32_t captured, int64_t pos) {
    // A field that lies outside the captured bytes fails its test instead of being read.
    uint32_t v = 0;
    if (!bytes_read_be(frame, captured, pos, node->width, &v)) return false;
    if (node->mask_test) return (v & node->low) != 0;
    return node->low <= v && v <= node->high;
}

}  // namespace

void pd_set_root(ProtocolNode* root) { g_classifier.root = root; }
ProtocolNode* pd_root() { return g_classifier.root; }

const ProtocolNode* const* pd_classify(const uint8_t* frame, uint32_t captured, uint32_t length) {
    int n = 0;
    int64_t base = 0;
    const ProtocolNode* parent = g_classifier.root;
    ProtocolNode* node = g_classifier.root;
    if (frame == nullptr) captured = 0;
    while (node != nullptr && n < kPathMax) {
        if (field_test(node, frame, captured, base + node->offset) ||
            (node->has_alt_offset && field_test(node, frame, captured, base + node->alt_offset))) {
            node->stats.bytes += length;
            node->stats.frames += 1;
            g_classifier.path[n++] = node;
            base += parent->header_length;
            parent = node;
            node = node->first_child;
        } else {
            node = node->next;
        }
    }
    g_classifier.path[n] = nullptr;
    return g_classifier.path;
}

double pd_stat_frames(const ProtocolNode* node) { return node ? node->stats.frames : 0; }
double pd_stat_bytes(const ProtocolNode* node) { return node ? node->stats.bytes : 0; }
void pd_stat_reset(ProtocolStats* stats) {
    if (stats) *stats = ProtocolStats{};
}
