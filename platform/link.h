// The link on the session bus: the running program owns the name
// com.morvix.KOVANT and serves /KOVANT with interface com.morvix.KOVANT.Link.
#pragma once

#include <QDBusContext>
#include <QObject>
#include <QString>

#include <functional>

#include "platform/linkitems.h"

namespace kovant::platform {

inline constexpr const char* kLinkService = "com.morvix.KOVANT";
inline constexpr const char* kLinkPath = "/KOVANT";

class LinkServer : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "com.morvix.KOVANT.Link")
 public:
  // poke sets the text of an item; request reads it.
  LinkServer(std::function<void(LinkItem, const QString&)> poke, std::function<QString(LinkItem)> request,
             QObject* parent = nullptr);

  // Takes the name and serves the object; false when the bus cannot be
  // reached or another program holds the name.
  bool Register();

  // What a second start asks for where the desktop lets no program raise
  // another: the running window brought forward, with the second start's
  // activation token.
  void SetRaise(std::function<void(const QString&)> raise) { raise_ = std::move(raise); }

 public Q_SLOTS:
  Q_SCRIPTABLE void Poke(const QString& item, const QString& value);
  Q_SCRIPTABLE QString Request(const QString& item);
  Q_SCRIPTABLE void Raise(const QString& activationToken);

 Q_SIGNALS:
  // The copy command answered a request: the Addr items hold the answer.
  Q_SCRIPTABLE void Answered();

 private:
  std::function<void(LinkItem, const QString&)> poke_;
  std::function<QString(LinkItem)> request_;
  std::function<void(const QString&)> raise_;
};

// Asks the running program over the link to come forward; false when no
// program answers.
bool RaiseRunningProgram(const QString& activationToken);

}  // namespace kovant::platform
