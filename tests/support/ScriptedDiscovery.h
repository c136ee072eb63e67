#pragma once
// A scripted network for the network page's tests: workgroups, computers, addresses,
// adapter addresses and shares come from the script; every question asked is recorded
// in order ("hostToIP PC1"), and an observer may look at the window between questions.
#include "network/DiscoveryBackend.h"
#include <QMap>
#include <QPair>
#include <QStringList>
#include <functional>

namespace testsupport {

class ScriptedDiscovery : public network::DiscoveryBackend {
public:
    QStringList groups;
    QMap<QString, QStringList> computers;             // by workgroup; absent: none
    QMap<QString, QString> ips;                       // by host name; absent: no address
    QMap<QString, QString> macs;                      // by IPv4 text; absent: no adapter
    QMap<QString, QPair<bool, QStringList>> shares;   // by computer; absent: false, none
    QStringList calls;
    std::function<void(const QString &call)> onCall;
    // What the caller gave for the computer being looked up: a question that "waits"
    // asks it, as the system's discovery does while the network is slow.
    network::KeepWaiting keepWaiting;

    void beginComputer(const QString &, const network::KeepWaiting &waiting) override { keepWaiting = waiting; }
    void endComputer() override { keepWaiting = {}; }

    QString hostToIP(const QString &host) override
    {
        record(QStringLiteral("hostToIP ") + host);
        return ips.value(host);
    }
    bool netGroups(QStringList &list) override
    {
        record(QStringLiteral("netGroups"));
        list = groups;
        return !groups.isEmpty();
    }
    bool netComputers(const QString &group, QStringList &list) override
    {
        record(QStringLiteral("netComputers ") + group);
        list = computers.value(group);
        return true;
    }
    bool netShares(const QString &computer, QStringList &list) override
    {
        record(QStringLiteral("netShares ") + computer);
        const QPair<bool, QStringList> answer = shares.value(computer, {false, {}});
        list = answer.second;
        return answer.first;
    }
    QString ipToMAC(const QString &ip) override
    {
        record(QStringLiteral("ipToMAC ") + ip);
        return macs.value(ip);
    }

    // Three workgroups: WG1 with PC1 (address, adapter, two shares) and PC2 (address,
    // adapter unknown, share enumeration failing after one entry), EMPTY with no
    // computers, WG3 with GHOST whose name does not resolve.
    static ScriptedDiscovery office()
    {
        ScriptedDiscovery d;
        d.groups = {QStringLiteral("WG1"), QStringLiteral("EMPTY"), QStringLiteral("WG3")};
        d.computers[QStringLiteral("WG1")] = {QStringLiteral("PC1"), QStringLiteral("PC2")};
        d.computers[QStringLiteral("WG3")] = {QStringLiteral("GHOST")};
        d.ips[QStringLiteral("PC1")] = QStringLiteral("10.0.0.1");
        d.ips[QStringLiteral("PC2")] = QStringLiteral("10.0.0.2");
        d.macs[QStringLiteral("10.0.0.1")] = QStringLiteral("001122334455");
        d.shares[QStringLiteral("PC1")] = {true, {QStringLiteral("PC1\\Public"), QStringLiteral("PC1\\印表機")}};
        d.shares[QStringLiteral("PC2")] = {false, {QStringLiteral("PC2\\Half")}};
        d.shares[QStringLiteral("GHOST")] = {true, {}};
        return d;
    }

private:
    void record(const QString &call)
    {
        calls << call;
        if (onCall)
            onCall(call);
    }
};

} // namespace testsupport
