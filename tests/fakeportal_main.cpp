// A stand-in for the desktop portal of a GNOME session, on the test's own
// session bus: the RemoteDesktop portal (sessions, consent, restore
// tokens, keys by keysym) and, with --clipboard, the Clipboard portal. It
// plays the target window too: a paste key fetches the clipboard into the
// document, Tab and Return land as characters. Like mutter's clipboard
// manager, it fetches every new text once at once. With --silent, the first
// consent is never answered, as by a user who is away.
//
//   kovant-fakeportal LOG DOCUMENT [--clipboard] [--refuse] [--silent] [--version1]
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <string>

namespace {

const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");

// Arguments reach a virtual object still marshalled.
QVariantMap MapOf(const QVariant& v) {
  return v.canConvert<QDBusArgument>() ? qdbus_cast<QVariantMap>(v.value<QDBusArgument>()) : v.toMap();
}

class FakePortal : public QDBusVirtualObject {
 public:
  FakePortal(std::string log, std::string document, bool clipboard, bool refuse, bool silent, bool version1)
      : log_(std::move(log)),
        document_(std::move(document)),
        clipboard_(clipboard),
        refuse_(refuse),
        silent_(silent),
        version1_(version1) {}

  QString introspect(const QString&) const override { return {}; }

  bool handleMessage(const QDBusMessage& m, const QDBusConnection& bus) override {
    const QString iface = m.interface(), member = m.member();
    const QVariantList args = m.arguments();
    auto reply = [&](const QVariantList& out = {}) { bus.send(m.createReply(out)); };
    if (iface == "org.freedesktop.DBus.Properties" && member == "Get") {
      const QString of = args.value(0).toString(), name = args.value(1).toString();
      if (of == "org.freedesktop.portal.RemoteDesktop" && name == "AvailableDeviceTypes") {
        reply({QVariant::fromValue(QDBusVariant(uint(7)))});
      } else if (of == "org.freedesktop.portal.RemoteDesktop" && name == "version") {
        // Version 2 keeps the consent by a restore token; 1 (Debian 12's)
        // cannot, though this stand-in hands one out all the same.
        reply({QVariant::fromValue(QDBusVariant(uint(version1_ ? 1 : 2)))});
      } else if (of == "org.freedesktop.portal.Clipboard" && name == "version" && clipboard_) {
        reply({QVariant::fromValue(QDBusVariant(uint(1)))});
      } else {
        bus.send(m.createErrorReply(QDBusError::InvalidArgs, "no such property"));
      }
      return true;
    }
    if (iface == "org.freedesktop.portal.RemoteDesktop") {
      if (member == "NotifyKeyboardKeysym") {
        Key(args.value(2).toInt(), args.value(3).toUInt(), bus);
        reply();
        return true;
      }
      // The rest answer through a request object named after the caller.
      const QVariantMap options = MapOf(args.last());
      const QString sender = m.service().mid(1).replace('.', '_');
      const QString request = kPath + "/request/" + sender + "/" + options.value("handle_token").toString();
      reply({QVariant::fromValue(QDBusObjectPath(request))});
      uint code = 0;
      QVariantMap results;
      if (member == "CreateSession") {
        Log("CreateSession");
        session_ = kPath + "/session/" + sender + "/" + options.value("session_handle_token").toString();
        results.insert("session_handle", session_);
      } else if (member == "SelectDevices") {
        token_ = options.value("restore_token").toString();
        Log("SelectDevices types=" + std::to_string(options.value("types").toUInt()) +
            " persist=" + std::to_string(options.value("persist_mode").toUInt()));
      } else if (member == "Start" && silent_) {
        Log("Start unanswered");  // the user is away: the dialog stays
        silent_ = false;          // until the next start
        return true;
      } else if (member == "Start") {
        const bool restored = tokens_.count(token_) > 0;
        Log(restored ? "Start restored" : refuse_ ? "Start refused" : "Start consent");
        if (refuse_ && !restored) {
          code = 1;
        } else {
          tokens_.erase(token_);  // a token serves once; a new one comes with each start
          const QString fresh = QStringLiteral("token-%1").arg(++issued_);
          tokens_.insert(fresh);
          results.insert("devices", uint(1));
          results.insert("restore_token", fresh);
          if (clipboardAsked_) results.insert("clipboard_enabled", true);
        }
      }
      QDBusMessage response =
          QDBusMessage::createSignal(request, "org.freedesktop.portal.Request", QStringLiteral("Response"));
      response << code << results;
      bus.send(response);
      return true;
    }
    if (iface == "org.freedesktop.portal.Request" && member == "Close") {
      Log("Request closed");
      reply();
      return true;
    }
    if (iface == "org.freedesktop.portal.Session" && member == "Close") {
      Log("Close");
      reply();
      return true;
    }
    if (iface == "org.freedesktop.portal.Clipboard" && clipboard_) {
      if (member == "RequestClipboard") {
        clipboardAsked_ = true;
        reply();
      } else if (member == "SetSelection") {
        reply();
        Log("SetSelection");
        Fetch(bus, false);  // the compositor's clipboard manager
      } else if (member == "SelectionWrite") {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0) return false;
        pipes_[args.value(1).toUInt()] = ends[0];
        reply({QVariant::fromValue(QDBusUnixFileDescriptor(ends[1]))});
        close(ends[1]);
      } else if (member == "SelectionWriteDone") {
        const uint serial = args.value(1).toUInt();
        // The writer closed its end before saying so: read to the end.
        std::string text;
        char buffer[4096];
        for (ssize_t n; pipes_.count(serial) && (n = read(pipes_[serial], buffer, sizeof buffer)) > 0;)
          text.append(buffer, static_cast<size_t>(n));
        if (pipes_.count(serial)) close(pipes_[serial]);
        pipes_.erase(serial);
        if (targetSerials_.erase(serial)) Append(text);
        reply();
      }
      return true;
    }
    return false;
  }

