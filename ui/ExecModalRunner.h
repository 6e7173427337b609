#pragma once
// Runs a dialog with QDialog::exec.

#include "ui/ModalRunner.h"

class CExecModalRunner final : public CModalRunner {
public:
    int Run(QDialog& dlg) override;
};
