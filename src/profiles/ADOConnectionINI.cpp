#include "ADOConnectionINI.h"
#include "platform/CommonUtils.h"
#include "data/core/Connection.h"
#include "platform/Big5Codec.h"
#include "platform/FileAttributes.h"
#include "platform/IniFile.h"
#include "platform/UiServices.h"
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

namespace profiles {

namespace {

const QString kKeyDefault = QStringLiteral("Default ADOConnection");
const QString kKeyEnabledSelected = QStringLiteral("Enabled Selected");
const QString kKeyIniIsHideWritten = QStringLiteral("Ini Is Hide");
const QString kKeyIniIsHideRead = QStringLiteral("Ini is Hide");

// The profile file holds a password: only its owner may read or write it, whatever
// mode an older file had.
constexpr int kProfileFileMode = 0600;

platform::IniFile openIni(const QString &path)
{
    platform::IniFile ini(path);
    ini.setNewFileMode(kProfileFileMode);
    ini.setOwnerOnly(true);
    return ini;
}

bool isLowerName(const QString &name, QLatin1String lower)
{
    return name.compare(lower, Qt::CaseInsensitive) == 0;
}

// Reading a value strips blanks and one pair of enclosing quotes, so a value with a
// blank or quote at either end is stored enclosed in double quotes, which the reading
// removes again. Every other value is stored as it stands.
bool needsEnclosing(char16_t first, char16_t last)
{
    auto special = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'"' || c == u'\''; };
    return special(first) || special(last);
}

QString storable(const QString &value)
{
    if (value.isEmpty() || !needsEnclosing(value.front().unicode(), value.back().unicode()))
        return value;
    return QLatin1Char('"') + value + QLatin1Char('"');
}

QByteArray storable(const QByteArray &value)
{
    if (value.isEmpty() || !needsEnclosing(uchar(value.front()), uchar(value.back())))
        return value;
    return '"' + value + '"';
}

// The scrambled bytes as they go into the file; line breaks and zero bytes cannot be
// carried.
QByteArray storedPassword(const QByteArray &scrambled)
{
    if (scrambled.contains('\0') || scrambled.contains('\r') || scrambled.contains('\n'))
        throw ProfilePasswordError();
    return storable(scrambled);
}

// Control characters (a tab aside) never come from a person's typing; a password that
// unscrambles to one is damaged, and none is ever stored.
bool isTypedPassword(const QByteArray &plain)
{
    return std::none_of(plain.cbegin(), plain.cend(),
                        [](char c) { return (uchar(c) < 0x20 && c != '\t') || uchar(c) == 0x7F; });
}

// A value the file could not give back as it was is refused with the property's name,
// before anything is written.
void checkStorable(const QString &property, const QString &value, bool big5Only)
{
    if (value.contains(QLatin1Char('\r')) || value.contains(QLatin1Char('\n')) || value.contains(QChar(0)))
        throw ProfileValueError(QStringLiteral("連接參數「%1」含有換行或 NUL 字元，無法存入設定檔。").arg(property));
    const qsizetype bad = big5Only ? platform::firstNonBig5(value) : -1;
    if (bad >= 0) {
        const qsizetype length = value.at(bad).isHighSurrogate() && bad + 1 < value.size() ? 2 : 1;
        throw ProfileValueError(QStringLiteral("連接參數「%1」含有設定檔無法存放的字元「%2」（Big5 沒有這個字），無法存入設定檔。")
                                    .arg(property, value.mid(bad, length)));
    }
}

// A value joined into a connection string: quoted the way connection strings quote
// (double quotes, doubled inside) when it holds ";", a quote or blanks at either end.
QString connectionStringValue(const QString &value)
{
    const bool quote = value.contains(QLatin1Char(';')) || value.contains(QLatin1Char('"')) ||
                       value.contains(QLatin1Char('\'')) || value != value.trimmed();
    if (!quote)
        return value;
    return QLatin1Char('"') + QString(value).replace(QLatin1String("\""), QLatin1String("\"\"")) + QLatin1Char('"');
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
    readProblem_ = ProfileProblem::None;
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
    connection_->setConnectionString(QString());
    platform::IniFile ini = openIni(IniFilePath());
    const bool readable = !QFileInfo::exists(IniFilePath()) || platform::IniDocument::load(IniFilePath()).has_value();
    platform::IniDocument file = ini.Snapshot();
    defaultADOConnection_ = file.ReadString(kMainSection, kKeyDefault, kDefaultProfileName);
    enabledSelected_ = file.ReadBool(kMainSection, kKeyEnabledSelected, false);
    iniIsHide_ = file.ReadBool(kMainSection, kKeyIniIsHideRead, true);

    if (allowChoice && enabledSelected_) {
        sectionList_ = file.ReadSections();
        sectionList_.removeIf([](const QString &s) { return s.compare(kMainSection, Qt::CaseInsensitive) == 0; });
        ChooseProfile();
        if (ini.ReadString(kMainSection, kKeyDefault, kDefaultProfileName) != defaultADOConnection_) {
            ini.WriteString(kMainSection, kKeyDefault, defaultADOConnection_);
            file = ini.Snapshot();
        }
    }
    applyProfile(file);
    if (!readable)
        readProblem_ = ProfileProblem::Unreadable;
    setIniIsHide(iniIsHide_);
}

bool TADOConnectionINI::ReadNamedProfile(const QString &name)
{
    const std::optional<platform::IniDocument> file = platform::IniDocument::load(IniFilePath());
    if (!connection_ || !file)
        return false;
    defaultADOConnection_ = name.isEmpty() ? file->ReadString(kMainSection, kKeyDefault, kDefaultProfileName) : name;
    if (defaultADOConnection_.compare(kMainSection, Qt::CaseInsensitive) == 0 ||
        !file->SectionExists(defaultADOConnection_))
        return false;
    connection_->setConnectionString(QString());
    applyProfile(*file);
    return true;
}

bool TADOConnectionINI::RebuildProfile()
{
    if (!connection_ || !builder_)
        return false;
    connection_->setConnectionString(builder_->BuildConnectionString(dialogParent_, QString()));
    if (connection_->ConnectionString().isEmpty())
        return false;
    WriteProfile();
    return true;
}

// Applies the section DefaultADOConnection of the file to the connection and notes
// what was wrong with it.
void TADOConnectionINI::applyProfile(const platform::IniDocument &file)
{
    data::Connection &conn = *connection_;
    readProblem_ = ProfileProblem::None;
    const QString section = defaultADOConnection_;
    const QStringList keys = file.ReadSection(section);
    dataSource_ = file.ReadString(section, QStringLiteral("Data Source"), QString());
    initialCatalog_ = file.ReadString(section, QStringLiteral("Initial Catalog"), QString());
    conn.setProvider(file.ReadString(section, QStringLiteral("Provider"), QString()));
    if (conn.Provider().isEmpty())
        readProblem_ = ProfileProblem::Unreadable;
    // The pairs are appended to what the connection reports after the provider is set,
    // and the whole string is handed over once. The first key of a section is the
    // provider, already applied.
    QString rebuilt = conn.ConnectionString();
    for (qsizetype i = 1; i < keys.size(); ++i) {
        const QString &key = keys.at(i);
        const bool password = key.toLower() == QLatin1String("password");
        const QString value = password ? readPassword(file, section, key) : file.ReadString(section, key, QString());
        if (password && value.isNull())
            continue; // damaged: never sent
        if (!rebuilt.isEmpty())
            rebuilt += QLatin1Char(';');
        rebuilt += key + QLatin1Char('=') + connectionStringValue(value);
    }
    conn.setConnectionString(rebuilt);
}

// The stored password unscrambled; empty for none, a null text when its bytes do not
// unscramble to what a person can have typed (control characters, no Big5 text): the
// file was damaged or written with other keys.
QString TADOConnectionINI::readPassword(const platform::IniDocument &file, const QString &section, const QString &key)
{
    const QByteArray stored = file.ReadRawString(section, key, QByteArray());
    if (stored.isEmpty())
        return QStringLiteral("");
    const QByteArray plain = Unscramble(stored);
    const QString text = platform::big5Decode(plain);
    if (!isTypedPassword(plain) || platform::big5Encode(text) != plain) {
        readProblem_ = ProfileProblem::DamagedPassword;
        return QString();
    }
    return text;
}

QString TADOConnectionINI::LastReadProblemText() const
{
    const QString file = QDir::toNativeSeparators(IniFilePath());
    switch (readProblem_) {
    case ProfileProblem::None:
        break;
    case ProfileProblem::Unreadable:
        return QStringLiteral("無法讀取資料庫參數設定檔 %1 中的設定「%2」（檔案不完整或已損壞，沒有提供者）。")
            .arg(file, defaultADOConnection_);
    case ProfileProblem::DamagedPassword:
        return QStringLiteral("資料庫參數設定檔 %1 中設定「%2」的密碼無法解開（檔案可能已損壞），密碼沒有送出。"
                              "請以「重新設定資料庫連接參數」重新輸入這個設定的密碼。")
            .arg(file, defaultADOConnection_);
    }
    return {};
}

QStringList TADOConnectionINI::UsableProfiles() const
{
    const platform::IniDocument file = platform::IniDocument::loadOrEmpty(IniFilePath());
    QStringList usable;
    for (const QString &section : file.ReadSections())
        if (section.compare(kMainSection, Qt::CaseInsensitive) != 0 &&
            !file.ReadString(section, QStringLiteral("Provider"), QString()).isEmpty())
            usable << section;
    return usable;
}

bool TADOConnectionINI::ChooseUsableProfile()
{
    if (!connection_ || !chooser_)
        return false;
    sectionList_ = UsableProfiles();
    if (sectionList_.isEmpty())
        return false;
    const auto chosen = chooser_->ChooseProfile(sectionList_, defaultADOConnection_);
    if (!chosen || !sectionList_.contains(*chosen))
        return false;
    defaultADOConnection_ = *chosen;
    platform::IniFile ini = openIni(IniFilePath());
    ini.WriteString(kMainSection, kKeyDefault, defaultADOConnection_);
    connection_->setConnectionString(QString());
    applyProfile(ini.Snapshot());
    setIniIsHide(iniIsHide_);
    return true;
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

// What WriteProfile stores for a property: the scrambled password, the application's
// title, the computer's name, or the value as it stands.
QString TADOConnectionINI::storedValue(const QString &name, const QString &value) const
{
    if (isLowerName(name, QLatin1String("application name")))
        return ApplicationTitle();
    if (isLowerName(name, QLatin1String("workstation id")))
        return GetComputerNameText();
    return value;
}

void TADOConnectionINI::WriteProfile()
{
    if (!connection_)
        return;
    data::Connection &conn = *connection_;
    // Every value is checked first: one the file cannot carry stops the write before
    // anything is written. The password is scrambled from its Big5 bytes, so it must
    // have them whatever the file's encoding.
    const data::ConnectionProperties &props = conn.Properties();
    const platform::IniDocument current = platform::IniFile(IniFilePath()).Snapshot();
    const bool big5File = current.encoding() == platform::TextEncoding::Ansi;
    checkStorable(QStringLiteral("Provider"), conn.Provider(), big5File);
    QByteArray password;
    for (int i = 0; i < props.Count(); ++i) {
        const auto &item = props.Item(i);
        const bool isPassword = isLowerName(item.name, QLatin1String("password")) && !item.value.isEmpty();
        checkStorable(item.name, storedValue(item.name, item.value), big5File || isPassword);
        if (isPassword && !isTypedPassword(platform::big5Encode(item.value)))
            throw ProfilePasswordError();
        if (isPassword)
            password = storedPassword(Scramble(platform::big5Encode(item.value)));
        if (isPassword && !current.holdsRawExactly(password))
            throw ProfilePasswordError();
    }
    ensureFolder();
    platform::IniFile ini = openIni(IniFilePath());
    dataSource_.clear();
    initialCatalog_.clear();
    ProfileNameFromProperties();
    ini.WriteString(kMainSection, kKeyDefault, defaultADOConnection_);
    ini.WriteBool(kMainSection, kKeyEnabledSelected, enabledSelected_);
    ini.WriteBool(kMainSection, kKeyIniIsHideWritten, iniIsHide_);

    // The section is erased and written anew in one write of the file.
    const QString section = defaultADOConnection_;
    ini.Update([&](platform::IniDocument &file) {
        file.eraseSection(section);
        file.setValue(section, QStringLiteral("Provider"), storable(conn.Provider()));
        for (int i = 0; i < props.Count(); ++i) {
            const auto &item = props.Item(i);
            if (isLowerName(item.name, QLatin1String("password")) && !item.value.isEmpty())
                file.setRawValue(section, item.name, password);
            else
                file.setValue(section, item.name, storable(storedValue(item.name, item.value)));
        }
        return true;
    });
    const platform::IniDocument written = ini.Snapshot();
    dataSource_ = written.ReadString(section, QStringLiteral("Data Source"), QString());
    initialCatalog_ = written.ReadString(section, QStringLiteral("Initial Catalog"), QString());
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
