// A verb's output as rows of one table, rendered by one writer: labelled blocks or lines of
// text for people, CSV for spreadsheets, a JSON list for scripts. The verb gives each row once.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "common/verb_output.h"

namespace corvane {

// Where a column appears.
enum TableFormats : unsigned { kInText = 1, kInCsv = 2, kInJson = 4, kInAll = 7 };

struct Column {
  std::string key;    // the JSON key, and the CSV header unless `csv_key` is given
  std::string label;  // text blocks: "disk identifier"; empty: not in them
  unsigned formats = kInAll;
  std::string csv_key = "";
  // A list's items in one CSV cell, and in one text line.
  std::string csv_join = "; ";
  std::string text_join = ", ";
};

// A cell a row does not have: no key in JSON, no line in text, an empty CSV cell. A null
// cell is JSON's null, and is likewise empty in CSV and left out of text.
nlohmann::ordered_json Absent();

struct TableRow {
  std::vector<nlohmann::ordered_json> cells;  // one for each column, in the columns' order
  // Text: the block's title, or with TextStyle::kLines the row's lines as they are printed
  // (the verb escapes what came from received files).
  std::string text;
  unsigned formats = kInAll;  // where the row appears
};

enum class TextStyle { kBlocks, kLines };

struct Table {
  std::vector<Column> columns;
  TextStyle text_style = TextStyle::kBlocks;
  // Text blocks list their labelled cells in this order of columns when it is given.
  std::vector<size_t> text_order;
  std::string text_when_empty;  // printed in text when no row was
};

// RFC 4180, with control characters escaped as the text output shows them, and a quote
// before a cell that a spreadsheet would take as a formula (and is no plain number), which
// keeps it text. The one rule of every CSV cell.
std::string CsvField(const std::string& value);

// "label:" and the blanks that line values up after it, as text blocks show them.
std::string PaddedLabel(const std::string& label);

class TableWriter {
 public:
  // Opens the output: the CSV header (after a UTF-8 byte-order mark with `bom`), or the JSON
  // list `list_key` when given.
  TableWriter(VerbOutput& output, Table table, bool csv, bool bom, const std::string& list_key);

  void Row(const TableRow& row);
  // JSON: the following rows go to a new list `list_key`; the others run on.
  void List(const std::string& list_key);
  // The following rows are one group: in JSON the object `group` with the rows as its list
  // `list_key`, in text `text` before them; CSV rows carry the group in their own cells.
  void Group(const nlohmann::ordered_json& group, const std::string& list_key,
             const std::string& text);
  // Closes the JSON list; text says when nothing was printed.
  void Finish();

  uint64_t rows() const { return rows_; }

 private:
  void CloseGroup();
  nlohmann::ordered_json JsonOf(const TableRow& row) const;

  VerbOutput& output_;
  Table table_;
  bool csv_;
  bool in_list_ = false;
  bool in_group_ = false;
  bool any_group_ = false;
  nlohmann::ordered_json group_;
  std::string group_list_;
  uint64_t rows_ = 0;
  bool printed_ = false;
};

}  // namespace corvane
