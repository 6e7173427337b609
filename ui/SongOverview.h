#pragma once
// The strip that draws the song: a lane per channel that has notes, its note
// onsets over time, the suggested channel (♪) and a close runner-up (♪?) marked,
// the enabled channels highlighted, the recording range as a window whose start
// and end can be dragged, a ruler of seconds with the bar lines, the playhead
// while playing and where the last fitted recording ended.
//
// Mouse: drag the start or the end of the window; click elsewhere in a lane to
// check that channel alone; Ctrl+wheel zooms. Keys: Left and Right move the start
// a second, Page Up and Page Down ten; with Shift they move the end; Home puts the
// start at 0, End the end at the song's end; Up and Down pick a lane (a screen
// reader hears it), Enter or Space checks it alone; + and - zoom.

#include <QWidget>

#include "ui/SongOverviewModel.h"

class CSongOverview final : public QWidget {
    Q_OBJECT

public:
    explicit CSongOverview(QWidget* pParent = nullptr);

    [[nodiscard]] CSongOverviewModel& Model() { return m_model; }
    [[nodiscard]] const CSongOverviewModel& Model() const { return m_model; }
    // Redraws after the model changed, and tells a screen reader what it shows.
    void Refresh();
    // The lane the keys pick, an index into the model's lanes (0 when there is none).
    [[nodiscard]] int CurrentLane() const { return m_nCurrentLane; }

    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] QSize minimumSizeHint() const override;

signals:
    // The user moved the start or the end of the range (whole seconds).
    void rangeStartChanged(int second);
    void rangeEndChanged(int second);
    // The user asked to check this channel (0-15) alone.
    void channelChosen(int channel);

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void wheelEvent(QWheelEvent* pEvent) override;

private:
    enum class Drag { kNone, kStart, kEnd };

    [[nodiscard]] int LabelWidth() const;
    [[nodiscard]] QRect LaneArea() const;
    [[nodiscard]] int XOfSecond(double second) const;
    [[nodiscard]] int SecondAt(int x) const;
    [[nodiscard]] int LaneAt(int y) const;
    void MoveStart(int second);
    void MoveEnd(int second);
    void PaintLanes(QPainter& painter, const QRect& area) const;
    void PaintRange(QPainter& painter, const QRect& area) const;
    void PaintRuler(QPainter& painter, const QRect& area) const;
    void PaintFocus(QPainter& painter, const QRect& area);

    CSongOverviewModel m_model;
    Drag m_drag = Drag::kNone;
    int m_nCurrentLane = 0;
};
