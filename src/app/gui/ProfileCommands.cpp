// The profile commands of the main window: the profile start, the two File-menu
// commands, the status-bar panels 0 and 1 and the provider rule of the SQL Server menus.
#include "MainWindow.h"
#include "ProfileStartOptions.h"
#include "data/core/Providers.h"
#include "platform/ProgramFolders.h"
#include "platform/UiServices.h"
#include <QAction>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>

namespace gui {

namespace {
ProfileStartOptions &options()
{
    static ProfileStartOptions current;
    return current;
}
} // namespace

void setProfileStartOptions(const ProfileStartOptions &o)
{
    options() = o;
}

const ProfileStartOptions &profileStartOptions()
{
    return options();
}

} // namespace gui

void Tfm_ADO_Schema::bindProfileCommands()
{
    const gui::ProfileStartOptions &o = gui::profileStartOptions();
    ADOConnectionINI1.setIniFileName(QStringLiteral("ADOConneciton.ini"));
    ADOConnectionINI1.setInitialDir(o.folder.isEmpty() ? platform::settingsFolder() : o.folder);
    panels_.at(0)->setToolTip(QStringLiteral("連接參數設定檔：") + QDir::toNativeSeparators(ADOConnectionINI1.IniFilePath()));
    ADOConnectionINI1.setADOConnection(&ADOConnection1);
    ADOConnectionINI1.setStartKey(profiles::TADOConnectionINI::kDefaultStartKey);
    ADOConnectionINI1.setMultKey(profiles::TADOConnectionINI::kDefaultMultKey);
    ADOConnectionINI1.setAddKey(profiles::TADOConnectionINI::kDefaultAddKey);
    ADOConnectionINI1.setDialogParent(this);
    if (o.installDialogs)
        o.installDialogs(ADOConnectionINI1);
    bind(menuItem(QStringLiteral("nReDefineADOConnectionString")), &Tfm_ADO_Schema::nReDefineADOConnectionStringClick);
    bind(menuItem(QStringLiteral("nGetADOSelected")), &Tfm_ADO_Schema::nGetADOSelectedClick);
}

void Tfm_ADO_Schema::ProfileStart()
{
    if (!gui::profileStartOptions().loadAtStart)
        return;
    ADOConnectionINI1.LoadProfile();
    TellProfileProblem();
    ProfileTail();
}

// A profile that could not be applied is named at once, with the way out: another
// profile of the file, or a new one from the data-link dialog. The file is written only
// when the person picks or builds one.
void Tfm_ADO_Schema::TellProfileProblem()
{
    profiles::TADOConnectionINI &store = ADOConnectionINI1;
    const QString problem = store.LastReadProblemText();
    switch (store.LastReadProblem()) {
    case profiles::ProfileProblem::None:
        return;
    case profiles::ProfileProblem::DamagedPassword:
        platform::ui().showMessage(this, platform::kErrorTitle, problem, platform::MessageIcon::Warning, false);
        return;
    case profiles::ProfileProblem::Unreadable:
        break;
    }
    const QString title = QStringLiteral("程式執行確認");
    if (!store.UsableProfiles().isEmpty() &&
        platform::ui().askYesNo(this, title, problem + QStringLiteral("\n是否從設定檔中選擇其他設定？")) &&
        store.ChooseUsableProfile()) {
        TellProfileProblem(); // the chosen one's password may be damaged too
        return;
    }
    if (platform::ui().askYesNo(this, title, problem + QStringLiteral("\n是否重新設定資料庫連接參數？")))
        store.RebuildProfile();
}

void Tfm_ADO_Schema::ProfileTail()
{
    setPanelText(0, QStringLiteral("來源：") + ADOConnectionINI1.DataSource());
    setPanelText(1, QStringLiteral("資料庫：") + ADOConnectionINI1.InitialCatalog());
    UpdateProviderMenus();
}

void Tfm_ADO_Schema::UpdateProviderMenus()
{
    // Exactly "SQLOLEDB.1", letter case significant: the schema rowsets and the server
    // commands are SQL Server's.
    const bool sqlServer = ADOConnection1.Provider() == data::kSqlServerProvider;
    for (const char *name : {"nSchema", "nMSSQLServer"})
        if (QMenu *menu = menuOf(QString::fromLatin1(name)))
            menu->menuAction()->setEnabled(sqlServer);
    if (QAction *item = menuItem(QStringLiteral("nGetLogMSSQLUsers")))
        item->setEnabled(sqlServer);
    TabSheet3->setEnabled(sqlServer);
}

void Tfm_ADO_Schema::nReDefineADOConnectionStringClick()
{
    if (ADOConnection1.Connected())
        ADOConnection1.Close();
    ADOConnectionINI1.RedefineProfile();
    ProfileTail();
}

void Tfm_ADO_Schema::nGetADOSelectedClick()
{
    if (ADOConnection1.Connected())
        ADOConnection1.Close();
    const bool stored = ADOConnectionINI1.EnabledSelected();
    if (!stored)
        ADOConnectionINI1.setEnabledSelected(true);
    ADOConnectionINI1.LoadProfile();
    if (ADOConnectionINI1.EnabledSelected() != stored)
        ADOConnectionINI1.setEnabledSelected(stored);
    TellProfileProblem();
    ProfileTail();
}
