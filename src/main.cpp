// corvane: the wizard (window or terminal), and the verbs support staff script.
#include <CLI/CLI.hpp>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

#include "app/app.h"
#include "app/layout.h"
#include "app/texts.h"
#include "mail/send_report.h"
#include "platform/console/terminal_face.h"
#include "platform/linux/desktop.h"
#include "platform/linux/files.h"
#include "platform/linux/mail_hand_over.h"
#include "platform/linux/registry_store.h"
#include "platform/linux/shell.h"
#include "platform/linux/single_instance.h"
#include "platform/linux/system_info.h"
#include "platform/linux/unavailable.h"

namespace {

bool HasDisplay() {
  const char* x = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x && *x) || (wayland && *wayland);
}

// CORVANE_SENDMAIL names another sendmail-compatible program for the mail hand-over.
std::string SendmailProgram() {
  const char* program = std::getenv("CORVANE_SENDMAIL");
  return program && *program ? program : corvane::kDefaultSendmail;
}

int RunWizard(bool /*text_only*/) {
  using namespace corvane;
  LinuxRegistry registry(RegistryStoreOptions{});
  NoSmartDevice smart;
  LinuxSystemInfo system;
  LinuxFiles files;
  // The desktop's default mail client, opened on a message to the support address.
  LinuxShell shell({{kMailClientPath, {"xdg-email", kSupportAddress}}});
  SendmailAutomation spreadsheet(SendmailProgram());
  SingleInstance instance(DefaultRuntimeFolder());
  LinuxDesktop desktop(instance, kProgramTitle);
  Platform platform{registry, smart, system, files, shell, spreadsheet, desktop};

  // Until the window face exists every run uses the terminal face.
  TerminalFace face(std::cin, std::cout);
  desktop.SetFace(&face);
  App app(platform);
  return face.Run(app);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App cli{"Corvane: reads this computer's identity and sends it to the supplier's support."};
  cli.set_version_flag("--version", std::string("corvane ") + CORVANE_VERSION);
  bool text = false;
  cli.add_flag("--text", text, "Use the terminal face even when a display is present");
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
  return RunWizard(text || !HasDisplay());
}
