#include "MainWindow.h"
#include "CommandWatch.h"
#include "FillWatch.h"
#include "SqlPageRunner.h"
#include "TableList.h"
#include "TableListBox.h"
#include "platform/CommonUtils.h"
#include "components/wDBGrid.h"
#include "data/core/DatabaseError.h"
#include "platform/IniFile.h"
#include "platform/ProgramFolders.h"
#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <exception>

namespace gui {

namespace {

// Design-time connection string; the server part is this machine. Replaced at start by
// whatever connection the program is given.
const QString kInitialConnectionString = QStringLiteral(
    "Provider=SQLOLEDB.1;Persist Security Info=False;User ID=sa;Initial Catalog=master;"
    "Data Source=localhost");

const QString kErrorTitle = QStringLiteral("錯誤");
const QString kOnline = QStringLiteral("[資料庫連線中]");
const QString kOffline = QStringLiteral("[資料庫離線中]");
const QString kConnectCaption = QStringLiteral("資料庫連接    ");
const QString kDisconnectCaption = QStringLiteral("資料庫離線    ");
const QString kTableListHint =
    QStringLiteral("自定表格名稱內滑鼠左鍵連按二次, 可取得表格欄位, 索引檔");

// Geometry of page 0's fixed controls; the two lists are sized on show.
constexpr int kMargin = 8;
constexpr int kLabelTop = 48;
constexpr int kLabelHeight = 20;

} // namespace

Tfm_ADO_Schema::Tfm_ADO_Schema(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("fm_ADO_Schema"));
    // The window owns its connection by name too: the connection string editor's caption
    // reads "fm_ADO_Schema.ADOConnection1 ConnectionString". The member leaves the
    // window's children when it is destroyed, before the window's own destructor runs.
    ADOConnection1.setObjectName(QStringLiteral("ADOConnection1"));
    ADOConnection1.setParent(this);
    ADOConnection1.setConnectionString(kInitialConnectionString);
    ADODataSet1.setConnection(&ADOConnection1);
    ADODXML.setConnection(&ADOConnection1);
    adotqCommand.setConnection(&ADOConnection1);
    adotqCommand.setCommandTimeout(2000);
    ADOCommand.setConnection(&ADOConnection1);
    for (platform::FileDialogRequest *dialog : {&SaveDialog1, &OpenDialog1})
        dialog->filter = QStringLiteral("XML|*.xml");
    SaveDialog1.confirmOverwrite = true;
    wSeek1.setDataSet(&ADODXML);
    wSeek1.setLocateOptions(data::loPartialKey);

    createPages();
    createStatusBar();
    fillWatch_ = std::make_unique<FillWatch>(ADODXML, panels_.at(3), this);
    installFillWait(panels_.at(3));
    commandWatch_ = std::make_unique<CommandWatch>(panels_.at(3));
    ADOConnection1.setCommandWait(commandWatch_.get());
    createRecordPicker();
    buildMainMenu();
    tableList_ = std::make_unique<TableList>(ADOConnection1, lbxTableName, lbxFieldName,
                                             lbxIndexFile);
    sqlRunner_ = std::make_unique<SqlPageRunner>(ADOCommand, ADODXML);
    bindHandlers();
    runCommand([this] { FormCreate(); });
}

Tfm_ADO_Schema::~Tfm_ADO_Schema()
{
    FormDestroy();
    removeFillWait();
    fillWatch_.reset();
    ADOConnection1.setCommandWait(nullptr);
    commandWatch_.reset();
    // The grids outlive the datasets (children die with the base class): cut them off.
    DBGrid1->setDataSet(nullptr);
    DBGrid2->setDataSet(nullptr);
    for (QObject *source : {static_cast<QObject *>(&ADODataSet1),
                            static_cast<QObject *>(&ADODXML),
                            static_cast<QObject *>(&ADOConnection1)})
        source->disconnect();
}

