// The display panels and the focus dialogs as widgets, offscreen: a drag in the Zoom Box
// and the view the network window shows after it, the overview's marks, a protocol
// dropped from the tree into the Focus Editor, OK and Cancel of both dialogs, the
// Controls' steps, the chart's bars and the Statistics refresh.
#include <QApplication>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QPushButton>
#include <QTest>

#include <cmath>

#include "display/cfocus.h"
#include "display/map_fixture.h"
#include "display/palette.h"
#include "display/qt/controls_panel.h"
#include "display/qt/focus_builder.h"
#include "display/qt/load_panel.h"
#include "display/qt/netwindow.h"
#include "display/qt/palette_editor.h"
#include "display/qt/protocol_key.h"
#include "display/qt/statistics_panel.h"
#include "display/qt/zoom_box.h"
#include "display/statistics.h"
#include "display/zoom_overview.h"
#include "protocol/symbol.h"
#include "shell/settings.h"

namespace {

int g_argc = 1;
char g_name[] = "panels_widget_tests";
char* g_argv[] = {g_name, nullptr};

class PanelWidgetTest : public MapTest {
protected:
    static void SetUpTestSuite() {
        if (!qApp) new QApplication(g_argc, g_argv);
    }
    void SetUp() override {
        MapTest::SetUp();
        statistics_reset();
        map_settings().dynamic = 0;
    }
};

QImage grab(QWidget& w) { return w.grab().toImage().convertToFormat(QImage::Format_RGB32); }

// The window pixel where world point (x, y) shows in a view of `v` on a w x h window.
QPoint world_pixel(const ViewRect& v, double x, double y, int w, int h) {
    return QPoint(int((x - v.left) / (v.right - v.left) * w), int((v.top - y) / (v.top - v.bottom) * h));
}

}  // namespace

TEST_F(PanelWidgetTest, DragInTheZoomBoxShowsThatPartOfTheMap) {
    for (int i = 0; i < 8; ++i) add_host("00:00:00:00:00:0" + std::to_string(i), 51200);
    NetWindow map(nullptr, QSize(800, 800));
    ZoomBox box(&map, nullptr);
    box.resize(145, 145);
    box.show();
    map.resize(400, 400);
    map.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&map));
    ZoomView* view = box.view();
    ASSERT_EQ(view->control().aspect(), 100) << "the map's aspect reached the Zoom Box";

    // Drag from the top-left corner to the middle: the upper-left part of the map.
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(2, 2));
    QTest::mouseMove(view, QPoint(view->width() / 2, view->height() / 2));
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(view->width() / 2, view->height() / 2));
    ASSERT_TRUE(view->control().shown());
    ZoomPercent sent;
    ASSERT_TRUE(view->control().to_percent(view->control().rect(), &sent));
    const PixelRect& r = view->control().rect();
    EXPECT_EQ(r.x1 - r.x0, r.y1 - r.y0) << "square, as the map is";
    QCoreApplication::processEvents();  // the zoom message reaches the network window
    ASSERT_TRUE(map.view().zoom_pending());
    display_draw(net);
    map.repaint();  // applies the zoom: it shows from the next frame on
    display_draw(net);
    QImage shown = grab(map);
    ViewRect v;
    ASSERT_TRUE(zoom_view(ZoomRect{sent.x0, sent.y0, sent.x1, sent.y1}, &v));
    const double d = 0.8 * std::sqrt(0.5);  // host 3 of 8 sits at (-d, d)
    const QPoint p = world_pixel(v, -d, d, 400, 400);
    EXPECT_TRUE(colour_near(shown, p.x(), p.y(), 0xffffffu, 3)) << p.x() << "," << p.y();
    EXPECT_EQ(lit(shown, 380, 380, 399, 399), 0) << "the lower right is out of view";

    // A click goes back to the whole map.
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_FALSE(view->control().shown());
    QCoreApplication::processEvents();
    map.repaint();
    display_draw(net);
    shown = grab(map);
    const QPoint whole = world_pixel(ViewRect{-1.3, 1.3, -1.3, 1.3}, -d, d, 400, 400);
    EXPECT_TRUE(colour_near(shown, whole.x(), whole.y(), 0xffffffu, 3));
    EXPECT_TRUE(colour_near(shown, int(2.1 / 2.6 * 400), 200, 0xffffffu, 3)) << "host 0 at (0.8, 0) in view again";
}

