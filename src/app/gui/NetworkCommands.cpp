// The network page: the neighbourhood scan, the SQL Server's clients, the broadcast, the
// two selection buttons and the report. The network work itself is the network
// library's; these handlers fill and read the tree and talk to the user.
#include "MainWindow.h"
#include "BatchStop.h"
#include "NetTreeView.h"
#include "platform/CommonUtils.h"
#include "data/core/Field.h"
#include "exchange/ExportError.h"
#include "exchange/ExportTarget.h"
#include "exchange/SpreadsheetApp.h"
#include "network/DiscoveryBackend.h"
#include "network/Messenger.h"
#include "network/NetReport.h"
#include "network/NetTree.h"
#include "platform/ProgramFolders.h"
#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QTreeWidget>

namespace gui {

namespace {

constexpr int kNetPage = 5;
// Both scans stop at the next lookup of the computer they are looking at.
const QString kScanStopButton = QStringLiteral("btnStopScan");
const QString kScanStopHint = QStringLiteral("停止搜尋網路 (Esc)");

// The clients of the server: one row per distinct host, domain, user, login and address.
const QStringList kConnectedClientsQuery = {
    QStringLiteral("use master "),
    QStringLiteral("Select distinct hostname, nt_domain, nt_username, loginame, net_address "),
    QStringLiteral("From dbo.sysprocesses"),
    QStringLiteral("Where hostname is not null And hostname <> ''"),
};

network::NetTreeMode treeMode(quint8 mode)
{
    return mode == 0 ? network::NetTreeMode::Neighbourhood : network::NetTreeMode::SqlClients;
}

network::SqlClientRow clientRow(const data::Dataset &rows)
{
    auto value = [&rows](const char *name) { return rows.FieldByName(QString::fromLatin1(name))->AsString(); };
    return {value("hostname"), value("nt_domain"), value("nt_username"), value("loginame"), value("net_address")};
}

// Closes the command query however the command ends.
struct CloseWhenDone {
    data::Dataset &dataset;
    ~CloseWhenDone() { dataset.Close(); }
};

void plainMessage(QObject *owner, const QString &text)
{
    platform::ui().showMessage(owner, QCoreApplication::applicationName(), text, platform::MessageIcon::None, false);
}

} // namespace

void Tfm_ADO_Schema::setNetDiscovery(network::DiscoveryBackend *discovery)
{
    netDiscovery_ = discovery;
}

network::DiscoveryBackend &Tfm_ADO_Schema::netDiscovery() const
{
    return netDiscovery_ ? *netDiscovery_ : network::systemDiscovery();
}

void Tfm_ADO_Schema::bindNetworkCommands()
{
    // The chosen targets stay marked while the user types the broadcast text.
    QPalette palette = tvNet->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    tvNet->setPalette(palette);

    bind(menuItem(QStringLiteral("nGetNetName")), &Tfm_ADO_Schema::nGetNetNameClick);
    bind(menuItem(QStringLiteral("nGetLogMSSQLUsers")), &Tfm_ADO_Schema::nGetLogMSSQLUsersClick);
    bind(menuItem(QStringLiteral("nBoardCast")), &Tfm_ADO_Schema::nBoardCastClick);
    bind(menuItem(QStringLiteral("nNetSaveToExcel")), &Tfm_ADO_Schema::nNetSaveToExcelClick);
    for (auto [button, handler] : {std::pair{btnSelectAll, &Tfm_ADO_Schema::btnSelectAllClick},
                                   std::pair{btnClearAll, &Tfm_ADO_Schema::btnClearAllClick}})
        connect(button, &QPushButton::clicked, this,
                [this, handler] { runCommand([this, handler] { (this->*handler)(); }); });
}

void Tfm_ADO_Schema::nGetNetNameClick()
{
    showPage(kNetPage);
    gbxNet->setTitle(QStringLiteral("網路上的芳鄰"));
    FNetTreeMode = 0;
    tvNet->clear();
    BatchStop stop(panels_.at(3), kScanStopButton, kScanStopHint);
    NetTreeView view(tvNet, &stop);
    network::buildNeighbourhood(netDiscovery(), view);
    setPanelText(3, stop.requested() ? netScanStoppedText(view.computers()) : QString());
}

void Tfm_ADO_Schema::nGetLogMSSQLUsersClick()
{
    showPage(kNetPage);
    gbxNet->setTitle(QStringLiteral("連上MS SQL 主機名稱"));
    FNetTreeMode = 1;
    tvNet->clear();
    if (!ADOConnection1.Connected()) {
        showPage(0);
        ShowProgramMessage(this, QStringLiteral("資料庫未連接!!"));
        return;
    }
    adotqCommand.Close();
    adotqCommand.SQL() = kConnectedClientsQuery;
    adotqCommand.setScope(data::StatementScope::Batch);
    CloseWhenDone closer{adotqCommand};
    adotqCommand.Open();
    BatchStop stop(panels_.at(3), kScanStopButton, kScanStopHint);
    NetTreeView view(tvNet, &stop);
    int hosts = 0;
    for (adotqCommand.First(); !adotqCommand.Eof(); adotqCommand.Next()) {
        network::addSqlClient(clientRow(adotqCommand), netDiscovery(), view);
        if (stop.showProgress(netScanProgressText(++hosts)))
            break;
    }
    setPanelText(3, stop.requested() ? netScanStoppedText(hosts) : QString());
}

void Tfm_ADO_Schema::nBoardCastClick()
{
    const QString text = edBoardCastMSG->text();
    if (text.trimmed().isEmpty()) {
        ShowProgramMessage(this, QStringLiteral("請輸入廣播訊息!!"));
        return;
    }
    if (tvNet->topLevelItemCount() == 0) {
        ShowProgramMessage(this, QStringLiteral("請載入廣播對像!!"));
        return;
    }
    const int machines = network::machineLevel(treeMode(FNetTreeMode));
    for (const QTreeWidgetItem *item : netTreeItems(tvNet))
        if (item->isSelected() && itemLevel(item) == machines)
            network::startMessenger({item->text(0), text}); // delivery is not reported
}

void Tfm_ADO_Schema::btnSelectAllClick()
{
    if (tvNet->topLevelItemCount() == 0) {
        ShowProgramMessage(this, QStringLiteral("請取得網路芳鄰!!"));
        return;
    }
    const int machines = network::machineLevel(treeMode(FNetTreeMode));
    for (QTreeWidgetItem *item : netTreeItems(tvNet))
        if (itemLevel(item) == machines && !item->isSelected())
            item->setSelected(true);
}

void Tfm_ADO_Schema::btnClearAllClick()
{
    if (!tvNet->selectedItems().isEmpty())
        tvNet->clearSelection();
}

void Tfm_ADO_Schema::nNetSaveToExcelClick()
{
    if (tvNet->topLevelItemCount() == 0) {
        ShowProgramMessage(this, QStringLiteral("請先取得網路資訊!!"));
        return;
    }
    if (FNetTreeMode != 0) {
        ShowProgramMessage(this, QStringLiteral("不支援MS SQL網路資訊存檔!!"));
        return;
    }
    const exchange::SpreadsheetApp app = exchange::findSpreadsheetApp();
    const bool openAfterwards =
        app.found() && platform::ui().askYesNo(this, QStringLiteral("程式執行確認"), QStringLiteral("是否進入 Excel 編修模式？"));
    const QString dir = platform::outputFolder();
    const QString path = QDir(dir).filePath(network::kNetReportFileName);
    try {
        network::writeNetReport(path, netTreeNodes(tvNet), QDateTime::currentDateTime());
    } catch (const exchange::ExportError &e) {
        plainMessage(this, e.message()); // the file's own error
        return;
    }
    platform::ui().beep();
    ShowProgramMessage(this, exchange::exportDoneMessage(network::kNetReportFileName, QDir::toNativeSeparators(dir)));
    if (openAfterwards && !platform::ui().launchProgram(app.program, app.argumentsFor(path)))
        plainMessage(this, QStringLiteral("無法啟動Excel!!"));
}

} // namespace gui
