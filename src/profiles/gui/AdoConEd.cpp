#include "AdoConEd.h"
#include "DataLinkDialog.h"
#include "SelectADOIniDlg.h"
#include "data/core/Connection.h"
#include "platform/UiServices.h"
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>

namespace profiles {

namespace {

const QString kFileNamePrefix = QStringLiteral("FILE NAME=");
constexpr int kMaxPath = 260;

// Everything up to and including the last "/".
QString folderPart(const QString &path)
{
    return path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
}

void setEnabledColoured(QWidget *w, bool enabled)
{
    w->setEnabled(enabled);
    QPalette p = w->palette();
    p.setColor(QPalette::Base, w->palette().color(enabled ? QPalette::Active : QPalette::Disabled,
                                                   enabled ? QPalette::Base : QPalette::Button));
    w->setPalette(p);
}

} // namespace

TConnEditForm::TConnEditForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ConnEditForm"));
    setFixedSize(472, 185);

    SourceofConnection = new QGroupBox(QStringLiteral(" Source of Connection "), this);
    SourceofConnection->setObjectName(QStringLiteral("SourceofConnection"));
    SourceofConnection->setGeometry(8, 8, 456, 129);
    UseDataLinkFile = new QRadioButton(QStringLiteral("Use Data &Link File"), SourceofConnection);
    UseDataLinkFile->setObjectName(QStringLiteral("UseDataLinkFile"));
    UseDataLinkFile->setGeometry(10, 22, 250, 20);
    DataLinkFile = new QComboBox(SourceofConnection);
    DataLinkFile->setObjectName(QStringLiteral("DataLinkFile"));
    DataLinkFile->setEditable(true);
    DataLinkFile->setInsertPolicy(QComboBox::NoInsert);
    DataLinkFile->setGeometry(28, 44, 330, 24);
    Browse = new QPushButton(QStringLiteral("&Browse..."), SourceofConnection);
    Browse->setObjectName(QStringLiteral("Browse"));
    Browse->setGeometry(366, 43, 80, 26);
    UseConnectionString = new QRadioButton(QStringLiteral("Use &Connection String"), SourceofConnection);
    UseConnectionString->setObjectName(QStringLiteral("UseConnectionString"));
    UseConnectionString->setGeometry(10, 74, 250, 20);
    ConnectionString = new QLineEdit(SourceofConnection);
    ConnectionString->setObjectName(QStringLiteral("ConnectionString"));
    ConnectionString->setGeometry(28, 96, 330, 24);
    Build = new QPushButton(QStringLiteral("B&uild..."), SourceofConnection);
    Build->setObjectName(QStringLiteral("Build"));
    Build->setGeometry(366, 95, 80, 26);

    OkButton = new QPushButton(QStringLiteral("OK"), this);
    OkButton->setObjectName(QStringLiteral("OkButton"));
    OkButton->setGeometry(224, 148, 75, 27);
    OkButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setGeometry(306, 148, 75, 27);
    CancelButton->setAutoDefault(false);
    HelpButton = new QPushButton(QStringLiteral("&Help"), this);
    HelpButton->setObjectName(QStringLiteral("HelpButton"));
    HelpButton->setGeometry(388, 148, 75, 27);
    HelpButton->setAutoDefault(false);
    Browse->setAutoDefault(false);
    Build->setAutoDefault(false);

    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(HelpButton, &QPushButton::clicked, this, &TConnEditForm::HelpButtonClick);
    connect(UseDataLinkFile, &QRadioButton::clicked, this, &TConnEditForm::SourceButtonClick);
    connect(UseConnectionString, &QRadioButton::clicked, this, &TConnEditForm::SourceButtonClick);
    connect(Browse, &QPushButton::clicked, this, &TConnEditForm::BrowseClick);
    connect(Build, &QPushButton::clicked, this, &TConnEditForm::BuildClick);
    FormCreate();
}

void TConnEditForm::FormCreate()
{
    helpTopic_ = kHelpTopic;
    QStringList names;
    FindDataLinkFiles(names, QString());
    names.sort(Qt::CaseInsensitive);
    DataLinkFile->clear();
    DataLinkFile->addItems(names);
    DataLinkFile->setCurrentIndex(-1);
    DataLinkFile->setEditText(QString());
}

void TConnEditForm::PrepareEditor(const QString &current)
{
    UseDataLinkFile->setChecked(true);
    if (current.startsWith(kFileNamePrefix)) {
        const QString file = current.mid(kFileNamePrefix.size(), kMaxPath);
        if (folderPart(file) == DataLinkFolder() + QLatin1Char('/'))
            DataLinkFile->setEditText(file.mid(folderPart(file).size()));
        else
            DataLinkFile->setEditText(file);
    } else {
        ConnectionString->setText(current);
        UseConnectionString->setChecked(true);
    }
    SourceButtonClick();
}

