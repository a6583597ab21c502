// Host tests of the simulated registry's own controls (initial contents, allowed rights,
// volatile keys, injected failures, leak counts) and of the simulated token's control.
#include <array>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/Registry.h"
#include "platform/Security.h"
#include "platform/SystemInfo.h"
#include "platform/sim/SimRegistry.h"
#include "platform/sim/SimSecurity.h"
#include "tests/unit/SimFixture.h"

namespace {

namespace reg = sim::registry;
using sys::Dword;

constexpr Dword kMarker = 0xdeadbeef;
constexpr Dword kKeyDeleted = 1018;

class SimRegistryTest : public SimTest {
  protected:
    static Dword Open(sys::KeyHandle root, const char* path, Dword access, sys::RegKey& key) {
        return sys::RegOpenKeyExA(root, path, 0, access, key.Receive());
    }
    static Dword Create(sys::KeyHandle root, const char* path, Dword options, Dword access,
                        sys::RegKey& key, Dword* disposition = nullptr) {
        return sys::RegCreateKeyExA(root, path, 0, nullptr, options, access, nullptr, key.Receive(),
                                    disposition);
    }
};

TEST_F(SimRegistryTest, FreshMachineHoldsTheListedKeys) {
    const std::pair<const char*, const char*> keys[] = {
        {"HKCU", "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows"},
        {"HKLM", "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports"},
        {"HKLM", "HARDWARE\\DEVICEMAP\\SERIALCOMM"},
        {"HKLM", "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers"},
        {"HKLM", "SYSTEM\\ControlSet001\\Control\\Print\\Printers"},
        {"HKLM", "Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers"},
        {"HKLM",
         "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\System\\"
         "CurrentControlSet\\Control\\Print\\Printers"},
        {"HKCC", "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers"},
    };
    for (const auto& [root, path] : keys) {
        EXPECT_TRUE(reg::KeyExists(root, path)) << root << "\\" << path;
    }
    EXPECT_FALSE(reg::KeyExists("HKCU", "SYSTEM\\CurrentControlSet"));

    const char* ports = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
    EXPECT_EQ((std::vector<std::string>{"COM1:", "COM2:", "COM3:", "COM4:"}),
              reg::ValueNames("HKLM", ports));
    EXPECT_EQ("9600,n,8,1", reg::GetString("HKLM", ports, "COM3:"));
    auto raw = reg::GetValue("HKLM", ports, "COM1:");
    ASSERT_TRUE(raw);
    EXPECT_EQ(sys::reg::Sz, raw->type);
    EXPECT_EQ(11u, raw->data.size());  // with its NUL

    // SERIALCOMM as the serial detection reads it.
    sys::RegKey key;
    ASSERT_EQ(
        0u, Open(sys::HkeyLocalMachine(), "HARDWARE\\DEVICEMAP\\SERIALCOMM", sys::key::Read, key));
    std::array<char, 128> name{};
    std::array<std::uint8_t, 128> data{};
    Dword nameSize = name.size();
    Dword dataSize = data.size();
    ASSERT_EQ(0u, sys::RegEnumValueA(key.Get(), 0, name.data(), &nameSize, nullptr, nullptr,
                                     data.data(), &dataSize));
    EXPECT_STREQ("\\Device\\Serial0", name.data());
    EXPECT_STREQ("COM1", reinterpret_cast<const char*>(data.data()));
    nameSize = name.size();
    dataSize = data.size();
    EXPECT_EQ(sys::err::NoMoreItems, sys::RegEnumValueA(key.Get(), 1, name.data(), &nameSize,
                                                        nullptr, nullptr, data.data(), &dataSize));
}

TEST_F(SimRegistryTest, ResetDropsWhatATestAdded) {
    reg::SetString("HKLM", "SOFTWARE\\Extra", "Name", "x");
    sys::RegKey key;
    ASSERT_EQ(0u, Open(sys::HkeyLocalMachine(), "SOFTWARE", sys::key::Read, key));
    EXPECT_EQ(1, reg::OpenKeyCount());
    sim::Reset();
    EXPECT_FALSE(reg::KeyExists("HKLM", "SOFTWARE\\Extra"));
    EXPECT_EQ(0, reg::OpenKeyCount());
    EXPECT_EQ(sys::err::InvalidHandle, sys::RegCloseKey(key.Get()));  // gone with the reset
    *key.Receive() = nullptr;
}

// Opening with rights a key does not allow: 5, with the output cleared.
struct AccessRow {
    const char* what;
    Dword allowed;
    Dword asked;
    Dword result;
};

TEST_F(SimRegistryTest, OpenChecksTheKeysAllowedRights) {
    const AccessRow rows[] = {
        {"read on a read-only key", sys::key::Read, sys::key::Read, sys::err::Success},
        {"query on a read-only key", sys::key::Read, sys::key::QueryValue, sys::err::Success},
        {"set value on a read-only key", sys::key::Read, sys::key::SetValue,
         sys::err::AccessDenied},
        {"all access on a read-only key", sys::key::Read, sys::key::AllAccess,
         sys::err::AccessDenied},
        {"generic write on a read-only key", sys::key::Read, 0x40000000, sys::err::AccessDenied},
        {"generic read on a read-only key", sys::key::Read, 0x80000000, sys::err::Success},
        {"WOW64 view flag on a read-only key", sys::key::Read, sys::key::QueryValue | 0x100,
         sys::err::Success},
        {"set value on a write-only key", sys::key::Write, sys::key::SetValue, sys::err::Success},
        {"query on a write-only key", sys::key::Write, sys::key::QueryValue,
         sys::err::AccessDenied},
    };
    reg::CreateKey("HKLM", "SOFTWARE\\Guarded");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        reg::SetKeyAccess("HKLM", "SOFTWARE\\Guarded", row.allowed);
        sys::KeyHandle out = reinterpret_cast<sys::KeyHandle>(std::uintptr_t{0x1234});
        EXPECT_EQ(row.result, sys::RegOpenKeyExA(sys::HkeyLocalMachine(), "software\\guarded", 0,
                                                 row.asked, &out));
        EXPECT_EQ(row.result == sys::err::Success, out != nullptr);
        if (out != nullptr) {
            sys::RegCloseKey(out);
        }
    }
    EXPECT_EQ(0, reg::OpenKeyCount());
}