void Tfm_ADO_Schema::runCommand(const std::function<void()> &command)
{
    QString error;
    try {
        command();
        return;
    } catch (const SilentAbort &) {
        return;
    } catch (const data::CommandStopped &e) {
        // Asked for, so not an error: the panel and a plain message say it happened.
        setPanelText(3, e.message());
        ShowProgramMessage(this, e.message());
        return;
    } catch (const data::FetchStopped &e) {
        ShowProgramMessage(this, e.message()); // the fill's wait stopped: panel 3 says so already
        return;
    } catch (const data::DatabaseError &e) {
        error = e.message();
    } catch (const platform::IniWriteError &e) {
        // The store's own text names the file; the person also needs what it means and why.
        error = QStringLiteral("設定檔無法寫入，設定沒有儲存。\n") + e.message() +
                (e.reason().isEmpty() ? QString() : QStringLiteral("\n") + e.reason());
    } catch (const std::exception &e) {
        error = QString::fromUtf8(e.what());
    } catch (...) {
        error = QStringLiteral("未知的錯誤");
    }
    platform::ui().showMessage(this, kErrorTitle, error, platform::MessageIcon::Stop, false);
}

void Tfm_ADO_Schema::bind(QAction *action, void (Tfm_ADO_Schema::*handler)())
{
    connect(action, &QAction::triggered, this, [this, handler] {
        runCommand([this, handler] { (this->*handler)(); });
    });
}

// ---- construction of the controls ----------------------------------------------------

void Tfm_ADO_Schema::createPages()
{
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    setCentralWidget(PageControl1);

    auto page = [this](QWidget *&sheet, const char *name, const QString &caption) {
        sheet = new QWidget;
        sheet->setObjectName(QString::fromLatin1(name));
        PageControl1->addTab(sheet, caption);
    };
    page(TabSheet1, "TabSheet1", QStringLiteral("表格名稱及欄位名稱"));
    page(TabSheet2, "TabSheet2", QStringLiteral("索引檔"));
    page(TabSheet3, "TabSheet3", QStringLiteral("Schema資料集"));
    page(TabSheet4, "TabSheet4", QStringLiteral("SQL語法"));
    page(TabSheet5, "TabSheet5", QStringLiteral("XML資料集"));
    page(TabSheet6, "TabSheet6", QStringLiteral("網路"));

    createTableNamesPage();
    createIndexPage();
    createGridPages();
    createSqlPage();
    createNetworkPage();
}

