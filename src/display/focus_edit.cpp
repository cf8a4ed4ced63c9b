#include "display/focus_edit.h"

#include <algorithm>
#include <cstring>

#include "base/text.h"
#include "protocol/protocol.h"

namespace {

void set_name(char (&field)[kFocusNameSize], const std::string& text) {
    const size_t n = utf8_prefix(text.data(), text.size(), kFocusNameSize - 1);
    std::memset(field, 0, sizeof field);
    std::memcpy(field, text.data(), n);
}

bool valid(int index, size_t size) { return index >= 0 && static_cast<size_t>(index) < size; }

void fill(const ProtocolNode* node, int parent, std::vector<TreeItem>* items) {
    // The sibling chain is walked in a loop rather than by recursion; the items come in
    // the same order: the leaves as they come, each node with sub-protocols after the
    // rest of its chain, innermost first.
    std::vector<const ProtocolNode*> later;
    for (; node; node = node->next) {
        if (node->next && !node->first_child) items->push_back(TreeItem{node, parent, 1});
        if (node->first_child) later.push_back(node);
    }
    for (auto it = later.rbegin(); it != later.rend(); ++it) {
        items->push_back(TreeItem{*it, parent, 0});
        fill((*it)->first_child, static_cast<int>(items->size()) - 1, items);
    }
}

}  // namespace

FocusBuilderModel::FocusBuilderModel() : copy_(focus_dictionary()), current_(copy_.empty() ? -1 : 0) {}

const Focus* FocusBuilderModel::current_focus() const { return valid(current_, copy_.size()) ? &copy_[current_] : nullptr; }

void FocusBuilderModel::select(int index) { current_ = valid(index, copy_.size()) ? index : -1; }

void FocusBuilderModel::add_focus() {
    Focus f;
    set_name(f.name, kNewFocusName);
    copy_.push_back(std::move(f));
}

void FocusBuilderModel::delete_current() {
    if (valid(current_, copy_.size())) copy_.erase(copy_.begin() + current_);
    current_ = -1;
}

std::string FocusBuilderModel::rename(int index, const std::string& text) {
    if (!valid(index, copy_.size())) return {};
    set_name(copy_[index].name, text);
    return copy_[index].name;
}

bool FocusBuilderModel::add_entry(const ProtocolNode* protocol) {
    if (!protocol || !valid(current_, copy_.size())) return false;
    FocusItem item;
    item.protocol = protocol;
    item.protocol_name = protocol->name;
    item.colour = 0;
    copy_[current_].entries.push_back(std::move(item));
    return true;
}

bool FocusBuilderModel::delete_entry(int index) {
    if (!valid(current_, copy_.size())) return false;
    auto& entries = copy_[current_].entries;
    if (!valid(index, entries.size())) return false;
    entries.erase(entries.begin() + index);
    return true;
}

bool FocusBuilderModel::set_colour(int index, int colour) {
    if (!valid(current_, copy_.size()) || colour < 0 || colour >= kPickerColours) return false;
    auto& entries = copy_[current_].entries;
    if (!valid(index, entries.size())) return false;
    entries[index].colour = colour;
    return true;
}

std::string FocusBuilderModel::commit() {
    FocusDictionary& dictionary = focus_dictionary();
    const int chosen = current_;
    dictionary = std::move(copy_);
    copy_.clear();
    current_ = -1;
    const Focus* focus = valid(chosen, dictionary.size()) ? &dictionary[chosen] : nullptr;
    cfocus_set_current(focus);
    return focus ? std::string(focus->name) : std::string();
}

std::string focus_entry_label(const FocusItem& item) {
    if (item.protocol) return std::string(item.protocol->label, strnlen(item.protocol->label, kProtocolNameMax + 1));
    return item.protocol_name;
}

std::vector<TreeItem> focus_tree_items(const ProtocolNode* root) {
    std::vector<TreeItem> items;
    fill(root, -1, &items);
    return items;
}

BoxRect palette_box_rect(int i) { return BoxRect{(i % 4) * 23 + 30, (i / 4) * 23 + 10, 20, 20}; }
BoxRect picker_box_rect(int i) { return BoxRect{(i % 4) * 15 + 3, (i / 4) * 15 + 3, 13, 13}; }

namespace {
template <class RectFn>
int box_at(int x, int y, int count, RectFn rect) {
    for (int i = 0; i < count; ++i) {
        const BoxRect b = rect(i);
        if (x >= b.x && x < b.x + b.width && y >= b.y && y < b.y + b.height) return i;
    }
    return -1;
}
}  // namespace

int palette_box_at(int x, int y) { return box_at(x, y, kPaletteColours, palette_box_rect); }
int picker_box_at(int x, int y) { return box_at(x, y, kPickerColours, picker_box_rect); }

bool palette_slider_value(PaletteSliderEvent event, int p, int track, int* value, bool* set_slider) {
    int v = 0;
    bool set = false;
    switch (event) {
        case PaletteSliderEvent::LineUp: v = std::min(p + 1, kPaletteSliderMax); break;
        case PaletteSliderEvent::LineDown: v = std::max(p - 1, 0); break;
        case PaletteSliderEvent::PageUp: v = std::min(p + kPaletteSliderPage, kPaletteSliderMax); break;
        case PaletteSliderEvent::PageDown:
            v = std::max(p - kPaletteSliderPage, 0);
            set = true;
            break;
        case PaletteSliderEvent::ThumbPosition:
            v = p;
            set = true;
            break;
        case PaletteSliderEvent::ThumbTrack:
            v = track;
            set = true;
            break;
        case PaletteSliderEvent::Other: return false;
    }
    *value = std::clamp(v, 0, kPaletteSliderMax);
    *set_slider = set;
    return true;
}

int palette_slider_position(int component) { return kPaletteSliderMax - std::clamp(component, 0, 255); }

void palette_edit(int index, PaletteChannel channel, int value) {
    if (index < 0 || index >= kPaletteColours) return;
    PaletteColour c = palette().colours[index];
    const auto component = static_cast<uint8_t>(kPaletteSliderMax - std::clamp(value, 0, kPaletteSliderMax));
    switch (channel) {
        case kRed: c.red = component; break;
        case kGreen: c.green = component; break;
        case kBlue: c.blue = component; break;
    }
    palette_set_colour(index, c);
}
