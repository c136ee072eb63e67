// rowset: a schema rowset of the catalogue (the window's schema page) to a rowset XML
// file, or the names of the rowsets this program knows.
#include "Command.h"
#include "Console.h"
#include "Failures.h"
#include "OutputFiles.h"
#include "data/core/Connection.h"
#include "data/core/Dataset.h"
#include "data/core/SchemaLayouts.h"
#include <QFileInfo>

namespace cli {

namespace {

// Positional restrictions; an empty value means "any", as an unset one in the window.
std::vector<QVariant> restrictionsFrom(const QCommandLineParser &parser, const data::SchemaLayout &layout)
{
    const QStringList values = parser.values(QStringLiteral("restrict"));
    if (values.size() > layout.restrictionColumns.size())
        throw UsageError{QStringLiteral("%1 最多只有 %2 個限制條件：%3")
                             .arg(layout.rowset)
                             .arg(layout.restrictionColumns.size())
                             .arg(layout.restrictionColumns.join(QStringLiteral(", ")))};
    std::vector<QVariant> restrictions;
    for (const QString &v : values)
        restrictions.push_back(v.isEmpty() ? QVariant() : QVariant(v));
    return restrictions;
}

void openRowset(Invocation &call)
{
    if (call.parser.isSet(QStringLiteral("list"))) {
        for (const QString &name : data::knownSchemaRowsets())
            printLine(name);
        return;
    }
    const QStringList names = call.parser.positionalArguments();
    if (names.size() != 1)
        throw UsageError{QStringLiteral("請指定一個結構描述資料集名稱 (--list 列出所有名稱)")};
    const data::SchemaLayout *layout = data::findSchemaLayout(names.first());
    if (!layout)
        throw UsageError{QStringLiteral("沒有結構描述資料集 \"%1\" (--list 列出所有名稱)").arg(names.first())};
    const QString out = requiredValue(call.parser, QStringLiteral("xml"));
    const std::vector<QVariant> restrictions = restrictionsFrom(call.parser, *layout);
    data::Dataset dataset;
    call.connection().OpenSchema(layout->rowset, &restrictions, dataset);
    writeDataset(exchange::ExportFormat::Xml, QFileInfo(out).absoluteFilePath(), dataset);
}

} // namespace

Command rowsetCommand()
{
    return {QStringLiteral("rowset"),
            QStringLiteral("NAME [--restrict VALUE]… --xml FILE | --list"),
            QStringLiteral("將結構描述資料集 (如 TABLES、COLUMNS、INDEXES) 寫成 XML 檔"),
            {{QStringLiteral("restrict"), QStringLiteral("依序的限制條件，可重複；空字串表示不限"), QStringLiteral("VALUE")},
             {QStringLiteral("xml"), QStringLiteral("寫入的 XML 檔"), QStringLiteral("FILE")},
             {QStringLiteral("list"), QStringLiteral("列出所有結構描述資料集名稱 (不需連接)")}},
            openRowset};
}

} // namespace cli