// Page 0: placed by hand; FormShow sizes the two lists for the window's width.
void Tfm_ADO_Schema::createTableNamesPage()
{
    btnADOConnection = new QPushButton(kConnectCaption, TabSheet1);
    btnADOConnection->setObjectName(QStringLiteral("btnADOConnection"));
    btnADOConnection->setGeometry(kMargin, kMargin, 140, 30);
    btnGetTableName = new QPushButton(QStringLiteral("取得自定表格　"), TabSheet1);
    btnGetTableName->setObjectName(QStringLiteral("btnGetTableName"));
    btnGetTableName->setGeometry(kMargin + 150, kMargin, 140, 30);
    cbxOpenDataSet = new QCheckBox(QStringLiteral("點選自定表格名稱時是否開啟"), TabSheet1);
    cbxOpenDataSet->setObjectName(QStringLiteral("cbxOpenDataSet"));
    cbxOpenDataSet->setGeometry(kMargin + 310, kMargin + 4, 300, 22);
    Label1 = new QLabel(QStringLiteral("自定表格名稱"), TabSheet1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(kMargin, kLabelTop, 200, kLabelHeight);
    Label2 = new QLabel(QStringLiteral("欄位名稱"), TabSheet1);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(320, kLabelTop, 200, kLabelHeight);
    lbxTableName = new TableListBox(TabSheet1);
    lbxTableName->setObjectName(QStringLiteral("lbxTableName"));
    lbxTableName->setGeometry(kMargin, kLabelTop + kLabelHeight + 10, 300, 300);
    lbxFieldName = new QListWidget(TabSheet1);
    lbxFieldName->setObjectName(QStringLiteral("lbxFieldName"));
    lbxFieldName->setSelectionMode(QAbstractItemView::SingleSelection);
    lbxFieldName->setGeometry(320, kLabelTop + kLabelHeight + 10, 300, 300);
}

// Page 1: the index list fills the page.
void Tfm_ADO_Schema::createIndexPage()
{
    lbxIndexFile = new QListWidget(TabSheet2);
    lbxIndexFile->setObjectName(QStringLiteral("lbxIndexFile"));
    lbxIndexFile->setSelectionMode(QAbstractItemView::SingleSelection);
    auto *indexLayout = new QVBoxLayout(TabSheet2);
    indexLayout->setContentsMargins(0, 0, 0, 0);
    indexLayout->addWidget(lbxIndexFile);
}

// Pages 2 and 4: the Schema grid selects whole rows and is never typed into; the XML
// grid keeps the grid's default options, so its rows are edited in place.
void Tfm_ADO_Schema::createGridPages()
{
    auto grid = [](QWidget *sheet, const char *name, data::Dataset *dataset,
                   components::TDBGridOptions options, int rowHeight) {
        auto *view = new components::TwDBGrid(sheet);
        view->setObjectName(QString::fromLatin1(name));
        view->setOptions(options);
        view->setDefaultRowHeight(rowHeight);
        view->setDataSet(dataset);
        auto *layout = new QVBoxLayout(sheet);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(view);
        return view;
    };
    using namespace components;
    DBGrid1 = grid(TabSheet3, "DBGrid1", &ADODataSet1,
                   dgTitles | dgIndicator | dgColumnResize | dgColLines | dgRowLines | dgTabs |
                       dgRowSelect | dgAlwaysShowSelection | dgConfirmDelete | dgCancelOnExit,
                   24);
    DBGrid2 = grid(TabSheet5, "DBGrid2", &ADODXML, kDefaultGridOptions, 20);
}

// Page 3: the SQL editor over a bottom panel holding the run button.
void Tfm_ADO_Schema::createSqlPage()
{
    redSQLText = new QTextEdit(TabSheet4);
    redSQLText->setObjectName(QStringLiteral("redSQLText"));
    redSQLText->setAcceptRichText(false);
    Panel1 = new QWidget(TabSheet4);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(41);
    btnRun = new QPushButton(QStringLiteral("執行"), Panel1);
    btnRun->setObjectName(QStringLiteral("btnRun"));
    btnRun->setGeometry(300, 6, 90, 30);
    auto *sqlLayout = new QVBoxLayout(TabSheet4);
    sqlLayout->setContentsMargins(0, 0, 0, 0);
    sqlLayout->addWidget(redSQLText, 1);
    sqlLayout->addWidget(Panel1);
}

// Page 5: the network tree over a bottom panel with the broadcast controls.
void Tfm_ADO_Schema::createNetworkPage()
{
    gbxNet = new QGroupBox(QStringLiteral("網路"), TabSheet6);
    gbxNet->setObjectName(QStringLiteral("gbxNet"));
    tvNet = new QTreeWidget(gbxNet);
    tvNet->setObjectName(QStringLiteral("tvNet"));
    tvNet->setHeaderHidden(true);
    tvNet->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto *netBox = new QVBoxLayout(gbxNet);
    netBox->addWidget(tvNet);
    Panel2 = new QWidget(TabSheet6);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    btnSelectAll = new QPushButton(QStringLiteral("全選"), Panel2);
    btnSelectAll->setObjectName(QStringLiteral("btnSelectAll"));
    btnClearAll = new QPushButton(QStringLiteral("清除"), Panel2);
    btnClearAll->setObjectName(QStringLiteral("btnClearAll"));
    Label3 = new QLabel(QStringLiteral("廣播訊息"), Panel2);
    Label3->setObjectName(QStringLiteral("Label3"));
    edBoardCastMSG = new QLineEdit(Panel2);
    edBoardCastMSG->setObjectName(QStringLiteral("edBoardCastMSG"));
    auto *panel2Layout = new QHBoxLayout(Panel2);
    panel2Layout->addWidget(btnSelectAll);
    panel2Layout->addWidget(btnClearAll);
    panel2Layout->addWidget(Label3);
    panel2Layout->addWidget(edBoardCastMSG, 1);
    auto *netLayout = new QVBoxLayout(TabSheet6);
    netLayout->setContentsMargins(0, 0, 0, 0);
    netLayout->addWidget(gbxNet, 1);
    netLayout->addWidget(Panel2);
}

void Tfm_ADO_Schema::createStatusBar()
{
    QStatusBar *sb = statusBar();
    sb->setObjectName(QStringLiteral("sb"));
    sb->setSizeGripEnabled(false);
    const struct {
        const char *text;
        int width;
    } panels[] = {{"來源：", 150}, {"資料庫：", 180}, {"[資料庫離線中]", 105}, {"", 450}, {"", 50}};
    for (const auto &p : panels) {
        auto *label = new QLabel(QString::fromUtf8(p.text), sb);
        label->setFixedWidth(p.width);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        sb->addWidget(label);
        panels_ << label;
    }
}

void Tfm_ADO_Schema::bindHandlers()
{
    bind(nADOConnect, &Tfm_ADO_Schema::nADOConnectClick);
    bind(nADODisconnect, &Tfm_ADO_Schema::nADODisconnectClick);
    bind(nADOVersion, &Tfm_ADO_Schema::nADOVersionClick);
    bind(Close1, &Tfm_ADO_Schema::Close1Click);
    bindProfileCommands();

    auto button = [this](QPushButton *b, void (Tfm_ADO_Schema::*handler)()) {
        connect(b, &QPushButton::clicked, this,
                [this, handler] { runCommand([this, handler] { (this->*handler)(); }); });
    };
    button(btnADOConnection, &Tfm_ADO_Schema::nADOConnectClick);
    button(btnGetTableName, &Tfm_ADO_Schema::btnGetTableNameClick);
    button(btnRun, &Tfm_ADO_Schema::btnRunClick);
    connect(lbxTableName, &TableListBox::userDoubleClicked, this,
            [this] { runCommand([this] { lbxTableNameDblClick(); }); });
    connect(lbxTableName, &TableListBox::userClicked, this,
            [this] { runCommand([this] { lbxTableNameClick(); }); });

    connect(&ADOConnection1, &data::Connection::AfterConnect, this,
            &Tfm_ADO_Schema::ADOConnection1AfterConnect);
    connect(&ADOConnection1, &data::Connection::AfterDisconnect, this,
            &Tfm_ADO_Schema::ADOConnection1AfterDisconnect);
    connect(&ADODataSet1, &data::Dataset::stateChanged, this,
            &Tfm_ADO_Schema::DataSource1StateChange);
    connect(&ADODXML, &data::Dataset::afterClose, this, &Tfm_ADO_Schema::ADODXMLAfterClose);
    bindGridSettings();
    connect(PageControl1, &QTabWidget::currentChanged, this, [this] {
        if (pageChangeFromCode_)
            return;
        runCommand([this] {
            PageControl1Changing();
            PageControl1Change();
        });
    });
    bindSchemaCommands();
    bindMaintenanceCommands();
    bindXmlPageCommands();
    bindBatchExportCommands();
    bindNetworkCommands();
    // The items of later features stay unconnected until those features exist.
}

// ---- status bar and pages -----------------------------------------------------------

QString Tfm_ADO_Schema::panelText(int index) const
{
    return panels_.at(index)->text();
}

void Tfm_ADO_Schema::setPanelText(int index, const QString &text)
{
    panels_.at(index)->setText(text);
}

int Tfm_ADO_Schema::panelWidth(int index) const
{
    return panels_.at(index)->width();
}

void Tfm_ADO_Schema::showPage(int index)
{
    const bool previous = std::exchange(pageChangeFromCode_, true);
    PageControl1->setCurrentIndex(index);
    pageChangeFromCode_ = previous;
}

// ---- the window's life ----------------------------------------------------------------

void Tfm_ADO_Schema::FormCreate()
{
    FSchemaIniFile = QDir(platform::settingsFolder()).filePath(QStringLiteral("ADO_OpenSchema.Ini"));
    const std::array<QString, 4> v = GetVersionParts();
    setWindowTitle(QStringLiteral("fm_ADO_Schema：Version:%1.%2 Release:%3 Build:%4")
                       .arg(v[0], v[1], v[2], v[3]));
    showPage(0);
    const QString outputDir = QDir::toNativeSeparators(platform::outputFolder());
    SaveDialog1.initialDir = outputDir;
    OpenDialog1.initialDir = outputDir;
    FScriptLines = std::make_unique<QStringList>();
    ProfileStart();
}

void Tfm_ADO_Schema::FormShow()
{
    const int w = RoundToInt((width() - 60) / 2.0);
    const int h = TabSheet1->height() - (Label1->y() + Label1->height() + 10);
    lbxTableName->resize(w, h);
    lbxFieldName->setGeometry(w + 30, lbxFieldName->y(), w, h);
    Label2->move(w + 30, Label2->y());
    btnRun->move(w, btnRun->y());
}

void Tfm_ADO_Schema::FormClose()
{
    if (ADOConnection1.Connected())
        ADOConnection1.Close();
}

void Tfm_ADO_Schema::FormDestroy()
{
    FScriptLines.reset();
}

void Tfm_ADO_Schema::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (event->spontaneous())
        return;
    // The pages get their size from the layouts; settle them before measuring page 0.
    if (QLayout *l = layout())
        l->activate();
    if (QLayout *l = PageControl1->layout())
        l->activate();
    QResizeEvent resize(PageControl1->size(), PageControl1->size());
    QCoreApplication::sendEvent(PageControl1, &resize);
    runCommand([this] { FormShow(); });
}

