// The network window's state: the aspect rule on resize, suspension at a zero size,
// zoom and font changes applied at the next paint and shown from the next frame.
#include "display/map_fixture.h"

namespace {

// Where a world point lands in clip coordinates under the current projection.
QPointF clip_of(double x, double y) {
    float m[4][4];
    {
        GraphicsLock lock;
        getmatrix(m);
    }
    const double cx = x * m[0][0] + y * m[1][0] + m[3][0];
    const double cy = x * m[0][1] + y * m[1][1] + m[3][1];
    const double w = x * m[0][3] + y * m[1][3] + m[3][3];
    return {cx / w, cy / w};
}

}  // namespace

TEST_F(MapTest, ResizeWidensTheLongerSideAndReportsTheAspect) {
    NetView view(800, 600);
    EXPECT_EQ(view.resize(400, 200), 200);
    EXPECT_FLOAT_EQ(view.half_width(), 2.6f);
    EXPECT_FLOAT_EQ(view.half_height(), 1.3f);
    EXPECT_NEAR(clip_of(2.6, 1.3).x(), 1, 1e-6);
    EXPECT_NEAR(clip_of(2.6, 1.3).y(), 1, 1e-6);
    EXPECT_EQ(graphics_state().width, 400);
    EXPECT_EQ(graphics_state().height, 200);

    EXPECT_EQ(view.resize(200, 400), 50);
    EXPECT_FLOAT_EQ(view.half_width(), 1.3f);
    EXPECT_FLOAT_EQ(view.half_height(), 2.6f);
    EXPECT_EQ(view.resize(300, 300), 100);
    // 1.3 * 700 / 300 in single precision, over 1.3: truncated, not rounded.
    EXPECT_EQ(view.resize(700, 300), 233);
}

TEST_F(MapTest, ZeroSizeSuspendsUntilTheNextRealSize) {
    NetView view(400, 400);
    view.resize(300, 200);
    EXPECT_EQ(view.resize(300, 0), -1);
    EXPECT_TRUE(drawing_suspended());
    EXPECT_EQ(view.resize(0, 0), -1);
    EXPECT_EQ(graphics_state().width, 300) << "a zero size must not reach the device";
    EXPECT_EQ(view.resize(300, 200), 150);
    EXPECT_FALSE(drawing_suspended());
}

TEST_F(MapTest, ZoomUpperLeftQuarterShowsFromTheNextFrame) {
    ViewRect v;
    ASSERT_TRUE(zoom_view({0, 0, 50, 50}, &v));
    EXPECT_DOUBLE_EQ(v.left, -1.3);
    EXPECT_DOUBLE_EQ(v.right, 0);
    EXPECT_DOUBLE_EQ(v.bottom, 0);
    EXPECT_DOUBLE_EQ(v.top, 1.3);
    ASSERT_TRUE(zoom_view({25, 75, 75, 25}, &v));  // corners in either order
    EXPECT_DOUBLE_EQ(v.left, -0.65);
    EXPECT_DOUBLE_EQ(v.top, 0.65);

    // Eight hosts: one at 135 degrees in the upper-left quarter, one at 315 degrees.
    for (int i = 0; i < 8; ++i) add_host("00:00:00:00:00:0" + std::to_string(i), 51200);
    map_settings().dynamic = 0;
    NetView view(400, 400);
    view.resize(400, 400);
    view.post_zoom({0, 0, 50, 50});
    EXPECT_TRUE(view.zoom_pending());
    // The frame painted with the message still shows the whole map ...
    QImage frame = render_into(view);
    EXPECT_FALSE(view.zoom_pending());
    const double d = 0.8 * std::sqrt(0.5);
    auto at = [](double x, double y, double left, double top, double span) {
        return QPoint(int((x - left) / span * 400), int((top - y) / span * 400));
    };
    QPoint p = at(-d, d, -1.3, 1.3, 2.6);
    EXPECT_EQ(rgb_at(frame, p.x(), p.y()), 0xffffffu);
    // ... the next one the quarter, stretched over the window.
    frame = render_into(view);
    p = at(-d, d, -1.3, 1.3, 1.3);
    EXPECT_EQ(rgb_at(frame, p.x(), p.y()), 0xffffffu);
    EXPECT_EQ(rgb_at(frame, 200, 200), 0u) << "the centre of the quarter is empty";
    EXPECT_NEAR(clip_of(-1.3, 1.3).x(), -1, 1e-6);
    EXPECT_NEAR(clip_of(0, 0).y(), -1, 1e-6);

    // A new size resets the view to the whole map.
    view.resize(400, 400);
    EXPECT_NEAR(clip_of(1.3, -1.3).x(), 1, 1e-6);
    EXPECT_NEAR(clip_of(1.3, -1.3).y(), -1, 1e-6);
}

TEST_F(MapTest, ZoomWithoutWidthOrHeightIsIgnored) {
    // ortho2 would end the program for an empty view.
    NetView view(200, 200);
    view.resize(200, 200);
    view.post_zoom({30, 10, 30, 90});
    view.post_zoom({10, 40, 90, 40});
    EXPECT_FALSE(view.zoom_pending());
    ViewRect v;
    EXPECT_FALSE(zoom_view({50, 50, 50, 50}, &v));
    view.paint(nullptr);
    EXPECT_NEAR(clip_of(1.3, 1.3).x(), 1, 1e-6);
}

TEST_F(MapTest, FontChangeMeasuresEveryNetworkAtTheNextPaint) {
    Host* h = add_host("00:00:00:00:00:0a");
    Network* other = net_create("map1");
    net_list_add(other);
    const NetAddress a = addr("00:00:00:00:00:0b");
    Host* elsewhere = host_create(other, &a);
    const float before = h->address_width, before_elsewhere = elsewhere->address_width;
    NetView view(200, 200);
    view.resize(200, 200);
    model_settings().font_scale.store(1.0f);
    view.post_font_change();
    EXPECT_TRUE(view.font_change_pending());
    EXPECT_FLOAT_EQ(h->address_width, before);
    bool copied = false;
    view.paint([&](const QImage&) { copied = true; });
    EXPECT_TRUE(copied);
    EXPECT_FALSE(view.font_change_pending());
    EXPECT_NEAR(h->address_width, 2 * before, 1e-5);
    EXPECT_NEAR(elsewhere->address_width, 2 * before_elsewhere, 1e-5);
}

TEST_F(MapTest, WindowLargerThanTheImageGrowsIt) {
    NetView view(100, 80);
    EXPECT_EQ(view.image().width(), 100);
    view.resize(300, 120);
    EXPECT_EQ(view.image().width(), 300);
    EXPECT_EQ(view.image().height(), 120);
    add_host("00:00:00:00:00:0a", 51200);
    const QImage frame = render_into(view);
    ASSERT_EQ(frame.width(), 300);
    // Host at (0.8, 0) of a view 2 * 3.25 wide: column (0.8 + 3.25) / 6.5 * 300.
    EXPECT_EQ(rgb_at(frame, int((0.8 + 3.25) / 6.5 * 300), 60), 0xffffffu);
}
