// A fresh model and an open drawing library with the shipped font, for map tests.
#pragma once

#include <gtest/gtest.h>

#include <QImage>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <shared_mutex>
#include <string>

#include "display/display.h"
#include "display/netview.h"
#include "graphics/graphics.h"
#include "graphics/hershey.h"
#include "graphics/mswin.h"
#include "model/engine.h"
#include "model/net.h"
#include "protocol/pd.h"

class MapTest : public ::testing::Test {
protected:
    void SetUp() override {
        engine_reset();
        display_reset();
        display_set_draw_pacing(false);  // every display_draw renders
        model_settings().font_scale.store(0.5f);
        MapSettings& s = map_settings();
        s.node_scale = 0.2;
        s.link_scale = 0.6;
        s.max_node_radius = 0.5;
        s.max_link_width = 100;
        s.dynamic = 1;
        s.bytes = 1;
        s.show_name = 1;
        s.show_manufacturers = 0;

        setdevice("mswin");
        opendevice();
        ortho2(-1.3, 1.3, -1.3, 1.3);
        hfontdir(HOPSCOPE_DATA_DIR);
        hloadfont("font.bin");
        htextsize(0.03f, 0.03f);
        model_set_text_width(htextwidth);
        display_default_colours();

        net = net_create("map0");
        net_list_add(net);
        net_set_current(net);
    }
    void TearDown() override {
        display_set_mark_node(nullptr);
        display_set_repaint(nullptr, nullptr);
        model_set_focus_source(nullptr);
    }

    static NetAddress addr(const std::string& text) {
        NetAddress a;
        netaddr_init(&a, kEtherType);
        netaddr_parse(&a, text.c_str());
        return a;
    }

    // A host that is to be drawn, with the byte-rate mean `rate` (bytes per second).
    Host* add_host(const std::string& mac, double rate = 0, const char* name = nullptr,
                   const char* manufacturer = nullptr) {
        const NetAddress a = addr(mac);
        Host* h = host_create(net, &a);
        h->byte_rate.mean = rate;
        h->display = 1;
        if (name) {
            std::snprintf(h->name_text, sizeof h->name_text, "%s", name);
            h->name = h->name_text;
            h->name_width = htextwidth(h->name_text);
            h->name_height = h->address_height;
        }
        if (manufacturer) {
            std::snprintf(h->manufacturer_text, sizeof h->manufacturer_text, "%s", manufacturer);
            h->manufacturer_width = htextwidth(h->manufacturer_text);
            h->manufacturer_height = h->address_height;
        }
        return h;
    }

    Link* add_link(Host* from, Host* to, double rate, int colour_index = -1) {
        Link* l = link_create(from, to);
        l->byte_rate.mean = rate;
        l->colour_index = colour_index;
        l->display = 1;
        return l;
    }

    // Renders the map at width x height through a NetView, as the program does, and
    // returns the window's part of the image.
    QImage render(int width, int height) {
        NetView view(width, height);
        view.resize(width, height);
        return render_into(view);
    }
    QImage render_into(NetView& view) {
        {
            std::unique_lock<std::shared_mutex> model(model_lock());
            GraphicsLock lock;
            render_map(net);
        }
        QImage shown;
        view.paint([&](const QImage& image) { shown = image.copy(0, 0, view.width(), view.height()); });
        return shown;
    }

    Network* net = nullptr;
};

// Colour of a pixel as 0xRRGGBB.
inline uint32_t rgb_at(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xffffffu; }

// Pixels that are not black in a rectangle of image rows and columns (inclusive).
inline int lit(const QImage& image, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = std::max(y0, 0); y <= std::min(y1, image.height() - 1); ++y)
        for (int x = std::max(x0, 0); x <= std::min(x1, image.width() - 1); ++x)
            if (rgb_at(image, x, y)) ++n;
    return n;
}

// Whether the colour appears within `radius` pixels of (x, y): a one-pixel line lands
// on one of two rows depending on rounding.
inline bool colour_near(const QImage& image, int x, int y, uint32_t colour, int radius = 2) {
    for (int v = y - radius; v <= y + radius; ++v)
        for (int u = x - radius; u <= x + radius; ++u)
            if (u >= 0 && v >= 0 && u < image.width() && v < image.height() && rgb_at(image, u, v) == colour)
                return true;
    return false;
}
