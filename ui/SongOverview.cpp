#include "ui/SongOverview.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace {

constexpr int kLanesHeight = 112;
constexpr int kRulerHeight = 16;
constexpr int kGrabPixels = 5;      // how near the window's edge a press takes it
constexpr int kPageSeconds = 10;
constexpr int kRulerLabelPixels = 48; // the least room between two of the ruler's labels
constexpr int kBarLinePixels = 6;     // bar lines closer than this are left out

const QColor kOnsetColor(40, 110, 200);
const QColor kOutsideShade(0, 0, 0, 70);
const QColor kEdgeColor(200, 90, 0);
const QColor kBarColor(0, 0, 0, 28);
const QColor kPlayheadColor(200, 0, 0);
const QColor kFitEndColor(0, 140, 60);

QString MarkText(OverviewMark mark)
{
    switch (mark) {
    case OverviewMark::kSuggested: return QStringLiteral("\u266A");
    case OverviewMark::kRunnerUp: return QStringLiteral("\u266A?");
    case OverviewMark::kAlong: return QStringLiteral("=\u266A");
    case OverviewMark::kDrums: return QStringLiteral("drums");
    case OverviewMark::kNone: break;
    }
    return QString();
}

QString RulerLabel(int seconds)
{
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

CSongOverview::CSongOverview(QWidget* pParent) : QWidget(pParent)
{
    setAccessibleName(QStringLiteral("Song overview"));
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    setToolTip(QStringLiteral("Which channel plays when. Drag the window's edges to choose the range "
                              "(or Left/Right, with Shift for the end); click a lane to check that channel alone; "
                              "Ctrl+wheel or +/- zooms"));
    Refresh();
}

QSize CSongOverview::sizeHint() const
{
    return {320, kLanesHeight + kRulerHeight};
}

QSize CSongOverview::minimumSizeHint() const
{
    return {120, kLanesHeight + kRulerHeight};
}

void CSongOverview::Refresh()
{
    const auto& lanes = m_model.Lanes();
    m_nCurrentLane = std::clamp(m_nCurrentLane, 0, std::max(static_cast<int>(lanes.size()) - 1, 0));
    // The name carries the lane the keys pick, so a screen reader says it as the
    // cursor moves.
    const QString lane = QString::fromStdString(m_model.LaneText(static_cast<std::size_t>(m_nCurrentLane)));
    setAccessibleName(lane.isEmpty() ? QStringLiteral("Song overview") : QStringLiteral("Song overview, ") + lane);
    QStringList channels;
    for (std::size_t i = 0; i < lanes.size(); ++i)
        channels << QString::fromStdString(m_model.LaneText(i));
    setAccessibleDescription(lanes.empty() ? QStringLiteral("No song")
                                           : QStringLiteral("Range %1; %2")
                                                 .arg(QString::fromStdString(m_model.RangeText()),
                                                      channels.join(QStringLiteral("; "))));
    update();
}

int CSongOverview::LabelWidth() const
{
    // Room for the widest label a lane can have.
    return fontMetrics().horizontalAdvance(QStringLiteral("16 ") + MarkText(OverviewMark::kDrums)) + 8;
}

QRect CSongOverview::LaneArea() const
{
    return rect().adjusted(LabelWidth(), 2, -2, -2 - kRulerHeight);
}

int CSongOverview::XOfSecond(double second) const
{
    const QRect area = LaneArea();
    return area.left() + static_cast<int>(std::lround(area.width() * m_model.ShareOf(second)));
}

int CSongOverview::SecondAt(int x) const
{
    const QRect area = LaneArea();
    if (area.width() <= 0)
        return 0;
    const double seconds = m_model.SecondsAtShare(static_cast<double>(x - area.left()) / area.width());
    return std::clamp(static_cast<int>(std::lround(seconds)), 0, m_model.LengthSeconds());
}

int CSongOverview::LaneAt(int y) const
{
    const int lanes = static_cast<int>(m_model.Lanes().size());
    const QRect area = LaneArea();
    if (lanes == 0 || y < area.top() || y >= area.bottom())
        return -1;
    return std::min((y - area.top()) * lanes / std::max(area.height(), 1), lanes - 1);
}

void CSongOverview::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    const QRect area = LaneArea();
    if (m_model.Lanes().empty()) {
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("Open a song to see which channel plays when"));
    } else {
        PaintLanes(painter, area);
        PaintRange(painter, area);
        PaintRuler(painter, area);
    }
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    if (hasFocus())
        PaintFocus(painter, area);
}

