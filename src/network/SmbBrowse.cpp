// Workgroups, computers and shares through SMB browsing (libsmbclient). Each call uses a
// context of its own, logs in as a guest and waits at most the options' timeout for any
// one round trip; nothing is printed and nothing is kept between calls. A share listing
// tries the host's ports at once first (PortProbe.h).
#include "Discovery.h"
#include "PortProbe.h"
#include <QUrl>
#include <cstring>
#include <functional>
#include <libsmbclient.h>
#include <mutex>

namespace network {

namespace {

// Guest: no user, no password, the server's own workgroup.
void guestLogin(SMBCCTX *, const char *, const char *, char *workgroup, int, char *user,
                int userLength, char *password, int passwordLength)
{
    Q_UNUSED(workgroup);
    if (userLength > 0)
        user[0] = '\0';
    if (passwordLength > 0)
        password[0] = '\0';
}

enum class Purpose { Shares, BrowseList };

class SmbContext {
public:
    explicit SmbContext(const SmbOptions &options, Purpose purpose = Purpose::Shares) : inUse_(libraryLock())
    {
        ctx_ = smbc_new_context();
        if (!ctx_)
            return;
        smbc_setDebug(ctx_, 0);
        smbc_setTimeout(ctx_, options.timeoutMs);
        if (options.port > 0)
            smbc_setPort(ctx_, uint16_t(options.port));
        smbc_setOptionUseKerberos(ctx_, false);
        smbc_setOptionFallbackAfterKerberos(ctx_, true);
        smbc_setOptionNoAutoAnonymousLogin(ctx_, false);
        smbc_setFunctionAuthDataWithContext(ctx_, guestLogin);
        // Browse lists (workgroups, their computers) exist only in SMB1's browser
        // protocol; shares are listed over whatever the server speaks best.
        if (purpose == Purpose::BrowseList)
            smbc_setOptionProtocols(ctx_, "NT1", nullptr);
        if (!smbc_init_context(ctx_)) {
            smbc_free_context(ctx_, 1);
            ctx_ = nullptr;
        }
    }
    ~SmbContext()
    {
        if (ctx_)
            smbc_free_context(ctx_, 1);
    }
    SmbContext(const SmbContext &) = delete;
    SmbContext &operator=(const SmbContext &) = delete;

    // Lists the entries under url; false when it cannot be opened or closed.
    bool list(const QByteArray &url, const std::function<void(const smbc_dirent &)> &take)
    {
        if (!ctx_)
            return false;
        SMBCFILE *dir = smbc_getFunctionOpendir(ctx_)(ctx_, url.constData());
        if (!dir)
            return false;
        while (const smbc_dirent *entry = smbc_getFunctionReaddir(ctx_)(ctx_, dir))
            take(*entry);
        return smbc_getFunctionClosedir(ctx_)(ctx_, dir) == 0;
    }

private:
    // The library keeps global state and offers no thread support here, while contexts
    // live on the threads of bounded calls: one context at a time.
    static std::mutex &libraryLock()
    {
        static std::mutex lock;
        return lock;
    }

    std::unique_lock<std::mutex> inUse_;
    SMBCCTX *ctx_ = nullptr;
};

QByteArray smbUrl(const QString &name)
{
    return QByteArrayLiteral("smb://") + QUrl::toPercentEncoding(name);
}

QString nameOf(const smbc_dirent &entry)
{
    return QString::fromUtf8(entry.name, int(strnlen(entry.name, entry.namelen + 1)));
}

bool listOfType(const QByteArray &url, unsigned type, QStringList &list, const SmbOptions &options)
{
    list.clear();
    SmbContext smb(options, Purpose::BrowseList);
    return smb.list(url, [&](const smbc_dirent &entry) {
        if (entry.smbc_type == type)
            list << nameOf(entry);
    });
}

bool isListedShare(const smbc_dirent &entry, const QString &name)
{
    const bool diskOrPrinter = entry.smbc_type == SMBC_FILE_SHARE || entry.smbc_type == SMBC_PRINTER_SHARE;
    return diskOrPrinter && !name.isEmpty() && !name.endsWith(QLatin1Char('$'));
}

} // namespace

bool GetNetGroups(QStringList &list, const SmbOptions &options)
{
    const bool listed = listOfType(QByteArrayLiteral("smb://"), SMBC_WORKGROUP, list, options);
    // No workgroup visible counts as no network, as for the platform's enumeration.
    return listed && !list.isEmpty();
}

bool GetNetComputers(const QString &group, QStringList &list, const SmbOptions &options)
{
    if (group.isEmpty()) {
        list.clear();
        return false;
    }
    return listOfType(smbUrl(group), SMBC_SERVER, list, options);
}

bool GetNetShares(const QString &computer, QStringList &list, const SmbOptions &options)
{
    list.clear();
    QString host = computer;
    while (host.startsWith(QLatin1Char('\\')))
        host.remove(0, 1);
    if (host.isEmpty())
        return false;
    // A host with an address is asked on all its SMB ports at once: one that takes no
    // connection costs one timeout, not one per port. A name only NetBIOS knows goes
    // to the library as it stands.
    SmbOptions listing = options;
    const QString ip = HostToIP(host);
    if (!ip.isEmpty()) {
        const QList<int> ports = options.port > 0 ? QList<int>{options.port} : QList<int>{445, 139};
        listing.port = firstOpenPort(ip, ports, options.timeoutMs);
        if (listing.port == 0)
            return false;
    }
    SmbContext smb(listing);
    return smb.list(smbUrl(host), [&](const smbc_dirent &entry) {
        const QString share = nameOf(entry);
        if (isListedShare(entry, share))
            list << host + QLatin1Char('\\') + share;
    });
}

} // namespace network
