// kovant-mkdic: builds KOVANT.DIC from Japan Post's national postal-code file.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "platform/files.h"
#include "tools/builder.h"

using namespace kovant::tools;

namespace {

// How messages name a row: "FILE:LINE", or "ARCHIVE:MEMBER:LINE" for a zip.
std::string SourceName(const std::string& path, const InputFile& file) {
  auto slash = path.rfind('/');
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  return base == file.name ? path : path + ":" + file.name;
}

void Usage() {
  std::fputs(
      "使い方: kovant-mkdic [-o FILE | --install] [-q] [--offices JIGYOSYO] INPUT\n"
      "  INPUT     ken_all.zip, or KEN_ALL.CSV (Shift-JIS or UTF-8)\n"
      "  -o FILE   the dictionary to write (default: KOVANT.DIC)\n"
      "  --install write it into the user's data folder (${XDG_DATA_HOME:-~/.local/share}/kovant),\n"
      "            where the program finds it\n"
      "  --offices add the individual codes of large offices (jigyosyo.zip or JIGYOSYO.CSV)\n"
      "  -q        no summary\n",
      stderr);
}

bool g_progress = false;
void Progress(const char* step) {
  if (g_progress) std::fprintf(stderr, "\r%-40s", step);
}

}  // namespace

int main(int argc, char** argv) {
  std::string output = "KOVANT.DIC", input, offices;
  bool quiet = false, install = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if ((a == "-o" || a == "--output") && i + 1 < argc) {
      output = argv[++i];
    } else if (a == "--install") {
      install = true;
    } else if (a == "--offices" && i + 1 < argc) {
      offices = argv[++i];
    } else if (a == "-q" || a == "--quiet") {
      quiet = true;
    } else if (a == "-h" || a == "--help") {
      Usage();
      return 0;
    } else if (!a.empty() && a[0] == '-') {
      Usage();
      return 2;
    } else if (input.empty()) {
      input = a;
    } else {
      Usage();
      return 2;
    }
  }
  if (input.empty()) {
    Usage();
    return 2;
  }
  if (install) {
    const std::string folder = kovant::platform::UserDataFolder();
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
      std::fprintf(stderr, "kovant-mkdic: %s: %s\n", folder.c_str(), ec.message().c_str());
      return 1;
    }
    output = kovant::platform::JoinPath(folder, "KOVANT.DIC");
  }
  g_progress = !quiet && isatty(STDERR_FILENO);
  auto start = std::chrono::steady_clock::now();

  Progress("reading...");
  auto file = ReadInputFile(input);
  if (!file) {
    std::fprintf(stderr, "kovant-mkdic: %s\n", file.error().description.c_str());
    return 1;
  }
  Progress("parsing...");
  auto rows = ParseKenAll(file->bytes, SourceName(input, *file));
  if (!rows) {
    std::fprintf(stderr, "%skovant-mkdic: %s\n", g_progress ? "\n" : "", rows.error().description.c_str());
    return 1;
  }
  size_t csvRows = rows->size();
  auto towns = JoinSplitRows(*rows);
  if (!offices.empty()) {
    Progress("reading offices...");
    auto officeFile = ReadInputFile(offices);
    if (!officeFile) {
      std::fprintf(stderr, "kovant-mkdic: %s\n", officeFile.error().description.c_str());
      return 1;
    }
    auto officeRows = ParseOffices(officeFile->bytes, SourceName(offices, *officeFile));
    if (!officeRows) {
      std::fprintf(stderr, "%skovant-mkdic: %s\n", g_progress ? "\n" : "", officeRows.error().description.c_str());
      return 1;
    }
    towns.insert(towns.end(), officeRows->begin(), officeRows->end());
  }
  Progress("encoding...");
  BuildOptions options;
  options.dataDate = file->date;
  options.description = file->name + " " + std::to_string(csvRows) + " rows" + (offices.empty() ? "" : " +offices");
  BuildReport report;
  auto dic = BuildDictionary(towns, options, report);
  if (!dic) {
    std::fprintf(stderr, "%skovant-mkdic: %s: %s\n", g_progress ? "\n" : "", input.c_str(),
                 dic.error().description.c_str());
    return 1;
  }
  Progress("writing...");
  std::string err = kovant::platform::WriteFileAtomically(output, *dic);
  if (!err.empty()) {
    std::fprintf(stderr, "%skovant-mkdic: %s: %s\n", g_progress ? "\n" : "", output.c_str(), err.c_str());
    return 1;
  }
  if (g_progress) std::fputs("\r                                        \r", stderr);
  if (!quiet) {
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::fprintf(stderr,
                 "%s: %zu bytes, %zu towns, %zu offices, %zu cities, %zu names shortened, data of %s, %.0f ms\n",
                 output.c_str(), dic->size(), report.towns, report.offices, report.cities,
                 report.shortened.size(), file->date.c_str(), ms);
  }
  return 0;
}
