// The dictionary update window, opened by "辞書を更新" in the settings
// window: the update of `kovant-mkdic --update`, on a thread of its own so
// that the window keeps answering, with its progress and a cancel button.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>

#include <functional>
#include <string>

#include "ui/appstate.h"
#include "window/updatemodel.h"
#include "window/updateview.h"

namespace kovant::ui {

class KovantUpdate : public QDialog, public window::UpdateView {
  Q_OBJECT
 public:
  // from: a mirror's base URL, "" for Japan Post (or KOVANT_DATA_URL).
  KovantUpdate(AppState& app, QWidget* parent = nullptr, std::string from = {});
  ~KovantUpdate() override { model_.Stop(); }

  void Start() { model_.Start(); }
  bool Running() const { return model_.Running(); }

  QLabel* Before = nullptr;  // the data in use
  QProgressBar* Progress = nullptr;
  QLabel* StepLine = nullptr;      // what runs now, then the outcome
  QLabel* Changes = nullptr;       // dates and codes added and removed
  QPushButton* Command = nullptr;  // "中止" while running, then "閉じる"

  // The view the model talks to.
  void SetBefore(const std::string& text) override { Before->setText(QString::fromStdString(text)); }
  void SetProgress(int permille) override { Progress->setValue(permille); }
  void SetStep(const std::string& text) override { StepLine->setText(QString::fromStdString(text)); }
  std::string ChangesText() const override { return Changes->text().toStdString(); }
  void SetChanges(const std::string& text) override { Changes->setText(QString::fromStdString(text)); }
  void SetCommand(const std::string& caption, bool enabled) override;
  void FocusCommand() override { Command->setFocus(); }
  void Fit() override { adjustSize(); }
  void Close() override { accept(); }
  void Post(std::function<void()> fn) override;

 protected:
  void reject() override;

 private:
  window::UpdateModel model_;
  QPointer<KovantUpdate> self_{this};  // made here, copied by the worker's Post
};

}  // namespace kovant::ui
