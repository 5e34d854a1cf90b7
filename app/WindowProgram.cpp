#include "app/WindowProgram.h"

#include <QApplication>
#include <exception>
#include <memory>
#include <string>

#include "docdata/NumberFormat.h"
#include "platform/Platform.h"
#include "ui/FSB_BOX.h"
#include "ui/LiveImportFrm.h"

namespace dz {

int RunWindowProgram(int& argc, char** argv) {
  // Before any window exists: every number the window shows uses this setting.
  InitNumberFormat(ProgramDir());
  QApplication app(argc, argv);
  // Only the name, not a display name: Qt would otherwise append it to every caption.
  QApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
  std::unique_ptr<TLiveImportFrm> window;
  try {
    window = std::make_unique<TLiveImportFrm>();
  } catch (const std::exception& e) {
    // Set-up asks the host for its server list; a list that stays unreadable ends the
    // program, but with a word to the user rather than silently.
    TFSB_BOX::ShowMessage(std::string("Fehler:<br><b>") + e.what());
    return 1;
  }
  window->show();
  return QApplication::exec();
}

}  // namespace dz
