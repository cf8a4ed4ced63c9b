// The list windows as the user meets them (offscreen): titles second by second, one
// Host List however often it is opened, the adapter change, the stored sizes and column
// widths, Top Hosts growing, the context-menu commands, the copies, and the Host List
// of the demo capture against the replay tool's dump.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <cstdio>
#include <sstream>

#include "lists/qt/list_window.h"
#include "lists/qt/popup.h"
#include "lists/list_model.h"
#include "model/capture/capture.h"
#include "model/names/names.h"

using namespace list_tests;

namespace {

// The cells of a window's table as Qt shows them.
std::vector<QString> row(const ListWindow* w, int r) {
    std::vector<QString> cells;
    const QAbstractItemModel* m = w->view()->model();
    for (int c = 0; c < m->columnCount(); ++c) cells.push_back(m->data(m->index(r, c)).toString());
    return cells;
}
int rows(const ListWindow* w) { return w->view()->model()->rowCount(); }

void drop_closed_windows() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

class ListWindows : public ListModel {
protected:
    void SetUp() override {
        ListModel::SetUp();
        popup_list_create();
        for (int k = 0; k < kListKinds; ++k) {
            ListWindowSettings& s = list_window_settings(static_cast<ListKind>(k));
            s.x = 0, s.y = 0;
            for (auto& w : s.width) w = 0;
        }
    }
    void TearDown() override {
        for (QWidget* w : popup_windows()) delete w;
        popup_list_create();
        ListModel::TearDown();
    }
};

}  // namespace

TEST_F(ListWindows, TitleCountsDownAndForceUpdateRefreshesAtTheNextTick) {
    send(1, 5);
    ListWindow* w = wnet_open();
    EXPECT_EQ(w->windowTitle(), "Host List ** UPDATING **     ");
    EXPECT_EQ(rows(w), 2);
    w->tick();
    EXPECT_EQ(w->windowTitle(), "Host List  next update: 14:59");
    w->tick();
    EXPECT_EQ(w->windowTitle(), "Host List  next update: 14:58");

    // A host that starts sending after the fill, between the two in the host order: its
    // row comes with the refresh, at its place.
    send(3, 5, 0x0806, 46, 2);
    w->force_update();
    EXPECT_EQ(rows(w), 2);
    w->tick();
    EXPECT_EQ(w->windowTitle(), "Host List  next update: 15:00");
    ASSERT_EQ(rows(w), 3);
    const auto middle = row(w, 1);
    EXPECT_EQ(middle[0], "00:00:00:00:00:03");
    EXPECT_EQ(middle[2], "120");
    EXPECT_EQ(middle[4], "2");
    EXPECT_EQ(row(w, 2)[0], "00:00:00:00:00:05");
    w->tick();
    EXPECT_EQ(w->windowTitle(), "Host List  next update: 14:59");
    EXPECT_TRUE(w->timer()->isActive());
    EXPECT_EQ(w->timer()->interval(), 1000);
}

TEST_F(ListWindows, OpeningTheHostListTwiceGivesOneWindowRestored) {
    ListWindow* w = wnet_open();
    w->showMinimized();
    EXPECT_EQ(wnet_open(), w);
    EXPECT_FALSE(w->isMinimized());
    EXPECT_EQ(popup_windows().size(), 1);
    EXPECT_EQ(host_popup_open(), host_popup_open());
    EXPECT_EQ(popup_windows().size(), 2);
    // A closed window is made anew.
    w->close();
    drop_closed_windows();
    EXPECT_EQ(list_window_open_instance(ListKind::host_list), nullptr);
    EXPECT_NE(wnet_open(), nullptr);
    EXPECT_EQ(popup_windows().size(), 2);
    // Host watch windows are never shared.
    send(1, 2);
    Host* h = static_cast<Host*>(net->host_list->head->item);
    EXPECT_NE(wnode_open(h), wnode_open(h));
}

TEST_F(ListWindows, AdapterChangeClosesHostWatchesAndRefillsTheOthers) {
    send(1, 2, 0x0806, 46, 2);
    ListWindow* list = wnet_open();
    ListWindow* top = host_popup_open();
    ListWindow* links = link_popup_open();
    QPointer<ListWindow> watch = wnode_open(static_cast<Host*>(net->host_list->head->item));
    ASSERT_EQ(rows(watch), 1);
    ASSERT_EQ(rows(list), 2);
    for (int i = 0; i < 5; ++i) list->tick();

    Network* other = add_network("test1");
    send(7, 8, 0x0806, 46, 1, other);
    send(9, 8, 0x0806, 46, 3, other);
    net_set_current(other);
    EXPECT_EQ(popup_notify_adapter_changed(), 4);
    drop_closed_windows();
    EXPECT_TRUE(watch.isNull());
    EXPECT_EQ(list->subject(), other);
    ASSERT_EQ(rows(list), 3);
    EXPECT_EQ(row(list, 0)[0], "00:00:00:00:00:07");
    EXPECT_EQ(row(list, 2)[2], "180");
    EXPECT_EQ(list->windowTitle(), "Host List  next update: 14:55");  // the countdown runs on
    ASSERT_EQ(rows(top), 3);
    EXPECT_EQ(row(top, 0), (std::vector<QString>{"00:00:00:00:00:09", "180"}));
    EXPECT_EQ(top->rows_shown(), 3);
    ASSERT_EQ(rows(links), 2);
    EXPECT_EQ(row(links, 0), (std::vector<QString>{"00:00:00:00:00:09", "00:00:00:00:00:08", "180"}));
    EXPECT_EQ(popup_windows().size(), 3);
}

