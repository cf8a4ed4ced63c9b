#include "shell/qt/help_window.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QStatusBar>
#include <QTextBrowser>
#include <QToolBar>
#include <QUrl>

#include "base/message.h"

namespace {

QPointer<HelpWindow>& open_window() {
    static QPointer<HelpWindow> window;
    return window;
}

bool readable_contents(const QString& directory) {
    if (directory.isEmpty()) return false;
    QFile f(QDir(directory).filePath(kHelpContents));
    return f.open(QIODevice::ReadOnly);
}

}  // namespace

QString help_directory() {
    QStringList candidates;
    const QString env = qEnvironmentVariable("HOPSCOPE_HELP_DIR");
    if (!env.isEmpty()) return readable_contents(env) ? env : QString();  // named: that one only
    candidates << QDir(QCoreApplication::applicationDirPath()).filePath("../share/hopscope/help");
#ifdef HOPSCOPE_SOURCE_HELP_DIR
    candidates << QStringLiteral(HOPSCOPE_SOURCE_HELP_DIR);
#endif
    for (const QString& c : candidates)
        if (readable_contents(c)) return QDir(c).canonicalPath();
    return QString();
}

HelpWindow::HelpWindow(const QString& directory, QWidget* parent) : QMainWindow(parent), directory_(directory) {
    setWindowTitle("Hopscope Help");
    setObjectName("HopscopeHelp");
    setAttribute(Qt::WA_DeleteOnClose);
    browser = new QTextBrowser(this);
    browser->setOpenExternalLinks(true);
    browser->setSearchPaths({directory});
    setCentralWidget(browser);
    QToolBar* bar = addToolBar("Help");
    bar->setMovable(false);
    contents_action = bar->addAction("Contents", this, &HelpWindow::contents);
    back_action = bar->addAction("Back", browser, &QTextBrowser::backward);
    forward_action = bar->addAction("Forward", browser, &QTextBrowser::forward);
    back_action->setShortcut(QKeySequence::Back);
    forward_action->setShortcut(QKeySequence::Forward);
    back_action->setEnabled(false);
    forward_action->setEnabled(false);
    connect(browser, &QTextBrowser::backwardAvailable, back_action, &QAction::setEnabled);
    connect(browser, &QTextBrowser::forwardAvailable, forward_action, &QAction::setEnabled);
    connect(browser, &QTextBrowser::highlighted, this,
            [this](const QUrl& url) { statusBar()->showMessage(url.isEmpty() ? QString() : url.toString()); });
    resize(760, 640);
    contents();
}

void HelpWindow::contents() {
    browser->setSource(QUrl::fromLocalFile(QDir(directory_).filePath(kHelpContents)));
}

void help_topics_run(QWidget* owner) {
    if (HelpWindow* open = open_window()) {
        open->contents();
        open->show();
        open->raise();
        open->activateWindow();
        return;
    }
    const QString directory = help_directory();
    if (directory.isEmpty()) {
        message_show("Hopscope", "Unable to activate help", MessageIcon::Error);
        return;
    }
    auto* window = new HelpWindow(directory, owner);
    window->setWindowFlag(Qt::Window);
    open_window() = window;
    window->show();
}

HelpWindow* help_window() { return open_window(); }
