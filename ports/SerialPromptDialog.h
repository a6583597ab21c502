// The baud prompt before the serial search: "&Yes" ends with 0x1200 plus the chosen rate's
// index, "&No", Esc and the close box with 0xCCCC.
#pragma once

#include <array>

#include "platform/Window.h"

class SerialPromptDialog : public ui::Dialog {
  public:
    // The combo box's rates, by index; the prompt opens on 19200.
    static constexpr std::array<int, 9> kBaudRates = {300,   1200,  2400,  4800,  9600,
                                                      19200, 38400, 57600, 115200};
    static constexpr int kDefaultIndex = 5;

    explicit SerialPromptDialog(ui::WindowHandle owner);

    ui::ComboBox baudCombo;

  protected:
    bool OnInitDialog() override;
    void DoDataExchange(ui::DataExchange& dx) override;
    bool OnCommand(int id, int code) override;
    void OnCancel() override;
};
