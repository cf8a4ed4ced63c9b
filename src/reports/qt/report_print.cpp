#include "reports/qt/report_print.h"

#include <algorithm>
#include <memory>

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QTextDocument>
#include <QVBoxLayout>

namespace {

constexpr int kTwipsPerInch = 1440;
constexpr int kSideMargin = 1080, kTopMargin = 1440;   // twips
constexpr int kNarrowPage = 3600, kShortPage = 4320;  // twips: pages this small get no margins

int twips_to_dots(int twips, int dpi) { return static_cast<int>(static_cast<long long>(twips) * dpi / kTwipsPerInch); }

}  // namespace

QSize report_page_twips(QSize page_dots, int dpi_x, int dpi_y) {
    if (dpi_x <= 0 || dpi_y <= 0) return {};
    return {static_cast<int>(static_cast<long long>(page_dots.width()) * kTwipsPerInch / dpi_x),
            static_cast<int>(static_cast<long long>(page_dots.height()) * kTwipsPerInch / dpi_y)};
}

QRect report_print_rect_twips(QSize page) {
    QRect r(0, 0, page.width(), page.height());
    if (page.width() > kNarrowPage) r.adjust(kSideMargin, 0, -kSideMargin, 0);
    if (page.height() > kShortPage) r.adjust(0, kTopMargin, 0, -kTopMargin);
    return r;
}

ReportPrintResult report_print_text(const QTextDocument& text, QPrinter* printer, const ReportPrintJob& job,
                                    const std::function<bool()>& aborted) {
    ReportPrintResult result;
    printer->setFullPage(true);
    const int copies = std::max(1, job.copies);
    printer->setCopyCount(1);
    printer->setDocName(QStringLiteral("Report"));

    const int dpi_x = printer->logicalDpiX(), dpi_y = printer->logicalDpiY();
    const QRect paper = printer->paperRect(QPrinter::DevicePixel).toRect();
    const QRect twips = report_print_rect_twips(report_page_twips(paper.size(), dpi_x, dpi_y));
    const QRect band(twips_to_dots(twips.left(), dpi_x), twips_to_dots(twips.top(), dpi_y),
                     twips_to_dots(twips.width(), dpi_x), twips_to_dots(twips.height(), dpi_y));
    if (band.width() <= 0 || band.height() <= 0) {
        result.status = -1;
        return result;
    }

    // The text laid out in pages of the band, at the printer's resolution.
    std::unique_ptr<QTextDocument> doc(text.clone());
    doc->documentLayout()->setPaintDevice(printer);
    doc->setDocumentMargin(0);
    doc->setPageSize(band.size());
    result.document_pages = doc->pageCount();
    const int first = job.from_page > 0 ? job.from_page : 1;
    const int last = std::min(job.to_page > 0 ? job.to_page : result.document_pages, result.document_pages);

    QPainter painter;
    if (!painter.begin(printer)) {
        result.status = -1;
        return result;
    }
    bool started = false;
    auto print_page = [&](int page) {
        if (started && !printer->newPage()) return false;
        started = true;
        painter.save();
        painter.translate(band.left(), band.top() - (page - 1) * band.height());
        const QRectF view(0, (page - 1) * band.height(), band.width(), band.height());
        painter.setClipRect(view);
        doc->drawContents(&painter, view);
        painter.restore();
        ++result.pages;
        return true;
    };
    const int passes = job.collate ? copies : 1;
    const int each = job.collate ? 1 : copies;
    for (int pass = 0; pass < passes && result.status == 1; ++pass)
        for (int page = first; page <= last && result.status == 1; ++page)
            for (int c = 0; c < each && result.status == 1; ++c) {
                if (!print_page(page)) result.status = -1;
                else if (aborted && aborted()) result.status = 0;
            }
    // An aborted run finishes no document. Where the printer cannot abort (output to a
    // file), the pages made so far are removed again.
    const bool stopped = result.status == 0 && printer->abort();
    painter.end();
    if (result.status == 0 && !stopped && !printer->outputFileName().isEmpty())
        QFile::remove(printer->outputFileName());
    return result;
}

ReportAbortDialog::ReportAbortDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("REPORTPRINTABORTDLG"));
    setWindowTitle(QStringLiteral("Velmar Software"));
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Printing"), this), 0, Qt::AlignHCenter);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setDefault(true);
    layout->addWidget(cancel, 0, Qt::AlignHCenter);
    connect(cancel, &QPushButton::clicked, this, [this] { abort(); });
    cancel->setFocus();
}

void ReportAbortDialog::reject() { abort(); }
