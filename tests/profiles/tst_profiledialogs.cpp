// The profile dialogs, offscreen: the profile selection dialog, the connection string
// editor with its data-link operations, the data-link dialog, and the store driving the
// real dialogs on a first run against a real SQLite database.
#include "data/Connection.h"
#include "platform/FileAttributes.h"
#include "profiles/ADOConnectionINI.h"
#include "profiles/gui/AdoConEd.h"
#include "profiles/gui/DataLinkDialog.h"
#include "profiles/gui/SelectADOIniDlg.h"
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
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QPointer>
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
        dlg.open();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        dlg.close();
        QVERIFY(dlg.isVisible());
        QTest::keyClick(&dlg, Qt::Key_Escape);
        QVERIFY(dlg.isVisible());
        QTest::keyClick(dlg.cbxSelectADOIni, Qt::Key_Return);
        QVERIFY(dlg.isVisible());
        QTest::mouseClick(dlg.btnOK, Qt::LeftButton);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.result(), int(Tfm_SelectADOIniDlg::srOK));
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
        QSignalSpy help(&form, &TConnEditForm::helpRequested);
        form.HelpButton->click();
        QCOMPARE(help.count(), 1);
        QCOMPARE(help.at(0).at(0).toInt(), 27270);
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
                QTest::keyClick(d, Qt::Key_Escape);
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
        dlg.Pages->setCurrentIndex(2);
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
        QCOMPARE(ui.lastMessage().text, QStringLiteral("Test connection succeeded."));
        dlg.Pages->setCurrentIndex(1);
        dlg.DataSourceEdit->setText(dir.filePath(QStringLiteral("missing.db")));
        dlg.TestConnection->click();
        QVERIFY(ui.lastMessage().text.startsWith(QStringLiteral("Test connection failed")));
        QCOMPARE(ui.lastMessage().icon, platform::MessageIcon::Stop);

        // Another provider.
        dlg.ProviderList->setCurrentRow(0);
        QCOMPARE(data::ConnectionString(dlg.ResultConnectionString()).provider(), QStringLiteral("SQLOLEDB.1"));
    }

    void dataLinkFileStrings_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: no file
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << QByteArray() << "Data link file not found";
        QTest::newRow("empty") << QByteArray("") << "Not a data link file";
        QTest::newRow("not utf-16") << QByteArray("garbage\r\n") << "Not a data link file";
        QTest::newRow("good") << QByteArray("good") << "Test connection succeeded.";
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
