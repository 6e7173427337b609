#pragma once
// Messages and questions as Qt message boxes: Stop shows the critical icon,
// Exclamation the warning icon, Information and Question their own; OK or OK and
// Cancel; a detail is the box's informative text. A box is owned by the dialog that is modal at the moment (so the Setup
// dialog owns its messages), else by the owner given here.

#include <QMessageBox>
#include <QPointer>
#include <QWidget>
#include <string>

#include "prompt/Prompt.h"

class CQtPrompt final : public CPrompt {
public:
    explicit CQtPrompt(QWidget* pOwner = nullptr) : m_pOwner(pOwner) {}

    void SetOwner(QWidget* pOwner) { m_pOwner = pOwner; }

    PromptAnswer Show(const std::string& text, const std::string& caption, PromptIcon icon,
                      PromptButtons buttons = PromptButtons::Ok, const std::string& detail = {}) override;

    [[nodiscard]] static QMessageBox::Icon IconOf(PromptIcon icon);
    [[nodiscard]] static QMessageBox::StandardButtons ButtonsOf(PromptButtons buttons);
    // The text as a box shows it: CR LF line breaks become plain line breaks.
    [[nodiscard]] static QString DisplayText(const std::string& text);

private:
    QPointer<QWidget> m_pOwner;
};
