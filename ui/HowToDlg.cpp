#include "ui/HowToDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QTextEdit>
#include <QVBoxLayout>

#include "ui/ControlIds.h"
#include "ui/OkButtonRow.h"
#include "ui/QtPrompt.h"

namespace {

constexpr int kTextWidthChars = 78;

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

CHowToDlg::CHowToDlg(QWidget* pParent) : QDialog(pParent), m_strText(HowToText())
{
    setWindowTitle(QStringLiteral("Zorvat Zavi How To"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    m_pText = new QTextEdit(this);
    m_pText->setObjectName(ControlName(ControlId::HowTo::kText));
    m_pText->setReadOnly(true);
    m_pText->setAcceptRichText(false);
    m_pText->setFrameShape(QFrame::StyledPanel);
    m_pText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_pText->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_pText->setPlainText(CQtPrompt::DisplayText(m_strText));

    // Without scroll bars the box must hold the whole text: its height follows the
    // wrapped text at a fixed width.
    const int width = m_pText->fontMetrics().averageCharWidth() * kTextWidthChars;
    m_pText->document()->setTextWidth(width);
    const int frame = 2 * m_pText->frameWidth();
    m_pText->setFixedSize(width + frame, static_cast<int>(m_pText->document()->size().height()) + frame + 2);

    auto* pLabel = new QLabel(QStringLiteral("Steps to submit a Ringtone:"), this);
    pLabel->setBuddy(m_pText);

    QHBoxLayout* pButtons = MakeOkButtonRow(*this);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(pLabel);
    pLayout->addWidget(m_pText);
    pLayout->addLayout(pButtons);
    pLayout->setSizeConstraint(QLayout::SetFixedSize);
}

CHowToDlg::~CHowToDlg() = default;