void CSongOverview::PaintLanes(QPainter& painter, const QRect& area) const
{
    const auto& lanes = m_model.Lanes();
    const int count = static_cast<int>(lanes.size());
    // The checked lanes stand out clearly, with a bar at their left edge.
    QColor highlight = palette().color(QPalette::Highlight);
    highlight.setAlpha(70);
    // Many lanes take a smaller font, so that their labels never touch.
    QFont labelFont = font();
    if (const int row = area.height() / std::max(count, 1); row < fontMetrics().height())
        labelFont.setPixelSize(std::max(row - 1, 6));
    painter.setFont(labelFont);
    for (int i = 0; i < count; ++i) {
        const OverviewLane& lane = lanes[static_cast<std::size_t>(i)];
        const int top = area.top() + area.height() * i / count;
        const int bottom = area.top() + area.height() * (i + 1) / count;
        const QRect row(area.left(), top, area.width(), std::max(bottom - top, 1));
        if (m_model.IsEnabled(lane.nChannel)) {
            painter.fillRect(row, highlight);
            painter.fillRect(QRect(0, top, 3, row.height()), palette().color(QPalette::Highlight));
        }
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(QRect(6, top, LabelWidth() - 8, row.height()), Qt::AlignVCenter | Qt::AlignLeft,
                         QString::number(lane.nChannel + 1) + QStringLiteral(" ") + MarkText(m_model.MarkOf(lane.nChannel)));
        painter.setPen(kOnsetColor);
        const std::vector<std::uint32_t> bins = m_model.BinsInView(static_cast<std::size_t>(i), area.width());
        for (int x = 0; x < static_cast<int>(bins.size()); ++x)
            if (bins[static_cast<std::size_t>(x)] > 0)
                painter.drawLine(area.left() + x, top + 1, area.left() + x, std::max(bottom - 2, top + 1));
    }
    painter.setFont(font());
}

void CSongOverview::PaintRange(QPainter& painter, const QRect& area) const
{
    painter.setClipRect(area.adjusted(0, 0, 1, 1));
    // Outside the range the song is shaded; the range's edges stand out.
    const int start = XOfSecond(m_model.RangeStartSeconds());
    const int end = XOfSecond(m_model.RangeEnd());
    painter.fillRect(QRect(QPoint(area.left(), area.top()), QPoint(start, area.bottom())), kOutsideShade);
    painter.fillRect(QRect(QPoint(end, area.top()), QPoint(area.right(), area.bottom())), kOutsideShade);
    painter.setPen(QPen(kEdgeColor, 2));
    painter.drawLine(start, area.top(), start, area.bottom());
    painter.drawLine(end, area.top(), end, area.bottom());
    if (const std::optional<double> fitEnd = m_model.FitEnd()) {
        painter.setPen(QPen(kFitEndColor, 2, Qt::DashLine));
        painter.drawLine(XOfSecond(*fitEnd), area.top(), XOfSecond(*fitEnd), area.bottom());
    }
    if (const std::optional<int> playhead = m_model.Playhead()) {
        painter.setPen(QPen(kPlayheadColor, 2));
        painter.drawLine(XOfSecond(*playhead), area.top(), XOfSecond(*playhead), area.bottom());
    }
    painter.setClipping(false);
}

void CSongOverview::PaintRuler(QPainter& painter, const QRect& area) const
{
    const double pixelsPerSecond = area.width() / m_model.ViewSeconds();
    const QRect ruler(area.left(), area.bottom() + 2, area.width(), kRulerHeight);
    painter.setClipRect(ruler.adjusted(-2, 0, 2, 0));
    const std::vector<double>& bars = m_model.BarSeconds();
    const bool bBars = !bars.empty() && bars.size() > 1 && (bars[1] - bars[0]) * pixelsPerSecond >= kBarLinePixels;
    if (bBars) {
        painter.setPen(kBarColor);
        for (double bar : bars) {
            const int x = XOfSecond(bar);
            if (x >= area.left() && x <= area.right()) {
                painter.drawLine(x, area.top(), x, area.bottom());
                painter.drawLine(x, ruler.top(), x, ruler.top() + 3);
            }
        }
    }
    const int step = CSongOverviewModel::RulerStep(pixelsPerSecond, kRulerLabelPixels);
    painter.setPen(palette().color(QPalette::Text));
    const int first = static_cast<int>(std::ceil(m_model.ViewStart() / step)) * step;
    for (int second = first; second <= m_model.ViewStart() + m_model.ViewSeconds(); second += step) {
        const int x = XOfSecond(second);
        painter.drawLine(x, ruler.top(), x, ruler.top() + 5);
        // A label that would run past the right edge is left out rather than cut.
        const QString label = RulerLabel(second);
        if (x + 2 + fontMetrics().horizontalAdvance(label) <= ruler.right())
            painter.drawText(QRect(x + 2, ruler.top(), kRulerLabelPixels, ruler.height()),
                             Qt::AlignLeft | Qt::AlignVCenter, label);
    }
    painter.setClipping(false);
}

