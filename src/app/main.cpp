// hopscope: the program. Usage: hopscope [CAPTURE-FILE...]
// Capture files named on the command line become capture sources at the head of the
// adapter list, replayed at their recorded pace and looping; the first one is opened.
#include <QApplication>
#include <QMessageBox>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/program.h"
#include "app/steps.h"
#include "lists/qt/popup.h"
#include "shell/fatal.h"
#include "shell/qt/main_window.h"
#include "shell/settings.h"
#include "shell/shell.h"
#include "ui/message_box.h"
#include "ui/qtext.h"

namespace {

// The process that replaced one that met a processor exception: beep, show the box, end.
int fatal_dialog(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::beep();
    QMessageBox box(QMessageBox::NoIcon, kFatalTitle, kFatalText, QMessageBox::Ok);
    box.exec();
    return kFatalExitStatus;
}

bool has_display(const QString& platform) { return platform == "xcb" || platform == "wayland"; }

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], kFatalDialogOption) == 0) return fatal_dialog(argc, argv);

    QApplication app(argc, argv);
    // The user's locale is for what the windows show; numbers in files are read and
    // written with a decimal point whatever the locale.
    std::setlocale(LC_NUMERIC, "C");
    ui_message_box_install();
    fatal_guard_install(has_display(QGuiApplication::platformName()));

    std::vector<std::string> files;
    const QStringList args = QCoreApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            std::puts("usage: hopscope [CAPTURE-FILE...]   (- reads a capture from standard input)");
            return 0;
        }
        files.push_back(ui_engine_text(args[i]));
    }

    startup_steps() = app_startup_steps();
    app_install_program_steps();
    const std::string key = default_key_path();
    if (int rc = shell_startup(files, key); rc != 0) return rc;  // steps 1 to 24

    popup_list_create();
    MainWindow window;  // 25.
    window.set_initial_checks();  // 26.
    window.update_title();
    window.show();
    return QApplication::exec();  // 27.
}
