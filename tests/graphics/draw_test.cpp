// The drawing library's arithmetic and its raster results on the mswin device.
#include <gtest/gtest.h>

#include <cmath>

#include "graphics/canvas.h"

using testsupport::Canvas;

namespace {

constexpr uint32_t kWhite = 0xffffff;

void expect_matrix(const float expected[4][4]) {
    float m[4][4];
    getmatrix(m);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_NEAR(m[i][j], expected[i][j], 1e-6) << "row " << i << " column " << j;
}

// Device pixel (y upward) of a world point under the current matrix.
std::pair<int, int> pixel_of(float x, float y, float z = 0) {
    move(x, y, z);
    const GraphicsState s = graphics_state();
    return {s.device_x, s.device_y};
}

}  // namespace

TEST(Projection, OpenDeviceStartsWithWholeDevice) {
    Canvas canvas;
    setdevice("mswin-with-suffix");  // only the first five characters count
    opendevice();
    const GraphicsState s = graphics_state();
    EXPECT_TRUE(s.initialised);
    EXPECT_EQ(s.width, 500);
    EXPECT_EQ(s.height, 500);
    EXPECT_EQ(s.line_width, 1);
    EXPECT_EQ(s.viewport_right, 499);
    EXPECT_EQ(s.viewport_top, 499);
    // ortho2(0, 499, 0, 499): world coordinates are device pixels.
    EXPECT_EQ(pixel_of(0, 0), std::make_pair(0, 0));
    EXPECT_EQ(pixel_of(123, 456), std::make_pair(123, 456));
    EXPECT_EQ(pixel_of(499, 499), std::make_pair(499, 499));
    // The first eight colours.
    const uint32_t expected[8] = {0x000000, 0xff0000, 0x00ff00, 0xffff00, 0x0000ff, 0xff00ff, 0x00ffff, 0xffffff};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(mswin_colour(i), expected[i]) << i;
}

TEST(Projection, Ortho2MatrixAndPixelMapping) {
    Canvas canvas;
    ortho2(0, 10, -5, 15);
    const float expected[4][4] = {{0.2f, 0, 0, 0}, {0, 0.1f, 0, 0}, {0, 0, -1, 0}, {-1, -0.5f, 0, 1}};
    expect_matrix(expected);

    // 100 x 100 device: viewport 0..99; px = x * 49.5 + 49.5 + 0.5, truncated.
    ortho2(-1, 1, -1, 1);
    EXPECT_EQ(pixel_of(-1, -1), std::make_pair(0, 0));
    EXPECT_EQ(pixel_of(0, 0), std::make_pair(50, 50));
    EXPECT_EQ(pixel_of(1, 1), std::make_pair(99, 99));
    EXPECT_EQ(pixel_of(0.5f, -0.5f), std::make_pair(74, 25));

    // A different aspect stretches each axis on its own.
    resizedevice(200, 50);
    EXPECT_EQ(pixel_of(1, 1), std::make_pair(199, 49));
    EXPECT_EQ(pixel_of(0, 0), std::make_pair(100, 25));
}

TEST(Transforms, TranslateAndRotateActInTheObjectFrame) {
    Canvas canvas;
    const float identity_ortho[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, -1, 0}, {0, 0, 0, 1}};
    expect_matrix(identity_ortho);

    dupmatrix();
    translate(0.5, 0, 0);
    EXPECT_EQ(pixel_of(0, 0), std::make_pair(74, 50));
    popmatrix();

    // A quarter turn about z takes +x to +y (counter-clockwise).
    dupmatrix();
    rot(90, 'z');
    EXPECT_EQ(pixel_of(0.5f, 0), std::make_pair(50, 74));
    // The map's label pattern: rotate, then translate along the rotated x axis.
    translate(0.5, 0, 0);
    EXPECT_EQ(pixel_of(0, 0), std::make_pair(50, 74));
    EXPECT_EQ(pixel_of(0.5f, 0), std::make_pair(50, 99));
    popmatrix();
    expect_matrix(identity_ortho);

    // Rotation composes: 30 + 60 degrees is a quarter turn.
    dupmatrix();
    rot(30, 'z');
    rot(60, 'z');
    EXPECT_EQ(pixel_of(0.5f, 0.2f), std::make_pair(40, 74));
    popmatrix();
}

