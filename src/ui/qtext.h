// The one place where engine text becomes Qt text and back. The engine's texts are
// UTF-8 (names, labels, paths, messages); Qt's are QString. Header only, Qt Core alone,
// so that the Qt halves and the tools that write files through Qt share it.
#pragma once

#include <QString>

#include <string>

// Engine text (UTF-8, null: empty) as a QString.
[[nodiscard]] inline QString ui_text(const char* text) { return text ? QString::fromUtf8(text) : QString(); }
[[nodiscard]] inline QString ui_text(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A QString as engine text (UTF-8).
[[nodiscard]] inline std::string ui_engine_text(const QString& text) { return text.toStdString(); }
