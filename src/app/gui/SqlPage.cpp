// Handler of the SQL page's run button.
#include "MainWindow.h"
#include "SqlPageRunner.h"
#include "app/core/CommonUtils.h"
#include <QTextEdit>

namespace gui {

void Tfm_ADO_Schema::btnRunClick()
{
    CheckConnected();
    QString text = redSQLText->toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    switch (sqlRunner_->run(text)) {
    case SqlPageRunner::Outcome::Refused:
        ShowProgramMessage(this, QStringLiteral("沒有指令執行!!"));
        break;
    case SqlPageRunner::Outcome::Executed:
        break;
    case SqlPageRunner::Outcome::Opened:
        showPage(4);
        FXMLFromTable = false;
        break;
    }
}

} // namespace gui
