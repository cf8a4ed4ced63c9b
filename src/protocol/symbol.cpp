#include "protocol/symbol.h"

#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/memory.h"
#include "protocol/pd.h"

namespace {

struct Entry {
    Symbol symbol;
    ProtocolNode node;
};

struct Table {
    std::vector<std::unique_ptr<Entry>> entries;  // in order of entry; owns the nodes
    std::unordered_map<std::string_view, Entry*> index;  // keys point into the entries' names
};

Table& table() {
    static Table t;
    return t;
}

}  // namespace

const Symbol* symbol_lookup(const char* name) {
    if (!name) return nullptr;
    const auto& index = table().index;
    auto it = index.find(std::string_view(name));
    return it == index.end() ? nullptr : &it->second->symbol;
}

Symbol* symbol_enter(const char* name) {
    if (!name) return nullptr;
    const size_t len = std::strlen(name);
    if (len > static_cast<size_t>(kProtocolNameMax)) return nullptr;
    Table& t = table();
    if (auto it = t.index.find(std::string_view(name, len)); it != t.index.end()) return &it->second->symbol;
    std::unique_ptr<Entry> e(new_or_die<Entry>());
    std::memcpy(e->symbol.name, name, len);
    std::memcpy(e->node.name, name, len);
    e->symbol.node = &e->node;
    Entry* raw = e.get();
    t.entries.push_back(std::move(e));
    t.index.emplace(std::string_view(raw->symbol.name, len), raw);
    return &raw->symbol;
}

void symbol_foreach(const std::function<void(const Symbol&)>& visit) {
    if (!visit) return;
    for (const auto& e : table().entries) visit(e->symbol);
}

int symbol_count() { return static_cast<int>(table().entries.size()); }

void symbol_reset() {
    Table& t = table();
    if (ProtocolNode* root = pd_root()) {
        for (const auto& e : t.entries)
            if (&e->node == root) {
                pd_set_root(nullptr);
                break;
            }
    }
    t.index.clear();
    t.entries.clear();
}