TEST_F(ListWindows, SizesAndColumnWidthsAreStoredAndReused) {
    ListWindow* top = host_popup_open();  // first opening: the defaults
    EXPECT_EQ(top->frameGeometry().size(), QSize(200, 200));
    EXPECT_EQ(top->view()->header()->sectionSize(0), 200);
    EXPECT_EQ(top->view()->header()->sectionSize(1), 200);

    ListWindow* w = wnet_open();
    EXPECT_EQ(w->frameGeometry().size(), QSize(400, 200));
    w->resize(QSize(500, 300) - (w->frameGeometry().size() - w->size()));  // outer 500 x 300
    EXPECT_EQ(list_window_settings(ListKind::host_list).x, 500);
    EXPECT_EQ(list_window_settings(ListKind::host_list).y, 300);
    w->view()->header()->resizeSection(1, 77);
    delete w;
    EXPECT_EQ(list_window_settings(ListKind::host_list).width[1], 77);
    EXPECT_EQ(list_window_settings(ListKind::host_list).width[0], 150);
    w = wnet_open();
    EXPECT_EQ(w->frameGeometry().size(), QSize(500, 300));
    EXPECT_EQ(w->view()->header()->sectionSize(1), 77);
    EXPECT_EQ(w->view()->header()->sectionSize(2), 150);
}

TEST_F(ListWindows, TopHostsGrowFromThreeToFourRowsInTheNewOrder) {
    send(1, 2, 0x0806, 46, 1);
    send(2, 3, 0x0806, 46, 2);
    send(3, 1, 0x0806, 46, 3);
    ListWindow* w = host_popup_open();
    ASSERT_EQ(rows(w), 3);
    EXPECT_EQ(row(w, 0)[0], "00:00:00:00:00:03");
    send(4, 1, 0x0806, 46, 4);
    w->force_update();
    w->tick();
    ASSERT_EQ(rows(w), 4);
    const char* order[] = {"00:00:00:00:00:04", "00:00:00:00:00:03", "00:00:00:00:00:02", "00:00:00:00:00:01"};
    for (int r = 0; r < 4; ++r) EXPECT_EQ(row(w, r)[0], order[r]) << r;
    EXPECT_EQ(row(w, 0)[1], "240");
}

TEST_F(ListWindows, ContextMenuCommandsOpenHostWatchWindows) {
    send(1, 2, 0x0806, 46, 2);
    ListWindow* links = link_popup_open();
    const auto commands = links->menu_commands(0);
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(commands[0], (std::pair<QString, int>{"Watch Source Traffic", 15000}));
    EXPECT_EQ(commands[1], (std::pair<QString, int>{"Watch Destination Traffic", 15003}));
    EXPECT_EQ(commands[2].first, "Copy all");
    EXPECT_TRUE(links->menu_commands(1).empty());  // over no row: no menu
    links->run_command(15003, 0);
    ListWindow* dest = qobject_cast<ListWindow*>(popup_windows().back());
    ASSERT_NE(dest, links);
    EXPECT_EQ(dest->windowTitle(), "00:00:00:00:00:02 : (null) ** UPDATING **     ");
    EXPECT_EQ(rows(dest), 0);  // host 2 sent nothing
    links->run_command(15000, 0);
    ListWindow* src = qobject_cast<ListWindow*>(popup_windows().back());
    EXPECT_EQ(src->kind(), ListKind::host_watch);
    ASSERT_EQ(rows(src), 1);
    EXPECT_EQ(row(src, 0), (std::vector<QString>{"00:00:00:00:00:02", "", "OTHER_ARP", "120", "2"}));
    // From the host watch: its destination.
    EXPECT_EQ(src->menu_commands(0)[0].first, "Watch Node Traffic");
    src->run_command(15000, 0);
    EXPECT_EQ(static_cast<ListWindow*>(popup_windows().back())->subject(), static_cast<const Host*>(src->table().rows[0].detail));
    // Top Alarms offers only the copy.
    EXPECT_TRUE(alarm_popup_open()->menu_commands(0).empty());
    EXPECT_EQ(popup_windows().size(), 5);
}

