#include "display/controls.h"

#include <algorithm>
#include <cmath>

#include "display/map_settings.h"
#include "model/net.h"

namespace {

constexpr const char* kLabels[kControlRows] = {
    "Node Scale", "Link Scale", "Max Node Radius", "Max Link Width", "Node Timeout", "Link Timeout", "Font Scale",
};

int clamp_slider(long long v) { return static_cast<int>(std::clamp<long long>(v, kSliderMin, kSliderMax)); }

// A scale shown in hundredths; NaN or a negative text in the key shows at 0.
int hundredths(double setting) {
    const double v = std::trunc(setting * 100);
    if (!(v > 0)) return 0;
    return v >= kSliderMax ? kSliderMax : static_cast<int>(v);
}

}  // namespace

const char* controls_label(int row) { return row >= 0 && row < kControlRows ? kLabels[row] : ""; }

int controls_step(int value, SliderEvent event, int thumb) {
    switch (event) {
        case SliderEvent::LineLeft: return clamp_slider(static_cast<long long>(value) - kSliderLineStep);
        case SliderEvent::LineRight: return clamp_slider(static_cast<long long>(value) + kSliderLineStep);
        case SliderEvent::PageLeft: return clamp_slider(static_cast<long long>(value) - kSliderPageStep);
        case SliderEvent::PageRight: return clamp_slider(static_cast<long long>(value) + kSliderPageStep);
        case SliderEvent::ThumbReleased: return clamp_slider(thumb);
        case SliderEvent::ThumbTrack:
        case SliderEvent::Other: break;
    }
    return clamp_slider(value);
}

int controls_initial_value(int row) {
    const MapSettings& m = map_settings();
    const ModelSettings& s = model_settings();
    switch (row) {
        case kRowNodeScale: return hundredths(m.node_scale.load());
        case kRowLinkScale: return hundredths(m.link_scale.load());
        case kRowMaxNodeRadius: return hundredths(m.max_node_radius.load());
        case kRowMaxLinkWidth: return clamp_slider(m.max_link_width.load());
        case kRowNodeTimeout: return clamp_slider(s.node_timeout.load());
        case kRowLinkTimeout: return clamp_slider(s.link_timeout.load());
        case kRowFontScale: return hundredths(s.font_scale.load());
        default: return 0;
    }
}

bool controls_apply(int row, int value, const int (&values)[kControlRows]) {
    MapSettings& m = map_settings();
    ModelSettings& s = model_settings();
    value = clamp_slider(value);
    const int node = row == kRowNodeTimeout ? value : clamp_slider(values[kRowNodeTimeout]);
    const int link = row == kRowLinkTimeout ? value : clamp_slider(values[kRowLinkTimeout]);
    switch (row) {
        case kRowNodeScale: m.node_scale.store(value / 100.0); break;
        case kRowLinkScale: m.link_scale.store(value / 100.0); break;
        case kRowMaxNodeRadius: m.max_node_radius.store(value / 100.0); break;
        case kRowMaxLinkWidth: m.max_link_width.store(value); break;
        case kRowNodeTimeout: s.node_timeout.store(std::max(node, link)); break;
        case kRowLinkTimeout:
            s.link_timeout.store(value);
            s.node_timeout.store(std::max(node, link));
            break;
        case kRowFontScale: s.font_scale.store(value / 100.0); return true;
        default: break;
    }
    return false;
}

ControlRect controls_slider_rect(int row, int text_height, int panel_width) {
    const int w = panel_width - 5;
    const int y = static_cast<int>(std::trunc((2.1 * row + 2) * text_height));
    return ControlRect{10, y, w - 10, 3 * text_height / 4};
}

ControlRect controls_label_rect(int row, int text_height, int panel_width) {
    const int w = panel_width - 5;
    const int y = static_cast<int>(std::trunc((2.1 * row + 2.7) * text_height));
    return ControlRect{10, y, w - 10, text_height};
}
