#pragma once
// Runs a modal dialog. The program's runner executes it; tests answer it without
// entering a nested event loop, so no test can hang on a dialog.

class QDialog;

class CModalRunner {
public:
    CModalRunner() = default;
    CModalRunner(const CModalRunner&) = delete;
    CModalRunner& operator=(const CModalRunner&) = delete;
    virtual ~CModalRunner() = default;

    // The dialog's result code (QDialog::Accepted or QDialog::Rejected).
    virtual int Run(QDialog& dlg) = 0;
};
