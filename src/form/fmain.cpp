#include "form/fmain.h"

#include "form/layout.h"

namespace corvane {

namespace {

Control Make(const char* name, ControlKind kind, int left, int top, int width, int height,
             bool visible) {
  Control c;
  c.name = name;
  c.kind = kind;
  c.left = left;
  c.top = top;
  c.width = width;
  c.height = height;
  c.visible = visible;
  return c;
}

Control HiddenLabel(const char* name, int left) {
  return Make(name, ControlKind::kLabel, left, 0, 310, 310, false);
}

Control OptionButton(const char* name, int top, const char* caption, uint32_t text_colour) {
  Control c = Make(name, ControlKind::kOptionButton, 2100, top, 3010, 560, true);
  c.caption = caption;
  c.font = {"Arial", 24, true};
  c.fore_color = text_colour;
  c.back_color = kPaleYellow;
  return c;
}

Control ButtonFace(const char* name, int left, const char* caption, int points) {
  Control c = Make(name, ControlKind::kLabel, left, 2880, 1870, 610, true);
  c.caption = caption;
  c.font = {"Arial", points, true};
  c.centred = true;
  c.transparent = true;
  c.fore_color = kWhite;
  return c;
}

Control ButtonBody(const char* name, int left, uint32_t fill) {
  Control c = Make(name, ControlKind::kShape, left, 2820, 1870, 730, true);
  c.rounded = true;
  c.fill_color = fill;
  return c;
}

Control Frame(const char* name, int left, int top, int width, int height) {
  Control c = Make(name, ControlKind::kFrame, left, top, width, height, true);
  c.back_color = kPaleYellow;
  return c;
}

}  // namespace

FMain::FMain()
    : caption(kFormCaption),
      client_width(7090),
      client_height(3790),
      back_color(kPaleYellow),
      Frame2(Frame("Frame2", 420, 2760, 490, 370)),
      OBESP(OptionButton("OBESP", 720, "Español", 0xFF0000)),
      OBENG(OptionButton("OBENG", 1920, "English", 0x0000FF)),
      OBPOR(OptionButton("OBPOR", 1320, "Português", 0x00C000)),
      Frame1(Frame("Frame1", 1860, 420, 3370, 2170)),
      LBMENSAJES(Make("LBMENSAJES", ControlKind::kListBox, 300, 0, 310, 240, false)),
      LBLABELS(Make("LBLABELS", ControlKind::kListBox, 0, 0, 310, 240, false)),
      CBCancel(Make("CBCancel", ControlKind::kCommandButton, 660, 2820, 130, 190, true)),
      LBLOK(ButtonFace("LBLOK", 2640, "OK", 28)),
      SHOK(ButtonBody("SHOK", 2640, kOkRed)),
      LBLNO(ButtonFace("LBLNO", 3600, "NO", 26)),
      SHNO(ButtonBody("SHNO", 3600, kNoRed)),
      LBLYES(ButtonFace("LBLYES", 1620, "YES", 26)),
      SHYES(ButtonBody("SHYES", 1620, kYesGreen)),
      LBLTWP(HiddenLabel("LBLTWP", 1800)),
      LBLFILENAMEONLY(HiddenLabel("LBLFILENAMEONLY", 1500)),
      LBLFILENAME(HiddenLabel("LBLFILENAME", 1200)),
      LBLSTAGE(HiddenLabel("LBLSTAGE", 900)),
      LBLIDIOMA(HiddenLabel("LBLIDIOMA", 600)),
      LBLMSG(Make("LBLMSG", ControlKind::kLabel, 120, 120, 6850, 2130, true)) {
  CBCancel.caption = "Cancel";
  CBCancel.font = {"MS Sans Serif", 8, false};
  CBCancel.fore_color = kButtonText;
  CBCancel.back_color = kButtonFace;
  LBLMSG.font = {"Arial", 24, true};
  LBLMSG.centred = true;
  LBLMSG.back_color = kPaleYellow;
}

std::vector<Control*> FMain::Controls() {
  return {&Frame2,   &OBESP,           &OBENG,       &OBPOR,    &Frame1,    &LBMENSAJES, &LBLABELS,
          &CBCancel, &LBLOK,           &SHOK,        &LBLNO,    &SHNO,      &LBLYES,     &SHYES,
          &LBLTWP,   &LBLFILENAMEONLY, &LBLFILENAME, &LBLSTAGE, &LBLIDIOMA, &LBLMSG};
}

void FMain::ShowOkOrYesNo(bool ok) {
  LBLOK.visible = SHOK.visible = ok;
  LBLYES.visible = SHYES.visible = !ok;
  LBLNO.visible = SHNO.visible = !ok;
}

void FMain::ClearAndHideOptions() {
  for (Control* option : {&OBESP, &OBPOR, &OBENG}) {
    option->selected = false;
    option->visible = false;
  }
}

void FMain::SelectOption(Control& option) {
  for (Control* c : {&OBESP, &OBENG, &OBPOR}) c->selected = (c == &option);
}

std::string FMain::Entry(size_t index) const {
  return index < LBLABELS.items.size() ? LBLABELS.items[index] : std::string();
}

}  // namespace corvane
