#pragma once
// Where the program keeps its two settings files and where exports go when the user
// names no folder.
//
// A program that may write into its own folder (a build folder, a copied portable
// folder) keeps everything there, as it always has. An installed program may not: its
// settings then live in the user's configuration folder (QStandardPaths::
// AppConfigLocation, created readable by its owner only) and exports default to the
// user's documents folder. A program run from an installed tree (its desktop entry
// under ../share/applications) counts as installed even where its folder is writable,
// so root running the installed program writes nothing into the system's bin folder.
#include <QString>

namespace platform {

// The desktop entry's name without ".desktop"; also the icon's and the metadata's name.
QString applicationId();

// The executable's folder, or the folder set by overrideProgramFolder.
QString programFolder();
// Whether the program keeps its files in its own folder (see above).
bool usesProgramFolder(const QString &folder);
// The folder of ADOConneciton.ini and ADO_OpenSchema.Ini. The configuration folder is
// created (owner-only) when it is missing.
QString settingsFolder();
// The default folder of exports, of the file dialogs and of the batch log. The
// documents folder is created when it is missing.
QString outputFolder();

// Tests point the program at a folder of their own (a read-only mount, an installed
// tree); an empty folder goes back to the executable's.
void overrideProgramFolder(const QString &folder);

} // namespace platform
