#include "platform/link.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>

#include <dbus/dbus.h>

namespace kovant::platform {

LinkServer::LinkServer(std::function<void(LinkItem, const QString&)> poke, std::function<QString(LinkItem)> request,
                       QObject* parent)
    : QObject(parent), poke_(std::move(poke)), request_(std::move(request)) {}

bool LinkServer::Register() {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return false;
  // libdbus stops reading the socket while more than 63 MiB of received
  // messages are alive and resumes when they are freed; Qt frees them in
  // this thread but watches the socket in its own, so the resume is lost and
  // one large call would silence the link for good. No single message may
  // exceed 128 MiB, so with room for several the reading never pauses.
  // (A lower limit on the message size is no help: libdbus drops the whole
  // connection on a message over it.)
  if (auto* raw = static_cast<DBusConnection*>(bus.internalPointer())) {
    dbus_connection_set_max_received_size(raw, 1L << 30);
  }
  if (!bus.registerObject(kLinkPath, this,
                          QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportScriptableSignals)) {
    return false;
  }
  return bus.registerService(kLinkService);
}

void LinkServer::Poke(const QString& item, const QString& value) {
  const LinkItem which = ParseLinkItem(item.toStdString());
  if (!IsPokable(which)) {
    sendErrorReply("com.morvix.KOVANT.Error.UnknownItem",
                   QStringLiteral("書き込める項目ではありません: ") + item.left(64));
    return;
  }
  if (static_cast<size_t>(value.toUtf8().size()) > kMaxLinkValueBytes) {
    sendErrorReply("com.morvix.KOVANT.Error.TooLong", QStringLiteral("値が 4 KiB を超えています。"));
    return;
  }
  poke_(which, value);
}

QString LinkServer::Request(const QString& item) {
  const LinkItem which = ParseLinkItem(item.toStdString());
  if (which == LinkItem::Unknown) {
    sendErrorReply("com.morvix.KOVANT.Error.UnknownItem", QStringLiteral("項目がありません: ") + item.left(64));
    return {};
  }
  return request_(which);
}

void LinkServer::Raise(const QString& activationToken) {
  // A token is short; anything longer is no token.
  if (raise_) raise_(activationToken.size() <= 256 ? activationToken : QString());
}

bool RaiseRunningProgram(const QString& activationToken) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return false;
  QDBusMessage call = QDBusMessage::createMethodCall(kLinkService, kLinkPath, QStringLiteral("com.morvix.KOVANT.Link"),
                                                     QStringLiteral("Raise"));
  call.setArguments({activationToken});
  return bus.call(call, QDBus::Block, 5000).type() == QDBusMessage::ReplyMessage;
}

}  // namespace kovant::platform
