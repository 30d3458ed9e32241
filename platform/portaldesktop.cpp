#include "platform/portaldesktop.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QObject>
#include <QTimer>
#include <QWindow>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <optional>
#include <utility>

#include "platform/files.h"
#include "platform/pastetiming.h"

namespace kovant::platform {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kRemoteDesktop = QStringLiteral("org.freedesktop.portal.RemoteDesktop");
const QString kClipboard = QStringLiteral("org.freedesktop.portal.Clipboard");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");

// The portal's device types and key states.
constexpr uint kKeyboard = 1;
constexpr uint kPersistUntilRevoked = 2;
constexpr uint kPressed = 1, kReleased = 0;

// How long the user has to read the consent dialog and decide;
// KOVANT_CONSENT_SECONDS shortens it for the tests.
milliseconds ConsentBound() {
  const int seconds = qEnvironmentVariableIntValue("KOVANT_CONSENT_SECONDS");
  return milliseconds((seconds > 0 ? seconds : 120) * 1000);
}

// X keysyms: the portal takes keys by symbol, not by key code.
constexpr int kShiftL = 0xffe1, kControlL = 0xffe3, kInsert = 0xff63, kTab = 0xff09, kReturn = 0xff0d, kF1 = 0xffbe,
              kDown = 0xff54;

std::optional<QVariant> Property(QDBusConnection& bus, const QString& interface, const QString& name) {
  QDBusMessage get =
      QDBusMessage::createMethodCall(kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), "Get");
  get.setArguments({interface, name});
  // Bounded: a portal started on demand that has no backend for this
  // desktop would keep us waiting.
  const QDBusMessage reply = bus.call(get, QDBus::Block, 2000);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return std::nullopt;
  return reply.arguments().first().value<QDBusVariant>().variant();
}

// A handle the portal gives as an object path or as a string.
QDBusObjectPath PathOf(const QVariant& v) {
  if (v.metaType() == QMetaType::fromType<QDBusObjectPath>()) return v.value<QDBusObjectPath>();
  return QDBusObjectPath(v.toString());
}

class Portal : public QObject, public PortalDesktop {
  Q_OBJECT
 public:
  Portal(QDBusConnection bus, std::string tokenPath, bool restores, bool clipboardPortal,
         std::unique_ptr<Clipboard> fallback)
      : bus_(bus),
        tokenPath_(std::move(tokenPath)),
        restores_(restores),
        clipboardPortal_(clipboardPortal),
        fallback_(std::move(fallback)) {
    if (clipboardPortal_) {
      // Taken as a message: a slot with an object path parameter is
      // refused until QtDBus has registered that type.
      bus_.connect(kService, kPath, kClipboard, QStringLiteral("SelectionTransfer"), this,
                   SLOT(OnSelectionTransfer(QDBusMessage)));
    }
  }

  ~Portal() override { CloseSession(); }

  // Desktop
  bool Available() const override { return !refused_ && bus_.isConnected(); }
  bool FindsWindows() const override { return false; }
  std::vector<TopWindow> TopLevelWindows() override { return {}; }
  void Restore(WindowId) override {}
  bool Activate(WindowId) override { return false; }
  bool PrepareKeys() override { return StartSession(); }
  std::string TakeNotice() override { return std::exchange(notice_, std::string()); }

  bool SendKey(Key key) override {
    if (!StartSession()) return false;
    int modifier = 0, symbol = 0;
    switch (key) {
      case Key::Paste: modifier = kShiftL, symbol = kInsert; break;
      case Key::Tab: symbol = kTab; break;
      case Key::Enter: symbol = kReturn; break;
      case Key::CtrlF1: modifier = kControlL, symbol = kF1; break;
      case Key::Down: symbol = kDown; break;
    }
    if (key == Key::Paste && clipboardEnabled_) timing_.BeforeKey();
    bool sent = true;
    if (modifier) sent = Notify(modifier, kPressed) && sent;
    sent = Notify(symbol, kPressed) && Notify(symbol, kReleased) && sent;
    if (modifier) sent = Notify(modifier, kReleased) && sent;
    return sent;
  }

  void WaitForPaste() override {
    if (clipboardEnabled_) {
      timing_.AfterKey();
    } else {
      // Qt's clipboard does not tell when the text was fetched.
      WaitUntil(milliseconds(150), [] { return false; });
    }
  }

  // Clipboard
  void SetText(const std::string& utf8) override {
    text_ = utf8;
    if (!clipboardEnabled_) {
      if (fallback_) fallback_->SetText(utf8);
      return;
    }
    QDBusMessage set = QDBusMessage::createMethodCall(kService, kPath, kClipboard, QStringLiteral("SetSelection"));
    set.setArguments({QVariant::fromValue(session_),
                      QVariantMap{{QStringLiteral("mime_types"), QStringList{QStringLiteral("text/plain;charset=utf-8"),
                                                                             QStringLiteral("text/plain")}}}});
    bus_.call(set, QDBus::Block, 5000);
    timing_.Offered();
  }
  std::string Text() const override { return clipboardEnabled_ || !fallback_ ? text_ : fallback_->Text(); }
  bool SetsWhileUnfocused() const override {
    return clipboardEnabled_ || (fallback_ && fallback_->SetsWhileUnfocused());
  }

