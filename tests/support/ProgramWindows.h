// Builds every window and dialog of the program as a user first meets it, plus the Qt
// dialogs and menus the program shows through Qt (message boxes, file dialogs, an
// editor's context menu), for checks that walk all of them. Windows that later features
// add belong in buildProgramWindows().
#pragma once

#include "app/gui/MainWindow.h"
#include "app/help/HelpWindow.h"
#include "profiles/gui/AdoConEd.h"
#include "profiles/gui/DataLinkDialog.h"
#include "profiles/gui/SelectADOIniDlg.h"
#include "schema/ReFieldDisplayLabel.h"
#include "schema/ReSchemaVisible.h"
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <memory>
#include <vector>

namespace shown {

struct ProgramWindow {
    QString name;
    std::unique_ptr<QWidget> window;
};

inline std::vector<ProgramWindow> buildProgramWindows(const QString &emptyFolder)
{
    std::vector<ProgramWindow> out;
    auto add = [&out](const char *name, QWidget *window) {
        out.push_back(ProgramWindow{QString::fromLatin1(name), std::unique_ptr<QWidget>(window)});
    };
    add("main window", new Tfm_ADO_Schema);
    add("data-link dialog", new profiles::TDataLinkDialog);
    add("connection string editor", new profiles::TConnEditForm);
    auto *chooser = new profiles::Tfm_SelectADOIniDlg;
    chooser->AddName(QStringLiteral("總公司.銷售")); // a stored profile: source.catalog
    add("profile chooser", chooser);
    add("column visibility dialog", new schema::Tfm_ReSchemaVisible);
    add("display label dialog", new schema::Tfm_ReFieldDisplayLabel);
    auto *help = new help::HelpWindow;
    help->showTopic(profiles::TConnEditForm::kHelpTopic);
    add("help window", help);

    // What Qt itself shows for the program.
    add("message box", new QMessageBox(QMessageBox::Question, QStringLiteral("程式執行確認"),
                                       QStringLiteral("確定？"),
                                       QMessageBox::Ok | QMessageBox::Cancel | QMessageBox::Yes | QMessageBox::No));
    auto *files = new QFileDialog(nullptr, QStringLiteral("開啟"), emptyFolder);
    files->setOption(QFileDialog::DontUseNativeDialog);
    files->setNameFilter(QStringLiteral("XML (*.xml)"));
    add("file dialog", files);
    auto *editor = new QWidget;
    auto *edit = new QLineEdit(editor);
    edit->setText(QStringLiteral("x"));
    QMenu *menu = edit->createStandardContextMenu();
    menu->setParent(nullptr, Qt::Popup); // owned here, not by the edit
    add("editor", editor);
    add("editor context menu", menu);
    return out;
}

} // namespace shown
