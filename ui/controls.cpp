#include "ui/controls.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QScreen>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace kovant::ui {

int Px(int twips) {
  double dpi = 96.0;
  if (QScreen* s = QGuiApplication::primaryScreen()) dpi = s->logicalDotsPerInchY();
  return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

void PlaceTwips(QWidget* w, int left, int top, int width, int height) {
  w->setGeometry(Px(left), Px(top), Px(width), Px(height));
}

QFont JapaneseFont(bool proportional, double points, bool bold) {
  QFont f;
  if (proportional) {
    f.setFamilies({"ＭＳ Ｐゴシック", "MS PGothic", "IPAPGothic", "IPAexGothic", "Noto Sans CJK JP", "IPAGothic"});
  } else {
    f.setFamilies(
        {"ＭＳ ゴシック", "MS Gothic", "IPAGothic", "Noto Sans Mono CJK JP", "Noto Sans CJK JP", "IPAPGothic"});
  }
  f.setPointSizeF(points);
  f.setBold(bold);
  return f;
}

void SetColours(QWidget* w, const QColor& background, const QColor& text) {
  QPalette p = w->palette();
  if (background.isValid()) {
    p.setColor(QPalette::Window, background);
    p.setColor(QPalette::Base, background);
    w->setAutoFillBackground(true);
  }
  p.setColor(QPalette::WindowText, text);
  p.setColor(QPalette::Text, text);
  p.setColor(QPalette::ButtonText, text);
  w->setPalette(p);
}

void SelectAllText(QLineEdit* box) { box->setSelection(0, static_cast<int>(box->text().size())); }

namespace {
class SelectAllFilter : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* obj, QEvent* event) override {
    if (event->type() == QEvent::FocusIn) {
      auto* box = static_cast<QLineEdit*>(obj);
      SelectAllText(box);
      // A mouse press that gave the focus places the caret after us, so the
      // selection is made again once it is through; but keys typed in the
      // meantime (they queue up behind the focus on a busy machine) are the
      // user's text and are never selected away.
      if (static_cast<QFocusEvent*>(event)->reason() == Qt::MouseFocusReason) {
        QTimer::singleShot(0, box, [box, text = box->text()] {
          if (box->text() == text) SelectAllText(box);
        });
      }
    }
    return false;
  }
};
}  // namespace

void TabToCheckedOption(const std::vector<QRadioButton*>& group) {
  auto refresh = [group] {
    const bool anyChecked = std::any_of(group.begin(), group.end(), [](QRadioButton* b) { return b->isChecked(); });
    for (size_t i = 0; i < group.size(); ++i) {
      const bool entry = anyChecked ? group[i]->isChecked() : i == 0;
      group[i]->setFocusPolicy(entry ? Qt::StrongFocus : Qt::ClickFocus);
    }
  };
  for (QRadioButton* b : group) QObject::connect(b, &QRadioButton::toggled, b, refresh);
  refresh();
}

void SelectAllOnFocus(QLineEdit* box) { box->installEventFilter(new SelectAllFilter(box)); }

ListBox::ListBox(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformItemSizes(true);
  // The values follow the rows however they come and go (clear, takeItem).
  QAbstractItemModel* m = model();
  connect(m, &QAbstractItemModel::modelReset, this, [this] {
    values_.clear();
    readings_.clear();
  });
  connect(m, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex&, int first, int last) {
    const auto at = static_cast<size_t>(first), n = static_cast<size_t>(last - first + 1);
    values_.insert(values_.begin() + static_cast<std::ptrdiff_t>(at), n, 0);
    readings_.insert(readings_.begin() + static_cast<std::ptrdiff_t>(at), n, std::string());
  });
  connect(m, &QAbstractItemModel::rowsRemoved, this, [this](const QModelIndex&, int first, int last) {
    values_.erase(values_.begin() + first, values_.begin() + last + 1);
    readings_.erase(readings_.begin() + first, readings_.begin() + last + 1);
  });
}

// The model outlives the values (a widget's children go after its own
// members) and clears its rows as it goes: it must no longer tell them.
ListBox::~ListBox() { model()->disconnect(this); }

void ListBox::AddItem(const QString& text, int32_t itemData, const std::string& readingKey) {
  addItem(text);
  values_.back() = itemData;
  readings_.back() = readingKey;
}

void ListBox::SetEntries(const std::vector<dict::ListEntry>& entries) {
  // All texts in one insertion, the values beside them: an insertion per
  // entry and the values set through the items were most of a long list's
  // step.
  setUpdatesEnabled(false);
  QStringList texts;
  texts.reserve(static_cast<qsizetype>(entries.size()));
  for (const auto& e : entries) texts.push_back(QString::fromStdString(e.text));
  const size_t first = values_.size();
  addItems(texts);
  for (size_t i = 0; i < entries.size(); ++i) {
    values_[first + i] = entries[i].itemData;
    readings_[first + i] = entries[i].readingKey;
  }
  setUpdatesEnabled(true);
}

