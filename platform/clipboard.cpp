#include "platform/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QString>

#include "platform/clipboardkeeper.h"

namespace kovant::platform {
namespace {

class SystemClipboard : public Clipboard {
 public:
  void SetText(const std::string& utf8) override {
    QClipboard* cb = QGuiApplication::clipboard();
    const QString text = QString::fromStdString(utf8);
    cb->clear();
    cb->setText(text);
    // Terminals paste the PRIMARY selection on Shift+Insert: it holds the
    // same text.
    if (cb->supportsSelection()) cb->setText(text, QClipboard::Selection);
  }
  std::string Text() const override { return QGuiApplication::clipboard()->text().toStdString(); }
  bool SetsWhileUnfocused() const override { return QGuiApplication::platformName() != QLatin1String("wayland"); }
  // On X11 the text is only our promise: a clipboard manager or our keeper
  // takes it over.
  void KeepAfterExit() override {
    QClipboard* cb = QGuiApplication::clipboard();
    if (cb->ownsClipboard() && QGuiApplication::platformName() == QLatin1String("xcb")) {
      KeepClipboardAfterExit(cb->text().toStdString());
    }
  }
};

}  // namespace

std::unique_ptr<Clipboard> MakeSystemClipboard() { return std::make_unique<SystemClipboard>(); }

}  // namespace kovant::platform
