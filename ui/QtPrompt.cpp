#include "ui/QtPrompt.h"

#include <QApplication>
#include <QTextDocument>

QMessageBox::Icon CQtPrompt::IconOf(PromptIcon icon)
{
    switch (icon) {
    case PromptIcon::Stop:
        return QMessageBox::Critical;
    case PromptIcon::Exclamation:
        return QMessageBox::Warning;
    case PromptIcon::Information:
        return QMessageBox::Information;
    case PromptIcon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons CQtPrompt::ButtonsOf(PromptButtons buttons)
{
    return buttons == PromptButtons::OkCancel ? QMessageBox::Ok | QMessageBox::Cancel
                                              : QMessageBox::StandardButtons(QMessageBox::Ok);
}

QString CQtPrompt::DisplayText(const std::string& text)
{
    // A label would draw the CR of a CR LF pair as a box.
    QString shown = QString::fromStdString(text);
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return shown;
}

PromptAnswer CQtPrompt::Show(const std::string& text, const std::string& caption, PromptIcon icon,
                             PromptButtons buttons, const std::string& detail)
{
    QWidget* owner = QApplication::activeModalWidget();
    if (!owner)
        owner = m_pOwner.data();
    QMessageBox box(IconOf(icon), QString::fromStdString(caption), DisplayText(text), ButtonsOf(buttons), owner);
    // Texts are the program's own, never markup.
    box.setTextFormat(Qt::PlainText);
    if (!detail.empty()) {
        // The informative text has no format of its own: text that looks like markup
        // is turned into markup that shows it as written.
        const QString shown = DisplayText(detail);
        box.setInformativeText(Qt::mightBeRichText(shown) ? Qt::convertFromPlainText(shown) : shown);
    }
    box.setDefaultButton(QMessageBox::Ok);
    if (buttons == PromptButtons::OkCancel)
        box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Cancel ? PromptAnswer::Cancel : PromptAnswer::Ok;
}
