#pragma once
// TADOConnectionINI: the settings of one database connection kept as named profiles in
// an INI file (code page 950), the password scrambled. It applies the current profile
// to the connection, stores the connection's settings as a profile, lets the user pick
// among profiles and keeps the file hidden. It never opens or closes the connection.
//
// The store has no windows of its own: the profile choice, the data-link dialog and the
// connection string editor reach it through the small interfaces below, which the GUI
// library (ProfileDialogs.h) implements with Qt dialogs. Without them the store runs
// as if every dialog were cancelled.
#include "data/core/Connection.h"
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QPointer>
#include <optional>
#include <stdexcept>

namespace platform { class IniDocument; }

namespace profiles {

// The choice among stored profiles: the names in list order and the current name.
// Returns the chosen name when the user ends with OK, nullopt for Cancel.
class ProfileChooser {
public:
    virtual ~ProfileChooser() = default;
    virtual std::optional<QString> ChooseProfile(const QStringList &names, const QString &current) = 0;
};

// The data-link dialog: the string the user built, or `initial` when cancelled.
class ConnectionStringBuilder {
public:
    virtual ~ConnectionStringBuilder() = default;
    virtual QString BuildConnectionString(QObject *parent, const QString &initial) = 0;
};

// The connection string editor for a connection; true when it changed the string.
class ConnectionEditorRunner {
public:
    virtual ~ConnectionEditorRunner() = default;
    virtual bool RunConnectionEditor(data::Connection &connection) = 0;
};

// A folder that could not be created (an input/output error).
class ProfileIoError : public std::runtime_error {
public:
    explicit ProfileIoError(const QString &message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString &message() const { return message_; }

private:
    QString message_;
};

// A password whose scrambled bytes the INI line cannot carry (a zero byte, carriage
// return or line feed among them).
class ProfilePasswordError : public std::runtime_error {
public:
    ProfilePasswordError()
        : std::runtime_error(QStringLiteral("密碼無法存入設定檔，請改用其他密碼。").toStdString()) {}
};

// A property value the profile file cannot hold: a line break or NUL, or a character
// without a form in the file's code page (Big5). The message names the property.
class ProfileValueError : public std::runtime_error {
public:
    explicit ProfileValueError(const QString &message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString &message() const { return message_; }

private:
    QString message_;
};

inline const QString kMainSection = QStringLiteral("&&Main&&");

// What the last read found wrong with the profile it applied: a file that could not be
// read or a profile without a provider (a truncated or garbled file), or a scrambled
// password that does not unscramble to text a person typed, which is then left out of
// the connection string rather than sent.
enum class ProfileProblem { None, Unreadable, DamagedPassword };
inline const QString kDefaultProfileName = QStringLiteral("ADOConnectionString");

class TADOConnectionINI : public QObject {
    Q_OBJECT
public:
    // Scrambling keys of this program: the same three values must read a file back.
    static constexpr qint32 kDefaultStartKey = 847;
    static constexpr qint32 kDefaultMultKey = 31253;
    static constexpr qint32 kDefaultAddKey = 17389;

    explicit TADOConnectionINI(QObject *owner = nullptr);
    ~TADOConnectionINI() override;

    // --- published ------------------------------------------------------------------
    QString IniFileName() const { return iniFileName_; }
    void setIniFileName(const QString &name) { iniFileName_ = name; }
    QString InitialDir() const { return initialDir_; }
    void setInitialDir(const QString &dir) { initialDir_ = dir; }
    data::Connection *ADOConnection() const { return connection_; }
    void setADOConnection(data::Connection *connection);
    bool IniIsHide() const { return iniIsHide_; }
    void setIniIsHide(bool hide); // applies the hidden attribute at once
    qint32 StartKey() const { return startKey_; }
    void setStartKey(qint32 key) { startKey_ = key; }
    qint32 MultKey() const { return multKey_; }
    void setMultKey(qint32 key) { multKey_ = key; }
    qint32 AddKey() const { return addKey_; }
    void setAddKey(qint32 key) { addKey_ = key; }

    // --- public state -----------------------------------------------------------------
    bool EnabledSelected() const { return enabledSelected_; }
    void setEnabledSelected(bool enabled); // written to the file at once when it changes
    QString DefaultADOConnection() const { return defaultADOConnection_; }
    void setDefaultADOConnection(const QString &name) { defaultADOConnection_ = name; }
    QString DataSource() const { return dataSource_; }
    QString InitialCatalog() const { return initialCatalog_; }
    QStringList &SectionList() { return sectionList_; }

    // The INI file: InitialDir + "/" + IniFileName.
    QString IniFilePath() const;

    // --- operations ---------------------------------------------------------------------
    void LoadProfile();
    bool RedefineProfile();

    void ReadProfile(bool allowChoice);
    // Applies the profile `name` (empty: the file's default one) to the connection
    // without offering a choice or touching the file, for programs run from a shell.
    // False when the file cannot be read or holds no such profile.
    bool ReadNamedProfile(const QString &name);
    void WriteProfile();
    void ProfileNameFromProperties();
    void ChooseProfile();

    // The last ReadProfile's finding, and the sentence that tells the person which
    // profile of which file it concerns.
    ProfileProblem LastReadProblem() const { return readProblem_; }
    QString LastReadProblemText() const;
    // Profiles of the file that have a provider, in file order.
    QStringList UsableProfiles() const;
    // Offers the usable profiles; the chosen one is stored as the current profile and
    // applied. False when there is none or the person cancels (nothing is written then).
    bool ChooseUsableProfile();
    // The data-link dialog from an empty connection string; what the person ends with
    // is stored as a profile. False, and nothing written, when it comes back empty.
    bool RebuildProfile();

    QByteArray Scramble(const QByteArray &text) const;
    QByteArray Unscramble(const QByteArray &text) const;

    // The application's title: the executable's name without folder and without
    // everything from its first ".", the first character as it stands, the rest lower.
    static QString ApplicationTitle();

    // --- dialogs (not owned; nullptr = behave as cancelled) --------------------------
    void setProfileChooser(ProfileChooser *chooser) { chooser_ = chooser; }
    void setConnectionStringBuilder(ConnectionStringBuilder *builder) { builder_ = builder; }
    void setConnectionEditorRunner(ConnectionEditorRunner *runner) { editor_ = runner; }
    // Parent window handed to the data-link dialog (the application window).
    void setDialogParent(QObject *parent) { dialogParent_ = parent; }

private:
    void ensureFolder() const;
    QString storedValue(const QString &name, const QString &value) const;
    void applyHidden();
    void applyProfile(const platform::IniDocument &file);
    QString readPassword(const platform::IniDocument &file, const QString &section, const QString &key);

    QString iniFileName_;
    QString initialDir_;
    QPointer<data::Connection> connection_;
    bool iniIsHide_ = true;
    qint32 startKey_ = kDefaultStartKey;
    qint32 multKey_ = kDefaultMultKey;
    qint32 addKey_ = kDefaultAddKey;
    bool enabledSelected_ = false;
    QString defaultADOConnection_;
    QString dataSource_;
    QString initialCatalog_;
    QStringList sectionList_;
    ProfileProblem readProblem_ = ProfileProblem::None;
    ProfileChooser *chooser_ = nullptr;
    ConnectionStringBuilder *builder_ = nullptr;
    ConnectionEditorRunner *editor_ = nullptr;
    QPointer<QObject> dialogParent_;
};

} // namespace profiles
