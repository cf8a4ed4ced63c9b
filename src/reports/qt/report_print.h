// Printing a report: the page rectangle in twips, copies with and without collation,
// a page range or the selection, and the abort dialog that stops a run between pages.
//
// Window thread only.
#pragma once

#include <functional>

#include <QDialog>
#include <QRect>
#include <QSize>

class QPrinter;
class QTextDocument;

inline constexpr char kPrintErrorTitle[] = "Corvex error";
inline constexpr char kPrintStartFailed[] = "An error occured while trying to print";

// The printed rectangle of a page `page_twips` large, in twips: the whole page, less
// 1080 twips left and right on a page wider than 3600 twips and 1440 twips top and
// bottom on one taller than 4320.
[[nodiscard]] QRect report_print_rect_twips(QSize page_twips);

// The page's size in twips: its physical size in dots x 1440 / dots per inch.
[[nodiscard]] QSize report_page_twips(QSize page_dots, int dpi_x, int dpi_y);

struct ReportPrintJob {
    int copies = 1;
    bool collate = false;  // n passes of one copy each, else each page n times in one pass
    int from_page = 0;     // first and last page to print, from 1; 0: from the first / to the last
    int to_page = 0;
};

struct ReportPrintResult {
    int status = 1;   // 1 printed, 0 aborted (the document is not finished), -1 failed
    int pages = 0;    // pages sent to the printer (every copy counts)
    int document_pages = 0;  // pages the text takes in the printed rectangle
};

// Prints `text` on `printer` (set up by the caller: output, resolution, paper), which it
// sets to full-page mode and one copy per page (copies are made here). `aborted` is
// asked after every page (it may pump the window system's events); once it says yes,
// the run stops without finishing the document. A printer that cannot start gives -1.
[[nodiscard]] ReportPrintResult report_print_text(const QTextDocument& text, QPrinter* printer,
                                                  const ReportPrintJob& job, const std::function<bool()>& aborted);

// The modeless abort dialog "REPORTPRINTABORTDLG": "Velmar Software", "Printing" and one
// "Cancel" button with the focus. Any button, or closing it, sets its abort flag.
class ReportAbortDialog : public QDialog {
    Q_OBJECT
public:
    explicit ReportAbortDialog(QWidget* parent);
    [[nodiscard]] bool aborted() const { return aborted_; }
    void abort() { aborted_ = true; }
    // Closing the dialog (Escape, the window's close button) is a Cancel too.
    void reject() override;

private:
    bool aborted_ = false;
};
