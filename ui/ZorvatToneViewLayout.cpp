#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "settings/ProfileKeys.h"
#include "settings/SettingsStore.h"
#include "song/GmNames.h"
#include "ui/ControlIds.h"
#include "ui/RingtonePicture.h"
#include "ui/SongOverview.h"
#include "ui/ZorvatToneDoc.h"
#include "ui/ZorvatToneView.h"

namespace {

using namespace ControlId::Form;

// The meters give way first when the screen is narrow.
constexpr int kMeterWidth = 160;
constexpr int kNarrowestMeter = 96;

template <typename W>
W* Named(W* pWidget, int id)
{
    pWidget->setObjectName(ControlName(id));
    return pWidget;
}

QPushButton* MakeButton(const char* caption, int id, QWidget* parent, bool bEnabled = true)
{
    auto* pButton = Named(new QPushButton(QString::fromUtf8(caption), parent), id);
    pButton->setEnabled(bEnabled);
    pButton->setAutoDefault(false);
    return pButton;
}

// A control of the form that is never shown: it exists, disabled, for its command.
template <typename W>
W* Hidden(W* pWidget)
{
    pWidget->setEnabled(false);
    pWidget->setVisible(false);
    return pWidget;
}

// Wide enough for the longest label a song can give, so the fixed-size window never
// cuts one.
int LongestChannelLabelWidth(const QFontMetrics& metrics)
{
    int widest = 0;
    for (int p = 0; p < 128; ++p) {
        QString label = QString::fromStdString(GmChannelLabel(15, static_cast<std::uint8_t>(p)));
        widest = std::max(widest, metrics.horizontalAdvance(label));
    }
    return widest + 4;
}

} // namespace

void CZorvatToneView::BuildControls()
{
    auto* pLeft = new QVBoxLayout;
    pLeft->addWidget(BuildMidiControl());
    pLeft->addWidget(BuildSongInfo());
    pLeft->addWidget(BuildRingtonePreview(), 1);

    auto* pMain = new QHBoxLayout(this);
    pMain->addLayout(pLeft, 1);
    pMain->addWidget(BuildChannelStatistic());
    OrderTabs();
}

void CZorvatToneView::OrderTabs()
{
    std::vector<QWidget*> chain{m_pOpen,      m_pPlay,  m_pStop,      m_pMute,    m_pSuggest,
                                m_pSlider,    m_pOverview, m_pTuneStart, m_pRangeStart, m_pRangeEnd,
                                m_pKeepRhythm, m_pFit,
                                m_pRecordNow, m_pRtttl, m_pInstrument, m_pListen, m_pStopListening,
                                m_pPost};
    chain.insert(chain.end(), m_pChannelBox.begin(), m_pChannelBox.end());
    for (std::size_t i = 1; i < chain.size(); ++i)
        setTabOrder(chain[i - 1], chain[i]);
}

