// ListTable: the rows a list window shows, as plain data. The fills (fills.h) write it
// from the model; the window (qt/list_window.h) shows it without copying it. Each row
// carries what it shows (its subject) so that the next fill recognises it and the
// context menu acts on it. Window thread only.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct ListRow {
    const void* subject = nullptr;  // Host (host list, top hosts), ProtocolTally (host watch), Link (top links)
    const void* detail = nullptr;   // host watch: the destination Host
    std::vector<std::string> cells;
};

struct ListTable {
    int columns = 0;
    std::vector<ListRow> rows;
};

// A new row at `index` (at most the row count) with `columns` empty cells.
ListRow& list_table_insert(ListTable* table, size_t index, const void* subject, const void* detail = nullptr);
// Deletes every row.
inline void list_table_clear(ListTable* table) { table->rows.clear(); }

// The row's cells as one line of tab-separated text, without an end of line. A tab, a
// carriage return or a line feed inside a cell becomes a space, so that the line keeps
// its columns.
[[nodiscard]] std::string list_table_tsv_row(const ListTable& table, size_t index);
// The header (the column titles) and every row, one line each, each ended by "\n".
[[nodiscard]] std::string list_table_tsv(const ListTable& table, const char* const* titles);
