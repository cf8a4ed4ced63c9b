#include "lists/fills.h"

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>

#include "alarm/alarm.h"
#include "model/net.h"
#include "protocol/protocol.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string number(uint64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%" PRIu64, v);
    return buf;
}

// Times one hold of a lock into the stats.
double thread_cpu_seconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

class HoldTimer {
public:
    explicit HoldTimer(ListFillStats* stats)
        : stats_(stats), start_(Clock::now()), cpu_start_(stats ? thread_cpu_seconds() : 0) {}
    ~HoldTimer() {
        if (!stats_) return;
        const double held = std::chrono::duration<double>(Clock::now() - start_).count();
        const double cpu = thread_cpu_seconds() - cpu_start_;
        ++stats_->pieces;
        stats_->total_hold_seconds += held;
        if (held > stats_->longest_hold_seconds) stats_->longest_hold_seconds = held;
        if (cpu > stats_->longest_hold_cpu_seconds) stats_->longest_hold_cpu_seconds = cpu;
    }
    HoldTimer(const HoldTimer&) = delete;
    HoldTimer& operator=(const HoldTimer&) = delete;

private:
    ListFillStats* stats_;
    Clock::time_point start_;
    double cpu_start_;
};

// Row i shows `subject`: the row that is there when it shows it, else a new row at i
// whose first cell is `first`.
ListRow& row_for(ListTable* table, size_t i, const void* subject, const void* detail, const char* first) {
    if (i < table->rows.size() && table->rows[i].subject == subject) return table->rows[i];
    ListRow& row = list_table_insert(table, i, subject, detail);
    row.cells[0] = first;
    return row;
}

// Row p of a top list: overwritten when p is among the rows shown, else inserted.
ListRow& top_row(ListTable* table, int p, int rows_shown, const void* subject) {
    const auto at = static_cast<size_t>(p);
    if (p < rows_shown && at < table->rows.size()) {
        ListRow& row = table->rows[at];
        row.subject = subject;
        row.cells.resize(static_cast<size_t>(table->columns));
        return row;
    }
    return list_table_insert(table, at, subject);
}

}  // namespace

void wnet_fill(ListTable* table, const Network* network, ListFillStats* stats) {
    if (!network) return;
    size_t i = 0;
    const ListNode* at = nullptr;  // the last host filled
    for (bool more = true; more;) {
        ModelReadLock lock;
        HoldTimer timer(stats);
        const ListNode* n = at ? at->next : (network->host_list ? network->host_list->head : nullptr);
        for (int k = 0; n && k < kListFillPieceHosts; n = n->next, ++k) {
            at = n;
            const Host* h = static_cast<const Host*>(n->item);
            ListRow& row = row_for(table, i++, h, nullptr, h->address_text);
            row.cells[1] = h->name ? h->name : "";
            row.cells[2] = number(h->total_bytes);
            row.cells[3] = number(h->bytes_this_second);
            row.cells[4] = number(h->total_frames);
            row.cells[5] = number(h->frames_this_second);
        }
        more = n != nullptr;
    }
}

void wnode_fill(ListTable* table, const Host* host, ListFillStats* stats) {
    if (!host || !host->link_table) return;
    size_t i = 0;
    for (int first = 0; first < kHashBuckets; first += kListFillPieceBuckets) {
        ModelReadLock lock;
        HoldTimer timer(stats);
        for (int b = first; b < first + kListFillPieceBuckets && b < kHashBuckets; ++b) {
            for (const HashEntry* e = host->link_table->buckets[b]; e; e = e->next) {
                const Link* link = static_cast<const Link*>(e->value);
                const Host* dest = link->destination;
                tally_for_each_leaf(link->protocol_tree, [&](const ProtocolTally* t) {
                    ListRow& row = row_for(table, i++, t, dest, dest->address_text);
                    row.cells[1] = dest->name ? dest->name : "";
                    row.cells[2] = t->protocol ? t->protocol->name : "";
                    row.cells[3] = number(t->bytes);
                    row.cells[4] = number(t->frames);
                });
            }
        }
    }
}

namespace {

// Re-sorts a top list of the model and writes row p from the item at place p; cells(row,
// item) writes the row's cells.
template <class Cells>
void top_fill(ListTable* table, TopList* top, int* rows_shown, Cells&& cells) {
    ModelWriteLock lock;
    topn_resort(top);
    for (int p = 0; p < top->count; ++p) cells(top_row(table, p, *rows_shown, top->items[p]), top->items[p]);
    *rows_shown = top->count;
}

}  // namespace

void host_popup_fill(ListTable* table, Network* network, int* rows_shown) {
    if (!network || !network->top_hosts) return;
    top_fill(table, network->top_hosts, rows_shown, [](ListRow& row, const void* item) {
        const Host* h = static_cast<const Host*>(item);
        row.cells[0] = host_label(h);
        row.cells[1] = number(h->total_bytes);
    });
}

void link_popup_fill(ListTable* table, Network* network, int* rows_shown) {
    if (!network || !network->top_links) return;
    top_fill(table, network->top_links, rows_shown, [](ListRow& row, const void* item) {
        const Link* l = static_cast<const Link*>(item);
        row.cells[0] = host_label(l->source);
        row.cells[1] = host_label(l->destination);
        row.cells[2] = number(l->total_bytes);
    });
}

void alarm_popup_fill(ListTable* table, int* rows_shown) {
    TopPair pairs[kTopCapacity];
    int n = 0;
    {
        std::lock_guard lock(alarm_mutex());
        TopList* top = alarm_top_alarms();
        if (!top) return;
        topn_resort(top);
        n = topn_export(top, pairs);
    }
    for (int p = 0; p < n; ++p) {
        ListRow& row = top_row(table, p, *rows_shown, nullptr);
        row.cells[0] = pairs[p].label && pairs[p].label[0] ? pairs[p].label : "(null)";
        row.cells[1] = number(pairs[p].key);
        std::free(pairs[p].label);
    }
    *rows_shown = n;
}
