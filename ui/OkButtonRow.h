#pragma once
// The right-aligned OK button that closes the program's message-like boxes.

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>

// OK is the default button, named "control1" as the boxes' IDOK, and accepts the box.
inline QHBoxLayout* MakeOkButtonRow(QDialog& dialog)
{
    auto* pOk = new QPushButton(QStringLiteral("OK"), &dialog);
    pOk->setObjectName(QStringLiteral("control1"));
    pOk->setDefault(true);
    QObject::connect(pOk, &QPushButton::clicked, &dialog, &QDialog::accept);
    auto* pRow = new QHBoxLayout;
    pRow->addStretch(1);
    pRow->addWidget(pOk);
    return pRow;
}
