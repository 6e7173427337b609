#pragma once
// A modal runner for tests: hands every dialog to the test's handler (which may
// fill in fields and press buttons) and returns the dialog's result. Without a
// handler the dialog is rejected, as if Cancel were pressed.

#include <QDialog>
#include <functional>

#include "ui/ModalRunner.h"

class CFakeModalRunner final : public CModalRunner {
public:
    using Handler = std::function<void(QDialog&)>;

    void SetHandler(Handler handler) { m_handler = std::move(handler); }
    [[nodiscard]] int RunCount() const { return m_nRuns; }

    int Run(QDialog& dlg) override
    {
        ++m_nRuns;
        dlg.setResult(QDialog::Rejected);
        if (m_handler)
            m_handler(dlg);
        else
            dlg.reject();
        return dlg.result();
    }

private:
    Handler m_handler;
    int m_nRuns = 0;
};
