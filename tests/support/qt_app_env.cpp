// One application object for a widget test program, made when its tests start and
// deleted when they end. Link this file into the test program (hs_test SOURCES).
#include <gtest/gtest.h>

#include <QApplication>

namespace {

class QtApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "hopscope_widget_tests";
        static char* argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
    }
    void TearDown() override {
        delete app_;
        app_ = nullptr;
    }

private:
    QApplication* app_ = nullptr;
};

[[maybe_unused]] const auto* const g_env = ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

}  // namespace
