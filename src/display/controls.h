// The Controls panel's arithmetic: seven sliders (0..100) for the map's scales, the
// two timeouts and the font scale, their steps, and what a slider value does to its
// setting. No Qt: the widget (qt/controls_panel.h) only forwards its slider events.
//
// Threads: window thread. The settings written are atomics that the capture-and-draw
// thread reads from its next pass on.
#pragma once

inline constexpr int kControlRows = 7;
inline constexpr int kSliderMin = 0;
inline constexpr int kSliderMax = 100;
inline constexpr int kSliderLineStep = 1;
inline constexpr int kSliderPageStep = 25;

enum ControlRow {
    kRowNodeScale,
    kRowLinkScale,
    kRowMaxNodeRadius,
    kRowMaxLinkWidth,
    kRowNodeTimeout,
    kRowLinkTimeout,
    kRowFontScale,
};

// The label shown under slider `row`, or "" outside 0..6.
[[nodiscard]] const char* controls_label(int row);

// A slider event; dragging the thumb changes nothing until it is released.
enum class SliderEvent { LineLeft, LineRight, PageLeft, PageRight, ThumbReleased, ThumbTrack, Other };

// The slider value after `event` on a slider at `value` (`thumb`: the thumb position of
// a release), clamped to 0..100. ThumbTrack and Other leave the value as it is.
[[nodiscard]] int controls_step(int value, SliderEvent event, int thumb = 0);

// The slider position that shows the current setting of `row`: x 100 truncated for the
// scales and the font scale, as is for the width and the timeouts, clamped to the
// slider's range (a setting above it shows at the end and keeps its value).
[[nodiscard]] int controls_initial_value(int row);

// Applies slider `row` at `value` to its setting. `values` are the seven sliders'
// positions (values[row] is taken to be `value`): the node timeout is the larger of the
// Node Timeout and Link Timeout sliders, so a node never times out before its links.
// Returns true for the Font Scale row: the network window must measure its labels again
// (message 1027).
bool controls_apply(int row, int value, const int (&values)[kControlRows]);

// Where slider `row` and its label sit in a panel `panel_width` wide with a label font
// `text_height` pixels high.
struct ControlRect {
    int x, y, width, height;
};
[[nodiscard]] ControlRect controls_slider_rect(int row, int text_height, int panel_width);
[[nodiscard]] ControlRect controls_label_rect(int row, int text_height, int panel_width);
