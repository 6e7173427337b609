#pragma once
// The right-aligned OK button that closes the program's message-like boxes.

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>

#include "ui/ControlIds.h"

// OK is the default button, named "control1" (ControlId::kOk) as the boxes' IDOK, and
// accepts the box.
inline QHBoxLayout* MakeOkButtonRow(QDialog& dialog)
{
    auto* pOk = new QPushButton(QStringLiteral("OK"), &dialog);
    pOk->setObjectName(ControlName(ControlId::kOk));
    pOk->setDefault(true);
    QObject::connect(pOk, &QPushButton::clicked, &dialog, &QDialog::accept);
    auto* pRow = new QHBoxLayout;
    pRow->addStretch(1);
    pRow->addWidget(pOk);
    return pRow;
}
