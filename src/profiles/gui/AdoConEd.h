#pragma once
// TConnEditForm: the connection string editor, in which the user states where a
// connection's settings come from, a data-link (.udl) file or a connection string typed
// or built in the data-link dialog; and the four data-link operations.
//
// Data-link files live in a fixed folder of this program: "OLE DB/Data Links" under the
// user's data folder ($XDG_DATA_HOME, normally ~/.local/share), see DataLinkFolder().
#include "profiles/ADOConnectionINI.h"
#include <QDialog>
#include <QStringList>

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace profiles {

class TConnEditForm : public QDialog {
    Q_OBJECT
public:
    static constexpr int kHelpTopic = 27270;

    explicit TConnEditForm(QWidget *parent = nullptr);

    // The string the dialog produces for `current`; `current` unchanged on cancel.
    QString ShowEditor(const QString &current);

    // The two halves of ShowEditor around the modal loop, for callers that show the
    // dialog themselves.
    void PrepareEditor(const QString &current);
    QString EditorResult(const QString &current) const;

    int helpTopic() const { return helpTopic_; }

    QPushButton *OkButton = nullptr;
    QPushButton *CancelButton = nullptr;
    QPushButton *HelpButton = nullptr;
    QGroupBox *SourceofConnection = nullptr;
    QRadioButton *UseDataLinkFile = nullptr;
    QComboBox *DataLinkFile = nullptr;
    QPushButton *Browse = nullptr;
    QRadioButton *UseConnectionString = nullptr;
    QLineEdit *ConnectionString = nullptr;
    QPushButton *Build = nullptr;

signals:
    // Sent with the topic before the help window (platform::ui().showHelp) opens on it.
    void helpRequested(int topic);

public slots:
    void FormCreate();
    void SourceButtonClick();
    void BrowseClick();
    void BuildClick();
    void HelpButtonClick();

private:
    int helpTopic_ = 0;
};

// Shows the editor for the connection; true when it stored a changed string. The caption
// names the connection's owner and the connection ("owner.connection ConnectionString").
bool RunConnectionEditor(data::Connection &connection);

// The data-link dialog (DataLinkDialog.h): the string built, with its password, or
// `initial` when the dialog is cancelled or fails.
QString BuildConnectionString(QWidget *parent, const QString &initial);
// A file dialog for "*.udl" files: the chosen path, or `initial` when cancelled.
QString ChooseDataLinkFile(QWidget *parent, const QString &initial);
// The folder of the data-link files, without a trailing "/"; empty when the user's data
// folder is unknown.
QString DataLinkFolder();
// Fills the list with the names of the "*.udl" files (not folders) in the folder (empty:
// DataLinkFolder()); returns their number.
int FindDataLinkFiles(QStringList &list, const QString &folder);

// The store's dialogs through these functions.
class QtConnectionStringBuilder : public ConnectionStringBuilder {
public:
    QString BuildConnectionString(QObject *parent, const QString &initial) override;
};

class QtConnectionEditorRunner : public ConnectionEditorRunner {
public:
    bool RunConnectionEditor(data::Connection &connection) override;
};

// Gives the store the Qt dialogs (the profile choice, the data-link dialog and the
// editor); they live as long as the store.
void InstallProfileDialogs(TADOConnectionINI &store);

} // namespace profiles
