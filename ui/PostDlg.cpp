#include "ui/PostDlg.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/ControlIds.h"
#include "upload/UploadStatusText.h"

namespace {

template <typename W>
W* Named(W* pWidget, int id)
{
    pWidget->setObjectName(ControlName(id));
    return pWidget;
}

} // namespace

CPostDlg::CPostDlg(CPostController& controller, const CSettingsStore& settings, CPrompt& prompt,
                   CHttpTransport& transport, QWidget* pParent)
    : QDialog(pParent), m_controller(controller), m_settings(settings), m_prompt(prompt), m_transport(transport)
{
    BuildControls();
    connect(&m_statusLine, &CQtStatusLine::textChanged, this, &CPostDlg::ShowStatus);
    // The transfer's thread touches no Qt object: Qt's cross-thread events are made
    // on one thread and freed on the other under locks that ThreadSanitizer cannot
    // see. This thread collects the texts and the end instead, often enough for the
    // eye.
    m_pollTimer.setInterval(kPollMs);
    connect(&m_pollTimer, &QTimer::timeout, this, &CPostDlg::OnPollTransfer);
    UpdateButtons();
}

CPostDlg::~CPostDlg()
{
    if (m_worker.joinable())
        m_worker.join();
}

void CPostDlg::BuildControls()
{
    setWindowTitle(QStringLiteral("Post Ringtone"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    auto* pDetail = new QGroupBox(QStringLiteral("Ringtone Detail"), this);
    m_pToneName = Named(new QLineEdit(pDetail), ControlId::Post::kToneName);
    m_pToneName->setMaxLength(kMaxToneName);
    m_pCategory = Named(new QComboBox(pDetail), ControlId::Post::kCategory);
    m_pCategory->addItems({QStringLiteral("English Song"), QStringLiteral("Chinese Song"),
                           QStringLiteral("Classical Music"), QStringLiteral("Others")});
    m_pCategory->setCurrentIndex(-1);
    auto* pNameLabel = new QLabel(QStringLiteral("Ringtone Name"), pDetail);
    pNameLabel->setBuddy(m_pToneName);
    auto* pCategoryLabel = new QLabel(QStringLiteral("Catergory"), pDetail);
    pCategoryLabel->setBuddy(m_pCategory);
    auto* pDetailGrid = new QGridLayout(pDetail);
    pDetailGrid->addWidget(pNameLabel, 0, 0);
    pDetailGrid->addWidget(m_pToneName, 0, 1);
    pDetailGrid->addWidget(pCategoryLabel, 1, 0);
    pDetailGrid->addWidget(m_pCategory, 1, 1);
    pDetailGrid->setColumnStretch(1, 1);

    auto* pStatusGroup = new QGroupBox(QStringLiteral("Upload Status"), this);
    m_pStatus = Named(new QLabel(QString::fromUtf8(kStatusIdle.data(), static_cast<qsizetype>(kStatusIdle.size())),
                                 pStatusGroup),
                      ControlId::Post::kStatus);
    m_pStatus->setMinimumWidth(m_pStatus->fontMetrics().horizontalAdvance(QStringLiteral("M")) * 24);
    auto* pStatusLayout = new QVBoxLayout(pStatusGroup);
    pStatusLayout->addWidget(m_pStatus);

    m_pPost = Named(new QPushButton(QStringLiteral("POST"), this), ControlId::Post::kPost);
    m_pPost->setDefault(true);
    m_pBack = Named(new QPushButton(QStringLiteral("Back"), this), ControlId::Post::kBack);
    m_pBack->setAutoDefault(false);
    connect(m_pPost, &QPushButton::clicked, this, &CPostDlg::OnOK);
    connect(m_pBack, &QPushButton::clicked, this, &CPostDlg::reject);

    auto* pButtons = new QHBoxLayout;
    pButtons->addStretch(1);
    pButtons->addWidget(m_pPost);
    pButtons->addWidget(m_pBack);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(pDetail);
    pLayout->addWidget(pStatusGroup);
    pLayout->addLayout(pButtons);
    pLayout->setSizeConstraint(QLayout::SetFixedSize);
}

QString CPostDlg::StatusText() const
{
    return m_pStatus->text();
}

void CPostDlg::UpdateButtons()
{
    m_pPost->setEnabled(m_controller.PostEnabled());
    m_pBack->setEnabled(m_controller.BackEnabled());
}

void CPostDlg::OnOK()
{
    if (m_worker.joinable())
        return;
    m_controller.SetToneName(m_pToneName->text().toStdString());
    m_controller.SetCategory(m_pCategory->currentIndex());
    if (!m_controller.BeginPost(m_settings, m_prompt))
        return;
    UpdateButtons();
    // The transfer blocks for as long as the network takes; on its own thread the
    // dialog keeps repainting and showing each step.
    m_worker = std::thread([this] {
        m_controller.Transfer(m_transport, m_statusLine);
        m_bTransferDone.store(true);
    });
    m_pollTimer.start();
}

void CPostDlg::OnPollTransfer()
{
    // Read before the texts: every text set before the end is then among them.
    const bool bDone = m_bTransferDone.load();
    m_statusLine.DeliverPending();
    if (!bDone)
        return;
    m_pollTimer.stop();
    m_worker.join();
    m_bTransferDone.store(false);
    m_controller.FinishPost(m_prompt);
    UpdateButtons();
    emit postFinished();
}

void CPostDlg::ShowStatus(const QString& text)
{
    m_pStatus->setText(text);
    emit statusShown(text);
}

void CPostDlg::reject()
{
    if (!m_controller.BackEnabled())
        return;
    QDialog::reject();
}
