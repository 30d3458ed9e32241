// The modes that answer from names: --find, --address, --walk; and --copy,
// --info and --version.
#include "lookup/lookup.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "copy/compose.h"
#include "dict/address.h"
#include "dict/census.h"
#include "dict/checkstamp.h"
#include "dict/codeinput.h"
#include "dict/freshness.h"
#include "dict/search.h"
#include "dict/walk.h"
#include "platform/files.h"
#include "platform/sjis.h"
#include "settings/settings.h"
#include "lookup/lookupdetail.h"

namespace kovant::lookup {

using namespace detail;

int detail::ReadError(const std::string& path, const dict::Error& e) {
  std::fprintf(stderr, "%s\n", dict::ReadErrorMessage(path, e).c_str());
  return 2;
}

void detail::NoteSetAside(const std::string& path, const std::string& why) {
  if (!why.empty())
    std::fprintf(stderr, "%s %s（記録から引きます）\n", platform::DisplayPath(path).c_str(), why.c_str());
}

std::optional<dict::PrefectureTable> detail::LoadTable(const std::string& path) {
  auto loaded = dict::LoadDictionary(path);
  if (!loaded) {
    ReadError(path, loaded.error());
    return std::nullopt;
  }
  if (loaded->versionMismatch) {
    std::fprintf(stderr, "%s\n", std::string(dict::kVersionMessage).c_str());
    return std::nullopt;
  }
  return std::move(loaded->table);
}

dict::Result<dict::TownRecord> detail::TownAt(const std::string& path, int32_t pos) {
  auto dic = dict::DicFile::Open(path);
  if (!dic) return dic.error();
  return (*dic)->ReadTown(pos);
}

int FindTowns(const std::string& dicPath, const std::string& text, size_t limit, LookupOutput& out) {
  auto gazetteer = dict::Gazetteer::Load(dicPath);
  if (!gazetteer) return ReadError(dicPath, gazetteer.error());
  NoteSetAside(dicPath, gazetteer->SetAside());
  const auto found = gazetteer->Find(text, limit);
  for (const auto& m : found) out.Town({m.newCode, m.oldCode, m.pref, m.city, m.town, m.office});
  return out.Finish(found.empty() ? 1 : 0);
}

int ResolveAddresses(const std::string& dicPath, const std::vector<std::string>& addresses, LookupOutput& out) {
  auto gazetteer = dict::Gazetteer::Load(dicPath);
  if (!gazetteer) return ReadError(dicPath, gazetteer.error());
  NoteSetAside(dicPath, gazetteer->SetAside());
  AddressExit exit;
  for (const auto& address : addresses) {
    const auto a = gazetteer->Resolve(address);
    exit.Note(a.status);
    out.Address(address, AddressStatusText(a), a);
  }
  return out.Finish(exit.Status());
}

int ResolveAddressLines(const std::string& dicPath, int fd, LookupOutput& out, const std::string& encoding) {
  auto gazetteer = dict::Gazetteer::Load(dicPath);
  if (!gazetteer) return ReadError(dicPath, gazetteer.error());
  NoteSetAside(dicPath, gazetteer->SetAside());
  const bool interactive = isatty(fd), sjis = encoding == "sjis";
  EncodingHint hint(sjis, !encoding.empty());
  AddressExit exit;
  LineReader input(fd);
  std::string line;
  // Each line is answered as it comes and the answers go out in chunks:
  // what is held stays a chunk, however long the input.
  for (size_t number = 1; !out.Failed() && input.Next(line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    hint.Check(line, number);
    const std::string address = sjis ? platform::SjisToUtf8(line) : std::move(line);
    const auto a = gazetteer->Resolve(address);
    exit.Note(a.status);
    out.Address(address, AddressStatusText(a), a);
    if (interactive) {
      out.Push();
    } else if (number % kChunk == 0) {
      out.Flush();
    }
  }
  hint.Summary();
  return out.Finish(exit.Status());
}

namespace {

// A city's towns: area towns first, then offices.
int WalkTowns(const std::string& path, const dict::CityTableEntry& cityRow, std::string_view pref,
              std::string_view city, LookupOutput& out) {
  auto towns = dict::LoadTowns(path, cityRow, true);
  if (towns.readError) return ReadError(path, *towns.readError);
  for (const auto& t : towns.entries) {
    auto rec = TownAt(path, t.itemData);
    if (!rec) return ReadError(path, rec.error());
    const std::string newCode = dict::CurrentCodeText(*rec), oldCode = dict::FormerCodeText(*rec);
    out.Town(
        {newCode, oldCode, pref, city, rec->NameLength == 0 ? std::string_view() : t.text, dict::IsOfficeRecord(*rec)});
  }
  return towns.entries.empty() ? 1 : 0;
}

int WalkNames(const std::string& path, const dict::PrefectureTable& table, const std::vector<std::string>& names,
              LookupOutput& out) {
  if (names.empty()) {
    for (const auto& row : table.rows) out.Name(row.Name);
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
    for (const auto& c : cities.entries) out.Name(c.text);
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
  return WalkTowns(path, cities.cityTable[static_cast<size_t>(city->itemData - 1)], pref.Name, city->text, out);
}

// The settings --copy composes with: the file given, or the user's.
settings::Settings CopySettings(const std::string& iniPath) {
  settings::Settings settings;
  std::string folder = platform::SettingsFolder(), name(settings::kIniFileName);
  if (!iniPath.empty()) {
    // The folder keeps its separator: "/" stays the root, "C:\\" a drive's.
    const size_t start = platform::FileNameStart(iniPath);
    folder = start == 0 ? "." : iniPath.substr(0, start);
    name = iniPath.substr(start);
  }
  settings::LoadSettings(settings, folder, name);
  return settings;
}

// The dictionary's data date for --version.
std::string DataDate(const std::string& path) {
  auto dic = dict::DicFile::Open(path);
  if (!dic) return "辞書なし";
  auto header = (*dic)->ReadHeader();
  return header ? "辞書データ " + header->DataDate : "辞書を読めません";
}

}  // namespace

int Walk(const std::string& dicPath, const std::vector<std::string>& names, LookupOutput& out) {
  const auto table = LoadTable(dicPath);
  if (!table) return 2;
  // What was listed before a read error is still written.
  return out.Finish(WalkNames(dicPath, *table, names, out));
}

int CopyText(const std::string& dicPath, const std::string& input, bool oldCode, const std::string& iniPath,
             LookupOutput& out) {
  const auto table = LoadTable(dicPath);
  if (!table) return 2;
  const settings::Settings settings = CopySettings(iniPath);
  const std::string code = dict::NormalizeCodeInput(input);
  if (auto problem = dict::CodeInputProblem(code)) {
    std::fprintf(stderr, "%s: %s\n", input.c_str(), problem->c_str());
    return 1;
  }
  // One code in a short process: the scan, with no index to read in.
  auto outcome = dict::ScanPostalCode(dicPath, *table, code);
  if (outcome.readError) return ReadError(dicPath, *outcome.readError);
  if (outcome.rows.empty()) return 1;
  auto picked = dict::ShowPickedResult(dicPath, outcome.rows[0], "");
  if (!picked) return ReadError(dicPath, picked.error());
  // Japan Post's notes (その他, 丁目 ranges…) are no address text; floors are.
  if (!dict::IsFloorText(picked->Supplement)) picked->Supplement.clear();
  out.Plain(copy::ComposeCopyText(oldCode ? 0 : 1, *picked, settings) + "\n");
  return out.Finish(0);
}

int ShowInfo(const std::string& dicPath, LookupOutput& out) {
  auto census = dict::TakeCensus(dicPath);
  if (!census) return ReadError(dicPath, census.error());
  char buf[512];
  std::snprintf(buf, sizeof buf, "辞書: %s\nデータ日付: %s\n町域: %zu\n事業所: %zu\n市区町村: %zu\n郵便番号: %zu\n",
                platform::DisplayPath(dicPath).c_str(), census->header.DataDate.c_str(), census->towns, census->offices,
                census->cities, census->codes.size());
  out.Plain(buf);
  const std::string stale = dict::ConfirmedRecently(dicPath, census->header.DataDate, dict::LocalToday())
                                ? std::string()
                                : dict::StaleDataNotice(census->header.DataDate, dict::LocalToday(),
                                                        "kovant-mkdic --update で更新できます。");
  if (!stale.empty()) out.Plain("注意: " + stale + "\n");
  // A dictionary that would have won but for its date in the future.
  if (const auto choice = dict::ChooseDictionaryFolder(dict::LocalToday());
      dict::DictionaryPathIn(choice.folder) == dicPath) {
    for (const std::string& passed : choice.passedOver) out.Plain("注意: " + passed + "\n");
  }
  return out.Finish(0);
}

int ShowVersion(const std::string& dicPath, LookupOutput& out) {
  out.Plain(std::string("kovant-lookup ") + KOVANT_VERSION + "（" + DataDate(dicPath) + ": " +
            platform::DisplayPath(dicPath) + "）\n");
  return out.Finish(0);
}

}  // namespace kovant::lookup
