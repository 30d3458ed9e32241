// kovant-lookup's command line: one table of options gives both the parser
// and --help, so neither can name an option the other lacks.
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <istream>
#include <streambuf>

#include "dict/census.h"
#include "dict/reader.h"
#include "lookup/lookup.h"
#include "platform/files.h"
#include "platform/folders.h"

namespace kovant::lookup {

namespace {

constexpr const char* kSynopsis =
    "使い方: kovant-lookup [--dic FILE] [--json] [CODE... | -]\n"
    "        kovant-lookup [--dic FILE] --column N [--tsv] [--header] [--encoding sjis|utf8] [FILE]\n"
    "        kovant-lookup [--dic FILE] [--json] --walk [PREFECTURE [CITY]]\n"
    "        kovant-lookup [--dic FILE] [--json] --find TEXT [--limit N]\n"
    "        kovant-lookup [--dic FILE] [--json] --address [ADDRESS... | -]\n"
    "        kovant-lookup [--dic FILE] --address-column N [--tsv] [--header] [--encoding sjis|utf8] [FILE]\n"
    "        kovant-lookup [--dic FILE] --copy [--old] [--ini FILE] CODE\n"
    "        kovant-lookup [--dic FILE] --info | --version | --help\n"
    "  CODE は 7 桁の郵便番号か 3 桁・5 桁の旧郵便番号（\"〒100-0001\"、全角数字も可）。\n"
    "  CODE がない（または -）ときは標準入力から 1 行に 1 つずつ読みます。\n"
    "  一致した町域ごとに 新〒、旧〒、都道府県、市区町村、町域 をタブ区切りで書き、\n"
    "  事業所には 6 列目に「事業所」、見つからないときは「該当なし」、不正な入力には「不正」。\n";

constexpr const char* kExitStatus =
    "  終了状態: 0 すべて見つかった、1 見つからないものがあった、2 使い方・辞書・書き込みの誤り、\n"
    "  3 住所の町域が分からず市区町村だけ分かったものがあった（ほかはすべて一致）\n";

// A table row is at most kMaxRowBytes: no column can lie further out.
constexpr long kMaxColumn = 100000;

bool ColumnNumber(Options& o, const char* option, const std::string& value) {
  char* end = nullptr;
  errno = 0;
  const long n = std::strtol(value.c_str(), &end, 10);
  if (*end != '\0' || value.empty() || n < 1) {
    o.error = std::string("kovant-lookup: ") + option + " は 1 以上の列番号です: " + value + "\n";
    return false;
  }
  if (errno == ERANGE || n > kMaxColumn) {
    o.error = std::string("kovant-lookup: ") + option + " の列番号が大きすぎます（" + std::to_string(kMaxColumn) +
              " まで）: " + value + "\n";
    return false;
  }
  o.column.column = static_cast<size_t>(n);
  return true;
}

bool Limit(Options& o, const std::string& value) {
  char* end = nullptr;
  const long n = std::strtol(value.c_str(), &end, 10);
  if (*end != '\0' || n < 1 || n > 1000000) return false;
  o.limit = static_cast<size_t>(n);
  return true;
}

bool Encoding(Options& o, const std::string& value) {
  std::string& e = o.column.encoding;
  e = value;
  if (e == "shift_jis" || e == "cp932") e = "sjis";
  if (e == "utf-8") e = "utf8";
  return e == "sjis" || e == "utf8";
}

using O = Options&;
using V = const std::string&;

// In the order --help lists them.
constexpr OptionSpec kOptions[] = {
    {"--dic", nullptr, true, "--dic FILE",
     "使う辞書（既定: KOVANT_HOME の辞書か、見つかった中でデータ日付の新しいもの）",
     [](O o, V v) { return o.dicPath = v, true; }},
    {"--column", nullptr, true, "--column N",
     "CSV（--tsv なら TSV）の N 列目の郵便番号に 郵便番号,都道府県,市区町村,町域,状態 を足す",
     [](O o, V v) { return ColumnNumber(o, "--column", v); }},
    {"--tsv", nullptr, false, "--tsv", "--column と --address-column でカンマ区切りの代わりにタブ区切り",
     [](O o, V) { return o.column.separator = '\t', true; }},
    {"--header", nullptr, false, "--header", "1 行目を見出しとしてそのまま残し、見出しを足す",
     [](O o, V) { return o.column.header = true; }},
    {"--find", nullptr, true, "--find",
     "町域名・読み（かな、ローマ字）に TEXT を含む町域を、よく合うものから最大 N 件（既定 50）",
     [](O o, V v) { return o.findText = v, true; }},
    {"--limit", nullptr, true, "--limit N", "--find で書く町域の最大件数（既定 50）", Limit},
    {"--address", nullptr, false, "--address",
     "住所（都道府県の省略、丁目・番地、\"1-2-3\"、ビル名も可）から郵便番号。状態は "
     "一致・一致・番号確認・番号不一致・複数・市区町村のみ・市区町村名なし・該当なし",
     [](O o, V) { return o.address = true; }},
    {"--address-column", nullptr, true, "--address-column N",
     "CSV の N 列目の住所に 郵便番号,都道府県,市区町村,町域,状態 を足す",
     [](O o, V v) { return o.address = true, ColumnNumber(o, "--address-column", v); }},
    {"--encoding", nullptr, true, "--encoding", "入力の文字コード（既定: 自動判別）。出力は入力と同じ文字コードと改行",
     Encoding},
    {"--json", nullptr, false, "--json",
     "入力 1 つにつき JSON 1 行（status と、郵便番号には matches、住所には candidates）",
     [](O o, V) { return o.json = true; }},
    {"--walk", nullptr, false, "--walk", "都道府県の一覧、都道府県の市区町村、市区町村の町域（事業所は後）",
     [](O o, V) { return o.walk = true; }},
    {"--copy", nullptr, false, "--copy", "最初に一致した町域を設定どおりのコピー文字列で書く",
     [](O o, V) { return o.copy = true; }},
    {"--old", nullptr, false, "--old", "--copy で旧郵便番号を使う", [](O o, V) { return o.oldCode = true; }},
    {"--ini", nullptr, true, "--ini FILE", "--copy で読む設定ファイル（既定: 利用者の設定）",
     [](O o, V v) { return o.iniPath = v, true; }},
    {"--info", nullptr, false, "--info", "使用中の辞書、データ日付、町域と事業所の数",
     [](O o, V) { return o.info = true; }},
    {"--version", nullptr, false, "--version", "プログラムの版と辞書のデータ日付",
     [](O o, V) { return o.version = true; }},
    {"--help", "-h", false, "-h, --help", "この使い方を標準出力に書く",
     [](O o, V) { return o.mode = Mode::Help, true; }},
};

const OptionSpec* FindOption(const std::string& arg) {
  for (const auto& spec : kOptions) {
    if (arg == spec.name || (spec.alias && arg == spec.alias)) return &spec;
  }
  return nullptr;
}

// What the options ask for, once all are read; Usage for a combination
// that makes no sense.
Mode DecideMode(const Options& o) {
  if (o.version) return Mode::Version;
  if (o.info) return o.walk || o.copy || !o.args.empty() || o.column.column ? Mode::Usage : Mode::Info;
  if (o.column.column) {
    if (o.walk || o.copy || o.json || o.args.size() > 1) return Mode::Usage;
    return o.address ? Mode::AddressColumn : Mode::Column;
  }
  if (!o.findText.empty()) return o.walk || o.copy || o.address || !o.args.empty() ? Mode::Usage : Mode::Find;
  if (o.address) return o.walk || o.copy ? Mode::Usage : Mode::Address;
  if ((o.walk && o.args.size() > 2) || (o.copy && (o.walk || o.args.size() != 1))) return Mode::Usage;
  return o.walk ? Mode::Walk : o.copy ? Mode::Copy : Mode::Codes;
}

bool FromStandardInput(const std::vector<std::string>& args) {
  return args.empty() || (args.size() == 1 && args[0] == "-");
}

// Standard input as a stream for the column modes. std::cin would set up
// the standard streams in every run of the program, whatever its mode: a
// sixth of the memory a batch of codes touches, each page a fault.
class InputBuffer final : public std::streambuf {
 public:
  explicit InputBuffer(int fd) : fd_(fd) {}

