#include "DiscoveryBackend.h"
#include "Discovery.h"
#include <optional>
#include <utility>

namespace network {

namespace {

using Clock = std::chrono::steady_clock;
using Listing = std::pair<bool, QStringList>;

class SystemDiscovery final : public DiscoveryBackend {
public:
    QString hostToIP(const QString &host) override
    {
        return ask<QString>([host] { return HostToIP(host); }, QString());
    }
    bool netGroups(QStringList &list) override { return GetNetGroups(list); }
    bool netComputers(const QString &group, QStringList &list) override { return GetNetComputers(group, list); }
    bool netShares(const QString &computer, QStringList &list) override
    {
        const Listing listing = computer == computer_ && shares_
                                    ? shares_->wait(deadline_, keepWaiting_).value_or(Listing{false, {}})
                                    : ask<Listing>(listSharesOf(computer), Listing{false, {}});
        list = listing.second;
        return listing.first;
    }
    QString ipToMAC(const QString &ip) override
    {
        return ask<QString>([ip] { return IPToMAC(ip); }, QString());
    }

    // The share listing, the slowest lookup, starts at once beside the address lookups.
    void beginComputer(const QString &computer, const KeepWaiting &keepWaiting) override
    {
        computer_ = computer;
        keepWaiting_ = keepWaiting;
        deadline_ = Clock::now() + std::chrono::milliseconds(kComputerLookupMs);
        shares_.emplace(listSharesOf(computer));
    }
    void endComputer() override
    {
        computer_.clear();
        keepWaiting_ = {};
        shares_.reset();
    }

private:
    static std::function<Listing()> listSharesOf(const QString &computer)
    {
        return [computer] {
            QStringList list;
            const bool listed = GetNetShares(computer, list);
            return Listing{listed, list};
        };
    }

    // Outside a computer's lookups the call runs here, bounded by its own timeouts.
    template <typename T> T ask(std::function<T()> call, T fallback)
    {
        if (!shares_)
            return call();
        return PendingCall<T>(std::move(call)).wait(deadline_, keepWaiting_).value_or(fallback);
    }

    QString computer_;
    KeepWaiting keepWaiting_;
    Clock::time_point deadline_;
    std::optional<PendingCall<Listing>> shares_;
};

} // namespace

DiscoveryBackend &systemDiscovery()
{
    static SystemDiscovery discovery;
    return discovery;
}

} // namespace network
