// The Alarm Builder dialog, offscreen: its controls drive the working copy, OK hands it
// to the engine, and a host name the name service answers after the wait still fills
// the alarm.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "alarm/qt/alarm_builder.h"
#include "alarm_support.h"
#include "protocol/pd.h"

using namespace alarmtest;

namespace {

// "slowhost" is answered only when the test lets it.
struct HeldResolver {
    std::mutex mutex;
    std::condition_variable cv;
    bool release = false;
};
HeldResolver g_held;

class AlarmBuilderTest : public AlarmTest {
protected:
    void SetUp() override {
        AlarmTest::SetUp();
        pd_set_root(symbol_lookup("ROOT")->node);
        alarm_init();
    }
    void TearDown() override {
        dialog.reset();
        if (resolver_.joinable()) {
            {
                std::lock_guard lock(g_held.mutex);
                g_held.release = true;
            }
            g_held.cv.notify_all();
            hostc_stop();
            resolver_.join();
            hostc_set_resolver(previous_);
        }
        AlarmTest::TearDown();
    }
    void load(const std::string& adl) {
        MessageCapture quiet;
        ASSERT_EQ(adl_parse_bytes(adl.data(), adl.size(), &alarm_list()), kAdlWhole);
    }
    void open() {
        dialog = std::make_unique<AlarmBuilder>();
        dialog->resolve_wait_ms = 1;  // no test waits for a resolver that is not there
        dialog->show();
    }
    // The field loses the focus, as when the user moves on.
    void leave(QWidget* field) {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(field, &out);
    }
    void type(QLineEdit* edit, const QString& text) {
        edit->setText(text);
        leave(edit);
    }
    void start_resolver() {
        g_held.release = false;
        previous_ = hostc_set_resolver(one_name_resolver("slowhost", 0x44, [] {
            std::unique_lock lock(g_held.mutex);
            g_held.cv.wait(lock, [] { return g_held.release; });
        }));
        resolver_ = std::thread(hostc_resolve);
    }

    std::unique_ptr<AlarmBuilder> dialog;
    std::thread resolver_;
    SystemResolver previous_;
};

std::vector<std::string> engine_lines() { return describe_list(alarm_list(), false); }

}  // namespace

TEST_F(AlarmBuilderTest, OpensOnTheFirstAlarmWithTheListFocused) {
    load("Threshold host 00:1C:C0:12:A7:E5 high 300 pkts \"dev109\" ON\n"
         "Occurrence protocol DHCP \"dhcp\" OFF\n");
    open();
    EXPECT_EQ(dialog->windowTitle(), "Alarm Builder");
    ASSERT_EQ(dialog->alarms->count(), 2);
    EXPECT_EQ(dialog->alarms->item(0)->text(), "dev109");
    EXPECT_EQ(dialog->alarms->currentRow(), 0);
    EXPECT_TRUE(dialog->host->isChecked());
    EXPECT_TRUE(dialog->threshold_hi->isChecked());
    EXPECT_TRUE(dialog->pkts->isChecked());
    EXPECT_EQ(dialog->value->text(), "300");
    EXPECT_EQ(dialog->first_caption->text(), "Name/Address");
    EXPECT_EQ(dialog->second->currentText(), "N/A");
    EXPECT_FALSE(dialog->second->isEnabled());

    dialog->alarms->setCurrentRow(1);
    EXPECT_TRUE(dialog->protocol->isChecked());
    EXPECT_TRUE(dialog->occurrence->isChecked());
    EXPECT_EQ(dialog->first->currentText(), "DHCP");
    EXPECT_EQ(dialog->first_caption->text(), "Protocol");
    EXPECT_FALSE(dialog->threshold_hi->isEnabled());
    EXPECT_FALSE(dialog->kbytes->isEnabled());
    EXPECT_FALSE(dialog->value->isEnabled());
    EXPECT_EQ(dialog->value->text(), "N/A");
    // The protocol list is the tree's, entries indented two spaces a level.
    EXPECT_EQ(dialog->first->itemText(0), "Ethernet");
    EXPECT_GT(dialog->first->count(), 100);
}

TEST_F(AlarmBuilderTest, NewThenOkGivesTheDisabledNewAlarm) {
    open();
    dialog->new_button->click();
    ASSERT_EQ(dialog->alarms->count(), 1);
    EXPECT_EQ(dialog->alarms->item(0)->text(), "New Alarm");
    EXPECT_TRUE(dialog->network->isChecked());
    EXPECT_TRUE(dialog->threshold_lo->isChecked());
    EXPECT_TRUE(dialog->kbytes->isChecked());
    EXPECT_EQ(dialog->value->text(), "0");
    dialog->ok_button->click();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(engine_lines(), std::vector<std::string>{"network threshold low 0 kbytes OFF \"New Alarm\""});
    EXPECT_TRUE(alarm_list().edited);
    // Such an alarm never fires, even when enabled: no count is below 0.
    EXPECT_FALSE(alarm_threshold_fires(kLevelLow, kUnitKbytes, 0, 0, 0));
}

