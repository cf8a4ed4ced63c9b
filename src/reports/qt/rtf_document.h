// Rich text read by the program's own reader (rtf_reader.h) turned into a QTextDocument,
// for the report viewer: one block per paragraph, one character format per run.
//
//   - A fixed-pitch font of the document (Courier, Courier New, a "modern" family or a
//     fixed pitch), and text in a font the table does not hold (the reports' default
//     font), is shown in the fixed-pitch family of the system: Liberation Mono, else
//     DejaVu Sans Mono, else the "monospace" of fontconfig. Other fonts keep their names.
//   - Bold, the size in points (half the "\fs" value) and a colour from the colour table
//     are kept; the automatic colour is the view's text colour.
//   - A line break inside a paragraph becomes a line separator, a paragraph mark a new
//     block.
//
// Qt Gui only (no widgets); runs on any thread that owns the document.
#pragma once

#include <string>

#include <QFont>

#include "reports/rtf_reader.h"

class QTextDocument;

// The families tried, in order, for a fixed-pitch font.
[[nodiscard]] QStringList report_fixed_families();

// The fixed-pitch font of the reports at `points` points.
[[nodiscard]] QFont report_fixed_font(qreal points);

// Replaces the contents of `doc` with the text of `rtf` (the undo history is cleared
// and the modified flag is left unset).
void rtf_to_document(const RtfDocument& rtf, QTextDocument* doc);

// Reads the rich-text file at `path` into `doc`. Returns 1, or -1 when the file cannot
// be read, is larger than kReportFileMax bytes or is not rich text; `doc` is then empty.
inline constexpr size_t kReportFileMax = size_t{256} << 20;
[[nodiscard]] int rtf_load_document(const std::string& path, QTextDocument* doc);
