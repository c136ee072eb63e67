#include "DataLinkDialog.h"
#include "data/Connection.h"
#include "data/Providers.h"
#include "platform/UiServices.h"
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <exception>

namespace profiles {

namespace {
const QString kTitle = QStringLiteral("Data Link Properties");
const QString kDataSource = QStringLiteral("Data Source");
const QString kCatalog = QStringLiteral("Initial Catalog");
const QString kUser = QStringLiteral("User ID");
const QString kPassword = QStringLiteral("Password");
const QString kPersist = QStringLiteral("Persist Security Info");
} // namespace

TDataLinkDialog::TDataLinkDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("DataLinkDialog"));
    setWindowTitle(kTitle);
    resize(460, 420);
    auto *layout = new QVBoxLayout(this);
    Pages = new QTabWidget(this);
    layout->addWidget(Pages);

    ProviderList = new QListWidget;
    ProviderList->setObjectName(QStringLiteral("ProviderList"));
    for (const auto &p : data::providers()) {
        auto *item = new QListWidgetItem(p.description + QStringLiteral(" (") + p.name + QLatin1Char(')'));
        item->setData(Qt::UserRole, p.name);
        ProviderList->addItem(item);
    }
    Pages->addTab(ProviderList, QStringLiteral("Provider"));

    auto *connectionPage = new QWidget;
    auto *form = new QFormLayout(connectionPage);
    DataSourceEdit = new QLineEdit;
    DataSourceEdit->setObjectName(QStringLiteral("DataSourceEdit"));
    BrowseFile = new QPushButton(QStringLiteral("..."));
    BrowseFile->setObjectName(QStringLiteral("BrowseFile"));
    auto *sourceRow = new QHBoxLayout;
    sourceRow->addWidget(DataSourceEdit);
    sourceRow->addWidget(BrowseFile);
    form->addRow(QStringLiteral("Server, data source or file:"), sourceRow);
    UserEdit = new QLineEdit;
    UserEdit->setObjectName(QStringLiteral("UserEdit"));
    form->addRow(QStringLiteral("User name:"), UserEdit);
    PasswordEdit = new QLineEdit;
    PasswordEdit->setObjectName(QStringLiteral("PasswordEdit"));
    PasswordEdit->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("Password:"), PasswordEdit);
    AllowSavingPassword = new QCheckBox(QStringLiteral("Allow saving password"));
    AllowSavingPassword->setObjectName(QStringLiteral("AllowSavingPassword"));
    form->addRow(QString(), AllowSavingPassword);
    CatalogCombo = new QComboBox;
    CatalogCombo->setObjectName(QStringLiteral("CatalogCombo"));
    CatalogCombo->setEditable(true);
    RefreshCatalogs = new QPushButton(QStringLiteral("Refresh"));
    RefreshCatalogs->setObjectName(QStringLiteral("RefreshCatalogs"));
    auto *catalogRow = new QHBoxLayout;
    catalogRow->addWidget(CatalogCombo, 1);
    catalogRow->addWidget(RefreshCatalogs);
    form->addRow(QStringLiteral("Database:"), catalogRow);
    Pages->addTab(connectionPage, QStringLiteral("Connection"));

    AllTable = new QTableWidget(0, 2);
    AllTable->setObjectName(QStringLiteral("AllTable"));
    AllTable->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Value")});
    AllTable->horizontalHeader()->setStretchLastSection(true);
    AllTable->verticalHeader()->hide();
    Pages->addTab(AllTable, QStringLiteral("All"));

    auto *buttons = new QHBoxLayout;
    TestConnection = new QPushButton(QStringLiteral("Test Connection"));
    TestConnection->setObjectName(QStringLiteral("TestConnection"));
    TestConnection->setAutoDefault(false);
    OkButton = new QPushButton(QStringLiteral("OK"));
    OkButton->setObjectName(QStringLiteral("OkButton"));
    OkButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Cancel"));
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setAutoDefault(false);
    buttons->addWidget(TestConnection);
    buttons->addStretch();
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);
    layout->addLayout(buttons);

    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(TestConnection, &QPushButton::clicked, this, &TDataLinkDialog::TestConnectionClick);
    connect(RefreshCatalogs, &QPushButton::clicked, this, &TDataLinkDialog::RefreshCatalogsClick);
    connect(BrowseFile, &QPushButton::clicked, this, &TDataLinkDialog::BrowseFileClick);
    connect(ProviderList, &QListWidget::currentRowChanged, this, [this] { providerChanged(); });
    for (QLineEdit *edit : {DataSourceEdit, UserEdit, PasswordEdit})
        connect(edit, &QLineEdit::textChanged, this, [this] { fieldsToString(); });
    connect(CatalogCombo, &QComboBox::editTextChanged, this, [this] { fieldsToString(); });
    connect(AllowSavingPassword, &QCheckBox::toggled, this, [this] { fieldsToString(); });
    connect(AllTable, &QTableWidget::itemChanged, this, [this] { tableToString(); });
    connect(Pages, &QTabWidget::currentChanged, this, [this](int page) {
        if (page == 2)
            stringToTable();
        else if (page == 1)
            stringToFields();
    });
    SetConnectionString(QString());
}

