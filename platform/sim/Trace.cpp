// The recording of platform calls and user-visible effects (Trace.h).
#include "platform/sim/Trace.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/Registry.h"
#include "platform/Security.h"
#include "platform/Serial.h"
#include "platform/Service.h"
#include "platform/Spooler.h"
#include "platform/sim/Machine.h"

namespace sim::trace {

std::atomic<bool> recording{false};

namespace {

// A last error no call sets: the call left it alone when it is still there at the end.
constexpr sys::Dword kUntouched = 0x7E57C0DE;

struct Record {
    std::mutex mu;
    std::map<int, std::vector<std::string>> lines;  // by thread tag
    std::map<std::pair<Kind, const void*>, std::string> names;
    std::map<std::pair<int, std::string>, int> ordinals;
    std::atomic<int> threads{0};
    int base = 0;  // threads made before the recording started
};

Record& R() {
    static Record record;
    return record;
}

thread_local int threadTag = 0;
thread_local int depth = 0;  // recorded calls running on this thread

std::string Tag(int tag) {
    return tag == 0 ? "dialog" : "t" + std::to_string(tag - R().base);
}

}  // namespace

void Start() {
    std::vector<std::pair<std::pair<Kind, const void*>, std::string>> modules;
    {
        std::lock_guard lock(detail::M().mu);
        for (const auto& [name, record] : detail::M().modules) {
            modules.push_back({{Kind::Module, &record}, Q(name)});
        }
    }
    {
        std::lock_guard lock(R().mu);
        R().lines.clear();
        R().names.clear();
        R().ordinals.clear();
        R().base = R().threads;
        R().names[{Kind::Key, sys::HkeyLocalMachine()}] = "HKLM";
        R().names[{Kind::Key, sys::HkeyCurrentUser()}] = "HKCU";
        R().names[{Kind::Key, sys::HkeyCurrentConfig()}] = "HKCC";
        R().names.insert(modules.begin(), modules.end());
        recording = true;
    }
    detail::NameOpenWindows();
}

std::vector<std::string> Stop() {
    recording = false;
    std::lock_guard lock(R().mu);
    std::vector<std::string> all;
    for (auto& [tag, lines] : R().lines) {
        for (auto& line : lines) {
            all.push_back(Tag(tag) + " " + line);
        }
    }
    R().lines.clear();
    R().names.clear();
    return all;
}

void Call::Begin(const char* name, std::string args, bool byLastError) {
    if (depth > 0) {
        return;  // made by a recorded call, not by the logic
    }
    byLastError_ = byLastError;
    if (byLastError_) {
        ++depth;
        saved_ = sys::GetLastError();
        sys::SetLastError(kUntouched);
    }
    std::lock_guard lock(R().mu);
    auto& lines = R().lines[threadTag];
    index_ = static_cast<int>(lines.size());
    lines.push_back(std::string(name) + "(" + args + ")");
}

sys::Dword Call::Code(sys::Dword code) {
    if (index_ >= 0) {
        result_ = code == 0 ? "ok" : "error " + std::to_string(code);
    }
    return code;
}

void Call::Result(const std::string& text) {
    if (index_ >= 0) {
        result_ = text;
    }
}

void Call::End() {
    if (byLastError_) {
        --depth;
        const sys::Dword error = sys::GetLastError();
        if (error == kUntouched) {
            sys::SetLastError(saved_);
        }
        if (result_.empty()) {
            result_ = error == kUntouched || error == 0 ? "ok" : "error " + std::to_string(error);
        }
    }
    std::string out = out_ ? out_() : std::string();
    std::lock_guard lock(R().mu);
    auto& line = R().lines[threadTag][static_cast<std::size_t>(index_)];
    if (!result_.empty()) {
        line += " -> " + result_;
    }
    if (!out.empty()) {
        line += (result_.empty() ? " -> " : " ") + out;
    }
}

std::string Q(const char* text) {
    return text == nullptr ? "null" : Q(std::string(text));
}

std::string Q(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        char buffer[8];
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '"') {
            out += "\\\"";
        } else if (c < 0x20 || c >= 0x7F) {
            std::snprintf(buffer, sizeof buffer, "\\x%02X", c);
            out += buffer;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string Hex(sys::Dword value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%X", static_cast<unsigned>(value));
    return buffer;
}

std::string Bytes(const void* data, sys::Dword size) {
    return data == nullptr ? "null" : Q(std::string(static_cast<const char*>(data), size));
}

std::string H(Kind kind, const void* handle) {
    if (handle == nullptr) {
        return "null";
    }
    std::lock_guard lock(R().mu);
    auto it = R().names.find({kind, handle});
    return it == R().names.end() ? "?" : it->second;
}

void NameAs(Kind kind, const void* handle, const std::string& name) {
    std::lock_guard lock(R().mu);
    R().names[{kind, handle}] = name;
}

std::string Ordinal(const char* kind) {
    std::lock_guard lock(R().mu);
    const int n = ++R().ordinals[{threadTag, kind}];
    return std::string(kind) + " " + Tag(threadTag) + "." + std::to_string(n);
}

namespace {
std::string D(sys::Dword value) {
    return std::to_string(value);
}
// "name=value" pairs in braces.
std::string Fields(std::initializer_list<std::pair<const char*, std::string>> fields) {
    std::string out = "{";
    for (const auto& [name, value] : fields) {
        out += (out.size() > 1 ? " " : "") + std::string(name) + "=" + value;
    }
    return out + "}";
}
std::string MultiSz(const char* list) {
    if (list == nullptr) {
        return "null";
    }
    std::string out = "[";
    for (const char* p = list; *p != '\0'; p += std::strlen(p) + 1) {
        out += (out.size() > 1 ? " " : "") + Q(p);
    }
    return out + "]";
}
std::string Set(const void* p) {
    return p == nullptr ? "null" : "set";
}
}  // namespace

std::string Of(const sys::COMMTIMEOUTS* t) {
    if (t == nullptr) {
        return "null";
    }
    return Fields({{"interval", D(t->ReadIntervalTimeout)},
                   {"readMultiplier", D(t->ReadTotalTimeoutMultiplier)},
                   {"readConstant", D(t->ReadTotalTimeoutConstant)},
                   {"writeMultiplier", D(t->WriteTotalTimeoutMultiplier)},
                   {"writeConstant", D(t->WriteTotalTimeoutConstant)}});
}

std::string Of(const sys::DCB* d) {
    if (d == nullptr) {
        return "null";
    }
    return Fields({{"baud", D(d->BaudRate)},
                   {"byteSize", D(d->ByteSize)},
                   {"parity", D(d->Parity)},
                   {"stopBits", D(d->StopBits)},
                   {"fBinary", D(d->fBinary)},
                   {"fParity", D(d->fParity)},
                   {"cts", D(d->fOutxCtsFlow)},
                   {"dsr", D(d->fOutxDsrFlow)},
                   {"dtr", D(d->fDtrControl)},
                   {"dsrSensitivity", D(d->fDsrSensitivity)},
                   {"outX", D(d->fOutX)},
                   {"inX", D(d->fInX)},
                   {"rts", D(d->fRtsControl)},
                   {"abortOnError", D(d->fAbortOnError)},
                   {"evtChar", D(static_cast<unsigned char>(d->EvtChar))}});
}

std::string Of(const sys::DRIVER_INFO_3* i) {
    if (i == nullptr) {
        return "null";
    }
    return Fields({{"version", D(i->cVersion)},
                   {"name", Q(i->pName)},
                   {"environment", Q(i->pEnvironment)},
                   {"driver", Q(i->pDriverPath)},
                   {"data", Q(i->pDataFile)},
                   {"config", Q(i->pConfigFile)},
                   {"help", Q(i->pHelpFile)},
                   {"dependent", MultiSz(i->pDependentFiles)},
                   {"monitor", Q(i->pMonitorName)},
                   {"datatype", Q(i->pDefaultDataType)}});
}

std::string Of(const sys::MONITOR_INFO_2* i) {
    if (i == nullptr) {
        return "null";
    }
    return Fields(
        {{"name", Q(i->pName)}, {"environment", Q(i->pEnvironment)}, {"dll", Q(i->pDLLName)}});
}

std::string Of(const sys::PRINTER_DEFAULTS* d) {
    if (d == nullptr) {
        return "null";
    }
    return Fields({{"datatype", Q(d->pDatatype)},
                   {"devmode", Set(d->pDevMode)},
                   {"access", Hex(d->DesiredAccess)}});
}

std::string Of(const sys::PRINTER_INFO_2* i) {
    if (i == nullptr) {
        return "null";
    }
    return Fields({{"server", Q(i->pServerName)},
                   {"name", Q(i->pPrinterName)},
                   {"share", Q(i->pShareName)},
                   {"port", Q(i->pPortName)},
                   {"driver", Q(i->pDriverName)},
                   {"comment", Q(i->pComment)},
                   {"location", Q(i->pLocation)},
                   {"devmode", Set(i->pDevMode)},
                   {"sepFile", Q(i->pSepFile)},
                   {"processor", Q(i->pPrintProcessor)},
                   {"datatype", Q(i->pDatatype)},
                   {"parameters", Q(i->pParameters)},
                   {"security", Set(i->pSecurityDescriptor)},
                   {"attributes", Hex(i->Attributes)},
                   {"priority", D(i->Priority)},
                   {"defaultPriority", D(i->DefaultPriority)},
                   {"start", D(i->StartTime)},
                   {"until", D(i->UntilTime)}});
}

std::string Of(const sys::SECURITY_ATTRIBUTES* s) {
    if (s == nullptr) {
        return "null";
    }
    return Fields({{"length", D(s->nLength)},
                   {"descriptor", Set(s->lpSecurityDescriptor)},
                   {"inherit", D(static_cast<sys::Dword>(s->bInheritHandle))}});
}

std::string Of(const sys::SERVICE_STATUS* s) {
    if (s == nullptr) {
        return "null";
    }
    return Fields({{"state", D(s->dwCurrentState)},
                   {"accepted", Hex(s->dwControlsAccepted)},
                   {"exit", D(s->dwWin32ExitCode)}});
}

std::string Of(const sys::TOKEN_PRIVILEGES* p) {
    if (p == nullptr) {
        return "null";
    }
    std::string out = Fields({{"count", D(p->PrivilegeCount)}});
    if (p->PrivilegeCount > 0) {
        out += Fields({{"luid", D(p->Privileges[0].Luid.LowPart)},
                       {"attributes", Hex(p->Privileges[0].Attributes)}});
    }
    return out;
}

int NewThreadTag() {
    return ++R().threads;
}

void SetThreadTag(int tag) {
    threadTag = tag;
}

}  // namespace sim::trace
