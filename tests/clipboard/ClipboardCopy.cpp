// The copying side of the clipboard check: copies two sample positions the way the window's
// "Kopieren" does, on the toolkit's own platform, after writing the renderings the clipboard
// must carry into the folder given as first argument (CF_DATAGRIDDATA.bin, HTML Format.bin,
// CSV.bin, text-utf8.bin).
//
//   clipboard_copy FOLDER [--busy] [toolkit options]
//
// Exit status 0 when the copy succeeded; 3 when it failed with the clipboard's error, which
// --busy expects (the checker then holds the clipboard); 1 on anything else.

#include <QGuiApplication>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "docdata/DataGridLine.h"
#include "docdata/Exception.h"
#include "docdata/NumberFormat.h"
#include "output/ClipboardExport.h"
#include "platform/Platform.h"
#include "ui/ClipboardWriter.h"

using namespace dz;

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  const QStringList args = QGuiApplication::arguments();
  if (args.size() < 2) return 1;
  const std::string folder = args[1].toLocal8Bit().toStdString() + PathDelim;
  const bool busy = args.contains(QStringLiteral("--busy"));
  SetNumberFormat(DefaultNumberFormat());

  // Umlauts, ß, the euro sign and the other bytes 0x80-0xA0 that Windows-1252 gives letters
  // of their own, a non-breaking space and the characters HTML would escape.
  TDataGridLine first, second;
  first.Pos = "1";
  first.Stueck = "1,5";
  first.Einheit = "Stk";
  first.Bezeichnung1 =
      "Gr\xF6\xDF"
      "e 3 x 4 \x80 \x84Ma\xDF\x93 \x96 \x85 \x99\xA0"
      "a<b & \"c\"";
  first.Artikelnummer = "\xC4-1";
  first.Einzelbetrag = "1234,5";
  first.SummeBetrag = "1851,75";
  second.Pos = "2";
  second.Stueck = "2";
  second.Bezeichnung1 =
      "\xDC"
      "bersicht\r\nzweite Zeile";
  std::vector<TDataGridLine*> rows = {&first, &second};
  const ClipboardPayload payload =
      CopySelectedLines(rows, "{5E1F0C1A-2B3C-4D5E-8F90-A1B2C3D4E5F6}");

  const bool written = WriteWholeFile(folder + "CF_DATAGRIDDATA.bin", payload.DataGridData) &&
                       WriteWholeFile(folder + "HTML Format.bin", payload.HTMLFormat) &&
                       WriteWholeFile(folder + "CSV.bin", payload.CSV) &&
                       WriteWholeFile(folder + "text-utf8.bin", payload.TextUtf8);
  if (!written) {
    std::fprintf(stderr, "clipboard_copy: cannot write into %s\n", folder.c_str());
    return 1;
  }
  try {
    PutOnClipboard(payload, QGuiApplication::clipboard());
  } catch (const Exception& e) {
    if (std::strcmp(e.what(), kClipboardCannotOpen) != 0) return 1;
    if (!busy) std::fprintf(stderr, "clipboard_copy: the clipboard could not be opened\n");
    return 3;
  }
  return busy ? 1 : 0;
}
