#include "reports/qt/report_viewer.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTextCursor>
#include <QTextDocumentFragment>
#include <QTextEdit>
#include <QToolBar>
#include <QVBoxLayout>

#include "base/message.h"
#include "model/net.h"
#include "reports/qt/report_print.h"
#include "reports/qt/rtf_document.h"
#include "reports/reports.h"
#include "ui/qtext.h"

namespace {

// The threads of the reports the menu started; joined when the program quits.
ReportThreads& report_threads() {
    static ReportThreads threads;
    static const bool joined_at_quit = [] {
        if (QCoreApplication* app = QCoreApplication::instance())
            QObject::connect(app, &QCoreApplication::aboutToQuit, [] { report_threads().join_all(); });
        return true;
    }();
    (void)joined_at_quit;
    return threads;
}

// --- toolbar images: the icon theme's, else small drawings of our own -------------------

enum class Image { save, print, copy, find, close };

QIcon drawn_icon(Image image) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 1));
    switch (image) {
        case Image::save:  // a diskette
            p.setBrush(QColor(70, 110, 190));
            p.drawRect(QRectF(1.5, 1.5, 13, 13));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(4.5, 1.5, 7, 5));
            p.drawRect(QRectF(3.5, 9.5, 9, 5));
            break;
        case Image::print:  // a printer with its sheet
            p.setBrush(Qt::white);
            p.drawRect(QRectF(4.5, 1.5, 7, 5));
            p.setBrush(QColor(150, 150, 150));
            p.drawRect(QRectF(1.5, 6.5, 13, 6));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(4.5, 10.5, 7, 4));
            break;
        case Image::copy:  // two sheets
            p.setBrush(Qt::white);
            p.drawRect(QRectF(1.5, 1.5, 8, 10));
            p.drawRect(QRectF(6.5, 4.5, 8, 10));
            break;
        case Image::find: {  // a magnifier
            p.setBrush(QColor(220, 235, 255));
            p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
            p.setPen(QPen(QColor(40, 40, 40), 2.5, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(9.5, 9.5), QPointF(14, 14));
            break;
        }
        case Image::close:  // a red cross
            p.setPen(QPen(QColor(200, 30, 30), 2.5, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(3, 3), QPointF(13, 13));
            p.drawLine(QPointF(13, 3), QPointF(3, 13));
            break;
    }
    return QIcon(pm);
}

QIcon tool_icon(const char* theme_name, Image image) {
    QIcon themed = QIcon::fromTheme(QString::fromLatin1(theme_name));
    return themed.isNull() ? drawn_icon(image) : themed;
}

// --- the one Find dialog -------------------------------------------------------------------

// The view that had the keyboard focus last: the target of Find.
QPointer<QTextEdit> g_last_view;

class FindDialog : public QDialog {
public:
    FindDialog() {
        setWindowTitle(QString::fromLatin1(kFindTitle));
        setAttribute(Qt::WA_DeleteOnClose);
        setModal(false);
        text_ = new QLineEdit(this);
        text_->setMaxLength(kFindTextMax);
        whole_ = new QCheckBox(QStringLiteral("Match &whole word only"), this);
        case_ = new QCheckBox(QStringLiteral("Match &case"), this);
        auto* next = new QPushButton(QStringLiteral("&Find Next"), this);
        auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
        next->setDefault(true);
        auto* label = new QLabel(QStringLiteral("Fi&nd what:"), this);
        label->setBuddy(text_);
        auto* row = new QHBoxLayout;
        row->addWidget(label);
        row->addWidget(text_, 1);
        auto* options = new QVBoxLayout;
        options->addLayout(row);
        options->addWidget(whole_);
        options->addWidget(case_);
        options->addStretch(1);
        auto* buttons = new QVBoxLayout;
        buttons->addWidget(next);
        buttons->addWidget(cancel);
        buttons->addStretch(1);
        auto* layout = new QHBoxLayout(this);
        layout->addLayout(options, 1);
        layout->addLayout(buttons);
        connect(next, &QPushButton::clicked, this, [this] { find_next(); });
        connect(cancel, &QPushButton::clicked, this, &QDialog::close);
        connect(text_, &QLineEdit::textChanged, next, [next](const QString& t) { next->setEnabled(!t.isEmpty()); });
        next->setEnabled(false);
    }
    QLineEdit* text() const { return text_; }
    void find_next() {
        QTextEdit* view = g_last_view;
        if (!view || text_->text().isEmpty()) return;
        if (auto* viewer = qobject_cast<ReportViewer*>(view->window()))
            viewer->find_next(text_->text(), case_->isChecked(), whole_->isChecked());
    }

private:
    QLineEdit* text_;
    QCheckBox* whole_;
    QCheckBox* case_;
};

QPointer<FindDialog> g_find;

}  // namespace

