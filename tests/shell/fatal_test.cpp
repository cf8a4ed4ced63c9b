// The fatal-error guard, in a child process: a processor exception while the program
// runs ends it with the fatal message and status, and writes none of the focus file, the
// alarm file and the settings.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "shell/fatal.h"
#include "app/program.h"
#include "shell/qt/main_window.h"
#include "lists/qt/popup.h"
#include "shell/settings.h"
#include "shell/shell.h"
#include "app/steps.h"
#include "shell/startup_steps.h"
#include "shell/test_files.h"
#include "support/pcap_writer.h"

using namespace shelltest;

namespace {

std::string g_focus_marker, g_alarm_marker;

void write_focus_marker(const char*) { write_file(g_focus_marker, "focus"); }
void write_alarm_marker(const char*) { write_file(g_alarm_marker, "alarms"); }

// Under the sanitizers the faults below are left uninstrumented, so that the division by
// zero is the processor's exception that the guard meets, not a sanitizer's report.
// (The guard's own handlers replace the address sanitizer's, as the program's do.)
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HS_PLAIN_FAULT __attribute__((no_sanitize("address", "undefined")))
#endif
#endif
#ifndef HS_PLAIN_FAULT
#define HS_PLAIN_FAULT
#endif

enum class Fault { NullWrite, DivideByZero, StackOverflow, OnCaptureThread };

volatile int g_zero = 0;
volatile int g_sink = 0;

HS_PLAIN_FAULT int recurse(int depth) {
    volatile char frame[256];
    frame[0] = static_cast<char>(depth);
    if (g_zero == 0) g_sink = recurse(depth + 1) + frame[0];
    return g_sink;
}

HS_PLAIN_FAULT void raise_fault(Fault fault) {
    switch (fault) {
        case Fault::NullWrite: *static_cast<volatile int*>(nullptr) = 1; break;
        case Fault::DivideByZero: g_sink = (g_sink + 7) / g_zero; break;  // "1 / x" compiles to no division
        case Fault::StackOverflow: recurse(0); break;
        case Fault::OnCaptureThread: break;
    }
}

// The capture pass's draw step, made to fault.
void faulting_draw(Network*) { raise_fault(Fault::NullWrite); }

// Runs the program's start-up, window and message loop, changes a setting from the
// menu, then meets the fault.
[[noreturn]] void run_until(Fault fault, const std::string& key, const std::string& capture) {
    startup_steps() = app_startup_steps();
    app_install_program_steps();
    startup_steps().focus_dump = write_focus_marker;
    startup_steps().alarm_dump = write_alarm_marker;
    if (fault == Fault::OnCaptureThread) startup_steps().capture_hooks.draw = faulting_draw;
    fatal_guard_install(false);  // as the program does, before start-up
    if (shell_startup({capture}, key) != 0) std::_Exit(3);
    popup_list_create();
    auto* window = new MainWindow;
    window->set_initial_checks();
    window->show();
    window->command(kCmdPackets);
    if (fault != Fault::OnCaptureThread) QTimer::singleShot(0, [fault] { raise_fault(fault); });
    QCoreApplication::exec();
    std::_Exit(4);  // not reached: the guard ends the process
}

// The child runs the program afresh (the parent's window system connection cannot be
// shared with a forked child), so both find their files in one directory named in the
// environment.
std::string shared_path(const std::string& name) {
    constexpr char kVar[] = "HOPSCOPE_FATAL_TEST_DIR";
    const char* dir = std::getenv(kVar);
    if (!dir) {
        std::string made = testsupport::temp_path("fatal");
        std::filesystem::create_directories(made);
        ::setenv(kVar, made.c_str(), 1);
        dir = std::getenv(kVar);
    }
    return std::string(dir) + "/" + name;
}

// A key holding every value already, so that only a save could change it.
std::string full_key(const std::string& name) {
    const std::string key = shared_path(name);
    write_file(key, empty_key());
    EXPECT_EQ(default_load(key.c_str()), 1);
    return key;
}

}  // namespace

TEST(FatalGuardDeathTest, AProcessorExceptionEndsTheProgramWithoutWritingAnything) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string capture = shared_path("fatal.pcap");
    testsupport::write_pcap(capture, {{1000, 0, testsupport::ether_frame("ff:ff:ff:ff:ff:ff", "00:00:00:00:00:09", 0x0800), 0},
                                      {1001, 0, testsupport::ether_frame("ff:ff:ff:ff:ff:ff", "00:00:00:00:00:09", 0x0800), 0}});
    const Fault faults[] = {Fault::NullWrite, Fault::DivideByZero, Fault::StackOverflow, Fault::OnCaptureThread};
    for (Fault fault : faults) {
        const int n = static_cast<int>(fault);
        SCOPED_TRACE(n);
        const std::string key = full_key("fatal-" + std::to_string(n) + ".reg");
        const std::string before = read_file(key);
        g_focus_marker = shared_path("focus-written-" + std::to_string(n));
        g_alarm_marker = shared_path("alarms-written-" + std::to_string(n));

        EXPECT_EXIT(run_until(fault, key, capture), ::testing::ExitedWithCode(kFatalExitStatus),
                    "Unexpected Processor Exception: Fatal Error");

        EXPECT_EQ(read_file(key), before);
        EXPECT_FALSE(exists(g_focus_marker));
        EXPECT_FALSE(exists(g_alarm_marker));
    }
}

TEST(FatalGuardDeathTest, TheSameRunQuitFromTheMenuWritesEverything) {
    // The counterpart of the test above, so that its "nothing written" means something.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string capture = shared_path("quit.pcap");
    testsupport::write_pcap(capture, {{1000, 0, testsupport::ether_frame("ff:ff:ff:ff:ff:ff", "00:00:00:00:00:0a", 0x0800), 0}});
    const std::string key = full_key("quit.reg");
    const std::string before = read_file(key);
    g_focus_marker = shared_path("focus-written-quit");
    g_alarm_marker = shared_path("alarms-written-quit");
    EXPECT_EXIT(
        {
            startup_steps() = app_startup_steps();
            app_install_program_steps();
            startup_steps().focus_dump = write_focus_marker;
            startup_steps().alarm_dump = write_alarm_marker;
            if (shell_startup({capture}, key) != 0) std::_Exit(3);
            auto* window = new MainWindow;
            window->show();
            window->command(kCmdPackets);
            fatal_guard_install(false);
            QTimer::singleShot(0, [window] { window->command(kCmdQuit); });
            std::_Exit(QCoreApplication::exec());
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_NE(read_file(key), before);
    EXPECT_TRUE(exists(g_focus_marker));
    EXPECT_TRUE(exists(g_alarm_marker));
}
