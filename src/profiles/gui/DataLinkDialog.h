#pragma once
// The data-link dialog "資料連結內容", in Traditional Chinese as the platform's dialog
// is on a Traditional Chinese desktop. Four pages: "提供者" (SQL Server "SQLOLEDB.1",
// ODBC data sources "MSDASQL.1", the embedded SQLite provider), "連線" (server, data
// source or file, user, password, database), "進階" (connect timeout and access
// permissions) and "全部" (every property of the provider by its own name). "測試連線"
// tries the connection. The result is the connection string with the password included.
// Provider names, property names and connection strings keep their own spelling.
#include "data/core/ConnectionString.h"
#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTableWidget;

namespace profiles {

class TDataLinkDialog : public QDialog {
    Q_OBJECT
public:
    enum Page { ProviderPage = 0, ConnectionPage = 1, AdvancedPage = 2, AllPage = 3 };
    // The help topic of the "說明" button (the program's own help, HelpTopics.cpp).
    static constexpr int kHelpTopic = 27271;

    explicit TDataLinkDialog(QWidget *parent = nullptr);

    void SetConnectionString(const QString &text);
    QString ResultConnectionString();

    QTabWidget *Pages = nullptr;
    QListWidget *ProviderList = nullptr;      // page "提供者"
    QPushButton *NextPage = nullptr;          // "下一步": to the connection page
    QLineEdit *DataSourceEdit = nullptr;      // page "連線": server, DSN or file
    QPushButton *BrowseFile = nullptr;        // SQLite: choose the database file
    QComboBox *CatalogCombo = nullptr;
    QPushButton *RefreshCatalogs = nullptr;   // fetches the server's databases
    QLineEdit *UserEdit = nullptr;
    QLineEdit *PasswordEdit = nullptr;
    QCheckBox *AllowSavingPassword = nullptr;
    QSpinBox *ConnectTimeout = nullptr;       // page "進階": "Connect Timeout", seconds
    QListWidget *AccessModes = nullptr;       // page "進階": "Mode", ticked permissions
    QTableWidget *AllTable = nullptr;         // page "全部": every property
    QPushButton *TestConnection = nullptr;
    QPushButton *OkButton = nullptr;
    QPushButton *CancelButton = nullptr;
    QPushButton *HelpButton = nullptr;

public slots:
    void TestConnectionClick();
    void RefreshCatalogsClick();
    void BrowseFileClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWidget *createProviderPage();
    QWidget *createConnectionPage();
    QWidget *createAdvancedPage();
    QWidget *createAllPage();
    void createButtons();
    void connectEdits();

    QString provider() const;
    void providerChanged();
    void pageChanged(int page);
    void fieldsToString();
    void stringToFields();
    void stringToAdvanced();
    void advancedToString();
    void stringToTable();
    void tableToString();

    data::ConnectionString cs_;
    bool loading_ = false;
};

} // namespace profiles
