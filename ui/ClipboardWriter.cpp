#include "ui/ClipboardWriter.h"

#include <QByteArray>
#include <QClipboard>
#include <QMimeData>

#include "docdata/Exception.h"

namespace dz {

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
  QMimeData* data = PayloadMimeData(payload);
  clipboard->setMimeData(data);
  // The clipboard answers with our own data only while we own it; anything else means the
  // system refused to hand it to us.
  if (clipboard->mimeData() != data) throw Exception(kClipboardCannotOpen);
}

}  // namespace dz
