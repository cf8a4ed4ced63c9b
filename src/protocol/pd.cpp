#include "protocol/pd.h"

#include <algorithm>
#include <memory>
#include <unordered_set>
#include <vector>

#include "base/bytes.h"

namespace {

// The classifier's state: the tree it walks and its path buffer.
struct ClassifierState {
    ProtocolNode* root = nullptr;
    const ProtocolNode* path[kPathMax + 1] = {};
    std::vector<std::unique_ptr<ProtocolRun>> runs;  // of the root's tree
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

// A run of siblings that read one field at the same offsets with a range test. The
// first of them whose range holds the value at the offset, or else at the second
// offset, is the match; `starts` cuts the values into segments that share their first
// matching node (`first`, an index into `nodes`, or kNone), so one binary search per
// offset finds it.
struct ProtocolRun {
    static constexpr uint16_t kNone = 0xFFFF;
    ProtocolNode* after = nullptr;  // the sibling after the run
    int32_t offset = 0, alt_offset = 0;
    int width = 0;
    bool has_alt_offset = false;
    std::vector<ProtocolNode*> nodes;
    std::vector<uint32_t> starts;
    std::vector<uint16_t> first;
    // The same as tables, for fields of one or two bytes: `top` by the value's high byte
    // gives the first node's index for all 256 values, or (from kPage on) a page of
    // `pages` with one index for each low byte. One byte reads `top` alone.
    static constexpr uint32_t kPage = 0x10000;
    std::vector<uint32_t> top;
    std::vector<uint16_t> pages;
};

namespace {

// Runs shorter than this are walked node by node.
constexpr size_t kRunMin = 6;

bool same_test(const ProtocolNode* a, const ProtocolNode* b) {
    return !a->mask_test && !b->mask_test && a->width == b->width && a->offset == b->offset &&
           a->has_alt_offset == b->has_alt_offset && (!a->has_alt_offset || a->alt_offset == b->alt_offset);
}

std::unique_ptr<ProtocolRun> make_run(const std::vector<ProtocolNode*>& nodes, ProtocolNode* after) {
    auto run = std::make_unique<ProtocolRun>();
    run->after = after;
    run->offset = nodes[0]->offset;
    run->alt_offset = nodes[0]->alt_offset;
    run->width = nodes[0]->width;
    run->has_alt_offset = nodes[0]->has_alt_offset;
    run->nodes = nodes;
    std::vector<uint32_t> cuts{0};
    for (const ProtocolNode* n : nodes) {
        if (n->low > n->high) continue;  // never matches
        cuts.push_back(n->low);
        if (n->high != UINT32_MAX) cuts.push_back(n->high + 1);
    }
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    for (uint32_t at : cuts) {
        uint16_t first = ProtocolRun::kNone;
        for (size_t i = 0; i < nodes.size(); ++i)
            if (nodes[i]->low <= at && at <= nodes[i]->high) {
                first = uint16_t(i);
                break;
            }
        // Neighbouring segments with the same first node are one.
        if (!run->first.empty() && run->first.back() == first) continue;
        run->starts.push_back(at);
        run->first.push_back(first);
    }
    if (run->width <= 2) {
        // Every value of the field, from the segments, then cut into pages.
        std::vector<uint16_t> all(run->width == 1 ? 0x100 : 0x10000);
        for (size_t k = 0; k < run->starts.size(); ++k) {
            const uint64_t end = k + 1 < run->starts.size() ? run->starts[k + 1] : all.size();
            for (uint64_t v = run->starts[k]; v < end && v < all.size(); ++v) all[v] = run->first[k];
        }
        if (run->width == 1) {
            run->top.assign(all.begin(), all.end());
        } else {
            for (size_t page = 0; page < 0x100; ++page) {
                const auto from = all.begin() + long(page * 0x100), to = from + 0x100;
                if (std::all_of(from, to, [&](uint16_t f) { return f == *from; })) {
                    run->top.push_back(*from);
                } else {
                    run->top.push_back(ProtocolRun::kPage + uint32_t(run->pages.size() / 0x100));
                    run->pages.insert(run->pages.end(), from, to);
                }
            }
        }
    }
    return run;
}

// The index in the run of the first node whose range holds `v`, or kNone.
uint16_t run_first(const ProtocolRun& run, uint32_t v) {
    if (run.width == 1) return uint16_t(run.top[v]);
    if (run.width == 2) {
        const uint32_t t = run.top[v >> 8];
        return t < ProtocolRun::kPage ? uint16_t(t) : run.pages[size_t(t - ProtocolRun::kPage) << 8 | (v & 0xFF)];
    }
    const auto it = std::upper_bound(run.starts.begin(), run.starts.end(), v);
    return run.first[size_t(it - run.starts.begin()) - 1];
}

// The run's match for a frame whose fields are read from `base`, or null.
ProtocolNode* run_match(const ProtocolRun& run, const uint8_t* frame, uint32_t captured, int64_t base) {
    uint16_t best = ProtocolRun::kNone;
    uint32_t v = 0;
    if (bytes_read_be(frame, captured, base + run.offset, run.width, &v)) best = run_first(run, v);
    if (run.has_alt_offset && bytes_read_be(frame, captured, base + run.alt_offset, run.width, &v))
        best = std::min(best, run_first(run, v));
    return best == ProtocolRun::kNone ? nullptr : run.nodes[best];
}

// Finds the runs of every sibling list of the tree, once per node even when a hostile
// file has made the tree loop back on itself.
void build_runs(ProtocolNode* root, std::vector<std::unique_ptr<ProtocolRun>>& runs) {
    runs.clear();
    std::unordered_set<const ProtocolNode*> seen;
    std::vector<ProtocolNode*> parents{root};  // the caller's root is never null
    seen.insert(root);
    root->run = nullptr;
    while (!parents.empty()) {
        ProtocolNode* parent = parents.back();
        parents.pop_back();
        std::vector<ProtocolNode*> chain;
        for (ProtocolNode* c = parent->first_child; c && seen.insert(c).second; c = c->next) {
            c->run = nullptr;
            chain.push_back(c);
            parents.push_back(c);
        }
        for (size_t i = 0; i < chain.size();) {
            size_t j = i + 1;
            while (j < chain.size() && same_test(chain[i], chain[j])) ++j;
            if (j - i >= kRunMin && j - i < ProtocolRun::kNone && (chain[i]->width == 1 || chain[i]->width == 2 || chain[i]->width == 4)) {
                std::vector<ProtocolNode*> nodes(chain.begin() + long(i), chain.begin() + long(j));
                runs.push_back(make_run(nodes, chain[j - 1]->next));
                chain[i]->run = runs.back().get();
            }
            i = j;
        }
    }
}

}  // namespace

void pd_set_root(ProtocolNode* root) {
    g_classifier.root = root;
    if (root) build_runs(root, g_classifier.runs);
    else g_classifier.runs.clear();
}
ProtocolNode* pd_root() { return g_classifier.root; }

const ProtocolNode* const* pd_classify(const uint8_t* frame, uint32_t captured, uint32_t length) {
    int n = 0;
    int64_t base = 0;
    const ProtocolNode* parent = g_classifier.root;
    ProtocolNode* node = g_classifier.root;
    if (frame == nullptr) captured = 0;
    while (node != nullptr && n < kPathMax) {
        bool matched;
        if (const ProtocolRun* run = node->run) {
            ProtocolNode* m = run_match(*run, frame, captured, base);
            matched = m != nullptr;
            node = matched ? m : run->after;
            if (!matched) continue;
        } else {
            matched = field_test(node, frame, captured, base + node->offset) ||
                      (node->has_alt_offset && field_test(node, frame, captured, base + node->alt_offset));
        }
        if (matched) {
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
