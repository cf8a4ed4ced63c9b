// Where the map puts hosts, labels and links: the ring, both halves, the two rate
// modes, the clamped radius with its unclamped label offset and both link-scale rules,
// checked in numbers and in the rendered pixels (520 x 520, 200 pixels a world unit).
#include <cmath>

#include "display/map_fixture.h"

namespace {

constexpr int kSize = 520;
int px(double x) { return int((x + 1.3) * 200); }
int row(double y) { return int((1.3 - y) * 200); }

}  // namespace

TEST_F(MapTest, OneHostSitsAtZeroDegreesWithItsLabelToTheRight) {
    Host* h = add_host("00:00:00:00:00:0a");
    const NodeGeometry g = map_node_geometry(0, 1, h, map_params());
    EXPECT_DOUBLE_EQ(g.x, 0.8);
    EXPECT_DOUBLE_EQ(g.y, 0.0);
    const LabelPlacement l = map_label_placement(g, h, map_params());
    EXPECT_TRUE(l.right_half);
    EXPECT_DOUBLE_EQ(l.angle, 0);
    EXPECT_DOUBLE_EQ(l.tx, 0.803);
    EXPECT_FLOAT_EQ(float(l.ty), -h->address_height / 2);
    EXPECT_STREQ(l.text, "00:00:00:00:00:0A");

    const QImage image = render(kSize, kSize);
    EXPECT_DOUBLE_EQ(h->map_x, 0.8);
    EXPECT_DOUBLE_EQ(h->map_y, 0.0);
    // The label runs from just outside the ring to the right, centred on the ring's
    // horizontal; nothing is drawn inside the ring.
    const int band = int(h->address_height * 200) + 1;
    EXPECT_GT(lit(image, px(0.81), row(0) - band, px(0.8 + h->address_width), row(0) + band), 40);
    EXPECT_EQ(lit(image, 0, 0, px(0.79), kSize - 1), 0);
    EXPECT_EQ(lit(image, 0, 0, kSize - 1, row(0) - band - 2), 0);
}

TEST_F(MapTest, QuarterTurnCountsAsTheRightHalf) {
    // Exactly x = 0 reads outward, as the right half does; anything left of it turns.
    NodeGeometry g;
    g.theta = 3.14159265358979 / 2;
    g.x = 0.0;
    g.y = 0.8;
    Host* h = add_host("00:00:00:00:00:0a");
    EXPECT_TRUE(map_label_placement(g, h, map_params()).right_half);
    g.x = -1e-12;
    const LabelPlacement left = map_label_placement(g, h, map_params());
    EXPECT_FALSE(left.right_half);
    EXPECT_DOUBLE_EQ(left.angle, 270);

    // The second of four hosts: a quarter turn, its label reading upward from the ring.
    for (const char* mac : {"00:00:00:00:00:0b", "00:00:00:00:00:0c", "00:00:00:00:00:0d"}) add_host(mac);
    const NodeGeometry top = map_node_geometry(1, 4, h, map_params());
    EXPECT_NEAR(top.x, 0, 1e-12);
    EXPECT_TRUE(map_label_placement(top, h, map_params()).right_half);
    const QImage image = render(kSize, kSize);
    const int band = int(h->address_height * 200) + 1;
    EXPECT_GT(lit(image, px(0) - band, row(0.8 + h->address_width), px(0) + band, row(0.81)), 40);
}

TEST_F(MapTest, LeftHalfLabelsEndTowardTheNode) {
    add_host("00:00:00:00:00:0a");
    Host* left = add_host("00:00:00:00:00:0b", 10240);  // rho = 0.2 * 10 * 0.01 = 0.02
    const NodeGeometry g = map_node_geometry(1, 2, left, map_params());
    EXPECT_DOUBLE_EQ(g.x, -0.8);
    EXPECT_NEAR(g.rate_term, 0.02, 1e-12);
    const LabelPlacement l = map_label_placement(g, left, map_params());
    EXPECT_FALSE(l.right_half);
    EXPECT_NEAR(l.tx, -(0.02 + left->address_width + 0.803), 1e-6);

    // Rotated a whole turn, the label reads left to right and ends rho + 0.803 from the
    // centre, on the outer side of the node.
    const QImage image = render(kSize, kSize);
    const int band = int(left->address_height * 200) + 1;
    int leftmost = kSize;
    for (int y = row(0) - band; y <= row(0) + band; ++y)
        for (int x = 0; x < px(-0.79); ++x)
            if (rgb_at(image, x, y)) leftmost = std::min(leftmost, x);
    EXPECT_NEAR(leftmost, px(-(0.823 + left->address_width)), 4);
    EXPECT_GT(lit(image, px(-0.823 - left->address_width), row(0) - band, px(-0.823), row(0) + band), 40);
    EXPECT_EQ(lit(image, px(-0.77), 0, px(0.79), kSize - 1), 0);
}

