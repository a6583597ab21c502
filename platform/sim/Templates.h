// The dialog templates of res/Dialogs.inc as tables for the simulated window layer.
#pragma once

#include <vector>

namespace sim {

struct ControlTemplate {
    const char* text;
    int id;
    const char* className;
    unsigned style;
};

struct DialogTemplate {
    int id;
    const char* caption;
    unsigned style;
    std::vector<ControlTemplate> controls;
};

const DialogTemplate* FindTemplate(int id);

namespace style {
constexpr unsigned Disabled = 0x08000000;
constexpr unsigned Visible = 0x10000000;
constexpr unsigned ButtonTypeMask = 0xF;
constexpr unsigned DefPushButton = 0x1;
constexpr unsigned AutoCheckBox = 0x3;
constexpr unsigned GroupBox = 0x7;
constexpr unsigned ListSingleSel = 0x4;
}  // namespace style

}  // namespace sim
