// Handlers of the table list on page 0: fetch the names, show a table's fields and
// indexes, open a table's rows on a click when the box is ticked.
#include "MainWindow.h"
#include "TableList.h"
#include "components/wDBGrid.h"
#include <QCheckBox>

namespace gui {

void Tfm_ADO_Schema::btnGetTableNameClick()
{
    tableList_->fetchTables();
    setPanelText(3, QStringLiteral("自定表格名稱內滑鼠左鍵連按二次, 可取得表格欄位, 索引檔"));
}

void Tfm_ADO_Schema::lbxTableNameDblClick()
{
    tableList_->showCurrentTableDetails();
}

void Tfm_ADO_Schema::lbxTableNameClick()
{
    if (!cbxOpenDataSet->isChecked() || !tableList_->hasCurrentTable())
        return;
    // Closing first clears the grid caption and the "opened from the list" mark, so a
    // table that cannot be opened leaves neither behind.
    const QString table = tableList_->openCurrentTable(ADODXML);
    DBGrid2->setCaption(table);
    FXMLFromTable = true;
}

} // namespace gui
