#include "DataLinkDialog.h"
#include "data/core/Connection.h"
#include "data/core/Providers.h"
#include "platform/UiServices.h"
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <exception>

namespace profiles {

namespace {
const QString kTitle = QStringLiteral("資料連結內容");
const QString kDataSource = QStringLiteral("Data Source");
const QString kCatalog = QStringLiteral("Initial Catalog");
const QString kUser = QStringLiteral("User ID");
const QString kPassword = QStringLiteral("Password");
const QString kPersist = QStringLiteral("Persist Security Info");
const QString kTimeout = QStringLiteral("Connect Timeout");
const QString kMode = QStringLiteral("Mode");
constexpr int kDefaultTimeout = 15;

// The access permissions of the "Mode" property: its own value, and the text shown.
struct AccessMode {
    const char *value;
    const char *caption;
};
const AccessMode kAccessModes[] = {
    {"Read", "讀取"},
    {"ReadWrite", "讀寫"},
    {"Share Deny None", "不拒絕共用"},
    {"Share Deny Read", "拒絕共用讀取"},
    {"Share Deny Write", "拒絕共用寫入"},
    {"Share Exclusive", "獨占共用"},
    {"Write", "寫入"},
};

QLabel *wrappedLabel(const QString &text)
{
    auto *label = new QLabel(text);
    label->setWordWrap(true);
    return label;
}

QPushButton *button(const QString &caption, const char *name)
{
    auto *b = new QPushButton(caption);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

} // namespace

TDataLinkDialog::TDataLinkDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("DataLinkDialog"));
    setWindowTitle(kTitle);
    resize(460, 440);
    auto *layout = new QVBoxLayout(this);
    Pages = new QTabWidget(this);
    Pages->setObjectName(QStringLiteral("Pages"));
    layout->addWidget(Pages);
    Pages->addTab(createProviderPage(), QStringLiteral("提供者"));
    Pages->addTab(createConnectionPage(), QStringLiteral("連線"));
    Pages->addTab(createAdvancedPage(), QStringLiteral("進階"));
    Pages->addTab(createAllPage(), QStringLiteral("全部"));
    createButtons();
    connectEdits();
    SetConnectionString(QString());
}

QWidget *TDataLinkDialog::createProviderPage()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(QStringLiteral("選取您要連線的資料：")));
    ProviderList = new QListWidget;
    ProviderList->setObjectName(QStringLiteral("ProviderList"));
    for (const auto &p : data::providers()) {
        auto *item = new QListWidgetItem(p.description + QStringLiteral(" (") + p.name + QLatin1Char(')'));
        item->setData(Qt::UserRole, p.name);
        ProviderList->addItem(item);
    }
    layout->addWidget(ProviderList);
    NextPage = button(QStringLiteral("下一步(&N) >>"), "NextPage");
    auto *row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(NextPage);
    layout->addLayout(row);
    connect(NextPage, &QPushButton::clicked, this, [this] { Pages->setCurrentIndex(ConnectionPage); });
    return page;
}

