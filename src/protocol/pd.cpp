#include "protocol/pd.h"

namespace {

ProtocolNode* g_root = nullptr;
const ProtocolNode* g_path[kPathMax + 1] = {};

// Reads the node's field at byte position `pos`. Returns false when the field lies
// outside the captured bytes, so that such a test fails instead of reading past them.
bool read_field(const ProtocolNode* node, const uint8_t* frame, uint32_t captured, int64_t pos,
                uint32_t* value) {
    if (node->width == 0) {
        *value = 0;
        return true;
    }
    const int64_t width = node->width;
    if (pos < 0 || pos + width > static_cast<int64_t>(captured)) return false;
    const uint8_t* p = frame + pos;
    switch (node->width) {
    case 1: *value = p[0]; return true;
    case 2: *value = (uint32_t(p[0]) << 8) | p[1]; return true;
    case 4: *value = (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]; return true;
    default: return false;
    }
}

bool field_test(const ProtocolNode* node, const uint8_t* frame, uint32_t captured, int64_t pos) {
    uint32_t v = 0;
    if (!read_field(node, frame, captured, pos, &v)) return false;
    if (node->mask_test) return (v & node->low) != 0;
    return node->low <= v && v <= node->high;
}

}  // namespace

void pd_set_root(ProtocolNode* root) { g_root = root; }
ProtocolNode* pd_root() { return g_root; }

const ProtocolNode* const* pd_classify(const uint8_t* frame, uint32_t captured, uint32_t length) {
    int n = 0;
    int64_t base = 0;
    const ProtocolNode* parent = g_root;
    ProtocolNode* node = g_root;
    if (frame == nullptr) captured = 0;
    while (node != nullptr && n < kPathMax) {
        if (field_test(node, frame, captured, base + node->offset) ||
            (node->has_alt_offset && field_test(node, frame, captured, base + node->alt_offset))) {
            node->stats.bytes += length;
            node->stats.frames += 1;
            g_path[n++] = node;
            base += parent->header_length;
            parent = node;
            node = node->first_child;
        } else {
            node = node->next;
        }
    }
    g_path[n] = nullptr;
    return g_path;
}

double pd_stat_frames(const ProtocolNode* node) { return node ? node->stats.frames : 0; }
double pd_stat_bytes(const ProtocolNode* node) { return node ? node->stats.bytes : 0; }
void pd_stat_reset(ProtocolStats* stats) {
    if (stats) *stats = ProtocolStats{};
}
