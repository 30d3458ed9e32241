// Many codes in one process (a file of codes, a spreadsheet column): the
// dictionary is mapped into memory once and a lookup reads only the
// records of its code. Current codes are found through the code section
// the builder writes after the records; a file without one, and former
// codes, get buckets made in memory when the first code of their kind is
// looked up. The window keeps its open-read-close search.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dict/listorder.h"
#include "dict/reader.h"
#include "dict/rowlist.h"
#include "platform/sjis.h"

namespace kovant::dict {

struct Section;

// The name under which a passed check of the code section is noted.
inline constexpr std::string_view kCodeIndexCheck = "code-index";

// One town of a code, as the search lists and the pick shows it.
struct CodeMatch {
  std::string newCode, oldCode;  // "NNN-NNNN"; "NNN" or "NNN-NN"
  std::string pref, city, town;  // town as listed: the whole name, "" for a town without one
  bool office = false;
};

// The same as views, valid during the call that gives them.
struct MatchView {
  std::string_view newCode, oldCode, pref, city, town;
  bool office = false;
};

inline constexpr std::string_view kCodeSectionTag = "CODE";

class CodeIndex {
 public:
  static Result<CodeIndex> Build(const std::string& dictionaryPath);
  // Over a dictionary already open (the builder's bytes). withSection false
  // leaves a code section unread, as a file without one.
  static Result<CodeIndex> Build(std::unique_ptr<DicFile> dic, bool withSection = true);

  // The towns of a current 7-digit or a former 3- or 5-digit code (ASCII
  // digits, as the search checks them), in the search's list order.
  Result<std::vector<CodeMatch>> Find(std::string_view code) const;

  // The same for many codes.
  Result<std::vector<std::vector<CodeMatch>>> FindMany(const std::vector<std::string>& codes) const;

  // Calls fn(i, town) for each town of each code codes[i], in the order of
  // the codes and each code's towns in list order, with nothing kept
  // between calls: a batch of thousands allocates next to nothing.
  Result<bool> ForEachMatch(const std::vector<std::string>& codes,
                            const std::function<void(size_t, const MatchView&)>& fn) const;

  // The code section for this dictionary: every current code's towns in
  // list order, by code.
  Result<std::string> MakeCodeSection() const;

  // The window's search of one code, as its scan of the records with the
  // table `table` lists it: the rows' texts and town positions, in list
  // order. nullopt when this index cannot vouch for that (no checked code
  // section, or a table other than the file's own): then the caller scans.
  Result<std::optional<RowList>> ListCode(std::string_view code, const PrefectureTable& table) const;

  bool HasCodeSection() const { return section_ != nullptr; }
  // Why the file's code section was set aside for the records ("" when it
  // was not): the answers are the same either way, only slower to start.
  const std::string& SetAside() const { return setAside_; }

