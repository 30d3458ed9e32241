#include "platform/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QString>

namespace kovant::platform {
namespace {

class SystemClipboard : public Clipboard {
 public:
  void SetText(const std::string& utf8) override {
    QClipboard* cb = QGuiApplication::clipboard();
    cb->clear();
    cb->setText(QString::fromStdString(utf8));
  }
  std::string Text() const override { return QGuiApplication::clipboard()->text().toStdString(); }
};

}  // namespace

std::unique_ptr<Clipboard> MakeSystemClipboard() { return std::make_unique<SystemClipboard>(); }

}  // namespace kovant::platform
