#include "DatasetFile.h"
#include "DatasetWorkbook.h"
#include "ExportColumns.h"
#include "TabTextExport.h"
#include "Worksheet.h"
#include "data/core/Dataset.h"

namespace exchange {

namespace {

struct FormatName {
    const char *name;
    ExportFormat format;
};
constexpr FormatName kFormats[] = {{"xml", ExportFormat::Xml}, {"txt", ExportFormat::Text}, {"xls", ExportFormat::Sheet}};

qint64 writeText(const QString &path, const data::Dataset &dataset)
{
    const std::vector<ShownColumn> shown = fieldColumnsOf(dataset);
    return writeTabText(path, dataset, textColumnsOf(shown), linesEndWithTab(shown)).valuesWithReplacements;
}

void writeSheet(const QString &path, const data::Dataset &dataset, const QDateTime &now)
{
    const std::vector<SheetColumn> columns = sheetColumnsOf(fieldColumnsOf(dataset));
    Worksheet::checkFits(kSheetHeaderRows + dataset.RecordCount(), qint64(columns.size()));
    writeDatasetWorkbook(path, dataset, columns, now);
}

} // namespace

std::optional<ExportFormat> exportFormatNamed(const QString &name)
{
    for (const FormatName &f : kFormats)
        if (name.compare(QLatin1String(f.name), Qt::CaseInsensitive) == 0)
            return f.format;
    return std::nullopt;
}

QString extensionOf(ExportFormat format)
{
    switch (format) {
    case ExportFormat::Xml: return kXmlExtension;
    case ExportFormat::Text: return kTextExtension;
    case ExportFormat::Sheet: return kSheetExtension;
    }
    return QString();
}

qint64 writeDatasetFile(ExportFormat format, const QString &path, data::Dataset &dataset, const QDateTime &now)
{
    dataset.RequireAllRows();
    if (format == ExportFormat::Xml)
        dataset.SaveToFile(path, data::pfXML);
    else if (format == ExportFormat::Text)
        return writeText(path, dataset);
    else
        writeSheet(path, dataset, now);
    return 0;
}

} // namespace exchange
