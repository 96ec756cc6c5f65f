// The program's own files (the language file idioma.txt and the marker), where they live,
// and the free-format reading of the language file's item.
#pragma once

#include <optional>
#include <string>

namespace corvane {

struct App;

inline constexpr const char* kLanguageFileName = "idioma.txt";
inline constexpr const char* kMarkerFileName = "hd.txt";

// The program folder without a trailing separator; a root ("C:\", "/") loses its
// separator so that a separator and a file name can always be appended.
std::string GetProgramFolder(App& app);
// GetProgramFolder + separator + name.
std::string ProgramFile(App& app, const std::string& name);

// Where a new own file is written: beside the program when the folder is this user's own and
// takes files (a copy run from a download folder), else in the per-user folder, which is
// made when missing. For an installed copy a per-user folder that cannot be had is the
// FileError, naming that folder.
std::string NewOwnFile(App& app, const std::string& name);
// Where an own file is: the chosen folder first, then the other one (a run with other
// rights may have written it there); the chosen place when it is in neither. An installed
// copy looks in the per-user folder only.
std::string FindOwnFile(App& app, const std::string& name);

// A decimal number with optional sign, fraction and surrounding blanks; empty otherwise.
std::optional<double> ParseNumber(const std::string& text);

// The first item of a file read in free format: leading blanks skipped, the item ends at
// a comma or the end of the line, a quoted item is taken between its quotes, and an item
// that reads as a number becomes its plain decimal text ("01" gives "1"). Empty when the
// content holds no item.
std::optional<std::string> FirstFreeFormatItem(const std::string& content);

}  // namespace corvane
