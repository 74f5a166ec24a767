#pragma once
// The work folder: where the console and the engine keep LogicCtl.ini, ZELK_SCR.ini and the log file. The
// console chooses it at start-up and makes it the current directory before the engine is first opened, so
// that the engine, which takes the current directory of its first openKaldex, uses the same files.
#include <QString>

namespace zelk::console {

// Exit status of the console when the folder given with --dir cannot be used.
inline constexpr int kWorkFolderStatus = 2;

// Where the console looks for its work folder.
struct WorkFolderPlaces {
    QString requested;   // the folder given with --dir; empty when none was given
    QString programDir;  // the folder of the running program
    QString userDataDir; // the user's data folder: $XDG_DATA_HOME, else ~/.local/share
    QString samplesDir;  // the installed samples LogicCtl.ini and ZELK_SCR.ini
};

// The places of this process for the folder given with --dir (empty when none was given).
WorkFolderPlaces workFolderPlaces(const QString& requested);

// The chosen folder as an absolute path, or an error message naming the folder that cannot be used.
struct WorkFolder {
    QString path;
    QString error;
};

// Chooses the work folder: the requested one, created with copies of the installed samples when missing (a
// folder that exists is used as it is); else the program's folder when it holds LogicCtl.ini or
// ZELK_SCR.ini (the portable layout); else "zelk" in the user's data folder, created (readable only by the
// user) when missing, with the samples copied into it where the files are missing. A file that is there is
// never overwritten.
WorkFolder chooseWorkFolder(const WorkFolderPlaces& places);

// The window caption followed by the work folder, the home folder shortened to "~".
QString captionWithFolder(const QString& caption, const QString& folder);

} // namespace zelk::console
