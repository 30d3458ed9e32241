// Many codes in one process (a file of codes, a spreadsheet column): the
// dictionary is read into memory once and its codes put into buckets, so a
// lookup reads only the records of its code. The window keeps its
// open-read-close search.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dict/reader.h"

namespace kovant::dict {

// One town of a code, as the search lists and the pick shows it.
struct CodeMatch {
  std::string newCode, oldCode;  // "NNN-NNNN"; "NNN" or "NNN-NN"
  std::string pref, city, town;  // town as listed: the whole name, "" for a town without one
  bool office = false;
};

class CodeIndex {
 public:
  static Result<CodeIndex> Build(const std::string& dictionaryPath);

  // The towns of a current 7-digit or a former 3- or 5-digit code (ASCII
  // digits, as the search checks them), in the search's list order.
  Result<std::vector<CodeMatch>> Find(std::string_view code) const;

  // The same for many codes, with one text conversion for all their names
  // (a conversion call costs more than the lookup).
  Result<std::vector<std::vector<CodeMatch>>> FindMany(const std::vector<std::string>& codes) const;

 private:
  struct Town {
    int32_t codeNumber;
    int32_t pos;    // of the record, for its name
    uint32_t code;  // the current code, codeNumber's last seven digits
    uint32_t city;  // index into cities_
    int16_t oldCodeTail;
    uint8_t pref;  // index into prefs_
    uint8_t nameLength;
  };
  struct Named {
    std::string utf8, sjis;
  };
  // Towns by key: buckets [offsets[k], offsets[k+1]) of order, file order
  // within. Made when the first code of their kind is looked up.
  struct Entry {
    uint32_t code;  // the whole key, so a bucket is scanned without touching the towns
    uint32_t town;
  };
  struct Buckets {
    std::vector<uint32_t> offsets;
    std::vector<Entry> order;
    template <typename KeyOf>
    void Fill(const std::vector<Town>& towns, size_t keys, uint32_t divisor, KeyOf keyOf);
  };
  const Buckets& NewBuckets() const;
  const Buckets& OldBuckets() const;
  std::unique_ptr<DicFile> file_;
  std::vector<Named> prefs_, cities_;
  std::vector<Town> towns_;
  mutable Buckets byNew_, byOld_;
};

}  // namespace kovant::dict