TEST_F(MapTest, ClampedRadiusKeepsTheFullLabelOffset) {
    map_settings().max_node_radius = 0.1;
    Host* h = add_host("00:00:00:00:00:0a", 153600);  // rho = 0.2 * 150 * 0.01 = 0.3
    const NodeGeometry g = map_node_geometry(0, 1, h, map_params());
    EXPECT_NEAR(g.rate_term, 0.3, 1e-12);
    EXPECT_DOUBLE_EQ(g.radius, 0.1);
    EXPECT_NEAR(map_label_placement(g, h, map_params()).tx, 0.3 + 0.8 + 0.003, 1e-12);

    const QImage image = render(kSize, kSize);
    // The circle spans 0.7..0.9 on the axis; the label starts at 1.103.
    EXPECT_EQ(rgb_at(image, px(0.8), row(0)), 0xffffffu);
    EXPECT_EQ(rgb_at(image, px(0.88), row(0)), 0xffffffu);
    EXPECT_EQ(rgb_at(image, px(0.93), row(0)), 0u);
    EXPECT_EQ(lit(image, px(0.92), 0, px(1.09), kSize - 1), 0);
    EXPECT_GT(lit(image, px(1.11), row(0.03), kSize - 1, row(-0.03)), 20);
}

TEST_F(MapTest, FrameModeSizesByFrameRateWithTheWiderGap) {
    map_settings().bytes = 0;
    Host* h = add_host("00:00:00:00:00:0a", 1e9);
    h->frame_rate.mean = 50;  // 50 * 0.01 * 0.2 = 0.1
    const NodeGeometry g = map_node_geometry(0, 1, h, map_params());
    EXPECT_NEAR(g.radius, 0.1, 1e-12);
    EXPECT_NEAR(map_label_placement(g, h, map_params()).tx, 0.1 + 0.82, 1e-12);
    map_settings().max_node_radius = 0.05;
    EXPECT_DOUBLE_EQ(map_node_geometry(0, 1, h, map_params()).radius, 0.05);

    add_host("00:00:00:00:00:0b");
    Host* left = add_host("00:00:00:00:00:0c");
    left->frame_rate.mean = 10;
    const NodeGeometry lg = map_node_geometry(2, 4, left, map_params());
    EXPECT_NEAR(map_label_placement(lg, left, map_params()).tx, -(0.02 + left->address_width + 0.82), 1e-6);
}

TEST_F(MapTest, LinkWidths) {
    // Link scale 0: whole bytes, then whole kilobytes.
    EXPECT_EQ(map_link_width(3000, 0, 100), 2);
    EXPECT_EQ(map_link_width(3000.9, 0, 100), 2);
    EXPECT_EQ(map_link_width(1023.99, 0, 100), 0);
    EXPECT_EQ(map_link_width(2048, 0, 100), 2);
    // Otherwise KB/s times the scale, truncated.
    EXPECT_EQ(map_link_width(3000, 0.6, 100), 1);
    EXPECT_EQ(map_link_width(10240, 0.6, 100), 6);
    EXPECT_EQ(map_link_width(10240, 2.5, 100), 25);
    // Cut to the maximum, never below 0, and no overflow for rates beyond an int.
    EXPECT_EQ(map_link_width(1e6, 0.6, 100), 100);
    EXPECT_EQ(map_link_width(1e13, 0, 100), 100);
    EXPECT_EQ(map_link_width(1e13, 1e9, 7), 7);
    EXPECT_EQ(map_link_width(1000, -3, 100), 0);
    EXPECT_EQ(map_link_width(5000, 0.6, -4), 0);
}

TEST_F(MapTest, LinksAreDrawnOverTheCirclesAtTheirWidthAndColour) {
    map_settings().link_scale = 0;
    map_settings().max_link_width = 30;
    Host* a = add_host("00:00:00:00:00:0a", 51200);   // right, r = 0.1
    Host* b = add_host("00:00:00:00:00:0b", 51200);   // left
    add_link(a, b, 20 * 1024 + 500, 3);               // 20 pixels, colour-map entry 11
    add_link(b, a, 0, -1);                            // one pixel, entry 40
    const QImage image = render(kSize, kSize);

    const uint32_t blue_ish = display_default_colour(3);
    // Over the circle at (0.8, 0): the link's colour, not white.
    EXPECT_NE(rgb_at(image, px(0.75), row(0)), 0xffffffu);
    // Across the middle, a band of about 20 rows of one of the two link colours.
    int band = 0;
    for (int y = row(0) - 30; y <= row(0) + 30; ++y) {
        const uint32_t c = rgb_at(image, px(0), y);
        if (c == blue_ish || c == display_default_colour(32)) ++band;
    }
    EXPECT_GE(band, 19);
    EXPECT_LE(band, 22);
    EXPECT_EQ(map_link_colour(-1), 40);
    EXPECT_EQ(map_link_colour(0), 8);
    EXPECT_EQ(map_link_colour(32), 40);
}

TEST_F(MapTest, LinkWithoutFocusUsesEntryForty) {
    Host* a = add_host("00:00:00:00:00:0a");
    Host* b = add_host("00:00:00:00:00:0b");
    add_link(a, b, 0, -1);
    mapcolor(40, 0x12, 0x34, 0x56);
    const QImage image = render(kSize, kSize);
    EXPECT_TRUE(colour_near(image, px(0), row(0), 0x123456u));
}
