#include "app/WindowProgram.h"

#include <QApplication>

#include "docdata/NumberFormat.h"
#include "platform/Platform.h"
#include "ui/LiveImportFrm.h"

namespace dz {

int RunWindowProgram(int& argc, char** argv) {
  // Before any window exists: every number the window shows uses this setting.
  InitNumberFormat(ProgramDir());
  QApplication app(argc, argv);
  // Only the name, not a display name: Qt would otherwise append it to every
  // caption.
  QApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
  TLiveImportFrm window;
  window.show();
  return QApplication::exec();
}

}  // namespace dz
