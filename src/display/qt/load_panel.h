// The Network Load panel: a group box "Network Load" around a strip chart (class
// "LOAD") that samples a watched load value once a second, scrolls one pixel a sample,
// and puts a time mark under it about once a minute. The full height is 40 % load.
//
// Messages the panel takes (events posted or sent to it, numbers in
// ui/window_messages.h); all but the frame margin are forwarded to the chart:
//   kMsgLoadFrameMargin (1056)  value: the frame's margin (default 5)
//   kMsgLoadWatch (1057)        pointer: the std::atomic<int> load to watch (null: none)
//   kMsgLoadFonts (1059)        a LoadFontsEvent: time-axis font (its height is the
//                               text height) and label font
//   kMsgLoadText (1061)         a LoadTextEvent: caption and format text ("Load: %d%%")
//   kMsgLoadAxisHeight (1063)   value: the time axis's height (default 8)
//   kMsgLoadZeroAfter (1065)    value: 1 sets the watched value to 0 after each sample
//
// Threads: window thread. The watched value is an atomic that the capture pass writes.
#pragma once

#include <QFont>
#include <QImage>
#include <QTimer>

#include <atomic>

#include "display/load_chart.h"
#include "display/qt/panel_box.h"
#include "ui/window_messages.h"

class LoadFontsEvent : public WindowMessageEvent {
public:
    LoadFontsEvent(const QFont& axis, const QFont& label)
        : WindowMessageEvent(kMsgLoadFonts), axis_font(axis), label_font(label) {}
    QFont axis_font, label_font;
};

class LoadTextEvent : public WindowMessageEvent {
public:
    LoadTextEvent(const QString& caption_text, const QString& format_text)
        : WindowMessageEvent(kMsgLoadText), caption(caption_text), format(format_text) {}
    QString caption, format;
};

class StripChart : public QWidget {
    Q_OBJECT
public:
    explicit StripChart(QWidget* parent);

    // One sample now (the 1000 ms timer's work) and one time-mark request (the 60 s
    // timer's), at local time h:m:s; public for tests.
    void sample();
    void time_mark(int hour, int minute, int second);

    [[nodiscard]] const QImage& image() const { return image_; }
    [[nodiscard]] const QImage& label_image() const { return label_; }
    [[nodiscard]] int chart_height() const { return chart_height_; }
    [[nodiscard]] int samples_since_mark() const { return clock_.samples; }
    [[nodiscard]] std::atomic<int>* watched() const { return watched_; }
    [[nodiscard]] bool zero_after_sample() const { return zero_after_; }
    [[nodiscard]] int text_height() const { return text_height_; }
    [[nodiscard]] QString format() const { return format_; }
    // The chart as painted: the image's visible part with the label ANDed in.
    [[nodiscard]] QImage composed() const;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void rebuild();
    void draw_label(int value, bool first_eight);
    void mark_now();

    QImage image_, label_;
    QFont axis_font_, label_font_;
    bool label_font_set_ = false;
    int text_height_ = 12;
    int axis_height_ = kChartAxisHeight;
    int chart_height_ = 0;
    QString format_ = QString::fromLatin1(kChartDefaultFormat);
    std::atomic<int>* watched_ = nullptr;
    bool zero_after_ = true;
    ChartClock clock_;
    QTimer sample_timer_{this}, mark_timer_{this};
};

class LoadPanel : public PanelBox {
    Q_OBJECT
public:
    explicit LoadPanel(QWidget* parent);
    [[nodiscard]] StripChart* chart() const { return chart_; }
    [[nodiscard]] int frame_margin() const { return margin_; }

protected:
    bool event(QEvent* event) override;
    [[nodiscard]] QRect frame_rect(QSize size) const override;
    void place_content() override;

private:
    StripChart* chart_;
    int margin_ = 5;
};
