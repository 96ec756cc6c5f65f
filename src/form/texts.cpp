#include "form/texts.h"

#include <optional>

#include "form/language_file.h"
#include "platform/registry_helpers.h"

namespace corvane {

namespace {

const std::array<std::string, kTextCount> kSpanish = {
    /*  0 */ "Si",
    /*  1 */ "No",
    /*  2 */ "Esta Aplicación Debe Ejecutarse en la Máquina Cuya Información Se Va a Enviar.",
    /*  3 */ "¿Usted Está Trabajando en Esa Máquina Ahora?",
    /*  4 */ "El Archivo Fue Cargado Exitosamente Para Ser Enviado por E-Mail.",
    /*  5 */ "Ahora Vamos a Activar el Outlook Express Para Enviarlo.",
    /*  6 */ "El Archivo Se Borrará de Esta Máquina Después de Enviarlo.",
    /*  7 */ "Esta Maquina Se Usa Para Enviar E-Mails?",
    /*  8 */ "Favor Enviar el Archivo",
    /*  9 */ "a: " + std::string(kSupportAddress),
    /* 10 */ "Esta Aplicacion NO se Debe Rodar",
    /* 11 */ "Desde la Red!!!",
    /* 12 */ "Hay Que Copiar El Archivo ''smartvsd.vxd''",
    /* 13 */ "En la MISMA Carpeta Desde Donde Se Esta Rodando Esta Aplicacion: ",
    /* 14 */ "Hay que Copiar el Archivo ''smartvsd.vxd'' en:",
    /* 15 */ "\\iosubsys.",
    /* 16 */ "Luego que la Maquina Reinicie, Hay que Rodar Esta Aplicacion Nuevamente!!!",
    /* 17 */ "La Maquina Va a Reiniciarse y esta Aplicacion Deberia Arrancar Automaticamente.",
    /* 18 */ "Luego Hay que Rodar esta Aplicacion Nuevamente.",
    /* 19 */
    "Si esto NO Sucede, Hay que Reiniciar la Maquina y Rodar Esta Aplicacion Nuevamente!!!",
    /* 20 */ "Corvane Reinicio Automaticamente!",
    /* 21 */ "Continuemos.....",
    /* 22 */ "Abrimos el Outlook Express para Enviar el E-Mail?",
    /* 23 */ "",
    /* 24 */ "",
    /* 25 */ "",
};

const std::array<std::string, kTextCount> kPortuguese = {
    /*  0 */ "Sim",
    /*  1 */ "Não",
    /*  2 */ "Esta Aplicação Deve Ser Executada na Máquina Cuja Informação Vai Ser Enviada.",
    /*  3 */ "Você Está Trabalhando Nessa Máquina Agora?",
    /*  4 */ "O Arquivo Foi Carregado com Sucesso Para Ser Enviado por E-Mail.",
    /*  5 */ "Agora Vamos a Ativar o Outlook Express Para Enviar.",
    /*  6 */ "O Arquivo Será Apagado desta Máquina Depois de Enviado.",
    /*  7 */ "Esta Maquina e Usada Para Enviar E-Mails?",
    /*  8 */ "Favor Enviar o Arquivo",
    /*  9 */ "para: " + std::string(kSupportAddress),
    /* 10 */ "Esta Aplicacão NÃO se Debe Rodar",
    /* 11 */ "Desde a Rede!!!",
    /* 12 */ "Tem que Copiar o Arquivo ''smartvsd.vxd''",
    /* 13 */ "Na MESMA Pasta Onde Esta-se Rodando Esta Aplicação: ",
    /* 14 */ "Tem que Copiar o Arquivo ''smartvsd.vxd'' em:",
    /* 15 */ "\\iosubsys.",
    /* 16 */ "Logo que a Maquina Reiniciar, Tem que Rodar esta Aplicação Novamente!!!",
    /* 17 */ "A Maquina Vai a Reiniciar e esta Aplicação Deveria Rodar Automaticamente.",
    /* 18 */ "Logo Apos Tem que Rodar esta Aplicação Novamente.",
    /* 19 */
    "Se isto NÃO Acontece, Tem que Reiniciar a Maquina e Rodar esta Aplicação Novamente!!!",
    /* 20 */ "Corvane Reinicio Automaticamente!",
    /* 21 */ "Continuemos.....",
    /* 22 */ "Abrimos o Outlook Express para Enviar o E-Mail?",
    /* 23 */ "",
    /* 24 */ "",
    /* 25 */ "",
};

const std::array<std::string, kTextCount> kEnglish = {
    /*  0 */ "Yes",
    /*  1 */ "No",
    /*  2 */ "This Application Must Run on the Machine Whose Information Is to Be Sent.",
    /*  3 */ "Are You Working on That Machine Now?",
    /*  4 */ "The File Was Loaded Succesfully To Be Sent by E-Mail.",
    /*  5 */ "Now We Are to Activate Outlook Express To Send it.",
    /*  6 */ "The File Will Be Deleted from This Machine After It Is Sent.",
    /*  7 */ "Is This Machine Used to Send E-Mails?",
    /*  8 */ "Please Send File",
    /*  9 */ "to: " + std::string(kSupportAddress),
    /* 10 */ "This Application CANNOT Run",
    /* 11 */ "From the Network!!!",
    /* 12 */ "Copy ''smartvsd.vxd'' File",
    /* 13 */ "In The SAME Folder Where We Are Running This Application: ",
    /* 14 */ "Copy ''smartvsd.vxd'' File in:",
    /* 15 */ "\\iosubsys.",
    /* 16 */ "After the Machine Reboots, Run This Application Again!!!",
    /* 17 */ "The Computer is Going to Reboot and This Application Should Run Automatically.",
    /* 18 */ "Afterwards, Run this Application Again.",
    /* 19 */ "If This Does NOT Happen, Reboot the Machine and Run This Application Again!!!",
    /* 20 */ "Corvane Started Succesfully!",
    /* 21 */ "Let's Continue.....",
    /* 22 */ "Open Outlook Express to Send the E-Mail?",
    /* 23 */ "",
    /* 24 */ "",
    /* 25 */ "",
};
}  // namespace

namespace {

// The program's own messages, in the language of a LBLIDIOMA caption; `other` for a caption
// that names no language.
std::string InLanguage(const std::string& code, std::string es, std::string pt, std::string en,
                       const std::string& other) {
  switch (LanguageCode(code)) {
    case 1:
      return es;
    case 2:
      return pt;
    case 3:
      return en;
    default:
      return other;
  }
}

}  // namespace

std::string RestartRefusedText(const std::string& code) {
  const std::string es =
      "La Máquina No Pudo Reiniciarse Sola.\r¡Hay que Reiniciar la Máquina y Ejecutar Esta "
      "Aplicación Nuevamente!";
  return InLanguage(code, es,
                    "A Máquina Não Pôde Reiniciar Sozinha.\rReinicie a Máquina e Execute esta "
                    "Aplicação Novamente!",
                    "The Computer Could Not Reboot by Itself.\rReboot the Machine and Run This "
                    "Application Again!!!",
                    es);
}

std::string MailProgramHasItText(const std::string& code, const std::string& path) {
  const int language = LanguageCode(code);
  if (language == 2) {
    return std::string("Seu programa de e-mail mostra a mensagem para ") + kSupportAddress +
           " com o arquivo anexado.\rEla sai quando você a enviar por ele.\r\rO arquivo fica "
           "em:\r" +
           path;
  }
  if (language == 3) {
    return std::string("Your mail program shows the message to ") + kSupportAddress +
           " with the file attached.\rIt leaves when you send it there.\r\rThe file stays "
           "in:\r" +
           path;
  }
  return std::string("Su programa de correo muestra el mensaje para ") + kSupportAddress +
         " con el archivo adjunto.\rSale cuando usted lo envíe desde allí.\r\rEl archivo queda "
         "en:\r" +
         path;
}

std::string ReportInMailText(const std::string& code, const std::string& path) {
  const std::string to = kSupportAddress;
  return InLanguage(
      code,
      "Su programa de correo muestra un mensaje para " + to +
          " con el informe en su texto.\rSolo sale cuando usted pulse Enviar allí.\rSi no "
          "apareció ningún mensaje, envíe el archivo usted mismo.\r\rEl archivo queda en:\r" +
          path,
      "Seu programa de e-mail mostra uma mensagem para " + to +
          " com o relatório no texto.\rEla só sai quando você clicar em Enviar nele.\rSe "
          "nenhuma mensagem apareceu, envie o arquivo você mesmo.\r\rO arquivo fica em:\r" +
          path,
      "Your mail program shows a message to " + to +
          " with the report in its text.\rIt leaves only when you press Send there.\rIf no "
          "message came up, send the file yourself.\r\rThe file stays in:\r" +
          path,
      "Su programa de correo muestra un mensaje para " + to +
          " con el informe en su texto.\rSolo sale cuando usted pulse Enviar allí.\rSi no "
          "apareció ningún mensaje, envíe el archivo usted mismo.\r\rEl archivo queda en:\r" +
          path);
}

std::string ReportMailWords(const std::string& code, const std::vector<std::string>& values) {
  struct Words {
    const char* intro;
    std::array<const char*, 5> labels;
    const char* send;
  };
  static const Words kEs{
      "Este mensaje envía a soporte (%s) la información de esta computadora:",
      {"Número de serie del disco", "Número de serie del volumen", "Nombre de la computadora",
       "Identificador del producto", "Nombre de usuario"},
      "Por favor, pulse Enviar. Las líneas de abajo llevan lo mismo para soporte: no las cambie."};
  static const Words kPt{
      "Esta mensagem envia ao suporte (%s) as informações deste computador:",
      {"Número de série do disco", "Número de série do volume", "Nome do computador",
       "Identificação do produto", "Nome do usuário"},
      "Por favor, clique em Enviar. As linhas abaixo levam o mesmo para o suporte: não as "
      "altere."};
  static const Words kEn{
      "This message sends support (%s) the information of this computer:",
      {"Disk serial number", "Volume serial number", "Computer name", "Product ID", "User name"},
      "Please press Send. The lines below carry the same for support: leave them as they are."};
  const int language = LanguageCode(code);
  const Words& w = language == 2 ? kPt : language == 3 ? kEn : kEs;
  std::string intro = w.intro;
  intro.replace(intro.find("%s"), 2, kSupportAddress);
  std::string text = intro + "\n";
  for (size_t i = 0; i < values.size() && i < w.labels.size(); ++i) {
    text += std::string(w.labels[i]) + ": " + values[i] + "\n";
  }
  return text + "\n" + w.send + "\n";
}

std::string MailBodyText(const std::string& code, const std::string& file_name,
                         const std::string& computer) {
  const int language = LanguageCode(code);
  if (language == 2) {
    return "O arquivo anexo " + file_name + "\ncontém as informações do computador " + computer +
           ".\n";
  }
  if (language == 3) {
    return "The attached file " + file_name + "\nholds the machine information of the computer " +
           computer + ".\n";
  }
  return "El archivo adjunto " + file_name + "\ncontiene la información de la computadora " +
         computer + ".\n";
}

const std::array<std::string, kTextCount>& LanguageTexts(int code) {
  switch (code) {
    case 2:
      return kPortuguese;
    case 3:
      return kEnglish;
    default:
      return kSpanish;
  }
}

std::string RunValueStaysText(const std::string& code, long status) {
  const std::string key = std::string("HKEY_LOCAL_MACHINE\\") + kRunKey;
  const std::string number = std::to_string(status);
  const bool denied = status == kErrorAccessDenied, back = status == kErrorSuccess;
  const std::string en =
      "the value " + std::string(kRunValueName) + " under " + key + " cannot be removed (" +
      (denied ? "access is denied"
       : back ? "it came back"
              : "error " + number) +
      "), so Corvane would start at every logon; remove it with the rights of whoever ran "
      "Corvane before the restart";
  return InLanguage(
      code,
      "no se puede borrar el valor " + std::string(kRunValueName) + " de " + key + " (" +
          (denied ? "acceso denegado"
           : back ? "volvió a aparecer"
                  : "error " + number) +
          "), y Corvane se iniciaría en cada inicio de sesión; bórrelo con los permisos de "
          "quien ejecutó Corvane antes del reinicio",
      "não é possível remover o valor " + std::string(kRunValueName) + " de " + key + " (" +
          (denied ? "acesso negado"
           : back ? "ele voltou"
                  : "erro " + number) +
          "), e o Corvane iniciaria a cada início de sessão; remova-o com as permissões de "
          "quem executou o Corvane antes da reinicialização",
      en, en);
}

std::string CannotGoOnText(const std::string& code) {
  return InLanguage(code, "Corvane no puede continuar: ", "O Corvane não pode continuar: ",
                    "Corvane cannot go on: ", "Corvane cannot go on: ");
}

std::string HiddenControlHint(const std::string& code) {
  const std::string en = "That control is not on the screen now.";
  return InLanguage(code, "Ese control no está en la pantalla ahora.",
                    "Esse controle não está na tela agora.", en, en);
}

std::string UnknownCommandHint(const std::string& code) {
  const std::string en = "Unknown command; use es, pt, en, ok, yes, no, cancel or close.";
  return InLanguage(code, "Comando desconocido; use es, pt, en, ok, si, no, cancel o close.",
                    "Comando desconhecido; use es, pt, en, ok, sim, não, cancel ou close.", en, en);
}

std::string AnswerYesOrNoHint(const std::string& code) {
  return InLanguage(code, "Responda sí o no.", "Responda sim ou não.", "Answer yes or no.",
                    "Answer yes or no.");
}

std::string CopyCommandText(const std::string& code) {
  return InLanguage(code, "Copiar", "Copiar", "Copy", "Copy");
}

int LanguageCode(const std::string& caption) {
  const std::optional<double> n = ParseNumber(caption);
  return n && (*n == 1 || *n == 2 || *n == 3) ? static_cast<int>(*n) : 0;
}

}  // namespace corvane