TEST_F(SimRegistryTest, CreateUnderAReadOnlyParent) {
    reg::CreateKey("HKLM", "SOFTWARE\\Locked\\Existing");
    reg::SetKeyAccess("HKLM", "SOFTWARE\\Locked", sys::key::Read);

    sys::RegKey key;
    Dword disposition = kMarker;
    EXPECT_EQ(sys::err::AccessDenied, Create(sys::HkeyLocalMachine(), "SOFTWARE\\Locked\\New", 0,
                                             sys::key::AllAccess, key, &disposition));
    EXPECT_FALSE(key);
    EXPECT_EQ(kMarker, disposition);
    EXPECT_FALSE(reg::KeyExists("HKLM", "SOFTWARE\\Locked\\New"));
    // A deeper path stops at the locked key: nothing is made below it.
    reg::CreateKey("HKLM", "SOFTWARE\\Open\\Locked2");
    reg::SetKeyAccess("HKLM", "SOFTWARE\\Open\\Locked2", sys::key::Read);
    EXPECT_EQ(sys::err::AccessDenied,
              Create(sys::HkeyLocalMachine(), "SOFTWARE\\Open\\Locked2\\Inner\\Deep", 0,
                     sys::key::Read, key));
    EXPECT_FALSE(reg::KeyExists("HKLM", "SOFTWARE\\Open\\Locked2\\Inner"));

    // An existing key below it opens, for what it allows (its rights were set before the lock).
    EXPECT_EQ(sys::err::Success, Create(sys::HkeyLocalMachine(), "SOFTWARE\\Locked\\Existing", 0,
                                        sys::key::AllAccess, key, &disposition));
    EXPECT_EQ(sys::reg::OpenedExistingKey, disposition);
    // A new key takes its parent's rights, as an inherited descriptor would give it.
    reg::SetKeyAccess("HKLM", "SOFTWARE\\Locked", sys::key::Read | sys::key::CreateSubKey);
    EXPECT_EQ(sys::err::Success, Create(sys::HkeyLocalMachine(), "SOFTWARE\\Locked\\Made", 0,
                                        sys::key::Read, key, &disposition));
    EXPECT_EQ(sys::reg::CreatedNewKey, disposition);
    EXPECT_EQ(sys::err::AccessDenied,
              Open(sys::HkeyLocalMachine(), "SOFTWARE\\Locked\\Made", sys::key::SetValue, key));
}

