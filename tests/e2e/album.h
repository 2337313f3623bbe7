// The album of the end-to-end cases: 27 records, each naming a source file
// that exists, and what the program prints and leaves behind for it.
#pragma once

#include <string>

#include "folder.h"

namespace karsvren::e2e {

extern const std::string kBanner;

std::string Source(int record);   // "t01.wav"
std::string NewName(int record);  // "Artist 1 - Title 1 - Mix-1"
std::string Audio(int record);    // the source file's content
// A list of `records` records with CR LF line ends.
std::string AlbumList(int records);
// The four report lines of one record.
std::string ReportLines(int record);
// Everything a full run prints.
std::string AlbumOutput();
// The folder with the album's list and its 27 source files.
void MakeAlbum(const TFolder& folder);
// The album's folder after records 1 to `renamed` have been renamed.
TFolderContents AlbumAfter(int renamed);

}  // namespace karsvren::e2e
