// A main window on a dictionary built from the sample, with the warnings
// recorded instead of shown and the clipboard kept in memory.
#pragma once

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "memoryclipboard.h"
#include "testdata.h"
#include "ui/appstate.h"
#include "settings/settings.h"
#include "ui/mainwindow.h"

namespace kovant::test {

struct UiFixture : ::testing::Test {
  std::string folder;
  ui::AppState app;
  MemoryClipboard clipboard;
  std::vector<std::string> warnings;
  std::unique_ptr<ui::Kovant1> window;

  void SetUp() override {
    folder = TempFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    BuildInto(folder, TownsOf(SamplePath()));
    app.ProgramFolder = folder;
    app.Today = "2026-01-01";  // the sample's data date: never out of date here
    app.SettingsFolder = folder;
    app.clipboard = &clipboard;
    app.warn = [this](const QString& text) { warnings.push_back(text.toStdString()); };
  }

  // Creates, loads and shows the window as start-up does.
  bool Open(int startMode = 0) {
    app.Settings.StartMode = static_cast<int16_t>(startMode);
    window = std::make_unique<ui::Kovant1>(app);
    bool ok = window->Form_Load();
    if (!ok) return false;
    window->show();
    window->activateWindow();
    (void)QTest::qWaitForWindowActive(window.get(), 1000);
    window->WindowShown = true;
    return true;
  }

  // A key as the user presses it: to the focused control.
  void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QWidget* target = QApplication::focusWidget();
    QTest::keyClick(target ? target : window.get(), static_cast<Qt::Key>(key), mods);
  }
  // Characters as typed; kana and kanji arrive as key events with text, as
  // an input method commits them.
  void Type(const char* text) {
    for (QChar c : QString::fromUtf8(text)) {
      QWidget* target = QApplication::focusWidget();
      if (!target) target = window.get();
      if (c.unicode() < 0x80) {
        QTest::keyClick(target, c.toLatin1());
      } else {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(target, &release);
      }
    }
  }
  std::string Str(const QString& s) { return s.toStdString(); }
  // With KOVANT_SCREENSHOTS set to a folder, the widget as drawn, saved
  // there as NAME.png (the pictures in docs/screenshots).
  static void Shot(QWidget* w, const char* name) {
    if (const char* folder = std::getenv("KOVANT_SCREENSHOTS")) {
      w->grab().save(QString::fromUtf8(folder) + "/" + QString::fromUtf8(name) + ".png");
    }
  }

  // Runs fn on the modal window of type W as soon as it is open (modal
  // windows block in exec(), so the test acts from the event loop). When
  // none opens within the bound, the test fails and whatever modal window
  // is open instead is closed, so that the test ends rather than hangs.
  template <class W, class Fn>
  static void WhenModal(Fn fn, std::chrono::milliseconds bound = std::chrono::seconds(5)) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    const auto end = std::chrono::steady_clock::now() + bound;
    QObject::connect(timer, &QTimer::timeout, [timer, fn, end] {
      QWidget* modal = QApplication::activeModalWidget();
      if (auto* w = qobject_cast<W*>(modal)) {
        timer->stop();
        timer->deleteLater();
        fn(w);
      } else if (std::chrono::steady_clock::now() > end) {
        timer->stop();
        timer->deleteLater();
        ADD_FAILURE() << "the expected modal window did not open";
        if (modal) modal->close();
      }
    });
    timer->start();
  }

  void WriteProfile(const std::string& name, settings::Settings s) {
    s.Profile = name + ".prm";
    ASSERT_TRUE(settings::SaveSettings(s, folder, name + ".prm"));
  }
};

}  // namespace kovant::test
