// The list windows' fills: each writes a ListTable from the traffic model (or the
// alarm engine's top alarms), updating rows in place.
//
// Locks: the fills run on the window thread while the capture-and-draw thread writes
// the model. The host list and host watch fills read under ModelReadLock in pieces:
// the lock is let go after every kListFillPieceHosts hosts (or kListFillPieceBuckets
// link buckets) and taken again where the walk stopped, so the capture thread waits at
// most for one piece. Hosts, links and tally nodes are never removed and their lists
// only grow, so the place a walk stopped at stays valid between pieces; what was added
// meanwhile behind it is met on the way. The top hosts and top links fills re-sort
// their list under ModelWriteLock (the re-sort moves items) and copy it under the same
// hold: at most 50 rows. The top alarms fill re-sorts and copies under the Alarm mutex.
#pragma once

#include <cstddef>

#include "lists/list_table.h"

struct Host;
struct Network;

inline constexpr int kListFillPieceHosts = 256;
inline constexpr int kListFillPieceBuckets = 32;

// How long a fill held its lock, piece by piece (for the benchmark and the tests): by
// the wall clock, and by the window thread's own processor time, which leaves out the
// time the thread was not running while it held the lock.
struct ListFillStats {
    size_t pieces = 0;
    double longest_hold_seconds = 0;
    double total_hold_seconds = 0;
    double longest_hold_cpu_seconds = 0;
};

// Host List: for every host of the network in host-list order, row i shows it (a new
// row is inserted at i when row i shows another host): address text, name (empty when
// none), total bytes, bytes this second, total frames, frames this second. Rows are
// never removed. A null network leaves the table as it is.
void wnet_fill(ListTable* table, const Network* network, ListFillStats* stats = nullptr);

// Host watch: for every link of the host (bucket order, each chain from its head), a
// row for each leaf of the link's protocol tally (tally_for_each_leaf): destination
// address, destination name, the protocol's name, bytes, frames. A row is recognised
// by its tally node; a new node inserts a row at its place. Rows are never removed.
void wnode_fill(ListTable* table, const Host* host, ListFillStats* stats = nullptr);

// Top Hosts, Top Links, Top Alarms: row p shows the item at place p (overwritten when
// p < *rows_shown, else inserted at p); then *rows_shown := the list's count. Rows
// beyond the count keep their texts. Top hosts: label (name or address), total bytes.
// Top links: source label, destination label, total bytes. Top alarms: notify string
// ("(null)" when it is empty), activations; its rows carry no subject (an alarm may be
// freed when the alarm list is replaced). A null network (or no top alarms list)
// leaves the table as it is.
void host_popup_fill(ListTable* table, Network* network, int* rows_shown);
void link_popup_fill(ListTable* table, Network* network, int* rows_shown);
void alarm_popup_fill(ListTable* table, int* rows_shown);
