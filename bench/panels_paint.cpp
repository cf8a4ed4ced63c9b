// panels_paint CAPTURE SECONDS KEY: runs the program's main window (offscreen or on a
// display) on a capture file replayed at its recorded pace ("live": on the adapter the
// key's "interface" names) and prints what the side panels cost the window thread: the
// time spent in their paint events, in the Statistics refresh (message 1030) and in
// their timers, per second of run time. Every second it prints the Statistics panel's
// "Packets/sec :" and "Dropped :" as shown, and at the end the capture library's own
// counts for the open handle.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <mutex>

#include "app/program.h"
#include "display/qt/statistics_panel.h"
#include "app/steps.h"
#include "lists/qt/popup.h"
#include "shell/qt/main_window.h"
#include "shell/qt/panel_column.h"
#include "shell/shell.h"
#include "ui/message_box.h"
#include "ui/window_messages.h"

namespace {

class TimingApp : public QApplication {
public:
    using QApplication::QApplication;
    QWidget* column = nullptr;
    double paint_ms = 0, refresh_ms = 0, timer_ms = 0;
    long paints = 0, refreshes = 0, timers = 0;
    std::map<std::string, std::pair<long, double>> by_class;  // paints and ms by widget class

    bool notify(QObject* receiver, QEvent* event) override {
        const QEvent::Type t = event->type();
        const bool timed = t == QEvent::Paint || t == QEvent::Timer || t == QEvent::Type(kMsgStatisticsRefresh);
        // A panel, or an object of one (its timers).
        QObject* owner = receiver;
        while (owner && !owner->isWidgetType()) owner = owner->parent();
        if (!timed || !column || !owner || !column->isAncestorOf(static_cast<QWidget*>(owner)))
            return QApplication::notify(receiver, event);
        QElapsedTimer clock;
        clock.start();
        const bool r = QApplication::notify(receiver, event);
        const double ms = clock.nsecsElapsed() / 1e6;
        if (t == QEvent::Paint) {
            paint_ms += ms, ++paints;
            auto& c = by_class[receiver->metaObject()->className()];
            ++c.first;
            c.second += ms;
        }
        else if (t == QEvent::Timer) timer_ms += ms, ++timers;
        else refresh_ms += ms, ++refreshes;
        return r;
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: panels_paint CAPTURE SECONDS KEY\n");
        return 2;
    }
    TimingApp app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    ui_message_box_install();
    std::vector<std::string> files;
    if (std::string(argv[1]) != "live") files.push_back(argv[1]);
    const int seconds = std::atoi(argv[2]);
    startup_steps() = app_startup_steps();
    app_install_program_steps();
    if (int rc = shell_startup(files, argv[3]); rc != 0) return rc;
    popup_list_create();
    MainWindow window;
    window.resize(1600, 1000);
    window.show();
    app.column = window.panel_column();
    QElapsedTimer run;
    run.start();
    auto* stats = dynamic_cast<StatisticsPanel*>(window.panel_column()->statistics_panel());
    QTimer every_second;
    QObject::connect(&every_second, &QTimer::timeout, [&] {
        if (!stats) return;
        const auto& rows = stats->view()->rows();
        std::printf("t=%.0f s  %s %s  %s %s\n", run.nsecsElapsed() / 1e9, rows[3].label, rows[3].value.c_str(),
                    rows[5].label, rows[5].value.c_str());
        std::fflush(stdout);
    });
    every_second.start(1000);
    QTimer::singleShot(seconds * 1000, &app, [&] {
        hscap::Stats counts{};
        {
            ShellState& st = shell_state();
            std::lock_guard<std::mutex> lock(st.capture.handle_mutex);
            if (st.capture.handle) hscap::pcap_stats(st.capture.handle, &counts);
        }
        std::printf("capture library: received %u, dropped %u\n", counts.received, counts.dropped);
        every_second.stop();
        stats = nullptr;  // the column goes with the window
        app.column = nullptr;
        window.close();
    });
    QApplication::exec();
    const double s = run.nsecsElapsed() / 1e9;
    std::printf("run %.1f s: panel paints %ld, %.3f ms/s; Statistics refreshes %ld, %.3f ms/s; panel timers %ld, %.3f ms/s;"
                " total %.3f ms/s\n",
                s, app.paints, app.paint_ms / s, app.refreshes, app.refresh_ms / s, app.timers, app.timer_ms / s,
                (app.paint_ms + app.refresh_ms + app.timer_ms) / s);
    for (const auto& [name, c] : app.by_class)
        std::printf("  %-20s %6ld paints %8.3f ms/s\n", name.c_str(), c.first, c.second / s);
    return 0;
}
