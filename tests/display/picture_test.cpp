// Pictures of whole maps compared with reviewed reference images under data/, so that
// any change in the drawing shows up. A small share of differing pixels is tolerated
// (a pen rasterised a pixel differently by another Qt version).
//
// To refresh a reference after a deliberate change, run the test with
// HOPSCOPE_UPDATE_REFERENCE=1, look at the new image, and commit it:
//   HOPSCOPE_UPDATE_REFERENCE=1 build/tests/display/display_tests --gtest_filter='Picture*'
// On a mismatch the image made is left in the build directory beside the test.
#include <QImage>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "display/map_fixture.h"
#include "support/pcap_writer.h"

namespace {

const std::string kReferenceDir = std::string(HOPSCOPE_TEST_DIR) + "/display/data/";
const std::string kActualDir = std::string(HOPSCOPE_BIN_DIR) + "/tests/display/";

// Pixels whose colour differs by more than a little in any channel.
int differing_pixels(const QImage& a, const QImage& b) {
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            if (std::abs(qRed(p) - qRed(q)) > 24 || std::abs(qGreen(p) - qGreen(q)) > 24 ||
                std::abs(qBlue(p) - qBlue(q)) > 24)
                ++n;
        }
    return n;
}

void expect_matches_reference(const QImage& made, const std::string& name) {
    const std::string reference = kReferenceDir + name;
    const char* update = std::getenv("HOPSCOPE_UPDATE_REFERENCE");
    if (update && *update && std::string(update) != "0") {
        ASSERT_TRUE(made.save(QString::fromStdString(reference), "PNG")) << reference;
        std::printf("wrote %s: look at it before committing\n", reference.c_str());
        return;
    }
    const QImage expected(QString::fromStdString(reference));
    ASSERT_FALSE(expected.isNull()) << "no reference image " << reference;
    const QImage got = made.convertToFormat(QImage::Format_RGB32);
    const QImage want = expected.convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(got.size(), want.size());
    const int differ = differing_pixels(got, want);
    // At most 0.2 % of the pixels.
    const int allowed = got.width() * got.height() / 500;
    if (differ > allowed) {
        std::filesystem::create_directories(kActualDir);
        made.save(QString::fromStdString(kActualDir + name), "PNG");
    }
    EXPECT_LE(differ, allowed) << name << ": " << differ << " pixels differ; the image made is in " << kActualDir;
}

}  // namespace

// A model built by hand: names, manufacturers, an idle host, focus colours, every
// link width rule, a host cut to the maximum radius.
TEST_F(MapTest, PictureOfAScene) {
    map_settings().show_manufacturers = 1;
    model_settings().font_scale.store(1.0f);
    htextsize(0.06f, 0.06f);  // label widths at that scale
    const char* macs[] = {"00:00:0C:01:02:03", "00:01:E6:10:20:30", "00:0D:93:AA:BB:CC", "00:10:5A:11:22:33",
                          "00:1B:21:3A:4F:5C", "00:50:56:C0:00:01", "08:00:20:0A:0B:0C", "3C:D9:2B:77:88:99",
                          "AC:DE:48:00:11:22", "F4:CE:46:3B:C9:02", "FF:FF:FF:FF:FF:FF"};
    const char* names[] = {"router", nullptr, "mac-studio", nullptr, "fileserver", "vm-host", "sparc", nullptr,
                           nullptr, "printer", nullptr};
    const char* makers[] = {"Cisco", "Hewlett Packard", "Apple", "3Com", "Intel", "VMware", "Sun", "HP",
                            "Private", "HP", nullptr};
    const double rates[] = {80000, 4000, 20000, 0, 260000, 9000, 1200, 0, 30000, 15000, 0};
    Host* h[11];
    for (int i = 0; i < 11; ++i) h[i] = add_host(macs[i], rates[i], names[i], makers[i]);
    map_settings().max_node_radius = 0.2;  // fileserver is cut to it
    h[7]->display = 0;                     // idle: not drawn, keeps its place
    add_link(h[0], h[4], 18000, 0);   // 10 pixels
    add_link(h[4], h[0], 9000, 1);    // 5
    add_link(h[2], h[4], 7000, 2);    // 4
    add_link(h[5], h[10], 3000, -1);  // 1, "Other"
    add_link(h[9], h[3], 12000, 5);   // 7
    add_link(h[8], h[6], 500, 3);     // 0: one pixel
    add_link(h[1], h[10], 4000, -1);  // 2
    add_link(h[7], h[1], 30000, 6);   // 17, from the idle host
    Link* quiet = add_link(h[6], h[2], 80000, 4);
    quiet->display = 0;  // inactive: not drawn

    expect_matches_reference(render(640, 480), "scene_640x480.png");
}

