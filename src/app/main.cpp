// hopscope: the program. Usage: hopscope [--filter EXPR] [CAPTURE-FILE...]
// Capture files named on the command line become capture sources at the head of the
// adapter list, replayed at their recorded pace and looping; the first one is opened.
#include <QApplication>
#include <QMessageBox>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/program.h"
#include "app/quit_signals.h"
#include "app/steps.h"
#include "lists/qt/popup.h"
#include "shell/fatal.h"
#include "shell/qt/main_window.h"
#include "shell/settings.h"
#include "shell/shell.h"
#include "shell/user_key.h"
#include "ui/message_box.h"
#include "ui/qtext.h"

#ifndef HOPSCOPE_VERSION
#define HOPSCOPE_VERSION "unknown"
#endif

namespace {

constexpr char kUsage[] =
    "usage: hopscope [--filter EXPR] [CAPTURE-FILE...]\n"
    "Watches one Ethernet segment and draws its stations and conversations as a network map.\n"
    "\n"
    "  CAPTURE-FILE     replay a pcap or pcapng file at its recorded pace, in a loop, instead\n"
    "                   of capturing live on the saved adapter (several: the first is opened)\n"
    "  --filter EXPR    capture filter in libpcap's filter syntax (as in \"arp or port 53\"),\n"
    "                   kept in the \"filter\" setting for the next runs; --filter \"\" removes it\n"
    "  --help           this text\n"
    "  --version        the version\n"
    "\n"
    "Settings: $HOPSCOPE_SETTINGS, else $XDG_CONFIG_HOME/hopscope/hopscope.reg (created on the\n"
    "first start). Shipped data files: $HOPSCOPE_DATA, else the installed share/hopscope.\n"
    "Live capture needs the capture rights (see the manual page, hopscope(1)).\n";

// The process that replaced one that met a processor exception: beep, show the box, end.
int fatal_dialog(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::beep();
    QMessageBox box(QMessageBox::NoIcon, kFatalTitle, kFatalText, QMessageBox::Ok);
    box.exec();
    return kFatalExitStatus;
}

bool has_display(const QString& platform) { return platform == "xcb" || platform == "wayland"; }

struct CommandLine {
    std::vector<std::string> files;
    bool filter_given = false;
    std::string filter;
};

// Reads the command line before anything needs a display. Returns -1 to go on, else the
// exit status (0 after --help and --version, 2 after a mistake).
int parse_command_line(int argc, char** argv, CommandLine* c) {
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (options && a == "--") options = false;
        else if (options && (a == "--help" || a == "-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (options && a == "--version") {
            std::printf("hopscope %s\n", HOPSCOPE_VERSION);
            return 0;
        } else if (options && a == "--filter") {
            if (i + 1 >= argc) {
                std::fputs("hopscope: --filter needs an expression\n", stderr);
                return 2;
            }
            c->filter = argv[++i];
            c->filter_given = true;
            if (c->filter.size() >= static_cast<size_t>(kSettingText)) {
                std::fprintf(stderr, "hopscope: the filter expression is longer than %d bytes\n", kSettingText - 1);
                return 2;
            }
        } else if (options && a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "hopscope: unknown option %s (hopscope --help lists them)\n", a.c_str());
            return 2;
        } else {
            c->files.push_back(a);
        }
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], kFatalDialogOption) == 0) return fatal_dialog(argc, argv);
    CommandLine command_line;
    if (int rc = parse_command_line(argc, argv, &command_line); rc >= 0) return rc;
    quit_signals_install();

    QApplication app(argc, argv);
    // The user's locale is for what the windows show; numbers in files are read and
    // written with a decimal point whatever the locale.
    std::setlocale(LC_NUMERIC, "C");
    ui_message_box_install();
    fatal_guard_install(has_display(QGuiApplication::platformName()));

    startup_steps() = app_startup_steps();
    app_install_program_steps();
    const std::string key = default_key_path();
    (void)shell_prepare_user_key(key);  // the first start creates the key; a bad one is named
    // The command line's filter takes the place of the key's from the load on.
    const std::string* filter = command_line.filter_given ? &command_line.filter : nullptr;
    if (int rc = shell_startup(command_line.files, key, filter); rc != 0) return rc;  // steps 1 to 24

    popup_list_create();
    MainWindow window;  // 25.
    window.set_initial_checks();  // 26.
    window.update_title();
    window.show();
    quit_signals_watch(&window);
    return QApplication::exec();  // 27.
}
