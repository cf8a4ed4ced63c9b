// The drawing cache changes no pixel: a busy map drawn frame after frame with the cache
// (groups and layers first drawn, then recorded, then written from their records) is,
// pixel for pixel, the map drawn by the drawing calls alone, while rates, colours, the colour map,
// the font size and the window's size change between frames.
#include "display/map_fixture.h"

#include <cstdlib>
#include <vector>

class RenderCacheTest : public MapTest {
protected:
    struct Scene {
        std::vector<Host*> hosts;
        std::vector<Link*> links;
    };
    Scene make_scene(int count) {
        Scene s;
        for (int i = 0; i < count; ++i) {
            char mac[18];
            std::snprintf(mac, sizeof mac, "00:1B:21:%02X:%02X:%02X", i * 37 & 0xff, i * 11 & 0xff, i & 0xff);
            const char* name = i % 3 == 0 ? "fileserver-long-name" : (i % 3 == 1 ? "pc" : nullptr);
            s.hosts.push_back(add_host(mac, 300 + i * 997 % 90000, name, i % 2 ? "Intel" : "Hewlett Packard"));
        }
        for (int i = 0; i < 3 * count; ++i)
            // Three different destinations a source, never itself: a pair made twice would
            // leave the second link outside the host's table.
            s.links.push_back(add_link(s.hosts[size_t(i % count)], s.hosts[size_t((i % count + 1 + i / count * 7) % count)],
                                       400 + (i * 7919) % 70000, i % 5 == 0 ? -1 : i % 20));
        return s;
    }
};

TEST_F(RenderCacheTest, CachedFramesAreThePixelsOfTheDrawingCalls) {
    map_settings().show_manufacturers = 1;
    map_settings().link_scale = 0.3;
    map_settings().dynamic = 0;  // every host drawn in every frame (a drawn host is otherwise idle until the refresh)
    map_settings().max_link_width = 12;
    Scene s = make_scene(60);
    NetView view(700, 560);
    view.resize(700, 560);
    const unsigned long hits_before = group_cache_hits();
    for (int frame = 0; frame < 9; ++frame) {
        // Some frames change things: a few rates (circles, label places, link widths), a
        // link's colour, a colour-map entry, the label size, the window's size.
        if (frame == 4)
            for (size_t i = 0; i < s.hosts.size(); i += 4) s.hosts[i]->byte_rate.mean *= 1.7;
        if (frame == 5) {
            s.links[3]->colour_index = 7;
            mapcolor(kPaletteBase + 2, 10, 200, 30);
        }
        if (frame == 6) model_settings().font_scale.store(0.7f);
        if (frame == 7) view.resize(640, 600);
        // Passes of one frame: drawn, recorded, written from the records. In odd frames
        // one host's rate moves at every pass, so that the layers are never the same and
        // the other hosts' groups are written from their own records.
        QImage plain, cached;
        for (int pass = 0; pass < 4; ++pass) {
            if (frame % 2) s.hosts[1]->byte_rate.mean = 5000 + 311 * (frame * 4 + pass);
            group_cache_enable(false);
            plain = render_into(view);
            group_cache_enable(true);
            cached = render_into(view);
            ASSERT_EQ(cached.size(), plain.size());
            int differ = 0;
            for (int y = 0; y < plain.height(); ++y)
                for (int x = 0; x < plain.width(); ++x) differ += plain.pixel(x, y) != cached.pixel(x, y);
            EXPECT_EQ(differ, 0) << "frame " << frame << " pass " << pass;
            if (differ && std::getenv("RENDER_CACHE_DEBUG")) {
                plain.save("/tmp/speed-plain.png");
                cached.save("/tmp/speed-cached.png");
                return;
            }
        }
        // Frames without a change keep the cache and start from its records.
        if (frame == 1 || frame == 2) {
            EXPECT_EQ(render_into(view), plain) << frame;
        }
    }
    EXPECT_GT(group_cache_hits(), hits_before + 200);
    model_settings().font_scale.store(0.5f);
}
