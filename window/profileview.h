// What the save/delete window's logic needs of a view.
#pragma once

#include <string>

namespace kovant::window {

class ProfileView {
 public:
  virtual ~ProfileView() = default;
  // The save mode's title, OK caption, name box and layout, or the delete
  // mode's ("閉じる", "削除" and no name box).
  virtual void ShowMode(bool save) = 0;
  // List1, the saved settings; selecting raises List1_Click.
  virtual void ClearNames() = 0;
  virtual void AddName(const std::string& name) = 0;
  virtual int NameIndex() const = 0;
  virtual void SetNameIndex(int index) = 0;
  virtual std::string NameText(int index) const = 0;
  virtual void RemoveName(int index) = 0;
  virtual std::string TypedName() const = 0;  // Text1, the name to save under
  virtual void SetTypedName(const std::string& text) = 0;
  virtual void SetDeleteEnabled(bool enabled) = 0;
  virtual void Warn(const std::string& text) = 0;
  virtual void Close(bool accepted) = 0;
};

}  // namespace kovant::window
