// A target window for the desktop tests: an editor whose caption is given on
// the command line and which writes what arrives into a file at each change.
#include <QApplication>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QTimer>

#include <chrono>
#include <thread>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 3) return 2;
  QPlainTextEdit editor;
  editor.setWindowTitle(QString::fromUtf8(argv[1]));
  const QString out = QString::fromLocal8Bit(argv[2]);
  QObject::connect(&editor, &QPlainTextEdit::textChanged, [&] {
    QSaveFile f(out);
    if (f.open(QIODevice::WriteOnly)) {
      f.write(editor.toPlainText().toUtf8());
      f.commit();
    }
  });
  // --quit-on-tab: the window goes away in the middle of a paste.
  if (argc > 3 && QString::fromLatin1(argv[3]) == "--quit-on-tab") {
    QObject::connect(&editor, &QPlainTextEdit::textChanged, [&] {
      if (editor.toPlainText().contains(u'\t')) QCoreApplication::exit(0);
    });
  }
  // --busy N/M: busy N ms of every M ms, as on a loaded machine.
  QTimer busy;
  if (argc > 4 && QString::fromLatin1(argv[3]) == "--busy") {
    const QStringList spec = QString::fromLatin1(argv[4]).split(u'/');
    const int stall = spec.value(0).toInt(), every = spec.value(1).toInt();
    busy.setInterval(std::max(every - stall, 1));
    QObject::connect(&busy, &QTimer::timeout,
                     [stall] { std::this_thread::sleep_for(std::chrono::milliseconds(stall)); });
    busy.start();
  }
  editor.resize(400, 200);
  // --minimized, --maximized: how the window starts.
  const QString how = argc > 3 ? QString::fromLatin1(argv[3]) : QString();
  if (how == "--minimized") {
    editor.showMinimized();
  } else if (how == "--maximized") {
    editor.showMaximized();
  } else {
    editor.show();
  }
  return app.exec();
}
