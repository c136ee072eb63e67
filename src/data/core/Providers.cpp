#include "data/core/Providers.h"

namespace data {

namespace {

// The OLE DB initialisation properties every provider shares, in the order the
// property collection lists them. "Initial Catalog" comes before "Data Source", so a
// stored profile is named source.catalog and two servers' databases of one name do not
// share one profile.
std::vector<ProviderProperty> commonProperties()
{
    return {
        {QStringLiteral("Password"), QString()},
        {QStringLiteral("Persist Security Info"), QStringLiteral("False")},
        {QStringLiteral("User ID"), QString()},
        {QStringLiteral("Initial Catalog"), QString()},
        {QStringLiteral("Data Source"), QString()},
        {QStringLiteral("Window Handle"), QString()},
        {QStringLiteral("Location"), QString()},
        {QStringLiteral("Mode"), QString()},
        {QStringLiteral("Prompt"), QStringLiteral("4")},
        {QStringLiteral("Connect Timeout"), QStringLiteral("15")},
        {QStringLiteral("Extended Properties"), QString()},
        {QStringLiteral("Locale Identifier"), QStringLiteral("1028")},
        {QStringLiteral("OLE DB Services"), QString()},
        {QStringLiteral("General Timeout"), QStringLiteral("0")},
    };
}

std::vector<ProviderProperty> sqlServerProperties()
{
    auto props = commonProperties();
    const std::vector<ProviderProperty> extra = {
        {QStringLiteral("Integrated Security"), QString()},
        {QStringLiteral("Current Language"), QString()},
        {QStringLiteral("Network Address"), QString()},
        {QStringLiteral("Network Library"), QString()},
        {QStringLiteral("Use Procedure for Prepare"), QStringLiteral("1")},
        {QStringLiteral("Auto Translate"), QStringLiteral("True")},
        {QStringLiteral("Packet Size"), QStringLiteral("4096")},
        {QStringLiteral("Application Name"), QString()},
        {QStringLiteral("Workstation ID"), QString()},
        {QStringLiteral("Initial File Name"), QString()},
        {QStringLiteral("Use Encryption for Data"), QStringLiteral("False")},
        {QStringLiteral("Tag with column collation when possible"), QStringLiteral("False")},
    };
    props.insert(props.end(), extra.begin(), extra.end());
    return props;
}

} // namespace

const std::vector<ProviderInfo> &providers()
{
    static const std::vector<ProviderInfo> all = {
        {kSqlServerProvider, QStringLiteral("Microsoft OLE DB Provider for SQL Server"),
         &openSqlServerSession, sqlServerProperties()},
        {kOdbcProvider, QStringLiteral("Microsoft OLE DB Provider for ODBC Drivers"),
         &openOdbcSession, commonProperties()},
        {kSqliteProvider, QStringLiteral("SQLite embedded database"), &openSqliteSession,
         commonProperties()},
    };
    return all;
}

const ProviderInfo *findProvider(const QString &name)
{
    const QString wanted = name.trimmed();
    for (const auto &p : providers()) {
        if (p.name.compare(wanted, Qt::CaseInsensitive) == 0)
            return &p;
        const QString base = p.name.section(QLatin1Char('.'), 0, 0);
        if (base.compare(wanted, Qt::CaseInsensitive) == 0)
            return &p;
    }
    return nullptr;
}

} // namespace data
