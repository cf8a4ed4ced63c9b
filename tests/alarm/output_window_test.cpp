// The alarm output window (offscreen): its columns and widths, the 200-line limit, the
// beep a line, the time text, and lines that come from another thread.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <QHeaderView>
#include <QTreeWidget>

#include <thread>

#include "alarm/output.h"
#include "alarm/qt/actions.h"
#include "alarm/qt/output_window.h"

namespace {

constexpr int64_t kWhen = 315626635;  // Wed Jan 02 02:03:55 1980 in UTC (the tests run in UTC)

class OutputWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        alarm_output_settings().output[0].store(180);
        alarm_output_settings().output[1].store(110);
        window_ = alarm_output_create(&column_);
        window_->list()->clear();  // lines an earlier test left waiting
        window_->set_beep([this] { ++beeps_; });
    }
    void TearDown() override { delete window_; }
    QString text(int row, int column) const { return window_->list()->topLevelItem(row)->text(column); }
    int rows() const { return window_->list()->topLevelItemCount(); }

    QWidget column_;  // stands for the panel column
    AlarmOutputWindow* window_ = nullptr;
    int beeps_ = 0;
};

}  // namespace

TEST_F(OutputWindowTest, TwoColumnsWithTheStoredWidthsWhichGoBackAtDestruction) {
    EXPECT_EQ(window_->objectName(), "AlarmOutput");
    EXPECT_EQ(window_->windowTitle(), "Alarm Output Window");
    EXPECT_EQ(window_->size(), QSize(0, 0));
    QTreeWidget* list = window_->list();
    ASSERT_EQ(list->columnCount(), 2);
    EXPECT_EQ(list->headerItem()->text(0), "Alarm Condition");
    EXPECT_EQ(list->headerItem()->text(1), "Time");
    EXPECT_EQ(list->columnWidth(0), 180);
    EXPECT_EQ(list->columnWidth(1), 110);
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
    list->setColumnWidth(0, 201);
    list->setColumnWidth(1, 77);
    delete window_;
    window_ = nullptr;
    EXPECT_EQ(alarm_output_settings().output[0].load(), 201);
    EXPECT_EQ(alarm_output_settings().output[1].load(), 77);
}

TEST_F(OutputWindowTest, ALineIsTheNotifyStringAndTheLocalTimeAndBeepsOnce) {
    window_->add_line("the backup runs", kWhen);
    window_->add_line("", kWhen + 86400 * 366);
    window_->add_line("two\nlines", 0);
    ASSERT_EQ(rows(), 3);
    EXPECT_EQ(text(0, 0), "the backup runs");
    EXPECT_EQ(text(0, 1), "Wed Jan 02 02:03:55 1980");
    EXPECT_EQ(text(1, 0), "");
    EXPECT_EQ(text(1, 1), "Fri Jan 02 02:03:55 1981");
    EXPECT_EQ(text(2, 0), "two lines");
    EXPECT_EQ(window_->list()->topLevelItem(2)->toolTip(0), "two\nlines");
    EXPECT_EQ(text(2, 1), "Thu Jan 01 00:00:00 1970");
    EXPECT_EQ(beeps_, 3);
}

TEST_F(OutputWindowTest, The201stLineTakesThePlaceOfTheFirst) {
    for (int i = 1; i <= 200; ++i) window_->add_line("line " + std::to_string(i), kWhen);
    ASSERT_EQ(rows(), 200);
    EXPECT_EQ(text(0, 0), "line 1");
    window_->add_line("line 201", kWhen);
    ASSERT_EQ(rows(), 200);
    EXPECT_EQ(text(0, 0), "line 2");
    EXPECT_EQ(text(199, 0), "line 201");
    for (int i = 202; i <= 450; ++i) window_->add_line("line " + std::to_string(i), kWhen);
    EXPECT_EQ(rows(), 200);
    EXPECT_EQ(text(0, 0), "line 251");
    EXPECT_EQ(beeps_, 450);
}

// The alarm thread's lines arrive by a queued call; the window takes them on its own
// thread, at most the newest 200 of a flood.
TEST_F(OutputWindowTest, LinesFromAnotherThreadArriveOnTheWindowThread) {
    std::thread alarm_thread([] {
        for (int i = 1; i <= 250; ++i) alarm_output_add("fired " + std::to_string(i), kWhen);
    });
    alarm_thread.join();
    EXPECT_EQ(rows(), 0);  // nothing touched the list off its thread
    QCoreApplication::processEvents();
    ASSERT_EQ(rows(), 200);
    EXPECT_EQ(text(0, 0), "fired 51");
    EXPECT_EQ(text(199, 0), "fired 250");
    alarm_output_add("one more", kWhen);
    QCoreApplication::processEvents();
    EXPECT_EQ(text(199, 0), "one more");
}

// Lines added while no window exists are shown by the next one.
TEST_F(OutputWindowTest, LinesBeforeTheWindowWaitForIt) {
    delete window_;
    window_ = nullptr;
    alarm_output_add("early", kWhen);
    QCoreApplication::processEvents();
    window_ = alarm_output_create(&column_);
    ASSERT_EQ(rows(), 1);
    EXPECT_EQ(text(0, 0), "early");
}

TEST(OutputMailbox, KeepsTheNewest200AndCountsThePassedOver) {
    OutputMailbox box;
    EXPECT_TRUE(box.post({"first", 1}));
    EXPECT_FALSE(box.post({"second", 2}));
    for (int i = 3; i <= 250; ++i) (void)box.post({"n", i});
    uint64_t passed = 0;
    std::deque<OutputLine> lines = box.take(&passed);
    ASSERT_EQ(lines.size(), 200u);
    EXPECT_EQ(lines.front().time, 51);
    EXPECT_EQ(lines.back().time, 250);
    EXPECT_EQ(passed, 50u);
    EXPECT_TRUE(box.take(&passed).empty());
    EXPECT_EQ(passed, 0u);
    EXPECT_TRUE(box.post({"again", 3}));
}

// The list follows the newest line.
TEST_F(OutputWindowTest, TheNewestLineIsInView) {
    column_.resize(300, 120);
    window_->setGeometry(0, 0, 300, 120);
    column_.show();
    QCoreApplication::processEvents();
    for (int i = 1; i <= 50; ++i) window_->add_line("line " + std::to_string(i), kWhen);
    QCoreApplication::processEvents();
    QTreeWidget* list = window_->list();
    const QRect last = list->visualItemRect(list->topLevelItem(49));
    EXPECT_TRUE(list->viewport()->rect().contains(last.center())) << last.y() << " in " << list->viewport()->height();
}

// A sound that cannot be played changes nothing; a flood of them starts one.
TEST(AlarmSound, AFileThatCannotPlayIsIgnored) {
    for (int i = 0; i < 100; ++i) alarm_qt_play("/nonexistent/alarm.wav");
    QCoreApplication::processEvents();
    alarm_qt_beep();
    QCoreApplication::processEvents();
    SUCCEED();
}