TEST_F(SimRegistryTest, VolatileFlagSetByTheTest) {
    // As Wine keeps HKEY_CURRENT_CONFIG: a volatile tree.
    const char* printers = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";
    sys::RegKey key;
    EXPECT_EQ(sys::err::Success, Create(sys::HkeyCurrentConfig(),
                                        "SYSTEM\\CurrentControlSet\\"
                                        "Control\\Print\\Printers\\P1",
                                        0, sys::key::AllAccess, key));
    reg::SetVolatile("HKCC", printers, true);
    EXPECT_EQ(
        sys::err::ChildMustBeVolatile,
        Create(sys::HkeyCurrentConfig(), "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\P2",
               0, sys::key::AllAccess, key));
    EXPECT_FALSE(reg::KeyExists("HKCC", std::string(printers) + "\\P2"));
    EXPECT_EQ(sys::err::Success, Create(sys::HkeyCurrentConfig(),
                                        "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\P2",
                                        sys::reg::OptionVolatile, sys::key::AllAccess, key));
    // Existing keys below open whatever their own flag.
    EXPECT_EQ(sys::err::Success, Create(sys::HkeyCurrentConfig(),
                                        "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\P1",
                                        0, sys::key::AllAccess, key));
    EXPECT_THROW(reg::SetVolatile("HKCC", "No\\Such\\Key", true), std::invalid_argument);
}

