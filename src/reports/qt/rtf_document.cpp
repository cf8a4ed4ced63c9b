#include "reports/qt/rtf_document.h"

#include <QColor>
#include <QString>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

#include "base/file.h"
#include "ui/qtext.h"

namespace {

bool is_fixed_pitch(const RtfFont* font) {
    // A font missing from the table (the reports' default font) or without a name.
    if (!font || font->name.empty()) return true;
    const QString name = ui_text(font->name).trimmed().toLower();
    return font->pitch == 1 || font->family == "modern" || name == "courier" || name == "courier new" ||
           name.contains("mono");
}

QTextCharFormat format_of(const RtfDocument& rtf, const RtfRun& run) {
    QTextCharFormat f;
    const RtfFont* font = rtf_font(rtf, run.font);
    if (is_fixed_pitch(font)) {
        f.setFontFamilies(report_fixed_families());
        f.setFontFixedPitch(true);
        f.setFontStyleHint(QFont::TypeWriter);
    } else {
        f.setFontFamilies(QStringList{ui_text(font->name)});
    }
    f.setFontPointSize(run.size / 2.0);
    f.setFontWeight(run.bold ? QFont::Bold : QFont::Normal);
    if (run.has_rgb) f.setForeground(QColor(run.red, run.green, run.blue));
    return f;
}

}  // namespace

QStringList report_fixed_families() {
    return QStringList{QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono"),
                       QStringLiteral("monospace")};
}

QFont report_fixed_font(qreal points) {
    QFont font;
    font.setFamilies(report_fixed_families());
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSizeF(points);
    return font;
}

void rtf_to_document(const RtfDocument& rtf, QTextDocument* doc) {
    doc->clear();
    doc->setUndoRedoEnabled(false);
    doc->setDefaultFont(report_fixed_font(12));
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    bool first = true;
    for (const RtfParagraph& para : rtf.paragraphs) {
        if (!first) cursor.insertBlock();
        first = false;
        for (const RtfRun& run : para.runs) {
            QString text = ui_text(run.text);
            text.replace(QLatin1Char('\n'), QChar(QChar::LineSeparator));
            cursor.insertText(text, format_of(rtf, run));
        }
    }
    cursor.endEditBlock();
    doc->setUndoRedoEnabled(true);
    doc->setModified(false);
}

int rtf_load_document(const std::string& path, QTextDocument* doc) {
    doc->clear();
    doc->setModified(false);
    std::string bytes;
    FileReadLimits limits;
    limits.regular_only = true;
    limits.max_size = kReportFileMax;
    if (file_read_all(path, &bytes, limits) != FileRead::ok) return -1;
    RtfDocument rtf;
    if (rtf_read(bytes.data(), bytes.size(), &rtf) != 1) return -1;
    rtf_to_document(rtf, doc);
    return 1;
}
