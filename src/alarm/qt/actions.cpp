#include "alarm/qt/actions.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSoundEffect>
#include <QThread>
#include <QUrl>

#include <atomic>
#include <mutex>

#include "alarm/qt/output_window.h"
#include "base/path.h"
#include "ui/qtext.h"

namespace {

struct ActionsState {
    std::atomic<bool> beep_posted{false};
    QElapsedTimer since_beep;  // window thread

    std::mutex sound_mutex;     // guards `sound_path` and `sound_posted`
    std::string sound_path;
    bool sound_posted = false;
    QSoundEffect* sound = nullptr;  // window thread, made on the first sound
};
ActionsState& actions_state() {
    static ActionsState s;
    return s;
}

// Runs `fn` on the window thread, later. Nothing happens without an application.
template <class Fn>
void on_window_thread(Fn fn) {
    if (QCoreApplication* app = QCoreApplication::instance()) QMetaObject::invokeMethod(app, fn, Qt::QueuedConnection);
}

void beep_now() {
    ActionsState& st = actions_state();
    if (st.since_beep.isValid() && st.since_beep.elapsed() < kBeepGapMs) return;
    st.since_beep.start();
    QApplication::beep();
}

void play_now() {
    ActionsState& st = actions_state();
    std::string path;
    {
        std::lock_guard lock(st.sound_mutex);
        path.swap(st.sound_path);
        st.sound_posted = false;
    }
    if (path.empty()) return;
    if (!st.sound) {
        // Gone before the application object is: a sound still playing ends with the loop.
        st.sound = new QSoundEffect(QCoreApplication::instance());
        QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, [] {
            delete actions_state().sound;
            actions_state().sound = nullptr;
        });
    }
    st.sound->stop();
    st.sound->setSource(QUrl::fromLocalFile(ui_text(native_path(path))));
    st.sound->play();
}

}  // namespace

void alarm_qt_beep() {
    if (QCoreApplication* app = QCoreApplication::instance(); app && app->thread() == QThread::currentThread()) {
        beep_now();
        return;
    }
    // One call waits at a time: beeps asked for meanwhile are that one.
    if (actions_state().beep_posted.exchange(true)) return;
    on_window_thread([] {
        actions_state().beep_posted.store(false);
        beep_now();
    });
}

void alarm_qt_play(const std::string& path) {
    ActionsState& st = actions_state();
    {
        std::lock_guard lock(st.sound_mutex);
        st.sound_path = path;
        if (st.sound_posted) return;
        st.sound_posted = true;
    }
    on_window_thread(play_now);
}

AlarmActions alarm_qt_actions() {
    AlarmActions a = alarm_default_actions();
    a.beep = alarm_qt_beep;
    a.output = [](const Alarm& alarm, const AlarmEvent& event) { alarm_output_add(alarm.notify, event.time); };
    a.play_wave = alarm_qt_play;
    return a;
}