void Tfm_ADO_Schema::closeEvent(QCloseEvent *event)
{
    // A row typed into the XML grid and not yet left is posted as closing the dataset
    // posts it; a post that fails shows its error and keeps the window, and the typing.
    bool posted = false;
    runCommand([this, &posted] {
        ADODXML.Close();
        posted = true;
    });
    if (!posted) {
        event->ignore();
        return;
    }
    runCommand([this] { FormClose(); });
    event->accept();
}

// ---- connection commands ---------------------------------------------------------------

void Tfm_ADO_Schema::nADOConnectClick()
{
    if (ADOConnection1.Connected())
        ADOConnection1.Close();
    else
        ADOConnection1.Open();
}

void Tfm_ADO_Schema::nADODisconnectClick()
{
    if (ADOConnection1.Connected())
        ADOConnection1.Close();
}

void Tfm_ADO_Schema::nADOVersionClick()
{
    ShowProgramMessage(this, QStringLiteral("ADO 版本：") + ADOConnection1.Version());
}

void Tfm_ADO_Schema::Close1Click()
{
    close();
}

void Tfm_ADO_Schema::ADOConnection1AfterConnect()
{
    FDatabaseName = ADOConnection1.DefaultDatabase();
    setPanelText(2, kOnline);
    btnADOConnection->setText(kDisconnectCaption);
}