TEST(Transforms, RotationAxesAndUpperCaseNames) {
    Canvas canvas;
    for (char axis : {'x', 'y', 'z'}) {
        dupmatrix();
        rot(37, axis);
        float lower[4][4];
        getmatrix(lower);
        popmatrix();
        dupmatrix();
        rot(37, char(std::toupper(axis)));
        expect_matrix(lower);
        popmatrix();
    }
    // About x, +y turns to +z; about y, +z turns to +x.
    dupmatrix();
    rot(90, 'x');
    float m[4][4];
    getmatrix(m);
    // z scale of the projection is -1: a point (0, 1, 0) ends at clip z = -1.
    EXPECT_NEAR(m[1][2], -1, 1e-6);
    EXPECT_NEAR(m[1][1], 0, 1e-6);
    popmatrix();
    dupmatrix();
    rot(90, 'Y');
    EXPECT_EQ(pixel_of(0, 0, 0.5f), std::make_pair(74, 50));
    popmatrix();
}

TEST(Transforms, PoppedMatricesAreReused) {
    Canvas canvas;
    const int depth = graphics_state().matrix_depth;
    const int free_before = graphics_state().free_matrices;
    dupmatrix();
    dupmatrix();
    EXPECT_EQ(graphics_state().matrix_depth, depth + 2);
    popmatrix();
    popmatrix();
    EXPECT_EQ(graphics_state().matrix_depth, depth);
    const int free_after = graphics_state().free_matrices;
    EXPECT_GE(free_after, 2);
    EXPECT_GE(free_after, free_before);
    dupmatrix();
    EXPECT_EQ(graphics_state().free_matrices, free_after - 1);
    popmatrix();
    EXPECT_EQ(graphics_state().free_matrices, free_after);
}

TEST(Lines, TopAndBottomEdgesLandOnTheFirstAndLastRows) {
    Canvas canvas;
    color(7);
    linewidth(0);
    move2(-1, 1);
    draw2(1, 1);
    move2(-1, -1);
    draw2(1, -1);
    EXPECT_EQ(canvas.at(0, 0), kWhite);
    EXPECT_EQ(canvas.at(99, 0), kWhite);
    EXPECT_EQ(canvas.at(50, 99), kWhite);
    EXPECT_EQ(canvas.lit(), 200);
}

TEST(Lines, WidthZeroAndOneDrawOnePixelWideWiderIsWider) {
    Canvas canvas;
    color(7);
    for (int width : {0, 1}) {
        canvas.image().fill(0);
        linewidth(width);
        move2(-0.5f, 0);
        draw2(0.5f, 0);
        EXPECT_EQ(canvas.lit(QRect(50, 0, 1, 100)), 1) << "width " << width;
        EXPECT_EQ(canvas.at(50, 49), kWhite);
    }
    canvas.image().fill(0);
    linewidth(7);
    EXPECT_EQ(graphics_state().line_width, 7);
    move2(-0.5f, 0);
    draw2(0.5f, 0);
    EXPECT_EQ(canvas.lit(QRect(50, 0, 1, 100)), 7);
    linewidth(-3);
    EXPECT_EQ(graphics_state().line_width, 0);
    linewidth(100000);
    EXPECT_EQ(graphics_state().line_width, 32767);
}

TEST(Clipping, LinesOutsideDrawNothing) {
    Canvas canvas(120, 120, 100, 100);
    color(7);
    linewidth(0);
    move2(1.5f, -0.5f);  // both ends to the right
    draw2(2, 0.5f);
    move2(-0.5f, 1.2f);  // both ends above
    draw2(0.5f, 3);
    move2(-3, 2);  // both ends outside on different sides, missing the window corner
    draw2(2, 3);
    EXPECT_EQ(canvas.lit(), 0);
    // The position still follows the unclipped ends.
    EXPECT_FLOAT_EQ(graphics_state().x, 2);
    EXPECT_FLOAT_EQ(graphics_state().y, 3);
}

