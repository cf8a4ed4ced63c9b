// Private window messages: the one table of the notices that windows post or send one
// another. Each is a Qt event whose type is the message's number, so the numbers stay
// what the windows agree on. Numbers count from the platform's first user message, 1024.
// The messages that carry more than two plain parameters have an event class of their
// own beside their receiver (the zoom rectangle: display/qt/netwindow.h).
#pragma once

#include <QEvent>

#include <cstdint>

enum WindowMessage : int {
    kWmUser = 1024,
    kMsgMapAspect = kWmUser + 1,            // 1025: map aspect, from the network window to the Zoom Box
    kMsgZoomRect = kWmUser + 2,             // 1026: zoom rectangle, from the Zoom Box to the network window
    kMsgFontChange = kWmUser + 3,           // 1027: font change, from the Controls panel to the network window
    kMsgStatisticsRefresh = kWmUser + 6,    // 1030: posted to the Statistics panel every capture pass
    kMsgLoadFrameMargin = kWmUser + 32,     // 1056: Network Load panel: the frame's margin
    kMsgLoadWatch = kWmUser + 33,           // 1057: Network Load chart: the load value to watch
    kMsgLoadFonts = kWmUser + 35,           // 1059: Network Load chart: time-axis and label fonts
    kMsgLoadText = kWmUser + 37,            // 1061: Network Load panel: caption and format text
    kMsgLoadAxisHeight = kWmUser + 39,      // 1063: Network Load chart: the time axis's height
    kMsgLoadZeroAfter = kWmUser + 41,       // 1065: Network Load chart: zero the value after each sample
    kMsgAdapterChanged = kWmUser + 4000,    // 5024: adapter changed, to the list windows
    kMsgListStart = kWmUser + 4001,         // 5025: start, to the list windows
    kMsgReportReady = 10009,                // report files ready, to the report viewer
    kMsgPanelAdapterChanged = 12345,        // adapter changed, to the panel column
};

// One private message with its two parameters.
class WindowMessageEvent : public QEvent {
public:
    explicit WindowMessageEvent(WindowMessage message, void* pointer = nullptr, intptr_t value = 0)
        : QEvent(static_cast<QEvent::Type>(message)), pointer_(pointer), value_(value) {}
    [[nodiscard]] WindowMessage message() const { return static_cast<WindowMessage>(type()); }
    [[nodiscard]] void* pointer() const { return pointer_; }
    [[nodiscard]] intptr_t value() const { return value_; }

private:
    void* pointer_;
    intptr_t value_;
};

static_assert(kMsgMapAspect == 1025 && kMsgZoomRect == 1026 && kMsgFontChange == 1027);
static_assert(kMsgLoadFrameMargin == 1056 && kMsgLoadWatch == 1057 && kMsgLoadFonts == 1059);
static_assert(kMsgLoadText == 1061 && kMsgLoadAxisHeight == 1063 && kMsgLoadZeroAfter == 1065);
static_assert(kMsgAdapterChanged == 5024 && kMsgListStart == 5025 && kMsgStatisticsRefresh == 1030);
static_assert(int(kMsgMapAspect) >= int(QEvent::User) && int(kMsgPanelAdapterChanged) <= int(QEvent::MaxUser));
