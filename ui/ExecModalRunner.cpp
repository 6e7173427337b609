#include "ui/ExecModalRunner.h"

#include <QDialog>

int CExecModalRunner::Run(QDialog& dlg)
{
    return dlg.exec();
}
