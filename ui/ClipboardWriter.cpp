#include "ui/ClipboardWriter.h"

#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "docdata/Exception.h"
#include "platform/SystemClipboard.h"

namespace dz {

namespace {

// The toolkit's stand-in platforms keep a clipboard inside the process; every other one
// (the system's own window platform) shares the system's clipboard.
bool ToolkitUsesSystemClipboard() {
  const QString platform = QGuiApplication::platformName();
  return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

}  // namespace

QMimeData* PayloadMimeData(const ClipboardPayload& payload) {
  auto* data = new QMimeData;
  for (const ClipboardBlock& block : payload.Blocks()) {
    const QString type = QString::fromLatin1(block.name.data(), qsizetype(block.name.size()));
    data->setData(type, QByteArray(block.bytes->data(), qsizetype(block.bytes->size())));
  }
  return data;
}

void PutOnClipboard(const ClipboardPayload& payload, QClipboard* clipboard) {
  if (!clipboard) throw Exception(kClipboardCannotOpen);
  if (ToolkitUsesSystemClipboard()) {
    switch (PutOnSystemClipboard(payload.SystemBlocks())) {
      case SystemClipboardResult::Put:
        return;
      case SystemClipboardResult::CannotOpen:
        throw Exception(kClipboardCannotOpen);
      case SystemClipboardResult::None:
        break;
    }
  }
  QMimeData* data = PayloadMimeData(payload);
  clipboard->setMimeData(data);
  // The clipboard answers with our own data only while we own it; anything else means the
  // system refused to hand it to us.
  if (clipboard->mimeData() != data) throw Exception(kClipboardCannotOpen);
}

}  // namespace dz
