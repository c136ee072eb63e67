// The exports of TwDBGrid: tab-separated text, .xls workbook and rowset XML files of the
// dataset it shows, and loading such an XML file back. The files themselves are written
// by the exchange library; this part picks the columns, checks the grid's state and
// talks to the user.
#include "wDBGrid.h"
#include "data/core/Dataset.h"
#include "data/core/Field.h"
#include "exchange/DatasetWorkbook.h"
#include "exchange/DatasetFile.h"
#include "exchange/ExportColumns.h"
#include "exchange/ExportError.h"
#include "exchange/ExportTarget.h"
#include "exchange/SpreadsheetApp.h"
#include "exchange/TabTextExport.h"
#include "exchange/Worksheet.h"
#include "platform/ProgramFolders.h"
#include "platform/UiServices.h"
#include <QCoreApplication>
#include <QDateTime>
#include <optional>

namespace components {

namespace {

using exchange::kSheetExtension;
using exchange::kTextExtension;
using exchange::kXmlExtension;

bool browsingWithRecords(const data::Dataset *ds)
{
    return ds && ds->State() == data::dsBrowse && !ds->IsEmpty();
}

// Text and spreadsheet files hold every row of a browsed, non-empty result: the rows are
// fetched and the grid's export target set for fileName. Nothing when there is nothing
// to write.
std::optional<exchange::ExportTarget> prepareRowsExport(TwDBGrid &grid, const QString &fileName)
{
    data::Dataset *ds = grid.DataSet();
    if (!browsingWithRecords(ds))
        return std::nullopt;
    ds->RequireAllRows();
    grid.SetExportTarget(fileName);
    return exchange::ExportTarget{grid.ExportDir(), grid.ExportName()};
}

// The grid's columns as the export rule sees them (exchange/ExportColumns.h).
std::vector<exchange::ShownColumn> shownColumns(const TwDBGrid &grid)
{
    std::vector<exchange::ShownColumn> shown;
    for (int i = 0; i < grid.ColumnCount(); ++i) {
        const TCheckColumn *c = grid.Columns(i);
        shown.push_back({c->TitleCaption(), c->Field(), c->Visible()});
    }
    return shown;
}

void plainMessage(QObject *owner, const QString &text)
{
    platform::ui().showMessage(owner, QCoreApplication::applicationName(), text, platform::MessageIcon::None, false);
}

void showExportDone(QObject *owner, const exchange::ExportTarget &target, const QString &extension,
                    qint64 valuesWithReplacements = 0)
{
    QString text = exchange::exportDoneMessage(target.name + extension, target.dir);
    if (valuesWithReplacements > 0)
        text += QStringLiteral("\n\r其中 %1 項文字含有 Big5 (code page 950) 無法表示的字元，已以 \"?\" 代替寫入!!")
                    .arg(valuesWithReplacements);
    platform::ui().beep();
    plainMessage(owner, text);
}

} // namespace

void TwDBGrid::SetExportTarget(const QString &fileName)
{
    const exchange::ExportTarget target = exchange::exportTargetFor(fileName, platform::outputFolder());
    FExportDir = target.dir;
    FExportName = target.name;
}

bool TwDBGrid::ExportToText(const QString &fileName)
{
    const std::optional<exchange::ExportTarget> target = prepareRowsExport(*this, fileName);
    if (!target)
        return false;
    const exchange::TextExportResult result =
        exchange::writeTabText(target->filePath(kTextExtension), *DataSet(), exchange::textColumnsOf(shownColumns(*this)),
                               exchange::linesEndWithTab(shownColumns(*this)));
    showExportDone(this, *target, kTextExtension, result.valuesWithReplacements);
    return true;
}

bool TwDBGrid::ExportToSpreadsheet(const QString &fileName)
{
    const std::optional<exchange::ExportTarget> prepared = prepareRowsExport(*this, fileName);
    if (!prepared)
        return false;
    const exchange::ExportTarget &target = *prepared;
    data::Dataset *ds = DataSet();
    const std::vector<exchange::SheetColumn> columns = exchange::sheetColumnsOf(shownColumns(*this));
    try {
        exchange::Worksheet::checkFits(exchange::kSheetHeaderRows + ds->RecordCount(), qint64(columns.size()));
    } catch (const exchange::SheetLimitError &e) {
        plainMessage(this, e.message());
        return false;
    }
    const exchange::SpreadsheetApp app = exchange::findSpreadsheetApp();
    const bool openAfterwards =
        app.found() && platform::ui().askYesNo(this, QStringLiteral("程式執行確認"), QStringLiteral("是否進入 Excel 編修模式？"));
    const QString path = target.filePath(kSheetExtension);
    try {
        exchange::writeDatasetWorkbook(path, *ds, columns, QDateTime::currentDateTime());
    } catch (const exchange::ExportError &e) {
        plainMessage(this, e.message()); // the file's own error, or a value a sheet cannot hold
        return false;
    }
    showExportDone(this, target, kSheetExtension);
    if (openAfterwards && !platform::ui().launchProgram(app.program, app.argumentsFor(path)))
        plainMessage(this, QStringLiteral("無法啟動Excel!!"));
    return true;
}

bool TwDBGrid::ExportToXML(const QString &fileName)
{
    data::Dataset *ds = DataSet();
    if (!ds || ds->State() != data::dsBrowse) {
        platform::ui().beep();
        plainMessage(this, QStringLiteral("請先確認資料來源及是否在瀏覽中!!"));
        return false;
    }
    SetExportTarget(fileName);
    const exchange::ExportTarget target{FExportDir, FExportName};
    ds->SaveToFile(target.filePath(kXmlExtension), data::pfXML);
    showExportDone(this, target, kXmlExtension);
    return true;
}

bool TwDBGrid::LoadFromXML()
{
    data::Dataset *ds = DataSet();
    if (!ds) {
        platform::ui().beep();
        plainMessage(this, QStringLiteral("本資料集不支援 XML !!"));
        return false;
    }
    ds->Close();
    platform::FileDialogRequest request;
    request.filter = QStringLiteral("XML 檔案|*.xml");
    request.initialDir = platform::outputFolder();
    const QString file = platform::ui().chooseOpenFile(this, request);
    if (file.isEmpty())
        return false;
    ds->LoadFromFile(file);
    if (!ds->LoadNotes().isEmpty())
        plainMessage(this, ds->LoadNotes());
    return true;
}

} // namespace components
