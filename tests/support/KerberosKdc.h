#pragma once
// A throw-away MIT Kerberos KDC for tests: one or more realms in a temporary folder, the
// KDC on 127.0.0.1 on a free port (TCP), principals made with kadmin.local, tickets got
// with kinit and a password as a user gets them. While the object lives, this process's
// KRB5_CONFIG points at the realm's configuration, so the GSS-API library (and FreeTDS
// inside the test process) find the KDC; the first realm is the default one. The KDC
// dies with the test process, and is stopped and its folder removed with the object.
//
//     KerberosKdc kdc({"PEER.TEST"});
//     QVERIFY2(kdc.isRunning(), qPrintable(kdc.errorText()));
//     kdc.addUser("alice", "pw");
//     kdc.addService("MSSQLSvc/127.0.0.1:1433");   // into kdc.keytab()
//     kdc.kinit("alice", "pw");                     // into kdc.credentialCache()
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class QProcess;

namespace testsupport {

class KerberosKdc {
public:
    explicit KerberosKdc(const QStringList &realms = {QStringLiteral("PEER.TEST")});
    ~KerberosKdc();
    KerberosKdc(const KerberosKdc &) = delete;
    KerberosKdc &operator=(const KerberosKdc &) = delete;

    static bool binariesAvailable(); // krb5kdc, kdb5_util, kadmin.local, kinit

    bool isRunning() const { return process_ != nullptr; }
    QString errorText() const { return error_; }
    int port() const { return port_; }
    QString defaultRealm() const { return realms_.value(0); }

    // A principal without "@" belongs to the default realm.
    bool addUser(const QString &principal, const QString &password);
    // A service principal with a random key, exported to keytab().
    bool addService(const QString &principal);
    QString keytab() const;

    // The ticket-granting ticket into the cache `cache` names (credentialCache() when
    // empty); lifetime in kinit's words ("2s", "1h"), the realm's maximum when empty.
    bool kinit(const QString &principal, const QString &password, const QString &lifetime = QString(),
               const QString &cache = QString());
    QString credentialCache(const QString &name = QStringLiteral("cc")) const; // "FILE:<dir>/<name>"

private:
    bool writeConfiguration();
    bool createRealm(const QString &realm);
    bool startKdc();
    bool run(const QString &program, const QStringList &args, const QByteArray &input = QByteArray());
    QString fullName(const QString &principal) const;

    QTemporaryDir dir_;
    QStringList realms_;
    int port_ = 0;
    QProcess *process_ = nullptr;
    QString error_;
    QByteArray oldConfig_;
    bool hadConfig_ = false;
};

} // namespace testsupport
