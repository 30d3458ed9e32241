// Small pieces shared by the three windows: twips geometry, the fonts asked
// for by name, list boxes that carry item values, the warning box.
#pragma once

#include <QIcon>
#include <QLabel>

#include <QComboBox>
#include <QFont>
#include <QLineEdit>
#include <QListView>
#include <QRadioButton>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "dict/listorder.h"
#include "dict/rowlist.h"
#include "ui/appstate.h"
#include "window/layout.h"

namespace kovant::ui {

inline constexpr const char* kAppTitle = "ぴこらん";

// Pixels for a length in twips (1/1440 inch) at the screen's logical dpi.
int Px(int twips);
void PlaceTwips(QWidget* w, int left, int top, int width, int height);
void PlaceTwips(QWidget* w, const window::layout::Rect& twips);

// "ＭＳ Ｐゴシック" (proportional) or "ＭＳ ゴシック", with fallbacks to the
// Japanese fonts a Linux desktop has, so that no text shows as boxes.
QFont JapaneseFont(bool proportional, double points, bool bold = false);

// Colours of a label or text box: background (invalid = keep) and text.
void SetColours(QWidget* w, const QColor& background, const QColor& text);
QString Utf8(std::string_view text);
// A colour of the layout table (invalid for none).
QColor ColourOf(int32_t rgb);
QFont FontOf(const window::layout::Font& font);

// Gives a control what the layout table says of it: place, font, colours,
// caption, alignment and the name a screen reader says. The widget's
// object name is the control's name ("Label4(1)").
void Apply(QWidget* w, const window::layout::Control& control);

// Makes a window's controls from its layout table, each in its frame.
class LayoutBuilder {
 public:
  LayoutBuilder(QWidget* window, const window::layout::Window& table) : window_(window), table_(table) {}

  template <typename W>
  W* Make(std::string_view name) {
    const window::layout::Control& c = table_[name];
    const auto frame = c.parent.empty() ? made_.end() : made_.find(c.parent);
    auto* w = new W(frame == made_.end() ? window_ : frame->second);
    Apply(w, c);
    if (!c.name.empty()) made_[c.name] = w;
    return w;
  }
  // An element of a control array: Make<QLabel>("Label4", 1).
  template <typename W>
  W* Make(std::string_view array, int index) {
    return Make<W>(window::layout::Indexed(array, index));
  }
  // Tab goes through the controls made in the table's order; heading
  // bands go behind what they head.
  void Finish() const;

 private:
  QWidget* window_;
  const window::layout::Window& table_;
  std::map<std::string_view, QWidget*> made_;
};

// A text the link exchanges with other programs: it has no place on the
// screen, so it is no widget (nothing for the eye or a screen reader).
class LinkBox : public QObject {
  Q_OBJECT
 public:
  explicit LinkBox(QObject* parent) : QObject(parent) {}
  QString text() const { return text_; }
  void setText(const QString& text) {
    if (text == text_) return;
    text_ = text;
    emit textChanged(text_);
  }

 signals:
  void textChanged(const QString& text);

 private:
  QString text_;
};

// Tab brings the focus into a group of option buttons on its checked one
// (the arrow keys move within the group), so that Space there changes
// nothing by surprise.
void TabToCheckedOption(const std::vector<QRadioButton*>& group);

// Selects the whole text of a box whenever it takes the focus.
void SelectAllOnFocus(QLineEdit* box);
void SelectAllText(QLineEdit* box);

// A list box whose entries carry a 32-bit item value. The sorted lists are
// handed their entries already in list order (dict::SortListEntries).
// The rows live in a small model of its own: no item object per row, and a
// text becomes a QString only when it is shown or asked for, so that a list
// of a city centre's offices costs little more than the lines on screen.
class ListRows;
class ListBox : public QListView {
  Q_OBJECT
 public:
  explicit ListBox(QWidget* parent);
  void AddItem(const QString& text, int32_t itemData, const std::string& readingKey = {});
  // Appends the entries, their texts and readings moved out of them.
  void SetEntries(std::vector<dict::ListEntry> entries);
  // Appends a search's rows, without readings.
  void SetEntries(dict::RowList rows);
  void RemoveItem(int index);
  void clear();
  // The folded reading of every entry, "" for one without.
  std::vector<std::string> ReadingKeys() const;
  // Gives entry rows[i] the reading keys[i].
  void SetReadingKeys(const std::vector<int>& rows, const std::vector<std::string>& keys);
  int32_t ItemData(int index) const;
  QString ItemText(int index) const;
  int ListCount() const;
  // Where entry index is drawn in the viewport (empty when it is not).
  QRect ItemRect(int index) const;
  // The selected index, -1 without a selection. Qt's focus cursor is not a
  // selection: the list acts on what the user chose only.
  int ListIndex() const;
  void SetListIndex(int index);
  void SetTopIndex(int index);

 signals:
  void itemSelectionChanged();
  // After the press has made the pressed entry the selection (left button).
  void MouseDown(Qt::MouseButton button);
  void DblClick();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  ListRows* rows_;
};

// A label that draws a text too long for it smaller, down to a limit, so
// that a notice is read whole rather than cut.
class FittedLabel : public QLabel {
  Q_OBJECT
 public:
  using QLabel::QLabel;
  // The font the text is drawn in: the label's own while it fits.
  QFont FittedFont() const;
  // A text too long for one line even drawn smaller is wrapped at the
  // label's own font; the height that shows it whole, at the label's width.
  bool Wraps() const;
  int WholeHeight() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// Refills a drop-down list without raising its change signal and leaves it
// without a selection.
void FillCombo(QComboBox* combo, const std::vector<std::string>& texts);

// Places a window in the middle of the primary screen.
void CentreOnScreen(QWidget* w);

// The program's icon: the theme's when installed, else the bundled one.
QIcon ApplicationIcon();

// The message box of the system: title "ぴこらん", warning icon, one OK button.
void ShowWarningBox(QWidget* parent, const QString& text);

// A warning through the program's way of showing them (tests record them).
void Warn(const AppState& app, QWidget* parent, const QString& text);

}  // namespace kovant::ui
