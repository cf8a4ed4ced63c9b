// The display panels' arithmetic and state machines, headless: the tables of cases in
// data/panel_cases.txt and data/statistics_rows.txt, and the records behind the
// Statistics panel, the Protocol Key and the Focus Builder.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "display/controls.h"
#include "display/focus_edit.h"
#include "display/load_chart.h"
#include "display/map_settings.h"
#include "display/protocol_key.h"
#include "display/statistics.h"
#include "display/zoom.h"
#include "model/engine.h"
#include "model/net.h"
#include "protocol/pd.h"
#include "protocol/symbol.h"

namespace {

const std::string kData = std::string(HOPSCOPE_TEST_DIR) + "/display/data/";

struct Case {
    int line;
    std::string kind;
    std::vector<std::string> args;
    std::string expected;
};

std::vector<Case> read_cases(const std::string& path) {
    std::ifstream in(path);
    std::vector<Case> cases;
    std::string text;
    for (int n = 1; std::getline(in, text); ++n) {
        if (text.empty() || text[0] == '#') continue;
        const size_t arrow = text.find(" => ");
        Case c{n, "", {}, arrow == std::string::npos ? "" : text.substr(arrow + 4)};
        std::istringstream words(text.substr(0, arrow));
        words >> c.kind;
        for (std::string w; words >> w;) c.args.push_back(w);
        cases.push_back(c);
    }
    return cases;
}

template <class T>
T lookup(const std::map<std::string, T>& names, const std::string& name) {
    auto it = names.find(name);
    EXPECT_NE(it, names.end()) << "unknown name " << name;
    return it == names.end() ? T{} : it->second;
}

const std::map<std::string, SliderEvent> kSliderEvents = {
    {"LineLeft", SliderEvent::LineLeft},   {"LineRight", SliderEvent::LineRight},
    {"PageLeft", SliderEvent::PageLeft},   {"PageRight", SliderEvent::PageRight},
    {"ThumbReleased", SliderEvent::ThumbReleased}, {"ThumbTrack", SliderEvent::ThumbTrack},
    {"Other", SliderEvent::Other}};
const std::map<std::string, int> kRows = {{"NodeScale", kRowNodeScale},     {"LinkScale", kRowLinkScale},
                                          {"MaxNodeRadius", kRowMaxNodeRadius}, {"MaxLinkWidth", kRowMaxLinkWidth},
                                          {"NodeTimeout", kRowNodeTimeout}, {"LinkTimeout", kRowLinkTimeout},
                                          {"FontScale", kRowFontScale}};
const std::map<std::string, PaletteSliderEvent> kPaletteEvents = {
    {"LineUp", PaletteSliderEvent::LineUp},       {"LineDown", PaletteSliderEvent::LineDown},
    {"PageUp", PaletteSliderEvent::PageUp},       {"PageDown", PaletteSliderEvent::PageDown},
    {"ThumbPosition", PaletteSliderEvent::ThumbPosition}, {"ThumbTrack", PaletteSliderEvent::ThumbTrack},
    {"Other", PaletteSliderEvent::Other}};

void set_setting(int row, double v) {
    MapSettings& m = map_settings();
    ModelSettings& s = model_settings();
    switch (row) {
        case kRowNodeScale: m.node_scale = v; break;
        case kRowLinkScale: m.link_scale = v; break;
        case kRowMaxNodeRadius: m.max_node_radius = v; break;
        case kRowMaxLinkWidth: m.max_link_width = int(v); break;
        case kRowNodeTimeout: s.node_timeout = int(v); break;
        case kRowLinkTimeout: s.link_timeout = int(v); break;
        case kRowFontScale: s.font_scale = v; break;
    }
}

std::string percent_text(const ZoomPercent& r) {
    return std::to_string(r.x0) + "," + std::to_string(r.y0) + "," + std::to_string(r.x1) + "," + std::to_string(r.y1);
}

// Runs one zoom case: the events, then "posts | state".
std::string run_zoom(const Case& c) {
    ZoomControl z;
    z.resize(std::stoi(c.args[0]), std::stoi(c.args[1]));
    z.set_aspect(std::stoi(c.args[2]));
    std::string posts;
    for (size_t i = 3; i < c.args.size(); ++i) {
        const std::string& op = c.args[i];
        int x = 0, y = 0;
        if (op[0] != 'A') std::sscanf(op.c_str() + 1, "%d,%d", &x, &y);
        ZoomPercent post;
        bool sent = false;
        switch (op[0]) {
            case 'L': sent = z.left_down(x, y); break;
            case 'l': sent = z.left_up(x, y, &post); break;
            case 'R': sent = z.right_down(x, y); break;
            case 'r': sent = z.right_up(x, y, &post); break;
            case 'M': sent = z.mouse_move(x, y, &post); break;
            case 'A': z.set_aspect(std::stoi(op.substr(1))); break;
        }
        if (sent) posts += (posts.empty() ? "" : " ") + percent_text(post);
    }
    const PixelRect& r = z.rect();
    const std::string state = z.shown() ? "shown " + percent_text(ZoomPercent{r.x0, r.y0, r.x1, r.y1}) : "hidden";
    return posts + (posts.empty() ? "| " : " | ") + state;
}

std::string run_case(const Case& c) {
    const auto& a = c.args;
    auto i = [&](size_t k) { return std::stoi(a[k]); };
    if (c.kind == "step") {
        return std::to_string(controls_step(i(0), lookup(kSliderEvents, a[1]), a.size() > 2 ? i(2) : 0));
    }
    if (c.kind == "timeouts") {
        int values[kControlRows] = {};
        values[kRowNodeTimeout] = i(0);
        values[kRowLinkTimeout] = i(1);
        model_settings().node_timeout = i(0);
        model_settings().link_timeout = i(1);
        EXPECT_FALSE(controls_apply(lookup(kRows, a[2]), i(3), values));
        return std::to_string(model_settings().node_timeout.load()) + " " + std::to_string(model_settings().link_timeout.load());
    }
    if (c.kind == "initial") {
        const int row = lookup(kRows, a[0]);
        set_setting(row, std::stod(a[1]));
        return std::to_string(controls_initial_value(row));
    }
    if (c.kind == "zoom") return run_zoom(c);
    if (c.kind == "mark") {
        const PixelRect b = zoom_mark_box(std::stod(a[0]), std::stod(a[1]), std::stod(a[2]), i(3), i(4));
        return std::to_string(b.x0) + " " + std::to_string(b.y0) + " " + std::to_string(b.x1) + " " + std::to_string(b.y1);
    }
    if (c.kind == "bar") {
        const int bar = chart_bar(i(0), i(1));
        const BarRows rows = chart_bar_rows(i(0), bar);
        return std::to_string(bar) + " " +
               (rows.first > rows.last ? "none" : std::to_string(rows.first) + ".." + std::to_string(rows.last));
    }
    if (c.kind == "grid") {
        const GridRows g = chart_grid_rows(i(0));
        return std::to_string(g.row[0]) + " " + std::to_string(g.row[1]) + " " + std::to_string(g.row[2]);
    }
    if (c.kind == "timemark") {
        const TimeMark m = chart_time_mark(i(0), i(1), i(2), i(3));
        std::string text = chart_time_text(m);
        EXPECT_EQ(text.back(), ' ');
        text.pop_back();
        return std::to_string(m.column) + " " + text;
    }
    if (c.kind == "pslider") {
        int v = -1;
        bool set = false;
        if (!palette_slider_value(lookup(kPaletteEvents, a[0]), i(1), i(2), &v, &set)) return "none";
        return std::to_string(v) + (set ? " set" : " keep");
    }
    ADD_FAILURE() << "unknown kind " << c.kind;
    return "";
}

class PanelsTest : public ::testing::Test {
protected:
    void SetUp() override {
        engine_reset();
        statistics_reset();
        model_settings().node_timeout = 10;
        model_settings().link_timeout = 5;
        model_settings().font_scale = 0.5;
    }
};

}  // namespace