void ListBox::SetReadingKeys(const std::vector<int>& rows, const std::vector<std::string>& keys) {
  for (size_t i = 0; i < rows.size() && i < keys.size(); ++i) {
    if (rows[i] >= 0 && static_cast<size_t>(rows[i]) < readings_.size())
      readings_[static_cast<size_t>(rows[i])] = keys[i];
  }
}

std::vector<std::string> ListBox::ReadingKeys() const { return readings_; }

int32_t ListBox::ItemData(int index) const {
  return index >= 0 && static_cast<size_t>(index) < values_.size() ? values_[static_cast<size_t>(index)] : 0;
}

QString ListBox::ItemText(int index) const {
  const QListWidgetItem* it = item(index);
  return it ? it->text() : QString();
}

int ListBox::ListIndex() const {
  const QModelIndexList selected = selectionModel()->selectedIndexes();
  return selected.isEmpty() ? -1 : selected.front().row();
}

void ListBox::focusInEvent(QFocusEvent* event) {
  QListWidget::focusInEvent(event);
  // Qt puts its cursor on the first entry when the focus comes in; without
  // a selection the cursor stays nowhere, so the next key starts at the top.
  if (ListIndex() < 0 && currentIndex().isValid()) {
    selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
  }
}

void ListBox::keyPressEvent(QKeyEvent* event) {
  // From no selection, a move selects the first entry.
  const int k = event->key();
  if (ListIndex() < 0 && count() > 0 && (k == Qt::Key_Down || k == Qt::Key_Up || k == Qt::Key_Home)) {
    SetListIndex(0);
    event->accept();
    return;
  }
  QListWidget::keyPressEvent(event);
}

void ListBox::SetListIndex(int index) {
  if (index < 0 || index >= count()) {
    setCurrentRow(-1);
    clearSelection();
    return;
  }
  setCurrentRow(index);
}

void ListBox::SetTopIndex(int index) {
  if (QListWidgetItem* it = item(index)) scrollToItem(it, QAbstractItemView::PositionAtTop);
}

void ListBox::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    QListWidget::mousePressEvent(event);
  } else {
    event->accept();
  }
  emit MouseDown(event->button());
}

void ListBox::mouseDoubleClickEvent(QMouseEvent* event) {
  QListWidget::mouseDoubleClickEvent(event);
  if (event->button() == Qt::LeftButton && itemAt(event->position().toPoint())) emit DblClick();
}

void FillCombo(QComboBox* combo, const std::vector<std::string>& texts) {
  const bool blocked = combo->blockSignals(true);
  combo->clear();
  for (const auto& t : texts) combo->addItem(QString::fromStdString(t));
  combo->setCurrentIndex(-1);
  combo->blockSignals(blocked);
}

void ShowWarningBox(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::Warning, QString::fromUtf8(kAppTitle), text, QMessageBox::Ok, parent);
  box.exec();
}

void Warn(const AppState& app, QWidget* parent, const QString& text) {
  if (app.warn) {
    app.warn(text);
  } else {
    ShowWarningBox(parent, text);
  }
}

QIcon ApplicationIcon() {
  QIcon bundled;
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    bundled.addFile(QStringLiteral(":/icons/%1x%1/kovant.png").arg(size), QSize(size, size));
  }
  return QIcon::fromTheme(QStringLiteral("kovant"), bundled);
}

QFont FittedLabel::FittedFont() const {
  // Below about two thirds of its size a notice is no longer read at a glance.
  constexpr double kSmallest = 0.65, kStep = 0.05;
  QFont f = font();
  const int room = contentsRect().width() - 2 * margin();
  const double points = f.pointSizeF();
  if (points <= 0) return f;
  for (double scale = 1.0; scale >= kSmallest; scale -= kStep) {
    f.setPointSizeF(points * scale);
    if (QFontMetrics(f).horizontalAdvance(text()) <= room) return f;
  }
  return f;
}

void FittedLabel::paintEvent(QPaintEvent* event) {
  const QFont fitted = FittedFont();
  if (fitted == font()) {
    QLabel::paintEvent(event);
    return;
  }
  QPainter painter(this);
  painter.setFont(fitted);
  painter.setPen(palette().color(foregroundRole()));
  painter.drawText(contentsRect().adjusted(margin(), margin(), -margin(), -margin()), static_cast<int>(alignment()),
                   text());
}

}  // namespace kovant::ui