QString TDataLinkDialog::provider() const
{
    const QListWidgetItem *item = ProviderList->currentItem();
    return item ? item->data(Qt::UserRole).toString() : QString();
}

void TDataLinkDialog::SetConnectionString(const QString &text)
{
    cs_ = data::ConnectionString(text);
    const data::ProviderInfo *info = data::findProvider(cs_.provider());
    // A new string starts with the embedded provider; a data-link file names its own.
    const bool fromFile = cs_.contains(QStringLiteral("File Name"));
    const QString name = info ? info->name
                              : (cs_.provider().isEmpty() && !fromFile ? data::kSqliteProvider : QString());
    loading_ = true;
    ProviderList->setCurrentRow(-1);
    for (int i = 0; i < ProviderList->count(); ++i)
        if (ProviderList->item(i)->data(Qt::UserRole).toString() == name)
            ProviderList->setCurrentRow(i);
    loading_ = false;
    if (!name.isEmpty() && cs_.provider() != name)
        cs_.set(QStringLiteral("Provider"), name);
    stringToFields();
    Pages->setCurrentIndex(cs_.provider().isEmpty() ? 0 : 1);
}

QString TDataLinkDialog::ResultConnectionString()
{
    if (Pages->currentIndex() == 2)
        tableToString();
    // The provider leads; empty properties are left out; the password is included.
    data::ConnectionString out;
    if (!cs_.provider().isEmpty()) // a "FILE NAME=" string takes its provider from the file
        out.set(QStringLiteral("Provider"), cs_.provider());
    for (const auto &[name, value] : cs_.items())
        if (!value.isEmpty() && name.compare(QLatin1String("Provider"), Qt::CaseInsensitive) != 0)
            out.set(name, value);
    return out.toString();
}

void TDataLinkDialog::providerChanged()
{
    if (loading_)
        return;
    cs_.set(QStringLiteral("Provider"), provider());
    stringToFields();
}

void TDataLinkDialog::stringToFields()
{
    loading_ = true;
    const bool sqlite = provider() == data::kSqliteProvider;
    BrowseFile->setVisible(sqlite);
    RefreshCatalogs->setEnabled(!sqlite);
    DataSourceEdit->setText(cs_.value(kDataSource));
    CatalogCombo->setEditText(cs_.value(kCatalog));
    UserEdit->setText(cs_.value(kUser));
    PasswordEdit->setText(cs_.value(kPassword));
    AllowSavingPassword->setChecked(cs_.value(kPersist).compare(QLatin1String("True"), Qt::CaseInsensitive) == 0);
    loading_ = false;
}