TEST(Clipping, CrossingLinesAreCutAtTheEdges) {
    // The image is larger than the device, as the program's full-screen image is: the
    // cut happens at the device's edge, not the image's.
    Canvas canvas(120, 120, 100, 100);
    color(7);
    linewidth(0);
    move2(-3, 0);
    draw2(3, 0);
    EXPECT_EQ(canvas.lit(QRect(0, 49, 100, 1)), 100);
    EXPECT_EQ(canvas.lit(), 100);

    // A diagonal entering at the left edge, half-way up: cut at (-1, 0).
    canvas.image().fill(0);
    move2(-3, -1);
    draw2(1, 1);
    EXPECT_EQ(canvas.at(0, 49), kWhite);
    EXPECT_EQ(canvas.at(99, 0), kWhite);
    EXPECT_EQ(canvas.lit(QRect(100, 0, 20, 120)), 0);
    EXPECT_EQ(canvas.lit(QRect(0, 100, 120, 20)), 0);

    // A draw continues from the unclipped end of the previous one.
    canvas.image().fill(0);
    move2(-3, 0.5f);
    draw2(-2, 0.5f);
    draw2(0, 0.5f);
    EXPECT_EQ(canvas.lit(QRect(0, 25, 100, 1)), 51);
    EXPECT_EQ(canvas.at(0, 25), kWhite);
    EXPECT_EQ(canvas.at(50, 25), kWhite);
    EXPECT_EQ(canvas.at(51, 25), 0u);
}

TEST(Clipping, ClippingFollowsTheZoomedView) {
    // The zoom of the map is an ortho2 onto part of the world: what falls outside it is
    // cut even though it is inside the device.
    Canvas canvas;
    color(7);
    linewidth(0);
    ortho2(-1.3, 0, 0, 1.3);  // upper-left quarter of the map's world square
    move2(-1.3f, 0.65f);
    draw2(1.3f, 0.65f);
    EXPECT_EQ(canvas.lit(QRect(0, 49, 100, 2)), 100);
    move2(0.5f, -1);
    draw2(0.5f, -0.5f);
    EXPECT_EQ(canvas.lit(), 100);
}

TEST(Polygons, FilledCircleHasTheRightSizeAndABlackOutline) {
    Canvas canvas;
    color(7);
    circf(0, 0, 0.8f);  // radius 39.6 pixels
    EXPECT_EQ(canvas.at(50, 49), kWhite);
    EXPECT_EQ(canvas.at(5, 49), 0u);
    const double area = M_PI * 39.6 * 39.6;
    EXPECT_GT(canvas.lit(), int(0.9 * area));
    EXPECT_LT(canvas.lit(), int(1.02 * area));
    // x = -0.8 and 0.8 are pixels 10.4 and 89.6, truncated to 10 and 89.
    EXPECT_EQ(canvas.lit(QRect(0, 0, 10, 100)), 0);
    EXPECT_EQ(canvas.lit(QRect(90, 0, 10, 100)), 0);
    EXPECT_GT(canvas.lit(QRect(11, 0, 1, 100)), 0);
    EXPECT_GT(canvas.lit(QRect(88, 0, 1, 100)), 0);
}

TEST(Polygons, CirclesAreClippedToTheDevice) {
    Canvas canvas(120, 120, 100, 100);
    mapcolor(9, 0, 128, 255);
    color(9);
    circf(1, 0, 0.5f);  // half inside, across the right edge
    EXPECT_EQ(canvas.at(95, 49), 0x0080ffu);
    EXPECT_EQ(canvas.lit(QRect(100, 0, 20, 120)), 0);
    EXPECT_GT(canvas.lit(), 400);
    canvas.image().fill(0);
    circf(3, 3, 0.5f);  // wholly outside
    EXPECT_EQ(canvas.lit(), 0);
}

TEST(Polygons, OneHundredTwentyEightVerticesFill) {
    Canvas canvas;
    color(2);
    pmv(-0.5f, -0.5f, 0);
    for (int i = 1; i < 127; ++i) pdr(-0.5f + i / 126.0f, -0.5f, 0);
    pdr(0, 0.5f, 0);
    pclos();
    EXPECT_EQ(canvas.at(50, 60), 0x00ff00u);
}

