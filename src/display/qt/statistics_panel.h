// The Statistics panel: run time, average and peak load, frames and bytes per second and
// the capture's drop count, refreshed by the message the capture pass posts
// (kMsgStatisticsRefresh, 1030; display/statistics.h publishes the figures and keeps
// at most one refresh queued).
//
// The figures are per second: the panel draws them at most every 500 ms. A refresh that
// comes sooner is taken when that time is up, and until then stays pending, so the
// capture pass posts no more.
//
// Threads: window thread; it reads the published figures, never the model.
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QTimer>

#include "display/qt/panel_box.h"
#include "display/statistics.h"

class StatisticsView : public QWidget {
    Q_OBJECT
public:
    explicit StatisticsView(QWidget* parent);
    // One refresh: takes the published figures and draws the rows into the image.
    void refresh();
    [[nodiscard]] const QImage& image() const { return image_; }
    [[nodiscard]] const StatisticsRow (&rows() const)[kStatisticsRows] { return rows_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void draw_labels();
    void draw_values();

    QImage image_;
    QImage labels_;  // the label column, drawn at each resize
    int split_ = 0;  // where the label column ends
    StatisticsRow rows_[kStatisticsRows];
};

class StatisticsPanel : public PanelBox {
    Q_OBJECT
public:
    explicit StatisticsPanel(QWidget* parent);
    [[nodiscard]] StatisticsView* view() const { return view_; }
    // Refreshes drawn so far.
    [[nodiscard]] unsigned long refreshes() const { return refreshes_; }

protected:
    bool event(QEvent* event) override;
    [[nodiscard]] QRect frame_rect(QSize size) const override;
    void place_content() override;

private:
    void take();

    StatisticsView* view_;
    unsigned long refreshes_ = 0;
    QElapsedTimer since_draw_;
    QTimer later_{this};
};
