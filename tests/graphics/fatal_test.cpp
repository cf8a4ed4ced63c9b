// Every error of the drawing library ends the process with status 1 after its message.
#include <gtest/gtest.h>

#include "graphics/canvas.h"

using testsupport::Canvas;
using testing::ExitedWithCode;

namespace {

struct Uninitialised {
    const char* message;
    void (*call)();
};

const Uninitialised kUninitialised[] = {
    {"clear: graphics not initialised", [] { clear(); }},
    {"color: graphics not initialised", [] { color(1); }},
    {"mapcolor: graphics not initialised", [] { mapcolor(9, 1, 2, 3); }},
    {"ortho2: graphics not initialised", [] { ortho2(-1, 1, -1, 1); }},
    {"move: graphics not initialised", [] { move(0, 0, 0); }},
    {"move2: graphics not initialised", [] { move2(0, 0); }},
    {"translate: graphics not initialised", [] { translate(1, 0, 0); }},
    {"rot: graphics not initialised", [] { rot(10, 'z'); }},
    {"circf: graphics not initialised", [] { circf(0, 0, 1); }},
    {"linewidth: graphics not initialised", [] { linewidth(2); }},
    {"draw: graphics not initialised", [] { draw(0, 0, 0); }},
    {"draw2: graphics not initialised", [] { draw2(0, 0); }},
    {"viewport: graphics not initialised", [] { viewport(0, 10, 0, 10); }},
    {"gexit: graphics not initialised", [] { gexit(); }},
    {"pclos: graphics not initialised", [] { pmv(0, 0, 0); pdr(1, 0, 0); pdr(0, 1, 0); pclos(); }},
};

}  // namespace

TEST(FatalDeathTest, RoutinesRefuseToRunBeforeOpendevice) {
    Canvas canvas;
    gexit();
    for (const auto& c : kUninitialised) {
        EXPECT_EXIT(c.call(), ExitedWithCode(1), c.message) << c.message;
    }
    // The matrix stack needs no initialisation.
    dupmatrix();
    popmatrix();
}

TEST(FatalDeathTest, DeviceNames) {
    Canvas canvas;
    EXPECT_EXIT(
        {
            setdevice(nullptr);
            unsetenv("VDEVICE");
            opendevice();
        },
        ExitedWithCode(1),
        "^graphics: expected the enviroment variable VDEVICE to be set to the desired device\\.\n$");
    EXPECT_EXIT(
        {
            setdevice("tek");
            opendevice();
        },
        ExitedWithCode(1), "^graphics: tek is an invalid device type\n$");
    EXPECT_EXIT(
        {
            setdevice(nullptr);
            setenv("VDEVICE", "mswi", 1);
            opendevice();
        },
        ExitedWithCode(1), "^graphics: mswi is an invalid device type\n$");
}

TEST(FatalDeathTest, ProjectionAndMatrixErrors) {
    Canvas canvas;
    EXPECT_EXIT(ortho2(1, 1, -1, 1), ExitedWithCode(1), "ortho2: left clipping plane same as right one\\.");
    EXPECT_EXIT(ortho2(-1, 1, 2, 2), ExitedWithCode(1), "ortho2: bottom clipping plane same as top one\\.");
    EXPECT_EXIT(
        {
            while (graphics_state().matrix_depth > 1) popmatrix();
            popmatrix();
        },
        ExitedWithCode(1), "popmatrix: matrix stack empty");
    EXPECT_EXIT(rot(45, 'w'), ExitedWithCode(1), "rot: illegal axis of rotation");
    EXPECT_EXIT(rot(45, 'Q'), ExitedWithCode(1), "rot: illegal axis of rotation");
}

TEST(FatalDeathTest, ViewportErrors) {
    Canvas canvas;
    EXPECT_EXIT(viewport(-1, 10, 0, 10), ExitedWithCode(1), "viewport: x dimension value is invalid");
    EXPECT_EXIT(viewport(0, 10, 0, -4), ExitedWithCode(1), "viewport: y dimension value is invalid");
    EXPECT_EXIT(viewport(50, 40, 0, 10), ExitedWithCode(1), "viewport: xleft\\(50\\) >= xright\\(40\\)");
    EXPECT_EXIT(viewport(0, 10, 30, 30), ExitedWithCode(1), "viewport: ybottom\\(30\\) >= ytop\\(30\\)");
    // The right edge is cut to the device before the comparison.
    EXPECT_EXIT(viewport(120, 150, 0, 10), ExitedWithCode(1), "viewport: xleft\\(120\\) >= xright\\(99\\)");
}

TEST(FatalDeathTest, PolygonLimits) {
    Canvas canvas;
    EXPECT_EXIT(
        {
            pmv(0, 0, 0);
            for (int i = 0; i < 128; ++i) pdr(i / 200.0f, 0.5f, 0);
        },
        ExitedWithCode(1), "pdr: can't draw a polygon with more than 128 vertices");
    // 128 vertices that clipping turns into more: a comb whose teeth cross the right edge.
    EXPECT_EXIT(
        {
            pmv(-0.9f, -0.9f, 0);
            for (int i = 0; i < 126; ++i) pdr(i % 2 ? 0.5f : 1.5f, -0.9f + i * 0.014f, 0);
            pdr(-0.9f, 0.9f, 0);
            pclos();
        },
        ExitedWithCode(1), "dopoly: can't fill a polygon with more than 128 vertices");
}

TEST(FatalDeathTest, MessageShowsInABoxTitledError) {
    Canvas canvas;
    // The default message sink prints "title: text" on standard error.
    EXPECT_EXIT(mswin_verror("some trouble"), ExitedWithCode(1), "^Error: some trouble\n$");
}
