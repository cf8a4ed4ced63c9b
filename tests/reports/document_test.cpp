// The report document writer: golden files of hand-made documents in all three kinds,
// the rich-text reader over every golden rich-text file, and the three files' life
// (temporary names, rename, failure).
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "reports/document.h"
#include "reports/rtf_reader.h"
#include "reports/rich_text_lines.h"
#include "reports/table_file.h"

namespace fs = std::filesystem;
using namespace report_tests;

namespace {

enum class Emitter { Line, Bold, Raw };

struct ScriptLine {
    unsigned targets;
    Emitter emitter;
    std::string text;
};

std::vector<ScriptLine> read_script(const std::string& path) {
    std::ifstream in(path);
    EXPECT_TRUE(in) << path;
    std::vector<ScriptLine> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        const size_t a = line.find(' ');
        const size_t b = line.find(' ', a + 1);
        const std::string targets = line.substr(0, a);
        const std::string emitter = line.substr(a + 1, b == std::string::npos ? std::string::npos : b - a - 1);
        ScriptLine s;
        s.targets = targets == "all" ? kToAll : targets == "text+rich" ? kToTextRich : targets == "html" ? kToHtml : 0u;
        EXPECT_NE(s.targets, 0u) << line;
        s.emitter = emitter == "line" ? Emitter::Line : emitter == "bold" ? Emitter::Bold : Emitter::Raw;
        EXPECT_TRUE(emitter == "line" || emitter == "bold" || (emitter == "raw" && s.targets == kToHtml)) << line;
        s.text = b == std::string::npos ? std::string() : unescape(line.substr(b + 1));
        lines.push_back(std::move(s));
    }
    return lines;
}

void write_script(const std::vector<ScriptLine>& script, ReportDocument* doc) {
    for (const ScriptLine& s : script) {
        if (s.emitter == Emitter::Line) document_line(doc, s.targets, "%s", s.text.c_str());
        else if (s.emitter == Emitter::Bold) document_bold(doc, s.targets, "%s", s.text.c_str());
        else document_html(doc, "%s", s.text.c_str());
    }
}

const char* const kGoldens[] = {"doc_small", "doc_special", "doc_empty"};

}  // namespace

TEST(DocumentGolden, EachKindIsTheReviewedFile) {
    for (const char* name : kGoldens) {
        SCOPED_TRACE(name);
        TempDir dir;
        const std::string base = (dir.path / name).string();
        ReportDocument doc;
        ASSERT_EQ(document_open(&doc, base.c_str()), 1);
        write_script(read_script(data_path(std::string(name) + ".script")), &doc);
        ASSERT_EQ(document_close(&doc), 1);
        // The three files and nothing else: no temporary file stays behind.
        EXPECT_EQ(dir.names(), (std::vector<std::string>{std::string(name) + ".html", std::string(name) + ".rtf",
                                                         std::string(name) + ".txt"}));
        for (int kind = 0; kind < kDocumentKinds; ++kind) {
            const std::string made = read_whole(document_path(base, kind));
            const std::string golden = data_path(name + std::string(document_extension(kind)));
            if (refreshing()) {
                write_whole(golden, made);
                continue;
            }
            EXPECT_EQ(made, read_whole(golden)) << golden;
        }
    }
}

// Every golden rich-text file reads back as its plain-text file: paragraph 0 is the one
// before the first line's paragraph mark; every line is one paragraph framed by the
// markup's four spaces (after "\par" and its delimiter) and two spaces (before "  }"),
// with its text in font 3 at 6 points, bold exactly when written by write_bold.
TEST(DocumentGolden, RichTextReadsBackAsThePlainText) {
    for (const char* name : kGoldens) {
        SCOPED_TRACE(name);
        const std::string rtf = read_whole(data_path(name + std::string(".rtf")));
        RtfDocument doc;
        ASSERT_EQ(rtf_read(rtf.data(), rtf.size(), &doc), 1);
        EXPECT_EQ(doc.damage, 0u);
        ASSERT_EQ(doc.fonts.size(), 1u);
        EXPECT_EQ(doc.fonts[0].name, "Courier");
        EXPECT_EQ(doc.colours.size(), 7u);
        std::vector<const ScriptLine*> lines;
        const std::vector<ScriptLine> script = read_script(data_path(name + std::string(".script")));
        for (const ScriptLine& s : script)
            if (s.targets & kToRich) lines.push_back(&s);
        ASSERT_EQ(doc.paragraphs.size(), lines.size() + 1);
        EXPECT_TRUE(doc.paragraphs[0].runs.empty());

        std::string problem;
        const std::vector<RichLine> read = rich_text_lines(doc, &problem);
        ASSERT_TRUE(problem.empty()) << problem;
        ASSERT_EQ(read.size(), lines.size());
        for (size_t i = 0; i < read.size(); ++i) EXPECT_EQ(read[i].bold, lines[i]->emitter == Emitter::Bold) << i;
        const std::string text = rich_text_as_plain(read);
        EXPECT_EQ(text, read_whole(data_path(name + std::string(".txt"))));
    }
}