TEST_F(AlarmBuilderTest, ValueFieldFollowsTheUnit) {
    open();
    dialog->new_button->click();
    dialog->bandwidth->click();
    type(dialog->value, "150");
    EXPECT_EQ(dialog->value->text(), "0");
    dialog->kbytes->click();
    type(dialog->value, "150");
    EXPECT_EQ(dialog->value->text(), "150");
    dialog->pkts->click();
    type(dialog->value, "-5");
    EXPECT_EQ(dialog->value->text(), "4294967291");
    dialog->threshold_hi->click();
    dialog->ok_button->click();
    ASSERT_EQ(alarm_list().alarms.size(), 1u);
    const Alarm& a = *alarm_list().alarms[0];
    EXPECT_EQ(a.threshold, 4294967291u);
    // Larger than any count: high never fires, low always does.
    EXPECT_FALSE(alarm_threshold_fires(kLevelHigh, kUnitPkts, a.threshold, 4000000000u, 0));
    EXPECT_TRUE(alarm_threshold_fires(kLevelLow, kUnitPkts, a.threshold, 4000000000u, 0));
}

TEST_F(AlarmBuilderTest, DoubleClickTwiceLeavesTheAlarmAsItWas) {
    load("Threshold network high 600 pkts \"busy\" ON\n");
    open();
    QListWidgetItem* item = dialog->alarms->item(0);
    const QImage on = item->icon().pixmap(16, 16).toImage();
    Q_EMIT dialog->alarms->itemDoubleClicked(item);
    EXPECT_EQ(dialog->model().alarm(0)->disabled, 1);
    EXPECT_NE(item->icon().pixmap(16, 16).toImage(), on);
    Q_EMIT dialog->alarms->itemDoubleClicked(item);
    EXPECT_EQ(dialog->model().alarm(0)->disabled, 0);
    EXPECT_EQ(item->icon().pixmap(16, 16).toImage(), on);
}

TEST_F(AlarmBuilderTest, LabelEditKeepsEightyCharactersAndCancelKeepsTheOldList) {
    load("Threshold network high 600 pkts \"busy\" ON\n");
    open();
    dialog->alarms->item(0)->setText(QString(100, 'x'));
    EXPECT_EQ(dialog->alarms->item(0)->text(), QString(80, 'x'));
    EXPECT_EQ(dialog->model().alarm(0)->notify, std::string(80, 'x'));
    dialog->cancel_button->click();
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(engine_lines(), std::vector<std::string>{"network threshold high 600 pkts ON \"busy\""});
    EXPECT_FALSE(alarm_list().edited);
}

TEST_F(AlarmBuilderTest, DeleteEveryAlarmThenOkWritesAnEmptyFileAtExit) {
    load("Threshold network high 600 pkts \"one\" OFF\nThreshold network high 400 kbytes \"two\" OFF\n");
    open();
    dialog->delete_button->click();
    dialog->delete_button->click();
    EXPECT_EQ(dialog->alarms->count(), 0);
    EXPECT_FALSE(dialog->delete_button->isEnabled());
    dialog->ok_button->click();
    const std::string path = prototest::write_text("Threshold network high 600 pkts \"one\" OFF\n", "emptied.adl");
    ::testing::internal::CaptureStdout();
    const AlarmSaveResult saved = alarm_save_at_exit(path.c_str());
    (void)::testing::internal::GetCapturedStdout();
    EXPECT_EQ(saved.status, 1);
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "");
}

TEST_F(AlarmBuilderTest, EnterMovesToTheNextControlInsteadOfClosing) {
    open();
    dialog->new_button->click();
    dialog->activateWindow();
    dialog->value->setFocus();
    QTest::keyClick(dialog->value, Qt::Key_Return);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), 0);
    EXPECT_NE(QApplication::focusWidget(), dialog->value);
    QTest::keyClick(dialog.get(), Qt::Key_Enter);
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(AlarmBuilderTest, TypingIntoTheFieldsAndMovingOnWithTheKeyboard) {
    load("Threshold host 00:1C:C0:12:A7:E5 high 300 pkts \"dev109\" ON\n");
    open();
    QApplication::setActiveWindow(dialog.get());
    dialog->value->setFocus();
    dialog->value->selectAll();
    QTest::keyClicks(dialog->value, "150");
    QTest::keyClick(dialog->value, Qt::Key_Return);  // on to the next control: the value is taken
    EXPECT_EQ(dialog->model().alarm(0)->threshold, 150u);
    dialog->first->setFocus();
    dialog->first->lineEdit()->selectAll();
    QTest::keyClicks(dialog->first->lineEdit(), "00:11:32:8e:4d:22");
    dialog->value->setFocus();  // leaving the combo box looks the text up
    EXPECT_EQ(dialog->model().alarm(0)->first_written.form, kWrittenEther);
    EXPECT_EQ(dialog->model().alarm(0)->first_written.bytes[1], 0x11);
}

