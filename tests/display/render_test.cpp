// What a render pass draws and writes back: dynamic and cumulative modes, the label
// text choice, manufacturers, suspension, the Zoom Box hook, label measuring and the
// capture pass's draw hook.
#include <vector>

#include "display/map_fixture.h"

namespace {

constexpr int kSize = 520;
int px(double x) { return int((x + 1.3) * 200); }
int row(double y) { return int((1.3 - y) * 200); }

struct Mark {
    double x, y, r;
};
std::vector<Mark> g_marks;
void record_mark(double x, double y, double r) { g_marks.push_back({x, y, r}); }

int g_repaints = 0;
void count_repaint(void* context) {
    ++g_repaints;
    EXPECT_EQ(context, &g_repaints);
}

}  // namespace

TEST_F(MapTest, DynamicModeDrawsOnlyFlaggedHostsAndActiveLinksButKeepsTheRing) {
    Host* a = add_host("00:00:00:00:00:0a", 51200);  // (0.8, 0)
    Host* b = add_host("00:00:00:00:00:0b", 51200);  // (0, 0.8)
    Host* c = add_host("00:00:00:00:00:0c", 51200);  // (-0.8, 0)
    add_host("00:00:00:00:00:0d", 51200);            // (0, -0.8)
    b->display = 0;
    Link* ac = add_link(a, c, 0);
    ac->display = 0;
    g_marks.clear();
    display_set_mark_node(record_mark);

    QImage image = render(kSize, kSize);
    // Idle b keeps its quarter-turn place; it is neither drawn nor marked.
    EXPECT_NEAR(b->map_x, 0, 1e-12);
    EXPECT_DOUBLE_EQ(b->map_y, 0.8);
    EXPECT_EQ(lit(image, px(-0.3), row(1.3), px(0.3), row(0.5)), 0);
    EXPECT_EQ(lit(image, px(0) - 2, row(0) - 2, px(0) + 2, row(0) + 2), 0) << "inactive link drawn";
    EXPECT_EQ(rgb_at(image, px(0.8), row(0)), 0xffffffu);
    ASSERT_EQ(g_marks.size(), 3u);
    EXPECT_DOUBLE_EQ(g_marks[0].x, 0.8);
    EXPECT_NEAR(g_marks[0].r, 0.1, 1e-12);
    EXPECT_DOUBLE_EQ(g_marks[1].x, -0.8);
    // Drawn hosts are cleared; the idle one keeps its flag.
    EXPECT_EQ(a->display, 0);
    EXPECT_EQ(c->display, 0);
    EXPECT_EQ(b->display, 0);

    // Nothing is flagged any more: the next dynamic pass draws no host.
    image = render(kSize, kSize);
    EXPECT_EQ(lit(image, 0, 0, kSize - 1, kSize - 1), 0);

    // Cumulative: every host and every link, flags or not.
    map_settings().dynamic = 0;
    image = render(kSize, kSize);
    EXPECT_EQ(rgb_at(image, px(0), row(0.8)), 0xffffffu);
    EXPECT_TRUE(colour_near(image, px(0), row(0), display_default_colour(32)));
}

TEST_F(MapTest, LabelTextFollowsShowName) {
    Host* named = add_host("00:00:00:00:00:0a", 0, "fileserver");
    add_host("00:00:00:00:00:0b");
    const MapParams p = map_params();
    const NodeGeometry g = map_node_geometry(0, 2, named, p);
    LabelPlacement l = map_label_placement(g, named, p);
    EXPECT_STREQ(l.text, "fileserver");
    EXPECT_FLOAT_EQ(l.width, named->name_width);

    map_settings().show_name = 0;
    l = map_label_placement(g, named, map_params());
    EXPECT_STREQ(l.text, "00:00:00:00:00:0A");
    EXPECT_FLOAT_EQ(l.width, named->address_width);

    // A host without a name shows its address either way.
    map_settings().show_name = 1;
    const NetAddress b = addr("00:00:00:00:00:0b");
    Host* plain = host_find(net, &b);
    EXPECT_STREQ(map_label_placement(g, plain, map_params()).text, "00:00:00:00:00:0B");

    // The rendered label is as long as the chosen text.
    map_settings().dynamic = 0;
    const int band = int(named->address_height * 200) + 1;
    QImage by_name = render(kSize, kSize);
    map_settings().show_name = 0;
    QImage by_address = render(kSize, kSize);
    auto extent = [&](const QImage& image) {
        int right = 0;
        for (int y = row(0) - band; y <= row(0) + band; ++y)
            for (int x = px(0.81); x < kSize; ++x)
                if (rgb_at(image, x, y)) right = std::max(right, x);
        return right;
    };
    EXPECT_NEAR(extent(by_name), px(0.803 + named->name_width), 4);
    EXPECT_NEAR(extent(by_address), px(0.803 + named->address_width), 4);
}