 private Q_SLOTS:
  void OnResponse(uint code, const QVariantMap& results) {
    responseCode_ = code;
    response_ = results;
  }

  // A reader wants the text: written into the pipe the portal hands us.
  void OnSelectionTransfer(const QDBusMessage& signal) {
    const QVariantList args = signal.arguments();
    if (args.size() < 3 || PathOf(args[0]) != session_) return;
    const uint serial = args[2].toUInt();
    QDBusMessage write = QDBusMessage::createMethodCall(kService, kPath, kClipboard, QStringLiteral("SelectionWrite"));
    write.setArguments({QVariant::fromValue(session_), serial});
    bool written = false;
    {  // the pipe is closed, and the text whole, before we say it is done
      const QDBusMessage reply = bus_.call(write, QDBus::Block, 5000);
      if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
        const auto fd = reply.arguments().first().value<QDBusUnixFileDescriptor>();
        written = fd.isValid() && WriteAll(fd.fileDescriptor(), text_);
      }
    }
    QDBusMessage done =
        QDBusMessage::createMethodCall(kService, kPath, kClipboard, QStringLiteral("SelectionWriteDone"));
    done.setArguments({QVariant::fromValue(session_), serial, written});
    bus_.call(done, QDBus::NoBlock);
    timing_.Fetched();
  }

  void OnSessionClosed() {  // by the user or the desktop: asked again at the next paste
    session_ = QDBusObjectPath();
    clipboardEnabled_ = false;
  }

 private:
  // Runs the event loop until done() or the bound; true when done.
  template <typename Done>
  bool WaitUntil(milliseconds bound, Done done) {
    const auto end = Clock::now() + bound;
    QTimer tick;  // wakes the loop to look at the clock
    tick.start(2);
    for (;;) {
      if (done()) return true;
      if (Clock::now() >= end) return false;
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
  }

  // Calls a portal method that answers through a Request object, and waits
  // for its answer: the results, or nothing when refused or failed.
  std::optional<QVariantMap> Request(const QString& method, QVariantList args, milliseconds bound) {
    const QString token = QStringLiteral("kovant%1").arg(++requests_);
    QVariantMap options = args.takeLast().toMap();
    options.insert(QStringLiteral("handle_token"), token);
    args << options;
    // The portal names the request after our bus name and the token; the
    // answer is listened for before the call, so that none is missed.
    const QString sender = bus_.baseService().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
    QString path = kPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
    const char* slot = SLOT(OnResponse(uint, QVariantMap));
    bus_.connect(kService, path, kRequest, QStringLiteral("Response"), this, slot);
    response_.reset();
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kRemoteDesktop, method);
    call.setArguments(args);
    const QDBusMessage reply = bus_.call(call, QDBus::Block, 5000);
    bool answered = false;
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
      const QString given = reply.arguments().first().value<QDBusObjectPath>().path();
      if (!given.isEmpty() && given != path) {  // older portals choose their own
        bus_.disconnect(kService, path, kRequest, QStringLiteral("Response"), this, slot);
        path = given;
        bus_.connect(kService, path, kRequest, QStringLiteral("Response"), this, slot);
      }
      answered = WaitUntil(bound, [this] { return response_.has_value(); });
      // Left unanswered: the dialog goes too, rather than stay behind
      // asking for something nobody waits for any more.
      if (!answered) {
        bus_.call(QDBusMessage::createMethodCall(kService, path, kRequest, QStringLiteral("Close")), QDBus::NoBlock);
        unanswered_ = true;
      }
    }
    bus_.disconnect(kService, path, kRequest, QStringLiteral("Response"), this, slot);
    if (!answered || responseCode_ != 0) return std::nullopt;
    return response_;
  }

  bool StartSession() {
    if (!session_.path().isEmpty()) return true;
    if (refused_) return false;
    unanswered_ = false;
    auto created =
        Request(QStringLiteral("CreateSession"),
                {QVariantMap{{QStringLiteral("session_handle_token"), QStringLiteral("kovant")}}}, milliseconds(10000));
    if (!created) return Refused();
    session_ = PathOf(created->value(QStringLiteral("session_handle")));
    bus_.connect(kService, session_.path(), QStringLiteral("org.freedesktop.portal.Session"), QStringLiteral("Closed"),
                 this, SLOT(OnSessionClosed()));
    QVariantMap devices{{QStringLiteral("types"), kKeyboard}};
    // Version 1 (Debian 12's portal) has no way to keep the consent: the
    // user is asked at every start, and no token is kept.
    if (restores_) {
      devices.insert(QStringLiteral("persist_mode"), kPersistUntilRevoked);
      if (auto token = ReadWholeFile(tokenPath_, 4096); token && !token->empty()) {
        devices.insert(QStringLiteral("restore_token"), QString::fromStdString(*token));
      }
    }
    if (!Request(QStringLiteral("SelectDevices"), {QVariant::fromValue(session_), devices}, milliseconds(10000))) {
      return Refused();
    }
    if (clipboardPortal_) {
      QDBusMessage ask =
          QDBusMessage::createMethodCall(kService, kPath, kClipboard, QStringLiteral("RequestClipboard"));
      ask.setArguments({QVariant::fromValue(session_), QVariantMap()});
      bus_.call(ask, QDBus::Block, 5000);
    }
    // The user is asked here, the first time: time to read and decide.
    auto started = Request(QStringLiteral("Start"), {QVariant::fromValue(session_), ParentWindow(), QVariantMap()},
                           ConsentBound());
    if (!started || !(started->value(QStringLiteral("devices")).toUInt() & kKeyboard)) return Refused();
    clipboardEnabled_ = clipboardPortal_ && started->value(QStringLiteral("clipboard_enabled")).toBool();
    const std::string token = started->value(QStringLiteral("restore_token")).toString().toStdString();
    if (restores_ && !token.empty()) {
      // The token stands for the user's consent: for the user's eyes only,
      // from the start (a rewrite keeps the mode of the file it replaces).
      const int fd = open(tokenPath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
      if (fd >= 0) close(fd);
      if (const std::string error = WritePrivateFileAtomically(tokenPath_, token); !error.empty()) {
        const std::string why = error.ends_with("。") ? error.substr(0, error.size() - 3) : error;
        notice_ = "貼り付けの許可を " + tokenPath_ + " に保存できないため、次に起動したときにも許可を求めます（" + why +
                  "）。";
      }
    }
    return true;
  }

  // Refused or failed: not asked again while the program runs. Left
  // unanswered: asked again at the next paste.
  bool Refused() {
    CloseSession();
    refused_ = !unanswered_;
    return false;
  }

  // The window the dialog belongs to: ours, where the window system can
  // name it to the portal (X11). Qt 6.4 exports no handle of a Wayland
  // window (xdg-foreign), so there the dialog stands on its own.
  static QString ParentWindow() {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return QString();
    QWindow* window = QGuiApplication::focusWindow();
    if (!window) {
      for (QWindow* w : QGuiApplication::topLevelWindows()) {
        if (w->isVisible()) window = w;
      }
    }
    return window ? QStringLiteral("x11:%1").arg(window->winId(), 0, 16) : QString();
  }

  void CloseSession() {
    if (session_.path().isEmpty()) return;
    bus_.call(QDBusMessage::createMethodCall(kService, session_.path(),
                                             QStringLiteral("org.freedesktop.portal.Session"), QStringLiteral("Close")),
              QDBus::NoBlock);
    session_ = QDBusObjectPath();
    clipboardEnabled_ = false;
  }

  bool Notify(int keysym, uint state) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kRemoteDesktop, QStringLiteral("NotifyKeyboardKeysym"));
    call.setArguments({QVariant::fromValue(session_), QVariantMap(), keysym, state});
    return bus_.call(call, QDBus::Block, 5000).type() == QDBusMessage::ReplyMessage;
  }

  QDBusConnection bus_;
  const std::string tokenPath_;
  std::string notice_;  // said once by TakeNotice
  const bool restores_, clipboardPortal_;
  std::unique_ptr<Clipboard> fallback_;
  QDBusObjectPath session_;
  bool refused_ = false, unanswered_ = false, clipboardEnabled_ = false;
  int requests_ = 0;
  uint responseCode_ = 0;
  std::optional<QVariantMap> response_;
  std::string text_;
  PasteTiming timing_{[this](milliseconds bound, const std::function<bool()>& done) { return WaitUntil(bound, done); }};
};

}  // namespace

std::unique_ptr<PortalDesktop> MakePortalDesktop(const std::string& tokenPath, std::unique_ptr<Clipboard> fallback) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return nullptr;
  const auto types = Property(bus, kRemoteDesktop, QStringLiteral("AvailableDeviceTypes"));
  if (!types || !(types->toUInt() & kKeyboard)) return nullptr;
  const bool clipboard = Property(bus, kClipboard, QStringLiteral("version")).has_value();
  // Consent kept by a restore token from version 2 on.
  const auto version = Property(bus, kRemoteDesktop, QStringLiteral("version"));
  const bool restores = version && version->toUInt() >= 2;
  // A clipboard reader that closes its end early must not end us.
  std::signal(SIGPIPE, SIG_IGN);
  return std::make_unique<Portal>(bus, tokenPath, restores, clipboard, std::move(fallback));
}

}  // namespace kovant::platform

#include "portaldesktop.moc"