QString TConnEditForm::EditorResult(const QString &current) const
{
    if (result() != QDialog::Accepted)
        return current;
    if (UseConnectionString->isChecked())
        return ConnectionString->text();
    const QString text = DataLinkFile->currentText();
    if (text.isEmpty())
        return QString();
    if (!folderPart(text).isEmpty())
        return kFileNamePrefix + text;
    return kFileNamePrefix + DataLinkFolder() + QLatin1Char('/') + text;
}

QString TConnEditForm::ShowEditor(const QString &current)
{
    PrepareEditor(current);
    setResult(QDialog::Rejected);
    exec();
    return EditorResult(current);
}

void TConnEditForm::SourceButtonClick()
{
    const bool useFile = UseDataLinkFile->isChecked();
    setEnabledColoured(DataLinkFile, useFile);
    Browse->setEnabled(DataLinkFile->isEnabled());
    setEnabledColoured(ConnectionString, UseConnectionString->isChecked());
    Build->setEnabled(ConnectionString->isEnabled());
    if (DataLinkFile->isEnabled())
        DataLinkFile->setFocus();
    else
        ConnectionString->setFocus();
}

void TConnEditForm::BrowseClick()
{
    DataLinkFile->setEditText(ChooseDataLinkFile(this, DataLinkFile->currentText()));
}

void TConnEditForm::BuildClick()
{
    ConnectionString->setText(BuildConnectionString(this, ConnectionString->text()));
}

void TConnEditForm::HelpButtonClick()
{
    emit helpRequested(helpTopic_);
    platform::ui().showHelp(this, helpTopic_);
}

bool RunConnectionEditor(data::Connection &connection)
{
    TConnEditForm dialog;
    const QString owner = connection.parent() ? connection.parent()->objectName() : QString();
    dialog.setWindowTitle(QStringLiteral("%1%2%3 %4")
                              .arg(owner, QStringLiteral("."), connection.objectName(),
                                   QStringLiteral("ConnectionString")));
    const QString present = connection.ConnectionString();
    const QString edited = dialog.ShowEditor(present);
    if (edited == present)
        return false;
    connection.setConnectionString(edited);
    return true;
}

QString BuildConnectionString(QWidget *parent, const QString &initial)
{
    TDataLinkDialog dialog(parent);
    dialog.SetConnectionString(initial);
    if (dialog.exec() != QDialog::Accepted)
        return initial;
    return dialog.ResultConnectionString();
}

QString ChooseDataLinkFile(QWidget *parent, const QString &initial)
{
    platform::FileDialogRequest request;
    request.title = QStringLiteral("選取資料連結檔");
    request.initialDir = initial.isEmpty() ? QString() : folderPart(initial);
    request.filter = QStringLiteral("資料連結檔|*.udl");
    const QString chosen = platform::ui().chooseOpenFile(parent, request);
    return chosen.isEmpty() ? initial : chosen;
}

QString DataLinkFolder()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty())
        return QString();
    return data + QStringLiteral("/OLE DB/Data Links");
}

int FindDataLinkFiles(QStringList &list, const QString &folder)
{
    list.clear();
    const QString where = folder.isEmpty() ? DataLinkFolder() : folder;
    QDir dir(where.isEmpty() ? QStringLiteral("/") : where);
    for (const QFileInfo &entry : dir.entryInfoList({QStringLiteral("*.udl")},
                                                    QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                                    QDir::Name))
        if (!entry.isDir())
            list << entry.fileName();
    return int(list.size());
}

QString QtConnectionStringBuilder::BuildConnectionString(QObject *parent, const QString &initial)
{
    return profiles::BuildConnectionString(qobject_cast<QWidget *>(parent), initial);
}

bool QtConnectionEditorRunner::RunConnectionEditor(data::Connection &connection)
{
    return profiles::RunConnectionEditor(connection);
}

namespace {

// Owns the store's dialog implementations; a child of the store.
class ProfileDialogsHolder : public QObject {
public:
    explicit ProfileDialogsHolder(QObject *parent) : QObject(parent) {}
    QtProfileChooser chooser;
    QtConnectionStringBuilder builder;
    QtConnectionEditorRunner editor;
};

} // namespace

void InstallProfileDialogs(TADOConnectionINI &store)
{
    auto *holder = new ProfileDialogsHolder(&store);
    store.setProfileChooser(&holder->chooser);
    store.setConnectionStringBuilder(&holder->builder);
    store.setConnectionEditorRunner(&holder->editor);
}

} // namespace profiles
