// One application object for a widget test program, made when its tests start and
// deleted when they end, after its message loop has run once and ended. Link this file into the test program (hs_test SOURCES).
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

namespace {

class QtApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "hopscope_widget_tests";
        static char* argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
    }
    // The program leaves its message loop before the application goes, and what ends
    // with the loop (the sound player, say) ends then: the tests do the same.
    void TearDown() override {
        QTimer::singleShot(0, app_, &QCoreApplication::quit);
        app_->exec();
        delete app_;
        app_ = nullptr;
    }

private:
    QApplication* app_ = nullptr;
};

[[maybe_unused]] const auto* const g_env = ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

}  // namespace
