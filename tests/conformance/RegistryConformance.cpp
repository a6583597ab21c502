// Conformance of the registry calls: opening, creating, values written, read and enumerated.
// Each case works under a key of its own below HKCU\Software\ConformanceTest (left in place on
// Windows: there is no key deletion in our interface, and each run uses new names).
#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/Registry.h"
#include "tests/conformance/Conformance.h"

namespace {

using conformance::kFill;
using conformance::kMarker;
using sys::Dword;
using sys::KeyHandle;

// A handle value no call returns, to see that a failing open clears its output.
KeyHandle const kStaleHandle = reinterpret_cast<KeyHandle>(static_cast<std::uintptr_t>(0x5a5a5a58));

const std::uint8_t* Bytes(const char* text) {
    return reinterpret_cast<const std::uint8_t*>(text);
}

class RegistryConformance : public conformance::Test {
  protected:
    void SetUp() override {
        conformance::Test::SetUp();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::string("Software\\ConformanceTest\\") + info->name() + "-" +
                std::to_string(sys::GetTickCount());
        ASSERT_EQ(sys::err::Success, Create(sys::HkeyCurrentUser(), path_, 0, key_.Receive()));
    }

    static Dword Create(KeyHandle parent, const std::string& subKey, Dword options,
                        KeyHandle* result, Dword* disposition = nullptr) {
        return sys::RegCreateKeyExA(parent, subKey.c_str(), 0, nullptr, options,
                                    sys::key::AllAccess, nullptr, result, disposition);
    }

    void SetSz(const char* name, const char* text, Dword size) {
        ASSERT_EQ(sys::err::Success,
                  sys::RegSetValueExA(key_.Get(), name, 0, sys::reg::Sz, Bytes(text), size));
    }

