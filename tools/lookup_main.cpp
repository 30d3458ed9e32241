// kovant-lookup: postal-code search and address walk from the command line.
#include <cstdio>
#include <string>
#include <vector>

#include "copy/compose.h"
#include "dict/census.h"
#include "dict/search.h"
#include "dict/walk.h"
#include "platform/files.h"
#include "settings/settings.h"

using namespace kovant;

namespace {

void Usage() {
  std::fputs(
      "使い方: kovant-lookup [--dic FILE] [--json] CODE...\n"
      "        kovant-lookup [--dic FILE] [--json] --walk [PREFECTURE [CITY]]\n"
      "        kovant-lookup [--dic FILE] --copy [--old] [--ini FILE] CODE\n"
      "        kovant-lookup [--dic FILE] --info\n"
      "  CODE is a 7-digit postal code or a 3- or 5-digit former code. Each match\n"
      "  prints NEWCODE, OLDCODE, prefecture, city and town, separated by tabs.\n"
      "  Exit status: 0 found, 1 nothing found, 2 bad input or dictionary.\n",
      stderr);
}

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

struct Line {
  std::string newCode, oldCode, pref, city, town;
  bool office = false;  // an individual code of a large office
};

void Print(const Line& l, bool json) {
  if (json) {
    std::printf("{\"new\":%s,\"old\":%s,\"prefecture\":%s,\"city\":%s,\"town\":%s%s}\n",
                JsonString(l.newCode).c_str(), JsonString(l.oldCode).c_str(), JsonString(l.pref).c_str(),
                JsonString(l.city).c_str(), JsonString(l.town).c_str(), l.office ? ",\"office\":true" : "");
  } else {
    std::printf("%s\t%s\t%s\t%s\t%s%s\n", l.newCode.c_str(), l.oldCode.c_str(), l.pref.c_str(), l.city.c_str(),
                l.town.c_str(), l.office ? "\t事業所" : "");
  }
}

void PrintName(const std::string& name, bool json) {
  if (json) {
    std::printf("{\"name\":%s}\n", JsonString(name).c_str());
  } else {
    std::printf("%s\n", name.c_str());
  }
}

int ReadError(const std::string& path, const dict::Error& e) {
  std::fprintf(stderr, "%s\n", dict::ReadErrorMessage(path, e).c_str());
  return 2;
}

// The codes of a listed town, read from its record.
dict::Result<dict::TownRecord> TownAt(const std::string& path, int32_t pos) {
  auto dic = dict::DicFile::Open(path);
  if (!dic) return dic.error();
  return (*dic)->ReadTown(pos);
}

int Walk(const std::string& path, const dict::PrefectureTable& table, const std::vector<std::string>& names,
         bool json) {
  if (names.empty()) {
    for (const auto& row : table.rows) PrintName(row.Name, json);
    return table.rows.empty() ? 1 : 0;
  }
  size_t p = 0;
  while (p < table.rows.size() && table.rows[p].Name != names[0]) ++p;
  if (p == table.rows.size()) {
    std::fprintf(stderr, "kovant-lookup: 都道府県が見つかりません: %s\n", names[0].c_str());
    return 1;
  }
  const auto& pref = table.rows[p];
  auto cities = dict::LoadCities(path, table, pref.PrefNo);
  if (cities.readError) return ReadError(path, *cities.readError);
  if (names.size() == 1) {
    for (const auto& c : cities.entries) PrintName(c.text, json);
    return cities.entries.empty() ? 1 : 0;
  }
  const dict::ListEntry* city = nullptr;
  for (const auto& c : cities.entries) {
    if (c.text == names[1]) city = &c;
  }
  if (!city) {
    std::fprintf(stderr, "kovant-lookup: 市区町村が見つかりません: %s %s\n", names[0].c_str(), names[1].c_str());
    return 1;
  }
  auto towns = dict::LoadTowns(path, cities.cityTable[static_cast<size_t>(city->itemData - 1)], true);
  if (towns.readError) return ReadError(path, *towns.readError);
  for (const auto& t : towns.entries) {
    auto rec = TownAt(path, t.itemData);
    if (!rec) return ReadError(path, rec.error());
    Print({dict::CurrentCodeText(*rec), dict::FormerCodeText(*rec), pref.Name, city->text,
           rec->NameLength == 0 ? std::string() : t.text, dict::IsOfficeRecord(*rec)},
          json);
  }
  return towns.entries.empty() ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string path, iniPath;
  bool json = false, walk = false, copyText = false, oldCode = false, info = false;
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--dic" && i + 1 < argc) {
      path = argv[++i];
    } else if (a == "--ini" && i + 1 < argc) {
      iniPath = argv[++i];
    } else if (a == "--json") {
      json = true;
    } else if (a == "--walk") {
      walk = true;
    } else if (a == "--info") {
      info = true;
    } else if (a == "--copy") {
      copyText = true;
    } else if (a == "--old") {
      oldCode = true;
    } else if (a == "-h" || a == "--help") {
      Usage();
      return 0;
    } else if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
      Usage();
      return 2;
    } else {
      args.push_back(a);
    }
  }
  if (path.empty()) path = dict::DictionaryPathIn(dict::LocateDictionaryFolder());
  if (info) {
    if (walk || copyText || !args.empty()) {
      Usage();
      return 2;
    }
    auto census = dict::TakeCensus(path);
    if (!census) return ReadError(path, census.error());
    std::printf("辞書: %s\nデータ日付: %s\n町域: %zu\n事業所: %zu\n市区町村: %zu\n郵便番号: %zu\n", path.c_str(),
                census->header.DataDate.c_str(), census->towns, census->offices, census->cities, census->codes.size());
    return 0;
  }
  if ((!walk && args.empty()) || (walk && args.size() > 2) || (copyText && (walk || args.size() != 1))) {
    Usage();
    return 2;
  }
  auto loaded = dict::LoadDictionary(path);
  if (!loaded) return ReadError(path, loaded.error());
  if (loaded->versionMismatch) {
    std::fprintf(stderr, "%s\n", std::string(dict::kVersionMessage).c_str());
    return 2;
  }
  const auto& table = loaded->table;
  if (walk) return Walk(path, table, args, json);

  settings::Settings settings;
  if (copyText) {
    std::string folder = platform::SettingsFolder(), name(settings::kIniFileName);
    if (!iniPath.empty()) {
      auto slash = iniPath.rfind('/');
      folder = slash == std::string::npos ? "." : iniPath.substr(0, slash == 0 ? 1 : slash);
      name = slash == std::string::npos ? iniPath : iniPath.substr(slash + 1);
    }
    settings::LoadSettings(settings, folder, name);
  }

  bool bad = false, found = false;
  for (const auto& code : args) {
    auto outcome = dict::SearchPostalCode(path, table, code);
    if (!outcome.warning.empty()) {
      std::fprintf(stderr, "%s: %s\n", code.c_str(), outcome.warning.c_str());
      bad = true;
      continue;
    }
    if (outcome.readError) return ReadError(path, *outcome.readError);
    for (const auto& row : outcome.rows) {
      auto picked = dict::ShowPickedResult(path, row, "");
      if (!picked) return ReadError(path, picked.error());
      found = true;
      if (copyText) {
        std::printf("%s\n", copy::ComposeCopyText(oldCode ? 0 : 1, *picked, settings).c_str());
        return 0;
      }
      size_t b1 = row.text.find(' '), b2 = row.text.find(' ', b1 + 1);
      auto rec = TownAt(path, row.itemData);
      if (!rec) return ReadError(path, rec.error());
      Print({picked->NewCode, picked->OldCode, picked->Address1, picked->Address2, row.text.substr(b2 + 1),
             dict::IsOfficeRecord(*rec)},
            json);
    }
  }
  if (bad) return 2;
  return found ? 0 : 1;
}