TEST_F(PanelsTest, TableOfCases) {
    const std::vector<Case> cases = read_cases(kData + "panel_cases.txt");
    ASSERT_GT(cases.size(), 50u);
    for (const Case& c : cases) EXPECT_EQ(run_case(c), c.expected) << "panel_cases.txt line " << c.line;
}

TEST_F(PanelsTest, FontScaleRowAsksForNewLabelSizes) {
    int values[kControlRows] = {};
    EXPECT_TRUE(controls_apply(kRowFontScale, 25, values));
    EXPECT_DOUBLE_EQ(model_settings().font_scale.load(), 0.25);
    EXPECT_FALSE(controls_apply(kRowMaxLinkWidth, 42, values));
    EXPECT_EQ(map_settings().max_link_width.load(), 42);
    EXPECT_FALSE(controls_apply(kRowNodeScale, 35, values));
    EXPECT_DOUBLE_EQ(map_settings().node_scale.load(), 0.35);
}

TEST_F(PanelsTest, StatisticsRowsAsWritten) {
    std::ifstream in(kData + "statistics_rows.txt");
    std::string line;
    int figures = 0;
    StatisticsRow rows[kStatisticsRows];
    int row = 0;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        if (line.rfind("figures ", 0) == 0) {
            std::istringstream f(line.substr(8));
            StatisticsValues v;
            std::string runtime;
            f >> v.average >> v.peak >> v.frames_per_second >> v.bytes_per_second >> v.dropped >> v.unattributed >> runtime;
            statistics_rows(v, runtime.c_str(), rows);
            row = 0;
            ++figures;
            continue;
        }
        ASSERT_LT(row, kStatisticsRows);
        EXPECT_EQ("|" + std::string(rows[row].label) + "|" + rows[row].value + "|", line) << "figures " << figures;
        ++row;
    }
    EXPECT_EQ(figures, 3);
}

