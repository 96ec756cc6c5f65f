// The fixed colours and caption of the form's design (0x00BBGGRR).
#pragma once

#include <cstdint>

namespace corvane {

inline constexpr const char* kFormCaption = "Lumbrook";
// The program's own title: message boxes without a title of their own carry it.
inline constexpr const char* kProgramTitle = "Corvane";

constexpr uint32_t kPaleYellow = 0xC0FFFF;
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kRefusalRed = 0x0000FF;
constexpr uint32_t kYesGreen = 0x00FF00;
constexpr uint32_t kNoRed = 0x0000FF;
constexpr uint32_t kOkRed = 0x0000C0;
// The system's default button colours.
constexpr uint32_t kButtonFace = 0xF0F0F0;
constexpr uint32_t kButtonText = 0x000000;

}  // namespace corvane