TEST(Colours, MapColorSetsEntriesAndRefusesIndicesOutsideTheMap) {
    Canvas canvas;
    mapcolor(40, 10, 20, 30);
    EXPECT_EQ(mswin_colour(40), 0x0a141eu);
    mapcolor(41, 300, -5, 255);  // components cut to 0..255
    EXPECT_EQ(mswin_colour(41), 0xff00ffu);

    uint32_t before[256];
    for (int i = 0; i < 256; ++i) before[i] = mswin_colour(i);
    mapcolor(256, 1, 2, 3);
    mapcolor(1000, 1, 2, 3);
    mapcolor(-1, 1, 2, 3);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(mswin_colour(i), before[i]) << i;

    // Lines take the entry of the current index.
    color(40);
    EXPECT_EQ(graphics_state().colour, 40);
    linewidth(0);
    move2(-1, 0);
    draw2(1, 0);
    EXPECT_EQ(canvas.at(10, 49), 0x0a141eu);
}

TEST(Colours, ClearFillsTheDeviceAreaOnly) {
    Canvas canvas(120, 110, 100, 80);
    color(4);
    clear();
    EXPECT_EQ(canvas.at(0, 0), 0x0000ffu);
    EXPECT_EQ(canvas.at(99, 79), 0x0000ffu);
    EXPECT_EQ(canvas.lit(), 100 * 80);
    // An index outside the map draws black rather than reading past it.
    color(300);
    clear();
    EXPECT_EQ(canvas.lit(), 0);
}

TEST(Device, ResizeResetsTheViewportAndRowsFollowTheNewHeight) {
    Canvas canvas(200, 200, 100, 100);
    viewport(10, 50, 20, 60);
    EXPECT_EQ(graphics_state().viewport_left, 10);
    resizedevice(150, 120);
    GraphicsState s = graphics_state();
    EXPECT_EQ(s.width, 150);
    EXPECT_EQ(s.height, 120);
    EXPECT_EQ(s.viewport_left, 0);
    EXPECT_EQ(s.viewport_right, 149);
    EXPECT_EQ(s.viewport_bottom, 0);
    EXPECT_EQ(s.viewport_top, 119);
    resizedevice(0, 50);  // a minimised window: ignored
    EXPECT_EQ(graphics_state().width, 150);

    color(7);
    linewidth(0);
    move2(-1, 1);
    draw2(1, 1);
    EXPECT_EQ(canvas.lit(QRect(0, 0, 150, 1)), 150);
    move2(-1, -1);
    draw2(1, -1);
    EXPECT_EQ(canvas.lit(QRect(0, 119, 150, 1)), 150);
}

TEST(Device, ViewportMapsOntoPartOfTheDeviceAndIsCutToIt) {
    Canvas canvas;
    viewport(0, 49, 50, 500);  // top beyond the device: cut to 99
    GraphicsState s = graphics_state();
    EXPECT_EQ(s.viewport_top, 99);
    EXPECT_EQ(pixel_of(-1, -1), std::make_pair(0, 50));
    EXPECT_EQ(pixel_of(1, 1), std::make_pair(49, 99));
}

TEST(Device, DrawingWithoutAnImageOnlyMovesThePosition) {
    Canvas canvas;
    mswin_set_image(nullptr);
    color(7);
    move2(0, 0);
    draw2(0.5f, 0.5f);
    circf(0, 0, 0.5f);
    clear();
    EXPECT_EQ(pixel_of(0.5f, 0.5f), std::make_pair(74, 74));
    EXPECT_EQ(canvas.lit(), 0);
}

TEST(Device, NonFiniteCoordinatesDrawNothing) {
    Canvas canvas;
    color(7);
    move2(0, 0);
    draw2(NAN, 0.5f);
    draw2(INFINITY, 0);
    circf(0, 0, NAN);
    move2(0, 0);
    draw2(0.5f, -INFINITY);
    EXPECT_EQ(canvas.lit(), 0);
}

TEST(Device, VdeviceNamesTheDeviceWhenNoneWasSet) {
    Canvas canvas;
    setdevice(nullptr);
    setenv("VDEVICE", "mswin", 1);
    gexit();
    EXPECT_FALSE(graphics_state().initialised);
    opendevice();
    EXPECT_TRUE(graphics_state().initialised);
    unsetenv("VDEVICE");
    setdevice("mswin");
}

TEST(Lock, ReleasingTheLockFinishesTheImage) {
    Canvas canvas;
    {
        GraphicsLock lock;
        color(7);
        linewidth(0);
        move2(-1, 0);
        draw2(1, 0);
    }
    // The painter is closed: the image can be copied and read directly.
    const QImage copy = canvas.image().copy();
    EXPECT_EQ(copy.pixel(10, 49) & 0xffffffu, kWhite);
}