 private:
  // 16 bytes: the country's cities then fit in a few pages.
  struct City {
    int32_t townListPos;
    int32_t pos;  // of the city record, for its name
    int16_t cityNo;
    uint8_t pref;  // index into prefs_
    std::array<uint8_t, 5> digitFlags;
  };
  struct Named {
    std::string utf8, sjis;
  };
  // Towns by key: bucket b is entries [offsets[b], offsets[b+1]), file order
  // within; a bucket is scanned without touching the records. Made by two
  // walks over the mapped file (count, then place), which touch far less
  // fresh memory than a copy of every town would. Within a bucket only the
  // key's last digits differ, so an entry holds just those.
  struct Entry {
    int32_t pos;    // of the town record
    uint16_t city;  // index into cities_
    uint16_t low;   // the key modulo the bucket divisor
  };
  struct Buckets {
    uint32_t divisor;  // keys per bucket
    std::vector<uint32_t> offsets;
    std::vector<Entry> entries;
  };
  // A town found, its name in a shared UTF-8 buffer.
  struct Hit {
    uint32_t input;
    uint16_t city;
    bool office;
    TownHead head;
    int32_t pos;
    uint32_t nameStart, nameEnd;  // in the buffer
  };
  // The former codes' towns as the window lists them, made once: each
  // bucket of the former buckets by code, then in list order, with the
  // rows' texts in parts ready to join. Without usable (a name
  // with a blank that could order across cities, a name the file cannot
  // give) the window's search sorts its rows itself. Keys are made from
  // the records only where the names have no texts here (utf8At empty).
  struct Listed {
    bool usable = false;
    std::vector<Entry> entries;                    // bucket by bucket, as the former buckets' offsets say
    std::vector<uint32_t> utf8At;                  // entry k's town name: [utf8At[k], utf8At[k + 1]); empty: no texts
    std::string utf8;                              // the towns' names one after another
    std::vector<std::string> cityKeys, cityTexts;  // "prefecture city " per city, Shift-JIS and UTF-8
  };
  template <typename Fn>
  Result<bool> ForEachTown(Fn&& fn) const;
  template <typename KeyOf>
  Result<Buckets> Fill(uint32_t keys, uint32_t divisor, KeyOf keyOf) const;
  Result<const Buckets*> NewBuckets() const;
  Result<const Buckets*> OldBuckets() const;
  Result<const Listed*> ListedFormer() const;
  bool ListCities(Listed& listed, std::vector<uint32_t>& rank) const;
  bool ListTowns(const Buckets& b, const std::vector<uint32_t>& rank, Listed& listed) const;
  // The rows of a former code (key as in the buckets) from listed.
  bool Lists(std::string_view code, const PrefectureTable& table) const;
  Result<bool> AppendKeyedRows(const std::vector<Hit>& hits, bool current, int p2, int d,
                               std::vector<ListEntry>& rows) const;
  Result<bool> AppendListedRows(const Buckets& b, const Listed& listed, uint32_t key, int p2, int d,
                                RowList& rows) const;
  // The row of entry e with its sort key, the text left to the caller.
  Result<bool> AppendListedKey(const Listed& listed, const Entry& e, std::vector<ListEntry>& rows) const;
  // names null: the hits' names are not wanted (nameStart and nameEnd 0).
  Result<bool> AddHit(int64_t pos, uint32_t input, uint16_t city, std::vector<Hit>& hits, std::string* names) const;
  Result<bool> FindInBuckets(std::string_view code, uint32_t input, std::vector<Hit>& hits, std::string* names,
                             bool sorted = true) const;
  // Where the section's entries of a current code begin (they are sorted
  // by code in their bucket), and its towns from there.
  uint32_t FirstEntry(uint32_t code) const;
  Result<bool> FindInSection(uint32_t code, uint32_t from, uint32_t input, std::vector<Hit>& hits,
                             std::string* names) const;
  // A code of a batch, as the lookup takes it: its number, and where its
  // entries begin in the section (AskAhead).
  struct Query {
    uint32_t value = 0, first = 0;
    bool valid = false, inSection = false;
  };
  std::vector<Query> Queries(const std::vector<std::string>& codes) const;
  static constexpr size_t kAhead = 4;
  void AskAhead(std::vector<Query>& queries, size_t step) const;
  Result<bool> SortHits(std::vector<Hit>& hits, size_t first) const;
  Result<bool> AppendSjisTownName(const Hit& hit, std::string& out) const;
  // The section's entries of one code (bucket * divisor + low), in the
  // order a lookup answers them.
  Result<bool> AppendSectionEntries(const Buckets& b, uint32_t bucket, uint16_t low, std::string& out,
                                    uint32_t& written) const;
  // Takes the code section when it answers as the records do; otherwise
  // the reason it does not.
  std::optional<std::string> UseSection(const uint8_t* bytes, size_t length, bool vouched);
  void OpenSection(const std::vector<Section>& sections, const Section& code);
  // The records and the code section in memory of their own, once: for the
  // digest, which reads them all, and for a batch, which reads most.
  void KeepRecords() const;
  std::optional<std::string> CheckSectionEntries(const uint8_t* offsets, const uint8_t* entries) const;

  std::unique_ptr<DicFile> file_;
  // A city's name, read when first needed: a batch shows few of the
  // country's cities. Valid until the next call.
  struct CityText {
    std::string_view utf8, sjis;
  };
  Result<CityText> CityName(uint16_t city) const;
  std::vector<Named> prefs_;
  PrefectureTable table_;  // as the file holds it
  // The names read so far, one after the other in cityText_: city c's at
  // cityNames_[nameOf_[c] - 1], 0 for none yet. Fresh memory costs a page
  // fault a page, and two strings a city (and a slot for every city of the
  // country) took a tenth of a batch's faults.
  struct NameAt {
    uint32_t utf8, sjis, end;  // UTF-8 in [utf8, sjis), Shift-JIS in [sjis, end)
  };
  mutable std::vector<uint16_t> nameOf_;  // parallel to cityList_
  mutable std::vector<NameAt> cityNames_;
  mutable std::string cityText_;
  std::vector<City> cityList_;
  std::vector<uint16_t> cityOfNo_;  // CityNo -> index into cities_ + 1; 0: none
  // The code section's bucket offsets and entries, in the mapping or the
  // copy of the records (KeepRecords).
  mutable const uint8_t* section_ = nullptr;
  mutable const uint8_t* sectionEntries_ = nullptr;
  uint32_t sectionCount_ = 0;  // its entries
  std::string setAside_;
  int64_t recordsAndSection_ = 0;  // bytes from the first record to the section's end
  int64_t sectionPos_ = 0;
  mutable bool keepTried_ = false;
  // Two cities with one number: the section's towns (found by number)
  // could be shown under the wrong one, so the records answer.
  bool duplicateCityNo_ = false;
  mutable std::optional<Buckets> byNew_, byOld_;
  mutable std::optional<Listed> listed_;
};

}  // namespace kovant::dict
