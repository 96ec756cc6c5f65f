// Every screen the program puts up, and the stage values that name them. A screen sets the
// stage, the colours, the message and the buttons, then shows the form.
#pragma once

#include <optional>
#include <string>

namespace corvane {

struct App;
struct FMain;

enum class Stage {
  kLanguageChoice,       // "0"
  kConfirm,              // "1"
  kMailQuestion,         // "2"
  kSendFile,             // "3"
  kNetworkRefusal,       // "4"
  kDriverMissing,        // "6"
  kClosingInstructions,  // "7": the driver copy failed, or the mail must be sent by hand
  kAboutToReboot,        // "8"
  kRestarted,            // "9"
};

// The caption of LBLSTAGE for a stage. Handlers compare it as text.
const char* StageLabel(Stage stage);
bool AtStage(const FMain& f, Stage stage);
// The form torn down: no stage (""), which the language loading takes as the end.
void ClearStage(FMain& f);
bool HasStage(const FMain& f);
// The stage LBLSTAGE names; nothing once the form is torn down ("") or for any other text.
std::optional<Stage> CurrentStage(const FMain& f);

enum class Buttons { kOk, kYesNo };
constexpr int kStageFontSize = 16;

// Puts up a stage screen: the pale background, the message in black bold at
// `font_size`, OK or Yes and No (captioned from the texts), no language box.
void ShowStage(App& app, Stage stage, Buttons buttons, int font_size, const std::string& message);

// Stage "0" at a fresh start: the language box and OK, no message; Main shows the form.
void PrepareLanguageChoiceStage(FMain& f);
// Stage "9" after the driver restart. The texts are loaded between the two steps, and the
// loading may replace the screen with the network refusal.
void PrepareRestartStage(FMain& f);
void FillRestartMessage(FMain& f);

void ShowConfirmStage(App& app);
void ShowMailQuestionStage(App& app);
void ShowSendFileStage(App& app);
// Stage "4": white on red, the message of entries 10 and 11; OK stays as it was.
void ShowNetworkRefusalStage(App& app);
// Stage "6": the driver file must be put beside the program, in `program_folder`.
void ShowDriverMissingStage(App& app, const std::string& program_folder);
// Stage "7" when the driver could not be put in place.
void ShowDriverCopyFailedStage(App& app);
// Stage "8": the machine is about to restart.
void ShowRebootStage(App& app);
// Stage "7" when the mail could not be handed over: the file's path and the address.
void ShowManualSendStage(App& app);

}  // namespace corvane