TEST_F(PanelWidgetTest, OverviewShowsTheNodesOfTheLastFrame) {
    add_host("00:00:00:00:00:01", 51200 * 4);
    NetWindow map(nullptr, QSize(300, 300));
    ZoomBox box(&map, nullptr);
    box.resize(145, 145);
    box.show();
    map.resize(300, 300);
    map.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&map));
    const unsigned long before = zoom_overview_marks();
    display_draw(net);
    EXPECT_EQ(zoom_overview_marks(), before + 1);
    map.repaint();  // the map's paint asks the overview to refresh
    box.view()->repaint();
    const QImage overview = box.view()->display_image();
    const PixelRect b = zoom_mark_box(0.8, 0, 0.2 * 51200 * 4 * 0.01 / 1024, overview.width(), overview.height());
    EXPECT_EQ(rgb_at(overview, (b.x0 + b.x1) / 2, (b.y0 + b.y1) / 2), 0xffffffu);
    EXPECT_EQ(rgb_at(overview, 2, 2), 0u);
    // A paint without a new frame keeps what it shows.
    box.view()->refresh();
    box.view()->repaint();
    EXPECT_EQ(rgb_at(box.view()->display_image(), (b.x0 + b.x1) / 2, (b.y0 + b.y1) / 2), 0u)
        << "no node was drawn since: the overview was cleared";
}

class FocusDialogTest : public PanelWidgetTest {
protected:
    void SetUp() override {
        PanelWidgetTest::SetUp();
        ASSERT_NE(engine_load_protocols((std::string(HOPSCOPE_TEST_DIR) + "/display/data/focus_tree.pdl").c_str(), true),
                  nullptr);
        Focus f;
        std::snprintf(f.name, sizeof f.name, "Web");
        f.entries.push_back(FocusItem{symbol_lookup("TCP")->node, "TCP", 2});
        focus_dictionary() = {f};
        cfocus_set_current(&focus_dictionary()[0]);
        build_logical_palette();
    }
    void TearDown() override {
        focus_dictionary().clear();
        cfocus_set_current(nullptr);
        palette_reset();
        free_logical_palette();
        PanelWidgetTest::TearDown();
    }
    static QTreeWidgetItem* item_labelled(QTreeWidget* tree, const QString& label) {
        const auto found = tree->findItems(label, Qt::MatchExactly | Qt::MatchRecursive);
        return found.isEmpty() ? nullptr : found.first();
    }
    // A drag that carries the tree's own data, entering and dropped on the editor.
    static bool drop(FocusBuilder& b, QTreeWidgetItem* item) {
        std::unique_ptr<QMimeData> data(b.tree()->mimeData({item}));
        QWidget* target = b.editor()->viewport();
        const QPointF at(10, 10);
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, data.get(), Qt::LeftButton, {});
        QCoreApplication::sendEvent(target, &enter);
        if (!enter.isAccepted()) return false;
        QDropEvent dropped(at, Qt::CopyAction, data.get(), Qt::LeftButton, {});
        QCoreApplication::sendEvent(target, &dropped);
        return dropped.isAccepted();
    }
};