TEST_F(PanelsTest, PeakAndAverageGoBackIntoTheNetwork) {
    Network* net = net_create("eth0");
    net_list_add(net);
    struct Step {
        uint32_t load;
        int peak;
        float average;
    };
    const Step steps[] = {{10, 10, 10.f}, {20, 20, 15.f}, {0, 20, 10.f}, {30, 30, 15.f}, {5, 30, 13.f}};
    StatisticsValues v;
    for (const Step& s : steps) {
        net->load = s.load;
        statistics_pass(net);
        EXPECT_EQ(net->peak_load, s.peak);
        EXPECT_FLOAT_EQ(net->average_load, s.average);
        ASSERT_TRUE(statistics_take(&v));
        EXPECT_FLOAT_EQ(v.peak, float(s.peak));
        EXPECT_FLOAT_EQ(v.average, s.average);
        EXPECT_EQ(statistics_load_value()->load(), int(s.load));
    }
    EXPECT_EQ(v.samples, 5u);
    net->dropped = 17;
    statistics_pass(net);
    ASSERT_TRUE(statistics_take(&v));
    EXPECT_EQ(v.dropped, 17u);
}

TEST_F(PanelsTest, AtMostOneRefreshIsEverPending) {
    Network* net = net_create("eth0");
    net_list_add(net);
    // The capture thread passes as fast as it can while the window thread takes
    // refreshes: each refresh asked for is taken once, and none is asked for while one
    // is pending, so the queue never holds more than one.
    std::atomic<int> asked{0};
    std::atomic<bool> done{false};
    std::thread capture([&] {
        for (int i = 0; i < 20000; ++i)
            if (statistics_pass(net)) asked.fetch_add(1);
        done.store(true);
    });
    StatisticsValues v;
    int taken = 0;
    while (!done.load()) {
        if (statistics_take(&v)) ++taken;
        std::this_thread::yield();
    }
    capture.join();
    if (statistics_take(&v)) ++taken;
    EXPECT_EQ(taken, asked.load());
    EXPECT_LE(asked.load(), 20000);
    EXPECT_FALSE(statistics_take(&v));
    EXPECT_TRUE(statistics_pass(net));
    EXPECT_FALSE(statistics_pass(net)) << "a refresh is pending already";
    statistics_refresh_dropped();  // there was no panel to send it to: the next pass asks again
    EXPECT_TRUE(statistics_pass(net));
}

// --- Protocol Key and Focus Builder, over a small protocol tree ---

class FocusTreeTest : public PanelsTest {
protected:
    void SetUp() override {
        PanelsTest::SetUp();
        EngineOptions o;
        o.protocols = kData + "focus_tree.pdl";
        ASSERT_EQ(engine_start(o), EngineStatus::ok);
        focus_dictionary().clear();
        cfocus_set_current(nullptr);
    }
    void TearDown() override {
        focus_dictionary().clear();
        cfocus_set_current(nullptr);
    }
    static const ProtocolNode* node(const char* name) { return symbol_lookup(name)->node; }
    static Focus make(const char* name, std::vector<std::pair<const char*, int>> entries) {
        Focus f;
        std::snprintf(f.name, sizeof f.name, "%s", name);
        for (auto [p, colour] : entries) f.entries.push_back(FocusItem{node(p), p, colour});
        return f;
    }
};

TEST_F(FocusTreeTest, KeyWithThreeEntriesShowsThemOtherAnd14EmptyRows) {
    KeyContents k = protocol_key_rows(nullptr);
    EXPECT_EQ(k.title, "No Focus");
    ASSERT_EQ(k.rows.size(), 18u);
    for (const KeyRow& r : k.rows) EXPECT_EQ(r.colour, kKeyNoColour);

    focus_dictionary() = {make("Mine", {{"IP", 3}, {"ARP", 0}, {"TCP", 31}})};
    cfocus_set_current(&focus_dictionary()[0]);
    k = protocol_key_rows(cfocus_current());
    EXPECT_EQ(k.title, "Mine");
    ASSERT_EQ(k.rows.size(), 18u);
    const std::vector<std::pair<std::string, int>> expected = {{"IPv4", 3}, {"ARP", 0}, {"TCP", 31}, {"Other", 32}};
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(k.rows[i].text, expected[i].first);
        EXPECT_EQ(k.rows[i].colour, expected[i].second);
    }
    for (size_t i = 4; i < 18; ++i) EXPECT_EQ(k.rows[i].colour, kKeyNoColour) << i;
}