QDialog* report_find_dialog() { return g_find; }

void report_ready_post(ReportMailbox* mailbox, int status, const std::string& base, ReportTable table) {
    std::lock_guard<std::mutex> lock(mailbox->mutex);
    if (mailbox->viewer)
        QCoreApplication::postEvent(mailbox->viewer, new ReportReadyEvent(status, base, std::move(table)));
}

ReportViewer::ReportViewer(const QString& title) : mailbox_(std::make_shared<ReportMailbox>()) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(title);
    view_ = new QTextEdit(this);
    view_->setLineWrapMode(QTextEdit::NoWrap);
    view_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    view_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    view_->setFrameShape(QFrame::StyledPanel);
    view_->setAcceptRichText(true);
    view_->installEventFilter(this);
    setCentralWidget(view_);
    build_menu_and_tools();
    resize(900, 640);
    mailbox_->viewer = this;
}

ReportViewer::~ReportViewer() {
    {
        std::lock_guard<std::mutex> lock(mailbox_->mutex);
        mailbox_->viewer = nullptr;
    }
    report_remove_files(base_);
}

void ReportViewer::build_menu_and_tools() {
    menuBar()->setObjectName(QString::fromLatin1(kReportMenuName));
    auto add = [this](QMenu* menu, const char* text, int number) {
        QAction* a = menu->addAction(QString::fromLatin1(text));
        a->setData(number);
        connect(a, &QAction::triggered, this, [this, number] { command(number); });
        return a;
    };
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    add(file, "&SaveAs", kCmdReportSaveAs);
    add(file, "&Print", kCmdReportPrint);
    add(file, "&Close", kCmdReportClose);
    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    add(edit, "&Select All", kCmdReportSelectAll);
    add(edit, "C&opy", kCmdReportCopy);
    add(edit, "&Find", kCmdReportFind);

    tools_ = addToolBar(QStringLiteral("Report"));
    tools_->setIconSize(QSize(16, 16));
    tools_->setMovable(false);
    auto tool = [this](const char* theme, Image image, const char* tip, int number) {
        QAction* a = tools_->addAction(tool_icon(theme, image), QString::fromLatin1(tip));
        a->setToolTip(QString::fromLatin1(tip));
        a->setData(number);
        connect(a, &QAction::triggered, this, [this, number] { command(number); });
    };
    tool("document-save-as", Image::save, "Save As", kCmdReportSaveAs);
    tool("document-print", Image::print, "Print", kCmdReportPrint);
    tool("edit-copy", Image::copy, "Copy", kCmdReportCopy);
    tool("edit-find", Image::find, "Find", kCmdReportFind);
    tools_->addSeparator();
    tool("edit-delete", Image::close, "Close Window", kCmdReportClose);
}

void ReportViewer::command(int number) {
    switch (number) {
        case kCmdReportPrint: print(); break;
        case kCmdReportSaveAs: save_as_dialog(); break;
        case kCmdReportCopy: view_->copy(); break;
        case kCmdReportSelectAll: view_->selectAll(); break;
        case kCmdReportFind: find_dialog(); break;
        case kCmdReportClose: close(); break;
        default: break;
    }
}

bool ReportViewer::event(QEvent* event) {
    if (event->type() != static_cast<QEvent::Type>(kMsgReportReady)) return QMainWindow::event(event);
    auto* ready = static_cast<ReportReadyEvent*>(event);
    if (ready->status != 1) {
        // Nothing to show: the viewer goes unseen, with whatever the report left.
        report_remove_files(ready->base);
        message_show("Hopscope", "The report could not be written.", MessageIcon::Warning);
        deleteLater();
        return true;
    }
    if (base_ != ready->base) report_remove_files(base_);
    base_ = ready->base;
    table_ = std::move(ready->table);
    // A file that cannot be read leaves the view empty; the window is shown all the same.
    (void)rtf_load_document(document_path(base_, kRichText), view_->document());
    view_->document()->setModified(false);
    view_->moveCursor(QTextCursor::Start);  // the top of the report, nothing selected
    show();
    return true;
}

bool ReportViewer::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_ && event->type() == QEvent::FocusIn) g_last_view = view_;
    return QMainWindow::eventFilter(watched, event);
}

int ReportViewer::save_as(const QString& path, int filter) {
    const std::string target = ui_engine_text(path);
    int status = -1;
    switch (filter) {
        case kSaveText: status = report_copy_new(document_path(base_, kPlainText), target); break;
        case kSaveRich: status = report_copy_new(document_path(base_, kRichText), target); break;
        case kSaveHtml: status = report_copy_new(document_path(base_, kHtml), target); break;
        case kSaveCsv: status = report_save_new(target, csv_format(table_)); break;
        default: break;
    }
    if (status == 0) {
        const std::string text = target + " already exists; the report was not saved over it.";
        message_show(kReportErrorTitle, text.c_str(), MessageIcon::Warning);
    } else if (status < 0) {
        const std::string text = "The report could not be saved as " + target + ".";
        message_show(kReportErrorTitle, text.c_str(), MessageIcon::Error);
    }
    return status;
}

