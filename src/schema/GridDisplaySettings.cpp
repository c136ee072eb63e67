#include "GridDisplaySettings.h"
#include "ReFieldDisplayLabel.h"
#include "ReSchemaVisible.h"
#include "platform/CommonUtils.h"
#include "components/wDBGrid.h"
#include "data/core/DatabaseError.h"
#include "data/core/Dataset.h"
#include "data/core/Field.h"
#include "platform/IniFile.h"

namespace schema {

namespace {

const QString kVisible = QStringLiteral(".Visible");
const QString kDisplayLabel = QStringLiteral(".DisplayLabel");

DialogRunner &runner()
{
    static DialogRunner r;
    return r;
}

int runModal(QDialog *dialog)
{
    return runner() ? runner()(dialog) : dialog->exec();
}

} // namespace

void setDialogRunner(DialogRunner r)
{
    runner() = std::move(r);
}

bool isOpenAndBrowsable(const data::Dataset *dataset)
{
    return dataset && dataset->Active() && dataset->State() == data::dsBrowse;
}

void ApplySchemaVisibility(data::Dataset *dataset, const QString &iniFile, const QString &section)
{
    if (!isOpenAndBrowsable(dataset))
        return;
    const platform::IniFile ini(iniFile);
    for (int i = 0; i < dataset->FieldCount(); ++i) {
        data::Field *f = dataset->Fields(i);
        f->setVisible(ini.ReadInteger(section, f->FieldName() + kVisible, 1) != 0);
    }
}

void N12Click(components::TwDBGrid *grid, const QString &iniFile, const QString &section, QObject *messageOwner)
{
    data::Dataset *ds = grid ? grid->DataSet() : nullptr;
    if (!isOpenAndBrowsable(ds)) {
        ShowProgramMessage(messageOwner, QStringLiteral("請先開啟Schema資料集!!"));
        return;
    }
    platform::IniFile ini(iniFile);
    for (int i = 0; i < ds->FieldCount(); ++i) {
        const data::Field *f = ds->Fields(i);
        ini.WriteBool(section, f->FieldName() + kVisible, f->Visible()); // throws on the first failure
    }
}

void DBGrid1DblClick(components::TwDBGrid *grid, QWidget *parent)
{
    data::Dataset *ds = grid ? grid->DataSet() : nullptr;
    if (!isOpenAndBrowsable(ds))
        return;
    Tfm_ReSchemaVisible dialog(parent);
    dialog.setDataSource(ds, grid);
    runModal(&dialog);
}

void ADODXMLAfterOpen(data::Dataset *dataset, const QString &iniFile, const QString &currentTable)
{
    if (!dataset || !dataset->Active() || currentTable.isEmpty())
        return;
    const platform::IniFile ini(iniFile);
    if (ini.ReadSection(currentTable).isEmpty())
        return;
    for (int i = 0; i < dataset->FieldCount(); ++i) {
        data::Field *f = dataset->Fields(i);
        f->setDisplayLabel(ini.ReadString(currentTable, f->FieldName() + kDisplayLabel, f->FieldName()));
    }
}

void N10Click(components::TwDBGrid *grid, const QString &iniFile, const QString &currentTable, QObject *messageOwner)
{
    data::Dataset *ds = grid ? grid->DataSet() : nullptr;
    if (!isOpenAndBrowsable(ds)) {
        ShowProgramMessage(messageOwner, QStringLiteral("請先開啟XML資料集!!"));
        return;
    }
    if (currentTable.isEmpty())
        throw data::DatabaseError(QStringLiteral("清單索引超出範圍 (-1)"));
    platform::IniFile ini(iniFile);
    for (int i = 0; i < ds->FieldCount(); ++i) {
        const data::Field *f = ds->Fields(i);
        ini.WriteString(currentTable, f->FieldName() + kDisplayLabel, f->DisplayLabel());
    }
}

void DBGrid2DblClick(components::TwDBGrid *grid, bool xmlFromTable, QWidget *parent)
{
    if (!xmlFromTable || !grid || !grid->DataSet())
        return;
    Tfm_ReFieldDisplayLabel dialog(parent);
    dialog.setDataSource(grid->DataSet(), grid);
    runModal(&dialog);
}

} // namespace schema
