// The Protocol Key's rows: the current focus's protocols in their palette colours,
// then "Other". No Qt: the panel (qt/protocol_key.h) paints them.
#pragma once

#include <string>
#include <vector>

struct FocusSnapshot;

inline constexpr int kKeyRows = 18;       // rows the key shows at once
inline constexpr int kKeyNoColour = -1;   // an empty row

struct KeyRow {
    std::string text;
    int colour = kKeyNoColour;  // logical-palette index of the text's colour
};

struct KeyContents {
    std::string title;          // drawn in white
    std::vector<KeyRow> rows;   // at least kKeyRows
};

// What the key shows for `focus` (null: no focus): "No Focus" and 18 empty rows; or the
// focus name, one row per entry with the label of its protocol in the entry's colour,
// "Other" in colour 32, and empty rows up to the 18th. A focus of more than 17 entries
// gives more than 18 rows; the key then scrolls (qt/protocol_key.h).
[[nodiscard]] KeyContents protocol_key_rows(const FocusSnapshot* focus);

// The first row to show when the key is scrolled by `offset` rows, held so that the last
// row stays at the bottom or above: 0..rows - 18.
[[nodiscard]] int protocol_key_first_row(int row_count, int offset);
