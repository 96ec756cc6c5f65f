#include "common/table_writer.h"

#include <cstring>
#include <ostream>
#include <utility>

#include "common/text.h"

namespace corvane {

namespace {

// A plain decimal number, which a spreadsheet reads as a number and never as a formula.
bool IsPlainNumber(const std::string& s) {
  size_t i = s.empty() || (s[0] != '-' && s[0] != '+') ? 0 : 1;
  const size_t digits = i;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
  if (i == digits) return false;
  if (i < s.size() && s[i] == '.') {
    const size_t fraction = ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
    if (i == fraction) return false;
  }
  return i == s.size();
}

bool Empty(const nlohmann::ordered_json& cell) {
  return cell.is_discarded() || cell.is_null() || (cell.is_array() && cell.empty());
}

// A cell as one line of text: a list's items joined by `join`.
std::string Plain(const nlohmann::ordered_json& cell, const std::string& join) {
  if (Empty(cell)) return "";
  if (cell.is_string()) return cell.get<std::string>();
  if (!cell.is_array()) return cell.dump();
  std::string out;
  for (const auto& item : cell) out += (out.empty() ? "" : join) + Plain(item, join);
  return out;
}

}  // namespace

std::string PaddedLabel(const std::string& label) {
  constexpr size_t kWidth = 18;
  std::string text = label + ":";
  if (text.size() < kWidth) text.append(kWidth - text.size(), ' ');
  return text;
}

nlohmann::ordered_json Absent() {
  return nlohmann::ordered_json(nlohmann::ordered_json::value_t::discarded);
}

std::string CsvField(const std::string& value) {
  std::string s = EscapeControls(value);
  if (!s.empty() && std::strchr("=+-@", s.front()) != nullptr && !IsPlainNumber(s)) {
    s.insert(0, 1, '\'');
  }
  if (s.find_first_of(",\"") == std::string::npos &&
      (s.empty() || (s.front() != ' ' && s.back() != ' '))) {
    return s;
  }
  std::string out = "\"";
  for (char c : s) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

TableWriter::TableWriter(VerbOutput& output, Table table, bool csv, bool bom,
                         const std::string& list_key)
    : output_(output), table_(std::move(table)), csv_(csv && !output.json()) {
  if (table_.text_order.empty()) {
    for (size_t i = 0; i < table_.columns.size(); ++i) table_.text_order.push_back(i);
  }
  if (output_.json()) {
    if (!list_key.empty()) List(list_key);
  } else if (csv_) {
    std::ostream& out = output_.text();
    if (bom) out << "\xEF\xBB\xBF";
    bool first = true;
    for (const Column& c : table_.columns) {
      if (!(c.formats & kInCsv)) continue;
      out << (first ? "" : ",") << (c.csv_key.empty() ? c.key : c.csv_key);
      first = false;
    }
    out << "\r\n";
  }
}

nlohmann::ordered_json TableWriter::JsonOf(const TableRow& row) const {
  nlohmann::ordered_json j = nlohmann::ordered_json::object();
  for (size_t i = 0; i < table_.columns.size() && i < row.cells.size(); ++i) {
    if ((table_.columns[i].formats & kInJson) && !row.cells[i].is_discarded()) {
      j[table_.columns[i].key] = row.cells[i];
    }
  }
  return j;
}

void TableWriter::Row(const TableRow& row) {
  ++rows_;
  std::ostream& out = output_.text();
  if (output_.json()) {
    if (!(row.formats & kInJson)) return;
    if (in_group_) {
      group_[group_list_].push_back(JsonOf(row));
    } else {
      output_.AddToList(JsonOf(row));
    }
  } else if (csv_) {
    if (!(row.formats & kInCsv)) return;
    bool first = true;
    for (size_t i = 0; i < table_.columns.size(); ++i) {
      const Column& c = table_.columns[i];
      if (!(c.formats & kInCsv)) continue;
      out << (first ? "" : ",")
          << CsvField(i < row.cells.size() ? Plain(row.cells[i], c.csv_join) : "");
      first = false;
    }
    out << "\r\n";
  } else if (!(row.formats & kInText)) {
    return;
  } else if (table_.text_style == TextStyle::kLines) {
    out << row.text;
    printed_ = true;
  } else {
    out << (printed_ ? "\n" : "") << EscapeControls(row.text) << "\n";
    for (size_t i : table_.text_order) {
      const Column& c = table_.columns[i];
      if (!(c.formats & kInText) || c.label.empty() || i >= row.cells.size() ||
          Empty(row.cells[i])) {
        continue;
      }
      out << "  " << PaddedLabel(c.label) << EscapeControls(Plain(row.cells[i], c.text_join))
          << "\n";
    }
    printed_ = true;
  }
}

void TableWriter::List(const std::string& list_key) {
  if (!output_.json()) return;
  CloseGroup();
  if (in_list_) output_.EndList();
  output_.BeginList(list_key);
  in_list_ = true;
}

void TableWriter::Group(const nlohmann::ordered_json& group, const std::string& list_key,
                        const std::string& text) {
  if (output_.json()) {
    CloseGroup();
    group_ = group;
    group_[list_key] = nlohmann::ordered_json::array();
    group_list_ = list_key;
    in_group_ = true;
  } else if (!csv_) {
    output_.text() << (any_group_ ? "\n" : "") << text;
    printed_ = true;
  }
  any_group_ = true;
}

void TableWriter::CloseGroup() {
  if (!in_group_) return;
  output_.AddToList(group_);
  in_group_ = false;
}

void TableWriter::Finish() {
  if (output_.json()) {
    CloseGroup();
    if (in_list_) output_.EndList();
    in_list_ = false;
  } else if (!csv_ && !printed_ && !table_.text_when_empty.empty()) {
    output_.text() << table_.text_when_empty;
  }
}

}  // namespace corvane