QWidget *TDataLinkDialog::createConnectionPage()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(QStringLiteral("指定下列項目以連線到資料：")));

    layout->addWidget(new QLabel(QStringLiteral("1. 選取或輸入伺服器名稱、資料來源名稱或資料庫檔案(&E)：")));
    DataSourceEdit = new QLineEdit;
    DataSourceEdit->setObjectName(QStringLiteral("DataSourceEdit"));
    BrowseFile = button(QStringLiteral("..."), "BrowseFile");
    auto *sourceRow = new QHBoxLayout;
    sourceRow->addWidget(DataSourceEdit, 1);
    sourceRow->addWidget(BrowseFile);
    layout->addLayout(sourceRow);

    layout->addWidget(new QLabel(QStringLiteral("2. 輸入登入伺服器的資訊：")));
    auto *login = new QFormLayout;
    UserEdit = new QLineEdit;
    UserEdit->setObjectName(QStringLiteral("UserEdit"));
    login->addRow(QStringLiteral("使用者名稱(&N)："), UserEdit);
    PasswordEdit = new QLineEdit;
    PasswordEdit->setObjectName(QStringLiteral("PasswordEdit"));
    PasswordEdit->setEchoMode(QLineEdit::Password);
    login->addRow(QStringLiteral("密碼(&P)："), PasswordEdit);
    AllowSavingPassword = new QCheckBox(QStringLiteral("允許儲存密碼(&S)"));
    AllowSavingPassword->setObjectName(QStringLiteral("AllowSavingPassword"));
    login->addRow(QString(), AllowSavingPassword);
    layout->addLayout(login);

    layout->addWidget(new QLabel(QStringLiteral("3. 在伺服器上選取資料庫(&D)：")));
    CatalogCombo = new QComboBox;
    CatalogCombo->setObjectName(QStringLiteral("CatalogCombo"));
    CatalogCombo->setEditable(true);
    RefreshCatalogs = button(QStringLiteral("重新整理(&R)"), "RefreshCatalogs");
    auto *catalogRow = new QHBoxLayout;
    catalogRow->addWidget(CatalogCombo, 1);
    catalogRow->addWidget(RefreshCatalogs);
    layout->addLayout(catalogRow);
    layout->addStretch();

    TestConnection = button(QStringLiteral("測試連線(&T)"), "TestConnection");
    auto *testRow = new QHBoxLayout;
    testRow->addStretch();
    testRow->addWidget(TestConnection);
    layout->addLayout(testRow);
    return page;
}

QWidget *TDataLinkDialog::createAdvancedPage()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    auto *other = new QGroupBox(QStringLiteral("其他"));
    auto *form = new QFormLayout(other);
    ConnectTimeout = new QSpinBox;
    ConnectTimeout->setObjectName(QStringLiteral("ConnectTimeout"));
    ConnectTimeout->setRange(0, 99999);
    ConnectTimeout->setSuffix(QStringLiteral(" 秒"));
    form->addRow(QStringLiteral("連線逾時(&O)："), ConnectTimeout);
    AccessModes = new QListWidget;
    AccessModes->setObjectName(QStringLiteral("AccessModes"));
    for (const AccessMode &mode : kAccessModes) {
        auto *item = new QListWidgetItem(QString::fromUtf8(mode.caption));
        item->setData(Qt::UserRole, QString::fromLatin1(mode.value));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
        AccessModes->addItem(item);
    }
    form->addRow(QStringLiteral("存取權限(&A)："), AccessModes);
    layout->addWidget(other);
    layout->addStretch();
    return page;
}

QWidget *TDataLinkDialog::createAllPage()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(wrappedLabel(
        QStringLiteral("這些是這類資料的初始化內容。若要編輯值，請在值上按兩下後輸入。")));
    AllTable = new QTableWidget(0, 2);
    AllTable->setObjectName(QStringLiteral("AllTable"));
    AllTable->setHorizontalHeaderLabels({QStringLiteral("名稱"), QStringLiteral("值")});
    AllTable->horizontalHeader()->setStretchLastSection(true);
    AllTable->verticalHeader()->hide();
    layout->addWidget(AllTable);
    return page;
}

void TDataLinkDialog::createButtons()
{
    OkButton = button(QStringLiteral("確定"), "OkButton");
    OkButton->setDefault(true);
    CancelButton = button(QStringLiteral("取消"), "CancelButton");
    HelpButton = button(QStringLiteral("說明"), "HelpButton");
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);
    buttons->addWidget(HelpButton);
    static_cast<QVBoxLayout *>(layout())->addLayout(buttons);
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(HelpButton, &QPushButton::clicked, this,
            [this] { platform::ui().showHelp(this, kHelpTopic); });
}

