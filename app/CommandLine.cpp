// Splitting and reading the command line; every option is checked before anything runs.
#include "app/CommandLine.h"

#include <algorithm>
#include <cctype>

#include "ports/SerialPromptDialog.h"

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    return text;
}

// A decimal number without sign; -1 otherwise.
int Number(const std::string& text) {
    if (text.empty() || text.size() > 7 ||
        !std::all_of(text.begin(), text.end(), [](unsigned char ch) { return std::isdigit(ch); })) {
        return -1;
    }
    return std::stoi(text);
}

}  // namespace

std::vector<std::string> SplitArguments(const std::string& arguments) {
    std::vector<std::string> out;
    size_t i = 0;
    const size_t n = arguments.size();
    while (true) {
        while (i < n && (arguments[i] == ' ' || arguments[i] == '\t')) {
            ++i;
        }
        if (i >= n) {
            return out;
        }
        std::string arg;
        bool quoted = false;
        for (; i < n && (quoted || (arguments[i] != ' ' && arguments[i] != '\t')); ++i) {
            size_t slashes = 0;
            while (i < n && arguments[i] == '\\') {
                ++slashes;
                ++i;
            }
            if (i < n && arguments[i] == '"') {
                arg.append(slashes / 2, '\\');
                if (slashes % 2 == 1) {
                    arg += '"';
                } else if (quoted && i + 1 < n && arguments[i + 1] == '"') {
                    arg += '"';  // "" inside quotes is one quote, and the quotes go on
                    ++i;
                } else {
                    quoted = !quoted;
                }
                continue;
            }
            arg.append(slashes, '\\');
            if (i >= n) {
                break;
            }
            if (!quoted && (arguments[i] == ' ' || arguments[i] == '\t')) {
                break;
            }
            arg += arguments[i];
        }
        out.push_back(arg);
    }
}

CommandLine ParseCommandLine(const std::string& arguments) {
    CommandLine line;
    const auto args = SplitArguments(arguments);
    // The log goes where asked even when another option is wrong: that is where its reason is.
    for (size_t i = 0; i + 1 < args.size(); ++i) {
        if (Lower(args[i]) == "/log") {
            line.logPath = args[i + 1];
        }
    }
    std::vector<std::string> seen;
    bool baudGiven = false;
    for (size_t i = 0; i < args.size() && line.error.empty(); ++i) {
        const std::string option = Lower(args[i]);
        if (option == "/?") {
            line.error = "usage";
            break;
        }
        if (std::find(seen.begin(), seen.end(), option) != seen.end()) {
            line.error = "The option " + option + " is given twice.";
            break;
        }
        seen.push_back(option);
        if (option == "/quiet") {
            line.quiet = true;
            continue;
        }
        const bool takesValue = option == "/model" || option == "/name" || option == "/port" ||
                                option == "/baud" || option == "/default" || option == "/log";
        if (!takesValue) {
            line.error = "Unknown option: " + args[i];
            break;
        }
        if (i + 1 >= args.size() || args[i + 1].empty()) {
            line.error = "The option " + option + " needs a value.";
            break;
        }
        const std::string& value = args[++i];
        if (option == "/model") {
            line.options.model = value;
        } else if (option == "/name") {
            line.options.printerName = value;
        } else if (option == "/port") {
            const std::string lower = Lower(value);
            line.options.port = lower == "usb" || lower == "serial" ? lower : value;
        } else if (option == "/baud") {
            const auto& rates = SerialPromptDialog::kBaudRates;
            const int rate = Number(value);
            if (std::find(rates.begin(), rates.end(), rate) == rates.end()) {
                line.error = "The baud rate " + value + " is not one the serial search offers.";
            }
            line.options.baudRate = rate;
            baudGiven = true;
        } else if (option == "/default") {
            const std::string lower = Lower(value);
            if (lower != "yes" && lower != "no") {
                line.error = "/default takes yes or no, not " + value + ".";
            }
            line.options.setDefault = lower == "yes";
        } else {
            line.logPath = value;
        }
    }
    if (!line.error.empty()) {
        return line;
    }
    const bool unattendedOption =
        std::any_of(seen.begin(), seen.end(), [](const std::string& o) { return o != "/log"; });
    if (!line.quiet && unattendedOption) {
        line.error = "The installation options need /quiet.";
    } else if (line.quiet && line.options.model.empty()) {
        line.error = "/quiet needs /model.";
    } else if (line.quiet && line.options.port.empty()) {
        line.error = "/quiet needs /port.";
    } else if (baudGiven && line.options.port != "serial") {
        line.error = "/baud applies to /port serial only.";
    }
    return line;
}

const char* UsageText() {
    return "Thermal Driver Setup\r\n"
           "\r\n"
           "DriverInstaller.exe [/log FILE]\r\n"
           "DriverInstaller.exe /quiet /model \"DISPLAY NAME\" /port usb|serial|PORT\r\n"
           "                    [/name \"PRINTER NAME\"] [/baud N] [/default yes|no] [/log "
           "FILE]\r\n"
           "\r\n"
           "  /quiet    install without any window, from the options that follow\r\n"
           "  /model    the driver's display name, as in the driver list (required)\r\n"
           "  /port     usb, serial, or an existing port's name such as LPT1: (required)\r\n"
           "  /name     the printer's name (default: the display name)\r\n"
           "  /baud     the serial search's rate: 300, 1200, 2400, 4800, 9600, 19200, 38400,\r\n"
           "            57600 or 115200 (default 19200)\r\n"
           "  /default  yes or no: make it the default printer (default yes)\r\n"
           "  /log      the log file (default %TEMP%\\ThermalDriverSetup.log)\r\n"
           "\r\n"
           "Exit codes: 0 installed, 87 bad command line, 1602 given up, 1603 failed,\r\n"
           "1618 another installation is running.\r\n";
}