TEST_F(MapTest, ManufacturerFollowsTheLabelInSmallerText) {
    Host* h = add_host("00:00:00:00:00:0a", 0, "pc", "Acme");
    const NodeGeometry g = map_node_geometry(0, 1, h, map_params());
    map_settings().show_manufacturers = 1;
    const LabelPlacement l = map_label_placement(g, h, map_params());
    EXPECT_NEAR(l.ty, (h->name_height + 0.003) / 2 - h->name_height, 1e-7);

    map_settings().show_manufacturers = 0;
    h->display = 1;
    const QImage plain = render(kSize, kSize);
    map_settings().show_manufacturers = 1;
    h->display = 1;
    const QImage with_maker = render(kSize, kSize);
    // "Acme" continues after "pc", in text of 0.025 F instead of 0.06 F.
    const int after = px(0.803 + h->name_width) + 2;
    const int maker_width = int(h->manufacturer_width * 0.025 / 0.06 * 200);
    EXPECT_EQ(lit(plain, after, 0, kSize - 1, kSize - 1), 0);
    EXPECT_GT(lit(with_maker, after, row(0.05), after + maker_width + 4, row(-0.05)), 6);
    EXPECT_EQ(lit(with_maker, after + maker_width + 6, 0, kSize - 1, kSize - 1), 0);

    // An empty manufacturer adds nothing but the shift.
    h->manufacturer_text[0] = '\0';
    h->display = 1;
    EXPECT_EQ(lit(render(kSize, kSize), after, 0, kSize - 1, kSize - 1), 0);
}

TEST_F(MapTest, SuspendedDrawingLeavesImageAndHostsAlone) {
    Host* h = add_host("00:00:00:00:00:0a", 51200);
    NetView view(kSize, kSize);
    view.resize(kSize, kSize);
    set_drawing_suspended(true);
    const QImage image = render_into(view);
    EXPECT_EQ(lit(image, 0, 0, kSize - 1, kSize - 1), 0);
    EXPECT_EQ(h->display, 1);
    EXPECT_DOUBLE_EQ(h->map_x, 0);
    // The next real size resumes drawing.
    view.resize(kSize, kSize);
    EXPECT_FALSE(drawing_suspended());
    EXPECT_GT(lit(render_into(view), 0, 0, kSize - 1, kSize - 1), 0);
    EXPECT_EQ(h->display, 0);
}

TEST_F(MapTest, MeasureLabelsFollowsTheFontScale) {
    Host* named = add_host("00:00:00:00:00:0a", 0, "printer");
    Host* plain = add_host("00:00:00:00:00:0b");
    const float name_w = named->name_width, addr_w = plain->address_width;
    ASSERT_GT(name_w, 0);
    model_settings().font_scale.store(1.0f);
    {
        std::unique_lock<std::shared_mutex> model(model_lock());
        GraphicsLock lock;
        measure_labels(net);
    }
    EXPECT_NEAR(named->name_width, 2 * name_w, 1e-5);
    EXPECT_NEAR(named->name_height, 0.06f, 1e-7);
    EXPECT_NEAR(plain->address_width, 2 * addr_w, 1e-5);
    EXPECT_NEAR(plain->address_height, 0.06f, 1e-7);
    // No name stays no name; the manufacturer size is never recomputed here.
    EXPECT_EQ(plain->name_width, 0);
    EXPECT_EQ(plain->name_height, 0);
    // New hosts are measured at the new size too.
    Host* later = add_host("00:00:00:00:00:0c");
    EXPECT_NEAR(later->address_width, plain->address_width, 1e-6);
}

TEST_F(MapTest, DrawHookRendersOnlyWithAWindowAndAsksItToRepaint) {
    add_host("00:00:00:00:00:0a", 51200);
    NetView view(kSize, kSize);
    view.resize(kSize, kSize);
    g_repaints = 0;
    const unsigned long before = display_draw_count();
    display_draw(net);
    EXPECT_EQ(display_draw_count(), before) << "drew without a window";

    display_set_repaint(count_repaint, &g_repaints);
    display_draw(net);
    EXPECT_EQ(display_draw_count(), before + 1);
    EXPECT_EQ(g_repaints, 1);
    QImage shown;
    view.paint([&](const QImage& image) { shown = image.copy(0, 0, kSize, kSize); });
    EXPECT_EQ(rgb_at(shown, px(0.8), row(0)), 0xffffffu);

    display_set_repaint(nullptr, nullptr);
    display_draw(net);
    EXPECT_EQ(g_repaints, 1);
}

TEST(MapPacing, RendersAtMost30TimesASecondAndLeavesCaptureTwoThirdsOfTheThread) {
    struct Case {
        double since_start, since_end, last_ms;
        bool due;
    } cases[] = {
        {20, 19, 1, false},     // small map: not before 33.3 ms from the last start
        {33.4, 32.4, 1, true},  // ... so 30 a second, however long the passes between
        {33.4, 30.4, 3, true},  // a 3 ms render does not push the next one back
        {80, 25, 55, false},    // 55 ms render: 110 ms from its end
        {165, 110, 55, true},
        {5000, 5000, 0, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(display_draw_due(c.since_start, c.since_end, c.last_ms), c.due)
            << c.since_start << " " << c.since_end << " " << c.last_ms;
}

TEST_F(MapTest, DefaultColoursFillThePaletteEntries) {
    for (int k = 0; k < kPaletteSize; ++k) {
        EXPECT_EQ(mswin_colour(k + kPaletteBase), display_default_colour(k)) << k;
        EXPECT_NE(display_default_colour(k), 0u) << "a link colour invisible on the black map: " << k;
    }
    EXPECT_EQ(mswin_colour(kMapForeground), 0xffffffu);
    EXPECT_EQ(mswin_colour(kMapBackground), 0u);
}
