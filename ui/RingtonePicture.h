#pragma once
// A piano-roll picture of a ringtone: the notes the conversion would keep, as bars
// over time with the pitch upward, the octaves 4-7 the ringtone can play marked and
// labelled, pauses as gaps; under it, in red, the tokens that would be left out.
// It reads the text as the conversion does (SketchRingtone), so what it shows is
// what Listen and the post would make of the same text.

#include <QWidget>
#include <string>

#include "ringtone/RtttlReader.h"

class CRingtonePicture final : public QWidget {
    Q_OBJECT

public:
    explicit CRingtonePicture(QWidget* pParent = nullptr);

    // Reads `text` with the open song's division (0 without one) and redraws.
    void SetText(const std::string& text, std::uint16_t ticksPerQuarter);
    // What the picture shows.
    [[nodiscard]] const RingtoneSketch& Sketch() const { return m_sketch; }

    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    void PaintRoll(QPainter& painter, const QRect& area) const;
    [[nodiscard]] QString LeftOutText() const;

    RingtoneSketch m_sketch;
};
