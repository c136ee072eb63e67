#pragma once
// Where the console program's password comes from when the connection string has none:
// the first line of --password-file, or the terminal (echo off) when the login names a
// user and standard input is a terminal. A profile's stored password is already in the
// string and stays.
#include "data/core/ConnectionString.h"

namespace cli {

void supplyPassword(data::ConnectionString &cs, const QString &passwordFile);

} // namespace cli
