// The Focus Builder's and the Palette Editor's engine: the builder works on a deep copy
// of the focus dictionary that OK puts in its place and Cancel throws away; the
// protocol tree in the order the builder's tree view shows it; the colour boxes and the
// palette sliders. No Qt: the dialogs (qt/focus_builder.h, qt/palette_editor.h) forward
// what the user does.
//
// Threads: window thread only.
#pragma once

#include <string>
#include <vector>

#include "display/cfocus.h"

struct ProtocolNode;

inline constexpr char kNewFocusName[] = "New Focus";
inline constexpr int kPickerColours = 32;  // the picker offers palette indices 0..31

// --- the Focus Builder's copy -----------------------------------------------------------

class FocusBuilderModel {
public:
    // A deep copy of the program's dictionary; the first focus (if any) is current.
    FocusBuilderModel();

    [[nodiscard]] const FocusDictionary& focuses() const { return copy_; }
    // Index of the dialog's current focus, or -1 for none.
    [[nodiscard]] int current() const { return current_; }
    [[nodiscard]] const Focus* current_focus() const;

    // Makes focus `index` current (out of range: none).
    void select(int index);
    // Appends a focus "New Focus" with no entries (the current one stays).
    void add_focus();
    // Removes the current focus and its entries; afterwards none is current.
    void delete_current();
    // The name of focus `index` becomes at most 31 bytes of `text` (cut at a character
    // boundary). Returns the name kept.
    std::string rename(int index, const std::string& text);
    // Appends an entry for `protocol` with colour 0 to the current focus. False when no
    // focus is current or `protocol` is null.
    bool add_entry(const ProtocolNode* protocol);
    // Removes entry `index` of the current focus.
    bool delete_entry(int index);
    // Sets entry `index`'s colour to palette index `colour` (0..31).
    bool set_colour(int index, int colour);

    // OK: the copy replaces the program's dictionary, the dialog's current focus becomes
    // the current focus (every link recoloured; none: no current focus). Returns the
    // name for the "focus" setting, or "" when none is current (the setting then stays).
    std::string commit();

private:
    FocusDictionary copy_;
    int current_ = -1;
};

// The label the builder shows for an entry: its protocol's label, or its stored name
// when the loaded tree does not define the protocol.
[[nodiscard]] std::string focus_entry_label(const FocusItem& item);

// --- the protocol tree as the builder shows it -------------------------------------------

struct TreeItem {
    const ProtocolNode* node;
    int parent;  // index of the parent item in the list, -1: the view's root
    int icon;    // 0: a node with sub-protocols, 1: one without
};
// The items in insertion order (each at the end of its parent's items), from `root`:
// a node with a next link and no sub-protocols is inserted, then its next chain filled
// under the same parent; a node with sub-protocols is inserted (after the items of its
// next chain) and its sub-protocols filled under it. A node with neither link is not
// shown (the last of a chain: every protocol's catch-all).
[[nodiscard]] std::vector<TreeItem> focus_tree_items(const ProtocolNode* root);

// --- colour boxes and the palette sliders ----------------------------------------------

struct BoxRect {
    int x, y, width, height;
};
// Palette Editor box `index` (0..32): 20 x 20, four a row.
[[nodiscard]] BoxRect palette_box_rect(int index);
// Colour picker box `index` (0..31): 13 x 13, four a row.
[[nodiscard]] BoxRect picker_box_rect(int index);
// The box under (x, y), or -1.
[[nodiscard]] int palette_box_at(int x, int y);
[[nodiscard]] int picker_box_at(int x, int y);

inline constexpr int kPaletteSliderMax = 255;
inline constexpr int kPaletteSliderPage = 16;

enum class PaletteSliderEvent { LineUp, LineDown, PageUp, PageDown, ThumbPosition, ThumbTrack, Other };
// A slider notification at position P (before the step; `track`: the tracked position
// of a drag or release). Returns false for notifications that change nothing; else
// *value is the new position v (the component becomes 255 - v) and *set_slider says
// whether the slider is to be set to it.
bool palette_slider_value(PaletteSliderEvent event, int position, int track, int* value, bool* set_slider);

enum PaletteChannel { kRed, kGreen, kBlue };
// The slider position that shows a component: 255 - component.
[[nodiscard]] int palette_slider_position(int component);
// Sets channel `channel` of palette entry `index` to 255 - `value`: the palette, the
// colour map (entry index + 8) and the logical palette at once.
void palette_edit(int index, PaletteChannel channel, int value);
