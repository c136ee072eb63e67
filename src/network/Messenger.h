#pragma once
// Sends a broadcast text to one machine. The command line is the one the network page
// documents ("Net Send PC1 'hi there'"); it is carried out by the SMB messenger
// (`smbclient -M target`, the text on its standard input), started detached, never
// through a shell and never waited for. The text reaches the messenger as data only,
// whatever quotes or semicolons it holds.
#include <QString>

namespace network {

struct BroadcastCommand {
    QString target;
    QString text; // as typed, not trimmed

    // "Net Send " + target + " '" + text + "'"
    QString commandLine() const;
};

// The messenger program, or empty when none is installed (looked up on the PATH).
QString messengerProgram();

// Starts the messenger for the command; false when none is installed or it could not be
// started. Whether the text arrives is not known.
bool startMessenger(const BroadcastCommand &command);

} // namespace network