 private:
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    ssize_t n;
    do {
      n = read(fd_, buffer_, sizeof buffer_);
    } while (n < 0 && errno == EINTR);
    // A failed read makes the stream bad, as it did std::cin.
    if (n < 0) throw std::ios_base::failure("kovant-lookup: standard input");
    if (n == 0) return traits_type::eof();
    setg(buffer_, buffer_, buffer_ + n);
    return traits_type::to_int_type(*gptr());
  }

  int fd_;
  char buffer_[16384];
};

// The table for the column modes: the file named, or standard input, read
// as it is converted.
int ConvertColumn(const std::string& dicPath, const Options& o, LookupOutput& out) {
  const std::string file = o.args.empty() ? std::string() : o.args[0];
  std::ifstream named;
  if (!file.empty() && file != "-") {
    named.open(file, std::ios::binary);
    // A folder opens, and fails at the first read.
    if (!named.is_open() || (named.peek(), named.bad())) {
      std::fprintf(stderr, "kovant-lookup: %s: 読み込めません。\n", platform::DisplayPath(file).c_str());
      return 2;
    }
  }
  InputBuffer standardInput(STDIN_FILENO);
  std::istream piped(&standardInput);
  std::istream& in = named.is_open() ? named : piped;
  return o.mode == Mode::AddressColumn ? ConvertAddressColumn(dicPath, in, o.column, out)
                                       : ConvertCodeColumn(dicPath, in, o.column, out);
}

}  // namespace

