// Commands of the XML page: save the XML dataset to a file, load one, close it, export
// the grid to a workbook, seek from the grid with F10, and parse a file into the
// window's XML document.
#include "MainWindow.h"
#include "TableList.h"
#include "platform/CommonUtils.h"
#include "components/wDBGrid.h"
#include "data/core/Field.h"
#include "platform/PlainFileName.h"
#include <QAction>
#include <QPushButton>

namespace gui {

namespace {

constexpr int kXmlPage = 4;

} // namespace

void Tfm_ADO_Schema::bindXmlPageCommands()
{
    bind(menuItem(QStringLiteral("nSaveDataToXML")), &Tfm_ADO_Schema::nSaveDataToXMLClick);
    bind(menuItem(QStringLiteral("nLoadDataFromXML")), &Tfm_ADO_Schema::nLoadDataFromXMLClick);
    bind(menuItem(QStringLiteral("nCloseXMLDataSet")), &Tfm_ADO_Schema::nCloseXMLDataSetClick);
    bind(menuItem(QStringLiteral("Excel1")), &Tfm_ADO_Schema::Excel1Click);
    bind(menuItem(QStringLiteral("LoadFromFile1")), &Tfm_ADO_Schema::LoadFromFile1Click);
    DBGrid2->OnKeyDown = [this](QObject *, int &key, Qt::KeyboardModifiers shift) {
        runCommand([this, &key, shift] { DBGrid2KeyDown(key, shift); });
    };
    // This grid's caption is a table name: its export keys take it as a file name in the
    // export folder, never as a folder.
    for (auto *hotKey : {&DBGrid2->ExportText, &DBGrid2->ExportSpreadsheet, &DBGrid2->ExportXml})
        *hotKey = [gridExport = *hotKey](components::TwDBGrid *grid, const QString &caption) {
            gridExport(grid, platform::plainFileName(caption));
        };
}

void Tfm_ADO_Schema::nSaveDataToXMLClick()
{
    if (!ADODXML.Active()) {
        ShowProgramMessage(this, QStringLiteral("請檢查 \"使用者定義之資料表\" 是否已開啟!!"));
        showPage(0);
        btnGetTableName->setFocus();
        return;
    }
    // The file is named after the table list's current entry; a dataset loaded before
    // any list was fetched has no name to offer.
    if (!tableList_->hasCurrentTable()) {
        ShowProgramMessage(this, QStringLiteral("[自定表格名稱] 沒有目前的表格, 無法決定XML檔名, 請先取得自定表格!!"));
        return;
    }
    platform::FileDialogRequest request = SaveDialog1;
    request.filter = QStringLiteral("XML|*.xml");
    request.defaultName = platform::plainFileName(tableList_->currentTable()) + QStringLiteral(".xml");
    const QString file = platform::ui().chooseSaveFile(this, request);
    if (!file.isEmpty())
        ADODXML.SaveToFile(file, data::pfXML);
}

void Tfm_ADO_Schema::nLoadDataFromXMLClick()
{
    platform::FileDialogRequest request = OpenDialog1;
    request.filter = QStringLiteral("XML|*.xml");
    const QString file = platform::ui().chooseOpenFile(this, request);
    if (file.isEmpty())
        return;
    // Closed first: a file that does not load leaves the dataset closed.
    ADODXML.Close();
    ADODXML.LoadFromFile(file);
    showPage(kXmlPage);
    // What the file held that the grid does not show (nested rows, undeclared values).
    if (!ADODXML.LoadNotes().isEmpty())
        setPanelText(3, ADODXML.LoadNotes());
}

void Tfm_ADO_Schema::nCloseXMLDataSetClick()
{
    if (ADODXML.Active())
        ADODXML.Close();
}

void Tfm_ADO_Schema::Excel1Click()
{
    if (!ADODXML.Active()) {
        ShowProgramMessage(this, QStringLiteral("請先開啟 XML 資料集"));
        return;
    }
    DBGrid2->ExportToSpreadsheet(platform::plainFileName(DBGrid2->Caption()));
}

void Tfm_ADO_Schema::LoadFromFile1Click()
{
    platform::FileDialogRequest request = OpenDialog1;
    request.filter = QStringLiteral("XML|*.xml");
    const QString file = platform::ui().chooseOpenFile(this, request);
    if (!file.isEmpty())
        XMLD.loadFromFile(file);
}

void Tfm_ADO_Schema::DBGrid2KeyDown(int &key, Qt::KeyboardModifiers)
{
    if (key != Qt::Key_F10 || !ADODXML.Active())
        return;
    data::Field *field = DBGrid2->SelectedField();
    if (!field)
        return;
    // The field itself: its name may hold ";" or blanks a name list would not carry.
    wSeek1.setSeekFields({field});
    wSeek1.Execute();
}

} // namespace gui
