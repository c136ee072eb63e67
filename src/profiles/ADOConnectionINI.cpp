#include "ADOConnectionINI.h"
#include "app/core/CommonUtils.h"
#include "data/Connection.h"
#include "platform/Big5Codec.h"
#include "platform/FileAttributes.h"
#include "platform/IniFile.h"
#include "platform/UiServices.h"
#include <QCoreApplication>
#include <QFileInfo>
#include <cerrno>
#include <sys/stat.h>

namespace profiles {

namespace {

const QString kKeyDefault = QStringLiteral("Default ADOConnection");
const QString kKeyEnabledSelected = QStringLiteral("Enabled Selected");
const QString kKeyIniIsHideWritten = QStringLiteral("Ini Is Hide");
const QString kKeyIniIsHideRead = QStringLiteral("Ini is Hide");

// The profile file holds a password: only its owner may read or write it.
constexpr int kProfileFileMode = 0600;

platform::IniFile openIni(const QString &path)
{
    platform::IniFile ini(path);
    ini.setNewFileMode(kProfileFileMode);
    return ini;
}

// The scrambled bytes as they go into the file. Reading strips blanks and one pair of
// enclosing quotes, so a value with a blank or quote at either end is enclosed in
// quotes, which the reading removes again; line breaks and zero bytes cannot be carried.
QByteArray storedPassword(const QByteArray &scrambled)
{
    if (scrambled.contains('\0') || scrambled.contains('\r') || scrambled.contains('\n'))
        throw ProfilePasswordError();
    auto special = [](char c) { return c == ' ' || c == '\t' || c == '"' || c == '\''; };
    if (special(scrambled.front()) || special(scrambled.back()))
        return '"' + scrambled + '"';
    return scrambled;
}

} // namespace

TADOConnectionINI::TADOConnectionINI(QObject *owner)
    : QObject(owner), iniFileName_(QStringLiteral("ADOConneciton.ini"))
{
    initialDir_ = QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                               : QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    while (initialDir_.size() > 1 && initialDir_.endsWith(QLatin1Char('/')))
        initialDir_.chop(1);
}

TADOConnectionINI::~TADOConnectionINI() = default;

void TADOConnectionINI::setADOConnection(data::Connection *connection)
{
    connection_ = connection;
}

QString TADOConnectionINI::IniFilePath() const
{
    return initialDir_ + QLatin1Char('/') + iniFileName_;
}

QString TADOConnectionINI::ApplicationTitle()
{
    const QString path = QCoreApplication::instance() ? QCoreApplication::applicationFilePath()
                                                      : QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    const QString name = QFileInfo(path).fileName().section(QLatin1Char('.'), 0, 0);
    if (name.isEmpty())
        return name;
    return name.left(1) + name.mid(1).toLower();
}

void TADOConnectionINI::ensureFolder() const
{
    if (QFileInfo(initialDir_).isDir())
        return;
    if (::mkdir(QFile::encodeName(initialDir_).constData(), 0777) != 0)
        throw ProfileIoError(QStringLiteral("I/O error %1: cannot create the folder %2 (%3)")
                                 .arg(errno)
                                 .arg(initialDir_, platform::systemErrorMessage(errno)));
}

void TADOConnectionINI::setIniIsHide(bool hide)
{
    iniIsHide_ = hide;
    applyHidden();
}

void TADOConnectionINI::applyHidden()
{
    const QString path = IniFilePath();
    if (!QFileInfo::exists(path))
        return;
    int error = 0;
    const int attributes = platform::fileGetAttr(path, &error);
    bool ok = attributes >= 0;
    if (ok && !iniIsHide_ && (attributes & platform::faHidden))
        ok = platform::fileSetAttr(path, attributes - platform::faHidden, &error);
    else if (ok && iniIsHide_ && !(attributes & platform::faHidden))
        ok = platform::fileSetAttr(path, platform::faHidden, &error);
    if (!ok)
        platform::ui().showMessage(nullptr, ApplicationTitle(), platform::systemErrorMessage(error),
                                   platform::MessageIcon::None, false);
}

void TADOConnectionINI::setEnabledSelected(bool enabled)
{
    if (enabled == enabledSelected_)
        return;
    enabledSelected_ = enabled;
    ensureFolder();
    openIni(IniFilePath()).WriteBool(kMainSection, kKeyEnabledSelected, enabled);
}

void TADOConnectionINI::LoadProfile()
{
    if (!connection_)
        return;
    if (QFileInfo::exists(IniFilePath())) {
        ReadProfile(true);
        return;
    }
    const QString current = connection_->ConnectionString();
    connection_->setConnectionString(builder_ ? builder_->BuildConnectionString(dialogParent_, current) : current);
    if (editor_)
        editor_->RunConnectionEditor(*connection_);
    WriteProfile();
}

bool TADOConnectionINI::RedefineProfile()
{
    if (!connection_)
        return false;
    if (QFileInfo::exists(IniFilePath()))
        ReadProfile(false);
    const QString current = connection_->ConnectionString();
    connection_->setConnectionString(builder_ ? builder_->BuildConnectionString(dialogParent_, current) : current);
    connection_->Properties().Refresh(connection_->Provider(),
                                      data::ConnectionString(connection_->ConnectionString()));
    if (connection_->ConnectionString().isEmpty())
        return false;
    WriteProfile();
    return true;
}

void TADOConnectionINI::ReadProfile(bool allowChoice)
{
    if (!connection_)
        return;
    data::Connection &conn = *connection_;
    conn.setConnectionString(QString());
    {
        platform::IniFile ini = openIni(IniFilePath());
        defaultADOConnection_ = ini.ReadString(kMainSection, kKeyDefault, kDefaultProfileName);
        enabledSelected_ = ini.ReadBool(kMainSection, kKeyEnabledSelected, false);
        iniIsHide_ = ini.ReadBool(kMainSection, kKeyIniIsHideRead, true);

        if (allowChoice && enabledSelected_) {
            sectionList_ = ini.ReadSections();
            sectionList_.removeIf([](const QString &s) { return s.compare(kMainSection, Qt::CaseInsensitive) == 0; });
            ChooseProfile();
            if (ini.ReadString(kMainSection, kKeyDefault, kDefaultProfileName) != defaultADOConnection_)
                ini.WriteString(kMainSection, kKeyDefault, defaultADOConnection_);
        }

        const QString section = defaultADOConnection_;
        const QStringList keys = ini.ReadSection(section);
        dataSource_ = ini.ReadString(section, QStringLiteral("Data Source"), QString());
        initialCatalog_ = ini.ReadString(section, QStringLiteral("Initial Catalog"), QString());
        conn.setProvider(ini.ReadString(section, QStringLiteral("Provider"), QString()));
        // The first key of a section is the provider, already applied.
        for (qsizetype i = 1; i < keys.size(); ++i) {
            const QString &key = keys.at(i);
            QString value;
            if (key.toLower() == QLatin1String("password")) {
                const QByteArray stored = ini.ReadRawString(section, key, QByteArray());
                value = stored.isEmpty() ? QString() : platform::big5Decode(Unscramble(stored));
            } else {
                value = ini.ReadString(section, key, QString());
            }
            const QString current = conn.ConnectionString();
            const QString pair = key + QLatin1Char('=') + value;
            conn.setConnectionString(current.isEmpty() ? pair : current + QLatin1Char(';') + pair);
        }
    }
    setIniIsHide(iniIsHide_);
}

void TADOConnectionINI::ProfileNameFromProperties()
{
    if (!connection_)
        return;
    QString name;
    bool seen = false;
    const data::ConnectionProperties &props = connection_->Properties();
    for (int i = 0; i < props.Count(); ++i) {
        const auto &item = props.Item(i);
        const QString lower = item.name.toLower();
        if (lower == QLatin1String("data source") && !item.value.isEmpty()) {
            name = item.value + QLatin1Char('.') + name;
            seen = true;
        } else if (lower == QLatin1String("initial catalog") && !item.value.isEmpty()) {
            name = item.value;
        }
    }
    if (seen)
        defaultADOConnection_ = name;
}

void TADOConnectionINI::WriteProfile()
{
    if (!connection_)
        return;
    data::Connection &conn = *connection_;
    // The password's stored form first: one the file cannot carry stops the write
    // before anything is written.
    QByteArray password;
    const data::ConnectionProperties &props = conn.Properties();
    for (int i = 0; i < props.Count(); ++i)
        if (props.Item(i).name.toLower() == QLatin1String("password") && !props.Item(i).value.isEmpty())
            password = storedPassword(Scramble(platform::big5Encode(props.Item(i).value)));
    ensureFolder();
    {
        platform::IniFile ini = openIni(IniFilePath());
        dataSource_.clear();
        initialCatalog_.clear();
        ProfileNameFromProperties();
        ini.WriteString(kMainSection, kKeyDefault, defaultADOConnection_);
        ini.WriteBool(kMainSection, kKeyEnabledSelected, enabledSelected_);
        ini.WriteBool(kMainSection, kKeyIniIsHideWritten, iniIsHide_);

        const QString section = defaultADOConnection_;
        ini.EraseSection(section);
        ini.WriteString(section, QStringLiteral("Provider"), conn.Provider());
        for (int i = 0; i < props.Count(); ++i) {
            const auto &item = props.Item(i);
            const QString lower = item.name.toLower();
            if (lower == QLatin1String("password") && !item.value.isEmpty())
                ini.WriteRawString(section, item.name, password);
            else if (lower == QLatin1String("application name"))
                ini.WriteString(section, item.name, ApplicationTitle());
            else if (lower == QLatin1String("workstation id"))
                ini.WriteString(section, item.name, GetComputerNameText());
            else
                ini.WriteString(section, item.name, item.value);
        }
        dataSource_ = ini.ReadString(section, QStringLiteral("Data Source"), QString());
        initialCatalog_ = ini.ReadString(section, QStringLiteral("Initial Catalog"), QString());
    }
    setIniIsHide(iniIsHide_);
}

void TADOConnectionINI::ChooseProfile()
{
    if (!chooser_)
        return;
    if (const auto chosen = chooser_->ChooseProfile(sectionList_, defaultADOConnection_))
        defaultADOConnection_ = *chosen;
}

// One output byte per input byte: the byte XOR bits 8 to 15 of the key, the key then
// moving on by the scrambled byte of the step. 32-bit arithmetic with wrap-around.
QByteArray TADOConnectionINI::Scramble(const QByteArray &text) const
{
    QByteArray out(text.size(), '\0');
    quint32 key = quint32(startKey_);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const quint8 o = quint8(text.at(i)) ^ quint8(key >> 8);
        out[i] = char(o);
        key = (key + o) * quint32(multKey_) + quint32(addKey_);
    }
    return out;
}

QByteArray TADOConnectionINI::Unscramble(const QByteArray &text) const
{
    QByteArray out(text.size(), '\0');
    quint32 key = quint32(startKey_);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const quint8 b = quint8(text.at(i));
        out[i] = char(b ^ quint8(key >> 8));
        key = (key + b) * quint32(multKey_) + quint32(addKey_);
    }
    return out;
}

} // namespace profiles