QWidget* CZorvatToneView::BuildMidiControl()
{
    auto* pGroup = Named(new QGroupBox(QStringLiteral("Midi Control"), this), kMidiControl);
    m_pOpen = MakeButton("Open MIDI", kOpenMidi, pGroup);
    m_pPlay = MakeButton("Play", kPlay, pGroup, false);
    m_pStop = MakeButton("Stop", kStop, pGroup, false);
    m_pPlay->setShortcut(QKeySequence(Qt::Key_F5));
    m_pPlay->setToolTip(QStringLiteral("Play and record from the start second (F5)"));
    m_pStop->setShortcut(QKeySequence(Qt::Key_F6));
    m_pStop->setToolTip(QStringLiteral("Stop and write the recording into the RTTTL box (F6)"));
    m_pMute = MakeButton("Mute On", kMute, pGroup, false);
    m_pSuggest = MakeButton("Take suggested channel", 0, pGroup, false);
    m_pSuggest->setObjectName(QStringLiteral("takeSuggestion"));
    m_pSuggest->setToolTip(QStringLiteral("Check only the channel marked \u266A, the one most likely to carry the melody"));
    m_pShowRttl = Hidden(MakeButton("Show RTTL", kShowRttl, pGroup));
    m_pShowPdu = Hidden(MakeButton("Show PDU", kShowPdu, pGroup));
    m_pFullView = Hidden(Named(new QCheckBox(QStringLiteral("Full View"), pGroup), kFullView));

    m_pSlider = Named(new QSlider(Qt::Horizontal, pGroup), kSlider);
    m_pSlider->setTickPosition(QSlider::NoTicks);
    m_pSlider->setRange(0, 0);
    m_pSlider->setSingleStep(0);
    m_pSlider->setPageStep(0);
    m_pSlider->setToolTip(QStringLiteral("Drag, or use the arrow and Page keys, to the second where the recording starts"));
    m_pSlider->setAccessibleName(QStringLiteral("Start second"));

    m_pElapsed = Named(new QLineEdit(QStringLiteral("00:00"), pGroup), kElapsed);
    m_pElapsed->setReadOnly(true);
    m_pElapsed->setAlignment(Qt::AlignCenter);
    m_pElapsed->setFocusPolicy(Qt::NoFocus);
    m_pElapsed->setAccessibleName(QStringLiteral("Elapsed time"));
    m_pElapsed->setFixedWidth(m_pElapsed->fontMetrics().horizontalAdvance(QStringLiteral("000:000")) + 12);

    m_pRecordTime = Named(new QLabel(QStringLiteral("Rec Time: 00:00 to 00:00"), pGroup), kRecordTime);

    BuildRecordingControls(pGroup);

    auto* pButtons = new QHBoxLayout;
    for (QPushButton* pButton : {m_pOpen, m_pPlay, m_pStop, m_pMute, m_pSuggest})
        pButtons->addWidget(pButton);
    pButtons->addWidget(m_pShowRttl);
    pButtons->addWidget(m_pShowPdu);
    pButtons->addWidget(m_pFullView);

    auto* pTime = new QHBoxLayout;
    pTime->addWidget(m_pElapsed);
    pTime->addSpacing(8);
    pTime->addWidget(m_pRecordTime, 1);

    auto* pRecording = new QHBoxLayout;
    pRecording->addWidget(m_pKeepRhythm);
    pRecording->addWidget(m_pFit);
    pRecording->addStretch(1);
    pRecording->addWidget(m_pRecordNow);

    auto* pRange = new QHBoxLayout;
    pRange->addWidget(m_pTuneStart);
    pRange->addStretch(1);
    auto* pRangeLabel = new QLabel(QStringLiteral("Range"), pGroup);
    pRangeLabel->setBuddy(m_pRangeStart);
    pRange->addWidget(pRangeLabel);
    pRange->addWidget(m_pRangeStart);
    pRange->addWidget(new QLabel(QStringLiteral("to"), pGroup));
    pRange->addWidget(m_pRangeEnd);
    pRange->addWidget(m_pRangeLength);

    auto* pLayout = new QVBoxLayout(pGroup);
    pLayout->addLayout(pButtons);
    pLayout->addWidget(m_pSlider);
    pLayout->addWidget(m_pOverview);
    pLayout->addLayout(pTime);
    pLayout->addLayout(pRange);
    pLayout->addLayout(pRecording);
    return pGroup;
}

// The controls of the range and the recording's options, under the slider.
void CZorvatToneView::BuildRecordingControls(QWidget* pGroup)
{
    m_pKeepRhythm = new QCheckBox(QStringLiteral("Keep rhythm"), pGroup);
    m_pKeepRhythm->setObjectName(QStringLiteral("keepRhythm"));
    m_pKeepRhythm->setToolTip(QStringLiteral("Record one voice with dotted lengths and every note in its place"));
    m_pKeepRhythm->setChecked(m_services.m_settings.GetString(kProfileOptions, kProfileKeepRhythm) == "1");
    m_pFit = new QCheckBox(QStringLiteral("Fit to one message"), pGroup);
    m_pFit->setObjectName(QStringLiteral("fitOneMessage"));
    m_pFit->setToolTip(QStringLiteral("With Keep rhythm: end the recording on the last phrase that still fits one "
                                      "message of 130 octets"));
    m_pFit->setChecked(m_services.m_settings.GetString(kProfileOptions, kProfileFitOneMessage) == "1");
    m_pFit->setEnabled(m_pKeepRhythm->isChecked());
    m_pTuneStart = MakeButton("Start where the tune begins", 0, pGroup, false);
    m_pTuneStart->setObjectName(QStringLiteral("startAtTune"));
    m_pTuneStart->setToolTip(QStringLiteral("Move the start to the bar where the checked channels' first note sounds"));
    m_pOverview = new CSongOverview(pGroup);
    m_pOverview->setObjectName(QStringLiteral("songOverview"));
    const auto clockField = [&](const char* name, const char* accessible) {
        auto* pField = new QLineEdit(pGroup);
        pField->setObjectName(QString::fromUtf8(name));
        pField->setAccessibleName(QString::fromUtf8(accessible));
        pField->setToolTip(QStringLiteral("Type a time as mm:ss (or seconds) and press Enter"));
        pField->setAlignment(Qt::AlignCenter);
        pField->setFixedWidth(pField->fontMetrics().horizontalAdvance(QStringLiteral("000:00.0")) + 12);
        return pField;
    };
    m_pRangeStart = clockField("rangeStart", "Range start");
    m_pRangeEnd = clockField("rangeEnd", "Range end");
    m_pRangeLength = new QLabel(pGroup);
    m_pRangeLength->setObjectName(QStringLiteral("rangeLength"));
    m_pRecordNow = MakeButton("Record without playing", 0, pGroup, false);
    m_pRecordNow->setObjectName(QStringLiteral("recordWithoutPlaying"));
    m_pRecordNow->setToolTip(QStringLiteral("Record the checked channels over the range, at once"));
}

