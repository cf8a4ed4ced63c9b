// Help Topics: the program's help, HTML pages shipped in data/help and installed with
// the program, shown in a help window of its own (contents, back, forward).
//
// The pages are looked for in $HOPSCOPE_HELP_DIR, then beside the installed program
// (../share/hopscope/help from its directory), then in the source tree's data/help.
// When the contents page cannot be read, "Unable to activate help" ("Hopscope", error
// icon) is shown and nothing else happens.
//
// Threads: window thread.
#pragma once

#include <QMainWindow>
#include <QString>

class QAction;
class QTextBrowser;

inline constexpr char kHelpContents[] = "index.html";

// The folder whose index.html can be read, or an empty text.
[[nodiscard]] QString help_directory();

class HelpWindow : public QMainWindow {
    Q_OBJECT
public:
    // Shows `directory`'s contents page.
    explicit HelpWindow(const QString& directory, QWidget* parent = nullptr);
    void contents();

    QTextBrowser* browser = nullptr;
    QAction* contents_action = nullptr;
    QAction* back_action = nullptr;
    QAction* forward_action = nullptr;

private:
    QString directory_;
};

// Help > Help Topics: opens the help window at its contents, or raises the open one.
void help_topics_run(QWidget* owner);
// The open help window, or null.
[[nodiscard]] HelpWindow* help_window();
