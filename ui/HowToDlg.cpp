#include "ui/HowToDlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QTextEdit>
#include <QVBoxLayout>

#include "ui/ControlIds.h"
#include "ui/OkButtonRow.h"
#include "ui/QtPrompt.h"

namespace {

constexpr int kTextWidthChars = 78;

// A read-only text without scroll bars, as high as its wrapped text at `width`.
QTextEdit* FixedText(QWidget* pParent, const std::string& text, int widthChars)
{
    auto* pText = new QTextEdit(pParent);
    pText->setReadOnly(true);
    pText->setAcceptRichText(false);
    pText->setFrameShape(QFrame::StyledPanel);
    pText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    pText->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    pText->setPlainText(CQtPrompt::DisplayText(text));
    const int width = pText->fontMetrics().averageCharWidth() * widthChars;
    pText->document()->setTextWidth(width);
    const int frame = 2 * pText->frameWidth();
    pText->setFixedSize(width + frame, static_cast<int>(pText->document()->size().height()) + frame + 2);
    return pText;
}

} // namespace

std::string CHowToDlg::HowToText()
{
    return std::string("\r\n1. Open a MIDI file by the \"Open MIDI\" function in [Midi Control].\r\n\r\n") +
           "2. Drag the slider in [Midi Control] to the point where you wish to start the MIDI playback.\r\n\r\n" +
           "3. Press \"Play\" in [Midi Control] to start recording.\r\n\r\n" +
           "4. IMPORTANT: If this is a multi-channel MIDI, you must ONLY select 1 channel.\r\n\r\n" +
           "5. Press \"Stop\" to halt recording.\r\n\r\n" +
           "6. Press \"Listen\" to playback your recorded ringtone.\r\n\r\n" +
           "7. Press \"Post to Zorvat Zavi Gallery\" to upload this ringtone to Zorvat SMS home site.\r\n\r\n" +
           "8. Go to " + kServiceSite + " to send ringtone to your mobile phone.";
}

std::string CHowToDlg::MoreText()
{
    return std::string("The song overview under the slider shows which channel plays when. \u266A marks the "
                       "channel most likely to carry the tune (\u266A? one that may too); \"Take suggested "
                       "channel\" checks it alone.\r\n\r\n") +
           "Drag the edges of the shaded range (or Left and Right, with Shift for the end) to choose what to "
           "record; \"Start where the tune begins\" puts the start on the tune's first bar; Ctrl+wheel or + and - "
           "zoom.\r\n\r\n" +
           "\"Keep rhythm\" records the tune as it is written, \"Fit to one message\" ends it where one message "
           "is full, and \"Record without playing\" records the range at once. Ctrl+Z in the RTTTL box brings "
           "back the text a recording replaced.\r\n\r\n" +
           "The gallery is the home site named in Setup.\r\n\r\n" +
           "File, Export Ringtone... writes the ringtone for a phone (.rtttl, .ott, .imy, .ogg, .m4r) or a "
           "device (Flipper Zero, ESPHome, Meshtastic, drone ESCs, Arduino and more); File, Export Song "
           "Ringtone... makes a phone ringtone of the song itself.";
}

CHowToDlg::CHowToDlg(QWidget* pParent) : QDialog(pParent), m_strText(HowToText())
{
    setWindowTitle(QStringLiteral("Zorvat Zavi How To"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    m_pText = FixedText(this, m_strText, kTextWidthChars);
    m_pText->setObjectName(ControlName(ControlId::HowTo::kText));
    m_pMore = FixedText(this, MoreText(), kTextWidthChars);
    m_pMore->setObjectName(QStringLiteral("howToMore"));

    auto* pLabel = new QLabel(QStringLiteral("Steps to submit a Ringtone:"), this);
    pLabel->setBuddy(m_pText);
    auto* pMoreLabel = new QLabel(QStringLiteral("What else the program does:"), this);
    pMoreLabel->setBuddy(m_pMore);

    QHBoxLayout* pButtons = MakeOkButtonRow(*this);

    // Side by side, so that the box stays low enough for a small screen.
    auto* pTexts = new QGridLayout;
    pTexts->addWidget(pLabel, 0, 0);
    pTexts->addWidget(m_pText, 1, 0, Qt::AlignTop);
    pTexts->addWidget(pMoreLabel, 0, 1);
    pTexts->addWidget(m_pMore, 1, 1, Qt::AlignTop);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pTexts);
    pLayout->addLayout(pButtons);
    pLayout->setSizeConstraint(QLayout::SetFixedSize);
}

CHowToDlg::~CHowToDlg() = default;