// Bytes that are not UTF-8 (a name file in Latin-1) reach the rich text and the HTML as
// the Latin-1 characters they would be, never as broken markup.
TEST(Document, BytesThatAreNotUtf8ReadAsLatin1) {
    const std::string text = "caf\xE9 \xFF\xC3 end";
    EXPECT_EQ(document_escape(text, kRichText), "caf\\'e9 \\'ff\\'c3 end");
    EXPECT_EQ(document_escape(text, kHtml), "caf&#233; &#255;&#195; end");
    EXPECT_EQ(document_escape(text, kPlainText), text);
    const std::string rtf = "{\\rtf1 " + document_escape(text, kRichText) + "}";
    RtfDocument doc;
    ASSERT_EQ(rtf_read(rtf.data(), rtf.size(), &doc), 1);
    EXPECT_EQ(rtf_plain_text(doc), "caf\u00e9 \u00ff\u00c3 end");
}

// The reports' own formats go through the writer unchanged: rows cut at their widths in
// text and rich text, the HTML cell whole.
TEST(Document, ReportRowFormats) {
    TempDir dir;
    const std::string base = (dir.path / "rows").string();
    ReportDocument doc;
    ASSERT_EQ(document_open(&doc, base.c_str()), 1);
    const std::string long_text(80, 'n');
    document_line(&doc, kToTextRich, "%-35.35s %-15.15s %10u %10u", "a-peer-name-longer-than-thirty-five-chars", "IP",
                  4000000000u, 7u);
    document_line(&doc, kToTextRich, "%-71.71s %u\n", long_text.c_str(), 3u);
    document_line(&doc, kToHtml, "%s", long_text.c_str());
    document_html(&doc, "   (%u bytes sent)\n", 3u);
    ASSERT_EQ(document_close(&doc), 1);
    EXPECT_EQ(read_whole(base + ".txt"),
              "a-peer-name-longer-than-thirty-five IP              4000000000          7\n" + std::string(71, 'n') +
                  " 3\n\n");
    EXPECT_EQ(read_whole(base + ".html"), "<HTML><BODY>" + long_text + "<BR>   (3 bytes sent)\n</BODY></HTML>");
}

TEST(DocumentFiles, OldFilesStayWholeUntilTheCloseReplacesThem) {
    TempDir dir;
    const std::string base = (dir.path / "hostrep").string();
    for (int kind = 0; kind < kDocumentKinds; ++kind) write_whole(document_path(base, kind), "old");

    ReportDocument doc;
    ASSERT_EQ(document_open(&doc, base.c_str()), 1);
    document_line(&doc, kToAll, "new");
    for (int kind = 0; kind < kDocumentKinds; ++kind) EXPECT_EQ(read_whole(document_path(base, kind)), "old");
    EXPECT_EQ(dir.names().size(), 3u) << "nothing reaches the disk before the close";
    ASSERT_EQ(document_close(&doc), 1);
    EXPECT_EQ(read_whole(base + ".txt"), "new\n");
    EXPECT_EQ(dir.names().size(), 3u);

    // A report given up (or never closed) leaves the files as they were.
    {
        ReportDocument dropped;
        ASSERT_EQ(document_open(&dropped, base.c_str()), 1);
        document_line(&dropped, kToAll, "dropped");
    }
    ReportDocument discarded;
    ASSERT_EQ(document_open(&discarded, base.c_str()), 1);
    document_discard(&discarded);
    EXPECT_EQ(dir.names().size(), 3u);
    EXPECT_EQ(read_whole(base + ".txt"), "new\n");
    EXPECT_EQ(document_close(&discarded), -1) << "a discarded document cannot be closed";
}

TEST(DocumentFiles, FailuresLeaveNothing) {
    TempDir dir;
    ReportDocument doc;
    ASSERT_EQ(document_open(&doc, (dir.path / "missing" / "hostrep").c_str()), 1);
    document_line(&doc, kToAll, "x");
    EXPECT_EQ(document_close(&doc), -1) << "a directory that is not there";
    EXPECT_FALSE(fs::exists(dir.path / "missing"));
    EXPECT_EQ(document_open(&doc, ""), -1);
    EXPECT_EQ(document_open(&doc, nullptr), -1);
    const std::string too_long = (dir.path / std::string(kReportBaseMax, 'x')).string();
    EXPECT_EQ(document_open(&doc, too_long.c_str()), -1);
    EXPECT_TRUE(dir.names().empty());
    // The emitters on a document that is not open write nothing and do not crash.
    document_line(&doc, kToAll, "x");
    document_html(&doc, "x");
}

// A write that fails (here: the file size limit, as a full disk would) fails the close.
TEST(DocumentFiles, AFailedWriteFailsTheClose) {
    TempDir dir;
    const std::string base = (dir.path / "statsrep").string();
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    ReportDocument doc;
    const int opened = document_open(&doc, base.c_str());
    for (int i = 0; i < 2000; ++i) document_line(&doc, kToAll, "line %d of a report too long for the disk", i);
    const int closed = document_close(&doc);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);
    ASSERT_EQ(opened, 1);
    EXPECT_EQ(closed, -1);
}

TEST(ReportTime, TwentyFourCharactersAndALineFeed) {
    // TZ=UTC (the test runner's).
    const struct {
        long long when;
        const char* text;
    } cases[] = {
        {0, "Thu Jan  1 00:00:00 1970\n"},
        {741397748, "Tue Jun 29 23:49:08 1993\n"},
        {1700000000, "Tue Nov 14 22:13:20 2023\n"},
        {-1, "Wed Dec 31 23:59:59 1969\n"},
        {253402300800LL, "Sat Jan  1 00:00:00 10000\n"},
        {LLONG_MAX, "??? ??? ?? ??:??:?? ????\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(report_time_text(static_cast<std::time_t>(c.when)), c.text) << c.when;
}
