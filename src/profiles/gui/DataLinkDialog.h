#pragma once
// The data-link dialog: the user picks a provider (SQL Server "SQLOLEDB.1", ODBC data
// sources "MSDASQL.1", the embedded SQLite provider), fills in its connection fields,
// may edit every property on the "All" page, and may test the connection. The result
// is the connection string with the password included.
#include "data/ConnectionString.h"
#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;
class QTableWidget;

namespace profiles {

class TDataLinkDialog : public QDialog {
    Q_OBJECT
public:
    explicit TDataLinkDialog(QWidget *parent = nullptr);

    void SetConnectionString(const QString &text);
    QString ResultConnectionString();

    QTabWidget *Pages = nullptr;
    QListWidget *ProviderList = nullptr;      // page "Provider"
    QLineEdit *DataSourceEdit = nullptr;      // page "Connection": server, DSN or file
    QPushButton *BrowseFile = nullptr;        // SQLite: choose the database file
    QComboBox *CatalogCombo = nullptr;
    QPushButton *RefreshCatalogs = nullptr;   // fetches the server's databases
    QLineEdit *UserEdit = nullptr;
    QLineEdit *PasswordEdit = nullptr;
    QCheckBox *AllowSavingPassword = nullptr;
    QTableWidget *AllTable = nullptr;         // page "All": every property
    QPushButton *TestConnection = nullptr;
    QPushButton *OkButton = nullptr;
    QPushButton *CancelButton = nullptr;

public slots:
    void TestConnectionClick();
    void RefreshCatalogsClick();
    void BrowseFileClick();

private:
    QString provider() const;
    void providerChanged();
    void fieldsToString();
    void stringToFields();
    void stringToTable();
    void tableToString();

    data::ConnectionString cs_;
    bool loading_ = false;
};

} // namespace profiles
