#include "display/load_chart.h"

#include <algorithm>
#include <cstdio>

int chart_height(int client_height, int axis_height, int text_height) {
    return std::max(client_height - axis_height - text_height, 0);
}

GridRows chart_grid_rows(int c) {
    const long long h = c;
    return GridRows{{int(h * 10 / 40), int(h * 20 / 40), int(h * 30 / 40)}};
}

int chart_bar(int c, long long load) {
    if (c <= 0 || load <= 0) return 0;
    const long long bar = static_cast<long long>(c) * load / kChartFullScale;
    return static_cast<int>(std::min<long long>(bar, c));
}

BarRows chart_bar_rows(int c, int bar) { return BarRows{c - bar + 1, c - 1}; }

TimeMark chart_time_mark(int hour, int minute, int second, int right) {
    TimeMark m{right, hour, minute, 0};
    if (second >= 1 && second <= 30) {
        m.column = right - second;
    } else if (second >= 31) {
        m.column = right + (60 - second);
        if (++m.minute == 60) {
            m.minute = 0;
            if (++m.hour == 24) m.hour = 0;
        }
    }
    return m;
}

std::string chart_time_text(const TimeMark& mark) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d ", mark.hour, mark.minute, mark.second);
    return text;
}

namespace {

// The format holds exactly one conversion, %d, besides any %% escapes.
bool one_int_conversion(const std::string& f) {
    int conversions = 0;
    for (size_t i = 0; i < f.size(); ++i) {
        if (f[i] != '%') continue;
        if (i + 1 >= f.size()) return false;
        if (f[i + 1] == '%') {
            ++i;
            continue;
        }
        if (f[i + 1] != 'd') return false;
        ++conversions;
        ++i;
    }
    return conversions == 1;
}

}  // namespace

std::string chart_label_text(const std::string& format, int value, bool first_eight) {
    std::string text;
    if (one_int_conversion(format)) {
        char buffer[256];
        std::snprintf(buffer, sizeof buffer, format.c_str(), value);
        text = buffer;
    } else {
        // A caption's own text from the 1061 message: never handed to printf as a format.
        text = format;
    }
    if (first_eight && text.size() > 8) text.resize(8);
    return text;
}

bool ChartClock::sample() { return ++samples > kChartMarkLateSamples; }

bool ChartClock::mark() {
    if (samples <= kChartMarkMinSamples) return false;
    samples = 0;
    return true;
}
