// The profile dialogs, offscreen: the profile selection dialog, the connection string
// editor with its data-link operations, the data-link dialog, and the store driving the
// real dialogs on a first run against a real SQLite database.
#include "data/core/Connection.h"
#include "platform/FileAttributes.h"
#include "profiles/ADOConnectionINI.h"
#include "profiles/gui/AdoConEd.h"
#include "profiles/gui/DataLinkDialog.h"
#include "profiles/gui/SelectADOIniDlg.h"
#include "support/GuiDriver.h"
#include "support/ScriptedUi.h"
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <sqlite3.h>

using namespace profiles;

namespace {

// Runs `answer` on the modal dialog of type T once it is shown (the modal loop started
// by the code under test), then lets that code continue.
template <typename T>
void whenShown(std::function<void(T *)> answer)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        QPointer<T> guard(dialog);
        answer(dialog);
        // A failed check inside `answer` must not leave the modal loop waiting.
        if (guard && guard->isVisible() && QTest::currentTestFailed())
            guard->QDialog::done(QDialog::Rejected);
    });
    timer->start();
}

void makeDatabase(const QString &path)
{
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    sqlite3_exec(db, "CREATE TABLE t(a INTEGER)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

void touch(const QString &path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
}

} // namespace

class TestProfileDialogs : public QObject {
    Q_OBJECT
private:
    QTemporaryDir data_;
    QString folder_;

private slots:
    void initTestCase()
    {
        qputenv("XDG_DATA_HOME", QFile::encodeName(data_.path()));
        folder_ = data_.path() + QStringLiteral("/OLE DB/Data Links");
        QCOMPARE(DataLinkFolder(), folder_);
        QVERIFY(QDir().mkpath(folder_));
        touch(folder_ + QStringLiteral("/b.udl"));
        touch(folder_ + QStringLiteral("/A.UDL"));
        touch(folder_ + QStringLiteral("/notes.txt"));
        QVERIFY(QDir().mkpath(folder_ + QStringLiteral("/dir.udl")));
    }

    // --- selection dialog --------------------------------------------------------------

    void selectionDialogLayout()
    {
        Tfm_SelectADOIniDlg dlg;
        QVERIFY(dlg.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(dlg.size(), QSize(413, 169));
        QVERIFY(!dlg.cbxSelectADOIni->isEditable());
        QCOMPARE(dlg.Label1->text(), QStringLiteral("參數設定選擇"));
        QCOMPARE(dlg.btnOK->palette().color(QPalette::ButtonText), QColor(Qt::red));
        QVERIFY(!dlg.btnOK->isDefault() && !dlg.btnOK->autoDefault() && !dlg.btnCancel->autoDefault());
        for (const char *n : {"srv.b", "A", "c", "B2"})
            dlg.AddName(QString::fromLatin1(n));
        QStringList shown;
        for (int i = 0; i < dlg.cbxSelectADOIni->count(); ++i)
            shown << dlg.cbxSelectADOIni->itemText(i);
        QCOMPARE(shown, QStringList({"A", "B2", "c", "srv.b"}));
        dlg.SelectName(QStringLiteral("C"));
        QCOMPARE(dlg.cbxSelectADOIni->currentText(), QStringLiteral("c"));
        dlg.SelectName(QStringLiteral("none"));
        QCOMPARE(dlg.cbxSelectADOIni->currentText(), QString());
        QCOMPARE(dlg.SelectResult, 0);
    }

    void onlyTheButtonsEndIt()
    {
        Tfm_SelectADOIniDlg dlg;
        dlg.AddName(QStringLiteral("P"));
        dlg.SelectName(QStringLiteral("p"));
        QVERIFY(drive::showActive(&dlg));
        dlg.close();
        QVERIFY(dlg.isVisible());
        QCOMPARE(drive::focused(), static_cast<QWidget *>(dlg.cbxSelectADOIni));
        drive::press(Qt::Key_Escape);
        QVERIFY(dlg.isVisible());
        drive::press(Qt::Key_Return); // in the list: no default button
        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.SelectResult, 0);
        QTest::mouseClick(dlg.btnOK, Qt::LeftButton);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.result(), int(Tfm_SelectADOIniDlg::srOK));
    }

    // Enter or Space on the focused button presses it; the focus gets there by Tab.
    void keyOnFocusedButtonPressesIt_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("tabs"); // 1: OK, 2: Cancel
        QTest::addColumn<int>("result");
        QTest::newRow("Enter on OK") << int(Qt::Key_Return) << 1 << int(Tfm_SelectADOIniDlg::srOK);
        QTest::newRow("keypad Enter on OK") << int(Qt::Key_Enter) << 1 << int(Tfm_SelectADOIniDlg::srOK);
        QTest::newRow("Space on OK") << int(Qt::Key_Space) << 1 << int(Tfm_SelectADOIniDlg::srOK);
        QTest::newRow("Enter on Cancel") << int(Qt::Key_Return) << 2 << int(Tfm_SelectADOIniDlg::srCancel);
        QTest::newRow("Space on Cancel") << int(Qt::Key_Space) << 2 << int(Tfm_SelectADOIniDlg::srCancel);
    }
    void keyOnFocusedButtonPressesIt()
    {
        QFETCH(int, key);
        QFETCH(int, tabs);
        QFETCH(int, result);
        Tfm_SelectADOIniDlg dlg;
        dlg.AddName(QStringLiteral("P"));
        dlg.SelectName(QStringLiteral("P"));
        QVERIFY(drive::showActive(&dlg));
        for (int i = 0; i < tabs; ++i)
            drive::press(Qt::Key_Tab);
        QCOMPARE(drive::focused(), static_cast<QWidget *>(tabs == 1 ? dlg.btnOK : dlg.btnCancel));
        drive::press(Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.SelectResult, result);
        QCOMPARE(dlg.result(), result);
    }

    void chooserAnswers_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("expected"); // "-" for cancel
        QTest::newRow("ok on stored") << QStringList({"b", "a"}) << true << "b";
        QTest::newRow("cancel") << QStringList({"b", "a"}) << false << "-";
        QTest::newRow("ok on empty list is cancel") << QStringList() << true << "-";
    }
    void chooserAnswers()
    {
        QFETCH(QStringList, names);
        QFETCH(bool, ok);
        QFETCH(QString, expected);
        whenShown<Tfm_SelectADOIniDlg>([ok](Tfm_SelectADOIniDlg *d) {
            QTest::mouseClick(ok ? d->btnOK : d->btnCancel, Qt::LeftButton);
        });
        QtProfileChooser chooser;
        const auto chosen = chooser.ChooseProfile(names, QStringLiteral("B"));
        QCOMPARE(chosen.has_value() ? *chosen : QStringLiteral("-"), expected);
    }

    // --- connection string editor ------------------------------------------------------

    void dataLinkFiles()
    {
        QStringList list{QStringLiteral("old")};
        QCOMPARE(FindDataLinkFiles(list, QString()), 2);
        list.sort(Qt::CaseInsensitive);
        QCOMPARE(list, QStringList({"A.UDL", "b.udl"}));
        QCOMPARE(FindDataLinkFiles(list, data_.path()), 0);
        TConnEditForm form;
        QCOMPARE(form.DataLinkFile->count(), 2);
        QCOMPARE(form.DataLinkFile->itemText(0), QStringLiteral("A.UDL"));
        QCOMPARE(form.helpTopic(), 27270);
        QCOMPARE(form.size(), QSize(472, 185));
    }

    // Help opens the program's own help on the dialog's topic, through the UI services.
    void editorHelpButton()
    {
        testsupport::ScriptedUiScope ui;
        TConnEditForm form;
        QSignalSpy help(&form, &TConnEditForm::helpRequested);
        QVERIFY(drive::showActive(&form));
        QTest::mouseClick(form.HelpButton, Qt::LeftButton);
        QCOMPARE(help.count(), 1);
        QCOMPARE(help.at(0).at(0).toInt(), 27270);
        QCOMPARE(ui.helpRequests().size(), 1);
        QCOMPARE(ui.helpRequests().at(0).topic, 27270);
        QCOMPARE(ui.helpRequests().at(0).owner, static_cast<QObject *>(&form));
        QCOMPARE(ui.helpRequests().at(0).helpFile, QString());
        QVERIFY(form.isVisible()); // the editor stays open
    }

    void editor_data()
    {
        const QString inside = QStringLiteral("FILE NAME=") + folder_ + QStringLiteral("/b.udl");
        const QString longPath = QStringLiteral("/") + QString(300, QLatin1Char('x'));
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("action"); // ok, cancel, esc, clear
        QTest::addColumn<bool>("fileOn");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("result");
        QTest::newRow("outside folder") << "FILE NAME=/srv/x.udl" << "ok" << true << "/srv/x.udl" << "FILE NAME=/srv/x.udl";
        QTest::newRow("inside folder") << inside << "ok" << true << "b.udl" << inside;
        QTest::newRow("other case") << "file name=/srv/x.udl" << "ok" << false << "file name=/srv/x.udl" << "file name=/srv/x.udl";
        QTest::newRow("empty box") << "FILE NAME=/srv/x.udl" << "clear" << true << "/srv/x.udl" << "";
        QTest::newRow("cancel") << "Provider=SQLite.1" << "cancel" << false << "Provider=SQLite.1" << "Provider=SQLite.1";
        QTest::newRow("esc") << "FILE NAME=/srv/x.udl" << "esc" << true << "/srv/x.udl" << "FILE NAME=/srv/x.udl";
        QTest::newRow("cut to 260") << "FILE NAME=" + longPath << "ok" << true << longPath.left(260)
                                    << "FILE NAME=" + longPath.left(260);
    }
    void editor()
    {
        QFETCH(QString, current);
        QFETCH(QString, action);
        QFETCH(bool, fileOn);
        QFETCH(QString, shown);
        QFETCH(QString, result);
        TConnEditForm form;
        whenShown<TConnEditForm>([&](TConnEditForm *d) {
            QCOMPARE(d->UseDataLinkFile->isChecked(), fileOn);
            QCOMPARE(d->UseConnectionString->isChecked(), !fileOn);
            QCOMPARE(fileOn ? d->DataLinkFile->currentText() : d->ConnectionString->text(), shown);
            QCOMPARE(d->DataLinkFile->isEnabled(), fileOn);
            QCOMPARE(d->Browse->isEnabled(), fileOn);
            QCOMPARE(d->ConnectionString->isEnabled(), !fileOn);
            QCOMPARE(d->Build->isEnabled(), !fileOn);
            if (action == QLatin1String("clear")) {
                d->DataLinkFile->setEditText(QString());
                QTest::mouseClick(d->OkButton, Qt::LeftButton);
            } else if (action == QLatin1String("esc")) {
                QVERIFY(QTest::qWaitForWindowActive(d));
                drive::press(Qt::Key_Escape);
            } else {
                QTest::mouseClick(action == QLatin1String("ok") ? d->OkButton : d->CancelButton, Qt::LeftButton);
            }
        });
        QCOMPARE(form.ShowEditor(current), result);
    }

    void bareNameGoesToFolder()
    {
        TConnEditForm form;
        whenShown<TConnEditForm>([](TConnEditForm *d) {
            d->DataLinkFile->setCurrentIndex(0);
            QTest::mouseClick(d->OkButton, Qt::LeftButton);
        });
        QCOMPARE(form.ShowEditor(QString()), QString()); // a plain (empty) string stays plain
        whenShown<TConnEditForm>([](TConnEditForm *d) {
            d->UseDataLinkFile->click();
            QVERIFY(d->DataLinkFile->isEnabled());
            QVERIFY(!d->ConnectionString->isEnabled());
            d->DataLinkFile->setCurrentIndex(0);
            QTest::mouseClick(d->OkButton, Qt::LeftButton);
        });
        QCOMPARE(form.ShowEditor(QString()), QStringLiteral("FILE NAME=") + folder_ + QStringLiteral("/A.UDL"));
    }

    void runConnectionEditor()
    {
        QObject owner;
        owner.setObjectName(QStringLiteral("fm_ADO_Schema"));
        data::Connection conn(&owner);
        conn.setObjectName(QStringLiteral("ADOConnection1"));
        conn.setConnectionString(QStringLiteral("FILE NAME=/srv/x.udl"));
        whenShown<TConnEditForm>([](TConnEditForm *d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("fm_ADO_Schema.ADOConnection1 ConnectionString"));
            QTest::mouseClick(d->OkButton, Qt::LeftButton);
        });
        QVERIFY(!RunConnectionEditor(conn));
        whenShown<TConnEditForm>([](TConnEditForm *d) {
            d->UseConnectionString->click();
            d->ConnectionString->setText(QStringLiteral("Provider=SQLite.1;Data Source=y.db"));
            QTest::mouseClick(d->OkButton, Qt::LeftButton);
        });
        QVERIFY(RunConnectionEditor(conn));
        QCOMPARE(conn.ConnectionString(), QStringLiteral("Provider=SQLite.1;Data Source=y.db"));
    }

    void browseAndChooseFile()
    {
        testsupport::ScriptedUiScope ui;
        ui.queueOpenFile(QStringLiteral("/srv/links/new.udl"));
        QCOMPARE(ChooseDataLinkFile(nullptr, QStringLiteral("/srv/old/x.udl")), QStringLiteral("/srv/links/new.udl"));
        QCOMPARE(ui.fileDialogs().last().request.initialDir, QStringLiteral("/srv/old/"));
        QVERIFY(ui.fileDialogs().last().request.filter.contains(QStringLiteral("*.udl")));
        ui.queueOpenFile(QString());
        QCOMPARE(ChooseDataLinkFile(nullptr, QStringLiteral("x.udl")), QStringLiteral("x.udl"));
        TConnEditForm form;
        form.PrepareEditor(QStringLiteral("FILE NAME=/a/b.udl"));
        ui.queueOpenFile(QStringLiteral("/c/d.udl"));
        form.Browse->click();
        QCOMPARE(form.DataLinkFile->currentText(), QStringLiteral("/c/d.udl"));
    }

    // --- data-link dialog ----------------------------------------------------------------

    void dataLinkDialogBuildsString()
    {
        testsupport::ScriptedUiScope ui;
        QTemporaryDir dir;
        const QString db = dir.filePath(QStringLiteral("demo.db"));
        makeDatabase(db);
        TDataLinkDialog dlg;
        dlg.SetConnectionString(QStringLiteral("Provider=SQLite.1;Data Source=%1").arg(db));
        QCOMPARE(dlg.Pages->currentIndex(), 1);
        QCOMPARE(dlg.DataSourceEdit->text(), db);
        dlg.PasswordEdit->setText(QStringLiteral("pw"));
        dlg.AllowSavingPassword->setChecked(true);
        dlg.Pages->setCurrentIndex(TDataLinkDialog::AllPage);
        QCOMPARE(dlg.AllTable->rowCount(), 14); // every property of the provider
        QList<QTableWidgetItem *> timeout = dlg.AllTable->findItems(QStringLiteral("Connect Timeout"), Qt::MatchExactly);
        QCOMPARE(timeout.size(), 1);
        dlg.AllTable->item(timeout.first()->row(), 1)->setText(QStringLiteral("30"));
        const data::ConnectionString result(dlg.ResultConnectionString());
        QCOMPARE(result.items().front().first, QStringLiteral("Provider"));
        QCOMPARE(result.value("Password"), QStringLiteral("pw"));
        QCOMPARE(result.value("Persist Security Info"), QStringLiteral("True"));
        QCOMPARE(result.value("Connect Timeout"), QStringLiteral("30"));
        QVERIFY(!result.contains(QStringLiteral("Locale Identifier"))); // defaults stay out

        dlg.TestConnection->click();
        QCOMPARE(ui.lastMessage().text, QStringLiteral("測試連線成功。"));
        QCOMPARE(ui.lastMessage().title, QStringLiteral("資料連結內容"));
        dlg.Pages->setCurrentIndex(1);
        dlg.DataSourceEdit->setText(dir.filePath(QStringLiteral("missing.db")));
        dlg.TestConnection->click();
        QVERIFY2(ui.lastMessage().text.startsWith(QStringLiteral("因為初始化提供者時發生錯誤，測試連線失敗。")),
                 qPrintable(ui.lastMessage().text));
        QCOMPARE(ui.lastMessage().icon, platform::MessageIcon::Stop);

        // Another provider.
        dlg.ProviderList->setCurrentRow(0);
        QCOMPARE(data::ConnectionString(dlg.ResultConnectionString()).provider(), QStringLiteral("SQLOLEDB.1"));
    }

    // The dialog speaks Traditional Chinese as the platform's does on such a desktop.
    void dataLinkDialogCaptions()
    {
        TDataLinkDialog dlg;
        QCOMPARE(dlg.windowTitle(), QStringLiteral("資料連結內容"));
        QStringList pages;
        for (int i = 0; i < dlg.Pages->count(); ++i)
            pages << dlg.Pages->tabText(i);
        QCOMPARE(pages, QStringList({"提供者", "連線", "進階", "全部"}));
        QCOMPARE(dlg.TestConnection->text(), QStringLiteral("測試連線(&T)"));
        QCOMPARE(dlg.AllowSavingPassword->text(), QStringLiteral("允許儲存密碼(&S)"));
        QCOMPARE(dlg.RefreshCatalogs->text(), QStringLiteral("重新整理(&R)"));
        QCOMPARE(dlg.OkButton->text(), QStringLiteral("確定"));
        QCOMPARE(dlg.CancelButton->text(), QStringLiteral("取消"));
        QCOMPARE(dlg.HelpButton->text(), QStringLiteral("說明"));
        QCOMPARE(dlg.AllTable->horizontalHeaderItem(0)->text(), QStringLiteral("名稱"));
        QCOMPARE(dlg.AllTable->horizontalHeaderItem(1)->text(), QStringLiteral("值"));
        // Provider names keep their own spelling.
        QCOMPARE(dlg.ProviderList->item(0)->text(),
                 QStringLiteral("Microsoft OLE DB Provider for SQL Server (SQLOLEDB.1)"));
    }

    // "進階": the connect timeout and the access permissions, by the properties' own
    // names and values; the default timeout stays out of the string.
    void dataLinkAdvancedPage()
    {
        TDataLinkDialog dlg;
        dlg.SetConnectionString(QStringLiteral("Provider=SQLOLEDB.1;Data Source=srv;Mode=Read"));
        dlg.Pages->setCurrentIndex(TDataLinkDialog::AdvancedPage);
        QCOMPARE(dlg.ConnectTimeout->value(), 15);
        QCOMPARE(dlg.AccessModes->item(0)->text(), QStringLiteral("讀取"));
        QCOMPARE(dlg.AccessModes->item(0)->checkState(), Qt::Checked);
        QCOMPARE(dlg.ResultConnectionString(), QStringLiteral("Provider=SQLOLEDB.1;Data Source=srv;Mode=Read"));
        dlg.AccessModes->item(2)->setCheckState(Qt::Checked); // 不拒絕共用
        QCOMPARE(data::ConnectionString(dlg.ResultConnectionString()).value("Mode"),
                 QStringLiteral("Read|Share Deny None"));
        QVERIFY(!data::ConnectionString(dlg.ResultConnectionString()).contains(QStringLiteral("Connect Timeout")));
        dlg.ConnectTimeout->setValue(30);
        QCOMPARE(data::ConnectionString(dlg.ResultConnectionString()).value("Connect Timeout"), QStringLiteral("30"));
        dlg.AccessModes->item(0)->setCheckState(Qt::Unchecked);
        dlg.AccessModes->item(2)->setCheckState(Qt::Unchecked);
        QVERIFY(!data::ConnectionString(dlg.ResultConnectionString()).contains(QStringLiteral("Mode")));
        // The "全部" page shows what the advanced page set.
        dlg.Pages->setCurrentIndex(TDataLinkDialog::AllPage);
        const auto timeout = dlg.AllTable->findItems(QStringLiteral("Connect Timeout"), Qt::MatchExactly);
        QCOMPARE(timeout.size(), 1);
        QCOMPARE(dlg.AllTable->item(timeout.first()->row(), 1)->text(), QStringLiteral("30"));
    }

    // Opened centred on the window that asked, or on the screen.
    void dataLinkDialogCentred()
    {
        QWidget owner;
        owner.setGeometry(100, 120, 900, 700);
        QVERIFY(drive::showActive(&owner));
        TDataLinkDialog onOwner(&owner);
        QVERIFY(drive::showActive(&onOwner));
        QCOMPARE(onOwner.frameGeometry().center(), owner.frameGeometry().center());
        onOwner.close();
        TDataLinkDialog free;
        QVERIFY(drive::showActive(&free));
        QCOMPARE(free.frameGeometry().center(), QGuiApplication::primaryScreen()->availableGeometry().center());
    }

    void dataLinkHelpButton()
    {
        testsupport::ScriptedUiScope ui;
        TDataLinkDialog dlg;
        QVERIFY(drive::showActive(&dlg));
        QTest::mouseClick(dlg.HelpButton, Qt::LeftButton);
        QCOMPARE(ui.helpRequests().size(), 1);
        QCOMPARE(ui.helpRequests().at(0).topic, TDataLinkDialog::kHelpTopic);
    }

    void dataLinkFileStrings_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: no file
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << QByteArray() << "找不到資料連結檔";
        QTest::newRow("empty") << QByteArray("") << "不是資料連結檔";
        QTest::newRow("not utf-16") << QByteArray("garbage\r\n") << "不是資料連結檔";
        QTest::newRow("good") << QByteArray("good") << "測試連線成功。";
    }
    void dataLinkFileStrings()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        testsupport::ScriptedUiScope ui;
        QTemporaryDir dir;
        const QString udl = dir.filePath(QStringLiteral("x.udl"));
        if (content == "good") {
            makeDatabase(dir.filePath(QStringLiteral("d.db")));
            data::writeDataLinkFile(udl, QStringLiteral("Provider=SQLite.1;Data Source=%1").arg(dir.filePath(QStringLiteral("d.db"))));
        } else if (!content.isNull()) {
            QFile f(udl);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        TDataLinkDialog dlg;
        dlg.SetConnectionString(QStringLiteral("FILE NAME=") + udl);
        QCOMPARE(dlg.ResultConnectionString(), QStringLiteral("FILE NAME=") + udl);
        dlg.TestConnection->click();
        QCOMPARE(ui.messages().size(), 1);
        QVERIFY2(ui.lastMessage().text.contains(message), qPrintable(ui.lastMessage().text));
    }

    void buildReturnsInitialOnCancel()
    {
        whenShown<TDataLinkDialog>([](TDataLinkDialog *d) {
            d->DataSourceEdit->setText(QStringLiteral("changed"));
            QTest::mouseClick(d->CancelButton, Qt::LeftButton);
        });
        QCOMPARE(BuildConnectionString(nullptr, QStringLiteral("Provider=SQLite.1;Data Source=a.db")),
                 QStringLiteral("Provider=SQLite.1;Data Source=a.db"));
        TConnEditForm form;
        form.PrepareEditor(QStringLiteral("Provider=SQLite.1"));
        whenShown<TDataLinkDialog>([](TDataLinkDialog *d) {
            d->DataSourceEdit->setText(QStringLiteral("b.db"));
            QTest::mouseClick(d->OkButton, Qt::LeftButton);
        });
        form.Build->click();
        QCOMPARE(form.ConnectionString->text(),
                 QStringLiteral("Provider=SQLite.1;Data Source=b.db;Persist Security Info=False"));
    }

    // --- the store with the real dialogs ---------------------------------------------

    void firstRunThroughDialogs()
    {
        testsupport::ScriptedUiScope ui;
        QTemporaryDir dir;
        const QString db = dir.filePath(QStringLiteral("demo.db"));
        makeDatabase(db);
        data::Connection conn;
        TADOConnectionINI store;
        store.setInitialDir(dir.path());
        store.setADOConnection(&conn);
        InstallProfileDialogs(store);
        whenShown<TDataLinkDialog>([db](TDataLinkDialog *d) {
            d->DataSourceEdit->setText(db);
            d->PasswordEdit->setText(QStringLiteral("s3cret"));
            QTest::mouseClick(d->OkButton, Qt::LeftButton);
            whenShown<TConnEditForm>([](TConnEditForm *e) { QTest::mouseClick(e->OkButton, Qt::LeftButton); });
        });
        store.LoadProfile();
        QVERIFY(QFile::exists(store.IniFilePath()));
        QCOMPARE(store.DataSource(), db);
        QCOMPARE(platform::fileGetAttr(store.IniFilePath()), int(platform::faHidden));

        // A fresh store and connection read it back and connect.
        data::Connection fresh;
        TADOConnectionINI reader;
        reader.setInitialDir(dir.path());
        reader.setADOConnection(&fresh);
        InstallProfileDialogs(reader);
        reader.LoadProfile();
        QCOMPARE(fresh.Provider(), QStringLiteral("SQLite.1"));
        QCOMPARE(data::ConnectionString(fresh.ConnectionString()).value("Password"), QStringLiteral("s3cret"));
        fresh.Open();
        QStringList tables;
        fresh.GetTableNames(tables);
        QCOMPARE(tables, QStringList({"t"}));
        fresh.Close();

        // With the choice enabled the selection dialog is offered.
        reader.setEnabledSelected(true);
        whenShown<Tfm_SelectADOIniDlg>([](Tfm_SelectADOIniDlg *d) {
            QCOMPARE(d->cbxSelectADOIni->count(), 1);
            QTest::mouseClick(d->btnOK, Qt::LeftButton);
        });
        reader.LoadProfile();
        QCOMPARE(reader.DataSource(), db);
    }
};

QTEST_MAIN(TestProfileDialogs)
#include "tst_profiledialogs.moc"
