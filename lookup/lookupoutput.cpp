#include "lookup/lookupoutput.h"

#include <cerrno>
#include <cstdio>

#include "platform/files.h"

namespace kovant::lookup {

void StdoutSink::Write(std::string_view text) {
  if (!failed_ && std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) failed_ = true;
}

void StdoutSink::Push() { std::fflush(stdout); }

bool StdoutSink::Failed() { return failed_ || std::ferror(stdout); }

int StdoutSink::Finish(int status) {
  if (std::fflush(stdout) != 0 || Failed()) {
    if (errno != EPIPE)
      std::fprintf(stderr, "kovant-lookup: 書き込めません: %s\n", platform::SystemErrorText(errno).c_str());
    return 2;
  }
  return status;
}

void LookupOutput::Flush() {
  if (buffer_.empty()) return;
  sink_.Write(buffer_);
  buffer_.clear();
}

void LookupOutput::Push() {
  Flush();
  sink_.Push();
}

int LookupOutput::Finish(int status) {
  Flush();
  return sink_.Finish(status);
}

void TextOutput::Field(std::string_view field) {
  if (quoted_) {
    buffer_ += tools::TableField(field, separator_);
  } else {
    buffer_.append(field);
  }
}

// A batch writes thousands of these: appended in place, an unquoted line
// sized once and its fields copied in.
void TextOutput::Line(const dict::MatchView& town, std::string_view note) {
  if (!quoted_) {
    const std::string_view fields[] = {town.newCode, town.oldCode, town.pref, town.city, town.town, note};
    size_t size = 5 + (note.empty() ? 0 : 1);
    for (std::string_view field : fields) size += field.size();
    size_t at = buffer_.size();
    buffer_.resize(at + size);
    char* out = buffer_.data();
    for (size_t f = 0; f < 6; ++f) {
      if (f == 5 && note.empty()) break;
      fields[f].copy(out + at, fields[f].size());
      at += fields[f].size();
      out[at++] = f == 4 && !note.empty() ? separator_ : f < 4 ? separator_ : '\n';
    }
    return;
  }
  for (std::string_view field : {town.newCode, town.oldCode, town.pref, town.city, town.town}) {
    Field(field);
    buffer_ += separator_;
  }
  if (note.empty()) {
    buffer_.back() = '\n';
  } else {
    Field(note);
    buffer_ += '\n';
  }
}

void TextOutput::Name(std::string_view name) {
  Field(name);
  buffer_ += '\n';
}

void TextOutput::Town(const dict::MatchView& town) { Line(town, town.office ? "事業所" : ""); }

void TextOutput::Code(const CodeAnswer& answer) {
  if (answer.towns == 0) Line({answer.code, "", "", "", "", false}, answer.status);
}

void TextOutput::Address(std::string_view, std::string_view status, const dict::AddressAnswer& a) {
  const std::string shown = a.note.empty() ? std::string(status) : std::string(status) + "（" + a.note + "）";
  if (a.candidates.empty()) Line({"", "", a.pref, a.city, a.town, false}, shown);
  for (const auto& m : a.candidates)
    Line({m.newCode, m.oldCode, m.pref, m.city, m.town, false}, m.office ? shown + "・事業所" : shown);
}

void TextOutput::Row(const tools::TableRecord& record, const std::vector<std::string>& added) {
  buffer_.append(record.raw);
  for (const auto& field : added) {
    buffer_ += separator_;
    Field(field);
  }
  buffer_.append(record.lineEnd);
}

namespace {

std::string JsonString(std::string_view s) {
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

std::string JsonMatch(const dict::MatchView& m) {
  return "{\"new\":" + JsonString(m.newCode) + ",\"old\":" + JsonString(m.oldCode) +
         ",\"prefecture\":" + JsonString(m.pref) + ",\"city\":" + JsonString(m.city) +
         ",\"town\":" + JsonString(m.town) + (m.office ? ",\"office\":true" : "") + "}";
}

}  // namespace

void JsonOutput::Name(std::string_view name) { buffer_ += "{\"name\":" + JsonString(name) + "}\n"; }

void JsonOutput::Town(const dict::MatchView& town) { buffer_ += JsonMatch(town) + "\n"; }

void JsonOutput::CodeTown(const dict::MatchView& town) {
  if (!matches_.empty()) matches_ += ',';
  matches_ += JsonMatch(town);
}

void JsonOutput::Code(const CodeAnswer& answer) {
  buffer_ += "{\"input\":" + JsonString(answer.input) + ",\"code\":" + JsonString(answer.code) +
             ",\"status\":" + JsonString(answer.status) + ",\"matches\":[" + matches_ + "]}\n";
  matches_.clear();
}

void JsonOutput::Address(std::string_view input, std::string_view status, const dict::AddressAnswer& a) {
  buffer_ += "{\"input\":" + JsonString(input) + ",\"status\":" + JsonString(status) +
             ",\"prefecture\":" + JsonString(a.pref) + ",\"city\":" + JsonString(a.city) +
             ",\"town\":" + JsonString(a.town) + ",\"note\":" + JsonString(a.note) +
             (a.writtenCode.empty() ? "" : ",\"written_code\":" + JsonString(a.writtenCode)) +
             (a.townCode.empty() ? "" : ",\"town_code\":" + JsonString(a.townCode)) + ",\"candidates\":[";
  for (size_t i = 0; i < a.candidates.size(); ++i) {
    const auto& m = a.candidates[i];
    buffer_ += (i ? "," : "") + JsonMatch({m.newCode, m.oldCode, m.pref, m.city, m.town, m.office});
  }
  buffer_ += "]}\n";
}

// A row as an array of its fields and the added ones (UTF-8 rows only).
void JsonOutput::Row(const tools::TableRecord& record, const std::vector<std::string>& added) {
  buffer_ += '[';
  for (const auto& field : record.fields) buffer_ += JsonString(field) + ",";
  for (const auto& field : added) buffer_ += JsonString(field) + ",";
  if (buffer_.back() == ',') buffer_.pop_back();
  buffer_ += "]\n";
}

}  // namespace kovant::lookup
