// The drawing lock: one thread renders while another resizes, zooms and copies the
// image, and a third measures labels without the lock. Under ThreadSanitizer
// (HOPSCOPE_TSAN) this shows that the library's state and the image are never touched
// by two threads at once.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "graphics/canvas.h"
#include "graphics/hershey.h"

using testsupport::Canvas;

TEST(Lock, RenderResizeAndMeasureOnSeparateThreads) {
    hfontdir(HOPSCOPE_DATA_DIR);
    hloadfont("font.bin");
    Canvas canvas(400, 300, 200, 150);
    htextsize(0.03f, 0.03f);
    constexpr int kPasses = 200;

    std::thread render([] {
        for (int pass = 0; pass < kPasses; ++pass) {
            GraphicsLock lock;
            color(0);
            clear();
            htextsize(0.03f, 0.03f);
            for (int i = 0; i < 20; ++i) {
                const float a = float(i) / 20 * 6.2831853f;
                color(7);
                circf(0.8f * std::cos(a), 0.8f * std::sin(a), 0.05f);
                dupmatrix();
                rot(a * 57.29578f, 'z');
                translate(0.9, -0.015, 0);
                move(0, 0, 0);
                hcharstr("00:1B:21:3A:4F:5C");
                popmatrix();
                color(9 + i % 3);
                linewidth(i % 5);
                move2(0.8f, 0);
                draw2(0.8f * std::cos(a), 0.8f * std::sin(a));
            }
            linewidth(1);
        }
    });
    std::thread window([&canvas] {
        for (int pass = 0; pass < kPasses; ++pass) {
            GraphicsLock lock;
            const int w = 150 + pass % 50, h = 100 + pass % 30;
            resizedevice(w, h);
            ortho2(-1.3 * w / h, 1.3 * w / h, -1.3, 1.3);
            htextsize(0.03f, 0.03f);  // the label-size pass of a font change
            const QImage shown = canvas.image().copy(0, 0, w, h);
            EXPECT_EQ(shown.width(), w);
        }
    });
    std::atomic<bool> stop{false};
    float width = 0;
    std::thread measure([&] {
        while (!stop.load()) width = htextwidth("00:1B:21:3A:4F:5C");
    });
    render.join();
    window.join();
    stop.store(true);
    measure.join();

    EXPECT_GT(width, 0);
    EXPECT_GT(canvas.lit(), 0);
}
