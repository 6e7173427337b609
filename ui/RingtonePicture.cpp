#include "ui/RingtonePicture.h"

#include <QPainter>
#include <QPalette>
#include <algorithm>

namespace {

constexpr int kLowestNote = 48;  // c4
constexpr int kHighestNote = 95; // b7
constexpr int kHeight = 120;

const QColor kNoteColor(40, 110, 200);
const QColor kLeftOutColor(190, 30, 30);

} // namespace

CRingtonePicture::CRingtonePicture(QWidget* pParent) : QWidget(pParent)
{
    setAccessibleName(QStringLiteral("Ringtone picture"));
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    SetText(std::string(), 0);
}

QSize CRingtonePicture::sizeHint() const
{
    return {320, kHeight};
}

QSize CRingtonePicture::minimumSizeHint() const
{
    return {120, kHeight};
}

void CRingtonePicture::SetText(const std::string& text, std::uint16_t ticksPerQuarter)
{
    m_sketch = text.empty() ? RingtoneSketch{} : SketchRingtone(text, ticksPerQuarter);
    int notes = 0;
    for (const RingtoneSketch::Note& n : m_sketch.notes)
        notes += n.nPitch >= 0 ? 1 : 0;
    setAccessibleDescription(QStringLiteral("%1 notes, %2 left out").arg(notes).arg(m_sketch.dropped.size()));
    update();
}

QString CRingtonePicture::LeftOutText() const
{
    if (!m_sketch.bHeaderRead)
        return QString::fromStdString(m_sketch.strHeaderError);
    return QString::fromStdString(DroppedSummary(m_sketch.dropped));
}

void CRingtonePicture::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QFontMetrics metrics = fontMetrics();
    const int textLine = metrics.height() + 2;
    painter.fillRect(rect(), palette().color(QPalette::Base));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));

    PaintRoll(painter, rect().adjusted(1, 1, -1, -textLine));

    const QString leftOut = LeftOutText();
    if (!leftOut.isEmpty()) {
        painter.setPen(kLeftOutColor);
        const QRect line(4, height() - textLine, width() - 8, textLine - 2);
        painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter,
                         metrics.elidedText(leftOut, Qt::ElideRight, line.width()));
    }
}

void CRingtonePicture::PaintRoll(QPainter& painter, const QRect& area) const
{
    // The octaves the notes use, at least one, within the four a ringtone plays.
    int lowOctave = 7;
    int highOctave = 4;
    for (const RingtoneSketch::Note& n : m_sketch.notes)
        if (n.nPitch >= kLowestNote && n.nPitch <= kHighestNote) {
            lowOctave = std::min(lowOctave, n.nPitch / 12);
            highOctave = std::max(highOctave, n.nPitch / 12);
        }
    if (lowOctave > highOctave) {
        lowOctave = 4;
        highOctave = 7;
    }
    const int lowest = 12 * lowOctave;
    const int pitches = 12 * (highOctave - lowOctave + 1);

    const QFontMetrics metrics = fontMetrics();
    const int labelWidth = metrics.horizontalAdvance(QStringLiteral("c7")) + 6;
    // Half a line above and below, so the top and the bottom label stay whole, clear
    // of the left-out line under the roll.
    const QRect roll = area.adjusted(labelWidth, metrics.height() / 2, -2, -metrics.height() / 2);
    const double rowHeight = static_cast<double>(roll.height()) / pitches;
    const auto yOf = [&](int pitch) { return roll.bottom() - (pitch - lowest + 1) * rowHeight; };

    // A line at each c, labelled with its octave, and one over the top octave.
    for (int octave = lowOctave; octave <= highOctave + 1; ++octave) {
        const int y = static_cast<int>(yOf(12 * octave) + rowHeight);
        painter.setPen(palette().color(QPalette::Midlight));
        painter.drawLine(roll.left(), y, roll.right(), y);
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(QRect(area.left() + 2, y - metrics.height() / 2, labelWidth - 4, metrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("c%1").arg(octave));
    }

    std::uint64_t total = 0;
    for (const RingtoneSketch::Note& n : m_sketch.notes)
        total = std::max<std::uint64_t>(total, std::uint64_t{n.dwStart} + n.dwTicks);
    if (total == 0)
        return;
    // The whole ringtone fits the width; a short one is not stretched past a
    // quarter note per 48 pixels, so its notes keep their look.
    const double quarters = static_cast<double>(total) / std::max<std::uint16_t>(m_sketch.wTicksPerQuarter, 1);
    const double pixelsPerTick = std::min(roll.width() / static_cast<double>(total), 48.0 * quarters / total);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kNoteColor);
    for (const RingtoneSketch::Note& n : m_sketch.notes) {
        if (n.nPitch < kLowestNote || n.nPitch > kHighestNote)
            continue; // a pause: a gap
        const QRectF bar(roll.left() + n.dwStart * pixelsPerTick, yOf(n.nPitch),
                         std::max(n.dwTicks * pixelsPerTick - 1.0, 1.0), std::max(rowHeight, 2.0));
        painter.drawRect(bar);
    }
}
