// Each port of a multi-port station runs in a folder of its own, "ports/N"
// under the start folder, that mirrors the station's: a real folder for each
// of the station's folders, a link for each of its files. Every port reads
// the station's scripts, customer folders and PC files, while what a port's
// run writes (read-back PC files, whose write-and-rename replaces the link,
// in whatever sub-folder; saved logs) lands in its own folder, where no other
// port looks.
#pragma once

#include <string>

namespace station {

constexpr const char* kPortFoldersName = "ports";

// Makes or refreshes station/ports/N: a link for every station file that has
// none yet, dangling links removed, the port's own files kept. Files that
// runs write are never linked, so a port starts without another's: the IMEI
// backups ("IMEI..."), saved logs ("Download_..."), temporary and lock files,
// the run records and the run journals; folders of such names are mirrored like any other. A
// port outbox that an older ffsload left is merged into the station's.
// Returns the folder, or "" with *error set.
std::string prepare_port_folder(const std::string& station, int port, std::string* error);

}  // namespace station
