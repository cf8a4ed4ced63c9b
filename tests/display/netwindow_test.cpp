// The network window widget under the offscreen platform: the aspect it reports on
// resize, its messages applied at the next paint, repaints asked for by the draw hook,
// suspension while hidden.
#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <thread>

#include "display/map_fixture.h"
#include "display/qt/netwindow.h"

namespace {

int g_argc = 1;
char g_name[] = "netwindow_tests";
char* g_argv[] = {g_name, nullptr};

class NetWindowTest : public MapTest {
protected:
    static void SetUpTestSuite() {
        if (!qApp) new QApplication(g_argc, g_argv);
    }
};

QImage grab_window(NetWindow& w) { return w.grab().toImage().convertToFormat(QImage::Format_RGB32); }

}  // namespace

TEST_F(NetWindowTest, ResizeReportsTheAspectAndSetsTheView) {
    NetWindow window(nullptr, QSize(1000, 800));
    QSignalSpy aspect(&window, &NetWindow::aspectChanged);
    window.resize(400, 200);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_GE(aspect.count(), 1);
    EXPECT_EQ(aspect.last().at(0).toInt(), 200);
    EXPECT_FLOAT_EQ(window.view().half_width(), 2.6f);
    EXPECT_EQ(graphics_state().width, 400);

    window.resize(300, 600);
    QCoreApplication::processEvents();
    EXPECT_EQ(aspect.last().at(0).toInt(), 50);
    EXPECT_FLOAT_EQ(window.view().half_height(), 2.6f);
    EXPECT_EQ(window.view().image().width(), 1000) << "the image keeps its full-screen size";
    EXPECT_EQ(kMsgMapAspect, 1025);
    EXPECT_EQ(kMsgZoomRect, 1026);
    EXPECT_EQ(kMsgFontChange, 1027);
}

TEST_F(NetWindowTest, ZoomMessageIsAppliedAtTheNextPaint) {
    for (int i = 0; i < 8; ++i) add_host("00:00:00:00:00:0" + std::to_string(i), 51200);
    map_settings().dynamic = 0;
    NetWindow window(nullptr, QSize(800, 800));
    window.resize(400, 400);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QSignalSpy painted(&window, &NetWindow::painted);

    NetWindow::post_zoom(&window, 0, 0, 50, 50);
    EXPECT_FALSE(window.view().zoom_pending()) << "the message is an event, handled by the loop";
    QCoreApplication::processEvents();
    EXPECT_TRUE(window.view().zoom_pending());

    display_draw(net);          // a frame of the whole map; asks for a repaint
    QImage shown = grab_window(window);
    EXPECT_FALSE(window.view().zoom_pending());
    EXPECT_GE(painted.count(), 1);
    const double d = 0.8 * std::sqrt(0.5);
    EXPECT_EQ(rgb_at(shown, int((-d + 1.3) / 2.6 * 400), int((1.3 - d) / 2.6 * 400)), 0xffffffu);

    display_draw(net);          // the next frame shows the upper-left quarter
    shown = grab_window(window);
    EXPECT_EQ(rgb_at(shown, int((-d + 1.3) / 1.3 * 400), int((1.3 - d) / 1.3 * 400)), 0xffffffu);
    EXPECT_EQ(rgb_at(shown, 399, 399), 0u);
}

TEST_F(NetWindowTest, DrawHookAsksTheWindowToRepaintAndStopsWithIt) {
    add_host("00:00:00:00:00:0a", 51200);
    const unsigned long before = display_draw_count();
    {
        NetWindow window(nullptr, QSize(300, 300));
        window.resize(260, 260);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QCoreApplication::processEvents();
        QSignalSpy painted(&window, &NetWindow::painted);
        std::thread capture([&] { display_draw(net); });
        capture.join();
        EXPECT_EQ(display_draw_count(), before + 1);
        EXPECT_TRUE(painted.wait(2000)) << "no repaint after the render pass";
        EXPECT_EQ(rgb_at(grab_window(window), int(2.1 / 2.6 * 260), 130), 0xffffffu);
    }
    display_draw(net);
    EXPECT_EQ(display_draw_count(), before + 1) << "rendered with no window";
}

TEST_F(NetWindowTest, FontChangeMessageMeasuresAtTheNextPaint) {
    Host* h = add_host("00:00:00:00:00:0a");
    const float before = h->address_width;
    NetWindow window(nullptr, QSize(300, 300));
    window.resize(200, 200);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    model_settings().font_scale.store(0.25f);
    NetWindow::post_font_changed(&window);
    QCoreApplication::processEvents();
    EXPECT_FLOAT_EQ(h->address_width, before);
    window.repaint();
    EXPECT_NEAR(h->address_width, before / 2, 1e-6);
}

TEST_F(NetWindowTest, HiddenWindowSuspendsDrawingAndShowingResetsTheView) {
    NetWindow window(nullptr, QSize(400, 400));
    window.resize(300, 300);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.view().post_zoom({0, 0, 50, 50});
    window.repaint();
    window.hide();
    EXPECT_TRUE(drawing_suspended());
    window.show();
    QCoreApplication::processEvents();
    EXPECT_FALSE(drawing_suspended());
    float m[4][4];
    {
        GraphicsLock lock;
        getmatrix(m);
    }
    EXPECT_NEAR(m[0][0], 1 / 1.3, 1e-6) << "the view is the whole map again";
}
