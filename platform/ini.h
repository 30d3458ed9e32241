// Profile files in the manner of the Windows profile functions: Shift-JIS
// text, CR LF lines, "[section]" headers and "key=value" lines; section and
// key names match without regard to letter case.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kovant::platform {

// True for a bare file name that stays inside its folder: not empty, not "."
// or "..", no "/", "\" or NUL.
bool IsBareFileName(std::string_view name);

class IniFile {
 public:
  // Reads path; a missing, unreadable or oversized file reads as empty.
  static IniFile Load(const std::string& path);

  // False when a file was there but could not be read whole (too large, not
  // a regular file, a read error): writing this text back would lose it.
  bool Intact() const { return intact_; }

  // The raw value text (Shift-JIS bytes, blanks around it removed) of the
  // first matching key of the first matching section, or nothing.
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;

  // Replaces the value of an existing key in place, or adds the key at the
  // end of its section, or the section at the end of the file. Every other
  // line stays as it was. value is Shift-JIS.
  void Set(std::string_view section, std::string_view key, std::string_view value);

  const std::string& Text() const { return text_; }

 private:
  // Lowered section name -> lowered key name -> value, for Get.
  using Index = std::unordered_map<std::string, std::unordered_map<std::string, std::string>>;
  static Index MakeIndex(const std::string& text);

  std::string text_;
  mutable std::optional<Index> index_;  // made by the first Get after a change
  bool intact_ = true;
};

// GetPrivateProfileString: the value, or def when the key is absent, cut to
// at most maxBytes of Shift-JIS at a character boundary, as UTF-8.
std::string ProfileString(const IniFile& ini, std::string_view section, std::string_view key, std::string_view def,
                          std::size_t maxBytes);

// GetPrivateProfileInt: the decimal number at the start of the value; def when
// the key is absent or empty; 0 when the value does not begin with a number.
long ProfileInt(const IniFile& ini, std::string_view section, std::string_view key, long def);

}  // namespace kovant::platform
