#include "form/texts.h"

#include <gtest/gtest.h>

#include "app/language.h"
#include "fakes/fake_platform.h"

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