TEST_F(SimRegistryTest, InjectedFailuresReturnTheirCodeAndLeaveTheLastError) {
    sys::RegKey key;
    ASSERT_EQ(
        0u, Open(sys::HkeyCurrentUser(), "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows",
                 sys::key::SetValue, key));
    sim::FailCall("RegSetValueExA", 1009);
    sys::SetLastError(kMarker);
    EXPECT_EQ(1009u,
              sys::RegSetValueExA(key.Get(), "Device", 0, sys::reg::Sz,
                                  reinterpret_cast<const std::uint8_t*>("P,winspool,COM1:"), 16));
    EXPECT_EQ(kMarker, sys::GetLastError());
    EXPECT_FALSE(reg::GetValue("HKCU", "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows",
                               "Device"));
    // Only the next call failed.
    EXPECT_EQ(0u,
              sys::RegSetValueExA(key.Get(), "Device", 0, sys::reg::Sz,
                                  reinterpret_cast<const std::uint8_t*>("P,winspool,COM1:"), 16));
    EXPECT_EQ("P,winspool,COM1:",
              reg::GetString("HKCU", "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows",
                             "Device"));
    EXPECT_EQ(2, sim::CallCount("RegSetValueExA"));

    // A failed open leaves no handle behind.
    sim::FailCall("RegOpenKeyExA", sys::err::AccessDenied);
    sys::KeyHandle out = key.Get();
    EXPECT_EQ(sys::err::AccessDenied,
              sys::RegOpenKeyExA(sys::HkeyLocalMachine(), "SOFTWARE", 0, sys::key::Read, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(1, reg::OpenKeyCount());

    for (const char* call :
         {"RegCreateKeyExA", "RegQueryValueExA", "RegEnumValueA", "RegCloseKey"}) {
        SCOPED_TRACE(call);
        sim::FailCall(call, 1022);
        sys::SetLastError(kMarker);
        std::array<char, 8> name{};
        Dword nameSize = name.size();
        Dword size = 0;
        sys::RegKey created;
        const std::string which = call;
        const Dword result =
            which == "RegCreateKeyExA" ? Create(key.Get(), "Sub", 0, sys::key::Read, created)
            : which == "RegQueryValueExA"
                ? sys::RegQueryValueExA(key.Get(), "Device", nullptr, nullptr, nullptr, &size)
            : which == "RegEnumValueA" ? sys::RegEnumValueA(key.Get(), 0, name.data(), &nameSize,
                                                            nullptr, nullptr, nullptr, nullptr)
                                       : sys::RegCloseKey(key.Get());
        EXPECT_EQ(1022u, result);
        EXPECT_EQ(kMarker, sys::GetLastError());
    }
    EXPECT_EQ(1, reg::OpenKeyCount());  // the failed close left the key open
}

TEST_F(SimRegistryTest, HandlesToADeletedKeyFail) {
    reg::SetString("HKLM", "SOFTWARE\\Doomed\\Inner", "Name", "x");
    sys::RegKey outer;
    sys::RegKey inner;
    ASSERT_EQ(0u, Open(sys::HkeyLocalMachine(), "SOFTWARE\\Doomed", sys::key::AllAccess, outer));
    ASSERT_EQ(0u, Open(outer.Get(), "Inner", sys::key::AllAccess, inner));
    reg::DeleteKey("HKLM", "software\\doomed");
    EXPECT_FALSE(reg::KeyExists("HKLM", "SOFTWARE\\Doomed"));
    EXPECT_FALSE(reg::KeyExists("HKLM", "SOFTWARE\\Doomed\\Inner"));
    EXPECT_TRUE(reg::KeyExists("HKLM", "SOFTWARE\\Microsoft"));

    Dword size = 0;
    EXPECT_EQ(kKeyDeleted,
              sys::RegQueryValueExA(inner.Get(), "Name", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(kKeyDeleted, sys::RegSetValueExA(outer.Get(), "New", 0, sys::reg::Dword32,
                                               reinterpret_cast<const std::uint8_t*>(&size), 4));
    sys::RegKey again;
    EXPECT_EQ(kKeyDeleted, Create(outer.Get(), "Again", 0, sys::key::Read, again));
    // They still close.
    EXPECT_EQ(2, reg::OpenKeyCount());
    outer.Close();
    inner.Close();
    EXPECT_EQ(0, reg::OpenKeyCount());
    reg::DeleteKey("HKLM", "SOFTWARE\\NotThere");  // nothing to do
    EXPECT_THROW(reg::DeleteKey("HKLM", ""), std::invalid_argument);
}

TEST_F(SimRegistryTest, CurrentConfigIsTheCurrentHardwareProfile) {
    const char* profile = "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current";
    sys::RegKey key;
    ASSERT_EQ(sys::err::Success,
              Create(sys::HkeyCurrentConfig(), "Software\\Sim", 0, sys::key::AllAccess, key));
    const Dword one = 1;
    ASSERT_EQ(sys::err::Success,
              sys::RegSetValueExA(key.Get(), "Flag", 0, sys::reg::Dword32,
                                  reinterpret_cast<const std::uint8_t*>(&one), sizeof one));
    EXPECT_TRUE(reg::GetValue("HKLM", std::string(profile) + "\\Software\\Sim", "Flag"));
    reg::SetString("HKLM", std::string(profile) + "\\Other", "Text", "seen");
    EXPECT_EQ(reg::GetString("HKCC", "Other", "Text"), "seen");
}

TEST_F(SimRegistryTest, RootKeysAreNeverCounted) {
    EXPECT_EQ(sys::err::Success, sys::RegCloseKey(sys::HkeyLocalMachine()));
    EXPECT_EQ(sys::err::Success, sys::RegCloseKey(sys::HkeyLocalMachine()));
    sys::RegKey a;
    sys::RegKey b;
    ASSERT_EQ(0u, Open(sys::HkeyLocalMachine(), "SOFTWARE", sys::key::Read, a));
    ASSERT_EQ(0u, Open(sys::HkeyLocalMachine(), "SOFTWARE", sys::key::Read, b));
    EXPECT_EQ(2, reg::OpenKeyCount());
    a.Close();
    EXPECT_EQ(1, reg::OpenKeyCount());
    EXPECT_EQ(reinterpret_cast<sys::KeyHandle>(std::uintptr_t{0x80000002}),
              sys::HkeyLocalMachine());
    EXPECT_EQ(reinterpret_cast<sys::KeyHandle>(std::uintptr_t{0x80000001}), sys::HkeyCurrentUser());
    EXPECT_EQ(reinterpret_cast<sys::KeyHandle>(std::uintptr_t{0x80000005}),
              sys::HkeyCurrentConfig());
}

TEST_F(SimRegistryTest, ValueControls) {
    const char* path = "SOFTWARE\\Values";
    reg::SetString("HKLM", path, "B", "text");
    reg::SetDword("HKLM", path, "A", 0x11223344);
    reg::SetValue("HKLM", path, "C", sys::reg::Binary, {1, 2, 3});
    reg::SetString("HKLM", path, "b", "again");  // the same value: keeps its place and name
    EXPECT_EQ((std::vector<std::string>{"B", "A", "C"}), reg::ValueNames("HKLM", path));
    EXPECT_EQ("again", reg::GetString("HKLM", path, "B"));
    auto dword = reg::GetValue("HKLM", path, "a");
    ASSERT_TRUE(dword);
    EXPECT_EQ(sys::reg::Dword32, dword->type);
    EXPECT_EQ((std::vector<std::uint8_t>{0x44, 0x33, 0x22, 0x11}), dword->data);
    EXPECT_FALSE(reg::GetString("HKLM", path, "A"));  // not a string
    reg::DeleteValue("HKLM", path, "B");
    EXPECT_EQ((std::vector<std::string>{"A", "C"}), reg::ValueNames("HKLM", path));
    EXPECT_FALSE(reg::GetValue("HKLM", path, "B"));
    EXPECT_FALSE(reg::GetValue("HKLM", "SOFTWARE\\Nowhere", "B"));
    EXPECT_TRUE(reg::ValueNames("HKLM", "SOFTWARE\\Nowhere").empty());
    EXPECT_THROW(reg::CreateKey("HKXX", "A"), std::invalid_argument);
    EXPECT_TRUE(reg::KeyExists("HKEY_LOCAL_MACHINE", path));

    // The default value has the empty name.
    sys::RegKey key;
    ASSERT_EQ(0u, Open(sys::HkeyLocalMachine(), path, sys::key::AllAccess, key));
    ASSERT_EQ(0u, sys::RegSetValueExA(key.Get(), nullptr, 0, sys::reg::Sz,
                                      reinterpret_cast<const std::uint8_t*>("d"), 2));
    EXPECT_EQ("d", reg::GetString("HKLM", path, ""));
}

TEST_F(SimRegistryTest, ConcurrentCallsKeepTheTreeWhole) {
    constexpr int kThreads = 4;
    constexpr int kKeys = 50;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kKeys; ++i) {
                const std::string path =
                    "SOFTWARE\\Busy\\T" + std::to_string(t) + "\\K" + std::to_string(i);
                sys::RegKey key;
                if (sys::RegCreateKeyExA(sys::HkeyLocalMachine(), path.c_str(), 0, nullptr, 0,
                                         sys::key::AllAccess, nullptr, key.Receive(),
                                         nullptr) != 0) {
                    continue;
                }
                const Dword value = static_cast<Dword>(i);
                sys::RegSetValueExA(key.Get(), "V", 0, sys::reg::Dword32,
                                    reinterpret_cast<const std::uint8_t*>(&value), 4);
                reg::SetString("HKLM", "SOFTWARE\\Busy", "T" + std::to_string(t), "x");
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (int t = 0; t < kThreads; ++t) {
        for (int i = 0; i < kKeys; ++i) {
            const std::string path =
                "SOFTWARE\\Busy\\T" + std::to_string(t) + "\\K" + std::to_string(i);
            auto value = reg::GetValue("HKLM", path, "V");
            ASSERT_TRUE(value) << path;
            EXPECT_EQ(static_cast<std::uint8_t>(i), value->data[0]);
        }
    }
    EXPECT_EQ(4u, reg::ValueNames("HKLM", "SOFTWARE\\Busy").size());
    EXPECT_EQ(0, reg::OpenKeyCount());
}

// The token's control: which privileges it holds, and whether one got enabled.
class SimTokenTest : public SimTest {
  protected:
    static sys::TOKEN_PRIVILEGES Enable(Dword luid) {
        sys::TOKEN_PRIVILEGES state;
        state.PrivilegeCount = 1;
        state.Privileges[0].Luid = sys::LUID{luid, 0};
        state.Privileges[0].Attributes = sys::token::PrivilegeEnabled;
        return state;
    }
};

TEST_F(SimTokenTest, HeldPrivilegeIsEnabledAndOneNotHeldIsNot) {
    sys::Handle token;
    ASSERT_NE(0, sys::OpenProcessToken(sys::GetCurrentProcess(), 0x28, token.Receive()));
    EXPECT_EQ(1, sim::security::OpenTokenCount());
    EXPECT_FALSE(sim::security::PrivilegeEnabled("SeLoadDriverPrivilege"));

    sys::TOKEN_PRIVILEGES state = Enable(10);
    sys::SetLastError(kMarker);
    ASSERT_NE(0, sys::AdjustTokenPrivileges(token.Get(), 0, &state, 0, nullptr, nullptr));
    EXPECT_EQ(0u, sys::GetLastError());
    EXPECT_TRUE(sim::security::PrivilegeEnabled("seloaddriverprivilege"));
    EXPECT_FALSE(sim::security::PrivilegeEnabled("SeDebugPrivilege"));

    sim::security::SetPrivilegeHeld("SeLoadDriverPrivilege", false);
    EXPECT_FALSE(sim::security::PrivilegeEnabled("SeLoadDriverPrivilege"));
    sys::SetLastError(kMarker);
    ASSERT_NE(0, sys::AdjustTokenPrivileges(token.Get(), 0, &state, 0, nullptr, nullptr));
    EXPECT_EQ(sys::err::NotAllAssigned, sys::GetLastError());  // 1300
    EXPECT_FALSE(sim::security::PrivilegeEnabled("SeLoadDriverPrivilege"));

    // Disabling all of them.
    state = Enable(20);
    ASSERT_NE(0, sys::AdjustTokenPrivileges(token.Get(), 0, &state, 0, nullptr, nullptr));
    EXPECT_TRUE(sim::security::PrivilegeEnabled("SeDebugPrivilege"));
    ASSERT_NE(0, sys::AdjustTokenPrivileges(token.Get(), 1, nullptr, 0, nullptr, nullptr));
    EXPECT_FALSE(sim::security::PrivilegeEnabled("SeDebugPrivilege"));

    token.Close();
    EXPECT_EQ(0, sim::security::OpenTokenCount());
    EXPECT_THROW(sim::security::SetPrivilegeHeld("SeNoSuchPrivilege", true), std::invalid_argument);
}

TEST_F(SimTokenTest, PreviousStateNeedsRoom) {
    sys::Handle token;
    ASSERT_NE(0, sys::OpenProcessToken(sys::GetCurrentProcess(), 0x28, token.Receive()));
    sys::TOKEN_PRIVILEGES state = Enable(10);
    sys::TOKEN_PRIVILEGES previous;
    Dword length = 0;
    sys::SetLastError(kMarker);
    EXPECT_EQ(0, sys::AdjustTokenPrivileges(token.Get(), 0, &state, sizeof previous - 1, &previous,
                                            &length));
    EXPECT_EQ(sys::err::InsufficientBuffer, sys::GetLastError());
    EXPECT_EQ(sizeof previous, length);
    EXPECT_FALSE(sim::security::PrivilegeEnabled("SeLoadDriverPrivilege"));
}

TEST_F(SimTokenTest, InjectedFailures) {
    sys::Handle token;
    sim::FailCall("OpenProcessToken", sys::err::AccessDenied);
    EXPECT_EQ(0, sys::OpenProcessToken(sys::GetCurrentProcess(), 0x28, token.Receive()));
    EXPECT_EQ(sys::err::AccessDenied, sys::GetLastError());
    EXPECT_FALSE(token);
    ASSERT_NE(0, sys::OpenProcessToken(sys::GetCurrentProcess(), 0x28, token.Receive()));

    sim::FailCall("LookupPrivilegeValueA", sys::err::NoSuchPrivilege);
    sys::LUID luid;
    EXPECT_EQ(0, sys::LookupPrivilegeValueA(nullptr, "SeLoadDriverPrivilege", &luid));
    EXPECT_EQ(sys::err::NoSuchPrivilege, sys::GetLastError());

    sim::FailCall("AdjustTokenPrivileges", sys::err::AccessDenied);
    sys::TOKEN_PRIVILEGES state = Enable(10);
    EXPECT_EQ(0, sys::AdjustTokenPrivileges(token.Get(), 0, &state, 0, nullptr, nullptr));
    EXPECT_FALSE(sim::security::PrivilegeEnabled("SeLoadDriverPrivilege"));
    EXPECT_EQ(2, sim::CallCount("OpenProcessToken"));
    EXPECT_EQ(1, sim::CallCount("AdjustTokenPrivileges"));
}

}  // namespace
