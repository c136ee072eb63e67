// Display settings of the two grids: which columns of a schema rowset DBGrid1 shows and
// the column captions of a table in DBGrid2, kept in the settings file (FSchemaIniFile).
#include "MainWindow.h"
#include "TableList.h"
#include "components/wDBGrid.h"
#include "schema/GridDisplaySettings.h"
#include <QAction>

namespace gui {

void Tfm_ADO_Schema::bindGridSettings()
{
    bind(menuItem(QStringLiteral("N12")), &Tfm_ADO_Schema::N12Click);
    bind(menuItem(QStringLiteral("N10")), &Tfm_ADO_Schema::N10Click);
    DBGrid1->OnDblClick = [this](QObject *) { runCommand([this] { DBGrid1DblClick(); }); };
    DBGrid2->OnDblClick = [this](QObject *) { runCommand([this] { DBGrid2DblClick(); }); };
    // Whatever opened the XML dataset (table list, SQL page, XML file), the labels stored
    // for the current table apply. The grid rebuilds its columns after this, so the new
    // captions show without more ado.
    connect(&ADODXML, &data::Dataset::afterOpen, this,
            [this] { runCommand([this] { ADODXMLAfterOpen(); }); });
}

void Tfm_ADO_Schema::N12Click()
{
    // The caption holds the Name of the schema command that filled the grid, which is
    // also the section its visibility is applied from.
    schema::N12Click(DBGrid1, FSchemaIniFile, DBGrid1->Caption(), this);
}

void Tfm_ADO_Schema::DBGrid1DblClick()
{
    schema::DBGrid1DblClick(DBGrid1, this);
}

void Tfm_ADO_Schema::ADODXMLAfterOpen()
{
    schema::ADODXMLAfterOpen(&ADODXML, FSchemaIniFile, tableList_->currentTable());
}

void Tfm_ADO_Schema::N10Click()
{
    schema::N10Click(DBGrid2, FSchemaIniFile, tableList_->currentTable(), this);
}

void Tfm_ADO_Schema::DBGrid2DblClick()
{
    schema::DBGrid2DblClick(DBGrid2, FXMLFromTable, this);
}

} // namespace gui