QWidget* CZorvatToneView::BuildSongInfo()
{
    auto* pFrame = new QFrame(this);
    pFrame->setFrameShape(QFrame::StyledPanel);
    pFrame->setFrameShadow(QFrame::Sunken);
    m_pFormat = Named(new QLabel(QStringLiteral("MIDI Type:"), pFrame), kFormat);
    m_pTracks = Named(new QLabel(QStringLiteral("Tracks:"), pFrame), kTracks);
    m_pDivision = Named(new QLabel(QStringLiteral("Timestamp: "), pFrame), kDivision);
    // Says when a damaged file gave fewer tracks than it declares; empty otherwise.
    m_pSongNotice = new QLabel(pFrame);
    m_pSongNotice->setObjectName(QStringLiteral("songNotice"));
    m_pSongNotice->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* pFigures = new QHBoxLayout;
    pFigures->addWidget(m_pFormat, 1);
    pFigures->addWidget(m_pTracks, 1);
    pFigures->addWidget(m_pDivision, 1);
    auto* pLayout = new QVBoxLayout(pFrame);
    pLayout->addLayout(pFigures);
    pLayout->addWidget(m_pSongNotice);
    return pFrame;
}

QWidget* CZorvatToneView::BuildRingtonePreview()
{
    auto* pGroup = new QGroupBox(QStringLiteral("Ringtone Preview"), this);
    pGroup->setObjectName(QStringLiteral("ringtonePreview"));

    m_pRtttl = Named(new QPlainTextEdit(pGroup), kRtttl);
    m_pRtttl->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_pRtttl->setWordWrapMode(QTextOption::WrapAnywhere);
    m_pRtttl->setTabChangesFocus(true);
    // Four lines: the picture under it shows the rest.
    m_pRtttl->setFixedHeight(m_pRtttl->fontMetrics().lineSpacing() * 4 + 12);
    auto* pRtttlLabel = new QLabel(QStringLiteral("RTTTL"), pGroup);
    pRtttlLabel->setBuddy(m_pRtttl);

    m_pInstrument = Named(new QComboBox(pGroup), kInstrument);
    for (int p = 0; p < 128; ++p)
        m_pInstrument->addItem(QString::fromUtf8(GmInstrumentName(static_cast<std::uint8_t>(p))));
    // No choice until the user makes one: the preview then keeps its own instrument.
    m_pInstrument->setCurrentIndex(-1);
    m_pInstrument->setMaxVisibleItems(16);
    // Styles that open the list over the current item ignore the row count.
    m_pInstrument->setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
    auto* pInstrumentLabel = new QLabel(QStringLiteral("Select Instrument"), pGroup);
    pInstrumentLabel->setBuddy(m_pInstrument);

    m_pRtttl->setAccessibleName(QStringLiteral("RTTTL"));
    m_pInstrument->setAccessibleName(QStringLiteral("Select Instrument"));
    m_pPicture = new CRingtonePicture(pGroup);
    m_pPicture->setObjectName(QStringLiteral("ringtonePicture"));
    m_pOctets = new QLabel(pGroup);
    m_pOctets->setObjectName(QStringLiteral("ringtoneOctets"));
    m_pOctets->setAccessibleName(QStringLiteral("Message size"));
    m_pOctets->setToolTip(QStringLiteral("How much of one Smart Messaging message (130 octets) the ringtone takes, "
                                         "and the tempo a phone plays it at"));
    m_pDropped = new QLabel(pGroup);
    m_pDropped->setObjectName(QStringLiteral("droppedTokens"));
    m_pDropped->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    m_pListen = MakeButton("Listen", kListen, pGroup);
    m_pListen->setShortcut(QKeySequence(Qt::Key_F7));
    m_pListen->setToolTip(QStringLiteral("Play the RTTTL box's ringtone in the media player (F7)"));
    m_pStopListening = MakeButton("Stop Listening", 0, pGroup, false);
    m_pStopListening->setObjectName(QStringLiteral("stopListening"));
    m_pStopListening->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F7));
    m_pStopListening->setToolTip(QStringLiteral("End the media player that Listen started (Shift+F7)"));
    m_pPost = MakeButton("Post to Zorvat Ringtone Gallery", kPost, pGroup);
    m_pTestUpload = Hidden(MakeButton("x", kTestUpload, pGroup));

    auto* pInstrumentRow = new QHBoxLayout;
    pInstrumentRow->addWidget(pInstrumentLabel);
    pInstrumentRow->addWidget(m_pInstrument, 1);

    auto* pButtons = new QHBoxLayout;
    pButtons->addWidget(m_pListen);
    pButtons->addWidget(m_pStopListening);
    pButtons->addStretch(1);
    pButtons->addWidget(m_pPost);
    pButtons->addWidget(m_pTestUpload);

    auto* pLayout = new QVBoxLayout(pGroup);
    pLayout->addWidget(pRtttlLabel);
    pLayout->addWidget(m_pRtttl, 1);
    pLayout->addWidget(m_pPicture);
    pLayout->addWidget(m_pOctets);
    pLayout->addWidget(m_pDropped);
    pLayout->addLayout(pInstrumentRow);
    pLayout->addLayout(pButtons);
    return pGroup;
}