void Tfm_ADO_Schema::ADOConnection1AfterDisconnect()
{
    setPanelText(2, kOffline);
    btnADOConnection->setText(kConnectCaption);
    tableList_->clear();
}

void Tfm_ADO_Schema::DataSource1StateChange()
{
    // Saving the Schema dataset makes sense only while it is open and browsable.
    if (!ADODataSet1.Active())
        nSaveToXML->setEnabled(false);
    else if (ADODataSet1.State() == data::dsBrowse)
        nSaveToXML->setEnabled(true);
}

void Tfm_ADO_Schema::ADODXMLAfterClose()
{
    FXMLFromTable = false;
    DBGrid2->setCaption(QString());
}

void Tfm_ADO_Schema::PageControl1Changing()
{
    setPanelText(3, QString());
}

void Tfm_ADO_Schema::PageControl1Change()
{
    switch (PageControl1->currentIndex()) {
    case 0:
        if (lbxTableName->count() > 0)
            setPanelText(3, kTableListHint);
        break;
    case 2:
        setPanelText(3, QStringLiteral("在資料集內滑鼠左鍵連按二次, 可設定欄位是否顯示"));
        break;
    case 4:
        setPanelText(3, QStringLiteral("在資料集內滑鼠左鍵連按二次, 可設定欄位顯示名稱"));
        break;
    default:
        break;
    }
}

void Tfm_ADO_Schema::CheckConnected()
{
    setPanelText(3, QString());
    if (ADOConnection1.Connected()) {
        if (ADODataSet1.Active())
            ADODataSet1.Close();
        return;
    }
    ShowProgramMessage(this, QStringLiteral("資料庫未連接!!"));
    if (PageControl1->currentIndex() != 0)
        showPage(0);
    btnGetTableName->setFocus();
    throw SilentAbort{};
}

} // namespace gui
