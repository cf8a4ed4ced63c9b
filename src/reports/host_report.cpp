#include "reports/host_report.h"

#include <chrono>
#include <cinttypes>
#include <vector>

#include "model/net.h"
#include "protocol/protocol.h"

namespace {

constexpr char kColumnHeader[] = "Traffic to:                         Protocol           Packets      Bytes";
constexpr char kTableStart[] =
    "<TABLE WIDTH=100% BORDER=1><TR><TD WIDTH=40%>Traffic to:</TD><TD WIDTH=20%>Protocol</TD>"
    "<TD WIDTH=20%>Packets</TD><TD WIDTH=20%>Bytes</TD></TR>";

// What a piece copies of the model: plain values that the writing reads unlocked.
struct RowCopy {
    const char* label;  // the protocol's label: protocol nodes are never freed or changed
    uint64_t frames;
    uint64_t bytes;
};
struct LinkCopy {
    std::string peer;          // the peer's name, or its address text
    std::string peer_address;
    size_t first_row = 0, row_count = 0;
};
struct HostCopy {
    std::string name;  // empty when the host has none
    std::string address;
    size_t first_link = 0, link_count = 0;
};
struct Piece {
    std::vector<HostCopy> hosts;
    std::vector<LinkCopy> links;
    std::vector<RowCopy> rows;
    void clear() {
        hosts.clear();
        links.clear();
        rows.clear();
    }
};

const char* protocol_label(const ProtocolTally* t) { return t->protocol ? t->protocol->label : "?"; }

// The leaves of a tally tree in report order (tally_for_each_leaf).
void copy_leaves(const ProtocolTally* first, std::vector<RowCopy>* rows) {
    tally_for_each_leaf(first, [&](const ProtocolTally* t) { rows->push_back({protocol_label(t), t->frames, t->bytes}); });
}

void copy_host(const Host* h, Piece* piece) {
    HostCopy hc;
    if (h->name) hc.name = h->name;
    hc.address = h->address_text;
    hc.first_link = piece->links.size();
    host_for_each_link(h, [&](const Link* l) {
        LinkCopy lc;
        lc.peer = host_label(l->destination);
        lc.peer_address = l->destination->address_text;
        lc.first_row = piece->rows.size();
        copy_leaves(l->protocol_tree, &piece->rows);
        lc.row_count = piece->rows.size() - lc.first_row;
        piece->links.push_back(std::move(lc));
    });
    hc.link_count = piece->links.size() - hc.first_link;
    piece->hosts.push_back(std::move(hc));
}

// Copies the next piece of hosts that have links, after `*at` (null: from the head of
// the list). Leaves *at at the last host visited; returns false when the list is done.
bool copy_piece(const Network* network, const ListNode** at, Piece* piece, HostReportStats* stats) {
    piece->clear();
    const auto t0 = std::chrono::steady_clock::now();
    bool more = true;
    {
        ModelReadLock lock;
        const ListNode* n = *at ? (*at)->next : (network->host_list ? network->host_list->head : nullptr);
        for (; n; n = n->next) {
            *at = n;
            const Host* h = static_cast<const Host*>(n->item);
            if (h->link_table && h->link_table->count > 0) copy_host(h, piece);
            if (piece->rows.size() >= kHostReportPieceRows || piece->hosts.size() >= kHostReportPieceHosts) break;
        }
        if (!n || !n->next) more = false;
    }
    const double held = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    ++stats->pieces;
    stats->total_hold_seconds += held;
    if (held > stats->longest_hold_seconds) stats->longest_hold_seconds = held;
    return more;
}

void write_piece(ReportDocument* doc, const Piece& piece, ReportTable* table, HostReportStats* stats) {
    for (const HostCopy& h : piece.hosts) {
        if (!h.name.empty()) document_bold(doc, kToAll, "hostname: %s\n", h.name.c_str());
        else document_bold(doc, kToAll, "%s", h.address.c_str());
        document_html(doc, "%s", kTableStart);
        document_line(doc, kToTextRich, "%s", kColumnHeader);
        const std::string& shown = h.name.empty() ? h.address : h.name;
        for (size_t li = h.first_link; li < h.first_link + h.link_count; ++li) {
            const LinkCopy& l = piece.links[li];
            const std::string peer_html = document_escape(l.peer, kHtml);
            for (size_t ri = l.first_row; ri < l.first_row + l.row_count; ++ri) {
                const RowCopy& r = piece.rows[ri];
                document_html(doc,
                              "<TR><TD WIDTH=40%%>%s</TD><TD WIDTH=20%%>%s</TD><TD WIDTH=20%%>%" PRIu64
                              "</TD><TD WIDTH=20%%>%" PRIu64 "</TD></TR>",
                              peer_html.c_str(), document_escape(r.label, kHtml).c_str(), r.frames, r.bytes);
                document_line(doc, kToTextRich, "%s %s %10" PRIu64 " %10" PRIu64,
                              report_column(l.peer.c_str(), 35).c_str(), report_column(r.label, 15).c_str(), r.frames,
                              r.bytes);
                if (table)
                    report_table_add(table, {shown, h.address, l.peer, l.peer_address, r.label,
                                             std::to_string(r.frames), std::to_string(r.bytes)});
                ++stats->rows;
            }
        }
        document_html(doc, "</TABLE>");
        ++stats->hosts;
    }
}

}  // namespace

int host_report_write(const Network* network, const std::string& base, const ReportTimes& times, ReportTable* table,
                      HostReportStats* stats) {
    HostReportStats local;
    if (!stats) stats = &local;
    *stats = {};
    if (table) *table = report_table_make(kHostReportColumns);
    ReportDocument doc;
    if (report_open(&doc, kHostReport, base, kToTextRich) != 1) return -1;

    if (network) {
        Piece piece;
        const ListNode* at = nullptr;
        bool more = true;
        while (more) {
            more = copy_piece(network, &at, &piece, stats);
            write_piece(&doc, piece, table, stats);
        }
    }

    document_line(&doc, kToAll, "\n");
    document_line(&doc, kToAll, "recording started at %s", report_time_text(times.recording_started).c_str());
    document_line(&doc, kToAll, "\nreport generated on %s", report_time_text(times.generated).c_str());
    report_footer(&doc, "produced by Hopscope");
    document_line(&doc, kToAll, "\n");
    return document_close(&doc);
}