void TDataLinkDialog::connectEdits()
{
    connect(TestConnection, &QPushButton::clicked, this, &TDataLinkDialog::TestConnectionClick);
    connect(RefreshCatalogs, &QPushButton::clicked, this, &TDataLinkDialog::RefreshCatalogsClick);
    connect(BrowseFile, &QPushButton::clicked, this, &TDataLinkDialog::BrowseFileClick);
    connect(ProviderList, &QListWidget::currentRowChanged, this, [this] { providerChanged(); });
    for (QLineEdit *edit : {DataSourceEdit, UserEdit, PasswordEdit})
        connect(edit, &QLineEdit::textChanged, this, [this] { fieldsToString(); });
    connect(CatalogCombo, &QComboBox::editTextChanged, this, [this] { fieldsToString(); });
    connect(AllowSavingPassword, &QCheckBox::toggled, this, [this] { fieldsToString(); });
    connect(ConnectTimeout, &QSpinBox::valueChanged, this, [this] { advancedToString(); });
    connect(AccessModes, &QListWidget::itemChanged, this, [this] { advancedToString(); });
    connect(AllTable, &QTableWidget::itemChanged, this, [this] { tableToString(); });
    connect(Pages, &QTabWidget::currentChanged, this, [this](int page) { pageChanged(page); });
}

void TDataLinkDialog::showEvent(QShowEvent *event)
{
    // Centred on the window that opened it, or on the screen without one.
    const QWidget *owner = parentWidget() ? parentWidget()->window() : nullptr;
    QRect area;
    if (owner && owner->isVisible())
        area = owner->frameGeometry();
    else if (const QScreen *screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    if (area.isValid()) {
        QRect frame = frameGeometry();
        frame.moveCenter(area.center());
        move(frame.topLeft());
    }
    QDialog::showEvent(event);
}

void TDataLinkDialog::pageChanged(int page)
{
    if (page == AllPage)
        stringToTable();
    else if (page == AdvancedPage)
        stringToAdvanced();
    else if (page == ConnectionPage)
        stringToFields();
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
    if (Pages->currentIndex() == AllPage)
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

void TDataLinkDialog::stringToAdvanced()
{
    loading_ = true;
    bool ok = false;
    const int seconds = cs_.value(kTimeout).trimmed().toInt(&ok);
    ConnectTimeout->setValue(ok ? seconds : kDefaultTimeout);
    // "Mode" holds the permissions joined by "|", as the property's own values.
    QStringList ticked;
    for (const QString &part : cs_.value(kMode).split(QLatin1Char('|')))
        ticked << part.trimmed();
    for (int i = 0; i < AccessModes->count(); ++i) {
        QListWidgetItem *item = AccessModes->item(i);
        const bool on = ticked.contains(item->data(Qt::UserRole).toString(), Qt::CaseInsensitive);
        item->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    }
    loading_ = false;
}

void TDataLinkDialog::advancedToString()
{
    if (loading_)
        return;
    // The default stays out of the string unless the string named it already.
    if (ConnectTimeout->value() != kDefaultTimeout || cs_.contains(kTimeout))
        cs_.set(kTimeout, QString::number(ConnectTimeout->value()));
    QStringList modes;
    for (int i = 0; i < AccessModes->count(); ++i)
        if (AccessModes->item(i)->checkState() == Qt::Checked)
            modes << AccessModes->item(i)->data(Qt::UserRole).toString();
    if (modes.isEmpty())
        cs_.remove(kMode);
    else
        cs_.set(kMode, modes.join(QLatin1Char('|')));
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
        platform::ui().showMessage(this, kTitle, QStringLiteral("測試連線成功。"),
                                   platform::MessageIcon::Information, false);
    } catch (const std::exception &e) {
        platform::ui().showMessage(this, kTitle,
                                   QStringLiteral("因為初始化提供者時發生錯誤，測試連線失敗。%1")
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
    request.title = QStringLiteral("選取資料庫檔案");
    request.filter = QStringLiteral("SQLite 資料庫|*.db;*.sqlite;*.sqlite3|所有檔案|*.*");
    const QString file = platform::ui().chooseOpenFile(this, request);
    if (!file.isEmpty())
        DataSourceEdit->setText(file);
}

} // namespace profiles
