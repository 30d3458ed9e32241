// kovant-link's command line and the lines it prints, the same on every
// system: Linux asks over D-Bus (link_main.cpp), Windows over DDE
// (link_main_win.cpp). Plain C++, so that the tests read both.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kovant::tools {

enum class LinkAction { Call, Help, Version, Usage };

struct LinkOptions {
  LinkAction action = LinkAction::Call;
  std::string caption;          // --caption: the window to bring up after the answer
  double timeoutSeconds = 120;  // --timeout: more than 0, at most a day
  std::string error;            // why Usage, when an option was wrong
};

// argv in UTF-8. Usage for an unknown option, a missing value or a timeout
// that is no positive number of seconds within a day.
LinkOptions ParseLinkOptions(int argc, const char* const* argv);

// --help's text.
std::string LinkUsageText();

// What is poked, in order: the caption into DistName, then "1" into Cmd,
// which calls the window up.
std::vector<std::pair<std::string, std::string>> LinkPokes(const LinkOptions& options);

// The items of the answer's six texts, "Addr(0)" to "Addr(5)".
inline constexpr int kAnswerTexts = 6;
std::string AnswerItem(int index);

// An answer text (UTF-8) as one line of bounded length: control characters
// (a line end would start a seventh line for the reader) and "\" escaped,
// the text cut after 4,096 characters, never inside one.
std::string PrintableAnswer(std::string_view text);

// What is said when no answer came in time.
std::string NoAnswerText(const std::string& caption);

}  // namespace kovant::tools
