#include "display/protocol_key.h"

#include <algorithm>
#include <cstring>

#include "display/cfocus.h"
#include "protocol/protocol.h"

KeyContents protocol_key_rows(const FocusSnapshot* focus) {
    KeyContents k;
    if (!focus) {
        k.title = "No Focus";
    } else {
        k.title.assign(focus->name, strnlen(focus->name, sizeof focus->name));
        for (const FocusEntry& e : focus->entries) {
            const char* label = e.protocol ? e.protocol->label : "";
            k.rows.push_back(KeyRow{std::string(label, strnlen(label, kProtocolNameMax + 1)), e.colour});
        }
        k.rows.push_back(KeyRow{"Other", kPaletteOther});
    }
    if (k.rows.size() < static_cast<size_t>(kKeyRows)) k.rows.resize(kKeyRows);
    return k;
}

int protocol_key_first_row(int row_count, int offset) {
    return std::clamp(offset, 0, std::max(row_count - kKeyRows, 0));
}
