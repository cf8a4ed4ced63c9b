// One application object for the widget tests, created when the tests start (and again
// in each death-test child, which runs the program afresh).
#include <gtest/gtest.h>

#include <QApplication>

#include <unistd.h>

namespace {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        // The program reads its stroke font, and by default its data files, from the
        // working directory.
        ASSERT_EQ(::chdir(HOPSCOPE_DATA_DIR), 0);
        static int argc = 1;
        static char name[] = "shell_gui_tests";
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

[[maybe_unused]] const auto* g_env = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace
