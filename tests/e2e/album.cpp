#include "album.h"

namespace karsvren::e2e {

const std::string kBanner =
    "Karsivo Music Files renamer.\r\n"
    "by -=QUELLAN=-\r\n"
    "exclusive.4.wendrix: Wendrix by KEL, DOR\r\n"
    "\r\n";

namespace {

std::string Number(int record) { return (record < 10 ? "0" : "") + std::to_string(record); }
}  // namespace

std::string Source(int record) { return "t" + Number(record) + ".wav"; }
std::string NewName(int record) {
  return "Artist " + std::to_string(record) + " - Title " + std::to_string(record) + " - Mix-" +
         std::to_string(record);
}
std::string Audio(int record) { return "RIFF audio of track " + Number(record); }

std::string AlbumList(int records) {
  std::string list;
  for (int record = 1; record <= records; ++record) {
    const std::string n = std::to_string(record);
    list += Source(record) + "\r\nArtist " + n + "\r\nnote " + n + "\r\nTitle " + n + "\r\n[Mix/" + n +
            "]\r\nspare " + n + "\r\n";
  }
  return list;
}

std::string ReportLines(int record) {
  return Source(record) + "\r\n" + NewName(record) + "\r\n(note " + std::to_string(record) + ")\r\n\r\n";
}

std::string AlbumOutput() {
  std::string output = kBanner;
  for (int record = 1; record <= 27; ++record) output += ReportLines(record);
  return output;
}

void MakeAlbum(const TFolder& folder) {
  folder.Write("KARSV.txt", AlbumList(27));
  for (int record = 1; record <= 27; ++record) folder.Write(Source(record), Audio(record));
}

TFolderContents AlbumAfter(int renamed) {
  TFolderContents contents{{"KARSV.txt", AlbumList(27)}};
  for (int record = 1; record <= 27; ++record) {
    contents[record <= renamed ? NewName(record) + ".wav" : Source(record)] = Audio(record);
  }
  return contents;
}

}  // namespace karsvren::e2e
