// The wizard's screens and the click handlers of the form, dispatching on the stage.
#pragma once

#include <string>

namespace corvane {

struct App;

enum class Buttons { kOk, kYesNo };
constexpr int kStageFontSize = 16;

// Puts up a stage screen: the pale background, the message in black bold at
// `font_size`, OK or Yes and No (captioned from the texts), no language box.
void ShowStage(App& app, const char* stage, Buttons buttons, int font_size,
               const std::string& message);

void ShowConfirmStage(App& app);
void ShowMailQuestionStage(App& app);
void ShowSendFileStage(App& app);

void LBLOK_Click(App& app);
void LBLYES_Click(App& app);
void LBLNO_Click(App& app);
void CBCancel_Click(App& app);
void Form_Terminate(App& app);

}  // namespace corvane