TEST_F(FocusDialogTest, DraggingAProtocolIntoTheEditorAddsAnEntry) {
    FocusBuilder b;
    ASSERT_EQ(b.tree()->topLevelItemCount(), 1);
    QTreeWidgetItem* arp = item_labelled(b.tree(), "ARP");
    ASSERT_NE(arp, nullptr);
    EXPECT_EQ(ProtocolTreeView::node_of(arp), symbol_lookup("ARP")->node);
    ASSERT_EQ(b.editor()->count(), 1);
    EXPECT_TRUE(drop(b, arp));
    ASSERT_EQ(b.editor()->count(), 2);
    EXPECT_EQ(b.editor()->item(1)->text(), "ARP");
    ASSERT_EQ(b.model().current_focus()->entries.size(), 2u);
    EXPECT_EQ(b.model().current_focus()->entries[1].colour, 0);
    EXPECT_EQ(focus_dictionary()[0].entries.size(), 1u) << "only the copy changed";

    // Without a current focus the editor takes nothing.
    b.delete_focus();
    EXPECT_EQ(b.editor()->count(), 0);
    EXPECT_FALSE(drop(b, item_labelled(b.tree(), "IPv4")));
    // Data that names no protocol is refused.
    b.new_focus();
    b.dictionary_list()->setCurrentRow(0);
    QMimeData junk;
    junk.setData(kProtocolMimeType, "NO_SUCH");
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &junk, Qt::LeftButton, {});
    QCoreApplication::sendEvent(b.editor()->viewport(), &enter);
    EXPECT_FALSE(enter.isAccepted());
}

TEST_F(FocusDialogTest, OkMakesTheCopyCurrentAndCancelThrowsItAway) {
    KeyView key(nullptr);
    EXPECT_EQ(key.contents().title, "Web");
    {
        FocusBuilder b;
        b.new_focus();
        drop(b, item_labelled(b.tree(), "ARP"));
        b.button("Cancel")->click();
    }
    ASSERT_EQ(focus_dictionary().size(), 1u);
    EXPECT_EQ(focus_dictionary()[0].entries.size(), 1u);
    {
        FocusBuilder b;
        b.new_focus();
        b.dictionary_list()->setCurrentRow(1);
        drop(b, item_labelled(b.tree(), "UDP"));
        b.model().set_colour(0, 5);
        b.button("OK")->click();
    }
    ASSERT_EQ(focus_dictionary().size(), 2u);
    EXPECT_STREQ(cfocus_current()->name, "New Focus");
    EXPECT_STREQ(settings().focus, "New Focus");
    EXPECT_EQ(key.contents().title, "New Focus") << "the key shows the new focus";
    EXPECT_EQ(key.contents().rows[0].text, "UDP");
    EXPECT_EQ(key.contents().rows[0].colour, 5);
    EXPECT_EQ(key.contents().rows[1].text, "Other");
}

TEST_F(FocusDialogTest, PaletteEditsTakeEffectAtOnceAndStayAfterCancel) {
    int mapped_entry = -1, mapped_red = -1;
    static int* entry_out;
    static int* red_out;
    entry_out = &mapped_entry;
    red_out = &mapped_red;
    palette_set_colour_map([](int entry, int r, int, int) {
        *entry_out = entry;
        *red_out = r;
    });
    const PaletteColour before = palette().colours[5];
    {
        PaletteEditor e;
        e.select(5);
        EXPECT_EQ(e.slider(kRed)->value(), 255 - before.red);
        e.slider(kRed)->setValue(100);  // as a release at 100 would leave it
        e.slider(kRed)->triggerAction(QAbstractSlider::SliderPageStepSub);
        EXPECT_EQ(e.slider(kRed)->value(), 84);
        EXPECT_EQ(palette().colours[5].red, 255 - 84);
        e.button("Cancel")->click();
    }
    palette_set_colour_map(nullptr);
    EXPECT_EQ(palette().colours[5].red, 171) << "kept after Cancel";
    EXPECT_EQ(palette().colours[5].green, before.green);
    EXPECT_EQ(mapped_entry, 13) << "colour-map entry 5 + 8";
    EXPECT_EQ(mapped_red, 171);
    EXPECT_EQ(logical_palette()->entries[5] >> 16, 171u);
    EXPECT_EQ(KeyView::row_colour(5).red(), 171);
}