void ReportViewer::save_as_dialog() {
    QFileDialog dialog(this, QStringLiteral("Save As"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    const QStringList filters = {
        QStringLiteral("Text files {*.*} (*.*)"),
        QStringLiteral("Comma Separated Data {*.DAT;*.dat} (*.DAT *.dat)"),
        QStringLiteral("Rich text files {*.RTF;*.rtf} (*.RTF *.rtf)"),
        QStringLiteral("HTML files {*.HTML;*.html} (*.HTML *.html)"),
    };
    dialog.setNameFilters(filters);
    dialog.setOption(QFileDialog::HideNameFilterDetails);  // the names as written, patterns inside them
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    // An existing file is never replaced (save_as says so), so there is nothing to confirm.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    // The chosen filter by its name: with the patterns hidden the dialog may give the
    // name alone.
    auto name_of = [](const QString& filter) {
        const qsizetype details = filter.lastIndexOf(QStringLiteral(" ("));
        return details < 0 ? filter : filter.left(details);
    };
    int chosen = kSaveText;
    for (qsizetype i = 0; i < filters.size(); ++i)
        if (name_of(filters[i]) == name_of(dialog.selectedNameFilter())) chosen = static_cast<int>(i);
    save_as(dialog.selectedFiles().first(), chosen);
}

void ReportViewer::print() {
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    dialog.setMinMax(1, 65535);
    QAbstractPrintDialog::PrintDialogOptions options = QAbstractPrintDialog::PrintPageRange |
                                                       QAbstractPrintDialog::PrintCollateCopies |
                                                       QAbstractPrintDialog::PrintShowPageSize;
    if (view_->textCursor().hasSelection()) options |= QAbstractPrintDialog::PrintSelection;
    dialog.setOptions(options);
    if (dialog.exec() != QDialog::Accepted) return;

    QApplication::setOverrideCursor(Qt::WaitCursor);
    ReportPrintJob job;
    job.copies = printer.copyCount();
    job.collate = printer.collateCopies();
    if (printer.printRange() == QPrinter::PageRange) {
        job.from_page = printer.fromPage();
        job.to_page = printer.toPage();
    }
    // The selection, when the user chose to print it, as a document of its own.
    QTextDocument selection;
    const bool only_selection = printer.printRange() == QPrinter::Selection && view_->textCursor().hasSelection();
    if (only_selection) QTextCursor(&selection).insertFragment(view_->textCursor().selection());

    auto* abort = new ReportAbortDialog(this);
    abort->show();
    view_->setEnabled(false);
    QApplication::restoreOverrideCursor();
    const ReportPrintResult result =
        report_print_text(only_selection ? selection : *view_->document(), &printer, job, [abort] {
            QCoreApplication::processEvents();
            return abort->aborted();
        });
    view_->setEnabled(true);
    delete abort;
    if (result.status < 0) message_show(kReportErrorTitle, kPrintStartFailed, MessageIcon::Error);
}

void ReportViewer::find_dialog() {
    g_last_view = view_;
    if (g_find) {
        g_find->raise();
        g_find->activateWindow();
        g_find->text()->setFocus();
        return;
    }
    g_find = new FindDialog;
    g_find->show();
}

bool ReportViewer::find_next(const QString& text, bool match_case, bool whole_word) {
    QTextDocument::FindFlags flags;
    if (match_case) flags |= QTextDocument::FindCaseSensitively;
    if (whole_word) flags |= QTextDocument::FindWholeWords;
    const int from = view_->textCursor().selectionStart() + 1;
    const QTextCursor hit = view_->document()->find(text.left(kFindTextMax), from, flags);
    if (hit.isNull()) {
        message_show(kFindTitle, kTextNotFound, MessageIcon::Information);
        return false;
    }
    view_->setTextCursor(hit);
    return true;
}

ReportViewer* create_report_window(const QString& title) { return new ReportViewer(title); }

ReportViewer* start_report(int kind) {
    std::string base;
    if (report_fresh_base(kind, &base) != 1) return nullptr;
    ReportViewer* viewer = create_report_window(ui_text(report_info(kind).title));
    ReportJob job;
    job.kind = kind;
    job.network = net_current();
    job.base = base;
    job.done = [mailbox = viewer->mailbox()](int status, const std::string& done_base, ReportTable table) {
        report_ready_post(mailbox.get(), status, done_base, std::move(table));
    };
    report_threads().start(std::move(job));
    return viewer;
}

void report_threads_join() { report_threads().join_all(); }
