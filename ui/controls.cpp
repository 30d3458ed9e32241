#include "ui/controls.h"

#include <QAbstractButton>
#include <QAbstractListModel>
#include <QGroupBox>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QScreen>
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

void PlaceTwips(QWidget* w, const window::layout::Rect& twips) {
  PlaceTwips(w, twips.left, twips.top, twips.width, twips.height);
}

QString Utf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QColor ColourOf(int32_t rgb) {
  if (rgb == window::layout::kNoColour) return {};
  return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

QFont FontOf(const window::layout::Font& font) { return JapaneseFont(font.proportional, font.Points(), font.bold); }

namespace {

Qt::Alignment AlignmentOf(window::layout::Align align) {
  switch (align) {
    case window::layout::Align::Centre: return Qt::AlignCenter;
    case window::layout::Align::TopLeft: return Qt::AlignLeft | Qt::AlignTop;
    default: return Qt::AlignLeft | Qt::AlignVCenter;
  }
}

void SetCaption(QWidget* w, const window::layout::Control& c) {
  const QString caption = Utf8(c.caption);
  if (auto* label = qobject_cast<QLabel*>(w)) {
    label->setText(caption);
    label->setAlignment(AlignmentOf(c.align));
    label->setWordWrap(c.align == window::layout::Align::TopLeft);
  } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
    button->setText(caption);
  } else if (auto* frame = qobject_cast<QGroupBox*>(w)) {
    frame->setTitle(caption);
  } else if (auto* box = qobject_cast<QLineEdit*>(w)) {
    box->setAlignment(AlignmentOf(c.align));
  }
}

}  // namespace

void Apply(QWidget* w, const window::layout::Control& c) {
  w->setObjectName(Utf8(c.name));
  w->setFont(FontOf(c.font));
  PlaceTwips(w, c.place);
  SetCaption(w, c);
  const QColor background = ColourOf(c.background), text = ColourOf(c.text);
  if (qobject_cast<QGroupBox*>(w)) {
    // The title only: a palette would colour the options inside as well.
    if (text.isValid()) w->setStyleSheet(QStringLiteral("QGroupBox { color: %1; }").arg(text.name()));
  } else if (background.isValid() || text.isValid()) {
    SetColours(w, background, text.isValid() ? text : w->palette().color(QPalette::WindowText));
  }
  if (!c.spokenName.empty()) w->setAccessibleName(Utf8(c.spokenName));
  if (!c.spokenDescription.empty()) w->setAccessibleDescription(Utf8(c.spokenDescription));
}

void LayoutBuilder::Finish() const {
  QWidget* previous = nullptr;
  for (const window::layout::Control* c : table_.TabOrder()) {
    const auto found = made_.find(c->name);
    if (found == made_.end()) continue;
    if (previous) QWidget::setTabOrder(previous, found->second);
    previous = found->second;
  }
  for (const window::layout::Control& c : table_.controls) {
    if (const auto found = made_.find(c.name); c.behind && found != made_.end()) found->second->lower();
  }
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

// The rows of a ListBox. Texts are kept as they come (UTF-8 from the
// dictionary, one buffer for all) and made QStrings once, on first use.
class ListRows : public QAbstractListModel {
 public:
  using QAbstractListModel::QAbstractListModel;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override {
    return parent.isValid() ? 0 : static_cast<int>(values.size());
  }

  QVariant data(const QModelIndex& index, int role) const override {
    if (!Has(index) || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
    return Text(index.row());
  }

  // What a list widget's items have, so that the accessibility tree and
  // the keys see the same entries as before.
  Qt::ItemFlags flags(const QModelIndex& index) const override {
    if (!Has(index)) return Qt::ItemIsDropEnabled;
    return Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled;
  }

  bool Has(const QModelIndex& index) const {
    return index.isValid() && index.model() == this && index.row() < rowCount();
  }

  QString Text(int row) const {
    const auto r = static_cast<size_t>(row);
    if (!converted[r]) {
      const Span s = spans[r];
      texts[r] = QString::fromUtf8(utf8.data() + s.begin, static_cast<qsizetype>(s.end - s.begin));
      converted[r] = true;
    }
    return texts[r];
  }

  void AppendText(const QString& text, int32_t value, const std::string& reading) {
    Insert(1, [&] {
      spans.push_back({});
      texts.push_back(text);
      converted.push_back(true);
      values.push_back(value);
      readings.push_back(reading);
    });
  }

  void AppendEntries(std::vector<dict::ListEntry> entries) {
    size_t bytes = utf8.size();
    for (const auto& e : entries) bytes += e.text.size();
    Insert(entries.size(), [&] {
      utf8.reserve(bytes);
      for (auto& e : entries) {
        const auto begin = static_cast<uint32_t>(utf8.size());
        utf8 += e.text;
        spans.push_back({begin, static_cast<uint32_t>(utf8.size())});
        values.push_back(e.itemData);
        readings.push_back(std::move(e.readingKey));
      }
      Unconverted(entries.size());
    });
  }

  void AppendRows(dict::RowList rows) {
    Insert(rows.size(), [&] {
      // An empty list takes the rows' buffer as it is.
      const auto base = static_cast<uint32_t>(utf8.size());
      uint32_t begin = 0;
      for (size_t i = 0; i < rows.size(); ++i) {
        spans.push_back({base + begin, base + rows.TextEnd(i)});
        begin = rows.TextEnd(i);
        values.push_back(rows[i].itemData);
      }
      if (utf8.empty()) {
        utf8 = std::move(rows).TakeTexts();
      } else {
        utf8 += rows.Texts();
      }
      readings.resize(values.size());  // search rows have no readings
      Unconverted(rows.size());
    });
  }

  void Remove(int row) {
    if (row < 0 || row >= rowCount()) return;
    beginRemoveRows(QModelIndex(), row, row);
    // The text's bytes stay in the buffer until the list is cleared.
    spans.erase(spans.begin() + row);
    readings.erase(readings.begin() + row);
    texts.erase(texts.begin() + row);
    converted.erase(converted.begin() + row);
    values.erase(values.begin() + row);
    endRemoveRows();
  }

  void Clear() {
    beginResetModel();
    utf8 = std::string();
    spans.clear();
    texts.clear();
    converted.clear();
    values.clear();
    readings.clear();
    endResetModel();
  }

  std::vector<int32_t> values;
  std::vector<std::string> readings;

 private:
  template <typename Fn>
  void Insert(size_t count, Fn&& append) {
    if (count == 0) return;
    const int first = rowCount();
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(count) - 1);
    append();
    endInsertRows();
  }
  void Unconverted(size_t count) {
    texts.resize(texts.size() + count);
    converted.insert(converted.end(), count, false);
  }

  // A row's text is in utf8 (where spans says) until converted, then in texts.
  struct Span {
    uint32_t begin = 0, end = 0;
  };
  std::string utf8;
  std::vector<Span> spans;
  mutable std::vector<QString> texts;
  mutable std::vector<bool> converted;
};

ListBox::ListBox(QWidget* parent) : QListView(parent), rows_(new ListRows(this)) {
  setModel(rows_);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformItemSizes(true);
  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &ListBox::itemSelectionChanged);
}

