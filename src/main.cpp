// corvane: the wizard (window or terminal), and the verbs support staff script.
#include <CLI/CLI.hpp>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>

#include "app/app.h"
#include "app/layout.h"
#include "app/texts.h"
#include "disk/capture.h"
#include "disk/drive_identity.h"
#include "disk/identity_report.h"
#include "mail/send_report.h"
#include "platform/console/terminal_face.h"
#include "platform/linux/desktop.h"
#include "platform/linux/files.h"
#include "platform/linux/mail_hand_over.h"
#include "platform/linux/registry_store.h"
#include "platform/linux/shell.h"
#include "platform/linux/single_instance.h"
#include "platform/linux/smart_device.h"
#include "platform/linux/system_info.h"
#include "report/record_command.h"

namespace {

bool HasDisplay() {
  const char* x = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x && *x) || (wayland && *wayland);
}

struct IdentifyOptions {
  int drive = 0;
  bool json = false;
  std::string save;
  std::string load;
};

std::optional<std::string> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return content.str();
}

// Exit status: 0 for a usable drive, 1 for DriveType 0 or a file that cannot be used.
int RunIdentify(const IdentifyOptions& options) {
  using namespace corvane;
  LinuxSmartDevice system_device;
  std::optional<CaptureSmartDevice> capture_device;
  if (!options.load.empty()) {
    const std::optional<std::string> bytes = ReadWholeFile(options.load);
    if (!bytes) {
      std::cerr << "corvane identify: cannot read " << options.load << "\n";
      return 1;
    }
    try {
      capture_device.emplace(ParseCapture(*bytes));
    } catch (const CaptureError& e) {
      std::cerr << "corvane identify: " << options.load << " is not a drive capture: " << e.what()
                << "\n";
      return 1;
    }
  }
  SmartDevice& source = capture_device ? static_cast<SmartDevice&>(*capture_device)
                                       : static_cast<SmartDevice&>(system_device);
  RecordingSmartDevice recorder(source);
  const DriveIdentity identity = GetDriveIdentity(recorder, options.drive);
  std::cout << (options.json ? FormatIdentityJson(identity, options.drive)
                             : FormatIdentityText(identity, options.drive));
  if (!options.save.empty()) {
    if (!recorder.capture().identify) {
      std::cerr << "corvane identify: drive " << options.drive
                << " gave no IDENTIFY data; nothing saved\n";
      return 1;
    }
    std::ofstream out(options.save, std::ios::binary | std::ios::trunc);
    out << WriteCapture(recorder.capture());
    out.close();
    if (!out) {
      std::cerr << "corvane identify: cannot write " << options.save << "\n";
      return 1;
    }
  }
  return identity.DriveType == kDriveTypeNone ? 1 : 0;
}

// CORVANE_SENDMAIL names another sendmail-compatible program for the mail hand-over.
std::string SendmailProgram() {
  const char* program = std::getenv("CORVANE_SENDMAIL");
  return program && *program ? program : corvane::kDefaultSendmail;
}

// Every Linux backend, for one run of the program or of a verb.
struct LinuxPlatform {
  corvane::LinuxRegistry registry{corvane::RegistryStoreOptions{}};
  corvane::LinuxSmartDevice smart;
  corvane::LinuxSystemInfo system;
  corvane::LinuxFiles files;
  // The desktop's default mail client, opened on a message to the support address.
  corvane::LinuxShell shell{{{corvane::kMailClientPath, {"xdg-email", corvane::kSupportAddress}}}};
  corvane::SendmailAutomation spreadsheet{SendmailProgram()};
  corvane::SingleInstance instance{corvane::DefaultRuntimeFolder()};
  corvane::LinuxDesktop desktop{instance, corvane::kProgramTitle};
  corvane::Platform platform{registry, smart, system, files, shell, spreadsheet, desktop};
};

int RunWizard(bool /*text_only*/) {
  using namespace corvane;
  LinuxPlatform os;
  // Until the window face exists every run uses the terminal face.
  TerminalFace face(std::cin, std::cout);
  os.desktop.SetFace(&face);
  App app(os.platform);
  return face.Run(app);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App cli{"Corvane: reads this computer's identity and sends it to the supplier's support."};
  cli.set_version_flag("--version", std::string("corvane ") + CORVANE_VERSION);
  bool text = false;
  cli.add_flag("--text", text, "Use the terminal face even when a display is present");
  IdentifyOptions identify;
  CLI::App* identify_verb =
      cli.add_subcommand("identify", "Print one drive's identity and SMART attributes");
  identify_verb->add_option("--drive", identify.drive, "Drive number, 0 to 3 (default 0)")
      ->check(CLI::Range(0, 3));
  identify_verb->add_flag("--json", identify.json, "Print one JSON object");
  identify_verb->add_option("--save", identify.save,
                            "Write the drive's answers to FILE as a capture (skdump format)");
  identify_verb->add_option("--load", identify.load, "Decode the capture FILE instead of a drive");
  bool record_json = false;
  CLI::App* record_verb = cli.add_subcommand(
      "record", "Print this machine's record and its five values; writes nothing");
  record_verb->add_flag("--json", record_json, "Print one JSON object");
  cli.require_subcommand(0, 1);
  try {
    cli.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return cli.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return cli.exit(e);
  } catch (const CLI::ParseError& e) {
    std::cerr << e.what() << "\n" << cli.help();
    return 2;
  }
  if (identify_verb->parsed()) return RunIdentify(identify);
  if (record_verb->parsed()) {
    LinuxPlatform os;
    return corvane::PrintMachineRecord(os.platform, record_json, std::cout, std::cerr);
  }
  return RunWizard(text || !HasDisplay());
}