TEST_F(ListWindows, CopySelectedRowAndCopyAll) {
    send(1, 2, 0x0806, 46, 2);
    ListWindow* w = host_popup_open();
    EXPECT_EQ(w->selected_row_text(), "");
    w->view()->setCurrentIndex(w->view()->model()->index(0, 1));
    w->copy_row();
    EXPECT_EQ(QApplication::clipboard()->text(), "00:00:00:00:00:01\t120");
    w->run_command(kListCopyAllCommand, 0);
    EXPECT_EQ(QApplication::clipboard()->text(),
              "Host\tTotal Bytes Sent\n00:00:00:00:00:01\t120\n00:00:00:00:00:02\t0\n");
    // Ctrl+C on the table copies the whole row, not the cell.
    QApplication::clipboard()->clear();
    w->activateWindow();
    w->view()->setFocus();
    QTest::keyClick(w->view(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "00:00:00:00:00:01\t120");
    // The selection follows its row when a refresh moves it.
    send(2, 1, 0x0806, 46, 3);
    w->force_update();
    w->tick();
    EXPECT_EQ(w->selected_row_text(), "00:00:00:00:00:01\t120");
    EXPECT_EQ(w->view()->currentIndex().row(), 1);
}

#ifdef HOPSCOPE_REPLAY

namespace {

std::string run(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return out;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    EXPECT_EQ(pclose(p), 0) << command;
    return out;
}

std::vector<std::string> split(const std::string& line) {
    std::vector<std::string> f;
    std::istringstream in(line);
    for (std::string s; std::getline(in, s, '\t');) f.push_back(s);
    if (!line.empty() && line.back() == '\t') f.emplace_back();
    return f;
}

// The demo capture through the capture layer and the capture pass, as the program reads it.
void replay(Network* net, const std::string& file) {
    char err[hscap::kErrbufSize] = {};
    hscap::reset_sources();
    ASSERT_EQ(hscap::add_capture_file(file.c_str(), hscap::Pace::Fastest, false, err), 0) << err;
    hscap::pcap_init();
    hscap::Adapter** adapters = hscap::pcap_lookupdevs(err);
    ASSERT_NE(adapters[0], nullptr);
    hscap::Handle* handle = hscap::pcap_open_live(hscap::pcap_if_name(adapters[0]), 65535, 1, 600, err);
    ASSERT_NE(handle, nullptr) << err;
    CaptureContext ctx;
    ctx.handle = handle;
    while (!hscap::finished(handle))
        if (capture_pass(&ctx, net, handle) < 0) break;
    hscap::pcap_close(handle);
    hscap::reset_sources();
}

}  // namespace

TEST_F(ListWindows, HostListOfTheDemoEqualsTheDumpCellByCell) {
    const std::string data = HOPSCOPE_DATA_DIR;
    // Names for some of the demo's stations, so that the name column is checked too.
    const std::string ethers = std::string(HOPSCOPE_TEST_DIR) + "/golden/alarms.ethers";
    const std::string files =
        "--protocols " + data + "/protocol.pdl --ethers " + ethers + " --manufacturers " + data + "/manf";
    const std::string dump = run(std::string(HOPSCOPE_REPLAY) + " " + files + " --dump " + data + "/demo.pcap");

    engine_reset();
    local_names_create();
    EngineOptions o;
    o.protocols = data + "/protocol.pdl";
    o.ethers = ethers;
    o.manufacturers = data + "/manf";
    ASSERT_EQ(engine_start(o), EngineStatus::ok);
    net = add_network("demo");
    net_set_current(net);
    replay(net, data + "/demo.pcap");
    ListWindow* w = wnet_open();

    std::istringstream in(dump);
    int r = 0, named = 0;
    for (std::string line; std::getline(in, line);) {
        const auto f = split(line);
        if (f.empty() || f[0] != "host") continue;
        ASSERT_GE(f.size(), 5u) << line;
        ASSERT_LT(r, rows(w)) << line;
        const auto cells = row(w, r);
        EXPECT_EQ(cells[0].toStdString(), f[1]) << r;  // address
        EXPECT_EQ(cells[1].toStdString(), f[4]) << r;  // local name
        EXPECT_EQ(cells[2].toStdString(), f[3]) << r;  // total bytes
        EXPECT_EQ(cells[4].toStdString(), f[2]) << r;  // total frames
        if (!f[4].empty()) ++named;
        // The second's counts are the model's after the last pass.
        const Host* h = static_cast<const Host*>(w->table().rows[static_cast<size_t>(r)].subject);
        EXPECT_EQ(cells[3].toStdString(), std::to_string(h->bytes_this_second)) << r;
        EXPECT_EQ(cells[5].toStdString(), std::to_string(h->frames_this_second)) << r;
        ++r;
    }
    EXPECT_EQ(r, rows(w));
    EXPECT_GT(r, 40);
    EXPECT_GE(named, 7);
    local_names_create();
}

#endif  // HOPSCOPE_REPLAY
