// The Network Load strip chart's arithmetic: bar heights, grid rows, time marks. No
// Qt: the widget (qt/load_panel.h) draws what these say.
//
// The chart image is the client's width plus a hidden margin of 101 pixels, so that a
// time mark for a minute still to come can be drawn off the visible area and scroll
// into view. The full height of the chart is 40 % load.
#pragma once

#include <string>

inline constexpr int kChartMargin = 101;         // hidden pixels right of the client
inline constexpr int kChartFullScale = 40;       // percent load at the chart's top
inline constexpr int kChartAxisHeight = 8;       // default time-axis height
inline constexpr int kChartSampleMs = 1000;
inline constexpr int kChartMarkMs = 60000;
inline constexpr int kChartMarkMinSamples = 30;  // a mark needs more samples than this since the last
inline constexpr int kChartMarkLateSamples = 65; // a sample past this many marks at once
inline constexpr int kChartLabelWidth = 80;
inline constexpr int kChartLabelHeight = 35;
inline constexpr char kChartDefaultFormat[] = "Load: %d%%";

// Height of the chart above the time axis in a client `client_height` high.
[[nodiscard]] int chart_height(int client_height, int axis_height, int text_height);

// Rows from the top of the three grid lines (30 %, 20 % and 10 % load).
struct GridRows {
    int row[3];
};
[[nodiscard]] GridRows chart_grid_rows(int chart_height);

// Bar height in pixels of a sample of `load` percent in a chart `chart_height` high:
// min(trunc(trunc(C * v) / 40), C); 0 for no load or less.
[[nodiscard]] int chart_bar(int chart_height, long long load);

// The rows the bar's line covers: from row C - 1 up toward row C - bar, the end row
// excluded. Empty (first > last) for a bar of 0 or 1.
struct BarRows {
    int first, last;  // first <= last: rows first..last, inclusive
};
[[nodiscard]] BarRows chart_bar_rows(int chart_height, int bar);

// A time mark taken at local time h:m:s for a chart whose newest sample is at column
// `right` (the client width - 1): the column of the mark and the time it names.
struct TimeMark {
    int column;
    int hour, minute, second;
};
// s 1..30: the minute just past, s columns left of `right`; s 31..59: the next minute
// (carrying into the hour, 23 wrapping to 0), 60 - s columns right of it, in the hidden
// margin; s 0: at `right`.
[[nodiscard]] TimeMark chart_time_mark(int hour, int minute, int second, int right);
// The mark's text, "%02d:%02d:%02d ".
[[nodiscard]] std::string chart_time_text(const TimeMark& mark);

// The label text for the format and the value: the format with the value, cut to its
// first 8 characters when `first_eight` (the label drawn at a resize). A format that
// is not a single %d conversion shows as it is written.
[[nodiscard]] std::string chart_label_text(const std::string& format, int value, bool first_eight);

// Samples and marks: how many samples have passed since the last time mark.
struct ChartClock {
    int samples = 0;
    // One sample; true when more than 65 samples have passed since the last mark (a
    // mark is due now).
    bool sample();
    // A time mark was asked for; true when it is drawn (more than 30 samples since the
    // last), which resets the count.
    bool mark();
};