TEST_F(AlarmBuilderTest, ProtocolTypedOrChosen) {
    load("Occurrence protocol DHCP \"dhcp\" OFF\n");
    open();
    dialog->first->setEditText("ipv4");
    leave(dialog->first);
    EXPECT_STREQ(dialog->model().alarm(0)->protocol->name, "IP");
    EXPECT_EQ(dialog->first->currentText(), "IPv4");
    dialog->first->setEditText("no such protocol");
    leave(dialog->first);
    EXPECT_EQ(dialog->model().alarm(0)->protocol, nullptr);
    Q_EMIT dialog->first->activated(0);
    EXPECT_STREQ(dialog->model().alarm(0)->protocol->name, "ROOT");
}

TEST_F(AlarmBuilderTest, BrowseFillsTheFieldAndCancelChangesNothing) {
    load("Threshold network high 600 pkts \"busy\" ON\n");
    open();
    QString answer = "/usr/share/sounds/alarm.wav";
    QStringList offered;
    alarm_builder_set_file_chooser([&](QWidget*, const QString&, const QStringList& filters, const QString&) {
        offered = filters;
        return answer;
    });
    dialog->wave_browse->click();
    EXPECT_EQ(dialog->wave_file->text(), answer);
    EXPECT_EQ(dialog->model().alarm(0)->wave_file, "/usr/share/sounds/alarm.wav");
    EXPECT_TRUE(offered.first().contains("*.wav"));
    answer.clear();
    dialog->wave_browse->click();
    EXPECT_EQ(dialog->model().alarm(0)->wave_file, "/usr/share/sounds/alarm.wav");
    answer = "/usr/bin/logger";
    dialog->command_browse->click();
    EXPECT_EQ(dialog->model().alarm(0)->command, "/usr/bin/logger");
    MessageCapture messages;
    answer = "/" + QString(90, 'p');
    dialog->command_browse->click();
    EXPECT_EQ(dialog->model().alarm(0)->command, "/usr/bin/logger");
    EXPECT_EQ(messages.messages.size(), 1u);
    dialog->play_wave->click();
    EXPECT_TRUE(dialog->model().alarm(0)->play_wave);
    alarm_builder_set_file_chooser(nullptr);
}

TEST_F(AlarmBuilderTest, AHostNameTheResolverAnswersLaterFillsTheReference) {
    start_resolver();
    load("Threshold host 00:1C:C0:12:A7:E5 high 300 pkts \"dev109\" ON\n");
    open();
    // The answer is held back until the test lets it go, so the 1 ms wait ends first.
    dialog->first->setEditText("slowhost");
    leave(dialog->first);
    Alarm& copy = *dialog->model().alarm(0);
    EXPECT_EQ(copy.first.load(), nullptr);
    EXPECT_EQ(dialog->first->currentText(), "(unresolved)");
    EXPECT_TRUE(dialog->note->text().contains("No answer from the name service for \"slowhost\""));
    ASSERT_EQ(dialog->awaited().size(), 1u);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);  // the wait cursor is gone

    std::shared_ptr<BuilderRequest> request = dialog->awaited()[0];
    {
        std::lock_guard lock(g_held.mutex);
        g_held.release = true;
    }
    g_held.cv.notify_all();
    ASSERT_TRUE(calarm_wait(*request, 30000));  // the bound only keeps a broken build from hanging
    dialog->take_answers();
    ASSERT_NE(copy.first.load(), nullptr);
    EXPECT_STREQ(copy.first.load()->name, "slowhost");
    EXPECT_EQ(dialog->first->currentText(), "slowhost");
    EXPECT_TRUE(dialog->awaited().empty());
    dialog->ok_button->click();
    EXPECT_EQ(written_line(alarm_list().alarms[0]),
              "Threshold host 02:00:00:00:00:44 high 300 pkts \"dev109\" ON ");
}

TEST_F(AlarmBuilderTest, AHostNameTheLocalNamesKnowNeedsNoWait) {
    const std::string ethers = prototest::write_text("00:11:32:8e:4d:22 nas01\n", "builder.ethers");
    ASSERT_EQ(ethers_read(ethers.c_str()), 0);
    load("Threshold link 00:1C:C0:12:A7:E5 00:1B:21:7E:54:D8 high 100 kbytes \"backup\" OFF\n");
    open();
    EXPECT_EQ(dialog->first_caption->text(), "Source");
    EXPECT_EQ(dialog->second_caption->text(), "Destination");
    EXPECT_EQ(dialog->second->findText("nas01"), 0);  // the local names are offered
    dialog->second->setEditText("nas01");
    leave(dialog->second);
    EXPECT_TRUE(dialog->awaited().empty());
    EXPECT_EQ(dialog->second->currentText(), "nas01");
    dialog->ok_button->click();
    EXPECT_EQ(written_line(alarm_list().alarms[0]),
              "Threshold link 00:1C:C0:12:A7:E5 00:11:32:8E:4D:22 high 100 kbytes \"backup\" OFF ");
}
