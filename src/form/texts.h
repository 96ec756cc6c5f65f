// Every text the program shows: the 26 entries of each language, named by their place in
// LBLABELS, and the fixed texts outside the list. Entry numbers are the list's contract.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace corvane {

inline constexpr const char* kSupportAddress = "soporte@lumbrook.example";
constexpr size_t kTextCount = 26;

// The entries of LBLABELS by index.
enum class Text : size_t {
  kYes = 0,
  kNo = 1,
  kMustRunOnThisMachine = 2,
  kWorkingOnThatMachine = 3,
  kFileLoaded = 4,  // 4, 5 and 6 are filled but shown by no screen
  kMailClientComing = 5,
  kFileWillBeDeleted = 6,
  kMailQuestion = 7,
  kPleaseSendFile = 8,
  kToSupportAddress = 9,
  kCannotRun = 10,
  kFromTheNetwork = 11,
  kCopyDriverFile = 12,
  kInTheSameFolder = 13,
  kCopyDriverFileIn = 14,
  kDriverFolder = 15,
  kRunAgainAfterReboot = 16,
  kGoingToReboot = 17,
  kRunAgainAfterwards = 18,
  kIfNoAutomaticStart = 19,
  kStartedAgain = 20,
  kLetsContinue = 21,
  kOpenMailClient = 22,
};

// The 26 entries of language code 1 (Spanish), 2 (Portuguese) or 3 (English).
const std::array<std::string, kTextCount>& LanguageTexts(int code);

// The language code of a LBLIDIOMA caption read as a number: 1, 2 or 3, else 0.
int LanguageCode(const std::string& caption);

// The program's own messages take a LBLIDIOMA caption and speak its language; without one
// the restart text is Spanish and the others English.

// What to do when the system refuses to restart the machine.
std::string RestartRefusedText(const std::string& code);

// The box shown once the user's mail program holds the message with the file attached: it
// leaves when the user sends it there, and the file stays at `path`. In the language of the
// code ("1", "2" or "3"; Spanish otherwise).
std::string MailProgramHasItText(const std::string& code, const std::string& path);

// The box shown once the user's mail program was handed a message with the report in its
// text: nothing is known of what it shows, so this says what it should show, that the mail
// leaves only when the user presses Send there, what to do when no message came up, and
// that the file stays at `path`.
std::string ReportInMailText(const std::string& code, const std::string& path);

// The words above the report in a mail's text: what is sent and to whom, the five `values`
// (in the record's order; left out when empty), and the request to press Send. Lines end
// in "\n".
std::string ReportMailWords(const std::string& code, const std::vector<std::string>& values);

// The text of a mail that carries the file `file_name` of the computer `computer`, in the
// language of the code.
std::string MailBodyText(const std::string& code, const std::string& file_name,
                         const std::string& computer);

// The failure when the Run value outlives its delete (`status`: the delete's answer).
std::string RunValueStaysText(const std::string& code, long status);

// The failure box: this prefix, then what failed.
std::string CannotGoOnText(const std::string& code);

// The terminal face's own lines.
std::string HiddenControlHint(const std::string& code);
std::string UnknownCommandHint(const std::string& code);
std::string AnswerYesOrNoHint(const std::string& code);

// The window faces' command that copies the message.
std::string CopyCommandText(const std::string& code);

// The goodbye box of the decline path.
inline constexpr const char* kGoodbyeText = "Chauuu...";
inline constexpr const char* kGoodbyeTitle = ":)";

}  // namespace corvane