QWidget* CZorvatToneView::BuildChannelStatistic()
{
    auto* pGroup = new QGroupBox(QStringLiteral("Channel Statistic"), this);
    pGroup->setObjectName(QStringLiteral("channelStatistic"));
    auto* pGrid = new QGridLayout(pGroup);
    pGrid->setVerticalSpacing(4);
    const int labelWidth = LongestChannelLabelWidth(fontMetrics());
    for (int c = 0; c < kChannels; ++c) {
        auto* pMark = new QLabel(pGroup);
        pMark->setFixedWidth(pMark->fontMetrics().horizontalAdvance(QString::fromUtf8(kPercussionMark)) + 4);
        auto* pLabel = Named(new QLabel(QString::fromStdString(GmUnknownChannelLabel(c)), pGroup), ChannelLabelId(c));
        pLabel->setFixedWidth(labelWidth);
        auto* pMeter = Named(new QProgressBar(pGroup), ChannelMeterId(c));
        pMeter->setRange(CChannelMeters::kLow, CChannelMeters::kHigh);
        pMeter->setValue(CChannelMeters::kLow);
        pMeter->setTextVisible(false);
        pMeter->setFixedHeight(pLabel->sizeHint().height());
        pMeter->setMinimumWidth(kNarrowestMeter);
        pMeter->setMaximumWidth(kMeterWidth);
        pMeter->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        auto* pBox = Named(new QCheckBox(pGroup), ChannelCheckId(c));
        pBox->setChecked(true);
        pBox->setToolTip(QStringLiteral("Play and record channel %1").arg(c + 1));
        pGrid->addWidget(pMark, c, 0);
        pGrid->addWidget(pLabel, c, 1);
        pGrid->addWidget(pMeter, c, 2);
        pGrid->addWidget(pBox, c, 3);
        m_pSuggestionMark[static_cast<std::size_t>(c)] = pMark;
        m_pChannelLabel[static_cast<std::size_t>(c)] = pLabel;
        m_pMeter[static_cast<std::size_t>(c)] = pMeter;
        m_pChannelBox[static_cast<std::size_t>(c)] = pBox;
    }
    return pGroup;
}

