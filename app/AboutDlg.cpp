#include "app/AboutDlg.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>

#include "ui/HowToDlg.h"
#include "ui/OkButtonRow.h"

namespace {

constexpr int kIconSize = 64;

// Null when no image plugin for SVG is installed: the box then goes without it.
QPixmap AppIcon()
{
    QIcon icon(QStringLiteral(":/zorvattone.svg"));
    return icon.pixmap(kIconSize, kIconSize);
}

} // namespace

QStringList CAboutDlg::Lines()
{
    return {QStringLiteral("Zorvat Zavi Version 0.99 (Beta)"),
            QStringLiteral("Written by the ZorvatTone developers"),
            QStringLiteral("Copyright (C) 2026 The ZorvatTone developers"),
            QStringLiteral("Zorvat SMS Service: %1").arg(QString::fromUtf8(kServiceSite)),
            QStringLiteral("\u2022 Operator logos for Nokia phones on request"),
            QStringLiteral("\u2022 Ringtones for Nokia phones on request"),
            QStringLiteral("\u2022 Free SMS software"),
            QStringLiteral("\u2022 And more to come"),
            QStringLiteral("Dedicated to everyone who still hums the ringtones of their first phone.")};
}

CAboutDlg::CAboutDlg(QWidget* pParent) : QDialog(pParent)
{
    setWindowTitle(QStringLiteral("About Zorvat Zavi"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    auto* pText = new QVBoxLayout;
    const QStringList lines = Lines();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        auto* pLine = new QLabel(lines[i], this);
        pLine->setTextFormat(Qt::PlainText);
        // Gaps set the service and the dedication apart.
        if (i == 3 || i == 8)
            pText->addSpacing(8);
        pText->addWidget(pLine);
    }

    auto* pTop = new QHBoxLayout;
    const QPixmap icon = AppIcon();
    if (!icon.isNull()) {
        auto* pIcon = new QLabel(this);
        pIcon->setObjectName(QStringLiteral("aboutIcon"));
        pIcon->setPixmap(icon);
        pIcon->setAlignment(Qt::AlignTop);
        pTop->addWidget(pIcon);
        pTop->addSpacing(12);
    }
    pTop->addLayout(pText, 1);

    QHBoxLayout* pButtons = MakeOkButtonRow(*this);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pTop);
    pLayout->addSpacing(8);
    pLayout->addLayout(pButtons);
    pLayout->setSizeConstraint(QLayout::SetFixedSize);
}

CAboutDlg::~CAboutDlg() = default;
