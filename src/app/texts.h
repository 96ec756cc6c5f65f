// The texts the wizard shows, in its three languages, and the support address.
#pragma once

#include <array>
#include <string>

namespace corvane {

struct App;

inline constexpr const char* kSupportAddress = "soporte@lumbrook.example";
constexpr size_t kTextCount = 26;

// The 26 entries of language code 1 (Spanish), 2 (Portuguese) or 3 (English).
const std::array<std::string, kTextCount>& LanguageTexts(int code);

// What to do when the system refuses to restart the machine, in the language of the
// code ("1", "2" or "3"; Spanish otherwise).
std::string RestartRefusedText(const std::string& code);

// Fills LBLABELS for the code in LBLIDIOMA, ends the program for an empty stage or an
// unknown code, and puts up the refusal screen (stage "4") when run from a network folder.
void LoadLanguageTexts(App& app);

}  // namespace corvane
