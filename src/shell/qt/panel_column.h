// The panel column: the 320-pixel strip on the right of the main window holding the six
// side panels at fixed places, scrolled in five positions when the column is too low to
// show them all.
#pragma once

#include <QFont>
#include <QFrame>

class QScrollBar;

inline constexpr int kPanelColumnWidth = 320;
inline constexpr int kPanelsWidth = 300;
inline constexpr int kPanelsHeight = 645;
inline constexpr int kScrollPositions = 5;  // positions 0..4

enum PanelIndex { kPanelLoad, kPanelControls, kPanelProtocolKey, kPanelZoomBox, kPanelStatistics, kPanelAlarmOutput, kPanelCount };

struct PanelPlace {
    const char* name;
    int x, y, width, height;
};

// Where each panel sits in the column before scrolling.
inline constexpr PanelPlace kPanelPlaces[kPanelCount] = {
    {"Network Load", 0, 0, 300, 120},  {"Controls", 0, 120, 145, 260},   {"Protocol Key", 145, 120, 155, 305},
    {"Zoom Box", 0, 380, 145, 145},    {"Statistics", 145, 425, 155, 100}, {"Alarm Output", 0, 525, 300, 120},
};

// Pixels one scroll position moves the panels, for a column `client_height` pixels high
// (zero or less: scrolling moves nothing).
[[nodiscard]] constexpr int panel_scroll_step(int client_height) { return (kPanelsHeight - client_height) / 4; }

enum class ScrollRequest { LineUp, LineDown, PageUp, PageDown, ThumbTrack, Other };

class PanelColumn : public QFrame {
    Q_OBJECT
public:
    // `network_window` is what the Zoom Box zooms.
    PanelColumn(QWidget* network_window, QWidget* parent = nullptr);

    [[nodiscard]] QWidget* panel(PanelIndex index) const { return panels_[index]; }
    // The window thread's target for the Statistics refresh posted every capture pass.
    [[nodiscard]] QWidget* statistics_panel() const { return panels_[kPanelStatistics]; }
    [[nodiscard]] QScrollBar* scroll_bar() const { return bar_; }
    [[nodiscard]] int position() const { return position_; }
    [[nodiscard]] int client_height() const;
    [[nodiscard]] int step() const { return panel_scroll_step(client_height()); }
    // Handles one scroll request; `thumb` is the thumb position of a tracking request.
    // Returns the change of position that was applied.
    int scroll(ScrollRequest request, int thumb = 0);
    // How often the adapter-changed message has reached the column.
    [[nodiscard]] int adapter_changes() const { return adapter_changes_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;

private:
    void place_panels();
    void on_scroll_action(int action);

    QWidget* viewport_;
    QScrollBar* bar_;
    QWidget* panels_[kPanelCount] = {};
    // The Network Load chart's fonts: time axis and label.
    QFont axis_font_{QStringLiteral("Arial")};
    QFont label_font_{QStringLiteral("Arial")};
    int position_ = 0;
    int adapter_changes_ = 0;
};