void TDataLinkDialog::fieldsToString()
{
    if (loading_)
        return;
    auto put = [this](const QString &name, const QString &value) {
        if (value.isEmpty())
            cs_.remove(name);
        else
            cs_.set(name, value);
    };
    put(kDataSource, DataSourceEdit->text());
    put(kCatalog, CatalogCombo->currentText());
    put(kUser, UserEdit->text());
    put(kPassword, PasswordEdit->text());
    cs_.set(kPersist, AllowSavingPassword->isChecked() ? QStringLiteral("True") : QStringLiteral("False"));
}

void TDataLinkDialog::stringToTable()
{
    loading_ = true;
    data::ConnectionProperties props;
    props.Refresh(cs_.provider(), cs_);
    AllTable->setRowCount(props.Count());
    for (int i = 0; i < props.Count(); ++i) {
        auto *name = new QTableWidgetItem(props.Item(i).name);
        name->setFlags(name->flags() & ~Qt::ItemIsEditable);
        AllTable->setItem(i, 0, name);
        AllTable->setItem(i, 1, new QTableWidgetItem(props.Item(i).value));
    }
    loading_ = false;
}

void TDataLinkDialog::tableToString()
{
    if (loading_)
        return;
    const data::ProviderInfo *info = data::findProvider(cs_.provider());
    for (int row = 0; row < AllTable->rowCount(); ++row) {
        const QString name = AllTable->item(row, 0) ? AllTable->item(row, 0)->text() : QString();
        const QString value = AllTable->item(row, 1) ? AllTable->item(row, 1)->text() : QString();
        QString defaultValue;
        if (info)
            for (const auto &p : info->properties)
                if (p.name == name)
                    defaultValue = p.defaultValue;
        // Defaults stay out of the string unless it named them already.
        if (value == defaultValue && !cs_.contains(name))
            continue;
        if (value.isEmpty())
            cs_.remove(name);
        else
            cs_.set(name, value);
    }
}

void TDataLinkDialog::TestConnectionClick()
{
    const QString text = ResultConnectionString();
    try {
        data::Connection connection;
        connection.setConnectionString(text);
        connection.Open();
        connection.Close();
        platform::ui().showMessage(this, kTitle, QStringLiteral("Test connection succeeded."),
                                   platform::MessageIcon::Information, false);
    } catch (const std::exception &e) {
        platform::ui().showMessage(this, kTitle,
                                   QStringLiteral("Test connection failed because of an error in initializing provider. %1")
                                       .arg(QString::fromUtf8(e.what())),
                                   platform::MessageIcon::Stop, false);
    }
}

void TDataLinkDialog::RefreshCatalogsClick()
{
    data::ConnectionString probe(ResultConnectionString());
    probe.remove(kCatalog);
    try {
        data::Connection connection;
        connection.setConnectionString(probe.toString());
        auto rows = connection.session().openSchema(QStringLiteral("CATALOGS"), {});
        int column = -1;
        for (size_t i = 0; i < rows->columns.size(); ++i)
            if (rows->columns[i].name.compare(QLatin1String("CATALOG_NAME"), Qt::CaseInsensitive) == 0)
                column = int(i);
        const QString keep = CatalogCombo->currentText();
        loading_ = true;
        CatalogCombo->clear();
        if (column >= 0)
            for (size_t row = 0; row < rows->rows.rowCount(); ++row)
                CatalogCombo->addItem(rows->rows.columns[size_t(column)].value(row, data::ftWideString).toString());
        CatalogCombo->setEditText(keep);
        loading_ = false;
        connection.Close();
    } catch (const std::exception &e) {
        platform::ui().showMessage(this, kTitle, QString::fromUtf8(e.what()), platform::MessageIcon::Stop, false);
    }
}

void TDataLinkDialog::BrowseFileClick()
{
    platform::FileDialogRequest request;
    request.title = QStringLiteral("Select Database File");
    request.filter = QStringLiteral("SQLite database|*.db;*.sqlite;*.sqlite3|All files|*.*");
    const QString file = platform::ui().chooseOpenFile(this, request);
    if (!file.isEmpty())
        DataSourceEdit->setText(file);
}

} // namespace profiles
