#include "app/quit_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QWidget>
#include <csignal>

namespace {

int g_pipe[2] = {-1, -1};

void on_quit_signal(int sig) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(sig);
    (void)!::write(g_pipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

void quit_signals_install() {
    if (g_pipe[0] >= 0 || ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction sa {};
    sa.sa_handler = on_quit_signal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(sig, &sa, nullptr);
}

void quit_signals_watch(QWidget* window) {
    if (g_pipe[0] < 0) return;
    auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [window, notifier] {
        unsigned char bytes[64];
        while (::read(g_pipe[0], bytes, sizeof bytes) > 0) {
        }
        notifier->setEnabled(false);  // one orderly quit is enough
        window->close();
    });
}