namespace {

const std::string kTool = std::string(HOPSCOPE_BIN_DIR) + "/src/replay/hopscope-replay";

// Ten seconds: five clients talk to a server, which answers with big frames; one
// client broadcasts ARP; the last client falls silent after two seconds.
std::string small_capture() {
    using testsupport::ether_frame;
    std::vector<testsupport::Frame> frames;
    const char* server = "02:00:00:00:00:01";
    const char* clients[] = {"02:00:00:00:00:02", "02:00:00:00:00:03", "02:00:00:00:00:04",
                             "02:00:00:00:00:05", "02:00:00:00:00:06"};
    for (int t = 0; t < 100; ++t) {
        const int64_t sec = 1000 + t / 10, usec = (t % 10) * 100000;
        for (int c = 0; c < 5; ++c) {
            if (c == 4 && t >= 20) continue;
            frames.push_back({sec, usec, ether_frame(server, clients[c], 0x0800, 46 + c * 100)});
            frames.push_back({sec, usec + 1000, ether_frame(clients[c], server, 0x0800, 1400 - c * 200)});
        }
        if (t % 5 == 0) frames.push_back({sec, usec + 2000, ether_frame("ff:ff:ff:ff:ff:ff", clients[2], 0x0806, 46)});
    }
    const std::string pcap = testsupport::temp_path("map.pcap");
    testsupport::write_pcap(pcap, frames);
    return pcap;
}

int pixels_of(const QImage& image, uint32_t colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xffffffu) == colour) ++n;
    return n;
}

}  // namespace

// A capture written here, replayed by the tool with --map.
TEST(Picture, ReplayToolMapOfASmallCapture) {
    if (!std::filesystem::exists(kTool)) GTEST_SKIP() << "no replay tool";
    const std::string png = testsupport::temp_path("map.png");
    const std::string command = kTool + " --no-protocols --map " + png + " --size 480x400 --font-size 0.8 --font " HOPSCOPE_DATA_DIR
                                "/font.bin " + small_capture();
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const QImage made(QString::fromStdString(png));
    ASSERT_FALSE(made.isNull());
    EXPECT_EQ(made.size(), QSize(480, 400));
    expect_matches_reference(made, "replay_480x400.png");
}

TEST(Picture, ReplayToolColoursLinksByTheFocus) {
    if (!std::filesystem::exists(kTool)) GTEST_SKIP() << "no replay tool";
    const std::string pcap = small_capture();
    const std::string png = testsupport::temp_path("focus.png");
    const std::string command = kTool + " --protocols " HOPSCOPE_DATA_DIR "/protocol.pdl --focus IP:3 --map " + png +
                                " --size 480x400 " + pcap;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const QImage made = QImage(QString::fromStdString(png)).convertToFormat(QImage::Format_RGB32);
    // IPv4 links in palette colour 3; the ARP broadcast matches no entry: "Other".
    EXPECT_GT(pixels_of(made, display_default_colour(3)), 300);
    EXPECT_GT(pixels_of(made, display_default_colour(32)), 50);

    for (const char* focus : {"NOSUCH:1", "IP", "IP:32", "IP:x", ":3"}) {
        const std::string bad = kTool + " --protocols " HOPSCOPE_DATA_DIR "/protocol.pdl --focus " + focus +
                                " --map /dev/null " + pcap + " 2>/dev/null";
        EXPECT_NE(std::system(bad.c_str()), 0) << focus;
    }
    const std::string without_tree = kTool + " --no-protocols --focus IP:3 --map /dev/null " + pcap + " 2>/dev/null";
    EXPECT_NE(std::system(without_tree.c_str()), 0);
}

TEST(Picture, ReplayToolRejectsABadSize) {
    const std::string& tool = kTool;
    if (!std::filesystem::exists(tool)) GTEST_SKIP() << "no replay tool";
    const std::string pcap = testsupport::temp_path("one.pcap");
    testsupport::write_pcap(pcap, {{1, 0, testsupport::ether_frame("02:00:00:00:00:01", "02:00:00:00:00:02", 0x0800)}});
    for (const char* size : {"0x10", "100", "100x", "12x34x5", "-5x5", "99999x10"}) {
        const std::string command = tool + " --map /dev/null --size " + size + " " + pcap + " 2>/dev/null";
        EXPECT_NE(std::system(command.c_str()), 0) << size;
    }
    const std::string missing_font = tool + " --map /dev/null --font /nonexistent/font.bin " + pcap + " 2>/dev/null";
    EXPECT_NE(std::system(missing_font.c_str()), 0);
}
