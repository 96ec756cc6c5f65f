#include "app/language.h"

#include "form/app.h"
#include "form/screens.h"
#include "form/texts.h"

namespace corvane {

void LoadLanguageTexts(App& app) {
  FMain& f = app.form;
  const std::string code_text = f.LBLIDIOMA.caption;
  if (!HasStage(f)) UnloadAndEnd(app);
  const int code = LanguageCode(code_text);
  if (code == 0) UnloadAndEnd(app);

  for (const std::string& text : LanguageTexts(code)) f.LBLABELS.items.push_back(text);

  if (app.os.system.IsNetworkFolder(app.os.system.ProgramFolder())) ShowNetworkRefusalStage(app);
}

}  // namespace corvane
