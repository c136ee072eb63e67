#pragma once
// The computer's name as the program shows and stores it.
//
// Windows gives the NetBIOS name: upper case, at most 15 characters, no domain. Linux has
// only the host name, so it is turned into that form: the host name from gethostname(),
// cut at the first '.' (a fully qualified name keeps only its first label), ASCII letters
// upper-cased, then cut to 15 characters. Names stored by the program (for example a
// profile's computer entry) therefore look the same as on Windows. When the host name
// cannot be read the result is an empty text.
#include <QByteArray>
#include <QString>

namespace platform {

// This machine's name in NetBIOS form; empty when the platform call fails.
QString computerName();

// The host name as gethostname() gives it; empty when the call fails.
QByteArray hostName();

// The NetBIOS form of a host name (the rules above).
QString netbiosFormOf(const QByteArray &hostName);

} // namespace platform