TEST_F(FocusTreeTest, KeyOfMoreThan17EntriesScrolls) {
    std::vector<std::pair<const char*, int>> many(20, {"UDP", 1});
    focus_dictionary() = {make("Many", many)};
    cfocus_set_current(&focus_dictionary()[0]);
    const KeyContents k = protocol_key_rows(cfocus_current());
    ASSERT_EQ(k.rows.size(), 21u);
    EXPECT_EQ(k.rows[20].text, "Other");
    EXPECT_EQ(protocol_key_first_row(21, 2), 2);
    EXPECT_EQ(protocol_key_first_row(21, 9), 3);
    EXPECT_EQ(protocol_key_first_row(21, -1), 0);
    EXPECT_EQ(protocol_key_first_row(18, 5), 0);
}

TEST_F(FocusTreeTest, TreeItemsInTheBuildersOrder) {
    // ROOT's children are IP, ARP, RARP (last written first), then OTHER_ROOT; IP's are
    // UDP, TCP, OTHER_IP. Leaves come as they stand, a node with sub-protocols after its
    // chain; a chain's last node (the catch-all) is not shown.
    std::string shown;
    for (const TreeItem& t : focus_tree_items(pd_root())) {
        shown += std::string(t.node->label) + "/" + std::to_string(t.parent) + "/" + std::to_string(t.icon) + " ";
    }
    EXPECT_EQ(shown, "Ethernet/-1/0 ARP/0/1 RARP/0/1 IPv4/0/0 UDP/3/1 TCP/3/1 ");
}

TEST_F(FocusTreeTest, BuilderWorksOnADeepCopyThatOkPutsInPlace) {
    focus_dictionary() = {make("Web", {{"TCP", 2}}), make("Plain", {})};
    cfocus_set_current(&focus_dictionary()[0]);
    {
        FocusBuilderModel cancelled;  // edits, then Cancel: the copy goes
        ASSERT_EQ(cancelled.current(), 0);
        EXPECT_TRUE(cancelled.add_entry(node("ARP")));
        EXPECT_TRUE(cancelled.set_colour(1, 7));
        cancelled.add_focus();
        cancelled.rename(2, "A name that is far longer than thirty-one bytes");
    }
    ASSERT_EQ(focus_dictionary().size(), 2u);
    EXPECT_EQ(focus_dictionary()[0].entries.size(), 1u);
    EXPECT_STREQ(cfocus_current()->name, "Web");

    FocusBuilderModel b;
    b.select(1);
    EXPECT_TRUE(b.add_entry(node("UDP")));
    EXPECT_FALSE(b.set_colour(0, 32)) << "the picker offers 0..31";
    EXPECT_TRUE(b.set_colour(0, 9));
    b.add_focus();
    EXPECT_EQ(b.rename(2, "A name that is far longer than thirty-one bytes"), "A name that is far longer than ");
    EXPECT_EQ(b.current(), 1);
    EXPECT_EQ(focus_dictionary()[1].entries.size(), 0u) << "the program's dictionary is untouched until OK";
    EXPECT_EQ(b.commit(), "Plain");
    ASSERT_EQ(focus_dictionary().size(), 3u);
    EXPECT_STREQ(focus_dictionary()[2].name, "A name that is far longer than ");
    ASSERT_NE(cfocus_current(), nullptr);
    EXPECT_STREQ(cfocus_current()->name, "Plain");
    ASSERT_EQ(cfocus_current()->entries.size(), 1u);
    EXPECT_EQ(cfocus_current()->entries[0].colour, 9);

    FocusBuilderModel d;
    d.select(0);
    d.delete_current();
    EXPECT_EQ(d.current(), -1);
    EXPECT_FALSE(d.add_entry(node("ARP"))) << "nothing to add to without a current focus";
    EXPECT_EQ(d.commit(), "");
    EXPECT_EQ(cfocus_current(), nullptr);
    EXPECT_EQ(focus_dictionary().size(), 2u);
    EXPECT_EQ(protocol_key_rows(cfocus_current()).title, "No Focus");
}

TEST_F(FocusTreeTest, EntryWithoutAProtocolShowsItsStoredName) {
    FocusItem lost{nullptr, "GONE", 4};
    EXPECT_EQ(focus_entry_label(lost), "GONE");
    FocusItem known{node("IP"), "IP", 4};
    EXPECT_EQ(focus_entry_label(known), "IPv4");
}
