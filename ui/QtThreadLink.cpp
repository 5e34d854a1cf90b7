#include "ui/QtThreadLink.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QObject>

namespace dz {

TQtThreadLink::TQtThreadLink() : FReceiver(new QObject) {}

TQtThreadLink::~TQtThreadLink() {
  delete FReceiver;
}

void TQtThreadLink::Post(std::function<void()> call) {
  QMetaObject::invokeMethod(FReceiver, std::move(call), Qt::QueuedConnection);
}

bool TQtThreadLink::DispatchEvents() {
  if (!QCoreApplication::instance() || !QAbstractEventDispatcher::instance()) return false;
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  return true;
}

}  // namespace dz
