// Splitting and reading the command line; every option is checked before anything runs.
#include "app/CommandLine.h"

#include <algorithm>
#include <cctype>
#include <iterator>

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

namespace {

// One option of the line: whether a value follows it, and what it sets. A new action (another
// mode beside /quiet) is one row here and its check in Settle.
struct Option {
    const char* name;
    bool takesValue;
    // Sets the line from the value; an error when the value is not one the option takes.
    std::string (*apply)(CommandLine& line, const std::string& value);
};

const Option kOptions[] = {
    {"/quiet", false,
     [](CommandLine& line, const std::string&) {
         line.quiet = true;
         return std::string();
     }},
    {"/model", true,
     [](CommandLine& line, const std::string& value) {
         line.options.model = value;
         return std::string();
     }},
    {"/name", true,
     [](CommandLine& line, const std::string& value) {
         line.options.printerName = value;
         return std::string();
     }},
    {"/port", true,
     [](CommandLine& line, const std::string& value) {
         const std::string lower = Lower(value);
         line.options.port = lower == "usb" || lower == "serial" ? lower : value;
         return std::string();
     }},
    {"/baud", true,
     [](CommandLine& line, const std::string& value) {
         const auto& rates = SerialPromptDialog::kBaudRates;
         line.options.baudRate = Number(value);
         return std::find(rates.begin(), rates.end(), line.options.baudRate) == rates.end()
                    ? "The baud rate " + value + " is not one the serial search offers."
                    : std::string();
     }},
    {"/default", true,
     [](CommandLine& line, const std::string& value) {
         const std::string lower = Lower(value);
         line.options.setDefault = lower == "yes";
         return lower == "yes" || lower == "no" ? std::string()
                                                : "/default takes yes or no, not " + value + ".";
     }},
    {"/log", true,
     [](CommandLine& line, const std::string& value) {
         line.logPath = value;
         return std::string();
     }},
    {"/repair", false,
     [](CommandLine& line, const std::string&) {
         line.repair = true;
         return std::string();
     }},
    {"/remove", true,
     [](CommandLine& line, const std::string& value) {
         line.remove = true;
         line.removeName = value;
         return std::string();
     }},
};

const Option* Find(const std::string& name) {
    const auto it = std::find_if(std::begin(kOptions), std::end(kOptions),
                                 [&](const Option& o) { return name == o.name; });
    return it == std::end(kOptions) ? nullptr : it;
}

bool Given(const std::vector<std::string>& seen, const char* option) {
    return std::find(seen.begin(), seen.end(), option) != seen.end();
}

// What the options ask together, once each has been read: the error, or empty.
std::string Settle(const CommandLine& line, const std::vector<std::string>& seen) {
    if (line.repair && line.remove) {
        return "/repair and /remove are two actions: give one.";
    }
    if (line.repair || line.remove) {
        const char* action = line.repair ? "/repair" : "/remove";
        const bool other = std::any_of(seen.begin(), seen.end(), [&](const std::string& o) {
            return o != action && o != "/log" && (line.repair || o != "/quiet");
        });
        return other ? std::string(action) +
                           (line.repair ? " takes only /log." : " takes only /quiet and /log.")
                     : std::string();
    }
    const bool installOption =
        std::any_of(seen.begin(), seen.end(), [](const std::string& o) { return o != "/log"; });
    if (!line.quiet && installOption) {
        return "The installation options need /quiet.";
    }
    if (line.quiet && line.options.model.empty()) {
        return "/quiet needs /model.";
    }
    if (line.quiet && line.options.port.empty()) {
        return "/quiet needs /port.";
    }
    if (Given(seen, "/baud") && line.options.port != "serial") {
        return "/baud applies to /port serial only.";
    }
    return std::string();
}

}  // namespace

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
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string name = Lower(args[i]);
        if (name == "/?") {
            line.error = "usage";
            return line;
        }
        if (Given(seen, name.c_str())) {
            line.error = "The option " + name + " is given twice.";
            return line;
        }
        seen.push_back(name);
        const Option* option = Find(name);
        if (option == nullptr) {
            line.error = "Unknown option: " + args[i];
            return line;
        }
        std::string value;
        if (option->takesValue) {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                line.error = "The option " + name + " needs a value.";
                return line;
            }
            value = args[++i];
        }
        line.error = option->apply(line, value);
        if (!line.error.empty()) {
            return line;
        }
    }
    line.error = Settle(line, seen);
    return line;
}

const char* UsageText() {
    return "Thermal Driver Setup\r\n"
           "\r\n"
           "DriverInstaller.exe [/log FILE]\r\n"
           "DriverInstaller.exe /quiet /model \"DISPLAY NAME\" /port usb|serial|PORT\r\n"
           "                    [/name \"PRINTER NAME\"] [/baud N] [/default yes|no] [/log "
           "FILE]\r\n"
           "DriverInstaller.exe /remove \"PRINTER NAME\" [/quiet] [/log FILE]\r\n"
           "DriverInstaller.exe /repair [/log FILE]\r\n"
           "\r\n"
           "  /quiet    install without any window, from the options that follow\r\n"
           "  /model    the driver's display name, as in the driver list (required)\r\n"
           "  /port     usb, serial, or an existing port's name such as LPT1: (required)\r\n"
           "  /name     the printer's name (default: the display name)\r\n"
           "  /baud     the serial search's rate: 300, 1200, 2400, 4800, 9600, 19200, 38400,\r\n"
           "            57600 or 115200 (default 19200)\r\n"
           "  /default  yes or no: make it the default printer (default yes)\r\n"
           "  /log      the log file (default %TEMP%\\ThermalDriverSetup.log)\r\n"
           "  /remove   removes the printer, and its driver and monitor when nothing else uses "
           "them\r\n"
           "  /repair   gives printers a killed serial search left on LPT1: their ports back\r\n"
           "\r\n"
           "Exit codes: 0 installed (removed, repaired), 87 bad command line, 1602 given up,\r\n"
           "1603 failed, 1605 no such printer (/remove), 1618 another installation is running.\r\n";
}
