// Expands the shared template list with the Win32 style values, as windres would see them.
#include "platform/sim/Templates.h"

#include "res/resource.h"

namespace sim {
namespace {

constexpr unsigned WS_POPUP = 0x80000000;
constexpr unsigned WS_CHILD = 0x40000000;
constexpr unsigned WS_VISIBLE = 0x10000000;
constexpr unsigned WS_DISABLED = 0x08000000;
constexpr unsigned WS_CAPTION = 0x00C00000;
constexpr unsigned WS_BORDER = 0x00800000;
constexpr unsigned WS_VSCROLL = 0x00200000;
constexpr unsigned WS_SYSMENU = 0x00080000;
constexpr unsigned WS_MINIMIZEBOX = 0x00020000;
constexpr unsigned WS_TABSTOP = 0x00010000;
constexpr unsigned DS_MODALFRAME = 0x80;
constexpr unsigned DS_CENTER = 0x800;
constexpr unsigned SS_LEFT = 0x0;
constexpr unsigned ES_AUTOHSCROLL = 0x80;
constexpr unsigned CBS_DROPDOWNLIST = 0x3;
constexpr unsigned BS_PUSHBUTTON = 0x0;
constexpr unsigned BS_DEFPUSHBUTTON = 0x1;
constexpr unsigned BS_AUTOCHECKBOX = 0x3;
constexpr unsigned BS_GROUPBOX = 0x7;
constexpr unsigned LVS_REPORT = 0x1;
constexpr unsigned LVS_SINGLESEL = 0x4;
constexpr unsigned LVS_SHOWSELALWAYS = 0x8;
constexpr int IDCANCEL = 2;

#define DIALOG(id, x, y, cx, cy, caption, style) \
    {                                            \
        id, caption, style, {
#define CTRL(text, id, cls, style, x, y, cx, cy) {text, id, cls, style},
#define END_DIALOG() \
    }                \
    }                \
    ,

const std::vector<DialogTemplate> kTemplates = {
#include "res/Dialogs.inc"
};

#undef DIALOG
#undef CTRL
#undef END_DIALOG

static_assert(style::Disabled == WS_DISABLED && style::Visible == WS_VISIBLE);
static_assert(style::DefPushButton == BS_DEFPUSHBUTTON && style::GroupBox == BS_GROUPBOX);
static_assert(style::AutoCheckBox == BS_AUTOCHECKBOX && style::ListSingleSel == LVS_SINGLESEL);

}  // namespace

const DialogTemplate* FindTemplate(int id) {
    for (const auto& t : kTemplates) {
        if (t.id == id) {
            return &t;
        }
    }
    return nullptr;
}

}  // namespace sim