void ListBox::AddItem(const QString& text, int32_t itemData, const std::string& readingKey) {
  rows_->AppendText(text, itemData, readingKey);
}

void ListBox::SetEntries(std::vector<dict::ListEntry> entries) { rows_->AppendEntries(std::move(entries)); }

void ListBox::SetEntries(dict::RowList rows) { rows_->AppendRows(std::move(rows)); }

void ListBox::RemoveItem(int index) { rows_->Remove(index); }

void ListBox::clear() {
  // As a list widget does: the selection goes first, and says so.
  selectionModel()->clear();
  rows_->Clear();
}

void ListBox::SetReadingKeys(const std::vector<int>& rows, const std::vector<std::string>& keys) {
  for (size_t i = 0; i < rows.size() && i < keys.size(); ++i) {
    if (rows[i] >= 0 && static_cast<size_t>(rows[i]) < rows_->readings.size())
      rows_->readings[static_cast<size_t>(rows[i])] = keys[i];
  }
}

std::vector<std::string> ListBox::ReadingKeys() const { return rows_->readings; }

int32_t ListBox::ItemData(int index) const {
  return index >= 0 && index < ListCount() ? rows_->values[static_cast<size_t>(index)] : 0;
}

QString ListBox::ItemText(int index) const {
  return index >= 0 && index < ListCount() ? rows_->Text(index) : QString();
}

int ListBox::ListCount() const { return rows_->rowCount(); }

QRect ListBox::ItemRect(int index) const { return visualRect(rows_->index(index)); }

int ListBox::ListIndex() const {
  const QModelIndexList selected = selectionModel()->selectedIndexes();
  return selected.isEmpty() ? -1 : selected.front().row();
}

void ListBox::focusInEvent(QFocusEvent* event) {
  QListView::focusInEvent(event);
  // Qt puts its cursor on the first entry when the focus comes in; without
  // a selection the cursor stays nowhere, so the next key starts at the top.
  if (ListIndex() < 0 && currentIndex().isValid()) {
    selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
  }
}

void ListBox::keyPressEvent(QKeyEvent* event) {
  // From no selection, a move selects the first entry.
  const int k = event->key();
  if (ListIndex() < 0 && ListCount() > 0 && (k == Qt::Key_Down || k == Qt::Key_Up || k == Qt::Key_Home)) {
    SetListIndex(0);
    event->accept();
    return;
  }
  QListView::keyPressEvent(event);
}

void ListBox::SetListIndex(int index) {
  if (index < 0 || index >= ListCount()) {
    selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::ClearAndSelect);
    clearSelection();
    return;
  }
  selectionModel()->setCurrentIndex(rows_->index(index), QItemSelectionModel::ClearAndSelect);
}

void ListBox::SetTopIndex(int index) {
  if (index >= 0 && index < ListCount()) scrollTo(rows_->index(index), QAbstractItemView::PositionAtTop);
}

void ListBox::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    QListView::mousePressEvent(event);
  } else {
    event->accept();
  }
  emit MouseDown(event->button());
}

void ListBox::mouseDoubleClickEvent(QMouseEvent* event) {
  QListView::mouseDoubleClickEvent(event);
  if (event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid()) emit DblClick();
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

void CentreOnScreen(QWidget* w) {
  if (QScreen* s = QGuiApplication::primaryScreen()) {
    const QRect r = s->geometry();
    w->move(r.x() + (r.width() - w->width()) / 2, r.y() + (r.height() - w->height()) / 2);
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

bool FittedLabel::Wraps() const {
  const int room = contentsRect().width() - 2 * margin();
  return QFontMetrics(FittedFont()).horizontalAdvance(text()) > room;
}

int FittedLabel::WholeHeight() const {
  const QMargins frame = contentsMargins();
  const int room = width() - frame.left() - frame.right() - 2 * margin();
  const QRect needed = QFontMetrics(font()).boundingRect(QRect(0, 0, room, 1 << 20), Qt::TextWordWrap, text());
  return needed.height() + frame.top() + frame.bottom() + 2 * margin();
}

void FittedLabel::paintEvent(QPaintEvent* event) {
  if (Wraps()) {
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(contentsRect().adjusted(margin(), margin(), -margin(), -margin()),
                     static_cast<int>(Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap), text());
    return;
  }
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