void CZorvatToneView::ConnectControls()
{
    connect(m_pOpen, &QPushButton::clicked, this, &CZorvatToneView::OnOpenMidi);
    connect(m_pPlay, &QPushButton::clicked, this, &CZorvatToneView::OnPlay);
    connect(m_pStop, &QPushButton::clicked, this, &CZorvatToneView::OnStop);
    connect(m_pMute, &QPushButton::clicked, this, &CZorvatToneView::OnMuteToggle);
    connect(m_pSuggest, &QPushButton::clicked, this, &CZorvatToneView::OnTakeSuggestion);
    connect(m_pKeepRhythm, &QCheckBox::toggled, this, &CZorvatToneView::OnKeepRhythm);
    connect(m_pRecordNow, &QPushButton::clicked, this, &CZorvatToneView::OnRecordWithoutPlaying);
    connect(m_pFit, &QCheckBox::toggled, this, &CZorvatToneView::OnFitOneMessage);
    connect(m_pKeepRhythm, &QCheckBox::toggled, m_pFit, &QCheckBox::setEnabled);
    connect(m_pTuneStart, &QPushButton::clicked, this, &CZorvatToneView::OnStartWhereTheTuneBegins);
    connect(m_pOverview, &CSongOverview::channelChosen, this, &CZorvatToneView::CheckChannelAlone);
    // The overview's start is the slider's second; while playing the slider shows
    // the position instead, and the range stays where the recording began.
    connect(m_pSlider, &QSlider::valueChanged, this, [this](int second) {
        if (m_bPlaying || m_pOverview->Model().RangeStart() == second)
            return;
        m_pOverview->Model().SetRangeStart(second);
        m_pOverview->Refresh();
        ShowRange();
    });
    connect(m_pOverview, &CSongOverview::rangeStartChanged, this, [this](int second) {
        if (m_bPlaying)
            return;
        m_bStartAtTune = false;
        m_pSlider->setValue(second);
        ShowElapsed(second);
        ShowRange();
    });
    connect(m_pOverview, &CSongOverview::rangeEndChanged, this, [this] { ShowRange(); });
    connect(m_pRangeStart, &QLineEdit::editingFinished, this, [this] { OnRangeTyped(false); });
    connect(m_pRangeEnd, &QLineEdit::editingFinished, this, [this] { OnRangeTyped(true); });
    connect(m_pRtttl, &QPlainTextEdit::textChanged, this, &CZorvatToneView::OnRtttlEdited);
    connect(m_pShowRttl, &QPushButton::clicked, this, &CZorvatToneView::OnShowRttl);
    connect(m_pShowPdu, &QPushButton::clicked, this, &CZorvatToneView::OnShowPdu);
    connect(m_pListen, &QPushButton::clicked, this, &CZorvatToneView::OnListen);
    connect(m_pStopListening, &QPushButton::clicked, this, &CZorvatToneView::OnStopListening);
    connect(&m_listenTimer, &QTimer::timeout, this, &CZorvatToneView::ShowListening);
    connect(m_pPost, &QPushButton::clicked, this, &CZorvatToneView::OnPostRingtone);
    connect(m_pTestUpload, &QPushButton::clicked, this, &CZorvatToneView::OnTestUpload);
    for (int c = 0; c < kChannels; ++c)
        connect(m_pChannelBox[static_cast<std::size_t>(c)], &QCheckBox::clicked, this,
                [this, c] { OnChannelToggle(c); });

    connect(m_pSlider, &QSlider::sliderPressed, this, [this] { OnHScroll(SliderCode::kThumbTrack); });
    connect(m_pSlider, &QSlider::sliderMoved, this, [this] { OnHScroll(SliderCode::kThumbTrack); });
    connect(m_pSlider, &QSlider::sliderReleased, this, [this] { OnHScroll(SliderCode::kThumbPosition); });
    connect(m_pSlider, &QSlider::actionTriggered, this, &CZorvatToneView::OnSliderAction);
    // Any move by the user's hand leaves the tune's start.
    connect(m_pSlider, &QSlider::actionTriggered, this, [this] { m_bStartAtTune = false; });

    m_secondTimer.setSingleShot(true);
    connect(&m_secondTimer, &QTimer::timeout, this, &CZorvatToneView::OnTimer);
    connect(&m_meterTimer, &QTimer::timeout, this, &CZorvatToneView::OnMeterTimer);
}
