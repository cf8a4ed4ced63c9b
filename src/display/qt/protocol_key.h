// The Protocol Key panel: the current focus's name and each of its protocols in the
// colour that the map gives its links, then "Other"; "No Focus" without a current focus
// (display/protocol_key.h gives the rows). A focus of more than 17 entries does not fit
// the 18 rows: the key then scrolls (mouse wheel or its scroll bar), "Other" staying
// after the last entry. Its context menu's one entry, "Protocol Editor" (command 500),
// opens the Focus Builder.
//
// Threads: window thread. It follows focus and palette changes through focus_signals()
// (qt/focus_builder.h).
#pragma once

#include <QFrame>
#include <QScrollBar>

#include "display/protocol_key.h"
#include "display/qt/panel_box.h"

inline constexpr int kCmdProtocolEditor = 500;

class KeyView : public QWidget {
    Q_OBJECT
public:
    explicit KeyView(QWidget* parent);
    // Fills the rows from the current focus.
    void show_focus();

    [[nodiscard]] const KeyContents& contents() const { return contents_; }
    [[nodiscard]] int first_row() const { return first_row_; }
    [[nodiscard]] QScrollBar* scroll_bar() const { return bar_; }
    [[nodiscard]] int row_height() const;
    // The text colour of a row of colour `index` (logical-palette index).
    [[nodiscard]] static QColor row_colour(int index);

Q_SIGNALS:
    void protocolEditorRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void place_bar();

    KeyContents contents_;
    int first_row_ = 0;
    QScrollBar* bar_;
};

class ProtocolKeyPanel : public PanelBox {
    Q_OBJECT
public:
    explicit ProtocolKeyPanel(QWidget* parent);
    [[nodiscard]] KeyView* key() const { return key_; }
    void show_focus() { key_->show_focus(); }

protected:
    [[nodiscard]] QRect frame_rect(QSize size) const override;
    void place_content() override;

private:
    QFrame* edge_;
    KeyView* key_;
};