void CSongOverview::PaintFocus(QPainter& painter, const QRect& area)
{
    // The lane the keys pick, and the widget's own focus frame.
    if (const int count = static_cast<int>(m_model.Lanes().size()); count > 0) {
        const int top = area.top() + area.height() * m_nCurrentLane / count;
        const int bottom = area.top() + area.height() * (m_nCurrentLane + 1) / count;
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DashLine));
        painter.drawRect(QRect(1, top, width() - 3, std::max(bottom - top - 1, 1)));
    }
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = rect().adjusted(1, 1, -1, -1);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}

void CSongOverview::MoveStart(int second)
{
    const int before = m_model.RangeStart();
    const int endBefore = m_model.RangeEnd();
    m_model.SetRangeStart(second);
    m_model.KeepInView(m_model.RangeStart());
    if (m_model.RangeStart() != before)
        emit rangeStartChanged(m_model.RangeStart());
    if (m_model.RangeEnd() != endBefore)
        emit rangeEndChanged(m_model.RangeEnd());
    Refresh();
}

void CSongOverview::MoveEnd(int second)
{
    const int before = m_model.RangeEnd();
    m_model.SetRangeEnd(second);
    m_model.KeepInView(m_model.RangeEnd());
    if (m_model.RangeEnd() != before)
        emit rangeEndChanged(m_model.RangeEnd());
    Refresh();
}

void CSongOverview::mousePressEvent(QMouseEvent* pEvent)
{
    const int x = pEvent->position().toPoint().x();
    if (m_model.Lanes().empty() || pEvent->button() != Qt::LeftButton)
        return;
    const int start = XOfSecond(m_model.RangeStart());
    const int end = XOfSecond(m_model.RangeEnd());
    // Of two edges within reach, the nearer one; the end when they coincide, so a
    // window shrunk to nothing can be opened again.
    if (std::abs(x - end) <= kGrabPixels && std::abs(x - end) <= std::abs(x - start)) {
        m_drag = Drag::kEnd;
    } else if (std::abs(x - start) <= kGrabPixels) {
        m_drag = Drag::kStart;
    } else if (const int lane = LaneAt(pEvent->position().toPoint().y()); lane >= 0) {
        m_nCurrentLane = lane;
        emit channelChosen(m_model.Lanes()[static_cast<std::size_t>(lane)].nChannel);
        Refresh();
    }
}

void CSongOverview::mouseMoveEvent(QMouseEvent* pEvent)
{
    const int second = SecondAt(pEvent->position().toPoint().x());
    if (m_drag == Drag::kStart)
        MoveStart(std::min(second, m_model.RangeEnd() - m_model.MinimumSpan()));
    else if (m_drag == Drag::kEnd)
        MoveEnd(second);
}

void CSongOverview::mouseReleaseEvent(QMouseEvent*)
{
    m_drag = Drag::kNone;
}

void CSongOverview::keyPressEvent(QKeyEvent* pEvent)
{
    const bool bEnd = pEvent->modifiers() & Qt::ShiftModifier;
    const int at = bEnd ? m_model.RangeEnd() : m_model.RangeStart();
    const auto move = [&](int second) { bEnd ? MoveEnd(second) : MoveStart(second); };
    const int lanes = static_cast<int>(m_model.Lanes().size());
    switch (pEvent->key()) {
    case Qt::Key_Left: move(at - 1); break;
    case Qt::Key_Right: move(at + 1); break;
    case Qt::Key_PageDown: move(at - kPageSeconds); break;
    case Qt::Key_PageUp: move(at + kPageSeconds); break;
    case Qt::Key_Home: MoveStart(0); break;
    case Qt::Key_End: MoveEnd(m_model.LengthSeconds()); break;
    case Qt::Key_Up:
        m_nCurrentLane = std::max(m_nCurrentLane - 1, 0);
        Refresh();
        break;
    case Qt::Key_Down:
        m_nCurrentLane = std::min(m_nCurrentLane + 1, std::max(lanes - 1, 0));
        Refresh();
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        m_model.ZoomIn(m_model.RangeStartSeconds());
        Refresh();
        break;
    case Qt::Key_Minus:
        m_model.ZoomOut(m_model.RangeStartSeconds());
        Refresh();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (lanes > 0)
            emit channelChosen(m_model.Lanes()[static_cast<std::size_t>(m_nCurrentLane)].nChannel);
        break;
    default: QWidget::keyPressEvent(pEvent); return;
    }
    pEvent->accept();
}

void CSongOverview::wheelEvent(QWheelEvent* pEvent)
{
    if (!(pEvent->modifiers() & Qt::ControlModifier) || m_model.Lanes().empty()) {
        QWidget::wheelEvent(pEvent);
        return;
    }
    const QRect area = LaneArea();
    const double share = area.width() > 0 ? (pEvent->position().x() - area.left()) / area.width() : 0;
    const double around = m_model.SecondsAtShare(std::clamp(share, 0.0, 1.0));
    if (pEvent->angleDelta().y() > 0)
        m_model.ZoomIn(around);
    else if (pEvent->angleDelta().y() < 0)
        m_model.ZoomOut(around);
    Refresh();
    pEvent->accept();
}