TEST_F(PanelWidgetTest, ControlsStepAndTellTheMapOfANewFontScale) {
    NetWindow map(nullptr, QSize(200, 200));
    map_settings().node_scale = 0.9;
    ControlsPanel c(&map, nullptr);
    c.resize(145, 260);
    c.show();
    EXPECT_EQ(c.slider(kRowNodeScale)->value(), 90);
    c.slider(kRowNodeScale)->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(c.slider(kRowNodeScale)->value(), 100);
    EXPECT_DOUBLE_EQ(map_settings().node_scale.load(), 1.0);
    c.slider(kRowLinkTimeout)->setSliderPosition(5);
    c.slider(kRowNodeTimeout)->setSliderPosition(10);
    c.slider(kRowLinkTimeout)->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(model_settings().link_timeout.load(), 30);
    EXPECT_EQ(model_settings().node_timeout.load(), 30);
    EXPECT_FALSE(map.view().font_change_pending());
    c.slider(kRowFontScale)->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_DOUBLE_EQ(model_settings().font_scale.load(), 0.49);
    QCoreApplication::processEvents();
    EXPECT_TRUE(map.view().font_change_pending());
    const ControlRect s = controls_slider_rect(2, c.label(0)->fontMetrics().height(), 145);
    EXPECT_EQ(c.slider(2)->geometry(), QRect(s.x, s.y, s.width, s.height));
}

TEST_F(PanelWidgetTest, ChartBarsLabelAndTimeMark) {
    LoadPanel panel(nullptr);
    panel.resize(300, 120);
    panel.show();
    QCoreApplication::processEvents();  // the sample taken right after creation
    StripChart* chart = panel.chart();
    ASSERT_EQ(chart->samples_since_mark(), 1);
    std::atomic<int> load{0};
    WindowMessageEvent watch(kMsgLoadWatch, &load);
    QCoreApplication::sendEvent(&panel, &watch);
    const int c = chart->chart_height();
    const int x = chart->width() - 1;
    auto black_rows = [&](int column) {
        int n = 0;
        for (int y = 0; y < c; ++y) n += rgb_at(chart->image(), column, y) == 0;
        return n;
    };
    for (int v : {0, 1, 40, 80}) {
        load = v;
        chart->sample();
        EXPECT_EQ(black_rows(x), std::max(chart_bar(c, v) - 1, 0)) << v << "%";
        EXPECT_EQ(load.load(), 0) << "zeroed after the sample by default";
    }
    EXPECT_EQ(black_rows(x - 1), c - 1) << "the 40 % bar scrolled one pixel left";
    WindowMessageEvent keep(kMsgLoadZeroAfter, nullptr, 0);
    QCoreApplication::sendEvent(&panel, &keep);
    load = 80;
    chart->sample();
    EXPECT_EQ(load.load(), 80);
    // The label: black text ANDed in; white leaves the chart as it is.
    const QImage shown = chart->composed();
    int dark = 0;
    for (int y = 0; y < 20; ++y)
        for (int u = 5; u < 60; ++u) dark += qGray(shown.pixel(u, y)) < 100;
    EXPECT_GT(dark, 10);
    const int grid = chart_grid_rows(c).row[0];
    EXPECT_EQ(rgb_at(shown, 84, grid), 0x3232ffu) << "the grid shows through the label's white";
    // Time marks: none within 30 samples of the last, then one at 15 s past the minute.
    chart->time_mark(10, 20, 15);
    EXPECT_EQ(chart->samples_since_mark(), 6);
    for (int i = 0; i < 30; ++i) chart->sample();
    chart->time_mark(10, 20, 15);
    EXPECT_EQ(chart->samples_since_mark(), 0);
    EXPECT_EQ(rgb_at(chart->image(), x - 15, c + 2), 0u) << "the tick under the mark";
}

TEST_F(PanelWidgetTest, StatisticsRefreshShowsThePublishedFigures) {
    StatisticsPanel panel(nullptr);
    panel.resize(155, 100);
    net->load = 12;
    net->dropped = 3;
    ASSERT_TRUE(statistics_pass(net));
    QCoreApplication::postEvent(&panel, new WindowMessageEvent(kMsgStatisticsRefresh, net));
    QCoreApplication::processEvents();
    EXPECT_EQ(panel.refreshes(), 1u);
    EXPECT_EQ(panel.view()->rows()[2].value, "12.00%    ");
    EXPECT_EQ(panel.view()->rows()[5].value, "3    ");
    EXPECT_TRUE(statistics_pass(net)) << "the refresh was taken: the next pass asks again";
}
