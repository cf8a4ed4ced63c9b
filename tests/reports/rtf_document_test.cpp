// Rich text in a QTextDocument: blocks, fixed-pitch family, bold, sizes, colours, and
// loading a report file.
#include <gtest/gtest.h>

#include <QFontInfo>
#include <QApplication>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "reports/qt/rtf_document.h"
#include "reports/table_file.h"

using namespace report_tests;

namespace {

class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "reports_qt_tests";
        static char* argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);  // the viewer tests need widgets
    }
    void TearDown() override { delete app_; }

private:
    QApplication* app_ = nullptr;
};

[[maybe_unused]] const auto* g_env = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

void load(const std::string& rtf, QTextDocument* doc) {
    RtfDocument read;
    ASSERT_EQ(rtf_read(rtf.data(), rtf.size(), &read), 1);
    rtf_to_document(read, doc);
}

struct Fragment {
    QString text;
    QTextCharFormat format;
};

std::vector<Fragment> fragments(const QTextDocument& doc) {
    std::vector<Fragment> out;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) out.push_back({it.fragment().text(), it.fragment().charFormat()});
    return out;
}

}  // namespace

TEST(RtfDocument, AReportFileAsTheViewerShowsIt) {
    QTextDocument doc;
    ASSERT_EQ(rtf_load_document(data_path("doc_small.rtf"), &doc), 1);
    EXPECT_FALSE(doc.isModified());
    EXPECT_FALSE(doc.isUndoAvailable());

    RtfDocument read;
    const std::string rtf = read_whole(data_path("doc_small.rtf"));
    ASSERT_EQ(rtf_read(rtf.data(), rtf.size(), &read), 1);
    EXPECT_EQ(doc.blockCount(), static_cast<int>(read.paragraphs.size()));
    EXPECT_EQ(doc.toPlainText().toStdString(), rtf_plain_text(read));

    bool saw_bold = false, saw_plain = false;
    for (const Fragment& f : fragments(doc)) {
        SCOPED_TRACE(f.text.toStdString());
        const QFontInfo info(f.format.font());
        EXPECT_TRUE(info.fixedPitch()) << info.family().toStdString();
        EXPECT_TRUE(info.family() == "Liberation Mono" || info.family() == "DejaVu Sans Mono")
            << info.family().toStdString();
        if (f.text.trimmed().isEmpty()) continue;  // the indentation, in the default font
        EXPECT_DOUBLE_EQ(f.format.fontPointSize(), 6.0);
        const bool bold = f.format.fontWeight() == QFont::Bold;
        EXPECT_EQ(bold, f.text.startsWith("hostname:") || f.text.startsWith("Report of"));
        (bold ? saw_bold : saw_plain) = true;
        EXPECT_FALSE(f.format.hasProperty(QTextFormat::ForegroundBrush));
    }
    EXPECT_TRUE(saw_bold);
    EXPECT_TRUE(saw_plain);

    // What Find will do in the viewer.
    const QTextCursor hit = doc.find("08:00:2B:1A:00:01");
    EXPECT_FALSE(hit.isNull());
    EXPECT_TRUE(doc.find("08:00:2B:1A:00:01", hit).isNull());
}

TEST(RtfDocument, ColoursOtherFontsAndLineBreaks) {
    QTextDocument doc;
    load("{\\rtf1{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\fmodern\\fprq1 Courier New;}}"
         "{\\colortbl;\\red255\\green0\\blue0;}\\f0\\fs20 sans\\f1\\cf1 red\\line next\\par second}",
         &doc);
    ASSERT_EQ(doc.blockCount(), 2);
    const std::vector<Fragment> f = fragments(doc);
    ASSERT_EQ(f.size(), 3u);
    EXPECT_EQ(f[0].text, "sans");
    EXPECT_EQ(f[0].format.fontFamilies().toStringList(), QStringList{"Arial"});
    EXPECT_DOUBLE_EQ(f[0].format.fontPointSize(), 10.0);
    EXPECT_EQ(f[1].text, QString("red") + QChar(QChar::LineSeparator) + "next");
    EXPECT_EQ(f[1].format.foreground().color(), QColor(255, 0, 0));
    EXPECT_TRUE(QFontInfo(f[1].format.font()).fixedPitch());
    EXPECT_EQ(f[2].text, "second");
    EXPECT_EQ(doc.toPlainText(), "sansred\nnext\nsecond");
}

TEST(RtfDocument, AFileThatCannotBeShownLeavesTheViewEmpty) {
    QTextDocument doc;
    load("{\\rtf1 old text}", &doc);
    EXPECT_EQ(rtf_load_document(data_path("no-such-report.rtf"), &doc), -1);
    EXPECT_TRUE(doc.isEmpty());
    load("{\\rtf1 old text}", &doc);
    EXPECT_EQ(rtf_load_document(data_path("doc_small.txt"), &doc), -1);
    EXPECT_TRUE(doc.isEmpty());
}
