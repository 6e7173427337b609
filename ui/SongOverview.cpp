#include "ui/SongOverview.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <algorithm>

namespace {

constexpr int kHeight = 112;
constexpr int kGrabPixels = 5; // how near the window's edge a press takes it
constexpr int kPageSeconds = 10;

const QColor kOnsetColor(40, 110, 200);
const QColor kOutsideShade(0, 0, 0, 70);
const QColor kEdgeColor(200, 90, 0);

QString MarkText(OverviewMark mark)
{
    switch (mark) {
    case OverviewMark::kSuggested: return QStringLiteral("\u266A");
    case OverviewMark::kRunnerUp: return QStringLiteral("\u266A?");
    case OverviewMark::kDrums: return QStringLiteral("drums");
    case OverviewMark::kNone: break;
    }
    return QString();
}

QString Clock(int seconds)
{
    return QStringLiteral("%1:%2").arg(seconds / 60, 2, 10, QLatin1Char('0')).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

CSongOverview::CSongOverview(QWidget* pParent) : QWidget(pParent)
{
    setAccessibleName(QStringLiteral("Song overview"));
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    setToolTip(QStringLiteral("Which channel plays when. Drag the window's edges to choose the range "
                              "(or Left/Right, with Shift for the end); click a lane to record that channel alone"));
    Refresh();
}

QSize CSongOverview::sizeHint() const
{
    return {320, kHeight};
}

QSize CSongOverview::minimumSizeHint() const
{
    return {120, kHeight};
}

void CSongOverview::Refresh()
{
    const int lanes = static_cast<int>(m_model.Lanes().size());
    m_nCurrentLane = std::clamp(m_nCurrentLane, 0, std::max(lanes - 1, 0));
    QStringList channels;
    for (const OverviewLane& lane : m_model.Lanes()) {
        QString item = QString::number(lane.nChannel + 1);
        if (const QString mark = MarkText(m_model.MarkOf(lane.nChannel)); !mark.isEmpty())
            item += QStringLiteral(" ") + mark;
        if (m_model.IsEnabled(lane.nChannel))
            item += QStringLiteral(" (enabled)");
        channels << item;
    }
    setAccessibleDescription(lanes == 0 ? QStringLiteral("No song")
                                        : QStringLiteral("Range %1 to %2; channels %3")
                                              .arg(Clock(m_model.RangeStart()), Clock(m_model.RangeEnd()),
                                                   channels.join(QStringLiteral(", "))));
    update();
}

int CSongOverview::LabelWidth() const
{
    // Room for the widest label a lane can have.
    return fontMetrics().horizontalAdvance(QStringLiteral("16 ") + MarkText(OverviewMark::kDrums)) + 8;
}

QRect CSongOverview::LaneArea() const
{
    return rect().adjusted(LabelWidth(), 2, -2, -2);
}

int CSongOverview::XOfSecond(int second) const
{
    const QRect area = LaneArea();
    const int length = std::max(m_model.LengthSeconds(), 1);
    return area.left() + static_cast<int>(static_cast<long long>(area.width()) * second / length);
}

int CSongOverview::SecondAt(int x) const
{
    const QRect area = LaneArea();
    if (area.width() <= 0)
        return 0;
    const double share = std::clamp(static_cast<double>(x - area.left()) / area.width(), 0.0, 1.0);
    return static_cast<int>(share * m_model.LengthSeconds() + 0.5);
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
    const auto& lanes = m_model.Lanes();
    if (lanes.empty()) {
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("Open a song to see which channel plays when"));
    }
    const int count = static_cast<int>(lanes.size());
    QColor highlight = palette().color(QPalette::Highlight);
    highlight.setAlpha(45);
    for (int i = 0; i < count; ++i) {
        const OverviewLane& lane = lanes[static_cast<std::size_t>(i)];
        const int top = area.top() + area.height() * i / count;
        const int bottom = area.top() + area.height() * (i + 1) / count;
        const QRect row(area.left(), top, area.width(), std::max(bottom - top, 1));
        if (m_model.IsEnabled(lane.nChannel))
            painter.fillRect(row, highlight);
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(QRect(4, top, LabelWidth() - 6, row.height()), Qt::AlignVCenter | Qt::AlignLeft,
                         QString::number(lane.nChannel + 1) + QStringLiteral(" ") + MarkText(m_model.MarkOf(lane.nChannel)));
        painter.setPen(kOnsetColor);
        const int bins = static_cast<int>(lane.onsetsPerBin.size());
        for (int b = 0; b < bins; ++b) {
            if (lane.onsetsPerBin[static_cast<std::size_t>(b)] == 0)
                continue;
            const int x = area.left() + area.width() * b / bins;
            painter.drawLine(x, top + 1, x, std::max(bottom - 2, top + 1));
        }
    }
    if (count > 0) {
        // Outside the range the song is shaded; the range's edges stand out.
        const int start = XOfSecond(m_model.RangeStart());
        const int end = XOfSecond(m_model.RangeEnd());
        painter.fillRect(QRect(QPoint(area.left(), area.top()), QPoint(start, area.bottom())), kOutsideShade);
        painter.fillRect(QRect(QPoint(end, area.top()), QPoint(area.right(), area.bottom())), kOutsideShade);
        painter.setPen(QPen(kEdgeColor, 2));
        painter.drawLine(start, area.top(), start, area.bottom());
        painter.drawLine(end, area.top(), end, area.bottom());
    }
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    if (hasFocus()) {
        // The lane the keys pick, and the widget's own focus frame.
        if (count > 0) {
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
}

void CSongOverview::MoveStart(int second)
{
    const int before = m_model.RangeStart();
    const int endBefore = m_model.RangeEnd();
    m_model.SetRangeStart(second);
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
        MoveStart(std::min(second, m_model.RangeEnd()));
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
