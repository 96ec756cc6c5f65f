#include "form/texts.h"

#include <gtest/gtest.h>

#include "app/language.h"
#include "fakes/fake_platform.h"
#include "platform/registry_helpers.h"

namespace corvane::test {
namespace {

struct LanguageCase {
  const char* code;
  const char* yes;
  const char* no;
  const char* entry9_prefix;
  const char* entry20;
  const char* entry10;
};

class LoadLanguageTextsTest : public ::testing::TestWithParam<LanguageCase> {};

TEST_P(LoadLanguageTextsTest, FillsTheTwentySixEntriesOfTheLanguage) {
  const LanguageCase& c = GetParam();
  FakeRun run;
  run.app.form.LBLSTAGE.caption = "0";
  run.app.form.LBLIDIOMA.caption = c.code;
  LoadLanguageTexts(run.app);
  const FMain& f = run.app.form;
  ASSERT_EQ(f.LBLABELS.items.size(), 26u);
  EXPECT_EQ(f.Entry(0), c.yes);
  EXPECT_EQ(f.Entry(1), c.no);
  EXPECT_EQ(f.Entry(9), std::string(c.entry9_prefix) + kSupportAddress);
  EXPECT_EQ(f.Entry(10), c.entry10);
  EXPECT_EQ(f.Entry(15), "\\iosubsys.");
  EXPECT_EQ(f.Entry(20), c.entry20);
  for (size_t i : {23u, 24u, 25u}) EXPECT_EQ(f.Entry(i), "");
  for (size_t i = 0; i < 23; ++i) EXPECT_FALSE(f.Entry(i).empty()) << i;
  EXPECT_EQ(f.LBLSTAGE.caption, "0");  // a local folder is no network folder
  EXPECT_TRUE(f.LBMENSAJES.items.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Languages, LoadLanguageTextsTest,
    ::testing::Values(LanguageCase{"1", "Si", "No", "a: ", "Corvane Reinicio Automaticamente!",
                                   "Esta Aplicacion NO se Debe Rodar"},
                      LanguageCase{"2", "Sim", "Não", "para: ", "Corvane Reinicio Automaticamente!",
                                   "Esta Aplicacão NÃO se Debe Rodar"},
                      LanguageCase{"3", "Yes", "No", "to: ", "Corvane Started Succesfully!",
                                   "This Application CANNOT Run"},
                      // The code is compared as a number.
                      LanguageCase{" 03", "Yes", "No", "to: ", "Corvane Started Succesfully!",
                                   "This Application CANNOT Run"}));

TEST(LoadLanguageTexts, QuotedTextsKeepTheirExactLetters) {
  const auto& es = LanguageTexts(1);
  const auto& en = LanguageTexts(3);
  EXPECT_EQ(es[12], "Hay Que Copiar El Archivo ''smartvsd.vxd''");
  EXPECT_EQ(es[13], "En la MISMA Carpeta Desde Donde Se Esta Rodando Esta Aplicacion: ");
  EXPECT_EQ(en[7], "Is This Machine Used to Send E-Mails?");
  EXPECT_EQ(en[8], "Please Send File");
  EXPECT_EQ(en[21], "Let's Continue.....");
  EXPECT_EQ(LanguageTexts(2)[19],
            "Se isto NÃO Acontece, Tem que Reiniciar a Maquina e Rodar esta Aplicação "
            "Novamente!!!");
}

// Every entry of every language, letter for letter: the quoted ones as given, entries 2, 3
// and 6 (ours to word) spelled with their accents and opening marks.
TEST(LoadLanguageTexts, AllSeventyEightEntriesReadAsWritten) {
  const std::string to = kSupportAddress;
  const std::array<std::array<std::string, 3>, kTextCount> expected = {{
      {"Si", "Sim", "Yes"},
      {"No", "Não", "No"},
      {"Esta Aplicación Debe Ejecutarse en la Máquina Cuya Información Se Va a Enviar.",
       "Esta Aplicação Deve Ser Executada na Máquina Cuja Informação Vai Ser Enviada.",
       "This Application Must Run on the Machine Whose Information Is to Be Sent."},
      {"¿Usted Está Trabajando en Esa Máquina Ahora?", "Você Está Trabalhando Nessa Máquina Agora?",
       "Are You Working on That Machine Now?"},
      {"El Archivo Fue Cargado Exitosamente Para Ser Enviado por E-Mail.",
       "O Arquivo Foi Carregado com Sucesso Para Ser Enviado por E-Mail.",
       "The File Was Loaded Succesfully To Be Sent by E-Mail."},
      {"Ahora Vamos a Activar el Outlook Express Para Enviarlo.",
       "Agora Vamos a Ativar o Outlook Express Para Enviar.",
       "Now We Are to Activate Outlook Express To Send it."},
      {"El Archivo Se Borrará de Esta Máquina Después de Enviarlo.",
       "O Arquivo Será Apagado desta Máquina Depois de Enviado.",
       "The File Will Be Deleted from This Machine After It Is Sent."},
      {"Esta Maquina Se Usa Para Enviar E-Mails?", "Esta Maquina e Usada Para Enviar E-Mails?",
       "Is This Machine Used to Send E-Mails?"},
      {"Favor Enviar el Archivo", "Favor Enviar o Arquivo", "Please Send File"},
      {"a: " + to, "para: " + to, "to: " + to},
      {"Esta Aplicacion NO se Debe Rodar", "Esta Aplicacão NÃO se Debe Rodar",
       "This Application CANNOT Run"},
      {"Desde la Red!!!", "Desde a Rede!!!", "From the Network!!!"},
      {"Hay Que Copiar El Archivo ''smartvsd.vxd''", "Tem que Copiar o Arquivo ''smartvsd.vxd''",
       "Copy ''smartvsd.vxd'' File"},
      {"En la MISMA Carpeta Desde Donde Se Esta Rodando Esta Aplicacion: ",
       "Na MESMA Pasta Onde Esta-se Rodando Esta Aplicação: ",
       "In The SAME Folder Where We Are Running This Application: "},
      {"Hay que Copiar el Archivo ''smartvsd.vxd'' en:",
       "Tem que Copiar o Arquivo ''smartvsd.vxd'' em:", "Copy ''smartvsd.vxd'' File in:"},
      {"\\iosubsys.", "\\iosubsys.", "\\iosubsys."},
      {"Luego que la Maquina Reinicie, Hay que Rodar Esta Aplicacion Nuevamente!!!",
       "Logo que a Maquina Reiniciar, Tem que Rodar esta Aplicação Novamente!!!",
       "After the Machine Reboots, Run This Application Again!!!"},
      {"La Maquina Va a Reiniciarse y esta Aplicacion Deberia Arrancar Automaticamente.",
       "A Maquina Vai a Reiniciar e esta Aplicação Deveria Rodar Automaticamente.",
       "The Computer is Going to Reboot and This Application Should Run Automatically."},
      {"Luego Hay que Rodar esta Aplicacion Nuevamente.",
       "Logo Apos Tem que Rodar esta Aplicação Novamente.",
       "Afterwards, Run this Application Again."},
      {"Si esto NO Sucede, Hay que Reiniciar la Maquina y Rodar Esta Aplicacion Nuevamente!!!",
       "Se isto NÃO Acontece, Tem que Reiniciar a Maquina e Rodar esta Aplicação Novamente!!!",
       "If This Does NOT Happen, Reboot the Machine and Run This Application Again!!!"},
      {"Corvane Reinicio Automaticamente!", "Corvane Reinicio Automaticamente!",
       "Corvane Started Succesfully!"},
      {"Continuemos.....", "Continuemos.....", "Let's Continue....."},
      {"Abrimos el Outlook Express para Enviar el E-Mail?",
       "Abrimos o Outlook Express para Enviar o E-Mail?",
       "Open Outlook Express to Send the E-Mail?"},
      {"", "", ""},
      {"", "", ""},
      {"", "", ""},
  }};
  for (int code = 1; code <= 3; ++code) {
    for (size_t i = 0; i < kTextCount; ++i) {
      EXPECT_EQ(LanguageTexts(code)[i], expected[i][code - 1])
          << "code " << code << ", entry " << i;
    }
  }
}

// The messages the program adds speak the run's language, with its accents; without a
// language the failure texts stay English.
TEST(LoadLanguageTexts, ProgramMessagesSpeakTheLanguage) {
  EXPECT_EQ(RestartRefusedText("1"),
            "La Máquina No Pudo Reiniciarse Sola.\r¡Hay que Reiniciar la Máquina y Ejecutar "
            "Esta Aplicación Nuevamente!");
  EXPECT_EQ(RestartRefusedText("2").rfind("A Máquina Não Pôde Reiniciar Sozinha.\r", 0), 0u);
  EXPECT_EQ(RestartRefusedText("0"), RestartRefusedText("1"));
  EXPECT_EQ(CannotGoOnText("2"), "O Corvane não pode continuar: ");
  EXPECT_EQ(CannotGoOnText(""), "Corvane cannot go on: ");
  EXPECT_EQ(RunValueStaysText("1", kErrorAccessDenied).rfind("no se puede borrar el valor ", 0),
            0u);
  EXPECT_NE(RunValueStaysText("2", kErrorAccessDenied).find("(acesso negado)"), std::string::npos);
  EXPECT_NE(RunValueStaysText("3", 5 + 1000).find("(error 1005)"), std::string::npos);
  EXPECT_EQ(AnswerYesOrNoHint("1"), "Responda sí o no.");
  EXPECT_EQ(HiddenControlHint("2"), "Esse controle não está na tela agora.");
  EXPECT_EQ(UnknownCommandHint("0"),
            "Unknown command; use es, pt, en, ok, yes, no, cancel or close.");
}

TEST(LoadLanguageTexts, EndsTheProgramForAnEmptyStageOrAnUnknownCode) {
  for (const auto& [stage, code] : std::vector<std::pair<std::string, std::string>>{
           {"", "3"}, {"0", "0"}, {"0", "7"}, {"0", "abc"}, {"0", ""}, {"0", "2.5"}}) {
    FakeRun run;
    run.app.form.loaded = true;
    run.app.form.LBLSTAGE.caption = stage;
    run.app.form.LBLIDIOMA.caption = code;
    EXPECT_THROW(LoadLanguageTexts(run.app), ProgramEnd) << stage << "/" << code;
    EXPECT_TRUE(run.app.form.LBLABELS.items.empty());
    EXPECT_FALSE(run.app.form.loaded);
  }
}

TEST(LoadLanguageTexts, NetworkTestRefusesOnlyDoubledBackslashes) {
  struct Case {
    const char* folder;
    bool network;
  };
  for (const Case& c : {Case{"\\\\server\\share\\tools", true}, Case{"C:\\Tools\\\\x", true},
                        Case{"C:\\", false}, Case{"C:\\Tools", false}, Case{"Z:\\mapped", false},
                        Case{"/home/ana/corvane", false}, Case{"", false}}) {
    EXPECT_EQ(HoldsDoubledBackslash(c.folder), c.network) << c.folder;
  }
}

TEST(LoadLanguageTexts, UncFolderPutsUpTheRefusalInWhiteOnRed) {
  FakeRun run;
  run.system.program_folder = "\\\\server\\share";
  FMain& f = run.app.form;
  f.LBLSTAGE.caption = "0";
  f.LBLIDIOMA.caption = "3";
  f.LBLOK.visible = false;
  f.OBENG.visible = true;
  LoadLanguageTexts(run.app);
  EXPECT_EQ(f.LBLSTAGE.caption, "4");
  EXPECT_EQ(f.back_color, 0x0000FFu);
  EXPECT_EQ(f.LBLMSG.fore_color, 0xFFFFFFu);
  EXPECT_EQ(f.LBLMSG.caption, "This Application CANNOT Run\rFrom the Network!!!");
  EXPECT_TRUE(f.LBLMSG.visible);
  EXPECT_FALSE(f.Frame1.visible);
  EXPECT_TRUE(f.visible);
  // The buttons and options keep what the caller gave them.
  EXPECT_FALSE(f.LBLOK.visible);
  EXPECT_TRUE(f.OBENG.visible);
}

}  // namespace
}  // namespace corvane::test
