#pragma once
// Display settings of the two data grids kept in the settings file (ADO_OpenSchema.Ini):
// per schema rowset, which columns are shown ("<field>.Visible" = 1/0); per table, the
// column captions ("<field>.DisplayLabel"). The main window's handlers call these with
// its dataset, grid, settings-file path and current names.
#include <QString>
#include <functional>

class QDialog;
class QObject;
class QWidget;

namespace data { class Dataset; }
namespace components { class TwDBGrid; }

namespace schema {

// Open and not being edited.
bool isOpenAndBrowsable(const data::Dataset *dataset);

// After a schema command: each field's visible flag from `section` (shown when absent
// or not an integer).
void ApplySchemaVisibility(data::Dataset *dataset, const QString &iniFile, const QString &section);
// "儲存顯示設定": writes every field's visibility of the grid's dataset under `section`.
// Without an open dataset shows "請先開啟Schema資料集!!" and writes nothing.
void N12Click(components::TwDBGrid *grid, const QString &iniFile, const QString &section,
              QObject *messageOwner = nullptr);
// Double click in the Schema grid: the visibility dialog, modal, on the grid's dataset.
void DBGrid1DblClick(components::TwDBGrid *grid, QWidget *parent = nullptr);

// After the XML dataset opens: labels stored for `currentTable` (nothing when there is no
// current table or its section holds no key).
void ADODXMLAfterOpen(data::Dataset *dataset, const QString &iniFile, const QString &currentTable);
// "存資料集欄位顯示名稱至Ini": writes every field's label under the current table.
// Without an open dataset shows "請先開啟XML資料集!!"; without a current table throws.
void N10Click(components::TwDBGrid *grid, const QString &iniFile, const QString &currentTable,
              QObject *messageOwner = nullptr);
// Double click in the XML grid: the label dialog, only when the dataset was opened from
// the table list.
void DBGrid2DblClick(components::TwDBGrid *grid, bool xmlFromTable, QWidget *parent = nullptr);

// Runs a dialog modally (QDialog::exec by default); tests install a runner that works
// the dialog and returns, so that nothing waits for a person.
using DialogRunner = std::function<int(QDialog *dialog)>;
void setDialogRunner(DialogRunner runner);

} // namespace schema
