// Loading the texts of the chosen language, and the refusal to run from a network folder.
#pragma once

#include <string>

namespace corvane {

struct App;

// Fills LBLABELS for the code in LBLIDIOMA, ends the program for an empty stage or an
// unknown code, and puts up the refusal screen (stage "4") when run from a network folder.
void LoadLanguageTexts(App& app);

}  // namespace corvane