    sys::RegKey key_;
    std::string path_;
};

// RegOpenKeyExA: missing keys, rooted paths and bad handles fail with the output cleared.
struct OpenRow {
    const char* what;
    bool nullParent;
    const char* subKey;  // relative to the case's key
    Dword result;
};

TEST_F(RegistryConformance, OpenFailures) {
    const OpenRow rows[] = {
        {"missing key", false, "Missing", sys::err::FileNotFound},
        {"missing below missing", false, "Missing\\Deeper", sys::err::FileNotFound},
        {"rooted path", false, "\\Missing", sys::err::BadPathname},  // 161
        {"null parent", true, "Software", sys::err::InvalidHandle},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        KeyHandle out = kStaleHandle;
        sys::SetLastError(kMarker);
        EXPECT_EQ(row.result, sys::RegOpenKeyExA(row.nullParent ? nullptr : key_.Get(), row.subKey,
                                                 0, sys::key::Read, &out));
        EXPECT_EQ(kMarker, sys::GetLastError());
        if (row.result != sys::err::InvalidHandle) {
            EXPECT_EQ(nullptr, out);
        }
    }
    // A failed open creates nothing.
    sys::RegKey again;
    EXPECT_EQ(sys::err::FileNotFound,
              sys::RegOpenKeyExA(key_.Get(), "Missing", 0, sys::key::Read, again.Receive()));
}

TEST_F(RegistryConformance, OpenGivesDistinctHandlesThatCloseOnce) {
    KeyHandle first = nullptr;
    KeyHandle second = nullptr;
    KeyHandle same = nullptr;
    sys::SetLastError(kMarker);
    ASSERT_EQ(sys::err::Success,
              sys::RegOpenKeyExA(sys::HkeyCurrentUser(), path_.c_str(), 0, sys::key::Read, &first));
    ASSERT_EQ(sys::err::Success, sys::RegOpenKeyExA(sys::HkeyCurrentUser(), path_.c_str(), 0,
                                                    sys::key::Read, &second));
    // No subkey: a new handle to the same key.
    ASSERT_EQ(sys::err::Success, sys::RegOpenKeyExA(first, "", 0, sys::key::Read, &same));
    EXPECT_EQ(kMarker, sys::GetLastError());
    EXPECT_NE(first, second);
    EXPECT_NE(first, same);
    EXPECT_NE(second, same);

    EXPECT_EQ(sys::err::Success, sys::RegCloseKey(first));
    // The other handles to the key still work.
    SetSz("Kept", "x", 2);
    Dword size = 0;
    EXPECT_EQ(sys::err::Success,
              sys::RegQueryValueExA(second, "Kept", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(2u, size);
    EXPECT_EQ(sys::err::Success,
              sys::RegQueryValueExA(same, "Kept", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(sys::err::Success, sys::RegCloseKey(second));
    EXPECT_EQ(sys::err::Success, sys::RegCloseKey(same));

    sys::SetLastError(kMarker);
    EXPECT_EQ(sys::err::InvalidHandle, sys::RegCloseKey(first));  // already closed
    EXPECT_EQ(sys::err::InvalidHandle, sys::RegCloseKey(nullptr));
    EXPECT_EQ(kMarker, sys::GetLastError());
}

TEST_F(RegistryConformance, KeyAndValueNamesIgnoreCase) {
    KeyHandle sub = nullptr;
    ASSERT_EQ(sys::err::Success, Create(key_.Get(), "MixedCase", 0, &sub));
    sys::RegCloseKey(sub);
    sys::RegKey lower;
    EXPECT_EQ(sys::err::Success,
              sys::RegOpenKeyExA(key_.Get(), "MIXEDcase", 0, sys::key::Read, lower.Receive()));

    SetSz("Value", "one", 4);
    SetSz("VALUE", "two", 4);  // the same value
    std::array<std::uint8_t, 8> data{};
    Dword size = data.size();
    EXPECT_EQ(sys::err::Success,
              sys::RegQueryValueExA(key_.Get(), "value", nullptr, nullptr, data.data(), &size));
    EXPECT_STREQ("two", reinterpret_cast<const char*>(data.data()));
    // One value, under the name it was first written with.
    std::array<char, 16> name{};
    Dword nameSize = name.size();
    EXPECT_EQ(sys::err::Success, sys::RegEnumValueA(key_.Get(), 0, name.data(), &nameSize, nullptr,
                                                    nullptr, nullptr, nullptr));
    EXPECT_STREQ("Value", name.data());
    nameSize = name.size();
    EXPECT_EQ(sys::err::NoMoreItems, sys::RegEnumValueA(key_.Get(), 1, name.data(), &nameSize,
                                                        nullptr, nullptr, nullptr, nullptr));
}

TEST_F(RegistryConformance, SetValueNeedsSetValueRight) {
    sys::RegKey readOnly;
    ASSERT_EQ(sys::err::Success, sys::RegOpenKeyExA(sys::HkeyCurrentUser(), path_.c_str(), 0,
                                                    sys::key::QueryValue, readOnly.Receive()));
    sys::SetLastError(kMarker);
    EXPECT_EQ(sys::err::AccessDenied,
              sys::RegSetValueExA(readOnly.Get(), "Denied", 0, sys::reg::Sz, Bytes("x"), 2));
    EXPECT_EQ(kMarker, sys::GetLastError());
    Dword size = 0;
    EXPECT_EQ(sys::err::FileNotFound,
              sys::RegQueryValueExA(key_.Get(), "Denied", nullptr, nullptr, nullptr, &size));

    // And reading needs the query right.
    SetSz("Readable", "x", 2);
    sys::RegKey writeOnly;
    ASSERT_EQ(sys::err::Success, sys::RegOpenKeyExA(sys::HkeyCurrentUser(), path_.c_str(), 0,
                                                    sys::key::SetValue, writeOnly.Receive()));
    EXPECT_EQ(sys::err::Success,
              sys::RegSetValueExA(writeOnly.Get(), "Written", 0, sys::reg::Sz, Bytes("y"), 2));
    EXPECT_EQ(sys::err::AccessDenied,
              sys::RegQueryValueExA(writeOnly.Get(), "Readable", nullptr, nullptr, nullptr, &size));
}

// What a REG_SZ written with a given size reads back as.
struct StringRow {
    const char* what;
    const char* text;
    Dword writtenSize;
    Dword readSize;
};

TEST_F(RegistryConformance, StringsReadBackTerminated) {
    const StringRow rows[] = {
        {"with its NUL", "port", 5, 5},
        {"without its NUL", "port", 4, 5},  // a NUL is added
        {"empty with size 0", "", 0, 0},    // stays empty
        {"empty with its NUL", "", 1, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        sys::SetLastError(kMarker);
        ASSERT_EQ(sys::err::Success, sys::RegSetValueExA(key_.Get(), "Text", 0, sys::reg::Sz,
                                                         Bytes(row.text), row.writtenSize));
        EXPECT_EQ(kMarker, sys::GetLastError());
        std::array<std::uint8_t, 16> data;
        data.fill(kFill);
        Dword size = data.size();
        Dword type = 0;
        ASSERT_EQ(sys::err::Success,
                  sys::RegQueryValueExA(key_.Get(), "Text", nullptr, &type, data.data(), &size));
        EXPECT_EQ(sys::reg::Sz, type);
        EXPECT_EQ(row.readSize, size);
        if (row.readSize > 0) {
            EXPECT_EQ(0, std::memcmp(row.text, data.data(), row.readSize));
        }
        EXPECT_EQ(kFill, data[row.readSize]);
    }
}

// Written without its NUL and with no NUL after it, a string is stored as given; a query with
// room to spare ends it in the caller's buffer but reports the stored size.
TEST_F(RegistryConformance, AStringWithNoNulAfterItIsStoredAsGiven) {
    ASSERT_EQ(sys::err::Success,
              sys::RegSetValueExA(key_.Get(), "Text", 0, sys::reg::Sz, Bytes("ports"), 4));
    Dword size = 0;
    ASSERT_EQ(sys::err::Success,
              sys::RegQueryValueExA(key_.Get(), "Text", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(4u, size);
    for (const Dword room : {4u, 5u}) {
        SCOPED_TRACE(room);
        std::array<std::uint8_t, 8> data;
        data.fill(kFill);
        size = room;
        ASSERT_EQ(sys::err::Success,
                  sys::RegQueryValueExA(key_.Get(), "Text", nullptr, nullptr, data.data(), &size));
        EXPECT_EQ(4u, size);
        EXPECT_EQ(0, std::memcmp("port", data.data(), 4));
        EXPECT_EQ(room > 4 ? 0 : kFill, data[4]);
        EXPECT_EQ(kFill, data[5]);
    }
}

TEST_F(RegistryConformance, DwordAndBinaryKeepTheirBytes) {
    const Dword number = 0x01020304;
    ASSERT_EQ(sys::err::Success,
              sys::RegSetValueExA(key_.Get(), "Number", 0, sys::reg::Dword32,
                                  reinterpret_cast<const std::uint8_t*>(&number), 4));
    const std::uint8_t blob[3] = {0x00, 0xff, 0x41};  // no NUL is added to binary data
    ASSERT_EQ(sys::err::Success,
              sys::RegSetValueExA(key_.Get(), "Blob", 0, sys::reg::Binary, blob, 3));
    Dword read = 0;
    Dword size = 4;
    Dword type = 0;
    ASSERT_EQ(sys::err::Success,
              sys::RegQueryValueExA(key_.Get(), "Number", nullptr, &type,
                                    reinterpret_cast<std::uint8_t*>(&read), &size));
    EXPECT_EQ(sys::reg::Dword32, type);
    EXPECT_EQ(number, read);
    std::array<std::uint8_t, 4> data;
    data.fill(kFill);
    size = data.size();
    ASSERT_EQ(sys::err::Success,
              sys::RegQueryValueExA(key_.Get(), "Blob", nullptr, &type, data.data(), &size));
    EXPECT_EQ(sys::reg::Binary, type);
    EXPECT_EQ(3u, size);
    EXPECT_EQ(0, std::memcmp(blob, data.data(), 3));
    EXPECT_EQ(kFill, data[3]);
}

// RegQueryValueExA of "Test" = "foobar" (7 bytes) by buffer size.
struct QueryRow {
    const char* what;
    const char* name;
    bool withBuffer;
    Dword size;
    Dword result;
    Dword sizeAfter;
};

TEST_F(RegistryConformance, QueryValueSizes) {
    SetSz("Test", "foobar", 7);
    const QueryRow rows[] = {
        {"size query", "Test", false, 0, sys::err::Success, 7},
        {"size query with a size set", "Test", false, 100, sys::err::Success, 7},
        {"exact size", "Test", true, 7, sys::err::Success, 7},
        {"larger buffer", "Test", true, 12, sys::err::Success, 7},
        {"one byte short", "Test", true, 6, sys::err::MoreData, 7},
        {"empty buffer", "Test", true, 0, sys::err::MoreData, 7},
        {"missing value", "Missing", true, 12, sys::err::FileNotFound, 12},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::array<std::uint8_t, 16> data;
        data.fill(kFill);
        Dword size = row.size;
        Dword type = kMarker;
        sys::SetLastError(kMarker);
        EXPECT_EQ(row.result, sys::RegQueryValueExA(key_.Get(), row.name, nullptr, &type,
                                                    row.withBuffer ? data.data() : nullptr, &size));
        EXPECT_EQ(kMarker, sys::GetLastError());
        EXPECT_EQ(row.sizeAfter, size);
        if (row.result != sys::err::FileNotFound) {
            EXPECT_EQ(sys::reg::Sz, type);
        }
        if (row.result == sys::err::Success && row.withBuffer) {
            EXPECT_STREQ("foobar", reinterpret_cast<const char*>(data.data()));
        }
        // Nothing is written past the size the caller gave (or past the value).
        const Dword limit = row.withBuffer ? std::min<Dword>(row.size, 7) : 0;
        for (size_t i = limit; i < data.size(); ++i) {
            EXPECT_EQ(kFill, data[i]) << "byte " << i;
        }
    }
}

// RegEnumValueA of "Test" = "foobar" (7 bytes) by the sizes of the name and data buffers.
struct EnumRow {
    const char* what;
    Dword nameSize;
    Dword dataSize;
    Dword result;
    Dword nameSizeAfter;
    Dword dataSizeAfter;
    bool written;
    bool untouched;  // neither buffer written
};

TEST_F(RegistryConformance, EnumValueSizes) {
    SetSz("Test", "foobar", 7);
    const EnumRow rows[] = {
        {"both too small", 2, 2, sys::err::MoreData, 0, 7, false, true},
        {"only data too small", 20, 2, sys::err::MoreData, 0, 7, false, false},
        {"data one byte short", 20, 6, sys::err::MoreData, 0, 7, false, false},
        {"name one short (no room for its NUL)", 4, 20, sys::err::MoreData, 0, 7, false, false},
        {"both fit", 20, 20, sys::err::Success, 4, 7, true, false},
        {"both exact", 5, 7, sys::err::Success, 4, 7, true, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::array<char, 32> name;
        std::array<std::uint8_t, 32> data;
        name.fill(static_cast<char>(kFill));
        data.fill(kFill);
        Dword nameSize = row.nameSize;
        Dword dataSize = row.dataSize;
        Dword type = kMarker;
        sys::SetLastError(kMarker);
        EXPECT_EQ(row.result, sys::RegEnumValueA(key_.Get(), 0, name.data(), &nameSize, nullptr,
                                                 &type, data.data(), &dataSize));
        EXPECT_EQ(kMarker, sys::GetLastError());
        EXPECT_EQ(row.dataSizeAfter, dataSize);
        if (row.nameSizeAfter != 0) {
            EXPECT_EQ(row.nameSizeAfter, nameSize);
        }
        if (row.written) {
            EXPECT_EQ(sys::reg::Sz, type);
            EXPECT_STREQ("Test", name.data());
            EXPECT_STREQ("foobar", reinterpret_cast<const char*>(data.data()));
            EXPECT_EQ(static_cast<char>(kFill), name[5]);
            EXPECT_EQ(kFill, data[7]);
        } else if (row.untouched) {
            EXPECT_EQ(static_cast<char>(kFill), name[0]);
            EXPECT_EQ(kFill, data[0]);
        }
    }
}

TEST_F(RegistryConformance, EnumValueWalksAllValuesThenStops) {
    SetSz("First", "1", 2);
    SetSz("Second", "22", 3);
    SetSz("Third", "333", 4);
    std::vector<std::string> seen;
    for (Dword index = 0;; ++index) {
        std::array<char, 128> name{};
        std::array<std::uint8_t, 128> data{};
        Dword nameSize = name.size();
        Dword dataSize = data.size();
        const Dword result = sys::RegEnumValueA(key_.Get(), index, name.data(), &nameSize, nullptr,
                                                nullptr, data.data(), &dataSize);
        if (result == sys::err::NoMoreItems) {
            break;
        }
        ASSERT_EQ(sys::err::Success, result);
        ASSERT_LT(index, 3u);
        seen.push_back(std::string(name.data()) + "=" + reinterpret_cast<const char*>(data.data()));
    }
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ((std::vector<std::string>{"First=1", "Second=22", "Third=333"}), seen);

    // Past the last value the counts are left alone.
    std::array<char, 8> name{};
    Dword nameSize = name.size();
    Dword dataSize = 5;
    std::array<std::uint8_t, 8> data{};
    sys::SetLastError(kMarker);
    EXPECT_EQ(sys::err::NoMoreItems, sys::RegEnumValueA(key_.Get(), 3, name.data(), &nameSize,
                                                        nullptr, nullptr, data.data(), &dataSize));
    EXPECT_EQ(kMarker, sys::GetLastError());
    EXPECT_EQ(5u, dataSize);
}

TEST_F(RegistryConformance, CreateMakesIntermediateKeysAndOpensExisting) {
    KeyHandle deep = nullptr;
    Dword disposition = kMarker;
    sys::SetLastError(kMarker);
    ASSERT_EQ(sys::err::Success, Create(key_.Get(), "A\\B\\C", 0, &deep, &disposition));
    EXPECT_EQ(kMarker, sys::GetLastError());
    EXPECT_EQ(sys::reg::CreatedNewKey, disposition);
    EXPECT_NE(nullptr, deep);
    sys::RegCloseKey(deep);

    sys::RegKey middle;
    EXPECT_EQ(sys::err::Success,
              sys::RegOpenKeyExA(key_.Get(), "A\\B", 0, sys::key::Read, middle.Receive()));

    KeyHandle again = nullptr;
    disposition = kMarker;
    ASSERT_EQ(sys::err::Success, Create(key_.Get(), "a\\b\\c", 0, &again, &disposition));
    EXPECT_EQ(sys::reg::OpenedExistingKey, disposition);
    sys::RegCloseKey(again);

    // Existing intermediate keys with a new last one: a new key.
    KeyHandle sibling = nullptr;
    ASSERT_EQ(sys::err::Success, Create(key_.Get(), "A\\B\\D", 0, &sibling, &disposition));
    EXPECT_EQ(sys::reg::CreatedNewKey, disposition);
    sys::RegCloseKey(sibling);
}

TEST_F(RegistryConformance, CreateFailures) {
    KeyHandle out = kStaleHandle;
    sys::SetLastError(kMarker);
    EXPECT_EQ(sys::err::BadPathname, Create(key_.Get(), "\\Rooted", 0, &out));  // 161
    EXPECT_EQ(sys::err::InvalidHandle, Create(nullptr, "Orphan", 0, &out));
    EXPECT_EQ(kMarker, sys::GetLastError());
    sys::RegKey probe;
    EXPECT_EQ(sys::err::FileNotFound,
              sys::RegOpenKeyExA(key_.Get(), "Rooted", 0, sys::key::Read, probe.Receive()));
}

TEST_F(RegistryConformance, VolatileKeysHoldOnlyVolatileKeys) {
    KeyHandle outer = nullptr;
    Dword disposition = 0;
    ASSERT_EQ(sys::err::Success,
              Create(key_.Get(), "Volatile", sys::reg::OptionVolatile, &outer, &disposition));
    EXPECT_EQ(sys::reg::CreatedNewKey, disposition);
    sys::RegKey outerKey;
    *outerKey.Receive() = outer;

    KeyHandle child = kStaleHandle;
    sys::SetLastError(kMarker);
    EXPECT_EQ(sys::err::ChildMustBeVolatile,  // 1021
              Create(outer, "Stable", sys::reg::OptionNonVolatile, &child));
    EXPECT_EQ(kMarker, sys::GetLastError());
    sys::RegKey probe;
    EXPECT_EQ(sys::err::FileNotFound,
              sys::RegOpenKeyExA(outer, "Stable", 0, sys::key::Read, probe.Receive()));
    EXPECT_EQ(sys::err::ChildMustBeVolatile,
              Create(key_.Get(), "Volatile\\Stable\\Deeper", sys::reg::OptionNonVolatile, &child));

    ASSERT_EQ(sys::err::Success,
              Create(outer, "Fleeting", sys::reg::OptionVolatile, &child, &disposition));
    EXPECT_EQ(sys::reg::CreatedNewKey, disposition);
    sys::RegCloseKey(child);
    // An existing volatile key opens whatever options are asked for.
    ASSERT_EQ(sys::err::Success,
              Create(key_.Get(), "Volatile", sys::reg::OptionNonVolatile, &child, &disposition));
    EXPECT_EQ(sys::reg::OpenedExistingKey, disposition);
    sys::RegCloseKey(child);
}

// The printers' online flags go under HKEY_CURRENT_CONFIG, created non-volatile.
TEST_F(RegistryConformance, CurrentConfigTakesNonVolatileKeys) {
    WINE_DIFFERS("Wine keeps HKEY_CURRENT_CONFIG volatile, so a non-volatile key there gives 1021");
    const std::string path = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\" +
                             path_.substr(path_.rfind('\\') + 1);
    KeyHandle key = nullptr;
    Dword disposition = 0;
    sys::SetLastError(kMarker);
    ASSERT_EQ(sys::err::Success, Create(sys::HkeyCurrentConfig(), path, sys::reg::OptionNonVolatile,
                                        &key, &disposition));
    EXPECT_EQ(kMarker, sys::GetLastError());
    EXPECT_EQ(sys::reg::CreatedNewKey, disposition);
    sys::RegCloseKey(key);
}

// HKEY_CURRENT_CONFIG is the current hardware profile under HKEY_LOCAL_MACHINE: a value written
// through one is read through the other (the printers' online flags are written through the
// first and read through the second). Volatile, so that Wine takes the key too.
TEST_F(RegistryConformance, CurrentConfigIsTheCurrentHardwareProfile) {
    const std::string name = path_.substr(path_.rfind('\\') + 1);
    const std::string profile = "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\";
    sys::RegKey written;
    ASSERT_EQ(sys::err::Success, Create(sys::HkeyCurrentConfig(), "Software\\" + name,
                                        sys::reg::OptionVolatile, written.Receive()));
    ASSERT_EQ(sys::err::Success,
              sys::RegSetValueExA(written.Get(), "Flag", 0, sys::reg::Sz, Bytes("seen"), 4));
    sys::RegKey read;
    ASSERT_EQ(sys::err::Success,
              sys::RegOpenKeyExA(sys::HkeyLocalMachine(), (profile + "Software\\" + name).c_str(),
                                 0, sys::key::QueryValue, read.Receive()));
    std::array<char, 8> data{};
    Dword size = static_cast<Dword>(data.size());
    ASSERT_EQ(sys::err::Success,
              sys::RegQueryValueExA(read.Get(), "Flag", nullptr, nullptr,
                                    reinterpret_cast<std::uint8_t*>(data.data()), &size));
    EXPECT_STREQ("seen", data.data());
}

}  // namespace
