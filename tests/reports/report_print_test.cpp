// Printing a report to PDF: the page rectangle in twips, the number of pages of a report
// of known length, copies, page ranges, and a run stopped from the abort dialog.
#include <gtest/gtest.h>

#include <QPageSize>
#include <QPrinter>
#include <QTextDocument>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "reports/document.h"
#include "reports/qt/report_print.h"
#include "reports/qt/rtf_document.h"
#include "reports/table_file.h"

using namespace report_tests;

namespace {

// A report of `lines` numbered lines, as the writer makes it, loaded as the viewer loads it.
void report_of(int lines, QTextDocument* doc) {
    TempDir dir;
    const std::string base = (dir.path / "hostrep").string();
    ReportDocument out;
    ASSERT_EQ(document_open(&out, base.c_str()), 1);
    for (int i = 1; i <= lines; ++i) document_line(&out, kToAll, "line %d of the report", i);
    ASSERT_EQ(document_close(&out), 1);
    ASSERT_EQ(rtf_load_document(base + ".rtf", doc), 1);
}

struct Pdf {
    TempDir dir;
    std::string path = (dir.path / "report.pdf").string();
    QPrinter printer{QPrinter::HighResolution};
    Pdf() {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setPageSize(QPageSize(QPageSize::Letter));
        printer.setOutputFileName(QString::fromStdString(path));
    }
    // Pages of the finished file: its page objects.
    int pages() const {
        const std::string pdf = read_whole(path);
        const std::regex page("/Type\\s*/Page[^s]");
        return static_cast<int>(std::distance(std::sregex_iterator(pdf.begin(), pdf.end(), page), std::sregex_iterator()));
    }
};

}  // namespace

TEST(PrintRect, MarginsInTwips) {
    std::ifstream in(data_path("print_cases.txt"));
    ASSERT_TRUE(in);
    int cases = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream f(line);
        int w, h, l, t, rw, rh;
        std::string bar;
        ASSERT_TRUE(f >> w >> h >> bar >> l >> t >> rw >> rh) << line;
        EXPECT_EQ(report_print_rect_twips(QSize(w, h)), QRect(l, t, rw, rh)) << line;
        ++cases;
    }
    EXPECT_GE(cases, 6);
    // Physical dots at the printer's resolution into twips.
    EXPECT_EQ(report_page_twips(QSize(10200, 13200), 1200, 1200), QSize(12240, 15840));
    EXPECT_EQ(report_page_twips(QSize(4961, 7016), 600, 600), QSize(11906, 16838));
    EXPECT_EQ(report_page_twips(QSize(100, 100), 0, 300), QSize());
}

// Every line of a report is one text line of the 12-point fixed-pitch font (the
// paragraph's indent is in the document's default size; the text is at 6 points), about
// 13.5 to 14 points high. On Letter paper the band between the margins is 9 inches (648
// points) high, so a page holds 46 or 47 lines (without the margins it would hold 57 or
// 58): the 201 paragraphs of a 200-line report (the first is empty) take 5 pages, and
// would take 4 without the margins.
TEST(PrintPdf, AReportOfKnownLengthTakesItsPages) {
    QTextDocument doc;
    report_of(200, &doc);
    Pdf pdf;
    const ReportPrintResult r = report_print_text(doc, &pdf.printer, {}, nullptr);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.document_pages, 5);
    EXPECT_EQ(r.pages, 5);
    EXPECT_EQ(pdf.pages(), 5);

    QTextDocument one;
    report_of(1, &one);
    Pdf single;
    EXPECT_EQ(report_print_text(one, &single.printer, {}, nullptr).pages, 1);
    EXPECT_EQ(single.pages(), 1);
}

TEST(PrintPdf, CopiesAndPageRanges) {
    QTextDocument doc;
    report_of(200, &doc);
    const struct {
        ReportPrintJob job;
        int pages;
    } cases[] = {
        {{2, true, 0, 0}, 10},   // collated: the document twice
        {{3, false, 0, 0}, 15},  // each page three times
        {{1, false, 2, 3}, 2},
        {{2, true, 4, 9}, 4},    // pages 4 and 5 exist
        {{1, false, 7, 9}, 0},   // beyond the end: nothing
    };
    for (const auto& c : cases) {
        Pdf pdf;
        const ReportPrintResult r = report_print_text(doc, &pdf.printer, c.job, nullptr);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.pages, c.pages) << c.job.copies << " " << c.job.from_page << "-" << c.job.to_page;
        if (c.pages > 0) {
            EXPECT_EQ(pdf.pages(), c.pages);
        }
    }
}

// Cancel in the abort dialog: the run stops after the current page and the document is
// not finished.
TEST(PrintPdf, AbortStopsAfterTheCurrentPage) {
    QTextDocument doc;
    report_of(200, &doc);
    Pdf pdf;
    ReportAbortDialog dialog(nullptr);
    EXPECT_EQ(dialog.objectName(), "REPORTPRINTABORTDLG");
    EXPECT_EQ(dialog.windowTitle(), "Velmar Software");
    EXPECT_FALSE(dialog.aborted());
    int asked = 0;
    const ReportPrintResult r = report_print_text(doc, &pdf.printer, {}, [&] {
        if (++asked == 2) dialog.reject();  // what Cancel and closing the dialog do
        return dialog.aborted();
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.pages, 2);
    // An aborted document is not finished: the PDF output cannot be aborted, so what was
    // made of it is removed.
    EXPECT_EQ(read_whole(pdf.path).find("%%EOF"), std::string::npos);
}
