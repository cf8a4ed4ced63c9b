#include "lists/list_table.h"

namespace {

void append_cell(std::string* out, const std::string& cell) {
    for (char c : cell) *out += (c == '\t' || c == '\r' || c == '\n') ? ' ' : c;
}

}  // namespace

ListRow& list_table_insert(ListTable* table, size_t index, const void* subject, const void* detail) {
    if (index > table->rows.size()) index = table->rows.size();
    ListRow row;
    row.subject = subject;
    row.detail = detail;
    row.cells.resize(static_cast<size_t>(table->columns));
    return *table->rows.insert(table->rows.begin() + static_cast<std::ptrdiff_t>(index), std::move(row));
}

std::string list_table_tsv_row(const ListTable& table, size_t index) {
    std::string out;
    if (index >= table.rows.size()) return out;
    const ListRow& row = table.rows[index];
    for (size_t c = 0; c < row.cells.size(); ++c) {
        if (c) out += '\t';
        append_cell(&out, row.cells[c]);
    }
    return out;
}

std::string list_table_tsv(const ListTable& table, const char* const* titles) {
    std::string out;
    for (int c = 0; c < table.columns; ++c) {
        if (c) out += '\t';
        append_cell(&out, titles[c] ? titles[c] : "");
    }
    out += '\n';
    for (size_t r = 0; r < table.rows.size(); ++r) out += list_table_tsv_row(table, r) + "\n";
    return out;
}
