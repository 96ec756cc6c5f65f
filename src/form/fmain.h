// The form as plain data: every control with its caption, visibility, selection,
// colours (0x00BBGGRR), font and position in twips. Faces draw it; handlers change it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace corvane {

enum class Text : size_t;  // form/texts.h

enum class ControlKind { kLabel, kListBox, kOptionButton, kShape, kFrame, kCommandButton };

struct Font {
  std::string name = "Arial";
  int size = 8;
  bool bold = false;
};

struct Control {
  std::string name;
  ControlKind kind = ControlKind::kLabel;
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool visible = true;
  std::string caption;
  uint32_t fore_color = 0;
  uint32_t back_color = 0;
  bool transparent = false;  // labels drawn over a shape let its colour through
  bool centred = false;
  Font font;
  bool selected = false;           // option buttons
  std::vector<std::string> items;  // list boxes, index 0 first
  bool rounded = false;            // shapes
  uint32_t fill_color = 0;         // shapes
};

struct FMain {
  FMain();
  FMain(const FMain&) = delete;
  FMain& operator=(const FMain&) = delete;

  std::string caption;
  int client_width = 0;   // twips
  int client_height = 0;  // twips
  uint32_t back_color = 0;
  bool visible = false;
  bool loaded = false;  // unloaded forms take no clicks and draw nothing

  // In the form's order.
  Control Frame2;
  Control OBESP;
  Control OBENG;
  Control OBPOR;
  Control Frame1;
  Control LBMENSAJES;
  Control LBLABELS;
  Control CBCancel;
  Control LBLOK;
  Control SHOK;
  Control LBLNO;
  Control SHNO;
  Control LBLYES;
  Control SHYES;
  Control LBLTWP;
  Control LBLFILENAMEONLY;
  Control LBLFILENAME;
  Control LBLSTAGE;
  Control LBLIDIOMA;
  Control LBLMSG;

  // Every control, in the form's order.
  std::vector<Control*> Controls();
  // OK alone, or Yes with No; a button's label and shape always go together.
  void ShowOkOrYesNo(bool ok);
  // Clears the three language option buttons and hides them.
  void ClearAndHideOptions();
  // Selects one option button and clears the others of the group.
  void SelectOption(Control& option);
  // The entry of LBLABELS at `index`, or "" when the list is shorter.
  std::string Entry(size_t index) const;
  std::string Entry(Text text) const { return Entry(static_cast<size_t>(text)); }
};

// Carriage return: breaks the line in LBLMSG.
inline constexpr char kCr = '\r';

}  // namespace corvane
