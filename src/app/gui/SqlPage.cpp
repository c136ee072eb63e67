// Handler of the SQL page's run button.
#include "MainWindow.h"
#include "SqlPageRunner.h"
#include "platform/CommonUtils.h"
#include <QTextEdit>

namespace gui {

namespace {

// Text taken for a select that brought no rows back has still run: say so, with the
// rows it changed when the database tells, so nobody runs it a second time.
QString ranWithoutRowsText(long long rowsAffected)
{
    QString text = QStringLiteral("指令已執行，沒有傳回資料集。");
    if (rowsAffected >= 0)
        text += QStringLiteral("\n\r影響筆數：%1").arg(rowsAffected);
    return text;
}

} // namespace

void Tfm_ADO_Schema::btnRunClick()
{
    CheckConnected();
    QString text = redSQLText->toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    const SqlPageRunner::Result result = sqlRunner_->run(text);
    switch (result.outcome) {
    case SqlPageRunner::Outcome::Refused:
        ShowProgramMessage(this, QStringLiteral("沒有指令執行!!"));
        break;
    case SqlPageRunner::Outcome::Executed:
        break;
    case SqlPageRunner::Outcome::Opened:
        showPage(4);
        FXMLFromTable = false;
        break;
    case SqlPageRunner::Outcome::RanWithoutRows:
        FXMLFromTable = false;
        ShowProgramMessage(this, ranWithoutRowsText(result.rowsAffected));
        break;
    }
}

} // namespace gui
