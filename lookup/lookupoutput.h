// What kovant-lookup writes, in one of its formats: the modes say what they
// found (a town, a code's answer, an address, a table row) and the format
// decides how it looks. A new format is one more class.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "dict/address.h"
#include "dict/codeindex.h"
#include "lookup/table.h"

namespace kovant::lookup {

// Where the bytes go: standard output in the program, a string in tests.
class OutputSink {
 public:
  virtual ~OutputSink() = default;
  virtual void Write(std::string_view text) = 0;
  // Hands on what was written at once (a reader at a terminal waits for it).
  virtual void Push() {}
  virtual bool Failed() = 0;
  // The status to end with: given, or 2 when the output could not be written.
  virtual int Finish(int status) = 0;
};

// Standard output with its failures noticed: a full disk is an error (exit
// status 2), a reader that went away (| head -1) ends the program quietly.
class StdoutSink final : public OutputSink {
 public:
  void Write(std::string_view text) override;
  void Push() override;
  bool Failed() override;
  int Finish(int status) override;

 private:
  bool failed_ = false;
};

class StringSink final : public OutputSink {
 public:
  void Write(std::string_view text) override { text_.append(text); }
  bool Failed() override { return false; }
  int Finish(int status) override { return status; }
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

// One input code's answer, after its towns (CodeTown) have been given.
struct CodeAnswer {
  std::string_view input, code;  // as typed, and normalised
  std::string_view status;       // 一致, 複数, 該当なし or 不正
  size_t towns = 0;
};

// The output, composed in a buffer and handed to the sink at Flush: a
// batch's answers go out together, or (after a read error) not at all.
class LookupOutput {
 public:
  explicit LookupOutput(OutputSink& sink) : sink_(sink) {}
  virtual ~LookupOutput() = default;
  LookupOutput(const LookupOutput&) = delete;
  LookupOutput& operator=(const LookupOutput&) = delete;

  // A prefecture's or city's name (--walk).
  virtual void Name(std::string_view name) = 0;
  // A town of a listing (--walk, --find).
  virtual void Town(const dict::MatchView& town) = 0;
  // A town of the code being answered, then the code's answer.
  virtual void CodeTown(const dict::MatchView& town) = 0;
  virtual void Code(const CodeAnswer& answer) = 0;
  // An address and what it resolved to.
  virtual void Address(std::string_view input, std::string_view status, const dict::AddressAnswer& answer) = 0;
  // A row of a table (in its own encoding) with the columns added to it.
  virtual void Row(const tools::TableRecord& record, const std::vector<std::string>& added) = 0;
  // Text that is the same in every format (--info, --version, --copy).
  void Plain(std::string_view text) { buffer_.append(text); }

  void Flush();
  // Flushes and asks the sink to hand it on now.
  void Push();
  bool Failed() { return sink_.Failed(); }
  int Finish(int status);

 protected:
  std::string buffer_;

 private:
  OutputSink& sink_;
};

// Tab-separated lines: each town NEWCODE, OLDCODE, prefecture, city, town
// and "事業所" for an office; a code without towns gives its status.
class TextOutput : public LookupOutput {
 public:
  explicit TextOutput(OutputSink& sink) : TextOutput(sink, '\t', false) {}
  void Name(std::string_view name) override;
  void Town(const dict::MatchView& town) override;
  void CodeTown(const dict::MatchView& town) override { Town(town); }
  void Code(const CodeAnswer& answer) override;
  void Address(std::string_view input, std::string_view status, const dict::AddressAnswer& answer) override;
  void Row(const tools::TableRecord& record, const std::vector<std::string>& added) override;

 protected:
  TextOutput(OutputSink& sink, char separator, bool quoted)
      : LookupOutput(sink), separator_(separator), quoted_(quoted) {}

 private:
  void Field(std::string_view field);
  void Line(const dict::MatchView& town, std::string_view note);

  char separator_;
  bool quoted_;  // fields quoted as the table format wants
};

// CSV (or TSV) as --column writes it: fields quoted when they must be.
class CsvOutput final : public TextOutput {
 public:
  CsvOutput(OutputSink& sink, char separator) : TextOutput(sink, separator, true) {}
};

// One JSON object a line: a code's answer holds its towns as "matches".
class JsonOutput final : public LookupOutput {
 public:
  using LookupOutput::LookupOutput;
  void Name(std::string_view name) override;
  void Town(const dict::MatchView& town) override;
  void CodeTown(const dict::MatchView& town) override;
  void Code(const CodeAnswer& answer) override;
  void Address(std::string_view input, std::string_view status, const dict::AddressAnswer& answer) override;
  void Row(const tools::TableRecord& record, const std::vector<std::string>& added) override;

 private:
  std::string matches_;  // the code's towns, held back: its status comes first
};

}  // namespace kovant::lookup