std::span<const OptionSpec> OptionTable() { return kOptions; }

std::string UsageText() {
  std::string text = kSynopsis;
  for (const auto& spec : kOptions) {
    const std::string label = spec.label;
    text += "  " + label + std::string(label.size() < 10 ? 12 - label.size() : 2, ' ') + spec.help + "\n";
  }
  return text + platform::FolderHelpText() + kExitStatus;
}

Options ParseOptions(int argc, const char* const* argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const OptionSpec* spec = FindOption(arg);
    if (!spec) {
      if (arg.size() > 1 && arg[0] == '-' && arg != "-") return o.mode = Mode::Usage, o;
      o.args.push_back(arg);
      continue;
    }
    std::string value;
    if (spec->value) {
      if (i + 1 >= argc) return o.mode = Mode::Usage, o;
      value = argv[++i];
    }
    if (!spec->apply(o, value)) return o.mode = Mode::Usage, o;
    if (o.mode == Mode::Help) return o;
  }
  o.mode = DecideMode(o);
  return o;
}

std::unique_ptr<LookupOutput> MakeOutput(const Options& o, OutputSink& sink) {
  if (o.mode == Mode::Column || o.mode == Mode::AddressColumn)
    return std::make_unique<CsvOutput>(sink, o.column.separator);
  if (o.json) return std::make_unique<JsonOutput>(sink);
  return std::make_unique<TextOutput>(sink);
}

int Run(const Options& o, LookupOutput& out) {
  const std::string path = o.dicPath.empty() ? dict::DictionaryPathIn(dict::LocateDictionaryFolder()) : o.dicPath;
  switch (o.mode) {
    case Mode::Version: return ShowVersion(path, out);
    case Mode::Info: return ShowInfo(path, out);
    case Mode::Column:
    case Mode::AddressColumn: return ConvertColumn(path, o, out);
    case Mode::Find: return FindTowns(path, o.findText, o.limit, out);
    case Mode::Address:
      return FromStandardInput(o.args) ? ResolveAddressLines(path, STDIN_FILENO, out, o.column.encoding)
                                       : ResolveAddresses(path, o.args, out);
    case Mode::Walk: return Walk(path, o.args, out);
    case Mode::Copy: return CopyText(path, o.args[0], o.oldCode, o.iniPath, out);
    case Mode::Codes:
      return FromStandardInput(o.args) ? LookUpCodeLines(path, STDIN_FILENO, out, o.column.encoding)
                                       : LookUpCodes(path, o.args, out);
    case Mode::Help:
    case Mode::Usage: break;
  }
  return 2;
}

}  // namespace kovant::lookup
