#include "window/profilemodel.h"

#include "dict/listorder.h"
#include "settings/settings.h"

namespace kovant::window {

void ProfileModel::Form_Load() {
  app_.SettingsCancelled = false;
  view_.ClearNames();
  auto names = settings::ListProfiles(app_.SettingsFolder);
  dict::SortTexts(names);
  for (const auto& n : names) view_.AddName(n);
  view_.ShowMode(SaveMode());
  if (!SaveMode()) view_.SetDeleteEnabled(false);
  view_.SetTypedName(settings::ActiveProfileName(app_.Settings.Profile));
}

void ProfileModel::List1_Click() {
  const int index = view_.NameIndex();
  if (SaveMode()) {
    if (index >= 0) view_.SetTypedName(view_.NameText(index));
  } else {
    view_.SetDeleteEnabled(index >= 0);
  }
}

void ProfileModel::List1_DblClick() {
  List1_Click();
  if (SaveMode()) Command1_Click(0);
}

void ProfileModel::Command1_Click(int index) {
  if (index == 0 && SaveMode()) {
    const std::string typed = view_.TypedName();
    if (const std::string problem = settings::SaveNameProblem(typed); !problem.empty()) {
      view_.Warn(problem);
      return;
    }
    app_.Settings.Profile = settings::ProfileFileName(settings::TrimBlanks(typed));
    view_.Close(true);
    return;
  }
  app_.SettingsCancelled = true;
  view_.Close(false);
}

// A profile that could not be removed stays listed, with the reason.
void ProfileModel::Command2_Click() {
  const int row = view_.NameIndex();
  if (row < 0) return;
  if (const std::string problem =
          settings::DeleteProfileProblem(app_.SettingsFolder, settings::TrimBlanks(view_.NameText(row)));
      !problem.empty()) {
    view_.Warn(problem);
    return;
  }
  view_.RemoveName(row);
  view_.SetNameIndex(-1);
  view_.SetDeleteEnabled(false);
}

}  // namespace kovant::window