 private:
  void Key(int keysym, uint state, const QDBusConnection& bus) {
    if (keysym == 0xffe1) shift_ = state == 1;
    if (state != 1) return;
    if (keysym == 0xff63 && shift_) {
      Log("key paste");
      if (clipboardAsked_) {
        Fetch(bus, true);
      } else {
        Append("[paste]");  // Qt's clipboard of the caller, which we cannot read
      }
    } else if (keysym == 0xff09) {
      Log("key tab");
      Append("\t");
    } else if (keysym == 0xff0d) {
      Log("key enter");
      Append("\n");
    }
  }

  void Fetch(const QDBusConnection& bus, bool target) {
    const uint serial = ++serial_;
    if (target) targetSerials_.insert(serial);
    QDBusMessage transfer = QDBusMessage::createSignal(kPath, "org.freedesktop.portal.Clipboard", "SelectionTransfer");
    transfer << QVariant::fromValue(QDBusObjectPath(session_)) << QStringLiteral("text/plain;charset=utf-8") << serial;
    QDBusConnection(bus).send(transfer);
  }

  void Log(const std::string& line) { std::ofstream(log_, std::ios::app) << line << "\n"; }
  void Append(const std::string& text) { std::ofstream(document_, std::ios::app | std::ios::binary) << text; }

  std::string log_, document_;
  bool clipboard_, refuse_, silent_, version1_, clipboardAsked_ = false, shift_ = false;
  QString session_, token_;
  std::set<QString> tokens_;
  int issued_ = 0;
  uint serial_ = 0;
  std::map<uint, int> pipes_;
  std::set<uint> targetSerials_;
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() < 3) {
    std::fputs("usage: kovant-fakeportal LOG DOCUMENT [--clipboard] [--refuse] [--silent] [--version1]\n", stderr);
    return 2;
  }
  FakePortal portal(args[1].toStdString(), args[2].toStdString(), args.contains("--clipboard"),
                    args.contains("--refuse"), args.contains("--silent"), args.contains("--version1"));
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.registerVirtualObject(kPath, &portal, QDBusConnection::SubPath)) return 1;
  if (!bus.registerService("org.freedesktop.portal.Desktop")) return 1;
  return app.exec();
}
